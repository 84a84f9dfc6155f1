#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>

#include "report/CToolboxGlobals.h"
#include "signal/CTestPackets.h"
#include "spec/CSigTestSpec.h"
#include "spec/CSignalConfig.h"

namespace {

const CToolboxRecord kCodes = CToolboxGlobals().GetGlobals();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kHighSpeedBit = 1.0 / 480e6;
constexpr double kFullSpeedBit = 1.0 / 12e6;

CSigSpec Spec(const std::string& keyword, unsigned hubs = 0) {
    std::unique_ptr<CSigSpec> spec = CSigTestSpec().SelectSpec(keyword);
    AdjustForHubs(*spec, keyword, hubs);
    return *spec;
}

const CSigConfig& Config() {
    static const std::unique_ptr<CSigConfig> config = CSignalConfig().BuildConfig();
    return *config;
}

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
    m.m_dMarginAboveEye = 0.05;
    m.m_dMarginBelowEye = 0.05;
    m.m_dMarginBelowTop = 0.1;
    m.m_dMarginAboveBottom = 0.1;
    m.m_dMarginTopLeftUp = 0.02;
    m.m_dMarginBottomLeftDown = 0.02;
    m.m_dMaxVoltage = 0.42;
    m.m_dMinVoltage = -0.42;
    return m;
}

// A clean full-speed packet: 12 Mbit/s, a 2-bit EOP, crossovers at 1.6 V and jitter
// of a few hundred picoseconds (limits 2 ns consecutive, 1 ns paired).
CPacketMeasurement CleanFullSpeed() {
    CPacketMeasurement m = CleanHighSpeed();
    m.m_dUnitInterval = kFullSpeedBit;
    m.m_dEopEnd = m.m_dEopStart + 2 * kFullSpeedBit;
    for (int i = 0; i < 12; ++i) m.m_Crossings.push_back({0, 1.55 + 0.01 * i, 1e-7 * i, 0, 0});
    m.m_nJitterCount = 11;
    m.m_dConsecJitterMin = -5e-10;
    m.m_dConsecJitterMax = 5e-10;
    m.m_dJKJitterMin = -3e-10;
    m.m_dJKJitterMax = 3e-10;
    m.m_dKJJitterMin = -3e-10;
    m.m_dKJJitterMax = 3e-10;
    m.m_dMaxVoltage = 3.3;
    m.m_dMinVoltage = 0.0;
    return m;
}

CPacketVerdict Judge(const CPacketMeasurement& m, const CSigSpec& spec, uint32_t hubs = 0) {
    return CTestPackets().TestPacket(m, Config(), spec, hubs);
}

int32_t EopVerdict(const CSigSpec& spec, double bits) {
    CPacketMeasurement m = CleanHighSpeed();
    m.m_dEopEnd = m.m_dEopStart + bits * kHighSpeedBit;
    return Judge(m, spec).m_nEopWidth;
}

}  // namespace

TEST(PacketVerdicts, CleanHighSpeedNearEndPacketPassesEveryFigure) {
    const CPacketVerdict v = Judge(CleanHighSpeed(), Spec("hsne"));
    for (const int32_t code :
         {v.m_nOverall, v.m_nEye, v.m_nCrossover, v.m_nEopWidth, v.m_nReservedA, v.m_nSignalRate,
          v.m_nSyncFound, v.m_nSyncLength, v.m_nHubSync, v.m_nRiseRate, v.m_nFallRate,
          v.m_nReservedB, v.m_nMonotonic, v.m_nJitter, v.m_nReservedC}) {
        EXPECT_EQ(code, kCodes.m_nPass);
    }
    for (const int32_t flag :
         {v.m_bMarginAboveEye, v.m_bMarginBelowEye, v.m_bMarginBelowTop, v.m_bMarginAboveBottom,
          v.m_bMarginTopLeftUp, v.m_bMarginBottomLeftDown, v.m_bMaxVoltageOk, v.m_bMinVoltageOk}) {
        EXPECT_EQ(flag, 1);
    }
    EXPECT_EQ(v.m_bAllEdgesFound, 1);
    EXPECT_EQ(v.m_nSyncBitsDropped, 0);
}

