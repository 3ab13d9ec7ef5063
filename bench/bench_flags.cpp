// Every query flag of "Consulta" (and the login) on the large library, with the filters the
// desk's screens send: rows and the median time of a request over HTTP (server in a child
// process, as the executable runs). For every case over 50 ms the statement the operation built,
// its parameters written in as literals, goes to isql with SET PLANONLY, and the plan is printed.
//
// The login is also measured on a separate small database with 21,000 users (the large
// library's staff is 50 users).
//
//   bench_flags [--repeat N] [--plans-over MS]     (default 5 requests per case, 50 ms)

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "bench/large_library.h"
#include "handlers/gateway/connection.h"
#include "handlers/gateway/query.h"
#include "handlers/gateway/tools.h"
#include "handlers/local_clock.h"
#include "rest/params/dw_params.h"
#include "rest/params/json_param.h"
#include "rest/wire/wire_numbers.h"

using namespace livrexa;
using namespace livrexa::bench;

namespace {

struct TCase {
  int flag;
  std::string what;  // the screen's filter, as a person would describe it
  std::string Filtro, Filtro2, Data1, Data2;
  bool Desativados = false;
};

std::string FirstValue(const std::string& sql) {
  TFbConnection connection([] { return LargeDatabase().string(); });
  TFbQuery q(connection);
  q.SQL.Add(sql);
  q.Open();
  return q.Eof() ? std::string() : q.AsString(0);
}

std::string DateText(TDateTime day) {
  const TDateTimeParts p = DecodeDateTime(day);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", p.day, p.month, p.year);
  return buf;
}

std::string Query(const TCase& c) {
  std::string q = "Flag=" + std::to_string(c.flag);
  const std::pair<const char*, const std::string*> inputs[] = {
      {"Filtro", &c.Filtro}, {"Filtro2", &c.Filtro2}, {"Data1", &c.Data1}, {"Data2", &c.Data2}};
  for (const auto& [name, value] : inputs)
    if (!value->empty()) q += std::string("&") + name + "=" + UrlEncode(*value);
  if (c.Desativados) q += "&Desativados=true";
  return q;
}

// A parameter's value written into the statement, for isql.
std::string Literal(const TFbParam& p) {
  const auto& v = p.Value();
  if (std::holds_alternative<std::monostate>(v)) return "NULL";
  if (const auto* b = std::get_if<bool>(&v)) return *b ? "TRUE" : "FALSE";
  if (const auto* i = std::get_if<int64_t>(&v)) return std::to_string(*i);
  if (const auto* d = std::get_if<double>(&v)) {
    if (p.DataType() == TFieldType::ftDate) {
      const TDateTimeParts t = DecodeDateTime(*d);
      char buf[32];
      std::snprintf(buf, sizeof buf, "DATE '%04d-%02d-%02d'", t.year, t.month, t.day);
      return buf;
    }
    return std::to_string(*d);
  }
  std::string out = "'";
  for (const char c : std::get<std::string>(v)) {
    if (c == '\'') out.push_back('\'');
    out.push_back(c);
  }
  return out + "'";
}

// The statement the operation leaves in Query1, with every :name replaced by its literal.
std::string StatementOf(TFbQuery& q) {
  std::string sql = q.SQL.Text();
  for (size_t i = q.ParamCount(); i-- > 0;) {
    const TFbParam& p = q.Params(i);
    const std::string mark = ":" + p.Name();
    for (size_t at = 0; (at = sql.find(mark, at)) != std::string::npos;) {
      const size_t end = at + mark.size();
      if (end < sql.size() && (std::isalnum(static_cast<unsigned char>(sql[end])) || sql[end] == '_')) {
        at = end;
        continue;
      }
      const std::string literal = Literal(p);
      sql.replace(at, mark.size(), literal);
      at += literal.size();
    }
  }
  return sql;
}

// Runs the flag's operation in-process the way the handler does; returns the rows and leaves the
// statement in `sql`.
size_t RunInProcess(const TCase& c, std::string& sql) {
  TDWParams params;
  const std::pair<const char*, std::string> inputs[] = {{"Filtro", c.Filtro},
                                                        {"Filtro2", c.Filtro2},
                                                        {"Data1", c.Data1},
                                                        {"Data2", c.Data2},
                                                        {"Rotina", "bench"},
                                                        {"Usuario", "bench"},
                                                        {"Desativados", c.Desativados ? "true" : "false"}};
  for (const auto& [name, value] : inputs) params.AddNew(name).SetAsString(value);
  TDM dm;
  const TConsultaOperation* operation = FindConsulta(c.flag);
  if (!operation) return 0;
  (*operation)(dm, params);
  sql = StatementOf(dm.Query1);
  return dm.Query1.Active() ? dm.Query1.RecordCount() : 0;
}

double HttpMedian(uint16_t port, const std::string& request, int repeat, std::string* failure) {
  Exchange(port, request);
  std::vector<double> times;
  for (int i = 0; i < repeat; ++i) {
    const auto start = std::chrono::steady_clock::now();
    const std::string reply = Exchange(port, request);
    times.push_back(Seconds(start));
    if (reply.rfind("HTTP/1.1 200", 0) != 0 && failure) *failure = reply.substr(0, 120);
  }
  return Median(times);
}

// The login on a database of its own with this many users; median ms of a request.
double LoginWithUsers(int users, int repeat) {
  const fs::path dir = LargeDir() / "logins";
  const fs::path db = dir / "logins.fdb";
  std::error_code ec;
  fs::remove_all(dir, ec);
  fs::create_directories(dir);
  const auto created =
      RunFirebirdTool(fs::path(LIVREXA_SOURCE_DIR) / "scripts" / "create-db.sh",
                      {"--demo", "--firebird-dir", (LargeDir() / "firebird").string(), db.string()});
  if (created.ExitCode != 0) return -1;
  {
    TFbConnection connection([&] { return db.string(); }, nullptr);
    TFbQuery q(connection);
    connection.StartTransaction();
    q.SQL.Add("Insert into T01_USUARI (T01_Usuario, T01_Senha, T01_Desativado) Values (:p00, :p01, False)");
    for (int i = 1; i < users; ++i) {
      q.ParamByName("p00").SetAsString("usuario." + std::to_string(i));
      q.ParamByName("p01").SetAsString("5AEA18D715B6");
      q.ExecSQL();
    }
    connection.Commit();
  }
  BenchHost host(db.string());
  SetHost(&host);
  std::vector<double> times;
  for (int i = 0; i <= repeat; ++i) {
    TDWParams params;
    params.AddNew("Usuario").SetAsString("usuario." + std::to_string(users / 2));
    params.AddNew("Senha").SetAsString("X");
    params.AddNew("Resposta", TObjectDirection::odOUT);
    const auto start = std::chrono::steady_clock::now();
    {
      TDM dm;
      std::string result;
      dm.DWServerEventsT01_USUARI_ValidaUsuario(params, result);
    }
    if (i > 0) times.push_back(Seconds(start));
  }
  TFbPool::Shared().Clear();
  SetHost(nullptr);
  return Median(times) * 1e3;
}

}  // namespace

