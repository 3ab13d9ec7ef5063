// The reply of a request: welcome page, compression, files of the program's folder, and the
// reply text framed by JSON mode.

#include <zlib.h>

#include <algorithm>
#include <optional>

#include "rest/listener/detail/listener_files.h"
#include "rest/listener/detail/listener_request.h"
#include "rest/listener/listener.h"
#include "rest/params/dw_params.h"
#include "rest/wire/errors.h"
#include "rest/wire/text_codec.h"
#include "rest/wire/text_tools.h"

namespace livrexa {

std::string ReplyTooLargeMessage(uint64_t limit) {
  return "A resposta passa do tamanho máximo permitido (" + std::to_string(limit >> 20) + " MiB).";
}

std::string WelcomePage(const std::vector<std::string>& default_page) {
  if (default_page.empty()) {
    return "<!DOCTYPE html><html><head><meta charset=\"UTF-8\"/><title>ROVU Riruvora - DODO</title></head>"
           "<body><h1>ROVU Riruvora - DODO</h1><h2>Server Status - Online</h2></body></html>";
  }
  std::string page;
  for (const auto& line : default_page) page += line + "\r\n";
  return page;
}

std::string CompressWithLength(std::string_view plain) {
  std::string input(4, '\0');
  const auto length = static_cast<uint32_t>(plain.size());
  for (int i = 0; i < 4; ++i) input[i] = static_cast<char>((length >> (8 * i)) & 0xFF);
  input.append(plain);
  uLongf size = compressBound(static_cast<uLong>(input.size()));
  std::string out(size, '\0');
  if (compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(input.data()),
                static_cast<uLong>(input.size()), Z_DEFAULT_COMPRESSION) != Z_OK) {
    throw LivrexaError("Compression failure");
  }
  out.resize(size);
  return out;
}

void SetReplyBody(HttpReply& reply, int status, std::string body, const std::string& text, bool compress) {
  reply.status = status;
  if (!compress) {
    reply.body = std::move(body);
    return;
  }
  if (status == 200) {
    reply.body = CompressWithLength(body);
    return;
  }
  reply.body.clear();
  reply.reason = EncodeBinary(text);
}

bool TRESTServicePooler::AnswerWithProgramFile(const HttpRequest& request, const TListenerRequest& state,
                                               HttpReply& reply) const {
  const auto lookup = [&](const std::string& path,
                          std::string& name) -> std::optional<std::filesystem::path> {
    name = std::string(Trim(path.empty() || path.front() != '/' ? path : path.substr(1)));
    if (name.find('.') == std::string::npos) return std::nullopt;
    if (auto file = FileInsideFolder(ProgramFolder, name)) return file;
    return FileInsideFolder(ProgramFolder, RootPath + name);
  };
  std::string name;
  std::optional<std::filesystem::path> file = lookup(request.path, name);
  if (!file && !request.referer.empty()) {
    const size_t slash = request.referer.rfind('/');
    const std::string page = slash == std::string::npos ? request.referer : request.referer.substr(slash + 1);
    file = lookup(page + request.path, name);
  }
  std::string bytes;
  if (file) {
    if (!ReadWholeFile(*file, bytes)) return false;
  } else {
    const size_t slash = state.command.find('/');
    const std::string rest = slash == std::string::npos ? std::string() : state.command.substr(slash + 1);
    if (rest.find(".map") == std::string::npos && rest.find(".webdwpc") == std::string::npos) return false;
  }
  const std::string type = ContentTypeOfFileName(name);
  if (!type.empty()) reply.SetHeader("Content-Type", type);
  reply.status = 200;
  reply.body = std::move(bytes);
  return true;
}

void TRESTServicePooler::BuildReply(TListenerRequest& s, HttpReply& reply) const {
  const std::string charset = Encoding == TEncodeSelect::esUtf8 ? "utf-8" : "ansi";
  const std::string type = s.content_type.empty() ? std::string("application/json") : s.content_type;
  const bool binary = s.controls.BinaryRequest && !s.event_name.empty();
  if (!s.event_name.empty()) {
    if (s.json_mode == TJsonMode::jmPureJSON) {
      s.reply_text = Trim(s.result_text).empty() ? std::string("{}") : s.result_text;
    } else {
      const std::string_view t = Trim(s.result_text);
      const bool framed = (Contains(t, '{') && Contains(t, '}')) || (Contains(t, '[') && Contains(t, ']')) ||
                          (!t.empty() && t.front() == '"' && t.back() == '"');
      if (!t.empty() && !framed) s.result_text = "\"" + s.result_text + "\"";
      if (binary) {
        s.reply_text = s.result_text;
        s.status_code = 200;
      } else {
        // The output list text (as TDWParams::ToJSON writes it) straight into the reply text. A
        // parameter's own value is let go as soon as its JSON is written: a reply may hold a text
        // of hundreds of megabytes, which is then never held more than twice.
        std::vector<std::string> texts;
        size_t size = 0;
        for (int i = 0; s.params && i < static_cast<int>(s.params->Count()); ++i) {
          TJSONParam& p = *s.params->GetRec(i);
          if (p.ObjectDirection() != TObjectDirection::odOUT &&
              p.ObjectDirection() != TObjectDirection::odINOUT)
            continue;
          texts.push_back(p.ToJSON());
          p.JSONValue().ClearStoredText();
          size += texts.back().size() + 2;
        }
        s.params.reset();
        constexpr std::string_view kOpen = "{\"PARAMS\":[", kMiddle = "], \"RESULT\":[", kClose = "]}";
        s.reply_text.clear();
        s.reply_text.reserve(kOpen.size() + size + 4 + kMiddle.size() + s.result_text.size() + kClose.size());
        s.reply_text.append(kOpen);
        const size_t outputs_start = s.reply_text.size();
        for (size_t i = 0; i < texts.size(); ++i) {
          if (i > 0) s.reply_text.append(", ");
          s.reply_text.append(texts[i]);
          texts[i] = std::string();
        }
        if (Trim(std::string_view(s.reply_text).substr(outputs_start)).empty()) {
          s.reply_text.resize(outputs_start);
          s.reply_text.append("null");
        }
        s.reply_text.append(kMiddle).append(s.result_text).append(kClose);
      }
    }
  }
  reply.SetHeader("Content-Type", type + "; charset=" + charset);
  if (!s.content_encoding.empty()) reply.SetHeader("Content-Encoding", s.content_encoding);
  std::string body;
  if (binary) {
    TDWParams empty;
    body = (s.params ? *s.params : empty).SaveToStream(TDWParamExpType::tdwpxt_OUT).Bytes();
  } else if (s.controls.DataCompression || OnLastResponse) {
    body = s.reply_text;  // the text is still needed: as the reason phrase, or for the hook
  } else {
    body = std::move(s.reply_text);
  }
  s.params.reset();  // the parameters are in the body now
  if (MaxReplySize > 0 && body.size() > MaxReplySize) {
    body = std::string();
    s.reply_text = ReplyTooLargeMessage(MaxReplySize);
    reply.SetHeader("Content-Type", "text/plain; charset=utf-8");
    reply.headers.erase(
        std::remove_if(reply.headers.begin(), reply.headers.end(),
                       [](const HttpHeader& h) { return SameText(h.name, "Content-Encoding"); }),
        reply.headers.end());
    SetReplyBody(reply, 500, s.reply_text, s.reply_text, s.controls.DataCompression);
    return;
  }
  SetReplyBody(reply, s.status_code, std::move(body), s.reply_text, s.controls.DataCompression);
}

}  // namespace livrexa
