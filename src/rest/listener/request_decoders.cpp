#include "rest/listener/detail/request_decoders.h"

#include "rest/http/http_request.h"
#include "rest/listener/detail/listener_files.h"
#include "rest/params/dw_params.h"
#include "rest/params/json_value.h"
#include "rest/params/param_list_tools.h"
#include "rest/wire/text_codec.h"
#include "rest/wire/text_tools.h"

namespace livrexa {
namespace {

// Lines as a list of texts splits them: at CR LF, a lone LF or a lone CR; a final line break
// gives no extra empty line.
std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      lines.emplace_back(text.substr(start));
      break;
    }
    lines.emplace_back(text.substr(start, end - start));
    start = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
  }
  return lines;
}

std::vector<std::string_view> SplitAt(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find(separator, start);
    if (end == std::string_view::npos) {
      parts.push_back(text.substr(start));
      return parts;
    }
    parts.push_back(text.substr(start, end - start));
    start = end + 1;
  }
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\r\n";
  return text;
}

// The UTF-8 bytes of a text taken one by one as characters (Latin-1 code points).
std::string BytesAsCharacters(std::string_view utf8) {
  std::string out;
  for (const char c : utf8) AppendUtf8(out, static_cast<unsigned char>(c));
  return out;
}

TJSONParam& NewInput(TDWParams& list, std::string_view name) {
  return list.AddNew(std::string(name), TObjectDirection::odIN);
}

// The "undefined" parameter: the one already in the list, or a new one (appended by the caller).
void SetUndefined(TDWParams& list, const std::string& value) {
  if (TJSONParam* existing = list.GetRecName("undefined")) {
    existing->SetValue(value, true);
    return;
  }
  NewInput(list, "undefined").SetValue(value, true);
}

std::string ParamText(const TDWParams* list, std::string_view name, bool& present) {
  const TJSONParam* p = list ? list->GetRecName(name) : nullptr;
  present = p != nullptr;
  return p ? p->AsString() : std::string();
}

}  // namespace

bool ReadSwitch(std::string_view text) {
  return LowerCase(Trim(text)) == "true";
}

std::string ReadSingleValueText(const std::string& text) {
  TJSONValue value;
  value.SetEncoded(true);
  value.LoadFromJSON(text);
  return value.Value();
}

std::string PercentDecode(std::string_view text, TEncodeSelect encoding, bool plus_is_blank) {
  std::string bytes = PercentDecodeBytes(text, plus_is_blank);
  if (encoding == TEncodeSelect::esUtf8) {
    if (IsUtf8(bytes)) return bytes;
    return SanitizeUtf8(bytes);
  }
  for (char& c : bytes)
    if (static_cast<unsigned char>(c) > 127) c = '?';
  return bytes;
}

std::string BodyText(std::string_view body, TEncodeSelect encoding) {
  return encoding == TEncodeSelect::esUtf8 ? SanitizeUtf8(body) : Cp1252ToUtf8(body);
}

namespace {

// The items of a query text, as ParseRESTURL reads them. With skip_known, a named item is not
// appended when the list already holds a parameter of its name: that one wins every lookup.
void AddQueryItems(std::string_view query, TEncodeSelect Encoding, TDWParams& params, std::string& mark,
                   bool skip_known) {
  for (const std::string_view item : SplitAt(query, '&')) {
    if (item.empty()) continue;
    const size_t marker = item.find("dwmark:");
    if (marker != std::string_view::npos) {
      mark = std::string(item.substr(marker + 7));
    } else if (const size_t equals = item.find('='); equals != std::string_view::npos) {
      if (skip_known && params.GetRecName(item.substr(0, equals))) continue;
      NewInput(params, item.substr(0, equals))
          .SetValue(PercentDecode(item.substr(equals + 1), Encoding), true);
    } else {
      SetUndefined(params, std::string(item));
    }
  }
}

// The names of ParseRESTURL's path (a path without "?").
void ReadPathNames(std::string path, TEncodeSelect Encoding, std::string& group_name,
                   std::string& event_name) {
  const size_t n = static_cast<size_t>(std::count(path.begin(), path.end(), '/'));
  if (path.front() == '/') path.erase(0, 1);
  if (path.empty() || path.back() != '/') path += '/';
  const std::vector<std::string_view> segments =
      SplitAt(path, '/');  // ends with the empty text after the last "/"
  for (size_t i = 0; i < n; ++i) {
    const std::string_view segment = i < segments.size() ? segments[i] : std::string_view();
    if (i + 1 == n) {
      event_name = std::string(segment);
    } else {
      std::string decoded = PercentDecode(segment, Encoding);
      if (!decoded.empty()) group_name = std::move(decoded);
    }
  }
}

}  // namespace

