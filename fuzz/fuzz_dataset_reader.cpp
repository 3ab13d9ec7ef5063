// The dataset reader must fail with a message, never crash, on any text a client can send.
// Each input is read into an in-memory table as "Grava" does; a table that reads is written
// back and read again, so the writer is exercised on every shape of table the reader can build.

#include <cstddef>
#include <cstdint>
#include <string>

#include "rest/dataset/mem_table.h"
#include "rest/params/json_value.h"
#include "rest/wire/errors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace livrexa;
  const std::string text(reinterpret_cast<const char*>(data), size);
  TFDMemTable table;
  try {
    TJSONValue reader;
    reader.WriteToDataset(TDatasetType::dtFull, text, table, true);
  } catch (const LivrexaError&) {
    return 0;
  }
  if (!table.Active()) return 0;
  try {
    TJSONValue writer;
    writer.SetEncoding(TEncodeSelect::esASCII);
    writer.LoadFromDataset("temp", table);
    const std::string written = writer.ToJSON();
    TFDMemTable again;
    TJSONValue reader;
    reader.WriteToDataset(TDatasetType::dtFull, written, again, true);
  } catch (const LivrexaError&) {
  }
  return 0;
}
