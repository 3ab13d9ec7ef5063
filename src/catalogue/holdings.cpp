// Holdings (T09_ACERVO) with their authors (T10), contents entries (T11) and photo (T20).

#include "catalogue/holdings.h"

#include "handlers/tdm_operations.h"

namespace livrexa {

void RegisterHoldingOperations() {}

}  // namespace livrexa
