#pragma once
// The cipher of parameter values that a request asks for with "dwusecript".
//
// AES-256 (Rijndael with a 128-bit block) in CBC mode with PKCS#7 padding. The key is the
// SHA-256 digest of the key text's UTF-8 bytes. Each enciphering draws a fresh random 16-byte
// initialisation vector. Text form: base64 (standard alphabet, "=" padding) of the vector
// followed by the cipher bytes; the plain text is taken as its UTF-8 bytes. An empty text
// stays empty both ways.

#include <string>
#include <string_view>

namespace livrexa {

std::string EncipherText(std::string_view plain, std::string_view key_text);

// Fails with LivrexaError("Invalid ciphered text") for a text that is not in the form above or
// was enciphered with another key (detected by the padding check).
std::string DecipherText(std::string_view ciphered, std::string_view key_text);

}  // namespace livrexa
