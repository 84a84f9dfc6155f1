#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "entry/CAnalysisError.h"
#include "signal/CMeasurePackets.h"
#include "spec/CSigTestSpec.h"
#include "spec/CSignalConfig.h"
#include "synth/Synth.h"

namespace {

constexpr double kHsBit = 1.0 / 480e6;
constexpr double kFsBit = 1.0 / 12e6;
constexpr double kLsBit = 1.0 / 1.5e6;

CSigSpec MakeSpec(int speed) {
    return *CSigTestSpec().SelectSpec(speed == 3 ? "hsne" : speed == 2 ? "fs" : "ls");
}

const CSigConfig& Config() {
    static const CSigConfig config = *CSignalConfig().BuildConfig();
    return config;
}

// A capture whose truth is known: bit boundaries at a chosen rate, phase and
// sinusoidal jitter, with straight-line edges of chosen duration.
struct Shape {
    int m_nSpeed = 3;
    double m_dRateOffset = 0.0;     // relative to the nominal rate
    double m_dSamplesPerBit = 0.0;  // of the nominal bit; 0: the scope rate the tests expect
    double m_dStartTime = 0.0;      // s, first sample
    double m_dRiseTime = 500e-12;   // s, 0-100 % of a rising line
    double m_dFallTime = 500e-12;   // s, 0-100 % of a falling line
    double m_dJitter = 0.0;         // s, amplitude
    double m_dJitterPeriodBits = 20.0;
    double m_dJitterOriginBit = 0.0;  // boundary where the sinusoid starts at zero
    double m_dHigh = 3.3;             // V, single-ended high level
    int m_nSyncDropped = 0;
    int m_nEopBits = 8;
    std::string m_strData = "JJKJKKKJJKJKJJJKJKJKKJJKJKJKKKJJKJJKKJKJKJKJJJKKJKJJ";
};

struct Capture {
    std::vector<double> m_Time, m_Diff, m_DPlus, m_DMinus;
    CPacketEntry m_Packet;
    double m_dBit = 0.0;             // s, true unit interval
    std::vector<double> m_Boundary;  // s, true bit boundaries
    std::size_t m_nEopBit = 0;       // boundary index where the EOP starts
};

struct Levels {
    double m_dPlus, m_dMinus;
};

Levels LevelOf(char state, const Shape& s) {
    const bool low = s.m_nSpeed == 1;
    switch (state) {
        case 'J':
            return s.m_nSpeed == 3 ? Levels{0.2, -0.2}
                   : low           ? Levels{0, s.m_dHigh}
                                   : Levels{s.m_dHigh, 0};
        case 'K':
            return s.m_nSpeed == 3 ? Levels{-0.2, 0.2}
                   : low           ? Levels{s.m_dHigh, 0}
                                   : Levels{0, s.m_dHigh};
        case 'I':
            return s.m_nSpeed == 3 ? Levels{0, 0} : LevelOf('J', s);
        default:  // SE0
            return {0, 0};
    }
}

// One line through the boundaries, each step a straight ramp centred on its boundary.
double LineAt(double t, const std::vector<double>& b, const std::vector<double>& level,
              std::size_t k, const Shape& s) {
    // Fraction of the way through the step at boundary `edge`.
    auto progress = [&](std::size_t edge, double from, double to) {
        const double width = to > from ? s.m_dRiseTime : s.m_dFallTime;
        return std::clamp((t - b[edge]) / width + 0.5, 0.0, 1.0);
    };
    if (k > 0) {
        const double x = progress(k, level[k - 1], level[k]);
        if (x < 1.0) return level[k - 1] + (level[k] - level[k - 1]) * x;
    }
    if (k + 1 < level.size()) {
        const double x = progress(k + 1, level[k], level[k + 1]);
        if (x > 0.0) return level[k] + (level[k + 1] - level[k]) * x;
    }
    return level[k];
}

std::vector<CSymbolRun> FindRuns(const Capture& c, const CSigSpec& spec, double threshold) {
    const auto code = [&](double d) {
        if (d > threshold) return spec.m_nSpeed == 1 ? 4 : 2;
        if (d < -threshold) return spec.m_nSpeed == 1 ? 2 : 4;
        return 3;
    };
    std::vector<CSymbolRun> runs;
    const std::size_t n = c.m_Time.size();
    for (std::size_t i = 0; i < n; ++i) {
        const int sym = code(c.m_Diff[i]);
        if (!runs.empty() && runs.back().m_nSymbol == sym) {
            runs.back().m_nLastSample = static_cast<int32_t>(i);
            continue;
        }
        CSymbolRun r;
        r.m_nSymbol = sym;
        r.m_nFirstSample = r.m_nLastSample = static_cast<int32_t>(i);
        r.m_dStart = c.m_Time[i];
        if (i > 0) {
            // The threshold this step crossed.
            const double lvl =
                c.m_Diff[i] > threshold || c.m_Diff[i - 1] > threshold ? threshold : -threshold;
            const double a = std::abs(c.m_Diff[i - 1] - lvl);
            const double bb = std::abs(c.m_Diff[i] - lvl);
            r.m_dStart = c.m_Time[i - 1] + (c.m_Time[i] - c.m_Time[i - 1]) * a / (a + bb);
            runs.back().m_dEnd = r.m_dStart;
        }
        runs.push_back(r);
    }
    runs.back().m_dEnd = c.m_Time.back();
    for (CSymbolRun& r : runs) r.m_dBits = (r.m_dEnd - r.m_dStart) / spec.m_dBitTime;
    return runs;
}

// Line-state runs as region finding gives them: the leading idle, then the first
// packet up to and including its EOP run, the first EOP-wide run after `lastDataTime`.
void CutPacket(Capture& c, const CSigSpec& spec, double lastDataTime) {
    std::vector<CSymbolRun> runs = FindRuns(c, spec, spec.m_dDiffThreshold);
    const bool high = spec.m_nSpeed == 3;
    std::size_t eop = 1;
    for (; eop < runs.size(); ++eop) {
        const CSymbolRun& r = runs[eop];
        const bool candidate = high ? r.m_nSymbol != 3 : r.m_nSymbol == 3;
        if (candidate && r.m_dBits >= (high ? 7.5 : 1.0) && r.m_dBits <= (high ? 50 : 3) &&
            r.m_dStart > lastDataTime) {
            break;
        }
    }
    runs[eop].m_nSymbol = 0;
    c.m_Packet.m_Symbols.assign(runs.begin() + 1, runs.begin() + static_cast<long>(eop) + 1);
    c.m_Packet.m_nInfo = static_cast<int32_t>(c.m_Packet.m_Symbols.size());
}

Capture Synthesize(const Shape& s, const CSigSpec& spec) {
    Capture c;
    const std::string hsSync = "KJKJKJKJKJKJKJKJKJKJKJKJKJKJKJKK";
    const std::string sync = s.m_nSpeed == 3 ? hsSync.substr(s.m_nSyncDropped) : "KJKJKJKK";
    std::string states = std::string(12, 'I') + sync + s.m_strData;
    c.m_nEopBit = states.size();
    if (s.m_nSpeed == 3) {
        states += std::string(s.m_nEopBits, states.back() == 'J' ? 'K' : 'J');
    } else {
        states += std::string(s.m_nEopBits, 'E');
    }
    states += std::string(12, 'I');

    c.m_dBit = spec.m_dBitTime / (1.0 + s.m_dRateOffset);
    const double origin = s.m_dStartTime + 0.37 * c.m_dBit;
    for (std::size_t k = 0; k <= states.size(); ++k) {
        const double phase = 2.0 * std::numbers::pi *
                             (static_cast<double>(k) - s.m_dJitterOriginBit) /
                             s.m_dJitterPeriodBits;
        c.m_Boundary.push_back(origin + static_cast<double>(k) * c.m_dBit +
                               s.m_dJitter * std::sin(phase));
    }
    std::vector<double> plus, minus;
    for (const char st : states) {
        plus.push_back(LevelOf(st, s).m_dPlus);
        minus.push_back(LevelOf(st, s).m_dMinus);
    }
    // 8 GS/s at high speed, 4 GS/s at full speed, 500 MS/s at low speed.
    const double perBit = s.m_dSamplesPerBit > 0.0 ? s.m_dSamplesPerBit
                          : s.m_nSpeed == 3        ? 8e9 * kHsBit
                          : s.m_nSpeed == 2        ? 4e9 * kFsBit
                                                   : 5e8 * kLsBit;
    const double dt = spec.m_dBitTime / perBit;
    const double end = c.m_Boundary.back();
    std::size_t k = 0;
    for (std::size_t i = 0;; ++i) {
        const double t = s.m_dStartTime + static_cast<double>(i) * dt;
        if (t >= end) break;
        while (k + 1 < states.size() && t >= c.m_Boundary[k + 1]) ++k;
        const double p = LineAt(t, c.m_Boundary, plus, k, s);
        const double m = LineAt(t, c.m_Boundary, minus, k, s);
        c.m_Time.push_back(t);
        if (s.m_nSpeed == 3) {
            c.m_Diff.push_back(p - m);
        } else {
            c.m_DPlus.push_back(p);
            c.m_DMinus.push_back(m);
            c.m_Diff.push_back(p - m);
        }
    }

    CutPacket(c, spec, c.m_Boundary[c.m_nEopBit - 2]);
    return c;
}

CPacketMeasurement Measure(const Capture& c, const CSigSpec& spec) {
    return CMeasurePackets().MeasurePacket(c.m_Packet, Config(), spec, c.m_Time, c.m_Diff,
                                           c.m_DMinus, c.m_DPlus);
}

}  // namespace

