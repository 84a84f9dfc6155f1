#include "spec/CFullSpeedFarEnd.h"

#include <string>

std::unique_ptr<CSigSpec> CFullSpeedFarEnd::Build() const {
    auto spec = std::make_unique<CSigSpec>();
    CSigSpec& s = *spec;

    s.m_nTestId = 2;
    s.m_nSpeed = kFullSpeed;
    s.m_EopSymbols = {3};
    s.m_dFactorA = 1.5;
    s.m_nIdleSymbol = 2;
    s.m_dEopBitsMin = 1;
    s.m_dEopBitsMax = 3;
    s.m_dEopBitsWaiverMax = 3;
    s.m_dEopBitsWaiverMin = 1;
    s.m_dHubEopBitsMin = 1;
    s.m_dHubEopBitsMax = 3;
    s.m_dSofEopBitsMin = 1;
    s.m_dSofEopBitsMax = 3;
    s.m_dSofEopBitsWaiverMin = 1;
    s.m_dSofEopBitsWaiverMax = 3;
    s.m_dIdleBitsMin = 8.5;
    s.m_strSyncPatterns.assign(23, "KJKJKJKK");
    s.m_dCommonModeLimit = 0.5;
    s.m_dLevelB = 10;
    s.m_dDiffThreshold = 0.2;
    s.m_dCrossoverMin = 1.3;
    s.m_dCrossoverMax = 2;
    s.m_dCrossoverWaiverMin = 1;
    s.m_dCrossoverWaiverMax = 2.5;
    s.m_nCrossoverFirst = 2;
    s.m_nCrossoverSkipLast = 1;
    // A start-of-frame packet has no longer EOP at full speed: both elements equal.
    s.m_EopMax = {1.75e-07, 1.75e-07};
    s.m_EopMin = {1.6e-07, 1.6e-07};
    s.m_EopWaiverMax = {1.75e-07, 1.75e-07};
    s.m_EopWaiverMin = {1.57e-07, 1.57e-07};
    s.m_EopHubMax = {1.75e-07, 1.75e-07};
    s.m_dHubEopMin = 1.57e-07;  // stored, not computed, at full speed
    s.m_dHubEopMax = 1.75e-07;
    s.m_dEdgeRateMax = 660;
    s.m_dEdgeRateMin = 132;
    s.m_dEdgeRateWaiverMax = 660;
    s.m_dEdgeRateMatch = 10;
    s.m_dEopScale = 1000000000;
    s.m_strEopUnit = "ns";
    s.m_dMonotonicLimit = 0.5;

    // The unit interval of the template is stored as 8.33333e-08, not the exact bit time.
    s.m_Eye1.BottomV = {-10000, -0.9, -0.9, -10000};
    s.m_Eye1.BottomT = {0, 0, 8.33333e-08, 8.33333e-08};
    s.m_Eye1.InnerV = {1.65, 0.8, 0.8, 1.65, 2.5, 2.5, 1.65};
    s.m_Eye1.InnerT = {8.2e-09, 2.115e-08, 6.993e-08, 7.513e-08, 6.993e-08, 2.115e-08, 8.2e-09};
    s.m_Eye1.TopV = {10000, 4.4, 4.4, 10000};
    s.m_Eye1.TopT = {0, 0, 8.33333e-08, 8.33333e-08};

    s.m_Eye2.BottomV = {-10000, -0.9, -0.9, -10000};
    s.m_Eye2.BottomT = {0, 0, 8.33333e-08, 8.33333e-08};
    s.m_Eye2.InnerV = {1.65, 0.8, 0.8, 1.65, 2.5, 2.5, 1.65};
    s.m_Eye2.InnerT = {8.2e-09, 2.115e-08, 6.993e-08, 7.513e-08, 6.993e-08, 2.115e-08, 8.2e-09};
    s.m_Eye2.TopV = {10000, 4.4, 4.4, 10000};
    s.m_Eye2.TopT = {0, 0, 8.33333e-08, 8.33333e-08};

    s.m_dEyeLevelHigh = 2.5;
    s.m_dEyeLevelLow = 0.8;
    s.m_dJitterNextMax = 2e-09;
    s.m_dJitterPairedMax = 1e-09;
    s.m_dJitterNextWaiver = 4e-08;
    s.m_dJitterPairedWaiver = 2e-08;
    s.m_dJitterScale = 1000000000000;
    s.m_strJitterUnit = "ps";
    s.m_dTimeScale = 1000000000;
    s.m_strTimeUnit = "ns";
    s.m_dTimeWindow = 5e-09;
    s.m_dSampleRateRef = 4000000000;
    s.m_dSePulse = 5e-07;
    s.m_nSeCount = 6;
    s.m_dBitTime = 8.333333333333334e-08;
    s.m_dRateMax = 12030000;
    s.m_dRateMin = 11970000;
    s.m_dRateWaiverMax = 12150000;
    s.m_dRateWaiverMin = 11850000;
    // "time, µs", the micro sign written as its two UTF-8 bytes.
    s.m_strSignalXLabel =
        "time, \xC2\xB5"
        "s";
    s.m_strSignalYLabel = "D+ and D-, and common mode signals, V";
    s.m_dSignalScaleA = 0.5;
    s.m_dSignalScaleB = 0.5;
    s.m_strEyeXLabel = "time, ns";
    s.m_strEyeYLabel = "D+ and D-, V";
    s.m_dEyeScaleA = 10;
    s.m_dEyeScaleB = 0.5;
    return spec;
}
