#pragma once

#include <cstdint>
#include <vector>

#include "signal/CCrossing.h"
#include "signal/CEyeResult.h"

// Paired jitter compares transitions two apart, alternately JK and KJ. With five
// consecutive jitter values the second of those lists is empty, so paired figures
// need at least six; below that the six paired values stay 0.0 and mean no data.
inline constexpr int32_t kMinPairedJitterValues = 6;
// Fewer than five jitter values are too few to judge at all.
inline constexpr int32_t kMinJitterValues = 5;

// Every figure measured on one packet; the verdicts are judged from these.
struct CPacketMeasurement {
    double m_dUnitInterval = 0.0;
    double m_dUIRatio = 0.0;
    double m_dUIRatio2 = 0.0;
    double m_dSampleRate = 0.0;
    int32_t m_bAllEdgesFound = 0;
    double m_dEopStart = 0.0;
    double m_dEopEnd = 0.0;
    double m_dEopThreshold = 0.0;
    double m_dConsecJitterMin = 0.0;
    double m_dConsecJitterMax = 0.0;
    double m_dConsecJitterRms = 0.0;
    double m_dJKJitterMin = 0.0;
    double m_dJKJitterMax = 0.0;
    double m_dJKJitterRms = 0.0;
    double m_dKJJitterMin = 0.0;
    double m_dKJJitterMax = 0.0;
    double m_dKJJitterRms = 0.0;
    int32_t m_nJitterCount = 0;
    std::vector<double> m_BitTimes;
    CEyeResult m_Eye;
    int32_t m_nEyeViolations = 0;
    std::vector<int32_t> m_EyeAux;
    int32_t m_nFirstExcepted = 0;
    int32_t m_nLastExcepted = 0;
    int32_t m_nEyeViolationsFinal = 0;
    int32_t m_nExceptions = 0;
    CEyeResult m_EyeFinal;
    std::vector<double> m_CrossoverVolts;
    std::vector<double> m_CrossingTimes;
    std::vector<double> m_MonoExcursions;
    std::vector<double> m_MonoTimes;
    double m_dMonotonic = 0.0;
    int32_t m_nSyncMatches = 0;
    int32_t m_nSyncBitsDropped = 0;
    double m_dRiseRate = 0.0;
    double m_dFallRate = 0.0;
    double m_dRiseRateMin = 0.0;
    double m_dFallRateMin = 0.0;
    double m_dRiseRateMax = 0.0;
    double m_dFallRateMax = 0.0;
    double m_dEdgeRateMatch = 0.0;
    std::vector<CCrossing> m_Crossings;
    double m_dFirstCrossover = 0.0;
    double m_dMinCrossover = 0.0;
    double m_dMaxCrossover = 0.0;
    double m_dMeanCrossover = 0.0;
    int32_t m_nCrossings = 0;
    double m_dMarginAboveEye = 0.0;
    double m_dMarginBelowEye = 0.0;
    double m_dMarginBelowTop = 0.0;
    double m_dMarginAboveBottom = 0.0;
    double m_dMinVoltage = 0.0;
    double m_dMaxVoltage = 0.0;
    double m_dMarginTopLeftUp = 0.0;
    double m_dMarginBottomLeftDown = 0.0;
    double m_dMinPeakPeakCenter = 0.0;
};
