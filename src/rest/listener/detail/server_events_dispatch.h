#pragma once
// Running a request's event on a handler module, and the listings of groups and events that
// the reserved names "GetServerEventsList" and "GETEVENTS" answer.

#include <functional>
#include <memory>
#include <string>

#include "rest/listener/detail/listener_request.h"
#include "rest/listener/server_events.h"

namespace livrexa {

class TDWParams;
class TServerMethodDataModule;

// Finds the request's group and event, checks access tag and route, completes the request's
// list from the declaration and calls the event's handlers; status, content type, JSON mode and
// result text go into the request. Returns whether an event was found.
bool RunServerEvent(TServerMethodDataModule& module, TListenerRequest& request,
                    const TRequestHeader& request_header);
// The same, with the request-header lines made only when a hook of the event asks for them.
bool RunServerEvent(TServerMethodDataModule& module, TListenerRequest& request,
                    const std::function<TRequestHeader()>& request_header);

// Whether a group answers to a request's group name: its context name, its component name or
// "<module class>.<component name>", all compared in lower case.
bool GroupMatches(const TServerMethodDataModule& module, const TDWServerEvents& group,
                  const std::string& group_name);

// "Class.Group" of every group whose access tag is blank or equals the request's, joined by "|".
std::string ServerEventsListing(const TServerMethodDataModule& module, const std::string& access_tag);

// The "GETEVENTS" answer: fills "Result", "Error" and "MessageError" (added when missing) and
// returns the result text.
std::string ListEventsOfGroup(const TServerMethodDataModule& module, const std::string& group_name,
                              std::unique_ptr<TDWParams>& list, TEncodeSelect encoding);

}  // namespace livrexa
