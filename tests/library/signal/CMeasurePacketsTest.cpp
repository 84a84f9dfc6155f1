#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "CTempFolder.h"
#include "entry/CAnalysisError.h"
#include "input/CSignalData.h"
#include "scopefiles/CWriteKeysightBin.h"
#include "signal/CMeasurePackets.h"
#include "spec/CSigTestSpec.h"
#include "spec/CSignalConfig.h"
#include "synth/Synth.h"

namespace {

constexpr double kHsBit = 1.0 / 480e6;

const CSigConfig& Config() {
    static const CSigConfig config = *CSignalConfig().BuildConfig();
    return config;
}

CSigSpec SpecOf(const std::string& testType) { return *CSigTestSpec().SelectSpec(testType); }

// A capture as the signal-quality run sees it: read, prepared, its first complete
// packet measured.
struct Measured {
    synth::SynthTruth m_Truth;
    CAnalysisRecord m_Record;
    const CPacketMeasurement& M() const { return m_Record.m_Measurements.at(0); }
};

CAnalysisRecord LoadAndMeasure(const std::string& file, const std::string& testType) {
    const CSigSpec spec = SpecOf(testType);
    CAnalysisRecord record = CSignalData().Load(file, Config(), spec, "");
    return CMeasurePackets().Run(std::move(record), Config(), spec);
}

Measured HighSpeed(const synth::HighSpeedParams& params) {
    const CTempFolder folder("velkin_measure_");
    const std::string file = folder.Path("hs.csv");
    Measured m;
    m.m_Truth = synth::WriteHighSpeedCapture(params, file, synth::FileFormat::Csv);
    m.m_Record = LoadAndMeasure(file, "hsne");
    return m;
}

Measured Pair(const synth::SingleEndedParams& params) {
    const CTempFolder folder("velkin_measure_");
    const std::string file = folder.Path("pair.csv");
    Measured m;
    m.m_Truth = synth::WriteSingleEndedCapture(params, file, synth::FileFormat::Csv);
    m.m_Record = LoadAndMeasure(file, params.m_Speed == synth::Speed::Full ? "fs" : "ls");
    return m;
}

// High-speed traffic of long packets, the EOP timed at the receiver threshold.
synth::HighSpeedParams LongPackets() {
    synth::HighSpeedParams params;
    params.m_Traffic.m_nPayloadBytes = 24;
    params.m_dThreshold = SpecOf("hsne").m_dDiffThreshold;
    return params;
}

}  // namespace

// Over the ~200 unit intervals between the first and last transitions used, a
// crossing error of a picosecond (the bend of a raised-cosine edge between two
// samples 125 ps apart) moves the high-speed rate by 2.5 ppm; the pairs' crossings
// sit on edges tens of samples long and are as exact.
TEST(MeasurePackets, SignallingRateFollowsTheWrittenRate) {
    for (const double ppm : {300.0, -700.0}) {
        synth::HighSpeedParams params = LongPackets();
        params.m_Traffic.m_dRatePpm = ppm;
        const Measured hs = HighSpeed(params);
        const double rate = hs.m_Truth.m_dBitRate;
        EXPECT_NEAR(1.0 / hs.M().m_dUnitInterval, rate, rate * 20e-6) << ppm;
        EXPECT_NEAR(hs.M().m_dUIRatio, 1.0 / (1.0 + ppm * 1e-6), 20e-6);
        EXPECT_EQ(hs.M().m_dUIRatio2, hs.M().m_dUIRatio);
    }
    synth::SingleEndedParams fs;
    fs.m_Traffic.m_dRatePpm = 10000.0;
    const Measured full = Pair(fs);
    EXPECT_NEAR(1.0 / full.M().m_dUnitInterval, full.m_Truth.m_dBitRate,
                full.m_Truth.m_dBitRate * 0.0005);
    synth::SingleEndedParams ls;
    ls.m_Speed = synth::Speed::Low;
    ls.m_Traffic.m_dRatePpm = -30000.0;
    const Measured low = Pair(ls);
    EXPECT_NEAR(1.0 / low.M().m_dUnitInterval, low.m_Truth.m_dBitRate,
                low.m_Truth.m_dBitRate * 0.0005);
}

