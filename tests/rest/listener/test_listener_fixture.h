#pragma once
// A listener on a loopback port with the test module, its own program and static folders, and
// helpers that build requests and the exact texts a reply must hold.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "rest/listener/listener.h"
#include "rest/wire/text_codec.h"
#include "support/http_client.h"
#include "test_listener_module.h"

namespace livrexa::test {

class ListenerTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A request with the right credentials (unless auth is false), sent raw.
  RawReply Send(const std::string& method, const std::string& target, const std::string& headers = "",
                const std::string& body = "", bool auth = true);
  RawReply Get(const std::string& target, const std::string& headers = "") {
    return Send("GET", target, headers);
  }

  // Starts a second listener (same folders) configured by the caller before it listens.
  void StartOther(TRESTServicePooler& other) const;

  TRESTServicePooler pooler;
  std::filesystem::path folder;  // removed after the test
  std::filesystem::path program_folder;
  std::filesystem::path static_folder;
};

// The JSON text of an output text parameter holding `value` (null when value is empty).
std::string OutText(const std::string& name, const std::string& value);
// The reply envelope around the given parameter texts and result text.
std::string Envelope(const std::string& params,
                     const std::string& result = R"({"MESSAGE":"OK",  "RESULT":"OK"})");
// The reply of "Consulta": its two outputs, Tabela holding the handler's summary text.
std::string ConsultaReply(const std::string& summary);

// A parameter's JSON text as a client sends it.
std::string InputParamJson(const std::string& name, const std::string& value_type, bool encoded,
                           const std::string& value_text);
// A single value's JSON text holding an encoded text.
std::string SingleValueJson(const std::string& text);

struct MultipartField {
  std::string name;       // empty: no name in the disposition
  std::string file_name;  // empty: a plain field
  std::string content;
};
// A multipart/form-data body and its Content-Type header line.
std::string MultipartBody(const std::vector<MultipartField>& fields,
                          const std::string& boundary = "XyZ-boundary-42");
std::string MultipartHeader(const std::string& boundary = "XyZ-boundary-42");

std::string Inflate(const std::string& compressed);

// Every byte but letters, digits and "-._~" as a percent-escape.
std::string UrlEncode(const std::string& text);

}  // namespace livrexa::test
