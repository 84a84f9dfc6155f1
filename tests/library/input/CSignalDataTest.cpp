#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "CTempFolder.h"
#include "entry/CAnalysisError.h"
#include "input/CSignalData.h"
#include "signal/CMeasurePackets.h"
#include "signal/CTestPackets.h"
#include "spec/CSigTestSpec.h"
#include "spec/CSignalConfig.h"
#include "synth/CEdgeTrain.h"
#include "synth/Synth.h"

namespace {

CAnalysisRecord Prepare(CAnalysisRecord raw, const std::string& testType) {
    return CSignalData().Prepare(std::move(raw), *CSignalConfig().BuildConfig(),
                                 *CSigTestSpec().SelectSpec(testType));
}

std::string FailureOf(CAnalysisRecord raw, const std::string& testType) {
    try {
        Prepare(std::move(raw), testType);
    } catch (const CAnalysisError& e) {
        return e.what();
    }
    return "no failure";
}

CAnalysisRecord Load(const std::string& file, const std::string& testType,
                     const std::string& second = "") {
    return CSignalData().Load(file, *CSignalConfig().BuildConfig(),
                              *CSigTestSpec().SelectSpec(testType), second);
}

synth::HighSpeedParams HighSpeed(double sampleRate, int packets, int syncBitsDropped = 0) {
    synth::HighSpeedParams params;
    params.m_dSampleRate = sampleRate;
    params.m_Traffic.m_nPackets = packets;
    params.m_Traffic.m_nSeed = 7;
    params.m_nSyncBitsDropped = syncBitsDropped;
    // The EOP is timed where the receiver reads it, at the differential threshold.
    params.m_dThreshold = CSigTestSpec().SelectSpec("hsne")->m_dDiffThreshold;
    return params;
}

std::vector<double> HighSpeedEopStarts(const synth::SynthTruth& truth) {
    std::vector<double> starts;
    for (const synth::PacketTruth& packet : truth.m_Packets)
        starts.push_back(packet.m_dEopStartAtLevel);
    return starts;
}

// A pair reads SE0 once the line falling into it leaves less differential than the
// receiver threshold, raised by as much as the common mode has sagged below its
// limit: v - low = threshold + limit - (v + low) / 2.
double PairSe0Level(const std::string& testType, double low) {
    const auto spec = CSigTestSpec().SelectSpec(testType);
    return (spec->m_dDiffThreshold + spec->m_dCommonModeLimit + low / 2.0) / 1.5;
}

// When the line falling into each EOP reaches `volts`: the truth times its crossing
// of the crossover level, the raised-cosine edge of the written fall time the rest.
std::vector<double> PairEopStarts(const synth::SynthTruth& truth, double volts) {
    const double span = truth.m_dFallTime / synth::TenNinetyFraction();
    const double swing = truth.m_dHighLevel - truth.m_dLowLevel;
    const auto along = [&](double v) {
        return span * synth::RaisedCosineInverse((truth.m_dHighLevel - v) / swing);
    };
    std::vector<double> starts;
    for (const synth::PacketTruth& packet : truth.m_Packets)
        starts.push_back(packet.m_dEopStartAtLevel + along(volts) - along(truth.m_dCrossover));
    return starts;
}

// Every written packet is found complete, its EOP run starting within a sample
// period of the written EOP: linear interpolation between two samples that
// straddle a monotonic edge cannot place the crossing outside them.
void ExpectPackets(const CAnalysisRecord& record, const std::vector<double>& eopStarts,
                   double samplePeriod) {
    ASSERT_EQ(record.m_nPackets, static_cast<int32_t>(eopStarts.size()));
    ASSERT_EQ(record.m_Packets.size(), eopStarts.size());
    for (std::size_t p = 0; p < eopStarts.size(); ++p) {
        const CPacketEntry& packet = record.m_Packets[p];
        EXPECT_EQ(packet.m_nStatus, 0) << "packet " << p;
        ASSERT_FALSE(packet.m_Symbols.empty());
        EXPECT_EQ(packet.m_Symbols.back().m_strLabel, "EOP") << "packet " << p;
        EXPECT_NEAR(packet.m_Symbols.back().m_dStart, eopStarts[p], samplePeriod) << p;
    }
    EXPECT_EQ(record.m_nSymbols, static_cast<int32_t>(eopStarts.size()) + 1);
    EXPECT_EQ(record.m_Capture.m_Symbols.size(), eopStarts.size() + 1);
}

}  // namespace

