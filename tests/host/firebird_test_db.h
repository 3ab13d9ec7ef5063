#pragma once
// Real Firebird database files for the backup tests, made and read with isql-fb in embedded mode.

#include <cstdio>
#include <filesystem>
#include <string>

#include "host_test_support.h"

namespace livrexa::test {

// The host's test helpers speak of the host's own types.
using namespace livrexa::host;

// Runs isql-fb on a script; returns its standard output.
inline std::string RunIsql(const std::filesystem::path& folder, const std::string& script,
                           const std::string& database = "") {
  auto scriptPath = folder / "script.sql";
  WriteFileBytes(scriptPath, script);
  std::string command = "isql-fb -q -user SYSDBA -password brickwall ";
  if (!database.empty()) command += "'" + database + "' ";
  command += "-i '" + scriptPath.string() + "' 2>&1";
  std::string output;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[512];
    while (fgets(buffer, sizeof buffer, pipe)) output += buffer;
    pclose(pipe);
  }
  return output;
}

// A database with one table T holding `rows` rows.
inline void CreateTestDatabase(const std::filesystem::path& folder, const std::string& database, int rows) {
  std::string script = "create database '" + database +
                       "' user 'SYSDBA' password 'brickwall';\n"
                       "create table T (X integer);\ncommit;\n";
  for (int i = 0; i < rows; ++i) script += "insert into T values (" + std::to_string(i) + ");\n";
  script += "commit;\n";
  RunIsql(folder, script);
}

inline int CountRows(const std::filesystem::path& folder, const std::string& database) {
  std::string out = RunIsql(folder, "set heading off;\nselect count(*) from T;\n", database);
  try {
    return std::stoi(out);
  } catch (...) {
    return -1;
  }
}

}  // namespace livrexa::test
