#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "library/signal/SignalCaptures.h"
#include "signal/CEyeCheck.h"

using namespace captures;

// The eye of a synthesized capture folded on its measured bit grid. With 250 ps edges
// (0.2 UI from level to level) and 1 mV of noise the flat part of the eye lies on the
// levels, so the margins are the distances from the swing to the inner polygon and to
// the top box; a smaller swing breaks into the polygon, a larger one into the box. The
// far-end polygon takes a 250 mV eye with edges twice as slow that the near-end refuses.
TEST(EyeCheck, HighSpeedMarginsAndViolationsFollowTheSwing) {
    struct Case {
        const char* keyword;
        double swing, transition;
        bool open;
    };
    for (const Case& c : {Case{"hsne", 0.4, 250e-12, true}, Case{"hsne", 0.25, 250e-12, false},
                          Case{"hsne", 0.6, 250e-12, false}, Case{"hsne", 0.25, 500e-12, false},
                          Case{"hsfe", 0.25, 500e-12, true}}) {
        SCOPED_TRACE(std::string(c.keyword) + " " + std::to_string(c.swing));
        synth::HighSpeedParams params = LongPackets();
        params.m_dSwing = c.swing;
        params.m_dTransition = c.transition;
        params.m_Traffic.m_dNoiseRms = 1e-3;
        const Measured hs = HighSpeed(params, c.keyword);
        const CPacketMeasurement& m = hs.M();
        const EyeTemplate& eye = Limits(c.keyword).m_Eye1;
        EXPECT_EQ(m.m_nEyeViolations == 0, c.open);
        const double clear = c.swing - eye.InnerV[4], below = eye.TopV[1] - c.swing;
        const std::pair<double, double> checks[] = {
            {m.m_dMarginAboveEye, clear}, {m.m_dMarginBelowEye, clear},
            {m.m_dMarginBelowTop, below}, {m.m_dMarginAboveBottom, below},
            {m.m_dMaxVoltage, c.swing},   {m.m_dMinVoltage, -c.swing}};
        for (const auto& [got, want] : checks) EXPECT_NEAR(got, want, 0.010);
    }
}

// Full and low speed hold D- and D+ each against the single-ended template: lines
// swinging 0 .. 3.3 V clear its polygon and top box by their distances to the levels,
// and a D+ that only reaches 2.3 V breaks the polygon on the second trace alone.
TEST(EyeCheck, FullAndLowSpeedLinesAreEachHeldToTheTemplate) {
    for (const synth::Speed speed : {synth::Speed::Full, synth::Speed::Low}) {
        synth::SingleEndedParams params;
        params.m_Speed = speed;
        params.m_Traffic.m_dNoiseRms = 1e-3;
        const Measured pair = Pair(params);
        const CSigSpec spec = Limits(speed == synth::Speed::Full ? "fs" : "ls");
        SCOPED_TRACE(spec.m_nSpeed);
        const EyeTemplate& eye = spec.m_Eye1;
        CPacketMeasurement m = pair.M();
        EXPECT_EQ(m.m_nEyeViolations, 0);
        EXPECT_NEAR(m.m_dMarginBelowEye, eye.InnerV[1], 0.010);
        EXPECT_NEAR(m.m_dMarginBelowTop, eye.TopV[1] - 3.3, 0.010);
        std::vector<double> weak = pair.m_Record.m_DPlus;
        for (double& v : weak) v = std::min(v, 2.3);
        const CEyeCheck check;
        m = check.StoreEyeMargins(check.EvaluateEye(m, pair.Packet(), spec, pair.m_Record.m_Time,
                                                    pair.m_Record.m_DMinus, weak));
        EXPECT_GT(std::ranges::count(m.m_Eye.m_Flags2, 1), 0);
        EXPECT_EQ(std::ranges::count(m.m_Eye.m_Flags1, 1), 0);
        EXPECT_NEAR(m.m_dMarginAboveEye, 2.3 - eye.InnerV[4], 0.010);
    }
}

