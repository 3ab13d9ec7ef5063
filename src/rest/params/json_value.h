#pragma once
// The value object: one value of a parameter (or a whole dataset text) kept as the bytes of its
// text in the object's encoding, with the flags that decide how the text is framed in JSON.
// The fields are named as the wire format names them; the parameter that owns the value sets
// them directly, other code goes through the accessors.

#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "rest/dataset/dataset_json.h"
#include "rest/dataset/row_set.h"
#include "rest/wire/wire_consts.h"

namespace livrexa {

class TJSONValue {
 public:
  // The stored text (bytes of the value's encoding) and the flags that frame it, for the code
  // around the parameters; the setters assign without side effects.
  const std::string& StoredText() const { return aValue; }
  void SetStoredText(std::string Text) { aValue = std::move(Text); }
  // Lets go of the stored text once it has been sent on (a result may be hundreds of megabytes).
  void ClearStoredText() { aValue = std::string(); }
  TTypeObject TypeObject() const { return vTypeObject; }
  void SetTypeObject(TTypeObject Value) { vTypeObject = Value; }
  TObjectDirection ObjectDirection() const { return vObjectDirection; }
  TObjectValue ObjectValue() const { return vObjectValue; }
  void SetObjectValue(TObjectValue Value) { vObjectValue = Value; }
  bool Encoded() const { return vEncoded; }
  void SetEncoded(bool Value) { vEncoded = Value; }
  bool Binary() const { return vBinary; }
  void SetNullValue(bool Value) { vNullValue = Value; }
  TJsonMode JsonMode() const { return vJsonMode; }
  void SetJsonMode(TJsonMode Value) { vJsonMode = Value; }
  const std::string& TagName() const { return vtagName; }
  void SetTagName(std::string Value) { vtagName = std::move(Value); }
  void SetOnWriterProcess(TOnWriterProcess Value) { vOnWriterProcess = std::move(Value); }
  void SetUtf8SpecialChars(bool Value) { vUtf8SpecialChars = Value; }

  // Stores a text: the encoded flag becomes Encode and the null flag is cleared. The binary
  // kinds with bytes keep the text as given (it is already base64) and set the binary flag;
  // other kinds clear it and store EncodeText(Value) when Encode is true.
  void SetValue(const std::string& Value, bool Encode = true);

  // The value as text: quotes and surrounding blanks stripped, base64 decoded when encoded
  // (except the base64 of binary kinds, returned as it is).
  std::string Value() const;

  // The value's JSON text (the five-member object in jmDataware, the bare text otherwise).
  std::string ToJSON() const;

  // Reads a single value's JSON text (the five-member object, members taken by position).
  // A text that is not valid JSON fails with a LivrexaError naming the byte offset.
  void LoadFromJSON(const std::string& bValue);

  void SetEncoding(TEncodeSelect Value) { vEncoding = Value; }
  bool IsNull() const { return vNullValue; }
  // Null again, with an empty encoded value.
  void Clear();

  // The JSON text of this value object for the stored text s (or a replacement such as "null").
  std::string ValueText(std::string_view s) const;

  // Writes a text into the stored bytes: "" and "null" store nothing (and make the value null
  // unless it is one of the memo/string kinds); texts, dates, datasets and floats are kept in
  // double quotes (floats with "D" turned back into the decimal separator), other kinds bare.
  void WriteValue(std::string_view text);
  // WriteValue(EncodeText(plain)) written straight into the value, without the encoded text in
  // between; false (nothing done) for the cases WriteValue treats otherwise.
  bool WriteEncoded(std::string_view plain);

  // Text <-> stored bytes by vEncoding: UTF-8 for esUtf8; the 7-bit rule for esASCII and esANSI
  // (characters above 127 become "?"; bytes above 127 read back as U+FFFD).
  std::string TextToBytes(std::string_view text) const;
  std::string BytesToText(std::string_view bytes) const;

  // Dataset JSON (implemented in json_value_dataset.cpp): serialise every row of a row set into
  // this value object, and rebuild an in-memory table from a dataset text.
  void LoadFromDataset(const std::string& TableName, TRowSet& bValue, bool EncodedValue = true,
                       TJsonMode JsonModeD = TJsonMode::jmDataware, const std::string& DateTimeFormat = "",
                       const std::string& DelimiterFormat = "", bool DataType = false,
                       bool HeaderLowercase = false);
  void WriteToDataset(TDatasetType DatasetType, const std::string& JSONValue, TFDMemTable& DestDS,
                      bool ClearDataset = true);

 private:
  // The parameter that owns a value object sets these directly as it stores a value.
  friend class TJSONParam;

  bool vDataType = false;  // dataset option carried for the dataset writer
  TJsonMode vJsonMode = TJsonMode::jmDataware;
  bool vNullValue = true;
  bool vBinary = true;               // the stored text is the base64 form of raw bytes
  bool vUtf8SpecialChars = true;     // escaping variant for unencoded dataset text
  bool vEncoded = false;             // the stored text is in the base64 (EncodeText) form
  std::string vFloatDecimalFormat;   // decimal marker used in jmPureJSON
  std::string vtagName = "TAGJSON";  // the key under which the value is written
  TTypeObject vTypeObject = TTypeObject::toObject;
  TObjectDirection vObjectDirection = TObjectDirection::odINOUT;
  TObjectValue vObjectValue = TObjectValue::ovString;
  std::string aValue;  // the stored text as bytes of vEncoding
  TEncodeSelect vEncoding = TEncodeSelect::esUtf8;
  TOnWriterProcess vOnWriterProcess;
};

}  // namespace livrexa
