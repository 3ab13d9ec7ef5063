#pragma once
// Running a request's event on a handler module, and the listings of groups and events that
// the reserved names "GetServerEventsList" and "GETEVENTS" answer.

#include <functional>
#include <memory>
#include <string>

#include "rest/listener/server_events.h"

namespace livrexa {

class TDWParams;
class TServerMethodDataModule;

// Finds the group and event, checks access tag and route, completes the list from the
// declaration and calls the event's handlers. Returns whether an event was found.
bool RunServerEvent(TServerMethodDataModule& module, TRequestType request_type, const std::string& group_name,
                    const std::string& event_name, std::unique_ptr<TDWParams>& list,
                    const std::string& access_tag, const TRequestHeader& request_header, int& status_code,
                    std::string& content_type, TJsonMode& json_mode, std::string& result_text);
// The same, with the request-header lines made only when a hook of the event asks for them.
bool RunServerEvent(TServerMethodDataModule& module, TRequestType request_type, const std::string& group_name,
                    const std::string& event_name, std::unique_ptr<TDWParams>& list,
                    const std::string& access_tag, const std::function<TRequestHeader()>& request_header,
                    int& status_code, std::string& content_type, TJsonMode& json_mode,
                    std::string& result_text);

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
