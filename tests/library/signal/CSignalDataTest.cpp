#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "FailureText.h"
#include "library/signal/SignalCaptures.h"
#include "signal/CSignalRegions.h"
#include "synth/CEdgeTrain.h"

namespace {

using Writer = std::function<synth::SynthTruth(const std::string&, const std::string&)>;

// A high-speed capture of packets whose EOPs are timed at the receiver's threshold.
Writer HighSpeed(double sampleRate, int packets, int syncBitsDropped = 0) {
    synth::HighSpeedParams p;
    p.m_dSampleRate = sampleRate;
    p.m_Traffic.m_nPackets = packets;
    p.m_Traffic.m_nSeed = 7;
    p.m_nSyncBitsDropped = syncBitsDropped;
    p.m_dThreshold = captures::Limits("hsne").m_dDiffThreshold;
    return [=](const std::string& a, const std::string&) {
        return synth::WriteHighSpeedCapture(p, a, synth::FileFormat::Csv);
    };
}

// Where each written EOP starts as the receiver sees it: a high-speed trace at its threshold,
// where the truth times it; a pair once the line falling into SE0 leaves less differential
// than the threshold raised by the common-mode limit, v - low = threshold + limit - (v + low)
// / 2, along the raised-cosine edge of the written fall time from the truth's crossover.
std::vector<double> EopStarts(const synth::SynthTruth& truth, const std::string& testType) {
    const CSigSpec spec = captures::Limits(testType);
    const double se0 =
        (spec.m_dDiffThreshold + spec.m_dCommonModeLimit + truth.m_dLowLevel / 2) / 1.5;
    const double span = truth.m_dFallTime / synth::TenNinetyFraction();
    const double swing = truth.m_dHighLevel - truth.m_dLowLevel;
    const auto along = [&](double v) {
        return span * synth::RaisedCosineInverse((truth.m_dHighLevel - v) / swing);
    };
    const double late = truth.m_strKind == "hs" ? 0.0 : along(se0) - along(truth.m_dCrossover);
    std::vector<double> starts;
    for (const synth::PacketTruth& packet : truth.m_Packets)
        starts.push_back(packet.m_dEopStartAtLevel + late);
    return starts;
}

}  // namespace

