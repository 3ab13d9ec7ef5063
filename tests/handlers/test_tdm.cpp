// The handler module over real HTTP against real database files.

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "handlers/cripto_senha.h"
#include "rest/dataset/mem_table.h"
#include "rest/params/json_value.h"
#include "rest/wire/text_codec.h"
#include "support/tdm_fixture.h"

namespace livrexa::test {
namespace {

const std::string CR = "\r";
const std::string kHyphens(53, '-');

using enum TFieldType;

TFDMemTable Rows(const std::optional<std::string>& tabela) {
  return ReadRows(tabela);
}

std::string UserRow(int numero, const std::string& nome, const std::string& senha, bool desativado) {
  return TRows({{"T01_NumUsuario", ftInteger},
                {"T01_Usuario", ftString, 60},
                {"T01_Senha", ftString, 60},
                {"T01_Desativado", ftBoolean}})
      .Row({numero, nome, senha, desativado})
      .Text();
}

bool StartsWith(const std::string& s, const std::string& prefix) {
  return s.rfind(prefix, 0) == 0;
}

using TdmUsers = TdmTest;

TEST_F(TdmUsers, LoginChecksNameAndExactPassword) {
  struct Case {
    const char* usuario;
    const char* senha;
    const char* answer;
  } cases[] = {{"ADMIN", "ADMIN", "1"},
               {"ADMIN", "admin", "ERRO"},
               {"admin", "ADMIN", "ERRO"},
               {"ninguem", "ADMIN", "ERRO"},
               {"ADMIN", "", "ERRO"}};
  for (const auto& c : cases) {
    const auto reply =
        Call("DWServerEventsT01_USUARI", "ValidaUsuario", {{"Usuario", c.usuario}, {"Senha", c.senha}});
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.Param("RESPOSTA"), c.answer) << c.usuario << "/" << c.senha;
  }
  EXPECT_TRUE(host_.Log().empty());
}

TEST_F(TdmUsers, SaveNewUserThenDuplicateThenOwnRowThenAfterDelete) {
  const auto created = Send("Grava", 100, {{"Tabela", UserRow(0, "maria", "segredo", false)}});
  ASSERT_TRUE(created.Param("RESPOSTA").has_value());
  const std::string numero = *created.Param("RESPOSTA");
  EXPECT_GT(std::stoi(numero), 1);
  // Stored scrambled, and the scrambled text unscrambles to the password.
  const std::string stored = Scalar("Select T01_Senha From T01_USUARI Where T01_NumUsuario = " + numero);
  EXPECT_NE(stored, "segredo");
  EXPECT_EQ(CriptoSenha("D", stored), "segredo");
  EXPECT_EQ(Call("DWServerEventsT01_USUARI", "ValidaUsuario", {{"Usuario", "maria"}, {"Senha", "segredo"}})
                .Param("RESPOSTA"),
            numero);

  EXPECT_EQ(Send("Grava", 100, {{"Tabela", UserRow(0, "maria", "x", false)}}).Param("RESPOSTA"), "JaExiste");
  EXPECT_EQ(
      Send("Grava", 100, {{"Tabela", UserRow(std::stoi(numero), "maria", "nova", true)}}).Param("RESPOSTA"),
      numero);
  EXPECT_EQ(Scalar("Select T01_Desativado From T01_USUARI Where T01_NumUsuario = " + numero), "True");
  // A deactivated user cannot log in.
  EXPECT_EQ(Call("DWServerEventsT01_USUARI", "ValidaUsuario", {{"Usuario", "maria"}, {"Senha", "nova"}})
                .Param("RESPOSTA"),
            "ERRO");

  EXPECT_EQ(Send("Exclui", 100, {{"Numero", numero}, {"NumUsuario", "1"}}).Param("RESPOSTA"), "OK");
  EXPECT_EQ(Scalar("Select T01_ExcluidoPor From T01_USUARI Where T01_NumUsuario = " + numero), "1");
  EXPECT_NE(Scalar("Select T01_Exclusao From T01_USUARI Where T01_NumUsuario = " + numero), "");
  const auto again = Send("Grava", 100, {{"Tabela", UserRow(0, "maria", "outra", false)}});
  EXPECT_NE(again.Param("RESPOSTA"), "JaExiste");
  EXPECT_NE(again.Param("RESPOSTA"), numero);
  EXPECT_TRUE(host_.Log().empty());
}

TEST_F(TdmUsers, UsersListFiltersDeletedDeactivatedAndName) {
  Send("Grava", 100, {{"Tabela", UserRow(0, "joana", "1", false)}});
  Send("Grava", 100, {{"Tabela", UserRow(0, "joaquim", "1", true)}});
  const auto deleted = Send("Grava", 100, {{"Tabela", UserRow(0, "jose", "1", false)}});
  Send("Exclui", 100, {{"Numero", *deleted.Param("RESPOSTA")}, {"NumUsuario", "1"}});

  struct Case {
    const char* filtro;
    const char* desativados;
    std::vector<std::string> names;
  } cases[] = {{"", "false", {"ADMIN", "joana"}},
               {"", "true", {"ADMIN", "joana", "joaquim"}},
               {"joa", "true", {"joana", "joaquim"}},
               {"  ", "false", {"ADMIN", "joana"}}};
  for (const auto& c : cases) {
    auto table =
        Rows(Send("Consulta", 100, {{"Filtro", c.filtro}, {"Desativados", c.desativados}}).Param("TABELA"));
    ASSERT_EQ(table.FieldCount(), 4u);
    EXPECT_EQ(table.FieldDef(0).Name, "T01_NUMUSUARIO");
    std::vector<std::string> names;
    for (table.First(); !table.Eof(); table.Next()) names.push_back(table.AsString("T01_Usuario"));
    EXPECT_EQ(names, c.names) << "filtro '" << c.filtro << "' desativados " << c.desativados;
  }
}

TEST_F(TdmUsers, AccessRightsAreReplacedAsAWhole) {
  auto rights = [](std::vector<std::pair<std::string, bool>> rows) {
    TRows table({{"NumUsuario", ftInteger}, {"Opcao", ftString, 100}, {"Check", ftBoolean}});
    for (const auto& [acao, check] : rows) table.Row({1, acao, check});
    return table.Text();
  };
  auto actions = [this] {
    auto table = Rows(Send("Consulta", 110, {{"Filtro", "1"}}).Param("TABELA"));
    std::vector<std::string> names;
    for (table.First(); !table.Eof(); table.Next()) names.push_back(table.AsString("T02_Acao"));
    std::sort(names.begin(), names.end());
    return names;
  };
  EXPECT_EQ(
      Send("Grava", 110, {{"Tabela", rights({{"Empréstimos", true}, {"Acervo", false}, {"Leitores", true}})}})
          .Param("RESPOSTA"),
      "OK");
  EXPECT_EQ(actions(), (std::vector<std::string>{"Empréstimos", "Leitores"}));
  EXPECT_EQ(Send("Grava", 110, {{"Tabela", rights({{"Acervo", false}})}}).Param("RESPOSTA"), "OK");
  EXPECT_TRUE(actions().empty());
  // No rows at all: the rights of user 0 (nobody) are cleared.
  EXPECT_EQ(Send("Grava", 110, {{"Tabela", rights({})}}).Param("RESPOSTA"), "OK");
  // A filter that is not a number fails with the conversion message.
  EXPECT_TRUE(StartsWith(*Send("Consulta", 110, {{"Filtro", "um"}}).Param("RESPOSTA"),
                         "Servidor do Banco de Dados do Livrexa 1.1 - Porta 7022"));
}

TEST_F(TdmUsers, NewPassword) {
  auto nova = [this](const std::string& numero, const std::string& atual, const std::string& nova) {
    return Call("DWServerEventsT01_USUARI", "NovaSenha",
                {{"NumUsuario", numero}, {"Senha1", atual}, {"Senha2", nova}})
        .Param("RESPOSTA");
  };
  EXPECT_EQ(nova("1", "errada", "x"), "Senha Atual Incorreta.");
  EXPECT_EQ(nova("77", "ADMIN", "x"), "Senha Atual Incorreta.");
  EXPECT_EQ(host_.Log(), (std::vector<std::string>{"GravaNovaSenha --> Senha Atual Incorreta.",
                                                   "GravaNovaSenha --> Senha Atual Incorreta."}));
  EXPECT_EQ(nova("1", "ADMIN", "Ação1"), "OK");
  EXPECT_EQ(Call("DWServerEventsT01_USUARI", "ValidaUsuario", {{"Usuario", "ADMIN"}, {"Senha", "Ação1"}})
                .Param("RESPOSTA"),
            "1");
  EXPECT_EQ(nova("x1", "ADMIN", "y"), "'x1' is not a valid integer value");
  EXPECT_TRUE(ErrLogRows().empty());
}

using TdmSettings = TdmTest;

std::string ConfigRow(const std::string& rodape, bool withExibirLocal = true) {
  std::vector<TColumn> columns = {
      {"T03_MARGEMSUP", ftInteger},       {"T03_RODAPE", ftString, 500},   {"T03_ARQFOTO", ftString, 500},
      {"T03_RELTELAPARCIAL", ftBoolean},  {"T03_CRIARATALHO", ftBoolean},  {"T03_SKIN", ftInteger},
      {"T03_IMPRECIBO", ftBoolean},       {"T03_RECIBOA5", ftBoolean},     {"T03_RECIBODEVOLUCAO", ftBoolean},
      {"T03_MSGEMATRASO", ftBoolean},     {"T03_PEDIRDATADEV", ftBoolean}, {"T03_MULTADIA", ftFloat, 15},
      {"T03_LIMITEITENSEMPR", ftInteger}, {"T03_CARTACOBRANCA1", ftMemo},  {"T03_CARTACOBRANCA2", ftMemo},
      {"T03_CARTACOBRANCA3", ftMemo},     {"T03_CARTACOBRANCA4", ftMemo},  {"T03_CARTACOBRANCA5", ftMemo}};
  std::vector<TCell> values = {12,    rodape, "c:\\fotos", true, false,     3,   true, false, true,
                               false, true,   1.25,        5,    "Prezado", "b", "c",  "d",   "e"};
  if (withExibirLocal) {
    columns.push_back({"T03_EXIBIRLOCAL", ftBoolean});
    values.push_back(true);
  }
  return TRows(columns).Row(values).Text();
}

TEST_F(TdmSettings, SettingsRecordRoundTrip) {
  ASSERT_EQ(Send("Grava", 120, {{"Tabela", ConfigRow("Biblioteca São José")}}).Param("RESPOSTA"), "OK");
  auto table = Rows(Send("Consulta", 120).Param("TABELA"));
  ASSERT_EQ(table.RecordCount(), 1u);
  EXPECT_EQ(table.AsString("T03_RODAPE"), "Biblioteca São José");
  EXPECT_EQ(table.AsInteger("T03_MARGEMSUP"), 12);
  EXPECT_DOUBLE_EQ(table.AsFloat("T03_MULTADIA"), 1.25);
  EXPECT_TRUE(table.AsBoolean("T03_EXIBIRLOCAL"));
  EXPECT_EQ(table.AsString("T03_CARTACOBRANCA1"), "Prezado");

  // A row without one of the columns fails at that column and changes nothing.
  const auto failed =
      Send("Grava", 120, {{"Tabela", ConfigRow("Outro", false)}, {"Usuario", "ana"}, {"Rotina", "Config"}});
  EXPECT_EQ(failed.Param("RESPOSTA"), "Field 'T03_EXIBIRLOCAL' not found");
  EXPECT_EQ(Scalar("Select T03_RODAPE From T03_CONFIG"), "Biblioteca São José");
  ASSERT_EQ(host_.Log().size(), 1u);
  EXPECT_TRUE(StartsWith(host_.Log()[0], "Grava --> "));
  EXPECT_NE(host_.Log()[0].find(" - " + CR + "Field 'T03_EXIBIRLOCAL' not found"), std::string::npos);
  EXPECT_EQ(ErrLogRows(), (std::vector<std::string>{"ana|Config|Field 'T03_EXIBIRLOCAL' not found"}));
}

TEST_F(TdmSettings, ErrorLogQueryByDateAndUser) {
  Exec(
      "Insert into T99_ErrLog (T99_Data, T99_Hora, T99_Usuario, T99_Rotina, T99_Descricao) "
      "Values ('2024-01-01', '10:00:00', 'ana', 'Acervo', 'a')");
  Exec(
      "Insert into T99_ErrLog (T99_Data, T99_Hora, T99_Usuario, T99_Rotina, T99_Descricao) "
      "Values ('2024-01-31', '10:00:00', 'bia', 'Leitores', 'b')");
  Exec(
      "Insert into T99_ErrLog (T99_Data, T99_Hora, T99_Usuario, T99_Rotina, T99_Descricao) "
      "Values ('2024-02-01', '10:00:00', 'ana', 'Leitores', 'c')");
  auto descriptions = [this](const std::string& first, const std::string& last, const std::string& who) {
    auto table =
        Rows(Send("Consulta", 998, {{"Filtro", first}, {"Data1", last}, {"Data2", who}}).Param("TABELA"));
    std::string out;
    for (table.First(); !table.Eof(); table.Next()) out += table.AsString("T99_Descricao");
    return out;
  };
  EXPECT_EQ(descriptions("", "", ""), "abc");
  EXPECT_EQ(descriptions("01/01/2024", "31/01/2024", ""), "ab");
  EXPECT_EQ(descriptions("", "", "Leitores"), "bc");
  EXPECT_EQ(descriptions("", "", "ana"), "ac");
  EXPECT_EQ(descriptions("01/01/2024", "31/01/2024", "ana"), "a");

  // A first date without a last one fails before the query runs, and is itself logged.
  const auto failed = Send("Consulta", 998, {{"Filtro", "01/01/2024"}, {"Data1", ""}, {"Rotina", "Log"}});
  EXPECT_NE(failed.Param("RESPOSTA")->find("'' is not a valid date"), std::string::npos);
  EXPECT_EQ(ErrLogRows().size(), 4u);
}

TEST_F(TdmSettings, RawQueryCountsRows) {
  auto table =
      Rows(Send("Consulta", 999, {{"Filtro", "Select count(*) as QTD From T01_USUARI"}}).Param("TABELA"));
  ASSERT_EQ(table.RecordCount(), 1u);
  EXPECT_EQ(table.AsInteger("QTD"), 1);
}

using TdmErrors = TdmTest;

TEST_F(TdmErrors, FailingRawQueryLogsFourEntriesAndTwoRows) {
  const std::string sql = "Select * From NAO_EXISTE";
  const auto reply = Send("Consulta", 999, {{"Filtro", sql}, {"Rotina", "Relatorios"}, {"Usuario", "ana"}});
  EXPECT_EQ(reply.status, 200);
  EXPECT_FALSE(reply.Param("TABELA").has_value());
  const auto log = host_.Log();
  ASSERT_EQ(log.size(), 4u);
  EXPECT_TRUE(StartsWith(log[0], "Consulta -> "));
  const auto cut = log[0].find(" - " + CR);
  ASSERT_NE(cut, std::string::npos);
  EXPECT_EQ(cut, std::string("Consulta -> ").size() + std::string("dd/mm/yyyy hh:nn:ss").size());
  const std::string message = log[0].substr(cut + 4);
  EXPECT_NE(message.find("NAO_EXISTE"), std::string::npos);
  EXPECT_EQ(log[1], "    Rotina: Relatorios   Usuario: ana");
  EXPECT_EQ(log[2], "       SQL: " + sql);
  EXPECT_EQ(log[3], kHyphens);
  EXPECT_EQ(reply.Param("RESPOSTA"), "Servidor do Banco de Dados do Livrexa 1.1 - Porta 7022" + CR + CR +
                                         "Erro na consulta na rotina Relatorios" + CR + message + CR + CR +
                                         "Favor enviar a imagem dessa tela para suporte@livrexa.example");
  EXPECT_EQ(ErrLogRows(), (std::vector<std::string>{"ana|Relatorios|" + message, "ana|Relatorios|" + sql}));
}

TEST_F(TdmErrors, FlagsWithoutAlternative) {
  // "Consulta" without a flag meets the declared default 5.
  const auto consulta = Call("DWServerEventsTAB_GERAL", "Consulta", {{"Rotina", "R"}, {"Usuario", "U"}});
  EXPECT_FALSE(consulta.Param("TABELA").has_value());
  EXPECT_NE(consulta.Param("RESPOSTA")
                ->find("Erro na consulta na rotina R" + CR +
                       "Erro do servidor. Nenhuma alternativa no flag de consulta." + CR + CR),
            std::string::npos);
  auto log = host_.Log();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[1], "    Rotina: R   Usuario: U");
  EXPECT_EQ(log[2], kHyphens);
  EXPECT_EQ(ErrLogRows(),
            (std::vector<std::string>{"U|R|Erro do servidor. Nenhuma alternativa no flag de consulta."}));

