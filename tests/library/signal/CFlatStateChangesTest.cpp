// The samples where a trace changes line state, found eight at a time, must be exactly
// those a sample-by-sample reading finds, wherever a stretch starts and ends and whatever
// state the sample before it was in.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "signal/CFlatStateChanges.h"

namespace {

std::vector<int32_t> ChangesOneByOne(const std::vector<double>& trace, std::size_t from,
                                     std::size_t to, double jSign, double threshold, int& state) {
    std::vector<int32_t> changes;
    for (std::size_t i = from; i < to; ++i) {
        const int next = CFlatStateChanges::StateOf(trace[i], jSign, threshold);
        if (next != state) changes.push_back(static_cast<int32_t>(i));
        state = next;
    }
    return changes;
}

}  // namespace

TEST(FlatStateChanges, EightAtATimeFindsTheChangesASampleBySampleReadingFinds) {
    std::mt19937_64 random(5);
    // Levels around J, K and the between level, samples exactly on a threshold, and
    // samples that are no number.
    const double levels[] = {0.4, -0.4, 0.0,  0.1,   -0.1,
                             0.2, -0.2, 0.35, -0.35, std::numeric_limits<double>::quiet_NaN()};
    struct Case {
        double m_dSign;
        double m_dThreshold;
        int m_nRunLength;  // samples a level is held on average
    };
    const Case cases[] = {{1.0, 0.1, 1},   {-1.0, 0.1, 3}, {1.0, 0.2, 19},
                          {-1.0, 0.35, 7}, {1.0, 0.0, 2},  {1.0, -0.1, 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_dThreshold);
        std::vector<double> trace(5000);
        std::geometric_distribution<int> hold(1.0 / c.m_nRunLength);
        for (std::size_t i = 0; i < trace.size();) {
            const double level = levels[random() % std::size(levels)];
            for (int n = hold(random) + 1; n > 0 && i < trace.size(); --n) trace[i++] = level;
        }
        for (int trial = 0; trial < 200; ++trial) {
            const std::size_t from = random() % trace.size();
            const std::size_t to = from + random() % (trace.size() - from + 1);
            const int before = static_cast<int>(random() % 3);
            int wantState = before, gotState = before;
            const std::vector<int32_t> want =
                ChangesOneByOne(trace, from, to, c.m_dSign, c.m_dThreshold, wantState);
            std::vector<int32_t> got(to - from + CFlatStateChanges::kSlack);
            got.resize(CFlatStateChanges::Find(trace.data(), from, to, c.m_dSign, c.m_dThreshold,
                                               gotState, got.data()));
            ASSERT_EQ(got, want) << "from " << from << " to " << to << " after " << before;
            ASSERT_EQ(gotState, wantState);
        }
    }
}