// Every written packet is found complete, its EOP run starting within a sample period of
// the written EOP: linear interpolation between two samples that straddle a monotonic
// edge cannot place the crossing outside them.
TEST(SignalData, CapturesReadFromFilesAreOrientedUpsampledAndCutIntoTheWrittenPackets) {
    // D+ and D- in one file, or in two files of which the first named holds D-.
    const auto pair = [](synth::Speed speed, double leadLow, bool twoFiles) -> Writer {
        synth::SingleEndedParams p;
        p.m_Speed = speed;
        p.m_Traffic.m_nPackets = 3;
        p.m_dLeadLowTime = leadLow;
        return [=](const std::string& a, const std::string& b) {
            return synth::WriteSingleEndedCapture(p, twoFiles ? b : a, synth::FileFormat::Csv,
                                                  twoFiles ? a : "");
        };
    };
    // Name, writer, D+ and D- in files of their own, test type, up-sampling factor (0: trimmed
    // to idle, length unknown), the reader's first trace was D+, D+ and D+ - D- in the middle of
    // the idle run (V), and the symbol that opens each packet at its written start ("": any).
    const std::tuple<const char*, Writer, bool, const char*, std::size_t, bool, double, double,
                     std::string>
        cases[] = {
            {"hs", HighSpeed(8e9, 3), false, "hsne", 1, false, 0, 0, "K"},
            // A quarter of the reference rate: every interval is cut into four.
            {"hs_quarter", HighSpeed(2e9, 3), false, "hsne", 4, false, 0, 0, "K"},
            // With SYNC bits dropped a packet still starts at its first J: a shorter
            // pattern would leave that J in the idle before it.
            {"hs_sync3", HighSpeed(8e9, 2, 3), false, "hsne", 1, false, 0, 0, "J"},
            // Idle is J: D+ high at full speed, whichever line comes first. Both lines low
            // for 100 ns before the bus reaches idle: that stretch is cut off.
            {"fs_late", pair(synth::Speed::Full, 100e-9, false), false, "fs", 0, true, 3.3, 3.3,
             ""},
            {"fs_reversed", pair(synth::Speed::Full, 0, true), true, "fs", 1, true, 3.3, 3.3, ""},
            // D- high at low speed; one file holds D+ before D-, where a reader puts D- first.
            {"ls", pair(synth::Speed::Low, 0, false), false, "ls", 1, true, 0, -3.3, ""},
        };
    const CTempFolder folder;
    for (const auto& [name, write, twoFiles, testType, k, swapped, idlePlus, idleDiff, first] :
         cases) {
        SCOPED_TRACE(name);
        const std::string a = folder.Path(std::string(name) + "_a.csv");
        const std::string b = twoFiles ? folder.Path(std::string(name) + "_b.csv") : "";
        const synth::SynthTruth truth = write(a, b);
        const double period = 1 / truth.m_dSampleRate;
        const CAnalysisRecord r =
            CSignalData().Load(a, captures::Config(), captures::Limits(testType), b);
        EXPECT_EQ(r.m_nTraceKind, truth.m_strKind == "hs" ? 2 : 3);
        EXPECT_EQ(r.m_strFileA + "|" + r.m_strFileB, a + "|" + b);
        EXPECT_EQ(r.m_bPairSwapped, swapped);
        const std::size_t n = truth.m_nSamples;
        EXPECT_NEAR(r.m_Time.front(), k ? truth.m_dStartTime : truth.m_dIdleStart, period);
        EXPECT_EQ(k ? r.m_nSamples : 0, static_cast<int32_t>(k == 1 ? n : k * (n - 1)));
        const std::vector<double> eops = EopStarts(truth, testType);
        ASSERT_EQ(r.m_Packets.size(), eops.size());
        for (std::size_t p = 0; p < eops.size(); ++p) {
            SCOPED_TRACE(p);
            const std::vector<CSymbolRun>& symbols = r.m_Packets[p].m_Symbols;
            EXPECT_EQ(r.m_Packets[p].m_nStatus, 0);
            ASSERT_FALSE(symbols.empty());
            EXPECT_EQ(CSignalRegions::Label(symbols.back(), captures::Config()), "EOP");
            EXPECT_NEAR(symbols.back().m_dStart, eops[p], period);
            if (first.empty()) continue;
            EXPECT_EQ(CSignalRegions::Label(symbols.front(), captures::Config()), first);
            EXPECT_NEAR(symbols.front().m_dStart, truth.m_Packets[p].m_dStart, period);
        }
        const auto idle = static_cast<std::size_t>(r.m_Packets[0].m_Symbols[0].m_nFirstSample) / 2;
        EXPECT_NEAR(r.m_Diff[idle], idleDiff, 1e-5);
        if (r.m_nTraceKind == 3) {
            EXPECT_NEAR(r.m_DPlus[idle], idlePlus, 1e-5);
            EXPECT_NEAR(r.m_CommonMode[idle], 1.65, 1e-5);
        }
    }
}