  host_.ClearLog();
  EXPECT_EQ(Send("Grava", 5, {{"Rotina", "R"}, {"Usuario", "U"}}).Param("RESPOSTA"),
            "Erro do servidor. Nenhuma alternativa no flag de gravação.");
  ASSERT_EQ(host_.Log().size(), 1u);
  EXPECT_EQ(ErrLogRows().size(), 2u);

  host_.ClearLog();
  EXPECT_EQ(Send("Exclui", 999, {{"Numero", "abc"}}).Param("RESPOSTA"),
            "Erro do servidor. Nenhuma alternativa no flag de exclusão.");
  EXPECT_TRUE(host_.Log().empty());
  EXPECT_EQ(ErrLogRows().size(), 2u);
}

TEST_F(TdmErrors, UnreadableFlagStillLogsTheFirstEntriesThenFails) {
  // The handler fails reading the flag, takes its error path, and fails again when the error path
  // reads the flag once more: the listener answers that with status 500 and the message.
  const auto bad =
      Call("DWServerEventsTAB_GERAL", "Consulta", {{"Flag", "abc"}, {"Rotina", "R"}, {"Usuario", "U"}});
  EXPECT_EQ(bad.status, 500);
  EXPECT_EQ(bad.body, "'abc' is not a valid integer value");
  const auto log = host_.Log();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_TRUE(StartsWith(log[0], "Consulta -> "));
  EXPECT_TRUE(log[0].ends_with(CR + "'abc' is not a valid integer value"));
  EXPECT_EQ(log[1], "    Rotina: R   Usuario: U");
}

