#include "support/firebird_db.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <stdexcept>

#include "handlers/gateway/connection.h"
#include "handlers/gateway/tools.h"
#include "support/source_dir.h"

namespace livrexa::test {

namespace fs = std::filesystem;

namespace {

std::mutex g_mutex;
fs::path g_root;
fs::path g_templates[2];  // plain schema, schema + demo data

// Removes the temporary folder when the test program ends.
class TempRootCleanup : public ::testing::Environment {
 public:
  void TearDown() override {
    std::lock_guard lock(g_mutex);
    // Stop the engine first: its threads must be gone before the files go, and before the leak
    // check at exit stops every thread to scan it.
    if (!g_root.empty()) FbShutdown();
    std::error_code ec;
    if (!g_root.empty()) fs::remove_all(g_root, ec);
  }
};
[[maybe_unused]] ::testing::Environment* const g_cleanup =
    ::testing::AddGlobalTestEnvironment(new TempRootCleanup);

fs::path RootLocked() {
  if (!g_root.empty()) return g_root;
  // Database files are written with forced (synchronous) writes; in a memory file system that
  // costs nothing, on a disk it makes creating the template take seconds.
  std::string base = "/tmp";
  if (const char* tmp = std::getenv("TMPDIR"); tmp && *tmp) base = tmp;
  if (::access("/dev/shm", W_OK) == 0) base = "/dev/shm";
  if (const char* dir = std::getenv("LIVREXA_TEST_TMPDIR"); dir && *dir) base = dir;
  std::string pattern = base + "/livrexa-gateway-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed for " + pattern);
  g_root = pattern;
  // The process's Firebird folder lives in the temporary folder too, unless another part of the
  // test program has already chosen and activated one.
  TFbEnvironment& environment = TFbEnvironment::Instance();
  if (!environment.Active()) environment.SetFolder(g_root / "firebird");
  environment.Activate();
  return g_root;
}

}  // namespace

fs::path TempRoot() {
  std::lock_guard lock(g_mutex);
  return RootLocked();
}

fs::path NewPath(const std::string& stem, const std::string& extension) {
  static std::atomic<int> counter{0};
  return TempRoot() / (stem + "-" + std::to_string(counter.fetch_add(1)) + extension);
}

fs::path NewDatabase(bool demo) {
  fs::path templatePath;
  {
    std::lock_guard lock(g_mutex);
    const fs::path root = RootLocked();
    fs::path& cached = g_templates[demo ? 1 : 0];
    if (cached.empty()) {
      const fs::path target = root / (demo ? "template-demo.fdb" : "template.fdb");
      std::vector<std::string> args{(SourceDir() / "scripts" / "create-db.sh").string(), "--firebird-dir",
                                    TFbEnvironment::Instance().Folder().string()};
      if (demo) args.emplace_back("--demo");
      args.push_back(target.string());
      const TToolRun run = RunFirebirdTool("/bin/bash", args);
      if (run.ExitCode != 0) throw std::runtime_error("create-db.sh failed: " + run.Output);
      cached = target;
    }
    templatePath = cached;
  }
  const fs::path copy = NewPath(demo ? "demo" : "db", ".fdb");
  fs::copy_file(templatePath, copy);
  return copy;
}

void FbDatabaseTest::SetUp() {
  database_ = NewDatabase();
  pool_ = std::make_unique<TFbPool>();
  connection_ = NewConnection();
  query_ = std::make_unique<TFbQuery>(*connection_);
}

void FbDatabaseTest::TearDown() {
  query_.reset();
  connection_.reset();
  pool_.reset();
}

std::unique_ptr<TFbConnection> FbDatabaseTest::NewConnection(TFbPool* pool) {
  const std::string path = database_.string();
  return std::make_unique<TFbConnection>([path] { return path; }, pool);
}

int64_t FbDatabaseTest::ScalarInt(TFbConnection& connection, const std::string& sql) {
  TFbQuery query(connection);
  query.SQL.Add(sql);
  query.Open();
  return query.Eof() ? 0 : query.AsLargeInt(size_t{0});
}

void FbDatabaseTest::ExecCommitted(TFbConnection& connection, const std::string& sql) {
  TFbQuery query(connection);
  connection.StartTransaction();
  try {
    query.SQL.Add(sql);
    query.ExecSQL();
    connection.Commit();
  } catch (...) {
    connection.Rollback();
    throw;
  }
}

}  // namespace livrexa::test
