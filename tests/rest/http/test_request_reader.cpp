// The incremental request reader: however the bytes of a request are cut into pieces, it reads
// the same request (the network delivers them cut anywhere).

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rest/http/detail/http_wire.h"

namespace livrexa {
namespace {

struct Read {
  RequestReadResult result;
  HttpRequest request;
};

Read Feed(const std::string& bytes, size_t piece) {
  Read r{RequestReadResult::kNeedMore, {}};
  HttpRequestReader reader(r.request, 1 << 20);
  for (size_t at = 0; at < bytes.size() && r.result == RequestReadResult::kNeedMore; at += piece)
    r.result = reader.Feed(bytes.data() + at, std::min(piece, bytes.size() - at));
  return r;
}

TEST(HttpRequestReader, SameRequestWhateverThePieces) {
  const std::string head = "POST /Consulta HTTP/1.1\r\nHost: h\r\nX-A: 1\r\n";
  const std::vector<std::string> requests = {
      "GET /Consulta?Flag=120 HTTP/1.1\r\nHost: h\r\n\r\n",
      head + "Content-Length: 11\r\n\r\nFlag=120&x=",
      head + "Transfer-Encoding: chunked\r\n\r\n5\r\nFlag=\r\n3\r\n120\r\n0\r\n\r\n",
      head +
          "Transfer-Encoding: chunked\r\n\r\n1;ext=1\r\na\r\n10\r\n0123456789abcdef\r\n0\r\nX-Trailer: "
          "t\r\n\r\n",
  };
  for (const std::string& bytes : requests) {
    const Read whole = Feed(bytes, bytes.size());
    ASSERT_EQ(whole.result, RequestReadResult::kComplete) << bytes;
    for (const size_t piece : {1, 2, 3, 7, 40}) {
      const Read cut = Feed(bytes, piece);
      EXPECT_EQ(cut.result, RequestReadResult::kComplete) << piece << ": " << bytes;
      EXPECT_EQ(cut.request.request_line, whole.request.request_line) << piece;
      EXPECT_EQ(cut.request.target, whole.request.target) << piece;
      EXPECT_EQ(cut.request.body, whole.request.body) << piece << ": " << bytes;
      EXPECT_EQ(cut.request.headers.size(), whole.request.headers.size()) << piece;
    }
  }
}

TEST(HttpRequestReader, RefusalsDoNotDependOnThePiecesEither) {
  struct Case {
    std::string bytes;
    RequestReadResult result;
  } cases[] = {
      {"POST /x HTTP/1.1\r\nContent-Length: 2\r\nContent-Length: 2\r\n\r\nab",
       RequestReadResult::kBadFraming},
      {"POST /x HTTP/1.1\r\nTransfer-Encoding: gzip\r\n\r\n", RequestReadResult::kBadFraming},
      {"POST /x HTTP/1.1\r\nContent-Length: 5000000\r\n\r\n", RequestReadResult::kTooLarge},
      {"GET\r\n\r\n", RequestReadResult::kMalformed},
  };
  for (const auto& c : cases) {
    for (const size_t piece : {c.bytes.size(), size_t{1}, size_t{5}})
      EXPECT_EQ(Feed(c.bytes, piece).result, c.result) << piece << ": " << c.bytes;
  }
}

}  // namespace
}  // namespace livrexa
