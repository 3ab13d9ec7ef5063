// Large forms are decoded without holding them three times over: the form text is read again
// only for what the header pass did not take, and items it did take are not appended twice. Every
// lookup must still find what the plain reading (ParseRESTURL over the joined texts) finds.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rest/http/http_request.h"
#include "rest/listener/detail/listener_request.h"
#include "rest/listener/detail/request_decoders.h"
#include "rest/params/dw_params.h"

namespace livrexa {
namespace {

HttpRequest FormRequest(const std::string& target, const std::string& body,
                        bool control_headers_only = false) {
  HttpRequest r;
  r.method = "POST";
  r.target = target;
  r.request_line = "POST " + target + " HTTP/1.1";
  if (control_headers_only) {
    r.headers = {{"dwencodestrings", "false"}};
  } else {
    r.headers = {{"Host", "h"}};
  }
  r.headers.push_back({"Content-Type", "application/x-www-form-urlencoded"});
  r.body = body;
  FillDerivedItems(r);
  return r;
}

// The reading before: the header pass, then ParseRESTURL over path?query&form.
TListenerRequest PlainReading(const HttpRequest& r) {
  TListenerRequest s;
  s.request_type = TRequestType::rtPost;
  ReadControlHeaders(r, TEncodeSelect::esASCII, s.params, s.group_name, s.event_name, s.controls);
  std::string cmd = r.path + "?" + r.query;
  if (!Trim(r.query).empty()) cmd += "&";
  cmd += r.form_text;
  ParseRESTURL(cmd, TEncodeSelect::esASCII, s.params, s.controls.Mark, s.group_name, s.event_name);
  return s;
}

TEST(FormDecoding, LargeFormsReadAsTheJoinedTextWould) {
  const std::string big(200 * 1024, 'Q');
  const std::vector<std::string> forms = {
      "Flag=120&Tabela=" + big + "&Usuario=ana",
      "Tabela=" + big + "&Tabela=segundo&sem_igual&dwmark:m1",
      "Fil%74ro=" + big + "&Filtro2=" + big +
          "%0D%0AFlag=999",  // escaped name; a value that splits into lines
      "Tabela=" + big + "%7B%22ObjectType%22:%22toParam%22,%20%22Direction%22:%22odIN%22",
      "a+b=" + big + "&x=1&&",
      "Rotina=" + big + "dwmark:z",
  };
  for (const std::string& form : forms) {
    for (const std::string& target :
         {std::string("/G/Consulta?q=1"), std::string("/Consulta"), std::string("/G/E? ")}) {
      for (const bool control_only : {false, true}) {
        const HttpRequest original = FormRequest(target, form, control_only);
        const TListenerRequest plain = PlainReading(original);
        HttpRequest r = original;
        TListenerRequest s;
        s.request_type = TRequestType::rtPost;
        DecodeRequest(r, TEncodeSelect::esASCII, s);
        ASSERT_TRUE(plain.params && s.params);
        EXPECT_EQ(s.group_name, plain.group_name) << target;
        EXPECT_EQ(s.event_name, plain.event_name) << target;
        EXPECT_EQ(s.controls.Mark, plain.controls.Mark) << target;
        for (int i = 0; i < static_cast<int>(plain.params->Count()); ++i) {
          const std::string name = plain.params->GetRec(i)->ParamName();
          const TJSONParam* found = s.params->GetRecName(name);
          ASSERT_NE(found, nullptr) << name << " in " << target;
          EXPECT_EQ(found->AsString(), plain.params->GetRecName(name)->AsString())
              << name << " in " << target;
        }
      }
    }
  }
}

TEST(FormDecoding, OnlyValuesTheHeaderPassTakesAreDropped) {
  const std::string big(100, 'Q');
  const auto dropped = [&](const std::string& form) {
    HttpRequest r = FormRequest("/E", form);
    DropValuesTheHeaderPassReads(r.form_text, r.query, r.params, 50);
    return r.form_text;
  };
  EXPECT_EQ(dropped("a=1&T=" + big + "&b=2"), "a=1&T=&b=2");
  EXPECT_EQ(dropped("T%41=" + big), "T%41=" + big) << "an escaped name";
  EXPECT_EQ(dropped("T=" + big + "%0A"), "T=" + big + "%0A") << "a value the header pass splits";
  EXPECT_EQ(dropped("T=" + big + "dwmark:x"), "T=" + big + "dwmark:x");
  EXPECT_EQ(dropped("&&T=" + big + "&"), "&&T=&") << "empty items keep their places";
}

}  // namespace
}  // namespace livrexa