// Both lines pass the crossover level exactly at each bit boundary; the straight
// line between two samples 250 ps apart on a 10 ns edge misses it by millivolts.
TEST(MeasurePackets, FullSpeedCrossoverSitsAtTheWrittenLevel) {
    synth::SingleEndedParams fs;
    fs.m_dCrossover = 1.6;
    const Measured m = Pair(fs);
    EXPECT_NEAR(m.M().m_dMeanCrossover, 1.6, 0.02);
    EXPECT_NEAR(m.M().m_dMinCrossover, 1.6, 0.02);
    EXPECT_NEAR(m.M().m_dMaxCrossover, 1.6, 0.02);
    EXPECT_NEAR(m.M().m_dFirstCrossover, 1.6, 0.02);
    EXPECT_EQ(m.M().m_CrossoverVolts.size(), m.M().m_Crossings.size());
    EXPECT_GT(m.M().m_nCrossings, 20);
}

// Clean edges leave only the interpolation error of each crossing, under a
// picosecond at 8 GS/s. A sinusoid of amplitude A sampled at the transitions shows
// as a largest deviation of about A, provided the unit interval is measured between
// two transitions where the sinusoid is zero: otherwise the grid tilts to follow it.
TEST(MeasurePackets, JitterIsZeroWhenCleanAndFollowsInjectedJitter) {
    const Measured clean = HighSpeed(LongPackets());
    const double ps = 1e-12;
    EXPECT_NEAR(clean.M().m_dConsecJitterMin, 0.0, 2 * ps);
    EXPECT_NEAR(clean.M().m_dConsecJitterMax, 0.0, 2 * ps);
    EXPECT_NEAR(clean.M().m_dConsecJitterRms, 0.0, 2 * ps);
    for (const double paired :
         {clean.M().m_dJKJitterMin, clean.M().m_dJKJitterMax, clean.M().m_dJKJitterRms,
          clean.M().m_dKJJitterMin, clean.M().m_dKJJitterMax, clean.M().m_dKJJitterRms}) {
        EXPECT_NEAR(paired, 0.0, 2 * ps);
    }
    EXPECT_GT(clean.M().m_nJitterCount, 50);

    // Sixteen bits a period, zero at the first transition the unit interval is
    // measured from and, by the choice of payload, at the last data transition, where
    // it ends. The SYNC toggles at every boundary from the second on; the one leaving
    // idle is not kept, so the first used is boundary m_nCrossoverFirst + 1.
    synth::HighSpeedParams params = LongPackets();
    const double amplitude = 60e-12;
    const std::size_t firstUsed = static_cast<std::size_t>(SpecOf("hsne").m_nCrossoverFirst) + 1;
    const double firstUsedBits = params.m_Traffic.m_dFirstBitPhase +
                                 params.m_Traffic.m_nLeadIdleBits + static_cast<double>(firstUsed);
    params.m_Traffic.m_Jitter.m_dPeriodicAmplitude = amplitude;
    params.m_Traffic.m_Jitter.m_dPeriodicFrequency = 480e6 / 16;
    params.m_Traffic.m_Jitter.m_dPeriodicPhase = -2.0 * std::numbers::pi * firstUsedBits / 16;
    for (;; ++params.m_Traffic.m_nSeed) {
        synth::SynthTruth truth;
        synth::MakeHighSpeedSource(params, truth);
        const synth::PacketTruth& packet = truth.m_Packets.front();
        const std::string& states = packet.m_strStates;
        std::size_t last = static_cast<std::size_t>(packet.m_nSyncBits + packet.m_nPayloadBits) - 1;
        while (states[last] == states[last - 1]) --last;
        if ((last - firstUsed) % 8 == 0) break;
    }
    const Measured m = HighSpeed(params);
    EXPECT_NEAR(m.M().m_dConsecJitterMax, amplitude, 0.15 * amplitude);
    EXPECT_NEAR(m.M().m_dConsecJitterMin, -amplitude, 0.15 * amplitude);
    EXPECT_NEAR(m.M().m_dConsecJitterMax, m.m_Truth.m_dJitterPeak, 0.15 * amplitude);
    EXPECT_NEAR(m.M().m_dConsecJitterRms, amplitude / std::sqrt(2.0), 0.15 * amplitude);
}

