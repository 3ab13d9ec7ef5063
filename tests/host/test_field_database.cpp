// Databases the server did not create: one made without the read-only user's rights and without
// the schema's indexes (as the schools' databases are), one of another Firebird's on-disk
// structure, and one whose metadata cannot change. Each is started with the real executable.

#include <gtest/gtest.h>
#include <signal.h>

#include <cstdio>
#include <fstream>
#include <regex>

#include "handlers/gateway/database_facts.h"
#include "handlers/gateway/tools.h"
#include "host/config_file.h"
#include "host_test_support.h"
#include "server_process.h"
#include "test_wiring.h"
#include "support/http_client.h"
#include "support/source_dir.h"

namespace livrexa::host {
namespace {
using namespace livrexa::test;
namespace fs = std::filesystem;

// Every index that no constraint made is dropped and the read-only user loses its rights.
constexpr const char* kStripAdditions = R"(SET TERM ^ ;
EXECUTE BLOCK AS
  DECLARE n VARCHAR(63);
BEGIN
  FOR SELECT TRIM(i.RDB$INDEX_NAME) FROM RDB$INDICES i
      WHERE COALESCE(i.RDB$SYSTEM_FLAG, 0) = 0
        AND NOT EXISTS (SELECT 1 FROM RDB$RELATION_CONSTRAINTS c WHERE c.RDB$INDEX_NAME = i.RDB$INDEX_NAME)
      INTO :n DO
    EXECUTE STATEMENT 'DROP INDEX "' || n || '"';
  FOR SELECT TRIM(RDB$RELATION_NAME) FROM RDB$RELATIONS WHERE COALESCE(RDB$SYSTEM_FLAG, 0) = 0 INTO :n DO
    EXECUTE STATEMENT 'REVOKE SELECT ON "' || n || '" FROM USER LIVREXA_LEITURA';
END^
SET TERM ; ^
COMMIT;
)";

constexpr const char* kCountAdditions =
    "SET HEADING OFF;\n"
    "SELECT 'indexes=' || COUNT(*) FROM RDB$INDICES WHERE COALESCE(RDB$SYSTEM_FLAG, 0) = 0;\n"
    "SELECT 'grants=' || COUNT(*) FROM RDB$USER_PRIVILEGES WHERE RDB$USER = 'LIVREXA_LEITURA' AND "
    "RDB$PRIVILEGE = 'S';\n";

class FieldDatabaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(ServerBinary())) GTEST_SKIP() << "no server executable at " << ServerBinary();
    isql_ = FindFirebirdTool({"isql-fb", "isql"});
    if (isql_.empty()) GTEST_SKIP() << "isql-fb is needed";
    fs::create_directories(runtime_);
    const std::string command = "bash '" + (SourceDir() / "scripts" / "create-db.sh").string() +
                                "' --demo --firebird-dir '" + Folder().string() + "' '" + database_ +
                                "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    port_ = UnusedLoopbackPort();
    WriteConfig(home_.path(), {database_, home_.text() + "Backup", "", port_, 12});
  }

  fs::path Folder() const { return home_.path() / ".firebird"; }

  // Runs a Firebird tool on the database with the home's Firebird folder; its output.
  std::string Tool(const fs::path& program, const std::string& arguments, const std::string& input = "") {
    const fs::path script = home_.path() / "script.sql";
    std::ofstream(script) << input;
    const std::string command = "FIREBIRD='" + Folder().string() + "' FIREBIRD_LOCK='" + (Folder() / "lock").string() +
                                "' FIREBIRD_TMP='" + (Folder() / "tmp").string() + "' '" + program.string() +
                                "' -user SYSDBA -password brickwall " + arguments + " 2>&1" +
                                (input.empty() ? "" : " < '" + script.string() + "'");
    std::string output;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
      char buffer[512];
      while (std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
      ::pclose(pipe);
    }
    return output;
  }
  std::string Isql(const std::string& script) { return Tool(isql_, "-q '" + database_ + "'", script); }
  int Count(const std::string& what) {
    const std::string out = Isql(kCountAdditions);
    std::smatch m;
    if (!std::regex_search(out, m, std::regex(what + "=(\\d+)"))) return -1;
    return std::stoi(m[1].str());
  }
  RawReply Ask(const std::string& target) {
    return Exchange(static_cast<uint16_t>(port_), BuildRequest("GET", target, BasicAuthLine("Tivel", "Tivel1968")));
  }
  // Starts the server, waits until it serves, gives back what it logged, and stops it.
  std::string Serve(const std::function<void()>& whileServing = {}) {
    TServerProcess server(home_.path(), runtime_);
    EXPECT_TRUE(server.WaitForOutput("Porta " + std::to_string(port_))) << server.Out() << server.Err();
    if (whileServing) whileServing();
    server.Signal(SIGTERM);
    EXPECT_EQ(server.Wait(std::chrono::seconds(20)), 0);
    return server.Out();
  }
  void ExpectServesLoginAndRawQuery() {
    EXPECT_NE(Ask("/ValidaUsuario?Usuario=ADMIN&Senha=ADMIN").body.find("\"RESPOSTA\":\"MQ==\""), std::string::npos);
    const RawReply raw = Ask("/Consulta?Flag=999&Filtro=select%20count(*)%20from%20T09_ACERVO");
    EXPECT_NE(raw.body.find("TABELA\":\"ey"), std::string::npos) << "rows of the raw query: " << raw.body;
  }

  TTempFolder home_{"field"};
  fs::path runtime_ = home_.path() / "run";
  std::string database_ = home_.text() + "Livrexa.FDB";
  fs::path isql_;
  int port_ = 0;
};

