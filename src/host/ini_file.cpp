#include "host/ini_file.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "rest/wire/errors.h"
#include "rest/wire/wire_consts.h"

namespace livrexa::host {
namespace {

// "[NAME]" (blanks around allowed) gives NAME; anything else is no section header.
std::optional<std::string> SectionName(const std::string& line) {
  std::string_view text = Trim(line);
  if (text.size() < 2 || text.front() != '[' || text.back() != ']') return std::nullopt;
  return std::string(Trim(text.substr(1, text.size() - 2)));
}

bool IsComment(std::string_view trimmed) {
  return !trimmed.empty() && (trimmed[0] == ';' || trimmed[0] == '#');
}

// For a "Key=Value" line: the key (blanks trimmed) and the offset of the value.
std::optional<std::pair<std::string, size_t>> KeyOf(const std::string& line) {
  if (IsComment(Trim(line))) return std::nullopt;
  size_t eq = line.find('=');
  if (eq == std::string::npos) return std::nullopt;
  std::string key(Trim(std::string_view(line).substr(0, eq)));
  if (key.empty()) return std::nullopt;
  return std::make_pair(key, eq + 1);
}

struct TSectionRange {
  size_t header;  // index of the "[...]" line
  size_t end;     // one past the last line of the section
};

std::optional<TSectionRange> FindSection(const std::vector<std::string>& lines, const std::string& section) {
  for (size_t i = 0; i < lines.size(); ++i) {
    auto name = SectionName(lines[i]);
    if (!name || !SameText(*name, section)) continue;
    size_t end = i + 1;
    while (end < lines.size() && !SectionName(lines[end])) ++end;
    return TSectionRange{i, end};
  }
  return std::nullopt;
}

}  // namespace

std::optional<int> ParseIniInteger(const std::string& text) {
  std::string trimmed(Trim(text));
  if (trimmed.empty()) return std::nullopt;
  size_t pos = (trimmed[0] == '+' || trimmed[0] == '-') ? 1 : 0;
  if (pos == trimmed.size()) return std::nullopt;
  for (size_t i = pos; i < trimmed.size(); ++i)
    if (trimmed[i] < '0' || trimmed[i] > '9') return std::nullopt;
  errno = 0;
  long long value = std::strtoll(trimmed.c_str(), nullptr, 10);
  if (errno == ERANGE || value < INT_MIN || value > INT_MAX) return std::nullopt;
  return static_cast<int>(value);
}

TIniFile::TIniFile(std::filesystem::path path) : path_(std::move(path)) {
  std::ifstream in(path_, std::ios::binary);
  if (!in) return;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines_.push_back(line);
  }
}

std::optional<std::string> TIniFile::Find(const std::string& section, const std::string& key) const {
  auto range = FindSection(lines_, section);
  if (!range) return std::nullopt;
  for (size_t i = range->header + 1; i < range->end; ++i) {
    auto found = KeyOf(lines_[i]);
    if (found && SameText(found->first, key)) return lines_[i].substr(found->second);
  }
  return std::nullopt;
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& defaultValue) const {
  return Find(section, key).value_or(defaultValue);
}

int TIniFile::ReadInteger(const std::string& section, const std::string& key, int defaultValue) const {
  auto text = Find(section, key);
  if (!text) return defaultValue;
  return ParseIniInteger(*text).value_or(defaultValue);
}

void TIniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
  auto range = FindSection(lines_, section);
  if (!range) {
    if (!lines_.empty() && !Trim(lines_.back()).empty()) lines_.emplace_back();
    lines_.push_back("[" + section + "]");
    lines_.push_back(key + "=" + value);
    return;
  }
  for (size_t i = range->header + 1; i < range->end; ++i) {
    auto found = KeyOf(lines_[i]);
    if (found && SameText(found->first, key)) {
      lines_[i] = lines_[i].substr(0, found->second) + value;
      return;
    }
  }
  // New key: after the last non-blank line of the section, so blank separators stay below it.
  size_t insertAt = range->end;
  while (insertAt > range->header + 1 && Trim(lines_[insertAt - 1]).empty()) --insertAt;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt), key + "=" + value);
}

void TIniFile::WriteInteger(const std::string& section, const std::string& key, int value) {
  WriteString(section, key, std::to_string(value));
}

void TIniFile::UpdateFile() const {
  std::filesystem::path temporary = path_;
  temporary += ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) throw LivrexaError("Não foi possível gravar o arquivo " + path_.string());
    for (const auto& line : lines_) out << line << "\r\n";
    out.flush();
    if (!out) throw LivrexaError("Não foi possível gravar o arquivo " + path_.string());
  }
  std::error_code ec;
  std::filesystem::rename(temporary, path_, ec);
  if (ec) {
    std::filesystem::remove(temporary, ec);
    throw LivrexaError("Não foi possível gravar o arquivo " + path_.string());
  }
}

}  // namespace livrexa::host