void ParseRESTURLForm(std::string_view path, std::string_view query, std::string_view form_text,
                      TEncodeSelect Encoding, std::unique_ptr<TDWParams>& list, std::string& mark,
                      std::string& group_name, std::string& event_name) {
  // A blank but not empty query is glued to the first form item: only the joined text says how.
  if (!query.empty() && Trim(query).empty()) {
    ParseRESTURL(std::string(path) + "?" + std::string(query) + std::string(form_text), Encoding, list, mark,
                 group_name, event_name);
    return;
  }
  group_name.clear();
  event_name.clear();
  TDWParams& params = EnsureList(list, Encoding);
  if (!Contains(path, "/")) return;
  ReadPathNames(std::string(path), Encoding, group_name, event_name);
  AddQueryItems(query, Encoding, params, mark, true);
  AddQueryItems(form_text, Encoding, params, mark, true);
}

void ParseRESTURL(std::string_view Cmd, TEncodeSelect Encoding, std::unique_ptr<TDWParams>& list,
                  std::string& mark, std::string& group_name, std::string& event_name) {
  const size_t question = Cmd.find('?');
  std::string path(Cmd.substr(0, question));
  const std::string_view query =
      question == std::string_view::npos ? std::string_view() : Cmd.substr(question + 1);
  group_name.clear();
  event_name.clear();
  TDWParams& params = EnsureList(list, Encoding);
  if (!Contains(path, "/")) return;
  ReadPathNames(std::move(path), Encoding, group_name, event_name);
  if (query.empty()) return;
  AddQueryItems(query, Encoding, params, mark, false);
}

namespace {

// Calls f with every line of a text, split at CR LF, a lone LF or a lone CR (as SplitLines).
template <class F>
void ForEachLine(std::string_view text, F&& f) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      f(text.substr(start));
      return;
    }
    f(text.substr(start, end - start));
    start = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
  }
}

}  // namespace

namespace {

void AddFormLine(TDWParams& params, std::string_view line, TEncodeSelect Encoding, std::string& mark) {
  if (line.empty()) return;
  const size_t marker = line.find("dwmark:");
  if (marker != std::string::npos) {
    mark = std::string(line.substr(marker + 7));
    return;
  }
  const size_t equals = line.find('=');
  TJSONParam* param;
  if (Contains(line, kJsonParamPrefix)) {
    auto fresh = std::make_unique<TJSONParam>(params.Encoding());
    fresh->SetObjectDirection(TObjectDirection::odIN);
    fresh->FromJSON(equals == std::string_view::npos ? line : Trim(line.substr(equals + 1)));
    param = params.Add(std::move(fresh));
  } else {
    const std::string_view value =
        equals == std::string_view::npos ? std::string_view() : Trim(line.substr(equals + 1));
    param = &NewInput(params, line.substr(0, equals));
    if (Encoding == TEncodeSelect::esUtf8) {
      param->SetAsString(BytesAsCharacters(value));
    } else {
      param->SetAsString(value);
    }
    if (value.empty()) param->SetEncoded(false);
    return;
  }
  if (param->AsString().empty()) param->SetEncoded(false);
}

}  // namespace

