#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <random>

#include "signal/CEyeCheck.h"
#include "spec/CSigTestSpec.h"

namespace {

constexpr double kHsUi = 1.0 / 480e6;

// A toy eye template; inner times in unit intervals.
EyeTemplate Template(double ui, double vBottom, double vTop, double vCentre, double vLow,
                     double vHigh, double tLeft, double t1, double t2, double tRight) {
    EyeTemplate e;
    e.BottomV = {-10000, vBottom, vBottom, -10000};
    e.TopV = {10000, vTop, vTop, 10000};
    e.BottomT = e.TopT = {0, 0, ui, ui};
    e.InnerV = {vCentre, vLow, vLow, vCentre, vHigh, vHigh, vCentre};
    e.InnerT = {tLeft * ui, t1 * ui, t2 * ui, tRight * ui, t2 * ui, t1 * ui, tLeft * ui};
    return e;
}
const std::unique_ptr<CSigSpec> kNearEnd = CSigTestSpec().SelectSpec("hsne");
const std::unique_ptr<CSigSpec> kFarEnd = CSigTestSpec().SelectSpec("hsfe");

// An NRZ packet on a bit grid: 4 idle bits, `bits` random data bits (the same for one seed,
// so swapping `low` and `high` gives the complementary line), an EOP of 8 bits held at the
// last level, then idle. Edges are raised cosines of `edge` UI (0-100 %) centred on the bit
// boundaries. The grid starts at the first data bit, or one bit earlier (`idleInGrid`) as
// the packet measurement lays it, which puts the idle before the packet into the eye.
struct Packet {
    std::vector<double> time, x;
    CPacketMeasurement m;  // bit grid, unit interval and EOP, as the measurement gives them
    CPacketEntry entry;
};
Packet Nrz(double ui, double rate, double low, double high, double idle, double edge, double noise,
           int bits = 240, bool idleInGrid = false) {
    const int lead = 4;
    std::mt19937 rng(7);
    std::vector<double> level(lead, idle);
    for (int b = 0; b < bits; ++b) level.push_back((rng() & 1) ? high : low);
    level.insert(level.end(), 8, level.back());
    level.insert(level.end(), 4, idle);
    Packet p;
    std::normal_distribution<double> gauss(0.0, noise);
    const auto n = static_cast<std::size_t>(static_cast<double>(level.size()) * ui * rate);
    for (std::size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double u = t / ui;
        const auto k = static_cast<std::size_t>(std::floor(u + 0.5));  // nearest boundary
        double v = level[std::min(static_cast<std::size_t>(u), level.size() - 1)];
        const double phase = (u - static_cast<double>(k)) / edge + 0.5;
        if (k >= 1 && k < level.size() && phase > 0.0 && phase < 1.0) {
            const double s = (1.0 - std::cos(std::numbers::pi * phase)) / 2.0;
            v = level[k - 1] + (level[k] - level[k - 1]) * s;
        }
        p.time.push_back(t);
        p.x.push_back(v + (noise > 0.0 ? gauss(rng) : 0.0));
    }
    p.m.m_dUnitInterval = ui;
    p.m.m_dEopStart = (lead + bits) * ui;
    p.m.m_dEopEnd = p.m.m_dEopStart + 8 * ui;
    for (int k = lead - (idleInGrid ? 1 : 0); k <= lead + bits + 8; ++k) {
        p.m.m_BitTimes.push_back(k * ui);
    }
    CSymbolRun first;
    first.m_nFirstSample = static_cast<int32_t>(std::ceil(lead * ui * rate));
    p.entry.m_Symbols.push_back(first);
    return p;
}

CPacketMeasurement Evaluate(const Packet& p, const CSigSpec& limits,
                            const std::vector<double>& second = {}) {
    const CEyeCheck check;
    return check.StoreEyeMargins(check.EvaluateEye(p.m, p.entry, limits, p.time, p.x, second));
}

}  // namespace

