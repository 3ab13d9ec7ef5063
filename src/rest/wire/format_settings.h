#pragma once
// The process-wide date and number formats. The server fixes them at start ("dd/mm/yyyy",
// decimal comma, thousands dot) and never changes them afterwards, so request threads read
// them without a lock; nothing here touches the C locale.

#include <string>

namespace livrexa {

struct TFormatSettings {
  char DecimalSeparator = ',';
  char ThousandSeparator = '.';
  char DateSeparator = '/';
  char TimeSeparator = ':';
  std::string ShortDateFormat = "dd/mm/yyyy";
  std::string LongTimeFormat = "hh:nn:ss";
};

// The formats every conversion uses unless it is handed others (tests use other separators).
const TFormatSettings& ProcessFormat();

}  // namespace livrexa