void ParseWebFormsParams(std::unique_ptr<TDWParams>& list, const std::vector<std::string>& engine_params,
                         std::string_view MethodType, TEncodeSelect Encoding, std::string& mark,
                         std::string& group_name, std::string& event_name, std::string_view Query,
                         std::string_view path) {
  TDWParams& params = EnsureList(list, Encoding);

  std::string items;
  const size_t question = path.find('?');
  if (question == std::string_view::npos) {
    group_name.clear();
    event_name.clear();
    std::string rest(path);
    const size_t slash = rest.find('/');
    rest = (slash == std::string::npos ? rest : rest.substr(slash + 1)) + "/";
    std::vector<std::string_view> segments = SplitAt(rest, '/');
    segments.pop_back();  // the empty text after the final "/"
    for (const std::string_view segment : segments) {
      if (group_name.empty() || (!group_name.empty() && !event_name.empty())) {
        group_name = event_name;
        event_name = std::string(segment);
      } else if (event_name.empty()) {
        event_name = std::string(segment);
      }
    }
    if (event_name.empty()) {
      event_name = group_name;
      group_name.clear();
    }
  } else {
    event_name = ReplaceAll(std::string(path.substr(0, question)), "/", "");
    items = std::string(path.substr(question + 1));
  }

  // Percent-decoding here reads the escaped bytes as UTF-8 and leaves "+" alone.
  const auto decode = [](std::string_view text) { return PercentDecode(text, TEncodeSelect::esUtf8); };
  const bool is_post = MethodType == "POST";
  if (engine_params.empty() || !is_post) {
    const bool use_engine_lines =
        !engine_params.empty() && question == std::string_view::npos && Query.empty();
    std::string extra;
    if (use_engine_lines) {
      extra = MethodType == "GET" ? JoinLines(engine_params) : decode(JoinLines(engine_params));
    } else {
      extra = decode(Query);
    }
    if (!items.empty() && !extra.empty()) items += "&";
    items += extra;
    items = ReplaceAll(items, "\r\n", "&");
    for (const std::string_view item : SplitAt(items, '&')) {
      if (item.empty()) continue;
      const size_t marker = item.find("dwmark:");
      if (marker != std::string_view::npos) {
        mark = std::string(item.substr(marker + 7));
        continue;
      }
      const size_t equals = item.find('=');
      if (equals == std::string_view::npos) {
        NewInput(params, "").SetAsString(std::string(item));
      } else {
        NewInput(params, Trim(item.substr(0, equals)))
            .SetAsString(std::string(Trim(item.substr(equals + 1))));
      }
    }
    return;
  }

  // The engine's lines are percent-decoded and split into lines again one by one (an escape never
  // spans two lines, so this reads as decoding the joined text would), so a large value is not
  // held in several joined copies at once.
  for (const std::string& engine_line : engine_params) {
    // Decoding changes nothing in a line without escapes that is valid UTF-8 (a large value, as
    // a rule): the line is then read as it is.
    const bool unchanged = engine_line.find('%') == std::string::npos && IsUtf8(engine_line);
    const std::string decoded = unchanged ? std::string() : decode(engine_line);
    ForEachLine(unchanged ? std::string_view(engine_line) : std::string_view(decoded),
                [&](std::string_view line) { AddFormLine(params, line, Encoding, mark); });
  }
}

void ParseWebFormsParams(const std::vector<std::string>& engine_params, std::string_view path,
                         std::string_view MethodType, std::unique_ptr<TDWParams>& list,
                         TEncodeSelect Encoding, std::string& mark, std::string& group_name,
                         std::string& event_name, std::string_view Query) {
  ParseWebFormsParams(list, engine_params, MethodType, Encoding, mark, group_name, event_name, Query, path);
}