// Every crossing lies on a straight ramp spanning at least two samples, so its
// interpolated time is exact to rounding; over the ~90 unit intervals between the
// skipped transitions the rate is then good to far better than the bounds asked.
TEST(MeasurePackets, SignallingRateFollowsTheCapturedRate) {
    struct Case {
        int m_nSpeed;
        double m_dOffset;
        double m_dTolerance;  // relative
    };
    for (const Case& cs : {Case{3, 300e-6, 20e-6}, Case{3, -700e-6, 20e-6}, Case{2, 0.01, 0.0005},
                           Case{1, -0.03, 0.0005}}) {
        const CSigSpec spec = MakeSpec(cs.m_nSpeed);
        Shape shape;
        shape.m_nSpeed = cs.m_nSpeed;
        shape.m_dRateOffset = cs.m_dOffset;
        shape.m_nEopBits = cs.m_nSpeed == 3 ? 8 : 2;
        shape.m_dRiseTime = shape.m_dFallTime = spec.m_dBitTime * 0.2;
        const Capture c = Synthesize(shape, spec);
        const CPacketMeasurement m = Measure(c, spec);
        const double truth = 1.0 / c.m_dBit;
        EXPECT_NEAR(1.0 / m.m_dUnitInterval, truth, truth * cs.m_dTolerance) << cs.m_nSpeed;
        EXPECT_NEAR(m.m_dUIRatio, c.m_dBit / spec.m_dBitTime, cs.m_dTolerance);
        EXPECT_EQ(m.m_dUIRatio2, m.m_dUIRatio);
    }
}

