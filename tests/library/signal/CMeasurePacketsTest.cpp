#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "entry/CAnalysisError.h"
#include "library/signal/SignalCaptures.h"
#include "scopefiles/CWriteKeysightBin.h"

using namespace captures;

namespace {

constexpr double kHsBit = 1.0 / 480e6;

CAnalysisRecord Prepared(const synth::HighSpeedParams& params) {
    return HighSpeed(params).m_Record;
}

}  // namespace

// Over the ~200 unit intervals between the first and last transitions used, a
// crossing error of a picosecond (the bend of a raised-cosine edge between two
// samples 125 ps apart) moves the high-speed rate by 2.5 ppm; the pairs' crossings
// sit on edges tens of samples long and are as exact.
TEST(MeasurePackets, SignallingRateFollowsTheWrittenRate) {
    struct Case {
        double ppm;
        const char* speed;
        double tolerance;  // relative
    };
    for (const Case& c : {Case{300, "hs", 20e-6}, Case{-700, "hs", 20e-6}, Case{10000, "fs", 5e-4},
                          Case{-30000, "ls", 5e-4}}) {
        SCOPED_TRACE(std::string(c.speed) + " " + std::to_string(c.ppm));
        Measured m;
        if (c.speed == std::string("hs")) {
            synth::HighSpeedParams params = LongPackets();
            params.m_Traffic.m_dRatePpm = c.ppm;
            m = HighSpeed(params);
        } else {
            synth::SingleEndedParams params;
            params.m_Speed = c.speed == std::string("fs") ? synth::Speed::Full : synth::Speed::Low;
            params.m_Traffic.m_dRatePpm = c.ppm;
            m = Pair(params);
        }
        const double rate = m.m_Truth.m_dBitRate;
        EXPECT_NEAR(1.0 / m.M().m_dUnitInterval, rate, rate * c.tolerance);
        EXPECT_NEAR(m.M().m_dUIRatio, 1.0 / (1.0 + c.ppm * 1e-6), c.tolerance);
        EXPECT_EQ(m.M().m_dUIRatio2, m.M().m_dUIRatio);
    }
}

// Both lines pass the crossover level exactly at each bit boundary; the straight
// line between two samples 250 ps apart on a 10 ns edge misses it by millivolts.
TEST(MeasurePackets, FullSpeedCrossoverSitsAtTheWrittenLevel) {
    synth::SingleEndedParams fs;
    fs.m_dCrossover = 1.6;
    const Measured m = Pair(fs);
    for (const double v : {m.M().m_dMeanCrossover, m.M().m_dMinCrossover, m.M().m_dMaxCrossover,
                           m.M().m_dFirstCrossover})
        EXPECT_NEAR(v, 1.6, 0.02);
    EXPECT_EQ(m.M().m_CrossoverVolts.size(), m.M().m_Crossings.size());
    EXPECT_GT(m.M().m_nCrossings, 20);
}

