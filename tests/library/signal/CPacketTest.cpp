#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "signal/CPacket.h"
#include "spec/CSignalConfig.h"

namespace {

// Runs from a line-state picture: 'I' idle, 'J'/'K' data, 'S' between levels, 'E' EOP.
std::vector<CSymbolRun> Runs(const std::string& states) {
    const auto config = CSignalConfig().BuildConfig();
    std::vector<CSymbolRun> runs;
    for (std::size_t i = 0; i < states.size(); ++i) {
        CSymbolRun run;
        run.m_nSymbol = static_cast<int32_t>(config->m_strSymbols.find(states[i]));
        run.m_nFirstSample = static_cast<int32_t>(10 * i);
        run.m_nLastSample = static_cast<int32_t>(10 * i + 9);
        runs.push_back(run);
    }
    return runs;
}

struct Split {
    std::vector<CPacketEntry> packets;
    std::vector<CSymbolRun> idle;
};

Split SplitOf(const std::string& states) {
    Split split;
    split.packets =
        CPacket().SplitPackets(Runs(states), *CSignalConfig().BuildConfig(), split.idle);
    return split;
}

}  // namespace

TEST(PacketSplitting, PacketsBetweenIdleRunsAreCompleteUnlessShortOrCutOffByTheCapture) {
    const Split framed = SplitOf("IKJKJKJKEI");
    ASSERT_EQ(framed.packets.size(), 1u);
    EXPECT_EQ(framed.packets[0].m_nInfo, 8);
    EXPECT_EQ(framed.packets[0].m_nStatus, 0);
    EXPECT_EQ(framed.packets[0].m_Symbols.front().m_nFirstSample, 10);
    EXPECT_EQ(framed.packets[0].m_Symbols.back().m_nFirstSample, 80);
    ASSERT_EQ(framed.idle.size(), 2u);
    EXPECT_EQ(framed.idle[1].m_nFirstSample, 90);

    EXPECT_EQ(SplitOf("IKJKJEI").packets.at(0).m_nStatus, 1);   // five runs
    EXPECT_EQ(SplitOf("IKJKJKEI").packets.at(0).m_nStatus, 0);  // six runs

    // Started inside a packet and ended inside another: both cut off, whatever their length.
    const Split cut = SplitOf("KJKJKJKJEIKJKJKJKEIKJKJKJKJK");
    ASSERT_EQ(cut.packets.size(), 3u);
    EXPECT_EQ(cut.packets[0].m_nStatus, 1);
    EXPECT_EQ(cut.packets[0].m_nInfo, 9);
    EXPECT_EQ(cut.packets[1].m_nStatus, 0);
    EXPECT_EQ(cut.packets[2].m_nStatus, 1);
    EXPECT_EQ(cut.packets[2].m_nInfo, 9);
    EXPECT_EQ(cut.idle.size(), 2u);
}

TEST(PacketSplitting, CapturesWithoutTrafficOrWithoutIdleStillSplitSafely) {
    const Split neverIdle = SplitOf("KJKJKJKJKJ");
    ASSERT_EQ(neverIdle.packets.size(), 1u);
    EXPECT_EQ(neverIdle.packets[0].m_nInfo, 10);
    EXPECT_EQ(neverIdle.packets[0].m_nStatus, 1);
    EXPECT_TRUE(neverIdle.idle.empty());

    const Split adjacentIdle = SplitOf("IKJKJKJEIIKJKJKJEI");
    ASSERT_EQ(adjacentIdle.packets.size(), 3u);
    EXPECT_EQ(adjacentIdle.packets[1].m_nInfo, 0);
    EXPECT_EQ(adjacentIdle.packets[1].m_nStatus, 1);

    EXPECT_TRUE(SplitOf("I").packets.empty());
    EXPECT_EQ(SplitOf("I").idle.size(), 1u);
    EXPECT_TRUE(SplitOf("").packets.empty());
}
