// The value object's dataset operations: serialising a row set into the value, and rebuilding
// an in-memory table from a dataset text.

#include "rest/dataset/dataset_json.h"
#include "rest/dataset/mem_table.h"
#include "rest/params/json_value.h"
#include "rest/wire/errors.h"

namespace livrexa {

void TJSONValue::LoadFromDataset(const std::string& TableName, TRowSet& bValue, bool EncodedValue,
                                 TJsonMode JsonModeD, const std::string& DateTimeFormat,
                                 const std::string& /*DelimiterFormat*/, bool DataType,
                                 bool HeaderLowercase) {
  vObjectValue = TObjectValue::ovDataSet;
  vTypeObject = TTypeObject::toDataset;
  vObjectDirection = TObjectDirection::odINOUT;
  vEncoded = EncodedValue;
  vDataType = DataType;
  vtagName = LowerCase(TableName);
  if (JsonModeD == TJsonMode::jmDataware && Trim(TableName).empty()) vtagName = "rdwtable";

  TDatasetWriteOptions options;
  options.EncodedValue = EncodedValue;
  options.JsonMode = JsonModeD;
  options.DateTimeFormat = DateTimeFormat;
  options.HeaderLowercase = HeaderLowercase;
  options.Utf8SpecialChars = vUtf8SpecialChars;
  options.FloatDecimalFormat = vFloatDecimalFormat;
  options.Encoding = vEncoding;
  bool nonAscii = false;
  std::string text = WriteDatasetText(bValue, options, &nonAscii);

  // Texts of thousands of rows are pure ASCII (every value encoded): they are kept without a
  // conversion pass, which would return them unchanged under either encoding.
  vNullValue = text.empty();
  aValue = nonAscii ? TextToBytes(text) : std::move(text);
  vJsonMode = JsonModeD;
}

void TJSONValue::WriteToDataset(TDatasetType DatasetType, const std::string& JSONValue, TFDMemTable& DestDS,
                                bool /*ClearDataset: the destination is always rebuilt*/) {
  if (DatasetType != TDatasetType::dtFull) throw LivrexaError("Unsupported dataset type");
  TDatasetReadOptions options;
  options.Utf8SpecialChars = vUtf8SpecialChars;
  options.OnWriterProcess = vOnWriterProcess;
  options.OnHead = [this](const TDatasetTextHead& head) {
    vTypeObject = head.TypeObject;
    vObjectDirection = head.Direction;
    vEncoded = head.Encoded;
    vObjectValue = head.ObjectValue;
    vtagName = head.TagName;
  };
  ReadDatasetText(JSONValue, DestDS, options);
}

}  // namespace livrexa
