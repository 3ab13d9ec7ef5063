// School classes over HTTP against a fresh demo database: the list, the save that carries a
// changed deactivation to the class's readers, and the delete with its in-use test.
//
// Demo classes: 1 "1º Ano A - Manhã" (reader 1), 2 "2º Ano B - Tarde" (reader 2),
// 3 "Professores" (reader 3 "Márcia Gonçalves").

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/tdm_fixture.h"

namespace livrexa::test {
namespace {

using enum TFieldType;

const std::string CR = "\r";

std::string ClassTable(int numero, const std::string& turma, bool desativado) {
  return TRows({{"T16_NumTurma", ftInteger}, {"T16_Turma", ftString, 100}, {"T16_Desativado", ftBoolean}})
      .Row({numero, turma, desativado})
      .Text();
}

class Classes : public TdmTest {
 protected:
  std::string Save(int numero, const std::string& turma, bool desativado) {
    return Grava(250,
                 {.Tabela = ClassTable(numero, turma, desativado), .Usuario = "jose", .Rotina = "Turmas"})
        .Resposta();
  }
  std::vector<std::string> Names(const std::string& filtro, bool desativados) {
    auto rows = Consulta(250, {.Filtro = filtro, .Desativados = desativados}).Rows();
    return ColumnTexts(rows, "T16_Turma");
  }
  std::string Class(int numero, const std::string& column) {
    return Scalar("Select " + column + " From T16_TURMAS Where T16_NumTurma = " + std::to_string(numero));
  }
  // "T"/"F" for each reader's T04_Desativado, in reader order.
  std::string ReaderStates() {
    std::string states;
    const int last = std::stoi(Scalar("Select max(T04_NumLeitor) From T04_LEITOR"));
    for (int numero = 1; numero <= last; ++numero)
      states += Scalar("Select T04_Desativado From T04_LEITOR Where T04_NumLeitor = " +
                       std::to_string(numero)) == "True"
                    ? "T"
                    : "F";
    return states;
  }
  void AddReader(int numero, int turma, bool desativado, bool excluido) {
    Exec(
        "Insert into T04_LEITOR (T04_NumLeitor, T04_Leitor, T04_NumTurma, T04_Desativado, T04_Exclusao) "
        "Values (" +
        std::to_string(numero) + ", 'Leitor " + std::to_string(numero) + "', " + std::to_string(turma) +
        ", " + (desativado ? "True" : "False") + ", " + (excluido ? "'2024-01-10'" : "Null") + ")");
  }
};

TEST_F(Classes, ListFiltersByDescriptionOnly) {
  ASSERT_EQ(Save(0, "3º Ano C - Noite", false), "4");
  ASSERT_EQ(Save(4, "3º Ano C - Noite", true), "4");
  ASSERT_EQ(Save(0, "Turma Apagada", false), "5");
  ASSERT_EQ(Exclui(250, {.Numero = 5, .NumUsuario = 1}).Resposta(), "OK");

  struct Case {
    std::string filtro;
    bool desativados;
    std::vector<std::string> names;
  } cases[] = {
      {"", false, {"1º Ano A - Manhã", "2º Ano B - Tarde", "Professores"}},
      {"", true, {"1º Ano A - Manhã", "2º Ano B - Tarde", "3º Ano C - Noite", "Professores"}},
      {"Ano", false, {"1º Ano A - Manhã", "2º Ano B - Tarde"}},
      {"Ano", true, {"1º Ano A - Manhã", "2º Ano B - Tarde", "3º Ano C - Noite"}},
      // No search by number: "3" is a text, which the name of class 3 does not hold.
      {"3", true, {"3º Ano C - Noite"}},
      {"Apagada", true, {}},
      {"  ", false, {"1º Ano A - Manhã", "2º Ano B - Tarde", "Professores"}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Names(c.filtro, c.desativados), c.names) << "'" << c.filtro << "' " << c.desativados;

  auto rows = Consulta(250, {.Filtro = "Prof"}).Rows();
  ASSERT_EQ(rows.FieldCount(), 3u);
  EXPECT_EQ(rows.FieldDef(0).Name, "T16_NUMTURMA");
  EXPECT_EQ(rows.FieldDef(1).Name, "T16_TURMA");
  EXPECT_EQ(rows.FieldDef(2).Name, "T16_DESATIVADO");
  EXPECT_EQ(rows.AsInteger("T16_NumTurma"), 3);
}

TEST_F(Classes, SaveWithDuplicateTest) {
  const std::string duplicate = "Uma turma com esta descrição já foi cadastrada anteriormente.";
  struct Case {
    int numero;
    std::string turma;
    bool desativado;
    std::string reply;
  } cases[] = {
      {0, "Professores", false, duplicate},
      {1, "Professores", false, duplicate},
      // The class's own description passes; a new class is always active; no leading zeros.
      {3, "Professores", false, "3"},
      {0, "Funcionários", true, "4"},
      {2, "2º Ano B", false, "2"},
  };
  for (const auto& c : cases) EXPECT_EQ(Save(c.numero, c.turma, c.desativado), c.reply) << c.turma;
  EXPECT_EQ(Class(4, "T16_Desativado"), "False");
  EXPECT_EQ(Class(2, "T16_Turma"), "2º Ano B");
  EXPECT_EQ(Class(1, "T16_Turma"), "1º Ano A - Manhã");

  // A deleted class's description is free again.
  Exec("Update T16_TURMAS Set T16_Exclusao = '2024-01-10' Where T16_NumTurma = 3");
  EXPECT_EQ(Save(0, "Professores", false), "5");
}

TEST_F(Classes, FailingSaveIsLoggedAndChangesNothing) {
  const std::string missing = "Ocorreu um erro ao pesquisar a turma antes de gravar.";
  EXPECT_EQ(Save(42, "Turma Nova", true), missing);
  const auto log = host_.Log();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].rfind("Grava --> ", 0), 0u) << log[0];
  EXPECT_EQ(log[0].substr(log[0].size() - missing.size() - 4), " - " + CR + missing);
  EXPECT_EQ(ErrLogRows(), std::vector<std::string>{"jose|Turmas|" + missing});
  EXPECT_EQ(Scalar("Select count(*) From T16_TURMAS"), "3");

