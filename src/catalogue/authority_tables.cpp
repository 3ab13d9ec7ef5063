// Authors, publishers, literary classifications, item types and languages (T05, T06, T07, T08, T14).

#include "catalogue/authority_tables.h"

#include "handlers/tdm_operations.h"

namespace livrexa {

void RegisterAuthorityTableOperations() {}

}  // namespace livrexa
