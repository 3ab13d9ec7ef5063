// Reservations (T15_RESERV).

#include "circulation/reservations.h"

#include "handlers/tdm_operations.h"

namespace livrexa {

void ConsultaReservas(TDM& dm, const std::string& Filtro, const std::string& Filtro2) {
  const bool filtrado = !Trim(Filtro).empty();
  const int modo = filtrado ? StrToInt(Filtro2) : 0;
  const int numero = StrToIntDef(Filtro, 0);
  dm.Query1.SetSql(
      {"Select T15.*, T04_Leitor, T09_Titulo, T09_Tombo From T15_RESERV T15, T04_LEITOR, T09_ACERVO Where "
       "T15_Exclusao is Null and T15_NumAcervo = T09_NumAcervo and T15_NumLeitor = T04_NumLeitor "});
  if (filtrado) {
    if (numero <= 0)
      dm.Query1.SQL.Add(modo == 1 ? "and T09_Titulo like :p00 " : "and T04_Leitor like :p00 ");
    else if (modo == 0)
      dm.Query1.SQL.Add("and T15_NumLeitor = :p00 ");
    else if (modo == 1)
      dm.Query1.SQL.Add("and T15_NumAcervo = :p00 ");
  }
  dm.Query1.SQL.Add("Order By T15_Data ");
  if (filtrado) {
    if (numero <= 0)
      dm.Query1.ParamByName("p00").SetAsString(Filtro + "%");
    else  // with a "Filtro2" other than 0 and 1 there is no p00, and this fails the query
      dm.Query1.ParamByName("p00").SetAsInteger(numero);
  }
  dm.Query1.Open();
}

void ConsultaReservasItem(TDM& dm, const std::string& Filtro, const std::string& Filtro2) {
  dm.Query1.SetSql(
      {"Select * From T15_RESERV Where T15_Exclusao is Null and T15_NumLeitor > 0 and "
       "T15_NumAcervo = :p00 and T15_NumLeitor <> :p01 order by T15_Data "});
  dm.Query1.ParamByName("p00").SetAsInteger(StrToIntDef(Filtro2, 0));
  dm.Query1.ParamByName("p01").SetAsInteger(StrToIntDef(Filtro, 0));
  dm.Query1.Open();
}

std::string GravaReserva(TDM& dm, TFDMemTable& Tabela) {
  return ClosingQuery(dm, [&] {
    return RunInTransaction(dm.Database1, [&] {
      dm.Query1.SetSql(
          {"Insert into T15_RESERV (T15_NumLeitor, T15_NumAcervo, T15_Validade1, T15_Validade2, "
           "T15_Data, T15_Utilizou) ",
           "Values (:p00,:p01,:p02,:p03,:p04,:p05) ", "Returning T15_NumReserva "});
      dm.Query1.ParamByName("p00").SetAsInteger(Tabela.AsInteger("T15_NumLeitor"));
      dm.Query1.ParamByName("p01").SetAsInteger(Tabela.AsInteger("T15_NumAcervo"));
      dm.Query1.ParamByName("p02").SetAsDate(Tabela.AsDateTime("T15_Validade1"));
      dm.Query1.ParamByName("p03").SetAsDate(Tabela.AsDateTime("T15_Validade2"));
      dm.Query1.ParamByName("p04").SetAsDate(Date());
      dm.Query1.ParamByName("p05").SetAsBoolean(false);
      dm.Query1.Open();
      return dm.Query1.AsString(0);
    });
  });
}

std::string ExcluiReserva(TDM& dm, int Numero, int NumUsuario) {
  return ReplyOrFailure(dm, [&] {
    RunSoftDelete(dm,
                  {"Update T15_RESERV Set T15_Exclusao = :p00, T15_ExcluidoPor = :p01 ",
                   "Where T15_NumReserva = :p02 "},
                  Numero, NumUsuario);
    return std::string("OK");
  });
}

void RegisterReservationOperations() {
  RegisterConsulta(240, [](TDM& dm, TDWParams& p) {
    const std::string filtro2 = InputText(p, "Filtro2");
    const std::string filtro = InputText(p, "Filtro");
    ConsultaReservas(dm, filtro, filtro2);
  });
  RegisterConsulta(360, [](TDM& dm, TDWParams& p) {
    const std::string filtro2 = InputText(p, "Filtro2");
    const std::string filtro = InputText(p, "Filtro");
    ConsultaReservasItem(dm, filtro, filtro2);
  });
  RegisterGrava(240, [](TDM& dm) { return GravaReserva(dm, dm.FDMemTable1); });
  RegisterExclui(240, [](TDM& dm, TDWParams& p) {
    const int numero = InputInteger(p, "Numero");
    const int numUsuario = InputInteger(p, "NumUsuario");
    return ExcluiReserva(dm, numero, numUsuario);
  });
}

}  // namespace livrexa