// Symmetric ramps between 0 V and 3.2 V cross half way; 20 mV is an interpolation
// error of 0.6 % of the swing, well above the exact straight-line crossing.
TEST(MeasurePackets, FullSpeedCrossoverSitsHalfWayUpTheSwing) {
    const CSigSpec spec = MakeSpec(2);
    Shape shape;
    shape.m_nSpeed = 2;
    shape.m_dHigh = 3.2;
    shape.m_nEopBits = 2;
    shape.m_dRiseTime = shape.m_dFallTime = 15e-9;
    const CPacketMeasurement m = Measure(Synthesize(shape, spec), spec);
    EXPECT_NEAR(m.m_dMeanCrossover, 1.6, 0.02);
    EXPECT_NEAR(m.m_dMinCrossover, 1.6, 0.02);
    EXPECT_NEAR(m.m_dMaxCrossover, 1.6, 0.02);
    EXPECT_NEAR(m.m_dFirstCrossover, 1.6, 0.02);
    EXPECT_EQ(m.m_CrossoverVolts.size(), m.m_Crossings.size());
    EXPECT_EQ(m.m_nCrossings, static_cast<int32_t>(m.m_Crossings.size()));
    EXPECT_GT(m.m_nCrossings, 20);
}

// The grid is fitted to exact crossings, so clean jitter is rounding noise (well
// under a picosecond); a sinusoid of amplitude A shows as a largest deviation of
// about A, less the part the best-fit grid absorbs at the packet ends.
TEST(MeasurePackets, JitterIsZeroWhenCleanAndFollowsInjectedJitter) {
    const CSigSpec spec = MakeSpec(3);
    for (const double start : {0.0, 10.0}) {
        Shape shape;
        shape.m_dStartTime = start;
        const CPacketMeasurement m = Measure(Synthesize(shape, spec), spec);
        const double ps = 1e-12;
        EXPECT_NEAR(m.m_dConsecJitterMin, 0.0, 2 * ps) << start;
        EXPECT_NEAR(m.m_dConsecJitterMax, 0.0, 2 * ps) << start;
        EXPECT_NEAR(m.m_dConsecJitterRms, 0.0, 2 * ps) << start;
        EXPECT_NEAR(m.m_dJKJitterMax, 0.0, 2 * ps) << start;
        EXPECT_NEAR(m.m_dKJJitterMin, 0.0, 2 * ps) << start;
        EXPECT_GT(m.m_nJitterCount, 50);
    }
    // The unit interval comes from the transitions between the second kept crossing
    // (boundary 15) and the last one before the EOP; the sinusoid is zero at both,
    // so the measured interval is the true one and the grid sees the full swing.
    Shape shape;
    shape.m_dJitter = 60e-12;
    shape.m_dJitterPeriodBits = 16.0;
    shape.m_dJitterOriginBit = 15.0;
    std::string data = shape.m_strData + shape.m_strData;
    while ((44 + data.size() - 1 - 15) % 8 != 0 || data.back() == data[data.size() - 2]) {
        data += data.back() == 'J' ? 'K' : 'J';
    }
    shape.m_strData = data;
    const CPacketMeasurement m = Measure(Synthesize(shape, spec), spec);
    const double a = 60e-12;
    EXPECT_NEAR((m.m_dConsecJitterMax - m.m_dConsecJitterMin) / 2.0, a, 0.15 * a);
    EXPECT_NEAR(m.m_dConsecJitterMax, a, 0.15 * a);
    EXPECT_NEAR(m.m_dConsecJitterMin, -a, 0.15 * a);
    EXPECT_NEAR(m.m_dConsecJitterRms, a / std::sqrt(2.0), 0.15 * a);
}