  // The engine refuses a description longer than its column: neither the class nor its readers
  // change.
  const std::string reply = Save(1, std::string(120, 'x'), true);
  EXPECT_NE(reply.find("truncation"), std::string::npos) << reply;
  EXPECT_EQ(Class(1, "T16_Turma"), "1º Ano A - Manhã");
  EXPECT_EQ(Class(1, "T16_Desativado"), "False");
  EXPECT_EQ(ReaderStates(), "FFF");
  EXPECT_EQ(ErrLogRows().size(), 2u);
}

TEST_F(Classes, ChangedDeactivationIsCarriedToEveryReaderOfTheClass) {
  // Class 1: reader 1 active, 4 deactivated on its own, 5 deleted. Class 2: reader 2.
  AddReader(4, 1, true, false);
  AddReader(5, 1, false, true);
  ASSERT_EQ(ReaderStates(), "FFFTF");

  struct Step {
    const char* what;
    std::string before;  // run first, when not empty
    bool desativado;
    std::string states;  // readers 1 to 5 after the save
  } steps[] = {
      {"unchanged active state leaves reader 4 deactivated", "", false, "FFFTF"},
      {"deactivating reaches every reader of the class, deleted ones too", "", true, "TFFTT"},
      {"unchanged deactivated state leaves reader 1 reactivated on its own",
       "Update T04_LEITOR Set T04_Desativado = False Where T04_NumLeitor = 1", true, "FFFTT"},
      {"reactivating reaches readers deactivated on their own", "", false, "FFFFF"},
  };
  for (const auto& s : steps) {
    if (!s.before.empty()) Exec(s.before);
    EXPECT_EQ(Save(1, "1º Ano A - Manhã", s.desativado), "1") << s.what;
    EXPECT_EQ(Class(1, "T16_Desativado"), s.desativado ? "True" : "False") << s.what;
    EXPECT_EQ(ReaderStates(), s.states) << s.what;
  }
  // A deleted class is found by the save and still carries its state.
  Exec("Update T16_TURMAS Set T16_Exclusao = '2024-01-10' Where T16_NumTurma = 2");
  EXPECT_EQ(Save(2, "2º Ano B - Tarde", true), "2");
  EXPECT_EQ(ReaderStates(), "FTFFF");
  EXPECT_TRUE(host_.Log().empty());
}

TEST_F(Classes, DeleteRefusedWhileALiveReaderBelongsToTheClass) {
  AddReader(4, 2, true, false);  // deactivated, still live
  AddReader(5, 1, false, true);  // deleted
  Exec("Update T04_LEITOR Set T04_Exclusao = '2024-01-10' Where T04_NumLeitor = 1");

  auto refused = [](const std::string& leitor) {
    return "Esta turma está sendo utilizado no cadastro de leitores" + CR + "pelo leitor " + leitor +
           " (podendo haver outros)." + CR + "Por este motivo a exclusão não poderá ser realizada.";
  };
  Exec("Update T04_LEITOR Set T04_Exclusao = '2024-01-10' Where T04_NumLeitor = 2");
  struct Case {
    int numero;
    std::string reply;
  } cases[] = {{3, refused("Márcia Gonçalves")}, {2, refused("Leitor 4")}, {1, "OK"}};
  for (const auto& c : cases)
    EXPECT_EQ(
        Exclui(250, {.Numero = c.numero, .NumUsuario = 9, .Usuario = "jose", .Rotina = "Turmas"}).Resposta(),
        c.reply)
        << c.numero;

  EXPECT_TRUE(host_.Log().empty());
  EXPECT_TRUE(ErrLogRows().empty());
  EXPECT_EQ(Names("", true), (std::vector<std::string>{"2º Ano B - Tarde", "Professores"}));
  EXPECT_EQ(Class(1, "T16_Exclusao"), Scalar("Select CURRENT_DATE From RDB$DATABASE"));
  EXPECT_EQ(Class(1, "T16_ExcluidoPor"), "9");
  EXPECT_EQ(Class(3, "T16_Exclusao"), "");
}

}  // namespace
}  // namespace livrexa::test
