#pragma once

#include <cstdint>
#include <string>
#include <vector>

// High-speed signalling rate, bit/s: the high-speed tables and the hub
// adjustment turn bit counts into seconds by dividing by it.
inline constexpr double kHighSpeedBitRate = 4.8e8;

// Speed codes, as m_nSpeed holds them and CSigConfig names them.
inline constexpr int32_t kLowSpeed = 1;
inline constexpr int32_t kFullSpeed = 2;
inline constexpr int32_t kHighSpeed = 3;

// Each hub between the device and the scope may drop this many SYNC bits of a
// high-speed packet, and stretch its EOP by as many bits.
inline constexpr int32_t kSyncBitsPerHub = 4;
inline constexpr double kEopBitsPerHub = 4.0;

// Keep-out polygons of one eye template. Each V/T pair lists the vertices of
// one polygon in drawing order (volts; seconds from the start of the unit
// interval): the bottom box (4 vertices), the inner polygon (7 vertices, the
// first repeated at the end) and the top box (4 vertices).
struct EyeTemplate {
    std::vector<double> BottomV;
    std::vector<double> BottomT;
    std::vector<double> InnerV;
    std::vector<double> InnerT;
    std::vector<double> TopV;
    std::vector<double> TopT;

    bool operator==(const EyeTemplate&) const = default;
};

// Every limit, window, SYNC pattern, eye template and display unit of one
// signal test type, in a fixed field order; a
// fresh record is all 0 / empty and a table class fills it.
// Text fields are UTF-8 (the micro sign is "\xC2\xB5").
struct CSigSpec {
    int32_t m_nTestId = 0;   // 1 LS, 2 FS, 3 HS far end, 4 HS near end, 10 eUSB2 HS repeater
    int32_t m_nSpeed = 0;    // 1 low, 2 full, 3 high
    int32_t m_bHubTest = 0;  // 0 or 1, set by selection
    std::vector<int32_t> m_EopSymbols;
    double m_dFactorA = 0.0;
    int32_t m_nIdleSymbol = 0;
    double m_dEopBitsMin = 0.0;        // bit times
    double m_dEopBitsMax = 0.0;        // bit times
    double m_dEopBitsWaiverMax = 0.0;  // bit times; raised by the hub adjustment
    double m_dEopBitsWaiverMin = 0.0;  // bit times
    double m_dHubEopBitsMin = 0.0;     // bit times
    double m_dHubEopBitsMax = 0.0;     // bit times; set by the hub adjustment
    double m_dReserved1 = 0.0;         // the four reserved doubles, always 0
    double m_dReserved2 = 0.0;
    double m_dReserved3 = 0.0;
    double m_dReserved4 = 0.0;
    double m_dSofEopBitsMin = 0.0;
    double m_dSofEopBitsMax = 0.0;
    double m_dSofEopBitsWaiverMin = 0.0;
    double m_dSofEopBitsWaiverMax = 0.0;
    double m_dIdleBitsMin = 0.0;
    std::vector<std::string> m_strSyncPatterns;  // 23 once filled
    double m_dCommonModeLimit = 0.0;             // V
    double m_dLevelB = 0.0;
    double m_dDiffThreshold = 0.0;  // V
    double m_dCrossoverMin = 0.0;   // V
    double m_dCrossoverMax = 0.0;   // V
    double m_dCrossoverWaiverMin = 0.0;
    double m_dCrossoverWaiverMax = 0.0;
    int32_t m_nCrossoverFirst = 0;
    int32_t m_nCrossoverSkipLast = 0;
    std::vector<double> m_EopMax;        // s: {ordinary, start of frame}
    std::vector<double> m_EopMin;        // s
    std::vector<double> m_EopWaiverMax;  // s; both elements follow the hub adjustment
    std::vector<double> m_EopWaiverMin;  // s
    std::vector<double> m_EopHubMax;     // s; hub pass maxima, set by the hub adjustment
    double m_dHubEopMin = 0.0;           // s
    double m_dHubEopMax = 0.0;           // s; follows the hub adjustment
    double m_dEdgeRateMax = 0.0;         // V/us
    double m_dEdgeRateMin = 0.0;         // V/us
    double m_dEdgeRateWaiverMax = 0.0;   // V/us
    double m_dEdgeRateMatch = 0.0;       // percent
    double m_dEopScale = 0.0;
    std::string m_strEopUnit;
    double m_dMonotonicLimit = 0.0;  // V
    EyeTemplate m_Eye1;
    EyeTemplate m_Eye2;
    double m_dEyeLevelHigh = 0.0;        // V
    double m_dEyeLevelLow = 0.0;         // V
    double m_dJitterNextMax = 0.0;       // s
    double m_dJitterPairedMax = 0.0;     // s
    double m_dJitterNextWaiver = 0.0;    // s
    double m_dJitterPairedWaiver = 0.0;  // s
    double m_dJitterScale = 0.0;
    std::string m_strJitterUnit;
    double m_dTimeScale = 0.0;
    std::string m_strTimeUnit;
    double m_dTimeWindow = 0.0;     // s
    double m_dSampleRateRef = 0.0;  // samples/s
    double m_dSePulse = 0.0;        // s
    int32_t m_nSeCount = 0;
    double m_dBitTime = 0.0;  // s
    double m_dRateMax = 0.0;  // bit/s
    double m_dRateMin = 0.0;
    double m_dRateWaiverMax = 0.0;
    double m_dRateWaiverMin = 0.0;
    std::string m_strSignalXLabel;
    std::string m_strSignalYLabel;
    double m_dSignalScaleA = 0.0;
    double m_dSignalScaleB = 0.0;
    std::string m_strEyeXLabel;
    std::string m_strEyeYLabel;
    double m_dEyeScaleA = 0.0;
    double m_dEyeScaleB = 0.0;

    bool operator==(const CSigSpec&) const = default;
};
