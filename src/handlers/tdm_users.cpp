// Users, their access rights and their passwords (T01_USUARI, T02_ACESSO).

#include "handlers/cripto_senha.h"
#include "handlers/local_clock.h"
#include "handlers/tdm.h"
#include "handlers/transaction.h"
#include "rest/wire/wire_consts.h"

namespace livrexa {

// Soft-deleted users cannot log in: like the users list and the duplicate test, the login leaves
// rows with T01_Exclusao set aside, so a deleted user's name given to a new user logs in the new one.
std::string TDM::ValidaLogin(const std::string& Usuario, const std::string& Senha) {
  std::string answer = "ERRO";
  Query1.SetSql({"Select T01_NumUsuario, T01_Senha From T01_USUARI ", "Where T01_Usuario = :p00 ",
                 "and not T01_Desativado ", "and T01_Exclusao is Null "});
  Query1.ParamByName("p00").SetAsString(Usuario);
  Query1.Open();
  if (!Query1.Eof()) {
    if (CriptoSenha("D", Query1.AsString("T01_Senha")) == Senha) answer = Query1.AsString("T01_NumUsuario");
  }
  Query1.Close();
  return answer;
}

void TDM::ConsultaUsuarios(const std::string& Filtro, bool Desativados) {
  Query1.SetSql({"Select T01_NumUsuario, T01_Usuario, T01_Desativado, T01_Senha From T01_USUARI ",
                 "Where T01_Exclusao is Null "});
  if (!Desativados) Query1.SQL.Add("and not T01_Desativado ");
  const bool filtered = !Trim(Filtro).empty();
  if (filtered) Query1.SQL.Add("and T01_Usuario like :p00 ");
  Query1.SQL.Add("Order by T01_Usuario ");
  if (filtered) Query1.ParamByName("p00").SetAsString("%" + Filtro + "%");
  Query1.Open();
}

void TDM::ConsultaAcessos(const std::string& Filtro) {
  Query1.SetSql({"Select T02_Acao From T02_ACESSO ", "Where T02_NumUsuario = :p00 "});
  Query1.ParamByName("p00").SetAsInteger(StrToInt(Filtro));
  Query1.Open();
}

namespace {

// User number 1 is the administrator, the one the server window's login accepts: deleting or
// deactivating it would lock the window's settings away for good.
constexpr int kAdministrator = 1;
constexpr const char* kAdministratorStays = "O administrador não pode ser excluído nem desativado.";

}  // namespace

std::string TDM::GravaUsuario(TFDMemTable& Tabela) {
  const int numero = Tabela.AsInteger("T01_NumUsuario");
  if (numero == kAdministrator && Tabela.AsBoolean("T01_Desativado")) throw LivrexaError(kAdministratorStays);
  Query1.SetSql(
      {"Select T01_NumUsuario From T01_USUARI ", "Where T01_Exclusao is Null ", "and T01_Usuario = :p00 "});
  if (numero > 0) Query1.SQL.Add("and T01_NumUsuario <> :p01 ");
  Query1.ParamByName("p00").SetAsString(Tabela.AsString("T01_Usuario"));
  if (numero > 0) Query1.ParamByName("p01").SetAsInteger(numero);
  Query1.Open();
  const bool exists = !Query1.Eof();
  Query1.Close();
  if (exists) return "JaExiste";

  return RunInTransaction(Database1, [&] {
    int saved = numero;
    Query1.Close();
    Query1.SQL.Clear();
    if (numero > 0) {
      Query1.SQL.Add("Update T01_USUARI Set ");
      Query1.SQL.Add("T01_Usuario = :p00, ");
      Query1.SQL.Add("T01_Senha = :p01, ");
      Query1.SQL.Add("T01_Desativado = :p02 ");
      Query1.SQL.Add("Where T01_NumUsuario = :p03 ");
      Query1.ParamByName("p00").SetAsString(Tabela.AsString("T01_Usuario"));
      Query1.ParamByName("p01").SetAsString(CriptoSenha("C", Tabela.AsString("T01_Senha")));
      Query1.ParamByName("p02").SetAsBoolean(Tabela.AsBoolean("T01_Desativado"));
      Query1.ParamByName("p03").SetAsInteger(numero);
      Query1.ExecSQL();
    } else {
      Query1.SQL.Add("Insert into T01_USUARI (T01_Desativado, T01_Usuario, T01_Senha) ");
      Query1.SQL.Add("Values (:p00, :p01, :p02) ");
      Query1.SQL.Add("Returning T01_NumUsuario ");
      Query1.ParamByName("p00").SetAsBoolean(Tabela.AsBoolean("T01_Desativado"));
      Query1.ParamByName("p01").SetAsString(Tabela.AsString("T01_Usuario"));
      Query1.ParamByName("p02").SetAsString(CriptoSenha("C", Tabela.AsString("T01_Senha")));
      Query1.Open();
      saved = Query1.AsInteger(size_t{0});
    }
    Query1.Close();
    return std::to_string(saved);
  });
}

std::string TDM::GravaAcessos(TFDMemTable& Tabela) {
  Tabela.First();
  const int numUsuario = Tabela.Eof() ? 0 : Tabela.AsInteger("NumUsuario");
  return RunInTransaction(Database1, [&] {
    Query1.SetSql({"Delete From T02_ACESSO ", "Where T02_NumUsuario = :p00 "});
    Query1.ParamByName("p00").SetAsInteger(numUsuario);
    Query1.ExecSQL();

    Query1.SetSql({"Insert into T02_ACESSO (T02_Acao, T02_NumUsuario) ", "Values (:p00, :p01) "});
    for (Tabela.First(); !Tabela.Eof(); Tabela.Next()) {
      if (!Tabela.AsBoolean("Check")) continue;
      Query1.ParamByName("p00").SetAsString(Tabela.AsString("Opcao"));
      Query1.ParamByName("p01").SetAsInteger(Tabela.AsInteger("NumUsuario"));
      Query1.ExecSQL();
    }
    return std::string("OK");
  });
}

std::string TDM::GravaNovaSenha(const std::string& NumUsuario, const std::string& SenhaAtual,
                                const std::string& SenhaNova) {
  const int numero = StrToInt(NumUsuario);
  Query1.SetSql({"Select T01_Senha, T01_NumUsuario From T01_USUARI ", "Where T01_NumUsuario = :p00 "});
  Query1.ParamByName("p00").SetAsInteger(numero);
  Query1.Open();
  if (Query1.Eof()) throw LivrexaError("Senha Atual Incorreta.");
  const std::string stored = Query1.AsString("T01_Senha");
  Query1.Close();
  if (CriptoSenha("D", stored) != SenhaAtual) throw LivrexaError("Senha Atual Incorreta.");

  try {
    RunInTransaction(Database1, [&] {
      Query1.SetSql({"Update T01_USUARI Set T01_Senha = :p00 ", "Where T01_NumUsuario = :p01 "});
      Query1.ParamByName("p00").SetAsString(CriptoSenha("C", SenhaNova));
      Query1.ParamByName("p01").SetAsInteger(numero);
      Query1.ExecSQL();
    });
  } catch (const std::exception& e) {
    throw LivrexaError(std::string("Ocorreu um erro na gravação no banco de dados.") + '\r' + e.what());
  }
  return "OK";
}

std::string TDM::ExcluiUsuario(int Numero, int NumUsuario) {
  if (Numero == kAdministrator) throw LivrexaError(kAdministratorStays);
  return RunInTransaction(Database1, [&] {
    Query1.SetSql({"Update T01_USUARI Set ", "T01_Exclusao = :p00, ", "T01_ExcluidoPor = :p01 ",
                   "Where T01_NumUsuario = :p02 "});
    Query1.ParamByName("p00").SetAsDateTime(Date());
    Query1.ParamByName("p01").SetAsInteger(NumUsuario);
    Query1.ParamByName("p02").SetAsInteger(Numero);
    Query1.ExecSQL();
    return std::string("OK");
  });
}

}  // namespace livrexa
