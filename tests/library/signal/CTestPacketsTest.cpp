#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>

#include "library/signal/SignalCaptures.h"

using namespace captures;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kHighSpeedBit = 1.0 / 480e6;

// Clean synthesized captures, measured once.
const CPacketMeasurement& Clean(bool highSpeed) {
    static const Measured fs = Pair(synth::SingleEndedParams{});
    return (highSpeed ? CleanHighSpeed() : fs).M();
}

using Edit = std::function<void(CPacketMeasurement&)>;
using M = CPacketMeasurement;
using V = CPacketVerdict;

template <typename T, typename U>
Edit Set(T M::*field, U value) {
    return [=](M& m) { m.*field = static_cast<T>(value); };
}

Edit EopBits(double bits) {
    return [bits](M& m) { m.m_dEopEnd = m.m_dEopStart + bits * kHighSpeedBit; };
}

Edit Crossover(std::size_t k, double volts) {
    return [=](M& m) { m.m_Crossings.at(k).m_dVolts = volts; };
}

Edit Eye(int32_t v, int32_t f, int32_t x) {
    return [=](M& m) { m.m_nEyeViolations = v, m.m_nEyeViolationsFinal = f, m.m_nExceptions = x; };
}

}  // namespace

// Each figure of a clean capture (high speed, or full speed for "fs" and "ls") changed
// to lie in its pass or waiver window or beyond, or to be missing. A waiver does not
// fail the packet; a failure, a missing figure (NoData) or a missed edge does. Hub and
// repeater tests widen the high-speed EOP allowance by four bits a hub, for at most five
// hubs, and let each hub drop four SYNC bits.
TEST(PacketVerdicts, EachFigureIsJudgedAgainstItsWindows) {
    const int32_t P = Codes().m_nPass, W = Codes().m_nWaived, F = Codes().m_nFail,
                  N = Codes().m_nNoData;
    struct Case {
        const char* keyword;
        unsigned hubs;
        Edit edit;
        int32_t V::*figure;
        int32_t expected;
    };
    const Case cases[] = {
        {"hsne", 0, Set(&M::m_dUnitInterval, 0.0), &V::m_nSignalRate, N},
        // The ordinary 8-bit EOP.
        {"hsne", 0, EopBits(10), &V::m_nEopWidth, W},
        {"hsne", 0, EopBits(20), &V::m_nEopWidth, F},
        {"hsne", 0, EopBits(kNaN), &V::m_nEopWidth, N},
        {"fs", 0, Set(&M::m_dEopEnd, INFINITY), &V::m_nEopWidth, N},
        {"hshub", 2, EopBits(7), &V::m_nEopWidth, F},
        {"hshub", 2, EopBits(16), &V::m_nEopWidth, P},
        {"hshub", 2, EopBits(17), &V::m_nEopWidth, W},
        {"hshub", 2, EopBits(25), &V::m_nEopWidth, F},
        {"hshub", 9, EopBits(28), &V::m_nEopWidth, P},
        {"hshub", 9, EopBits(35.5), &V::m_nEopWidth, W},
        {"ehsrep", 2, EopBits(17), &V::m_nEopWidth, W},
        {"hsne", 2, EopBits(17), &V::m_nEopWidth, F},
        {"hshub", 2, Set(&M::m_dEopStart, kNaN), &V::m_nEopWidth, N},
        {"hsne", 0, Set(&M::m_nSyncMatches, 0), &V::m_nSyncFound, F},
        {"hshub", 2, Set(&M::m_nSyncBitsDropped, 6), &V::m_nHubSync, P},
        {"hshub", 2, Set(&M::m_nSyncBitsDropped, 6), &V::m_nSyncLength, F},  // fails no packet
        {"hshub", 2, Set(&M::m_nSyncBitsDropped, 8), &V::m_nHubSync, P},
        {"hshub", 2, Set(&M::m_nSyncBitsDropped, 9), &V::m_nHubSync, F},
        {"hsne", 0, Set(&M::m_nSyncBitsDropped, 1), &V::m_nHubSync, F},
        {"hsne", 0, Set(&M::m_dFallRate, 3000.0), &V::m_nFallRate, W},
        {"hsne", 0, Set(&M::m_dFallRate, 7000.0), &V::m_nFallRate, F},
        {"hsne", 0, Set(&M::m_dRiseRate, kNaN), &V::m_nRiseRate, F},
        {"hsne", 0, Set(&M::m_bAllEdgesFound, 0), &V::m_bAllEdgesFound, 0},
        {"hsne", 0, Set(&M::m_dMonotonic, 0.05), &V::m_nMonotonic, P},
        {"hsne", 0, Set(&M::m_dMonotonic, kNaN), &V::m_nMonotonic, F},
        // Eye margin and voltage flags, no verdicts of their own.
        {"hsne", 0, Set(&M::m_dMarginAboveEye, kNaN), &V::m_bMarginAboveEye, 0},
        {"hsne", 0, Set(&M::m_dMaxVoltage, kNaN), &V::m_bMaxVoltageOk, 0},
        {"hsne", 0, Set(&M::m_dMinVoltage, -0.6), &V::m_bMinVoltageOk, 0},
        // Eye: v violations, f left after both templates' exceptions, x excepted.
        {"hsne", 0, Eye(3, 0, 3), &V::m_nEye, P},
        {"hsne", 0, Eye(3, 1, 1), &V::m_nEye, F},
        {"hsne", 0, Eye(4, 2, 1), &V::m_nEye, F},
        {"hsne", 0, Eye(2, 2, 1), &V::m_nEye, W},
        {"hsne", 0, Eye(2, 1, 1), &V::m_nEye, Codes().m_nCode7},
        {"hsne", 0, Eye(1, 1, 2), &V::m_nEye, F},
        // Five jitter values leave the second paired list empty: its 0.0 figures are
        // no pass, though a consecutive failure still shows.
        {"fs", 0, Set(&M::m_nJitterCount, 4), &V::m_nJitter, N},
        {"fs", 0, Set(&M::m_nJitterCount, 5), &V::m_nJitter, N},
        {"fs", 0, [](M& m) { m.m_nJitterCount = 5, m.m_dConsecJitterMax = 50e-9; }, &V::m_nJitter,
         F},
        {"fs", 0, Set(&M::m_nJitterCount, 6), &V::m_nJitter, P},
        {"fs", 0, Set(&M::m_dJKJitterMax, 5e-9), &V::m_nJitter, W},
        {"fs", 0, [](M& m) { m.m_dJKJitterMax = 5e-9, m.m_dConsecJitterMin = -50e-9; },
         &V::m_nJitter, F},
        {"fs", 0, Set(&M::m_dKJJitterMax, kNaN), &V::m_nJitter, N},
        {"fs", 0, Crossover(5, 1.1), &V::m_nCrossover, W},
        {"fs", 0, Crossover(5, 2.2), &V::m_nCrossover, W},
        {"fs", 0, Crossover(5, 0.9), &V::m_nCrossover, F},
        {"fs", 0, Crossover(4, kNaN), &V::m_nCrossover, N},
        // The first crossing is the SYNC start-up and the last runs into the EOP.
        {"fs", 0,
         [](M& m) { m.m_Crossings.front().m_dVolts = m.m_Crossings.back().m_dVolts = 0.2; },
         &V::m_nCrossover, P},
        {"fs", 0, [](M& m) { m.m_Crossings.resize(2); }, &V::m_nCrossover, N},
        {"ls", 0, [](M& m) { m.m_Crossings.clear(); }, &V::m_nCrossover, N},
    };
    for (std::size_t k = 0; k < std::size(cases); ++k) {
        const Case& c = cases[k];
        SCOPED_TRACE("case " + std::to_string(k) + ", " + c.keyword);
        const CSigSpec spec = Limits(c.keyword, c.hubs);
        M m = Clean(spec.m_nSpeed == Config().m_nHighSpeed);
        c.edit(m);
        const V v = CTestPackets().TestPacket(m, Config(), spec, c.hubs);
        EXPECT_EQ(v.*c.figure, c.expected);
        // A short SYNC alone fails no packet: the hub rule judges the bits dropped.
        const bool judged = c.figure != &V::m_nSyncLength && c.figure != &V::m_bAllEdgesFound;
        const bool fails =
            c.figure == &V::m_bAllEdgesFound || (judged && (c.expected == F || c.expected == N));
        EXPECT_EQ(v.m_nOverall, fails ? F : P);
    }
}

// Rising edges of a synthesized high-speed capture that turn back inside the eye's
// inner band by a known depth: the deepest reversal is measured to the millivolt
// (samples sit on its top and bottom) and judged against the 50 mV limit: 35 mV,
// more than half the limit, passes; 70 mV fails.
TEST(PacketVerdicts, EdgeReversalIsJudgedAgainstTheMonotonicLimit) {
    const CSigSpec spec = Limits("hsne");
    ASSERT_GT(0.035, spec.m_dMonotonicLimit / 2);
    ASSERT_LT(0.035, spec.m_dMonotonicLimit);
    for (const double depth : {0.0, 0.035, 0.07}) {
        SCOPED_TRACE(depth);
        synth::HighSpeedParams params = LongPackets();
        params.m_dReversalDepth = depth;
        const Measured hs = HighSpeed(params);
        EXPECT_NEAR(hs.M().m_dMonotonic, depth, 1e-3);
        EXPECT_EQ(hs.V().m_nMonotonic,
                  depth < spec.m_dMonotonicLimit ? Codes().m_nPass : Codes().m_nFail);
    }
}
