// Loans and returns (T12_EMPRE1, T13_EMPRE2).

#include "circulation/loans.h"

#include "handlers/tdm_operations.h"

namespace livrexa {

void RegisterLoanOperations() {}

}  // namespace livrexa