TEST(HighSpeedEye, CleanNearEndEyeHasNoViolationsAndMarginsOfItsGeometry) {
    // +-400 mV, 0.3 UI edges, 1 mV noise: the worst of ~2000 flat-part samples lies within
    // about 4 sigma of the level, well inside the 10 mV allowed.
    const Packet p = Nrz(kHsUi, 8e9, -0.4, 0.4, 0.0, 0.3, 0.001);
    const CPacketMeasurement m = Evaluate(p, *kNearEnd);
    EXPECT_EQ(m.m_nEyeViolations, 0);
    EXPECT_TRUE(m.m_EyeFinal.m_Flags1.empty());
    EXPECT_EQ(m.m_nExceptions, 0);
    // Flags cover the folded unit intervals, not the whole capture.
    ASSERT_FALSE(m.m_EyeAux.empty());
    EXPECT_EQ(m.m_Eye.m_nFlagStart, m.m_EyeAux.front());
    EXPECT_EQ(m.m_Eye.m_Flags1.size(),
              static_cast<std::size_t>(m.m_EyeAux.back() - m.m_EyeAux.front() + 1));
    EXPECT_NEAR(m.m_dMarginAboveEye, 0.4 - 0.3, 0.010);
    EXPECT_NEAR(m.m_dMarginBelowEye, 0.4 - 0.3, 0.010);
    EXPECT_NEAR(m.m_dMarginTopLeftUp, 0.4 - 0.3, 0.010);
    EXPECT_NEAR(m.m_dMarginBottomLeftDown, 0.4 - 0.3, 0.010);
    EXPECT_NEAR(m.m_dMarginBelowTop, 0.525 - 0.4, 0.010);
    EXPECT_NEAR(m.m_dMarginAboveBottom, 0.525 - 0.4, 0.010);
    EXPECT_NEAR(m.m_dMaxVoltage, 0.4, 0.010);
    EXPECT_NEAR(m.m_dMinVoltage, -0.4, 0.010);
    EXPECT_NEAR(m.m_dMinPeakPeakCenter, 0.8, 0.020);
    // One boundary index per kept bit time, each on the sample nearest to it.
    ASSERT_EQ(m.m_EyeAux.size(), m.m_BitTimes.size());
    EXPECT_NEAR(p.time[m.m_EyeAux[5]], m.m_BitTimes[5], 0.5 / 8e9);
}

TEST(HighSpeedEye, SmallSwingViolatesInnerPolygonAndLargeSwingTheBoxes) {
    for (const double swing : {0.25, 0.6}) {
        const Packet p = Nrz(kHsUi, 8e9, -swing, swing, 0.0, 0.3, 0.0);
        const CPacketMeasurement m = Evaluate(p, *kNearEnd);
        EXPECT_GT(m.m_nEyeViolations, 0) << swing;
        // Every flag sits where the swing crosses the template: inside the inner band for
        // the small eye, on or beyond the box levels for the large one.
        const auto start = static_cast<std::size_t>(m.m_Eye.m_nFlagStart);
        for (std::size_t j = 0; j < m.m_Eye.m_Flags1.size(); ++j) {
            if (m.m_Eye.m_Flags1[j] == 0) continue;
            const std::size_t i = start + j;
            if (swing < 0.3) {
                EXPECT_LT(std::abs(p.x[i]), 0.3) << i;
            } else {
                EXPECT_GE(std::abs(p.x[i]), 0.525) << i;
            }
        }
    }
    const CPacketMeasurement small =
        Evaluate(Nrz(kHsUi, 8e9, -0.25, 0.25, 0.0, 0.3, 0.0), *kNearEnd);
    EXPECT_NEAR(small.m_dMarginAboveEye, 0.25 - 0.3, 1e-9);
}

TEST(HighSpeedEye, FarEndTemplateAcceptsSlowerSmallerEyeThatNearEndRejects) {
    const Packet p = Nrz(kHsUi, 8e9, -0.25, 0.25, 0.0, 0.5, 0.001);
    EXPECT_GT(Evaluate(p, *kNearEnd).m_nEyeViolations, 0);
    const CPacketMeasurement far = Evaluate(p, *kFarEnd);
    EXPECT_EQ(far.m_nEyeViolations, 0);
    EXPECT_NEAR(far.m_dMarginAboveEye, 0.25 - 0.175, 0.010);
    EXPECT_NEAR(far.m_dMarginBelowEye, 0.25 - 0.175, 0.010);
}

