#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace synth {

// Raised-cosine step: 0 before x = 0, 1 after x = 1, zero slope at both ends, so
// an edge leaves and settles on its level smoothly, as a driven line does.
double RaisedCosineStep(double x);
// Position (0..1) at which the step has covered fraction p of its swing.
double RaisedCosineInverse(double p);
// Part of the full step duration spent between 10 % and 90 % of the swing.
double TenNinetyFraction();

// Counter-based Gaussian: the same (seed, stream, k) always gives the same value,
// whatever order samples are asked for in.
double GaussianAt(std::uint64_t seed, std::uint64_t stream, std::uint64_t k);
std::uint64_t Mix64(std::uint64_t x);

// An edge that stops at `m_dFraction` of its swing, falls back by `m_dDip` of the
// swing and climbs again before going on: a non-monotonic step. Each of its four
// phases (hold, fall, hold, climb) lasts `m_dPhase`, so sampled values sit exactly
// on the top and the bottom of the reversal.
struct Reversal {
    double m_dLevel = 0.0;  // V where rising edges turn back
    double m_dDepth = 0.0;  // V
    double m_dPhase = 0.0;  // s
};

struct Edge {
    double m_dStart = 0.0;     // s, the line starts to move
    double m_dDuration = 0.0;  // s, of the plain step
    double m_dFrom = 0.0;      // V
    double m_dDelta = 0.0;     // V, signed swing
    double m_dRevFraction = 0.0;
    double m_dRevDip = 0.0;  // fraction of the swing; 0 for a monotonic edge
    double m_dRevPhase = 0.0;

    double Span() const { return m_dDuration + (m_dRevDip > 0.0 ? 4.0 * m_dRevPhase : 0.0); }
    // Covered fraction of the swing at time t (may dip back on a reversal).
    double Progress(double t) const;
};

// One line's level over time: a start level and a sequence of edges, each
// placed by the time its 50 % point is reached.
class CEdgeTrain {
public:
    // Where evaluation left off: consecutive times need no search.
    struct Cursor {
        std::size_t m_nFirstActive = 0;
        std::size_t m_nNextStart = 0;
        double m_dLastTime = -1e300;
    };

    explicit CEdgeTrain(double initialLevel) : m_dInitial(initialLevel), m_dLevel(initialLevel) {}

    void SetReversal(const Reversal& reversal) { m_Reversal = reversal; }
    // Adds an edge to level `to` whose midpoint lies at `centre`; returns its index.
    // Edges must start in time order: a line cannot begin its next edge before the
    // one it is on has begun.
    std::size_t AddEdge(double centre, double duration, double to, bool allowReversal);

    double ValueAt(double t, Cursor& cursor) const;
    // First time edge `index` reaches `level`.
    double CrossingTime(std::size_t index, double level) const;

    double Level() const { return m_dLevel; }
    const std::vector<Edge>& Edges() const { return m_Edges; }

private:
    double m_dInitial;
    double m_dLevel;
    double m_dMaxSpan = 0.0;
    Reversal m_Reversal;
    std::vector<Edge> m_Edges;
    std::vector<double> m_LevelBefore;  // sum of every earlier edge's swing
};

}  // namespace synth
