#include "signal/CEyeCheck.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>

#include "common/CAnalysisError.h"
#include "signal/CVectorMath.h"

namespace {

// One edge of the inner keep-out polygon: straight segments between vertices in rising time.
class Edge {
public:
    void Add(double t, double v) {
        if (!m_T.empty()) {
            const double span = t - m_T.back();
            m_Base.push_back(span > 0.0 ? m_V.back() : v);
            m_Slope.push_back(span > 0.0 ? (v - m_V.back()) / span : 0.0);
        }
        m_T.push_back(t);
        m_V.push_back(v);
    }

    // Voltage at `tau`, or false outside the edge's time span. `segment` carries the last
    // segment used: the folded times of one unit interval only rise.
    bool At(double tau, std::size_t& segment, double& v) const {
        if (m_T.size() < 2 || tau < m_T.front() || tau > m_T.back()) return false;
        if (segment >= m_Slope.size() || tau < m_T[segment]) segment = 0;
        while (tau > m_T[segment + 1]) ++segment;
        v = m_Base[segment] + m_Slope[segment] * (tau - m_T[segment]);
        return true;
    }

private:
    std::vector<double> m_T;
    std::vector<double> m_V;
    std::vector<double> m_Base;   // value at the segment start
    std::vector<double> m_Slope;  // V/s
};

// The inner polygon runs from its left point along the lower edge to the right point
// and back along the upper edge; split there, each edge is a function of time.
struct InnerPolygon {
    double vCentre = 0.0;
    double vLow = 0.0;   // lower flat edge
    double vHigh = 0.0;  // upper flat edge
    double t1 = 0.0;     // start of the flat part
    double t2 = 0.0;     // end of the flat part
    double tCentre = 0.0;
    double tMin = 0.0;
    double tMax = 0.0;
    Edge lower;
    Edge upper;

    InnerPolygon(const std::vector<double>& innerT, const std::vector<double>& innerV)
        : vCentre(innerV.at(0)),
          vLow(innerV.at(1)),
          vHigh(innerV.at(4)),
          t1(innerT.at(1)),
          t2(innerT.at(2)),
          tCentre((t1 + t2) / 2.0) {
        const std::size_t n = std::min(innerT.size(), innerV.size());
        const std::size_t right = static_cast<std::size_t>(
            std::max_element(innerT.begin(), innerT.begin() + n) - innerT.begin());
        tMin = *std::min_element(innerT.begin(), innerT.begin() + n);
        tMax = innerT[right];
        for (std::size_t j = 0; j <= right; ++j) lower.Add(innerT[j], innerV[j]);
        for (std::size_t j = n; j-- > right;) upper.Add(innerT[j], innerV[j]);
    }