TEST(EyeExceptions, ViolationsAtFirstAndLastTransitionAreForgivenButNotInTheMiddle) {
    // With the grid starting one unit interval early, the idle before the packet (0 V)
    // lies inside the polygon: the first-transition window forgives it.
    const CSigSpec& limits = *kNearEnd;
    CPacketMeasurement m = Evaluate(Nrz(kHsUi, 8e9, -0.4, 0.4, 0.0, 0.3, 0.0, 240, true), limits);
    EXPECT_GT(m.m_nFirstExcepted, 0);
    EXPECT_EQ(m.m_nLastExcepted, 0);
    EXPECT_EQ(m.m_nExceptions, m.m_nEyeViolations);
    EXPECT_EQ(m.m_nEyeViolationsFinal, 0);

    // A dropout to 0 V late in one bit: in the last data bit, or in the middle of the packet.
    auto withDropout = [&](int bit) {
        Packet p = Nrz(kHsUi, 8e9, -0.4, 0.4, 0.0, 0.3, 0.0);
        const double start = (4 + bit) * kHsUi;
        for (std::size_t i = 0; i < p.time.size(); ++i) {
            const double tau = (p.time[i] - start) / kHsUi;
            if (tau > 0.55 && tau < 0.65) p.x[i] = 0.0;
        }
        return Evaluate(p, limits);
    };
    m = withDropout(239);
    EXPECT_GT(m.m_nEyeViolations, 0);
    EXPECT_EQ(m.m_nLastExcepted, m.m_nEyeViolations);
    EXPECT_EQ(m.m_nFirstExcepted, 0);
    EXPECT_EQ(std::count(m.m_EyeFinal.m_Flags1.begin(), m.m_EyeFinal.m_Flags1.end(), 1), 0);

    m = withDropout(120);
    EXPECT_GT(m.m_nEyeViolations, 0);
    EXPECT_EQ(m.m_nExceptions, 0);
    EXPECT_EQ(m.m_nEyeViolationsFinal, 0);  // the second template sees the same dropout
    EXPECT_EQ(std::count(m.m_EyeFinal.m_Flags1.begin(), m.m_EyeFinal.m_Flags1.end(), 1),
              m.m_nEyeViolations);
}

TEST(EyeExceptions, WindowPastTheCaptureEndIsClampedAndAnUnplacedWindowForgivesNothing) {
    const std::vector<double> time = {0, 1, 2, 3, 4, 5};
    CEyeResult eye;
    eye.m_Flags1 = {1, 0, 0, 1, 0, 1};
    eye.m_Flags2 = {0, 0, 0, 0, 1, 1};
    const CEyeCheck check;
    int32_t count = 0;
    // An EOP 1 s before the last sample with a 3 s half-width: samples 1 .. 5 (not 7).
    CEyeResult left = check.ApplyException(count, time, eye, 4.0, 3.0, 0);
    EXPECT_EQ(count, 4);
    EXPECT_EQ(left.m_Flags1, (std::vector<int32_t>{1, 0, 0, 0, 0, 0}));
    EXPECT_EQ(left.m_Flags2, (std::vector<int32_t>{0, 0, 0, 0, 0, 0}));

    count = 0;
    left = check.ApplyException(count, time, eye, std::nan(""), 0.5, 2);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(left.m_Flags1, eye.m_Flags1);
    left = check.ApplyException(count, time, eye, 1.0, 0.5, 1);  // reaches back to sample 0
    EXPECT_EQ(count, 1);
    EXPECT_EQ(left.m_Flags1[0], 0);

    // Flags that begin at sample 2: a window over samples 0 .. 3 forgives entries 0 and 1
    // (samples 2 and 3) only, and one that ends before them forgives nothing.
    CEyeResult late;
    late.m_nFlagStart = 2;
    late.m_Flags1 = {1, 1, 0, 1};
    count = 0;
    left = check.ApplyException(count, time, late, 1.5, 1.5, 0);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(left.m_Flags1, (std::vector<int32_t>{0, 0, 0, 1}));
    count = 0;
    left = check.ApplyException(count, time, late, 0.0, 0.5, 0);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(left.m_Flags1, late.m_Flags1);
}

