#pragma once
// The dataset text: the JSON form in which result sets leave the server and rows to save
// arrive. The writer turns the rows of any row set into the text kept by a value object; the
// reader rebuilds an in-memory table from such a text. The value object's LoadFromDataset and
// WriteToDataset (json_value_dataset.cpp) are thin wrappers over these two.

#include <functional>
#include <string>
#include <string_view>

#include "rest/dataset/mem_table.h"
#include "rest/dataset/row_set.h"
#include "rest/wire/wire_consts.h"

namespace livrexa {

// Called by the dataset reader after each appended row: the table, the 1-based row number, the
// position of the last line, and a flag the callback sets to stop reading after this row.
using TOnWriterProcess =
    std::function<void(TFDMemTable& DataSet, int RecNo, int RecordCount, bool& AbortProcess)>;

struct TDatasetWriteOptions {
  bool EncodedValue = true;  // text values in the EncodeText form; false writes them escaped
  TJsonMode JsonMode = TJsonMode::jmDataware;
  // Not empty: date-time values written with this format (dates with its part before the first
  // blank, times with its part after it) instead of the wire number.
  std::string DateTimeFormat;
  bool HeaderLowercase = false;    // the column objects in lower case
  bool Utf8SpecialChars = true;    // unescaped text: also write non-ASCII and controls as \uXXXX
  std::string FloatDecimalFormat;  // decimal marker of jmPureJSON
  // Anything but esUtf8 sends the lines through Windows-1252 in jmDataware, as the clients'
  // machines would: characters outside that code page become "?".
  TEncodeSelect Encoding = TEncodeSelect::esUtf8;
};

// The header object, ", " and the lines object, for every row of `rows` (the cursor starts and
// ends on the first row). A closed in-memory table is opened; any other closed row set fails.
// nonAscii, when given, tells whether the text has a byte above 127.
std::string WriteDatasetText(TRowSet& rows, const TDatasetWriteOptions& options = {},
                             bool* nonAscii = nullptr);

// The members that open a dataset text, as the reader finds them.
struct TDatasetTextHead {
  TTypeObject TypeObject = TTypeObject::toObject;
  TObjectDirection Direction = TObjectDirection::odOUT;
  bool Encoded = false;
  TObjectValue ObjectValue = TObjectValue::ovSingle;
  std::string TagName;  // the fifth member's key, in lower case
};

struct TDatasetReadOptions {
  bool Utf8SpecialChars = true;  // unescape unencoded text values once more
  TOnWriterProcess OnWriterProcess;
  // Called once the opening members are read, before the destination is touched.
  std::function<void(const TDatasetTextHead&)> OnHead;
};

// Rebuilds `dest` from a dataset text: its definitions and rows come only from the text.
// An empty text, or one without "[", changes nothing. Failures: "Invalid JSON Data..." (the
// destination is closed), "Error on Parse JSON Data...", the JSON parser's syntax error, the
// conversion messages of the values and "Invalid unicode \u%s"; rows posted before stay.
void ReadDatasetText(std::string_view text, TFDMemTable& dest, const TDatasetReadOptions& options = {});

// Decodes \b \f \n \r \t, \uXXXX and a backslash before any other character (which stands for
// itself); a \u without four hexadecimal digits fails with "Invalid unicode \uXXXX".
std::string UnescapeJSONText(std::string_view text);

}  // namespace livrexa