TEST(SignalData, HighSpeedCapturesReadFromFilesAreCutIntoTheWrittenPackets) {
    const CTempFolder folder("velkin_signal_data_");
    const std::string fine = folder.Path("hs8g.csv");
    const synth::SynthTruth atFull =
        synth::WriteHighSpeedCapture(HighSpeed(8e9, 3), fine, synth::FileFormat::Csv);
    const CAnalysisRecord full = Load(fine, "hsne");
    ExpectPackets(full, HighSpeedEopStarts(atFull), 1 / 8e9);
    EXPECT_EQ(full.m_nSamples, static_cast<int32_t>(atFull.m_nSamples));
    EXPECT_EQ(full.m_nTraceKind, 2);

    // A quarter of the reference rate: every interval is cut into four.
    const std::string coarse = folder.Path("hs2g.csv");
    const synth::SynthTruth atQuarter =
        synth::WriteHighSpeedCapture(HighSpeed(2e9, 3), coarse, synth::FileFormat::Csv);
    const CAnalysisRecord upsampled = Load(coarse, "hsne");
    ExpectPackets(upsampled, HighSpeedEopStarts(atQuarter), 1 / 2e9);
    EXPECT_EQ(upsampled.m_nSamples, static_cast<int32_t>(4 * (atQuarter.m_nSamples - 1)));
    EXPECT_EQ(upsampled.m_nPrepResult, 0);

    // With three SYNC bits dropped the first packet still starts at its first J:
    // a shorter pattern would leave that J in the idle before it.
    const std::string shortSync = folder.Path("hs_sync3.csv");
    const synth::SynthTruth dropped =
        synth::WriteHighSpeedCapture(HighSpeed(8e9, 2, 3), shortSync, synth::FileFormat::Csv);
    const CAnalysisRecord repeated = Load(shortSync, "hsne");
    ExpectPackets(repeated, HighSpeedEopStarts(dropped), 1 / 8e9);
    for (std::size_t p = 0; p < repeated.m_Packets.size(); ++p) {
        const CSymbolRun& first = repeated.m_Packets[p].m_Symbols.front();
        EXPECT_EQ(first.m_strLabel, "J");
        EXPECT_NEAR(first.m_dStart, dropped.m_Packets[p].m_dStart, 1 / 8e9);
    }
    EXPECT_EQ(repeated.m_Capture.m_Symbols.front().m_nLastSample + 1,
              repeated.m_Packets.at(0).m_Symbols.front().m_nFirstSample);
}

TEST(SignalData, FullAndLowSpeedPairsReadFromFilesAreOrientedAndCutIntoTheWrittenPackets) {
    const CTempFolder folder("velkin_signal_data_");
    synth::SingleEndedParams fs;
    fs.m_Traffic.m_nPackets = 3;
    // Both lines low for 100 ns before the bus reaches idle: that stretch is cut off.
    fs.m_dLeadLowTime = 100e-9;
    const std::string together = folder.Path("fs.csv");
    const synth::SynthTruth fsTruth =
        synth::WriteSingleEndedCapture(fs, together, synth::FileFormat::Csv);
    const std::vector<double> fsEops = PairEopStarts(fsTruth, PairSe0Level("fs", 0.0));
    const CAnalysisRecord one = Load(together, "fs");
    ExpectPackets(one, fsEops, 1 / 4e9);
    EXPECT_NEAR(one.m_Time.front(), fsTruth.m_dIdleStart, 1 / 4e9);
    // Idle is J: D+ high at full speed, whichever trace the file holds first.
    EXPECT_GE(one.m_DPlus.front(), 1.5);
    EXPECT_TRUE(one.m_bPairSwapped);
    const CSymbolRun& idle = one.m_Capture.m_Symbols.front();
    const auto settled = static_cast<std::size_t>(idle.m_nLastSample + idle.m_nFirstSample) / 2;
    EXPECT_NEAR(one.m_DPlus[settled], 3.3, 1e-5);
    EXPECT_NEAR(one.m_Diff[settled], 3.3, 1e-5);

    const std::string dPlus = folder.Path("fs_dp.csv");
    const std::string dMinus = folder.Path("fs_dm.csv");
    synth::WriteSingleEndedCapture(fs, dPlus, synth::FileFormat::Csv, dMinus);
    const CAnalysisRecord apart = Load(dPlus, "fs", dMinus);
    ExpectPackets(apart, fsEops, 1 / 4e9);
    EXPECT_EQ(apart.m_strFileA, dPlus);
    EXPECT_EQ(apart.m_strFileB, dMinus);
    EXPECT_EQ(apart.m_nTraceKind, 3);
    EXPECT_FALSE(apart.m_bPairSwapped);
    const CAnalysisRecord reversed = Load(dMinus, "fs", dPlus);
    ExpectPackets(reversed, fsEops, 1 / 4e9);
    EXPECT_TRUE(reversed.m_bPairSwapped);
    EXPECT_EQ(reversed.m_DPlus, apart.m_DPlus);
    EXPECT_EQ(reversed.m_CommonMode, apart.m_CommonMode);

    synth::SingleEndedParams ls;
    ls.m_Speed = synth::Speed::Low;
    const std::string low = folder.Path("ls.csv");
    const synth::SynthTruth lsTruth =
        synth::WriteSingleEndedCapture(ls, low, synth::FileFormat::Csv);
    const CAnalysisRecord lsRecord = Load(low, "ls");
    ExpectPackets(lsRecord, PairEopStarts(lsTruth, PairSe0Level("ls", 0.0)), 1 / 5e8);
    EXPECT_NEAR(lsRecord.m_DMinus.front(), 3.3, 1e-5);
    EXPECT_NEAR(lsRecord.m_Diff.front(), -3.3, 1e-5);
    EXPECT_NEAR(lsRecord.m_CommonMode.front(), 1.65, 1e-5);
    // One file holds D+ before D-, where a reader puts D- first: swapped back.
    EXPECT_TRUE(lsRecord.m_bPairSwapped);
}

