// The server-events registry and RunServerEvent: defaults, lookups, completing the parameter
// list from the declaration, group matching, access tags, routes, hooks and errors.

#include <gtest/gtest.h>

#include "rest/listener/detail/server_events_dispatch.h"
#include "rest/listener/server_method_module.h"
#include "rest/params/dw_params.h"
#include "rest/wire/errors.h"
#include "rest/wire/text_codec.h"
#include "test_listener_fixture.h"
#include "test_listener_module.h"

namespace livrexa {
namespace {

using enum TObjectDirection;
using enum TObjectValue;

TEST(ServerEventsRegistry, DefaultsAndNames) {
  TDWEventList events;
  EXPECT_EQ(events.Add().Name(), "dwevent0");
  TDWEvent& second = events.Add();
  EXPECT_EQ(second.Name(), "dwevent1");
  EXPECT_TRUE(second.Routes.Contains(TDWRoute::crAll));
  EXPECT_EQ(second.JsonMode, TJsonMode::jmDataware);
  try {
    second.SetName("   ");
    FAIL();
  } catch (const LivrexaError& e) {
    EXPECT_STREQ(e.what(), "Invalid Event Name");
  }
  EXPECT_EQ(second.Name(), "dwevent1");

  TDWParamMethod& p = second.DWParams.Add();
  EXPECT_EQ(p.ParamName(), "dwparam0");
  EXPECT_EQ(p.TypeObject, TTypeObject::toParam);
  EXPECT_EQ(p.ObjectDirection, odINOUT);
  EXPECT_EQ(p.ObjectValue, ovString);
  EXPECT_TRUE(p.Encoded);
  EXPECT_EQ(second.DWParams.Add().ParamName(), "dwparam1");
  p.SetParamName("  Filtro ");
  EXPECT_EQ(p.ParamName(), "Filtro");
  try {
    p.SetParamName("");
    FAIL();
  } catch (const LivrexaError& e) {
    EXPECT_STREQ(e.what(), "Invalid Param Name");
  }

  events.Add("consulta");
  events.Add("CONSULTA");
  EXPECT_EQ(events.EventByName("Consulta"), &events[2]) << "first match, case ignored";
  EXPECT_EQ(events.EventByName("nada"), nullptr);
  EXPECT_EQ(second.DWParams.ParamByName("FILTRO"), &second.DWParams[0]);
}

TEST(ServerEventsRegistry, RequestTypesMapOntoTheNextRoute) {
  EXPECT_EQ(RouteOf(TRequestType::rtGet), TDWRoute::crGet);
  EXPECT_EQ(RouteOf(TRequestType::rtPost), TDWRoute::crPost);
  EXPECT_EQ(RouteOf(TRequestType::rtPut), TDWRoute::crPut);
  EXPECT_EQ(RouteOf(TRequestType::rtPatch), TDWRoute::crPatch);
  EXPECT_EQ(RouteOf(TRequestType::rtDelete), TDWRoute::crDelete);
}

TEST(ServerEventsRegistry, CreateDWParamsAddsOnlyWhatIsMissing) {
  test::TestModule module;
  const TDWServerEvents& geral = *module.ServerEventsGroups()[2];
  auto list = std::make_unique<TDWParams>();
  list->SetEncoding(TEncodeSelect::esASCII);
  list->AddNew("flag", odIN).SetAsString("120");  // a plain query item, lower case
  list->AddNew("Tabela", odIN).SetAsString("sent");
  list->AddNew("Extra", odIN).SetAsString("1");
  geral.CreateDWParams("consulta", list);

  ASSERT_EQ(list->Count(), 11u) << "three received plus the eight declared ones they lacked";
  EXPECT_EQ(list->ParamByName("Flag").AsInteger(), 120);
  EXPECT_EQ(list->ParamByName("Flag").ObjectValue(), ovString) << "kept exactly as received";
  EXPECT_EQ(list->ParamByName("Tabela").ObjectDirection(), odIN)
      << "a declared output sent as input stays input";
  EXPECT_EQ(list->ParamByName("Tabela").AsString(), "sent");
  EXPECT_EQ(list->ToJSON(), test::OutText("RESPOSTA", ""));

  std::unique_ptr<TDWParams> fresh;
  geral.CreateDWParams("Consulta", fresh, TEncodeSelect::esASCII);
  ASSERT_TRUE(fresh);
  EXPECT_EQ(fresh->Encoding(), TEncodeSelect::esASCII);
  EXPECT_EQ(
      fresh->ParamByName("Flag").ToJSON(),
      R"({"ObjectType":"toParam", "Direction":"odIN", "Encoded":"false", "ValueType":"ovInteger", "FLAG":5})");
  EXPECT_EQ(fresh->ParamByName("Flag").AsInteger(), 5);
  EXPECT_FALSE(fresh->ParamByName("Desativados").AsBoolean());
  EXPECT_EQ(fresh->ParamByName("Filtro").AsString(), "");
  EXPECT_EQ(fresh->GetRec(0)->ParamName(), "FLAG");
  EXPECT_EQ(fresh->GetRec(9)->ParamName(), "FILTRO2");
}

TEST(ServerEventsRegistry, EventListingText) {
  test::TestModule module;
  EXPECT_EQ(
      module.ServerEventsGroups()[1]->Events.ToJSON(),
      R"({"serverevents":[{"eventname":"AtualizaServidor", "jsonmode":"jmDataware", "params":[{"typeobject":"toParam", "objectdirection":"odOUT", "objectvalue":"ovString", "paramname":"Resposta", "encoded":"true", "default":""}]}]})");
  const std::string geral = module.ServerEventsGroups()[2]->Events.ToJSON();
  EXPECT_NE(
      geral.find(
          R"({"typeobject":"toParam", "objectdirection":"odIN", "objectvalue":"ovInteger", "paramname":"Flag", "encoded":"true", "default":"NQ=="}, {"typeobject")"),
      std::string::npos)
      << "defaults travel in base64";
  EXPECT_NE(geral.find(R"(]}, {"eventname":"Grava", )"), std::string::npos);
  EXPECT_EQ(Result2JSON({"-5", "a\"b"}), R"({"STATUS":"-5","MENSSAGE":"a"b"})");
}

// A module with groups of every kind RunServerEvent must tell apart.
class RoutedModule : public TServerMethodDataModule {
 public:
  RoutedModule() {
    TDWServerEvents& context = AddServerEvents("GrupoContexto");
    context.ContextName = "api";
    Add(context, "Eco", {TDWRoute::crAll});
    TDWServerEvents& tagged = AddServerEvents("GrupoTag");
    tagged.AccessTag = "segredo";
    Add(tagged, "Eco", {TDWRoute::crAll});
    TDWServerEvents& plain = AddServerEvents("GrupoSimples");
    Add(plain, "SoGet", {TDWRoute::crGet});
    Add(plain, "GetPost", {TDWRoute::crPost, TDWRoute::crGet});
    Add(plain, "Nenhum", {});
    Add(plain, "Eco", {TDWRoute::crAll});
    TDWEvent& typed = Add(plain, "PorTipo", {TDWRoute::crAll});
    typed.Handlers.OnReplyEventByType = [this](TDWParams& p, std::string& result, TRequestType type,
                                               int& status, const TRequestHeader& headers) {
      result = "{\"tipo\":" + std::to_string(static_cast<int>(type)) +
               ",\"linhas\":" + std::to_string(headers.size()) + "}";
      status = 201;
      p.AddNew("Marca", odOUT).SetAsString(before_execute);
    };
    typed.Handlers.OnBeforeExecute = [this](TDWEvent& e) { before_execute = "antes:" + e.Name(); };
    TDWEvent& falha = Add(plain, "Falha", {TDWRoute::crAll});
    falha.Handlers.OnReplyEvent = [](TDWParams&, std::string&) { throw LivrexaError("boom"); };
    TDWEvent& guarded = Add(plain, "Guardado", {TDWRoute::crAll});
    guarded.Handlers.OnAuthRequest = [](TDWParams& p, bool& rejected, std::string& error, int& status,
                                        const TRequestHeader&) {
      rejected = p.GetRecName("motivo") != nullptr || p.GetRecName("vazio") != nullptr || p.GetRecName("401");
      if (p.GetRecName("motivo")) error = "<b>nao</b>";
      if (p.GetRecName("401")) status = 401;
    };
  }
  std::string ClassName() const override { return "TRoteado"; }
  std::string before_execute;

