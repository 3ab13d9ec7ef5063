// The cipher of "dwusecript": round trips, and a wrong key or a changed text refused.

#include "rest/listener/detail/cripto.h"
#include "rest/wire/errors.h"
#include "test_listener_fixture.h"

namespace livrexa::test {
namespace {

TEST(ListenerCipher, RoundTrips) {
  const std::string long_text(5000, 'x');
  struct Case {
    std::string plain, key;
  } cases[] = {{"Ana", "ZMPLOWKEY8841"},
               {"A\xC3\xA7\xC3\xA3o", "ZMPLOWKEY8841"},
               {long_text, "k"},
               {"exactly sixteen!", ""},
               {std::string("\0\x01", 2), "chave"}};
  for (const auto& c : cases) {
    const std::string ciphered = EncipherText(c.plain, c.key);
    EXPECT_NE(ciphered, c.plain);
    EXPECT_EQ(ciphered, EncodeBinary(DecodeBinary(ciphered))) << "the text form is plain base64";
    EXPECT_EQ(DecipherText(ciphered, c.key), c.plain) << c.key;
  }
  EXPECT_EQ(EncipherText("", "k"), "");
  EXPECT_EQ(DecipherText("", "k"), "");
}

TEST(ListenerCipher, EachEncipheringDiffers) {
  const std::string a = EncipherText("Ana", "k");
  const std::string b = EncipherText("Ana", "k");
  EXPECT_NE(a, b);
  EXPECT_EQ(DecipherText(a, "k"), DecipherText(b, "k"));
}

TEST(ListenerCipher, WrongKeyOrChangedTextIsRefused) {
  const std::string ciphered = EncipherText("segredo", "ZMPLOWKEY8841");
  std::string bytes = DecodeBinary(ciphered);
  bytes[bytes.size() / 2] ^= 1;
  const std::string cases[] = {"not base64 at all!", EncodeBinary("short"), EncodeBinary(bytes)};
  for (const auto& text : cases) {
    EXPECT_THROW(DecipherText(text, "ZMPLOWKEY8841"), LivrexaError) << text;
  }
  try {
    DecipherText(ciphered, "zmplowkey8841");
    FAIL() << "a key in other case deciphered";
  } catch (const LivrexaError& e) {
    EXPECT_STREQ(e.what(), "Invalid ciphered text");
  }
}

TEST_F(ListenerTest, UseCriptMarksTheParametersWithTheListenersKey) {
  const std::string ciphered = EncipherText("Ana", "ZMPLOWKEY8841");
  EXPECT_EQ(Get("/Consulta?Flag=1&dwusecript=true&Filtro=" + UrlEncode(ciphered)).body,
            ConsultaReply("flag=1;filtro=Ana;desativados=0"));
  EXPECT_EQ(Get("/Consulta?Flag=1&Filtro=" + UrlEncode(ciphered), "dwusecript: true\r\n").body,
            ConsultaReply("flag=1;filtro=Ana;desativados=0"));
  // Without the switch the text reaches the event as sent.
  EXPECT_EQ(Get("/Consulta?Flag=1&Filtro=" + UrlEncode(ciphered)).body,
            ConsultaReply("flag=1;filtro=" + ciphered + ";desativados=0"));
  // Enciphered with another key: the event's read fails, which the event reports as 500.
  EXPECT_EQ(Get("/Consulta?Flag=1&dwusecript=true&Filtro=" + UrlEncode(EncipherText("Ana", "other"))).status,
            500);
}

}  // namespace
}  // namespace livrexa::test
