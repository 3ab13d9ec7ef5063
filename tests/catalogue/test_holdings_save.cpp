// The holding save over HTTP: "Grava" 180 with the holding, its authors, contents and photo.

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <set>

#include "catalogue/test_holdings_rows.h"

namespace livrexa::test {
namespace {

const std::string kTomboMessage =
    "Este número de tombo já está sendo utilizado no cadastro do acervo\rpelo item %s. Por este motivo a "
    "gravação não poderá ser realizada.";

std::string TomboMessage(const std::string& item) {
  std::string message = kTomboMessage;
  message.replace(message.find("%s"), 2, item);
  return message;
}

class HoldingsSave : public HoldingsTest {
 protected:
  // The holding as the holdings list gives it back.
  TFDMemTable Listed(int numero) {
    TFDMemTable table = Consulta(180, Filter(std::to_string(numero), true)).Rows();
    EXPECT_EQ(table.RecordCount(), 1u) << "holding " << numero;
    return table;
  }
  std::vector<int> Authors(int numero) {
    return Column(Consulta(190, Filter(std::to_string(numero))), "T10_NumAutor");
  }
  std::vector<std::string> Contents(int numero) {
    TFDMemTable table = Consulta(200, Filter(std::to_string(numero))).Rows();
    std::vector<std::string> entries;
    for (table.First(); !table.Eof(); table.Next())
      entries.push_back(table.AsString("T11_Indice") + "@" + table.AsString("T11_Pagina"));
    return entries;
  }
  // The photo's bytes, or nullopt when the holding has none.
  std::optional<std::string> Photo(int numero) {
    TFDMemTable table = Consulta(270, Filter(std::to_string(numero))).Rows();
    if (table.RecordCount() == 0) return std::nullopt;
    EXPECT_EQ(table.RecordCount(), 1u);
    return table.AsString("T20_Foto");
  }
  // Rows of the four tables of a holding's save, as one text, to see that nothing changed.
  std::string Footprint() {
    return Scalar(
        "Select (Select count(*) From T09_ACERVO) || '/' || (Select count(*) From T10_LINKAU) || '/' || "
        "(Select count(*) From T11_INDICE) || '/' || (Select count(*) From T20_FOTOS1) || '/' || "
        "(Select list(T09_Titulo || T09_Tombo, '|') From T09_ACERVO) From RDB$DATABASE");
  }
};

TEST_F(HoldingsSave, NewHoldingStoresEveryColumnAndRepliesItsNumberInSixDigits) {
  THolding h{.Titulo = "Memórias Póstumas de Brás Cubas",
             .SubTitulo = "romance",
             .NumEditora = 2,
             .NumTipoItem = 3,
             .NumClassific = 1,
             .NumIdioma = 2,
             .Tombo = 0,
             .Paginas = 208,
             .Aquisicao = Day(2024, 3, 14),
             .Baixa = Day(2024, 6, 1),  // an insert writes no withdrawal day
             .NaoEmprestar = true,
             .Emprestado = true,  // nor a loan mark: a new holding is never out
             .Exemplar = "Ex. 2",
             .Volume = "v. 1",
             .Edicao = "3ª",
             .AnoEdicao = "1881",
             .ISBN = "978-85-359-0000-1",
             .Obs1 = "doação",
             .Obs2 = "capa dura",
             .CDD = "869.3",
             .CDU = "821.134.3",
             .Cutter = "A848m",
             .Palavras1 = "ironia",
             .Palavras2 = "defunto autor",
             .Palavras3 = "realismo",
             .Palavras4 = "Rio",
             .Palavras5 = "século XIX",
             .Local = "Estante A3",
             .qReplicar = 0};
  EXPECT_EQ(Save(h, {1}, {{"Ao leitor", 3}}, "foto").Resposta(), "000005");

  TFDMemTable t = Listed(5);
  const std::pair<const char*, const char*> texts[] = {
      {"T09_Titulo", "Memórias Póstumas de Brás Cubas"},
      {"T09_SubTitulo", "romance"},
      {"T09_NumEditora", "2"},
      {"T09_NumTipoItem", "3"},
      {"T09_NumClassific", "1"},
      {"T09_NumIdioma", "2"},
      {"T09_Tombo", "0"},
      {"T09_Paginas", "208"},
      {"T09_Aquisicao", "14/03/2024"},
      {"T09_Baixa", ""},
      {"T09_NaoEmprestar", "True"},
      {"T09_Emprestado", "False"},
      {"T09_Exemplar", "Ex. 2"},
      {"T09_Volume", "v. 1"},
      {"T09_Edicao", "3ª"},
      {"T09_AnoEdicao", "1881"},
      {"T09_ISBN", "978-85-359-0000-1"},
      {"T09_Obs1", "doação"},
      {"T09_Obs2", "capa dura"},
      {"T09_CDD", "869.3"},
      {"T09_CDU", "821.134.3"},
      {"T09_CUTTER", "A848m"},
      {"T09_Palavras1", "ironia"},
      {"T09_Palavras2", "defunto autor"},
      {"T09_Palavras3", "realismo"},
      {"T09_Palavras4", "Rio"},
      {"T09_Palavras5", "século XIX"},
      {"T09_Local", "Estante A3"},
      {"T09_Exclusao", ""},
  };
  for (const auto& [column, text] : texts) EXPECT_EQ(t.AsString(column), text) << column;
  EXPECT_EQ(Authors(5), (std::vector<int>{1}));
  EXPECT_EQ(Contents(5), (std::vector<std::string>{"Ao leitor@3"}));
  EXPECT_EQ(Photo(5), "foto");
  EXPECT_TRUE(host_.Log().empty());

  // A row without an acquisition day stores the zero date, as the clients have always had it.
  EXPECT_EQ(Save(THolding{.Aquisicao = nullptr}).Resposta(), "000006");
  EXPECT_EQ(Scalar("Select T09_Aquisicao From T09_ACERVO Where T09_NumAcervo = 6"), "30/12/1899");
}

TEST_F(HoldingsSave, ExistingHoldingIsUpdatedRepliesItsBareNumberAndKeepsItsLoanMark) {
  Exec("Update T09_ACERVO Set T09_Emprestado = True Where T09_NumAcervo = 1");
  EXPECT_EQ(
      Save(THolding{.NumAcervo = 1, .Titulo = "Dom Casmurro (ed. crítica)", .Tombo = 1001, .Paginas = 300},
           {1}, {{"Do título", 9}})
          .Resposta(),
      "1");
  TFDMemTable t = Listed(1);
  EXPECT_EQ(t.AsString("T09_Titulo"), "Dom Casmurro (ed. crítica)");
  EXPECT_EQ(t.AsInteger("T09_Paginas"), 300);
  EXPECT_EQ(t.AsString("T09_Palavras1"), "ironia");
  EXPECT_TRUE(t.AsBoolean("T09_Emprestado"));
  EXPECT_EQ(Count("Select count(*) From T09_ACERVO"), 4);

  // A key that names no holding updates nothing and still replies it.
  EXPECT_EQ(Save(THolding{.NumAcervo = 77}).Resposta(), "77");
  EXPECT_EQ(Count("Select count(*) From T09_ACERVO"), 4);
}

TEST_F(HoldingsSave, WithdrawalDayUpToTheFirstOf2001IsStoredAsNone) {
  struct Case {
    TCell baixa;
    const char* stored;
  } cases[] = {{nullptr, "null"},
               {Day(2001, 1, 1), "null"},
               {Day(1999, 12, 31), "null"},
               {Day(2001, 1, 2), "2001-01-02"},
               {Day(2024, 6, 1), "2024-06-01"}};
  for (const auto& c : cases) {
    EXPECT_EQ(Save(THolding{.NumAcervo = 2, .Tombo = 1002, .Baixa = c.baixa}).Resposta(), "2");
    EXPECT_EQ(Scalar("Select coalesce(cast(T09_Baixa as varchar(10)), 'null') From T09_ACERVO Where "
                     "T09_NumAcervo = 2"),
              c.stored);
  }
}

TEST_F(HoldingsSave, EmptyCompanionTablesKeepTheLinksAndOneRowReplacesThem) {
  ASSERT_EQ(Save(THolding{.NumAcervo = 1, .Tombo = 1001}).Resposta(), "1");
  EXPECT_EQ(Authors(1), (std::vector<int>{1}));
  EXPECT_EQ(Contents(1), (std::vector<std::string>{"Do título@9", "O agregado@13"}));

  ASSERT_EQ(Save(THolding{.NumAcervo = 1, .Tombo = 1001}, {3}, {}).Resposta(), "1");
  EXPECT_EQ(Authors(1), (std::vector<int>{3}));
  EXPECT_EQ(Contents(1), (std::vector<std::string>{"Do título@9", "O agregado@13"}));

  ASSERT_EQ(Save(THolding{.NumAcervo = 1, .Tombo = 1001}, {}, {{"Capítulo I", 5}}).Resposta(), "1");
  EXPECT_EQ(Authors(1), (std::vector<int>{3}));
  EXPECT_EQ(Contents(1), (std::vector<std::string>{"Capítulo I@5"}));
  // The other holdings' companions are untouched.
  EXPECT_EQ(Authors(2), (std::vector<int>{2}));
  EXPECT_EQ(Contents(2), (std::vector<std::string>{"Ou isto ou aquilo@7"}));
}

TEST_F(HoldingsSave, CopiesOfAnExistingHoldingHaveNoAccessionNumberAndTheSameCompanions) {
  const auto reply = Save(THolding{.NumAcervo = 1, .Titulo = "Dom Casmurro", .Tombo = 1001, .qReplicar = 3},
                          {1, 2}, {{"Do título", 9}}, "capa");
  EXPECT_EQ(reply.Resposta(), "000005, 000006, 000007");
  EXPECT_EQ(
      Scalar(
          "Select list(T09_NumAcervo || ':' || T09_Tombo || ':' || T09_Titulo, ',') From "
          "(Select * From T09_ACERVO Where T09_NumAcervo = 1 or T09_NumAcervo > 4 Order by T09_NumAcervo)"),
      "1:1001:Dom Casmurro,5:0:Dom Casmurro,6:0:Dom Casmurro,7:0:Dom Casmurro");
  for (const int numero : {1, 5, 6, 7}) {
    EXPECT_EQ(Authors(numero), (std::vector<int>{2, 1})) << numero;  // by name: Cecília, Machado
    EXPECT_EQ(Contents(numero), (std::vector<std::string>{"Do título@9"})) << numero;
    EXPECT_EQ(Photo(numero), "capa") << numero;
  }
}

TEST_F(HoldingsSave, NewHoldingWithCopiesTakesTheFollowingAccessionNumbers) {
  EXPECT_EQ(
      Save(THolding{.Titulo = "Vidas Secas", .Tombo = 100, .qReplicar = 2}, {4}, {{"Mudança", 9}}).Resposta(),
      "000005, 000006, 000007");
  EXPECT_EQ(
      Scalar("Select list(T09_Tombo, ',') From (Select T09_Tombo From T09_ACERVO Where T09_NumAcervo > 4 "
             "Order by T09_NumAcervo)"),
      "100,101,102");
  EXPECT_EQ(Count("Select count(*) From T10_LINKAU Where T10_NumAutor = 4"), 4);
  EXPECT_EQ(Count("Select count(*) From T11_INDICE Where T11_Indice = 'Mudança'"), 3);
  // Each copy's number is itself taken now.
  EXPECT_EQ(Save(THolding{.Tombo = 101}).Resposta(), TomboMessage("000006"));
}

TEST_F(HoldingsSave, NegativeKeyWithoutCopiesInsertsNothingAndRepliesEmpty) {
  const std::string before = Footprint();
  // The empty text travels as a null value.
  EXPECT_EQ(Save(THolding{.NumAcervo = -1, .Tombo = 0}, {1}, {{"x", 1}}, "foto").Param("RESPOSTA"),
            std::nullopt);
  EXPECT_EQ(Footprint(), before);
  // With copies it inserts only them, without accession numbers.
  EXPECT_EQ(Save(THolding{.NumAcervo = -1, .Tombo = 500, .qReplicar = 2}).Resposta(), "000005, 000006");
  EXPECT_EQ(Scalar("Select list(T09_Tombo, ',') From T09_ACERVO Where T09_NumAcervo > 4"), "0,0");
}

TEST_F(HoldingsSave, AccessionNumberOfAnotherLiveHoldingStopsTheSave) {
  const std::string before = Footprint();
  TGravaInputs in;
  in.Tabela = HoldingText(THolding{.Tombo = 1002});
  in.Tabela2 = AuthorsText({1});
  in.Tabela3 = ContentsText({});
  in.Usuario = "ana";
  in.Rotina = "CadAcervo";
  const std::string message = TomboMessage("000002");
  EXPECT_EQ(Grava(180, in).Resposta(), message);
  EXPECT_EQ(Footprint(), before);
  ASSERT_EQ(host_.Log().size(), 1u);
  EXPECT_EQ(host_.Log()[0].rfind("Grava --> ", 0), 0u);
  EXPECT_NE(host_.Log()[0].find(" - \r" + message), std::string::npos);
  EXPECT_EQ(ErrLogRows(), (std::vector<std::string>{"ana|CadAcervo|" + message}));

  // An existing holding keeps its own number, but cannot take another's.
  EXPECT_EQ(Save(THolding{.NumAcervo = 1, .Tombo = 1001}).Resposta(), "1");
  EXPECT_EQ(Save(THolding{.NumAcervo = 1, .Tombo = 1004}).Resposta(), TomboMessage("000004"));
  // The number of a deleted holding is free again.
  Exec("Update T09_ACERVO Set T09_Exclusao = CURRENT_DATE Where T09_NumAcervo = 3");
  EXPECT_EQ(Save(THolding{.Tombo = 1003}).Resposta(), "000005");
  // A copy would take 1001, which holding 1 has: nothing is written.
  const std::string later = Footprint();
  EXPECT_EQ(Save(THolding{.Tombo = 999, .qReplicar = 2}).Resposta(), TomboMessage("000001"));
  EXPECT_EQ(Footprint(), later);
}

TEST_F(HoldingsSave, AFailingStepUndoesTheHoldingItsCopiesAndItsCompanions) {
  const std::string before = Footprint();
  const std::string closed = "Cannot perform this operation on a closed dataset";

  // No "Tabela2": a new holding fails at its authors, after its insert.
  TGravaInputs in;
  in.Tabela = HoldingText(THolding{.Tombo = 0, .qReplicar = 2});
  in.Tabela3 = ContentsText({{"x", 1}});
  EXPECT_EQ(Grava(180, in).Resposta(), closed);
  EXPECT_EQ(Footprint(), before);

  // No "Tabela3": an existing holding fails after its update and the removal of its authors.
  in.Tabela = HoldingText(THolding{.NumAcervo = 1, .Titulo = "outro", .Tombo = 1001, .qReplicar = 1});
  in.Tabela2 = AuthorsText({2, 3});
  in.Tabela3.clear();
  EXPECT_EQ(Grava(180, in).Resposta(), closed);
  EXPECT_EQ(Footprint(), before);
  EXPECT_EQ(Authors(1), (std::vector<int>{1}));

  // A photo row without its column: the first holding, its authors and contents were written
  // when the photo step failed.
  in.Tabela = HoldingText(THolding{.Tombo = 0, .qReplicar = 1});
  in.Tabela3 = ContentsText({{"x", 1}});
  in.Tabela4 = TRows({{"Foto", TFieldType::ftGraphic}}).Row({"bytes"}).Text();
  EXPECT_EQ(Grava(180, in).Resposta(), "Field 'T20_Foto' not found");
  EXPECT_EQ(Footprint(), before);

  // The last accession number has no following one for a copy.
  EXPECT_NE(
      Save(THolding{.Tombo = 2147483647, .qReplicar = 1}).Resposta().find("numeric value is out of range"),
      std::string::npos);
  EXPECT_EQ(Footprint(), before);

  // No "Tabela" at all.
  EXPECT_EQ(Grava(180).Resposta(), "Field 'T09_NumAcervo' not found");
  EXPECT_EQ(Footprint(), before);
  EXPECT_EQ(ErrLogRows().size(), 5u);
}

TEST_F(HoldingsSave, ASaveWithoutAPhotoRemovesTheHoldingsPhoto) {
  ASSERT_EQ(Save(THolding{.NumAcervo = 1, .Tombo = 1001}, {}, {}, "primeira").Resposta(), "1");
  EXPECT_EQ(Photo(1), "primeira");
  ASSERT_EQ(Save(THolding{.NumAcervo = 1, .Tombo = 1001}, {}, {}, "segunda").Resposta(), "1");
  EXPECT_EQ(Photo(1), "segunda");
  EXPECT_EQ(Count("Select count(*) From T20_FOTOS1"), 1);
  ASSERT_EQ(Save(THolding{.NumAcervo = 1, .Tombo = 1001}).Resposta(), "1");  // no "Tabela4"
  EXPECT_EQ(Photo(1), std::nullopt);

  // A photo row whose picture is empty removes it too.
  ASSERT_EQ(Save(THolding{.NumAcervo = 1, .Tombo = 1001}, {}, {}, "terceira").Resposta(), "1");
  TGravaInputs in;
  in.Tabela = HoldingText(THolding{.NumAcervo = 1, .Tombo = 1001});
  in.Tabela2 = AuthorsText({});
  in.Tabela3 = ContentsText({});
  in.Tabela4 = TRows({{"T20_Foto", TFieldType::ftGraphic}}).Row({nullptr}).Text();
  ASSERT_EQ(Grava(180, in).Resposta(), "1");
  EXPECT_EQ(Photo(1), std::nullopt);
}

TEST_F(HoldingsSave, FiveMegabytePhotoRoundTripsByteForByte) {
  std::string photo(5 * 1024 * 1024, '\0');
  std::mt19937 random(2024);
  for (char& c : photo) c = static_cast<char>(random() & 0xFF);
  photo[0] = '\0';  // a leading NUL and every byte value
  for (int b = 0; b < 256; ++b) photo[1 + b] = static_cast<char>(b);

  const int numero = NewHolding(THolding{}, {1}, {}, photo);
  ASSERT_EQ(numero, 5);
  EXPECT_EQ(Scalar("Select octet_length(T20_Foto) From T20_FOTOS1 Where T20_NumAcervo = 5"),
            std::to_string(photo.size()));
  const std::optional<std::string> back = Photo(5);
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(back->size(), photo.size());
  EXPECT_TRUE(*back == photo);
}

TEST_F(HoldingsSave, TwoHundredContentsEntriesAndTwentyAuthorsInOneRequest) {
  std::vector<int> authors = {1, 2, 3, 4};
  for (int i = 5; i <= 20; ++i) {
    Exec("Insert into T05_AUTOR1 (T05_Autor, T05_Desativado) Values ('Autor " + std::to_string(100 + i) +
         "', False)");
    authors.push_back(i);
  }
  std::vector<std::pair<std::string, int>> contents;
  std::vector<std::string> expected;
  for (int page = 200; page >= 1; --page) {
    contents.emplace_back("Capítulo " + std::to_string(page) + " — ação", page);
    expected.insert(expected.begin(), contents.back().first + "@" + std::to_string(page));
  }
  const int numero = NewHolding(THolding{.Titulo = "Obra completa"}, authors, contents);
  ASSERT_EQ(numero, 5);
  EXPECT_EQ(Contents(5), expected);
  const std::vector<int> listed = Authors(5);
  EXPECT_EQ(listed.size(), 20u);
  EXPECT_EQ(std::set<int>(listed.begin(), listed.end()), std::set<int>(authors.begin(), authors.end()));
}

}  // namespace
}  // namespace livrexa::test
