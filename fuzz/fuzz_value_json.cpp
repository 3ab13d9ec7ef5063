// Feeds arbitrary text to the single-value reader (with the encoded flag off and on), then
// reads the value and writes its JSON text. Only LivrexaError may come out.
#include <cstddef>
#include <cstdint>
#include <string>

#include "rest/params/json_value.h"
#include "rest/wire/errors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace livrexa;
  const std::string text(reinterpret_cast<const char*>(data), size);
  for (const bool encoded : {false, true}) {
    TJSONValue v;
    v.SetEncoded(encoded);
    v.SetEncoding(encoded ? TEncodeSelect::esASCII : TEncodeSelect::esUtf8);
    try {
      v.LoadFromJSON(text);
    } catch (const LivrexaError&) {
      continue;
    }
    (void)v.Value();
    (void)v.ToJSON();
  }
  return 0;
}
