// The collection search over HTTP ("Consulta" 320): the modes, and search texts that must stay
// plain text in every mode.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>

#include "catalogue/holdings_search.h"
#include "catalogue/test_holdings_rows.h"
#include "rest/params/json_param.h"
#include "rest/wire/text_codec.h"
#include "rest/wire/wire_consts.h"
#include "rest/wire/wire_numbers.h"

namespace livrexa::test {
namespace {

size_t CountChars(const std::string& utf8) {
  size_t count = 0;
  for (const char c : utf8) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return count;
}

std::string Repeat(const std::string& piece, size_t times) {
  std::string out;
  out.reserve(piece.size() * times);
  for (size_t i = 0; i < times; ++i) out += piece;
  return out;
}

TEST(HoldingsSearchText, PatternLiteralsQuoteEverythingTheEngineCouldReadAsSql) {
  struct Case {
    std::string pattern;
    std::string literal;
  } cases[] = {
      {"", "''"},
      {"O'Brien%", "'O''Brien%'"},
      {"''", "''''''"},
      {"'; Delete From T09_ACERVO; --", "'''; Delete From T09_ACERVO; --'"},
      {":p00 /* q'{x}' */", "':p00 /* q''{x}'' */'"},
      {"ação 😀", "'ação 😀'"},
      {std::string("a\0'b", 4), "_UTF8 x'61002762'"},  // the statement text would end at the NUL
      {"\xE7\xE3o", "'\xEF\xBF\xBD\xEF\xBF\xBDo'"},    // 8-bit text is malformed UTF-8
      {"\xC0\x80", "'\xEF\xBF\xBD\xEF\xBF\xBD'"},      // an over-long NUL is malformed too
      {Repeat("'", 300) + "%", "'" + Repeat("''", 300) + "%'"},
      {"%" + Repeat("'", 16382), "'%" + Repeat("''", 16382) + "'"},
      {Repeat("%", 20000), "'%'"},
  };
  for (const auto& c : cases) EXPECT_EQ(SqlPatternLiteral(c.pattern), c.literal) << c.pattern.substr(0, 40);
  // Longer than one literal can be, with more fixed characters than any text column holds:
  // a pattern of 8192 single-character wildcards, which matches nothing.
  EXPECT_EQ(SqlPatternLiteral(Repeat("x%", 9000)), "'" + std::string(8192, '_') + "'");
  EXPECT_EQ(SqlPatternLiteral(Repeat("ç", 16384)), "'" + std::string(8192, '_') + "'");
  EXPECT_EQ(SqlPatternLiteral(Repeat("%ç", 8191) + "%%%"), "'" + Repeat("%ç", 8191) + "%'");
  // A fixed start longer than the widest searched column (300 characters) matches nothing either,
  // and is no index key the engine must look up: Firebird 4 refuses one beyond its key size.
  for (const std::string& start : {Repeat("x", 301), Repeat("😀", 301), Repeat("'", 10000)})
    EXPECT_EQ(SqlPatternLiteral(start + "%"), "'" + std::string(8192, '_') + "'") << start.substr(0, 12);
  EXPECT_EQ(SqlPatternLiteral(Repeat("x", 300) + "_" + Repeat("y", 400) + "%"),
            "'" + Repeat("x", 300) + "_" + Repeat("y", 400) + "%'")
      << "only the start before the first wildcard counts";
}

// The engine's own Upper() over a text bound as a parameter.
std::string EngineUpper(const std::filesystem::path& database, const std::string& text) {
  TFbConnection connection([&] { return database.string(); }, nullptr);
  TFbQuery query(connection);
  query.SetSql({"Select Upper(cast(:p00 as varchar(8191))) From RDB$DATABASE"});
  query.ParamByName("p00").SetAsString(text);
  query.Open();
  return query.AsString(0);
}

// A query answered its rows: "Tabela" written and no "Resposta" (the error path writes the
// message there and leaves "Tabela" null).
bool Succeeded(const EventReply& reply) {
  const auto tabela = reply.params.find("TABELA");
  const auto resposta = reply.params.find("RESPOSTA");
  return tabela != reply.params.end() && tabela->second.has_value() &&
         (resposta == reply.params.end() || !resposta->second.has_value());
}

// A text as the clients send it: the parameter's JSON text, its value in base64.
std::string EncodedInput(const std::string& name, const std::string& text) {
  TJSONParam param(TEncodeSelect::esUtf8);
  param.SetParamName(name);
  param.SetObjectDirection(TObjectDirection::odIN);
  param.SetObjectValue(TObjectValue::ovString);
  param.SetAsString(text);
  return param.ToJSON();
}

using HoldingsSearch = HoldingsTest;

TEST_F(HoldingsSearch, UpperCaseAgreesWithTheEngine) {
  std::string text = "reinações de narizinho, ß ı ǆ ſ";
  for (char32_t cp = 0x20; cp < 0x590; ++cp) AppendUtf8(text, cp);
  for (char32_t cp = 0x1E00; cp < 0x2000; ++cp) AppendUtf8(text, cp);
  for (char32_t cp = 0x10400; cp < 0x10450; ++cp) AppendUtf8(text, cp);
  EXPECT_EQ(UpperCaseText(text), EngineUpper(database_, text));
  EXPECT_EQ(UpperCaseText("reinações"), "REINAÇÕES");
  EXPECT_EQ(UpperCaseText(std::string("a\0b", 3)), std::string("A\0B", 3));
}

// Demo holdings: 1 Dom Casmurro, 2 Ou Isto ou Aquilo, 3 Reinações de Narizinho, 4 A Hora da
// Estrela (do-not-lend). Here 5 is a second Dom Casmurro (volume 2, withdrawn and do-not-lend,
// so shown), 6 a deleted one, 2 is out on loan, and 3 has a contents entry with no text.
class HoldingsSearchModes : public HoldingsTest {
 protected:
  void SetUp() override {
    HoldingsTest::SetUp();
    ASSERT_EQ(NewHolding(THolding{.Titulo = "Dom Casmurro",
                                  .NumEditora = 3,
                                  .NumTipoItem = 2,
                                  .NumClassific = 2,
                                  .Tombo = 2001,
                                  .NaoEmprestar = true,
                                  .Volume = "2",
                                  .CDD = "800",
                                  .CDU = "869.0(81)",
                                  .Cutter = "A848d",
                                  .Palavras1 = "",
                                  .Palavras4 = "ciúme e dúvida"},
                         {1, 4}, {{"O AGREGADO", 5}}),
              5);
    ASSERT_EQ(Save(THolding{.NumAcervo = 5,
                            .Titulo = "Dom Casmurro",
                            .NumEditora = 3,
                            .NumTipoItem = 2,
                            .NumClassific = 2,
                            .Tombo = 2001,
                            .Baixa = Day(2024, 6, 1),
                            .NaoEmprestar = true,
                            .Volume = "2",
                            .CDD = "800",
                            .CDU = "869.0(81)",
                            .Cutter = "A848d",
                            .Palavras1 = "",
                            .Palavras4 = "ciúme e dúvida"})
                  .Resposta(),
              "5");
    ASSERT_EQ(NewHolding(THolding{.Titulo = "Dom Casmurro (descarte)", .Tombo = 3001}), 6);
    ASSERT_EQ(Exclui(180, TExcluiInputs{6, 1, "", ""}).Resposta(), "OK");
    Exec("Update T09_ACERVO Set T09_Emprestado = True Where T09_NumAcervo = 2");
    Exec("Insert into T11_INDICE (T11_Indice, T11_Pagina, T11_NumAcervo) Values ('', 1, 3)");
  }
  std::vector<int> Search(const std::string& filtro, int mode, bool desativados = false) {
    const auto reply = Consulta(320, Filter(filtro, desativados, std::to_string(mode)));
    EXPECT_TRUE(Succeeded(reply)) << reply.body.substr(0, 400);
    return Column(reply, "T09_NumAcervo");
  }
};

TEST_F(HoldingsSearchModes, EveryModeFindsItsHoldingsInItsOrder) {
  struct Case {
    int mode;
    const char* filtro;
    std::vector<int> numbers;
    bool ordered;  // false where the order clause leaves ties
  } cases[] = {
      {0, "", {1, 5, 2, 3}, true},  // by title, then volume; 4 is do-not-lend without withdrawal
      {0, "dom", {1, 5}, true},
      {0, "reinações", {3}, true},  // upper case beyond ASCII
      {0, "casmurro", {}, true},    // titles that begin with the text
      {1, "3", {3}, true},
      {1, "abc", {}, true},  // number 0
      {1, "", {1, 2, 3, 5}, true},
      {2, "", {2}, true},
      {2, "qualquer", {2}, true},
      {3, "Editora G", {3, 5}, false},
      {3, "Companhia", {2}, true},
      {4, "Revista", {5}, true},
      {4, "Livro", {1, 2, 3}, false},
      {5, "Poesia", {2, 5}, false},
      {6, "ciúme", {1, 5}, false},  // any keyword containing the text
      {6, "infantil", {2}, true},
      {7, "AGREGADO", {1, 5}, false},
      {7, "agregado", {}, true},  // compared with the upper-cased entry, not upper-cased itself
      {7, "", {3}, true},         // an entry equal to the empty text
      {8, "MACHADO", {1, 5}, false},
      {8, "CLARICE", {5}, true},
      {8, "machado", {}, true},
      {9, "1002", {2}, true},
      {9, "", {1, 2, 3, 5}, true},
      {10, "869", {1, 3, 5, 2}, false},  // CDD or CDU
      {10, "800", {5}, true},
      {11, "A848", {1, 5}, false},
      {11, "a848", {}, true},
      {12, "Dom", {1, 2, 3, 5}, false},  // an unknown mode: no text piece, no order
      {-1, "", {1, 2, 3, 5}, false},
  };
  for (const auto& c : cases) {
    std::vector<int> found = Search(c.filtro, c.mode);
    std::vector<int> expected = c.numbers;
    if (!c.ordered) {
      std::sort(found.begin(), found.end());
      std::sort(expected.begin(), expected.end());
    }
    EXPECT_EQ(found, expected) << "mode " << c.mode << " '" << c.filtro << "'";
  }
  EXPECT_TRUE(host_.Log().empty());
}

TEST_F(HoldingsSearchModes, DeletedHoldingsOnlyWhenAskedAndTheDoNotLendRule) {
  EXPECT_EQ(Search("", 0, true), (std::vector<int>{6}));
  EXPECT_EQ(Search("dom", 0, true), (std::vector<int>{6}));
  EXPECT_EQ(Search("3001", 9, true), (std::vector<int>{6}));
  EXPECT_EQ(Search("3001", 9), (std::vector<int>{}));
  // A deleted holding is listed whatever its do-not-lend mark.
  Exec("Update T09_ACERVO Set T09_NaoEmprestar = True Where T09_NumAcervo = 6");
  EXPECT_EQ(Search("", 1, true), (std::vector<int>{6}));
  // Live and do-not-lend: shown only once it has a withdrawal day.
  EXPECT_EQ(Search("1004", 9), (std::vector<int>{}));
  Exec("Update T09_ACERVO Set T09_Baixa = '2024-02-01' Where T09_NumAcervo = 4");
  EXPECT_EQ(Search("1004", 9), (std::vector<int>{4}));
  // A withdrawn holding that may be lent is shown too.
  Exec("Update T09_ACERVO Set T09_Baixa = '2024-02-01' Where T09_NumAcervo = 1");
  EXPECT_EQ(Search("1001", 9), (std::vector<int>{1}));
  // Restored, it is live again.
  ASSERT_EQ(Exclui(370, TExcluiInputs{6, 0, "", ""}).Resposta(), "OK");
  EXPECT_EQ(Search("", 0, true), (std::vector<int>{}));
}

TEST_F(HoldingsSearchModes, ModeThatIsNotANumberFailsWithTheConversionMessage) {
  const auto reply =
      Send("Consulta", 320, {{"Filtro", "dom"}, {"Filtro2", "titulo"}, {"Rotina", "Pesquisa"}});
  EXPECT_NE(
      reply.Resposta().find("Erro na consulta na rotina Pesquisa\r'titulo' is not a valid integer value"),
      std::string::npos)
      << reply.Resposta();
  EXPECT_FALSE(Succeeded(reply));
}

// Holdings whose every searched text holds one hostile text, and searches with those texts and
// longer ones in every mode. A search must find what the same search finds with the text bound
// as a parameter, never fail, and never change anything.
class HoldingsHostileSearch : public HoldingsTest {
 protected:
  static std::vector<std::string> Stored() {
    return {"O'Brien",
            "' or '1'='1",
            "x'; Delete From T09_ACERVO; --",
            "--",
            ";",
            "%",
            "_",
            "50%_OFF",
            std::string("NUL\0BYTE", 8),
            std::string("'\0'", 3),
            "\xE7\xE3o 8-bit \xFF",
            "ação 😀 日本語 Ωμέγα",
            "ÇÃO 😀",
            ":p00 /* q'{x}' */ \" \\",
            "a\r\nb\tc"};
  }
  static std::vector<std::string> Searched() {
    std::vector<std::string> texts = Stored();
    for (const std::string extra : {"  ' '  ", "''", "'", "\xC0\x80", "\xED\xA0\x80"}) texts.push_back(extra);
    texts.push_back(Repeat("'", 10000));
    texts.push_back(Repeat("ç'", 5000));
    texts.push_back(Repeat("😀", 10000));
    texts.push_back(Repeat("%_", 5000));
    texts.push_back(Repeat("%", 20000));
    texts.push_back(Repeat("x", 20000));
    return texts;
  }

