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
constexpr double kFullSpeedBit = 1.0 / 12e6;

// A clean high-speed packet: exact 480 Mbit/s, an 8-bit EOP, a whole SYNC, an open
// eye, 1500 V/us edges (inside the 2133 V/us limit).
CPacketMeasurement CleanHighSpeed() {
    CPacketMeasurement m;
    m.m_dUnitInterval = kHighSpeedBit;
    m.m_bAllEdgesFound = 1;
    m.m_dEopStart = 1e-6;
    m.m_dEopEnd = 1e-6 + 8 * kHighSpeedBit;
    m.m_nJitterCount = 40;
    m.m_nSyncMatches = 1;
    m.m_dRiseRate = 1500;
    m.m_dFallRate = 1500;
    m.m_dMonotonic = 0.01;
    m.m_dMarginAboveEye = m.m_dMarginBelowEye = 0.05;
    m.m_dMarginBelowTop = m.m_dMarginAboveBottom = 0.1;
    m.m_dMarginTopLeftUp = m.m_dMarginBottomLeftDown = 0.02;
    m.m_dMaxVoltage = 0.42;
    m.m_dMinVoltage = -0.42;
    return m;
}

// A clean full-speed packet: 12 Mbit/s, a 2-bit EOP, crossovers around 1.6 V and
// jitter of a few hundred picoseconds (limits 2 ns consecutive, 1 ns paired).
CPacketMeasurement CleanFullSpeed() {
    CPacketMeasurement m = CleanHighSpeed();
    m.m_dUnitInterval = kFullSpeedBit;
    m.m_dEopEnd = m.m_dEopStart + 2 * kFullSpeedBit;
    for (int i = 0; i < 12; ++i) m.m_Crossings.push_back({0, 1.55 + 0.01 * i, 1e-7 * i, 0, 0});
    m.m_nJitterCount = 11;
    m.m_dConsecJitterMin = -5e-10;
    m.m_dConsecJitterMax = 5e-10;
    m.m_dJKJitterMin = m.m_dKJJitterMin = -3e-10;
    m.m_dJKJitterMax = m.m_dKJJitterMax = 3e-10;
    m.m_dMaxVoltage = 3.3;
    m.m_dMinVoltage = 0.0;
    return m;
}

using Edit = std::function<void(CPacketMeasurement&)>;

Edit EopBits(double bits) {
    return [bits](CPacketMeasurement& m) { m.m_dEopEnd = m.m_dEopStart + bits * kHighSpeedBit; };
}

Edit Rate(double bitsPerSecond) {
    return [bitsPerSecond](CPacketMeasurement& m) { m.m_dUnitInterval = 1.0 / bitsPerSecond; };
}

Edit Dropped(int32_t bits) {
    return [bits](CPacketMeasurement& m) { m.m_nSyncBitsDropped = bits; };
}

Edit Eye(int32_t v, int32_t f, int32_t x) {
    return [=](CPacketMeasurement& m) {
        m.m_nEyeViolations = v;
        m.m_nEyeViolationsFinal = f;
        m.m_nExceptions = x;
    };
}

}  // namespace

TEST(PacketVerdicts, CleanHighSpeedNearEndPacketPassesEveryFigure) {
    const CToolboxRecord& codes = Codes();
    const CPacketVerdict v = CTestPackets().TestPacket(CleanHighSpeed(), Config(), Spec("hsne"), 0);
    for (const int32_t code :
         {v.m_nOverall, v.m_nEye, v.m_nCrossover, v.m_nEopWidth, v.m_nReservedA, v.m_nSignalRate,
          v.m_nSyncFound, v.m_nSyncLength, v.m_nHubSync, v.m_nRiseRate, v.m_nFallRate,
          v.m_nReservedB, v.m_nMonotonic, v.m_nJitter, v.m_nReservedC})
        EXPECT_EQ(code, codes.m_nPass);
    for (const int32_t flag :
         {v.m_bMarginAboveEye, v.m_bMarginBelowEye, v.m_bMarginBelowTop, v.m_bMarginAboveBottom,
          v.m_bMarginTopLeftUp, v.m_bMarginBottomLeftDown, v.m_bMaxVoltageOk, v.m_bMinVoltageOk})
        EXPECT_EQ(flag, 1);
    EXPECT_EQ(v.m_bAllEdgesFound, 1);
    EXPECT_EQ(v.m_nSyncBitsDropped, 0);
}

