#include "rest/wire/text_tools.h"

#include <cstdint>
#include <cstring>

namespace livrexa {
namespace {

char AsciiUpper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}
char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

}  // namespace

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  }
  return true;
}

std::string UpperCase(std::string_view s) {
  std::string out(s);
  for (auto& c : out) c = AsciiUpper(c);
  return out;
}

std::string LowerCase(std::string_view s) {
  std::string out(s);
  for (auto& c : out) c = AsciiLower(c);
  return out;
}

std::string_view Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return s.substr(b, e - b);
}

std::string_view TrimBlanks(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
  return s.substr(b, e - b);
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (AsciiLower(text[i]) != AsciiLower(prefix[i])) return false;
  }
  return true;
}

// Compared in place: every request's content type goes through here.
bool ContainsNoCase(std::string_view text, std::string_view part) {
  if (part.size() > text.size()) return false;
  for (size_t at = 0; at + part.size() <= text.size(); ++at) {
    if (StartsWithNoCase(text.substr(at), part)) return true;
  }
  return false;
}

std::string ReplaceAll(std::string text, std::string_view from, std::string_view to) {
  size_t pos = 0;
  while ((pos = text.find(from, pos)) != std::string::npos) {
    text.replace(pos, from.size(), to);
    pos += to.size();
  }
  return text;
}

void RemoveAll(std::string& text, std::string_view part) {
  size_t pos;
  while ((pos = text.find(part)) != std::string::npos) text.erase(pos, part.size());
}

bool IsAscii(std::string_view text) {
  // 32 bytes per step, high bits gathered without branching: dataset texts are megabytes long
  // and nearly always pure ASCII.
  constexpr uint64_t kHigh = 0x8080808080808080ULL;
  size_t i = 0;
  for (; i + 32 <= text.size(); i += 32) {
    uint64_t w[4];
    std::memcpy(w, text.data() + i, sizeof w);
    if ((w[0] | w[1] | w[2] | w[3]) & kHigh) return false;
  }
  for (; i < text.size(); ++i)
    if (static_cast<unsigned char>(text[i]) >= 0x80) return false;
  return true;
}

}  // namespace livrexa
