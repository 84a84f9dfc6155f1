#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "entry/CAnalysisError.h"
#include "signal/CSignalRegions.h"
#include "spec/CSigTestSpec.h"
#include "spec/CSignalConfig.h"
#include "synth/Synth.h"

namespace {

struct Trace {
    std::vector<double> time;
    std::vector<double> diff;
};

constexpr double kHsBit = 1.0 / 480e6;

std::vector<CSymbolRun> Regions(const Trace& trace, const std::string& testType,
                                const std::vector<double>& commonMode = {}) {
    return CSignalRegions().FindRegions(trace.time, trace.diff, *CSignalConfig().BuildConfig(),
                                        *CSigTestSpec().SelectSpec(testType), commonMode);
}

}  // namespace

TEST(SignalRegions, ThresholdSamplesAndCaptureEdgesGiveSoundRuns) {
    const auto config = CSignalConfig().BuildConfig();
    Trace onThreshold{{0, 1e-9, 2e-9, 3e-9, 4e-9}, {0.3, 0.15, 0.2, -0.15, -0.2}};
    const auto runs = Regions(onThreshold, "hsne");
    ASSERT_EQ(runs.size(), 5u);  // J, S (on +th), J, S (on -th), K
    EXPECT_EQ(runs[0].m_nLastSample, 0);
    EXPECT_EQ(runs[1].m_nSymbol, config->m_nSymS);
    EXPECT_DOUBLE_EQ(runs[1].m_dStart, 1e-9);  // the sample sits on the level itself
    EXPECT_EQ(runs[3].m_nSymbol, config->m_nSymS);
    EXPECT_EQ(runs[4].m_nLastSample, 4);

    Trace quiet{{0, 1e-9, 2e-9}, {0.0, 0.01, -0.01}};
    const auto one = Regions(quiet, "hsne");
    ASSERT_EQ(one.size(), 1u);
    EXPECT_DOUBLE_EQ(one[0].m_dBits, 2e-9 / kHsBit);
    EXPECT_EQ(one[0].m_nLastSample, 2);

    // A full-speed SYNC from the very first sample has no idle run before it.
    Trace syncFirst;
    for (const char bit : std::string("KJKJKJKKJJ")) {
        syncFirst.time.push_back(static_cast<double>(syncFirst.time.size()) / 12e6);
        syncFirst.diff.push_back(bit == 'J' ? 3.3 : -3.3);
    }
    const auto fromStart = Regions(syncFirst, "fs", std::vector<double>(10, 1.65));
    for (const CSymbolRun& run : fromStart) EXPECT_NE(run.m_nSymbol, config->m_nSymI);

    const auto failure = [](const Trace& trace) -> std::string {
        try {
            Regions(trace, "hsne");
        } catch (const CAnalysisError& e) {
            return e.what();
        }
        return "no failure";
    };
    EXPECT_EQ(failure({{0, 1e-9, 2e-9}, {0.0, 0.0}}),
              "Differential data doesn't match data point times");
    EXPECT_EQ(failure({}), "No samples to divide into line states");
}

TEST(SignalRegions, PairThresholdRisesWithLowCommonModeAndEdgesSitOnTheCrossedLevel) {
    const auto config = CSignalConfig().BuildConfig();
    // Full speed: 0.4 V differential is J at a 1.65 V common mode, but between the
    // levels when the common mode sags to 0.2 V (threshold 0.2 + 0.3 V).
    Trace pair{{0, 1e-9, 2e-9}, {0.4, 0.4, 0.4}};
    EXPECT_EQ(Regions(pair, "fs", {1.65, 0.2, 1.65})[1].m_nSymbol, config->m_nSymS);
    EXPECT_EQ(Regions(pair, "fs", {1.65, 1.65, 1.65}).size(), 1u);

    // Low speed: J lies below -0.3 V, so a fall from 0 to -0.6 V crosses into J
    // half way between the samples.
    Trace fall{{0, 1e-9, 2e-9}, {0.0, -0.6, -0.6}};
    const auto runs = Regions(fall, "ls", {1.65, 1.65, 1.65});
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[1].m_nSymbol, config->m_nSymJ);
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
    synth::SynthTruth truth;
    const synth::SampleSource source = synth::MakeHighSpeedSource(params, truth);
    Trace trace;
    double volts = 0.0;
    for (std::size_t k = 0; k < source.m_nSamples; ++k) {
        source.m_Sample(k, &volts);
        trace.time.push_back(source.Time(k));
        trace.diff.push_back(volts);
    }
    std::vector<std::string> spelled;
    for (const CSymbolRun& run : Regions(trace, "hsne")) {
        if (run.m_strLabel == "idle") {
            spelled.emplace_back();
        } else if (!spelled.empty() && run.m_strLabel == "EOP") {
            spelled.back() += std::string(static_cast<std::size_t>(std::lround(run.m_dBits)),
                                          spelled.back().back() == 'J' ? 'K' : 'J');
        } else if (!spelled.empty()) {
            spelled.back() += run.m_strLabel;
        }
    }
    ASSERT_EQ(spelled.size(), truth.m_Packets.size() + 1);  // idle after the last packet
    for (std::size_t p = 0; p < truth.m_Packets.size(); ++p)
        EXPECT_EQ(spelled[p], truth.m_Packets[p].m_strStates) << "packet " << p;
    EXPECT_TRUE(spelled.back().empty());
}
