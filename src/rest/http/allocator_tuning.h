#pragma once

namespace livrexa {

// Keeps freed buffers of up to 32 MiB in the heap instead of returning them to the system at
// once. Dataset texts and their base64 forms of several megabytes are built for every large
// reply; without this each one is a fresh mapping whose pages fault in again on every request.
// The number of heap arenas is bounded, so memory freed by one of hundreds of request threads is
// found again by the others instead of staying in an arena of its own.
// Called once at process start, before other threads exist.
void TuneAllocatorForLargeTexts();

// Gives freed heap memory back to the system (after a large request or reply, so the process
// returns near its baseline). Runs one at a time: a call while another runs returns at once.
void ReleaseFreedMemory();

// Requests and replies at least this large are followed by ReleaseFreedMemory().
inline constexpr unsigned long kLargeTransfer = 8ul << 20;

}  // namespace livrexa
