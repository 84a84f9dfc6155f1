#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "entry/CAnalysisError.h"
#include "signal/CFindEOPedges.h"
#include "spec/CSignalConfig.h"

namespace {

CSymbolRun MakeRun(int32_t symbol, double bits, int32_t first, int32_t last) {
    CSymbolRun r;
    r.m_nSymbol = symbol;
    r.m_dBits = bits;
    r.m_nFirstSample = first;
    r.m_nLastSample = last;
    r.m_dStart = first * 1e-9;
    r.m_dEnd = (last + 1) * 1e-9;
    return r;
}

// One sample per nanosecond: a data state on samples 0-5, a one-sample glitch, SE0
// on samples 7-12, idle J from sample 13. The line leaving the data state is 1.5 V
// at sample 6, so 1 V is crossed at 6 1/3 ns; the idle-high line returns through
// 1.5 V at sample 13, crossing 1 V at 12 2/3 ns.
struct Lines {
    std::vector<double> m_Time, m_IdleHigh, m_Other;
};

Lines EopLines(bool lastStateIsJ) {
    Lines l;
    for (int i = 0; i < 20; ++i) {
        l.m_Time.push_back(i * 1e-9);
        const double leaving = i < 6 ? 3.0 : i == 6 ? 1.5 : 0.0;
        const double idle = i < 13 ? 0.0 : i == 13 ? 1.5 : 3.0;
        l.m_IdleHigh.push_back(lastStateIsJ ? std::max(leaving, idle) : idle);
        l.m_Other.push_back(lastStateIsJ ? 0.0 : leaving);
    }
    return l;
}

std::vector<CSymbolRun> EopRuns(int32_t lastState) {
    return {MakeRun(lastState, 3.0, 0, 5), MakeRun(3, 0.3, 6, 6), MakeRun(0, 2.0, 7, 12),
            MakeRun(1, 5.0, 13, 20)};
}

std::string Failure(const std::vector<CSymbolRun>& runs, const Lines& l, double threshold) {
    try {
        CFindEOPedges().FindEopEdges(runs, *CSignalConfig().BuildConfig(), l.m_Time, l.m_IdleHigh,
                                     l.m_Other, threshold);
    } catch (const CAnalysisError& e) {
        return e.Text();
    }
    return "";
}

}  // namespace

TEST(FindEOPedges, LeadingEdgeIsOnTheLineTheLastDataStateHeldHigh) {
    const CFindEOPedges finder;
    const CSigConfig config = *CSignalConfig().BuildConfig();
    for (const bool fromJ : {true, false}) {
        const Lines l = EopLines(fromJ);
        const EopEdges e = finder.FindEopEdges(EopRuns(fromJ ? 2 : 4), config, l.m_Time,
                                               l.m_IdleHigh, l.m_Other, 1.0);
        EXPECT_NEAR(e.m_dStart, 6.0e-9 + 1e-9 / 3, 1e-18) << fromJ;
        EXPECT_NEAR(e.m_dEnd, 12.0e-9 + 2e-9 / 3, 1e-18) << fromJ;
    }
    // Two samples stamped with one time: the earlier stamp is the edge.
    Lines l = EopLines(true);
    l.m_Time[7] = l.m_Time[6];
    const EopEdges e =
        finder.FindEopEdges(EopRuns(2), config, l.m_Time, l.m_IdleHigh, l.m_Other, 1.0);
    EXPECT_EQ(e.m_dStart, l.m_Time[6]);
}

TEST(FindEOPedges, MissingDataStateOrEdgeGivesEopNotFound) {
    const Lines l = EopLines(true);
    std::vector<CSymbolRun> runs = EopRuns(2);
    // SE0 first in the packet: nothing before it.
    EXPECT_EQ(Failure({runs[2], runs[3]}, l, 1.0), "EOP not found");
    // Only a glitch before SE0.
    EXPECT_EQ(Failure({runs[1], runs[2], runs[3]}, l, 1.0), "EOP not found");
    // A J state whose recorded line never rose: the walk back reaches sample 0.
    EXPECT_EQ(Failure(EopRuns(2), EopLines(false), 1.0), "EOP not found");
    // The bus never returns to idle before the capture ends.
    Lines stuck = l;
    for (std::size_t i = 13; i < stuck.m_IdleHigh.size(); ++i) stuck.m_IdleHigh[i] = 0.0;
    EXPECT_EQ(Failure(runs, stuck, 1.0), "EOP not found");
    // No crossover voltage to set the threshold.
    EXPECT_EQ(Failure(runs, l, std::numeric_limits<double>::quiet_NaN()), "EOP not found");
}

TEST(FindEOPedges, HighSpeedEopIsTheSe0RunWithLevelSignedByTheLastState) {
    const CFindEOPedges finder;
    const CSigConfig config = *CSignalConfig().BuildConfig();
    CSigSpec spec;
    spec.m_dDiffThreshold = 0.15;
    for (const int32_t last : {2, 4}) {
        const std::vector<CSymbolRun> runs{MakeRun(4, 1, 0, 9),      MakeRun(3, 0.1, 10, 10),
                                           MakeRun(last, 2, 11, 30), MakeRun(3, 0.1, 31, 31),
                                           MakeRun(0, 8, 32, 110),   MakeRun(1, 20, 111, 300)};
        double level = 0.0;
        const EopEdges e = finder.FindEopEdgesDiff(level, runs, config, spec);
        EXPECT_EQ(level, last == 2 ? -0.15 : 0.15);
        EXPECT_EQ(e.m_dStart, runs[4].m_dStart);
        EXPECT_EQ(e.m_dEnd, runs[4].m_dEnd);
    }
    double level = 0.0;
    const std::vector<CSymbolRun> early{MakeRun(3, 0.1, 0, 0), MakeRun(0, 8, 1, 80),
                                        MakeRun(1, 9, 81, 90)};
    const std::vector<CSymbolRun> none{MakeRun(2, 1, 0, 9), MakeRun(3, 0.1, 10, 10),
                                       MakeRun(4, 1, 11, 20)};
    for (const auto& runs : {early, none}) {
        try {
            finder.FindEopEdgesDiff(level, runs, config, spec);
            ADD_FAILURE() << "no failure";
        } catch (const CAnalysisError& e) {
            EXPECT_EQ(e.Text(), "EOP not found");
        }
    }
}
