#include "rest/http/allocator_tuning.h"

#include <malloc.h>

#include <atomic>

namespace livrexa {

void TuneAllocatorForLargeTexts() {
  mallopt(M_MMAP_THRESHOLD, 32 << 20);  // the largest the allocator accepts on 64-bit systems
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
  mallopt(M_ARENA_MAX, 4);
}

void ReleaseFreedMemory() {
  static std::atomic<bool> running{false};
  if (running.exchange(true)) return;
  malloc_trim(0);
  running = false;
}

}  // namespace livrexa
