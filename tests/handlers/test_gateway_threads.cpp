// Several modules at once: threads with their own connections writing and reading the same file,
// with the pool on and off, and a lock conflict between two writers.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <set>
#include <thread>

#include "handlers/gateway/detail/client.h"
#include "support/firebird_db.h"

#include <ibase.h>

namespace livrexa::test {
namespace {

constexpr int kThreads = 8;
constexpr int kRowsPerThread = 25;

class GatewayThreadsTest : public FbDatabaseTest, public ::testing::WithParamInterface<bool> {};

TEST_P(GatewayThreadsTest, EightThreadsWithTheirOwnConnectionsWriteConcurrently) {
  pool_->SetEnabled(GetParam());
  std::vector<std::vector<int>> keys(kThreads);
  std::vector<std::string> failures(kThreads);
  std::atomic<int> ready{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      try {
        ready.fetch_add(1);
        while (ready.load() < kThreads) std::this_thread::yield();  // start together
        for (int i = 0; i < kRowsPerThread; ++i) {
          // One module per request, as the handlers do.
          auto connection = NewConnection();
          TFbQuery query(*connection);
          connection->StartTransaction();
          query.SQL.Add("Insert into T99_ErrLog (T99_Usuario, T99_Rotina, T99_Descricao) ");
          query.SQL.Add("Values (:p00, :p01, :p02) Returning T99_NumLog");
          query.Params(0).SetAsString("thread " + std::to_string(t));
          query.Params(1).SetAsInteger(i);  // converted by the engine into the text column
          query.Params(2).SetAsString("operação nº " + std::to_string(i));
          query.Open();
          keys[t].push_back(query.AsInteger(size_t{0}));
          query.Close();
          connection->Commit();
          // Read back what this thread wrote so far, outside the transaction.
          query.SQL.Clear();
          query.SQL.Add("Select count(*) From T99_ErrLog Where T99_Usuario = :p00");
          query.Params(0).SetAsString("thread " + std::to_string(t));
          query.Open();
          if (query.AsInteger(size_t{0}) != i + 1) throw LivrexaError("own rows not visible");
        }
      } catch (const std::exception& e) {
        failures[t] = e.what();
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(failures[t], "") << "thread " << t;

  std::set<int> all;
  for (const auto& own : keys) {
    EXPECT_EQ(own.size(), static_cast<size_t>(kRowsPerThread));
    EXPECT_TRUE(std::is_sorted(own.begin(), own.end()));
    all.insert(own.begin(), own.end());
  }
  EXPECT_EQ(all.size(), static_cast<size_t>(kThreads * kRowsPerThread));  // every key handed out once
  if (GetParam()) {
    EXPECT_LE(pool_->AttachCount(), static_cast<uint64_t>(kThreads));  // reused, never more than at once
  } else {
    EXPECT_EQ(pool_->AttachCount(), static_cast<uint64_t>(kThreads * kRowsPerThread));
  }
  EXPECT_EQ(ScalarInt("select count(*) from T99_ErrLog"), kThreads * kRowsPerThread);
  EXPECT_EQ(ScalarInt("select count(distinct T99_Usuario) from T99_ErrLog"), kThreads);
}

INSTANTIATE_TEST_SUITE_P(PoolOnAndOff, GatewayThreadsTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "PoolOn" : "PoolOff"; });

using GatewayLockTest = FbDatabaseTest;

TEST_F(GatewayLockTest, LockConflictIsRaisedAtTheStatementThatMeetsIt) {
  ExecCommitted(*connection_, "insert into T05_AUTOR1 (T05_Autor) values ('Machado')");
  auto first = NewConnection();
  auto second = NewConnection();
  second->LockTimeoutSeconds = 2;  // the engine counts whole seconds: it waits between 1 and 2 s
  TFbQuery update1(*first), update2(*second);
  for (TFbQuery* q : {&update1, &update2})
    q->SQL.Add("Update T05_AUTOR1 Set T05_Autor = :p00 Where T05_NumAutor = 1");

  first->StartTransaction();
  update1.Params(0).SetAsString("Machado de Assis");
  update1.ExecSQL();

  second->StartTransaction();
  update2.Params(0).SetAsString("Joaquim Maria");
  const auto started = std::chrono::steady_clock::now();
  try {
    update2.ExecSQL();
    FAIL() << "the row is held by the first transaction";
  } catch (const TFbError& e) {
    EXPECT_FALSE(e.Fatal());
    EXPECT_TRUE(e.Has(isc_update_conflict) || e.Has(isc_lock_timeout)) << e.what();
  }
  EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(900));  // it waited
  second->Rollback();
  first->Commit();
  EXPECT_TRUE(second->Connected());
  TFbQuery read(*second);
  read.SQL.Add("Select T05_Autor From T05_AUTOR1");
  read.Open();
  EXPECT_EQ(read.AsString(size_t{0}), "Machado de Assis");
}

}  // namespace
}  // namespace livrexa::test
