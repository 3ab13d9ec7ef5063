// Feeds arbitrary bytes to the binary parameter reader (every selection), then writes the list
// again in both forms. Only LivrexaError may come out.
#include <cstddef>
#include <cstdint>
#include <string>

#include "rest/params/dw_params.h"
#include "rest/wire/errors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace livrexa;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  for (const auto selection : {TDWParamExpType::tdwpxt_All, TDWParamExpType::tdwpxt_OUT}) {
    TDWParams list;
    list.SetEncoding(TEncodeSelect::esASCII);
    TMemoryStream stream(bytes);
    try {
      list.LoadFromStream(stream, selection);
    } catch (const LivrexaError&) {
    }
    try {
      (void)list.ToJSON();
      TMemoryStream out = list.SaveToStream();
      TDWParams again;
      again.LoadFromStream(out);
    } catch (const LivrexaError&) {
    }
  }
  return 0;
}
