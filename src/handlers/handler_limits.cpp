#include "handlers/handler_limits.h"

namespace livrexa {

THandlerLimits& HandlerLimits() {
  static THandlerLimits limits;
  return limits;
}

}  // namespace livrexa
