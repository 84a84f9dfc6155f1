#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "entry/CAnalysisError.h"
#include "input/CSignalData.h"
#include "spec/CSigTestSpec.h"
#include "spec/CSignalConfig.h"

namespace {

using Levels = std::map<char, std::pair<double, double>>;  // letter -> (first, second) volts

// A D+/D- pair or, with the second level unused, a differential trace: one letter
// per bit, linear edges of `edge` seconds centred on the bit boundaries.
CAnalysisRecord Draw(const std::string& bits, double bitTime, double rate, double edge,
                     const Levels& levels, int32_t traceKind) {
    CAnalysisRecord raw;
    raw.m_nTraceKind = traceKind;
    const auto samples = static_cast<std::size_t>(bits.size() * bitTime * rate);
    for (std::size_t i = 0; i < samples; ++i) {
        const double t = static_cast<double>(i) / rate;
        const auto boundary = static_cast<std::size_t>(std::lround(t / bitTime));
        const double from = boundary * bitTime - 0.5 * edge;
        auto [a, b] = levels.at(bits[std::min(bits.size() - 1, std::size_t(t / bitTime))]);
        if (boundary > 0 && boundary < bits.size() && t >= from && t < from + edge) {
            const auto [a0, b0] = levels.at(bits[boundary - 1]);
            const auto [a1, b1] = levels.at(bits[boundary]);
            a = a0 + (a1 - a0) * (t - from) / edge;
            b = b0 + (b1 - b0) * (t - from) / edge;
        }
        raw.m_Time.push_back(t);
        (traceKind == 2 ? raw.m_Diff : raw.m_DMinus).push_back(a);
        if (traceKind == 3) raw.m_DPlus.push_back(b);
    }
    return raw;
}

const Levels kHighSpeed{{'J', {0.4, 0}}, {'K', {-0.4, 0}}, {'S', {0, 0}}};
// Pairs as the reader gives them: first trace D-, second D+; 'S' is SE0.
const Levels kFullSpeed{{'J', {0, 3.3}}, {'K', {3.3, 0}}, {'S', {0, 0}}};
const Levels kLowSpeed{{'J', {3.3, 0}}, {'K', {0, 3.3}}, {'S', {0, 0}}};
const std::string kPayload = "JJKKKJKJJJJKKJJJJJJKJKKKKKKJ";  // never more than six alike

struct Truth {
    std::string bits;
    std::vector<double> eopStarts;  // s
};

// `dropped` leading SYNC bits lost by a hub or repeater in front of every packet.
Truth HighSpeedTraffic(int packets, std::size_t dropped = 0) {
    Truth truth{std::string(40, 'S'), {}};
    for (int p = 0; p < packets; ++p) {
        truth.bits += std::string("KJKJKJKJKJKJKJKJKJKJKJKJKJKJKJKK").substr(dropped) + kPayload;
        truth.eopStarts.push_back(static_cast<double>(truth.bits.size()) / 480e6);
        truth.bits += std::string(8, 'K') + std::string(40, 'S');
    }
    return truth;
}

Truth PairTraffic(int packets, double bitRate) {
    Truth truth{std::string(20, 'J'), {}};
    for (int p = 0; p < packets; ++p) {
        truth.bits += "KJKJKJKK" + kPayload;
        truth.eopStarts.push_back(static_cast<double>(truth.bits.size()) / bitRate);
        truth.bits += "SSJ" + std::string(20, 'J');
    }
    return truth;
}

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

// Every written packet is found complete, its EOP run starting within a sample
// period of the written EOP.
void ExpectPackets(const CAnalysisRecord& record, const Truth& truth, double samplePeriod) {
    ASSERT_EQ(record.m_nPackets, static_cast<int32_t>(truth.eopStarts.size()));
    ASSERT_EQ(record.m_Packets.size(), truth.eopStarts.size());
    for (std::size_t p = 0; p < truth.eopStarts.size(); ++p) {
        const CPacketEntry& packet = record.m_Packets[p];
        EXPECT_EQ(packet.m_nStatus, 0) << "packet " << p;
        ASSERT_FALSE(packet.m_Symbols.empty());
        EXPECT_EQ(packet.m_Symbols.back().m_strLabel, "EOP") << "packet " << p;
        EXPECT_NEAR(packet.m_Symbols.back().m_dStart, truth.eopStarts[p], samplePeriod);
    }
    EXPECT_EQ(record.m_nSymbols, static_cast<int32_t>(truth.eopStarts.size()) + 1);
    EXPECT_EQ(record.m_Capture.m_Symbols.size(), truth.eopStarts.size() + 1);
}

// A scope's comma-separated export: 25 header lines, then time and one or two traces.
std::string WriteCsv(const std::string& name, const std::vector<double>& time,
                     const std::vector<const std::vector<double>*>& traces) {
    const auto path = std::filesystem::temp_directory_path() / ("velkin_signal_data_" + name);
    std::ofstream out(path);
    out.precision(17);
    for (int line = 0; line < 25; ++line) out << "header " << line << "\n";
    for (std::size_t i = 0; i < time.size(); ++i) {
        out << time[i];
        for (const auto* trace : traces) out << ',' << (*trace)[i];
        out << '\n';
    }
    return path.string();
}

CAnalysisRecord Load(const std::string& file, const std::string& testType,
                     const std::string& second = "") {
    return CSignalData().Load(file, *CSignalConfig().BuildConfig(),
                              *CSigTestSpec().SelectSpec(testType), second);
}

}  // namespace

