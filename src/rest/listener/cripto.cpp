#include "rest/listener/detail/cripto.h"

#include <openssl/evp.h>
#include <openssl/rand.h>
#include <openssl/sha.h>

#include <array>
#include <memory>

#include "rest/wire/errors.h"
#include "rest/wire/text_codec.h"

namespace livrexa {
namespace {

constexpr size_t kNonce = 12;
constexpr size_t kTag = 16;
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

const unsigned char* Bytes(std::string_view s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}
unsigned char* Bytes(std::string& s) {
  return reinterpret_cast<unsigned char*>(s.data());
}

}  // namespace

std::string EncipherText(std::string_view plain, std::string_view key_text) {
  if (plain.empty()) return {};
  const Key key = DeriveKey(key_text);
  std::string out(kNonce + plain.size() + kTag, '\0');
  if (RAND_bytes(Bytes(out), static_cast<int>(kNonce)) != 1)
    throw LivrexaError("No random bytes for the cipher");
  Context ctx(EVP_CIPHER_CTX_new());
  int written = 0;
  int final_part = 0;
  unsigned char* dest = Bytes(out) + kNonce;
  if (!ctx || EVP_EncryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, nullptr, nullptr) != 1 ||
      EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_IVLEN, static_cast<int>(kNonce), nullptr) != 1 ||
      EVP_EncryptInit_ex(ctx.get(), nullptr, nullptr, key.data(), Bytes(out)) != 1 ||
      EVP_EncryptUpdate(ctx.get(), dest, &written, Bytes(plain), static_cast<int>(plain.size())) != 1 ||
      EVP_EncryptFinal_ex(ctx.get(), dest + written, &final_part) != 1 ||
      EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_GET_TAG, static_cast<int>(kTag), dest + plain.size()) !=
          1) {
    throw LivrexaError("Cipher failure");
  }
  return EncodeBinary(out);
}

std::string DecipherText(std::string_view ciphered, std::string_view key_text) {
  if (ciphered.empty()) return {};
  std::string bytes = DecodeBinary(ciphered);
  if (bytes.size() < kNonce + kTag + 1) throw LivrexaError("Invalid ciphered text");
  const size_t length = bytes.size() - kNonce - kTag;
  const Key key = DeriveKey(key_text);
  Context ctx(EVP_CIPHER_CTX_new());
  std::string plain(length, '\0');
  int written = 0;
  int final_part = 0;
  unsigned char* nonce = Bytes(bytes);
  if (!ctx || EVP_DecryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, nullptr, nullptr) != 1 ||
      EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_IVLEN, static_cast<int>(kNonce), nullptr) != 1 ||
      EVP_DecryptInit_ex(ctx.get(), nullptr, nullptr, key.data(), nonce) != 1 ||
      EVP_DecryptUpdate(ctx.get(), Bytes(plain), &written, nonce + kNonce, static_cast<int>(length)) != 1 ||
      EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_TAG, static_cast<int>(kTag), nonce + kNonce + length) !=
          1 ||
      EVP_DecryptFinal_ex(ctx.get(), Bytes(plain) + written, &final_part) != 1) {
    throw LivrexaError("Invalid ciphered text");
  }
  plain.resize(static_cast<size_t>(written + final_part));
  return plain;
}

}  // namespace livrexa
