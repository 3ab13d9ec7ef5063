// The collection search (PesquisaAcervo): one statement built as text, with the search text
// written in as a literal.

#include "catalogue/holdings_search.h"

#include <locale.h>
#include <wctype.h>

#include "catalogue/holdings.h"
#include "handlers/tdm_operations.h"
#include "rest/wire/text_codec.h"

namespace livrexa {
namespace {

// The engine's limit for a UTF8 string literal, in characters (its 65535-byte limit is never
// reached below it).
constexpr size_t kMaxLiteralChars = 16383;
// The most characters a UTF8 text column can hold.
constexpr size_t kMaxColumnChars = 8191;
// The widest column the holdings search compares with a pattern (T09_Titulo, T09_SubTitulo).
constexpr size_t kWidestSearchedChars = 300;

size_t CountChars(std::string_view utf8) {
  size_t count = 0;
  for (const char c : utf8) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return count;
}

// "%%" matches what "%" matches.
std::string CollapsePercents(std::string_view pattern) {
  std::string out;
  out.reserve(pattern.size());
  for (const char c : pattern)
    if (c != '%' || out.empty() || out.back() != '%') out.push_back(c);
  return out;
}

std::string HexLiteral(std::string_view bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string out = "_UTF8 x'";
  out.reserve(out.size() + 2 * bytes.size() + 1);
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    out.push_back(digits[b >> 4]);
    out.push_back(digits[b & 15]);
  }
  out.push_back('\'');
  return out;
}

locale_t Utf8Locale() {
  static const locale_t locale = [] {
    locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    if (l == static_cast<locale_t>(0)) l = newlocale(LC_CTYPE_MASK, "C.utf8", static_cast<locale_t>(0));
    return l;
  }();
  return locale;
}

}  // namespace

std::string SqlPatternLiteral(std::string_view pattern) {
  // A pattern of more single characters than any column holds: it matches nothing, and it starts
  // with a wildcard, so the engine looks up no index key for it.
  const std::string matchesNothing(kMaxColumnChars + 1, '_');
  std::string text = SanitizeUtf8(pattern);
  if (CountChars(text) > kMaxLiteralChars) {
    text = CollapsePercents(text);
    // Without repeated "%", more than the literal limit means more than kMaxColumnChars
    // characters that must each match one character of the column.
    if (CountChars(text) > kMaxLiteralChars) text = matchesNothing;
  }
  // A fixed start longer than every searched column matches nothing either; the engine would look
  // it up in the column's index as a key, and Firebird 4 refuses a key beyond its size limit
  // ("key size exceeds implementation restriction") where Firebird 3 finds nothing.
  if (CountChars(std::string_view(text).substr(0, text.find_first_of("%_"))) > kWidestSearchedChars)
    text = matchesNothing;
  if (text.find('\0') != std::string::npos) return HexLiteral(text);
  std::string out;
  out.reserve(text.size() + 2);
  out.push_back('\'');
  for (const char c : text) {
    if (c == '\'') out.push_back('\'');
    out.push_back(c);
  }
  out.push_back('\'');
  return out;
}

std::string UpperCaseText(std::string_view text) {
  const std::string valid = SanitizeUtf8(text);
  const locale_t locale = Utf8Locale();
  std::string out;
  out.reserve(valid.size());
  for (size_t i = 0; i < valid.size();) {
    char32_t cp = NextCodePoint(valid, i);
    if (cp >= 'a' && cp <= 'z') {
      cp -= 'a' - 'A';
    } else if (cp >= 0x80 && locale != static_cast<locale_t>(0)) {
      cp = static_cast<char32_t>(towupper_l(static_cast<wint_t>(cp), locale));
    }
    AppendUtf8(out, cp);
  }
  return out;
}

