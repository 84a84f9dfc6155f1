#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <vector>

#include "FailureText.h"
#include "signal/CFindEOPedges.h"
#include "spec/CSignalConfig.h"

namespace {

const CSigConfig kConfig = *CSignalConfig().BuildConfig();
const int32_t E = kConfig.m_nSymE, J = kConfig.m_nSymJ, S = kConfig.m_nSymS, K = kConfig.m_nSymK;

CSymbolRun MakeRun(int32_t symbol, double bits, int32_t first, int32_t last) {
    return {symbol, 0, bits, first * 1e-9, (last + 1) * 1e-9, first, last, 0};
}

// One sample per nanosecond: a data state on samples 0-5, a one-sample glitch, SE0
// on samples 7-12, idle J from sample 13. The line leaving the data state is 1.5 V
// at sample 6, so 1 V is crossed at 6 1/3 ns; the idle-high line returns through
// 1.5 V at sample 13, crossing 1 V at 12 2/3 ns. Out of J the idle-high line falls
// into SE0, out of K the other line.
struct Lines {
    std::vector<CSymbolRun> m_Runs;
    CSampleTimes m_Time{0.0, 1e-9, 20};
    std::vector<double> m_IdleHigh, m_Other;
    double m_dThreshold = 1.0;
    EopEdges Find() const {
        return CFindEOPedges().FindEopEdges(m_Runs, kConfig, m_Time, m_IdleHigh, m_Other,
                                            m_dThreshold);
    }
};

Lines EopLines(bool fromJ) {
    Lines l;
    l.m_Runs = {MakeRun(fromJ ? J : K, 3.0, 0, 5), MakeRun(S, 0.3, 6, 6), MakeRun(E, 2.0, 7, 12),
                MakeRun(J, 5.0, 13, 20)};
    for (int i = 0; i < 20; ++i) {
        const double leaving = i < 6 ? 3.0 : i == 6 ? 1.5 : 0.0;
        const double idle = i < 13 ? 0.0 : i == 13 ? 1.5 : 3.0;
        l.m_IdleHigh.push_back(fromJ ? std::max(leaving, idle) : idle);
        l.m_Other.push_back(fromJ ? 0.0 : leaving);
    }
    return l;
}

}  // namespace

TEST(FindEOPedges, LeadingEdgeIsOnTheLineTheLastDataStateHeldHigh) {
    for (const bool fromJ : {true, false}) {
        const EopEdges e = EopLines(fromJ).Find();
        EXPECT_NEAR(e.m_dStart, 6.0e-9 + 1e-9 / 3, 1e-18) << fromJ;
        EXPECT_NEAR(e.m_dEnd, 12.0e-9 + 2e-9 / 3, 1e-18) << fromJ;
    }
}

// SE0 first; a glitch alone before it; a J whose line never rose; no return to idle;
// no crossover voltage to set the threshold.
TEST(FindEOPedges, MissingDataStateOrEdgeGivesEopNotFound) {
    std::vector<Lines> cases(5, EopLines(true));
    cases[0].m_Runs.erase(cases[0].m_Runs.begin(), cases[0].m_Runs.begin() + 2);
    cases[1].m_Runs.erase(cases[1].m_Runs.begin());
    cases[2].m_IdleHigh = EopLines(false).m_IdleHigh;
    std::fill(cases[3].m_IdleHigh.begin() + 13, cases[3].m_IdleHigh.end(), 0.0);
    cases[4].m_dThreshold = std::numeric_limits<double>::quiet_NaN();
    for (std::size_t k = 0; k < cases.size(); ++k)
        EXPECT_EQ(FailureText([&] { cases[k].Find(); }), "EOP not found") << k;
}
