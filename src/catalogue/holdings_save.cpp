// The holding save (GravaAcervo): the holding, its copies and, for each, its authors, contents
// entries and photo, all in one transaction.

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <string_view>

#include "catalogue/holdings.h"
#include "handlers/tdm_operations.h"

namespace livrexa {
namespace {

// The text columns of the holding, in the order of the parameters p10..p26 of the update and
// of the insert.
constexpr const char* kTextColumns[] = {
    "T09_Exemplar",  "T09_Volume",    "T09_Edicao",    "T09_AnoEdicao", "T09_ISBN",      "T09_Obs1",
    "T09_Obs2",      "T09_CDD",       "T09_CDU",       "T09_CUTTER",    "T09_SubTitulo", "T09_Palavras1",
    "T09_Palavras2", "T09_Palavras3", "T09_Palavras4", "T09_Palavras5", "T09_Local"};

std::string ParamName(int index) {
  char name[8];
  std::snprintf(name, sizeof name, "p%02d", index);
  return name;
}

void BindTexts(TFbQuery& q, const TFDMemTable& t) {
  int index = 10;
  for (const char* column : kTextColumns) q.ParamByName(ParamName(index++)).SetAsString(t.AsString(column));
}

// An accession number above 0 belongs to one live holding. A new holding's copies take the
// numbers that follow its own, so those are tested too.
void VerificaTombo(TDM& dm, int numero, int64_t tombo, int64_t count) {
  TFbQuery& q = dm.Query1;
  for (int64_t i = 0; i < count; ++i) {
    q.SetSql(
        {"Select T09_NumAcervo From T09_ACERVO ", "Where T09_Exclusao is Null ", "and T09_Tombo = :p00 "});
    if (numero > 0) q.SQL.Add("and T09_NumAcervo <> :p01 ");
    q.ParamByName("p00").SetAsLargeInt(tombo + i);
    if (numero > 0) q.ParamByName("p01").SetAsInteger(numero);
    q.Open();
    if (q.Eof()) continue;
    const int other = q.AsInteger("T09_NumAcervo");
    q.Close();
    throw LivrexaError("Este número de tombo já está sendo utilizado no cadastro do acervo\rpelo item " +
                       SixDigits(other) + ". Por este motivo a gravação não poderá ser realizada.");
  }
  q.Close();
}

void AtualizaAcervo(TDM& dm, int numero) {
  const TFDMemTable& t = dm.FDMemTable1;
  TFbQuery& q = dm.Query1;
  q.SetSql({"Update T09_ACERVO Set T09_Baixa = :p00, T09_Titulo = :p01, T09_NumEditora = :p02, ",
            "T09_NumTipoItem = :p03, T09_NumClassific = :p04, T09_NumIdioma = :p05, T09_Tombo = :p06, ",
            "T09_Paginas = :p07, T09_Aquisicao = :p08, T09_NaoEmprestar = :p09, T09_Exemplar = :p10, ",
            "T09_Volume = :p11, T09_Edicao = :p12, T09_AnoEdicao = :p13, T09_ISBN = :p14, T09_Obs1 = :p15, ",
            "T09_Obs2 = :p16, T09_CDD = :p17, T09_CDU = :p18, T09_CUTTER = :p19, T09_SubTitulo = :p20, ",
            "T09_Palavras1 = :p21, T09_Palavras2 = :p22, T09_Palavras3 = :p23, T09_Palavras4 = :p24, ",
            "T09_Palavras5 = :p25, T09_Local = :p26 ", "Where T09_NumAcervo = :p27 "});
  // A withdrawal day up to 01/01/2001 (an empty one reads as the zero date) means none.
  const TDateTime baixa = t.AsDateTime("T09_Baixa");
  if (baixa > StrToDate("01/01/2001"))
    q.ParamByName("p00").SetAsDate(baixa);
  else
    q.ParamByName("p00").SetDataType(TFieldType::ftDate);
  q.ParamByName("p01").SetAsString(t.AsString("T09_Titulo"));
  q.ParamByName("p02").SetAsInteger(t.AsInteger("T09_NumEditora"));
  q.ParamByName("p03").SetAsInteger(t.AsInteger("T09_NumTipoItem"));
  q.ParamByName("p04").SetAsInteger(t.AsInteger("T09_NumClassific"));
  q.ParamByName("p05").SetAsInteger(t.AsInteger("T09_NumIdioma"));
  q.ParamByName("p06").SetAsInteger(t.AsInteger("T09_Tombo"));
  q.ParamByName("p07").SetAsInteger(t.AsInteger("T09_Paginas"));
  q.ParamByName("p08").SetAsDate(t.AsDateTime("T09_Aquisicao"));
  q.ParamByName("p09").SetAsBoolean(t.AsBoolean("T09_NaoEmprestar"));
  BindTexts(q, t);
  q.ParamByName("p27").SetAsInteger(numero);
  q.ExecSQL();
}

// Runs the delete once when the table has a row: it removes every row of the holding at once.
void DeleteWhenRows(TDM& dm, TFDMemTable& Tabela, std::initializer_list<std::string_view> sql,
                    int NumAcervo) {
  Tabela.First();
  if (Tabela.Eof()) return;
  dm.Query1.SetSql(sql);
  dm.Query1.ParamByName("p00").SetAsInteger(NumAcervo);
  dm.Query1.ExecSQL();
}

}  // namespace

void ExcluiAutoresItem(TDM& dm, TFDMemTable& Tabela, int NumAcervo) {
  DeleteWhenRows(dm, Tabela, {"Delete From T10_LINKAU ", "Where T10_NumAcervo = :p00 "}, NumAcervo);
}

void ExcluiIndiceItem(TDM& dm, TFDMemTable& Tabela, int NumAcervo) {
  DeleteWhenRows(dm, Tabela, {"Delete From T11_INDICE ", "Where T11_NumAcervo = :p00 "}, NumAcervo);
}

void GravaAutoresItem(TDM& dm, TFDMemTable& Tabela, int NumAcervo) {
  TFbQuery& q = dm.Query1;
  for (Tabela.First(); !Tabela.Eof(); Tabela.Next()) {
    q.SetSql({"Insert into T10_LINKAU (T10_NumAutor, T10_NumAcervo) ", "Values (:p00, :p01) "});
    q.ParamByName("p00").SetAsInteger(Tabela.AsInteger("T10_NumAutor"));
    q.ParamByName("p01").SetAsInteger(NumAcervo);
    q.ExecSQL();
  }
}

void GravaIndiceItem(TDM& dm, TFDMemTable& Tabela, int NumAcervo) {
  TFbQuery& q = dm.Query1;
  for (Tabela.First(); !Tabela.Eof(); Tabela.Next()) {
    q.SetSql(
        {"Insert into T11_INDICE (T11_Indice, T11_Pagina, T11_NumAcervo) ", "Values (:p00, :p01, :p02) "});
    q.ParamByName("p00").SetAsString(Tabela.AsString("T11_Indice"));
    q.ParamByName("p01").SetAsInteger(Tabela.AsInteger("T11_Pagina"));
    q.ParamByName("p02").SetAsInteger(NumAcervo);
    q.ExecSQL();
  }
}

void GravaFotoItem(TDM& dm, TFDMemTable& Tabela, int NumAcervo) {
  TFbQuery& q = dm.Query1;
  // Eof also stands for a closed table and for one without rows.
  std::string foto = Tabela.Eof() ? std::string() : Tabela.AsString("T20_Foto");
  if (!foto.empty()) {
    q.SetSql({"Update or Insert into T20_FOTOS1 (T20_NumAcervo, T20_Foto) ", "Values (:p00, :p01) ",
              "Matching(T20_NumAcervo) "});
    q.ParamByName("p00").SetAsInteger(NumAcervo);
    q.ParamByName("p01").SetAsBlob(std::move(foto), TFieldType::ftGraphic);
  } else {
    q.SetSql({"Delete From T20_FOTOS1 ", "Where T20_NumAcervo = :p00 "});
    q.ParamByName("p00").SetAsInteger(NumAcervo);
  }
  q.ExecSQL();
}

std::string InsereAcervo(TDM& dm) {
  const TFDMemTable& t = dm.FDMemTable1;
  int64_t count = t.AsInteger("qReplicar");
  int64_t tombo = 0;
  // A new holding is inserted itself, then its copies; an existing one's copies get no
  // accession number.
  if (t.AsInteger("T09_NumAcervo") == 0) {
    ++count;
    tombo = t.AsInteger("T09_Tombo");
  }
  std::string reply;
  TFbQuery& q = dm.Query1;
  for (int64_t i = 0; i < count; ++i) {
    q.SetSql({"Insert into T09_ACERVO (T09_Titulo, T09_NumEditora, T09_NumTipoItem, T09_NumClassific, ",
              "T09_NumIdioma, T09_Tombo, T09_Paginas, T09_Aquisicao, T09_Emprestado, T09_NaoEmprestar, ",
              "T09_Exemplar, T09_Volume, T09_Edicao, T09_AnoEdicao, T09_ISBN, T09_Obs1, T09_Obs2, T09_CDD, ",
              "T09_CDU, T09_CUTTER, T09_SubTitulo, T09_Palavras1, T09_Palavras2, T09_Palavras3, ",
              "T09_Palavras4, T09_Palavras5, T09_Local) ",
              "Values (:p00, :p01, :p02, :p03, :p04, :p05, :p06, :p07, :p08, :p09, :p10, :p11, :p12, :p13, ",
              ":p14, :p15, :p16, :p17, :p18, :p19, :p20, :p21, :p22, :p23, :p24, :p25, :p26) ",
              "Returning T09_NumAcervo "});
    q.ParamByName("p00").SetAsString(t.AsString("T09_Titulo"));
    q.ParamByName("p01").SetAsInteger(t.AsInteger("T09_NumEditora"));
    q.ParamByName("p02").SetAsInteger(t.AsInteger("T09_NumTipoItem"));
    q.ParamByName("p03").SetAsInteger(t.AsInteger("T09_NumClassific"));
    q.ParamByName("p04").SetAsInteger(t.AsInteger("T09_NumIdioma"));
    q.ParamByName("p05").SetAsLargeInt(tombo > 0 ? tombo++ : 0);
    q.ParamByName("p06").SetAsInteger(t.AsInteger("T09_Paginas"));
    q.ParamByName("p07").SetAsDate(t.AsDateTime("T09_Aquisicao"));
    q.ParamByName("p08").SetAsBoolean(false);
    q.ParamByName("p09").SetAsBoolean(t.AsBoolean("T09_NaoEmprestar"));
    BindTexts(q, t);
    q.Open();
    const int numero = q.AsInteger(0);
    if (!reply.empty()) reply += ", ";
    reply += SixDigits(numero);
    GravaAutoresItem(dm, dm.FDMemTable2, numero);
    GravaIndiceItem(dm, dm.FDMemTable3, numero);
    GravaFotoItem(dm, dm.FDMemTable4, numero);
  }
  return reply;
}

std::string GravaAcervo(TDM& dm) {
  const TFDMemTable& t = dm.FDMemTable1;
  return ClosingQuery(dm, [&] {
    const int numero = t.AsInteger("T09_NumAcervo");
    std::string reply;
    const int tombo = t.AsInteger("T09_Tombo");
    if (tombo > 0) {
      const int64_t copies = numero == 0 ? int64_t{t.AsInteger("qReplicar")} : 0;
      VerificaTombo(dm, numero, tombo, std::max<int64_t>(1, copies + 1));
    }

    TTransaction transaction(dm.Database1);
    if (numero > 0) {
      AtualizaAcervo(dm, numero);
      ExcluiAutoresItem(dm, dm.FDMemTable2, numero);
      ExcluiIndiceItem(dm, dm.FDMemTable3, numero);
      GravaAutoresItem(dm, dm.FDMemTable2, numero);
      GravaIndiceItem(dm, dm.FDMemTable3, numero);
      GravaFotoItem(dm, dm.FDMemTable4, numero);
      reply = t.AsInteger("qReplicar") < 1 ? std::to_string(numero) : InsereAcervo(dm);
    } else {
      reply = InsereAcervo(dm);
    }
    transaction.Commit();
    return reply;
  });
}

}  // namespace livrexa