TEST_F(TdmErrors, MalformedSecondTableFailsBeforeTheOperation) {
  const auto reply = Send("Grava", 100,
                          {{"Tabela", UserRow(0, "novo", "1", false)},
                           {"Tabela3", "{\"ObjectType\":[}"},
                           {"Usuario", "U"},
                           {"Rotina", "R"}});
  ASSERT_TRUE(reply.Param("RESPOSTA").has_value());
  EXPECT_FALSE(reply.Param("RESPOSTA")->empty());
  EXPECT_EQ(Scalar("Select count(*) From T01_USUARI"), "1");  // nothing saved
  ASSERT_EQ(ErrLogRows().size(), 1u);
  EXPECT_EQ(ErrLogRows()[0], "U|R|" + *reply.Param("RESPOSTA"));
}

TEST_F(TdmErrors, UnreachableDatabaseLogsTheErrorLogFailureToo) {
  host_.SetLocalDB((database_.parent_path() / "nao-existe.fdb").string());
  const auto reply =
      Send("Exclui", 100, {{"Numero", "42"}, {"NumUsuario", "1"}, {"Usuario", "U"}, {"Rotina", "R"}});
  ASSERT_TRUE(reply.Param("RESPOSTA").has_value());
  const std::string message = *reply.Param("RESPOSTA");
  EXPECT_FALSE(message.empty());
  const auto log = host_.Log();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_TRUE(StartsWith(log[0], "Exclui --> "));
  EXPECT_TRUE(log[0].ends_with(CR + message + " Numero 42"));
  EXPECT_TRUE(StartsWith(log[1], "Erro na gravação do Log em "));
  EXPECT_FALSE(log[2].empty());

  // The login answers its own error text.
  host_.ClearLog();
  const auto login =
      Call("DWServerEventsT01_USUARI", "ValidaUsuario", {{"Usuario", "admin"}, {"Senha", "admin"}});
  EXPECT_TRUE(StartsWith(*login.Param("RESPOSTA"), "Ocorreu um erro na consulta no banco de dados." + CR));
  ASSERT_EQ(host_.Log().size(), 1u);
  EXPECT_TRUE(StartsWith(host_.Log()[0], "ValidaUsuario --> " + CR));
}

