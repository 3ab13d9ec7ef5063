// Feeds arbitrary text to the single-parameter reader, then reads the parameter back every way
// a handler or the reply builder would. Only LivrexaError may come out.
#include <cstddef>
#include <cstdint>
#include <string>

#include "rest/params/json_param.h"
#include "rest/wire/errors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace livrexa;
  const std::string text(reinterpret_cast<const char*>(data), size);
  TJSONParam p(TEncodeSelect::esASCII);
  try {
    p.FromJSON(text);
  } catch (const LivrexaError&) {
    return 0;
  }
  (void)p.ToJSON();
  // Every read decodes the value, which fails with a message when an encoded one is not base64.
  for (const auto read :
       {+[](const TJSONParam& q) { (void)q.IsEmpty(); }, +[](const TJSONParam& q) { (void)q.AsBoolean(); },
        +[](const TJSONParam& q) { (void)q.GetValue(TObjectValue::ovBlob); },
        +[](const TJSONParam& q) { (void)q.AsInteger(); }, +[](const TJSONParam& q) { (void)q.AsLargeInt(); },
        +[](const TJSONParam& q) { (void)q.AsFloat(); }, +[](const TJSONParam& q) { (void)q.AsDateTime(); },
        +[](const TJSONParam& q) { (void)q.GetVariantValue(); }}) {
    try {
      read(p);
    } catch (const LivrexaError&) {
    }
  }
  return 0;
}
