#pragma once
// Holdings (T09_ACERVO) with their authors (T10), contents entries (T11) and photo (T20).

namespace livrexa {

class TDM;

// Adds this library's flags to the handler module's tables (once, at start-up).
void RegisterHoldingOperations();

}  // namespace livrexa
