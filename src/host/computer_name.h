#pragma once
#include <string>

namespace livrexa::host {

// The machine's host name, at most 15 characters; empty when it cannot be read.
std::string NomeComputador();

}  // namespace livrexa::host
