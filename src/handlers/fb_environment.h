#pragma once
// The process's own Firebird folder: the embedded engine's configuration, lock and temporary
// files live in a folder the server owns, not in the system installation's.
//
// Layout of the folder:
//   firebird.conf      ServerMode = SuperClassic, Providers = the engines only; the remote
//                      provider is listed too only while the server's database is on a Firebird
//                      server (SetServerMode), for the tools started as children
//   intl/              a real copy of the installation's libfbintl.so (and fbintl.conf)
//   lock/              FIREBIRD_LOCK: shared by the server and every gbak it starts
//   tmp/               FIREBIRD_TMP: sort files
//
// SuperClassic lets several processes (the server and a gbak child making the daily backup) open
// the same file at once; keeping Providers to the engine stops an "embedded" open of a file that a
// Firebird server holds from silently going over TCP. The library reads FIREBIRD, FIREBIRD_LOCK and
// FIREBIRD_TMP at its first call, so Activate() sets them before that; every Firebird tool started
// as a child must get the same three values (ToolEnvironment()), or its locks would not be
// coordinated with ours. The process's own attachments name their providers themselves
// (AttachmentProviders in fb_attachment.h), so a change of mode needs no restart.

#include <filesystem>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace livrexa {

// Provider names: the Firebird 4 and 3 engines (a library that lacks one skips the name), and the
// client's network protocol.
inline constexpr const char* kFbEngineProviders = "Engine13, Engine12";
inline constexpr const char* kFbRemoteProvider = "Remote";

class TFbEnvironment {
 public:
  static TFbEnvironment& Instance();

  // Chooses the folder. Allowed until the environment is active; choosing another folder
  // afterwards fails (the client library keeps the folder it started with).
  void SetFolder(const std::filesystem::path& folder);
  std::filesystem::path Folder() const;

  // Creates the folder's files and sets FIREBIRD, FIREBIRD_LOCK and FIREBIRD_TMP in the process.
  // Idempotent. The gateway calls it before its first client call; a host should call it during
  // start-up, while it has only one thread (setting environment variables is not thread-safe).
  void Activate();
  bool Active() const;

  // Whether the server's database is on a Firebird server: firebird.conf then lists the remote
  // provider before the engines, so a gbak child can reach the server (and still restore into a
  // local file). Allowed at any time; an active environment rewrites the file at once.
  void SetServerMode(bool serverMode);
  bool ServerMode() const;

  // The variables to hand to a Firebird tool started as a child process (gbak, isql-fb).
  std::vector<std::pair<std::string, std::string>> ToolEnvironment() const;

  // LIVREXA_FIREBIRD_DIR when set; otherwise $XDG_DATA_HOME/livrexa/firebird or
  // ~/.local/share/livrexa/firebird.
  static std::filesystem::path DefaultFolder();
  // The Firebird installation whose intl module is copied: LIVREXA_FIREBIRD_HOME when set,
  // otherwise the first known installation folder that holds intl/libfbintl.so.
  static std::filesystem::path InstallationFolder();
  // The text written into firebird.conf.
  static std::string ConfigText(bool serverMode = false);

 private:
  TFbEnvironment() = default;
  void CreateFiles() const;
  void WriteConfig() const;  // under the lock

  mutable std::mutex mutex_;
  std::filesystem::path folder_;
  bool active_ = false;
  bool serverMode_ = false;
};

}  // namespace livrexa
