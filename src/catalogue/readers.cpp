// Readers (T04_LEITOR) with their photo (T21_FOTOS2), and school classes (T16_TURMAS).

#include "catalogue/readers.h"

#include <iterator>
#include <string>
#include <utility>

#include "handlers/tdm_operations.h"
#include "rest/wire/errors.h"

namespace livrexa {

namespace {

const std::string CR = "\r";

// The columns of a reader row in the order of the save's parameters: column i is bound to
// ":p<i>". The birth date (p02) is a date, the class (p24) an integer, the deactivation (p00)
// a boolean; the others are texts.
constexpr const char* kReaderColumns[] = {
    "T04_Desativado", "T04_Leitor",     "T04_DataNasc",     "T04_Escolaridade", "T04_NomePai",
    "T04_NomeMae",    "T04_Sexo",       "T04_Naturalidade", "T04_Email",        "T04_CPF",
    "T04_Endereco",   "T04_PontoRefer", "T04_Cidade",       "T04_Bairro",       "T04_Obs1",
    "T04_Obs2",       "T04_CEP",        "T04_Estado",       "T04_Matricula",    "T04_Turno",
    "T04_Telefone1",  "T04_Telefone2",  "T04_FoneContato",  "T04_NomeContato",  "T04_NumTurma"};
constexpr size_t kBirthDate = 2;
constexpr size_t kClass = 24;

std::string ParamName(size_t position) {
  return (position < 10 ? "p0" : "p") + std::to_string(position);
}

// Binds :p01 .. :p24 of the reader save from the row; the update and the insert share them.
void BindReaderColumns(TFbQuery& query, const TFDMemTable& row) {
  for (size_t i = 1; i < std::size(kReaderColumns); ++i) {
    TFbParam& param = query.ParamByName(ParamName(i));
    if (i == kBirthDate)
      param.SetAsDate(row.AsDateTime(kReaderColumns[i]));
    else if (i == kClass)
      param.SetAsInteger(row.AsInteger(kReaderColumns[i]));
    else
      param.SetAsString(row.AsString(kReaderColumns[i]));
  }
}

// The text filter of the two reader lists: a blank "Filtro" adds nothing; a number above 0
// selects that reader; anything else matches the name with the list's pattern.
class TReaderFilter {
 public:
  explicit TReaderFilter(const std::string& Filtro)
      : blank_(Trim(Filtro).empty()), number_(StrToIntDef(Filtro, 0)) {}

  void AddLine(TFbQuery& query) const {
    if (blank_) return;
    query.SQL.Add(number_ > 0 ? "and T04_NumLeitor = :p00 " : "and T04_Leitor like :p00 ");
  }
  // After the last line: a line added later would drop the binding.
  void Bind(TFbQuery& query, const std::string& pattern) const {
    if (blank_) return;
    if (number_ > 0)
      query.ParamByName("p00").SetAsInteger(number_);
    else
      query.ParamByName("p00").SetAsString(pattern);
  }

