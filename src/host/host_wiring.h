#pragma once
// The pieces of other subsystems that the host runs: the HTTP listener with the request handler
// module, and what the backup needs from the database gateway.

#include <functional>
#include <memory>

#include "handlers/host_services.h"
#include "host/backup_routines.h"
#include "host/listener_control.h"

namespace livrexa::host {

struct THostWiring {
  // Builds the listener whose handler modules reach the host through `services`.
  std::function<std::unique_ptr<TListenerControl>(THostServices& services)> makeListener;
  // The administrator check of the login dialog: runs ValidaLogin on a handler module of its own
  // and returns its answer (the user's number as text, or "ERRO"); throws LivrexaError on failure.
  std::function<std::string(THostServices& services, const std::string& user, const std::string& password)>
      validaLogin;
  TBackupTools backupTools;
};

}  // namespace livrexa::host
