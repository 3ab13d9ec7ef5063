#include "handlers/cripto_senha.h"

#include <atomic>
#include <chrono>
#include <random>

#include "rest/wire/errors.h"
#include "rest/wire/text_codec.h"

namespace livrexa {

namespace {

static_assert(kCriptoSenhaKey.size() == 93);

// Advances the key position: 1, 2, ..., 93, then 1 again.
int NextKeyPosition(int k) {
  return k >= static_cast<int>(kCriptoSenhaKey.size()) ? 1 : k + 1;
}
int KeyCode(int k) {
  return static_cast<unsigned char>(kCriptoSenhaKey[static_cast<size_t>(k - 1)]);
}

void AppendHex(std::string& out, int value) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  out += kDigits[(value >> 4) & 0xF];
  out += kDigits[value & 0xF];
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The runtime's StrToInt('$' + digits): one or more hexadecimal digits, in either case.
int HexValue(std::string_view digits) {
  int value = 0;
  for (const char c : digits) {
    const int d = HexDigit(c);
    if (d < 0) {
      value = -1;
      break;
    }
    value = value * 16 + d;
  }
  if (digits.empty() || value < 0)
    throw LivrexaError("'$" + std::string(digits) + "' is not a valid integer value");
  return value;
}

// Up to two characters from a 1-based position, as the runtime's Copy gives them.
std::string_view Pair(std::string_view text, size_t pos) {
  if (pos > text.size()) return {};
  return text.substr(pos - 1, 2);
}

int DrawStart() {
  // Seeded from the clock at every call, as the clients do; the counter keeps two calls within
  // one clock tick apart.
  static std::atomic<unsigned> calls{0};
  const auto ticks = std::chrono::high_resolution_clock::now().time_since_epoch().count();
  std::mt19937 generator(static_cast<unsigned>(ticks) ^ (calls.fetch_add(1) * 0x9E3779B9u));
  return std::uniform_int_distribution<int>(0, 255)(generator);
}

std::string Unscramble(std::string_view text) {
  std::string out;
  int prev = HexValue(Pair(text, 1));
  size_t pos = 3;
  int k = 0;
  do {
    const int c = HexValue(Pair(text, pos));
    k = NextKeyPosition(k);
    const int t = c ^ KeyCode(k);
    const int code = prev < t ? t - prev : t - prev + 255;
    AppendUtf8(out, static_cast<char32_t>(code));
    prev = c;
    pos += 2;
  } while (pos < text.size());
  return out;
}

}  // namespace

std::string ScrambleSenha(std::string_view text, int start) {
  if (text.empty()) return {};
  std::string out;
  AppendHex(out, start);
  int prev = start;
  int k = 0;
  for (size_t pos = 0; pos < text.size();) {
    const char32_t code = NextCodePoint(text, pos);
    int v = static_cast<int>((code + static_cast<char32_t>(prev)) % 255);
    k = NextKeyPosition(k);
    v ^= KeyCode(k);
    AppendHex(out, v);
    prev = v;
  }
  return out;
}

std::string CriptoSenha(std::string_view mode, std::string_view text) {
  if (text.empty()) return {};
  if (mode == "C") return ScrambleSenha(text, DrawStart());
  return Unscramble(text);
}

}  // namespace livrexa
