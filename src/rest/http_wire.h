#pragma once
// Reading one HTTP/1.1 request from a connected socket and writing one reply to it.
// The HTTP library stays inside http_wire.cpp; callers see only the plain structs of http_types.h.

#include <chrono>
#include <cstdint>

#include "rest/http_types.h"

namespace livrexa {

enum class RequestReadResult {
  kComplete,   // a whole request was read
  kClosed,     // the peer closed (or the socket failed) before a whole request arrived
  kMalformed,  // the bytes are not an HTTP request (a request line without a blank, bad headers...)
  kTooLarge,   // the body is longer than the limit; the rest of it has not been read
  kTimedOut,   // nothing arrived for the idle time-out
};

struct RequestReadLimits {
  uint64_t body_limit = 256ull << 20;
  std::chrono::milliseconds idle_timeout{60000};
  uint32_t header_limit = 64 * 1024;
};

// Reads the request line (kept exactly as received), the headers in order of arrival and the body.
RequestReadResult ReadHttpRequest(int fd, const RequestReadLimits& limits, HttpRequest& request);

// Writes status line (with the reply's reason phrase, or the standard one), headers and body in one
// piece. Adds Content-Length (the body's size), and Date and "Connection: close" when not set.
// Returns false when the peer could not be written to.
bool WriteHttpReply(int fd, const HttpReply& reply);

// "Tue, 15 Nov 1994 08:12:31 GMT" for the current time.
std::string HttpDateNow();

}  // namespace livrexa