  void SetUp() override {
    HoldingsTest::SetUp();
    const std::vector<std::string> stored = Stored();
    for (size_t i = 0; i < stored.size(); ++i) {
      // Stored as the server reads a text: malformed UTF-8 as U+FFFD.
      const std::string h = SanitizeUtf8(stored[i]);
      const std::string n = std::to_string(100 + i);
      ExecWithTexts("Insert into T06_EDITOR (T06_NumEditora, T06_Editora, T06_Desativado) Values (" + n +
                        ", :p00, False)",
                    {h + " fim"});
      ExecWithTexts("Insert into T07_CLASSI (T07_NumClassific, T07_Classificacao, T07_Desativado) Values (" +
                        n + ", :p00, False)",
                    {h + " fim"});
      ExecWithTexts(
          "Insert into T08_TIPOS1 (T08_NumTipoItem, T08_TipoItem, T08_QtdDias, T08_Desativado) Values (" + n +
              ", :p00, 7, False)",
          {h + " fim"});
      ExecWithTexts(
          "Insert into T05_AUTOR1 (T05_NumAutor, T05_Autor, T05_Desativado) Values (" + n + ", :p00, False)",
          {h + " fim"});
      const bool fits = CountChars(h) <= 30;
      ExecWithTexts(
          "Insert into T09_ACERVO (T09_NumAcervo, T09_Titulo, T09_NumEditora, T09_NumTipoItem, "
          "T09_NumClassific, T09_NumIdioma, T09_Tombo, T09_NaoEmprestar, T09_Emprestado, "
          "T09_Palavras3, T09_CDU, T09_CUTTER) Values (" +
              n + ", :p00, " + n + ", " + n + ", " + n + ", 1, 0, False, False, :p01, :p02, :p03)",
          {h + " fim", "início " + h + " fim", fits ? h : "", fits ? h : ""});
      ExecWithTexts(
          "Insert into T11_INDICE (T11_Indice, T11_Pagina, T11_NumAcervo) Values (:p00, 1, " + n + ")",
          {"início " + h + " fim"});
      Exec("Insert into T10_LINKAU (T10_NumAutor, T10_NumAcervo) Values (" + n + ", " + n + ")");
    }
    oracle_ = std::make_unique<TFbConnection>([this] { return database_.string(); }, nullptr);
  }

