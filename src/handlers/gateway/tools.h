#pragma once
// Firebird's command-line tools (gbak for backups and restores, isql-fb for scripts), started as
// child processes that share the server's Firebird folder, so their locks are coordinated with
// the server's own attachments.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace livrexa {

// The first of the names found in LIVREXA_FIREBIRD_BIN, the installation's bin folders, or PATH,
// preferring a real program to a shell wrapper (which would replace the Firebird environment);
// empty when none is found. Example: FindFirebirdTool({"isql-fb", "isql"}).
std::filesystem::path FindFirebirdTool(const std::vector<std::string>& names);

struct TToolRun {
  int ExitCode = -1;   // the tool's exit status; -1 when it could not start or was killed
  std::string Output;  // what it wrote to standard output and standard error
};

// Starts the tool with the arguments (each passed as one argument, blanks included), the
// Firebird environment of this process (TFbEnvironment::ToolEnvironment()) and standard input
// from /dev/null, and waits for it to end.
TToolRun RunFirebirdTool(const std::filesystem::path& program, const std::vector<std::string>& args);

}  // namespace livrexa
