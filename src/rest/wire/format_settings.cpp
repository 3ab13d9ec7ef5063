#include "rest/wire/format_settings.h"

namespace livrexa {

const TFormatSettings& ProcessFormat() {
  static const TFormatSettings settings{};
  return settings;
}

}  // namespace livrexa