int main(int argc, char** argv) {
  int repeat = 5;
  double plansOver = 50;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::string(argv[i]) == "--repeat") repeat = std::max(1, std::atoi(argv[i + 1]));
    if (std::string(argv[i]) == "--plans-over") plansOver = std::atof(argv[i + 1]);
  }
  if (!RequireLargeDatabase()) return 1;
  UseLargeFirebirdFolder();
  TServerChild server;
  if (!server.Start()) return 1;
  RegisterCatalogueOperations();
  RegisterCirculationOperations();
  BenchHost host(LargeDatabase().string());
  SetHost(&host);

  // Keys the cases need, taken from the library itself.
  const std::string withContents = FirstValue("Select First 1 T11_NumAcervo From T11_INDICE Order by 1 desc");
  const std::string readerWithLoans = FirstValue(
      "Select First 1 T12_NumLeitor From T12_EMPRE1, T13_EMPRE2 Where T13_NumEmprest = T12_NumEmprest and "
      "T13_Devolucao is Null and T13_Exclusao is Null Order by T12_NumEmprest desc");
  const std::string readerWithFines = FirstValue(
      "Select First 1 T12_NumLeitor From T12_EMPRE1, T13_EMPRE2 Where T13_NumEmprest = T12_NumEmprest and "
      "T13_Multa > 0 and T13_PgtoMulta is Null and T13_MultaCancelada is Null and T13_Exclusao is Null");
  const std::string reservation = FirstValue(
      "Select First 1 T15_NumAcervo || '|' || T15_NumLeitor From T15_RESERV Where T15_Exclusao is Null");
  const std::string reservedHolding = reservation.substr(0, reservation.find('|'));
  const std::string loan = FirstValue("Select Max(T12_NumEmprest) From T12_EMPRE1");
  const std::string today = DateText(Date());
  const std::string monthAgo = DateText(Date() - 30);

  const std::vector<TCase> cases = {
      {100, "todos", "", "", "", ""},
      {110, "direitos do usuário 2", "2", "", "", ""},
      {120, "configuração", "", "", "", ""},
      {130, "nome contém \"Ana\"", "Ana", "", "", ""},
      {130, "número do leitor", "12345", "", "", ""},
      {140, "nome contém \"Silva\"", "Silva", "", "", ""},
      {140, "todos", "", "", "", ""},
      {150, "todas", "", "", "", ""},
      {160, "todas", "", "", "", ""},
      {170, "todos", "", "", "", ""},
      {180, "título contém \"Segredo\"", "Segredo", "", "", ""},
      {180, "número do item", "54321", "", "", ""},
      {180, "todo o acervo", "", "", "", ""},
      {190, "autores de um item", "54321", "", "", ""},
      {200, "índice de um item", withContents, "", "", ""},
      {210, "último mês", "", "", monthAgo, today},
      {230, "todos", "", "", "", ""},
      {240, "todas", "", "", "", ""},
      {240, "leitor começa com \"Ana\"", "Ana", "0", "", ""},
      {250, "todas", "", "", "", ""},
      {270, "foto de um item", "51", "", "", ""},
      {280, "foto de um leitor", "21", "", "", ""},
      {290, "título começa com \"O Segredo\"", "O Segredo", "", "", ""},
      {290, "número do item", "54321", "", "", ""},
      {300, "nota pelo número", loan, "", "", ""},
      {300, "leitor contém \"Maria Silva\"", "Maria Silva", "", "", ""},
      {300, "último mês", "", "", monthAgo, today},
      {305, "multas em aberto, todos", "", "0", "", ""},
      {305, "multas de um leitor", readerWithFines, "0", "", ""},
      {310, "nome começa com \"Ana\"", "Ana", "", "", ""},
      {320, "título começa com \"O Segredo\" (0)", "O Segredo", "0", "", ""},
      {320, "número do item (1)", "54321", "1", "", ""},
      {320, "emprestados (2)", "", "2", "", ""},
      {320, "editora (3)", "Editora Silva", "3", "", ""},
      {320, "tipo (4)", "Revista", "4", "", ""},
      {320, "classificação (5)", "Poesia", "5", "", ""},
      {320, "palavra-chave (6)", "Folclore", "6", "", ""},
      {320, "índice (7)", "EPÍLOGO", "7", "", ""},
      {320, "autor (8)", "MACHADO", "8", "", ""},
      {320, "tombo (9)", "4321", "9", "", ""},
      {320, "CDD/CDU (10)", "869", "10", "", ""},
      {320, "Cutter (11)", "S12", "11", "", ""},
      {330, "itens fora", "", "", "", ""},
      {330, "itens de um leitor", readerWithLoans, "0", "", ""},
      {330, "título começa com \"O Segredo\"", "O Segredo", "1", "", ""},
      {340, "previsões de um leitor", readerWithLoans, "", "", ""},
      {350, "multa de um leitor", readerWithFines, "", "", ""},
      {360, "reservas de um item", "0", reservedHolding, "", ""},
      {998, "log do último mês", monthAgo, "", today, ""},
      {999, "consulta livre", "Select Count(*) From T13_EMPRE2", "", "", ""},
  };

  std::printf("%-5s %-38s %8s %10s\n", "flag", "filtro", "linhas", "ms (HTTP)");
  std::vector<std::pair<std::string, std::string>> slow;
  for (const TCase& c : cases) {
    std::string failure;
    const double ms = HttpMedian(server.port, EventRequest("DWServerEventsTAB_GERAL", "Consulta", Query(c)),
                                 repeat, &failure) *
                      1e3;
    std::string sql;
    size_t rows = 0;
    try {
      rows = RunInProcess(c, sql);
    } catch (const std::exception& e) {
      failure = e.what();
    }
    std::printf("%-5d %-38s %8zu %10.1f%s\n", c.flag, c.what.c_str(), rows, ms,
                failure.empty() ? "" : ("  FALHA: " + failure).c_str());
    std::fflush(stdout);
    if (ms > plansOver && !sql.empty())
      slow.emplace_back(
          std::to_string(c.flag) + " " + c.what + " (" + std::to_string(std::lround(ms)) + " ms)", sql);
  }
  const double login = HttpMedian(
      server.port, EventRequest("DWServerEventsT01_USUARI", "ValidaUsuario", "Usuario=ADMIN&Senha=ADMIN"),
      repeat, nullptr);
  std::printf("%-5s %-38s %8s %10.1f\n", "login", "ValidaUsuario, 50 usuários", "1", login * 1e3);
  server.Stop();
  SetHost(nullptr);
  TFbPool::Shared().Clear();
  std::printf("%-5s %-38s %8s %10.1f\n", "login", "ValidaUsuario, 21.000 usuários (em processo)", "1",
              LoginWithUsers(21000, repeat));

  if (slow.empty()) return 0;
  // The plans, as isql shows them.
  const fs::path script = LargeDir() / "plans.sql";
  // Each statement is followed by one on the engine's one-row table, whose plan separates theirs.
  static constexpr std::string_view kSeparator = "PLAN (RDB$DATABASE NATURAL)";
  {
    std::ofstream out(script);
    out << "SET PLANONLY ON;\n";
    for (const auto& [name, sql] : slow)
      out << "/* " << name << " */\n" << sql << ";\nSelect 1 From RDB$DATABASE;\n";
  }
  std::printf("\nplanos (SET PLANONLY ON, %s):\n", script.c_str());
  const auto run =
      RunFirebirdTool(FindFirebirdTool({"isql-fb", "isql"}),
                      {"-q", "-user", "sysdba", "-i", script.string(), LargeDatabase().string()});
  size_t at = 0;
  for (const auto& [name, sql] : slow) {
    std::printf("  %s\n", name.c_str());
    const size_t stop = run.Output.find(kSeparator, at);
    for (size_t plan = run.Output.find("PLAN", at); plan < stop; plan = run.Output.find("PLAN", plan + 4)) {
      const size_t end = run.Output.find('\n', plan);
      std::printf("    %s\n", run.Output.substr(plan, end - plan).c_str());
    }
    if (stop == std::string::npos) {
      std::printf("    %s\n", run.Output.substr(at, 300).c_str());
      break;
    }
    at = stop + kSeparator.size();
  }
  return 0;
}
