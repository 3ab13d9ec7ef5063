#include "handlers/gateway/query.h"

#include <cctype>

#include "rest/wire/wire_consts.h"

namespace livrexa {

namespace {

bool IsNameStart(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool IsNameChar(char c) {
  return IsNameStart(c) || (c >= '0' && c <= '9') || c == '$';
}

// The closing delimiter of a q'<open>...<close>' literal.
char QuoteCloser(char open) {
  switch (open) {
    case '(':
      return ')';
    case '[':
      return ']';
    case '{':
      return '}';
    case '<':
      return '>';
    default:
      return open;
  }
}

// Index just past a quoted run that starts at i (the opening quote); doubled quotes stay inside.
size_t SkipQuoted(std::string_view sql, size_t i, char quote) {
  for (++i; i < sql.size(); ++i) {
    if (sql[i] != quote) continue;
    if (i + 1 < sql.size() && sql[i + 1] == quote) {
      ++i;
      continue;
    }
    return i + 1;
  }
  return sql.size();
}

}  // namespace

TSqlParamScan ScanSqlParams(std::string_view sql) {
  TSqlParamScan scan;
  scan.EngineSql.reserve(sql.size());
  size_t i = 0;
  while (i < sql.size()) {
    const char c = sql[i];
    size_t end = i + 1;
    if ((c == 'q' || c == 'Q') && i + 2 < sql.size() && sql[i + 1] == '\'' &&
        (i == 0 || !IsNameChar(sql[i - 1]))) {
      const char closer = QuoteCloser(sql[i + 2]);
      end = sql.size();
      for (size_t j = i + 3; j + 1 < sql.size(); ++j)
        if (sql[j] == closer && sql[j + 1] == '\'') {
          end = j + 2;
          break;
        }
    } else if (c == '\'' || c == '"') {
      end = SkipQuoted(sql, i, c);
    } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
      end = sql.find('\n', i);
      end = end == std::string_view::npos ? sql.size() : end;
    } else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
      end = sql.find("*/", i + 2);
      end = end == std::string_view::npos ? sql.size() : end + 2;
    } else if (c == ':' && i + 1 < sql.size() && IsNameStart(sql[i + 1])) {
      end = i + 2;
      while (end < sql.size() && IsNameChar(sql[end])) ++end;
      const std::string_view name = sql.substr(i + 1, end - i - 1);
      size_t index = 0;
      while (index < scan.Names.size() && !SameText(scan.Names[index], name)) ++index;
      if (index == scan.Names.size()) scan.Names.emplace_back(name);
      scan.Markers.push_back(index);
      scan.EngineSql += '?';
      i = end;
      continue;
    }
    scan.EngineSql.append(sql.substr(i, end - i));
    i = end;
  }
  return scan;
}

std::string FirstSqlKeyword(std::string_view sql) {
  size_t i = 0;
  for (;;) {
    while (i < sql.size() && std::isspace(static_cast<unsigned char>(sql[i]))) ++i;
    if (sql.substr(i, 2) == "--") {
      i = sql.find('\n', i);
      if (i == std::string_view::npos) return {};
    } else if (sql.substr(i, 2) == "/*") {
      i = sql.find("*/", i + 2);
      if (i == std::string_view::npos) return {};
      i += 2;
    } else {
      break;
    }
  }
  size_t end = i;
  while (end < sql.size() && IsNameChar(sql[end])) ++end;
  return UpperCase(sql.substr(i, end - i));
}

}  // namespace livrexa