// A scope file keeps the time axis as origin and interval, so a capture whose clock
// reads 10 s differs from one at 0 s only by the 2 fs resolution of a double there.
// The jitter repeats a whole number of periods in 10 s, so both carry the same edges.
TEST(MeasurePackets, LateTimeAxisGivesTheSameFiguresAsOneStartingAtZero) {
    const CTempFolder folder("velkin_measure_");
    std::vector<CPacketMeasurement> found;
    for (const double start : {0.0, 10.0}) {
        synth::HighSpeedParams params = LongPackets();
        params.m_Traffic.m_dStartTime = start;
        params.m_Traffic.m_Jitter.m_dPeriodicAmplitude = 30e-12;
        params.m_Traffic.m_Jitter.m_dPeriodicFrequency = 30e6;
        synth::SynthTruth truth;
        const synth::SampleSource source = synth::MakeHighSpeedSource(params, truth);
        std::vector<double> volts(source.m_nSamples);
        for (std::size_t k = 0; k < source.m_nSamples; ++k) source.m_Sample(k, &volts[k]);
        const std::string file = folder.Path("late" + std::to_string(found.size()) + ".bin");
        CWriteKeysightBin().Write(file, source.m_dStartTime, source.m_dSampleInterval, volts);
        found.push_back(LoadAndMeasure(file, "hsne").m_Measurements.at(0));
    }
    const CPacketMeasurement& early = found[0];
    const CPacketMeasurement& late = found[1];
    const double fs = 1e-15;
    ASSERT_EQ(early.m_BitTimes.size(), late.m_BitTimes.size());
    EXPECT_NEAR(late.m_BitTimes.front() - 10.0, early.m_BitTimes.front(), 10 * fs);
    EXPECT_NEAR(late.m_dEopStart - 10.0, early.m_dEopStart, 10 * fs);
    EXPECT_NEAR(late.m_dUnitInterval, early.m_dUnitInterval, 0.01 * fs);
    EXPECT_NEAR(late.m_dConsecJitterMax, early.m_dConsecJitterMax, 10 * fs);
    EXPECT_NEAR(late.m_dConsecJitterMin, early.m_dConsecJitterMin, 10 * fs);
    EXPECT_NEAR(late.m_dRiseRate, early.m_dRiseRate, early.m_dRiseRate * 1e-3);
    EXPECT_GT(early.m_dConsecJitterMax, 20e-12);
}

// Each EOP edge is read where the trace crosses the receiver's level, which the
// truth gives; interpolating between two samples errs by less than one sample
// period, a sixteenth of a bit at high speed and a 333th at full speed.
TEST(MeasurePackets, EopWidthMatchesTheWrittenEop) {
    for (const int bits : {8, 40}) {
        synth::HighSpeedParams params = LongPackets();
        params.m_Traffic.m_nEopBits = bits;
        const Measured m = HighSpeed(params);
        const synth::PacketTruth& eop = m.m_Truth.m_Packets.front();
        EXPECT_NEAR((m.M().m_dEopEnd - m.M().m_dEopStart) / m.m_Truth.m_dUnitInterval, bits, 0.25);
        EXPECT_NEAR(m.M().m_dEopStart, eop.m_dEopStartAtLevel, 1 / 8e9) << bits;
        EXPECT_NEAR(m.M().m_dEopEnd, eop.m_dEopEndAtLevel, 1 / 8e9) << bits;
        EXPECT_NEAR(m.M().m_BitTimes.back(), m.M().m_dEopEnd, 0.5 * kHsBit);
    }
    const Measured fs = Pair(synth::SingleEndedParams{});
    const synth::PacketTruth& eop = fs.m_Truth.m_Packets.front();
    EXPECT_NEAR((fs.M().m_dEopEnd - fs.M().m_dEopStart) / fs.m_Truth.m_dUnitInterval, 2.0, 0.25);
    EXPECT_NEAR(fs.M().m_dEopStart, eop.m_dEopStartAtLevel, 1 / 4e9);
    EXPECT_NEAR(fs.M().m_dEopEnd, eop.m_dEopEndAtLevel, 1 / 4e9);
    // The bit boundaries reach one bit past the EOP end at full speed.
    EXPECT_NEAR(fs.M().m_BitTimes.back(), fs.M().m_dEopEnd + fs.M().m_dUnitInterval,
                0.5 * fs.m_Truth.m_dUnitInterval);
    for (std::size_t k = 1; k < fs.M().m_BitTimes.size(); ++k)
        EXPECT_NEAR(fs.M().m_BitTimes[k] - fs.M().m_BitTimes[k - 1], fs.M().m_dUnitInterval, 1e-15);
}