TEST(PacketVerdicts, HighSpeedRateIsWaivedAt530PpmHighAndFailsAt1000Ppm) {
    const CSigSpec spec = Spec("hsne");
    CPacketMeasurement m = CleanHighSpeed();
    m.m_dUnitInterval = 1.0 / (480e6 * (1 + 530e-6));
    CPacketVerdict v = Judge(m, spec);
    EXPECT_EQ(v.m_nSignalRate, kCodes.m_nWaived);
    EXPECT_EQ(v.m_nOverall, kCodes.m_nPass);  // a waiver does not fail the packet

    m.m_dUnitInterval = 1.0 / (480e6 * (1 - 530e-6));
    EXPECT_EQ(Judge(m, spec).m_nSignalRate, kCodes.m_nWaived);

    m.m_dUnitInterval = 1.0 / (480e6 * (1 + 1000e-6));
    v = Judge(m, spec);
    EXPECT_EQ(v.m_nSignalRate, kCodes.m_nFail);
    EXPECT_EQ(v.m_nOverall, kCodes.m_nFail);
}

TEST(PacketVerdicts, HighSpeedEopIsJudgedInTheOrdinaryOrTheStartOfFrameWindow) {
    const CSigSpec spec = Spec("hsne");
    EXPECT_EQ(EopVerdict(spec, 8), kCodes.m_nPass);
    EXPECT_EQ(EopVerdict(spec, 10), kCodes.m_nWaived);
    EXPECT_EQ(EopVerdict(spec, 20), kCodes.m_nFail);
    EXPECT_EQ(EopVerdict(spec, 40), kCodes.m_nPass);
    EXPECT_EQ(EopVerdict(spec, 45), kCodes.m_nWaived);
    EXPECT_EQ(EopVerdict(spec, 60), kCodes.m_nFail);
}

TEST(PacketVerdicts, TwoHubsStretchTheHighSpeedEopAllowance) {
    const CSigSpec spec = Spec("hshub", 2);  // pass up to 16.5 bits, waiver up to 24
    EXPECT_EQ(EopVerdict(spec, 12), kCodes.m_nPass);
    EXPECT_EQ(EopVerdict(spec, 20), kCodes.m_nWaived);
    EXPECT_EQ(EopVerdict(spec, 25), kCodes.m_nFail);
    EXPECT_EQ(EopVerdict(spec, 7), kCodes.m_nFail);
    // Without the hub test the same 20 bits are far outside the ordinary window.
    EXPECT_EQ(EopVerdict(Spec("hsne"), 20), kCodes.m_nFail);
}

TEST(PacketVerdicts, FullSpeedRateIsWaivedAt12Point1AndFailsAt12Point2Megabit) {
    const CSigSpec spec = Spec("fs");
    CPacketMeasurement m = CleanFullSpeed();
    CPacketVerdict v = Judge(m, spec);
    EXPECT_EQ(v.m_nSignalRate, kCodes.m_nPass);
    EXPECT_EQ(v.m_nCrossover, kCodes.m_nPass);
    EXPECT_EQ(v.m_nJitter, kCodes.m_nPass);
    EXPECT_EQ(v.m_nEopWidth, kCodes.m_nPass);
    EXPECT_EQ(v.m_nOverall, kCodes.m_nPass);

    m.m_dUnitInterval = 1.0 / 12.1e6;
    v = Judge(m, spec);
    EXPECT_EQ(v.m_nSignalRate, kCodes.m_nWaived);
    EXPECT_EQ(v.m_nOverall, kCodes.m_nPass);

    m.m_dUnitInterval = 1.0 / 12.2e6;
    v = Judge(m, spec);
    EXPECT_EQ(v.m_nSignalRate, kCodes.m_nFail);
    EXPECT_EQ(v.m_nOverall, kCodes.m_nFail);
}

TEST(PacketVerdicts, BitsDroppedByHubsFailOnlyPastFourPerHub) {
    const CSigSpec spec = Spec("hshub", 2);
    CPacketMeasurement m = CleanHighSpeed();
    m.m_nSyncBitsDropped = 6;
    CPacketVerdict v = Judge(m, spec, 2);
    EXPECT_EQ(v.m_nSyncFound, kCodes.m_nPass);
    EXPECT_EQ(v.m_nSyncLength, kCodes.m_nFail);
    EXPECT_EQ(v.m_nHubSync, kCodes.m_nPass);
    EXPECT_EQ(v.m_nSyncBitsDropped, 6);
    EXPECT_EQ(v.m_nOverall, kCodes.m_nPass);

    m.m_nSyncBitsDropped = 9;
    v = Judge(m, spec, 2);
    EXPECT_EQ(v.m_nHubSync, kCodes.m_nFail);
    EXPECT_EQ(v.m_nOverall, kCodes.m_nFail);

    // With no hub in front of the probe any dropped bit fails.
    m.m_nSyncBitsDropped = 1;
    EXPECT_EQ(Judge(m, Spec("hsne"), 0).m_nOverall, kCodes.m_nFail);

    m.m_nSyncMatches = 0;
    m.m_nSyncBitsDropped = 0;
    v = Judge(m, spec, 2);
    EXPECT_EQ(v.m_nSyncFound, kCodes.m_nFail);
    EXPECT_EQ(v.m_nOverall, kCodes.m_nFail);
}

