#include "handlers/gateway/connection.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <system_error>

#include "handlers/gateway/detail/attachment.h"
#include "rest/wire/errors.h"

namespace livrexa {

namespace fs = std::filesystem;

namespace {

std::string EnvText(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Writes through a temporary file and a rename, so a process reading the file (or running a
// library from it) never sees half of it.
void WriteFileAtomically(const fs::path& path, const std::string& bytes) {
  const fs::path temp = path.string() + ".tmp" + std::to_string(::getpid());
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw LivrexaError("Não foi possível gravar " + temp.string());
  }
  fs::rename(temp, path);
}

// A real copy (never a link): the engine locates its character-set module through its own path.
void CopyIfDifferent(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  if (!fs::is_regular_file(from, ec)) return;
  if (fs::is_regular_file(to, ec) && !fs::is_symlink(to, ec) &&
      fs::file_size(to, ec) == fs::file_size(from, ec) && ReadFile(to) == ReadFile(from))
    return;
  WriteFileAtomically(to, ReadFile(from));
  fs::permissions(to, fs::status(from).permissions(), ec);
}

// Every file below `from` (links followed, since the engine refuses a module whose real path is not
// where it looked), as real copies below `to`.
void CopyTreeIfDifferent(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  if (!fs::is_directory(from, ec)) return;
  fs::create_directories(to, ec);
  for (auto it = fs::recursive_directory_iterator(from, fs::directory_options::follow_directory_symlink, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    const fs::path target = to / fs::relative(it->path(), from, ec);
    if (it->is_directory(ec))
      fs::create_directories(target, ec);
    else
      CopyIfDifferent(it->path(), target);
  }
}

// The engine's message file: beside the installation (Firebird 3 on Debian, the official
// installer) or in the distribution's shared data folder for that version.
fs::path MessageFile(const fs::path& installation) {
  std::error_code ec;
  const std::vector<fs::path> candidates{installation / "firebird.msg",
                                         fs::path("/usr/share/firebird") / installation.filename() / "firebird.msg"};
  for (const fs::path& candidate : candidates)
    if (fs::is_regular_file(candidate, ec)) return candidate;
  return {};
}

}  // namespace

TFbEnvironment& TFbEnvironment::Instance() {
  static TFbEnvironment environment;
  return environment;
}

void TFbEnvironment::SetFolder(const fs::path& folder) {
  std::lock_guard lock(mutex_);
  const fs::path wanted = fs::absolute(folder).lexically_normal();
  if (active_ && wanted != folder_)
    throw LivrexaError("A pasta do Firebird já está em uso: " + folder_.string());
  folder_ = wanted;
}

fs::path TFbEnvironment::Folder() const {
  std::lock_guard lock(mutex_);
  return folder_.empty() ? DefaultFolder() : folder_;
}

bool TFbEnvironment::Active() const {
  std::lock_guard lock(mutex_);
  return active_;
}

void TFbEnvironment::Activate() {
  std::lock_guard lock(mutex_);
  if (active_) return;
  if (folder_.empty()) folder_ = fs::absolute(DefaultFolder()).lexically_normal();
  CreateFiles();
  ::setenv("FIREBIRD", folder_.c_str(), 1);
  ::setenv("FIREBIRD_LOCK", (folder_ / "lock").c_str(), 1);
  ::setenv("FIREBIRD_TMP", (folder_ / "tmp").c_str(), 1);
  active_ = true;
}

void TFbEnvironment::WriteConfig() const {
  const fs::path conf = folder_ / "firebird.conf";
  std::error_code ec;
  const std::string text = ConfigText(serverMode_);
  if (!fs::exists(conf, ec) || ReadFile(conf) != text) WriteFileAtomically(conf, text);
}

void TFbEnvironment::SetServerMode(bool serverMode) {
  std::lock_guard lock(mutex_);
  if (serverMode == serverMode_) return;
  serverMode_ = serverMode;
  if (active_) WriteConfig();
}

bool TFbEnvironment::ServerMode() const {
  std::lock_guard lock(mutex_);
  return serverMode_;
}

void TFbEnvironment::CreateFiles() const {
  fs::create_directories(folder_ / "lock");
  fs::create_directories(folder_ / "tmp");
  fs::create_directories(folder_ / "intl");
  WriteConfig();
  std::error_code ec;

  const fs::path installation = InstallationFolder();
  if (installation.empty()) return;
  CopyIfDifferent(installation / "intl" / "libfbintl.so", folder_ / "intl" / "libfbintl.so");
  CopyIfDifferent(installation / "intl" / "fbintl.conf", folder_ / "intl" / "fbintl.conf");
  // Firebird 4 loads its engine and authentication plugins from $FIREBIRD/plugins (Firebird 3 on
  // Debian from its own folder, so the copy is only unused there), and its texts from
  // $FIREBIRD/firebird.msg: without them nothing attaches, or every error reads as a number.
  CopyTreeIfDifferent(installation / "plugins", folder_ / "plugins");
  if (const fs::path messages = MessageFile(installation); !messages.empty())
    CopyIfDifferent(messages, folder_ / "firebird.msg");
}

std::vector<std::pair<std::string, std::string>> TFbEnvironment::ToolEnvironment() const {
  const fs::path folder = Folder();
  return {{"FIREBIRD", folder.string()},
          {"FIREBIRD_LOCK", (folder / "lock").string()},
          {"FIREBIRD_TMP", (folder / "tmp").string()}};
}

fs::path TFbEnvironment::DefaultFolder() {
  if (const std::string dir = EnvText("LIVREXA_FIREBIRD_DIR"); !dir.empty()) return dir;
  if (const std::string data = EnvText("XDG_DATA_HOME"); !data.empty())
    return fs::path(data) / "livrexa" / "firebird";
  if (const std::string home = EnvText("HOME"); !home.empty())
    return fs::path(home) / ".local" / "share" / "livrexa" / "firebird";
  return fs::temp_directory_path() / ("livrexa-firebird-" + std::to_string(::getuid()));
}

fs::path TFbEnvironment::InstallationFolder() {
  if (const std::string home = EnvText("LIVREXA_FIREBIRD_HOME"); !home.empty()) return home;
  std::error_code ec;
  // Distribution packages keep one folder per version under a "firebird" library folder;
  // the newest version present wins. The official installer uses /opt/firebird.
  for (const char* base : {"/usr/lib/x86_64-linux-gnu/firebird", "/usr/lib/aarch64-linux-gnu/firebird",
                           "/usr/lib64/firebird", "/usr/lib/firebird"}) {
    std::vector<fs::path> versions;
    for (const auto& entry : fs::directory_iterator(base, ec))
      if (fs::exists(entry.path() / "intl" / "libfbintl.so", ec)) versions.push_back(entry.path());
    if (!versions.empty()) return *std::max_element(versions.begin(), versions.end());
  }
  if (fs::exists("/opt/firebird/intl/libfbintl.so", ec)) return "/opt/firebird";
  return {};
}

std::string TFbEnvironment::ConfigText(bool serverMode) {
  // Engine13 is the Firebird 4 engine; a library that does not have it skips the name.
  // DataTypeCompatibility makes a Firebird 4 engine describe its newer types (time zones, INT128,
  // DECFLOAT) as Firebird 3 types; Firebird 3 ignores the setting.
  return std::string(
             "# Written by the Livrexa server at start; changes here are overwritten.\n"
             "ServerMode = SuperClassic\n") +
         "Providers = " + (serverMode ? std::string(kFbRemoteProvider) + ", " : std::string()) +
         kFbEngineProviders + "\n" + "DataTypeCompatibility = 3.0\n";
}

}  // namespace livrexa
