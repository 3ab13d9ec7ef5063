// Authors, publishers, literary classifications, item types and languages (T05, T06, T07, T08, T14).

#include "catalogue/authority_tables.h"

#include "handlers/tdm_operations.h"

namespace livrexa {
namespace {

using enum TFieldType;

const std::string kCantDelete = std::string("\r") + "Por este motivo a exclusão não poderá ser realizada.";

std::string Column(const TAuthorityTable& member, const char* name) {
  return std::string(member.prefix) + "_" + name;
}

void BindFurther(TDM& dm, const TAuthorityTable& member, const char* param) {
  TFbParam& p = dm.Query1.ParamByName(param);
  if (member.furtherType == ftInteger)
    p.SetAsInteger(dm.FDMemTable1.AsInteger(member.further));
  else
    p.SetAsString(dm.FDMemTable1.AsString(member.further));
}

}  // namespace

const std::vector<TAuthorityTable>& AuthorityTables() {
  // clang-format off
  static const std::vector<TAuthorityTable> members = {
    // ConsultaAutores, GravaAutor, VerificaUsoAutor, ExcluiAutor
    {140, "T05_AUTOR1", "T05", "T05_NumAutor", "T05_Autor",
     "T05_NumAutor, T05_Autor, T05_Desativado",
     nullptr, ftUnknown,
     "Um autor com este nome já foi cadastrado anteriormente.",
     nullptr, "Este autor está sendo utilizado no cadastro do acervo\rpelo item "},
    // ConsultaEditoras, GravaEditora, VerificaUsoEditora, ExcluiEditora
    {150, "T06_EDITOR", "T06", "T06_NumEditora", "T06_Editora",
     "T06_NumEditora, T06_Editora, T06_Desativado, T06_Localizacao",
     "T06_Localizacao", ftString,
     "Uma editora com esta descrição já foi cadastrada anteriormente.",
     "T09_NumEditora", "Esta Editora está sendo utilizado no cadastro do acervo\rpelo item "},
    // ConsultaClassificacoes, GravaClassificacao, VerificaUsoClassificacao, ExcluiClassificacao
    {160, "T07_CLASSI", "T07", "T07_NumClassific", "T07_Classificacao",
     "T07_NumClassific, T07_Classificacao, T07_Desativado",
     nullptr, ftUnknown,
     "Uma classificação literária com esta descrição já foi cadastrada anteriormente.",
     "T09_NumClassific", "Esta classificação literária está sendo utilizado no cadastro do acervo\rpelo item "},
    // ConsultaTiposItem, GravaTipoItem, VerificaUsoTipoItem, ExcluiTipoItem
    {170, "T08_TIPOS1", "T08", "T08_NumTipoItem", "T08_TipoItem",
     "T08_NumTipoItem, T08_TipoItem, T08_QtdDias, T08_Desativado",
     "T08_QtdDias", ftInteger,
     "Um tipo de item com esta descrição já foi cadastrado anteriormente.",
     "T09_NumTipoItem", "Este tipo de item está sendo utilizado no cadastro do acervo\rpelo item "},
    // ConsultaIdiomas, GravaIdioma, VerificaUsoIdioma, ExcluiIdioma
    {230, "T14_IDIOMA", "T14", "T14_NumIdioma", "T14_Idioma",
     "T14_NumIdioma, T14_Idioma, T14_Desativado",
     nullptr, ftUnknown,
     "Um idioma com esta descrição já foi cadastrado anteriormente.",
     "T09_NumIdioma", "Este idioma está sendo utilizado no cadastro do acervo\rpelo item "},
  };
  // clang-format on
  return members;
}

void ConsultaCadastro(TDM& dm, const TAuthorityTable& member, const std::string& Filtro, bool Desativados) {
  TFbQuery& q = dm.Query1;
  q.SetSql({"Select " + std::string(member.listColumns) + " From " + member.table + " ",
            "Where " + Column(member, "Exclusao") + " is Null "});
  if (!Desativados) q.SQL.Add("and NOT " + Column(member, "Desativado") + " ");
  const bool filtered = !Trim(Filtro).empty();
  if (filtered) q.SQL.Add("and " + std::string(member.description) + " like :p00 ");
  q.SQL.Add("Order by " + std::string(member.description) + " ");
  if (filtered) q.ParamByName("p00").SetAsString("%" + Filtro + "%");
  q.Open();
}

std::string GravaCadastro(TDM& dm, const TAuthorityTable& member) {
  TFbQuery& q = dm.Query1;
  TFDMemTable& row = dm.FDMemTable1;
  int numero = row.AsInteger(member.key);
  const std::string key = member.key;
  const std::string description = member.description;

  // The duplicate test runs before the transaction, so two saves of one description at the same
  // moment can both pass it; the clients rely on its message, and the tables have no constraint.
  q.SetSql({"Select " + key + " From " + member.table + " ",
            "Where " + Column(member, "Exclusao") + " is Null and " + description + " = :p00 "});
  if (numero > 0) q.SQL.Add("and " + key + " <> :p01 ");
  q.ParamByName("p00").SetAsString(row.AsString(description));
  if (numero > 0) q.ParamByName("p01").SetAsInteger(numero);
  q.Open();
  if (!q.Eof()) throw LivrexaError(member.duplicateMessage);

  TTransaction transaction(dm.Database1);
  const std::string desativado = Column(member, "Desativado");
  if (numero > 0) {
    std::string set = description + " = :p00, " + desativado + " = :p01";
    if (member.further) set += ", " + std::string(member.further) + " = :p02";
    q.SetSql({"Update " + std::string(member.table) + " Set " + set + " ",
              "Where " + key + " = " + (member.further ? ":p03 " : ":p02 ")});
    q.ParamByName("p00").SetAsString(row.AsString(description));
    q.ParamByName("p01").SetAsBoolean(row.AsBoolean(desativado));
    if (member.further) BindFurther(dm, member, "p02");
    q.ParamByName(member.further ? "p03" : "p02").SetAsInteger(numero);
    q.ExecSQL();
  } else {
    std::string columns = desativado + ", " + description;
    if (member.further) columns += ", " + std::string(member.further);
    q.SetSql({"Insert into " + std::string(member.table) + " (" + columns + ") ",
              member.further ? "Values (:p00, :p01, :p02) " : "Values (:p00, :p01) ",
              "Returning " + key + " "});
    // A new record is never deactivated, whatever the row says.
    q.ParamByName("p00").SetAsBoolean(false);
    q.ParamByName("p01").SetAsString(row.AsString(description));
    if (member.further) BindFurther(dm, member, "p02");
    q.Open();
    numero = q.AsInteger(0);
  }
  const std::string reply = std::to_string(numero);
  transaction.Commit();
  q.Close();
  return reply;
}

void VerificaUsoCadastro(TDM& dm, const TAuthorityTable& member, int Numero) {
  TFbQuery& q = dm.Query1;
  if (member.holdingsColumn) {
    q.SetSql({"Select T09_NumAcervo From T09_ACERVO ",
              "Where T09_Exclusao is Null and " + std::string(member.holdingsColumn) + " = :p00 "});
  } else {
    // The author links carry no deletion mark: a link of a deleted holding still counts.
    q.SetSql({"Select T10_NumAutor, T10_NumAcervo From T10_LINKAU ", "Where T10_NumAutor = :p00 "});
  }
  q.ParamByName("p00").SetAsInteger(Numero);
  q.Open();
  if (q.Eof()) return;
  const int holding = q.AsInteger(member.holdingsColumn ? "T09_NumAcervo" : "T10_NumAcervo");
  throw LivrexaError(member.inUseHead + SixDigits(holding) + " (podendo haver outros)." + kCantDelete);
}

std::string ExcluiCadastro(TDM& dm, const TAuthorityTable& member, int Numero, int NumUsuario) {
  return ReplyOrFailure(dm, [&] {
    VerificaUsoCadastro(dm, member, Numero);
    RunSoftDelete(dm,
                  {"Update " + std::string(member.table) + " Set " + Column(member, "Exclusao") +
                       " = :p00, " + Column(member, "ExcluidoPor") + " = :p01 ",
                   "Where " + std::string(member.key) + " = :p02 "},
                  Numero, NumUsuario);
    return std::string("OK");
  });
}

void RegisterAuthorityTableOperations() {
  for (const TAuthorityTable& member : AuthorityTables()) {
    const TAuthorityTable* m = &member;
    RegisterConsulta(member.flag, [m](TDM& dm, TDWParams& p) {
      const bool desativados = InputBoolean(p, "Desativados");
      const std::string filtro = InputText(p, "Filtro");
      ConsultaCadastro(dm, *m, filtro, desativados);
    });
    RegisterGrava(member.flag, [m](TDM& dm) { return GravaCadastro(dm, *m); });
    RegisterExclui(member.flag, [m](TDM& dm, TDWParams& p) {
      const int numero = InputInteger(p, "Numero");
      const int numUsuario = InputInteger(p, "NumUsuario");
      return ExcluiCadastro(dm, *m, numero, numUsuario);
    });
  }
}

}  // namespace livrexa
