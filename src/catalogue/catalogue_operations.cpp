// The catalogue's flags in the handler module's tables.

#include <mutex>

#include "catalogue/authority_tables.h"
#include "catalogue/holdings.h"
#include "catalogue/readers.h"
#include "handlers/tdm_dispatch.h"

namespace livrexa {

void RegisterCatalogueOperations() {
  static std::once_flag once;
  std::call_once(once, [] {
    RegisterAuthorityTableOperations();
    RegisterHoldingOperations();
    RegisterReaderOperations();
  });
}

}  // namespace livrexa
