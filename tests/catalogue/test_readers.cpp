// Readers over HTTP against a fresh demo database: the two lists, the save with its duplicate
// tests and photo, the photo query and the delete with its loan test.
//
// The demo database holds the classes 1 "1º Ano A - Manhã", 2 "2º Ano B - Tarde" and
// 3 "Professores", and the readers 1 "Ana Luíza Conceição" (class 1, born 14/03/2012, blank CPF),
// 2 "João Pedro Araújo" (class 2, blank CPF) and 3 "Márcia Gonçalves" (class 3, CPF
// "123.456.789-09").

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "support/tdm_fixture.h"

namespace livrexa::test {
namespace {

using enum TFieldType;

const std::string CR = "\r";

// The text columns of a reader row besides the name and the CPF.
const std::vector<std::string> kTextColumns = {
    "T04_Escolaridade", "T04_NomePai",   "T04_NomeMae",    "T04_Sexo",        "T04_Naturalidade",
    "T04_Email",        "T04_Endereco",  "T04_PontoRefer", "T04_Cidade",      "T04_Bairro",
    "T04_Obs1",         "T04_Obs2",      "T04_CEP",        "T04_Estado",      "T04_Matricula",
    "T04_Turno",        "T04_Telefone1", "T04_Telefone2",  "T04_FoneContato", "T04_NomeContato"};

// A reader row as the client's reader screen sends it.
struct TReader {
  int numero = 0;
  std::string leitor = "Beatriz Nunes";
  TCell nasc = Day(2013, 6, 1);
  std::string cpf{};
  int turma = 1;
  bool desativado = false;
  std::map<std::string, std::string> texts{};  // further text columns; the others are sent empty
};

std::string ReaderTable(const TReader& r) {
  std::vector<TColumn> columns = {{"T04_NumLeitor", ftInteger},  {"T04_Desativado", ftBoolean},
                                  {"T04_Leitor", ftString, 150}, {"T04_DataNasc", ftDate},
                                  {"T04_CPF", ftString, 20},     {"T04_NumTurma", ftInteger}};
  std::vector<TCell> cells = {r.numero, r.desativado, r.leitor, r.nasc, r.cpf, r.turma};
  for (const std::string& name : kTextColumns) {
    columns.push_back({name, ftString, 1000});
    const auto it = r.texts.find(name);
    cells.push_back(it == r.texts.end() ? std::string() : it->second);
  }
  return TRows(columns).Row(cells).Text();
}

std::string PhotoTable(const std::string& bytes) {
  return TRows({{"T21_NumLeitor", ftInteger}, {"T21_Foto", ftGraphic}}).Row({0, bytes}).Text();
}

bool StartsWith(const std::string& s, const std::string& prefix) {
  return s.rfind(prefix, 0) == 0;
}
bool EndsWith(const std::string& s, const std::string& suffix) {
  return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

class Readers : public TdmTest {
 protected:
  std::string Save(const TReader& r, const std::string& photo = "") {
    return Grava(130, {.Tabela = ReaderTable(r), .Tabela2 = photo, .Usuario = "maria", .Rotina = "Leitores"})
        .Resposta();
  }
  std::vector<std::string> Names(int flag, const std::string& filtro, bool desativados) {
    auto rows = Consulta(flag, {.Filtro = filtro, .Desativados = desativados}).Rows();
    return ColumnTexts(rows, "T04_Leitor");
  }
  std::string Column(int numero, const std::string& column) {
    return Scalar("Select " + column + " From T04_LEITOR Where T04_NumLeitor = " + std::to_string(numero));
  }
  std::string Photo(int numero) {
    auto rows = Consulta(280, {.Filtro = std::to_string(numero)}).Rows();
    if (rows.RecordCount() != 1) return "<" + std::to_string(rows.RecordCount()) + " rows>";
    EXPECT_EQ(rows.AsInteger("T21_NumLeitor"), numero);
    return rows.AsString("T21_Foto");
  }
  std::string Count(const std::string& table) { return Scalar("Select count(*) From " + table); }
  // The one log entry of a failed save and its error-log row.
  void ExpectSaveFailureLogged(const std::string& message) {
    const auto log = host_.Log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_TRUE(StartsWith(log[0], "Grava --> ")) << log[0];
    EXPECT_TRUE(EndsWith(log[0], " - " + CR + message)) << log[0];
    EXPECT_EQ(ErrLogRows(), std::vector<std::string>{"maria|Leitores|" + message});
  }
};

TEST_F(Readers, ListsFilterByNumberOrNameAndHideDeactivatedAndDeleted) {
  ASSERT_EQ(Save({.leitor = "Mariana Souza", .turma = 1}), "000004");
  ASSERT_EQ(Save({.leitor = "anabela Rocha", .turma = 2}), "000005");
  ASSERT_EQ(Save({.leitor = "Luana Dias", .turma = 1}), "000006");
  ASSERT_EQ(Save({.numero = 6, .leitor = "Luana Dias", .turma = 1, .desativado = true}), "000006");
  ASSERT_EQ(Save({.leitor = "ana Apagada", .turma = 1}), "000007");
  ASSERT_EQ(Exclui(130, {.Numero = 7, .NumUsuario = 1}).Resposta(), "OK");

  struct Case {
    int flag;
    std::string filtro;
    bool desativados;
    std::vector<std::string> names;
  } cases[] = {
      {130,
       "",
       false,
       {"Ana Luíza Conceição", "João Pedro Araújo", "Mariana Souza", "Márcia Gonçalves", "anabela Rocha"}},
      {130,
       "",
       true,
       {"Ana Luíza Conceição", "João Pedro Araújo", "Luana Dias", "Mariana Souza", "Márcia Gonçalves",
        "anabela Rocha"}},
      // A number selects that reader, not the names holding the digit.
      {130, "1", true, {"Ana Luíza Conceição"}},
      {130, "6", false, {}},
      {130, "6", true, {"Luana Dias"}},
      // Contains, letter case kept.
      {130, "ana", false, {"Mariana Souza", "anabela Rocha"}},
      {130, "ana", true, {"Luana Dias", "Mariana Souza", "anabela Rocha"}},
      {130,
       "   ",
       false,
       {"Ana Luíza Conceição", "João Pedro Araújo", "Mariana Souza", "Márcia Gonçalves", "anabela Rocha"}},
      // Begins with.
      {310, "ana", true, {"anabela Rocha"}},
      {310, "M", true, {"Mariana Souza", "Márcia Gonçalves"}},
      {310, "5", false, {"anabela Rocha"}},
      {310,
       "",
       false,
       {"Ana Luíza Conceição", "João Pedro Araújo", "Mariana Souza", "Márcia Gonçalves", "anabela Rocha"}},
      {310,
       "",
       true,
       {"Ana Luíza Conceição", "João Pedro Araújo", "Luana Dias", "Mariana Souza", "Márcia Gonçalves",
        "anabela Rocha"}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Names(c.flag, c.filtro, c.desativados), c.names)
        << c.flag << " '" << c.filtro << "' desativados " << c.desativados;

  // A class deactivated on its own hides its active readers from the class list only.
  Exec("Update T16_TURMAS Set T16_Desativado = True Where T16_NumTurma = 2");
  EXPECT_EQ(Names(310, "", false),
            (std::vector<std::string>{"Ana Luíza Conceição", "Mariana Souza", "Márcia Gonçalves"}));
  EXPECT_EQ(Names(310, "", true).size(), 6u);
  EXPECT_EQ(Names(130, "", false).size(), 5u);
}

TEST_F(Readers, ListColumns) {
  auto all = Consulta(130, {.Filtro = "3"}).Rows();
  ASSERT_EQ(all.RecordCount(), 1u);
  EXPECT_EQ(all.FieldDef(0).Name, "T04_NUMLEITOR");
  EXPECT_EQ(all.FieldDef(all.FieldCount() - 1).Name, "T16_TURMA");
  EXPECT_EQ(all.AsString("T16_Turma"), "Professores");
  EXPECT_EQ(all.AsString("T04_CPF"), "123.456.789-09");

  auto byClass = Consulta(310, {.Filtro = "3"}).Rows();
  std::vector<std::string> names;
  for (size_t i = 0; i < byClass.FieldCount(); ++i) names.push_back(byClass.FieldDef(i).Name);
  EXPECT_EQ(names, (std::vector<std::string>{"T04_NUMLEITOR", "T04_LEITOR", "T16_TURMA", "T16_DESATIVADO",
                                             "T04_DESATIVADO"}));
}

TEST_F(Readers, ReaderInNoClassIsSavedButListedByNeither) {
  ASSERT_EQ(Save({.leitor = "Sem Turma", .turma = 99}), "000004");
  EXPECT_EQ(Column(4, "T04_Leitor"), "Sem Turma");
  EXPECT_TRUE(Names(130, "4", true).empty());
  EXPECT_TRUE(Names(310, "Sem", true).empty());
}

TEST_F(Readers, SaveWritesEveryColumnToItsPlace) {
  TReader r{.leitor = "Carla Mendes",
            .nasc = Day(2010, 2, 28),
            .cpf = "987.654.321-00",
            .turma = 2,
            .desativado = true};
  for (const std::string& name : kTextColumns) r.texts[name] = name.substr(4) + "!";
  ASSERT_EQ(Save(r), "000004");
  // A new reader is always active and registered today.
  EXPECT_EQ(Column(4, "T04_Desativado"), "False");
  EXPECT_EQ(Column(4, "T04_DataCadastro"), Scalar("Select CURRENT_DATE From RDB$DATABASE"));

  auto check = [&](const TReader& expected) {
    auto rows = Consulta(130, {.Filtro = "4", .Desativados = true}).Rows();
    ASSERT_EQ(rows.RecordCount(), 1u);
    EXPECT_EQ(rows.AsString("T04_Leitor"), expected.leitor);
    EXPECT_EQ(rows.AsDateTime("T04_DataNasc"), std::get<double>(expected.nasc.Value()));
    EXPECT_EQ(rows.AsString("T04_CPF"), expected.cpf);
    EXPECT_EQ(rows.AsInteger("T04_NumTurma"), expected.turma);
    for (const auto& [name, value] : expected.texts) EXPECT_EQ(rows.AsString(name), value) << name;
  };
  check(r);

  // The update writes every column, the deactivation as sent, and keeps the registration day.
  Exec("Update T04_LEITOR Set T04_DataCadastro = '2020-01-02' Where T04_NumLeitor = 4");
  TReader changed{.numero = 4,
                  .leitor = "Carla Mendes Lima",
                  .nasc = Day(2010, 3, 1),
                  .cpf = "111.222.333-44",
                  .turma = 3,
                  .desativado = true};
  for (const std::string& name : kTextColumns) changed.texts[name] = name.substr(4) + "?";
  ASSERT_EQ(Save(changed), "000004");
  check(changed);
  EXPECT_EQ(Column(4, "T04_Desativado"), "True");
  EXPECT_EQ(Column(4, "T04_DataCadastro"), "02/01/2020");
  EXPECT_EQ(Count("T04_LEITOR"), "4");
  EXPECT_TRUE(host_.Log().empty());
}

TEST_F(Readers, NameAndBirthDateTest) {
  const std::string message =
      "Um leitor com este mesmo nome e data de nascimento já foi cadastrado anteriormente.";
  struct Case {
    TReader reader;
    std::string reply;
  } cases[] = {
      {{.leitor = "Ana Luíza Conceição", .nasc = Day(2012, 3, 14)}, message},
      {{.numero = 2, .leitor = "Ana Luíza Conceição", .nasc = Day(2012, 3, 14), .turma = 2}, message},
      // The reader's own row passes.
      {{.numero = 1, .leitor = "Ana Luíza Conceição", .nasc = Day(2012, 3, 14)}, "000001"},
      {{.leitor = "Ana Luíza Conceição", .nasc = Day(2012, 3, 15)}, "000004"},
  };
  for (const auto& c : cases) EXPECT_EQ(Save(c.reader), c.reply) << c.reader.numero;
  EXPECT_EQ(Column(2, "T04_Leitor"), "João Pedro Araújo");

  // Once the reader is deleted, the name and birth date are free again.
  ASSERT_EQ(Exclui(130, {.Numero = 1, .NumUsuario = 1}).Resposta(), "OK");
  EXPECT_EQ(Save({.leitor = "Ana Luíza Conceição", .nasc = Day(2012, 3, 14)}), "000005");
}

TEST_F(Readers, CpfTestSkippedWhenBlankAndComparedAsReceived) {
  const std::string message = "Um leitor com este mesmo CPF já foi cadastrado anteriormente." + CR +
                              "O número do outro leitor é 000003";
  struct Case {
    TReader reader;
    std::string reply;
  } cases[] = {
      {{.leitor = "Outra Pessoa", .cpf = "123.456.789-09"}, message},
      {{.numero = 1, .leitor = "Ana Luíza Conceição", .nasc = Day(2012, 3, 14), .cpf = "123.456.789-09"},
       message},
      {{.numero = 3,
        .leitor = "Márcia Gonçalves",
        .nasc = Day(1980, 11, 25),
        .cpf = "123.456.789-09",
        .turma = 3},
       "000003"},
      // Readers 1 and 2 already share the empty CPF.
      {{.leitor = "Pessoa Um", .cpf = ""}, "000004"},
      {{.leitor = "Pessoa Dois", .cpf = "   "}, "000005"},
      {{.leitor = "Pessoa Tres", .cpf = "   "}, "000006"},
      {{.leitor = "Pessoa Quatro", .cpf = " 123.456.789-09"}, "000007"},
  };
  for (const auto& c : cases) EXPECT_EQ(Save(c.reader), c.reply) << c.reader.leitor;
  EXPECT_EQ(Column(1, "T04_CPF"), "");
  EXPECT_EQ(Column(6, "T04_CPF"), "   ");
}

// Up to the listener's body limit, a photo travels whole; 5 MB of every byte value.
TEST_F(Readers, LargePhotoComesBackByteIdentical) {
  std::string large(5 * 1024 * 1024, '\0');
  uint32_t seed = 12345;
  for (char& byte : large) {
    seed = seed * 1103515245u + 12345u;
    byte = static_cast<char>(seed >> 24);
  }
  ASSERT_EQ(Save({.leitor = "Com Foto"}, PhotoTable(large)), "000004");
  const std::string stored = Photo(4);
  EXPECT_EQ(stored.size(), large.size());
  EXPECT_TRUE(stored == large) << "the photo came back changed";
}

TEST_F(Readers, PhotoReplacedAndRemoved) {
  const std::string first = std::string("\x89PNG\r\n\x1a\n", 8) + std::string(3, '\0') + "um";
  ASSERT_EQ(Save({.leitor = "Com Foto"}, PhotoTable(first)), "000004");
  EXPECT_EQ(Photo(4), first);
  ASSERT_EQ(Save({.numero = 4, .leitor = "Com Foto"}, PhotoTable("dois")), "000004");
  EXPECT_EQ(Photo(4), "dois");
  EXPECT_EQ(Count("T21_FOTOS2"), "1");

  ASSERT_EQ(
      Save({.numero = 1, .leitor = "Ana Luíza Conceição", .nasc = Day(2012, 3, 14)}, PhotoTable("outra")),
      "000001");
  // Without "Tabela2", and with an empty photo, the stored photo goes; the other reader's stays.
  ASSERT_EQ(Save({.numero = 4, .leitor = "Com Foto"}), "000004");
  EXPECT_EQ(Photo(4), "<0 rows>");
  ASSERT_EQ(Save({.numero = 4, .leitor = "Com Foto"}, PhotoTable("tres")), "000004");
  ASSERT_EQ(Save({.numero = 4, .leitor = "Com Foto"}, PhotoTable("")), "000004");
  EXPECT_EQ(Photo(4), "<0 rows>");
  // A photo table without rows removes it as well.
  ASSERT_EQ(Save({.numero = 1, .leitor = "Ana Luíza Conceição", .nasc = Day(2012, 3, 14)},
                 TRows({{"T21_NumLeitor", ftInteger}, {"T21_Foto", ftGraphic}}).Text()),
            "000001");
  EXPECT_EQ(Photo(1), "<0 rows>");
  // A filter that is no number asks for reader 0.
  EXPECT_EQ(Consulta(280, {.Filtro = "abc"}).Rows().RecordCount(), 0u);
  EXPECT_TRUE(host_.Log().empty());
}

TEST_F(Readers, FailingSaveLeavesReaderAndPhotoUnchanged) {
  ASSERT_EQ(
      Save({.numero = 1, .leitor = "Ana Luíza Conceição", .nasc = Day(2012, 3, 14)}, PhotoTable("antiga")),
      "000001");
  // The reader is updated, then the photo table lacks its column: the update is undone.
  const std::string noPhotoColumn = TRows({{"Foto", ftGraphic}}).Row({"nova"}).Text();
  const std::string message = "Field 'T21_Foto' not found";
  EXPECT_EQ(Save({.numero = 1, .leitor = "Ana Trocada", .nasc = Day(2012, 3, 14)}, noPhotoColumn), message);
  ExpectSaveFailureLogged(message);
  EXPECT_EQ(Column(1, "T04_Leitor"), "Ana Luíza Conceição");
  EXPECT_EQ(Photo(1), "antiga");

  // A new reader inserted before the same failure is gone too.
  EXPECT_EQ(Save({.leitor = "Nova Leitora"}, noPhotoColumn), message);
  EXPECT_EQ(Count("T04_LEITOR"), "3");
  EXPECT_EQ(Count("T21_FOTOS2"), "1");

  // An engine failure (a postal code longer than its column) after the duplicate tests.
  const auto reply = Grava(
      130, {.Tabela = ReaderTable({.leitor = "Nova Leitora", .texts = {{"T04_CEP", std::string(40, '9')}}}),
            .Tabela2 = PhotoTable("foto"),
            .Usuario = "maria",
            .Rotina = "Leitores"});
  EXPECT_NE(reply.Resposta().find("truncation"), std::string::npos) << reply.Resposta();
  EXPECT_EQ(ErrLogRows().size(), 3u);
  EXPECT_EQ(Count("T04_LEITOR"), "3");
  EXPECT_EQ(Count("T21_FOTOS2"), "1");

  // A save without any reader row fails at its first field.
  host_.ClearLog();
  EXPECT_EQ(Grava(130, {.Usuario = "maria", .Rotina = "Leitores"}).Resposta(),
            "Field 'T04_NumLeitor' not found");
  EXPECT_EQ(host_.Log().size(), 1u);
}

TEST_F(Readers, DeleteRefusedWhileTheReaderHasLiveLoanItems) {
  // Loan 42 of reader 2: its one item was returned. Loan 43 of reader 3: its items were deleted.
  Exec("Insert into T12_EMPRE1 (T12_NumEmprest, T12_NumLeitor, T12_Data) Values (42, 2, '2024-03-01')");
  Exec(
      "Insert into T13_EMPRE2 (T13_NumEmprest, T13_NumAcervo, T13_Previsao, T13_Devolucao) "
      "Values (42, 1, '2024-03-08', '2024-03-05')");
  Exec("Insert into T12_EMPRE1 (T12_NumEmprest, T12_NumLeitor, T12_Data) Values (43, 3, '2024-03-01')");
  for (int acervo : {2, 3})
    Exec(
        "Insert into T13_EMPRE2 (T13_NumEmprest, T13_NumAcervo, T13_Previsao, T13_Exclusao, T13_ExcluidoPor) "
        "Values (43, " +
        std::to_string(acervo) + ", '2024-03-08', '2024-03-02', 1)");
  ASSERT_EQ(
      Save({.numero = 1, .leitor = "Ana Luíza Conceição", .nasc = Day(2012, 3, 14)}, PhotoTable("foto")),
      "000001");

  const std::string refused = "Este leitor está sendo utilizado no cadastro de empréstimos" + CR +
                              "pela nota 000042 (podendo haver outras)." + CR +
                              "Por este motivo a exclusão não poderá ser realizada.";
  struct Case {
    int numero;
    std::string reply;
  } cases[] = {{2, refused}, {3, "OK"}, {1, "OK"}};
  for (const auto& c : cases)
    EXPECT_EQ(Exclui(130, {.Numero = c.numero, .NumUsuario = 7, .Usuario = "maria", .Rotina = "Leitores"})
                  .Resposta(),
              c.reply)
        << c.numero;

  // A refused delete is an answer: nothing logged, nothing recorded, nothing changed.
  EXPECT_TRUE(host_.Log().empty());
  EXPECT_TRUE(ErrLogRows().empty());
  EXPECT_EQ(Column(2, "T04_Exclusao"), "");
  EXPECT_EQ(Names(130, "", true), (std::vector<std::string>{"João Pedro Araújo"}));
  // The deleted reader keeps its photo; the day and the deleting user are written.
  EXPECT_EQ(Column(1, "T04_Exclusao"), Scalar("Select CURRENT_DATE From RDB$DATABASE"));
  EXPECT_EQ(Column(1, "T04_ExcluidoPor"), "7");
  EXPECT_EQ(Photo(1), "foto");
}

}  // namespace
}  // namespace livrexa::test