// Violations near the packet's first transition and its EOP are forgiven: by the first
// template within half a unit interval after the packet start, before the EOP start and
// before the EOP end; by the second template alike, but from three quarters of a unit
// interval before the EOP end. What the second template alone forgives is waived; what
// neither forgives fails the eye. The violation is one sample of a clean capture dropped
// to 0 V, the middle of both inner polygons. The EOP start's window reaches on over the
// whole EOP, so it is left unplaced where the EOP end's own window is tried; the packet
// start's window is tried with the grid reaching back over the first SYNC bit.
TEST(EyeExceptions, EachTransitionWindowForgivesViolationsWithinItsReach) {
    enum Edge { kPacketStart, kEopStart, kEopEnd };
    struct Case {
        Edge edge;
        double offset;  // UI after the edge
        bool first, second;
    };
    const Case cases[] = {{kPacketStart, 0.4, true, true}, {kPacketStart, 0.65, false, false},
                          {kEopStart, -0.4, true, true},   {kEopStart, -0.65, false, false},
                          {kEopEnd, -0.4, true, true},     {kEopEnd, -0.65, false, true},
                          {kEopEnd, -0.9, false, false}};
    const Measured& hs = CleanHighSpeed();
    const CSampleTimes& time = hs.m_Record.m_Time;
    const double dt = time[1] - time[0];
    const double packetStart = time[hs.Packet().m_Symbols.at(0).m_nFirstSample];
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.edge) + " " + std::to_string(c.offset));
        CPacketMeasurement m = hs.M();
        const double ui = m.m_dUnitInterval;
        const double edges[] = {packetStart, m.m_dEopStart, m.m_dEopEnd};
        if (c.edge == kPacketStart) m.m_BitTimes.insert(m.m_BitTimes.begin(), m.m_BitTimes[0] - ui);
        if (c.edge == kEopEnd) m.m_dEopStart = std::nan("");
        std::vector<double> x = hs.m_Record.m_Diff;
        x.at(static_cast<std::size_t>(
            std::lround((edges[c.edge] + c.offset * ui - time[0]) / dt))) = 0.0;
        m = CEyeCheck().EvaluateEye(std::move(m), hs.Packet(), Limits("hsne"), time, x, {});
        const int32_t v = m.m_nEyeViolations;
        ASSERT_GT(v, 0);
        EXPECT_EQ(m.m_nExceptions, c.first ? v : 0);
        EXPECT_EQ(c.edge == kPacketStart ? m.m_nFirstExcepted : m.m_nLastExcepted, m.m_nExceptions);
        EXPECT_EQ(m.m_nEyeViolationsFinal, c.second && !c.first ? v : 0);
        EXPECT_EQ(std::ranges::count(m.m_EyeFinal.m_Flags1, 1), c.first ? 0 : v);
        EXPECT_EQ(CTestPackets().TestPacket(m, Config(), Limits("hsne"), 0).m_nEye,
                  c.first    ? Codes().m_nPass
                  : c.second ? Codes().m_nWaived
                             : Codes().m_nFail);
    }
}

TEST(EyeTemplateCheck, BoxLevelsAndPolygonJumpsViolateAndMarginsSkipFirstIntervalAndEop) {
    // Unit interval 1 s, four samples each; boxes at +-1 V, an inner polygon of +-0.5 V
    // flat from 0.3 to 0.7 with its tips at 0.1 and 0.9.
    const EyeTemplate eye{.BottomV = {-10000, -1, -1, -10000},
                          .BottomT = {0, 0, 1, 1},
                          .InnerV = {0, -0.5, -0.5, 0, 0.5, 0.5, 0},
                          .InnerT = {0.1, 0.3, 0.7, 0.9, 0.7, 0.3, 0.1},
                          .TopV = {10000, 1, 1, 10000},
                          .TopT = {0, 0, 1, 1}};
    const CSampleTimes time(0.0, 0.25, 20);
    // UI 1: a sample on the top level; UI 2: a jump from +0.8 at 0.25 to -0.8 at 0.5
    // crosses the centre at 0.375, inside the polygon's time span; UI 3: clean, EOP from
    // t = 3.5. Samples outside the grid (top level, inside the polygon) are not judged.
    const std::vector<double> x = {1.0,  0.8,  0.8,  0.8,  1.0,  0.8,  0.8, 0.8, 0.8, 0.8,
                                   -0.8, -0.8, -0.8, -0.8, -0.8, -0.8, 0.0, 0.0, 0.0, 0.0};
    std::vector<double> bitTimes = {0.0, 1.0, 2.0, 3.0, 4.0, 9.0};
    std::vector<int32_t> boundaries;
    const CEyeResult r = CEyeCheck().CheckEye(boundaries, time, bitTimes, eye, x, {}, 3.5);
    // 0.0 (index 0) and 9.0 (past the capture) are no boundaries; the flags start at the
    // first one, and samples 4 and 9 violate.
    EXPECT_EQ(boundaries, (std::vector<int32_t>{4, 8, 12, 16}));
    EXPECT_EQ(bitTimes, (std::vector<double>{1.0, 2.0, 3.0, 4.0}));
    EXPECT_EQ(r.m_nFlagStart, 4);
    std::vector<int32_t> expected(13, 0);
    expected[4 - 4] = expected[9 - 4] = 1;
    EXPECT_EQ(r.m_Flags1, expected);
    EXPECT_EQ(r.m_Flags2, std::vector<int32_t>(13, 0));
    // Flat part 0.3 .. 0.7 holds one sample (0.5) per interval; only interval 2 (t = 2.5,
    // -0.8) gives margins: interval 1 is the first and t = 3.5 of interval 3 is the EOP.
    EXPECT_EQ(r.m_LowValues, (std::vector<double>{-0.8}));
    EXPECT_TRUE(r.m_HighValues.empty());
    EXPECT_NEAR(r.m_BelowEye.at(0), 0.3, 1e-12);
    EXPECT_NEAR(r.m_AboveBottom.at(0), 0.2, 1e-12);
}