    // Lower and upper edge at folded time `tau`; outside the polygon both are the centre
    // line, an empty band that nothing can fall into.
    void Band(double tau, std::size_t cursor[2], double& lo, double& hi) const {
        if (!lower.At(tau, cursor[0], lo) || !upper.At(tau, cursor[1], hi)) {
            lo = vCentre;
            hi = vCentre;
        }
    }
};

// Time at which the straight line through two samples reaches `level`.
double CrossingTime(double ta, double xa, double tb, double xb, double level) {
    if (ta == tb) return ta;
    const double slope = (xb - xa) / (tb - ta);
    if (slope == 0.0) return (ta + tb) * 0.5;
    return ta + (level - xa) / slope;
}

double Interpolate(double ta, double xa, double tb, double xb, double tau) {
    if (ta == tb) return xb;
    return xa + (xb - xa) * (tau - ta) / (tb - ta);
}

struct Levels {
    double vTop = 0.0;     // lower edge of the top box
    double vBottom = 0.0;  // upper edge of the bottom box
};

// Flags the violations of one trace in the unit interval [first, last] folded on
// `boundary`, into `flags` whose first entry is capture sample `flagStart`.
void FlagInterval(const CSampleTimes& time, const std::vector<double>& x, std::size_t first,
                  std::size_t last, double boundary, double dt, const InnerPolygon& polygon,
                  const Levels& levels, std::vector<int32_t>& flags, std::size_t flagStart) {
    const std::size_t n = time.size();
    const double tau0 = time[first] - boundary;
    std::size_t cursor[2] = {0, 0};
    for (std::size_t i = first; i <= last; ++i) {
        const double xi = x[i];
        bool bad = (xi >= levels.vTop) || (xi <= levels.vBottom);
        const double tau = tau0 + static_cast<double>(i - first) * dt;
        if (!bad && tau <= polygon.tMax) {
            double lo = 0.0;
            double hi = 0.0;
            polygon.Band(tau, cursor, lo, hi);
            bad = (lo != hi) && (lo <= xi) && (xi <= hi);
            // An edge faster than the sampling can jump the polygon between two samples.
            if (!bad && i + 1 < n) {
                const double xn = x[i + 1];
                if ((xi > hi && xn < lo) || (xi < lo && xn > hi)) {
                    const double tc = CrossingTime(time[i] - boundary, xi, time[i + 1] - boundary,
                                                   xn, polygon.vCentre);
                    bad = (tc > polygon.tMin) && (tc < polygon.tMax);
                }
            }
        }
        if (bad) flags[i - flagStart] = 1;
    }
}

// Clearances of one trace in the flat part of the unit interval [first, last].
void MarginsOfInterval(const CSampleTimes& time, const std::vector<double>& x, std::size_t first,
                       std::size_t last, double boundary, double eopStart,
                       const InnerPolygon& polygon, const Levels& levels, CEyeResult& eye) {
    for (std::size_t i = first; i <= last; ++i) {
        const double tau = time[i] - boundary;
        if (tau < polygon.t1 || tau > polygon.t2 || !(time[i] < eopStart)) continue;
        const double xi = x[i];
        if (xi > polygon.vCentre) {
            eye.m_AboveEye.push_back(xi - polygon.vHigh);
            eye.m_BelowTop.push_back(levels.vTop - xi);
            eye.m_HighValues.push_back(xi);
        } else {
            eye.m_BelowEye.push_back(polygon.vLow - xi);
            eye.m_AboveBottom.push_back(xi - levels.vBottom);
            eye.m_LowValues.push_back(xi);
        }
        const double tauPrev = time[i - 1] - boundary;
        const double xPrev = x[i - 1];
        if (tauPrev < polygon.t1) {
            const double v = Interpolate(tauPrev, xPrev, tau, xi, polygon.t1);
            if (v > polygon.vCentre) {
                eye.m_TopLeft.push_back(v - polygon.vHigh);
            } else {
                eye.m_BottomLeft.push_back(polygon.vLow - v);
            }
        }
        if (tauPrev < polygon.tCentre && tau >= polygon.tCentre) {
            const double v = Interpolate(tauPrev, xPrev, tau, xi, polygon.tCentre);
            if (v > polygon.vCentre) {
                eye.m_CentreHigh.push_back(v);
            } else {
                eye.m_CentreLow.push_back(v);
            }
        }
    }
}

// The capture's sample interval; a unit interval cannot be folded on fewer than two samples.
double SampleStep(const CSampleTimes& time) {
    if (time.size() < 2)
        throw CAnalysisError("Too few samples to lay the packet over the eye template");
    return time[1] - time[0];
}

int32_t CountFlags(const std::vector<int32_t>& flags) {
    int32_t count = 0;
    for (int32_t f : flags) count += (f != 0) ? 1 : 0;
    return count;
}

}  // namespace

