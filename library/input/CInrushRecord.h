#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/CSampleTimes.h"

// The record that carries one inrush analysis from loading through measurement to
// the verdicts. It is moved from stage to stage: the current trace is never copied.
struct CInrushRecord {
    // Loading.
    CSampleTimes m_Time;            // s
    std::vector<double> m_Current;  // A
    double m_dDuration = 0.0;       // s from the first sample at the threshold to the end
    double m_dVoltage = 0.0;        // V, supply the charge is judged at
    double m_dSampleRate = 0.0;     // samples/s
    int32_t m_nLowRate = 0;         // 1: sampled below the minimum rate, a warning
    int32_t m_nSamples = 0;
    std::string m_strFile;

    // Measurement: one entry per inrush region, in capture order.
    std::vector<double> m_RegionCharge;  // C above the threshold
    std::vector<double> m_RegionStart;   // s
    std::vector<double> m_RegionEnd;     // s
    double m_dCharge = 0.0;              // C, the largest region charge
    double m_dAfterTime = 0.0;           // s followed after the inrush start
    // No sample of the trace rose above the threshold: the charge of 0 is a
    // measurement of no inrush, not a missed one.
    bool m_bNoInrush = false;

    // Verdicts (codes of CToolboxRecord).
    int32_t m_nChargeVerdict = 0;
    int32_t m_nWindowVerdict = 0;
    int32_t m_nSupplyVerdict = 0;
    // The worst of the three: a capture too short or a supply out of its window
    // fails the test as surely as too much charge.
    int32_t m_nOverallVerdict = 0;
};
