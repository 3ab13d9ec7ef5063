// Loans and returns (T12_EMPRE1, T13_EMPRE2).

#include "circulation/loans.h"

#include "handlers/gateway/errors.h"
#include "handlers/tdm_operations.h"

namespace livrexa {
namespace {

// "Filtro" of the loan queries: empty when only blanks are left after trimming; a number when it
// converts to an integer above 0 (a text that is not an integer counts as 0).
struct TFiltro {
  bool vazio;
  int numero;
};

TFiltro LeFiltro(const std::string& filtro) {
  return {Trim(filtro).empty(), StrToIntDef(filtro, 0)};
}

// The period clause is used only when "Data1" is given; both dates are then converted before any
// statement runs, so a bad one fails the query.
struct TPeriodo {
  bool usado = false;
  TDateTime inicio = 0;
  TDateTime fim = 0;
};

TPeriodo LePeriodo(const std::string& data1, const std::string& data2) {
  TPeriodo periodo;
  if (Trim(data1).empty()) return periodo;
  periodo.usado = true;
  periodo.inicio = StrToDate(data1);
  periodo.fim = StrToDate(data2);
  return periodo;
}

void AddPeriodo(TFbQuery& query, const TPeriodo& periodo) {
  if (periodo.usado) query.SQL.Add("and T12_Data >= :p00 and T12_Data <= :p01 ");
}

void BindPeriodo(TFbQuery& query, const TPeriodo& periodo) {
  if (!periodo.usado) return;
  query.ParamByName("p00").SetAsDate(periodo.inicio);
  query.ParamByName("p01").SetAsDate(periodo.fim);
}

std::string ItemMessage(int numAcervo) {
  return "O item " + SixDigits(numAcervo) + " foi emprestado a outro leitor neste momento. Será necessário" +
         " excluí-lo desse empréstimo.";
}

// Sets the holding's loan mark when it is clear, as one statement: the engine's row lock makes
// this the test that settles two loans of one holding at the same moment. A loan that finds the
// mark already set, or that meets the other loan's lock, gets the item message.
void MarcaEmprestado(TDM& dm, int numAcervo) {
  dm.Query1.SetSql({"Update T09_ACERVO Set T09_Emprestado = True ",
                    "Where T09_NumAcervo = :p00 and T09_Exclusao is Null and T09_Emprestado = False "});
  dm.Query1.ParamByName("p00").SetAsInteger(numAcervo);
  try {
    dm.Query1.ExecSQL();
  } catch (const TFbError& e) {
    if (e.Conflict()) throw LivrexaError(ItemMessage(numAcervo));
    throw;
  }
  if (dm.Query1.RowsAffected() == 0) throw LivrexaError(ItemMessage(numAcervo));
}

// The loan mark stays set while any live item of the holding is out; these lines clear it once
// none is. So returning an old item again, or one of two items of one holding, never frees a
// holding that is still lent.
constexpr const char* kNenhumItemFora =
    "and not Exists (Select T13_SeqEmprest From T13_EMPRE2 Where T13_NumAcervo = T09_NumAcervo "
    "and T13_Devolucao is Null and T13_Exclusao is Null) ";

void LiberaAcervo(TDM& dm, int numAcervo) {
  dm.Query1.SetSql({"Update T09_ACERVO Set T09_Emprestado = False ",
                    "Where T09_NumAcervo = :p00 and T09_Emprestado = True ", kNenhumItemFora});
  dm.Query1.ParamByName("p00").SetAsInteger(numAcervo);
  dm.Query1.ExecSQL();
}

void LiberaAcervoDoItem(TDM& dm, int seqEmprest) {
  dm.Query1.SetSql(
      {"Update T09_ACERVO Set T09_Emprestado = False ",
       "Where T09_NumAcervo in (Select T13_NumAcervo From T13_EMPRE2 Where T13_SeqEmprest = :p00) ",
       "and T09_Emprestado = True ", kNenhumItemFora});
  dm.Query1.ParamByName("p00").SetAsInteger(seqEmprest);
  dm.Query1.ExecSQL();
}

}  // namespace

void ConsultaEmprestimosPeriodo(TDM& dm, const std::string& Filtro, const std::string& Data1,
                                const std::string& Data2) {
  const TPeriodo periodo = LePeriodo(Data1, Data2);
  const TFiltro filtro = LeFiltro(Filtro);
  dm.Query1.SetSql(
      {"Select T12_NumEmprest, T12_Data, T12_NumLeitor, T04_Leitor, T13_NumAcervo, T09_Titulo, T13_Previsao, "
       "T13_Multa, T13_Devolucao, T13_PgtoMulta, T13_MultaCancelada From T12_EMPRE1, T13_EMPRE2, T09_ACERVO, "
       "T04_LEITOR Where T13_Exclusao is Null and T12_NumEmprest = T13_NumEmprest and T12_NumLeitor = "
       "T04_NumLeitor and T13_NumAcervo = T09_NumAcervo "});
  AddPeriodo(dm.Query1, periodo);
  if (filtro.numero > 0)
    dm.Query1.SQL.Add("and T12_NumEmprest = :p02 ");
  else if (!filtro.vazio)
    dm.Query1.SQL.Add("and (T09_Titulo like :p02 or T04_Leitor like :p02) ");
  dm.Query1.SQL.Add("Order by T12_NumEmprest ");
  BindPeriodo(dm.Query1, periodo);
  if (filtro.numero > 0)
    dm.Query1.ParamByName("p02").SetAsInteger(filtro.numero);
  else if (!filtro.vazio)
    dm.Query1.ParamByName("p02").SetAsString("%" + Filtro + "%");
  dm.Query1.Open();
}

void ConsultaNotas(TDM& dm, const std::string& Filtro, const std::string& Data1, const std::string& Data2) {
  const TFiltro filtro = LeFiltro(Filtro);
  // A loan or reader search ignores the dates, so they are converted only when used.
  const TPeriodo periodo = filtro.vazio ? LePeriodo(Data1, Data2) : TPeriodo{};
  dm.Query1.SetSql(
      {"Select T12_NumEmprest, T12_Data, T12_NumLeitor, T04_Leitor From T12_EMPRE1, T04_LEITOR "
       "Where T12_NumLeitor = T04_NumLeitor "});
  if (filtro.numero > 0)
    dm.Query1.SQL.Add("and T12_NumEmprest = :p00 ");
  else if (!filtro.vazio)
    dm.Query1.SQL.Add("and T04_Leitor like :p00 ");
  else
    AddPeriodo(dm.Query1, periodo);
  dm.Query1.SQL.Add(
      "and EXISTS (Select T13_NumEmprest From T13_EMPRE2 Where T13_Exclusao is Null and T13_NumEmprest = "
      "T12_NumEmprest) ");
  dm.Query1.SQL.Add("Order by T12_NumEmprest ");
  if (filtro.numero > 0)
    dm.Query1.ParamByName("p00").SetAsInteger(filtro.numero);
  else if (!filtro.vazio)
    dm.Query1.ParamByName("p00").SetAsString("%" + Filtro + "%");
  else
    BindPeriodo(dm.Query1, periodo);
  dm.Query1.Open();
}

void ConsultaItensEmprestimo(TDM& dm, const std::string& Filtro, const std::string& Filtro2, bool Desativados,
                             const std::string& Data1, const std::string& Data2) {
  const TFiltro filtro = LeFiltro(Filtro);
  const TPeriodo periodo = filtro.vazio ? LePeriodo(Data1, Data2) : TPeriodo{};
  // What a filter means comes from "Filtro2", which must then be a number.
  const int modo = filtro.vazio ? 0 : StrToInt(Filtro2);
  dm.Query1.SetSql(
      {"Select T09_Titulo, T13_NumAcervo, T13_SeqEmprest, T13_NumEmprest, T13_Previsao, T13_Multa, "
       "T13_Devolucao, T13_PgtoMulta, T04_Leitor, T09_Tombo, T04_NumLeitor, T08_QtdDias, T13_MultaCancelada, "
       "T12_Data From T13_EMPRE2, T12_EMPRE1, T09_ACERVO, T04_LEITOR, T08_TIPOS1 Where T13_Exclusao is Null "
       "and T13_NumAcervo = T09_NumAcervo and T13_NumEmprest = T12_NumEmprest and T12_NumLeitor = "
       "T04_NumLeitor and T09_NumTipoItem = T08_NumTipoItem "});
  if (!Desativados) dm.Query1.SQL.Add("and T13_Devolucao is Null ");
  if (filtro.vazio) {
    AddPeriodo(dm.Query1, periodo);
  } else if (filtro.numero <= 0) {
    dm.Query1.SQL.Add(modo == 1 ? "and T09_Titulo like :p00 " : "and T04_Leitor like :p00 ");
  } else if (modo == 0) {
    dm.Query1.SQL.Add("and T12_NumLeitor = :p00 ");
  } else if (modo == 1) {
    dm.Query1.SQL.Add("and T13_NumAcervo = :p00 ");
  } else if (modo == 2) {
    dm.Query1.SQL.Add("and T12_NumEmprest = :p00 ");
  }
  dm.Query1.SQL.Add("Order by T09_Titulo ");
  if (filtro.vazio)
    BindPeriodo(dm.Query1, periodo);
  else if (filtro.numero <= 0)
    dm.Query1.ParamByName("p00").SetAsString(Filtro + "%");
  else  // with a "Filtro2" outside 0..2 there is no p00, and this fails the query
    dm.Query1.ParamByName("p00").SetAsInteger(filtro.numero);
  dm.Query1.Open();
}

void ConsultaPrevisoes(TDM& dm, const std::string& Filtro) {
  dm.Query1.SetSql(
      {"Select T13_Previsao From T12_EMPRE1, T13_EMPRE2 Where T12_NumEmprest = T13_NumEmprest and "
       "T13_Exclusao is Null and T13_Devolucao is Null and T12_NumLeitor = :p00 "});
  dm.Query1.ParamByName("p00").SetAsInteger(StrToIntDef(Filtro, 0));
  dm.Query1.Open();
}

std::string GravaEmprestimo(TDM& dm, TFDMemTable& Tabela, TFDMemTable& Tabela2) {
  return ClosingQuery(dm, [&] {
    return RunInTransaction(dm.Database1, [&] {
      dm.Query1.SetSql({"Insert into T12_EMPRE1 (T12_NumLeitor, T12_Data) ", "Values (:p00, :p01) ",
                        "Returning T12_NumEmprest "});
      dm.Query1.ParamByName("p00").SetAsInteger(Tabela.AsInteger("T12_NumLeitor"));
      dm.Query1.ParamByName("p01").SetAsDate(Tabela.AsDateTime("T12_Data"));
      dm.Query1.Open();
      const int numEmprest = dm.Query1.AsInteger(0);
      GravaItensEmprestimo(dm, Tabela2, numEmprest);
      return std::to_string(numEmprest);
    });
  });
}

void GravaItensEmprestimo(TDM& dm, TFDMemTable& Tabela, int NumEmprest) {
  for (Tabela.First(); !Tabela.Eof(); Tabela.Next()) {
    const int numAcervo = Tabela.AsInteger("T13_NumAcervo");
    dm.Query1.SetSql({"Select T09_NumAcervo From T09_ACERVO ",
                      "Where T09_Exclusao is Null and T09_Emprestado = False and T09_NumAcervo = :p00 "});
    dm.Query1.ParamByName("p00").SetAsInteger(numAcervo);
    dm.Query1.Open();
    if (dm.Query1.Eof()) throw LivrexaError(ItemMessage(numAcervo));

    // Marked before the item goes in: where the database marks holdings by a trigger on the items
    // of its own, that trigger then only writes the mark again.
    MarcaEmprestado(dm, numAcervo);

    dm.Query1.SetSql({"Insert into T13_EMPRE2 (T13_NumEmprest, T13_NumAcervo, T13_Previsao) ",
                      "Values (:p00, :p01, :p02) "});
    dm.Query1.ParamByName("p00").SetAsInteger(NumEmprest);
    dm.Query1.ParamByName("p01").SetAsInteger(numAcervo);
    dm.Query1.ParamByName("p02").SetAsDate(Tabela.AsDateTime("T13_Previsao"));
    dm.Query1.ExecSQL();
  }
}

std::string GravaDevolucao(TDM& dm, TFDMemTable& Tabela) {
  return ReplyOrFailure(dm, [&] {
    TTransaction transaction(dm.Database1);
    const int numAcervo = Tabela.AsInteger("T13_NumAcervo");
    dm.Query1.SetSql({"Update T13_EMPRE2 Set T13_Devolucao = :p00, T13_Multa = :p01, T13_PgtoMulta = :p02 ",
                      "Where T13_NumEmprest = :p03 and T13_NumAcervo = :p04 "});
    dm.Query1.ParamByName("p00").SetAsDateTime(Date());
    dm.Query1.ParamByName("p01").SetAsFloat(Tabela.AsFloat("T13_Multa"));
    if (Tabela.AsBoolean("T13_PgtoMulta"))
      dm.Query1.ParamByName("p02").SetAsDate(Date());
    else
      dm.Query1.ParamByName("p02").SetDataType(TFieldType::ftDate);
    dm.Query1.ParamByName("p03").SetAsInteger(Tabela.AsInteger("T13_NumEmprest"));
    dm.Query1.ParamByName("p04").SetAsInteger(numAcervo);
    dm.Query1.ExecSQL();
    if (dm.Query1.RowsAffected() > 0) LiberaAcervo(dm, numAcervo);
    transaction.Commit();
    dm.Query1.Close();
    return std::string("OK");
  });
}

std::string GravaRenovacao(TDM& dm, TFDMemTable& Tabela) {
  return ReplyOrFailure(dm, [&] {
    TTransaction transaction(dm.Database1);
    dm.Query1.SetSql({"Update T13_EMPRE2 Set T13_Previsao = :p00 ",
                      "Where T13_NumEmprest = :p01 and T13_NumAcervo = :p02 "});
    dm.Query1.ParamByName("p00").SetAsDateTime(Tabela.AsDateTime("T13_Previsao"));
    dm.Query1.ParamByName("p01").SetAsInteger(Tabela.AsInteger("T13_NumEmprest"));
    dm.Query1.ParamByName("p02").SetAsInteger(Tabela.AsInteger("T13_NumAcervo"));
    dm.Query1.ExecSQL();
    transaction.Commit();
    dm.Query1.Close();
    return std::string("OK");
  });
}

// The item leaves every loan query, so a holding whose item is deleted before its return is freed
// here; otherwise it could never be lent or returned again.
std::string ExcluiItemEmprestimo(TDM& dm, int Numero, int NumUsuario) {
  return ReplyOrFailure(dm, [&] {
    TTransaction transaction(dm.Database1);
    const int64_t deleted =
        RunSoftDelete(dm,
                      {"Update T13_EMPRE2 Set T13_Exclusao = :p00, T13_ExcluidoPor = :p01 ",
                       "Where T13_SeqEmprest = :p02 "},
                      Numero, NumUsuario);
    if (deleted > 0) LiberaAcervoDoItem(dm, Numero);
    transaction.Commit();
    dm.Query1.Close();
    return std::string("OK");
  });
}

void RegisterLoanOperations() {
  RegisterConsulta(210, [](TDM& dm, TDWParams& p) {
    const std::string data2 = InputText(p, "Data2");
    const std::string data1 = InputText(p, "Data1");
    const std::string filtro = InputText(p, "Filtro");
    ConsultaEmprestimosPeriodo(dm, filtro, data1, data2);
  });
  RegisterConsulta(300, [](TDM& dm, TDWParams& p) {
    const std::string data2 = InputText(p, "Data2");
    const std::string data1 = InputText(p, "Data1");
    const std::string filtro = InputText(p, "Filtro");
    ConsultaNotas(dm, filtro, data1, data2);
  });
  RegisterConsulta(330, [](TDM& dm, TDWParams& p) {
    const std::string data1 = InputText(p, "Data1");
    const std::string data2 = InputText(p, "Data2");
    const bool desativados = InputBoolean(p, "Desativados");
    const std::string filtro2 = InputText(p, "Filtro2");
    const std::string filtro = InputText(p, "Filtro");
    ConsultaItensEmprestimo(dm, filtro, filtro2, desativados, data1, data2);
  });
  RegisterConsulta(340, [](TDM& dm, TDWParams& p) { ConsultaPrevisoes(dm, InputText(p, "Filtro")); });

  RegisterGrava(210, [](TDM& dm) { return GravaEmprestimo(dm, dm.FDMemTable1, dm.FDMemTable2); });
  RegisterGrava(220, [](TDM& dm) { return GravaDevolucao(dm, dm.FDMemTable1); });
  RegisterGrava(225, [](TDM& dm) { return GravaRenovacao(dm, dm.FDMemTable1); });

  RegisterExclui(210, [](TDM& dm, TDWParams& p) {
    const int numero = InputInteger(p, "Numero");
    const int numUsuario = InputInteger(p, "NumUsuario");
    return ExcluiItemEmprestimo(dm, numero, numUsuario);
  });
}

}  // namespace livrexa
