#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "signal/CPacket.h"
#include "spec/CSignalConfig.h"

// Line-state runs from a picture, ten samples each: 'I' idle, 'J'/'K' data, 'S'
// between levels, 'E' EOP. A packet lies between two idle runs; it is complete
// (status 0) unless it has five runs or fewer or the capture cuts it off (status 1),
// and its info is its run count.
TEST(PacketSplitting, PacketsLieBetweenIdleRunsAndAreCompleteUnlessShortOrCutOff) {
    const auto config = CSignalConfig().BuildConfig();
    struct Case {
        std::string states;
        std::string statuses;  // one digit per packet
        std::vector<int32_t> infos;
        std::size_t idle;
    };
    const Case cases[] = {{"IKJKJKJKEI", "0", {8}, 2},
                          {"IKJKJEI", "1", {5}, 2},
                          {"IKJKJKEI", "0", {6}, 2},
                          {"KJKJKJKJEIKJKJKJKEIKJKJKJKJK", "101", {9, 8, 9}, 2},
                          {"KJKJKJKJKJ", "1", {10}, 0},
                          {"IKJKJKJEIIKJKJKJEI", "010", {7, 0, 7}, 4},
                          {"I", "", {}, 1},
                          {"", "", {}, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.states);
        std::vector<CSymbolRun> runs;
        for (std::size_t i = 0; i < c.states.size(); ++i)
            runs.push_back({static_cast<int32_t>(config->m_strSymbols.find(c.states[i])), 0, 0.0,
                            0.0, 0.0, static_cast<int32_t>(10 * i), 0, 0});
        std::vector<CSymbolRun> idle;
        const std::vector<CPacketEntry> packets = CPacket().SplitPackets(runs, *config, idle);
        std::string statuses;
        std::vector<int32_t> infos;
        for (const CPacketEntry& p : packets) {
            statuses += std::to_string(p.m_nStatus);
            infos.push_back(p.m_nInfo);
            EXPECT_EQ(p.m_Symbols.size(), static_cast<std::size_t>(p.m_nInfo));
        }
        EXPECT_EQ(statuses, c.statuses);
        EXPECT_EQ(infos, c.infos);
        ASSERT_EQ(idle.size(), c.idle);
        for (const CSymbolRun& run : idle) EXPECT_EQ(c.states[run.m_nFirstSample / 10], 'I');
    }
}