TEST(MeasurePackets, SyncReportsTheLeadingBitsThatWereDropped) {
    for (const int dropped : {0, 3, 4}) {
        synth::HighSpeedParams params = LongPackets();
        params.m_nSyncBitsDropped = dropped;
        const Measured m = HighSpeed(params);
        EXPECT_EQ(m.M().m_nSyncBitsDropped, dropped);
        EXPECT_EQ(m.M().m_nSyncMatches, 1);
    }
}

// The rate between the eye levels of the written edge shape is the truth; the
// straight line between samples cuts the bend of a raised-cosine edge and reads a
// 400 ps high-speed edge under 5 % slow, the slower pair edges far less.
TEST(MeasurePackets, EdgeRatesFollowTheTransitionTimeAndTheirMismatch) {
    const Measured hs = HighSpeed(LongPackets());
    const double rise = hs.m_Truth.m_dRiseRate;
    const double fall = hs.m_Truth.m_dFallRate;
    EXPECT_NEAR(hs.M().m_dRiseRate, rise, 0.1 * rise);
    EXPECT_NEAR(hs.M().m_dFallRate, fall, 0.1 * fall);
    EXPECT_NEAR(hs.M().m_dRiseRateMin, rise, 0.1 * rise);
    EXPECT_NEAR(hs.M().m_dFallRateMax, fall, 0.1 * fall);
    EXPECT_NEAR(hs.M().m_dEdgeRateMatch, 0.0, 2.0);

    // Full speed with falls half again as slow as the rises: a 40 % mismatch.
    synth::SingleEndedParams params;
    params.m_dRiseTime = 10e-9;
    params.m_dFallTime = 15e-9;
    const Measured fs = Pair(params);
    EXPECT_NEAR(fs.M().m_dRiseRate, fs.m_Truth.m_dRiseRate, 0.1 * fs.m_Truth.m_dRiseRate);
    EXPECT_NEAR(fs.M().m_dFallRate, fs.m_Truth.m_dFallRate, 0.1 * fs.m_Truth.m_dFallRate);
    EXPECT_NEAR(fs.M().m_dEdgeRateMatch, fs.m_Truth.m_dEdgeRateMatch, 2.0);
    EXPECT_GT(fs.m_Truth.m_dEdgeRateMatch, 35.0);
}

// A capture that starts inside a packet holds it cut off; only the next one, the
// first complete packet, is measured.
TEST(MeasurePackets, RunMeasuresOnlyTheFirstCompletePacket) {
    synth::HighSpeedParams params = LongPackets();
    params.m_Traffic.m_nLeadIdleBits = 0;
    params.m_Traffic.m_nPackets = 3;
    const Measured m = HighSpeed(params);
    ASSERT_EQ(m.m_Record.m_Packets.size(), 3u);
    EXPECT_EQ(m.m_Record.m_Packets[0].m_nStatus, 1);
    ASSERT_EQ(m.m_Record.m_Measurements.size(), 1u);
    EXPECT_NEAR(m.M().m_dEopStart, m.m_Truth.m_Packets[1].m_dEopStartAtLevel, 1 / 8e9);
    EXPECT_TRUE(m.M().m_CrossoverVolts.empty());

    CAnalysisRecord cutOnly;
    cutOnly.m_Packets = {m.m_Record.m_Packets[0]};
    cutOnly = CMeasurePackets().Run(std::move(cutOnly), Config(), SpecOf("hsne"));
    EXPECT_TRUE(cutOnly.m_Measurements.empty());
}