TEST_F(FieldDatabaseTest, FirstStartAddsRightsAndIndexesTheSecondAddsNothing) {
  const int fullIndexes = Count("indexes");
  const int fullGrants = Count("grants");
  ASSERT_GT(fullIndexes, 20);
  ASSERT_GT(fullGrants, 15);
  Isql(kStripAdditions);
  ASSERT_LT(Count("indexes"), fullIndexes - 20) << "only the primary keys' indexes stay";
  ASSERT_EQ(Count("grants"), 0);

  const std::string first = Serve([&] { ExpectServesLoginAndRawQuery(); });
  EXPECT_TRUE(std::regex_search(first, std::regex(R"(Banco de dados: .*Livrexa\.FDB \(ODS 1[23]\.\d, Firebird \d\.\d\.\d+\))")))
      << first;
  EXPECT_NE(first.find("Permissão de leitura dada ao usuário LIVREXA_LEITURA (consulta livre) em " +
                       std::to_string(fullGrants) + " tabelas."),
            std::string::npos)
      << first;
  EXPECT_NE(first.find("Índice IX_T10_NumAutor criado em T10_LINKAU (T10_NumAutor)"), std::string::npos) << first;
  EXPECT_NE(first.find("Índice IX_T09_Cutter criado em T09_ACERVO (Upper(T09_Cutter))"), std::string::npos) << first;
  EXPECT_NE(first.find(" índices atualizada em "), std::string::npos) << first;
  EXPECT_EQ(first.find("*** Aviso"), std::string::npos) << first;
  EXPECT_EQ(Count("indexes"), fullIndexes);
  EXPECT_EQ(Count("grants"), fullGrants);

  const std::string second = Serve();
  EXPECT_NE(second.find("Banco de dados em dia: permissões da consulta livre e índices presentes."), std::string::npos)
      << second;
  EXPECT_EQ(second.find("criado em"), std::string::npos) << second;
  EXPECT_EQ(Count("indexes"), fullIndexes);
}