TEST(PacketVerdicts, FiveOrFewerJitterValuesGiveNoDataAndFailThePacket) {
    CPacketMeasurement m = CleanFullSpeed();
    m.m_nJitterCount = 4;
    const CPacketVerdict v = Judge(m, Spec("fs"));
    EXPECT_EQ(v.m_nJitter, kCodes.m_nNoData);
    EXPECT_EQ(v.m_nOverall, kCodes.m_nFail);
    // Five values leave the second paired list empty: its 0.0 figures are no pass.
    m.m_nJitterCount = 5;
    m.m_dJKJitterMin = m.m_dJKJitterMax = m.m_dKJJitterMin = m.m_dKJJitterMax = 0.0;
    EXPECT_EQ(Judge(m, Spec("fs")).m_nJitter, kCodes.m_nNoData);
    m.m_dConsecJitterMax = 50e-9;  // a consecutive failure still shows
    EXPECT_EQ(Judge(m, Spec("fs")).m_nJitter, kCodes.m_nFail);
    m.m_nJitterCount = 6;
    m.m_dConsecJitterMax = 5e-10;
    EXPECT_EQ(Judge(m, Spec("fs")).m_nJitter, kCodes.m_nPass);
}

TEST(PacketVerdicts, FullSpeedJitterAndCrossoverUseTheirWaiverWindows) {
    const CSigSpec spec = Spec("fs");
    CPacketMeasurement m = CleanFullSpeed();
    m.m_dJKJitterMax = 5e-9;  // past 1 ns, inside the 20 ns waiver
    EXPECT_EQ(Judge(m, spec).m_nJitter, kCodes.m_nWaived);
    m.m_dConsecJitterMin = -50e-9;  // past the 40 ns waiver: fail outweighs waiver
    EXPECT_EQ(Judge(m, spec).m_nJitter, kCodes.m_nFail);

    m = CleanFullSpeed();
    m.m_Crossings[5].m_dVolts = 1.1;  // below 1.3 V, above the 1.0 V waiver floor
    EXPECT_EQ(Judge(m, spec).m_nCrossover, kCodes.m_nWaived);
    m.m_Crossings[5].m_dVolts = 0.9;
    EXPECT_EQ(Judge(m, spec).m_nCrossover, kCodes.m_nFail);
    // The first crossing is the SYNC start-up and the last runs into the EOP: unjudged.
    m = CleanFullSpeed();
    m.m_Crossings.front().m_dVolts = 0.2;
    m.m_Crossings.back().m_dVolts = 0.2;
    EXPECT_EQ(Judge(m, spec).m_nCrossover, kCodes.m_nPass);
}

TEST(PacketVerdicts, CrossoverWithNothingToJudgeIsNoDataNotPass) {
    CPacketMeasurement m = CleanFullSpeed();
    m.m_Crossings.resize(2);  // first judged position 2, last 2 - 1 = 1
    CPacketVerdict v = Judge(m, Spec("fs"));
    EXPECT_EQ(v.m_nCrossover, kCodes.m_nNoData);
    EXPECT_EQ(v.m_nOverall, kCodes.m_nFail);

    m.m_Crossings.clear();
    EXPECT_EQ(Judge(m, Spec("ls")).m_nCrossover, kCodes.m_nNoData);
}

