// Reservations (T15_RESERV).

#include "circulation/reservations.h"

#include "handlers/tdm_operations.h"

namespace livrexa {

void RegisterReservationOperations() {}

}  // namespace livrexa
