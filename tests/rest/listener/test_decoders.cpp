// The request decoders on their own: names from paths, items, bodies, multipart parts,
// control headers and control parameters.

#include <gtest/gtest.h>

#include "rest/listener/detail/request_decoders.h"
#include "rest/params/dw_params.h"
#include "rest/wire/errors.h"
#include "rest/wire/text_codec.h"
#include "test_listener_fixture.h"

namespace livrexa {
namespace {

using test::InputParamJson;
using test::MultipartBody;
using test::MultipartField;
using test::SingleValueJson;

// "NAME=text" of every parameter, in list order (the name as stored).
std::vector<std::string> Items(const std::unique_ptr<TDWParams>& list) {
  std::vector<std::string> items;
  if (!list) return items;
  for (int i = 0; i < static_cast<int>(list->Count()); ++i)
    items.push_back(list->GetRec(i)->ParamName() + "=" + list->GetRec(i)->AsString());
  return items;
}

using Strings = std::vector<std::string>;

TEST(DecodeRESTURL, NamesParametersAndMark) {
  struct Case {
    std::string cmd;
    TEncodeSelect encoding;
    std::string group, event, mark;
    Strings items;
  } cases[] = {
      {"/a//c", TEncodeSelect::esASCII, "a", "c", "", {}},
      {"/Consulta?x", TEncodeSelect::esASCII, "", "Consulta", "", {"UNDEFINED=x"}},
      {"/Consulta?x&y", TEncodeSelect::esASCII, "", "Consulta", "", {"UNDEFINED=y"}},
      {"/G/E?Flag=1&b=%41%C3%A7", TEncodeSelect::esASCII, "G", "E", "", {"FLAG=1", "B=A??"}},
      {"/G/E?b=%41%C3%A7", TEncodeSelect::esUtf8, "G", "E", "", {"B=A\xC3\xA7"}},
      {"/%47rp/%45", TEncodeSelect::esASCII, "Grp", "%45", "", {}},  // the event is taken as sent
      {"/x/y/G/E", TEncodeSelect::esASCII, "G", "E", "", {}},
      {"/", TEncodeSelect::esASCII, "", "", "", {}},
      {"Consulta?x=1", TEncodeSelect::esASCII, "", "", "", {}},  // no "/": neither names nor parameters
      {"/E?dwmark:abc&x=1+2", TEncodeSelect::esASCII, "", "E", "abc", {"X=1+2"}},
      {"/E?a=b=c", TEncodeSelect::esASCII, "", "E", "", {"A=b=c"}},
  };
  for (const auto& c : cases) {
    std::unique_ptr<TDWParams> list;
    std::string mark, group = "old", event = "old";
    ParseRESTURL(c.cmd, c.encoding, list, mark, group, event);
    ASSERT_TRUE(list) << c.cmd;
    EXPECT_EQ(group, c.group) << c.cmd;
    EXPECT_EQ(event, c.event) << c.cmd;
    EXPECT_EQ(mark, c.mark) << c.cmd;
    EXPECT_EQ(Items(list), c.items) << c.cmd;
  }
}

TEST(DecodeRESTURL, UndefinedAlreadyInTheListIsReused) {
  std::unique_ptr<TDWParams> list = std::make_unique<TDWParams>();
  list->AddNew("undefined").SetAsString("before");
  std::string mark, group, event;
  ParseRESTURL("/E?later", TEncodeSelect::esASCII, list, mark, group, event);
  EXPECT_EQ(Items(list), Strings{"UNDEFINED=later"});
}

TEST(DecodeWebForms, NamesFromThePath) {
  struct Case {
    std::string path, group, event;
  } cases[] = {
      {"/G/E", "G", "E"}, {"/E", "", "E"},     {"/a/b/c", "b", "c"},
      {"/", "", ""},      {"/a//c", "a", "c"}, {"/x/Ev?q", "keep", "xEv"},
  };
  for (const auto& c : cases) {
    std::unique_ptr<TDWParams> list;
    std::string mark, group = "keep", event = "old";
    ParseWebFormsParams(list, {}, "GET", TEncodeSelect::esASCII, mark, group, event, "", c.path);
    EXPECT_EQ(group, c.group) << c.path;
    EXPECT_EQ(event, c.event) << c.path;
  }
}

TEST(DecodeWebForms, ItemsByMethod) {
  struct Case {
    const char* what;
    Strings engine;
    std::string method, query, path;
    Strings items;
    std::string mark;
  } cases[] = {
      {"GET, query decoded", {"a=%41"}, "GET", "a=%41 + b&dwmark:m1", "/E", {"A=A + b"}, "m1"},
      {"GET, engine lines as they are", {"a=%41", "b = 2 "}, "GET", "", "/E", {"A=%41", "B=2"}, ""},
      {"GET, an item without =", {}, "GET", "lonely", "/E", {"=lonely"}, ""},
      {"GET, query in the path", {}, "GET", "", "/E?x=1", {"X=1"}, ""},
      {"POST, no engine list: the query", {}, "POST", "f=%C3%A7", "/E", {"F=\xC3\xA7"}, ""},
      {"POST, engine lines decoded once more",
       {"Filtro= x%41 ", "e=", "dwmark:m2"},
       "POST",
       "",
       "/E",
       {"FILTRO=xA", "E="},
       "m2"},
      {"POST, a line in parameter JSON form",
       {"Filtro=" + InputParamJson("Filtro", "ovString", true, "\"QW5h\"")},
       "POST",
       "",
       "/E",
       {"filtro=Ana"},
       ""},
  };
  for (const auto& c : cases) {
    std::unique_ptr<TDWParams> list;
    std::string mark, group, event;
    ParseWebFormsParams(list, c.engine, c.method, TEncodeSelect::esASCII, mark, group, event, c.query,
                        c.path);
    EXPECT_EQ(Items(list), c.items) << c.what;
    EXPECT_EQ(mark, c.mark) << c.what;
  }
}

TEST(DecodeWebForms, EmptyValuesOfPostLinesAreNotEncoded) {
  std::unique_ptr<TDWParams> list;
  std::string mark, group, event;
  ParseWebFormsParams({"a=", "b=1"}, "/E", "POST", list, TEncodeSelect::esASCII, mark, group, event, "");
  ASSERT_EQ(list->Count(), 2u);
  EXPECT_FALSE(list->GetRec(0)->Encoded());
  EXPECT_TRUE(list->GetRec(1)->Encoded());
  EXPECT_EQ(list->GetRec(0)->ObjectDirection(), TObjectDirection::odIN);
}

TEST(DecodeDWParamsURL, LinesItemsAndJsonBodies) {
  struct Case {
    std::string body;
    TEncodeSelect encoding;
    bool read;
    Strings items;
  } cases[] = {
      {"a=1\r\nb=x=y\r\n", TEncodeSelect::esASCII, true, {"A=1", "B=x=y"}},
      {"\xC3\xAF\xC2\xBB\xC2\xBF[1,\r\n2]", TEncodeSelect::esASCII, true, {"UNDEFINED=[1,2]"}},
      {" {\"a\":\r\n1} ", TEncodeSelect::esASCII, true, {"UNDEFINED={\"a\":1}"}},
      {"plain text", TEncodeSelect::esASCII, false, {}},
      {"a=1+2&b=%C3%A7&c", TEncodeSelect::esUtf8, true, {"A=1 2", "B=\xC3\xA7", "UNDEFINED=c"}},
      {"b=%C3%A7", TEncodeSelect::esASCII, true, {"B=??"}},
  };
  for (const auto& c : cases) {
    std::unique_ptr<TDWParams> list;
    EXPECT_EQ(ParseDWParamsURL(c.body, c.encoding, list), c.read) << c.body;
    EXPECT_EQ(Items(list), c.items) << c.body;
  }
}

TEST(DecodeBody, RawAndBinaryBodiesAsOneParameter) {
  std::unique_ptr<TDWParams> none;
  ParseBodyRawToDWParam("", TEncodeSelect::esASCII, none);
  EXPECT_FALSE(none) << "an empty body changes nothing";

  std::unique_ptr<TDWParams> raw;
  ParseBodyRawToDWParam("{\"x\":1}", TEncodeSelect::esASCII, raw);
  EXPECT_EQ(Items(raw), Strings{"UNDEFINED={\"x\":1}"});

  auto named = std::make_unique<TDWParams>();
  named->AddNew("dwNameParamBody").SetAsString("Tabela");
  ParseBodyRawToDWParam("abc", TEncodeSelect::esASCII, named);
  EXPECT_EQ(named->ParamByName("Tabela").AsString(), "abc");

  // The binary variant reads the other word order, and adds the file name and its type.
  auto bin = std::make_unique<TDWParams>();
  bin->AddNew("dwNameParamBody").SetAsString("Wrong");
  bin->AddNew("dwParamNameBody").SetAsString("Foto");
  bin->AddNew("dwFileNameBody").SetAsString("capa.png");
  const std::string bytes("\x89PNG\0\x01", 6);
  ParseBodyBinToDWParam(bytes, TEncodeSelect::esASCII, bin);
  // The bytes travel exactly, as their base64.
  EXPECT_NE(bin->ParamByName("Foto").ToJSON().find("\"FOTO\":\"" + EncodeBinary(bytes) + "\""),
            std::string::npos)
      << bin->ParamByName("Foto").ToJSON();
  EXPECT_EQ(bin->GetRecName("Wrong"), nullptr);
  EXPECT_EQ(bin->ParamByName("dwfilename").AsString(), "capa.png");
  EXPECT_EQ(bin->ParamByName("Content-Type").AsString(), "image/png");

  auto typed = std::make_unique<TDWParams>();
  typed->AddNew("dwFileNameBody").SetAsString("a.pdf");
  typed->AddNew("Content-Type").SetAsString("text/x-mine");
  ParseBodyBinToDWParam("x", TEncodeSelect::esASCII, typed);
  EXPECT_EQ(typed->Count(), 4u);
  EXPECT_EQ(typed->ParamByName("Content-Type").AsString(), "text/x-mine");
}

TMultipartInput Input(const std::string& body, const std::string& content_type) {
  static const std::vector<std::string> kNoEngineParams;
  return TMultipartInput{body, content_type, &kNoEngineParams, "/E", "", TEncodeSelect::esASCII};
}

TEST(DecodeMultipart, FieldsFilesAndControlValues) {
  const std::string body =
      "preamble line\r\n" + MultipartBody({
                                {"filtro", "", InputParamJson("Filtro", "ovString", true, "\"QW5h\"")},
                                {"dwaccesstag", "", EncodeText("tag1")},
                                {"datacompression", "", "true"},
                                {"dwwelcomemessage", "", EncodeText("oi")},
                                {"dwservereventname", "", SingleValueJson("TDM.DWServerEventsTAB_GERAL")},
                                {"", "C:\\fotos\\capa.png", "\x89PNG\xE9"},
                                {"Foto", "foto.jpg", "bytes\xE9"},
                            });
  std::unique_ptr<TDWParams> list;
  std::string group, event = "E";
  TControlValues controls;
  ParseMultipart(Input(body, "multipart/form-data; boundary=\"XyZ-boundary-42\""), false, list, group, event,
                 controls);
  ASSERT_TRUE(list);
  EXPECT_EQ(group, "DWServerEventsTAB_GERAL");
  EXPECT_EQ(controls.AccessTag, "tag1");
  EXPECT_TRUE(controls.DataCompression);
  EXPECT_EQ(controls.WelcomeMessage, "oi");
  ASSERT_EQ(list->Count(), 3u);
  EXPECT_EQ(list->GetRec(0)->ParamName(), "FILTRO");
  EXPECT_EQ(list->GetRec(0)->AsString(), "Ana");
  const TJSONParam& file = *list->GetRec(1);
  EXPECT_EQ(file.ParamName(), "DWFILENAME");
  EXPECT_EQ(file.ParamFileName(), "capa.png");
  EXPECT_EQ(file.ParamContentType(), "image/png");
  EXPECT_EQ(file.AsString(), "\xE2\x80\xB0PNG\xC3\xA9") << "read in the clients' code page";
  EXPECT_EQ(list->GetRec(2)->ParamName(), "FOTO");
  EXPECT_EQ(list->GetRec(2)->AsString(), "bytes\xC3\xA9");
}

// A file part whose disposition writes the name marker in capitals: the name is the one sent
// (the marker used to be looked up again with its case, and a missing one read out of bounds).
TEST(DecodeMultipart, FilePartNameMarkerInCapitals) {
  const std::string body =
      "--XX\r\nContent-Disposition: form-data; NAME=\"Foto\"; filename=\"a.png\"\r\n\r\nbytes\r\n"
      "--XX\r\nContent-Disposition: form-data; Name=\"Sem fim; filename=\"b.png\"\r\n\r\nb\r\n--XX--\r\n";
  std::unique_ptr<TDWParams> list;
  std::string group, event = "E";
  TControlValues controls;
  ParseMultipart(Input(body, "multipart/form-data; boundary=XX"), false, list, group, event, controls);
  ASSERT_TRUE(list);
  ASSERT_EQ(list->Count(), 2u);
  EXPECT_EQ(list->GetRec(0)->ParamName(), "FOTO");
  EXPECT_EQ(list->GetRec(0)->AsString(), "bytes");
  EXPECT_EQ(list->GetRec(1)->ParamName(), "SEM FIM; FILENAME=");
}

TEST(DecodeMultipart, BinaryDataFieldAndTheBinaryVariant) {
  TDWParams sent;
  sent.AddNew("Flag").SetAsInteger(140);
  sent.AddNew("dwaccesstag").SetAsString(EncodeText("t"));
  sent.AddNew("binaryrequest").SetAsString("true");
  const std::string form = sent.SaveToStream(TDWParamExpType::tdwpxt_All).Bytes();

  std::unique_ptr<TDWParams> list;
  std::string group, event;
  TControlValues controls;
  ParseMultipart(
      Input(MultipartBody({{"binarydata", "", form}}), "multipart/form-data; boundary=XyZ-boundary-42"),
      false, list, group, event, controls);
  ASSERT_TRUE(list);
  EXPECT_EQ(list->ParamByName("Flag").AsInteger(), 140);
  EXPECT_EQ(controls.AccessTag, "t");
  EXPECT_TRUE(controls.BinaryRequest);

  // Binary variant: a plain field is parameter JSON; the form comes in a file part.
  std::unique_ptr<TDWParams> variant;
  TControlValues variant_controls;
  ParseMultipart(
      Input(MultipartBody({{"binarydata", "p.bin", form},
                           {"filtro", "", InputParamJson("filtro", "ovString", true, "\"QW5h\"")}}),
            "multipart/form-data; boundary=XyZ-boundary-42"),
      true, variant, group, event, variant_controls);
  ASSERT_TRUE(variant);
  EXPECT_EQ(variant->ParamByName("Flag").AsInteger(), 140);
  EXPECT_EQ(variant->ParamByName("Filtro").AsString(), "Ana");
  EXPECT_TRUE(variant_controls.BinaryRequest);

  // Without "--" in the body or a boundary in the type, the binary variant reads nothing.
  std::unique_ptr<TDWParams> nothing;
  ParseMultipart(Input("plain", "multipart/form-data; boundary=b"), true, nothing, group, event,
                 variant_controls);
  EXPECT_FALSE(nothing);
}

TEST(DecodeMultipart, MalformedParameterJsonFails) {
  std::unique_ptr<TDWParams> list;
  std::string group, event;
  TControlValues controls;
  EXPECT_THROW(ParseMultipart(Input(MultipartBody({{"filtro", "", "{\"ObjectType\":"}}),
                                    "multipart/form-data; boundary=XyZ-boundary-42"),
                              false, list, group, event, controls),
               LivrexaError);
}

TEST(DecodeMultipart, UnterminatedBodyIsReadToItsEnd) {
  const std::string body = "--b\r\nContent-Disposition: form-data; name=\"x\"\r\n\r\n" +
                           InputParamJson("x", "ovString", true, "\"QW5h\"");
  std::unique_ptr<TDWParams> list;
  std::string group, event;
  TControlValues controls;
  ParseMultipart(Input(body, "multipart/form-data; boundary=b"), false, list, group, event, controls);
  ASSERT_TRUE(list);
  EXPECT_EQ(list->ParamByName("x").AsString(), "Ana");
}

TEST(DecodeControl, SwitchesAndSingleValues) {
  struct Case {
    const char* text;
    bool on;
  } cases[] = {{"true", true}, {" TRUE ", true}, {"True", true}, {"1", false}, {"yes", false}, {"", false}};
  for (const auto& c : cases) EXPECT_EQ(ReadSwitch(c.text), c.on) << c.text;
  EXPECT_EQ(ReadSingleValueText(SingleValueJson("Grupo")), "Grupo");
  EXPECT_EQ(ReadSingleValueText("not json"), "");
}

TEST(DecodeControl, HeadersSetControlValuesOrBecomeParameters) {
  HttpRequest r;
  r.path = "/G/E";
  r.query = "Flag=120";
  r.params = {"Flag=120"};
  r.headers = {{"Host", "h"},
               {"X-DWWelcomeMessage", EncodeText("ola")},
               {"dwaccesstag", EncodeText("tag")},
               {"datacompression", "true"},
               {"dwencodestrings", "true"},
               {"dwusecript", " TRUE"},
               {"dwassyncexec", "true"},
               {"binaryrequest", "true"},
               {"Flag", "130"},
               {"Filtro", InputParamJson("filtro", "ovString", true, "\"QW5h\"")},
               {"dwservereventname", SingleValueJson("TDM.Outro")}};
  std::unique_ptr<TDWParams> list;
  std::string group, event;
  TControlValues c;
  ReadControlHeaders(r, TEncodeSelect::esASCII, list, group, event, c);
  EXPECT_EQ(c.WelcomeMessage, "ola");
  EXPECT_EQ(c.AccessTag, "tag");
  EXPECT_TRUE(c.DataCompression && c.EncodeStrings && c.UseCript && c.AssyncExec && c.BinaryRequest);
  EXPECT_EQ(group, "Outro");
  EXPECT_EQ(event, "E");
  EXPECT_EQ(Items(list), (Strings{"FLAG=120", "HOST=h", "FLAG=130", "filtro=Ana"}));
  EXPECT_EQ(list->GetRec(1)->ObjectDirection(), TObjectDirection::odIN);
}

TEST(DecodeControl, ControlParametersByShape) {
  auto list = std::make_unique<TDWParams>();
  list->AddNew("dwwelcomemessage").SetAsString(EncodeText("w"));
  list->AddNew("dwaccesstag").SetAsString(EncodeText("a"));
  list->AddNew("datacompression").SetAsString("true");
  list->AddNew("dwassyncexec").SetAsString("true");
  list->AddNew("binaryrequest").SetAsString("true");
  list->AddNew("dwservereventname").SetAsString("Grupo");
  struct Case {
    TControlParamSet set;
    bool welcome, compression, assync, binary;
    std::string group;
  } cases[] = {
      {TControlParamSet::kGetWithoutQuery, true, true, false, false, "Grupo"},
      {TControlParamSet::kPatchDelete, true, true, true, false, "Grupo"},
      {TControlParamSet::kBinaryData, true, true, true, true, "Grupo"},
      {TControlParamSet::kGetWithQuery, true, true, false, false, ""},  // "Grupo" is no single value text
      {TControlParamSet::kPostPutWithoutBody, false, false, false, false, "before"},
  };
  for (const auto& c : cases) {
    TControlValues v;
    std::string group = "before";
    ReadControlParams(c.set, list.get(), group, v);
    EXPECT_EQ(v.WelcomeMessage == "w", c.welcome) << static_cast<int>(c.set);
    EXPECT_EQ(v.AccessTag, "a") << static_cast<int>(c.set);
    EXPECT_EQ(v.DataCompression, c.compression) << static_cast<int>(c.set);
    EXPECT_EQ(v.AssyncExec, c.assync) << static_cast<int>(c.set);
    EXPECT_EQ(v.BinaryRequest, c.binary) << static_cast<int>(c.set);
    EXPECT_EQ(group, c.group) << static_cast<int>(c.set);
  }
}

}  // namespace
}  // namespace livrexa
