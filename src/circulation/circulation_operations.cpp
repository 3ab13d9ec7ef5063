// The circulation's flags in the handler module's tables.

#include <mutex>

#include "circulation/fines.h"
#include "circulation/loans.h"
#include "circulation/reservations.h"
#include "handlers/tdm_dispatch.h"

namespace livrexa {

void RegisterCirculationOperations() {
  static std::once_flag once;
  std::call_once(once, [] {
    RegisterLoanOperations();
    RegisterReservationOperations();
    RegisterFineOperations();
  });
}

}  // namespace livrexa
