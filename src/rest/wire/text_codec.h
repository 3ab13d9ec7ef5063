#pragma once
// Text and byte encodings shared by the wire formats. Texts inside the server are UTF-8;
// the clients' single-byte code page is Windows-1252.

#include <string>
#include <string_view>

namespace livrexa {

// base64 (standard alphabet, "=" padding, no line breaks) of a text's UTF-8 bytes; "" stays "".
std::string EncodeText(std::string_view text);
// base64 back to bytes, read as UTF-8 (malformed sequences become U+FFFD).
std::string DecodeText(std::string_view base64);
// base64 of raw bytes, and back. Decoding ignores characters outside the alphabet and line breaks.
std::string EncodeBinary(std::string_view bytes);
// Appends the base64 of the bytes to out.
void AppendBase64(std::string& out, std::string_view bytes);
// The length of the base64 form of `size` bytes, and that form written at dst (which has room).
constexpr size_t Base64Length(size_t size) {
  return 4 * ((size + 2) / 3);
}
void EncodeBase64To(char* dst, std::string_view bytes);
std::string DecodeBinary(std::string_view base64);
// Decodes a text of whole groups of alphabet characters, padded with "=" only at its end, into
// out and returns true; returns false for any other text (out then holds no meaning).
bool TryDecodeCleanBase64(std::string_view base64, std::string& out);

// Whether a value a client sent as encoded is base64 at all: alphabet characters with at most two
// "=" at the end, in whole groups (unpadded tails of two or three characters are accepted). Blanks,
// line breaks and backslashes (a JSON-escaped "/") are skipped.
bool IsBase64Text(std::string_view base64);
// DecodeBinary / DecodeText of a value a client sent, failing with a LivrexaError that names
// `what` (a parameter or field) when the value is not base64.
std::string DecodeClientBinary(std::string_view base64, std::string_view what);
std::string DecodeClientText(std::string_view base64, std::string_view what);

// Backslash, double quote, slash, backspace, tab, line feed, form feed and carriage return
// written as their JSON escapes; everything else, non-ASCII included, left as it is.
std::string EscapeJSONText(std::string_view text);
// The escape EscapeJSONText writes for a character (backslash, quote, slash, \b \t \n \f \r),
// or nullptr for a character written as it is.
const char* JsonEscapeOf(char32_t c);

// The 7-bit rule of esASCII: every character above 127 becomes "?" when stored,
// and every byte above 127 reads back as U+FFFD.
std::string Utf8ToAscii7(std::string_view utf8);
std::string Ascii7ToUtf8(std::string_view bytes);

// Windows-1252: characters outside the code page become "?".
std::string Utf8ToCp1252(std::string_view utf8);
std::string Cp1252ToUtf8(std::string_view bytes);

// A text with malformed UTF-8 sequences replaced by U+FFFD (valid text is returned unchanged).
std::string SanitizeUtf8(std::string_view bytes);
// The same for bytes the caller gives up: valid text is kept without a copy.
std::string SanitizeUtf8(std::string&& bytes);
// Whether the bytes are valid UTF-8 (SanitizeUtf8 would return them unchanged).
bool IsUtf8(std::string_view bytes);

// Decodes the next code point of a UTF-8 text at pos and advances pos; a malformed
// sequence gives U+FFFD and advances one byte.
char32_t NextCodePoint(std::string_view utf8, size_t& pos);
void AppendUtf8(std::string& out, char32_t cp);

}  // namespace livrexa
