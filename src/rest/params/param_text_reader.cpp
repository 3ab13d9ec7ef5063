#include "rest/params/detail/param_text_reader.h"

#include <rapidjson/error/en.h>
#include <rapidjson/memorystream.h>
#include <rapidjson/reader.h>

#include "rest/wire/errors.h"

namespace livrexa {
namespace {

// Streams the whole text through the parser (iteratively, so deep nesting cannot exhaust the
// stack) and keeps only the keys and scalar values of the root object's first members.
class HeadHandler : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, HeadHandler> {
 public:
  // stop_at_fifth_key: the parse ends right after the root's fifth key (see ReadJsonHead).
  HeadHandler(TJsonHead& head, bool stop_at_fifth_key) : head_(head), stop_(stop_at_fifth_key) {}
  bool Stopped() const { return stopped_; }

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
      if (stop_ && head_.MemberCount == TJsonHead::kKept) {
        stopped_ = true;
        return false;
      }
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
  // A value directly under the root object belongs to the member whose key came last; the fifth
  // one (a parameter's value, which may be most of a request) is not kept.
  void Scalar(std::string_view text) {
    if (depth_ == 1 && rootIsObject_ && head_.MemberCount >= 1 && head_.MemberCount < TJsonHead::kKept)
      head_.Values[head_.MemberCount - 1].assign(text);
  }

  TJsonHead& head_;
  bool stop_;
  bool stopped_ = false;
  int depth_ = 0;
  bool rootIsObject_ = false;
};

bool IsJsonBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Whether the text from `at` on is `: "string" }` and nothing more (blanks allowed between), with
// a string the parser would accept: the common end of a parameter text, checked without copying
// the string. Anything else (another kind of value, more members, a \u escape) is left to the
// parser: false.
bool IsPlainStringTail(std::string_view text, size_t at) {
  const auto skip = [&] {
    while (at < text.size() && IsJsonBlank(text[at])) ++at;
  };
  skip();
  if (at >= text.size() || text[at] != ':') return false;
  ++at;
  skip();
  if (at >= text.size() || text[at] != '"') return false;
  for (++at;; ++at) {
    if (at >= text.size()) return false;
    const unsigned char c = static_cast<unsigned char>(text[at]);
    if (c == '"') break;
    if (c < 0x20) return false;
    if (c == '\\') {
      if (++at >= text.size()) return false;
      if (std::string_view("\"\\/bfnrt").find(text[at]) == std::string_view::npos) return false;
    }
  }
  ++at;
  skip();
  if (at >= text.size() || text[at] != '}') return false;
  ++at;
  skip();
  return at == text.size();
}

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
  constexpr unsigned kFlags = rapidjson::kParseIterativeFlag | rapidjson::kParseNumbersAsStringsFlag;
  {
    // The parser copies every string it reads; a parameter's value, the fifth member, may be
    // hundreds of megabytes. The parse stops after the fifth key, and a plain string after it
    // closing the text is checked in place; any other ending is parsed in full below.
    TJsonHead fast;
    HeadHandler handler(fast, true);
    rapidjson::MemoryStream stream(text.data(), text.size());
    rapidjson::Reader reader;
    reader.Parse<kFlags>(stream, handler);
    if (handler.Stopped() && IsPlainStringTail(text, stream.Tell())) return fast;
  }
  HeadHandler handler(head, false);
  rapidjson::MemoryStream stream(text.data(), text.size());
  rapidjson::Reader reader;
  const rapidjson::ParseResult ok = reader.Parse<kFlags>(stream, handler);
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
