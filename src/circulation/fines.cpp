// Fines of returned loan items (T13_EMPRE2).

#include "circulation/fines.h"

#include "handlers/tdm_operations.h"

namespace livrexa {

void RegisterFineOperations() {}

}  // namespace livrexa
