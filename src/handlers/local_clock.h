#pragma once
// The machine's local date and time, as the handlers write them into logs and rows.

#include <string>

#include "rest/wire/wire_numbers.h"

namespace livrexa {

TDateTime Now();
TDateTime Date();  // today at 00:00
TDateTime Time();  // the time of day alone
// "dd/mm/yyyy hh:nn:ss": the process date format followed by the long time format.
std::string NowText();

}  // namespace livrexa
