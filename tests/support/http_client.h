#pragma once
// A small raw-socket HTTP client for the listener tests: it sends bytes exactly as given and
// returns exactly what came back, so reason phrases, header order and dropped connections show.

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "rest/http/http_types.h"

namespace livrexa::test {

struct RawReply {
  bool received = false;  // false: the connection closed without a single byte
  std::string raw;
  std::string status_line;
  int status = 0;
  std::string reason;
  std::vector<HttpHeader> headers;
  std::string body;

  std::string Header(const std::string& name) const;
  bool HasHeader(const std::string& name) const;
};

// Connects to host:port, sends the bytes, reads until the server closes (or the time-out).
std::string SendRaw(uint16_t port, const std::string& bytes, const std::string& host = "127.0.0.1",
                    std::chrono::milliseconds timeout = std::chrono::seconds(20));
RawReply ParseReply(const std::string& raw);
RawReply Exchange(uint16_t port, const std::string& bytes, const std::string& host = "127.0.0.1");

// A connected socket (or -1); the caller closes it.
int ConnectTo(uint16_t port, const std::string& host = "127.0.0.1");
std::string ReadUntilClosed(int fd, std::chrono::milliseconds timeout = std::chrono::seconds(20));
bool SendAllBytes(int fd, const std::string& bytes);

// "Authorization: Basic ..." header line (with CR LF).
std::string BasicAuthLine(const std::string& user, const std::string& password);

// A whole request: request line, the given header lines (each ending in CR LF), Content-Length
// when there is a body, a blank line and the body.
std::string BuildRequest(const std::string& method, const std::string& target, const std::string& headers,
                         const std::string& body = "");

}  // namespace livrexa::test
