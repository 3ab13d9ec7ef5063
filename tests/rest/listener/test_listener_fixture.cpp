#include "test_listener_fixture.h"

#include <zlib.h>

#include <atomic>
#include <cctype>
#include <fstream>

#include <unistd.h>

namespace livrexa::test {

void ListenerTest::SetUp() {
  static std::atomic<int> sequence{0};
  folder = std::filesystem::temp_directory_path() /
           ("livrexa-listener-" + std::to_string(::getpid()) + "-" + std::to_string(sequence++));
  program_folder = folder / "program";
  static_folder = folder / "program" / "www";
  std::filesystem::create_directories(static_folder);
  pooler.ServicePort = 0;
  pooler.BindAddresses = {"127.0.0.1"};
  pooler.ProgramFolder = program_folder;
  pooler.StaticFolder = static_folder;
  pooler.SetServerMethodClass(TServerMethodClass::Of<TestModule>());
  pooler.SetActive(true);
}

void ListenerTest::TearDown() {
  pooler.SetActive(false);
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
}

void ListenerTest::StartOther(TRESTServicePooler& other) const {
  other.ServicePort = 0;
  other.BindAddresses = {"127.0.0.1"};
  other.ProgramFolder = program_folder;
  other.StaticFolder = static_folder;
  other.SetActive(true);
}

RawReply ListenerTest::Send(const std::string& method, const std::string& target, const std::string& headers,
                            const std::string& body, bool auth) {
  const std::string credentials = auth ? BasicAuthLine("Tivel", "Tivel1968") : "";
  return Exchange(pooler.BoundPort(), BuildRequest(method, target, credentials + headers, body));
}

std::string OutText(const std::string& name, const std::string& value) {
  return R"({"ObjectType":"toParam", "Direction":"odOUT", "Encoded":"true", "ValueType":"ovString", ")" +
         name + "\":" + (value.empty() ? std::string("null") : "\"" + EncodeText(value) + "\"") + "}";
}

std::string Envelope(const std::string& params, const std::string& result) {
  return "{\"PARAMS\":[" + params + "], \"RESULT\":[" + result + "]}";
}

std::string ConsultaReply(const std::string& summary) {
  return Envelope(OutText("TABELA", summary) + ", " + OutText("RESPOSTA", ""));
}

std::string InputParamJson(const std::string& name, const std::string& value_type, bool encoded,
                           const std::string& value_text) {
  return R"({"ObjectType":"toParam", "Direction":"odIN", "Encoded":")" +
         std::string(encoded ? "true" : "false") + R"(", "ValueType":")" + value_type + "\", \"" + name +
         "\":" + value_text + "}";
}

std::string SingleValueJson(const std::string& text) {
  return R"({"ObjectType":"toObject", "Direction":"odIN", "Encoded":"true", "ValueType":"ovString", "TAGJSON":")" +
         EncodeText(text) + "\"}";
}

std::string MultipartBody(const std::vector<MultipartField>& fields, const std::string& boundary) {
  std::string body;
  for (const auto& f : fields) {
    body += "--" + boundary + "\r\nContent-Disposition: form-data";
    if (!f.name.empty()) body += "; name=\"" + f.name + "\"";
    if (!f.file_name.empty())
      body += "; filename=\"" + f.file_name + "\"\r\nContent-Type: application/octet-stream";
    body += "\r\n\r\n" + f.content + "\r\n";
  }
  return body + "--" + boundary + "--\r\n";
}

std::string MultipartHeader(const std::string& boundary) {
  return "Content-Type: multipart/form-data; boundary=" + boundary + "\r\n";
}

std::string Inflate(const std::string& compressed) {
  std::string out(64 * 1024, '\0');
  uLongf size = out.size();
  if (uncompress(reinterpret_cast<Bytef*>(out.data()), &size,
                 reinterpret_cast<const Bytef*>(compressed.data()), compressed.size()) != Z_OK) {
    return "<not a zlib stream>";
  }
  out.resize(size);
  return out;
}

std::string UrlEncode(const std::string& text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (std::isalnum(b) || c == '-' || c == '.' || c == '_' || c == '~') {
      out.push_back(c);
    } else {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 15];
    }
  }
  return out;
}

}  // namespace livrexa::test
