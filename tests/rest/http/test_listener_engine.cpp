// The HTTP engine on its own, over loopback: what it keeps of a request, what it writes back,
// and the limits that protect the server.

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

#include "rest/http/http_request.h"
#include "rest/http/http_server.h"
#include "rest/wire/errors.h"
#include "rest/wire/text_codec.h"
#include "support/http_client.h"

namespace livrexa {
namespace {

using namespace std::chrono_literals;
using test::BuildRequest;
using test::Exchange;
using test::RawReply;

HttpServerOptions LoopbackOptions() {
  HttpServerOptions options;
  options.BindAddresses = {"127.0.0.1"};
  return options;
}

// Writes back what the engine handed over, one item per line, so a test sees every field.
void EchoHandler(const HttpRequest& r, HttpReply& reply, HttpEarlyReply&) {
  std::string text = "line=" + r.request_line + "\nmethod=" + r.method + "\ntarget=" + r.target +
                     "\npath=" + r.path + "\nquery=" + r.query + "\nuser=" + r.auth_user +
                     "\npassword=" + r.auth_password + "\nform=" + r.form_text +
                     "\nstream=" + (r.has_body_stream ? "1" : "0") + "\nbody=" + r.body + "\n";
  for (const auto& h : r.headers) text += "header=" + h.name + ":" + h.value + "\n";
  for (const auto& p : r.params) text += "param=" + p + "\n";
  reply.body = text;
}

TEST(HttpEngine, KeepsRequestLineTargetAndHeadersAsReceived) {
  HttpServer server(LoopbackOptions(), EchoHandler);
  server.Start();
  const RawReply reply = Exchange(server.Port(),
                                  "GET /a%20b/Consulta?Flag=100&x=%C3%A7+y HTTP/1.1\r\n"
                                  "Host: here\r\nX-Two: first\r\nflag: 130\r\nX-Two: second\r\n\r\n");
  ASSERT_EQ(reply.status, 200) << reply.raw;
  const std::string& b = reply.body;
  EXPECT_NE(b.find("line=GET /a%20b/Consulta?Flag=100&x=%C3%A7+y HTTP/1.1\n"), std::string::npos) << b;
  EXPECT_NE(b.find("path=/a%20b/Consulta\n"), std::string::npos) << b;
  EXPECT_NE(b.find("query=Flag=100&x=%C3%A7+y\n"), std::string::npos) << b;
  // Duplicates stay separate, in order of arrival, with the names as sent.
  EXPECT_NE(b.find("header=Host:here\nheader=X-Two:first\nheader=flag:130\nheader=X-Two:second\n"),
            std::string::npos)
      << b;
  EXPECT_NE(b.find("param=Flag=100\nparam=x=\xC3\xA7 y\n"), std::string::npos) << b;
}

TEST(HttpEngine, FormBodyItemsComeBeforeQueryItemsAndHaveNoBodyStream) {
  HttpServer server(LoopbackOptions(), EchoHandler);
  server.Start();
  const RawReply reply = Exchange(
      server.Port(), BuildRequest("POST", "/G/E?q=1", "Content-Type: application/x-www-form-urlencoded\r\n",
                                  "Flag=100&Filtro=a%2Bb+c"));
  ASSERT_EQ(reply.status, 200);
  EXPECT_NE(reply.body.find("form=Flag=100&Filtro=a%2Bb+c\nstream=0\n"), std::string::npos) << reply.body;
  EXPECT_NE(reply.body.find("param=Flag=100\nparam=Filtro=a+b c\nparam=q=1\n"), std::string::npos)
      << reply.body;

  const RawReply raw =
      Exchange(server.Port(), BuildRequest("POST", "/E", "Content-Type: text/plain\r\n", "x=1"));
  EXPECT_NE(raw.body.find("form=\nstream=1\nbody=x=1\n"), std::string::npos) << raw.body;
}

TEST(HttpEngine, ChunkedBodyIsJoined) {
  HttpServer server(LoopbackOptions(), EchoHandler);
  server.Start();
  const RawReply reply = Exchange(server.Port(),
                                  "POST /E HTTP/1.1\r\nHost: h\r\nTransfer-Encoding: chunked\r\n\r\n"
                                  "3\r\nabc\r\n4\r\ndefg\r\n0\r\n\r\n");
  EXPECT_NE(reply.body.find("body=abcdefg\n"), std::string::npos) << reply.raw;
}

TEST(HttpEngine, BasicCredentialsAndOtherSchemes) {
  std::atomic<int> calls{0};
  HttpServer server(LoopbackOptions(), [&](const HttpRequest& r, HttpReply& reply, HttpEarlyReply& e) {
    ++calls;
    EchoHandler(r, reply, e);
  });
  server.Start();
  // The scheme is compared without regard to case; the password may hold ":".
  const RawReply basic =
      Exchange(server.Port(),
               BuildRequest("GET", "/", "Authorization: bAsIc " + EncodeBinary("Tivel:pa:ss") + "\r\n"));
  EXPECT_NE(basic.body.find("user=Tivel\npassword=pa:ss\n"), std::string::npos) << basic.raw;

  // Any other scheme: the connection ends without a byte, and the handler never runs.
  const int before = calls;
  const RawReply bearer = Exchange(server.Port(), BuildRequest("GET", "/", "Authorization: Bearer abc\r\n"));
  EXPECT_FALSE(bearer.received) << bearer.raw;
  EXPECT_EQ(calls, before);
}

TEST(HttpEngine, MalformedRequestLineDropsTheConnection) {
  std::atomic<int> calls{0};
  HttpServer server(LoopbackOptions(), [&](const HttpRequest&, HttpReply&, HttpEarlyReply&) { ++calls; });
  server.Start();
  for (const char* raw : {"GET\r\nHost: h\r\n\r\n", "GET/\r\n\r\n", "\x01\x02garbage\r\n\r\n"}) {
    EXPECT_FALSE(Exchange(server.Port(), raw).received) << raw;
  }
  EXPECT_EQ(calls, 0);
}

TEST(HttpEngine, ReplyCarriesAnyReasonPhraseAndItsOwnHeadersInOrder) {
  HttpServer server(LoopbackOptions(), [](const HttpRequest&, HttpReply& reply, HttpEarlyReply&) {
    reply.status = 404;
    reply.reason = "RXZlbnQgbm90IGZvdW5kLi4u";
    reply.AddHeader("Access-Control-Allow-Origin", "*");
    reply.AddHeader("X-Second", "2");
    reply.body.clear();
  });
  server.Start();
  const RawReply reply = Exchange(server.Port(), BuildRequest("GET", "/x", ""));
  EXPECT_EQ(reply.status_line, "HTTP/1.1 404 RXZlbnQgbm90IGZvdW5kLi4u");
  ASSERT_GE(reply.headers.size(), 2u);
  EXPECT_EQ(reply.headers[0].name, "Access-Control-Allow-Origin");
  EXPECT_EQ(reply.headers[1].name, "X-Second");
  EXPECT_EQ(reply.Header("Content-Length"), "0");
  EXPECT_EQ(reply.Header("Connection"), "close");
  EXPECT_FALSE(reply.Header("Date").empty());
  EXPECT_TRUE(reply.body.empty());
}

TEST(HttpEngine, HandlerCanDropTheConnection) {
  HttpServer server(LoopbackOptions(), [](const HttpRequest&, HttpReply& reply, HttpEarlyReply&) {
    reply.body = "never sent";
    reply.drop = true;
  });
  server.Start();
  EXPECT_FALSE(Exchange(server.Port(), BuildRequest("GET", "/x", "")).received);
}

TEST(HttpEngine, EscapingErrorBecomes500WithItsMessage) {
  HttpServer server(LoopbackOptions(), [](const HttpRequest&, HttpReply& reply, HttpEarlyReply&) {
    reply.AddHeader("Access-Control-Allow-Origin", "*");
    throw LivrexaError("Invalid DWParam");
  });
  server.Start();
  const RawReply reply = Exchange(server.Port(), BuildRequest("GET", "/x", ""));
  EXPECT_EQ(reply.status_line, "HTTP/1.1 500 Internal Server Error");
  EXPECT_EQ(reply.body, "Invalid DWParam");
  EXPECT_EQ(reply.Header("Access-Control-Allow-Origin"), "*");
}

TEST(HttpEngine, EarlyReplyIsSentAtOnceAndTheHandlerKeepsWorking) {
  std::promise<void> finish;
  std::shared_future<void> finish_signal = finish.get_future().share();
  std::atomic<bool> finished{false};
  HttpServer server(LoopbackOptions(), [&](const HttpRequest&, HttpReply& reply, HttpEarlyReply& early) {
    HttpReply now;
    now.body = "early";
    early.SendEarly(now);
    finish_signal.wait();  // the client must have its reply while we are still here
    reply.body = "late";   // never sent
    finished = true;
  });
  server.Start();
  const int fd = test::ConnectTo(server.Port());
  ASSERT_GE(fd, 0);
  test::SendAllBytes(fd, BuildRequest("GET", "/x", ""));
  // The server shuts its sending side after the early reply, so reading ends without waiting.
  const RawReply reply = test::ParseReply(test::ReadUntilClosed(fd, 5s));
  EXPECT_FALSE(finished);
  finish.set_value();
  ::close(fd);
  EXPECT_EQ(reply.status, 200);
  EXPECT_EQ(reply.body, "early");
  for (int i = 0; i < 200 && !finished; ++i) std::this_thread::sleep_for(10ms);
  EXPECT_TRUE(finished);
}

TEST(HttpEngine, BodyOverTheLimitIs413WithoutReadingIt) {
  HttpServerOptions options = LoopbackOptions();
  options.MaxBodySize = 1000;
  std::atomic<int> calls{0};
  HttpServer server(options, [&](const HttpRequest& r, HttpReply& reply, HttpEarlyReply&) {
    ++calls;
    reply.body = std::to_string(r.body.size());
  });
  server.Start();
  // Announced length over the limit: the reply comes before any body byte is sent.
  const RawReply announced =
      Exchange(server.Port(), "POST /x HTTP/1.1\r\nHost: h\r\nContent-Length: 300000000\r\n\r\n");
  EXPECT_EQ(announced.status, 413) << announced.raw;
  // A chunked body that grows past the limit.
  const std::string chunk(600, 'a');
  const RawReply chunked =
      Exchange(server.Port(), "POST /x HTTP/1.1\r\nHost: h\r\nTransfer-Encoding: chunked\r\n\r\n258\r\n" +
                                  chunk + "\r\n258\r\n" + chunk + "\r\n0\r\n\r\n");
  EXPECT_EQ(chunked.status, 413) << chunked.raw;
  // Exactly at the limit is accepted.
  const RawReply at_limit = Exchange(server.Port(), BuildRequest("POST", "/x", "", std::string(1000, 'b')));
  EXPECT_EQ(at_limit.status, 200);
  EXPECT_EQ(at_limit.body, "1000");
  EXPECT_EQ(calls, 1);
}

TEST(HttpEngine, SilentConnectionIsClosedAfterTheIdleTime) {
  HttpServerOptions options = LoopbackOptions();
  options.IdleTimeout = 300ms;
  HttpServer server(options, EchoHandler);
  server.Start();
  const int fd = test::ConnectTo(server.Port());
  ASSERT_GE(fd, 0);
  const auto start = std::chrono::steady_clock::now();
  const std::string got = test::ReadUntilClosed(fd, 10s);
  const auto waited = std::chrono::steady_clock::now() - start;
  ::close(fd);
  EXPECT_TRUE(got.empty());
  EXPECT_GE(waited, 250ms);
  EXPECT_LT(waited, 5s);
}

TEST(HttpEngine, ConnectionsBeyondTheCapWaitForAFreeSlot) {
  HttpServerOptions options = LoopbackOptions();
  options.MaxConnections = 2;
  std::mutex mutex;
  std::condition_variable changed;
  int running = 0;
  int most = 0;
  bool release = false;
  HttpServer server(options, [&](const HttpRequest&, HttpReply& reply, HttpEarlyReply&) {
    std::unique_lock lock(mutex);
    ++running;
    most = std::max(most, running);
    changed.notify_all();
    changed.wait(lock, [&] { return release; });
    --running;
    reply.body = "done";
  });
  server.Start();
  std::vector<std::future<RawReply>> replies;
  for (int i = 0; i < 5; ++i)
    replies.push_back(std::async(std::launch::async,
                                 [&] { return Exchange(server.Port(), BuildRequest("GET", "/", "")); }));
  {
    std::unique_lock lock(mutex);
    ASSERT_TRUE(changed.wait_for(lock, 5s, [&] { return running == 2; }));
  }
  std::this_thread::sleep_for(200ms);  // room for a third connection to slip through, if it could
  {
    std::lock_guard lock(mutex);
    EXPECT_EQ(most, 2);
    release = true;
  }
  changed.notify_all();
  for (auto& f : replies) EXPECT_EQ(f.get().body, "done");
  EXPECT_EQ(most, 2);
  EXPECT_LE(server.PoolThreads(), 2u);
}

TEST(HttpEngine, ThreadsAreReusedAcrossConnections) {
  HttpServer server(LoopbackOptions(), EchoHandler);
  server.Start();
  for (int i = 0; i < 30; ++i) ASSERT_EQ(Exchange(server.Port(), BuildRequest("GET", "/", "")).status, 200);
  // A worker may still be closing its connection when the next one arrives, so a busy machine
  // can need a few threads; one per connection would be 30.
  EXPECT_LE(server.PoolThreads(), 8u);
}

TEST(HttpEngine, PortInUseRaisesTheSystemMessage) {
  HttpServer first(LoopbackOptions(), EchoHandler);
  first.Start();
  HttpServerOptions same = LoopbackOptions();
  same.Port = first.Port();
  HttpServer second(same, EchoHandler);
  try {
    second.Start();
    FAIL() << "a second server bound the same port";
  } catch (const LivrexaError& e) {
    EXPECT_NE(std::string(e.what()).find("Address already in use"), std::string::npos) << e.what();
  }
  EXPECT_FALSE(second.Listening());
}

TEST(HttpEngine, EveryLocalAddressIncludingIpv6Loopback) {
  HttpServerOptions options;  // no addresses: every local address
  HttpServer server(options, [](const HttpRequest& r, HttpReply& reply, HttpEarlyReply&) {
    reply.body = r.remote_ip + (r.ipv6 ? " ipv6" : " ipv4");
  });
  server.Start();
  EXPECT_EQ(Exchange(server.Port(), BuildRequest("GET", "/", "")).body, "127.0.0.1 ipv4");
  const int probe = test::ConnectTo(server.Port(), "::1");
  if (probe < 0) GTEST_SKIP() << "no IPv6 loopback on this machine";
  ::close(probe);
  EXPECT_EQ(Exchange(server.Port(), BuildRequest("GET", "/", ""), "::1").body, "::1 ipv6");
}

TEST(HttpEngine, StopCutsWaitingConnectionsAndStartListensAgain) {
  HttpServer server(LoopbackOptions(), EchoHandler);
  server.Start();
  const int idle = test::ConnectTo(server.Port());
  ASSERT_GE(idle, 0);
  std::this_thread::sleep_for(50ms);
  server.Stop();  // must not wait the idle time-out of the silent connection
  EXPECT_FALSE(server.Listening());
  EXPECT_EQ(server.ActiveConnections(), 0u);
  ::close(idle);
  server.Start();
  EXPECT_EQ(Exchange(server.Port(), BuildRequest("GET", "/", "")).status, 200);
}

TEST(HttpRequestItems, DerivedFromTargetHeadersAndBody) {
  struct Case {
    std::string target, content_type, body;
    std::vector<std::string> params;
    std::string form;
    bool stream;
  } cases[] = {
      {"/E?a=1&b=%41+c&&d", "", "", {"a=1", "b=A c", "d"}, "", false},
      {"/E",
       "application/x-www-form-urlencoded; charset=UTF-8",
       "x=%C3%A7&y=2",
       {"x=\xC3\xA7", "y=2"},
       "x=%C3%A7&y=2",
       false},
      {"/E?q=9", "APPLICATION/X-WWW-FORM-URLENCODED", "x=1", {"x=1", "q=9"}, "x=1", false},
      {"/E?q=9", "application/json", "{}", {"q=9"}, "", true},
      {"/E?bad=%ZZ%4", "", "", {"bad=%ZZ%4"}, "", false},
      // Percent-escapes that are not UTF-8 are read in the clients' code page.
      {"/E?n=Jos%E9", "", "", {"n=Jos\xC3\xA9"}, "", false},
  };
  for (const auto& c : cases) {
    HttpRequest r;
    r.target = c.target;
    if (!c.content_type.empty()) r.headers.push_back({"Content-Type", c.content_type});
    r.body = c.body;
    FillDerivedItems(r);
    EXPECT_EQ(r.params, c.params) << c.target;
    EXPECT_EQ(r.form_text, c.form) << c.target;
    EXPECT_EQ(r.has_body_stream, c.stream) << c.target;
  }
}

}  // namespace
}  // namespace livrexa
