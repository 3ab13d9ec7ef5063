// Desks lending one holding at the same moment: exactly one loan gets it.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "circulation/circulation_library.h"

namespace livrexa::test {
namespace {

using ConcurrentLoans = CirculationTest;

TEST_F(ConcurrentLoans, EightDesksOneHoldingOneWinner) {
  constexpr int kDesks = 8;
  int headers = Count("Select count(*) From T12_EMPRE1");
  for (int acervo : {5, 10}) {
    host_.ClearLog();
    std::vector<std::string> replies(kDesks);
    std::atomic<int> ready{0};
    std::vector<std::thread> desks;
    for (int i = 0; i < kDesks; ++i) {
      desks.emplace_back([&, i] {
        ++ready;
        while (ready.load() < kDesks) std::this_thread::yield();
        replies[i] = Lend(1 + i % 3, {acervo}).Resposta();
      });
    }
    for (std::thread& desk : desks) desk.join();

    std::vector<std::string> winners;
    int refused = 0;
    for (const std::string& reply : replies) {
      if (reply == ItemMessage(acervo == 5 ? "000005" : "000010"))
        ++refused;
      else
        winners.push_back(reply);
    }
    ASSERT_EQ(winners.size(), 1u) << "holding " << acervo << ": " << ::testing::PrintToString(replies);
    EXPECT_EQ(refused, kDesks - 1);
    EXPECT_TRUE(Emprestado(acervo));
    // One item out, in the winner's loan; of the refused loans nothing stays.
    const std::string item = OpenItems(acervo);
    EXPECT_EQ(Scalar("Select T13_NumEmprest From T13_EMPRE2 Where T13_SeqEmprest = 0" + item), winners[0]);
    headers += 1;
    EXPECT_EQ(Count("Select count(*) From T12_EMPRE1"), headers);
    EXPECT_EQ(Count("Select count(*) From T12_EMPRE1 Where not Exists (Select T13_SeqEmprest From T13_EMPRE2 "
                    "Where T13_NumEmprest = T12_NumEmprest)"),
              0);
    EXPECT_EQ(host_.Log().size(), static_cast<size_t>(kDesks - 1));
  }
}

}  // namespace
}  // namespace livrexa::test