namespace {

// A prepared high-speed capture whose first packet the rules below edit.
CAnalysisRecord PreparedHighSpeed(synth::HighSpeedParams params) {
    const CTempFolder folder("velkin_measure_");
    const std::string file = folder.Path("hs.csv");
    synth::WriteHighSpeedCapture(params, file, synth::FileFormat::Csv);
    return CSignalData().Load(file, Config(), SpecOf("hsne"), "");
}

CPacketMeasurement Measure(const CAnalysisRecord& r, const CPacketEntry& packet,
                           const CSigSpec& spec) {
    return CMeasurePackets().MeasurePacket(packet, Config(), spec, r.m_Time, r.m_Diff, r.m_DMinus,
                                           r.m_DPlus);
}

}  // namespace

TEST(MeasurePackets, JumpFromJStraightToKClearsTheAllEdgesFlag) {
    const CAnalysisRecord r = PreparedHighSpeed(LongPackets());
    CPacketEntry packet = r.m_Packets.at(0);
    EXPECT_EQ(Measure(r, packet, SpecOf("hsne")).m_bAllEdgesFound, 1);
    // Sampling too coarse to catch the edge: the K follows the J directly.
    std::vector<CSymbolRun>& runs = packet.m_Symbols;
    std::size_t s = 40;
    while (runs[s].m_nSymbol != Config().m_nSymS) ++s;
    runs[s - 1].m_dEnd = runs[s].m_dEnd;
    runs[s - 1].m_nLastSample = runs[s].m_nLastSample;
    runs.erase(runs.begin() + static_cast<std::ptrdiff_t>(s));
    EXPECT_EQ(Measure(r, packet, SpecOf("hsne")).m_bAllEdgesFound, 0);
}

TEST(MeasurePackets, PairedJitterNeedsMoreThanFiveTransitions) {
    synth::HighSpeedParams params = LongPackets();
    params.m_Traffic.m_Jitter.m_dRandomRms = 10e-12;
    const CAnalysisRecord r = PreparedHighSpeed(params);
    CSigSpec spec = SpecOf("hsne");
    const int32_t crossings = Measure(r, r.m_Packets.at(0), spec).m_nCrossings;
    // Skipping all but five (then six) transitions at the start.
    spec.m_nCrossoverFirst = crossings - 5;
    const CPacketMeasurement five = Measure(r, r.m_Packets.at(0), spec);
    EXPECT_EQ(five.m_nJitterCount, 5);
    for (const double v : {five.m_dJKJitterMin, five.m_dJKJitterMax, five.m_dJKJitterRms,
                           five.m_dKJJitterMin, five.m_dKJJitterMax, five.m_dKJJitterRms}) {
        EXPECT_EQ(v, 0.0);
    }
    spec.m_nCrossoverFirst = crossings - 6;
    const CPacketMeasurement six = Measure(r, r.m_Packets.at(0), spec);
    EXPECT_EQ(six.m_nJitterCount, 6);
    EXPECT_TRUE(std::isfinite(six.m_dKJJitterRms));
    EXPECT_GT(six.m_dKJJitterRms, 0.0);
    EXPECT_GT(six.m_dJKJitterRms, 0.0);
}

TEST(MeasurePackets, PacketsTooShortForTheSkipCountsFailWithAClearText) {
    const CAnalysisRecord r = PreparedHighSpeed(LongPackets());
    const auto failure = [&](const CPacketEntry& packet, const CSigSpec& spec) {
        try {
            Measure(r, packet, spec);
        } catch (const CAnalysisError& e) {
            return e.Text();
        }
        return std::string();
    };
    // Skip counts that leave no interval between transitions.
    CSigSpec skipAll = SpecOf("hsne");
    skipAll.m_nCrossoverFirst = 500;
    EXPECT_EQ(failure(r.m_Packets.at(0), skipAll), "too few transitions in packet");
    // A packet of the EOP alone has no crossing at all.
    CPacketEntry eopOnly;
    eopOnly.m_Symbols.push_back(r.m_Packets.at(0).m_Symbols.back());
    EXPECT_EQ(failure(eopOnly, SpecOf("hsne")), "too few transitions in packet");

    // A full-speed packet whose every crossover falls inside the last half bit.
    const CTempFolder folder("velkin_measure_");
    const std::string file = folder.Path("fs.csv");
    synth::WriteSingleEndedCapture(synth::SingleEndedParams{}, file, synth::FileFormat::Csv);
    const CAnalysisRecord f = CSignalData().Load(file, Config(), SpecOf("fs"), "");
    CPacketEntry tail;
    const auto& runs = f.m_Packets.at(0).m_Symbols;
    tail.m_Symbols.assign(runs.end() - 3, runs.end());
    try {
        Measure(f, tail, SpecOf("fs"));
        ADD_FAILURE() << "no failure";
    } catch (const CAnalysisError& e) {
        EXPECT_EQ(e.Text(), "too few transitions in packet");
    }
}