// On a capture whose clock reads 10 s the phase search still converges: every
// figure agrees with the same capture starting at 0 s to within a picosecond.
TEST(MeasurePackets, LateTimeAxisGivesTheSameGridAsOneStartingAtZero) {
    const CSigSpec spec = MakeSpec(3);
    Shape shape;
    shape.m_dJitter = 30e-12;
    const CPacketMeasurement early = Measure(Synthesize(shape, spec), spec);
    shape.m_dStartTime = 10.0;
    const CPacketMeasurement late = Measure(Synthesize(shape, spec), spec);
    ASSERT_EQ(early.m_BitTimes.size(), late.m_BitTimes.size());
    EXPECT_NEAR(late.m_BitTimes.front() - 10.0, early.m_BitTimes.front(), 1e-12);
    EXPECT_NEAR(late.m_dConsecJitterMax, early.m_dConsecJitterMax, 1e-12);
    EXPECT_NEAR(late.m_dConsecJitterMin, early.m_dConsecJitterMin, 1e-12);
    EXPECT_NEAR(late.m_dUnitInterval, early.m_dUnitInterval, 1e-15);
}

// Edge ramps of 100 ps (a twentieth of a bit) move each EOP edge by at most a
// fraction of that; 0.25 bit is far outside it.
TEST(MeasurePackets, EopWidthMatchesTheSynthesizedEop) {
    struct Case {
        int m_nSpeed;
        int m_nBits;
    };
    for (const Case& cs : {Case{3, 8}, Case{3, 40}, Case{2, 2}}) {
        const CSigSpec spec = MakeSpec(cs.m_nSpeed);
        Shape shape;
        shape.m_nSpeed = cs.m_nSpeed;
        shape.m_nEopBits = cs.m_nBits;
        shape.m_dRiseTime = shape.m_dFallTime = spec.m_dBitTime * 0.25;
        const Capture c = Synthesize(shape, spec);
        const CPacketMeasurement m = Measure(c, spec);
        EXPECT_NEAR((m.m_dEopEnd - m.m_dEopStart) / c.m_dBit, cs.m_nBits, 0.25) << cs.m_nBits;
        EXPECT_NEAR(m.m_dEopStart, c.m_Boundary[c.m_nEopBit], 0.25 * c.m_dBit);
        // The bit boundaries reach the EOP end, and one bit past it at full speed.
        const double past = cs.m_nSpeed == 3 ? 0.0 : m.m_dUnitInterval;
        EXPECT_NEAR(m.m_BitTimes.back(), m.m_dEopEnd + past, 0.5 * c.m_dBit);
        for (std::size_t k = 1; k < m.m_BitTimes.size(); ++k) {
            EXPECT_NEAR(m.m_BitTimes[k] - m.m_BitTimes[k - 1], m.m_dUnitInterval, 1e-15);
        }
    }
}

