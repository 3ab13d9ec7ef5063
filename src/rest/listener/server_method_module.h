#pragma once
// The base of the handler modules that the listener creates, one per request. A module owns
// its server-events groups (in the order they were added), learns who the client is before its event
// runs, and may refuse a request through OnWelcomeMessage.

#include <concepts>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "rest/http/http_types.h"
#include "rest/listener/server_events.h"
#include "rest/wire/wire_consts.h"

namespace livrexa {

struct TClientInfo {
  std::string ip = "0.0.0.0";
  std::string ipVersion;
  int port = 0;
  std::string UserAgent = "Undefined";
};

// May refuse the request by clearing Accept (and set a content type or an error text).
using TWelcomeMessage = std::function<void(const std::string& Welcomemsg, const std::string& AccessTag,
                                           std::string& ConnectionDefs, bool& Accept,
                                           std::string& ContentType, std::string& ErrorMessage)>;

class TServerMethodDataModule {
 public:
  TServerMethodDataModule() = default;
  virtual ~TServerMethodDataModule() = default;
  TServerMethodDataModule(const TServerMethodDataModule&) = delete;
  TServerMethodDataModule& operator=(const TServerMethodDataModule&) = delete;

  // The module's class name, as requests may use it in "Class.Group" names.
  virtual std::string ClassName() const = 0;
  // Modules of the TServerMethods kind get no client data.
  virtual bool ReceivesClientInfo() const { return true; }

  std::string ClientWelcomeMessage;
  TClientInfo ClientInfo;
  // The connection of the request the module serves (none outside a request): a long piece of
  // work can stop when the client hangs up (HttpEarlyReply::OnPeerGone).
  HttpEarlyReply* Client = nullptr;
  TEncodeSelect Encoding = TEncodeSelect::esASCII;
  TWelcomeMessage OnWelcomeMessage;

  void SetClientWelcomeMessage(const std::string& message) { ClientWelcomeMessage = message; }
  void SetClientInfo(const std::string& ip, const std::string& ip_version, int port,
                     const std::string& user_agent);

  // The server-events groups, in the order they were added.
  const std::vector<std::unique_ptr<TDWServerEvents>>& ServerEventsGroups() const { return groups_; }

 protected:
  // Adds a group named by its component name; its OnCreate (if any) runs when set up by the caller.
  TDWServerEvents& AddServerEvents(std::string component_name);

 private:
  std::vector<std::unique_ptr<TDWServerEvents>> groups_;
};

// The other kind of module that a listener accepts; it is told nothing about the client.
class TServerMethods : public TServerMethodDataModule {
 public:
  bool ReceivesClientInfo() const override { return false; }
};

// What the listener's ServerMethodClass holds: how to build a module of one class.
// Only classes derived from TServerMethodDataModule (or TServerMethods) can be named; an empty
// value means that no class is set.
class TServerMethodClass {
 public:
  TServerMethodClass() = default;

  template <class Module>
  requires std::derived_from<Module, TServerMethodDataModule>
  static TServerMethodClass Of() {
    TServerMethodClass c;
    c.create_ = [] { return std::unique_ptr<TServerMethodDataModule>(new Module()); };
    return c;
  }

  bool Assigned() const { return static_cast<bool>(create_); }
  // Creates a module with no owner; its constructor is its creation handler.
  std::unique_ptr<TServerMethodDataModule> Create() const { return create_(); }

 private:
  std::function<std::unique_ptr<TServerMethodDataModule>()> create_;
};

}  // namespace livrexa
