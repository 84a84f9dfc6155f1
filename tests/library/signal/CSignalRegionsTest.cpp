#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "library/signal/SignalCaptures.h"
#include "signal/CSignalRegions.h"

using namespace captures;

namespace {

std::vector<CSymbolRun> Regions(const CSampleTimes& time, const std::vector<double>& diff,
                                const std::string& keyword,
                                const std::vector<double>& commonMode = {}) {
    return CSignalRegions().FindRegions(time, diff, Config(), Limits(keyword), commonMode);
}

}  // namespace

TEST(SignalRegions, ThresholdSamplesAndCaptureEdgesGiveSoundRuns) {
    // A sample on +-150 mV is between the levels, and its run starts on it.
    const auto runs = Regions(CSampleTimes(0.0, 1e-9, 5), {0.3, 0.15, 0.2, -0.15, -0.2}, "hsne");
    std::string symbols;
    for (const CSymbolRun& run : runs) symbols += Config().m_strSymbols[run.m_nSymbol];
    EXPECT_EQ(symbols, "JSJSK");
    EXPECT_EQ(runs[0].m_nLastSample, 0);
    EXPECT_DOUBLE_EQ(runs[1].m_dStart, 1e-9);
    EXPECT_EQ(runs[4].m_nLastSample, 4);  // the last run ends on the last sample

    // A full-speed SYNC from the very first sample has no idle run before it.
    const CSampleTimes time(0.0, 1 / 12e6, 10);
    std::vector<double> diff;
    for (const char bit : std::string("KJKJKJKKJJ")) diff.push_back(bit == 'J' ? 3.3 : -3.3);
    for (const CSymbolRun& run : Regions(time, diff, "fs", std::vector<double>(10, 1.65)))
        EXPECT_NE(run.m_nSymbol, Config().m_nSymI);
}

// Full speed: 0.4 V differential is J at a 1.65 V common mode, but between the levels
// when the common mode sags to 0.2 V (threshold 0.2 + 0.3 V). Low speed: J lies below
// -0.3 V, so a fall from 0 to -0.6 V crosses into J half way between the samples.
TEST(SignalRegions, PairThresholdRisesWithLowCommonModeAndEdgesSitOnTheCrossedLevel) {
    const CSampleTimes time(0.0, 1e-9, 3);
    EXPECT_EQ(Regions(time, {0.4, 0.4, 0.4}, "fs", {1.65, 0.2, 1.65})[1].m_nSymbol,
              Config().m_nSymS);
    EXPECT_EQ(Regions(time, {0.4, 0.4, 0.4}, "fs", {1.65, 1.65, 1.65}).size(), 1u);
    const auto runs = Regions(time, {0.0, -0.6, -0.6}, "ls", {1.65, 1.65, 1.65});
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[1].m_nSymbol, Config().m_nSymJ);
    EXPECT_DOUBLE_EQ(runs[1].m_dStart, 0.5e-9);
}

// Each J or K run is labelled with as many letters as it lasts in whole bits: with
// the rate 500 ppm fast and 20 ps rms of random jitter, a run of seven bits is off
// by 0.004 bit plus a few hundredths, far from the half bit that would change it.
TEST(SignalRegions, RunsOfASynthesizedCaptureSpellTheWrittenLineStates) {
    synth::HighSpeedParams params;
    params.m_Traffic.m_nPackets = 3;
    params.m_Traffic.m_nPayloadBytes = 16;
    params.m_Traffic.m_dRatePpm = 500.0;
    params.m_Traffic.m_Jitter.m_dRandomRms = 20e-12;
    params.m_nSyncBitsDropped = 5;
    const Measured m = HighSpeed(params);
    const std::vector<CPacketEntry>& packets = m.m_Record.m_Packets;
    ASSERT_EQ(packets.size(), m.m_Truth.m_Packets.size());
    for (std::size_t p = 0; p < packets.size(); ++p) {
        std::string spelled;  // the EOP holds the state after the last toggle
        for (const CSymbolRun& run : packets[p].m_Symbols)
            spelled +=
                CSignalRegions::Label(run, Config()) != "EOP"
                    ? CSignalRegions::Label(run, Config())
                    : std::string(std::lround(run.m_dBits), spelled.back() == 'J' ? 'K' : 'J');
        EXPECT_EQ(spelled, m.m_Truth.m_Packets[p].m_strStates) << "packet " << p;
    }
}
