#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "FailureText.h"
#include "library/signal/SignalCaptures.h"

using namespace captures;

namespace {

CPacketMeasurement Remeasure(const CPacketEntry& packet, const CSigSpec& spec) {
    const CAnalysisRecord& r = CleanHighSpeed().m_Record;
    return CMeasurePackets().MeasurePacket(packet, Config(), spec, r.m_Time, r.m_Diff, r.m_DMinus,
                                           r.m_DPlus, r.m_strFileA);
}

}  // namespace

// A full-speed capture whose every other edge into J comes `delay` late, cut from a
// copy of the capture written `delay` later: the JK pairs (from one edge into J to the
// next) differ by +-delay, the KJ pairs (edges into K) not at all. The best-fitting
// grid lies late by the delay times the share s of late edges, so a late edge shows
// (1 - s) x delay of consecutive jitter and every other edge -s x delay.
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
        for (const double edge : lateEdges)
            if (std::abs(onTime.Time(k) - edge) < ui / 2) return late.m_Sample(k, values);
        onTime.m_Sample(k, values);
    };
    const CPacketMeasurement m = Analyse(spliced, truth, "fs").M();
    EXPECT_NEAR(m.m_dJKJitterMax, delay, 0.05e-9);
    EXPECT_NEAR(m.m_dJKJitterMin, -delay, 0.05e-9);
    EXPECT_GT(m.m_dJKJitterRms, 0.8 * delay);  // the pairs of the last, punctual edges are 0
    for (const double v : {m.m_dKJJitterMin, m.m_dKJJitterMax, m.m_dKJJitterRms})
        EXPECT_NEAR(v, 0.0, 0.05e-9);
    const double s = static_cast<double>(lateEdges.size()) / m.m_nJitterCount;
    EXPECT_NEAR(m.m_dConsecJitterMax, (1 - s) * delay, 0.1e-9);
    EXPECT_NEAR(m.m_dConsecJitterMin, -s * delay, 0.1e-9);
    EXPECT_NEAR(m.m_dConsecJitterRms, std::sqrt(s * (1 - s)) * delay, 0.1e-9);
}

// A scope file keeps the time axis as origin and interval, so a capture whose clock
// reads 10 s differs from one at 0 s only by the 2 fs resolution of a double there.
// The jitter repeats a whole number of periods in 10 s, so both carry the same edges.
TEST(MeasurePackets, LateTimeAxisGivesTheSameFiguresAsOneStartingAtZero) {
    std::vector<CPacketMeasurement> found;
    for (const double start : {0.0, 10.0}) {
        synth::HighSpeedParams params = LongPackets();
        params.m_Traffic.m_dStartTime = start;
        params.m_Traffic.m_Jitter.m_dPeriodicAmplitude = 30e-12;
        params.m_Traffic.m_Jitter.m_dPeriodicFrequency = 30e6;
        found.push_back(HighSpeed(params, "hsne", "capture.bin").M());
    }
    const CPacketMeasurement& early = found[0];
    const CPacketMeasurement& late = found[1];
    ASSERT_EQ(early.m_BitTimes.size(), late.m_BitTimes.size());
    EXPECT_NEAR(late.m_BitTimes.front() - 10.0, early.m_BitTimes.front(), 10e-15);
    EXPECT_NEAR(late.m_dEopStart - 10.0, early.m_dEopStart, 10e-15);
    EXPECT_NEAR(late.m_dUnitInterval, early.m_dUnitInterval, 0.01e-15);
    EXPECT_NEAR(late.m_dConsecJitterMax, early.m_dConsecJitterMax, 10e-15);
    EXPECT_NEAR(late.m_dConsecJitterMin, early.m_dConsecJitterMin, 10e-15);
    EXPECT_GT(early.m_dConsecJitterMax, 20e-12);
}

