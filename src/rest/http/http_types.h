#pragma once
// The request and reply as the rest of the REST layer sees them: plain data, no HTTP library types.
// The engine (http_server.h) fills an HttpRequest from the wire and writes an HttpReply back.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace livrexa {

struct HttpHeader {
  std::string name;
  std::string value;
};

struct HttpRequest {
  // As received on the wire.
  std::string request_line;         // the first line, without its CR LF
  std::string method;               // the method word as sent ("GET", "post", "OPTIONS", ...)
  std::string target;               // the raw request target
  std::string path;                 // target up to the first "?", not percent-decoded
  std::string query;                // target after the first "?", as received
  int version = 11;                 // 10 for HTTP/1.0, 11 for HTTP/1.1
  std::vector<HttpHeader> headers;  // every header, in order of arrival (duplicates kept)
  std::string body;                 // the raw body bytes (moved to form_text for an ASCII form)

  // Derived by the engine from the items above (FillDerivedItems in http_request.h).
  std::string content_type;         // the Content-Type value, boundary parameter included
  std::vector<std::string> params;  // query items (form items first for a form body), "name=value"
  std::string form_text;            // body of an application/x-www-form-urlencoded request
  bool has_body_stream = false;     // a body that is not a form body
  std::string auth_user;            // Basic credentials, empty without an Authorization header
  std::string auth_password;
  bool non_basic_authorization = false;  // an Authorization header of another scheme was sent

  // The peer.
  std::string remote_ip;
  uint16_t remote_port = 0;
  bool ipv6 = false;
  std::string user_agent;
  std::string referer;

  // First header of that name (letter case ignored), or "" when absent.
  std::string Header(std::string_view name) const;
  bool HasHeader(std::string_view name) const;
};

struct HttpReply {
  int status = 200;
  std::string reason;  // empty: the standard phrase of the status
  std::vector<HttpHeader> headers;
  std::string body;
  bool drop = false;  // close the connection without sending anything

  // Replaces the first header of that name (letter case ignored) or appends it.
  void SetHeader(std::string_view name, std::string_view value);
  void AddHeader(std::string_view name, std::string_view value);
  std::string Header(std::string_view name) const;
  bool HasHeader(std::string_view name) const;
};

// The standard reason phrase of a status code ("OK", "Not Found", ...), "Unknown" for others.
std::string_view StandardReason(int status);

// The connection of a request, as its handler sees it. SendEarly lets a handler answer before it
// has finished its work: the connection then sends nothing more for this request, and the handler
// keeps running on its thread. OnPeerGone lets a long piece of work stop when nobody waits for it.
class HttpEarlyReply {
 public:
  virtual ~HttpEarlyReply() = default;
  virtual void SendEarly(const HttpReply& reply) = 0;
  virtual bool EarlySent() const = 0;
  // Calls `action` once, on another thread, when the client closes its connection while the
  // request is being handled (at once when it already has). An empty action removes the previous
  // one; once that call returns, the previous action is not running and will not run.
  virtual void OnPeerGone(std::function<void()> action) { (void)action; }
};

// Called once per complete request on a worker thread. An exception that escapes it becomes a 500
// reply whose body is the exception's message (the headers already set are kept). The handler may
// empty the request's large members once it has read them, to give their memory back early.
using HttpHandler = std::function<void(HttpRequest&, HttpReply&, HttpEarlyReply&)>;

}  // namespace livrexa
