#pragma once
// The server's real wiring (gateway, gbak tools, row counts) for the host tests, with one Firebird
// folder for the whole test program: the client library keeps the first folder it is given.

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

#include "host/assembly/server_wiring.h"
#include "host_test_support.h"
#include "support/source_dir.h"

namespace livrexa::test {

// The host's test helpers speak of the host's own types.
using namespace livrexa::host;

inline const std::filesystem::path& TestFirebirdFolder() {
  static TTempFolder folder{"wiring-firebird"};
  return folder.path();
}

// For a test that calls the client library itself: it must start with the program's one folder.
inline void UseTestFirebirdFolder() {
  ::setenv("LIVREXA_FIREBIRD_DIR", TestFirebirdFolder().c_str(), 1);
}

inline THostWiring TestWiring(const std::filesystem::path& home) {
  UseTestFirebirdFolder();
  THostOptions options;
  options.home = home;
  return ServerWiring(options);
}

// scripts/create-db.sh --demo for a file, with the test program's Firebird folder; its exit status.
inline int CreateDemoDatabase(const std::string& database) {
  const std::string command = "bash '" + (livrexa::test::SourceDir() / "scripts" / "create-db.sh").string() +
                              "' --demo --firebird-dir '" + TestFirebirdFolder().string() + "' '" + database +
                              "' >/dev/null 2>&1";
  return std::system(command.c_str());
}

// An isql script whose one row is the number of tables of the database and their rows in all,
// counted by the engine itself.
inline constexpr const char* kCountEveryTable =
    "set heading off;\nset term ^;\n"
    "execute block returns (n integer, m bigint) as declare t varchar(63); declare c bigint; begin n = 0; "
    "m = 0; for select trim(rdb$relation_name) from rdb$relations where coalesce(rdb$system_flag, 0) = 0 "
    "and rdb$view_blr is null into :t do begin execute statement 'select count(*) from \"' || t || '\"' "
    "into :c; n = n + 1; m = m + c; end suspend; end^\n";

// "Backup verificado: N tabelas, M registros" from the output of kCountEveryTable.
inline std::string VerifiedLineFromCount(const std::string& output) {
  std::istringstream in(output);
  long tables = 0, rows = 0;
  in >> tables >> rows;
  if (tables < 10 || rows < 10) return "(no count in: " + output + ")";
  return "Backup verificado: " + std::to_string(tables) + " tabelas, " + std::to_string(rows) + " registros";
}

}  // namespace livrexa::test
