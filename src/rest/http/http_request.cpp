#include "rest/http/http_request.h"

#include "rest/wire/text_codec.h"
#include "rest/wire/text_tools.h"
#include "rest/wire/wire_consts.h"

namespace livrexa {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsValidUtf8(std::string_view bytes) {
  size_t pos = 0;
  while (pos < bytes.size()) {
    const size_t start = pos;
    const char32_t cp = NextCodePoint(bytes, pos);
    // U+FFFD written out in the text is valid; one produced by a malformed byte is not.
    if (cp == 0xFFFD && bytes.substr(start, 3) != "\xEF\xBF\xBD") return false;
  }
  return true;
}

}  // namespace

std::string PercentDecodeBytes(std::string_view text, bool plus_is_blank) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '%' && i + 2 < text.size()) {
      const int hi = HexValue(text[i + 1]);
      const int lo = HexValue(text[i + 2]);
      if (hi >= 0 && lo >= 0) {
        out.push_back(static_cast<char>(hi * 16 + lo));
        i += 2;
        continue;
      }
    }
    out.push_back(plus_is_blank && c == '+' ? ' ' : c);
  }
  return out;
}

std::string BytesToText(std::string_view bytes) {
  return IsValidUtf8(bytes) ? std::string(bytes) : Cp1252ToUtf8(bytes);
}

std::vector<std::string> DecodeFormItems(std::string_view text) {
  std::vector<std::string> items;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('&', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view item = text.substr(start, end - start);
    if (item.empty()) {
      // nothing
    } else if (std::string decoded = PercentDecodeBytes(item, true); IsUtf8(decoded)) {
      items.push_back(std::move(decoded));
    } else {
      items.push_back(Cp1252ToUtf8(decoded));
    }
    start = end + 1;
  }
  return items;
}

bool DecodeBasicCredentials(std::string_view authorization, std::string& user, std::string& password) {
  user.clear();
  password.clear();
  const std::string_view value = Trim(authorization);
  const size_t blank = value.find(' ');
  const std::string_view scheme = value.substr(0, blank);
  if (!SameText(scheme, "Basic")) return false;
  if (blank == std::string_view::npos) return true;
  const std::string decoded = DecodeBinary(Trim(value.substr(blank + 1)));
  const size_t colon = decoded.find(':');
  if (colon == std::string::npos) {
    user = BytesToText(decoded);
  } else {
    user = BytesToText(decoded.substr(0, colon));
    password = BytesToText(decoded.substr(colon + 1));
  }
  return true;
}

size_t CountFormItems(std::string_view text) {
  size_t count = 0;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('&', start);
    if (end == std::string_view::npos) end = text.size();
    if (end > start) ++count;
    start = end + 1;
  }
  return count;
}

bool FillDerivedItems(HttpRequest& request, size_t max_items) {
  const size_t question = request.target.find('?');
  request.path = request.target.substr(0, question);
  request.query = question == std::string::npos ? std::string() : request.target.substr(question + 1);

  request.content_type = request.Header("Content-Type");
  request.user_agent = request.Header("User-Agent");
  request.referer = request.Header("Referer");

  request.params.clear();
  request.form_text.clear();
  request.has_body_stream = false;
  const bool form = ContainsNoCase(request.content_type, "application/x-www-form-urlencoded");
  if (max_items > 0) {
    const size_t items =
        request.headers.size() + CountFormItems(request.query) + (form ? CountFormItems(request.body) : 0);
    if (items > max_items) return false;
  }
  if (form) {
    if (IsAscii(request.body)) {
      // A pure-ASCII form (percent-encoded, as forms are) is the same text in every reading:
      // it is kept once, as the form text.
      request.form_text = std::move(request.body);
      request.body = std::string();
    } else {
      request.form_text = BytesToText(request.body);
    }
    request.params = DecodeFormItems(request.form_text);
  } else {
    request.has_body_stream = !request.body.empty();
  }
  for (auto& item : DecodeFormItems(request.query)) request.params.push_back(std::move(item));

  request.auth_user.clear();
  request.auth_password.clear();
  request.non_basic_authorization = false;
  if (request.HasHeader("Authorization")) {
    request.non_basic_authorization =
        !DecodeBasicCredentials(request.Header("Authorization"), request.auth_user, request.auth_password);
  }
  return true;
}

std::string HttpRequest::Header(std::string_view name) const {
  for (const auto& h : headers)
    if (SameText(h.name, name)) return h.value;
  return {};
}

bool HttpRequest::HasHeader(std::string_view name) const {
  for (const auto& h : headers)
    if (SameText(h.name, name)) return true;
  return false;
}

void HttpReply::SetHeader(std::string_view name, std::string_view value) {
  for (auto& h : headers) {
    if (SameText(h.name, name)) {
      h.value = std::string(value);
      return;
    }
  }
  AddHeader(name, value);
}

void HttpReply::AddHeader(std::string_view name, std::string_view value) {
  headers.push_back({std::string(name), std::string(value)});
}

std::string HttpReply::Header(std::string_view name) const {
  for (const auto& h : headers)
    if (SameText(h.name, name)) return h.value;
  return {};
}

bool HttpReply::HasHeader(std::string_view name) const {
  for (const auto& h : headers)
    if (SameText(h.name, name)) return true;
  return false;
}

std::string_view StandardReason(int status) {
  switch (status) {
    case 100:
      return "Continue";
    case 200:
      return "OK";
    case 201:
      return "Created";
    case 204:
      return "No Content";
    case 301:
      return "Moved Permanently";
    case 302:
      return "Found";
    case 304:
      return "Not Modified";
    case 400:
      return "Bad Request";
    case 401:
      return "Unauthorized";
    case 403:
      return "Forbidden";
    case 404:
      return "Not Found";
    case 405:
      return "Method Not Allowed";
    case 408:
      return "Request Timeout";
    case 413:
      return "Payload Too Large";
    case 500:
      return "Internal Server Error";
    case 501:
      return "Not Implemented";
    case 503:
      return "Service Unavailable";
    default:
      return "Unknown";
  }
}

}  // namespace livrexa