TEST(MeasurePackets, SyncReportsTheLeadingBitsThatWereDropped) {
    const CSigSpec spec = MakeSpec(3);
    for (const int dropped : {0, 4}) {
        Shape shape;
        shape.m_nSyncDropped = dropped;
        const CPacketMeasurement m = Measure(Synthesize(shape, spec), spec);
        EXPECT_EQ(m.m_nSyncBitsDropped, dropped);
        EXPECT_EQ(m.m_nSyncMatches, 1);
    }
    // A second SYNC-like stretch in the data is counted as a further match.
    Shape shape;
    shape.m_strData = "KJKJKJKJKJKJKJKJKJKJKJKJKJKJKJKK" + shape.m_strData;
    EXPECT_EQ(Measure(Synthesize(shape, spec), spec).m_nSyncMatches, 2);
}

// Straight ramps between -0.4 V and +0.4 V over 500 ps pass the ±175 mV band at
// 0.8 V / 500 ps = 1600 V/us. Both samples around each level crossing lie on the
// ramp, so the interpolated crossings are exact; 10 % is the requirement.
TEST(MeasurePackets, EdgeRatesFollowTheTransitionTimeAndTheirMismatch) {
    {
        const CSigSpec spec = MakeSpec(3);
        Shape shape;
        const CPacketMeasurement m = Measure(Synthesize(shape, spec), spec);
        EXPECT_NEAR(m.m_dRiseRate, 1600.0, 160.0);
        EXPECT_NEAR(m.m_dFallRate, 1600.0, 160.0);
        EXPECT_NEAR(m.m_dRiseRateMin, 1600.0, 160.0);
        EXPECT_NEAR(m.m_dFallRateMax, 1600.0, 160.0);
        EXPECT_NEAR(m.m_dEdgeRateMatch, 0.0, 2.0);
    }
    // Full speed: 3.3 V in 10 ns rising and 15 ns falling on both lines: 330 and
    // 220 V/us, a mismatch of 110 / 275 = 40 %.
    const CSigSpec spec = MakeSpec(2);
    Shape shape;
    shape.m_nSpeed = 2;
    shape.m_nEopBits = 2;
    shape.m_dRiseTime = 10e-9;
    shape.m_dFallTime = 15e-9;
    const CPacketMeasurement m = Measure(Synthesize(shape, spec), spec);
    EXPECT_NEAR(m.m_dRiseRate, 330.0, 33.0);
    EXPECT_NEAR(m.m_dFallRate, 220.0, 22.0);
    EXPECT_NEAR(m.m_dEdgeRateMatch, 40.0, 2.0);
}

TEST(MeasurePackets, JumpFromJStraightToKClearsTheAllEdgesFlag) {
    const CSigSpec spec = MakeSpec(3);
    Capture c = Synthesize(Shape(), spec);
    EXPECT_EQ(Measure(c, spec).m_bAllEdgesFound, 1);
    // Sampling too coarse to catch the edge: the K follows the J directly.
    std::vector<CSymbolRun>& runs = c.m_Packet.m_Symbols;
    std::size_t s = 40;
    while (runs[s].m_nSymbol != 3) ++s;
    runs[s - 1].m_dEnd = runs[s].m_dEnd;
    runs[s - 1].m_nLastSample = runs[s].m_nLastSample;
    runs.erase(runs.begin() + s);
    EXPECT_EQ(Measure(c, spec).m_bAllEdgesFound, 0);
}