bool ParseDWParamsURL(std::string_view Cmd, TEncodeSelect Encoding, std::unique_ptr<TDWParams>& list) {
  const std::vector<std::string> lines = SplitLines(Cmd);
  if (lines.size() > 1) {
    std::string text(Trim(Cmd));
    text = ReplaceAll(text, "\xC3\xAF\xC2\xBB\xC2\xBF", "");  // a byte-order mark read as single-byte text
    text = ReplaceAll(text, "\r\n", "");
    TDWParams& params = EnsureList(list, Encoding);
    if (!text.empty() && (text.front() == '[' || text.front() == '{')) {
      NewInput(params, "UNDEFINED").SetValue(text, true);
      return true;
    }
    for (const std::string& line : lines) {
      if (line.empty()) continue;
      const size_t equals = line.find('=');
      NewInput(params, line.substr(0, equals))
          .SetValue(equals == std::string::npos ? std::string() : line.substr(equals + 1), true);
    }
    return true;
  }
  if (lines.empty() || !Contains(lines[0], "=")) return false;

  TDWParams& params = EnsureList(list, Encoding);
  for (const std::string_view item : SplitAt(lines[0], '&')) {
    if (item.empty()) continue;
    const std::string decoded = PercentDecode(item, Encoding, true);
    const size_t equals = decoded.find('=');
    if (equals == std::string::npos) {
      SetUndefined(params, decoded);
    } else {
      NewInput(params, decoded.substr(0, equals)).SetValue(decoded.substr(equals + 1), true);
    }
  }
  return true;
}

void ParseBodyRawToDWParam(std::string_view BodyRaw, TEncodeSelect Encoding,
                           std::unique_ptr<TDWParams>& list) {
  if (BodyRaw.empty()) return;
  TDWParams& params = EnsureList(list, Encoding);
  bool present = false;
  std::string name = ParamText(&params, "dwNameParamBody", present);
  if (name.empty()) name = "UNDEFINED";
  NewInput(params, name).SetValue(std::string(BodyRaw), true);
}

void ParseBodyBinToDWParam(std::string_view BodyBin, TEncodeSelect Encoding,
                           std::unique_ptr<TDWParams>& list) {
  if (BodyBin.empty()) return;
  TDWParams& params = EnsureList(list, Encoding);
  bool present = false;
  std::string name = ParamText(&params, "dwParamNameBody", present);
  if (name.empty()) name = "UNDEFINED";
  NewInput(params, name).SetValue(std::string(BodyBin), true);

  const std::string file_name = ParamText(&params, "dwFileNameBody", present);
  if (file_name.empty()) return;
  NewInput(params, "dwfilename").SetValue(file_name, true);
  if (params.GetRecName("Content-Type")) return;
  const std::string type = ContentTypeOfFileName(file_name);
  if (!type.empty()) NewInput(params, "Content-Type").SetValue(type, true);
}

void ReadControlParams(TControlParamSet set, const TDWParams* list, std::string& group_name,
                       TControlValues& controls) {
  bool present = false;
  const auto text = [&](std::string_view name) { return ParamText(list, name, present); };

  if (set == TControlParamSet::kPostPutWithoutBody) {
    const std::string tag = text("dwaccesstag");
    if (present) controls.AccessTag = DecodeText(tag);
    return;
  }

  std::string value = text("dwwelcomemessage");
  if (present) controls.WelcomeMessage = DecodeText(value);
  value = text("dwaccesstag");
  if (present) controls.AccessTag = DecodeText(value);
  value = text("datacompression");
  if (present) controls.DataCompression = ReadSwitch(value);
  value = text("dwencodestrings");
  if (present) controls.EncodeStrings = ReadSwitch(value);
  value = text("dwusecript");
  if (present) controls.UseCript = ReadSwitch(value);
  value = text("dwservereventname");
  if (present) {
    group_name = set == TControlParamSet::kGetWithQuery ? DecodeText(ReadSingleValueText(value)) : value;
  }
  if (set == TControlParamSet::kGetWithQuery || set == TControlParamSet::kGetWithoutQuery) return;

  value = text("dwassyncexec");
  if (present) controls.AssyncExec = ReadSwitch(value);
  if (set == TControlParamSet::kPatchDelete) return;

  value = text("binaryrequest");
  if (present) controls.BinaryRequest = ReadSwitch(value);
  if (set == TControlParamSet::kBinaryDataBinary) {
    const TJSONParam* defs = list ? list->GetRecName("dwConnectionDefs") : nullptr;
    if (defs) controls.ConnectionDefs = ReadSingleValueText(defs->ToJSON());
  }
}

