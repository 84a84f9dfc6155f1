#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "common/CPathNames.h"
#include "common/CVerdictCodes.h"

// Verdict codes and the HTML fragments every report is built from. The codes are
// not in slot order: compare against the fields, never against literals. The codes
// are those of CVerdictCodes, which the measurement stages judge with.
struct CToolboxRecord {
    int32_t m_nNotTested = 0;
    int32_t m_nPass = 0;
    int32_t m_nWaived = 0;
    int32_t m_nFail = 0;
    int32_t m_nCode8 = 0;
    int32_t m_nNoData = 0;
    int32_t m_nCode5 = 0;
    int32_t m_nCode6 = 0;
    int32_t m_nCode7 = 0;
    std::string m_strBody;
    std::string m_strComplianceUrl;
    std::string m_strHeadingFont;
    std::string m_strFailFont;
    std::string m_strPassFont;
    std::string m_strTitleFont;
    std::string m_strWaiverFont;
    std::string m_strWarningFont;
    std::string m_strSpareFont;
};

class CToolboxGlobals {
public:
    CToolboxRecord GetGlobals() const;
};

// Shown under "Test version" in every report.
inline constexpr const char* kTestVersion = "2.20.00";

// The 24-character local time stamp of a report ("Mon Dec  7 04:02:21 2026"),
// followed by a newline.
std::string ReportTimeStamp(std::time_t when);