  // The same search with the prepared text bound as a parameter.
  std::set<int> Expected(int mode, const std::string& filtro) {
    std::string t(Trim(SanitizeUtf8(filtro)));
    if (!t.empty()) {
      if (mode == 1 || mode == 9)
        t = std::to_string(StrToIntDef(t, 0));
      else if (mode == 6 || mode == 7)
        t = "%" + t + "%";
      else
        t += "%";
    }
    // "%%" is "%"; a pattern still longer than a text column cannot match (the stored texts
    // here are all far shorter).
    std::string pattern;
    for (const char c : t)
      if (c != '%' || pattern.empty() || pattern.back() != '%') pattern.push_back(c);
    const bool usesPattern = mode == 0 || (mode >= 3 && mode <= 8) || mode == 10 || mode == 11;
    const bool likeAppliesToEmpty = mode == 7 || mode == 8;
    if (usesPattern && CountChars(pattern) > 8191 && (!t.empty() || likeAppliesToEmpty)) return {};

    const std::string p = "cast(:p00 as varchar(8191))";
    TFbQuery query(*oracle_);
    query.SetSql({"Select T09_NumAcervo From T09_ACERVO T09, T07_CLASSI, T06_EDITOR, T08_TIPOS1 ",
                  "Where T09_NumClassific = T07_NumClassific and T09_NumEditora = T06_NumEditora ",
                  "and T09_NumTipoItem = T08_NumTipoItem and T09_Exclusao is Null ",
                  "and (T09_NaoEmprestar = False or T09_Baixa is not Null) "});
    if (mode == 2) query.SQL.Add("and T09_Emprestado ");
    if (mode == 7)
      query.SQL.Add(
          "and exists (Select 1 From T11_INDICE Where T11_NumAcervo = T09_NumAcervo and Upper(T11_Indice) "
          "like " +
          p + ") ");
    if (mode == 8)
      query.SQL.Add(
          "and exists (Select 1 From T10_LINKAU join T05_AUTOR1 on T05_NumAutor = T10_NumAutor Where "
          "T10_NumAcervo = T09_NumAcervo and Upper(T05_Autor) like " +
          p + ") ");
    bool bound = mode == 7 || mode == 8;
    if (!t.empty()) {
      bound = bound || usesPattern;
      switch (mode) {
        case 0:
          query.SQL.Add("and Upper(T09_Titulo) like Upper(" + p + ") ");
          break;
        case 1:
          query.SQL.Add("and T09_NumAcervo = " + t + " ");
          break;
        case 3:
          query.SQL.Add("and T06_Editora like " + p + " ");
          break;
        case 4:
          query.SQL.Add("and T08_TipoItem like " + p + " ");
          break;
        case 5:
          query.SQL.Add("and T07_Classificacao like " + p + " ");
          break;
        case 6:
          query.SQL.Add("and (T09_Palavras1 like " + p + " or T09_Palavras2 like " + p +
                        " or T09_Palavras3 like " + p + " or T09_Palavras4 like " + p +
                        " or T09_Palavras5 like " + p + ") ");
          break;
        case 9:
          query.SQL.Add("and T09_Tombo = " + t + " ");
          break;
        case 10:
          query.SQL.Add("and (T09_CDD like " + p + " or T09_CDU like " + p + ") ");
          break;
        case 11:
          query.SQL.Add("and Upper(T09_Cutter) like " + p + " ");
          break;
        default:
          break;
      }
    }
    if (bound) query.ParamByName("p00").SetAsString(pattern);
    query.Open();
    std::set<int> numbers;
    for (; !query.Eof(); query.Next()) numbers.insert(query.AsInteger(0));
    return numbers;
  }

