#pragma once
// How the host switches the HTTP listener: off, then on at a port with the handler module class.

#include <string>

namespace livrexa::host {

class TListenerControl {
 public:
  virtual ~TListenerControl() = default;
  virtual void Deactivate() = 0;
  // Starts listening on the port with the request handler module; throws LivrexaError with the
  // engine's message when the port cannot be bound.
  virtual void Activate(int port) = 0;
  virtual bool Active() const = 0;
};

}  // namespace livrexa::host
