#pragma once
// Loans and returns (T12_EMPRE1, T13_EMPRE2).

namespace livrexa {

class TDM;

// Adds this library's flags to the handler module's tables (once, at start-up).
void RegisterLoanOperations();

}  // namespace livrexa
