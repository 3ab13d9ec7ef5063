// What a client with the desktop credentials must not be able to do through the handlers: change
// data or sequences through the raw query, keep a heavy statement running, flood the logs, lock
// the administrator out, guess passwords at full speed, or save a value that did not decode.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <thread>

#include "handlers/handler_limits.h"
#include "handlers/login_throttle.h"
#include "rest/wire/text_codec.h"
#include "support/http_client.h"
#include "support/tdm_fixture.h"

namespace livrexa::test {
namespace {

using namespace std::chrono_literals;
using enum TFieldType;
using Clock = std::chrono::steady_clock;

// About half a minute of work for the engine, unless it is cancelled.
constexpr const char* kHeavyQuery =
    "select count(*) from rdb$types a, rdb$types b, rdb$types c, (select first 10 rdb$field_name from "
    "rdb$fields) d";

std::string FormValue(const std::string& text) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (const unsigned char c : text) {
    if (std::isalnum(c)) {
      out.push_back(static_cast<char>(c));
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

class TdmGuards : public TdmTest {
 protected:
  void SetUp() override {
    TdmTest::SetUp();
    saved_ = HandlerLimits();
    TLoginThrottle::Shared().Clear();
  }
  void TearDown() override {
    HandlerLimits() = saved_;
    TLoginThrottle::Shared().Clear();
    TdmTest::TearDown();
  }
  std::string Sequence() {
    return Scalar(
        "select trim(rdb$generator_name) from rdb$relation_fields where rdb$relation_name = 'T05_AUTOR1' "
        "and rdb$field_name = 'T05_NUMAUTOR'");
  }
  bool LogHas(const std::string& text) {
    for (const auto& entry : host_.Log())
      if (entry.find(text) != std::string::npos) return true;
    return false;
  }
  THandlerLimits saved_;
};

TEST_F(TdmGuards, RawQueryReadsAndNothingElse) {
  const std::string sequence = Sequence();
  ASSERT_FALSE(sequence.empty());
  const std::string before = Scalar("select gen_id(" + sequence + ", 0) from rdb$database");
  struct Case {
    std::string sql;
    std::string message;  // part of "Resposta"
  } cases[] = {
      {"select gen_id(" + sequence + ", 1000000) from rdb$database",
       "no permission for USAGE access to GENERATOR"},
      {"select next value for " + sequence + " from rdb$database",
       "no permission for USAGE access to GENERATOR"},
      {"update T05_AUTOR1 set T05_Autor = 'x' returning T05_NumAutor", "só aceita leituras"},
      {"execute block returns (x bigint) as begin execute statement 'select gen_id(" + sequence +
           ", 1) from rdb$database' as user 'SYSDBA' password 'x' into x; suspend; end",
       "só aceita leituras"},
      {"/* a comment first */ delete from T05_AUTOR1", "só aceita leituras"},
  };
  for (const auto& c : cases) {
    const EventReply reply = Consulta(999, {.Filtro = c.sql});
    EXPECT_NE(reply.Resposta().find(c.message), std::string::npos) << c.sql << "\n" << reply.Resposta();
  }
  EXPECT_EQ(Scalar("select gen_id(" + sequence + ", 0) from rdb$database"), before);
  EXPECT_EQ(Scalar("select count(*) from T05_AUTOR1 where T05_Autor = 'x'"), "0");
  // Reading still works, plain or as a common table expression.
  for (const char* sql : {"select count(*) from T05_AUTOR1",
                          "with a as (select T05_NumAutor from T05_AUTOR1) select count(*) from a"}) {
    const EventReply reply = Consulta(999, {.Filtro = sql});
    const TFDMemTable rows = reply.Rows();
    ASSERT_EQ(rows.RecordCount(), 1u) << sql << reply.body;
    EXPECT_EQ(rows.AsString(size_t{0}), Scalar("select count(*) from T05_AUTOR1"));
  }
}

TEST_F(TdmGuards, RawQueryOnADatabaseWithoutTheGrantsSaysWhatToRunAndTheRestWorks) {
  Exec("revoke select on T05_AUTOR1 from user LIVREXA_LEITURA");
  const EventReply reply = Consulta(999, {.Filtro = "select * from T05_AUTOR1"});
  EXPECT_NE(reply.Resposta().find("no permission for SELECT access to TABLE T05_AUTOR1"), std::string::npos)
      << reply.Resposta();
  EXPECT_NE(reply.Resposta().find("execute scripts/grant-readonly.sh"), std::string::npos);
  EXPECT_GT(Consulta(140).Rows().RecordCount(), 0u) << "the authors list runs as the owner";
}

TEST_F(TdmGuards, FailingRawQueryKeepsOnlyTheStartOfItsTextInTheLogs) {
  const std::string sql = "select * from Nao_Existe where x = '" + std::string(5000, 'y') + "'";
  const EventReply reply = Consulta(999, {.Filtro = sql, .Usuario = "ANA", .Rotina = "R"});
  EXPECT_NE(reply.Resposta().find("Erro na consulta na rotina R"), std::string::npos);
  const std::string kept = sql.substr(0, 1000);
  bool logged = false;
  for (const auto& entry : host_.Log()) {
    if (entry.rfind("       SQL: ", 0) != 0) continue;
    logged = true;
    EXPECT_EQ(entry, "       SQL: " + kept);
  }
  EXPECT_TRUE(logged);
  const std::vector<std::string> rows = ErrLogRows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1], "ANA|R|" + kept);
  // Characters, not bytes: a text of accented letters is cut at a whole character.
  HandlerLimits().LoggedStatementLength = 9;
  Consulta(999, {.Filtro = "select 'ção' from Nao_Existe"});
  EXPECT_TRUE(LogHas("       SQL: select 'ç")) << "the cut";
  EXPECT_FALSE(LogHas("       SQL: select 'çã"));
  EXPECT_EQ(ErrLogRows().back(), "||select 'ç");
}

TEST_F(TdmGuards, RawQueryPastItsTimeLimitIsCancelledWithAMessage) {
  HandlerLimits().RawQueryTimeLimit = 300ms;
  const auto start = Clock::now();
  const EventReply reply = Consulta(999, {.Filtro = kHeavyQuery});
  EXPECT_NE(reply.Resposta().find("A consulta foi cancelada: passou do tempo limite de 0 segundos."),
            std::string::npos)
      << reply.Resposta();
  EXPECT_LT(Clock::now() - start, 20s);
  // The module's next statements are not touched by the cancellation.
  EXPECT_EQ(Consulta(999, {.Filtro = "select count(*) from T05_AUTOR1"}).Rows().RecordCount(), 1u);
}

TEST_F(TdmGuards, RawQueryOfAClientThatHangsUpIsCancelled) {
  const std::string body = "Flag=999&Filtro=" + FormValue(kHeavyQuery);
  const int fd = livrexa::test::ConnectTo(port_);
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(livrexa::test::SendAllBytes(
      fd, livrexa::test::BuildRequest("POST", "/DWServerEventsTAB_GERAL/Consulta",
                                      livrexa::test::BasicAuthLine("Tivel", "Tivel1968") +
                                          "Content-Type: application/x-www-form-urlencoded\r\n",
                                      body)));
  std::this_thread::sleep_for(300ms);  // the statement is running
  ::close(fd);
  const auto start = Clock::now();
  while (!LogHas("A consulta foi cancelada: o cliente desconectou.") && Clock::now() - start < 20s)
    std::this_thread::sleep_for(50ms);
  EXPECT_TRUE(LogHas("A consulta foi cancelada: o cliente desconectou."));
}

std::string UserRow(int numero, const std::string& nome, bool desativado) {
  return TRows({{"T01_NumUsuario", ftInteger},
                {"T01_Usuario", ftString, 60},
                {"T01_Senha", ftString, 60},
                {"T01_Desativado", ftBoolean}})
      .Row({numero, nome, "segredo", desativado})
      .Text();
}

TEST_F(TdmGuards, AdministratorCannotBeDeletedOrDeactivated) {
  const std::string refusal = "O administrador não pode ser excluído nem desativado.";
  EXPECT_EQ(Exclui(100, {.Numero = 1, .NumUsuario = 1}).Resposta(), refusal);
  EXPECT_EQ(Grava(100, {.Tabela = UserRow(1, "ADMIN", true)}).Resposta(), refusal);
  EXPECT_EQ(Scalar("select count(*) from T01_USUARI where T01_NumUsuario = 1 and T01_Exclusao is null and "
                   "not T01_Desativado"),
            "1");
  // The administrator may still be renamed, and other users deactivated and deleted.
  EXPECT_EQ(Grava(100, {.Tabela = UserRow(1, "CHEFE", false)}).Resposta(), "1");
  const std::string other = Grava(100, {.Tabela = UserRow(0, "ANA", false)}).Resposta();
  EXPECT_EQ(Grava(100, {.Tabela = UserRow(std::stoi(other), "ANA", true)}).Resposta(), other);
  EXPECT_EQ(Exclui(100, {.Numero = std::stoi(other), .NumUsuario = 1}).Resposta(), "OK");
}

TEST_F(TdmGuards, RepeatedFailedLoginsFromOneAddressAreSlowedDown) {
  HandlerLimits().FreeLoginFailures = 3;
  HandlerLimits().LoginDelayStep = 400ms;
  const auto login = [&](const char* senha) {
    return Call("DWServerEventsT01_USUARI", "ValidaUsuario", {{"Usuario", "ADMIN"}, {"Senha", senha}})
        .Param("RESPOSTA");
  };
  for (int i = 0; i < 3; ++i) EXPECT_EQ(login("errada"), "ERRO");
  // Beyond the free failures each attempt waits longer; the answers stay as they were.
  auto start = Clock::now();
  EXPECT_EQ(login("errada"), "ERRO");
  EXPECT_GE(Clock::now() - start, 400ms);
  start = Clock::now();
  EXPECT_EQ(login("ADMIN"), "1");
  EXPECT_GE(Clock::now() - start, 800ms);
}

TEST_F(TdmGuards, SavedValueThatIsNotBase64FailsAndSavesNothing) {
  const std::string marker = "NOME-MARCADO";
  std::string tabela = UserRow(0, marker, false);
  const std::string encoded = EncodeText(marker);
  const size_t at = tabela.find(encoded);
  ASSERT_NE(at, std::string::npos) << tabela;
  tabela.replace(at, encoded.size(), "%%%");
  const std::string count = Scalar("select count(*) from T01_USUARI");
  const EventReply reply = Grava(100, {.Tabela = tabela});
  EXPECT_EQ(reply.Resposta(), "Valor codificado inválido em campo T01_Usuario: o texto não está em base64.");
  EXPECT_EQ(Scalar("select count(*) from T01_USUARI"), count);
}

}  // namespace
}  // namespace livrexa::test
