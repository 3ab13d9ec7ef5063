// The clients' shared settings record (T03_CONFIG), the error log (T99_ErrLog) and the raw query.

#include <iterator>

#include "handlers/gateway/query.h"
#include "handlers/handler_limits.h"
#include "handlers/host_services.h"
#include "handlers/local_clock.h"
#include "handlers/statement_watch.h"
#include "handlers/tdm.h"
#include "handlers/transaction.h"
#include "rest/wire/wire_consts.h"

namespace livrexa {
namespace {

enum class TConfigKind { Integer, Text, Boolean, Float };

struct TConfigColumn {
  const char* name;
  TConfigKind kind;
};

// The columns of the settings record in the order of the save's parameters p00..p18.
constexpr TConfigColumn kConfigColumns[] = {
    {"T03_MARGEMSUP", TConfigKind::Integer},
    {"T03_RODAPE", TConfigKind::Text},
    {"T03_ARQFOTO", TConfigKind::Text},
    {"T03_RELTELAPARCIAL", TConfigKind::Boolean},
    {"T03_CRIARATALHO", TConfigKind::Boolean},
    {"T03_SKIN", TConfigKind::Integer},
    {"T03_IMPRECIBO", TConfigKind::Boolean},
    {"T03_RECIBOA5", TConfigKind::Boolean},
    {"T03_RECIBODEVOLUCAO", TConfigKind::Boolean},
    {"T03_MSGEMATRASO", TConfigKind::Boolean},
    {"T03_PEDIRDATADEV", TConfigKind::Boolean},
    {"T03_MULTADIA", TConfigKind::Float},
    {"T03_LIMITEITENSEMPR", TConfigKind::Integer},
    {"T03_CARTACOBRANCA1", TConfigKind::Text},
    {"T03_CARTACOBRANCA2", TConfigKind::Text},
    {"T03_CARTACOBRANCA3", TConfigKind::Text},
    {"T03_CARTACOBRANCA4", TConfigKind::Text},
    {"T03_CARTACOBRANCA5", TConfigKind::Text},
    {"T03_EXIBIRLOCAL", TConfigKind::Boolean},
};

constexpr intptr_t kNoPrivilege = 335544352;  // the engine's isc_no_priv

std::string ParamName(size_t i) {
  return (i < 10 ? "p0" : "p") + std::to_string(i);
}

}  // namespace

void TDM::ConsultaConfig() {
  Query1.SetSql({"Select * From T03_CONFIG "});
  Query1.Open();
}

std::string TDM::GravaConfig(TFDMemTable& Tabela) {
  return RunInTransaction(Database1, [&] {
    Query1.SetSql({"Update T03_CONFIG", "Set"});
    const size_t count = std::size(kConfigColumns);
    for (size_t i = 0; i < count; ++i)
      Query1.SQL.Add(std::string(kConfigColumns[i].name) + " = :" + ParamName(i) +
                     (i + 1 < count ? "," : ""));
    Query1.SQL.Add("Where 1 = 1");
    for (size_t i = 0; i < count; ++i) {
      const char* column = kConfigColumns[i].name;
      TFbParam& param = Query1.Params(i);
      switch (kConfigColumns[i].kind) {
        case TConfigKind::Integer:
          param.SetAsInteger(Tabela.AsInteger(column));
          break;
        case TConfigKind::Text:
          param.SetAsString(Tabela.AsString(column));
          break;
        case TConfigKind::Boolean:
          param.SetAsBoolean(Tabela.AsBoolean(column));
          break;
        case TConfigKind::Float:
          param.SetAsFloat(Tabela.AsFloat(column));
          break;
      }
    }
    Query1.ExecSQL();
    return std::string("OK");
  });
}

void TDM::ConsultaErrLog(const std::string& DataInicial, const std::string& DataFinal,
                         const std::string& UsuarioOuRotina) {
  Query1.SetSql({"Select * From T99_ErrLog "});
  const bool byDate = !Trim(DataInicial).empty();
  const bool byUser = !Trim(UsuarioOuRotina).empty();
  // Convert before the statement runs: a bad date fails the query.
  TDateTime first = 0, last = 0;
  if (byDate) {
    first = StrToDate(DataInicial);
    last = StrToDate(DataFinal);
  }
  if (byDate || byUser) Query1.SQL.Add("Where ");
  if (byDate) Query1.SQL.Add("T99_Data >= :p00 and T99_Data <= :p01 ");
  if (byUser)
    Query1.SQL.Add(std::string(byDate ? "and " : "") + "(T99_Usuario = :p02 or T99_Rotina = :p02) ");
  Query1.SQL.Add("Order by T99_NumLog ");
  if (byDate) {
    Query1.ParamByName("p00").SetAsDate(first);
    Query1.ParamByName("p01").SetAsDate(last);
  }
  if (byUser) Query1.ParamByName("p02").SetAsString(UsuarioOuRotina);
  Query1.Open();
}

std::string TDM::GravaErrLog(const std::string& Usuario, const std::string& Rotina,
                             const std::string& Descricao) {
  std::string numero;
  try {
    Database1.StartTransaction();
    Query1.SetSql({"Insert into T99_ErrLog ", "(T99_Data, T99_Hora, T99_Usuario, T99_Rotina, T99_Descricao) ",
                   "Values ", "(:p00, :p01, :p02, :p03, :p04) ", "Returning T99_NumLog "});
    Query1.ParamByName("p00").SetAsDate(Date());
    Query1.ParamByName("p01").SetAsTime(Time());
    Query1.ParamByName("p02").SetAsString(Usuario);
    Query1.ParamByName("p03").SetAsString(Rotina);
    Query1.ParamByName("p04").SetAsString(Descricao);
    Query1.Open();
    numero = Query1.AsString(size_t{0});
    Database1.Commit();
    Query1.Close();
  } catch (const std::exception& e) {
    // The error log must never make things worse for the request that failed.
    Database1.Rollback();
    Query1.Close();
    Host().AppendLog("Erro na gravação do Log em " + NowText());
    Host().AppendLog(e.what());
  }
  return numero;
}

// The raw query reads and does nothing else. It runs as the read-only database user, so the
// engine refuses every change, sequence step (gen_id, next value for) and procedure call; and it
// must be a Select (or With ... Select), since a block of procedural code could open another
// attachment under another user's name.
void TDM::ConsultaSQL(const std::string& Filtro) {
  Query1.Close();
  Query1.SQL.Clear();
  Query1.SQL.Add(Filtro);
  const std::string keyword = FirstSqlKeyword(Filtro);
  if (keyword != "SELECT" && keyword != "WITH")
    throw LivrexaError("A consulta livre só aceita leituras: o comando deve começar por Select ou With.");
  const THandlerLimits& limits = HandlerLimits();
  DatabaseConsulta.Connect();
  TStatementWatch watch(DatabaseConsulta, limits.RawQueryTimeLimit, Client);
  try {
    Query1.OpenOn(DatabaseConsulta);
  } catch (const TFbError& e) {
    switch (watch.Reason()) {
      case TStatementWatch::TReason::TimeLimit:
        throw LivrexaError("A consulta foi cancelada: passou do tempo limite de " +
                           std::to_string(limits.RawQueryTimeLimit.count() / 1000) + " segundos.");
      case TStatementWatch::TReason::ClientGone:
        throw LivrexaError("A consulta foi cancelada: o cliente desconectou.");
      case TStatementWatch::TReason::None:
        break;
    }
    if (e.Has(kNoPrivilege))
      throw LivrexaError(
          std::string(e.what()) + '\r' + "O usuário de leitura " + limits.ReadOnlyUser +
          " não tem acesso a essa tabela: execute scripts/grant-readonly.sh no banco de dados.");
    throw;
  }
}

}  // namespace livrexa