// An EOP end recorded before the last grid point extends the boundaries by nothing.
TEST(MeasurePackets, EopBeforeTheLastGridPointAddsNoBoundaries) {
    const CAnalysisRecord r = PreparedHighSpeed(LongPackets());
    CPacketEntry packet = r.m_Packets.at(0);
    const CPacketMeasurement normal = Measure(r, packet, SpecOf("hsne"));
    packet.m_Symbols.back().m_dEnd = packet.m_Symbols.back().m_dStart - 20 * kHsBit;
    const CPacketMeasurement early = Measure(r, packet, SpecOf("hsne"));
    EXPECT_LT(early.m_BitTimes.size(), normal.m_BitTimes.size());
    EXPECT_GT(early.m_BitTimes.size(), 50u);
    EXPECT_EQ(early.m_BitTimes.front(), normal.m_BitTimes.front());
}

// Eye levels beyond the 0.4 V swing: no edge is timed in either direction, and the
// match of two missing rates reads as the worst mismatch, not as "nan".
TEST(MeasurePackets, EdgeRateMatchWithoutEdgesIsTheWorstMismatch) {
    const CAnalysisRecord r = PreparedHighSpeed(LongPackets());
    CSigSpec spec = SpecOf("hsne");
    spec.m_dEyeLevelHigh = 0.5;
    spec.m_dEyeLevelLow = -0.5;
    const CPacketMeasurement m = Measure(r, r.m_Packets.at(0), spec);
    EXPECT_TRUE(std::isnan(m.m_dRiseRate) && std::isnan(m.m_dFallRate));
    EXPECT_EQ(m.m_dEdgeRateMatch, 200.0);
}

// The eye of a synthesized capture folded on its measured bit grid. With 250 ps edges
// (0.2 UI from level to level) and 1 mV of noise the flat part of the eye lies on the
// levels, so a 400 mV swing clears the near-end inner polygon (±300 mV) and the top
// box (525 mV) by the difference; 250 mV breaks into the polygon, 600 mV into the box.
// The far-end polygon (±175 mV) takes a 250 mV eye with edges twice as slow.
TEST(MeasurePackets, EyeOfASynthesizedCaptureFollowsItsSwing) {
    for (const double swing : {0.4, 0.25, 0.6}) {
        synth::HighSpeedParams params = LongPackets();
        params.m_dSwing = swing;
        params.m_dTransition = 250e-12;
        params.m_Traffic.m_dNoiseRms = 1e-3;
        const Measured hs = HighSpeed(params);
        const CPacketMeasurement& m = hs.M();
        EXPECT_EQ(m.m_nEyeViolations == 0, swing == 0.4) << swing;
        EXPECT_NEAR(m.m_dMarginAboveEye, swing - 0.3, 0.010) << swing;
        EXPECT_NEAR(m.m_dMarginBelowEye, swing - 0.3, 0.010) << swing;
        EXPECT_NEAR(m.m_dMarginBelowTop, 0.525 - swing, 0.010) << swing;
    }
    synth::HighSpeedParams slow = LongPackets();
    slow.m_dSwing = 0.25;
    slow.m_dTransition = 500e-12;
    slow.m_Traffic.m_dNoiseRms = 1e-3;
    const CTempFolder folder("velkin_measure_");
    const std::string file = folder.Path("slow.csv");
    synth::WriteHighSpeedCapture(slow, file, synth::FileFormat::Csv);
    EXPECT_GT(LoadAndMeasure(file, "hsne").m_Measurements.at(0).m_nEyeViolations, 0);
    const CPacketMeasurement far = LoadAndMeasure(file, "hsfe").m_Measurements.at(0);
    EXPECT_EQ(far.m_nEyeViolations, 0);
    EXPECT_NEAR(far.m_dMarginAboveEye, 0.25 - 0.175, 0.010);
}
