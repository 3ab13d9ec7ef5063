#include "host/listener_control.h"

#include <cerrno>

namespace livrexa::host {

std::string PortErrorText(int port, int errorNumber, const std::string& detail) {
  std::string number = std::to_string(port);
  std::string head = "Não foi possível abrir a porta " + number + ": ";
  switch (errorNumber) {
    case EADDRINUSE:
      return head + "A porta " + number + " já está em uso por outro programa.";
    case EACCES:
    case EPERM:
      return head + "o sistema não permite que este programa use essa porta.";
    case EADDRNOTAVAIL:
      return head + "o endereço pedido não existe neste computador.";
    default:
      return head + detail;
  }
}

TPortError::TPortError(int port, int errorNumber, const std::string& detail)
    : LivrexaError(PortErrorText(port, errorNumber, detail)), port_(port), errorNumber_(errorNumber) {}

}  // namespace livrexa::host
