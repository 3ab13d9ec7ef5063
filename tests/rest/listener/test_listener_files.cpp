// Files the listener answers with: static files before authentication and files of the
// program's folder for an unknown event; neither ever from outside its folder.

#include <fstream>

#include <unistd.h>

#include "rest/listener/detail/listener_files.h"
#include "test_listener_fixture.h"

namespace livrexa::test {
namespace {

void WriteFile(const std::filesystem::path& file, const std::string& content) {
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << content;
}

TEST(ListenerFileTypes, ContentTypeByName) {
  struct Case {
    const char* name;
    const char* type;
  } cases[] = {
      {"index.html", "text/html"},
      {"a.php", "text/php"},
      {"logo.PNG", "image/png"},
      {"x.bmp", "image/bmp"},
      {"favicon.ico", "image/ico"},
      {"a.gif", "image/gif"},
      {"foto.jpg", "image/jpg"},
      {"app.js", "application/javascript"},
      {"data.json", "application/javascript"},  // ".JS" is found first
      {"doc.pdf", "application/pdf"},
      {"a.zip", "application/zip"},
      {"a.rar", "application/rar"},
      {"site.css", "text/css"},
      {"page.html.css", "text/html"},  // the first listed text found decides
      {"notes.txt", "text/plain"},
      {"blob.xyz", "application/octet-stream"},
      {"README", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ContentTypeOfFileName(c.name), c.type) << c.name;
}

TEST(ListenerFileLookup, NeverLeavesTheFolder) {
  const auto base = std::filesystem::temp_directory_path() / ("livrexa-files-" + std::to_string(::getpid()));
  WriteFile(base / "root" / "in.txt", "in");
  WriteFile(base / "root" / "sub" / "deep.txt", "deep");
  WriteFile(base / "outside.txt", "out");
  WriteFile(base / "other" / "deep" / "x.txt", "deeper than the folder");
  std::error_code ec;
  std::filesystem::create_directory_symlink(base, base / "root" / "link", ec);
  struct Case {
    std::string name;
    bool found;
  } cases[] = {
      {"in.txt", true},
      {"/in.txt", true},
      {"//in.txt", true},
      {"sub/deep.txt", true},
      {"sub/../in.txt", true},
      {"../outside.txt", false},
      {"sub/../../outside.txt", false},
      {(base / "outside.txt").string(), false},
      {"link/outside.txt", false},
      {"../other/deep/x.txt", false},
      {"link/other/deep/x.txt", false},
      {"sub", false},
      {"", false},
      {"missing.txt", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FileInsideFolder(base / "root", c.name).has_value(), c.found) << c.name;
  EXPECT_TRUE(FileInsideFolder(base / "root/", "in.txt").has_value())
      << "a folder given with a final separator";
  std::filesystem::remove_all(base);
}

TEST_F(ListenerTest, StaticFilesAreServedBeforeAuthentication) {
  WriteFile(static_folder / "index.html", "<p>oi</p>");
  WriteFile(static_folder / "js" / "app.js", "var a;");
  const RawReply page = Send("GET", "/index.html", "", "", false);
  EXPECT_EQ(page.status, 200);
  EXPECT_EQ(page.Header("Content-Type"), "text/html; charset=utf-8");
  EXPECT_EQ(page.body, "<p>oi</p>");
  EXPECT_EQ(page.Header("Access-Control-Allow-Origin"), "*");
  const RawReply script = Send("GET", "/js/app.js", "", "", false);
  EXPECT_EQ(script.Header("Content-Type"), "application/javascript");
  EXPECT_EQ(script.body, "var a;");
  // Only for GET.
  EXPECT_EQ(Send("POST", "/index.html", "", "", false).status, 401);
}

TEST_F(ListenerTest, StaticFilesNeverComeFromOutsideTheirFolder) {
  WriteFile(program_folder / "Config1.ini", "[INDICE]");
  WriteFile(folder / "secret.txt", "secret");
  WriteFile(folder / "elsewhere" / "a" / "b" / "secret.txt", "[secret]");
  const std::string targets[] = {"/../../elsewhere/a/b/secret.txt",
                                 "/../Config1.ini",
                                 "/%2e%2e/Config1.ini",
                                 "/../../secret.txt",
                                 (folder / "secret.txt").string(),
                                 "/" + (folder / "secret.txt").string()};
  for (const std::string& target : targets) {
    const RawReply reply = Send("GET", target, "", "", false);
    EXPECT_EQ(reply.status, 401) << target;
    EXPECT_EQ(reply.body.find("["), std::string::npos) << target;
  }
}

TEST_F(ListenerTest, ProgramFolderFilesForAnUnknownEvent) {
  WriteFile(program_folder / "notes.txt", "n1");
  WriteFile(program_folder / "sub" / "b.txt", "b1");
  WriteFile(folder / "secret.txt", "secret");
  WriteFile(folder / "elsewhere" / "a" / "b" / "secret.txt", "[secret]");
  struct Case {
    std::string target, headers;
    int status;
    std::string type, body;
  } cases[] = {
      {"/notes.txt", "", 200, "text/plain", "n1"},
      {"/sub/b.txt", "", 200, "text/plain", "b1"},
      // The referring page's last segment goes in front of the path.
      {"/b.txt", "Referer: http://127.0.0.1/sub\r\n", 200, "text/plain", "b1"},
      // A source map or web component that is not there still gets an empty 200.
      {"/app.js.map", "", 200, "application/javascript", ""},
      {"/../secret.txt", "", 404, "", "Event not found..."},
      {"/sub/../../secret.txt", "", 404, "", "Event not found..."},
      {"/../elsewhere/a/b/secret.txt", "", 404, "", "Event not found..."},
      {"/missing.txt", "", 404, "", "Event not found..."},
      {"/nodot", "", 404, "", "Event not found..."},
  };
  for (const auto& c : cases) {
    const RawReply reply = Get(c.target, c.headers);
    EXPECT_EQ(reply.status, c.status) << c.target;
    EXPECT_EQ(reply.body, c.body) << c.target;
    if (!c.type.empty()) {
      EXPECT_EQ(reply.Header("Content-Type"), c.type) << c.target;
    }
  }
}

TEST_F(ListenerTest, NoProgramFileAfterAnAsynchronousReply) {
  WriteFile(program_folder / "notes.txt", "n1");
  const RawReply reply = Get("/notes.txt?dwassyncexec=true");
  EXPECT_EQ(reply.body, R"({"status":"OK", "assyncmsg":"AssyncCommand Executed"})");
}

}  // namespace
}  // namespace livrexa::test
