#pragma once
// Which Firebird wrote a database and which one runs here. A database file carries the on-disk
// structure (ODS) of the engine that created or restored it, and an engine opens only its own
// major structure: Firebird 3 writes and opens 12.0, Firebird 4 13.0, Firebird 5 13.1 (and opens
// 13.0). The file's header is read directly, so a file the installed engine refuses can still be
// named, and the operator told how to move it.

#include <filesystem>
#include <string>

namespace livrexa {

class TFbConnection;

struct TOdsVersion {
  int major = 0;  // 0: unknown
  int minor = 0;
  bool Known() const { return major > 0; }
  std::string Text() const;  // "13.0"
};

// The structure written in a database file's header page; unknown when the file cannot be read or
// is no Firebird database.
TOdsVersion ReadFileOds(const std::filesystem::path& file);

// The Firebird release that writes a structure: "Firebird 4" for 13.0, "Firebird 3" for 12.0, ...
std::string FirebirdOfOds(TOdsVersion ods);

// The engine of the client library this process loaded.
struct TFbEngineFacts {
  int major = 0;
  int minor = 0;
  std::string version;  // "4.0.5"; "4.0" when the library gives no more
  // The structure its engine creates.
  TOdsVersion Ods() const;
  // Whether its engine opens a file of that structure.
  bool Opens(TOdsVersion ods) const;
};
TFbEngineFacts InstalledEngine();

// Portuguese: the file was made by another Firebird than the one here, and how to move it.
std::string WrongOdsMessage(const std::string& path, TOdsVersion file, const TFbEngineFacts& engine);

// What the engine that serves an attached database says of it.
struct TFbDatabaseFacts {
  TOdsVersion ods;
  std::string engineVersion;  // "4.0.5"; empty when the engine does not say
};
// Attaches first when needed; fails with the engine's message.
TFbDatabaseFacts DatabaseFacts(TFbConnection& connection);

}  // namespace livrexa
