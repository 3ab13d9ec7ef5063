#include "support/source_dir.h"

#include <cstdlib>
#include <stdexcept>

namespace livrexa::test {

namespace fs = std::filesystem;

fs::path SourceDir() {
  if (const char* dir = std::getenv("LIVREXA_SOURCE_DIR"); dir && *dir) return dir;
  std::error_code ec;
  for (fs::path p = fs::read_symlink("/proc/self/exe", ec).parent_path(); !p.empty() && p != p.root_path();
       p = p.parent_path())
    if (fs::exists(p / "db" / "schema.sql", ec)) return p;
  throw std::runtime_error("source tree not found (set LIVREXA_SOURCE_DIR)");
}

fs::path BinaryDir() {
  if (const char* dir = std::getenv("LIVREXA_BINARY_DIR"); dir && *dir) return dir;
  return fs::current_path().parent_path().parent_path();
}

}  // namespace livrexa::test
