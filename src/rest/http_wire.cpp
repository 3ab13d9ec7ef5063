#include "rest/http_wire.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>

#include <boost/beast/core/span.hpp>
#include <boost/beast/http.hpp>
#include <cerrno>
#include <ctime>
#include <vector>

namespace livrexa {
namespace {

namespace http = boost::beast::http;
using boost::beast::error_code;
using boost::beast::string_view;

// Collects the request straight into an HttpRequest: the headers in order of arrival with their
// names as sent (the library's own field container would group duplicates), and the body
// bounded by the limit.
class RequestCollector : public http::basic_parser<true> {
 public:
  RequestCollector(HttpRequest& request, uint64_t body_limit) : request_(request), limit_(body_limit) {
    this->body_limit(body_limit);
  }

 private:
  void on_request_impl(http::verb, string_view method, string_view target, int version,
                       error_code&) override {
    request_.method.assign(method.data(), method.size());
    request_.target.assign(target.data(), target.size());
    request_.version = version;
  }
  void on_response_impl(int, string_view, int, error_code&) override {}
  void on_field_impl(http::field, string_view name, string_view value, error_code&) override {
    request_.headers.push_back(
        {std::string(name.data(), name.size()), std::string(value.data(), value.size())});
  }
  void on_header_impl(error_code&) override {}
  void on_body_init_impl(const boost::optional<std::uint64_t>& length, error_code& ec) override {
    if (length && *length > limit_) {
      ec = http::error::body_limit;
      return;
    }
    // Reserve what was announced, but never more than a little: a client may announce and not send.
    if (length) request_.body.reserve(static_cast<size_t>(std::min<uint64_t>(*length, 1 << 20)));
  }
  size_t on_body_impl(string_view body, error_code& ec) override { return Append(body, ec); }
  void on_chunk_header_impl(std::uint64_t, string_view, error_code&) override {}
  size_t on_chunk_body_impl(std::uint64_t, string_view body, error_code& ec) override {
    return Append(body, ec);
  }
  void on_finish_impl(error_code&) override {}

  size_t Append(string_view body, error_code& ec) {
    if (request_.body.size() + body.size() > limit_) {
      ec = http::error::body_limit;
      return 0;
    }
    request_.body.append(body.data(), body.size());
    return body.size();
  }

  HttpRequest& request_;
  uint64_t limit_;
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

// Waits for bytes and reads what is there. 0: the peer closed or failed; -1: timed out.
ssize_t ReadSome(int fd, char* data, size_t size, std::chrono::milliseconds idle_timeout) {
  pollfd p{fd, POLLIN, 0};
  for (;;) {
    const int ready = ::poll(&p, 1, static_cast<int>(idle_timeout.count()));
    if (ready == 0) return -1;
    if (ready < 0) {
      if (errno == EINTR) continue;
      return 0;
    }
    const ssize_t n = ::recv(fd, data, size, 0);
    if (n < 0 && errno == EINTR) continue;
    return n < 0 ? 0 : n;
  }
}

bool SendAll(int fd, std::vector<iovec>& parts) {
  size_t index = 0;
  while (index < parts.size()) {
    msghdr msg{};
    msg.msg_iov = parts.data() + index;
    msg.msg_iovlen = parts.size() - index;
    const ssize_t n = ::sendmsg(fd, &msg, MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    size_t sent = static_cast<size_t>(n);
    while (index < parts.size() && sent >= parts[index].iov_len) sent -= parts[index++].iov_len;
    if (index < parts.size()) {
      parts[index].iov_base = static_cast<char*>(parts[index].iov_base) + sent;
      parts[index].iov_len -= sent;
    }
  }
  return true;
}

}  // namespace

RequestReadResult ReadHttpRequest(int fd, const RequestReadLimits& limits, HttpRequest& request) {
  RequestCollector parser(request, limits.body_limit);
  parser.header_limit(limits.header_limit);
  parser.eager(true);

  std::string buffer;
  size_t consumed = 0;
  bool line_taken = false;
  char chunk[16 * 1024];
  for (;;) {
    if (consumed < buffer.size()) {
      error_code ec;
      const size_t n =
          parser.put(boost::asio::buffer(buffer.data() + consumed, buffer.size() - consumed), ec);
      consumed += n;
      if (!line_taken && parser.is_header_done()) {
        request.request_line = FirstLine(buffer);
        line_taken = true;
      }
      if (ec == http::error::body_limit) return RequestReadResult::kTooLarge;
      if (ec && ec != http::error::need_more) return RequestReadResult::kMalformed;
      if (parser.is_done()) return RequestReadResult::kComplete;
      if (!ec && n > 0) continue;
    } else if (parser.is_done()) {
      return RequestReadResult::kComplete;
    }
    // The header must stay whole in the buffer until it is parsed; body bytes already taken
    // by the parser are dropped so the buffer does not grow with the body.
    if (parser.is_header_done() && consumed > 0) {
      buffer.erase(0, consumed);
      consumed = 0;
    }
    const ssize_t n = ReadSome(fd, chunk, sizeof chunk, limits.idle_timeout);
    if (n < 0) return RequestReadResult::kTimedOut;
    if (n == 0) return RequestReadResult::kClosed;
    buffer.append(chunk, static_cast<size_t>(n));
  }
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

bool WriteHttpReply(int fd, const HttpReply& reply) {
  using Body = http::span_body<const char>;
  http::response<Body> message;
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
  message.content_length(reply.body.size());
  if (!has_connection) message.set(http::field::connection, "close");
  if (!has_date) message.set(http::field::date, HttpDateNow());
  message.body() = boost::beast::span<const char>(reply.body.data(), reply.body.size());

  http::serializer<false, Body> serializer(message);
  error_code ec;
  while (!serializer.is_done()) {
    std::vector<iovec> parts;
    size_t total = 0;
    serializer.next(ec, [&](error_code&, const auto& buffers) {
      for (auto it = boost::asio::buffer_sequence_begin(buffers);
           it != boost::asio::buffer_sequence_end(buffers); ++it) {
        const boost::asio::const_buffer b = *it;
        parts.push_back({const_cast<void*>(b.data()), b.size()});
        total += b.size();
      }
    });
    if (ec) return false;
    if (!SendAll(fd, parts)) return false;
    serializer.consume(total);
  }
  return true;
}

}  // namespace livrexa