TEST(EyeTemplateCheck, BoxLevelsAndPolygonJumpsViolateAndMarginsSkipFirstIntervalEopAndNoGrid) {
    // Four samples per unit interval of 1 s; template bands in volts of this toy eye.
    const EyeTemplate e = Template(1.0, -1.0, 1.0, 0.0, -0.5, 0.5, 0.1, 0.3, 0.7, 0.9);
    std::vector<double> time;
    for (int i = 0; i < 20; ++i) time.push_back(0.25 * i);
    // UI 1: a sample on the top level; UI 2: a jump from +0.8 at 0.25 to -0.8 at 0.5
    // crosses the centre at 0.375, inside the polygon's time span; UI 3: clean, EOP from
    // t = 3.5. Samples outside the grid (top level, inside the polygon) are not judged.
    const std::vector<double> x = {1.0,  0.8,  0.8,  0.8,  1.0,  0.8,  0.8, 0.8, 0.8, 0.8,
                                   -0.8, -0.8, -0.8, -0.8, -0.8, -0.8, 0.0, 0.0, 0.0, 0.0};
    std::vector<double> bitTimes = {0.0, 1.0, 2.0, 3.0, 4.0, 9.0};
    std::vector<int32_t> boundaries;
    const CEyeResult r = CEyeCheck().CheckEye(boundaries, time, 1.0, bitTimes, e.BottomT, e.BottomV,
                                              e.InnerT, e.InnerV, e.TopT, e.TopV, x, {}, 3.5);
    // 0.0 (index 0) and the ones past the capture are no boundaries.
    EXPECT_EQ(boundaries, (std::vector<int32_t>{4, 8, 12, 16}));
    EXPECT_EQ(bitTimes, (std::vector<double>{1.0, 2.0, 3.0, 4.0}));
    // Flags start at the first boundary: samples 4 and 9 violate.
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

    // Without a measured unit interval the grid is not a number: nothing is judged, and
    // the margins read as missing (1e12 for the smallest, 0.0 for the largest value).
    bitTimes.assign(3, std::numeric_limits<double>::quiet_NaN());
    CPacketMeasurement m;
    m.m_Eye = CEyeCheck().CheckEye(boundaries, time, bitTimes[0], bitTimes, e.BottomT, e.BottomV,
                                   e.InnerT, e.InnerV, e.TopT, e.TopV, x, {}, 3.5);
    EXPECT_TRUE(boundaries.empty() && bitTimes.empty() && m.m_Eye.m_Flags1.empty());
    m = CEyeCheck().StoreEyeMargins(m);
    EXPECT_EQ(m.m_dMarginAboveEye, 1e12);
    EXPECT_EQ(m.m_dMaxVoltage, 0.0);
    EXPECT_EQ(m.m_dMinPeakPeakCenter, 1e12);
}

TEST(SingleEndedEye, FullAndLowSpeedLinesAreEachHeldToTheirOwnTemplate) {
    struct Case {
        const char* keyword;
        double rate, edge;  // samples/s; edge length in UI
    };
    for (const Case& c : {Case{"fs", 4e9, 0.12}, Case{"ls", 5e8, 0.2}}) {
        const std::unique_ptr<CSigSpec> limits = CSigTestSpec().SelectSpec(c.keyword);
        const EyeTemplate& eye = limits->m_Eye1;
        const double ui = limits->m_dBitTime;
        // D- and D+ complementary between 0 and 3.3 V, 1 mV noise as on the high-speed eye.
        const Packet minus = Nrz(ui, c.rate, 0.0, 3.3, 0.0, c.edge, 0.001, 120);
        const Packet plus = Nrz(ui, c.rate, 3.3, 0.0, 3.3, c.edge, 0.001, 120);
        CPacketMeasurement m = Evaluate(minus, *limits, plus.x);
        EXPECT_EQ(m.m_nEyeViolations, 0) << c.keyword;
        EXPECT_NEAR(m.m_dMarginBelowEye, eye.InnerV[1], 0.010) << c.keyword;
        EXPECT_NEAR(m.m_dMarginAboveEye, 3.3 - eye.InnerV[4], 0.010) << c.keyword;
        EXPECT_NEAR(m.m_dMarginBelowTop, eye.TopV[1] - 3.3, 0.010) << c.keyword;

        // A D+ that only reaches 2.3 V high breaks the polygon on the second trace alone.
        std::vector<double> weak = plus.x;
        for (double& v : weak) v = std::min(v, 2.3);
        m = Evaluate(minus, *limits, weak);
        EXPECT_GT(std::count(m.m_Eye.m_Flags2.begin(), m.m_Eye.m_Flags2.end(), 1), 0);
        EXPECT_EQ(std::count(m.m_Eye.m_Flags1.begin(), m.m_Eye.m_Flags1.end(), 1), 0);
        EXPECT_NEAR(m.m_dMarginAboveEye, 2.3 - eye.InnerV[4], 0.010) << c.keyword;
    }
}