CEyeResult CEyeCheck::CheckEye(std::vector<int32_t>& boundaries, const CSampleTimes& time,
                               std::vector<double>& bitTimes, const EyeTemplate& eyeTemplate,
                               const std::vector<double>& first, const std::vector<double>& second,
                               double eopStart) const {
    // The keep-out boxes span the whole unit interval: only their levels matter.
    const Levels levels{eyeTemplate.TopV.at(1), eyeTemplate.BottomV.at(1)};
    const InnerPolygon polygon(eyeTemplate.InnerT, eyeTemplate.InnerV);
    const double dt = SampleStep(time);
    const std::size_t n = time.size();
    if (first.size() < n || (!second.empty() && second.size() < n)) {
        throw CAnalysisError("Eye data is shorter than the data point times");
    }

    // A boundary is kept only if its sample lies inside the capture with one sample before
    // it; a grid that is not finite (no unit interval measured) keeps none.
    std::vector<double> keptTimes;
    boundaries.clear();
    for (double bt : bitTimes) {
        const double index = CVectorMath::RoundHalfUp((bt - time[0]) / dt);
        if (index > 0.0 && index < static_cast<double>(n)) {
            keptTimes.push_back(bt);
            boundaries.push_back(static_cast<int32_t>(index));
        }
    }
    bitTimes = std::move(keptTimes);

    CEyeResult eye;
    if (boundaries.empty()) return eye;
    // Flags span the checked unit intervals: from the first boundary to the last.
    const auto flagStart = static_cast<std::size_t>(boundaries.front());
    const std::size_t flagCount = static_cast<std::size_t>(boundaries.back()) - flagStart + 1;
    eye.m_nFlagStart = boundaries.front();
    eye.m_Flags1.assign(flagCount, 0);
    eye.m_Flags2.assign(flagCount, 0);

    for (std::size_t k = 0; k + 1 < boundaries.size(); ++k) {
        const std::size_t lo = static_cast<std::size_t>(boundaries[k]);
        const std::size_t hi = static_cast<std::size_t>(boundaries[k + 1]);
        if (hi <= lo) continue;
        const std::size_t last = hi - 1;
        FlagInterval(time, first, lo, last, bitTimes[k], dt, polygon, levels, eye.m_Flags1,
                     flagStart);
        if (!second.empty()) {
            FlagInterval(time, second, lo, last, bitTimes[k], dt, polygon, levels, eye.m_Flags2,
                         flagStart);
        }
        // The first interval still carries the edge out of idle: it is checked, not measured.
        if (k >= 1) {
            MarginsOfInterval(time, first, lo, last, bitTimes[k], eopStart, polygon, levels, eye);
            if (!second.empty()) {
                MarginsOfInterval(time, second, lo, last, bitTimes[k], eopStart, polygon, levels,
                                  eye);
            }
        }
    }
    return eye;
}

CEyeResult CEyeCheck::ApplyException(int32_t& counter, const CSampleTimes& time, CEyeResult result,
                                     double centre, double halfWidth, int32_t mode) const {
    const double dt = SampleStep(time);
    const double lastIndex = static_cast<double>(time.size() - 1);
    double from = std::floor((centre - halfWidth - time[0]) / dt);
    double to = std::ceil((centre + halfWidth - time[0]) / dt);
    if (mode == 1) from = 0.0;
    if (mode == 2) to = lastIndex;
    // A window that cannot be placed forgives nothing.
    if (std::isnan(from) || std::isnan(to)) return result;
    from = std::clamp(from, 0.0, lastIndex);
    to = std::clamp(to, 0.0, lastIndex);
    if (to < from) return result;

    const std::size_t i0 = static_cast<std::size_t>(from);
    const std::size_t i1 = static_cast<std::size_t>(to);
    // The window in flag entries; flags outside the checked intervals are all clear.
    const auto start = static_cast<std::size_t>(std::max<int32_t>(result.m_nFlagStart, 0));
    if (i1 < start) return result;
    const std::size_t j0 = std::max(i0, start) - start;
    const std::size_t j1 = i1 - start;
    auto flagged = [&](std::size_t j) {
        return (j < result.m_Flags1.size() && result.m_Flags1[j] != 0) ||
               (j < result.m_Flags2.size() && result.m_Flags2[j] != 0);
    };
    const std::size_t size = std::max(result.m_Flags1.size(), result.m_Flags2.size());
    std::size_t a = j0;
    while (a <= j1 && a < size && !flagged(a)) ++a;
    if (a > j1 || a >= size) return result;
    std::size_t b = std::min(j1, size - 1);
    while (!flagged(b)) --b;

    int32_t forgiven = 0;
    for (std::vector<int32_t>* flags : {&result.m_Flags1, &result.m_Flags2}) {
        const std::size_t end = std::min(b + 1, flags->size());
        for (std::size_t j = a; j < end; ++j) {
            if ((*flags)[j] != 0) {
                ++forgiven;
                (*flags)[j] = 0;
            }
        }
    }
    counter += forgiven;
    return result;
}