TEST(MeasurePackets, PairedJitterNeedsMoreThanFiveTransitions) {
    CSigSpec spec = MakeSpec(3);
    Shape shape;
    shape.m_dJitter = 40e-12;
    const Capture c = Synthesize(shape, spec);
    const int32_t crossings = Measure(c, spec).m_nCrossings;
    // Skipping all but five (then six) transitions at the start.
    spec.m_nCrossoverFirst = crossings - 5;
    const CPacketMeasurement five = Measure(c, spec);
    EXPECT_EQ(five.m_nJitterCount, 5);
    for (const double v : {five.m_dJKJitterMin, five.m_dJKJitterMax, five.m_dJKJitterRms,
                           five.m_dKJJitterMin, five.m_dKJJitterMax, five.m_dKJJitterRms}) {
        EXPECT_EQ(v, 0.0);
    }
    spec.m_nCrossoverFirst = crossings - 6;
    const CPacketMeasurement six = Measure(c, spec);
    EXPECT_EQ(six.m_nJitterCount, 6);
    EXPECT_TRUE(std::isfinite(six.m_dKJJitterRms));
    EXPECT_GT(six.m_dKJJitterRms, 0.0);
    EXPECT_GT(six.m_dJKJitterRms, 0.0);
}

TEST(MeasurePackets, PacketsTooShortForTheSkipCountsFailWithAClearText) {
    CSigSpec spec = MakeSpec(3);
    const Capture c = Synthesize(Shape(), spec);
    const auto failure = [&](const CPacketEntry& packet, const CSigSpec& sp) {
        try {
            CMeasurePackets().MeasurePacket(packet, Config(), sp, c.m_Time, c.m_Diff, {}, {});
        } catch (const CAnalysisError& e) {
            return e.Text();
        }
        return std::string();
    };
    // Skip counts that leave no interval between transitions.
    spec.m_nCrossoverFirst = 500;
    EXPECT_EQ(failure(c.m_Packet, spec), "too few transitions in packet");
    // A packet of the EOP alone has no crossing at all.
    CPacketEntry eopOnly;
    eopOnly.m_Symbols.push_back(c.m_Packet.m_Symbols.back());
    EXPECT_EQ(failure(eopOnly, MakeSpec(3)), "too few transitions in packet");
    // A full-speed packet whose every crossover falls inside the last half bit.
    const CSigSpec fs = MakeSpec(2);
    Shape shape;
    shape.m_nSpeed = 2;
    shape.m_nEopBits = 2;
    shape.m_dRiseTime = shape.m_dFallTime = 20e-9;
    const Capture f = Synthesize(shape, fs);
    CPacketEntry tail;
    const auto& runs = f.m_Packet.m_Symbols;
    tail.m_Symbols.assign(runs.end() - 3, runs.end());
    try {
        CMeasurePackets().MeasurePacket(tail, Config(), fs, f.m_Time, f.m_Diff, f.m_DMinus,
                                        f.m_DPlus);
        ADD_FAILURE() << "no failure";
    } catch (const CAnalysisError& e) {
        EXPECT_EQ(e.Text(), "too few transitions in packet");
    }
}

// An EOP end recorded before the last grid point extends the boundaries by nothing.
TEST(MeasurePackets, EopBeforeTheLastGridPointAddsNoBoundaries) {
    const CSigSpec spec = MakeSpec(3);
    Capture c = Synthesize(Shape(), spec);
    const CPacketMeasurement normal = Measure(c, spec);
    c.m_Packet.m_Symbols.back().m_dEnd = c.m_Packet.m_Symbols.back().m_dStart - 20 * kHsBit;
    const CPacketMeasurement early = Measure(c, spec);
    EXPECT_LT(early.m_BitTimes.size(), normal.m_BitTimes.size());
    EXPECT_GT(early.m_BitTimes.size(), 50u);
    EXPECT_EQ(early.m_BitTimes.front(), normal.m_BitTimes.front());
}