 private:
  bool blank_;
  int number_;
};

}  // namespace

// ---- readers ----

void ConsultaLeitores(TDM& dm, const std::string& Filtro, bool Desativados) {
  TFbQuery& query = dm.Query1;
  const TReaderFilter filter(Filtro);
  query.SetSql(
      {"Select T04.*, T16.T16_Turma From T04_LEITOR T04, T16_TURMAS T16 Where T04_Exclusao is Null "
       "and T04_NumTurma = T16_NumTurma "});
  if (!Desativados) query.SQL.Add("and NOT T04_Desativado ");
  filter.AddLine(query);
  query.SQL.Add("Order by T04_Leitor ");
  filter.Bind(query, "%" + Filtro + "%");
  query.Open();
}

void ConsultaLeitoresTurma(TDM& dm, const std::string& Filtro, bool Desativados) {
  TFbQuery& query = dm.Query1;
  const TReaderFilter filter(Filtro);
  query.SetSql(
      {"Select T04_NumLeitor, T04_Leitor, T16_Turma, T16_Desativado, T04_Desativado From T04_LEITOR, "
       "T16_TURMAS Where T04_Exclusao is Null and T04_NumTurma = T16_NumTurma "});
  if (!Desativados) query.SQL.Add("and NOT T04_Desativado and NOT T16_Desativado ");
  filter.AddLine(query);
  query.SQL.Add("Order by T04_Leitor ");
  filter.Bind(query, Filtro + "%");
  query.Open();
}

void ConsultaFotoLeitor(TDM& dm, const std::string& Filtro) {
  TFbQuery& query = dm.Query1;
  query.SetSql({"Select First 1 T21_NumLeitor, T21_Foto From T21_FOTOS2 Where T21_NumLeitor = :p00 "});
  query.ParamByName("p00").SetAsInteger(StrToIntDef(Filtro, 0));
  query.Open();
}

void GravaFotoLeitor(TDM& dm, TFDMemTable& Tabela, int N) {
  TFbQuery& query = dm.Query1;
  std::string photo;
  if (Tabela.Active() && !Tabela.Eof()) photo = Tabela.AsString("T21_Foto");
  if (!photo.empty()) {
    query.SetSql(
        {"Update or Insert into T21_FOTOS2 (T21_NumLeitor, T21_Foto) Values (:p00, :p01) "
         "Matching(T21_NumLeitor) "});
    query.ParamByName("p00").SetAsInteger(N);
    query.ParamByName("p01").SetAsBlob(std::move(photo), TFieldType::ftGraphic);
  } else {
    query.SetSql({"Delete From T21_FOTOS2 Where T21_NumLeitor = :p00 "});
    query.ParamByName("p00").SetAsInteger(N);
  }
  query.ExecSQL();
}

std::string GravaLeitor(TDM& dm) {
  TFbQuery& query = dm.Query1;
  const TFDMemTable& row = dm.FDMemTable1;
  return ClosingQuery(dm, [&] {
    int N = row.AsInteger("T04_NumLeitor");

    // The duplicate tests run before the transaction, so two saves at the same moment can both
    // pass them; the existing databases have no constraint that would catch the second one.
    query.SetSql(
        {"Select T04_NumLeitor From T04_LEITOR Where T04_Exclusao is Null and T04_Leitor = :p00 and "
         "T04_DataNasc = :p01 "});
    if (N > 0) query.SQL.Add("and T04_NumLeitor <> :p02 ");
    query.ParamByName("p00").SetAsString(row.AsString("T04_Leitor"));
    query.ParamByName("p01").SetAsDate(row.AsDateTime("T04_DataNasc"));
    if (N > 0) query.ParamByName("p02").SetAsInteger(N);
    query.Open();
    if (!query.Eof())
      throw LivrexaError(
          "Um leitor com este mesmo nome e data de nascimento já foi cadastrado anteriormente.");

    const std::string cpf = row.AsString("T04_CPF");
    if (!Trim(cpf).empty()) {
      query.SetSql({"Select T04_NumLeitor From T04_LEITOR Where T04_Exclusao is Null and T04_CPF = :p00 "});
      if (N > 0) query.SQL.Add("and T04_NumLeitor <> :p01 ");
      query.ParamByName("p00").SetAsString(cpf);
      if (N > 0) query.ParamByName("p01").SetAsInteger(N);
      query.Open();
      if (!query.Eof())
        throw LivrexaError("Um leitor com este mesmo CPF já foi cadastrado anteriormente." + CR +
                           "O número do outro leitor é " + SixDigits(query.AsInteger("T04_NumLeitor")));
    }

    TTransaction transaction(dm.Database1);
    if (N > 0) {
      query.SetSql(
          {"Update T04_LEITOR Set T04_Desativado = :p00, T04_Leitor = :p01, T04_DataNasc = :p02, "
           "T04_Escolaridade = :p03, T04_NomePai = :p04, T04_NomeMae = :p05, T04_Sexo = :p06, "
           "T04_Naturalidade = :p07, T04_Email = :p08, T04_CPF = :p09, T04_Endereco = :p10, "
           "T04_PontoRefer = :p11, T04_Cidade = :p12, T04_Bairro = :p13, T04_Obs1 = :p14, T04_Obs2 = :p15, "
           "T04_CEP = :p16, T04_Estado = :p17, T04_Matricula = :p18, T04_Turno = :p19, T04_Telefone1 = :p20, "
           "T04_Telefone2 = :p21, T04_FoneContato = :p22, T04_NomeContato = :p23, T04_NumTurma = :p24 "
           "Where T04_NumLeitor = :p25 "});
      query.ParamByName("p00").SetAsBoolean(row.AsBoolean("T04_Desativado"));
      BindReaderColumns(query, row);
      query.ParamByName("p25").SetAsInteger(N);
      query.ExecSQL();
    } else {
      query.SetSql(
          {"Insert into T04_LEITOR (T04_Desativado, T04_Leitor, T04_DataNasc, T04_Escolaridade, T04_NomePai, "
           "T04_NomeMae, T04_Sexo, T04_Naturalidade, T04_Email, T04_CPF, T04_Endereco, T04_PontoRefer, "
           "T04_Cidade, T04_Bairro, T04_Obs1, T04_Obs2, T04_CEP, T04_Estado, T04_Matricula, T04_Turno, "
           "T04_Telefone1, T04_Telefone2, T04_FoneContato, T04_NomeContato, T04_NumTurma, T04_DataCadastro) "
           "Values (:p00, :p01, :p02, :p03, :p04, :p05, :p06, :p07, :p08, :p09, :p10, :p11, :p12, :p13, "
           ":p14, :p15, :p16, :p17, :p18, :p19, :p20, :p21, :p22, :p23, :p24, :p25) Returning "
           "T04_NumLeitor "});
      query.ParamByName("p00").SetAsBoolean(false);
      BindReaderColumns(query, row);
      query.ParamByName("p25").SetAsDate(Date());
      query.Open();
      N = query.AsInteger(0);
    }
    GravaFotoLeitor(dm, dm.FDMemTable2, N);
    const std::string reply = SixDigits(N);
    transaction.Commit();
    return reply;
  });
}

void VerificaEmprestimoLeitor(TDM& dm, int K) {
  TFbQuery& query = dm.Query1;
  query.SetSql(
      {"Select T13_NumEmprest From T13_EMPRE2, T12_EMPRE1 Where T12_NumLeitor = :p00 and T13_Exclusao "
       "is Null and T13_NumEmprest = T12_NumEmprest "});
  query.ParamByName("p00").SetAsInteger(K);
  query.Open();
  if (query.Eof()) return;
  throw LivrexaError("Este leitor está sendo utilizado no cadastro de empréstimos" + CR + "pela nota " +
                     SixDigits(query.AsInteger("T13_NumEmprest")) + " (podendo haver outras)." + CR +
                     "Por este motivo a exclusão não poderá ser realizada.");
}

// The loan test runs before the transaction, so a loan saved at the same moment can slip past it.
std::string ExcluiLeitor(TDM& dm, int Numero, int NumUsuario) {
  return ReplyOrFailure(dm, [&] {
    VerificaEmprestimoLeitor(dm, Numero);
    RunSoftDelete(
        dm, {"Update T04_LEITOR Set T04_Exclusao = :p00, T04_ExcluidoPor = :p01 Where T04_NumLeitor = :p02 "},
        Numero, NumUsuario);
    return std::string("OK");
  });
}

// ---- classes ----

void ConsultaTurmas(TDM& dm, const std::string& Filtro, bool Desativados) {
  TFbQuery& query = dm.Query1;
  const bool filtered = !Trim(Filtro).empty();
  query.SetSql(
      {"Select T16_NumTurma, T16_Turma, T16_Desativado From T16_TURMAS Where T16_Exclusao is Null "});
  if (!Desativados) query.SQL.Add("and NOT T16_Desativado ");
  if (filtered) query.SQL.Add("and T16_Turma like :p00 ");
  query.SQL.Add("Order by T16_Turma ");
  if (filtered) query.ParamByName("p00").SetAsString("%" + Filtro + "%");
  query.Open();
}

std::string GravaTurma(TDM& dm) {
  TFbQuery& query = dm.Query1;
  const TFDMemTable& row = dm.FDMemTable1;
  return ClosingQuery(dm, [&] {
    int N = row.AsInteger("T16_NumTurma");
    const std::string turma = row.AsString("T16_Turma");

    // Before the transaction, as the clients expect: two simultaneous saves can both pass it.
    query.SetSql({"Select T16_Turma From T16_TURMAS Where T16_Exclusao is Null and T16_Turma = :p00 "});
    if (N > 0) query.SQL.Add("and T16_NumTurma <> :p01 ");
    query.ParamByName("p00").SetAsString(turma);
    if (N > 0) query.ParamByName("p01").SetAsInteger(N);
    query.Open();
    if (!query.Eof()) throw LivrexaError("Uma turma com esta descrição já foi cadastrada anteriormente.");

    TTransaction transaction(dm.Database1);
    if (N > 0) {
      // The stored state before the save; a soft-deleted class is found too.
      query.SetSql({"Select T16_Desativado From T16_TURMAS Where T16_NumTurma = :p00 "});
      query.ParamByName("p00").SetAsInteger(N);
      query.Open();
      if (query.Eof()) throw LivrexaError("Ocorreu um erro ao pesquisar a turma antes de gravar.");
      const bool before = query.AsBoolean("T16_Desativado");
      const bool desativado = row.AsBoolean("T16_Desativado");

      query.SetSql(
          {"Update T16_TURMAS Set T16_Turma = :p00, T16_Desativado = :p01 Where T16_NumTurma = :p02 "});
      query.ParamByName("p00").SetAsString(turma);
      query.ParamByName("p01").SetAsBoolean(desativado);
      query.ParamByName("p02").SetAsInteger(N);
      query.ExecSQL();

      // Every reader of the class, soft-deleted ones included, takes the class's new state,
      // whatever each had before; an unchanged state leaves the readers as they are.
      if (desativado != before) {
        query.SetSql({"Update T04_LEITOR Set T04_Desativado = :p00 Where T04_NumTurma = :p01 "});
        query.ParamByName("p00").SetAsBoolean(desativado);
        query.ParamByName("p01").SetAsInteger(N);
        query.ExecSQL();
      }
    } else {
      query.SetSql(
          {"Insert into T16_TURMAS (T16_Desativado, T16_Turma) Values (:p00, :p01) Returning T16_NumTurma "});
      query.ParamByName("p00").SetAsBoolean(false);
      query.ParamByName("p01").SetAsString(turma);
      query.Open();
      N = query.AsInteger(0);
    }
    const std::string reply = std::to_string(N);
    transaction.Commit();
    return reply;
  });
}

void VerificaUsoTurma(TDM& dm, int K) {
  TFbQuery& query = dm.Query1;
  query.SetSql({"Select T04_Leitor From T04_LEITOR Where T04_Exclusao is Null and T04_NumTurma = :p00 "});
  query.ParamByName("p00").SetAsInteger(K);
  query.Open();
  if (query.Eof()) return;
  throw LivrexaError("Esta turma está sendo utilizado no cadastro de leitores" + CR + "pelo leitor " +
                     query.AsString("T04_Leitor") + " (podendo haver outros)." + CR +
                     "Por este motivo a exclusão não poderá ser realizada.");
}

// As with the readers, the in-use test runs before the transaction.
std::string ExcluiTurma(TDM& dm, int Numero, int NumUsuario) {
  return ReplyOrFailure(dm, [&] {
    VerificaUsoTurma(dm, Numero);
    RunSoftDelete(
        dm, {"Update T16_TURMAS Set T16_Exclusao = :p00, T16_ExcluidoPor = :p01 Where T16_NumTurma = :p02 "},
        Numero, NumUsuario);
    return std::string("OK");
  });
}

// ---- flags ----

void RegisterReaderOperations() {
  RegisterConsulta(130, [](TDM& dm, TDWParams& p) {
    const bool desativados = InputBoolean(p, "Desativados");
    const std::string filtro = InputText(p, "Filtro");
    ConsultaLeitores(dm, filtro, desativados);
  });
  RegisterConsulta(250, [](TDM& dm, TDWParams& p) {
    const bool desativados = InputBoolean(p, "Desativados");
    const std::string filtro = InputText(p, "Filtro");
    ConsultaTurmas(dm, filtro, desativados);
  });
  RegisterConsulta(280, [](TDM& dm, TDWParams& p) { ConsultaFotoLeitor(dm, InputText(p, "Filtro")); });
  RegisterConsulta(310, [](TDM& dm, TDWParams& p) {
    const bool desativados = InputBoolean(p, "Desativados");
    const std::string filtro = InputText(p, "Filtro");
    ConsultaLeitoresTurma(dm, filtro, desativados);
  });

  RegisterGrava(130, [](TDM& dm) { return GravaLeitor(dm); });
  RegisterGrava(250, [](TDM& dm) { return GravaTurma(dm); });

  RegisterExclui(130, [](TDM& dm, TDWParams& p) {
    const int numero = InputInteger(p, "Numero");
    const int numUsuario = InputInteger(p, "NumUsuario");
    return ExcluiLeitor(dm, numero, numUsuario);
  });
  RegisterExclui(250, [](TDM& dm, TDWParams& p) {
    const int numero = InputInteger(p, "Numero");
    const int numUsuario = InputInteger(p, "NumUsuario");
    return ExcluiTurma(dm, numero, numUsuario);
  });
}

}  // namespace livrexa
