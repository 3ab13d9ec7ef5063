// Throughput and latency of the listener answering a trivial event (a), against a bare server on
// the same HTTP engine answering the very same reply bytes without any listener work (b).
// Both run in this process on loopback ports, one request per connection ("Connection: close"),
// at 1, 8 and 64 concurrent clients, with a bounded number of requests.
//
//   bench_listener [requests per run, default 300] [rounds, default 30]
//
// The two servers take turns in short runs (the order swapped every round), so load from
// anything else on the machine falls on both alike. Prints requests/s and p99 latency of each
// over all its runs, the CPU time the whole process (clients included) spent per request, and
// the ratio a/b of the request rates.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "rest/http/http_server.h"
#include "rest/listener/listener.h"
#include "rest/params/dw_params.h"
#include "rest/wire/text_codec.h"

namespace {

using namespace livrexa;
using Clock = std::chrono::steady_clock;

class PingModule : public TServerMethodDataModule {
 public:
  PingModule() {
    TDWEvent& ping = AddServerEvents("DWServerEventsBench").Events.Add("Ping");
    ping.DWParams.Add("Resposta", TObjectDirection::odOUT, TObjectValue::ovString);
    ping.Handlers.OnReplyEvent = [](TDWParams& p, std::string&) {
      p.ParamByName("Resposta").SetAsString("OK");
    };
  }
  std::string ClassName() const override { return "TDM"; }
};

// One request on a new connection; returns the whole reply (empty on failure).
std::string Exchange(uint16_t port, const std::string& request) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return {};
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::string reply;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size())) {
    char buffer[8192];
    for (;;) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 10000) <= 0) break;
      const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      reply.append(buffer, static_cast<size_t>(n));
    }
  }
  ::close(fd);
  return reply;
}

std::string BodyOf(const std::string& reply) {
  const size_t end = reply.find("\r\n\r\n");
  return end == std::string::npos ? std::string() : reply.substr(end + 4);
}

// CPU time of the whole process (clients and servers, user and system), in seconds.
double ProcessCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct RunResult {
  double cpu_seconds = 0;
  double seconds = 0;
  size_t requests = 0;
  size_t failures = 0;
  std::vector<double> latencies_ms;
};

RunResult Load(uint16_t port, const std::string& request, const std::string& expected_body, int clients,
               size_t total) {
  RunResult result;
  std::atomic<size_t> next{0};
  std::atomic<size_t> failures{0};
  std::vector<std::vector<double>> latencies(static_cast<size_t>(clients));
  const auto start = Clock::now();
  const double cpu_start = ProcessCpuSeconds();
  std::vector<std::thread> threads;
  for (int c = 0; c < clients; ++c) {
    threads.emplace_back([&, c] {
      while (next.fetch_add(1) < total) {
        const auto t0 = Clock::now();
        const std::string reply = Exchange(port, request);
        latencies[static_cast<size_t>(c)].push_back(
            std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
        if (BodyOf(reply) != expected_body) ++failures;
      }
    });
  }
  for (auto& t : threads) t.join();
  result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  result.cpu_seconds = ProcessCpuSeconds() - cpu_start;
  result.requests = total;
  result.failures = failures;
  for (auto& l : latencies) result.latencies_ms.insert(result.latencies_ms.end(), l.begin(), l.end());
  return result;
}

double Percentile(std::vector<double> values, double fraction) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t index =
      std::min(values.size() - 1, static_cast<size_t>(fraction * static_cast<double>(values.size())));
  return values[index];
}

struct Totals {
  double cpu_seconds = 0;
  double seconds = 0;
  size_t requests = 0;
  size_t failures = 0;
  std::vector<double> latencies_ms;
  void Add(const RunResult& r) {
    seconds += r.seconds;
    cpu_seconds += r.cpu_seconds;
    requests += r.requests;
    failures += r.failures;
    latencies_ms.insert(latencies_ms.end(), r.latencies_ms.begin(), r.latencies_ms.end());
  }
  double Rate() const { return seconds > 0 ? static_cast<double>(requests) / seconds : 0; }
  double CpuMicrosPerRequest() const {
    return requests ? cpu_seconds * 1e6 / static_cast<double>(requests) : 0;
  }
};

}  // namespace

int main(int argc, char** argv) {
  const size_t per_run = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 300;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 30;

  // (a) The listener with a module whose event writes "OK" into its output.
  TRESTServicePooler listener;
  listener.ServicePort = 0;
  listener.BindAddresses = {"127.0.0.1"};
  listener.SetServerMethodClass(TServerMethodClass::Of<PingModule>());
  listener.SetActive(true);

  const std::string request = "GET /Ping HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: Basic " +
                              EncodeBinary("Tivel:Tivel1968") + "\r\nConnection: close\r\n\r\n";
  const std::string sample = Exchange(listener.BoundPort(), request);
  const std::string expected = BodyOf(sample);
  if (sample.rfind("HTTP/1.1 200", 0) != 0 || expected.find("\"RESPOSTA\":\"T0s=\"") == std::string::npos) {
    std::fprintf(stderr, "unexpected reply from the listener:\n%s\n", sample.c_str());
    return 1;
  }

  // (b) The same engine and socket loop answering the same bytes, with no listener work.
  HttpServerOptions options;
  options.BindAddresses = {"127.0.0.1"};
  HttpServer bare(options, [&expected](const HttpRequest&, HttpReply& reply, HttpEarlyReply&) {
    reply.AddHeader("Access-Control-Allow-Origin", "*");
    reply.AddHeader("Content-Type", "application/json; charset=ansi");
    reply.AddHeader("Content-Encoding", "ansi");
    reply.body = expected;
  });
  bare.Start();

  std::printf("requests per run %zu, rounds %d, one request per connection\n", per_run, rounds);
  std::printf("%-8s %14s %8s %8s %14s %8s %8s %8s\n", "clients", "listener rq/s", "p99 ms", "cpu us",
              "bare rq/s", "p99 ms", "cpu us", "a/b");
  for (const int clients : {1, 8, 64}) {
    Load(listener.BoundPort(), request, expected, clients, per_run);  // warm-up of threads and caches
    Load(bare.Port(), request, expected, clients, per_run);
    Totals a, b;
    for (int r = 0; r < rounds; ++r) {
      if (r % 2 == 0) a.Add(Load(listener.BoundPort(), request, expected, clients, per_run));
      b.Add(Load(bare.Port(), request, expected, clients, per_run));
      if (r % 2 == 1) a.Add(Load(listener.BoundPort(), request, expected, clients, per_run));
    }
    std::printf("%-8d %14.0f %8.3f %8.1f %14.0f %8.3f %8.1f %8.3f\n", clients, a.Rate(),
                Percentile(a.latencies_ms, 0.99), a.CpuMicrosPerRequest(), b.Rate(),
                Percentile(b.latencies_ms, 0.99), b.CpuMicrosPerRequest(), a.Rate() / b.Rate());
    if (a.failures + b.failures > 0)
      std::printf("  failures: listener %zu, bare %zu\n", a.failures, b.failures);
  }
  bare.Stop();
  listener.SetActive(false);
  return 0;
}
