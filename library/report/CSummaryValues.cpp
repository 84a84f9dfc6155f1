#include "report/CSummaryValues.h"

#include <cmath>

#include "report/CFormat.h"

namespace {

constexpr double kSecondsToMegahertz = 1e-6;  // 1e-6 / UI gives the rate in MHz
constexpr double kVoltsToMillivolts = 1000.0;

// The equivalent 10-90 % times of an edge rate: a full- or low-speed edge swings
// 2.64 V between its eye levels (ns), a high-speed one 0.64 V (ps).
constexpr double kSingleEndedSwing = 2.64;
constexpr double kVPerUsToVPerNs = 0.001;
constexpr double kHighSpeedSwing = 0.64;
constexpr double kVPerUsToVPerPs = 1e-6;

// A figure as "%*.*f", or an empty cell when the measurement gave no finite value.
std::string Figure(double value, int decimals, int width = 0) {
    if (!std::isfinite(value)) return "";
    return CFormat::Printf("%*.*f", width, decimals, value);
}

}  // namespace

CSummaryValues CSummaryValues::From(const CPacketMeasurement& m, const CPacketVerdict& verdict,
                                    const CToolboxRecord& toolbox, const CSigConfig& config,
                                    const CSigSpec& spec, uint32_t hubs) {
    CSummaryValues v;
    v.m_strOverall = verdict.m_nOverall == toolbox.m_nPass ? v.m_strPass : v.m_strFail;
    if (verdict.m_nEopWidth != toolbox.m_nNotTested) {
        v.m_strEopWidth = Figure((m.m_dEopEnd - m.m_dEopStart) * spec.m_dEopScale, 2);
    }
    if (verdict.m_nSignalRate != toolbox.m_nNotTested) {
        v.m_strSignalRate = Figure(kSecondsToMegahertz / m.m_dUnitInterval, 4);
    }

    v.m_strRiseRate = Figure(m.m_dRiseRate, 2);
    v.m_strFallRate = Figure(m.m_dFallRate, 2);
    const bool singleEnded =
        spec.m_nSpeed == config.m_nLowSpeed || spec.m_nSpeed == config.m_nFullSpeed;
    if (singleEnded) {
        v.m_strRiseTime = Figure(kSingleEndedSwing / (m.m_dRiseRate * kVPerUsToVPerNs), 2);
        v.m_strFallTime = Figure(kSingleEndedSwing / (m.m_dFallRate * kVPerUsToVPerNs), 2);
    } else if (spec.m_nSpeed == config.m_nHighSpeed) {
        v.m_strRiseTime = Figure(kHighSpeedSwing / (m.m_dRiseRate * kVPerUsToVPerPs), 2);
        v.m_strFallTime = Figure(kHighSpeedSwing / (m.m_dFallRate * kVPerUsToVPerPs), 2);
    }

    const double jitter[9] = {m.m_dConsecJitterMax, m.m_dConsecJitterMin, m.m_dConsecJitterRms,
                              m.m_dJKJitterMax,     m.m_dJKJitterMin,     m.m_dJKJitterRms,
                              m.m_dKJJitterMax,     m.m_dKJJitterMin,     m.m_dKJJitterRms};
    for (std::size_t i = 0; i < v.m_strJitter.size(); ++i) {
        v.m_strJitter[i] = Figure(jitter[i] * spec.m_dJitterScale, 3);
    }
    v.m_strMonotonic = Figure(m.m_dMonotonic * kVoltsToMillivolts, 0, 3);

    const double eye[6] = {m.m_dMarginAboveEye,    m.m_dMarginBelowEye, m.m_dMinVoltage,
                           m.m_dMarginAboveBottom, m.m_dMaxVoltage,     m.m_dMarginBelowTop};
    for (std::size_t i = 0; i < v.m_strEyeValues.size(); ++i) {
        v.m_strEyeValues[i] = Figure(eye[i], 3);
    }

    if (singleEnded) {
        v.m_strCrossover = {Figure(m.m_dMaxCrossover, 2), Figure(m.m_dMinCrossover, 2),
                            Figure(m.m_dMeanCrossover, 2)};
    }
    v.m_strSyncBits = CFormat::Printf("%d", static_cast<int>(m.m_nSyncBitsDropped));
    v.m_strHubs = CFormat::Printf("%u", static_cast<unsigned>(hubs));
    return v;
}
