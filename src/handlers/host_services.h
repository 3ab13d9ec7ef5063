#pragma once
// What the request handlers need from the process that hosts them. The host (window or headless)
// implements it; the handlers and the REST layer know nothing else of the host.
//
// AppendLog and AddRequest hand their work to the host's own thread and return at once; the host
// applies them in the order they were issued. The readers take the host's settings lock for the
// moment of the read, so a settings change never meets a half-read value.

#include <string>

namespace livrexa {

class THostServices {
 public:
  virtual ~THostServices() = default;

  // One entry of the operator's log (may contain CR).
  virtual void AppendLog(const std::string& entry) = 0;
  // The request counter goes up by one (once per handler-module creation).
  virtual void AddRequest() = 0;

  // The database file path (vLocalDB), read when a module connects.
  virtual std::string LocalDB() const = 0;
  // The window title, which heads the reply of a failed query.
  virtual std::string Title() const = 0;
  // The last status text of the update check (vStatusAtualizacao).
  virtual std::string StatusAtualizacao() const = 0;
  virtual void SetStatusAtualizacao(const std::string& status) = 0;
  // Starts an update check and returns without waiting for its outcome; the checker's events
  // write the status text.
  virtual void CheckUpdate() = 0;
  // The support e-mail address quoted at the end of a failed query's reply.
  virtual std::string SupportAddress() const = 0;
};

// The host of this process. Until SetHost is called it is a host that keeps nothing.
THostServices& Host();
// Installs the host (before the listener starts); nullptr goes back to the empty host.
void SetHost(THostServices* host);

}  // namespace livrexa
