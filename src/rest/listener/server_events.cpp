#include "rest/listener/server_events.h"

#include "rest/params/dw_params.h"
#include "rest/params/param_list_tools.h"
#include "rest/wire/errors.h"
#include "rest/wire/text_codec.h"

namespace livrexa {

TDWRoute RouteOf(TRequestType type) {
  return static_cast<TDWRoute>(static_cast<int>(type) + 1);
}

void TDWParamMethod::SetParamName(std::string_view name) {
  const std::string_view trimmed = Trim(name);
  if (trimmed.empty()) throw LivrexaError("Invalid Param Name");
  name_ = std::string(trimmed);
}

TDWParamMethod& TDWParamsMethods::Add() {
  items_.push_back(std::make_unique<TDWParamMethod>("dwparam" + std::to_string(items_.size())));
  return *items_.back();
}

TDWParamMethod& TDWParamsMethods::Add(std::string_view name, TObjectDirection direction, TObjectValue kind,
                                      std::string_view default_value, bool encoded) {
  TDWParamMethod& p = Add();
  p.SetParamName(name);
  p.ObjectDirection = direction;
  p.ObjectValue = kind;
  p.DefaultValue = std::string(default_value);
  p.Encoded = encoded;
  return p;
}

const TDWParamMethod* TDWParamsMethods::ParamByName(std::string_view name) const {
  const std::string wanted = UpperCase(name);
  for (const auto& p : items_)
    if (UpperCase(p->ParamName()) == wanted) return p.get();
  return nullptr;
}

void TDWEvent::SetName(std::string_view name) {
  if (Trim(name).empty()) throw LivrexaError("Invalid Event Name");
  name_ = std::string(name);
}

TDWEvent& TDWEventList::Add() {
  items_.push_back(std::make_unique<TDWEvent>("dwevent" + std::to_string(items_.size())));
  return *items_.back();
}

TDWEvent& TDWEventList::Add(std::string_view name) {
  TDWEvent& e = Add();
  e.SetName(name);
  return e;
}

TDWEvent* TDWEventList::EventByName(std::string_view name) const {
  const std::string wanted = UpperCase(name);
  for (const auto& e : items_)
    if (UpperCase(e->Name()) == wanted) return e.get();
  return nullptr;
}

std::string TDWEventList::ToJSON() const {
  std::string events;
  for (const auto& e : items_) {
    if (!events.empty()) events += ", ";
    std::string params;
    for (const auto& p : e->DWParams) {
      if (!params.empty()) params += ", ";
      params += "{\"typeobject\":\"" + std::string(TypeObjectName(p->TypeObject)) +
                "\", \"objectdirection\":\"" + std::string(DirectionName(p->ObjectDirection)) +
                "\", \"objectvalue\":\"" + std::string(ObjectValueName(p->ObjectValue)) +
                "\", \"paramname\":\"" + p->ParamName() + "\", \"encoded\":\"" +
                (p->Encoded ? "true" : "false") + "\", \"default\":\"" + EncodeText(p->DefaultValue) + "\"}";
    }
    events += "{\"eventname\":\"" + e->Name() + "\", \"jsonmode\":\"" +
              std::string(JsonModeName(e->JsonMode)) + "\", \"params\":[" + params + "]}";
  }
  return "{\"serverevents\":[" + events + "]}";
}

void TDWServerEvents::CreateDWParams(std::string_view EventName, std::unique_ptr<TDWParams>& DWParams,
                                     TEncodeSelect encoding) const {
  const TDWEvent* event = Events.EventByName(EventName);
  if (!event) return;
  EnsureList(DWParams, encoding);
  DWParams->SetJsonMode(event->JsonMode);
  for (const auto& declared : event->DWParams) {
    if (DWParams->GetRecName(declared->ParamName())) continue;  // kept exactly as the request sent it
    auto param = std::make_unique<TJSONParam>(DWParams->Encoding());
    param->SetParamName(declared->ParamName());
    param->SetObjectDirection(declared->ObjectDirection);
    param->SetObjectValue(declared->ObjectValue);
    param->SetEncoded(declared->Encoded);
    param->SetJsonMode(DWParams->JsonMode());
    TJSONParam* added = DWParams->Add(std::move(param));
    if (!declared->DefaultValue.empty() && Trim(added->AsString()).empty())
      added->SetVariantValue(TVariant(declared->DefaultValue));
  }
}

std::string Result2JSON(const TResultErro& MyResult) {
  return "{\"STATUS\":\"" + MyResult.Status + "\",\"MENSSAGE\":\"" + MyResult.MessageText + "\"}";
}

}  // namespace livrexa