TEST(PacketVerdicts, NonFiniteFiguresNeverPass) {
    const CSigSpec hs = Spec("hsne");
    const CSigSpec fs = Spec("fs");
    const auto judged = [](CPacketMeasurement m, const CSigSpec& spec, auto spoil, auto pick) {
        spoil(m);
        const CPacketVerdict v = Judge(m, spec);
        EXPECT_EQ(v.m_nOverall, kCodes.m_nFail);
        return pick(v);
    };
    EXPECT_EQ(judged(
                  CleanHighSpeed(), hs, [](auto& m) { m.m_dUnitInterval = kNaN; },
                  [](auto& v) { return v.m_nSignalRate; }),
              kCodes.m_nNoData);
    EXPECT_EQ(judged(
                  CleanHighSpeed(), hs, [](auto& m) { m.m_dUnitInterval = 0.0; },
                  [](auto& v) { return v.m_nSignalRate; }),
              kCodes.m_nNoData);
    EXPECT_EQ(judged(
                  CleanHighSpeed(), hs, [](auto& m) { m.m_dEopEnd = kNaN; },
                  [](auto& v) { return v.m_nEopWidth; }),
              kCodes.m_nNoData);
    EXPECT_EQ(judged(
                  CleanHighSpeed(), Spec("hshub", 2), [](auto& m) { m.m_dEopStart = kNaN; },
                  [](auto& v) { return v.m_nEopWidth; }),
              kCodes.m_nNoData);
    EXPECT_EQ(judged(
                  CleanHighSpeed(), hs, [](auto& m) { m.m_dMonotonic = kNaN; },
                  [](auto& v) { return v.m_nMonotonic; }),
              kCodes.m_nFail);
    EXPECT_EQ(judged(
                  CleanHighSpeed(), hs, [](auto& m) { m.m_dRiseRate = kNaN; },
                  [](auto& v) { return v.m_nRiseRate; }),
              kCodes.m_nFail);
    EXPECT_EQ(judged(
                  CleanFullSpeed(), fs, [](auto& m) { m.m_Crossings[4].m_dVolts = kNaN; },
                  [](auto& v) { return v.m_nCrossover; }),
              kCodes.m_nNoData);
    EXPECT_EQ(judged(
                  CleanFullSpeed(), fs, [](auto& m) { m.m_dKJJitterMax = kNaN; },
                  [](auto& v) { return v.m_nJitter; }),
              kCodes.m_nNoData);
    EXPECT_EQ(judged(
                  CleanFullSpeed(), fs, [](auto& m) { m.m_dEopEnd = INFINITY; },
                  [](auto& v) { return v.m_nEopWidth; }),
              kCodes.m_nNoData);

    CPacketMeasurement m = CleanHighSpeed();
    m.m_dMarginAboveEye = kNaN;
    m.m_dMaxVoltage = kNaN;
    const CPacketVerdict v = Judge(m, hs);
    EXPECT_EQ(v.m_bMarginAboveEye, 0);
    EXPECT_EQ(v.m_bMaxVoltageOk, 0);
}

TEST(PacketVerdicts, EyeVerdictWeighsViolationsAgainstTransitionExceptions) {
    struct Case {
        int v, f, x;
        int32_t expected;
    };
    const Case cases[] = {{0, 0, 0, kCodes.m_nPass},  {3, 0, 3, kCodes.m_nPass},
                          {3, 1, 1, kCodes.m_nFail},  {2, 2, 1, kCodes.m_nWaived},
                          {2, 1, 1, kCodes.m_nCode7}, {1, 1, 2, kCodes.m_nFail}};
    for (const Case& c : cases) {
        CPacketMeasurement m = CleanHighSpeed();
        m.m_nEyeViolations = c.v;
        m.m_nEyeViolationsFinal = c.f;
        m.m_nExceptions = c.x;
        const CPacketVerdict verdict = Judge(m, Spec("hsne"));
        EXPECT_EQ(verdict.m_nEye, c.expected) << c.v << " " << c.f << " " << c.x;
        const bool failed = c.expected == kCodes.m_nFail;
        EXPECT_EQ(verdict.m_nOverall, failed ? kCodes.m_nFail : kCodes.m_nPass);
    }
}

TEST(PacketVerdicts, MissedEdgesAndSteepEdgesFailThePacket) {
    CPacketMeasurement m = CleanHighSpeed();
    m.m_bAllEdgesFound = 0;
    EXPECT_EQ(Judge(m, Spec("hsne")).m_nOverall, kCodes.m_nFail);

    m = CleanHighSpeed();
    m.m_dFallRate = 3000;  // above 2133 V/us, below the 6400 V/us waiver ceiling
    CPacketVerdict v = Judge(m, Spec("hsne"));
    EXPECT_EQ(v.m_nFallRate, kCodes.m_nWaived);
    EXPECT_EQ(v.m_nOverall, kCodes.m_nPass);
    m.m_dFallRate = 7000;
    EXPECT_EQ(Judge(m, Spec("hsne")).m_nFallRate, kCodes.m_nFail);
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
    EXPECT_EQ(record.m_Verdicts[1].m_nHubSync, kCodes.m_nPass);
}
