#include "rest/listener/detail/server_events_dispatch.h"

#include "rest/listener/server_method_module.h"
#include "rest/params/dw_params.h"
#include "rest/params/param_list_tools.h"
#include "rest/wire/text_codec.h"

namespace livrexa {
namespace {

void RaiseStatusForFailure(int& status_code, int failure) {
  if (status_code <= 0 || status_code == 200) status_code = failure;
}

std::string AcceptedMethods(const TDWRoutes& routes) {
  static constexpr std::pair<TDWRoute, const char*> kOrder[] = {{TDWRoute::crGet, "GET"},
                                                                {TDWRoute::crPost, "POST"},
                                                                {TDWRoute::crPut, "PUT"},
                                                                {TDWRoute::crPatch, "PATCH"},
                                                                {TDWRoute::crDelete, "DELETE"}};
  std::string methods;
  for (const auto& [route, name] : kOrder) {
    if (!routes.Contains(route)) continue;
    if (!methods.empty()) methods += ", ";
    methods += name;
  }
  return methods;
}

}  // namespace

bool GroupMatches(const TServerMethodDataModule& module, const TDWServerEvents& group,
                  const std::string& group_name) {
  const std::string wanted = LowerCase(group_name);
  return wanted == LowerCase(group.ContextName) || wanted == LowerCase(group.Name()) ||
         wanted == LowerCase(module.ClassName() + "." + group.Name());
}

bool RunServerEvent(TServerMethodDataModule& module, TListenerRequest& request,
                    const TRequestHeader& request_header) {
  const std::function<TRequestHeader()> lines = [&] { return request_header; };
  return RunServerEvent(module, request, lines);
}

bool RunServerEvent(TServerMethodDataModule& module, TListenerRequest& request,
                    const std::function<TRequestHeader()>& request_header) {
  const TRequestType request_type = request.request_type;
  std::unique_ptr<TDWParams>& list = request.params;
  int& status_code = request.status_code;
  std::string& result_text = request.result_text;
  const auto& groups = module.ServerEventsGroups();
  for (const auto& group : groups) {
    TDWEvent* event = GroupMatches(module, *group, request.group_name)
                          ? group->Events.EventByName(UpperCase(request.event_name))
                          : nullptr;
    if (!event) {
      result_text = "Event not found...";
      continue;
    }
    request.json_mode = TJsonMode::jmPureJSON;
    const auto encode_if_asked = [&](const std::string& text) {
      return HasParam(list.get(), "dwencodestrings") ? EncodeText(text) : text;
    };

    if (!Trim(group->AccessTag).empty() && group->AccessTag != request.controls.AccessTag) {
      result_text = encode_if_asked("Invalid Access tag...");
      return true;
    }
    if (!event->Routes.Contains(RouteOf(request_type)) && !event->Routes.Contains(TDWRoute::crAll)) {
      const std::string methods = AcceptedMethods(event->Routes);
      if (methods.empty()) {
        result_text = "Acceptable HTTP methods not defined on server";
        status_code = 500;
      } else {
        result_text = "Request rejected. Acceptable HTTP methods: " + methods;
        status_code = 403;
      }
      return true;
    }

    result_text.clear();
    group->CreateDWParams(event->Name(), list, module.Encoding);

    if (event->Handlers.OnAuthRequest) {
      bool rejected = false;
      std::string error;
      event->Handlers.OnAuthRequest(*list, rejected, error, status_code, request_header());
      if (rejected) {
        if (error.empty()) {
          result_text = "The Requested URL was Rejected";
        } else {
          result_text = error;
          request.content_type = "text/html";
        }
        RaiseStatusForFailure(status_code, 500);
        return true;
      }
    }

    try {
      if (event->Handlers.OnBeforeExecute) event->Handlers.OnBeforeExecute(*event);
      if (event->Handlers.OnReplyEventByType) {
        event->Handlers.OnReplyEventByType(*list, result_text, request_type, status_code, request_header());
      } else if (event->Handlers.OnReplyEvent) {
        event->Handlers.OnReplyEvent(*list, result_text);
      }
      request.json_mode = event->JsonMode;
    } catch (const std::exception& e) {
      result_text = encode_if_asked(e.what());
      RaiseStatusForFailure(status_code, 500);
    }
    if (Trim(result_text).empty()) result_text = std::string(kResultOK);
    return true;
  }
  RaiseStatusForFailure(status_code, 404);
  result_text = groups.empty() ? std::string() : std::string("Event not found...");
  return false;
}

std::string ServerEventsListing(const TServerMethodDataModule& module, const std::string& access_tag) {
  std::string listing;
  for (const auto& group : module.ServerEventsGroups()) {
    if (!Trim(group->AccessTag).empty() && group->AccessTag != access_tag) continue;
    if (!listing.empty()) listing += "|";
    listing += module.ClassName() + "." + group->Name();
  }
  return listing;
}

std::string ListEventsOfGroup(const TServerMethodDataModule& module, const std::string& group_name,
                              std::unique_ptr<TDWParams>& list, TEncodeSelect encoding) {
  TDWParams& params = EnsureList(list, encoding);
  TJSONParam& error = OutputParam(params, "Error");
  TJSONParam& message = OutputParam(params, "MessageError");
  TJSONParam& result = OutputParam(params, "Result");
  for (const auto& group : module.ServerEventsGroups()) {
    if (!GroupMatches(module, *group, group_name)) continue;
    std::string listing(1, '[');
    listing += group->Events.ToJSON();
    listing += ']';
    result.SetAsString(listing);
    error.SetAsBoolean(false);
    return std::string(kResultOK);
  }
  const std::string reason =
      module.ServerEventsGroups().size() > 1
          ? "There is more than one ServerEvent.\r\nChoose the desired ServerEvent in the "
            "ServerEventName property."
          : "Event Not Found";
  message.SetAsString(reason);
  error.SetAsBoolean(true);
  result.SetAsString("");
  return reason;
}

}  // namespace livrexa
