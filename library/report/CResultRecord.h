#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "report/CCheckResult.h"

// One file an analysis read, and what it held.
struct CResultInput {
    std::string m_strFile;    // full path
    std::string m_strRole;    // "differential", "D+", "D-" or "current"
    std::string m_strFormat;  // the file ending its reader goes by
};

// Everything a caller needs to act on one analysis without reading its HTML:
// what was read, which packet was measured, each check against its limits, and
// the verdict. Built once; the JSON result and the report's limits table both
// show this record, so they cannot disagree.
struct CResultRecord {
    std::string m_strAnalysis;  // "signal" or "inrush"
    std::vector<CResultInput> m_Inputs;
    double m_dSampleRate = 0.0;  // samples/s
    int64_t m_nSamples = 0;
    std::string m_strTestType;  // the test keyword, lower case; empty for inrush
    std::string m_strTestName;
    uint32_t m_nHubs = 0;
    // The measured packet: its index among the capture's packets and its span, s.
    int32_t m_nPacketIndex = -1;
    double m_dPacketStart = 0.0;
    double m_dPacketEnd = 0.0;
    std::optional<double> m_dSupplyVoltage;  // V, inrush only
    std::vector<CCheckResult> m_Checks;
    ECheckVerdict m_eOverall = ECheckVerdict::kFail;  // pass, waived or fail
};
