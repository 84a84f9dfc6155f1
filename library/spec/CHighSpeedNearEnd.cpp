#include "spec/CHighSpeedNearEnd.h"

#include <string>

std::unique_ptr<CSigSpec> CHighSpeedNearEnd::Build() const {
    auto spec = std::make_unique<CSigSpec>();
    CSigSpec& s = *spec;

    s.m_nTestId = 4;
    s.m_nSpeed = kHighSpeed;
    s.m_EopSymbols = {2, 4};
    s.m_dFactorA = 1.5;
    s.m_nIdleSymbol = 3;
    s.m_dEopBitsMin = 7.5;
    s.m_dEopBitsMax = 8.5;
    s.m_dEopBitsWaiverMax = 16;
    s.m_dEopBitsWaiverMin = 7.5;
    s.m_dHubEopBitsMin = 7.5;
    s.m_dHubEopBitsMax = 12.5;
    s.m_dSofEopBitsMin = 39.5;
    s.m_dSofEopBitsMax = 40.5;
    s.m_dSofEopBitsWaiverMin = 39.5;
    s.m_dSofEopBitsWaiverMax = 50;
    s.m_dIdleBitsMin = 8.5;
    // Element i is the SYNC field with its first i bits dropped.
    const std::string sync = "KJKJKJKJKJKJKJKJKJKJKJKJKJKJKJKK";
    for (std::size_t i = 0; i < 23; ++i) s.m_strSyncPatterns.push_back(sync.substr(i));
    s.m_dCommonModeLimit = 0.1;
    s.m_dLevelB = 0.1;
    s.m_dDiffThreshold = 0.15;
    s.m_dCrossoverMin = 0;
    s.m_dCrossoverMax = 0;
    s.m_dCrossoverWaiverMin = 0;
    s.m_dCrossoverWaiverMax = 0;
    s.m_nCrossoverFirst = 2;
    s.m_nCrossoverSkipLast = 1;
    // In bit times {8.5, 40.5}, {7.5, 39.5}, {16, 50}, {7.5, 39.5}, {12.5, 40.5} / 4.8e8.
    s.m_EopMax = {1.7708333333333335e-08, 8.4375e-08};
    s.m_EopMin = {1.5625e-08, 8.229166666666666e-08};
    s.m_EopWaiverMax = {3.3333333333333334e-08, 1.0416666666666667e-07};
    s.m_EopWaiverMin = {1.5625e-08, 8.229166666666666e-08};
    s.m_EopHubMax = {2.6041666666666667e-08, 8.4375e-08};
    s.m_dHubEopMin = s.m_dHubEopBitsMin / kHighSpeedBitRate;
    s.m_dHubEopMax = s.m_dHubEopBitsMax / kHighSpeedBitRate;
    s.m_dEdgeRateMax = 2133;
    s.m_dEdgeRateMin = 0;
    s.m_dEdgeRateWaiverMax = 6400;
    s.m_dEdgeRateMatch = 0;
    s.m_dEopScale = 480000000;
    s.m_strEopUnit = " bits";
    s.m_dMonotonicLimit = 0.05;

    // Inner polygon times 0.075, 0.375, 0.625, 0.925 UI.
    s.m_Eye1.BottomV = {-10000, -0.525, -0.525, -10000};
    s.m_Eye1.BottomT = {0, 0, 2.0833333333333334e-09, 2.0833333333333334e-09};
    s.m_Eye1.InnerV = {0, -0.3, -0.3, 0, 0.3, 0.3, 0};
    s.m_Eye1.InnerT = {1.5625e-10,
                       7.8125e-10,
                       1.3020833333333334e-09,
                       1.9270833333333336e-09,
                       1.3020833333333334e-09,
                       7.8125e-10,
                       1.5625e-10};
    s.m_Eye1.TopV = {10000, 0.525, 0.525, 10000};
    s.m_Eye1.TopT = {0, 0, 2.0833333333333334e-09, 2.0833333333333334e-09};

    s.m_Eye2.BottomV = {-10000, -0.525, -0.525, -10000};
    s.m_Eye2.BottomT = {0, 0, 2.0833333333333334e-09, 2.0833333333333334e-09};
    s.m_Eye2.InnerV = {0, -0.29, -0.29, 0, 0.29, 0.29, 0};
    s.m_Eye2.InnerT = {1.5625e-10,
                       7.8125e-10,
                       1.3020833333333334e-09,
                       1.9270833333333336e-09,
                       1.3020833333333334e-09,
                       7.8125e-10,
                       1.5625e-10};
    s.m_Eye2.TopV = {10000, 0.525, 0.525, 10000};
    s.m_Eye2.TopT = {0, 0, 2.0833333333333334e-09, 2.0833333333333334e-09};

    s.m_dEyeLevelHigh = 0.175;
    s.m_dEyeLevelLow = -0.175;
    s.m_dJitterNextMax = 0;
    s.m_dJitterPairedMax = 0;
    s.m_dJitterNextWaiver = 0;
    s.m_dJitterPairedWaiver = 0;
    s.m_dJitterScale = 1000000000000;
    s.m_strJitterUnit = "ps";
    s.m_dTimeScale = 1000000000;
    s.m_strTimeUnit = "ns";
    s.m_dTimeWindow = 5e-09;
    s.m_dSampleRateRef = 8000000000;
    s.m_dSePulse = 0;
    s.m_nSeCount = 0;
    s.m_dBitTime = 2.0833333333333334e-09;
    s.m_dRateMax = 480240000;
    s.m_dRateMin = 479760000;
    s.m_dRateWaiverMax = 480264000;
    s.m_dRateWaiverMin = 479736000;
    // "time, µs", the micro sign written as its two UTF-8 bytes.
    s.m_strSignalXLabel =
        "time, \xC2\xB5"
        "s";
    s.m_strSignalYLabel = "differential signal, V";
    s.m_dSignalScaleA = 0.2;
    s.m_dSignalScaleB = 0.1;
    s.m_strEyeXLabel = "time, ns";
    s.m_strEyeYLabel = "differential signal, V";
    s.m_dEyeScaleA = 0.2;
    s.m_dEyeScaleB = 0.1;
    return spec;
}
