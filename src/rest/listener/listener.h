#pragma once
// TRESTServicePooler: the server's only network entrance. It owns the HTTP engine, checks the
// Basic credentials of every request, decodes the group, event, control values and parameters,
// creates a fresh handler module per request, runs the event and writes the reply.
//
// Deliberate limits of the engine underneath (see http_server.h): at most MaxConnections
// connections at once (others wait in the listen backlog) and MaxConnectionsPerPeer from one
// address; a request head must arrive within HeadTimeout of the accept and its body at
// MinBodyRate; no read waits longer than IdleTimeout; a reply must be written within WriteTimeout
// plus its size at MinWriteRate; a body over MaxBodySize is refused with 413 without being read,
// and so is a request with more than MaxParams parameters; a reply over MaxReplySize is refused
// with 500 and a message instead of being sent.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "rest/http/http_types.h"
#include "rest/listener/server_method_module.h"
#include "rest/wire/wire_consts.h"

namespace livrexa {

class HttpServer;
struct TListenerRequest;
struct TModuleHolder;

struct TServerParams {
  bool HasAuthentication = true;
  std::string UserName = "Tivel";
  std::string Password = "Tivel1968";
};

struct TCriptOptions {
  bool Use = false;  // not consulted on the request path
  std::string Key = "ZMPLOWKEY8841";
};

class TRESTServicePooler {
 public:
  TRESTServicePooler();
  ~TRESTServicePooler();
  TRESTServicePooler(const TRESTServicePooler&) = delete;
  TRESTServicePooler& operator=(const TRESTServicePooler&) = delete;

  // On: listen on ServicePort on every local address (or BindAddresses). A failure to listen is
  // raised as a LivrexaError with the engine's message. Off: stop listening.
  bool Active() const;
  void SetActive(bool value);

  uint16_t ServicePort = 8082;
  TServerParams ServerParams;
  TEncodeSelect Encoding = TEncodeSelect::esASCII;
  int RequestTimeout = -1;  // read time-out in ms; -1 and 0 leave the engine's idle time-out
  std::string RootPath = "/";
  std::vector<std::string> DefaultPage;
  bool CORS = false;
  std::vector<std::string> CORS_CustomHeaders = {
      "Access-Control-Allow-Methods:GET, POST, PATCH, PUT, DELETE, OPTIONS",
      "Access-Control-Allow-Headers:Content-Type, Origin, Accept, Authorization, X-CUSTOM-HEADER"};
  bool ForceWelcomeAccess = false;
  TCriptOptions CriptOptions;
  bool MultiCORE = true;
  std::function<void(const std::string&)> OnLastRequest;
  std::function<void(const std::string&)> OnLastResponse;

  // The handler-module class; an empty value leaves the previous one.
  const TServerMethodClass& ServerMethodClass() const { return server_method_class_; }
  void SetServerMethodClass(const TServerMethodClass& value);

  // Where files are looked up. Static files (answered before authentication) come only from
  // StaticFolder, never from anywhere else on the machine; files of the program's folder
  // (answered for an unknown event) only from ProgramFolder.
  std::filesystem::path StaticFolder;
  std::filesystem::path ProgramFolder;

  // Engine settings.
  std::vector<std::string> BindAddresses;  // empty: every local address
  size_t MaxConnections = 256;
  size_t MaxConnectionsPerPeer = 16;
  std::chrono::milliseconds IdleTimeout{60000};
  std::chrono::milliseconds HeadTimeout{10000};
  std::chrono::milliseconds BodyGrace{10000};
  uint64_t MinBodyRate = 8 * 1024;  // bytes per second
  std::chrono::milliseconds WriteTimeout{60000};
  uint64_t MinWriteRate = 8 * 1024;  // bytes per second
  uint64_t MaxBodySize = 256ull << 20;
  size_t MaxParams = 1000;
  uint64_t MaxReplySize = 1ull << 30;

  // The port actually listened on (ServicePort, or the one the system chose for port 0).
  uint16_t BoundPort() const;

  // One request, on the thread of its connection; the effect is the reply.
  void ProcessRequest(HttpRequest& request, HttpReply& reply, HttpEarlyReply& early) const;

 private:
  // The steps of ProcessRequest, in their order. Those returning bool return whether they answered
  // the request (DecodeWithinLimit: whether the request goes on).
  // Steps 1-2: the open-origin header, then the CORS headers when enabled.
  void AddOriginHeaders(HttpReply& reply) const;
  // Step 3: a file of StaticFolder for a GET of a name with a dot.
  bool AnswerStaticFile(const HttpRequest& request, const TListenerRequest& state, HttpReply& reply) const;
  // Step 5: the 401 reply when the Basic credentials are not the server's.
  bool RefuseCredentials(const HttpRequest& request, HttpReply& reply) const;
  // Steps 8-9: the decoders, under the MaxParams limit (refused with 413 above it).
  bool DecodeWithinLimit(HttpRequest& request, TListenerRequest& state, HttpReply& reply) const;
  // Step 10: the handler module made and told about the client and its welcome message.
  void OpenModule(const HttpRequest& request, HttpEarlyReply& early, TListenerRequest& state,
                  TModuleHolder& holder) const;
  // Steps 12-15: the event's name, the welcome page or the event run. Returns whether a file of
  // the program's folder answered instead.
  bool AnswerEvent(const HttpRequest& request, HttpReply& reply, HttpEarlyReply& early,
                   TServerMethodDataModule& module, TListenerRequest& state) const;
  // Step 14: reply preparation, the asynchronous reply and the cipher of the parameters.
  void PrepareEventReply(const HttpReply& reply, HttpEarlyReply& early, TListenerRequest& state) const;
  // Step 15: the reserved names, then the module's events. Returns whether an event was found.
  bool DispatchByName(const HttpRequest& request, TServerMethodDataModule& module,
                      TListenerRequest& state) const;
  // Step 15's fallback: a file of the program's folder named by the path (or by the referring
  // page and the path). Returns whether it answered.
  bool AnswerWithProgramFile(const HttpRequest& request, const TListenerRequest& state,
                             HttpReply& reply) const;
  // Step 17: the reply text by JSON mode, headers, status and body.
  void BuildReply(TListenerRequest& state, HttpReply& reply) const;

  TServerMethodClass server_method_class_;
  std::unique_ptr<HttpServer> server_;
};

}  // namespace livrexa
