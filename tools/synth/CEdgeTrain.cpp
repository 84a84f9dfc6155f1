#include "synth/CEdgeTrain.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

namespace synth {

namespace {

// Steps per edge when searching for a level crossing before bisecting: fine
// enough that no reversal phase is stepped over.
constexpr int kCrossingScanSteps = 4096;
constexpr int kBisections = 80;

}  // namespace

double RaisedCosineStep(double x) {
    if (x <= 0.0) return 0.0;
    if (x >= 1.0) return 1.0;
    return 0.5 * (1.0 - std::cos(std::numbers::pi * x));
}

double RaisedCosineInverse(double p) {
    p = std::clamp(p, 0.0, 1.0);
    return std::acos(1.0 - 2.0 * p) / std::numbers::pi;
}

double TenNinetyFraction() { return RaisedCosineInverse(0.9) - RaisedCosineInverse(0.1); }

std::uint64_t Mix64(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

double GaussianAt(std::uint64_t seed, std::uint64_t stream, std::uint64_t k) {
    const std::uint64_t base = Mix64(seed ^ Mix64(stream + 0x632BE59BD9B4E019ull));
    const std::uint64_t a = Mix64(base ^ (k * 0xD1B54A32D192ED03ull));
    const std::uint64_t b = Mix64(a);
    constexpr double kUnit = 1.0 / 9007199254740992.0;  // 2^-53
    const double u1 = (static_cast<double>(a >> 11) + 0.5) * kUnit;
    const double u2 = static_cast<double>(b >> 11) * kUnit;
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * std::numbers::pi * u2);
}

double Edge::Progress(double t) const {
    const double tau = t - m_dStart;
    if (tau <= 0.0) return 0.0;
    if (m_dRevDip <= 0.0) return RaisedCosineStep(tau / m_dDuration);
    const double turn = m_dDuration * RaisedCosineInverse(m_dRevFraction);
    if (tau < turn) return RaisedCosineStep(tau / m_dDuration);
    const double u = tau - turn;
    const double h = m_dRevPhase;
    if (u < h) return m_dRevFraction;
    if (u < 2.0 * h) return m_dRevFraction - m_dRevDip * RaisedCosineStep((u - h) / h);
    if (u < 3.0 * h) return m_dRevFraction - m_dRevDip;
    if (u < 4.0 * h)
        return m_dRevFraction - m_dRevDip + m_dRevDip * RaisedCosineStep((u - 3.0 * h) / h);
    return RaisedCosineStep((tau - 4.0 * h) / m_dDuration);
}

std::size_t CEdgeTrain::AddEdge(double centre, double duration, double to, bool allowReversal) {
    Edge edge;
    edge.m_dDuration = duration;
    edge.m_dFrom = m_dLevel;
    edge.m_dDelta = to - m_dLevel;
    double lead = 0.0;
    if (allowReversal && m_Reversal.m_dDepth > 0.0 && edge.m_dDelta > 0.0) {
        const double fraction = (m_Reversal.m_dLevel - edge.m_dFrom) / edge.m_dDelta;
        if (fraction > 0.0 && fraction < 1.0) {
            edge.m_dRevFraction = fraction;
            edge.m_dRevDip = m_Reversal.m_dDepth / edge.m_dDelta;
            edge.m_dRevPhase = m_Reversal.m_dPhase;
            // A reversal below the midpoint delays the midpoint; start earlier so the
            // edge still crosses its middle at the bit boundary.
            if (fraction < 0.5) lead = 4.0 * m_Reversal.m_dPhase;
        }
    }
    edge.m_dStart = centre - 0.5 * duration - lead;
    if (!m_Edges.empty() && edge.m_dStart < m_Edges.back().m_dStart) {
        throw std::invalid_argument(
            "edges too slow for the bit rate: an edge starts before the one ahead of it");
    }
    m_LevelBefore.push_back(m_dLevel);
    m_Edges.push_back(edge);
    m_dLevel = to;
    m_dMaxSpan = std::max(m_dMaxSpan, edge.Span());
    return m_Edges.size() - 1;
}

double CEdgeTrain::ValueAt(double t, Cursor& cursor) const {
    const std::size_t n = m_Edges.size();
    if (t < cursor.m_dLastTime) {
        const auto finished = [&](const Edge& e) { return e.m_dStart + m_dMaxSpan <= t; };
        const auto started = [&](const Edge& e) { return e.m_dStart <= t; };
        cursor.m_nFirstActive = static_cast<std::size_t>(
            std::partition_point(m_Edges.begin(), m_Edges.end(), finished) - m_Edges.begin());
        cursor.m_nNextStart = static_cast<std::size_t>(
            std::partition_point(m_Edges.begin(), m_Edges.end(), started) - m_Edges.begin());
    }
    cursor.m_dLastTime = t;
    while (cursor.m_nFirstActive < n && m_Edges[cursor.m_nFirstActive].m_dStart + m_dMaxSpan <= t) {
        ++cursor.m_nFirstActive;
    }
    if (cursor.m_nNextStart < cursor.m_nFirstActive) cursor.m_nNextStart = cursor.m_nFirstActive;
    while (cursor.m_nNextStart < n && m_Edges[cursor.m_nNextStart].m_dStart <= t) {
        ++cursor.m_nNextStart;
    }
    double value = cursor.m_nFirstActive < n ? m_LevelBefore[cursor.m_nFirstActive] : m_dLevel;
    for (std::size_t i = cursor.m_nFirstActive; i < cursor.m_nNextStart; ++i) {
        value += m_Edges[i].m_dDelta * m_Edges[i].Progress(t);
    }
    return value;
}

double CEdgeTrain::CrossingTime(std::size_t index, double level) const {
    const Edge& edge = m_Edges.at(index);
    const double target = (level - edge.m_dFrom) / edge.m_dDelta;
    if (target <= 0.0) return edge.m_dStart;
    const double step = edge.Span() / kCrossingScanSteps;
    for (int k = 1; k <= kCrossingScanSteps; ++k) {
        double hi = edge.m_dStart + k * step;
        if (edge.Progress(hi) < target) continue;
        double lo = hi - step;
        for (int i = 0; i < kBisections; ++i) {
            const double mid = 0.5 * (lo + hi);
            (edge.Progress(mid) < target ? lo : hi) = mid;
        }
        return 0.5 * (lo + hi);
    }
    return edge.m_dStart + edge.Span();
}

}  // namespace synth
