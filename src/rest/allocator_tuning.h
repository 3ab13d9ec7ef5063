#pragma once

namespace livrexa {

// Keeps freed buffers of up to 32 MiB in the heap instead of returning them to the system at
// once. Dataset texts and their base64 forms of several megabytes are built for every large
// reply; without this each one is a fresh mapping whose pages fault in again on every request.
// Called once at process start, before other threads exist.
void TuneAllocatorForLargeTexts();

}  // namespace livrexa