TEST(SignalData, CapturesReadFromFilesAreCutIntoTheWrittenPackets) {
    const Truth hs = HighSpeedTraffic(2);
    const CAnalysisRecord hsRaw = Draw(hs.bits, 1 / 480e6, 8e9, 100e-12, kHighSpeed, 2);
    const std::string hsFile = WriteCsv("hs.csv", hsRaw.m_Time, {&hsRaw.m_Diff});
    ExpectPackets(Load(hsFile, "hsne"), hs, 1 / 8e9);

    const Truth fs = PairTraffic(2, 12e6);
    const CAnalysisRecord fsRaw = Draw(fs.bits, 1 / 12e6, 4e9, 0.25e-9, kFullSpeed, 3);
    const std::string together =
        WriteCsv("fs.csv", fsRaw.m_Time, {&fsRaw.m_DMinus, &fsRaw.m_DPlus});
    ExpectPackets(Load(together, "fs"), fs, 1 / 4e9);
    const std::string dPlus = WriteCsv("fs_dp.csv", fsRaw.m_Time, {&fsRaw.m_DPlus});
    const std::string dMinus = WriteCsv("fs_dm.csv", fsRaw.m_Time, {&fsRaw.m_DMinus});
    const CAnalysisRecord apart = Load(dPlus, "fs", dMinus);
    ExpectPackets(apart, fs, 1 / 4e9);
    EXPECT_EQ(apart.m_strFileA, dPlus);
    EXPECT_EQ(apart.m_strFileB, dMinus);
    EXPECT_EQ(apart.m_nTraceKind, 3);

    const Truth ls = PairTraffic(2, 1.5e6);
    const CAnalysisRecord lsRaw = Draw(ls.bits, 1 / 1.5e6, 5e8, 2e-9, kLowSpeed, 3);
    const std::string lsFile = WriteCsv("ls.csv", lsRaw.m_Time, {&lsRaw.m_DMinus, &lsRaw.m_DPlus});
    ExpectPackets(Load(lsFile, "ls"), ls, 1 / 5e8);
    for (const std::string& file : {hsFile, together, dPlus, dMinus, lsFile})
        std::filesystem::remove(file);
}

