#include "host/computer_name.h"

#include <unistd.h>

namespace livrexa::host {

std::string NomeComputador() {
  constexpr size_t kMaxName = 15;
  char buffer[256] = {};
  if (::gethostname(buffer, sizeof buffer - 1) != 0) return "";
  std::string name(buffer);
  if (name.size() > kMaxName) name.resize(kMaxName);
  return name;
}

}  // namespace livrexa::host
