#include "rest/http/detail/http_wire.h"

#include <boost/beast/http.hpp>
#include <ctime>

#include "rest/wire/text_tools.h"

namespace livrexa {
namespace {

namespace http = boost::beast::http;
using boost::beast::error_code;
using boost::beast::string_view;

std::string LowerTrimmed(string_view value) {
  return LowerCase(TrimBlanks(std::string_view(value.data(), value.size())));
}

// Collects the request straight into an HttpRequest: the headers in order of arrival with their
// names as sent (the library's own field container would group duplicates), and the body
// bounded by the limit. A body length that two readers could see differently (the ground of
// request smuggling) is refused rather than guessed.
class RequestCollector : public http::basic_parser<true> {
 public:
  RequestCollector(HttpRequest& request, uint64_t body_limit) : request_(request), limit_(body_limit) {
    this->body_limit(body_limit);
  }
  bool BadFraming() const { return bad_framing_; }
  uint64_t BodyBytes() const { return received_; }

 private:
  void on_request_impl(http::verb, string_view method, string_view target, int version,
                       error_code&) override {
    request_.method.assign(method.data(), method.size());
    request_.target.assign(target.data(), target.size());
    request_.version = version;
  }
  void on_response_impl(int, string_view, int, error_code&) override {}
  void on_field_impl(http::field field, string_view name, string_view value, error_code& ec) override {
    if (field == http::field::content_length) {
      const std::string digits = LowerTrimmed(value);
      if (++content_lengths_ > 1 || digits.empty() ||
          digits.find_first_not_of("0123456789") != std::string::npos)
        return Refuse(ec);
    }
    if (field == http::field::transfer_encoding &&
        (++transfer_encodings_ > 1 || LowerTrimmed(value) != "chunked"))
      return Refuse(ec);
    request_.headers.push_back(
        {std::string(name.data(), name.size()), std::string(value.data(), value.size())});
  }
  void on_header_impl(error_code& ec) override {
    if (content_lengths_ > 0 && transfer_encodings_ > 0) Refuse(ec);
  }
  void on_body_init_impl(const boost::optional<std::uint64_t>& length, error_code& ec) override {
    if (length && *length > limit_) {
      ec = http::error::body_limit;
      return;
    }
    // What was announced (within the limit) is reserved at once, so a large body is never copied
    // into a grown buffer. A client that announces and does not send costs address space only:
    // pages are not touched before bytes arrive.
    if (length) request_.body.reserve(static_cast<size_t>(*length));
  }
  size_t on_body_impl(string_view body, error_code& ec) override { return Append(body, ec); }
  void on_chunk_header_impl(std::uint64_t, string_view, error_code&) override {}
  size_t on_chunk_body_impl(std::uint64_t, string_view body, error_code& ec) override {
    return Append(body, ec);
  }
  void on_finish_impl(error_code&) override {}

  void Refuse(error_code& ec) {
    bad_framing_ = true;
    ec = http::error::bad_transfer_encoding;
  }
  size_t Append(string_view body, error_code& ec) {
    if (request_.body.size() + body.size() > limit_) {
      ec = http::error::body_limit;
      return 0;
    }
    // Grow geometrically from the reserved start, but never by more than 64 MiB past what is
    // needed, so a large body does not end up in a buffer of nearly twice its size.
    const size_t needed = request_.body.size() + body.size();
    if (needed > request_.body.capacity())
      request_.body.reserve(std::min(needed + (64u << 20), std::max(needed, request_.body.capacity() * 2)));
    request_.body.append(body.data(), body.size());
    received_ += body.size();
    return body.size();
  }