// Ten samples at `rate` on each line, as a reader leaves them: preparation up-samples them to
// the reference rate along straight lines (flagging what is too coarse to trust), or says why not.
TEST(SignalData, PreparationUpsamplesCoarseCapturesAlongStraightLinesOrSaysWhyItCannot) {
    constexpr double kRamp = -1;  // one volt per sample, D+ idle high beside it
    const std::string tooFew = "Too few samples: a capture needs at least 3";
    const std::string differential = "Error: Differential trace data is not supported for ";
    struct Case {
        const char* m_strTestType;
        int32_t m_nKind;
        double m_dRate, m_dVolts;
        int32_t m_nSamples, m_nCoarse;  // after preparation
        std::string m_strFailure;
        std::function<void(CAnalysisRecord&)> m_Change = {};
    };
    const Case cases[] = {
        {"fs", 3, 4e9, kRamp, 10, 0, ""},
        {"fs", 3, 4e9 / 3, kRamp, 27, 0, ""},
        {"fs", 3, 4e9 / 3.2, kRamp, 36, 0, ""},
        {"fs", 3, 4e9 / 5, kRamp, 45, 1, ""},
        {"hsne", 2, 5e9, kRamp, 10, 0, ""},
        {"hsne", 2, 2e9, kRamp, 36, 0, ""},
        {"hsne", 2, 1.6e9, kRamp, 45, 1, ""},
        {"hsne", 2, 2e11, 0, 0, 0, "Sample rate error"},
        {"fs", 2, 5e8, 0, 0, 0, "Sample Rate Error: Check Test Type"},
        {"fs", 2, 8e9, 0, 0, 0, differential + "full speed signals"},
        {"ls", 2, 8e9, 0, 0, 0, differential + "low speed signals"},
        {"hsne", 3, 4e9, 3.3, 0, 0,
         "Error: Single ended trace data is not supported for high speed signals"},
        {"fs", 3, 4e9, 0.0, 0, 0, "Signal does not begin with idle"},
        {"hsne", 2, 8e9, 0, 0, 0, tooFew,
         [](CAnalysisRecord& r) {
             r.m_Time = CSampleTimes(0.0, r.m_Time[1], 2), r.m_Diff.resize(2);
         }},
        {"fs", 3, 4e9, 3.3, 0, 0, tooFew, [](CAnalysisRecord& r) { r = {}, r.m_nTraceKind = 3; }},
        // Idle is reached only at the last two samples.
        {"fs", 3, 4e9, 0.0, 0, 0, tooFew, [](CAnalysisRecord& r) { r.m_DPlus[8] = 3.3; }},
        {"hsne", 2, 8e9, 0, 0, 0, "Sample times do not increase at the start of the capture",
         [](CAnalysisRecord& r) { r.m_Time = CSampleTimes(0.0, 0.0, 10); }},
        {"fs", 3, 4e9, 3.3, 0, 0, "Differential data doesn't match data point times",
         [](CAnalysisRecord& r) { r.m_DPlus.pop_back(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.m_dRate) + " " + c.m_strTestType + " " + c.m_strFailure);
        CAnalysisRecord raw;
        raw.m_nTraceKind = c.m_nKind;
        raw.m_Time = CSampleTimes(0.0, 1.0 / c.m_dRate, 10);
        for (int i = 0; i < 10; ++i) {
            (c.m_nKind == 2 ? raw.m_Diff : raw.m_DMinus)
                .push_back(c.m_dVolts == kRamp ? i : c.m_dVolts);
            if (c.m_nKind == 3) raw.m_DPlus.push_back(c.m_dVolts == kRamp ? 3.3 : c.m_dVolts);
        }
        if (c.m_Change) c.m_Change(raw);
        const double* const read = (c.m_nKind == 2 ? raw.m_Diff : raw.m_DMinus).data();
        CAnalysisRecord r;
        EXPECT_EQ(FailureText([&] {
                      r = CSignalData().Prepare(std::move(raw), captures::Config(),
                                                captures::Limits(c.m_strTestType));
                  }),
                  c.m_strFailure);
        if (!c.m_strFailure.empty()) continue;
        // Nothing to up-sample: the record keeps the buffers the reader filled.
        if (c.m_nSamples == 10) {
            EXPECT_EQ((c.m_nKind == 2 ? r.m_Diff : r.m_DMinus).data(), read);
        }
        EXPECT_EQ(r.m_nSamples, c.m_nSamples);
        EXPECT_EQ(r.m_nPrepResult, c.m_nCoarse);
        EXPECT_DOUBLE_EQ(r.m_dSampleRate, c.m_dRate + 0.01);
        ASSERT_EQ(r.m_Time.size(), static_cast<std::size_t>(c.m_nSamples));
        const std::vector<double>& ramp = c.m_nKind == 2 ? r.m_Diff : r.m_DMinus;
        for (int j = 1; j < c.m_nSamples; ++j) {
            EXPECT_NEAR(ramp[j], r.m_Time[j] * c.m_dRate, 1e-9) << j;
            EXPECT_NEAR(r.m_Time[j] - r.m_Time[j - 1], r.m_Time[1] - r.m_Time[0], 1e-21) << j;
        }
    }
}
