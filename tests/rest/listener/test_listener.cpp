// The listener over loopback HTTP: authentication, routing by name, the reply envelope and
// headers, and every row of the failure table.

#include <unistd.h>

#include <thread>

#include "rest/params/dw_params.h"
#include "rest/wire/errors.h"
#include "test_listener_fixture.h"

namespace livrexa::test {
namespace {

constexpr const char* kOK = R"({"MESSAGE":"OK",  "RESULT":"OK"})";

TEST_F(ListenerTest, MissingOrWrongCredentialsAreRefusedWith401) {
  struct Case {
    const char* what;
    std::string method, target, credentials;
  } cases[] = {
      {"no header", "GET", "/Consulta?Flag=120", ""},
      {"no header, OPTIONS", "OPTIONS", "/Consulta", ""},
      {"no header, favicon", "GET", "/favicon.ico", ""},
      {"wrong password", "GET", "/Consulta", BasicAuthLine("Tivel", "tivel1968")},
      {"user in other case", "POST", "/Consulta", BasicAuthLine("tivel", "Tivel1968")},
      {"empty password", "GET", "/", BasicAuthLine("Tivel", "")},
  };
  const int created = Counters().created;
  for (const auto& c : cases) {
    const RawReply reply = Exchange(pooler.BoundPort(), BuildRequest(c.method, c.target, c.credentials));
    EXPECT_EQ(reply.status_line, "HTTP/1.1 401 Unauthorized") << c.what;
    EXPECT_EQ(reply.Header("WWW-Authenticate"), "Basic realm=\"Provide Authentication\"") << c.what;
    EXPECT_EQ(reply.Header("Content-Type"), "text/html; charset=utf-8") << c.what;
    EXPECT_EQ(reply.body, "<HTML><BODY><B>401 Unauthorized</B></BODY></HTML>") << c.what;
    EXPECT_EQ(reply.Header("Access-Control-Allow-Origin"), "*") << c.what;
  }
  EXPECT_EQ(Counters().created, created) << "no module is created for a refused request";
}

TEST_F(ListenerTest, OtherAuthorizationSchemeAndBlanklessRequestLineDropTheConnection) {
  EXPECT_FALSE(Exchange(pooler.BoundPort(), BuildRequest("GET", "/Consulta", "Authorization: Digest x=1\r\n"))
                   .received);
  EXPECT_FALSE(Exchange(pooler.BoundPort(), "GET/Consulta\r\nHost: h\r\n\r\n").received);
}

TEST_F(ListenerTest, MethodsOtherThanTheFiveAndTheFaviconAnswerAnEmpty200) {
  const int created = Counters().created;
  for (const char* method : {"OPTIONS", "HEAD", "TRACE", "PROPFIND"}) {
    const RawReply reply = Send(method, "/Consulta?Flag=120");
    EXPECT_EQ(reply.status, 200) << method;
    EXPECT_TRUE(reply.body.empty()) << method;
    EXPECT_EQ(reply.Header("Access-Control-Allow-Origin"), "*") << method;
    EXPECT_FALSE(reply.HasHeader("Access-Control-Allow-Methods")) << method << ": CORS is off";
  }
  const RawReply favicon = Get("/favicon.ico");
  EXPECT_EQ(favicon.status, 200);
  EXPECT_TRUE(favicon.body.empty());
  EXPECT_EQ(Counters().created, created);
}

TEST_F(ListenerTest, ConsultaReplyEnvelopeAndHeaders) {
  const RawReply reply = Get("/Consulta?Flag=120");
  EXPECT_EQ(reply.status_line, "HTTP/1.1 200 OK");
  EXPECT_EQ(reply.Header("Content-Type"), "application/json; charset=ansi");
  EXPECT_EQ(reply.Header("Content-Encoding"), "ansi");
  EXPECT_EQ(reply.Header("Connection"), "close");
  EXPECT_EQ(reply.Header("Access-Control-Allow-Origin"), "*");
  EXPECT_FALSE(reply.Header("Date").empty());
  EXPECT_EQ(reply.Header("Content-Length"), std::to_string(reply.body.size()));
  EXPECT_EQ(reply.body, ConsultaReply("flag=120;filtro=;desativados=0"));
}

TEST_F(ListenerTest, GroupAndEventNamesFromThePath) {
  struct Case {
    std::string target;
    int status;
    std::string body;
  } cases[] = {
      // No group: the first group that has the event.
      {"/Consulta?Flag=120", 200, ConsultaReply("flag=120;filtro=;desativados=0")},
      // Names ignore case.
      {"/dwservereventstab_geral/CONSULTA?Flag=120", 200, ConsultaReply("flag=120;filtro=;desativados=0")},
      // Class name and component name.
      {"/TDM.DWServerEventsTAB_GERAL/Consulta?Flag=130", 200,
       ConsultaReply("flag=130;filtro=;desativados=0")},
      // Further segments in front are ignored.
      {"/x/y/DWServerEventsTAB_GERAL/Consulta?Flag=140", 200,
       ConsultaReply("flag=140;filtro=;desativados=0")},
      // Without query items: the declared default of Flag.
      {"/DWServerEventsTAB_GERAL/Consulta", 200, ConsultaReply("flag=5;filtro=;desativados=0")},
      // A group without that event.
      {"/DWServerEventsT01_USUARI/Consulta", 404, "Event not found..."},
      {"/Nada?Flag=1", 404, "Event not found..."},
  };
  for (const auto& c : cases) {
    const RawReply reply = Get(c.target);
    EXPECT_EQ(reply.status, c.status) << c.target;
    EXPECT_EQ(reply.body, c.body) << c.target;
  }
}

TEST_F(ListenerTest, WelcomePageForTheRoot) {
  const int created = Counters().created;
  const int destroyed = Counters().destroyed;
  const RawReply reply = Get("/");
  EXPECT_EQ(reply.status, 200);
  EXPECT_EQ(reply.Header("Content-Type"), "text/html; charset=ansi");
  EXPECT_FALSE(reply.HasHeader("Content-Encoding"));
  EXPECT_EQ(
      reply.body,
      "<!DOCTYPE html><html><head><meta charset=\"UTF-8\"/><title>ROVU Riruvora - DODO</title></head><body>"
      "<h1>ROVU Riruvora - DODO</h1><h2>Server Status - Online</h2></body></html>");
  EXPECT_EQ(Counters().created, created + 1) << "the module is created as for any request";
  EXPECT_EQ(Counters().destroyed, destroyed + 1);
}

TEST_F(ListenerTest, ConfiguredWelcomePageLines) {
  TRESTServicePooler other;
  other.SetServerMethodClass(TServerMethodClass::Of<TestModule>());
  other.DefaultPage = {"<p>Livrexa</p>", "<p>ok</p>"};
  StartOther(other);
  const RawReply reply =
      Exchange(other.BoundPort(), BuildRequest("GET", "/", BasicAuthLine("Tivel", "Tivel1968")));
  EXPECT_EQ(reply.body, "<p>Livrexa</p>\r\n<p>ok</p>\r\n");
}

TEST_F(ListenerTest, HandlerErrorIs500WithItsMessageOrItsBase64) {
  const RawReply plain = Get("/Consulta?Flag=999");
  EXPECT_EQ(plain.status, 500);
  EXPECT_EQ(plain.body, "boom");
  const RawReply encoded = Get("/Consulta?Flag=999&dwencodestrings=false");  // presence counts, not the value
  EXPECT_EQ(encoded.status, 500);
  EXPECT_EQ(encoded.body, "Ym9vbQ==");
}

TEST_F(ListenerTest, ErrorsEscapingDecodingOrDispatchAre500AndTheModuleIsDestroyed) {
  struct Case {
    std::string target, headers;
    std::string body_part;
  } cases[] = {
      {"/ApplyUpdates", "", "Invalid DWParam"},
      {"/DWServerEventsTAB_GERAL/OpenDatasets?x=1", "", "Invalid DWParam"},
      // A header in parameter JSON form that is not valid JSON.
      {"/Consulta",
       std::string("Filtro: ") + R"({"ObjectType":"toParam", "Direction":"odIN", "Encoded":)" + "\r\n", ""},
  };
  for (const auto& c : cases) {
    const int created = Counters().created;
    const int destroyed = Counters().destroyed;
    const RawReply reply = Get(c.target, c.headers);
    EXPECT_EQ(reply.status, 500) << c.target;
    EXPECT_NE(reply.body.find(c.body_part), std::string::npos) << reply.body;
    EXPECT_FALSE(reply.body.empty());
    EXPECT_EQ(Counters().created - created, Counters().destroyed - destroyed) << c.target;
  }
}

TEST_F(ListenerTest, NoModuleClassAnswersStatusMinus5) {
  TRESTServicePooler other;
  StartOther(other);
  const RawReply reply = Exchange(
      other.BoundPort(), BuildRequest("GET", "/Consulta?Flag=120", BasicAuthLine("Tivel", "Tivel1968")));
  EXPECT_EQ(reply.status, 200);
  EXPECT_EQ(reply.body,
            R"({"PARAMS":[null], "RESULT":[{"STATUS":"-5","MENSSAGE":"Server Methods Cannot Assigned"}]})");
}

TEST_F(ListenerTest, CompressedRepliesAndCompressedFailures) {
  const std::string plain = Get("/Consulta?Flag=120").body;
  const RawReply zipped = Get("/Consulta?Flag=120&datacompression=true");
  EXPECT_EQ(zipped.status, 200);
  const std::string inflated = Inflate(zipped.body);
  ASSERT_GE(inflated.size(), 4u);
  const uint32_t length =
      static_cast<unsigned char>(inflated[0]) | static_cast<unsigned char>(inflated[1]) << 8 |
      static_cast<unsigned char>(inflated[2]) << 16 | static_cast<unsigned char>(inflated[3]) << 24;
  EXPECT_EQ(length, plain.size());
  EXPECT_EQ(inflated.substr(4), plain);
  EXPECT_EQ(zipped.Header("Content-Length"), std::to_string(zipped.body.size()));

  // Any other status: no body, the reply text in base64 as the reason phrase.
  const RawReply missing = Get("/Nada?datacompression=true");
  EXPECT_EQ(missing.status_line, "HTTP/1.1 404 " + EncodeBinary("Event not found..."));
  EXPECT_EQ(missing.reason, "RXZlbnQgbm90IGZvdW5kLi4u");
  EXPECT_TRUE(missing.body.empty());
  EXPECT_EQ(missing.Header("Content-Length"), "0");
  const RawReply failed = Get("/Consulta?Flag=999", "datacompression: true\r\n");
  EXPECT_EQ(failed.status, 500);
  EXPECT_EQ(failed.reason, "Ym9vbQ==");
  EXPECT_TRUE(failed.body.empty());
}

TEST_F(ListenerTest, AsynchronousRequestIsAnsweredAtOnceAndStillRuns) {
  const int done = Counters().slow_events_done;
  const RawReply reply = Get("/Consulta?Flag=998&dwassyncexec=true");
  EXPECT_EQ(reply.status, 200);
  EXPECT_EQ(reply.body, R"({"status":"OK", "assyncmsg":"AssyncCommand Executed"})");
  EXPECT_EQ(reply.Header("Content-Type"), "application/json; charset=ansi");
  EXPECT_EQ(Counters().slow_events_done, done) << "the reply came before the event finished";
  for (int i = 0; i < 500 && Counters().slow_events_done == done; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(Counters().slow_events_done, done + 1);

  EXPECT_EQ(Get("/Consulta?Flag=120&dwassyncexec=1").body,
            R"({"status":"OK", "assyncmsg":"AssyncCommand Executed"})")
      << "read as the parameter's boolean";
  EXPECT_EQ(Get("/Consulta?Flag=120&dwassyncexec=no").body, ConsultaReply("flag=120;filtro=;desativados=0"));

  const RawReply zipped = Get("/Consulta?Flag=120&dwassyncexec=true&datacompression=true");
  EXPECT_EQ(Inflate(zipped.body).substr(4), R"({"status":"OK", "assyncmsg":"AssyncCommand Executed"})");
}

TEST_F(ListenerTest, ReservedNames) {
  const RawReply list = Get("/GetServerEventsList");
  EXPECT_EQ(list.status, 200);
  EXPECT_EQ(list.body, Envelope(OutText("RESULT",
                                        "TDM.DWServerEventsT01_USUARI|TDM.DWServerEventsFerramentas|"
                                        "TDM.DWServerEventsTAB_GERAL"),
                                kOK));

  const RawReply events = Get("/DWServerEventsFerramentas/GETEVENTS");
  EXPECT_EQ(events.status, 200);
  const std::string listing =
      R"([{"serverevents":[{"eventname":"AtualizaServidor", "jsonmode":"jmDataware", "params":[{"typeobject":"toParam", "objectdirection":"odOUT", "objectvalue":"ovString", "paramname":"Resposta", "encoded":"true", "default":""}]}]}])";
  const std::string error_false =
      R"({"ObjectType":"toParam", "Direction":"odOUT", "Encoded":"false", "ValueType":"ovBoolean", "ERROR":false})";
  EXPECT_EQ(
      events.body,
      Envelope(error_false + ", " + OutText("MESSAGEERROR", "") + ", " + OutText("RESULT", listing), kOK));

  const std::string reason =
      "There is more than one ServerEvent.\r\nChoose the desired ServerEvent in the ServerEventName "
      "property.";
  const RawReply nada = Get("/Nada/GETEVENTS");
  EXPECT_EQ(nada.status, 200);
  const std::string error_true =
      R"({"ObjectType":"toParam", "Direction":"odOUT", "Encoded":"false", "ValueType":"ovBoolean", "ERROR":true})";
  EXPECT_EQ(nada.body,
            Envelope(error_true + ", " + OutText("MESSAGEERROR", reason) + ", " + OutText("RESULT", ""),
                     "\"" + reason + "\""));

  const RawReply pooler_list = Get("/GetPoolerList");
  EXPECT_EQ(pooler_list.body, Envelope(OutText("RESULT", ""), kOK));

  const RawReply echo = Get("/EchoPooler");
  EXPECT_EQ(echo.status, 404);
  EXPECT_NE(echo.body.find(R"({"MESSAGE":"NOK", "RESULT":"Invalid Pooler Name..."})"), std::string::npos);
}

TEST_F(ListenerTest, CorsHeadersOnlyWhenEnabled) {
  TRESTServicePooler other;
  other.SetServerMethodClass(TServerMethodClass::Of<TestModule>());
  other.CORS = true;
  StartOther(other);
  const RawReply reply = Exchange(other.BoundPort(), BuildRequest("OPTIONS", "/Consulta", ""));
  EXPECT_EQ(reply.status, 401) << "OPTIONS is authenticated whatever the CORS setting";
  EXPECT_EQ(reply.Header("Access-Control-Allow-Origin"), "*");
  EXPECT_EQ(reply.Header("Access-Control-Allow-Methods"), "GET, POST, PATCH, PUT, DELETE, OPTIONS");
  EXPECT_EQ(reply.Header("Access-Control-Allow-Headers"),
            "Content-Type, Origin, Accept, Authorization, X-CUSTOM-HEADER");
}

TEST_F(ListenerTest, ClientInfoAndWelcomeMessageReachTheModule) {
  const RawReply reply =
      Get("/AtualizaServidor?dwwelcomemessage=" + EncodeText("ola"), "User-Agent:   Leitor 2.0  \r\n");
  EXPECT_EQ(reply.body, Envelope(OutText("RESPOSTA", "ipv4 127.0.0.1 Leitor 2.0 ola")));
}

TEST_F(ListenerTest, LastRequestAndLastResponseNotifications) {
  TRESTServicePooler other;
  other.SetServerMethodClass(TServerMethodClass::Of<TestModule>());
  std::string last_request, last_response;
  other.OnLastRequest = [&](const std::string& text) { last_request = text; };
  other.OnLastResponse = [&](const std::string& text) { last_response = text; };
  StartOther(other);
  const RawReply reply = Exchange(
      other.BoundPort(),
      BuildRequest("GET", "/Consulta?Flag=120", BasicAuthLine("Tivel", "Tivel1968") + "User-Agent: UA\r\n"));
  other.SetActive(false);  // the request's thread is done once the listener has stopped
  EXPECT_EQ(last_request, "UA\r\nGET /Consulta?Flag=120 HTTP/1.1");
  EXPECT_EQ(last_response, reply.body);
}

TEST_F(ListenerTest, PortInUseRaisesTheEngineMessage) {
  TRESTServicePooler other;
  other.ServicePort = pooler.BoundPort();
  other.BindAddresses = {"127.0.0.1"};
  EXPECT_THROW(other.SetActive(true), LivrexaError);
  EXPECT_FALSE(other.Active());
  pooler.SetActive(false);
  EXPECT_FALSE(pooler.Active());
}

TEST_F(ListenerTest, ConcurrentRequestsEachGetTheirOwnModuleAndParameters) {
  const int created = Counters().created;
  constexpr int kThreads = 12;
  constexpr int kEach = 8;
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i) {
        const int flag = 1000 + t * 100 + i;
        const std::string filtro = "t" + std::to_string(t) + "i" + std::to_string(i);
        const RawReply reply = Get("/Consulta?Flag=" + std::to_string(flag) + "&Filtro=" + filtro);
        if (reply.body !=
            ConsultaReply("flag=" + std::to_string(flag) + ";filtro=" + filtro + ";desativados=0"))
          ++wrong;
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(Counters().created - created, kThreads * kEach);
  pooler.SetActive(false);
  EXPECT_EQ(Counters().created, Counters().destroyed);
}

TEST_F(ListenerTest, Utf8EncodingChangesTheLabelsAndTheBodyText) {
  TRESTServicePooler other;
  other.SetServerMethodClass(TServerMethodClass::Of<TestModule>());
  other.Encoding = TEncodeSelect::esUtf8;
  StartOther(other);
  const auto send = [&](const std::string& method, const std::string& target, const std::string& headers,
                        const std::string& body) {
    return Exchange(other.BoundPort(),
                    BuildRequest(method, target, BasicAuthLine("Tivel", "Tivel1968") + headers, body));
  };
  const RawReply reply = send("GET", "/Consulta?Flag=120", "", "");
  EXPECT_EQ(reply.Header("Content-Type"), "application/json; charset=utf-8");
  EXPECT_EQ(reply.Header("Content-Encoding"), "utf-8");
  // The raw body is read as UTF-8 instead of the single-byte code page.
  const RawReply raw = send("POST", "/Grava?dwReadBodyRaw=1&dwNameParamBody=Tabela",
                            "Content-Type: text/plain\r\n", "Jos\xC3\xA9");
  EXPECT_EQ(raw.body, Envelope(OutText("RESPOSTA", "Tabela=Jos\xC3\xA9")));
}

TEST_F(ListenerTest, EngineLimitsAreTakenFromTheListener) {
  TRESTServicePooler other;
  other.SetServerMethodClass(TServerMethodClass::Of<TestModule>());
  other.MaxBodySize = 100;
  other.RequestTimeout = 200;
  StartOther(other);
  const RawReply big =
      Exchange(other.BoundPort(),
               BuildRequest("POST", "/Grava", BasicAuthLine("Tivel", "Tivel1968"), std::string(101, 'x')));
  EXPECT_EQ(big.status, 413);
  const int fd = ConnectTo(other.BoundPort());
  ASSERT_GE(fd, 0);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(ReadUntilClosed(fd, std::chrono::seconds(10)).empty());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5))
      << "closed after the read time-out";
  ::close(fd);
}

// A module of the other accepted kind, which is told nothing about the client.
class PlainMethods : public TServerMethods {
 public:
  PlainMethods() {
    TDWEvent& who = AddServerEvents("Grupo").Events.Add("Quem");
    who.DWParams.Add("Resposta", TObjectDirection::odOUT, TObjectValue::ovString);
    who.Handlers.OnReplyEvent = [this](TDWParams& p, std::string&) {
      p.ParamByName("Resposta")
          .SetAsString(ClientInfo.ip + " " + std::to_string(ClientInfo.port) + " " + ClientInfo.UserAgent +
                       " " + ClientWelcomeMessage);
    };
  }
  std::string ClassName() const override { return "TPlain"; }
};

TEST_F(ListenerTest, ServerMethodsModulesGetNoClientDataAndAnEmptyClassIsIgnored) {
  TRESTServicePooler other;
  other.SetServerMethodClass(TServerMethodClass::Of<PlainMethods>());
  other.SetServerMethodClass(TServerMethodClass());  // leaves the previous class
  StartOther(other);
  const RawReply reply =
      Exchange(other.BoundPort(), BuildRequest("GET", "/Quem?dwwelcomemessage=" + EncodeText("oi"),
                                               BasicAuthLine("Tivel", "Tivel1968") + "User-Agent: x\r\n"));
  EXPECT_EQ(reply.body, Envelope(OutText("RESPOSTA", "0.0.0.0 0 Undefined oi")));
}

// A module whose welcome hook admits only the welcome message "entrar".
class GuardedModule : public TestModule {
 public:
  GuardedModule() {
    OnWelcomeMessage = [](const std::string& welcome, const std::string&, std::string&, bool& accept,
                          std::string&, std::string&) { accept = welcome == "entrar"; };
  }
};

TEST_F(ListenerTest, WelcomeHookRefusals) {
  const std::string refused = R"({"MESSAGE":"NOK", "RESULT":"Invalid welcomemessage..."})";
  for (const bool force : {false, true}) {
    TRESTServicePooler other;
    other.SetServerMethodClass(TServerMethodClass::Of<GuardedModule>());
    other.ForceWelcomeAccess = force;
    StartOther(other);
    const auto get = [&](const std::string& target) {
      return Exchange(other.BoundPort(), BuildRequest("GET", target, BasicAuthLine("Tivel", "Tivel1968")));
    };
    const int runs = Counters().events_run;
    const RawReply consulta = get("/Consulta?Flag=120");
    EXPECT_EQ(consulta.status, 200);
    EXPECT_EQ(consulta.body, Envelope("null", refused));
    EXPECT_EQ(Counters().events_run, runs) << "the event does not run";
    EXPECT_EQ(get("/Consulta?Flag=120&dwwelcomemessage=" + EncodeText("entrar")).body,
              ConsultaReply("flag=120;filtro=;desativados=0"));

    const RawReply events = get("/DWServerEventsFerramentas/GETEVENTS");
    if (!force) {
      EXPECT_EQ(events.status, 200);
      EXPECT_NE(events.body.find(kOK), std::string::npos) << "listing events needs no welcome unless forced";
    } else {
      EXPECT_EQ(events.status, 500);
      EXPECT_EQ(events.body, Envelope("null", refused));
      const RawReply with_message = get("/DWServerEventsFerramentas/GETEVENTS?MessageError=x");
      EXPECT_EQ(with_message.status, 200) << "a MessageError parameter takes the refusal instead";
      EXPECT_EQ(with_message.body, Envelope("null", refused));
    }
  }
}

}  // namespace
}  // namespace livrexa::test