  HttpRequest& request_;
  uint64_t limit_;
  int content_lengths_ = 0;
  int transfer_encodings_ = 0;
  bool bad_framing_ = false;
  uint64_t received_ = 0;
};

// The first line as received: leading empty lines skipped, CR LF (or a bare LF) not included.
std::string FirstLine(const std::string& raw) {
  size_t start = 0;
  while (start < raw.size() && (raw[start] == '\r' || raw[start] == '\n')) ++start;
  size_t end = raw.find('\n', start);
  if (end == std::string::npos) end = raw.size();
  if (end > start && raw[end - 1] == '\r') --end;
  return raw.substr(start, end - start);
}

}  // namespace

struct HttpRequestReader::Impl {
  Impl(HttpRequest& r, uint64_t body_limit) : request(r), parser(r, body_limit) {}
  HttpRequest& request;
  RequestCollector parser;
  std::string head;     // the head while it is read, then body bytes the parser has not taken
  size_t consumed = 0;  // bytes of the head the parser has taken
  bool line_taken = false;
  bool finished = false;
};

HttpRequestReader::HttpRequestReader(HttpRequest& request, uint64_t body_limit, uint32_t header_limit)
    : impl_(std::make_unique<Impl>(request, body_limit)) {
  impl_->parser.header_limit(header_limit);
  impl_->parser.eager(true);
}

HttpRequestReader::~HttpRequestReader() = default;

bool HttpRequestReader::HeaderDone() const {
  return impl_->parser.is_header_done();
}

uint64_t HttpRequestReader::BodyBytes() const {
  return impl_->parser.BodyBytes();
}

RequestReadResult HttpRequestReader::Feed(const char* data, size_t size) {
  Impl& s = *impl_;
  if (s.finished) return RequestReadResult::kMalformed;
  const auto outcome = [&](const error_code& ec) {
    if (ec == http::error::body_limit) return RequestReadResult::kTooLarge;
    if (s.parser.BadFraming() || ec == http::error::bad_content_length ||
        ec == http::error::bad_transfer_encoding)
      return RequestReadResult::kBadFraming;
    return RequestReadResult::kMalformed;
  };
  // The head stays whole in one buffer until it is done (the request line is taken from its
  // start); the parser is given only the bytes it has not consumed yet.
  if (!s.parser.is_header_done()) {
    s.head.append(data, size);
    for (;;) {
      error_code ec;
      const size_t used =
          s.parser.put(boost::asio::buffer(s.head.data() + s.consumed, s.head.size() - s.consumed), ec);
      s.consumed += used;
      // The head may be done even when the parser asks for more (eagerly, for the body after it).
      if (!s.line_taken && s.parser.is_header_done()) {
        s.request.request_line = FirstLine(s.head);
        s.line_taken = true;
      }
      if (ec && ec != http::error::need_more) {
        s.finished = true;
        return outcome(ec);
      }
      if (s.parser.is_header_done()) break;
      if (ec || used == 0) return RequestReadResult::kNeedMore;
    }
    s.head.erase(0, s.consumed);
    s.consumed = 0;
    if (s.parser.is_done()) {
      s.finished = true;
      return RequestReadResult::kComplete;
    }
    // Body bytes that came with the head are parsed below.
    std::string rest;
    rest.swap(s.head);
    return rest.empty() ? RequestReadResult::kNeedMore : Feed(rest.data(), rest.size());
  }
  // The body: bytes are handed to the parser as they come; a chunk header cut in two is kept.
  s.head.append(data, size);
  size_t offset = 0;
  while (offset < s.head.size() && !s.parser.is_done()) {
    error_code ec;
    const size_t used = s.parser.put(boost::asio::buffer(s.head.data() + offset, s.head.size() - offset), ec);
    offset += used;
    if (ec == http::error::need_more) break;
    if (ec) {
      s.finished = true;
      return outcome(ec);
    }
    if (used == 0) break;
  }
  s.head.erase(0, offset);
  if (s.parser.is_done()) {
    s.finished = true;
    s.head.clear();
    s.head.shrink_to_fit();
    return RequestReadResult::kComplete;
  }
  return RequestReadResult::kNeedMore;
}

std::string HttpDateNow() {
  static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const std::time_t now = std::time(nullptr);
  std::tm t{};
  gmtime_r(&now, &t);
  char text[40];
  std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d GMT", kDays[t.tm_wday], t.tm_mday,
                kMonths[t.tm_mon], t.tm_year + 1900, t.tm_hour, t.tm_min, t.tm_sec);
  return text;
}

std::string SerializeReplyHead(const HttpReply& reply) {
  http::response_header<> message;
  message.version(11);
  message.result(static_cast<unsigned>(reply.status));
  const std::string reason = reply.reason.empty() ? std::string(StandardReason(reply.status)) : reply.reason;
  message.reason(reason);
  bool has_date = false;
  bool has_connection = false;
  for (const auto& h : reply.headers) {
    if (boost::beast::iequals(h.name, "Content-Length")) continue;
    has_date = has_date || boost::beast::iequals(h.name, "Date");
    has_connection = has_connection || boost::beast::iequals(h.name, "Connection");
    message.insert(h.name, h.value);
  }
  message.set(http::field::content_length, std::to_string(reply.body.size()));
  if (!has_connection) message.set(http::field::connection, "close");
  if (!has_date) message.set(http::field::date, HttpDateNow());

  http::response<http::empty_body> empty(std::move(message));
  http::serializer<false, http::empty_body> serializer(empty);
  serializer.split(true);
  std::string head;
  error_code ec;
  while (!serializer.is_header_done()) {
    serializer.next(ec, [&](error_code&, const auto& buffers) {
      size_t total = 0;
      for (auto it = boost::asio::buffer_sequence_begin(buffers);
           it != boost::asio::buffer_sequence_end(buffers); ++it) {
        const boost::asio::const_buffer b = *it;
        head.append(static_cast<const char*>(b.data()), b.size());
        total += b.size();
      }
      serializer.consume(total);
    });
    if (ec) break;
  }
  return head;
}

}  // namespace livrexa
