#pragma once
// The decoders that turn one HTTP request into a parameter list, the group and event names and
// the control values. Each decoder creates the list when it is absent (with the given encoding)
// and appends to it.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "rest/http/http_types.h"
#include "rest/wire/wire_consts.h"

namespace livrexa {

class TDWParams;

// Control values a request may carry besides its parameters.
struct TControlValues {
  std::string WelcomeMessage;
  std::string AccessTag;
  std::string ConnectionDefs;
  std::string Mark;
  bool DataCompression = false;
  bool EncodeStrings = false;
  bool UseCript = false;
  bool AssyncExec = false;
  bool BinaryRequest = false;
  bool BinaryCompatibleMode = false;
  bool MetadataRequest = false;
};

// The text with which every parameter's JSON text begins.
inline constexpr std::string_view kJsonParamPrefix = R"({"ObjectType":"toParam", "Direction":")";

// On when the text, trimmed and lower-cased, is "true".
bool ReadSwitch(std::string_view text);

// The value of a single value's JSON text read with the encoded flag set ("" for a text that
// is not such an object).
std::string ReadSingleValueText(const std::string& text);

// Percent-escapes decoded; the bytes read as UTF-8 under esUtf8 and as 7-bit ASCII otherwise
// (a byte above 127 becomes "?"). "+" is left alone unless plus_is_blank.
std::string PercentDecode(std::string_view text, TEncodeSelect encoding, bool plus_is_blank = false);

// A path with an optional "?" and query text.
void ParseRESTURL(std::string_view Cmd, TEncodeSelect Encoding, std::unique_ptr<TDWParams>& list,
                  std::string& mark, std::string& group_name, std::string& event_name);

// ParseRESTURL over path + "?" + query (+ "&" when the query is not blank) + form_text, read
// without joining those texts. A named item whose name the list already holds is not appended
// again: the one there (the header pass made it from the same form items) wins every lookup.
void ParseRESTURLForm(std::string_view path, std::string_view query, std::string_view form_text,
                      TEncodeSelect Encoding, std::unique_ptr<TDWParams>& list, std::string& mark,
                      std::string& group_name, std::string& event_name);

// The engine's parameter list (lines "name=value"), the method "GET" or "POST", the query text
// and the path.
void ParseWebFormsParams(std::unique_ptr<TDWParams>& list, const std::vector<std::string>& engine_params,
                         std::string_view MethodType, TEncodeSelect Encoding, std::string& mark,
                         std::string& group_name, std::string& event_name, std::string_view Query,
                         std::string_view path);
// The same inputs in the order of the second variant; behaves alike.
void ParseWebFormsParams(const std::vector<std::string>& engine_params, std::string_view path,
                         std::string_view MethodType, std::unique_ptr<TDWParams>& list,
                         TEncodeSelect Encoding, std::string& mark, std::string& group_name,
                         std::string& event_name, std::string_view Query);

// A body of lines or items, each a name, "=" and a value. Returns whether it read anything.
bool ParseDWParamsURL(std::string_view Cmd, TEncodeSelect Encoding, std::unique_ptr<TDWParams>& list);

// A whole body as one parameter, named by "dwNameParamBody" (raw) or "dwParamNameBody" (binary).
void ParseBodyRawToDWParam(std::string_view BodyRaw, TEncodeSelect Encoding,
                           std::unique_ptr<TDWParams>& list);
void ParseBodyBinToDWParam(std::string_view BodyBin, TEncodeSelect Encoding,
                           std::unique_ptr<TDWParams>& list);

// The body's bytes as text: UTF-8 under esUtf8, Windows-1252 otherwise.
std::string BodyText(std::string_view body, TEncodeSelect encoding);

// Multipart bodies. The binary variant is the one used when the request set binaryrequest.
struct TMultipartInput {
  std::string_view body;  // raw bytes
  std::string_view content_type;
  const std::vector<std::string>* engine_params = nullptr;
  std::string_view path;
  std::string_view query;
  TEncodeSelect encoding = TEncodeSelect::esASCII;
};
void ParseMultipart(const TMultipartInput& in, bool binary_variant, std::unique_ptr<TDWParams>& list,
                    std::string& group_name, std::string& event_name, TControlValues& controls);

// Which control parameters are read after decoding, by the request's shape.
enum class TControlParamSet {
  kGetWithQuery,
  kGetWithoutQuery,
  kPatchDelete,
  kBinaryData,        // a "binarydata" part, plain variant
  kBinaryDataBinary,  // a "binarydata" part, binary variant (adds dwConnectionDefs)
  kPostPutWithoutBody,
};
void ReadControlParams(TControlParamSet set, const TDWParams* list, std::string& group_name,
                       TControlValues& controls);

// Whether the header pass takes a header of this name (lower-cased) as a control header.
bool IsControlHeaderName(std::string_view lower_name);

// Empties, in a pure-ASCII form text, the values of items of at least `threshold` bytes that the
// header pass is sure to have turned into parameters of the same name from the engine's list, so
// that ParseRESTURLForm, which skips names the list holds, reads the same without them. Only for
// a request whose header pass creates the list (it has a header that is not a control header),
// before that pass runs: a large form is then not held in three copies at once.
void DropValuesTheHeaderPassReads(std::string& form_text, std::string_view query,
                                  const std::vector<std::string>& engine_params, size_t threshold);

// The header pass: control headers set control values, every other header becomes a parameter;
// the first ordinary header also creates the list from the query or form items.
void ReadControlHeaders(const HttpRequest& request, TEncodeSelect encoding, std::unique_ptr<TDWParams>& list,
                        std::string& group_name, std::string& event_name, TControlValues& controls);

}  // namespace livrexa
