// Steps 8 and 9 of a request: the header pass and the decoding by the request's shape.

#include "rest/listener/detail/listener_request.h"
#include "rest/params/dw_params.h"

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

// Once decoded, the body, the form text and the engine's list are not read again; the large
// ones are let go as soon as their last reader is done, so a large request is not held twice.
void DecodePostOrPut(HttpRequest& r, TEncodeSelect encoding, TListenerRequest& s,
                     const std::string& group_before) {
  if (r.has_body_stream) {
    // Reading the body as text changes no "-": the test for a multipart body needs no copy.
    TMultipartInput multipart{r.body, r.content_type, &r.params, r.path, r.query, encoding};
    if (r.body.find("--") != std::string::npos && r.content_type.find("boundary") != std::string::npos &&
        !s.controls.BinaryRequest) {
      ParseMultipart(multipart, false, s.params, s.group_name, s.event_name, s.controls);
      return;
    }
    if (!s.params) {
      ParseWebFormsParams(s.params, r.params, "POST", encoding, s.controls.Mark, s.group_name, s.event_name,
                          r.query, r.path);
    }
    const auto body_text = [&] {
      std::string text = BodyText(r.body, encoding);
      r.body = std::string();
      return text;
    };
    if (ParamIsOne(s.params.get(), "dwReadBodyRaw")) {
      ParseBodyRawToDWParam(body_text(), encoding, s.params);
    } else if (ParamIsOne(s.params.get(), "dwReadBodyBin")) {
      ParseBodyBinToDWParam(r.body, encoding, s.params);
    } else if (s.controls.BinaryRequest) {
      ParseMultipart(multipart, true, s.params, s.group_name, s.event_name, s.controls);
    } else if (r.params.empty()) {
      ParseBodyRawToDWParam(body_text(), encoding, s.params);
    } else {
      ParseDWParamsURL(body_text(), encoding, s.params);
    }
    return;
  }
  if (!r.form_text.empty()) {
    // The form text as the body's bytes read in the encoding; a form that was pure ASCII has
    // already become its form text, which reads the same.
    std::string form_text = r.body.empty() ? std::move(r.form_text) : BodyText(r.body, encoding);
    r.body = std::string();
    r.form_text = std::string();
    r.params = std::vector<std::string>();
    ParseRESTURLForm(r.path, r.query, form_text, encoding, s.params, s.controls.Mark, s.group_name,
                     s.event_name);
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

void DecodeRequest(HttpRequest& request, TEncodeSelect encoding, TListenerRequest& state) {
  // A large pure-ASCII form: the values the header pass reads are dropped from the form text
  // before it runs (the text is read again afterwards only for names the list does not hold).
  constexpr size_t kLargeItem = 64 * 1024;
  const bool post_or_put =
      state.request_type == TRequestType::rtPost || state.request_type == TRequestType::rtPut;
  if (post_or_put && !request.has_body_stream && request.body.empty() &&
      request.form_text.size() >= kLargeItem) {
    bool ordinary_header = false;
    for (const HttpHeader& h : request.headers)
      ordinary_header = ordinary_header || !IsControlHeaderName(LowerCase(h.name));
    if (ordinary_header)
      DropValuesTheHeaderPassReads(request.form_text, request.query, request.params, kLargeItem);
  }
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
