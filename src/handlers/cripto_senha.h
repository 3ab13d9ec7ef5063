#pragma once
// The reversible scrambling of stored passwords, shared with the clients: a random start value,
// then each character added to the previous output value (mod 255) and XOR-ed with the next
// character of a fixed key, every value written as two upper-case hexadecimal digits.

#include <string>
#include <string_view>

namespace livrexa {

// The key, 93 upper-case letters and digits, used in order and again from its start.
inline constexpr std::string_view kCriptoSenhaKey =
    "QWRT58NB47PX03MZHCVB8TXQ2PLM7RWNCB5VXQ1TZ9HMBW6QPRZT4NVC8XMW2QBT7ZRPH5CMXN0WQT6BVZ9RPM3XCT417";

// Mode "C" scrambles (with a start value drawn at random); any other mode unscrambles.
// An empty text gives an empty text in both modes. Texts are UTF-8; each character is scrambled
// by its code, so codes from 1 to 255 survive the round trip and higher codes do not.
// Unscrambling a text whose pairs are not hexadecimal, or that has no pair after the start value,
// fails with the runtime's conversion message ("'$<digits>' is not a valid integer value").
std::string CriptoSenha(std::string_view mode, std::string_view text);

// Scrambling with a given start value (0..255): the random draw made explicit.
std::string ScrambleSenha(std::string_view text, int start);

}  // namespace livrexa