bool IsControlHeaderName(std::string_view lower_name) {
  for (const char* control :
       {"dwwelcomemessage", "dwaccesstag", "datacompression", "dwencodestrings", "dwusecript", "dwassyncexec",
        "binaryrequest", "dwconnectiondefs", "dwservereventname"})
    if (Contains(lower_name, control)) return true;
  return false;
}

void DropValuesTheHeaderPassReads(std::string& form_text, std::string_view query,
                                  const std::vector<std::string>& engine_params, size_t threshold) {
  // A blank query is glued to the first form item, whose name then differs: nothing is dropped.
  if (!query.empty() && Trim(query).empty()) return;
  std::string kept;
  size_t item_index = 0;  // the engine's list starts with the form items, in order, empty ones left out
  size_t start = 0;
  bool dropped = false;
  while (start <= form_text.size()) {
    size_t end = form_text.find('&', start);
    if (end == std::string::npos) end = form_text.size();
    const std::string_view item = std::string_view(form_text).substr(start, end - start);
    std::string_view keep = item;
    if (!item.empty()) {
      const size_t equals = item.find('=');
      const std::string_view name = item.substr(0, equals);
      const std::string* line = item_index < engine_params.size() ? &engine_params[item_index] : nullptr;
      // The header pass reads such a line as it is, under the item's own name, as one parameter.
      const bool read_by_header_pass =
          line && item.size() >= threshold && equals != std::string_view::npos &&
          name.find_first_of("%+") == std::string_view::npos && !Contains(item, "dwmark:") &&
          line->compare(0, name.size() + 1, std::string(name) + "=") == 0 &&
          line->find_first_of("%\r\n") == std::string::npos && !Contains(*line, kJsonParamPrefix) &&
          !Contains(*line, "dwmark:") && IsUtf8(*line);
      if (read_by_header_pass) {
        keep = item.substr(0, equals + 1);
        dropped = true;
      }
      ++item_index;
    }
    if (start > 0) kept += '&';
    kept.append(keep);
    start = end + 1;
  }
  if (dropped) form_text = std::move(kept);
}

void ReadControlHeaders(const HttpRequest& request, TEncodeSelect encoding, std::unique_ptr<TDWParams>& list,
                        std::string& group_name, std::string& event_name, TControlValues& controls) {
  for (const HttpHeader& header : request.headers) {
    const std::string name = LowerCase(header.name);
    const std::string& value = header.value;
    if (Contains(name, "dwwelcomemessage")) {
      controls.WelcomeMessage = DecodeText(value);
    } else if (Contains(name, "dwaccesstag")) {
      controls.AccessTag = DecodeText(value);
    } else if (Contains(name, "datacompression")) {
      controls.DataCompression = ReadSwitch(value);
    } else if (Contains(name, "dwencodestrings")) {
      controls.EncodeStrings = ReadSwitch(value);
    } else if (Contains(name, "dwusecript")) {
      controls.UseCript = ReadSwitch(value);
    } else if (Contains(name, "dwassyncexec")) {
      controls.AssyncExec = ReadSwitch(value);
    } else if (Contains(name, "binaryrequest")) {
      controls.BinaryRequest = ReadSwitch(value);
    } else if (Contains(name, "dwconnectiondefs")) {
      controls.ConnectionDefs = ReadSingleValueText(value);
    } else if (Contains(name, "dwservereventname")) {
      const std::string group = ReadSingleValueText(value);
      const size_t dot = group.find('.');
      group_name = dot == std::string::npos ? group : group.substr(dot + 1);
    } else {
      if (!list) {
        ParseWebFormsParams(list, request.params, "POST", encoding, controls.Mark, group_name, event_name,
                            request.query, request.path);
      }
      auto param = std::make_unique<TJSONParam>(list->Encoding());
      param->SetParamName(name);
      param->SetObjectDirection(TObjectDirection::odIN);
      if (Contains(value, kJsonParamPrefix)) {
        param->FromJSON(value);
      } else {
        param->SetAsString(value);
      }
      list->Add(std::move(param));
    }
  }
}

}  // namespace livrexa
