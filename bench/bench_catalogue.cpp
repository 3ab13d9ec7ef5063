// The whole catalogue in one reply: "Consulta" 180 on the large library over HTTP, against the
// same statement fetched, serialized and encoded in-process through the gateway (connection from
// the pool, query, dataset text, base64 parameter text), at about 1,000, 10,000 and 100,000 rows
// (a title filter for the first two, none for the whole catalogue).
//
// The server runs in a child process (as the executable does); its resident size is sampled every
// 2 ms while it answers: the peak above its level just before the request, as a multiple of the
// reply's size, and what it still holds above that level half a second after the reply.
//
//   bench_catalogue [--repeat N]      (requests per case and side, median reported; default 5)

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "bench/large_library.h"
#include "handlers/gateway/connection.h"
#include "handlers/gateway/query.h"
#include "rest/params/json_value.h"
#include "rest/wire/text_codec.h"

using namespace livrexa;
using namespace livrexa::bench;

namespace {

struct TInProcess {
  size_t rows = 0;
  size_t bytes = 0;                        // the encoded parameter text
  double fetch = 0, text = 0, encode = 0;  // seconds of each step
};

// What the handler does for "Consulta" 180, without the listener: ConsultaAcervo's statement,
// the dataset text and its base64 form.
TInProcess InProcess(const std::string& filtro) {
  TFbConnection connection([] { return LargeDatabase().string(); });
  TFbQuery q(connection);
  q.SetSql({"Select T09.*, 0 as qReplicar From T09_ACERVO T09 ", "Where 1 = 1 "});
  q.SQL.Add("and T09_Exclusao is Null ");
  if (!filtro.empty()) q.SQL.Add("and T09_Titulo like :p00 ");
  q.SQL.Add("Order by T09_Titulo ");
  if (!filtro.empty()) q.ParamByName("p00").SetAsString("%" + filtro + "%");
  TInProcess result;
  auto start = std::chrono::steady_clock::now();
  q.Open();
  result.fetch = Seconds(start);
  start = std::chrono::steady_clock::now();
  TJSONValue value;
  value.SetEncoding(TEncodeSelect::esASCII);
  value.LoadFromDataset("temp", q, true, TJsonMode::jmDataware, "", "", false, false);
  result.rows = q.RecordCount();
  q.Close();
  const std::string text = value.ToJSON();
  result.text = Seconds(start);
  start = std::chrono::steady_clock::now();
  result.bytes = EncodeText(text).size();
  result.encode = Seconds(start);
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  int repeat = 5;
  for (int i = 1; i + 1 < argc; ++i)
    if (std::string(argv[i]) == "--repeat") repeat = std::max(1, std::atoi(argv[i + 1]));
  if (!RequireLargeDatabase()) return 1;
  UseLargeFirebirdFolder();
  TServerChild server;
  if (!server.Start()) return 1;
  TuneAllocatorForLargeTexts();

  struct Case {
    const char* filter;
  } cases[] = {{"de Casa"}, {"or"}, {""}};

  std::printf("%-10s %8s %9s %10s %10s %7s %9s %8s %9s\n", "filter", "rows", "reply MB", "HTTP ms",
              "local ms", "ratio", "peak MB", "x reply", "after MB");
  std::vector<std::string> steps;
  for (const Case& c : cases) {
    const std::string query =
        "Flag=180" + (std::string(c.filter).empty() ? "" : "&Filtro=" + UrlEncode(c.filter));
    const std::string request = EventRequest("DWServerEventsTAB_GERAL", "Consulta", query);
    Exchange(server.port, request);  // warm: pages of the tables, the pool, the allocator
    InProcess(c.filter);

    std::vector<double> http, local, fetch, text, encode;
    size_t replyBytes = 0, rows = 0;
    uint64_t peakAbove = 0, heldAfter = 0;
    for (int i = 0; i < repeat; ++i) {
      const uint64_t before = ResidentBytes(server.pid);
      TRssSampler sampler(server.pid);
      const auto start = std::chrono::steady_clock::now();
      const std::string reply = Exchange(server.port, request);
      http.push_back(Seconds(start));
      const uint64_t peak = sampler.Stop();
      if (reply.rfind("HTTP/1.1 200", 0) != 0 || reply.find("\"TABELA\":\"") == std::string::npos) {
        std::fprintf(stderr, "failed reply: %.200s\n", reply.c_str());
        return 1;
      }
      replyBytes = reply.size();
      peakAbove = std::max(peakAbove, peak > before ? peak - before : 0);
      std::this_thread::sleep_for(std::chrono::milliseconds(500));
      const uint64_t after = ResidentBytes(server.pid);
      heldAfter = std::max(heldAfter, after > before ? after - before : 0);

      const auto localStart = std::chrono::steady_clock::now();
      const TInProcess steps = InProcess(c.filter);
      local.push_back(Seconds(localStart));
      rows = steps.rows;
      fetch.push_back(steps.fetch);
      text.push_back(steps.text);
      encode.push_back(steps.encode);
    }
    const double h = Median(http), l = Median(local);
    std::printf("%-10s %8zu %9.1f %10.1f %10.1f %7.2f %9.1f %8.2f %9.1f\n", c.filter[0] ? c.filter : "(none)",
                rows, replyBytes / 1e6, h * 1e3, l * 1e3, l / h, peakAbove / 1e6,
                static_cast<double>(peakAbove) / static_cast<double>(replyBytes), heldAfter / 1e6);
    steps.push_back("  " + std::string(c.filter[0] ? c.filter : "(none)") + ": fetch " +
                    std::to_string(Median(fetch) * 1e3) + " ms, dataset text " +
                    std::to_string(Median(text) * 1e3) + " ms, base64 " +
                    std::to_string(Median(encode) * 1e3) + " ms");
  }
  std::printf("in-process steps (medians):\n");
  for (const auto& line : steps) std::printf("%s\n", line.c_str());
  server.Stop();
  TFbPool::Shared().Clear();
  return 0;
}