// Clean edges leave only the interpolation error of each crossing, under a
// picosecond at 8 GS/s. A sinusoid of amplitude A sampled at the transitions shows
// as a largest deviation of about A, provided the unit interval is measured between
// two transitions where the sinusoid is zero: otherwise the grid tilts to follow it.
TEST(MeasurePackets, JitterIsZeroWhenCleanAndFollowsInjectedJitter) {
    const Measured clean = HighSpeed(LongPackets());
    const CPacketMeasurement& c = clean.M();
    for (const double v :
         {c.m_dConsecJitterMin, c.m_dConsecJitterMax, c.m_dConsecJitterRms, c.m_dJKJitterMin,
          c.m_dJKJitterMax, c.m_dJKJitterRms, c.m_dKJJitterMin, c.m_dKJJitterMax, c.m_dKJJitterRms})
        EXPECT_NEAR(v, 0.0, 2e-12);
    EXPECT_GT(c.m_nJitterCount, 50);

    // Sixteen bits a period, zero at the first transition the unit interval is
    // measured from and, by the choice of payload, at the last data transition, where
    // it ends. The SYNC toggles at every boundary from the second on; the one leaving
    // idle is not kept, so the first used is boundary m_nCrossoverFirst + 1.
    synth::HighSpeedParams params = LongPackets();
    const double amplitude = 60e-12;
    const std::size_t firstUsed = static_cast<std::size_t>(Spec("hsne").m_nCrossoverFirst) + 1;
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

// A full-speed capture whose every other edge into J comes `delay` late: the JK pairs
// (from one edge into J to the next) differ by +-delay, the KJ pairs (edges into K)
// not at all. The late edges are cut from a copy of the capture written `delay` later.
TEST(MeasurePackets, PairedJitterOfEdgesIntoJIsTheJKFigure) {
    const double delay = 5e-9;
    synth::SingleEndedParams params;
    synth::SynthTruth truth;
    synth::SynthTruth lateTruth;
    const synth::SampleSource onTime = synth::MakeSingleEndedSource(params, truth);
    params.m_Traffic.m_dFirstBitPhase += delay / truth.m_dUnitInterval;
    const synth::SampleSource late = synth::MakeSingleEndedSource(params, lateTruth);

    const synth::PacketTruth& packet = truth.m_Packets.front();
    const double ui = truth.m_dUnitInterval;
    std::vector<double> intoJ;
    for (std::size_t n = 1; n < packet.m_strStates.size(); ++n)
        if (packet.m_strStates.compare(n - 1, 2, "KJ") == 0)
            intoJ.push_back(packet.m_dStart + static_cast<double>(n) * ui);
    // The last ones stay on time: the unit interval is measured up to them.
    std::vector<double> lateEdges;
    for (std::size_t e = 1; e + 2 < intoJ.size(); e += 2) lateEdges.push_back(intoJ[e]);
    ASSERT_GT(lateEdges.size(), 4u);
    synth::SampleSource spliced = onTime;
    spliced.m_Sample = [onTime, late, lateEdges, ui](std::size_t k, double* values) {
        const double t = onTime.Time(k);
        for (const double edge : lateEdges)
            if (std::abs(t - edge) < ui / 2) return late.m_Sample(k, values);
        onTime.m_Sample(k, values);
    };
    const CPacketMeasurement m = Analyse(spliced, truth, "fs").M();
    EXPECT_NEAR(m.m_dJKJitterMax, delay, 0.05e-9);
    EXPECT_NEAR(m.m_dJKJitterMin, -delay, 0.05e-9);
    EXPECT_GT(m.m_dJKJitterRms, 0.8 * delay);  // the pairs of the last, punctual edges are 0
    for (const double v : {m.m_dKJJitterMin, m.m_dKJJitterMax, m.m_dKJJitterRms})
        EXPECT_NEAR(v, 0.0, 0.05e-9);
    // The best grid lies late by the delay times the share of late edges.
    const double share = static_cast<double>(lateEdges.size()) / m.m_nJitterCount;
    EXPECT_NEAR(m.m_dConsecJitterMax, (1 - share) * delay, 0.1e-9);
    EXPECT_NEAR(m.m_dConsecJitterMin, -share * delay, 0.1e-9);
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
        found.push_back(Analyse(file, "hsne").m_Measurements.at(0));
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
// period, a sixteenth of a bit at high speed and a 333th at full speed. The bit
// boundaries reach the EOP end at high speed and one bit past it at full speed.
TEST(MeasurePackets, EopWidthMatchesTheWrittenEop) {
    struct Case {
        int bits;  // 0: a full-speed capture
        double sampleTime;
        double boundariesPastEnd;  // bits
    };
    for (const Case& c : {Case{8, 1 / 8e9, 0}, Case{40, 1 / 8e9, 0}, Case{0, 1 / 4e9, 1}}) {
        SCOPED_TRACE(c.bits);
        synth::HighSpeedParams params = LongPackets();
        params.m_Traffic.m_nEopBits = c.bits;
        const Measured m = c.bits > 0 ? HighSpeed(params) : Pair(synth::SingleEndedParams{});
        const synth::PacketTruth& eop = m.m_Truth.m_Packets.front();
        const double ui = m.m_Truth.m_dUnitInterval;
        EXPECT_NEAR((m.M().m_dEopEnd - m.M().m_dEopStart) / ui, m.m_Truth.m_nEopBits, 0.25);
        EXPECT_NEAR(m.M().m_dEopStart, eop.m_dEopStartAtLevel, c.sampleTime);
        EXPECT_NEAR(m.M().m_dEopEnd, eop.m_dEopEndAtLevel, c.sampleTime);
        const std::vector<double>& bits = m.M().m_BitTimes;
        EXPECT_NEAR(bits.back(), m.M().m_dEopEnd + c.boundariesPastEnd * ui, 0.5 * ui);
        for (std::size_t k = 1; k < bits.size(); ++k)
            EXPECT_NEAR(bits[k] - bits[k - 1], m.M().m_dUnitInterval, 1e-15);
    }
}

TEST(MeasurePackets, SyncReportsTheLeadingBitsThatWereDropped) {
    for (const int dropped : {0, 1, 4, 22}) {
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
    for (const double v : {hs.M().m_dRiseRate, hs.M().m_dRiseRateMin, hs.M().m_dRiseRateMax})
        EXPECT_NEAR(v, rise, 0.06 * rise);
    for (const double v : {hs.M().m_dFallRate, hs.M().m_dFallRateMin, hs.M().m_dFallRateMax})
        EXPECT_NEAR(v, fall, 0.06 * fall);
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
    cutOnly = CMeasurePackets().Run(std::move(cutOnly), Config(), Spec("hsne"));
    EXPECT_TRUE(cutOnly.m_Measurements.empty());
}

TEST(MeasurePackets, JumpFromJStraightToKClearsTheAllEdgesFlag) {
    const CAnalysisRecord r = Prepared(LongPackets());
    CPacketEntry packet = r.m_Packets.at(0);
    EXPECT_EQ(Remeasure(r, packet, Spec("hsne")).m_bAllEdgesFound, 1);
    // Sampling too coarse to catch the edge: the K follows the J directly.
    std::vector<CSymbolRun>& runs = packet.m_Symbols;
    std::size_t s = 40;
    while (runs[s].m_nSymbol != Config().m_nSymS) ++s;
    runs[s - 1].m_dEnd = runs[s].m_dEnd;
    runs[s - 1].m_nLastSample = runs[s].m_nLastSample;
    runs.erase(runs.begin() + static_cast<std::ptrdiff_t>(s));
    EXPECT_EQ(Remeasure(r, packet, Spec("hsne")).m_bAllEdgesFound, 0);
}

TEST(MeasurePackets, PairedJitterNeedsMoreThanFiveTransitions) {
    synth::HighSpeedParams params = LongPackets();
    params.m_Traffic.m_Jitter.m_dRandomRms = 10e-12;
    const CAnalysisRecord r = Prepared(params);
    CSigSpec spec = Spec("hsne");
    const int32_t crossings = r.m_Measurements.at(0).m_nCrossings;
    // Skipping all but five (then six) transitions at the start.
    spec.m_nCrossoverFirst = crossings - 5;
    const CPacketMeasurement five = Remeasure(r, r.m_Packets.at(0), spec);
    EXPECT_EQ(five.m_nJitterCount, 5);
    for (const double v : {five.m_dJKJitterMin, five.m_dJKJitterMax, five.m_dJKJitterRms,
                           five.m_dKJJitterMin, five.m_dKJJitterMax, five.m_dKJJitterRms})
        EXPECT_EQ(v, 0.0);
    spec.m_nCrossoverFirst = crossings - 6;
    const CPacketMeasurement six = Remeasure(r, r.m_Packets.at(0), spec);
    EXPECT_EQ(six.m_nJitterCount, 6);
    EXPECT_TRUE(std::isfinite(six.m_dKJJitterRms));
    EXPECT_GT(six.m_dKJJitterRms, 0.0);
    EXPECT_GT(six.m_dJKJitterRms, 0.0);
}

TEST(MeasurePackets, PacketsTooShortForTheSkipCountsFailWithAClearText) {
    const CAnalysisRecord hs = Prepared(LongPackets());
    const CAnalysisRecord fs = Pair(synth::SingleEndedParams{}).m_Record;
    CSigSpec skipAll = Spec("hsne");
    skipAll.m_nCrossoverFirst = 500;
    CPacketEntry eopOnly;  // no crossing at all
    eopOnly.m_Symbols.push_back(hs.m_Packets.at(0).m_Symbols.back());
    CPacketEntry tail;  // every crossover inside the last half bit before the EOP
    tail.m_Symbols.assign(fs.m_Packets.at(0).m_Symbols.end() - 3,
                          fs.m_Packets.at(0).m_Symbols.end());
    struct Case {
        const char* what;
        const CAnalysisRecord& record;
        CPacketEntry packet;
        CSigSpec spec;
    };
    for (const Case& c : {Case{"skip counts leave no interval", hs, hs.m_Packets.at(0), skipAll},
                          Case{"EOP alone", hs, eopOnly, Spec("hsne")},
                          Case{"full-speed tail", fs, tail, Spec("fs")}}) {
        SCOPED_TRACE(c.what);
        try {
            Remeasure(c.record, c.packet, c.spec);
            ADD_FAILURE() << "no failure";
        } catch (const CAnalysisError& e) {
            EXPECT_EQ(e.Text(), "too few transitions in packet");
        }
    }
}

// An EOP end recorded before the last grid point extends the boundaries by nothing.
TEST(MeasurePackets, EopBeforeTheLastGridPointAddsNoBoundaries) {
    const CAnalysisRecord r = Prepared(LongPackets());
    CPacketEntry packet = r.m_Packets.at(0);
    const CPacketMeasurement normal = Remeasure(r, packet, Spec("hsne"));
    packet.m_Symbols.back().m_dEnd = packet.m_Symbols.back().m_dStart - 20 * kHsBit;
    const CPacketMeasurement early = Remeasure(r, packet, Spec("hsne"));
    EXPECT_LT(early.m_BitTimes.size(), normal.m_BitTimes.size());
    EXPECT_GT(early.m_BitTimes.size(), 50u);
    EXPECT_EQ(early.m_BitTimes.front(), normal.m_BitTimes.front());
}

// Eye levels beyond the 0.4 V swing: no edge is timed in either direction, and the
// match of two missing rates reads as the worst mismatch, not as "nan".
TEST(MeasurePackets, EdgeRateMatchWithoutEdgesIsTheWorstMismatch) {
    const CAnalysisRecord r = Prepared(LongPackets());
    CSigSpec spec = Spec("hsne");
    spec.m_dEyeLevelHigh = 0.5;
    spec.m_dEyeLevelLow = -0.5;
    const CPacketMeasurement m = Remeasure(r, r.m_Packets.at(0), spec);
    EXPECT_TRUE(std::isnan(m.m_dRiseRate) && std::isnan(m.m_dFallRate));
    EXPECT_EQ(m.m_dEdgeRateMatch, 200.0);
}
