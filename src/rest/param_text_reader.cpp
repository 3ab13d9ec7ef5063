#include "rest/param_text_reader.h"

#include <rapidjson/error/en.h>
#include <rapidjson/memorystream.h>
#include <rapidjson/reader.h>

#include "rest/errors.h"

namespace livrexa {
namespace {

// Streams the whole text through the parser (iteratively, so deep nesting cannot exhaust the
// stack) and keeps only the keys and scalar values of the root object's first members.
class HeadHandler : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, HeadHandler> {
 public:
  explicit HeadHandler(TJsonHead& head) : head_(head) {}

  bool StartObject() {
    Scalar({});
    if (depth_ == 0) rootIsObject_ = true;
    ++depth_;
    return true;
  }
  bool EndObject(rapidjson::SizeType) {
    --depth_;
    return true;
  }
  bool StartArray() {
    Scalar({});
    ++depth_;
    return true;
  }
  bool EndArray(rapidjson::SizeType) {
    --depth_;
    return true;
  }
  bool Key(const char* str, rapidjson::SizeType length, bool) {
    if (depth_ == 1 && rootIsObject_) {
      if (head_.MemberCount < TJsonHead::kKept) head_.Keys[head_.MemberCount].assign(str, length);
      ++head_.MemberCount;
    }
    return true;
  }
  bool String(const char* str, rapidjson::SizeType length, bool) {
    Scalar(std::string_view(str, length));
    return true;
  }
  bool RawNumber(const char* str, rapidjson::SizeType length, bool) {
    Scalar(std::string_view(str, length));
    return true;
  }
  bool Null() {
    Scalar("null");
    return true;
  }
  bool Bool(bool b) {
    Scalar(b ? "true" : "false");
    return true;
  }

 private:
  // A value directly under the root object belongs to the member whose key came last.
  void Scalar(std::string_view text) {
    if (depth_ == 1 && rootIsObject_ && head_.MemberCount >= 1 && head_.MemberCount <= TJsonHead::kKept)
      head_.Values[head_.MemberCount - 1].assign(text);
  }

  TJsonHead& head_;
  int depth_ = 0;
  bool rootIsObject_ = false;
};

}  // namespace

std::string RemoveCrLfPairs(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      ++i;
      continue;
    }
    out.push_back(text[i]);
  }
  return out;
}

TJsonHead ReadJsonHead(std::string_view text) {
  TJsonHead head;
  if (text.empty() || (text.front() != '{' && text.front() != '[')) return head;
  HeadHandler handler(head);
  rapidjson::MemoryStream stream(text.data(), text.size());
  rapidjson::Reader reader;
  const rapidjson::ParseResult ok =
      reader.Parse<rapidjson::kParseIterativeFlag | rapidjson::kParseNumbersAsStringsFlag>(stream, handler);
  if (!ok) {
    throw LivrexaError("Invalid JSON text at byte offset " + std::to_string(ok.Offset()) + ": " +
                       rapidjson::GetParseError_En(ok.Code()));
  }
  return head;
}

std::string_view CutValueText(std::string_view raw) {
  constexpr std::string_view kMarker = "\"ValueType\":\"";
  const size_t marker = raw.find(kMarker);
  if (marker == std::string_view::npos) return {};
  std::string_view rest = raw.substr(marker + kMarker.size());
  const size_t colon = rest.find(':');
  if (colon == std::string_view::npos) return {};
  rest.remove_prefix(colon + 1);
  if (!rest.empty() && rest.front() == '"') rest.remove_prefix(1);
  if (rest == "}") return {};
  const size_t brace = rest.rfind('}');
  rest = brace == std::string_view::npos ? std::string_view{} : rest.substr(0, brace);
  if (!rest.empty() && rest.back() == '"') rest.remove_suffix(1);
  return rest;
}

}  // namespace livrexa
