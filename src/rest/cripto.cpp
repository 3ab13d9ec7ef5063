#include "rest/cripto.h"

#include <openssl/evp.h>
#include <openssl/rand.h>
#include <openssl/sha.h>

#include <array>
#include <memory>

#include "rest/errors.h"
#include "rest/text_codec.h"

namespace livrexa {
namespace {

constexpr size_t kBlock = 16;
using Key = std::array<unsigned char, SHA256_DIGEST_LENGTH>;

Key DeriveKey(std::string_view key_text) {
  Key key{};
  SHA256(reinterpret_cast<const unsigned char*>(key_text.data()), key_text.size(), key.data());
  return key;
}

struct ContextFree {
  void operator()(EVP_CIPHER_CTX* c) const { EVP_CIPHER_CTX_free(c); }
};
using Context = std::unique_ptr<EVP_CIPHER_CTX, ContextFree>;

[[noreturn]] void Invalid() {
  throw LivrexaError("Invalid ciphered text");
}

}  // namespace

std::string EncipherText(std::string_view plain, std::string_view key_text) {
  if (plain.empty()) return {};
  const Key key = DeriveKey(key_text);
  std::array<unsigned char, kBlock> iv{};
  if (RAND_bytes(iv.data(), static_cast<int>(iv.size())) != 1)
    throw LivrexaError("No random bytes for the cipher");
  Context ctx(EVP_CIPHER_CTX_new());
  std::string out(kBlock + plain.size() + kBlock, '\0');
  std::copy(iv.begin(), iv.end(), out.begin());
  auto* dest = reinterpret_cast<unsigned char*>(out.data()) + kBlock;
  int written = 0;
  int final_part = 0;
  if (!ctx || EVP_EncryptInit_ex(ctx.get(), EVP_aes_256_cbc(), nullptr, key.data(), iv.data()) != 1 ||
      EVP_EncryptUpdate(ctx.get(), dest, &written, reinterpret_cast<const unsigned char*>(plain.data()),
                        static_cast<int>(plain.size())) != 1 ||
      EVP_EncryptFinal_ex(ctx.get(), dest + written, &final_part) != 1) {
    throw LivrexaError("Cipher failure");
  }
  out.resize(kBlock + static_cast<size_t>(written + final_part));
  return EncodeBinary(out);
}

std::string DecipherText(std::string_view ciphered, std::string_view key_text) {
  if (ciphered.empty()) return {};
  const std::string bytes = DecodeBinary(ciphered);
  if (bytes.size() < 2 * kBlock || bytes.size() % kBlock != 0) Invalid();
  const Key key = DeriveKey(key_text);
  const auto* iv = reinterpret_cast<const unsigned char*>(bytes.data());
  Context ctx(EVP_CIPHER_CTX_new());
  std::string plain(bytes.size(), '\0');
  auto* dest = reinterpret_cast<unsigned char*>(plain.data());
  int written = 0;
  int final_part = 0;
  if (!ctx || EVP_DecryptInit_ex(ctx.get(), EVP_aes_256_cbc(), nullptr, key.data(), iv) != 1 ||
      EVP_DecryptUpdate(ctx.get(), dest, &written, iv + kBlock, static_cast<int>(bytes.size() - kBlock)) !=
          1 ||
      EVP_DecryptFinal_ex(ctx.get(), dest + written, &final_part) != 1) {
    Invalid();
  }
  plain.resize(static_cast<size_t>(written + final_part));
  return plain;
}

}  // namespace livrexa
