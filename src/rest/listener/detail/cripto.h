#pragma once
// The cipher of parameter values that a request asks for with "dwusecript".
//
// AES-256 (Rijndael with a 128-bit block) in GCM mode. The key is the SHA-256 digest of the
// key text's UTF-8 bytes. Each enciphering draws a fresh random 12-byte nonce. Text form:
// base64 (standard alphabet, "=" padding) of nonce, cipher bytes and the 16-byte
// authentication tag, in this order; the plain text is taken as its UTF-8 bytes. An empty text
// stays empty both ways. The tag makes a wrong key or a damaged text fail instead of giving
// garbage.

#include <string>
#include <string_view>

namespace livrexa {

std::string EncipherText(std::string_view plain, std::string_view key_text);

// Fails with LivrexaError("Invalid ciphered text") for a text that is not in the form above,
// was changed, or was enciphered with another key.
std::string DecipherText(std::string_view ciphered, std::string_view key_text);

}  // namespace livrexa