TEST(SignalData, HighSpeedCapturesAreCutIntoTheWrittenPacketsWithoutCopyingSamples) {
    const Truth truth = HighSpeedTraffic(3);
    CAnalysisRecord fine = Draw(truth.bits, 1 / 480e6, 8e9, 100e-12, kHighSpeed, 2);
    const double* timeData = fine.m_Time.data();
    const double* diffData = fine.m_Diff.data();
    const std::size_t samples = fine.m_Time.size();
    const CAnalysisRecord atFull = Prepare(std::move(fine), "hsne");
    ExpectPackets(atFull, truth, 1 / 8e9);
    EXPECT_EQ(atFull.m_Time.data(), timeData);
    EXPECT_EQ(atFull.m_Diff.data(), diffData);
    EXPECT_EQ(atFull.m_nSamples, static_cast<int32_t>(samples));
    EXPECT_TRUE(atFull.m_DMinus.empty() && atFull.m_DPlus.empty() && atFull.m_CommonMode.empty());

    const CAnalysisRecord coarse =
        Prepare(Draw(truth.bits, 1 / 480e6, 2e9, 500e-12, kHighSpeed, 2), "hsne");
    ExpectPackets(coarse, truth, 1 / 2e9);
    EXPECT_EQ(coarse.m_nPrepResult, 0);

    // With three SYNC bits dropped the first packet still starts at its first J:
    // a shorter pattern would leave that J in the idle before it.
    const Truth shortSync = HighSpeedTraffic(2, 3);
    const CAnalysisRecord repeated =
        Prepare(Draw(shortSync.bits, 1 / 480e6, 8e9, 100e-12, kHighSpeed, 2), "hsne");
    ExpectPackets(repeated, shortSync, 1 / 8e9);
    EXPECT_EQ(repeated.m_Packets.at(0).m_Symbols.front().m_strLabel, "J");
    EXPECT_EQ(repeated.m_Capture.m_Symbols.front().m_nLastSample + 1,
              repeated.m_Packets.at(0).m_Symbols.front().m_nFirstSample);
}

TEST(SignalData, FullAndLowSpeedPairsAreOrientedAndCutIntoTheWrittenPackets) {
    const Truth fs = PairTraffic(3, 12e6);
    // Handed over with D+ as the first trace: idle must still come out positive.
    const Levels swapped{{'J', {3.3, 0}}, {'K', {0, 3.3}}, {'S', {0, 0}}};
    const CAnalysisRecord full = Prepare(Draw(fs.bits, 1 / 12e6, 4e9, 0.25e-9, swapped, 3), "fs");
    ExpectPackets(full, fs, 1 / 4e9);
    EXPECT_DOUBLE_EQ(full.m_DPlus.front(), 3.3);
    EXPECT_DOUBLE_EQ(full.m_Diff.front(), 3.3);
    EXPECT_DOUBLE_EQ(full.m_CommonMode.front(), 1.65);

    const Truth ls = PairTraffic(2, 1.5e6);
    const Levels dPlusSecond{{'J', {0, 3.3}}, {'K', {3.3, 0}}, {'S', {0, 0}}};
    const CAnalysisRecord low = Prepare(Draw(ls.bits, 1 / 1.5e6, 5e8, 2e-9, dPlusSecond, 3), "ls");
    ExpectPackets(low, ls, 1 / 5e8);
    EXPECT_DOUBLE_EQ(low.m_DMinus.front(), 3.3);
    EXPECT_DOUBLE_EQ(low.m_Diff.front(), -3.3);

    // A pair that starts at 0 V and reaches idle at sample 100 loses those 100 samples.
    CAnalysisRecord late = Draw(fs.bits, 1 / 12e6, 4e9, 0.25e-9, kFullSpeed, 3);
    for (std::size_t i = 0; i < 100; ++i) late.m_DPlus[i] = 0.0;
    const double idleAt = late.m_Time[100];
    EXPECT_DOUBLE_EQ(Prepare(std::move(late), "fs").m_Time.front(), idleAt);
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