CPacketMeasurement CEyeCheck::EvaluateEye(CPacketMeasurement measurement,
                                          const CPacketEntry& packet, const CSigSpec& limits,
                                          const CSampleTimes& time,
                                          const std::vector<double>& first,
                                          const std::vector<double>& second) const {
    CPacketMeasurement& m = measurement;
    const double ui = m.m_dUnitInterval;

    m.m_Eye = CheckEye(m.m_EyeAux, time, m.m_BitTimes, limits.m_Eye1, first, second, m.m_dEopStart);
    m.m_nEyeViolations = CountFlags(m.m_Eye.m_Flags1) + CountFlags(m.m_Eye.m_Flags2);
    m.m_nFirstExcepted = 0;
    m.m_nLastExcepted = 0;
    m.m_nExceptions = 0;
    m.m_nEyeViolationsFinal = 0;
    m.m_EyeFinal = CEyeResult{};
    if (m.m_nEyeViolations == 0) return measurement;

    std::vector<int32_t> scratchBoundaries;
    CEyeResult e2 = CheckEye(scratchBoundaries, time, m.m_BitTimes, limits.m_Eye2, first, second,
                             m.m_dEopStart);

    // The packet leaves idle with a half-swing edge and ends in an EOP whose edges are
    // no data edges: violations near those transitions are forgiven. The checks above
    // found at least two samples.
    if (packet.m_Symbols.empty())
        throw CAnalysisError("No line states in the packet to place its eye on");
    const std::size_t firstSample =
        static_cast<std::size_t>(std::max<int32_t>(packet.m_Symbols.front().m_nFirstSample, 0));
    const double packetStart = time[std::min(firstSample, time.size() - 1)];
    const double half = ui / 2.0;

    // Only the flags of the first check are needed after its exceptions.
    CEyeResult e1;
    e1.m_nFlagStart = m.m_Eye.m_nFlagStart;
    e1.m_Flags1 = m.m_Eye.m_Flags1;
    e1.m_Flags2 = m.m_Eye.m_Flags2;
    e1 = ApplyException(m.m_nFirstExcepted, time, std::move(e1), packetStart, half, 1);
    e1 = ApplyException(m.m_nLastExcepted, time, std::move(e1), m.m_dEopEnd, half, 2);
    e1 = ApplyException(m.m_nLastExcepted, time, std::move(e1), m.m_dEopStart, half, 2);

    int32_t forgivenSecond = 0;
    e2 = ApplyException(forgivenSecond, time, std::move(e2), packetStart, half, 1);
    e2 = ApplyException(forgivenSecond, time, std::move(e2), m.m_dEopEnd, ui * 0.75, 2);
    e2 = ApplyException(forgivenSecond, time, std::move(e2), m.m_dEopStart, half, 2);
    const int32_t remaining = CountFlags(e2.m_Flags1) + CountFlags(e2.m_Flags2);

    // Both checks fold the same unit intervals, so their flags cover the same samples.
    auto orInto = [](std::vector<int32_t>& into, const std::vector<int32_t>& from) {
        const std::size_t n = std::min(into.size(), from.size());
        for (std::size_t i = 0; i < n; ++i) into[i] = (into[i] != 0 || from[i] != 0) ? 1 : 0;
    };
    orInto(e2.m_Flags1, e1.m_Flags1);
    orInto(e2.m_Flags2, e1.m_Flags2);
    m.m_EyeFinal = std::move(e2);

    m.m_nExceptions = m.m_nFirstExcepted + m.m_nLastExcepted;
    m.m_nEyeViolationsFinal = m.m_nEyeViolations - m.m_nExceptions - remaining;
    return measurement;
}

CPacketMeasurement CEyeCheck::StoreEyeMargins(CPacketMeasurement measurement) const {
    CPacketMeasurement& m = measurement;
    const CEyeResult& eye = m.m_Eye;
    m.m_dMarginAboveEye = CVectorMath::Min(eye.m_AboveEye);
    m.m_dMarginBelowEye = CVectorMath::Min(eye.m_BelowEye);
    m.m_dMarginBelowTop = CVectorMath::Min(eye.m_BelowTop);
    m.m_dMarginAboveBottom = CVectorMath::Min(eye.m_AboveBottom);
    m.m_dMaxVoltage = CVectorMath::Max(eye.m_HighValues);
    m.m_dMinVoltage = CVectorMath::Min(eye.m_LowValues);
    m.m_dMarginTopLeftUp = CVectorMath::Min(eye.m_TopLeft);
    m.m_dMarginBottomLeftDown = CVectorMath::Min(eye.m_BottomLeft);
    m.m_dMinPeakPeakCenter = CVectorMath::Min(eye.m_CentreHigh) - CVectorMath::Max(eye.m_CentreLow);
    return measurement;
}
