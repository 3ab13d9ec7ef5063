// Multipart bodies: form fields carrying one parameter each (in parameter JSON form), control
// values, files, and the binary parameter form in a "binarydata" part.

#include <optional>

#include "rest/listener/detail/listener_files.h"
#include "rest/listener/detail/request_decoders.h"
#include "rest/params/dw_params.h"
#include "rest/params/param_list_tools.h"
#include "rest/wire/text_codec.h"

namespace livrexa {
namespace {

struct Part {
  std::vector<std::string> header_lines;
  std::string_view content;  // the bytes up to (not including) the CR LF before the next boundary
};

// The "boundary" parameter of a content type, without quotes.
std::string BoundaryOf(std::string_view content_type) {
  const std::string lower = LowerCase(content_type);
  const size_t at = lower.find("boundary=");
  if (at == std::string::npos) return {};
  std::string_view value = content_type.substr(at + 9);
  const size_t semicolon = value.find(';');
  value = Trim(value.substr(0, semicolon));
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
    value = value.substr(1, value.size() - 2);
  return std::string(value);
}

// The end of the line starting at pos (index of its line break, or the body's size) and the
// start of the next line.
void LineAt(std::string_view body, size_t pos, size_t& end, size_t& next) {
  end = body.find('\n', pos);
  if (end == std::string_view::npos) {
    end = next = body.size();
    return;
  }
  next = end + 1;
  if (end > pos && body[end - 1] == '\r') --end;
}

std::vector<Part> SplitParts(std::string_view body, const std::string& boundary) {
  std::vector<Part> parts;
  if (boundary.empty()) return parts;
  const std::string delimiter = "--" + boundary;
  // Skip every line up to and including the first one equal to the delimiter.
  size_t pos = 0;
  bool found = false;
  while (pos < body.size()) {
    size_t end, next;
    LineAt(body, pos, end, next);
    const bool is_delimiter = body.substr(pos, end - pos) == delimiter;
    pos = next;
    if (is_delimiter) {
      found = true;
      break;
    }
  }
  if (!found) return parts;

  while (pos < body.size()) {
    Part part;
    // Header lines up to the empty line.
    while (pos < body.size()) {
      size_t end, next;
      LineAt(body, pos, end, next);
      const std::string_view line = body.substr(pos, end - pos);
      pos = next;
      if (line.empty()) break;
      part.header_lines.emplace_back(line);
    }
    // Content up to the line break before the next delimiter, or to the end of the body.
    size_t close = pos;
    size_t content_end = std::string_view::npos;
    while ((close = body.find(delimiter, close)) != std::string_view::npos) {
      if (close >= 2 && body.substr(close - 2, 2) == "\r\n") {
        content_end = close - 2;
        break;
      }
      if (close >= 1 && body[close - 1] == '\n') {
        content_end = close - 1;
        break;
      }
      if (close == pos) {  // an empty content right after the header
        content_end = close;
        break;
      }
      close += delimiter.size();
    }
    if (content_end == std::string_view::npos) {
      part.content = body.substr(pos);
      parts.push_back(std::move(part));
      break;
    }
    part.content = body.substr(pos, content_end - pos);
    parts.push_back(std::move(part));
    pos = close + delimiter.size();
    if (body.substr(pos, 2) == "--") break;  // the closing delimiter
    size_t end, next;
    LineAt(body, pos, end, next);
    pos = next;
  }
  return parts;
}

// The quoted text that follows `marker` in `text`, up to the next double quote.
std::optional<std::string> QuotedAfter(std::string_view text, std::string_view marker) {
  const size_t at = text.find(marker);
  if (at == std::string_view::npos) return std::nullopt;
  const size_t start = at + marker.size();
  const size_t end = text.find('"', start);
  return std::string(
      text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
}

// The file name of a part (without any folder), or nothing for a plain field.
std::optional<std::string> FileNameOf(const Part& part) {
  for (const auto& line : part.header_lines) {
    const std::string lower = LowerCase(line);
    const size_t at = lower.find("filename=");
    if (at == std::string::npos) continue;
    std::string_view value = std::string_view(line).substr(at + 9);
    if (!value.empty() && value.front() == '"') {
      value.remove_prefix(1);
      value = value.substr(0, value.find('"'));
    } else {
      value = Trim(value.substr(0, value.find(';')));
    }
    const size_t slash = value.find_last_of("/\\");
    return std::string(slash == std::string_view::npos ? value : value.substr(slash + 1));
  }
  return std::nullopt;
}

void LoadBinaryForm(std::string_view bytes, TDWParams& params) {
  TMemoryStream stream{std::string(bytes)};
  params.LoadFromStream(stream, TDWParamExpType::tdwpxt_All);
}

void PlainField(const TMultipartInput& in, const Part& part, bool binary_variant,
                std::unique_ptr<TDWParams>& list, std::string& group_name, TControlValues& controls) {
  // The content is most of the request when it holds a large value: copied only to mend bad UTF-8.
  std::string mended;
  const bool valid = IsUtf8(part.content);
  if (!valid) mended = SanitizeUtf8(part.content);
  const std::string_view content = valid ? part.content : std::string_view(mended);
  std::string h;
  for (const auto& line : part.header_lines) h += (h.empty() ? "" : "\r\n") + line;
  h = LowerCase(h);

  if (Contains(h, "dwwelcomemessage")) {
    controls.WelcomeMessage = DecodeText(content);
  } else if (Contains(h, "dwaccesstag")) {
    controls.AccessTag = DecodeText(content);
  } else if (Contains(h, "dwusecript")) {
    controls.UseCript = ReadSwitch(content);
  } else if (Contains(h, "datacompression")) {
    controls.DataCompression = ReadSwitch(content);
  } else if (Contains(h, "dwencodestrings")) {
    controls.EncodeStrings = ReadSwitch(content);
  } else if (Contains(h, "dwassyncexec")) {
    controls.AssyncExec = ReadSwitch(content);
  } else if (Contains(h, "binaryrequest")) {
    controls.BinaryRequest = ReadSwitch(content);
  } else if (Contains(h, "dwconnectiondefs")) {
    controls.ConnectionDefs = ReadSingleValueText(std::string(content));
  } else if (Contains(h, "dwservereventname")) {
    const std::string group = ReadSingleValueText(std::string(content));
    const size_t dot = group.find('.');
    group_name = dot == std::string::npos ? group : group.substr(dot + 1);
  } else {
    TDWParams& params = EnsureList(list, in.encoding);
    const std::optional<std::string> name = QuotedAfter(h, "; name=\"");
    if (!name || name->empty()) return;  // a field without a name is ignored
    if (!binary_variant && *name == "binarydata") {
      LoadBinaryForm(part.content, params);
      ReadControlParams(TControlParamSet::kBinaryData, &params, group_name, controls);
      return;
    }
    auto param = std::make_unique<TJSONParam>(params.Encoding());
    param->SetObjectDirection(TObjectDirection::odIN);
    param->FromJSON(content);
    param->SetParamName(*name);
    params.Add(std::move(param));
  }
}

void FilePart(const TMultipartInput& in, const Part& part, const std::string& file_name, bool binary_variant,
              std::unique_ptr<TDWParams>& list, std::string& group_name, std::string& event_name,
              TControlValues& controls) {
  std::optional<std::string> name;
  std::string content_type;
  for (const auto& line : part.header_lines) {
    const std::string lower = LowerCase(line);
    if (!name) {
      // Found in the lower-cased line, taken from the line itself at the same place (lower-casing
      // keeps every length), so a marker written in capitals gives the name as it was sent.
      const size_t at = lower.find("; name=\"");
      if (at != std::string::npos) {
        const std::string_view rest = std::string_view(line).substr(at + 8);
        name = std::string(rest.substr(0, rest.find('"')));
      }
    }
    const size_t type_at = lower.find("content-type=");
    if (type_at != std::string::npos && content_type.empty())
      content_type = std::string(Trim(line.substr(type_at + 13)));
  }

  if (!list) {
    if (in.engine_params && !in.engine_params->empty()) {
      ParseWebFormsParams(list, *in.engine_params, "POST", in.encoding, controls.Mark, group_name, event_name,
                          in.query, in.path);
    } else {
      EnsureList(list, in.encoding);
    }
  }
  TDWParams& params = *list;

  if (binary_variant && name && LowerCase(*name) == "binarydata") {
    LoadBinaryForm(part.content, params);
    ReadControlParams(TControlParamSet::kBinaryDataBinary, &params, group_name, controls);
    return;
  }

  const std::string content =
      in.encoding == TEncodeSelect::esUtf8 ? SanitizeUtf8(part.content) : Cp1252ToUtf8(part.content);
  auto param = std::make_unique<TJSONParam>(params.Encoding());
  param->SetObjectDirection(TObjectDirection::odIN);
  if (name && !name->empty()) {
    param->SetParamName(*name);
  } else {
    param->SetParamName("dwfilename");
    param->SetParamFileName(file_name);
    param->SetParamContentType(content_type.empty() ? ContentTypeOfFileName(file_name) : content_type);
  }
  param->SetValue(content, param->Encoded());
  params.Add(std::move(param));
}

}  // namespace

void ParseMultipart(const TMultipartInput& in, bool binary_variant, std::unique_ptr<TDWParams>& list,
                    std::string& group_name, std::string& event_name, TControlValues& controls) {
  if (binary_variant && (!Contains(in.body, "--") || !Contains(in.content_type, "boundary"))) return;
  for (const Part& part : SplitParts(in.body, BoundaryOf(in.content_type))) {
    if (const std::optional<std::string> file_name = FileNameOf(part)) {
      FilePart(in, part, *file_name, binary_variant, list, group_name, event_name, controls);
    } else {
      PlainField(in, part, binary_variant, list, group_name, controls);
    }
  }
}

}  // namespace livrexa
