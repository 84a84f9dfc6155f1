#include "signal/CTestPackets.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

#include "common/CVerdictCodes.h"

namespace {

// Each hub or repeater may swallow up to this many leading SYNC bits.

// A two-window figure: inside the pass window it passes, inside the wider waiver
// window a waiver is granted, anything else fails.
int32_t Windowed(const CVerdictCodes& codes, bool inPass, bool inWaiver) {
    if (inPass) return codes.m_nPass;
    return inWaiver ? codes.m_nWaived : codes.m_nFail;
}

int32_t Crossover(const CVerdictCodes& codes, const CPacketMeasurement& m, const CSigSpec& spec) {
    // The first crossings of a packet belong to the SYNC start-up and the last ones
    // run into the EOP: only the ones between are held against the window.
    const int64_t count = static_cast<int64_t>(m.m_Crossings.size());
    const int64_t first = std::max<int64_t>(spec.m_nCrossoverFirst, 1);
    const int64_t last = count - spec.m_nCrossoverSkipLast;
    if (last < first) return codes.m_nNoData;
    double lo = 1e12;
    double hi = -1e12;
    for (int64_t pos = first; pos <= last; ++pos) {
        const double volts = m.m_Crossings[static_cast<std::size_t>(pos - 1)].m_dVolts;
        if (!std::isfinite(volts)) return codes.m_nNoData;
        lo = std::min(lo, volts);
        hi = std::max(hi, volts);
    }
    return Windowed(codes, lo > spec.m_dCrossoverMin &&
                               hi<spec.m_dCrossoverMax, lo> spec.m_dCrossoverWaiverMin &&
                               hi < spec.m_dCrossoverWaiverMax);
}

bool Between(double low, double x, double high) { return low < x && x < high; }

// Behind hubs an EOP may only grow: at or below its minimum it fails.
int32_t HubEopWidth(const CVerdictCodes& codes, double w, double min, double passMax,
                    double waiverMax) {
    if (w <= min) return codes.m_nFail;
    if (w <= passMax) return codes.m_nPass;
    return w <= waiverMax ? codes.m_nWaived : codes.m_nFail;
}

int32_t EopWidth(const CVerdictCodes& codes, const CPacketMeasurement& m, const CSigSpec& spec,
                 bool highSpeed) {
    const double w = m.m_dEopEnd - m.m_dEopStart;
    if (!std::isfinite(w)) return codes.m_nNoData;
    if (!highSpeed) {
        return Windowed(codes, Between(spec.m_EopMin.at(0), w, spec.m_EopMax.at(0)),
                        Between(spec.m_EopWaiverMin.at(0), w, spec.m_EopWaiverMax.at(0)));
    }
    if (spec.m_bHubTest != 0) {
        // Each hub may stretch the EOP; the run driver has widened the limits by hub
        // count, those of the start-of-frame EOP that lies beyond the ordinary window too.
        if (w > spec.m_EopWaiverMax.at(0)) {
            return HubEopWidth(codes, w, spec.m_EopMin.at(1), spec.m_EopHubMax.at(1),
                               spec.m_EopWaiverMax.at(1));
        }
        return HubEopWidth(codes, w, spec.m_dHubEopMin, spec.m_dHubEopMax,
                           spec.m_EopWaiverMax.at(0));
    }
    // An ordinary packet ends in an 8-bit EOP, a start-of-frame packet in a 40-bit one.
    for (std::size_t kind = 0; kind < 2; ++kind) {
        if (Between(spec.m_EopWaiverMin.at(kind), w, spec.m_EopWaiverMax.at(kind))) {
            return Between(spec.m_EopMin.at(kind), w, spec.m_EopMax.at(kind)) ? codes.m_nPass
                                                                              : codes.m_nWaived;
        }
    }
    return codes.m_nFail;
}

int32_t SignalRate(const CVerdictCodes& codes, const CPacketMeasurement& m, const CSigSpec& spec) {
    const double rate = 1.0 / m.m_dUnitInterval;
    if (!std::isfinite(rate)) return codes.m_nNoData;
    return Windowed(codes, Between(spec.m_dRateMin, rate, spec.m_dRateMax),
                    Between(spec.m_dRateWaiverMin, rate, spec.m_dRateWaiverMax));
}

int32_t Jitter(const CVerdictCodes& codes, const CPacketMeasurement& m, const CSigSpec& spec) {
    if (m.m_nJitterCount < kMinJitterValues) return codes.m_nNoData;
    // Paired figures of too few transitions are 0.0 placeholders, not a measured pass.
    const bool paired = m.m_nJitterCount >= kMinPairedJitterValues;
    const int32_t parts[] = {
        CTestPackets::JudgeJitter(m.m_dConsecJitterMin, m.m_dConsecJitterMax, spec.m_dJitterNextMax,
                                  spec.m_dJitterNextWaiver),
        paired ? CTestPackets::JudgeJitter(m.m_dJKJitterMin, m.m_dJKJitterMax,
                                           spec.m_dJitterPairedMax, spec.m_dJitterPairedWaiver)
               : codes.m_nNoData,
        paired ? CTestPackets::JudgeJitter(m.m_dKJJitterMin, m.m_dKJJitterMax,
                                           spec.m_dJitterPairedMax, spec.m_dJitterPairedWaiver)
               : codes.m_nNoData};
    for (const int32_t worst : {codes.m_nFail, codes.m_nWaived, codes.m_nNoData}) {
        if (std::find(std::begin(parts), std::end(parts), worst) != std::end(parts)) return worst;
    }
    return codes.m_nPass;
}

int32_t EdgeRate(const CVerdictCodes& codes, double rate, const CSigSpec& spec) {
    if (!std::isfinite(rate)) return codes.m_nFail;
    return Windowed(codes, rate <= spec.m_dEdgeRateMax, rate <= spec.m_dEdgeRateWaiverMax);
}

int32_t Eye(const CVerdictCodes& codes, const CPacketMeasurement& m) {
    // Violations forgiven by the first and last transition exceptions do not count.
    const int64_t v = m.m_nEyeViolations;
    const int64_t f = m.m_nEyeViolationsFinal;
    const int64_t x = m.m_nExceptions;
    if (v == x) return codes.m_nPass;
    const int64_t d = v - f - x;
    if (d >= 1) return codes.m_nFail;
    if (f - x > 0) return codes.m_nWaived;
    if (d != 0) return codes.m_nFail;
    return codes.m_nCode7;
}

int32_t Flag(bool holds) { return holds ? 1 : 0; }

}  // namespace

