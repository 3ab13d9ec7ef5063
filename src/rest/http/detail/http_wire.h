#pragma once
// Reading one HTTP/1.1 request from bytes as they arrive, and writing the head of one reply.
// The HTTP library stays inside http_wire.cpp; callers see only the plain structs of http_types.h.

#include <cstdint>
#include <memory>
#include <string>

#include "rest/http/http_types.h"

namespace livrexa {

enum class RequestReadResult {
  kNeedMore,    // the request is not complete yet
  kComplete,    // a whole request was read
  kMalformed,   // the bytes are not an HTTP request (a request line without a blank, bad headers...)
  kBadFraming,  // the body's length is ambiguous: Content-Length repeated or a list, a
                // Transfer-Encoding other than chunked, or both headers at once
  kTooLarge,    // the body is longer than the limit; the rest of it has not been read
};

// Feeds the bytes of one request, as they arrive, into the request: the request line exactly as
// received, the headers in order of arrival with their names as sent, and the body bounded by
// the limit. Only the unparsed part of the head is buffered; body bytes go straight to the body.
class HttpRequestReader {
 public:
  HttpRequestReader(HttpRequest& request, uint64_t body_limit, uint32_t header_limit = 64 * 1024);
  ~HttpRequestReader();
  HttpRequestReader(const HttpRequestReader&) = delete;
  HttpRequestReader& operator=(const HttpRequestReader&) = delete;

  // Takes the next bytes. After any result but kNeedMore the reader takes nothing more.
  RequestReadResult Feed(const char* data, size_t size);
  bool HeaderDone() const;
  // Body bytes received so far.
  uint64_t BodyBytes() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Status line (with the reply's reason phrase, or the standard one) and headers, ending with the
// blank line. Adds Content-Length (the body's size), and Date and "Connection: close" when not set.
std::string SerializeReplyHead(const HttpReply& reply);

// "Tue, 15 Nov 1994 08:12:31 GMT" for the current time.
std::string HttpDateNow();

}  // namespace livrexa
