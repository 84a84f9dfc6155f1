#pragma once

#include <cstddef>

#include "synth/CLineCoding.h"
#include "synth/SynthTypes.h"

namespace synth {

// The bit grid of a capture: which line state each bit slot holds, when each
// boundary falls (rate offset and jitter included) and how many samples cover it.
class CTrafficPlan {
public:
    // `gridStart`: time from which the bit grid may begin (after any lead-in).
    CTrafficPlan(const TrafficParams& traffic, bool highSpeed, double nominalBitRate,
                 double sampleRate, double gridStart, int syncBitsDropped);

    double UnitInterval() const { return m_dUnitInterval; }
    std::size_t Samples() const { return m_nSamples; }
    const CLineCoding& Coding() const { return m_Coding; }
    int EopBits() const { return m_nEopBits; }

    double NominalBoundary(std::size_t bit) const;
    // Boundary before `bit` as driven: nominal plus random and periodic jitter.
    double Boundary(std::size_t bit) const;

    // The truth every speed shares: rate, jitter, packets and their timing. The
    // EOP times at the reading level are left to the caller.
    void FillTruth(SynthTruth& truth) const;

private:
    TrafficParams m_Traffic;
    CLineCoding m_Coding;
    double m_dUnitInterval;
    double m_dBitRate;
    double m_dGridStart;
    std::size_t m_nSamples = 0;
    int m_nEopBits;
};

// Stream numbers of the counter-based Gaussian, one per random quantity.
inline constexpr std::uint64_t kJitterStream = 1;
inline constexpr std::uint64_t kNoiseStreamFirst = 2;
inline constexpr std::uint64_t kNoiseStreamSecond = 3;
inline constexpr std::uint64_t kPayloadStream = 4;

}  // namespace synth
