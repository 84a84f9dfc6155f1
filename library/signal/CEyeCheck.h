#pragma once

#include <cstdint>
#include <vector>

#include "common/CSampleTimes.h"
#include "signal/CEyeResult.h"
#include "signal/CPacketEntry.h"
#include "signal/CPacketMeasurement.h"
#include "spec/CSigSpec.h"

// Lays every unit interval of a packet over an eye template and flags each sample that
// enters a keep-out region: the inner polygon where the eye must stay open, and the boxes
// above and below that bound the swing. The samples that stay clear give the margins.
//
// High speed checks the differential trace alone; full and low speed check D- as the
// first trace and D+ as the second, each against the same single-ended template.
class CEyeCheck {
public:
    // The check of one template over the bit grid `bitTimes` (s), which it trims to the
    // boundaries inside the capture; `boundaries` receives the sample index of each kept
    // boundary. Margins are gathered from the second unit interval on and only before
    // `eopStart`, where the EOP's own edges no longer belong to the eye. A capture of
    // fewer than two samples, or a trace shorter than its time axis, stops the run.
    CEyeResult CheckEye(std::vector<int32_t>& boundaries, const CSampleTimes& time,
                        std::vector<double>& bitTimes, const EyeTemplate& eyeTemplate,
                        const std::vector<double>& first, const std::vector<double>& second,
                        double eopStart) const;

    // Forgives the violations of `result` that lie in a window of half-width `halfWidth`
    // around `centre` (s): mode 1 opens the window back to the first sample, mode 2 on to
    // the last sample, any other mode keeps both ends. Every flag between the first and
    // the last violating sample of the window is cleared and counted into `counter`.
    // The window is clamped to the capture, so an EOP at the end of the capture is safe.
    CEyeResult ApplyException(int32_t& counter, const CSampleTimes& time, CEyeResult result,
                              double centre, double halfWidth, int32_t mode) const;

    // The eye stage of the packet measurement. Reads `m_dUnitInterval`, `m_BitTimes`,
    // `m_dEopStart` and `m_dEopEnd` of `measurement` and fills `m_Eye`, `m_EyeAux`,
    // `m_nEyeViolations`, the exception counts, `m_nEyeViolationsFinal` and `m_EyeFinal`
    // (the last three stay 0 or empty for a clean eye); `m_BitTimes` is trimmed to the
    // capture. `first`/`second` are the differential trace and an empty vector at high
    // speed, D- and D+ at full and low speed. The first-transition window is centred on
    // the time of the first sample of the packet's first run.
    CPacketMeasurement EvaluateEye(CPacketMeasurement measurement, const CPacketEntry& packet,
                                   const CSigSpec& limits, const CSampleTimes& time,
                                   const std::vector<double>& first,
                                   const std::vector<double>& second) const;

    // The nine eye figures of the measurement, read from the margin vectors of `m_Eye`
    // (the first template's check): the smallest clearances, the extreme voltages and the
    // narrowest opening at the eye centre. An empty margin vector reads as 1e12 (minimum)
    // or 0.0 (maximum), so a packet without margins shows up as such in the verdicts.
    CPacketMeasurement StoreEyeMargins(CPacketMeasurement measurement) const;
};
