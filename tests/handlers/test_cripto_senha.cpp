// Password scrambling: the round trip of every character code, worked examples, the odd-length
// and too-short texts, and the failures of texts that are not hexadecimal.

#include "handlers/cripto_senha.h"

#include <gtest/gtest.h>

#include <set>

#include "rest/wire/errors.h"
#include "rest/wire/text_codec.h"

namespace livrexa {
namespace {

std::string Utf8Of(char32_t code) {
  std::string s;
  AppendUtf8(s, code);
  return s;
}

TEST(CriptoSenha, EveryCharacterCodeFrom1To255SurvivesTheRoundTrip) {
  for (char32_t code = 1; code <= 255; ++code) {
    const std::string password = Utf8Of(code);
    for (int start = 0; start <= 255; ++start) {
      if (code == 255 && start == 255) continue;  // the one exception, below
      const std::string scrambled = ScrambleSenha(password, start);
      ASSERT_EQ(scrambled.size(), 4u);
      ASSERT_EQ(CriptoSenha("D", scrambled), password)
          << "code " << static_cast<int>(code) << " start " << start;
    }
  }
}

TEST(CriptoSenha, Code255RightAfterAValueOf255ComesBackAsCode0) {
  // (255 + 255) mod 255 = 0, and unscrambling 0 after 255 gives 0 - 255 + 255 = 0: the one pair
  // of values on which the two directions disagree. The clients scramble the same way, so stored
  // passwords keep this property.
  const std::string scrambled = ScrambleSenha(Utf8Of(0xFF), 255);
  EXPECT_EQ(CriptoSenha("D", scrambled), std::string(1, '\0'));
}

TEST(CriptoSenha, LongTextWrapsAroundTheKeyAndStillRoundTrips) {
  // 255 characters: the key of 93 characters is used almost three times over.
  std::string password;
  for (char32_t code = 255; code >= 1; --code) password += Utf8Of(code);
  for (int start : {0, 1, 128, 254}) {
    const std::string scrambled = ScrambleSenha(password, start);
    EXPECT_EQ(scrambled.size(), 2u + 2u * 255u);
    EXPECT_EQ(CriptoSenha("D", scrambled), password) << "start " << start;
  }
}

TEST(CriptoSenha, WorkedExamples) {
  struct Case {
    const char* password;
    int start;
    const char* scrambled;
  };
  // "A" from start 0: (65 + 0) mod 255 = 65, XOR 'Q' (81) = 16 -> "0010".
  // "AA" from start 0: then (65 + 16) mod 255 = 81, XOR 'W' (87) = 6 -> "001006".
  // "ADMIN" from start 0x5A is the demo administrator's stored password.
  const Case cases[] = {
      {"A", 0, "0010"},
      {"AA", 0, "001006"},
      {"admin", 0x5A, "5AEA18D715B6"},
      {"ADMIN", 0x5A, "5ACA58F71556"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ScrambleSenha(c.password, c.start), c.scrambled) << c.password;
    EXPECT_EQ(CriptoSenha("D", c.scrambled), c.password) << c.scrambled;
  }
}

TEST(CriptoSenha, EmptyTextStaysEmptyInBothModes) {
  EXPECT_EQ(CriptoSenha("C", ""), "");
  EXPECT_EQ(CriptoSenha("D", ""), "");
  EXPECT_EQ(CriptoSenha("qualquer", ""), "");
}

TEST(CriptoSenha, ShortAndOddLengthTexts) {
  const std::string scrambled = ScrambleSenha("abc", 0x3C);  // 8 digits
  struct Case {
    std::string text;
    std::string expected;
  };
  const Case cases[] = {
      // Three digits: the third digit alone is the first pair. 0x1 XOR 'Q' = 80, minus 0 -> 'P'.
      {"001", "P"},
      // Seven digits: the seventh is ignored.
      {scrambled.substr(0, 6) + "F", "ab"},
      // Nine digits: the ninth is ignored.
      {scrambled + "7", "abc"},
      // Hexadecimal digits are read in either case.
      {"5aea18d715b6", "admin"},
  };
  for (const Case& c : cases) EXPECT_EQ(CriptoSenha("D", c.text), c.expected) << c.text;
}

TEST(CriptoSenha, TextsThatAreNotPairsOfHexadecimalDigitsFail) {
  struct Case {
    const char* text;
    const char* message;
  };
  const Case cases[] = {
      {"5A", "'$' is not a valid integer value"},  // no pair after the start value
      {"A", "'$' is not a valid integer value"},       {"ZZ10", "'$ZZ' is not a valid integer value"},
      {"00G1", "'$G1' is not a valid integer value"},  {"0010 1", "'$ 1' is not a valid integer value"},
      {"admin", "'$mi' is not a valid integer value"},  // plain text: "ad" and "n" pass as hexadecimal
  };
  for (const Case& c : cases) {
    try {
      CriptoSenha("D", c.text);
      ADD_FAILURE() << c.text << " was accepted";
    } catch (const LivrexaError& e) {
      EXPECT_STREQ(e.what(), c.message) << c.text;
    }
  }
}

TEST(CriptoSenha, CodesAbove255DoNotSurvive) {
  const std::string password = Utf8Of(0x100) + "x" + Utf8Of(0x20AC);  // "Āx€"
  const std::string back = CriptoSenha("D", ScrambleSenha(password, 9));
  // 256 mod 255 comes back as code 1; the "x" after it is intact; the euro sign is lost.
  EXPECT_EQ(back.substr(0, 2), Utf8Of(0x01) + "x");
  EXPECT_NE(back, password);
}

TEST(CriptoSenha, ScramblingDrawsAFreshStartValue) {
  std::set<std::string> starts;
  for (int i = 0; i < 32; ++i) {
    const std::string scrambled = CriptoSenha("C", "segredo");
    EXPECT_EQ(CriptoSenha("D", scrambled), "segredo");
    starts.insert(scrambled.substr(0, 2));
  }
  EXPECT_GT(starts.size(), 1u);
}

TEST(CriptoSenha, OnlyUpperCaseCScrambles) {
  const std::string scrambled = ScrambleSenha("senha", 7);
  EXPECT_EQ(CriptoSenha("c", scrambled), "senha");  // any other mode unscrambles
  EXPECT_EQ(CriptoSenha("D", scrambled), "senha");
  EXPECT_EQ(CriptoSenha("", scrambled), "senha");
}

}  // namespace
}  // namespace livrexa
