// The base64 encoder (OpenSSL's, written in place) for every tail length, and the one-pass decoder of clean
// texts against the tolerant decoder it stands in front of: the same bytes for every clean text,
// and every other text left to the tolerant one (line breaks, missing padding, stray characters).

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <random>
#include <string>

#include "rest/wire/errors.h"
#include "rest/wire/text_codec.h"

namespace livrexa {
namespace {

std::string OpenSslEncode(const std::string& bytes) {
  std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
  const int n =
      EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                      reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
  out.resize(static_cast<size_t>(n));
  return out;
}

TEST(Base64Paths, EveryLengthEncodesAsOpenSslAndDecodesBackInOnePass) {
  std::mt19937 rng(11);
  for (size_t size = 0; size <= 300; ++size) {
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(rng());
    const std::string encoded = EncodeBinary(bytes);
    ASSERT_EQ(encoded, OpenSslEncode(bytes)) << size;
    std::string appended = "x";
    AppendBase64(appended, bytes);
    EXPECT_EQ(appended, "x" + encoded);
    // Written in place, the text takes its own room and not a byte more.
    std::string room(Base64Length(size) + 1, 'Z');
    EncodeBase64To(room.data(), bytes);
    EXPECT_EQ(room, encoded + "Z") << size;
    std::string decoded;
    ASSERT_TRUE(TryDecodeCleanBase64(encoded, decoded)) << size;
    EXPECT_EQ(decoded, bytes) << size;
    EXPECT_EQ(DecodeBinary(encoded), bytes);
    EXPECT_EQ(DecodeClientBinary(encoded, "campo X"), bytes);
  }
}

TEST(Base64Paths, OnlyCleanTextsTakeTheOnePassDecoder) {
  struct Case {
    const char* text;
    bool clean;
    const char* bytes;  // what DecodeBinary gives either way
  } cases[] = {
      {"T0s=", true, "OK"},      {"QQ==", true, "A"}, {"QR==", true, "A"},  // stray bits of the last symbol
                                                                            // are dropped
      {"T0s", false, "OK"},                                                 // padding missing
      {"T0\r\ns=", false, "OK"},                                            // a line break inside
      {"T0s=T0s=", false, "OK"},  // padding in the middle: the tolerant reading
      {"====", false, ""},       {"Q===", false, ""}, {"QQ=A", false, "A"}, {"T0s!", false, "OK"},
  };
  for (const Case& c : cases) {
    std::string out;
    EXPECT_EQ(TryDecodeCleanBase64(c.text, out), c.clean) << c.text;
    if (c.clean) {
      EXPECT_EQ(out, c.bytes) << c.text;
    }
  }
  // The tolerant reading of the texts the one-pass decoder leaves (as the earlier decoder read them).
  EXPECT_EQ(DecodeBinary("T0s"), "OK");
  EXPECT_EQ(DecodeBinary("T0\r\ns="), "OK");
  EXPECT_EQ(DecodeBinary("T0s!"), "OK");
}

TEST(Base64Paths, ClientValuesStillFailWithTheFieldNamedAndTextsStayValidUtf8) {
  EXPECT_EQ(DecodeClientText("QcOnw6Nv", "campo T"), "Ação");
  EXPECT_EQ(DecodeClientText("T0s", "campo T"), "OK");
  // A malformed byte decoded from clean base64 becomes U+FFFD, as on the tolerant path.
  EXPECT_EQ(DecodeClientText(EncodeBinary("a\xC3"), "campo T"), "a\xEF\xBF\xBD");
  EXPECT_EQ(DecodeClientText(EncodeBinary("\xEF\xBF\xBD"), "campo T"), "\xEF\xBF\xBD");
  try {
    DecodeClientBinary("não é base64", "campo T21_Foto");
    FAIL() << "no failure";
  } catch (const LivrexaError& e) {
    EXPECT_NE(std::string(e.what()).find("campo T21_Foto"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace livrexa
