#pragma once
// Reservations (T15_RESERV).

namespace livrexa {

class TDM;

// Adds this library's flags to the handler module's tables (once, at start-up).
void RegisterReservationOperations();

}  // namespace livrexa