TEST_F(TdmErrors, UpdateCheckAnswersTheStatusAndCountsModules) {
  const int before = host_.requests;
  const auto reply = Call("DWServerEventsFerramentas", "AtualizaServidor", {});
  EXPECT_EQ(reply.Param("RESPOSTA"), "OK");
  EXPECT_EQ(host_.updateChecks, 1);
  EXPECT_EQ(host_.requests, before + 1);
}

TEST_F(TdmErrors, EventListingsShowTheDeclarations) {
  const auto groups = Call("", "GetServerEventsList", {});
  EXPECT_EQ(groups.Param("RESULT"),
            "TDM.DWServerEventsT01_USUARI|TDM.DWServerEventsFerramentas|TDM.DWServerEventsTAB_GERAL");
  EXPECT_EQ(
      Call("DWServerEventsFerramentas", "GETEVENTS", {}).Param("RESULT"),
      R"([{"serverevents":[{"eventname":"AtualizaServidor", "jsonmode":"jmDataware", "params":[{"typeobject":"toParam", "objectdirection":"odOUT", "objectvalue":"ovString", "paramname":"Resposta", "encoded":"true", "default":""}]}]}])");
  const auto geral = Call("DWServerEventsTAB_GERAL", "GETEVENTS", {}).Param("RESULT");
  ASSERT_TRUE(geral.has_value());
  const std::string flag =
      R"({"typeobject":"toParam", "objectdirection":"odIN", "objectvalue":"ovInteger", "paramname":"Flag", "encoded":"true", "default":"NQ=="})";
  EXPECT_NE(geral->find(R"({"eventname":"Consulta", "jsonmode":"jmDataware", "params":[)" + flag),
            std::string::npos);
  EXPECT_NE(geral->find(R"("paramname":"Numero2", "encoded":"true", "default":""}]})"), std::string::npos);
  const auto users = Call("DWServerEventsT01_USUARI", "GETEVENTS", {}).Param("RESULT");
  EXPECT_NE(users->find(R"("eventname":"NovaSenha")"), std::string::npos);
  EXPECT_EQ(users->find("Consulta"), std::string::npos);
}

TEST_F(TdmErrors, ConcurrentFailuresKeepTheirOwnLogOrder) {
  auto run = [this](const std::string& rotina) {
    Send("Consulta", 999, {{"Filtro", "Select * From X_" + rotina}, {"Rotina", rotina}, {"Usuario", "u"}});
  };
  std::thread a(run, "A"), b(run, "B");
  a.join();
  b.join();
  const auto log = host_.Log();
  ASSERT_EQ(log.size(), 8u);
  for (const std::string rotina : {"A", "B"}) {
    std::vector<std::string> own;
    for (const auto& entry : log)
      if (entry.find("X_" + rotina) != std::string::npos ||
          entry.find("Rotina: " + rotina) != std::string::npos)
        own.push_back(entry);
    ASSERT_EQ(own.size(), 3u) << rotina;
    EXPECT_TRUE(StartsWith(own[0], "Consulta -> "));
    EXPECT_EQ(own[1], "    Rotina: " + rotina + "   Usuario: u");
    EXPECT_EQ(own[2], "       SQL: Select * From X_" + rotina);
  }
  EXPECT_EQ(ErrLogRows().size(), 4u);
}

}  // namespace
}  // namespace livrexa::test
