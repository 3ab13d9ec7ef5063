// The engine against clients that are slow, silent, numerous or sloppy on purpose, over loopback.
// Bounds here are generous upper limits (a loaded machine passes them easily); without the limits
// under test the connections stay open for a minute or more, far beyond them.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "rest/http/http_server.h"
#include "support/http_client.h"

namespace livrexa {
namespace {

using namespace std::chrono_literals;
using test::BuildRequest;
using test::RawReply;
using Clock = std::chrono::steady_clock;

// A connection to 127.0.0.1:port from the given loopback source address (or -1).
int ConnectFrom(uint16_t port, const char* source) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in from{};
  from.sin_family = AF_INET;
  ::inet_pton(AF_INET, source, &from.sin_addr);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  ::inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0 ||
      ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Whether the server has closed the connection: waits up to `limit` for end of stream (or a reset).
bool ClosedWithin(int fd, std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  char sink[4096];
  while (Clock::now() < deadline) {
    pollfd p{fd, POLLIN, 0};
    const int left = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
    if (::poll(&p, 1, std::max(left, 1)) <= 0) continue;
    const ssize_t n = ::recv(fd, sink, sizeof sink, MSG_DONTWAIT);
    if (n <= 0) return true;
  }
  return false;
}

HttpServerOptions LoopbackOptions() {
  HttpServerOptions options;
  options.BindAddresses = {"127.0.0.1"};
  return options;
}

void Answer(HttpRequest& r, HttpReply& reply, HttpEarlyReply&) {
  reply.body = "from " + r.remote_ip;
}

// A request from 127.0.0.1, sent whole.
RawReply Ask(uint16_t port) {
  return test::Exchange(port, BuildRequest("GET", "/Consulta", "Host: h\r\n"));
}

TEST(HttpLimits, OneAddressWithSlowAndReconnectingClientsCannotKeepOthersOut) {
  HttpServerOptions options = LoopbackOptions();
  options.HeadTimeout = 3s;
  HttpServer server(options, Answer);
  server.Start();
  const uint16_t port = server.Port();

  // 300 connections that send their head one byte at a time, and 300 that connect, say nothing
  // and connect again whenever they are closed, all from 127.0.0.2.
  std::atomic<bool> stop{false};
  std::vector<int> slow;
  for (int i = 0; i < 300; ++i) {
    const int fd = ConnectFrom(port, "127.0.0.2");
    ASSERT_GE(fd, 0);
    slow.push_back(fd);
  }
  std::thread trickle([&] {
    const std::string head = "GET /Consulta HTTP/1.1\r\nHost: h\r\nX-Pad: ";
    for (size_t at = 0; !stop; ++at) {
      for (const int fd : slow) ::send(fd, head.data() + at % head.size(), 1, MSG_NOSIGNAL | MSG_DONTWAIT);
      std::this_thread::sleep_for(200ms);
    }
  });
  std::thread reconnect([&] {
    std::vector<int> idle(300, -1);
    while (!stop) {
      for (int& fd : idle) {
        if (fd >= 0) {
          char c;
          const ssize_t n = ::recv(fd, &c, 1, MSG_DONTWAIT);
          if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) continue;
          ::close(fd);
        }
        fd = ConnectFrom(port, "127.0.0.2");
      }
      std::this_thread::sleep_for(20ms);
    }
    for (const int fd : idle)
      if (fd >= 0) ::close(fd);
  });
  std::this_thread::sleep_for(500ms);  // the attack is in full swing

