#pragma once
// Fines of returned loan items (T13_EMPRE2).

namespace livrexa {

class TDM;

// Adds this library's flags to the handler module's tables (once, at start-up).
void RegisterFineOperations();

}  // namespace livrexa
