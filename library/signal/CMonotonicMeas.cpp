#include "signal/CMonotonicMeas.h"

#include <algorithm>
#include <cstddef>

#include "signal/CVectorMath.h"

namespace {

// Running extremes start beyond any line voltage so the first sample always takes over.
constexpr double kNoExtremeV = 1000.0;

struct Walk {
    const CSampleTimes& time;
    const std::vector<double>& x;
    std::size_t last;  // last sample of the window, inclusive
    double vLow;       // band of the inner polygon
    double vHigh;
    MonotonicResult& result;

    void Record(double depth, std::size_t i) const {
        result.m_Excursions.push_back(depth);
        result.m_Times.push_back(time[i]);
    }

    // From the first sample above the band's lower edge to the first at or above its
    // upper edge; returns that sample.
    std::size_t Rising(std::size_t i) const {
        double peak = -kNoExtremeV;
        double dip = kNoExtremeV;
        bool fallingBack = false;
        for (; i <= last && x[i] < vHigh; ++i) {
            const double v = x[i];
            if (!fallingBack) {
                if (v >= peak) {
                    peak = v;
                } else {
                    fallingBack = true;
                    dip = v;
                }
            } else if (v < peak) {
                dip = std::min(dip, v);
            } else {
                // A dip back below the band is the line ringing to its old level, not a
                // reversal inside the band.
                if (dip > vLow && dip < peak) Record(peak - dip, i);
                dip = kNoExtremeV;
                fallingBack = false;
                peak = v;
            }
        }
        return i;
    }

    std::size_t Falling(std::size_t i) const {
        double trough = kNoExtremeV;
        double bump = -kNoExtremeV;
        bool risingBack = false;
        for (; i <= last && x[i] > vLow; ++i) {
            const double v = x[i];
            if (!risingBack) {
                if (v <= trough) {
                    trough = v;
                } else {
                    risingBack = true;
                    bump = v;
                }
            } else if (v > trough) {
                bump = std::max(bump, v);
            } else {
                if (bump > trough && bump < vHigh) Record(bump - trough, i);
                bump = -kNoExtremeV;
                risingBack = false;
                trough = v;
            }
        }
        return i;
    }

    void Run(std::size_t i) const {
        // A window that opens inside the band (high-speed idle sits at 0 V) has no edge
        // direction yet.
        while (i <= last && x[i] > vLow && x[i] < vHigh) ++i;
        while (i <= last) {
            if (x[i] <= vLow) {
                while (i <= last && x[i] <= vLow) ++i;
                i = Rising(i);
            } else if (x[i] >= vHigh) {
                while (i <= last && x[i] >= vHigh) ++i;
                i = Falling(i);
            } else {
                ++i;
            }
        }
    }
};

// First sample at or after `t`; the last sample when the capture ends before it.
std::size_t SampleAtOrAfter(const CSampleTimes& time, double t) {
    const auto it = std::lower_bound(time.begin(), time.end(), t);
    const std::size_t i = static_cast<std::size_t>(it - time.begin());
    return std::min(i, time.size() - 1);
}

void WalkTrace(const CSampleTimes& time, const std::vector<double>& x, std::size_t from,
               std::size_t to, double vLow, double vHigh, MonotonicResult& result) {
    if (x.empty()) return;
    const std::size_t last = std::min({to, x.size() - 1, time.size() - 1});
    if (from > last) return;
    Walk{time, x, last, vLow, vHigh, result}.Run(from);
}

}  // namespace

MonotonicResult CMonotonicMeas::MeasureMonotonic(const CSampleTimes& time,
                                                 const std::vector<double>& diff,
                                                 const CSigSpec& limits, double eopStart,
                                                 double eopEnd, const std::vector<double>& dMinus,
                                                 const std::vector<double>& dPlus,
                                                 const CPacketEntry& packet) const {
    MonotonicResult result;
    const std::vector<double>& inner = limits.m_Eye1.InnerV;
    if (time.empty() || packet.m_Symbols.empty() || inner.empty()) return result;
    const double vLow = *std::min_element(inner.begin(), inner.end());
    const double vHigh = *std::max_element(inner.begin(), inner.end());

    const std::size_t from = SampleAtOrAfter(time, packet.m_Symbols.front().m_dStart);
    if (dMinus.empty()) {
        const std::size_t to = SampleAtOrAfter(time, eopStart);
        WalkTrace(time, diff, from, to, vLow, vHigh, result);
    } else {
        // Half the longest allowed bit time past the EOP takes in the return to idle.
        const std::size_t to = SampleAtOrAfter(time, eopEnd + 0.5 / limits.m_dRateMin);
        const bool minusIdlesHigh = !dPlus.empty() && dMinus[0] > dPlus[0];
        const std::vector<double>& lineA = minusIdlesHigh ? dMinus : dPlus;
        const std::vector<double>& lineB = minusIdlesHigh ? dPlus : dMinus;
        // Both lines are walked over the packet's own window: edges of earlier traffic
        // on either line are not this packet's.
        WalkTrace(time, lineA, from, to, vLow, vHigh, result);
        WalkTrace(time, lineB, from, to, vLow, vHigh, result);
    }
    result.m_dMonotonic = CVectorMath::Max(result.m_Excursions);
    return result;
}
