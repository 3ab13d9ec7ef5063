// The process's own Firebird folder: configuration, variables, the copied character-set module,
// and the agreement between the server and scripts/create-db.sh.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "handlers/gateway/connection.h"
#include "handlers/gateway/tools.h"
#include "rest/wire/errors.h"
#include "support/firebird_db.h"

namespace livrexa::test {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(GatewayEnvironment, ConfigurationAllowsSeveralProcessesAndOnlyTheEngine) {
  const std::string conf = TFbEnvironment::ConfigText();
  EXPECT_NE(conf.find("\nServerMode = SuperClassic\n"), std::string::npos);
  const size_t providers = conf.find("\nProviders = ");
  ASSERT_NE(providers, std::string::npos);
  const std::string line = conf.substr(providers + 1, conf.find('\n', providers + 1) - providers - 1);
  EXPECT_NE(line.find("Engine12"), std::string::npos) << line;
  EXPECT_EQ(line.find("Remote"), std::string::npos) << line;  // never silently over TCP
  EXPECT_EQ(line.find("Loopback"), std::string::npos) << line;
}

TEST(GatewayEnvironment, ActivationWritesTheFolderAndSetsTheVariables) {
  TempRoot();  // activates the environment of this test process
  TFbEnvironment& environment = TFbEnvironment::Instance();
  ASSERT_TRUE(environment.Active());
  const fs::path folder = environment.Folder();
  EXPECT_EQ(ReadFile(folder / "firebird.conf"), TFbEnvironment::ConfigText());
  EXPECT_TRUE(fs::is_directory(folder / "lock"));
  EXPECT_TRUE(fs::is_directory(folder / "tmp"));
  for (const auto& [name, value] : environment.ToolEnvironment()) {
    const char* set = std::getenv(name.c_str());
    ASSERT_NE(set, nullptr) << name;
    EXPECT_EQ(value, set) << name;
  }
  const fs::path installation = TFbEnvironment::InstallationFolder();
  if (installation.empty()) GTEST_SKIP() << "no Firebird installation with an intl module";
  const fs::path intl = folder / "intl" / "libfbintl.so";
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(intl))) << "a real file, not a link";
  EXPECT_TRUE(ReadFile(intl) == ReadFile(installation / "intl" / "libfbintl.so"));
}

TEST(GatewayEnvironment, FolderCannotChangeOnceActive) {
  TempRoot();
  TFbEnvironment& environment = TFbEnvironment::Instance();
  const fs::path folder = environment.Folder();
  EXPECT_NO_THROW(environment.SetFolder(folder));
  EXPECT_THROW(environment.SetFolder(folder / "outra"), LivrexaError);
  EXPECT_EQ(environment.Folder(), folder);
}

TEST(GatewayEnvironment, DefaultFolderFollowsTheVariablesInOrder) {
  const char* saved = std::getenv("LIVREXA_FIREBIRD_DIR");
  const std::string keep = saved ? saved : "";
  ::setenv("LIVREXA_FIREBIRD_DIR", "/srv/livrexa/fb", 1);
  EXPECT_EQ(TFbEnvironment::DefaultFolder(), fs::path("/srv/livrexa/fb"));
  ::unsetenv("LIVREXA_FIREBIRD_DIR");
  const fs::path fallback = TFbEnvironment::DefaultFolder();
  EXPECT_EQ(fallback.filename(), "firebird");
  EXPECT_EQ(fallback.parent_path().filename(), "livrexa");
  if (saved) ::setenv("LIVREXA_FIREBIRD_DIR", keep.c_str(), 1);
}

TEST(GatewayEnvironment, CreateDbScriptWritesTheSameConfigurationAsTheServer) {
  const fs::path folder = TempRoot() / "script-firebird";
  const fs::path database = NewPath("script", ".fdb");
  const TToolRun run = RunFirebirdTool("/bin/bash", {(SourceDir() / "scripts" / "create-db.sh").string(),
                                                     "--firebird-dir", folder.string(), database.string()});
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_EQ(ReadFile(folder / "firebird.conf"), TFbEnvironment::ConfigText());
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(folder / "intl" / "libfbintl.so")));
  // And it refuses to write over the file it has just made.
  const TToolRun again = RunFirebirdTool("/bin/bash", {(SourceDir() / "scripts" / "create-db.sh").string(),
                                                       "--firebird-dir", folder.string(), database.string()});
  EXPECT_NE(again.ExitCode, 0);
  EXPECT_NE(again.Output.find("already exists"), std::string::npos) << again.Output;
}

using GatewayCharsetTest = FbDatabaseTest;

TEST_F(GatewayCharsetTest, SingleByteCharacterSetsWorkThroughTheCopiedModule) {
  // WIN1252 lives in the character-set module, not in the engine: this fails if it is not found.
  query_->SQL.Add("Select Cast(:p00 as varchar(20) character set WIN1252), ");
  query_->SQL.Add("Octet_Length(Cast(:p00 as varchar(20) character set WIN1252)) From RDB$DATABASE");
  query_->ParamByName("p00").SetAsString("ação €");
  query_->Open();
  EXPECT_EQ(query_->AsString(size_t{0}), "ação €");
  EXPECT_EQ(query_->AsInteger(size_t{1}), 6);  // one byte per character in WIN1252
}

}  // namespace
}  // namespace livrexa::test
