#include "handlers/database_upgrade.h"

#include <chrono>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <thread>

#include "handlers/gateway/connection.h"
#include "handlers/gateway/query.h"
#include "handlers/handler_limits.h"
#include "handlers/schema_text.h"
#include "rest/wire/text_tools.h"

namespace livrexa {

namespace {

using TClock = std::chrono::steady_clock;
// How long a step that met another server's transaction waits for that one to commit.
constexpr auto kRaceWait = std::chrono::seconds(5);

std::string SecondsText(TClock::duration elapsed) {
  const auto tenths = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count() / 100;
  return std::to_string(tenths / 10) + "," + std::to_string(tenths % 10) + " s";
}

// The engine's messages have several lines; a log entry has one.
std::string OneLine(std::string text) {
  for (char& c : text)
    if (c == '\r' || c == '\n') c = ' ';
  return text;
}

std::string QuotedName(const std::string& name) {
  std::string quoted = "\"";
  for (char c : name) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

std::string WithoutComments(const std::string& script) {
  static const std::regex comments(R"(/\*[\s\S]*?\*/|--[^\n]*)");
  return std::regex_replace(script, comments, " ");
}

// An expression as the catalogue keeps it and as the schema writes it compare equal: letter case,
// blanks and the parentheses around the whole are not part of it.
std::string ExpressionKey(std::string_view expression) {
  std::string key;
  for (char c : UpperCase(expression))
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') key += c;
  while (key.size() >= 2 && key.front() == '(' && key.back() == ')') {
    int depth = 0;
    bool wraps = true;
    for (size_t i = 0; i < key.size() && wraps; ++i) {
      depth += key[i] == '(' ? 1 : key[i] == ')' ? -1 : 0;
      if (depth == 0 && i + 1 < key.size()) wraps = false;
    }
    if (!wraps) break;
    key = key.substr(1, key.size() - 2);
  }
  return key;
}

// What makes two indexes the same for the searches: table, columns (or expression), direction.
std::string IndexKey(const std::string& table, const std::vector<std::string>& columns,
                     const std::string& expression, bool descending) {
  std::string key = UpperCase(table) + (descending ? " DESC " : " ASC ");
  if (!expression.empty()) return key + "COMPUTED " + ExpressionKey(expression);
  for (const std::string& column : columns) key += UpperCase(column) + ",";
  return key;
}

std::string IndexKey(const TSchemaIndex& index) {
  return IndexKey(index.table, index.columns, index.expression, index.descending);
}

// The schema's names are plain identifiers (letters, digits, underscores), which the engine reads in
// upper case; quoting them would make them case-sensitive.
std::string CreateStatement(const TSchemaIndex& index, const std::string& name) {
  std::string sql = "CREATE ";
  if (index.unique) sql += "UNIQUE ";
  if (index.descending) sql += "DESCENDING ";
  sql += "INDEX " + name + " ON " + index.table + " ";
  if (!index.expression.empty()) return sql + "COMPUTED BY (" + index.expression + ")";
  std::string columns;
  for (const std::string& column : index.columns) columns += (columns.empty() ? "" : ", ") + column;
  return sql + "(" + columns + ")";
}

std::string ColumnsText(const TSchemaIndex& index) {
  if (!index.expression.empty()) return index.expression;
  std::string text;
  for (const std::string& column : index.columns) text += (text.empty() ? "" : ", ") + column;
  return text;
}

// What the database has now.
struct TCatalogue {
  std::set<std::string> indexKeys;
  std::set<std::string> indexNames;
  std::set<std::string> tables;             // base tables and views, upper case
  std::vector<std::string> ungranted;       // relations the read-only user may not read
  bool readOnlyUserKnown = true;            // on a Firebird server: the user is in its user list
};

TCatalogue ReadCatalogue(TFbConnection& connection, const std::string& user, bool serverDatabase) {
  TCatalogue catalogue;
  TFbQuery query(connection);
  query.SetSql({"Select Trim(i.RDB$INDEX_NAME), Trim(i.RDB$RELATION_NAME), Coalesce(i.RDB$INDEX_TYPE, 0), ",
                "i.RDB$EXPRESSION_SOURCE, Trim(s.RDB$FIELD_NAME) ",
                "From RDB$INDICES i Left Join RDB$INDEX_SEGMENTS s On s.RDB$INDEX_NAME = i.RDB$INDEX_NAME ",
                "Order by i.RDB$INDEX_NAME, s.RDB$FIELD_POSITION"});
  query.Open();
  struct TFound {
    std::string table, expression;
    bool descending = false;
    std::vector<std::string> columns;
  };
  std::map<std::string, TFound> found;
  for (; !query.Eof(); query.Next()) {
    TFound& index = found[query.AsString(size_t{0})];
    index.table = query.AsString(size_t{1});
    index.descending = query.AsInteger(size_t{2}) == 1;
    if (!query.IsNull(size_t{3})) index.expression = query.AsString(size_t{3});
    if (!query.IsNull(size_t{4})) index.columns.push_back(query.AsString(size_t{4}));
  }
  for (const auto& [name, index] : found) {
    catalogue.indexNames.insert(UpperCase(name));
    catalogue.indexKeys.insert(IndexKey(index.table, index.columns, index.expression, index.descending));
  }

  query.SetSql({"Select Trim(r.RDB$RELATION_NAME), ",
                "  Iif(Exists(Select 1 From RDB$USER_PRIVILEGES p Where p.RDB$RELATION_NAME = r.RDB$RELATION_NAME ",
                "    and p.RDB$USER = :usuario and p.RDB$USER_TYPE = 8 and p.RDB$PRIVILEGE = 'S' ",
                "    and p.RDB$FIELD_NAME is Null), 1, 0) ",
                "From RDB$RELATIONS r Where Coalesce(r.RDB$SYSTEM_FLAG, 0) = 0 Order by 1"});
  query.ParamByName("usuario").SetAsString(user);
  query.Open();
  for (; !query.Eof(); query.Next()) {
    catalogue.tables.insert(UpperCase(query.AsString(size_t{0})));
    if (query.AsInteger(size_t{1}) == 0) catalogue.ungranted.push_back(query.AsString(size_t{0}));
  }

  if (serverDatabase) {
    // The engine reads the user list once per transaction: a transaction of its own sees the list
    // as it is now, not as the attachment's long read transaction first saw it.
    connection.StartTransaction();
    query.SetSql({"Select Count(*) From SEC$USERS Where SEC$USER_NAME = :usuario"});
    query.ParamByName("usuario").SetAsString(user);
    query.Open();
    catalogue.readOnlyUserKnown = query.AsInteger(size_t{0}) > 0;
    query.Close();
    connection.Commit();
  }
  query.Close();
  return catalogue;
}

// What the engine said when it refused a step; empty when the step was done.
struct TRefusal {
  std::string message;
  // Another server was doing the same at that moment (a conflict, or a duplicate it stored first).
  bool raced = false;
  bool Refused() const { return !message.empty(); }
};

// Runs the statements in one transaction.
TRefusal RunDdl(TFbConnection& connection, const std::vector<std::string>& statements) {
  try {
    connection.StartTransaction();
    TFbQuery query(connection);
    for (const std::string& statement : statements) {
      query.SQL.SetText(statement);
      query.ExecSQL();
    }
    query.Close();
    connection.Commit();
    return {};
  } catch (const TFbError& e) {
    connection.Rollback();
    return {OneLine(e.what()), e.Conflict() || e.Duplicate()};
  } catch (const std::exception& e) {
    connection.Rollback();
    return {OneLine(e.what()), false};
  }
}

// `what` could not be done for `why`; `without` is what the server lacks meanwhile.
std::string Warning(const std::string& what, const std::string& why, const std::string& without) {
  return "*** Aviso: " + what + ": " + why + ". O servidor atende assim mesmo; " + without + ".";
}

constexpr const char* kWithoutRawQuery = "sem isso a consulta livre fica sem acesso às tabelas";
constexpr const char* kWithoutIndexes = "sem isso as buscas ficam mais lentas";

}  // namespace

std::vector<TSchemaIndex> SchemaIndexes(const std::string& script) {
  static const std::regex statement(
      R"(^\s*CREATE\s+(UNIQUE\s+)?((ASC|ASCENDING|DESC|DESCENDING)\s+)?INDEX\s+(\w+)\s+ON\s+(\w+)\s*)"
      R"((\(([^)]*)\)|COMPUTED\s+(BY\s*)?\(([\s\S]*)\))\s*$)",
      std::regex::icase);
  std::vector<TSchemaIndex> indexes;
  const std::string text = WithoutComments(script);
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(';', start);
    if (end == std::string::npos) end = text.size();
    const std::string one = text.substr(start, end - start);
    start = end + 1;
    std::smatch m;
    if (!std::regex_match(one, m, statement)) continue;
    TSchemaIndex index;
    index.unique = m[1].matched;
    index.descending = m[3].matched && UpperCase(m[3].str()).starts_with("DESC");
    index.name = m[4].str();
    index.table = m[5].str();
    if (m[7].matched) {
      std::string columns = m[7].str();
      size_t from = 0;
      while (from <= columns.size()) {
        size_t comma = columns.find(',', from);
        if (comma == std::string::npos) comma = columns.size();
        const std::string column(Trim(std::string_view(columns).substr(from, comma - from)));
        if (!column.empty()) index.columns.push_back(column);
        from = comma + 1;
      }
    } else {
      index.expression = std::string(Trim(m[9].str()));
    }
    indexes.push_back(std::move(index));
  }
  return indexes;
}

const std::vector<TSchemaIndex>& ServerSchemaIndexes() {
  static const std::vector<TSchemaIndex> indexes = SchemaIndexes(kSchemaSql);
  return indexes;
}

std::vector<std::string> UpgradeDatabase(TFbConnection& connection, bool serverDatabase) {
  std::vector<std::string> log;
  const std::string user = HandlerLimits().ReadOnlyUser;
  auto warn = [&](const std::string& what, const std::string& why, const char* without) {
    log.push_back(Warning(what, why, without));
  };
  TCatalogue catalogue;
  try {
    catalogue = ReadCatalogue(connection, user, serverDatabase);
  } catch (const std::exception& e) {
    warn("o catálogo do banco de dados não pôde ser lido", OneLine(e.what()),
         "sem isso a consulta livre pode ficar sem acesso às tabelas e as buscas mais lentas");
    return log;
  }

  // Another server starting on the same database at the same moment may add the same things: a
  // refusal is a failure only when what was refused is still missing afterwards. When the refusal
  // says another transaction was at it, that one is given a few seconds to commit.
  auto stillMissing = [&](const TRefusal& refusal, const std::function<bool(const TCatalogue&)>& missing) {
    const auto deadline = TClock::now() + (refusal.raced ? kRaceWait : TClock::duration::zero());
    for (;;) {
      try {
        if (!missing(ReadCatalogue(connection, user, serverDatabase))) return false;
      } catch (const std::exception&) {
        return true;
      }
      if (TClock::now() >= deadline) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  };

  if (!catalogue.readOnlyUserKnown) {
    const TRefusal refusal = RunDdl(connection, {"CREATE USER " + QuotedName(user) + " PASSWORD '" +
                                                 HandlerLimits().ReadOnlyPassword + "' USING PLUGIN Srp"});
    if (!refusal.Refused())
      log.push_back("Usuário " + user + " (consulta livre, somente leitura) criado no servidor Firebird.");
    else if (stillMissing(refusal, [](const TCatalogue& now) { return !now.readOnlyUserKnown; }))
      warn("o usuário " + user + " não pôde ser criado no servidor Firebird", refusal.message, kWithoutRawQuery);
  }

  if (!catalogue.ungranted.empty()) {
    std::vector<std::string> grants;
    for (const std::string& relation : catalogue.ungranted)
      grants.push_back("GRANT SELECT ON " + QuotedName(relation) + " TO USER " + QuotedName(user));
    const TRefusal refusal = RunDdl(connection, grants);
    if (!refusal.Refused())
      log.push_back("Permissão de leitura dada ao usuário " + user + " (consulta livre) em " +
                    std::to_string(grants.size()) + (grants.size() == 1 ? " tabela." : " tabelas."));
    else if (stillMissing(refusal, [](const TCatalogue& now) { return !now.ungranted.empty(); }))
      warn("a permissão de leitura do usuário " + user + " não pôde ser dada", refusal.message, kWithoutRawQuery);
  }

  int added = 0;
  for (const TSchemaIndex& index : ServerSchemaIndexes()) {
    // A table this database does not have is not ours to create.
    if (!catalogue.tables.contains(UpperCase(index.table)) || catalogue.indexKeys.contains(IndexKey(index)))
      continue;
    // The schema's name, unless the database already uses it for an index of other columns.
    std::string name = index.name;
    for (int n = 2; catalogue.indexNames.contains(UpperCase(name)); ++n) name = index.name + "_" + std::to_string(n);
    const auto started = TClock::now();
    const TRefusal refusal = RunDdl(connection, {CreateStatement(index, name)});
    if (!refusal.Refused()) {
      ++added;
      catalogue.indexKeys.insert(IndexKey(index));
      catalogue.indexNames.insert(UpperCase(name));
      log.push_back("Índice " + name + " criado em " + index.table + " (" + ColumnsText(index) + ") em " +
                    SecondsText(TClock::now() - started) + ".");
    } else if (stillMissing(refusal,
                            [&](const TCatalogue& now) { return !now.indexKeys.contains(IndexKey(index)); })) {
      warn("o índice " + name + " de " + index.table + " não pôde ser criado", refusal.message, kWithoutIndexes);
    }
  }

  if (added > 0) {
    // The optimizer reads each index's selectivity, computed when the index was made: refresh all
    // of them, since in a database filled after its creation the older ones describe empty tables.
    const auto started = TClock::now();
    std::vector<std::string> statements;
    try {
      TFbQuery query(connection);
      query.SetSql({"Select Trim(RDB$INDEX_NAME) From RDB$INDICES Where Coalesce(RDB$SYSTEM_FLAG, 0) = 0"});
      for (query.Open(); !query.Eof(); query.Next())
        statements.push_back("SET STATISTICS INDEX " + QuotedName(query.AsString(size_t{0})));
      query.Close();
    } catch (const std::exception& e) {
      statements.clear();
      warn("a seletividade dos índices não pôde ser atualizada", OneLine(e.what()), kWithoutIndexes);
    }
    if (!statements.empty()) {
      if (const TRefusal refusal = RunDdl(connection, statements); !refusal.Refused())
        log.push_back("Seletividade de " + std::to_string(statements.size()) + " índices atualizada em " +
                      SecondsText(TClock::now() - started) + ".");
      else if (!refusal.raced)  // another server refreshing them at the same moment does the same
        warn("a seletividade dos índices não pôde ser atualizada", refusal.message, kWithoutIndexes);
    }
  }

  if (log.empty()) log.push_back("Banco de dados em dia: permissões da consulta livre e índices presentes.");
  return log;
}

}  // namespace livrexa
