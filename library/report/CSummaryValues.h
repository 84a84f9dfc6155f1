#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "report/CToolboxGlobals.h"
#include "signal/CPacketMeasurement.h"
#include "signal/CPacketVerdict.h"
#include "spec/CSigConfig.h"
#include "spec/CSigSpec.h"

// The figures of one summary line as text, formatted once per run in the units and
// decimals of the HTML report, so a spreadsheet of a batch reads like its reports.
// A figure that could not be formed (no unit interval, a zero edge rate) is an empty
// cell, never "nan" or "inf".
struct CSummaryValues {
    std::string m_strFail = "fail";
    std::string m_strPass = "pass";
    std::string m_strOverall;  // m_strPass or m_strFail, by the overall verdict
    std::string m_strEopWidth;
    std::string m_strSignalRate;  // MHz
    std::string m_strRiseRate;    // V/us
    std::string m_strRiseTime;    // ns at full and low speed, ps at high speed
    std::string m_strFallRate;
    std::string m_strFallTime;
    // Consecutive max, min, RMS; JK max, min, RMS; KJ max, min, RMS.
    std::array<std::string, 9> m_strJitter;
    std::string m_strMonotonic;  // mV
    // Above eye, below eye, min voltage, above bottom, max voltage, below top; volts.
    std::array<std::string, 6> m_strEyeValues;
    // Max, min and mean crossover voltage; empty at high speed, where D+ and D- are
    // not captured.
    std::array<std::string, 3> m_strCrossover;
    std::string m_strSyncBits;
    std::string m_strHubs;

    static CSummaryValues From(const CPacketMeasurement& measurement, const CPacketVerdict& verdict,
                               const CToolboxRecord& toolbox, const CSigConfig& config,
                               const CSigSpec& spec, uint32_t hubs);
};