  EventReply SearchAsClient(const std::string& text, int mode) {
    return Send("Consulta", 320,
                {{"Filtro", EncodedInput("Filtro", text)},
                 {"Filtro2", EncodedInput("Filtro2", std::to_string(mode))},
                 {"Desativados", "false"}});
  }

  std::unique_ptr<TFbConnection> oracle_;
};

TEST_F(HoldingsHostileSearch, EveryTextStaysPlainTextInEveryMode) {
  const std::string before = Scalar(
      "Select (Select count(*) From T09_ACERVO) || '/' || (Select count(*) From T11_INDICE) || '/' || "
      "(Select count(*) From T10_LINKAU) || '/' || (Select count(*) From T06_EDITOR) From RDB$DATABASE");
  const std::vector<std::string> texts = Searched();
  int matched = 0;
  for (int mode = 0; mode <= 12; ++mode) {
    for (const std::string& text : texts) {
      const auto reply = SearchAsClient(text, mode);
      const std::string shown = text.substr(0, 40);
      ASSERT_TRUE(Succeeded(reply)) << "mode " << mode << " '" << shown << "': " << reply.body.substr(0, 600);
      const std::vector<int> numbers = Column(reply, "T09_NumAcervo");
      const std::set<int> found(numbers.begin(), numbers.end());
      EXPECT_EQ(found.size(), numbers.size());
      const std::set<int> expected = Expected(mode, text);
      EXPECT_EQ(found, expected) << "mode " << mode << " '" << shown << "'";
      matched += !expected.empty();
    }
  }
  EXPECT_TRUE(host_.Log().empty());
  EXPECT_TRUE(ErrLogRows().empty());
  EXPECT_EQ(
      Scalar(
          "Select (Select count(*) From T09_ACERVO) || '/' || (Select count(*) From T11_INDICE) || '/' || "
          "(Select count(*) From T10_LINKAU) || '/' || (Select count(*) From T06_EDITOR) From RDB$DATABASE"),
      before);
  EXPECT_GT(matched, 150);
}

TEST_F(HoldingsHostileSearch, TextsSentAsPlainFormItemsNeverFailTheSearch) {
  // The form route reads a text its own way (trimmed, cut at a line break, malformed UTF-8 as
  // U+FFFD), so only the outcome is checked here: rows, no error, nothing changed.
  const std::string before = Scalar("Select count(*) From T09_ACERVO");
  for (const int mode : {0, 6, 7, 10}) {
    for (const std::string& text : Searched()) {
      const auto reply = Consulta(320, Filter(text, false, std::to_string(mode)));
      EXPECT_TRUE(Succeeded(reply)) << "mode " << mode << " '" << text.substr(0, 40) << "'";
    }
  }
  EXPECT_TRUE(host_.Log().empty());
  EXPECT_EQ(Scalar("Select count(*) From T09_ACERVO"), before);
}

TEST_F(HoldingsHostileSearch, EachStoredTextFindsItsOwnHolding) {
  // The searches that find a holding by the very text it holds. Contents, authors and Cutter
  // are compared upper-cased with a text that is not, so only texts without lower-case letters
  // find them; CDU and Cutter hold only the texts that fit them.
  const std::vector<std::string> stored = Stored();
  for (size_t i = 0; i < stored.size(); ++i) {
    const int numero = 100 + static_cast<int>(i);
    const std::string h = SanitizeUtf8(stored[i]);
    const bool upperOnly = UpperCaseText(h) == h;
    const bool fits = CountChars(h) <= 30;
    for (const int mode : {0, 3, 4, 5, 6, 7, 8, 10, 11}) {
      if ((mode == 7 || mode == 8 || mode == 11) && !upperOnly) continue;
      if ((mode == 10 || mode == 11) && !fits) continue;
      const std::vector<int> numbers = Column(SearchAsClient(stored[i], mode), "T09_NumAcervo");
      EXPECT_NE(std::find(numbers.begin(), numbers.end(), numero), numbers.end())
          << "mode " << mode << " '" << h << "'";
    }
  }
}

}  // namespace
}  // namespace livrexa::test