  for (int i = 0; i < 5; ++i) {
    const auto start = Clock::now();
    const RawReply reply = Ask(port);
    const auto took = Clock::now() - start;
    EXPECT_EQ(reply.status, 200) << reply.raw;
    EXPECT_EQ(reply.body, "from 127.0.0.1");
    EXPECT_LT(took, 5s) << "request " << i;
  }
  EXPECT_LE(server.ActiveConnections(), options.MaxConnectionsPerPeer + 1);
  stop = true;
  trickle.join();
  reconnect.join();
  for (const int fd : slow) ::close(fd);
}

TEST(HttpLimits, ConnectionsFromOneAddressBeyondItsCapAreClosedAtOnce) {
  HttpServerOptions options = LoopbackOptions();
  options.MaxConnectionsPerPeer = 3;
  HttpServer server(options, Answer);
  server.Start();
  std::vector<int> kept;
  for (int i = 0; i < 3; ++i) kept.push_back(ConnectFrom(server.Port(), "127.0.0.2"));
  for (int i = 0; i < 100 && server.ActiveConnections() < 3; ++i) std::this_thread::sleep_for(10ms);
  const int fourth = ConnectFrom(server.Port(), "127.0.0.2");
  EXPECT_TRUE(ClosedWithin(fourth, 5s));
  ::close(fourth);
  for (const int fd : kept) EXPECT_FALSE(ClosedWithin(fd, 100ms)) << "kept until its own time-out";
  // Other addresses are not counted against it, and a slot of the address frees with its close.
  EXPECT_EQ(Ask(server.Port()).body, "from 127.0.0.1");
  ::close(kept.back());
  kept.pop_back();
  for (int i = 0; i < 100 && server.ActiveConnections() > 2; ++i) std::this_thread::sleep_for(10ms);
  const int again = ConnectFrom(server.Port(), "127.0.0.2");
  ASSERT_TRUE(test::SendAllBytes(again, BuildRequest("GET", "/x", "Host: h\r\n")));
  EXPECT_EQ(test::ParseReply(test::ReadUntilClosed(again, 5s)).body, "from 127.0.0.2");
  ::close(again);
  for (const int fd : kept) ::close(fd);
}

// A client that keeps sending, too slowly, is cut once its deadline passes, however often bytes come.
TEST(HttpLimits, TricklingHeadAndBodyAreCutAtTheirDeadlines) {
  HttpServerOptions options = LoopbackOptions();
  options.HeadTimeout = 600ms;
  options.BodyGrace = 600ms;
  options.MinBodyRate = 1000;
  std::atomic<int> calls{0};
  HttpServer server(options, [&](HttpRequest&, HttpReply&, HttpEarlyReply&) { ++calls; });
  server.Start();
  struct Case {
    const char* what;
    std::string start;  // sent at once
  } cases[] = {
      {"head", "GET /Consulta HTTP/1.1\r\nX-Slow: "},
      {"body", "POST /Grava HTTP/1.1\r\nHost: h\r\nContent-Length: 100000\r\n\r\n"},
  };
  for (const auto& c : cases) {
    const int fd = test::ConnectTo(server.Port());
    ASSERT_TRUE(test::SendAllBytes(fd, c.start));
    const auto start = Clock::now();
    bool closed = false;
    while (!closed && Clock::now() - start < 10s) {
      ::send(fd, "a", 1, MSG_NOSIGNAL);  // one byte every 100 ms: far within the idle time-out
      closed = ClosedWithin(fd, 100ms);
    }
    EXPECT_TRUE(closed) << c.what;
    ::close(fd);
  }
  EXPECT_EQ(calls, 0);
}

// A client that does not read its reply gives the connection back after the write deadline.
TEST(HttpLimits, ReplyThatIsNotReadIsCutAtTheWriteDeadline) {
  HttpServerOptions options = LoopbackOptions();
  options.WriteTimeout = 500ms;
  options.MinWriteRate = 1 << 30;
  std::atomic<bool> answered{false};
  HttpServer server(options, [&](HttpRequest&, HttpReply& reply, HttpEarlyReply&) {
    reply.body.assign(64u << 20, 'x');  // far more than the socket buffers hold
    answered = true;
  });
  server.Start();
  const int fd = test::ConnectTo(server.Port());
  const int small = 4096;
  ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
  ASSERT_TRUE(test::SendAllBytes(fd, BuildRequest("GET", "/x", "Host: h\r\n")));
  const auto start = Clock::now();
  while (!answered && Clock::now() - start < 20s) std::this_thread::sleep_for(10ms);
  ASSERT_TRUE(answered);
  while (server.ActiveConnections() > 0 && Clock::now() - start < 20s) std::this_thread::sleep_for(50ms);
  EXPECT_EQ(server.ActiveConnections(), 0u);
  ::close(fd);
}

TEST(HttpLimits, AmbiguousFramingIs400) {
  std::atomic<int> calls{0};
  HttpServer server(LoopbackOptions(), [&](HttpRequest&, HttpReply&, HttpEarlyReply&) { ++calls; });
  server.Start();
  const char* heads[] = {
      "Content-Length: 3\r\nContent-Length: 3\r\n",
      "Content-Length: 3\r\nContent-Length: 5\r\n",
      "Content-Length: 3, 3\r\n",
      "Transfer-Encoding: gzip\r\n",
      "Transfer-Encoding: gzip, chunked\r\n",
      "Transfer-Encoding: chunked\r\nTransfer-Encoding: chunked\r\n",
      "Transfer-Encoding: chunked\r\nContent-Length: 3\r\n",
  };
  for (const char* head : heads) {
    const RawReply reply = test::Exchange(server.Port(), std::string("POST /Grava HTTP/1.1\r\nHost: h\r\n") +
                                                             head + "\r\n3\r\nabc\r\n0\r\n\r\n");
    EXPECT_EQ(reply.status, 400) << head << reply.raw;
  }
  EXPECT_EQ(calls, 0);
  // One plain length, or chunked alone, is fine.
  EXPECT_EQ(test::Exchange(server.Port(), BuildRequest("POST", "/x", "", "abc")).status, 200);
  EXPECT_EQ(
      test::Exchange(server.Port(),
                     "POST /x HTTP/1.1\r\nHost: h\r\nTransfer-Encoding: Chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n")
          .status,
      200);
}

TEST(HttpLimits, TooManyQueryFormOrHeaderItemsIs413BeforeTheHandler) {
  HttpServerOptions options = LoopbackOptions();
  options.MaxParams = 50;
  std::atomic<int> calls{0};
  HttpServer server(options, [&](HttpRequest& r, HttpReply& reply, HttpEarlyReply&) {
    ++calls;
    reply.body = std::to_string(r.params.size());
  });
  server.Start();
  const auto items = [](int n) {
    std::string text;
    for (int i = 0; i < n; ++i) text += "p=1&";
    return text;
  };
  std::string headers;
  for (int i = 0; i < 51; ++i) headers += "X-H" + std::to_string(i) + ": 1\r\n";
  const std::string form = "Content-Type: application/x-www-form-urlencoded\r\n";
  struct Case {
    std::string request;
    int status;
  } cases[] = {
      {BuildRequest("GET", "/E?" + items(51), ""), 413},
      {BuildRequest("POST", "/E", form, items(60)), 413},
      {BuildRequest("POST", "/E?" + items(30), form, items(30)), 413},
      {BuildRequest("GET", "/E", headers), 413},
      {BuildRequest("GET", "/E?" + items(40), ""), 200},
      // A body that is not a form is not split by the engine.
      {BuildRequest("POST", "/E", "Content-Type: text/plain\r\n", items(5000)), 200},
  };
  for (const auto& c : cases) {
    const RawReply reply = test::Exchange(server.Port(), c.request);
    EXPECT_EQ(reply.status, c.status) << c.request.substr(0, 80);
    if (c.status == 413) {
      EXPECT_EQ(reply.body, "Too many parameters (more than 50)");
    }
  }
  EXPECT_EQ(calls, 2);
}

TEST(HttpLimits, HandlerHearsWhenTheClientHangsUp) {
  std::promise<void> registered;
  std::promise<void> heard;
  HttpServer server(LoopbackOptions(), [&](HttpRequest&, HttpReply& reply, HttpEarlyReply& connection) {
    std::atomic<bool> gone{false};
    connection.OnPeerGone([&] { gone = true; });
    registered.set_value();
    for (int i = 0; i < 1000 && !gone; ++i) std::this_thread::sleep_for(10ms);
    connection.OnPeerGone(nullptr);
    if (gone) heard.set_value();
    reply.body = "late";
  });
  server.Start();
  const int fd = test::ConnectTo(server.Port());
  ASSERT_TRUE(test::SendAllBytes(fd, BuildRequest("GET", "/x", "Host: h\r\n")));
  registered.get_future().wait();
  ::close(fd);
  EXPECT_EQ(heard.get_future().wait_for(10s), std::future_status::ready);
}

}  // namespace
}  // namespace livrexa
