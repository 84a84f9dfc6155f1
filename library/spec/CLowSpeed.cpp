#include "spec/CLowSpeed.h"

#include <string>

std::unique_ptr<CSigSpec> CLowSpeed::Build() const {
    auto spec = std::make_unique<CSigSpec>();
    CSigSpec& s = *spec;

    s.m_nTestId = 1;
    s.m_nSpeed = kLowSpeed;
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
    s.m_dDiffThreshold = 0.3;
    s.m_dCrossoverMin = 1.3;
    s.m_dCrossoverMax = 2;
    s.m_dCrossoverWaiverMin = 1;
    s.m_dCrossoverWaiverMax = 2.5;
    s.m_nCrossoverFirst = 2;
    s.m_nCrossoverSkipLast = 1;
    // A start-of-frame packet has no longer EOP at low speed: both elements equal.
    s.m_EopMax = {1.5e-06, 1.5e-06};
    s.m_EopMin = {1.25e-06, 1.25e-06};
    s.m_EopWaiverMax = {1.5e-06, 1.5e-06};
    s.m_EopWaiverMin = {1.225e-06, 1.225e-06};
    s.m_EopHubMax = {1.5e-06, 1.5e-06};
    // Stored as the table gives them, minimum above maximum; only high speed reads them.
    s.m_dHubEopMin = 1.5e-06;
    s.m_dHubEopMax = 1.225e-06;
    s.m_dEdgeRateMax = 35.2;
    s.m_dEdgeRateMin = 8.8;
    s.m_dEdgeRateWaiverMax = 35.2;
    s.m_dEdgeRateMatch = 20;
    s.m_dEopScale = 1000000;
    s.m_strEopUnit = " us";
    s.m_dMonotonicLimit = 0.5;

    // The unit interval of the template is stored as 6.66667e-07, not the exact bit time.
    s.m_Eye1.BottomV = {-10000, -0.2, -0.2, -10000};
    s.m_Eye1.BottomT = {0, 0, 6.66667e-07, 6.66667e-07};
    s.m_Eye1.InnerV = {1.6, 0.4, 0.4, 1.6, 2.8, 2.8, 1.6};
    s.m_Eye1.InnerT = {5e-08, 1.5e-07, 5.16667e-07, 6.16667e-07, 5.16667e-07, 1.5e-07, 5e-08};
    s.m_Eye1.TopV = {10000, 3.7, 3.7, 10000};
    s.m_Eye1.TopT = {0, 0, 6.66667e-07, 6.66667e-07};

    s.m_Eye2.BottomV = {-10000, -0.3, -0.3, -10000};
    s.m_Eye2.BottomT = {0, 0, 6.66667e-07, 6.66667e-07};
    s.m_Eye2.InnerV = {1.6, 0.6, 0.6, 1.6, 2.6, 2.6, 1.6};
    s.m_Eye2.InnerT = {8e-08, 1.65e-07, 5.01667e-07, 5.86667e-07, 5.01667e-07, 1.65e-07, 8e-08};
    s.m_Eye2.TopV = {10000, 3.8, 3.8, 10000};
    s.m_Eye2.TopT = {0, 0, 6.66667e-07, 6.66667e-07};

    s.m_dEyeLevelHigh = 2.8;
    s.m_dEyeLevelLow = 0.4;
    s.m_dJitterNextMax = 2.5e-08;
    s.m_dJitterPairedMax = 1e-08;
    s.m_dJitterNextWaiver = 3.33e-07;
    s.m_dJitterPairedWaiver = 2e-07;
    s.m_dJitterScale = 1000000000;
    s.m_strJitterUnit = "ns";
    s.m_dTimeScale = 1000000000;
    s.m_strTimeUnit = "ns";
    s.m_dTimeWindow = 5e-09;
    s.m_dSampleRateRef = 500000000;
    s.m_dSePulse = 4e-06;
    s.m_nSeCount = 6;
    s.m_dBitTime = 6.666666666666667e-07;
    // The double just below 1522500 (1.5e6 x 1.015 in double arithmetic). The
    // literal has 17 significant digits, so it converts to exactly that double:
    // std::nextafter(1522500.0, 0.0); a test checks it.
    s.m_dRateMax = 1522499.9999999998;
    s.m_dRateMin = 1477500;
    s.m_dRateWaiverMax = 1567500;
    s.m_dRateWaiverMin = 1432500;
    // "time, µs", the micro sign written as its two UTF-8 bytes.
    s.m_strSignalXLabel =
        "time, \xC2\xB5"
        "s";
    s.m_strSignalYLabel = "D+ and D-, and common mode signals, V";
    s.m_dSignalScaleA = 2;
    s.m_dSignalScaleB = 0.5;
    s.m_strEyeXLabel = "time, ns";
    s.m_strEyeYLabel = "D+ and D-, V";
    s.m_dEyeScaleA = 100;
    s.m_dEyeScaleB = 0.5;
    return spec;
}
