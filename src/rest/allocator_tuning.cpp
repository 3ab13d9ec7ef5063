#include "rest/allocator_tuning.h"

#include <malloc.h>

namespace livrexa {

void TuneAllocatorForLargeTexts() {
  mallopt(M_MMAP_THRESHOLD, 32 << 20);  // the largest the allocator accepts on 64-bit systems
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
}

}  // namespace livrexa
