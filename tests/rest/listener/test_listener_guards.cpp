// The listener's own refusals of requests and replies that would cost too much or mean nothing:
// too many parameters in a body, a reply over the size limit, encoded values that are not base64.

#include "test_listener_fixture.h"

namespace livrexa::test {
namespace {

TEST_F(ListenerTest, BodyWithMoreParametersThanTheLimitIs413BeforeTheEventRuns) {
  TRESTServicePooler other;
  other.SetServerMethodClass(TServerMethodClass::Of<TestModule>());
  other.MaxParams = 20;
  StartOther(other);
  std::vector<MultipartField> fields;
  for (int i = 0; i < 25; ++i)
    fields.push_back({"f" + std::to_string(i), "", InputParamJson("f", "ovString", true, "\"QW5h\"")});
  std::string lines;
  for (int i = 0; i < 25; ++i) lines += "p" + std::to_string(i) + "=1\r\n";
  const std::string auth = BasicAuthLine("Tivel", "Tivel1968");
  const int before = Counters().events_run;
  struct Case {
    const char* what;
    std::string headers, body;
  } cases[] = {
      {"multipart fields", MultipartHeader(), MultipartBody(fields)},
      {"body lines", "Content-Type: text/plain\r\n", lines},
  };
  for (const auto& c : cases) {
    const RawReply reply =
        Exchange(other.BoundPort(), BuildRequest("POST", "/Consulta?x=1", auth + c.headers, c.body));
    EXPECT_EQ(reply.status, 413) << c.what << reply.raw;
    EXPECT_EQ(reply.body, "Too many parameters (more than 20)") << c.what;
  }
  EXPECT_EQ(Counters().events_run, before);
  // Within the limit the same shapes reach the event.
  fields.resize(5);
  EXPECT_EQ(Exchange(other.BoundPort(),
                     BuildRequest("POST", "/Consulta", auth + MultipartHeader(), MultipartBody(fields)))
                .status,
            200);
}

TEST_F(ListenerTest, ReplyOverTheSizeLimitFailsWithAMessageInsteadOfBeingSent) {
  TRESTServicePooler other;
  other.SetServerMethodClass(TServerMethodClass::Of<TestModule>());
  other.MaxReplySize = 4u << 20;
  StartOther(other);
  const std::string auth = BasicAuthLine("Tivel", "Tivel1968");
  const std::string form = "Content-Type: application/x-www-form-urlencoded\r\n";
  const std::string big(5u << 20, 'a');
  const RawReply refused =
      Exchange(other.BoundPort(), BuildRequest("POST", "/Consulta", auth + form, "Flag=100&Filtro=" + big));
  EXPECT_EQ(refused.status, 500) << refused.status_line;
  EXPECT_EQ(refused.body, "A resposta passa do tamanho máximo permitido (4 MiB).");
  EXPECT_EQ(refused.Header("Content-Type"), "text/plain; charset=utf-8");
  const RawReply fits =
      Exchange(other.BoundPort(),
               BuildRequest("POST", "/Consulta", auth + form, "Flag=100&Filtro=" + big.substr(0, 1u << 20)));
  EXPECT_EQ(fits.status, 200);
  EXPECT_NE(fits.body.find(EncodeText("flag=100;filtro=aa")), std::string::npos);
  EXPECT_EQ(fits.status, 200);
}

TEST_F(ListenerTest, EncodedValueThatIsNotBase64FailsWithAMessage) {
  for (const char* value : {"\"%%%\"", "\"QW5h!\"", "\"QW5hQ\"", "\"QW==5h\""}) {
    const RawReply reply =
        Get("/Consulta?Flag=100", "Filtro: " + InputParamJson("Filtro", "ovString", true, value) + "\r\n");
    EXPECT_EQ(reply.status, 500) << value;
    EXPECT_EQ(reply.body, "Valor codificado inválido em parâmetro FILTRO: o texto não está em base64.")
        << value;
  }
  // base64 as the clients write it: padded, unpadded, or with the "/" JSON-escaped.
  for (const char* value : {"\"QW5h\"", "\"QW4\"", "\"Pz8\\/\""}) {
    const RawReply reply =
        Get("/Consulta?Flag=100", "Filtro: " + InputParamJson("Filtro", "ovString", true, value) + "\r\n");
    EXPECT_EQ(reply.status, 200) << value << reply.body;
  }
}

}  // namespace
}  // namespace livrexa::test
