#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "host/event_loop.h"
#include "host/host_services_bridge.h"
#include "host_test_support.h"

namespace livrexa::host {
namespace {
using namespace livrexa::test;

TEST(EventLoop, TasksFromManyThreadsKeepEachSendersOrder) {
  TEventLoop loop;
  constexpr int kThreads = 4, kPerThread = 500;
  std::vector<std::vector<int>> seen(kThreads);
  std::atomic<int> done{0};
  std::vector<std::thread> senders;
  for (int t = 0; t < kThreads; ++t)
    senders.emplace_back([&, t] {
      for (int i = 0; i < kPerThread; ++i)
        loop.Post([&, t, i] {
          seen[t].push_back(i);
          if (++done == kThreads * kPerThread) loop.Quit(7);
        });
    });
  EXPECT_EQ(loop.Run(), 7);
  for (auto& s : senders) s.join();
  for (int t = 0; t < kThreads; ++t) {
    ASSERT_EQ(seen[t].size(), size_t(kPerThread));
    for (int i = 0; i < kPerThread; ++i) ASSERT_EQ(seen[t][i], i);
  }
}

TEST(EventLoop, TimerFiresOnlyWhileEnabled) {
  TEventLoop loop;
  int ticks = 0;
  THostTimer* timer = nullptr;
  timer = &loop.CreateTimer(std::chrono::milliseconds(20), [&] {
    if (++ticks == 3) {
      timer->Disable();
      loop.Post([&] { loop.Quit(); });
    }
  });
  EXPECT_FALSE(timer->Enabled());
  timer->Enable();
  auto start = std::chrono::steady_clock::now();
  loop.Run();
  EXPECT_EQ(ticks, 3);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(60));
  EXPECT_FALSE(timer->Enabled());
}

TEST(HostServicesBridge, LogAndCounterReachTheViewOnlyOnTheHostThreadInOrder) {
  THostSettings settings;
  TManualThread thread;
  TRecordingView view;
  TUpdateChecker checker(settings, "file:///nao-existe", nullptr);
  THostServicesBridge services(settings, thread, view, checker);
  std::thread requestThread([&] {
    services.AddRequest();
    services.AppendLog("primeira");
    services.AppendLog("segunda\rcom CR");
    services.AddRequest();
  });
  requestThread.join();
  EXPECT_TRUE(view.log.empty()) << "nothing happens off the host thread";
  EXPECT_EQ(view.requests, 0);
  EXPECT_EQ(thread.RunPending(), 4);
  EXPECT_EQ(view.log, (std::vector<std::string>{"primeira", "segunda\rcom CR"}));
  EXPECT_EQ(view.requests, 2);
}

TEST(HostServicesBridge, SettingsAreReadThroughTheLock) {
  THostSettings settings;
  TManualThread thread;
  TRecordingView view;
  TUpdateChecker checker(settings, "file:///nao-existe", nullptr);
  THostServicesBridge services(settings, thread, view, checker);
  settings.Set({"/d/Livrexa.FDB", "", "", 7022, 12});
  settings.SetTitle("Servidor do Banco de Dados do Livrexa 1.1 - Porta 7022");
  services.SetStatusAtualizacao("OK");
  EXPECT_EQ(services.LocalDB(), "/d/Livrexa.FDB");
  EXPECT_EQ(services.Title(), "Servidor do Banco de Dados do Livrexa 1.1 - Porta 7022");
  EXPECT_EQ(settings.UpdateStatus(), "OK");
  EXPECT_FALSE(services.SupportAddress().empty());

  // A writer and readers at once: a reader sees one whole value or the other, never a mix.
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    for (int i = 0; !stop; ++i)
      settings.Set({i % 2 ? std::string(300, 'a') : std::string(200, 'b'), "", "", i, 0});
  });
  for (int i = 0; i < 20000; ++i) {
    std::string db = services.LocalDB();
    ASSERT_TRUE(db == std::string(300, 'a') || db == std::string(200, 'b') || db == "/d/Livrexa.FDB");
  }
  stop = true;
  writer.join();
}

}  // namespace
}  // namespace livrexa::host
