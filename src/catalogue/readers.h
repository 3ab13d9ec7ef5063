#pragma once
// Readers (T04_LEITOR) with their photo (T21_FOTOS2), and school classes (T16_TURMAS).

namespace livrexa {

class TDM;

// Adds this library's flags to the handler module's tables (once, at start-up).
void RegisterReaderOperations();

}  // namespace livrexa
