// The whole request path in-process: raw bytes through the incremental request reader (fed at
// once and again in small pieces, which must give the same request), the engine's derived items,
// and the listener's ProcessRequest with a module that declares the server's events and reads
// every parameter every way; then the reply head. Only LivrexaError may come out, and the two
// readings of the bytes must agree.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "rest/http/detail/http_wire.h"
#include "rest/http/http_request.h"
#include "rest/listener/listener.h"
#include "rest/listener/server_method_module.h"
#include "rest/params/dw_params.h"
#include "rest/wire/errors.h"

namespace {

using namespace livrexa;

// Reads every parameter of the list as each kind; conversion failures are the reader's business.
void ReadEverything(TDWParams& params) {
  for (int i = 0; i < static_cast<int>(params.Count()); ++i) {
    TJSONParam& p = *params.GetRec(i);
    for (const auto read :
         {+[](TJSONParam& q) { (void)q.AsString(); }, +[](TJSONParam& q) { (void)q.AsInteger(); },
          +[](TJSONParam& q) { (void)q.AsBoolean(); }, +[](TJSONParam& q) { (void)q.AsFloat(); },
          +[](TJSONParam& q) { (void)q.AsDateTime(); }, +[](TJSONParam& q) { (void)q.ToJSON(); }}) {
      try {
        read(p);
      } catch (const LivrexaError&) {
      }
    }
  }
  if (TJSONParam* answer = params.GetRecName("Resposta")) answer->SetAsString("OK");
}

class FuzzModule : public TServerMethodDataModule {
 public:
  FuzzModule() {
    using enum TObjectDirection;
    using enum TObjectValue;
    struct Declared {
      const char* name;
      TObjectDirection direction;
      TObjectValue kind;
    };
    const auto event = [](TDWServerEvents& group, const char* name, std::initializer_list<Declared> params) {
      TDWEvent& e = group.Events.Add(name);
      for (const Declared& d : params) e.DWParams.Add(d.name, d.direction, d.kind, "");
      e.Handlers.OnReplyEvent = [](TDWParams& p, std::string&) { ReadEverything(p); };
    };
    TDWServerEvents& users = AddServerEvents("DWServerEventsT01_USUARI");
    event(users, "ValidaUsuario",
          {{"Usuario", odIN, ovString}, {"Senha", odIN, ovString}, {"Resposta", odOUT, ovString}});
    TDWServerEvents& tools = AddServerEvents("DWServerEventsFerramentas");
    event(tools, "AtualizaServidor", {{"Resposta", odOUT, ovString}});
    TDWServerEvents& general = AddServerEvents("DWServerEventsTAB_GERAL");
    event(general, "Consulta",
          {{"Flag", odIN, ovInteger},
           {"Filtro", odIN, ovString},
           {"Tabela", odOUT, ovString},
           {"Desativados", odIN, ovBoolean},
           {"Resposta", odOUT, ovString}});
    event(general, "Grava",
          {{"Flag", odIN, ovInteger}, {"Tabela", odIN, ovString}, {"Resposta", odOUT, ovString}});
  }
  std::string ClassName() const override { return "TDM"; }
};

class Connection : public HttpEarlyReply {
 public:
  void SendEarly(const HttpReply& reply) override {
    sent_ = true;
    (void)SerializeReplyHead(reply);
  }
  bool EarlySent() const override { return sent_; }

 private:
  bool sent_ = false;
};

TRESTServicePooler& Listener() {
  static TRESTServicePooler* listener = [] {
    auto* l = new TRESTServicePooler();
    l->SetServerMethodClass(TServerMethodClass::Of<FuzzModule>());
    l->StaticFolder = "/nonexistent/livrexa-fuzz/www";
    l->ProgramFolder = "/nonexistent/livrexa-fuzz";
    l->MaxParams = 200;
    return l;
  }();
  return *listener;
}

bool SameRequest(const HttpRequest& a, const HttpRequest& b) {
  if (a.request_line != b.request_line || a.method != b.method || a.target != b.target || a.body != b.body ||
      a.headers.size() != b.headers.size())
    return false;
  for (size_t i = 0; i < a.headers.size(); ++i)
    if (a.headers[i].name != b.headers[i].name || a.headers[i].value != b.headers[i].value) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* bytes = reinterpret_cast<const char*>(data);
  constexpr uint64_t kBodyLimit = 1 << 20;

  HttpRequest whole;
  HttpRequestReader reader(whole, kBodyLimit, 8 * 1024);
  const RequestReadResult result = reader.Feed(bytes, size);

  HttpRequest pieces;
  HttpRequestReader piecewise(pieces, kBodyLimit, 8 * 1024);
  RequestReadResult piece_result = RequestReadResult::kNeedMore;
  for (size_t at = 0; at < size && piece_result == RequestReadResult::kNeedMore; at += 7)
    piece_result = piecewise.Feed(bytes + at, std::min<size_t>(7, size - at));
  // Fed in pieces the parser may still wait where the whole bytes already tell (a start line it
  // reads piece by piece), and may refuse for another reason (a chunk header it reads again after
  // asking for more); but once both readings have decided, they must agree on whether the bytes
  // are a request, and on the request.
  const bool decided = result != RequestReadResult::kNeedMore && piece_result != RequestReadResult::kNeedMore;
  const bool whole_read = result == RequestReadResult::kComplete;
  if (decided && ((piece_result == RequestReadResult::kComplete) != whole_read ||
                  (whole_read && !SameRequest(whole, pieces))))
    std::abort();
  if (result != RequestReadResult::kComplete) return 0;

  whole.remote_ip = "127.0.0.1";
  if (!FillDerivedItems(whole, Listener().MaxParams)) return 0;
  HttpReply reply;
  Connection connection;
  try {
    Listener().ProcessRequest(whole, reply, connection);
  } catch (const LivrexaError&) {
    return 0;
  }
  (void)SerializeReplyHead(reply);
  return 0;
}
