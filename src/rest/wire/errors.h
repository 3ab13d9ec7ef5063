#pragma once
// A failure that carries the message text the clients and the log see.
// Operations raise it; the request handlers and the listener catch it at their boundaries
// and turn it into a reply text or a status code, so none ever leaves a request thread.

#include <stdexcept>
#include <string>

namespace livrexa {

class LivrexaError : public std::runtime_error {
 public:
  explicit LivrexaError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace livrexa
