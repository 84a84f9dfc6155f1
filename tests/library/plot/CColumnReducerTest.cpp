// A column's samples joined as one must leave the very points that joining them one by
// one leaves: the first highest and lowest, in the order they came, and the last.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "plot/CColumnReducer.h"
#include "plot/CPlotScale.h"

namespace {

struct Scale {
    double m_dOrigin;
    double m_dScale;  // pixels per volt, upwards
};

std::vector<CPixel> Reduced(const std::vector<double>& ys, const Scale& s, bool asRun) {
    std::vector<CPixel> points;
    CColumnReducer reducer(points);
    const auto height = [&](double v) { return s.m_dOrigin - s.m_dScale * v; };
    reducer.Add(0, 10.0, height(ys[0]));
    if (asRun) {
        reducer.JoinRun(ys, 1, ys.size(), s.m_dOrigin, s.m_dScale);
    } else {
        for (std::size_t i = 1; i < ys.size(); ++i)
            if (CPlotScale::IsSample(ys[i])) reducer.Join(i, height(ys[i]));
    }
    reducer.Flush();
    return points;
}

}  // namespace

TEST(ColumnReducer, AColumnJoinedAsOneLeavesThePointsOfOneByOne) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    // Scales where many volts fall on one height, a plain one, a flat and an upside-down one.
    const Scale scales[] = {{200.0, 1e-14}, {200.0, 250.0}, {200.0, 0.0}, {200.0, -250.0}};
    const double levels[] = {0.4,
                             -0.4,
                             0.0,
                             0.4000000000000001,
                             -0.0,
                             0.2,
                             nan,
                             CPlotScale::kOverflowMark,
                             -CPlotScale::kOverflowMark};
    std::mt19937_64 random(9);
    for (const Scale& scale : scales) {
        SCOPED_TRACE(scale.m_dScale);
        for (int column = 0; column < 3000; ++column) {
            std::vector<double> ys(1 + random() % 40);
            for (double& y : ys) y = levels[random() % std::size(levels)];
            if (!CPlotScale::IsSample(ys[0])) ys[0] = 0.1;  // a column opens on a sample
            ASSERT_EQ(Reduced(ys, scale, true), Reduced(ys, scale, false)) << column;
        }
    }
}