// An index of the schema's columns under another name counts as present, and a schema index name
// the database uses for other columns does not stop the schema's index from being added.
TEST_F(FieldDatabaseTest, IndexesAreComparedByTableAndColumnsNotByName) {
  Isql(kStripAdditions);
  Isql("CREATE INDEX ESCOLA_LINK_AUTOR ON T10_LINKAU (T10_NumAutor);\n"
       "CREATE INDEX IX_T10_NumAcervo ON T10_LINKAU (T10_NumAutor, T10_NumAcervo);\nCOMMIT;\n");
  const std::string out = Serve();
  EXPECT_EQ(out.find("Índice IX_T10_NumAutor criado"), std::string::npos) << out;
  EXPECT_NE(out.find("Índice IX_T10_NumAcervo_2 criado em T10_LINKAU (T10_NumAcervo)"), std::string::npos) << out;
  EXPECT_NE(Isql("SET HEADING OFF;\nSELECT TRIM(RDB$INDEX_NAME) FROM RDB$INDICES WHERE RDB$INDEX_NAME = "
                 "'ESCOLA_LINK_AUTOR';\n")
                .find("ESCOLA_LINK_AUTOR"),
            std::string::npos)
      << "the school's own index stays";
}

// A read-only database cannot take the rights or the indexes: it is served all the same.
TEST_F(FieldDatabaseTest, ADatabaseWhoseMetadataCannotChangeIsServedWithAWarning) {
  const fs::path gfix = FindFirebirdTool({"gfix"});
  if (gfix.empty()) GTEST_SKIP() << "gfix is needed";
  Isql(kStripAdditions);
  Tool(gfix, "-mode read_only '" + database_ + "'");
  const std::string out = Serve([&] {
    EXPECT_NE(Ask("/ValidaUsuario?Usuario=ADMIN&Senha=ADMIN").body.find("\"RESPOSTA\":\"MQ==\""), std::string::npos);
  });
  EXPECT_NE(out.find("*** Aviso: a permissão de leitura do usuário LIVREXA_LEITURA não pôde ser dada: "),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("O servidor atende assim mesmo"), std::string::npos) << out;
}

// The header of a copy is made to name the other structure: ODS 13.0 where Firebird 3 runs, 12.0
// where Firebird 4 does. The server refuses it at start, before the engine's own text, and says
// which Firebird made it and how to move it.
TEST_F(FieldDatabaseTest, AFileOfAnotherOnDiskStructureIsRefusedWithHowToMoveIt) {
  UseTestFirebirdFolder();
  const TFbEngineFacts engine = InstalledEngine();
  const TOdsVersion own = ReadFileOds(database_);
  ASSERT_EQ(own.major, engine.Ods().major) << "the new file has the installed engine's structure";
  const TOdsVersion other = own.major == 12 ? TOdsVersion{13, 0} : TOdsVersion{12, 0};
  {
    std::fstream file(database_, std::ios::in | std::ios::out | std::ios::binary);
    const unsigned major = 0x8000u | static_cast<unsigned>(other.major);
    const char majorBytes[2] = {static_cast<char>(major & 0xff), static_cast<char>(major >> 8)};
    const char minorBytes[2] = {static_cast<char>(other.minor), 0};
    file.seekp(18);
    file.write(majorBytes, 2);
    file.seekp(64);
    file.write(minorBytes, 2);
  }
  EXPECT_EQ(ReadFileOds(database_).Text(), other.Text());

  TServerProcess server(home_.path(), runtime_);
  EXPECT_EQ(server.Wait(std::chrono::seconds(30)), 2) << server.Out() << server.Err();
  const std::string said = server.Err();
  const std::string made = other.major == 13 ? "Firebird 4" : "Firebird 3";
  EXPECT_NE(said.find("O banco de dados " + database_ + " foi gravado pelo " + made + " (estrutura ODS " +
                      other.Text() + "), e o Firebird instalado nesta máquina é o " + engine.version),
            std::string::npos)
      << said;
  EXPECT_NE(said.find("restaure um backup dele (arquivo .FBK) pela restauração deste servidor"), std::string::npos);
  if (other.major == 13)
    EXPECT_NE(said.find("do Debian 13 com o pacote firebird4.0"), std::string::npos) << said;
  EXPECT_EQ(Exchange(static_cast<uint16_t>(port_), "GET / HTTP/1.1\r\n\r\n").raw, "") << "nothing serves";
}

}  // namespace
}  // namespace livrexa::host
