// Eight threads read at once through one fake reader, each with a card of
// its own before it: every text a thread receives is its own card's. The
// module keeps no state between or across calls; this shows it.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "reading_exports.h"

namespace {

TEST(Concurrency, EightThreadsEachReceiveOnlyTheirOwnCardsTexts) {
    constexpr int kThreads = 8;
    constexpr int kRounds = 500;
    FakeReader reader;
    ASSERT_EQ(FelicaRWOpen(), 1);

    std::vector<std::string> wrong(kThreads);  // the first thing each thread saw go wrong
    std::vector<int> calls(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            const Card mine = Card::Distinct(static_cast<uint8_t>(0x11 * (t + 1)));
            FakeReader::ServeOnThisThread(&mine);
            for (int round = 0; round < kRounds; ++round) {
                for (const ReadingExport& e : ReadingExports()) {
                    if (e.one_shot) continue;
                    Outputs out = e.MakeOutputs();
                    const int32_t result = e.Call(out);
                    ++calls[t];
                    std::string seen;
                    if (result != SuccessOf(e.name)) seen += " result " + std::to_string(result) + ";";
                    if (!out.idm.Holds(IdmText(mine))) seen += " IDm;";
                    if (e.pmm_size && !out.pmm.Holds(PmmText(mine))) seen += " PMm;";
                    if (e.block_size && !out.block.Holds(BlockText(e.name, mine))) seen += " blocks;";
                    if (!seen.empty() && wrong[t].empty())
                        wrong[t] = e.name + " in round " + std::to_string(round) + ":" + seen;
                }
            }
            FakeReader::ServeOnThisThread(nullptr);
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(FelicaRWClose(), 1);

    int total = 0;
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(wrong[t], "") << "thread " << t;
        total += calls[t];
    }
    std::printf("threads x calls: %d x %d\n", kThreads, total / kThreads);
}

}  // namespace
