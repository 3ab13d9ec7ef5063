// Every request shape over loopback HTTP: query, form, multipart with parameter JSON fields,
// headers as parameters, the binary parameter form, raw bodies, PATCH and DELETE.

#include "rest/params/dw_params.h"
#include "test_listener_fixture.h"

namespace livrexa::test {
namespace {

using enum TObjectDirection;

std::string BinaryForm(const std::vector<std::pair<std::string, std::string>>& texts, int flag) {
  TDWParams params;
  params.AddNew("Flag", odIN).SetAsInteger(flag);
  for (const auto& [name, value] : texts) params.AddNew(name, odIN).SetAsString(value);
  return params.SaveToStream(TDWParamExpType::tdwpxt_All).Bytes();
}

TEST_F(ListenerTest, QueryItemsReachTheEvent) {
  struct Case {
    std::string target, summary;
  } cases[] = {
      {"/Consulta?Flag=120", "flag=120;filtro=;desativados=0"},
      {"/Consulta?flag=120", "flag=120;filtro=;desativados=0"},  // found by "Flag"; no second FLAG added
      {"/Consulta?Filtro=Ana", "flag=5;filtro=Ana;desativados=0"},
      {"/Consulta?Desativados=true&Flag=7", "flag=7;filtro=;desativados=1"},
      {"/Consulta?Desativados=1&Flag=7", "flag=7;filtro=;desativados=1"},
      {"/Consulta?Filtro=%C3%A7a+b",
       "flag=5;filtro=\xC3\xA7"
       "a b;desativados=0"},
      // An undeclared item stays an input and never shows in the reply.
      {"/Consulta?Flag=120&Extra=1", "flag=120;filtro=;desativados=0"},
      // A parameter in its JSON form.
      {"/Consulta?Filtro=" + UrlEncode(InputParamJson("filtro", "ovString", true, "\"QW5h\"")),
       "flag=5;filtro=Ana;desativados=0"},
      {"/Consulta?Flag=" + UrlEncode(InputParamJson("flag", "ovInteger", false, "130")),
       "flag=130;filtro=;desativados=0"},
  };
  for (const auto& c : cases) EXPECT_EQ(Get(c.target).body, ConsultaReply(c.summary)) << c.target;
}

TEST_F(ListenerTest, DeclaredOutputSentAsInputIsLeftOutOfTheReply) {
  const RawReply reply = Get("/DWServerEventsT01_USUARI/ValidaUsuario?Usuario=ana&Resposta=zz");
  EXPECT_EQ(reply.status, 200);
  EXPECT_EQ(reply.body, Envelope("null"));
  // Without it the output is there, written by the handler.
  EXPECT_EQ(Get("/ValidaUsuario?Usuario=ana").body, Envelope(OutText("RESPOSTA", "Usuario=ana")));
}

TEST_F(ListenerTest, HeadersBecomeParametersAfterTheQuery) {
  struct Case {
    std::string target, headers, summary;
  } cases[] = {
      {"/Consulta", "Flag: 130\r\n", "flag=130;filtro=;desativados=0"},
      {"/Consulta?Flag=120", "Flag: 130\r\n",
       "flag=120;filtro=;desativados=0"},  // the query is decoded first
      {"/Consulta", "Filtro: " + InputParamJson("filtro", "ovString", true, "\"QW5h\"") + "\r\n",
       "flag=5;filtro=Ana;desativados=0"},
  };
  for (const auto& c : cases) EXPECT_EQ(Get(c.target, c.headers).body, ConsultaReply(c.summary)) << c.headers;
}

TEST_F(ListenerTest, FormBodies) {
  const std::string form = "Content-Type: application/x-www-form-urlencoded\r\n";
  struct Case {
    std::string method, target, body, summary;
  } cases[] = {
      {"POST", "/DWServerEventsTAB_GERAL/Consulta", "Flag=100&Filtro=abc",
       "flag=100;filtro=abc;desativados=0"},
      {"PUT", "/DWServerEventsTAB_GERAL/Consulta", "Flag=101&Filtro=a+b",
       "flag=101;filtro=a b;desativados=0"},
      {"POST", "/Consulta?Filtro=q", "Flag=102", "flag=102;filtro=q;desativados=0"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Send(c.method, c.target, form, c.body).body, ConsultaReply(c.summary)) << c.body;
}

TEST_F(ListenerTest, MultipartFieldsCarryParametersAndTheGroupName) {
  const auto post = [&](const std::vector<MultipartField>& fields) {
    return Send("POST", "/Consulta", MultipartHeader(), MultipartBody(fields));
  };
  const std::vector<MultipartField> params = {
      {"flag", "", InputParamJson("flag", "ovInteger", false, "130")},
      {"filtro", "", InputParamJson("filtro", "ovString", true, "\"QW5h\"")},
  };
  EXPECT_EQ(post(params).body, ConsultaReply("flag=130;filtro=Ana;desativados=0"));

  auto with_group = params;
  with_group.insert(with_group.begin(),
                    {"dwservereventname", "", SingleValueJson("TDM.DWServerEventsTAB_GERAL")});
  EXPECT_EQ(post(with_group).body, ConsultaReply("flag=130;filtro=Ana;desativados=0"));

  // The field names the group, replacing the path's (empty) one: a group without the event.
  auto wrong_group = params;
  wrong_group.push_back({"dwservereventname", "", SingleValueJson("DWServerEventsT01_USUARI")});
  const RawReply refused = post(wrong_group);
  EXPECT_EQ(refused.status, 404);
  EXPECT_EQ(refused.body, "Event not found...");

  // A field that is not valid parameter JSON escapes the decoding as a 500.
  const RawReply bad = post({{"filtro", "", R"({"ObjectType":"toParam", "Direction":)"}});
  EXPECT_EQ(bad.status, 500);
}

TEST_F(ListenerTest, BinaryDataPartsCarryTheBinaryParameterForm) {
  const std::string form = BinaryForm({{"Filtro", "Bia"}}, 140);
  const RawReply plain =
      Send("POST", "/Consulta", MultipartHeader(), MultipartBody({{"binarydata", "", form}}));
  EXPECT_EQ(plain.body, ConsultaReply("flag=140;filtro=Bia;desativados=0"));

  // binaryrequest inside the form asks for the reply in binary form as well.
  const std::string asking = BinaryForm({{"Filtro", "Cid"}, {"binaryrequest", "true"}}, 150);
  const RawReply binary =
      Send("POST", "/Consulta", MultipartHeader(), MultipartBody({{"binarydata", "", asking}}));
  EXPECT_EQ(binary.status, 200);
  TDWParams outputs;
  TMemoryStream stream(binary.body);
  outputs.LoadFromStream(stream, TDWParamExpType::tdwpxt_All);
  ASSERT_EQ(outputs.Count(), 2u);
  EXPECT_EQ(outputs.ParamByName("Tabela").AsString(), "flag=150;filtro=Cid;desativados=0");
  EXPECT_TRUE(outputs.ParamByName("Resposta").IsNull());

  // The binary variant: binaryrequest set by a header, the form in a file part.
  const RawReply variant =
      Send("POST", "/Consulta", MultipartHeader() + "binaryrequest: true\r\n",
           MultipartBody({{"binarydata", "params.bin", BinaryForm({{"Filtro", "Dora"}}, 160)}}));
  TDWParams variant_outputs;
  TMemoryStream variant_stream(variant.body);
  variant_outputs.LoadFromStream(variant_stream, TDWParamExpType::tdwpxt_All);
  EXPECT_EQ(variant_outputs.ParamByName("Tabela").AsString(), "flag=160;filtro=Dora;desativados=0");
}

TEST_F(ListenerTest, RawBodies) {
  // The whole body as one parameter, read in the clients' code page.
  const RawReply raw = Send("POST", "/DWServerEventsTAB_GERAL/Grava?dwReadBodyRaw=1&dwNameParamBody=Tabela",
                            "Content-Type: text/plain\r\n", "Jos\xE9");
  EXPECT_EQ(raw.body, Envelope(OutText("RESPOSTA", "Tabela=Jos\xC3\xA9")));
  // Lines of name=value when the request also has query items.
  const RawReply lines =
      Send("POST", "/Grava?x=1", "Content-Type: text/plain\r\n", "Tabela=abc\r\nUsuario=u\r\n");
  EXPECT_EQ(lines.body, Envelope(OutText("RESPOSTA", "Tabela=abc")));
  const RawReply items =
      Send("POST", "/Grava?x=1", "Content-Type: text/plain\r\n", "Tabela=a%20b+c&Rotina=r");
  EXPECT_EQ(items.body, Envelope(OutText("RESPOSTA", "Tabela=a b c")));
}

TEST_F(ListenerTest, PatchAndDeleteTakeTheQueryAndNeverTheBody) {
  EXPECT_EQ(Send("DELETE", "/DWServerEventsTAB_GERAL/Exclui?Numero=42").body,
            Envelope(OutText("RESPOSTA", "OK42")));
  EXPECT_EQ(Send("PATCH", "/Exclui?Numero=7", "Content-Type: text/plain\r\n", "Numero=9").body,
            Envelope(OutText("RESPOSTA", "OK7")));
}

TEST_F(ListenerTest, GroupNameFromAQueryItemIsReadAsAnEncodedSingleValue) {
  // In a query the value of the single value text is base64 once more.
  const std::string usuari = UrlEncode(SingleValueJson(EncodeText("DWServerEventsT01_USUARI")));
  EXPECT_EQ(Get("/Consulta?Flag=1&dwservereventname=" + usuari).status, 404);
  const std::string geral = UrlEncode(SingleValueJson(EncodeText("DWServerEventsTAB_GERAL")));
  EXPECT_EQ(Get("/Consulta?Flag=1&dwservereventname=" + geral).body,
            ConsultaReply("flag=1;filtro=;desativados=0"));
}

TEST_F(ListenerTest, GroupNameFromAControlHeader) {
  const std::string header = "dwservereventname: " + SingleValueJson("TDM.DWServerEventsT01_USUARI") + "\r\n";
  EXPECT_EQ(Get("/ValidaUsuario?Usuario=x", header).body, Envelope(OutText("RESPOSTA", "Usuario=x")));
}

}  // namespace
}  // namespace livrexa::test
