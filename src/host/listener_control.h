#pragma once
// How the host switches the HTTP listener: off, or on at a port with the handler module class.

#include <string>

#include "rest/wire/errors.h"

namespace livrexa::host {

// A port the listener could not open, with the reason in the operator's words.
class TPortError : public LivrexaError {
 public:
  TPortError(int port, int errorNumber, const std::string& detail);
  int Port() const { return port_; }
  int ErrorNumber() const { return errorNumber_; }

 private:
  int port_;
  int errorNumber_;
};

// "Não foi possível abrir a porta N: " and the reason: a port in use by another program, a port
// the system does not let this program open, an address this machine does not have; any other
// error number is told by `detail` (the engine's own message).
std::string PortErrorText(int port, int errorNumber, const std::string& detail);

class TListenerControl {
 public:
  virtual ~TListenerControl() = default;
  virtual void Deactivate() = 0;
  // Listens on `port` with the request handler module. A listener serving another port goes on
  // serving until the new port is open and only then lets go of its old port; when the new port
  // cannot be opened it keeps serving as before and TPortError is thrown. A listener already on
  // `port` stays as it is.
  virtual void Activate(int port) = 0;
  virtual bool Active() const = 0;
  // The port being served; 0 when off.
  virtual int Port() const = 0;
};

}  // namespace livrexa::host
