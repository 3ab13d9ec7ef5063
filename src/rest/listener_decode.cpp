// Steps 8 and 9 of a request: the header pass and the decoding by the request's shape.

#include "rest/dw_params.h"
#include "rest/listener_request.h"

namespace livrexa {
namespace {

bool ParamIsOne(const TDWParams* list, std::string_view name) {
  const TJSONParam* p = list ? list->GetRecName(name) : nullptr;
  return p && p->AsString() == "1";
}

void DecodeGet(const HttpRequest& r, TEncodeSelect encoding, TListenerRequest& s,
               const std::string& group_before) {
  if (!r.params.empty()) {
    ParseWebFormsParams(s.params, r.params, "GET", encoding, s.controls.Mark, s.group_name, s.event_name,
                        r.query, r.path);
    ReadControlParams(TControlParamSet::kGetWithQuery, s.params.get(), s.group_name, s.controls);
    return;
  }
  if (!s.params) ParseRESTURL(r.path, encoding, s.params, s.controls.Mark, s.group_name, s.event_name);
  ReadControlParams(TControlParamSet::kGetWithoutQuery, s.params.get(), s.group_name, s.controls);
  if (s.group_name.empty()) s.group_name = group_before;
}

void DecodePostOrPut(const HttpRequest& r, TEncodeSelect encoding, TListenerRequest& s,
                     const std::string& group_before) {
  const std::string form_text =
      r.has_body_stream || r.form_text.empty() ? std::string() : BodyText(r.body, encoding);
  if (r.has_body_stream) {
    const std::string body_text = BodyText(r.body, encoding);
    TMultipartInput multipart{r.body, r.content_type, &r.params, r.path, r.query, encoding};
    if (body_text.find("--") != std::string::npos && r.content_type.find("boundary") != std::string::npos &&
        !s.controls.BinaryRequest) {
      ParseMultipart(multipart, false, s.params, s.group_name, s.event_name, s.controls);
      return;
    }
    if (!s.params) {
      ParseWebFormsParams(s.params, r.params, "POST", encoding, s.controls.Mark, s.group_name, s.event_name,
                          r.query, r.path);
    }
    if (ParamIsOne(s.params.get(), "dwReadBodyRaw")) {
      ParseBodyRawToDWParam(body_text, encoding, s.params);
    } else if (ParamIsOne(s.params.get(), "dwReadBodyBin")) {
      ParseBodyBinToDWParam(r.body, encoding, s.params);
    } else if (s.controls.BinaryRequest) {
      ParseMultipart(multipart, true, s.params, s.group_name, s.event_name, s.controls);
    } else if (r.params.empty() && form_text.empty()) {
      ParseBodyRawToDWParam(body_text, encoding, s.params);
    } else {
      ParseDWParamsURL(body_text, encoding, s.params);
    }
    return;
  }
  if (!form_text.empty()) {
    std::string cmd = r.path + "?" + r.query;
    if (!Trim(r.query).empty()) cmd += "&";
    cmd += form_text;
    ParseRESTURL(cmd, encoding, s.params, s.controls.Mark, s.group_name, s.event_name);
  } else {
    if (!s.params) {
      ParseWebFormsParams(s.params, r.params, "POST", encoding, s.controls.Mark, s.group_name, s.event_name,
                          r.query, r.path);
    }
    ReadControlParams(TControlParamSet::kPostPutWithoutBody, s.params.get(), s.group_name, s.controls);
  }
  if (s.group_name.empty()) s.group_name = group_before;
}

}  // namespace

void DecodeRequest(const HttpRequest& request, TEncodeSelect encoding, TListenerRequest& state) {
  ReadControlHeaders(request, encoding, state.params, state.group_name, state.event_name, state.controls);
  const std::string group_before = state.group_name;
  switch (state.request_type) {
    case TRequestType::rtGet:
      DecodeGet(request, encoding, state, group_before);
      break;
    case TRequestType::rtPatch:
    case TRequestType::rtDelete:
      if (!state.params) {
        ParseWebFormsParams(state.params, request.params, "POST", encoding, state.controls.Mark,
                            state.group_name, state.event_name, request.query, request.path);
      }
      ReadControlParams(TControlParamSet::kPatchDelete, state.params.get(), state.group_name, state.controls);
      break;
    case TRequestType::rtPost:
    case TRequestType::rtPut:
      DecodePostOrPut(request, encoding, state, group_before);
      break;
  }
}

}  // namespace livrexa