CPacketVerdict CTestPackets::TestPacket(const CPacketMeasurement& m, const CSigConfig& config,
                                        const CSigSpec& spec, uint32_t hubs) const {
    const CVerdictCodes& codes = kVerdictCodes;
    const bool highSpeed = spec.m_nSpeed == config.m_nHighSpeed;
    CPacketVerdict verdict;

    verdict.m_nMonotonic =
        std::isfinite(m.m_dMonotonic) && !(m.m_dMonotonic > spec.m_dMonotonicLimit) ? codes.m_nPass
                                                                                    : codes.m_nFail;
    // High-speed crossovers are differential zero crossings: no voltage to judge.
    verdict.m_nCrossover = highSpeed ? codes.m_nPass : Crossover(codes, m, spec);
    verdict.m_nEopWidth = EopWidth(codes, m, spec, highSpeed);
    verdict.m_nSignalRate = SignalRate(codes, m, spec);
    verdict.m_nJitter = highSpeed ? codes.m_nPass : Jitter(codes, m, spec);

    verdict.m_nSyncFound = m.m_nSyncMatches < 1 ? codes.m_nFail : codes.m_nPass;
    verdict.m_nSyncLength =
        m.m_nSyncMatches < 1 || m.m_nSyncBitsDropped != 0 ? codes.m_nFail : codes.m_nPass;
    verdict.m_nHubSync = static_cast<int64_t>(m.m_nSyncBitsDropped) > kSyncBitsPerHub * hubs
                             ? codes.m_nFail
                             : codes.m_nPass;

    verdict.m_nEye = Eye(codes, m);
    // Full- and low-speed edge rates are reported but carry no limit of their own here.
    verdict.m_nRiseRate = highSpeed ? EdgeRate(codes, m.m_dRiseRate, spec) : codes.m_nPass;
    verdict.m_nFallRate = highSpeed ? EdgeRate(codes, m.m_dFallRate, spec) : codes.m_nPass;
    verdict.m_nReservedA = codes.m_nPass;
    verdict.m_nReservedB = codes.m_nPass;
    verdict.m_nReservedC = codes.m_nPass;

    verdict.m_bMarginAboveEye = Flag(m.m_dMarginAboveEye >= 0.0);
    verdict.m_bMarginBelowEye = Flag(m.m_dMarginBelowEye >= 0.0);
    verdict.m_bMarginBelowTop = Flag(m.m_dMarginBelowTop >= 0.0);
    verdict.m_bMarginAboveBottom = Flag(m.m_dMarginAboveBottom >= 0.0);
    verdict.m_bMarginTopLeftUp = Flag(m.m_dMarginTopLeftUp >= 0.0);
    verdict.m_bMarginBottomLeftDown = Flag(m.m_dMarginBottomLeftDown >= 0.0);
    verdict.m_bMaxVoltageOk = Flag(spec.m_Eye1.TopV.at(1) >= m.m_dMaxVoltage);
    verdict.m_bMinVoltageOk = Flag(m.m_dMinVoltage >= spec.m_Eye1.BottomV.at(1));
    verdict.m_nSyncBitsDropped = m.m_nSyncBitsDropped;
    verdict.m_bAllEdgesFound = m.m_bAllEdgesFound;

    // The SYNC length alone does not fail a packet: a hub may drop bits, and the hub
    // SYNC rule judges how many. An all-edges flag of 0 reads as NotTested and fails.
    const int32_t gathered[] = {verdict.m_nEye,      verdict.m_nCrossover,  verdict.m_nEopWidth,
                                codes.m_nPass,       verdict.m_nSignalRate, verdict.m_nSyncFound,
                                verdict.m_nRiseRate, verdict.m_nFallRate,   codes.m_nPass,
                                m.m_bAllEdgesFound,  verdict.m_nMonotonic,  codes.m_nPass,
                                verdict.m_nJitter,   verdict.m_nEye,        verdict.m_nHubSync};
    const bool failed = std::any_of(std::begin(gathered), std::end(gathered), [&](int32_t code) {
        return code == codes.m_nFail || code == codes.m_nNotTested || code == codes.m_nNoData;
    });
    verdict.m_nOverall = failed ? codes.m_nFail : codes.m_nPass;
    return verdict;
}

int32_t CTestPackets::JudgeJitter(double lowest, double highest, double passMax, double waiverMax) {
    const CVerdictCodes& codes = kVerdictCodes;
    if (!std::isfinite(lowest) || !std::isfinite(highest)) return codes.m_nNoData;
    const double a = std::fabs(lowest);
    const double b = std::fabs(highest);
    return Windowed(codes, a < passMax && b < passMax, a < waiverMax && b < waiverMax);
}

CAnalysisRecord CTestPackets::TestPackets(CAnalysisRecord record, const CSigConfig& config,
                                          const CSigSpec& spec) const {
    for (const CPacketMeasurement& measurement : record.m_Measurements) {
        record.m_Verdicts.push_back(TestPacket(measurement, config, spec, record.m_nHubs));
    }
    return record;
}