// Each figure against its pass and waiver windows. A waiver does not fail the packet;
// a failure, a missing figure (NoData) or a missed edge does. Hub and repeater tests
// widen the high-speed EOP allowance by four bits a hub, for at most five hubs, and let
// each hub drop four SYNC bits.
TEST(PacketVerdicts, EachFigureIsJudgedAgainstItsWindows) {
    const CToolboxRecord& c = Codes();
    const auto fs = [](CPacketMeasurement& m) { m = CleanFullSpeed(); };
    struct Case {
        const char* what;
        const char* keyword;
        unsigned hubs;
        Edit edit;
        int32_t CPacketVerdict::*figure;
        int32_t expected;
    };
    using V = CPacketVerdict;
    const Case cases[] = {
        {"rate +530 ppm", "hsne", 0, Rate(480e6 * (1 + 530e-6)), &V::m_nSignalRate, c.m_nWaived},
        {"rate -530 ppm", "hsne", 0, Rate(480e6 * (1 - 530e-6)), &V::m_nSignalRate, c.m_nWaived},
        {"rate +1000 ppm", "hsne", 0, Rate(480e6 * (1 + 1000e-6)), &V::m_nSignalRate, c.m_nFail},
        {"rate not a number", "hsne", 0, Rate(kNaN), &V::m_nSignalRate, c.m_nNoData},
        {"unit interval 0", "hsne", 0, [](CPacketMeasurement& m) { m.m_dUnitInterval = 0; },
         &V::m_nSignalRate, c.m_nNoData},
        {"EOP 8 bits", "hsne", 0, EopBits(8), &V::m_nEopWidth, c.m_nPass},
        {"EOP 10 bits", "hsne", 0, EopBits(10), &V::m_nEopWidth, c.m_nWaived},
        {"EOP 20 bits", "hsne", 0, EopBits(20), &V::m_nEopWidth, c.m_nFail},
        {"start-of-frame EOP 40 bits", "hsne", 0, EopBits(40), &V::m_nEopWidth, c.m_nPass},
        {"start-of-frame EOP 45 bits", "hsne", 0, EopBits(45), &V::m_nEopWidth, c.m_nWaived},
        {"EOP 60 bits", "hsne", 0, EopBits(60), &V::m_nEopWidth, c.m_nFail},
        {"EOP end not a number", "hsne", 0, EopBits(kNaN), &V::m_nEopWidth, c.m_nNoData},
        {"2 hubs, EOP 7 bits", "hshub", 2, EopBits(7), &V::m_nEopWidth, c.m_nFail},
        {"2 hubs, EOP 16 bits", "hshub", 2, EopBits(16), &V::m_nEopWidth, c.m_nPass},
        {"2 hubs, EOP 17 bits", "hshub", 2, EopBits(17), &V::m_nEopWidth, c.m_nWaived},
        {"2 hubs, EOP 23.5 bits", "hshub", 2, EopBits(23.5), &V::m_nEopWidth, c.m_nWaived},
        {"2 hubs, EOP 25 bits", "hshub", 2, EopBits(25), &V::m_nEopWidth, c.m_nFail},
        {"5 hubs, EOP 24 bits", "hshub", 5, EopBits(24), &V::m_nEopWidth, c.m_nPass},
        {"5 hubs, EOP 35.5 bits", "hshub", 5, EopBits(35.5), &V::m_nEopWidth, c.m_nWaived},
        {"5 hubs, EOP 36.5 bits", "hshub", 5, EopBits(36.5), &V::m_nEopWidth, c.m_nFail},
        {"9 hubs count as 5", "hshub", 9, EopBits(24), &V::m_nEopWidth, c.m_nPass},
        {"9 hubs count as 5", "hshub", 9, EopBits(36.5), &V::m_nEopWidth, c.m_nFail},
        {"hub keyword in capitals", "HsHuB", 2, EopBits(17), &V::m_nEopWidth, c.m_nWaived},
        {"repeater", "ehsrep", 2, EopBits(17), &V::m_nEopWidth, c.m_nWaived},
        {"near end ignores hubs", "hsne", 2, EopBits(17), &V::m_nEopWidth, c.m_nFail},
        {"hub EOP start not a number", "hshub", 2,
         [](CPacketMeasurement& m) { m.m_dEopStart = kNaN; }, &V::m_nEopWidth, c.m_nNoData},
        {"no SYNC", "hsne", 0, [](CPacketMeasurement& m) { m.m_nSyncMatches = 0; },
         &V::m_nSyncFound, c.m_nFail},
        {"6 bits dropped, 2 hubs", "hshub", 2, Dropped(6), &V::m_nHubSync, c.m_nPass},
        {"6 bits dropped: short SYNC", "hshub", 2, Dropped(6), &V::m_nSyncLength, c.m_nFail},
        {"8 bits dropped, 2 hubs", "hshub", 2, Dropped(8), &V::m_nHubSync, c.m_nPass},
        {"9 bits dropped, 2 hubs", "hshub", 2, Dropped(9), &V::m_nHubSync, c.m_nFail},
        {"1 bit dropped, no hub", "hsne", 0, Dropped(1), &V::m_nHubSync, c.m_nFail},
        {"fall 3000 V/us", "hsne", 0, [](CPacketMeasurement& m) { m.m_dFallRate = 3000; },
         &V::m_nFallRate, c.m_nWaived},
        {"fall 7000 V/us", "hsne", 0, [](CPacketMeasurement& m) { m.m_dFallRate = 7000; },
         &V::m_nFallRate, c.m_nFail},
        {"rise not a number", "hsne", 0, [](CPacketMeasurement& m) { m.m_dRiseRate = kNaN; },
         &V::m_nRiseRate, c.m_nFail},
        {"edges missed", "hsne", 0, [](CPacketMeasurement& m) { m.m_bAllEdgesFound = 0; },
         &V::m_bAllEdgesFound, 0},
        {"reversal at the limit", "hsne", 0, [](CPacketMeasurement& m) { m.m_dMonotonic = 0.05; },
         &V::m_nMonotonic, c.m_nPass},
        {"monotonic not a number", "hsne", 0, [](CPacketMeasurement& m) { m.m_dMonotonic = kNaN; },
         &V::m_nMonotonic, c.m_nFail},
        {"eye: violations all excepted", "hsne", 0, Eye(3, 0, 3), &V::m_nEye, c.m_nPass},
        {"eye: one left unforgiven", "hsne", 0, Eye(3, 1, 1), &V::m_nEye, c.m_nFail},
        {"eye: one unforgiven, more forgiven", "hsne", 0, Eye(4, 2, 1), &V::m_nEye, c.m_nFail},
        {"eye: second template forgives", "hsne", 0, Eye(2, 2, 1), &V::m_nEye, c.m_nWaived},
        {"eye: as many left as excepted", "hsne", 0, Eye(2, 1, 1), &V::m_nEye, c.m_nCode7},
        {"eye: more excepted than found", "hsne", 0, Eye(1, 1, 2), &V::m_nEye, c.m_nFail},
        {"full speed, clean", "fs", 0, fs, &V::m_nOverall, c.m_nPass},
        {"12.1 Mbit/s", "fs", 0, [](CPacketMeasurement& m) { m = CleanFullSpeed(), Rate(12.1e6)(m); },
         &V::m_nSignalRate, c.m_nWaived},
        {"12.2 Mbit/s", "fs", 0, [](CPacketMeasurement& m) { m = CleanFullSpeed(), Rate(12.2e6)(m); },
         &V::m_nSignalRate, c.m_nFail},
        {"EOP end infinite", "fs", 0,
         [](CPacketMeasurement& m) { m = CleanFullSpeed(), m.m_dEopEnd = INFINITY; },
         &V::m_nEopWidth, c.m_nNoData},
        {"4 jitter values", "fs", 0,
         [](CPacketMeasurement& m) { m = CleanFullSpeed(), m.m_nJitterCount = 4; }, &V::m_nJitter,
         c.m_nNoData},
        // Five values leave the second paired list empty: its 0.0 figures are no pass,
        // though a consecutive failure still shows.
        {"5 jitter values", "fs", 0,
         [](CPacketMeasurement& m) {
             m = CleanFullSpeed();
             m.m_nJitterCount = 5;
             m.m_dJKJitterMin = m.m_dJKJitterMax = m.m_dKJJitterMin = m.m_dKJJitterMax = 0.0;
         },
         &V::m_nJitter, c.m_nNoData},
        {"5 jitter values, 50 ns consecutive", "fs", 0,
         [](CPacketMeasurement& m) {
             m = CleanFullSpeed(), m.m_nJitterCount = 5, m.m_dConsecJitterMax = 50e-9;
         },
         &V::m_nJitter, c.m_nFail},
        {"6 jitter values", "fs", 0,
         [](CPacketMeasurement& m) { m = CleanFullSpeed(), m.m_nJitterCount = 6; }, &V::m_nJitter,
         c.m_nPass},
        {"JK 5 ns", "fs", 0, [](CPacketMeasurement& m) { m = CleanFullSpeed(), m.m_dJKJitterMax = 5e-9; },
         &V::m_nJitter, c.m_nWaived},
        {"KJ -5 ns", "fs", 0,
         [](CPacketMeasurement& m) { m = CleanFullSpeed(), m.m_dKJJitterMin = -5e-9; },
         &V::m_nJitter, c.m_nWaived},
        {"JK 5 ns, consecutive -50 ns", "fs", 0,
         [](CPacketMeasurement& m) {
             m = CleanFullSpeed(), m.m_dJKJitterMax = 5e-9, m.m_dConsecJitterMin = -50e-9;
         },
         &V::m_nJitter, c.m_nFail},
        {"KJ not a number", "fs", 0,
         [](CPacketMeasurement& m) { m = CleanFullSpeed(), m.m_dKJJitterMax = kNaN; },
         &V::m_nJitter, c.m_nNoData},
        {"crossover 1.1 V", "fs", 0,
         [](CPacketMeasurement& m) { m = CleanFullSpeed(), m.m_Crossings[5].m_dVolts = 1.1; },
         &V::m_nCrossover, c.m_nWaived},
        {"crossover 2.2 V", "fs", 0,
         [](CPacketMeasurement& m) { m = CleanFullSpeed(), m.m_Crossings[5].m_dVolts = 2.2; },
         &V::m_nCrossover, c.m_nWaived},
        {"crossover 0.9 V", "fs", 0,
         [](CPacketMeasurement& m) { m = CleanFullSpeed(), m.m_Crossings[5].m_dVolts = 0.9; },
         &V::m_nCrossover, c.m_nFail},
        // The first crossing is the SYNC start-up and the last runs into the EOP.
        {"first and last crossovers unjudged", "fs", 0,
         [](CPacketMeasurement& m) {
             m = CleanFullSpeed();
             m.m_Crossings.front().m_dVolts = m.m_Crossings.back().m_dVolts = 0.2;
         },
         &V::m_nCrossover, c.m_nPass},
        {"crossover not a number", "fs", 0,
         [](CPacketMeasurement& m) { m = CleanFullSpeed(), m.m_Crossings[4].m_dVolts = kNaN; },
         &V::m_nCrossover, c.m_nNoData},
        {"two crossings: none judged", "fs", 0,
         [](CPacketMeasurement& m) { m = CleanFullSpeed(), m.m_Crossings.resize(2); },
         &V::m_nCrossover, c.m_nNoData},
        {"low speed without crossings", "ls", 0,
         [](CPacketMeasurement& m) { m = CleanFullSpeed(), m.m_Crossings.clear(); },
         &V::m_nCrossover, c.m_nNoData},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        CPacketMeasurement m = CleanHighSpeed();
        k.edit(m);
        const CPacketVerdict v =
            CTestPackets().TestPacket(m, Config(), Spec(k.keyword, k.hubs), k.hubs);
        EXPECT_EQ(v.*k.figure, k.expected);
        // A short SYNC alone fails no packet: the hub rule judges the bits dropped.
        const bool judged = k.figure != &V::m_nSyncLength && k.figure != &V::m_bAllEdgesFound;
        const bool fails = k.figure == &V::m_bAllEdgesFound ||
                           (judged && (k.expected == c.m_nFail || k.expected == c.m_nNoData));
        EXPECT_EQ(v.m_nOverall, fails ? c.m_nFail : c.m_nPass);
    }
}

