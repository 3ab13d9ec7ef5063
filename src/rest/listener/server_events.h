#pragma once
// The server-events registry: groups (TDWServerEvents) of named events (TDWEvent), each with
// its declared parameters (TDWParamMethod) and its reply handlers. Groups live on a handler
// module (server_method_module.h) and are built with each module instance.

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "rest/wire/wire_consts.h"

namespace livrexa {

class TDWParams;
class TDWEvent;

enum class TDWRoute : int { crAll, crGet, crPost, crPut, crPatch, crDelete };
enum class TRequestType : int { rtGet, rtPost, rtPut, rtPatch, rtDelete };

// A set of routes.
class TDWRoutes {
 public:
  TDWRoutes() = default;
  TDWRoutes(std::initializer_list<TDWRoute> routes) {
    for (const auto r : routes) Include(r);
  }
  void Include(TDWRoute r) { bits_ |= Bit(r); }
  void Exclude(TDWRoute r) { bits_ &= ~Bit(r); }
  bool Contains(TDWRoute r) const { return (bits_ & Bit(r)) != 0; }
  bool Empty() const { return bits_ == 0; }

 private:
  static unsigned Bit(TDWRoute r) { return 1u << static_cast<int>(r); }
  unsigned bits_ = 0;
};

// The route a request type must find: the one of the next ordinal (rtGet -> crGet, ...).
TDWRoute RouteOf(TRequestType type);

// "Name: Value" lines of the request's headers, in order of arrival.
using TRequestHeader = std::vector<std::string>;

using TDWReplyEvent = std::function<void(TDWParams& Params, std::string& Result)>;
using TDWReplyEventByType =
    std::function<void(TDWParams& Params, std::string& Result, TRequestType RequestType, int& StatusCode,
                       const TRequestHeader& RequestHeader)>;
using TDWAuthRequest = std::function<void(TDWParams& Params, bool& Rejected, std::string& ResultError,
                                          int& StatusCode, const TRequestHeader& RequestHeader)>;
using TDWBeforeExecute = std::function<void(TDWEvent& Sender)>;

// The handlers of an event.
struct TDWReplyEventData {
  TDWReplyEvent OnReplyEvent;
  TDWReplyEventByType OnReplyEventByType;  // preferred when assigned
  TDWAuthRequest OnAuthRequest;
  TDWBeforeExecute OnBeforeExecute;
};

class TDWParamMethod {
 public:
  explicit TDWParamMethod(std::string default_name) : name_(std::move(default_name)) {}

  TTypeObject TypeObject = TTypeObject::toParam;
  TObjectDirection ObjectDirection = TObjectDirection::odINOUT;
  TObjectValue ObjectValue = TObjectValue::ovString;
  bool Encoded = true;
  std::string DefaultValue;

  const std::string& ParamName() const { return name_; }
  // Stored with blanks trimmed; a blank name fails with "Invalid Param Name".
  void SetParamName(std::string_view name);

 private:
  std::string name_;
};

class TDWParamsMethods {
 public:
  // A new declaration named "dwparam" + the number already declared.
  TDWParamMethod& Add();
  // Shorthand for a declaration with the usual fields.
  TDWParamMethod& Add(std::string_view name, TObjectDirection direction, TObjectValue kind,
                      std::string_view default_value = "", bool encoded = true);
  // Upper-cased comparison, first match, or nullptr.
  const TDWParamMethod* ParamByName(std::string_view name) const;
  size_t Count() const { return items_.size(); }
  const TDWParamMethod& operator[](size_t i) const { return *items_[i]; }
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

 private:
  std::vector<std::unique_ptr<TDWParamMethod>> items_;
};

class TDWEvent {
 public:
  explicit TDWEvent(std::string default_name) : name_(std::move(default_name)) {}

  const std::string& Name() const { return name_; }
  // A blank name fails with "Invalid Event Name".
  void SetName(std::string_view name);

  TDWRoutes Routes{TDWRoute::crAll};
  TDWParamsMethods DWParams;
  TJsonMode JsonMode = TJsonMode::jmDataware;
  TDWReplyEventData Handlers;

 private:
  std::string name_;
};

class TDWEventList {
 public:
  // A new event named "dwevent" + the number already in the list.
  TDWEvent& Add();
  TDWEvent& Add(std::string_view name);
  // Upper-cased comparison, first match, or nullptr.
  TDWEvent* EventByName(std::string_view name) const;
  size_t Count() const { return items_.size(); }
  TDWEvent& operator[](size_t i) const { return *items_[i]; }
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

  // {"serverevents":[{"eventname":"..", "jsonmode":"..", "params":[{...}, ...]}, ...]}
  std::string ToJSON() const;

 private:
  std::vector<std::unique_ptr<TDWEvent>> items_;
};

class TDWServerEvents {
 public:
  explicit TDWServerEvents(std::string component_name) : name_(std::move(component_name)) {}

  const std::string& Name() const { return name_; }  // the component name
  bool IgnoreInvalidParams = false;
  TDWEventList Events;
  std::string AccessTag;
  std::string ContextName;
  std::function<void(TDWServerEvents&)> OnCreate;

  // Adds to the list (created with `encoding` when absent) every parameter that the event declares
  // and the list lacks; a parameter already there is left exactly as received.
  void CreateDWParams(std::string_view EventName, std::unique_ptr<TDWParams>& DWParams,
                      TEncodeSelect encoding = TEncodeSelect::esASCII) const;

 private:
  std::string name_;
};

// The texts a group of format "{"STATUS":"..","MENSSAGE":".."}" carries, put in without escaping.
struct TResultErro {
  std::string Status;
  std::string MessageText;
};
std::string Result2JSON(const TResultErro& MyResult);

// The result text of an event that left its own result blank (two blanks before "RESULT").
inline constexpr std::string_view kResultOK = R"({"MESSAGE":"OK",  "RESULT":"OK"})";

}  // namespace livrexa
