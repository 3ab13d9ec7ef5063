// Fines of returned loan items (T13_EMPRE2).

#include "circulation/fines.h"

#include "handlers/tdm_operations.h"

namespace livrexa {

void ConsultaMultaLeitor(TDM& dm, const std::string& Filtro) {
  dm.Query1.SetSql(
      {"Select T12_NumLeitor, Cast(Sum(T13_Multa) as Float) as qMulta From T13_EMPRE2, T12_EMPRE1 Where "
       "T13_Exclusao is Null and T13_Devolucao is not Null and T13_PgtoMulta is Null and T13_Multa > 0 and "
       "T13_NumEmprest = T12_NumEmprest and T12_NumLeitor = :p0 Group by T12_NumLeitor "});
  dm.Query1.ParamByName("p0").SetAsInteger(StrToIntDef(Filtro, 0));
  dm.Query1.Open();
}

void ConsultaMultas(TDM& dm, const std::string& Filtro, const std::string& Filtro2) {
  const int estado = StrToIntDef(Filtro2, 0);
  const int leitor = StrToIntDef(Filtro, 0);
  dm.Query1.SetSql(
      {"Select T13_Previsao, T13_NumEmprest, T04_Leitor, T13_Multa, T09_Titulo, T12_Data, T13_NumAcervo, "
       "T09_Tombo, T13_PgtoMulta, T13_SeqEmprest, T12_NumLeitor From T12_EMPRE1, T04_LEITOR, T13_EMPRE2, "
       "T09_ACERVO Where T13_Exclusao is Null and T13_Devolucao is not Null and T12_NumLeitor = "
       "T04_NumLeitor "
       "and T13_NumEmprest = T12_NumEmprest and T13_NumAcervo = T09_NumAcervo and T13_Multa > 0 "});
  switch (estado) {
    case 0:
      dm.Query1.SQL.Add("and T13_MultaCancelada is Null and T13_PgtoMulta is Null ");
      break;
    case 1:
      dm.Query1.SQL.Add("and T13_MultaCancelada is Null and T13_PgtoMulta is not Null ");
      break;
    case 2:
      dm.Query1.SQL.Add("and T13_MultaCancelada is not Null ");
      break;
    default:
      break;
  }
  dm.Query1.SQL.Add(leitor <= 0 ? "and T04_Leitor like :p01 " : "and T04_NumLeitor = :p00 ");
  dm.Query1.SQL.Add("Order by T13_Previsao, T09_Titulo ");
  if (leitor <= 0)
    dm.Query1.ParamByName("p01").SetAsString(Filtro + "%");
  else
    dm.Query1.ParamByName("p00").SetAsInteger(leitor);
  dm.Query1.Open();
}

std::string PagaMulta(TDM& dm, int Numero) {
  return ReplyOrFailure(dm, [&] {
    TTransaction transaction(dm.Database1);
    dm.Query1.SetSql({"Update T13_EMPRE2 Set T13_PgtoMulta = :p00 ", "Where T13_SeqEmprest = :p01 "});
    dm.Query1.ParamByName("p00").SetAsDate(Date());
    dm.Query1.ParamByName("p01").SetAsInteger(Numero);
    dm.Query1.ExecSQL();
    transaction.Commit();
    return std::string("OK");
  });
}

std::string CancelaMulta(TDM& dm, int Numero) {
  return ReplyOrFailure(dm, [&] {
    TTransaction transaction(dm.Database1);
    dm.Query1.SetSql({"Update T13_EMPRE2 Set T13_MultaCancelada = :p00 ", "Where T13_SeqEmprest = :p01 "});
    dm.Query1.ParamByName("p00").SetAsDateTime(Date());
    dm.Query1.ParamByName("p01").SetAsInteger(Numero);
    dm.Query1.ExecSQL();
    transaction.Commit();
    dm.Query1.Close();
    return std::string("OK");
  });
}

void RegisterFineOperations() {
  RegisterConsulta(350, [](TDM& dm, TDWParams& p) { ConsultaMultaLeitor(dm, InputText(p, "Filtro")); });
  RegisterConsulta(305, [](TDM& dm, TDWParams& p) {
    const std::string filtro2 = InputText(p, "Filtro2");
    const std::string filtro = InputText(p, "Filtro");
    ConsultaMultas(dm, filtro, filtro2);
  });
  RegisterExclui(307, [](TDM& dm, TDWParams& p) { return PagaMulta(dm, InputInteger(p, "Numero")); });
  RegisterExclui(305, [](TDM& dm, TDWParams& p) { return CancelaMulta(dm, InputInteger(p, "Numero")); });
}

}  // namespace livrexa