TEST(PacketVerdicts, MissingEyeMarginsAndVoltagesAreNotOk) {
    CPacketMeasurement m = CleanHighSpeed();
    m.m_dMarginAboveEye = kNaN;
    m.m_dMaxVoltage = kNaN;
    m.m_dMinVoltage = -0.6;  // below the bottom box
    const CPacketVerdict v = CTestPackets().TestPacket(m, Config(), Spec("hsne"), 0);
    EXPECT_EQ(v.m_bMarginAboveEye, 0);
    EXPECT_EQ(v.m_bMaxVoltageOk, 0);
    EXPECT_EQ(v.m_bMinVoltageOk, 0);
    EXPECT_EQ(v.m_bMarginBelowEye, 1);
}

TEST(PacketVerdicts, EveryMeasurementGetsItsVerdictJudgedWithTheRecordsHubs) {
    CAnalysisRecord record;
    record.m_nHubs = 2;
    CPacketMeasurement dropped = CleanHighSpeed();
    dropped.m_nSyncBitsDropped = 8;
    record.m_Measurements = {CleanHighSpeed(), dropped};
    record = CTestPackets().TestPackets(std::move(record), Config(), Spec("hshub", 2));
    ASSERT_EQ(record.m_Verdicts.size(), 2u);
    EXPECT_EQ(record.m_Verdicts[0].m_nSyncBitsDropped, 0);
    EXPECT_EQ(record.m_Verdicts[1].m_nSyncBitsDropped, 8);
    EXPECT_EQ(record.m_Verdicts[1].m_nHubSync, Codes().m_nPass);
}

// Rising edges of a synthesized high-speed capture that turn back inside the eye's
// inner band by a known depth: the deepest reversal is measured to the millivolt
// (samples sit on its top and bottom) and judged against the 50 mV limit: 35 mV,
// more than half the limit, passes; 70 mV fails.
TEST(PacketVerdicts, EdgeReversalIsJudgedAgainstTheMonotonicLimit) {
    const CSigSpec spec = Spec("hsne");
    ASSERT_GT(0.035, spec.m_dMonotonicLimit / 2);
    ASSERT_LT(0.035, spec.m_dMonotonicLimit);
    for (const double depth : {0.0, 0.035, 0.07}) {
        SCOPED_TRACE(depth);
        synth::HighSpeedParams params = LongPackets();
        params.m_dReversalDepth = depth;
        const Measured hs = HighSpeed(params);
        EXPECT_EQ(hs.m_Truth.m_dMonotonicDepth, depth);
        EXPECT_NEAR(hs.M().m_dMonotonic, depth, 1e-3);
        const bool passes = depth < spec.m_dMonotonicLimit;
        EXPECT_EQ(hs.V().m_nMonotonic, passes ? Codes().m_nPass : Codes().m_nFail);
    }
}
