// Readers (T04_LEITOR) with their photo (T21_FOTOS2), and school classes (T16_TURMAS).

#include "catalogue/readers.h"

#include "handlers/tdm_operations.h"

namespace livrexa {

void RegisterReaderOperations() {}

}  // namespace livrexa
