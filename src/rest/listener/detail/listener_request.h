#pragma once
// The working state of one request inside the listener, and the steps that the listener splits
// into their own files: decoding by request shape, and building the reply.

#include <memory>
#include <string>

#include "rest/http/http_types.h"
#include "rest/listener/detail/request_decoders.h"
#include "rest/listener/server_events.h"
#include "rest/listener/server_method_module.h"

namespace livrexa {

class TDWParams;

struct TListenerRequest {
  std::string command;  // the request line, trimmed (the protocol words removed after step 3)
  TRequestType request_type = TRequestType::rtGet;
  std::string group_name;
  std::string event_name;
  std::unique_ptr<TDWParams> params;
  TControlValues controls;
  bool accept = true;
  std::string error_text;
  TJsonMode json_mode = TJsonMode::jmDataware;
  int status_code = 200;
  std::string content_type;
  std::string content_encoding;  // the content-encoding label, set once a reply is prepared
  std::string result_text;
  std::string reply_text;
};

// Destroys the handler module on every path; an error of its destruction is ignored.
struct TModuleHolder {
  std::unique_ptr<TServerMethodDataModule> module;
  void Destroy() noexcept {
    try {
      module.reset();
    } catch (...) {
    }
  }
  ~TModuleHolder() { Destroy(); }
};

// Steps 8 and 9: the header pass, then the decoders that the request's shape calls for.
// Large parts of the request that no later step reads (body, form text, engine list) are emptied.
void DecodeRequest(HttpRequest& request, TEncodeSelect encoding, TListenerRequest& state);

// The failure of a reply larger than the listener's MaxReplySize.
std::string ReplyTooLargeMessage(uint64_t limit);

// The welcome page: DefaultPage lines each followed by CR LF, or the built-in page.
std::string WelcomePage(const std::vector<std::string>& default_page);

// The 4-byte little-endian length followed by the bytes, as one zlib stream (default level).
std::string CompressWithLength(std::string_view plain);

// Puts a body on the reply: as it is, or compressed when asked. A compressed reply of a status
// other than 200 has no body and carries the base64 of `text` as its reason phrase.
void SetReplyBody(HttpReply& reply, int status, std::string body, const std::string& text, bool compress);

}  // namespace livrexa
