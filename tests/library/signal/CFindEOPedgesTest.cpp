#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

#include "entry/CAnalysisError.h"
#include "signal/CFindEOPedges.h"
#include "spec/CSignalConfig.h"

namespace {

const CSigConfig kConfig = *CSignalConfig().BuildConfig();
const int32_t E = kConfig.m_nSymE, I = kConfig.m_nSymI, J = kConfig.m_nSymJ, S = kConfig.m_nSymS,
              K = kConfig.m_nSymK;

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
// 1.5 V at sample 13, crossing 1 V at 12 2/3 ns. Out of J the idle-high line falls
// into SE0, out of K the other line.
struct Lines {
    std::vector<CSymbolRun> m_Runs;
    std::vector<double> m_Time, m_IdleHigh, m_Other;
    EopEdges Find(double threshold = 1.0) const {
        return CFindEOPedges().FindEopEdges(m_Runs, kConfig, m_Time, m_IdleHigh, m_Other,
                                            threshold);
    }
};

Lines EopLines(bool fromJ) {
    Lines l;
    l.m_Runs = {MakeRun(fromJ ? J : K, 3.0, 0, 5), MakeRun(S, 0.3, 6, 6), MakeRun(E, 2.0, 7, 12),
                MakeRun(J, 5.0, 13, 20)};
    for (int i = 0; i < 20; ++i) {
        l.m_Time.push_back(i * 1e-9);
        const double leaving = i < 6 ? 3.0 : i == 6 ? 1.5 : 0.0;
        const double idle = i < 13 ? 0.0 : i == 13 ? 1.5 : 3.0;
        l.m_IdleHigh.push_back(fromJ ? std::max(leaving, idle) : idle);
        l.m_Other.push_back(fromJ ? 0.0 : leaving);
    }
    return l;
}

std::string Failure(const Lines& l, double threshold = 1.0) {
    try {
        l.Find(threshold);
    } catch (const CAnalysisError& e) {
        return e.Text();
    }
    return "";
}

}  // namespace

TEST(FindEOPedges, LeadingEdgeIsOnTheLineTheLastDataStateHeldHigh) {
    for (const bool fromJ : {true, false}) {
        const EopEdges e = EopLines(fromJ).Find();
        EXPECT_NEAR(e.m_dStart, 6.0e-9 + 1e-9 / 3, 1e-18) << fromJ;
        EXPECT_NEAR(e.m_dEnd, 12.0e-9 + 2e-9 / 3, 1e-18) << fromJ;
    }
    // Two samples stamped with one time: the earlier stamp is the edge.
    Lines l = EopLines(true);
    l.m_Time[7] = l.m_Time[6];
    EXPECT_EQ(l.Find().m_dStart, l.m_Time[6]);
}

TEST(FindEOPedges, MissingDataStateOrEdgeGivesEopNotFound) {
    std::vector<Lines> cases(5, EopLines(true));
    cases[0].m_Runs.erase(cases[0].m_Runs.begin(), cases[0].m_Runs.begin() + 2);  // SE0 first
    cases[1].m_Runs.erase(cases[1].m_Runs.begin());                               // a glitch only
    cases[2].m_IdleHigh = EopLines(false).m_IdleHigh;  // a J whose line never rose
    for (std::size_t i = 13; i < 20; ++i) cases[3].m_IdleHigh[i] = 0.0;  // no return to idle
    for (std::size_t k = 0; k < cases.size(); ++k) {
        // The last: no crossover voltage to set the threshold.
        const double threshold = k == 4 ? std::numeric_limits<double>::quiet_NaN() : 1.0;
        EXPECT_EQ(Failure(cases[k], threshold), "EOP not found") << k;
    }
}

// At high speed the EOP is the SE0-labelled run, two runs after the last data state;
// the level it is drawn at takes the sign of that state's opposite.
TEST(FindEOPedges, HighSpeedEopIsTheSe0Run) {
    CSigSpec spec;
    spec.m_dDiffThreshold = 0.15;
    const std::vector<CSymbolRun> runs{MakeRun(K, 1, 0, 9),    MakeRun(S, 0.1, 10, 10),
                                       MakeRun(J, 2, 11, 30),  MakeRun(S, 0.1, 31, 31),
                                       MakeRun(E, 8, 32, 110), MakeRun(I, 20, 111, 300)};
    double level = 0.0;
    const EopEdges e = CFindEOPedges().FindEopEdgesDiff(level, runs, kConfig, spec);
    EXPECT_EQ(level, -0.15);
    EXPECT_EQ(e.m_dStart, runs[4].m_dStart);
    EXPECT_EQ(e.m_dEnd, runs[4].m_dEnd);
    // SE0 with no data state before it, and no SE0 at all.
    for (const auto& cut : {std::vector<CSymbolRun>(runs.begin() + 3, runs.end()),
                            std::vector<CSymbolRun>(runs.begin(), runs.begin() + 3)}) {
        EXPECT_THROW(CFindEOPedges().FindEopEdgesDiff(level, cut, kConfig, spec), CAnalysisError);
    }
}
