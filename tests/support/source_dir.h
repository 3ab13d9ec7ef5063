#pragma once
// Where the tests find the source tree (db/schema.sql, scripts/) and the build tree.

#include <filesystem>

namespace livrexa::test {

// LIVREXA_SOURCE_DIR (set by CTest), else the first parent folder of the test program that holds
// db/schema.sql.
std::filesystem::path SourceDir();
// LIVREXA_BINARY_DIR (set by CTest), else two folders above the current one.
std::filesystem::path BinaryDir();

}  // namespace livrexa::test