namespace {

// The search text as the mode compares it: a number for the record and accession numbers, a
// pattern with "%" on both sides for keywords and contents, a prefix pattern otherwise.
std::string SearchText(const std::string& Filtro, int mode) {
  std::string text(Trim(Filtro));
  if (!text.empty()) {
    if (mode == 1 || mode == 9) {
      text = std::to_string(StrToIntDef(text, 0));
    } else if (mode == 6 || mode == 7) {
      text = "%" + text + "%";
    } else {
      text += "%";
    }
  }
  return text;
}

void AddHoldingsSelect(TFbQuery& query, bool Desativados) {
  query.SetSql({"Select T09.*, T07_Classificacao, T06_Editora, T08_TipoItem ",
                "From T09_ACERVO T09, T07_CLASSI, T06_EDITOR, T08_TIPOS1 ",
                "Where T09_NumClassific = T07_NumClassific ", "and T09_NumEditora = T06_NumEditora ",
                "and T09_NumTipoItem = T08_NumTipoItem and "});
  if (Desativados) {
    query.SQL.Add("T09_Exclusao is not Null ");
  } else {
    query.SQL.Add("T09_Exclusao is Null ");
    query.SQL.Add("and (T09_NaoEmprestar = False or T09_Baixa is not Null) ");
  }
}

// The modes that filter whatever the text: lent items, and the contents and author subqueries.
void AddModeFilters(TFbQuery& query, int mode, const std::string& q) {
  if (mode == 2) query.SQL.Add("and T09_Emprestado = True ");
  if (mode == 7) {
    query.SQL.Add("and T09_NumAcervo in (Select Distinct T11_NumAcervo From T11_INDICE ");
    query.SQL.Add("Where Upper(T11_Indice) like " + q + ") ");
  }
  if (mode == 8) {
    query.SQL.Add("and T09_NumAcervo in (Select T10_NumAcervo From T10_LINKAU, T05_AUTOR1 ");
    query.SQL.Add("Where T10_NumAutor = T05_NumAutor and Upper(T05_Autor) like " + q + ") ");
  }
}

void AddTextFilter(TFbQuery& query, int mode, const std::string& text, const std::string& q) {
  if (text.empty()) return;
  switch (mode) {
    case 0:
      query.SQL.Add("and Upper(T09_Titulo) like " + SqlPatternLiteral(UpperCaseText(text)) + " ");
      break;
    case 1:
      query.SQL.Add("and T09_NumAcervo = " + text + " ");
      break;
    case 3:
      query.SQL.Add("and T06_Editora like " + q + " ");
      break;
    case 4:
      query.SQL.Add("and T08_TipoItem like " + q + " ");
      break;
    case 5:
      query.SQL.Add("and T07_Classificacao like " + q + " ");
      break;
    case 6:
      query.SQL.Add("and (T09_Palavras1 like " + q + " or T09_Palavras2 like " + q +
                    " or T09_Palavras3 like " + q + " or T09_Palavras4 like " + q +
                    " or T09_Palavras5 like " + q + ") ");
      break;
    case 9:
      query.SQL.Add("and T09_Tombo = " + text + " ");
      break;
    case 10:
      query.SQL.Add("and (T09_CDD like " + q + " or T09_CDU like " + q + ") ");
      break;
    case 11:
      query.SQL.Add("and Upper(T09_Cutter) like " + q + " ");
      break;
    default:
      break;
  }
}

void AddOrder(TFbQuery& query, int mode) {
  switch (mode) {
    case 0:
      query.SQL.Add("Order By T09_Titulo, T09_Volume ");
      break;
    case 1:
      query.SQL.Add("Order By T09_NumAcervo ");
      break;
    case 2:
    case 6:
    case 7:
    case 8:
      query.SQL.Add("Order By T09_Titulo ");
      break;
    case 3:
      query.SQL.Add("Order By T06_Editora ");
      break;
    case 4:
      query.SQL.Add("Order By T08_TipoItem ");
      break;
    case 5:
      query.SQL.Add("Order By T07_Classificacao ");
      break;
    case 9:
      query.SQL.Add("Order By T09_Tombo ");
      break;
    case 10:
      query.SQL.Add("Order By T09_CDD ");
      break;
    case 11:
      query.SQL.Add("Order By T09_Cutter ");
      break;
    default:
      break;
  }
}

}  // namespace

void PesquisaAcervo(TDM& dm, const std::string& Filtro, const std::string& Filtro2, bool Desativados) {
  const int mode = StrToInt(Filtro2);
  const std::string text = SearchText(Filtro, mode);
  const std::string q = SqlPatternLiteral(text);

  TFbQuery& query = dm.Query1;
  AddHoldingsSelect(query, Desativados);
  AddModeFilters(query, mode, q);
  AddTextFilter(query, mode, text, q);
  AddOrder(query, mode);
  query.Open();
}

}  // namespace livrexa