// The record moves from stage to stage: the traces that leave the verdicts are
// the very buffers the capture was read into.
TEST(SignalData, RecordsMoveThroughPreparationMeasurementAndVerdictsWithoutCopyingSamples) {
    const auto config = CSignalConfig().BuildConfig();
    const auto judge = [&](CAnalysisRecord raw, const std::string& testType) {
        const auto spec = CSigTestSpec().SelectSpec(testType);
        CAnalysisRecord record = CSignalData().Prepare(std::move(raw), *config, *spec);
        record = CMeasurePackets().Run(std::move(record), *config, *spec);
        return CTestPackets().TestPackets(std::move(record), *config, *spec);
    };

    synth::SynthTruth truth;
    const synth::SampleSource hs = synth::MakeHighSpeedSource(HighSpeed(8e9, 3), truth);
    CAnalysisRecord raw;
    raw.m_nTraceKind = 2;
    double volts = 0.0;
    for (std::size_t k = 0; k < hs.m_nSamples; ++k) {
        hs.m_Sample(k, &volts);
        raw.m_Time.push_back(hs.Time(k));
        raw.m_Diff.push_back(volts);
    }
    const double* timeData = raw.m_Time.data();
    const double* diffData = raw.m_Diff.data();
    const CAnalysisRecord judged = judge(std::move(raw), "hsne");
    ExpectPackets(judged, HighSpeedEopStarts(truth), 1 / 8e9);
    ASSERT_EQ(judged.m_Verdicts.size(), 1u);
    EXPECT_EQ(judged.m_Time.data(), timeData);
    EXPECT_EQ(judged.m_Diff.data(), diffData);
    EXPECT_TRUE(judged.m_DMinus.empty() && judged.m_DPlus.empty() && judged.m_CommonMode.empty());

    // A full-speed pair at the reference rate keeps both lines where they were read.
    synth::SingleEndedParams params;
    params.m_Traffic.m_nPackets = 1;
    const synth::SampleSource pair = synth::MakeSingleEndedSource(params, truth);
    CAnalysisRecord lines;
    lines.m_nTraceKind = 3;
    double both[2];
    for (std::size_t k = 0; k < pair.m_nSamples; ++k) {
        pair.m_Sample(k, both);
        lines.m_Time.push_back(pair.Time(k));
        lines.m_DPlus.push_back(both[0]);
        lines.m_DMinus.push_back(both[1]);
    }
    const double* plusData = lines.m_DPlus.data();
    const double* minusData = lines.m_DMinus.data();
    timeData = lines.m_Time.data();
    const CAnalysisRecord judgedPair = judge(std::move(lines), "fs");
    ASSERT_EQ(judgedPair.m_Verdicts.size(), 1u);
    EXPECT_EQ(judgedPair.m_Time.data(), timeData);
    EXPECT_EQ(judgedPair.m_DPlus.data(), plusData);
    EXPECT_EQ(judgedPair.m_DMinus.data(), minusData);
}

