// Cost of a small request's database work through the gateway, with and without the pool.
//
// One "request" does what a handler module does for a list of authors: a new connection, one
// "Select" on a small table (20 rows, 4 columns) with every row fetched and read, and the
// connection's end. Measured at 1 and 8 threads in three modes:
//   - pool off:             every module attaches and detaches (nothing else holds the file);
//   - pool off, file open:  the same, while one more attachment keeps the database open;
//   - pool on:              modules take an idle attachment and hand it back.
// Reported: requests per second, median and 99th-percentile latency, and the ratio of pool on to
// pool off at each thread count.
//
//   bench_gateway [--requests N] [--dir FOLDER]
//     N       requests per thread and case (default 300)
//     FOLDER  where the database and the Firebird folder are made (default: a new folder in /tmp);
//             the database file sits on that folder's disk, as it would in use.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "handlers/gateway/connection.h"
#include "handlers/gateway/query.h"
#include "handlers/gateway/tools.h"

namespace fs = std::filesystem;
using namespace livrexa;
using Clock = std::chrono::steady_clock;

namespace {

struct Result {
  double requestsPerSecond = 0;
  double medianMs = 0;
  double p99Ms = 0;
};

// One module's life: connect on the first statement, read every row, end.
void OneRequest(const std::string& path, TFbPool* pool) {
  TFbConnection connection([&path] { return path; }, pool);
  TFbQuery query(connection);
  query.SQL.Add("Select T05_NumAutor, T05_Autor, T05_Desativado, T05_Exclusao From T05_AUTOR1 ");
  query.SQL.Add("Where T05_Exclusao is Null and not T05_Desativado ");
  query.SQL.Add("Order by T05_Autor");
  query.Open();
  size_t rows = 0;
  for (; !query.Eof(); query.Next()) rows += query.AsString(size_t{1}).empty() ? 0 : 1;
  if (rows != 20) throw std::runtime_error("unexpected row count " + std::to_string(rows));
}

Result Run(const std::string& path, TFbPool* pool, int threads, int requestsPerThread) {
  for (int i = 0; i < 5; ++i) OneRequest(path, pool);  // warm up (and fill the pool)
  std::vector<std::vector<double>> latencies(threads);
  const auto started = Clock::now();
  std::vector<std::thread> workers;
  for (int t = 0; t < threads; ++t) {
    workers.emplace_back([&, t] {
      latencies[t].reserve(requestsPerThread);
      for (int i = 0; i < requestsPerThread; ++i) {
        const auto begin = Clock::now();
        OneRequest(path, pool);
        latencies[t].push_back(std::chrono::duration<double, std::milli>(Clock::now() - begin).count());
      }
    });
  }
  for (std::thread& w : workers) w.join();
  const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
  std::vector<double> all;
  for (const auto& l : latencies) all.insert(all.end(), l.begin(), l.end());
  std::sort(all.begin(), all.end());
  Result r;
  r.requestsPerSecond = static_cast<double>(all.size()) / seconds;
  r.medianMs = all[all.size() / 2];
  r.p99Ms = all[std::min(all.size() - 1, all.size() * 99 / 100)];
  return r;
}

fs::path CreateDatabase(const fs::path& folder) {
  const fs::path database = folder / "bench.fdb";
  const TToolRun run = RunFirebirdTool(
      "/bin/bash", {std::string(LIVREXA_SOURCE_DIR) + "/scripts/create-db.sh", "--firebird-dir",
                    TFbEnvironment::Instance().Folder().string(), database.string()});
  if (run.ExitCode != 0) throw std::runtime_error("create-db.sh failed: " + run.Output);
  TFbConnection connection([&database] { return database.string(); }, nullptr);
  TFbQuery insert(connection);
  connection.StartTransaction();
  insert.SQL.Add("Insert into T05_AUTOR1 (T05_Autor, T05_Desativado) Values (:p00, False)");
  for (int i = 0; i < 20; ++i) {
    insert.Params(0).SetAsString("Autor de teste número " + std::to_string(i));
    insert.ExecSQL();
  }
  connection.Commit();
  return database;
}

}  // namespace

int main(int argc, char** argv) {
  int requests = 300;
  fs::path folder;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--requests")
      requests = std::max(1, std::atoi(argv[i + 1]));
    else if (option == "--dir")
      folder = argv[i + 1];
  }
  bool removeFolder = false;
  if (folder.empty()) {
    std::string pattern = "/tmp/livrexa-bench-gateway-XXXXXX";
    if (!::mkdtemp(pattern.data())) return 1;
    folder = pattern;
    removeFolder = true;
  }
  fs::create_directories(folder);
  TFbEnvironment::Instance().SetFolder(folder / "firebird");
  TFbEnvironment::Instance().Activate();

  try {
    const std::string path = CreateDatabase(folder).string();
    std::printf("Select of 20 rows x 4 columns per request, %d requests per thread\n\n", requests);
    std::printf("%-22s %8s %12s %12s %12s\n", "mode", "threads", "requests/s", "median ms", "p99 ms");
    for (const int threads : {1, 8}) {
      TFbPool off;
      off.SetEnabled(false);
      const Result cold = Run(path, &off, threads, requests);

      TFbConnection holder([&path] { return path; }, nullptr);  // keeps the file open
      holder.Connect();
      const Result held = Run(path, &off, threads, requests);
      holder.Disconnect();

      TFbPool on;
      const Result pooled = Run(path, &on, threads, requests);

      const auto row = [threads](const char* mode, const Result& r) {
        std::printf("%-22s %8d %12.0f %12.3f %12.3f\n", mode, threads, r.requestsPerSecond, r.medianMs,
                    r.p99Ms);
      };
      row("pool off", cold);
      row("pool off, file open", held);
      row("pool on", pooled);
      std::printf("%-22s %8d %11.1fx\n", "ratio on / off", threads,
                  pooled.requestsPerSecond / cold.requestsPerSecond);
      std::printf("%-22s %8d %11.1fx\n\n", "ratio on / off (open)", threads,
                  pooled.requestsPerSecond / held.requestsPerSecond);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_gateway: %s\n", e.what());
    return 1;
  }
  if (removeFolder) {
    std::error_code ec;
    fs::remove_all(folder, ec);
  }
  return 0;
}