TEST(MeasurePackets, RunMeasuresOnlyTheFirstCompletePacket) {
    const CSigSpec spec = MakeSpec(3);
    const Capture c = Synthesize(Shape(), spec);
    CAnalysisRecord record;
    record.m_Time = c.m_Time;
    record.m_Diff = c.m_Diff;
    CPacketEntry broken;
    broken.m_nStatus = 1;
    record.m_Packets = {broken, c.m_Packet, c.m_Packet};
    record = CMeasurePackets().Run(std::move(record), Config(), spec);
    ASSERT_EQ(record.m_Measurements.size(), 1u);
    EXPECT_GT(record.m_Measurements[0].m_nCrossings, 20);
    EXPECT_EQ(record.m_Measurements[0].m_dMeanCrossover, 0.0);
    EXPECT_TRUE(record.m_Measurements[0].m_CrossoverVolts.empty());

    record.m_Measurements.clear();
    record.m_Packets = {broken};
    record = CMeasurePackets().Run(std::move(record), Config(), spec);
    EXPECT_TRUE(record.m_Measurements.empty());
}

// The shared capture synthesizer, read straight from its sample source: every
// figure against the truth it reports.
Capture FromSource(const synth::SampleSource& source, const CSigSpec& spec, double eopStart) {
    Capture c;
    std::vector<double> values(source.m_ChannelNames.size());
    for (std::size_t k = 0; k < source.m_nSamples; ++k) {
        source.m_Sample(k, values.data());
        c.m_Time.push_back(source.Time(k));
        if (values.size() == 1) {
            c.m_Diff.push_back(values[0]);
        } else {
            c.m_DPlus.push_back(values[0]);
            c.m_DMinus.push_back(values[1]);
            c.m_Diff.push_back(values[0] - values[1]);
        }
    }
    CutPacket(c, spec, eopStart - spec.m_dBitTime);
    return c;
}

TEST(MeasurePackets, SynthesizedCapturesAgreeWithTheirTruth) {
    {
        const CSigSpec spec = MakeSpec(3);
        synth::HighSpeedParams params;
        params.m_Traffic.m_dRatePpm = -700.0;
        params.m_Traffic.m_nPayloadBytes = 24;
        params.m_Traffic.m_Jitter.m_dPeriodicAmplitude = 40e-12;
        params.m_Traffic.m_Jitter.m_dPeriodicFrequency = 20e6;
        params.m_Traffic.m_nEopBits = 40;
        params.m_nSyncBitsDropped = 4;
        synth::SynthTruth truth;
        const synth::SampleSource source = synth::MakeHighSpeedSource(params, truth);
        const CPacketMeasurement m = Measure(FromSource(source, spec, truth.m_dEopStart), spec);
        EXPECT_NEAR(1.0 / m.m_dUnitInterval, truth.m_dBitRate, truth.m_dBitRate * 20e-6);
        EXPECT_EQ(m.m_nSyncBitsDropped, 4);
        EXPECT_EQ(m.m_nSyncMatches, 1);
        EXPECT_NEAR((m.m_dEopEnd - m.m_dEopStart) / truth.m_dUnitInterval, 40.0, 0.25);
        // The grid absorbs part of a sinusoid that is slow against the packet.
        EXPECT_LT(m.m_dConsecJitterMax, truth.m_dJitterPeak * 1.15);
        EXPECT_NEAR(m.m_dRiseRate, truth.m_dRiseRate, truth.m_dRiseRate * 0.1);
        EXPECT_NEAR(m.m_dFallRate, truth.m_dFallRate, truth.m_dFallRate * 0.1);
    }
    const CSigSpec spec = MakeSpec(2);
    synth::SingleEndedParams params;
    params.m_Traffic.m_dRatePpm = 10000.0;
    params.m_dCrossover = 1.6;
    params.m_dFallTime = 14e-9;
    synth::SynthTruth truth;
    const synth::SampleSource source = synth::MakeSingleEndedSource(params, truth);
    const CPacketMeasurement m = Measure(FromSource(source, spec, truth.m_dEopStart), spec);
    EXPECT_NEAR(1.0 / m.m_dUnitInterval, truth.m_dBitRate, truth.m_dBitRate * 0.0005);
    EXPECT_NEAR(m.m_dMeanCrossover, truth.m_dCrossover, 0.02);
    EXPECT_NEAR((m.m_dEopEnd - m.m_dEopStart) / truth.m_dUnitInterval, 2.0, 0.25);
    EXPECT_NEAR(m.m_dEdgeRateMatch, truth.m_dEdgeRateMatch, 2.0);
}