TEST(SignalData, CoarseCapturesAreUpsampledByTheRateShortfall) {
    auto pairAt = [](double rate) {
        CAnalysisRecord raw;
        raw.m_nTraceKind = 3;
        for (int i = 0; i < 10; ++i) {
            raw.m_Time.push_back(i / rate);
            raw.m_DPlus.push_back(3.3);
            raw.m_DMinus.push_back(i);
        }
        return raw;
    };
    const CAnalysisRecord atRef = Prepare(pairAt(4e9), "fs");
    EXPECT_EQ(atRef.m_nSamples, 10);
    const CAnalysisRecord third = Prepare(pairAt(4e9 / 3), "fs");
    EXPECT_EQ(third.m_nSamples, 27);
    EXPECT_EQ(third.m_nPrepResult, 0);
    EXPECT_DOUBLE_EQ(third.m_DMinus[4], 4.0 / 3.0);
    EXPECT_NEAR(third.m_Time[4], 4 * 0.25e-9, 1e-21);
    const CAnalysisRecord fifth = Prepare(pairAt(4e9 / 5), "fs");
    EXPECT_EQ(fifth.m_nSamples, 45);
    EXPECT_EQ(fifth.m_nPrepResult, 1);
    EXPECT_EQ(fifth.m_nSamplesCopy, 45);

    auto diffAt = [](double rate) {
        CAnalysisRecord raw;
        raw.m_nTraceKind = 2;
        for (int i = 0; i < 10; ++i) {
            raw.m_Time.push_back(i / rate);
            raw.m_Diff.push_back(0.0);
        }
        return raw;
    };
    EXPECT_EQ(Prepare(diffAt(5e9), "hsne").m_nSamples, 10);
    const CAnalysisRecord quarter = Prepare(diffAt(2e9), "hsne");
    EXPECT_EQ(quarter.m_nSamples, 36);
    EXPECT_EQ(quarter.m_nPrepResult, 0);
    EXPECT_DOUBLE_EQ(quarter.m_dSampleRate, 2e9 + 0.01);

    // Far too coarse: refused before any memory is asked for.
    EXPECT_EQ(FailureOf(pairAt(10.0), "fs"),
              "Sample rate too low: up-sampling by 400000000 would exceed 200000000 samples");
}

TEST(SignalData, CapturesThatDoNotFitTheTestAreRejectedWithTheirReason) {
    auto capture = [](int32_t kind, double rate, double volts, int samples = 10) {
        CAnalysisRecord raw;
        raw.m_nTraceKind = kind;
        for (int i = 0; i < samples; ++i) {
            raw.m_Time.push_back(i / rate);
            (kind == 2 ? raw.m_Diff : raw.m_DMinus).push_back(volts);
            if (kind == 3) raw.m_DPlus.push_back(volts);
        }
        return raw;
    };
    EXPECT_EQ(FailureOf(capture(2, 2e11, 0), "hsne"), "Sample rate error");
    EXPECT_EQ(FailureOf(capture(2, 5e8, 0), "fs"), "Sample Rate Error: Check Test Type");
    EXPECT_EQ(FailureOf(capture(2, 8e9, 0), "fs"),
              "Error: Differential trace data is not supported for full speed signals");
    EXPECT_EQ(FailureOf(capture(2, 8e9, 0), "ls"),
              "Error: Differential trace data is not supported for low speed signals");
    EXPECT_EQ(FailureOf(capture(3, 4e9, 3.3), "hsne"),
              "Error: Single ended trace data is not supported for high speed signals");
    EXPECT_EQ(FailureOf(capture(3, 4e9, 0.0), "fs"), "Signal does not begin with idle");

    EXPECT_EQ(FailureOf(capture(2, 8e9, 0, 2), "hsne"),
              "Too few samples: a capture needs at least 3");
    EXPECT_EQ(FailureOf(capture(3, 4e9, 3.3, 0), "fs"),
              "Too few samples: a capture needs at least 3");
    CAnalysisRecord trimmedShort = capture(3, 4e9, 0.0);
    trimmedShort.m_DPlus[8] = 3.3;
    EXPECT_EQ(FailureOf(std::move(trimmedShort), "fs"),
              "Too few samples: a capture needs at least 3");
    CAnalysisRecord backwards = capture(2, 8e9, 0);
    backwards.m_Time[2] = backwards.m_Time[1];
    EXPECT_EQ(FailureOf(std::move(backwards), "hsne"),
              "Sample times do not increase at the start of the capture");
    CAnalysisRecord ragged = capture(3, 4e9, 3.3);
    ragged.m_DPlus.pop_back();
    EXPECT_EQ(FailureOf(std::move(ragged), "fs"),
              "Differential data doesn't match data point times");
}
