#pragma once

#include <string>

// The finished HTML pieces of a signal-quality report: for each figure a line with
// the measured value and a verdict line in the colour of its verdict. Any may be
// empty; an empty fragment prints nothing.
struct CSignalFragments {
    std::string m_strOverall;
    std::string m_strSampleRateWarning;
    std::string m_strSync;
    std::string m_strEye;
    std::string m_strEopWidth;
    std::string m_strSignalRate;
    std::string m_strMonotonicity;
    std::string m_strMonotonicVerdict;
    std::string m_strRiseRate;
    std::string m_strRiseVerdict;
    std::string m_strFallRate;
    std::string m_strFallVerdict;
    std::string m_strEdgeRateMatch;
    std::string m_strCrossover;
    std::string m_strJitter;
    std::string m_strMarginAboveEye;
    std::string m_strMarginBelowEye;
    std::string m_strMaxVoltage;
    std::string m_strMarginBelowTop;
    std::string m_strMinVoltage;
    std::string m_strMarginAboveBottom;
    std::string m_strVersion;
};
