// Holdings (T09_ACERVO) with their authors (T10), contents entries (T11) and photo (T20): the
// lists, the delete and restore, and the holdings' flags. The save is in holdings_save.cpp, the
// collection search in holdings_search.cpp.

#include "catalogue/holdings.h"

#include "handlers/tdm_operations.h"

namespace livrexa {
namespace {

// How "Filtro" narrows the holdings lists: not at all when it is blank, by number when it reads
// as a number above 0, otherwise by title.
enum class TTextFilter { None, Number, Title };

TTextFilter TextFilterOf(const std::string& Filtro) {
  if (Trim(Filtro).empty()) return TTextFilter::None;
  return StrToIntDef(Filtro, 0) > 0 ? TTextFilter::Number : TTextFilter::Title;
}

}  // namespace

void ConsultaAcervo(TDM& dm, const std::string& Filtro, bool Desativados) {
  TFbQuery& q = dm.Query1;
  q.SetSql({"Select T09.*, 0 as qReplicar From T09_ACERVO T09 ", "Where 1 = 1 "});
  if (!Desativados) q.SQL.Add("and T09_Exclusao is Null ");
  const TTextFilter filter = TextFilterOf(Filtro);
  if (filter == TTextFilter::Title) q.SQL.Add("and T09_Titulo like :p00 ");
  if (filter == TTextFilter::Number) q.SQL.Add("and T09_NumAcervo = :p00 ");
  q.SQL.Add("Order by T09_Titulo ");
  if (filter == TTextFilter::Title) q.ParamByName("p00").SetAsString("%" + Filtro + "%");
  if (filter == TTextFilter::Number) q.ParamByName("p00").SetAsInteger(StrToIntDef(Filtro, 0));
  q.Open();
}

void ConsultaAutoresItem(TDM& dm, const std::string& Filtro) {
  TFbQuery& q = dm.Query1;
  q.SetSql({"Select T10_NumAutor, T05_Autor From T10_LINKAU, T05_AUTOR1 ", "Where T05_Exclusao is Null ",
            "and T10_NumAutor = T05_NumAutor ", "and T10_NumAcervo = :p00 ", "Order by T05_Autor "});
  q.ParamByName("p00").SetAsInteger(StrToIntDef(Filtro, 0));
  q.Open();
}

void ConsultaIndiceItem(TDM& dm, const std::string& Filtro) {
  TFbQuery& q = dm.Query1;
  q.SetSql({"Select T11_Indice, T11_Pagina From T11_INDICE ", "Where T11_NumAcervo = :p00 ",
            "Order by T11_Pagina "});
  q.ParamByName("p00").SetAsInteger(StrToIntDef(Filtro, 0));
  q.Open();
}

void ConsultaFotoItem(TDM& dm, const std::string& Filtro) {
  TFbQuery& q = dm.Query1;
  q.SetSql({"Select First 1 T20_NumAcervo, T20_Foto From T20_FOTOS1 ", "Where T20_NumAcervo = :p00 "});
  q.ParamByName("p00").SetAsInteger(StrToIntDef(Filtro, 0));
  q.Open();
}

void ConsultaDisponibilidade(TDM& dm, const std::string& Filtro) {
  TFbQuery& q = dm.Query1;
  q.SetSql({"Select T09_Titulo, T09_NumAcervo, T09_Emprestado, T09_Baixa, T08_QtdDias, T09_NaoEmprestar ",
            "From T09_ACERVO, T08_TIPOS1 ", "Where T09_Exclusao is Null ",
            "and T09_NumTipoItem = T08_NumTipoItem "});
  const TTextFilter filter = TextFilterOf(Filtro);
  if (filter == TTextFilter::Title) q.SQL.Add("and T09_Titulo like :p00 ");
  if (filter == TTextFilter::Number) q.SQL.Add("and T09_NumAcervo = :p00 ");
  q.SQL.Add("Order by T09_Titulo ");
  if (filter == TTextFilter::Title) q.ParamByName("p00").SetAsString(Filtro + "%");
  if (filter == TTextFilter::Number) q.ParamByName("p00").SetAsInteger(StrToIntDef(Filtro, 0));
  q.Open();
}

void VerificaEmprestimoItem(TDM& dm, int NumAcervo) {
  TFbQuery& q = dm.Query1;
  // A soft-deleted loan item that was never returned still holds the holding.
  q.SetSql({"Select T12_NumEmprest From T12_EMPRE1, T13_EMPRE2 ", "Where T13_NumAcervo = :p00 ",
            "and T13_Devolucao is Null ", "and T12_NumEmprest = T13_NumEmprest "});
  q.ParamByName("p00").SetAsInteger(NumAcervo);
  q.Open();
  if (q.Eof()) return;
  const int nota = q.AsInteger("T12_NumEmprest");
  q.Close();
  throw LivrexaError("Este item do acervo está emprestado na nota de empréstimo " + SixDigits(nota) + "\r" +
                     "Por este motivo a exclusão não poderá ser realizada.");
}

std::string ExcluiAcervo(TDM& dm, int Numero, int NumUsuario) {
  return ReplyOrFailure(dm, [&] {
    VerificaEmprestimoItem(dm, Numero);
    RunSoftDelete(dm,
                  {"Update T09_ACERVO Set ", "T09_Exclusao = :p00, ", "T09_ExcluidoPor = :p01 ",
                   "Where T09_NumAcervo = :p02 "},
                  Numero, NumUsuario);
    return std::string("OK");
  });
}

std::string RestauraAcervo(TDM& dm, int Numero) {
  return ReplyOrFailure(dm, [&] {
    VerificaEmprestimoItem(dm, Numero);
    TTransaction transaction(dm.Database1);
    TFbQuery& q = dm.Query1;
    q.SetSql({"Update T09_ACERVO Set ", "T09_Exclusao = :p00, ", "T09_ExcluidoPor = 0 ",
              "Where T09_NumAcervo = :p01 "});
    q.ParamByName("p00").SetDataType(TFieldType::ftDate);
    q.ParamByName("p01").SetAsInteger(Numero);
    q.ExecSQL();
    transaction.Commit();
    q.Close();
    return std::string("OK");
  });
}

void RegisterHoldingOperations() {
  RegisterConsulta(180, [](TDM& dm, TDWParams& p) {
    const bool desativados = InputBoolean(p, "Desativados");
    const std::string filtro = InputText(p, "Filtro");
    ConsultaAcervo(dm, filtro, desativados);
  });
  RegisterConsulta(190, [](TDM& dm, TDWParams& p) { ConsultaAutoresItem(dm, InputText(p, "Filtro")); });
  RegisterConsulta(200, [](TDM& dm, TDWParams& p) { ConsultaIndiceItem(dm, InputText(p, "Filtro")); });
  RegisterConsulta(270, [](TDM& dm, TDWParams& p) { ConsultaFotoItem(dm, InputText(p, "Filtro")); });
  RegisterConsulta(290, [](TDM& dm, TDWParams& p) { ConsultaDisponibilidade(dm, InputText(p, "Filtro")); });
  RegisterConsulta(320, [](TDM& dm, TDWParams& p) {
    const bool desativados = InputBoolean(p, "Desativados");
    const std::string filtro2 = InputText(p, "Filtro2");
    const std::string filtro = InputText(p, "Filtro");
    PesquisaAcervo(dm, filtro, filtro2, desativados);
  });

  RegisterGrava(180, [](TDM& dm) { return GravaAcervo(dm); });

  RegisterExclui(180, [](TDM& dm, TDWParams& p) {
    const int numero = InputInteger(p, "Numero");
    const int numUsuario = InputInteger(p, "NumUsuario");
    return ExcluiAcervo(dm, numero, numUsuario);
  });
  RegisterExclui(370, [](TDM& dm, TDWParams& p) { return RestauraAcervo(dm, InputInteger(p, "Numero")); });
}

}  // namespace livrexa
