#include "rest/listener/listener.h"

#include "rest/http/http_server.h"
#include "rest/listener/detail/cripto.h"
#include "rest/listener/detail/listener_files.h"
#include "rest/listener/detail/listener_request.h"
#include "rest/listener/detail/server_events_dispatch.h"
#include "rest/params/dw_params.h"
#include "rest/params/param_list_tools.h"
#include "rest/wire/errors.h"
#include "rest/wire/text_codec.h"
#include "rest/wire/text_tools.h"

namespace livrexa {
namespace {

constexpr std::string_view kNotAccepted = R"({"MESSAGE":"NOK", "RESULT":"Invalid welcomemessage..."})";
constexpr std::string_view kAsyncReply = R"({"status":"OK", "assyncmsg":"AssyncCommand Executed"})";

// The reserved names, in the order they are compared.
enum class Reserved {
  kNone,
  kGetPoolerList,
  kGetServerEventsList,
  kEchoPooler,
  kRemoteDatabase,
  kGetEvents,
};

Reserved ReservedName(const std::string& event_name) {
  const std::string upper = UpperCase(event_name);
  if (upper == "GETPOOLERLIST") return Reserved::kGetPoolerList;
  if (upper == "GETSERVEREVENTSLIST") return Reserved::kGetServerEventsList;
  if (upper == "ECHOPOOLER") return Reserved::kEchoPooler;
  for (const char* name :
       {"EXECUTECOMMANDPUREJSON", "EXECUTECOMMANDJSON", "APPLYUPDATES", "APPLYUPDATES_MASSIVECACHE",
        "PROCESSMASSIVESQLCACHE", "GETTABLENAMES", "GETFIELDNAMES", "GETKEYFIELDNAMES",
        "INSERTMYSQLRETURNID_PARAMS", "INSERTMYSQLRETURNID", "OPENDATASETS"}) {
    if (upper == name) return Reserved::kRemoteDatabase;
  }
  if (upper == "GETEVENTS") return Reserved::kGetEvents;
  return Reserved::kNone;
}

TRequestHeader HeaderLines(const HttpRequest& request) {
  TRequestHeader lines;
  for (const auto& h : request.headers) lines.push_back(h.name + ": " + h.value);
  return lines;
}

// Step 6: the method from the start of the command; false for any other method.
bool ReadRequestType(TListenerRequest& s) {
  const std::string upper = UpperCase(s.command);
  if (upper.starts_with("GET")) {
    s.request_type = TRequestType::rtGet;
  } else if (upper.starts_with("POST")) {
    s.request_type = TRequestType::rtPost;
  } else if (upper.starts_with("PUT")) {
    s.request_type = TRequestType::rtPut;
  } else if (upper.starts_with("DELE")) {
    s.request_type = TRequestType::rtDelete;
  } else if (upper.starts_with("PATC")) {
    s.request_type = TRequestType::rtPatch;
  } else {
    return false;
  }
  return true;
}

// Step 12: "/group/event" or "/event".
void EventNameFromPath(const std::string& path, TListenerRequest& s) {
  std::string name(Trim(path));
  if (!name.empty() && name.front() == '/') name.erase(0, 1);
  const size_t slash = name.find('/');
  if (slash != std::string::npos) {
    s.group_name = name.substr(0, slash);
    s.event_name = name.substr(slash + 1);
  } else {
    s.event_name = name;
  }
}

}  // namespace

TRESTServicePooler::TRESTServicePooler()
    : StaticFolder(livrexa::ProgramFolder() / "www"), ProgramFolder(livrexa::ProgramFolder()) {}

TRESTServicePooler::~TRESTServicePooler() {
  SetActive(false);
}

bool TRESTServicePooler::Active() const {
  return server_ && server_->Listening();
}

void TRESTServicePooler::SetActive(bool value) {
  if (!value) {
    if (server_) server_->Stop();
    server_.reset();
    return;
  }
  if (Active()) return;
  HttpServerOptions options;
  options.Port = ServicePort;
  options.BindAddresses = BindAddresses;
  options.MaxConnections = MaxConnections;
  options.MaxConnectionsPerPeer = MaxConnectionsPerPeer;
  options.IdleTimeout = RequestTimeout > 0 ? std::chrono::milliseconds(RequestTimeout) : IdleTimeout;
  options.HeadTimeout = HeadTimeout;
  options.BodyGrace = BodyGrace;
  options.MinBodyRate = MinBodyRate;
  options.WriteTimeout = WriteTimeout;
  options.MinWriteRate = MinWriteRate;
  options.MaxBodySize = MaxBodySize;
  options.MaxParams = MaxParams;
  auto server = std::make_unique<HttpServer>(
      options, [this](HttpRequest& request, HttpReply& reply, HttpEarlyReply& early) {
        ProcessRequest(request, reply, early);
      });
  server->Start();  // raises the engine's message when the port cannot be bound
  server_ = std::move(server);
}

uint16_t TRESTServicePooler::BoundPort() const {
  return server_ ? server_->Port() : 0;
}

void TRESTServicePooler::SetServerMethodClass(const TServerMethodClass& value) {
  if (value.Assigned()) server_method_class_ = value;
}

void TRESTServicePooler::ProcessRequest(HttpRequest& request, HttpReply& reply, HttpEarlyReply& early) const {
  TListenerRequest s;

  // 1-2. Command; the open-origin header on every reply, then the CORS headers when enabled.
  s.command = std::string(Trim(request.request_line));
  AddOriginHeaders(reply);

  // 3. Static files, before any authentication.
  if (AnswerStaticFile(request, s, reply)) return;

  // 4-5. Protocol words removed; Basic credentials for every method.
  for (const char* version : {" HTTP/1.0", " HTTP/1.1", " HTTP/2.0", " HTTP/2.1"})
    RemoveAll(s.command, version);
  if (RefuseCredentials(request, reply)) return;

  // 6-7. Method; the favicon.
  if (!ReadRequestType(s)) return;
  if (request.path == "/favicon.ico") return;

  // 8-9. Headers, then the decoders for the request's shape. A request with more parameters than
  // allowed is refused before they are all built.
  if (!DecodeWithinLimit(request, s, reply)) return;
  // The raw body has been decoded into parameters; its memory goes back before the event runs.
  request.body = std::string();
  request.form_text = std::string();
  request.params = std::vector<std::string>();

  // 10. The handler module.
  TModuleHolder holder;
  const bool has_class = server_method_class_.Assigned();
  if (has_class) {
    OpenModule(request, early, s, holder);
  } else {
    s.result_text = Result2JSON({"-5", "Server Methods Cannot Assigned"});
  }

  // 11.
  if (OnLastRequest) OnLastRequest(request.user_agent + "\r\n" + request.request_line);

  // 12-15.
  const bool file_sent = has_class && AnswerEvent(request, reply, early, *holder.module, s);

  // 16. The module goes before the reply is built.
  holder.Destroy();

  // 17. The reply.
  if (!early.EarlySent() && !file_sent) BuildReply(s, reply);

  // 18.
  if (OnLastResponse) OnLastResponse(s.reply_text);
}

void TRESTServicePooler::AddOriginHeaders(HttpReply& reply) const {
  reply.AddHeader("Access-Control-Allow-Origin", "*");
  if (!CORS) return;
  if (CORS_CustomHeaders.empty()) {
    reply.AddHeader("Access-Control-Allow-Methods", "GET, POST, PATCH, PUT, DELETE, OPTIONS");
    reply.AddHeader("Access-Control-Allow-Headers",
                    "Content-Type, Origin, Accept, Authorization, X-CUSTOM-HEADER");
    return;
  }
  for (const auto& line : CORS_CustomHeaders) {
    const size_t colon = line.find(':');
    reply.AddHeader(Trim(line.substr(0, colon)), colon == std::string::npos
                                                     ? std::string_view()
                                                     : Trim(std::string_view(line).substr(colon + 1)));
  }
}

bool TRESTServicePooler::AnswerStaticFile(const HttpRequest& request, const TListenerRequest& s,
                                          HttpReply& reply) const {
  if (UpperCase(s.command.substr(0, 3)) != "GET") return false;
  const std::string name = RootPath + request.path;
  if (name.find('.') == std::string::npos) return false;
  auto file = FileInsideFolder(StaticFolder, name);
  if (!file) file = FileInsideFolder(StaticFolder, RootPath + name);
  std::string bytes;
  if (!file || !ReadWholeFile(*file, bytes)) return false;
  std::string type = ContentTypeOfFileName(name);
  if (UpperCase(s.command).find(".HTML") != std::string::npos) type += "; charset=utf-8";
  reply.SetHeader("Content-Type", type);
  reply.status = 200;
  reply.body = std::move(bytes);
  return true;
}

bool TRESTServicePooler::RefuseCredentials(const HttpRequest& request, HttpReply& reply) const {
  if (!ServerParams.HasAuthentication ||
      (request.auth_user == ServerParams.UserName && request.auth_password == ServerParams.Password))
    return false;
  reply.status = 401;
  reply.SetHeader("WWW-Authenticate", "Basic realm=\"Provide Authentication\"");
  reply.SetHeader("Content-Type", "text/html; charset=utf-8");
  reply.body = "<HTML><BODY><B>401 Unauthorized</B></BODY></HTML>";
  return true;
}

bool TRESTServicePooler::DecodeWithinLimit(HttpRequest& request, TListenerRequest& s,
                                           HttpReply& reply) const {
  try {
    TParamLimitScope limit(MaxParams);
    DecodeRequest(request, Encoding, s);
  } catch (const TTooManyParams& e) {
    reply.status = 413;
    reply.SetHeader("Content-Type", "text/plain; charset=utf-8");
    reply.body = e.what();
    return false;
  }
  return true;
}

void TRESTServicePooler::OpenModule(const HttpRequest& request, HttpEarlyReply& early, TListenerRequest& s,
                                    TModuleHolder& holder) const {
  if (const TJSONParam* p = s.params ? s.params->GetRecName("dwwelcomemessage") : nullptr)
    s.controls.WelcomeMessage = DecodeText(p->AsString());
  if (const TJSONParam* p = s.params ? s.params->GetRecName("dwaccesstag") : nullptr)
    s.controls.AccessTag = DecodeText(p->AsString());
  holder.module = server_method_class_.Create();
  TServerMethodDataModule& module = *holder.module;
  module.Encoding = Encoding;
  module.Client = &early;
  module.SetClientWelcomeMessage(s.controls.WelcomeMessage);
  if (module.ReceivesClientInfo()) {
    module.SetClientInfo(std::string(Trim(request.remote_ip)), request.ipv6 ? "ipv6" : "ipv4",
                         request.remote_port, std::string(Trim(request.user_agent)));
  }
  if (module.OnWelcomeMessage) {
    module.OnWelcomeMessage(s.controls.WelcomeMessage, s.controls.AccessTag, s.controls.ConnectionDefs,
                            s.accept, s.content_type, s.error_text);
  }
}

bool TRESTServicePooler::AnswerEvent(const HttpRequest& request, HttpReply& reply, HttpEarlyReply& early,
                                     TServerMethodDataModule& module, TListenerRequest& s) const {
  // 12. The event name from the path when no decoder found one.
  if (s.event_name.empty() && !request.path.empty()) EventNameFromPath(request.path, s);

  if (s.group_name.empty() && s.event_name.empty()) {
    // 13. The welcome page.
    s.reply_text = WelcomePage(DefaultPage);
    s.content_type = "text/html";
    return false;
  }

  // 14. Reply preparation; the asynchronous reply; the cipher of the parameters.
  PrepareEventReply(reply, early, s);

  // 15. Dispatch by name.
  const bool found = DispatchByName(request, module, s);
  return !found && !early.EarlySent() && AnswerWithProgramFile(request, s, reply);
}

void TRESTServicePooler::PrepareEventReply(const HttpReply& reply, HttpEarlyReply& early,
                                           TListenerRequest& s) const {
  const std::string charset = Encoding == TEncodeSelect::esUtf8 ? "utf-8" : "ansi";
  s.content_type = "application/json";
  s.content_encoding = charset;
  // Read as the parameter's boolean ("true" in any case, or "1").
  const auto read_switch = [&](std::string_view name, bool& target) {
    if (const TJSONParam* p = s.params ? s.params->GetRecName(name) : nullptr) target = p->AsBoolean();
  };
  read_switch("dwassyncexec", s.controls.AssyncExec);
  read_switch("dwusecript", s.controls.UseCript);
  if (s.controls.AssyncExec) {
    HttpReply now;
    now.headers = reply.headers;
    now.SetHeader("Content-Type", "application/json; charset=" + charset);
    now.SetHeader("Content-Encoding", charset);
    SetReplyBody(now, 200, std::string(kAsyncReply), std::string(kAsyncReply), s.controls.DataCompression);
    early.SendEarly(now);
  }
  read_switch("binaryRequest", s.controls.BinaryRequest);
  read_switch("BinaryCompatibleMode", s.controls.BinaryCompatibleMode);
  read_switch("MetadataRequest", s.controls.MetadataRequest);
  if (s.params) {
    s.params->SetDecipher(DecipherText);
    s.params->SetCriptOptions(s.controls.UseCript, CriptOptions.Key);
    for (int i = 0; i < static_cast<int>(s.params->Count()); ++i)
      s.params->GetRec(i)->SetDecipher(DecipherText);
  }
}

bool TRESTServicePooler::DispatchByName(const HttpRequest& request, TServerMethodDataModule& module,
                                        TListenerRequest& s) const {
  const Reserved reserved = ReservedName(s.event_name);
  if (!s.accept && (reserved != Reserved::kGetEvents || ForceWelcomeAccess)) {
    s.result_text = std::string(kNotAccepted);
    if (reserved == Reserved::kGetEvents) {
      if (TJSONParam* message = s.params ? s.params->GetRecName("MessageError") : nullptr) {
        message->SetAsString("Invalid welcomemessage...");
      } else {
        s.status_code = 500;
      }
    }
    return true;
  }
  switch (reserved) {
    case Reserved::kGetServerEventsList: {
      TJSONParam& result = OutputParam(EnsureList(s.params, Encoding), "Result");
      result.SetValue(ServerEventsListing(module, s.controls.AccessTag), result.Encoded());
      s.result_text = std::string(kResultOK);
      return true;
    }
    case Reserved::kGetEvents:
      s.result_text = ListEventsOfGroup(module, s.group_name, s.params, Encoding);
      return true;
    case Reserved::kGetPoolerList:
      OutputParam(EnsureList(s.params, Encoding), "Result").SetAsString("");
      s.result_text = std::string(kResultOK);
      return true;
    case Reserved::kEchoPooler:
      s.result_text = R"({"MESSAGE":"NOK", "RESULT":"Invalid Pooler Name..."})";
      s.status_code = 404;
      return true;
    case Reserved::kRemoteDatabase:
      // This server's modules hold no database-pooler component to run them on.
      throw LivrexaError("Invalid DWParam");
    case Reserved::kNone:
      break;
  }
  const bool found =
      RunServerEvent(module, s, std::function<TRequestHeader()>([&request] { return HeaderLines(request); }));
  if (!found) {
    s.status_code = 404;
    s.json_mode = TJsonMode::jmPureJSON;
  }
  return found;
}

}  // namespace livrexa