 private:
  static TDWEvent& Add(TDWServerEvents& group, const char* name, std::initializer_list<TDWRoute> routes) {
    TDWEvent& e = group.Events.Add(name);
    e.Routes = TDWRoutes();
    for (const auto r : routes) e.Routes.Include(r);
    e.DWParams.Add("Resposta", odOUT, ovString);
    e.Handlers.OnReplyEvent = [](TDWParams& p, std::string&) {
      p.ParamByName("Resposta").SetAsString("eco");
    };
    return e;
  }
};

struct RunOutcome {
  bool found;
  int status;
  std::string result, content_type;
  TJsonMode mode;
  std::unique_ptr<TDWParams> list;
};

RunOutcome RunEvent(RoutedModule& module, const std::string& group, const std::string& event,
                    TRequestType type = TRequestType::rtGet, const std::string& tag = "",
                    std::initializer_list<const char*> present = {}) {
  TListenerRequest request;
  request.request_type = type;
  request.group_name = group;
  request.event_name = event;
  request.controls.AccessTag = tag;
  request.params = std::make_unique<TDWParams>();
  for (const char* name : present) request.params->AddNew(name).SetAsString("x");
  const bool found = RunServerEvent(module, request, TRequestHeader{"Host: h", "User-Agent: t"});
  return RunOutcome{found,
                    request.status_code,
                    request.result_text,
                    request.content_type,
                    request.json_mode,
                    std::move(request.params)};
}

TEST(RunServerEvent, GroupMatchingByContextComponentOrClassName) {
  RoutedModule module;
  struct Case {
    std::string group;
    bool found;
    const char* result;
  } cases[] = {
      {"api", true, R"({"MESSAGE":"OK",  "RESULT":"OK"})"},            // context name
      {"GRUPOCONTEXTO", true, R"({"MESSAGE":"OK",  "RESULT":"OK"})"},  // component name, case ignored
      {"troteado.gruposimples", true, R"({"MESSAGE":"OK",  "RESULT":"OK"})"},
      {"", true, "Invalid Access tag..."},  // the first group with a blank context name is the tagged one
      {"GrupoTag", true, "Invalid Access tag..."},
      {"Outro", false, "Event not found..."},
      {"TRoteado", false, "Event not found..."},
  };
  for (const auto& c : cases) {
    RunOutcome o = RunEvent(module, c.group, "eco");
    EXPECT_EQ(o.found, c.found) << c.group;
    EXPECT_EQ(o.result, c.result) << c.group;
    EXPECT_EQ(o.status, c.found ? 200 : 404) << c.group;
  }
  // An empty group name skips the group with a context name and reaches the access-tagged one.
  EXPECT_EQ(
      RunEvent(module, "", "eco", TRequestType::rtGet, "segredo").list->ParamByName("Resposta").AsString(),
      "eco");
  EXPECT_EQ(RunEvent(module, "GrupoTag", "eco", TRequestType::rtGet, "", {"dwencodestrings"}).result,
            EncodeText("Invalid Access tag..."));
}

TEST(RunServerEvent, RoutesRefuseOtherMethods) {
  RoutedModule module;
  struct Case {
    const char* event;
    TRequestType type;
    int status;
    std::string result;
  } cases[] = {
      {"SoGet", TRequestType::rtGet, 200, R"({"MESSAGE":"OK",  "RESULT":"OK"})"},
      {"SoGet", TRequestType::rtPost, 403, "Request rejected. Acceptable HTTP methods: GET"},
      {"GetPost", TRequestType::rtDelete, 403, "Request rejected. Acceptable HTTP methods: GET, POST"},
      {"GetPost", TRequestType::rtPost, 200, R"({"MESSAGE":"OK",  "RESULT":"OK"})"},
      {"Nenhum", TRequestType::rtGet, 500, "Acceptable HTTP methods not defined on server"},
      {"Eco", TRequestType::rtPatch, 200, R"({"MESSAGE":"OK",  "RESULT":"OK"})"},
  };
  for (const auto& c : cases) {
    RunOutcome o = RunEvent(module, "GrupoSimples", c.event, c.type);
    EXPECT_TRUE(o.found);
    EXPECT_EQ(o.status, c.status) << c.event;
    EXPECT_EQ(o.result, c.result) << c.event;
    // A refused route does not complete the list.
    EXPECT_EQ(o.list->GetRecName("Resposta") != nullptr, c.status == 200) << c.event;
  }
}

TEST(RunServerEvent, HooksErrorsAndResultTexts) {
  RoutedModule module;
  RunOutcome typed = RunEvent(module, "", "PorTipo", TRequestType::rtPut);
  EXPECT_EQ(typed.result, R"({"tipo":2,"linhas":2})") << "the handler by type is preferred";
  EXPECT_EQ(typed.status, 201);
  EXPECT_EQ(typed.mode, TJsonMode::jmDataware);
  EXPECT_EQ(typed.list->ParamByName("Marca").AsString(), "antes:PorTipo");

  RunOutcome boom = RunEvent(module, "", "Falha");
  EXPECT_EQ(boom.status, 500);
  EXPECT_EQ(boom.result, "boom");
  EXPECT_EQ(boom.mode, TJsonMode::jmPureJSON);
  EXPECT_EQ(RunEvent(module, "", "Falha", TRequestType::rtGet, "", {"dwencodestrings"}).result, "Ym9vbQ==");

  RunOutcome why = RunEvent(module, "", "Guardado", TRequestType::rtGet, "", {"motivo"});
  EXPECT_EQ(why.result, "<b>nao</b>");
  EXPECT_EQ(why.content_type, "text/html");
  EXPECT_EQ(why.status, 500);
  RunOutcome empty = RunEvent(module, "", "Guardado", TRequestType::rtGet, "", {"vazio"});
  EXPECT_EQ(empty.result, "The Requested URL was Rejected");
  EXPECT_EQ(empty.content_type, "");
  EXPECT_EQ(RunEvent(module, "", "Guardado", TRequestType::rtGet, "", {"401"}).status, 401);
  EXPECT_EQ(RunEvent(module, "", "Guardado").result, R"({"MESSAGE":"OK",  "RESULT":"OK"})");
}

class EmptyModule : public TServerMethodDataModule {
 public:
  std::string ClassName() const override { return "TVazio"; }
};

TEST(RunServerEvent, NoGroupsAtAll) {
  EmptyModule module;
  TListenerRequest request;
  request.request_type = TRequestType::rtGet;
  request.event_name = "Eco";
  request.result_text = "x";
  EXPECT_FALSE(RunServerEvent(module, request, TRequestHeader{}));
  EXPECT_EQ(request.status_code, 404);
  EXPECT_EQ(request.result_text, "");
  EXPECT_EQ(request.params, nullptr);
}

TEST(ServerEventsListings, GroupsByAccessTagAndEventsOfOneGroup) {
  RoutedModule module;
  EXPECT_EQ(ServerEventsListing(module, ""), "TRoteado.GrupoContexto|TRoteado.GrupoSimples");
  EXPECT_EQ(ServerEventsListing(module, "segredo"),
            "TRoteado.GrupoContexto|TRoteado.GrupoTag|TRoteado.GrupoSimples");

  class OneGroup : public TServerMethodDataModule {
   public:
    OneGroup() { AddServerEvents("Unico"); }
    std::string ClassName() const override { return "TUm"; }
  } one;
  std::unique_ptr<TDWParams> list;
  EXPECT_EQ(ListEventsOfGroup(one, "Nada", list, TEncodeSelect::esASCII), "Event Not Found");
  EXPECT_EQ(list->ParamByName("MessageError").AsString(), "Event Not Found");
  EXPECT_TRUE(list->ParamByName("Error").AsBoolean());
  std::unique_ptr<TDWParams> found;
  EXPECT_EQ(ListEventsOfGroup(one, "TUm.Unico", found, TEncodeSelect::esASCII),
            R"({"MESSAGE":"OK",  "RESULT":"OK"})");
  EXPECT_EQ(found->ParamByName("Result").AsString(), R"([{"serverevents":[]}])");
}

// The route refusals over HTTP: raw texts, not JSON.
class RoutedListenerTest : public test::ListenerTest {};

TEST_F(RoutedListenerTest, RefusedRoutesAnswer403And500) {
  TRESTServicePooler other;
  other.SetServerMethodClass(TServerMethodClass::Of<RoutedModule>());
  StartOther(other);
  const auto send = [&](const char* method, const char* target) {
    return test::Exchange(other.BoundPort(),
                          test::BuildRequest(method, target, test::BasicAuthLine("Tivel", "Tivel1968")));
  };
  const test::RawReply post = send("POST", "/GrupoSimples/GetPost");
  EXPECT_EQ(post.status, 200);
  const test::RawReply del = send("DELETE", "/GrupoSimples/GetPost");
  EXPECT_EQ(del.status, 403);
  EXPECT_EQ(del.body, "Request rejected. Acceptable HTTP methods: GET, POST");
  const test::RawReply none = send("GET", "/GrupoSimples/Nenhum");
  EXPECT_EQ(none.status, 500);
  EXPECT_EQ(none.body, "Acceptable HTTP methods not defined on server");
  const test::RawReply html = send("GET", "/GrupoSimples/Guardado?motivo=1");
  EXPECT_EQ(html.status, 500);
  EXPECT_EQ(html.Header("Content-Type"), "text/html; charset=ansi");
  EXPECT_EQ(html.body, "<b>nao</b>");
}

}  // namespace
}  // namespace livrexa