// Each EOP edge is read where the trace crosses the receiver's level, which the truth
// gives: +-150 mV at high speed, the crossover voltage of the pair at full speed, here
// written at 1.6 V and measured on the packet's crossovers. Interpolating between two
// samples errs by less than one sample period. The bit boundaries reach the EOP end at
// high speed and one bit past it at full speed.
TEST(MeasurePackets, EopWidthMatchesTheWrittenEop) {
    for (const int bits : {8, 40, 0}) {  // 0: a full-speed capture
        SCOPED_TRACE(bits);
        synth::HighSpeedParams params = LongPackets();
        params.m_Traffic.m_nEopBits = bits;
        synth::SingleEndedParams pair;
        pair.m_dCrossover = 1.6;
        const Measured m = bits > 0 ? HighSpeed(params) : Pair(pair);
        const synth::PacketTruth& eop = m.m_Truth.m_Packets.front();
        const double ui = m.m_Truth.m_dUnitInterval;
        const double sampleTime = 1.0 / m.m_Truth.m_dSampleRate;
        EXPECT_NEAR((m.M().m_dEopEnd - m.M().m_dEopStart) / ui, m.m_Truth.m_nEopBits, 0.25);
        EXPECT_NEAR(m.M().m_dEopStart, eop.m_dEopStartAtLevel, sampleTime);
        EXPECT_NEAR(m.M().m_dEopEnd, eop.m_dEopEndAtLevel, sampleTime);
        const std::vector<double>& grid = m.M().m_BitTimes;
        EXPECT_NEAR(grid.back(), m.M().m_dEopEnd + (bits > 0 ? 0.0 : ui), 0.5 * ui);
        for (std::size_t k = 1; k < grid.size(); ++k)
            EXPECT_NEAR(grid[k] - grid[k - 1], m.M().m_dUnitInterval, 1e-15);
        if (bits > 0) continue;
        for (const double v : {m.M().m_dMeanCrossover, m.M().m_dMinCrossover, m.M().m_dMaxCrossover,
                               m.M().m_dFirstCrossover})
            EXPECT_NEAR(v, 1.6, 0.02);
    }
}

// The rate between the eye levels of the written edge shape is the truth; the
// straight line between samples cuts the bend of a raised-cosine edge a little.
TEST(MeasurePackets, EdgeRatesFollowTheTransitionTimeAndTheirMismatch) {
    // Full speed with falls half again as slow as the rises: a 40 % mismatch.
    synth::SingleEndedParams params;
    params.m_dRiseTime = 10e-9;
    params.m_dFallTime = 15e-9;
    const Measured fs = Pair(params);
    EXPECT_NEAR(fs.M().m_dRiseRate, fs.m_Truth.m_dRiseRate, 0.1 * fs.m_Truth.m_dRiseRate);
    EXPECT_NEAR(fs.M().m_dFallRate, fs.m_Truth.m_dFallRate, 0.1 * fs.m_Truth.m_dFallRate);
    EXPECT_NEAR(fs.M().m_dEdgeRateMatch, fs.m_Truth.m_dEdgeRateMatch, 2.0);
    EXPECT_GT(fs.m_Truth.m_dEdgeRateMatch, 35.0);

    // Eye levels beyond the 0.4 V swing: no edge is timed in either direction, and the
    // match of two missing rates reads as the worst mismatch, not as "nan".
    CSigSpec spec = Limits("hsne");
    spec.m_dEyeLevelHigh = 0.5;
    spec.m_dEyeLevelLow = -0.5;
    const CPacketMeasurement none = Remeasure(CleanHighSpeed().Packet(), spec);
    EXPECT_TRUE(std::isnan(none.m_dRiseRate) && std::isnan(none.m_dFallRate));
    EXPECT_EQ(none.m_dEdgeRateMatch, 200.0);
}

// The transitions skipped at the packet start leave five, six or none: five
// consecutive jitter values leave the second paired list empty and all six paired
// figures read 0.0; with none, or a packet of the EOP alone, nothing can be measured.
TEST(MeasurePackets, SkippedTransitionsDecideWhatCanBeMeasured) {
    CSigSpec spec = Limits("hsne");
    for (const int32_t kept : {5, 6}) {
        spec.m_nCrossoverFirst = CleanHighSpeed().M().m_nCrossings - kept;
        const CPacketMeasurement m = Remeasure(CleanHighSpeed().Packet(), spec);
        EXPECT_EQ(m.m_nJitterCount, kept);
        // A clean capture may time a pair with no jitter at all: with six values,
        // only some spread of the pairs must show.
        const double paired[] = {m.m_dJKJitterMin, m.m_dJKJitterMax, m.m_dJKJitterRms,
                                 m.m_dKJJitterMin, m.m_dKJJitterMax, m.m_dKJJitterRms};
        const auto zeros = std::count(std::begin(paired), std::end(paired), 0.0);
        EXPECT_TRUE(kept == 5 ? zeros == 6 : zeros < 6) << kept;
    }
    spec.m_nCrossoverFirst = 500;
    CPacketEntry eopOnly;
    eopOnly.m_Symbols.push_back(CleanHighSpeed().Packet().m_Symbols.back());
    for (const auto& c :
         {std::pair{CleanHighSpeed().Packet(), spec}, std::pair{eopOnly, Limits("hsne")}})
        EXPECT_EQ(FailureText([&] { Remeasure(c.first, c.second); }),
                  "too few transitions in packet");
}
