#include "signal/CEdgeRates.h"

#include <algorithm>

#include "signal/CVectorMath.h"

namespace {

constexpr double kVoltsPerSecondToVoltsPerMicrosecond = 1e-6;

// Transit times of the edges found on one line, seconds.
struct Transits {
    std::vector<double> m_Rise;
    std::vector<double> m_Fall;
};

double LevelCrossing(const CSampleTimes& time, const std::vector<double>& x, std::size_t a,
                     std::size_t b, double level) {
    const double ta = time[a];
    const double tb = time[b];
    if (ta == tb) return ta;
    const double slope = (x[b] - x[a]) / (tb - ta);
    if (slope == 0.0) return (ta + tb) * 0.5;
    return ta + (level - x[a]) / slope;
}

// Each edge is kept only when both of its level crossings lie inside the walk, so
// an edge that starts mid-band (high-speed idle at 0 V sits inside ±175 mV) or is
// cut by the limit cannot shift the pairing of every later edge.
void WalkLine(const CSampleTimes& time, const std::vector<double>& x, std::size_t start,
              double limitTime, double high, double low, double deadTime, Transits& out) {
    const std::size_t n = std::min(time.size(), x.size());
    std::size_t i = start;
    const auto inside = [&](std::size_t k) { return k < n && time[k] < limitTime; };
    while (inside(i)) {
        if (x[i] < high) {
            const bool fromLow = x[i] <= low;
            double lowCrossing = 0.0;
            if (fromLow) {
                while (inside(i) && x[i] <= low) ++i;
                if (!inside(i)) break;
                lowCrossing = LevelCrossing(time, x, i - 1, i, low);
            }
            while (inside(i) && x[i] < high) ++i;
            if (!inside(i)) break;
            const double highCrossing = LevelCrossing(time, x, i - 1, i, high);
            if (fromLow && highCrossing > lowCrossing) {
                out.m_Rise.push_back(highCrossing - lowCrossing);
            }
        } else {
            while (inside(i) && x[i] >= high) ++i;
            if (!inside(i)) break;
            const double highCrossing = LevelCrossing(time, x, i - 1, i, high);
            while (inside(i) && x[i] > low) ++i;
            if (!inside(i)) break;
            const double lowCrossing = LevelCrossing(time, x, i - 1, i, low);
            if (lowCrossing > highCrossing) out.m_Fall.push_back(lowCrossing - highCrossing);
        }
        // Ringing just after an edge must not count as a new edge.
        const double quietUntil = time[i] + deadTime;
        while (inside(i) && time[i] < quietUntil) ++i;
    }
}

}  // namespace

EdgeRateSet CEdgeRates::MeasureEdgeRates(const CSampleTimes& time, const std::vector<double>& diff,
                                         const CSigSpec& spec, const std::vector<double>& dPlus,
                                         const std::vector<double>& dMinus, double limitTime,
                                         std::size_t firstSample) const {
    const double high = spec.m_dEyeLevelHigh;
    const double low = spec.m_dEyeLevelLow;
    const double deadTime = spec.m_dBitTime / 2.0;
    const std::size_t n = time.size();
    Transits transits;

    if (dPlus.empty()) {
        std::size_t s = firstSample;
        // Start from a settled level, not from inside an edge.
        while (s < n && s < diff.size() && diff[s] > low && diff[s] < high) ++s;
        WalkLine(time, diff, s, limitTime, high, low, deadTime, transits);
    } else if (dMinus.size() == dPlus.size() && dPlus.size() == n) {
        // The line that is high in idle starts the walk; each J/K edge moves both
        // lines, so both are walked from the same sample.
        const bool minusFirst = dMinus[0] > dPlus[0];
        const std::vector<double>& lineA = minusFirst ? dMinus : dPlus;
        const std::vector<double>& lineB = minusFirst ? dPlus : dMinus;
        std::size_t s = firstSample;
        while (s < n && time[s] < limitTime && lineA[s] <= high) ++s;
        WalkLine(time, lineA, s, limitTime, high, low, deadTime, transits);
        WalkLine(time, lineB, s, limitTime, high, low, deadTime, transits);
    }

    const double swing = high - low;
    std::vector<double> rise;
    std::vector<double> fall;
    rise.reserve(transits.m_Rise.size());
    fall.reserve(transits.m_Fall.size());
    for (const double t : transits.m_Rise) {
        rise.push_back(swing / t * kVoltsPerSecondToVoltsPerMicrosecond);
    }
    for (const double t : transits.m_Fall) {
        fall.push_back(swing / t * kVoltsPerSecondToVoltsPerMicrosecond);
    }
    return {CVectorMath::Min(rise), CVectorMath::Max(rise), CVectorMath::Mean(rise),
            CVectorMath::Min(fall), CVectorMath::Max(fall), CVectorMath::Mean(fall)};
}
