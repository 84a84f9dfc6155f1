#include "report/CToolboxGlobals.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string_view>

namespace {

// The programme page the reports' first paragraph links to: a lab sets its own with
// VELKIN_COMPLIANCE_URL; unset, the paragraph keeps its words and links nowhere. The
// signal report writes the address unquoted, so one that could end the attribute or
// the tag (a blank, a quote, "<", ">", "`") is not taken.
std::string ComplianceUrl() {
    const char* value = std::getenv("VELKIN_COMPLIANCE_URL");
    if (value == nullptr) return "";
    const std::string url = value;
    for (const unsigned char c : url)
        if (c <= ' ' || c >= 0x7F ||
            std::string_view("\"'<>`").find(static_cast<char>(c)) != std::string_view::npos)
            return "";
    return url;
}

}  // namespace

CToolboxRecord CToolboxGlobals::GetGlobals() const {
    CToolboxRecord record;
    const CVerdictCodes& codes = kVerdictCodes;
    record.m_nNotTested = codes.m_nNotTested;
    record.m_nPass = codes.m_nPass;
    record.m_nWaived = codes.m_nWaived;
    record.m_nFail = codes.m_nFail;
    record.m_nCode8 = codes.m_nCode8;
    record.m_nNoData = codes.m_nNoData;
    record.m_nCode5 = codes.m_nCode5;
    record.m_nCode6 = codes.m_nCode6;
    record.m_nCode7 = codes.m_nCode7;
    record.m_strBody =
        "<body alink=\"#ff0000\" bgcolor=\"#ffffff\" link=\"#0000ee\" text=\"#000000\" "
        "vlink=\"#551a8b\">\n\n";
    record.m_strComplianceUrl = ComplianceUrl();
    record.m_strHeadingFont = "<font face = \"helvetica\" size=4>";
    record.m_strFailFont = "<font color=\"red\">";
    record.m_strPassFont = "<font color=\"#006000\">";
    record.m_strTitleFont = "<font face=\"helvetica\" size=5>";
    record.m_strWaiverFont = "<font color=\"#006000\">";
    record.m_strWarningFont = "<font color=\"#f09000\">";
    record.m_strSpareFont = "<font color=\"#red\">";
    return record;
}

std::string ReportTimeStamp(std::time_t when) {
    // Spelled out rather than through strftime: a host program that sets its user's
    // locale (a Qt front end does) would otherwise change the day and month names.
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::tm local{};
    localtime_r(&when, &local);
    char text[64];
    std::snprintf(text, sizeof text, "%s %s %2d %02d:%02d:%02d %d\n",
                  kDays[static_cast<unsigned>(local.tm_wday) % 7],
                  kMonths[static_cast<unsigned>(local.tm_mon) % 12], local.tm_mday, local.tm_hour,
                  local.tm_min, local.tm_sec, local.tm_year + 1900);
    return text;
}
