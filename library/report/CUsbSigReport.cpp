#include "report/CUsbSigReport.h"

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <string>

#include "common/CAnalysisError.h"
#include "report/CFormat.h"
#include "report/CHtmlText.h"
#include "report/CLimitsTable.h"
#include "report/CSignalHtml.h"

namespace {

constexpr double kRateToGSps = 1e-9;

// Display codes: the test tables 1 to 4, their downstream hub ports 5 to 7, and the
// eUSB2 repeaters 8 to 10.
constexpr int32_t kEusbOffset = 7;
constexpr int32_t kFirstEusbCode = 5;
constexpr int32_t kHubOffset = 4;
constexpr int32_t kHighestHubCode = 7;

}  // namespace

int32_t CUsbSigReport::DisplayCode(const CSigSpec& spec, bool isEusb) {
    int32_t code = spec.m_nTestId;
    if (isEusb && code < kFirstEusbCode) {
        code += kEusbOffset;
    } else if (spec.m_bHubTest != 0 && !isEusb) {
        code = std::min(code + kHubOffset, kHighestHubCode);
    }
    return code;
}

namespace {

std::string NameOfCode(int32_t code) {
    switch (code) {
        case 1:
            return "Low Speed";
        case 2:
            return "Full Speed";
        case 3:
            return "Far End High Speed";
        case 4:
            return "Near End High Speed";
        case 5:
            return "Low Speed DS Hub";
        case 6:
            return "Full Speed DS Hub";
        case 7:
            return "High Speed DS Hub";
        case 8:
            return "eUSB Low Speed Repeater";
        case 9:
            return "eUSB Full Speed Repeater";
        case 10:
            return "eUSB High Speed Repeater";
        default:
            return "";
    }
}

// Single-ended tests (and their hub ports and repeaters) show edge rates as extra
// information; high-speed ones show crossovers and jitter there.
bool ShowsEdgeRatesAsExtra(int32_t code) {
    return code == 1 || code == 2 || code == 5 || code == 6 || code == 8 || code == 9;
}
bool ShowsCrossoverAsExtra(int32_t code) {
    return code == 3 || code == 4 || code == 7 || code == 10;
}

}  // namespace

std::string CUsbSigReport::DisplayName(const CSigSpec& spec, bool isEusb) {
    return NameOfCode(DisplayCode(spec, isEusb));
}

void CUsbSigReport::WriteReport(const CAnalysisRecord& record, CToolboxRecord toolbox,
                                const CSigSpec& spec, bool isEusb, CPendingOutputs& outputs,
                                const CResultRecord& result) const {
    const CPacketMeasurement& measurement = record.m_Measurements.at(0);
    const CPacketVerdict& verdict = record.m_Verdicts.at(0);
    const CSignalFragments f =
        CSignalHtml().BuildFragments(verdict, toolbox, spec, measurement, record, isEusb);
    const int32_t code = DisplayCode(spec, isEusb);
    const std::string displayName = NameOfCode(code);
    const COutputNames names = OutputNamesOf(record.m_strFileA);
    const std::string reportName = CHtmlText::Escape(names.m_strStem);
    const char* heading = toolbox.m_strHeadingFont.c_str();

    std::string page = CFormat::Printf(
        "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>%stest results for "
        "%s</title>\n\n",
        displayName.c_str(), reportName.c_str());
    page += "<style>h3 {text-decoration:underline;}</style>\n</head>\n";
    page += toolbox.m_strBody;
    page += CFormat::Printf(
        "<a name=Top></a>\n%s%s Signal Quality Test<br>\nResults for %s</font><p>\n\n",
        toolbox.m_strTitleFont.c_str(), displayName.c_str(), reportName.c_str());
    page += CFormat::Printf(
        "For details on test setup, methodology, and performance criteria, please consult the "
        "signal quality test description at the <a href=%s>Brantis Compliance Program</a> web "
        "page.<p>\n\n",
        toolbox.m_strComplianceUrl.c_str());

    page += CFormat::Printf("\n\n<pre>\n\n</pre>\n%s<u>Required Tests</u><br></font>\n\n<ul>\n",
                            heading);
    for (const std::string* fragment :
         {&f.m_strOverall, &f.m_strSampleRateWarning, &f.m_strSync, &f.m_strEye, &f.m_strEopWidth,
          &f.m_strSignalRate, &f.m_strMonotonicity, &f.m_strMonotonicVerdict}) {
        page += *fragment;
    }
    if (spec.m_nSpeed == kHighSpeed) {
        page += f.m_strRiseRate + f.m_strRiseVerdict + f.m_strFallRate + f.m_strFallVerdict;
    } else if (spec.m_nSpeed == kLowSpeed || spec.m_nSpeed == kFullSpeed) {
        page += f.m_strCrossover + f.m_strJitter;
    }

    page += CFormat::Printf(
        "</ul>\n\n<pre>\n\n</pre>\n%s<u>Additional Information</u><br></font>\n\n<ul>\n", heading);
    if (ShowsEdgeRatesAsExtra(code) || ShowsCrossoverAsExtra(code)) {
        page += ShowsEdgeRatesAsExtra(code)
                    ? f.m_strRiseRate + f.m_strRiseVerdict + f.m_strFallRate + f.m_strFallVerdict +
                          f.m_strEdgeRateMatch
                    : f.m_strCrossover + f.m_strJitter;
        page += f.m_strMarginAboveEye + f.m_strMarginBelowEye + f.m_strMaxVoltage +
                f.m_strMarginBelowTop + f.m_strMinVoltage + f.m_strMarginAboveBottom;
    }

    page += "</ul>\n" + CLimitsTable().Html(result, toolbox);
    // The plots lie beside the page, named after the first data file; the packet
    // plot zooms in on the packet the figures were measured on.
    page += CFormat::Printf(
        "\n%s<u>SignalData and Eye</u><br></font>\n<center>\n<img src=\"%s\"><br>\n<img "
        "src=\"%s\"><br>\n<img src=\"%s\"><br>\n</center>",
        heading, CHtmlText::LinkTarget(names.m_strStem + "Plot.png").c_str(),
        CHtmlText::LinkTarget(names.m_strStem + "Eye.png").c_str(),
        CHtmlText::LinkTarget(names.m_strStem + "Packet.png").c_str());

    page += CFormat::Printf("\n<pre>\n</pre><u>\n%sTracking Information<br></font>\n\n</u><ul>",
                            heading);
    page += CFormat::Printf("<li>Oscilloscope sample rate: %.3f GS/s<br>",
                            record.m_dSampleRate * kRateToGSps);
    if (!record.m_strFileB.empty()) {
        const std::string& dPlusFile =
            record.m_bPairSwapped ? record.m_strFileB : record.m_strFileA;
        const std::string& dMinusFile =
            record.m_bPairSwapped ? record.m_strFileA : record.m_strFileB;
        page += CFormat::Printf("<li>Dplus DataFile: %s<br>", CHtmlText::Escape(dPlusFile).c_str());
        page +=
            CFormat::Printf("<li>Dminus Data File: %s<br>", CHtmlText::Escape(dMinusFile).c_str());
    } else {
        page +=
            CFormat::Printf("<li>Data file: %s<br>", CHtmlText::Escape(record.m_strFileA).c_str());
    }
    page += CFormat::Printf("<li>Test version: %s<br>", f.m_strVersion.c_str());
    page += CFormat::Printf("<li>Analysis performed: %s<br>\n",
                            ReportTimeStamp(std::time(nullptr)).c_str());
    page += "</ul>\n</body>\n</html>\n";

    SavePage(names.Path(".html"), page, outputs);
}

void CUsbSigReport::SavePage(const std::string& path, const std::string& page,
                             CPendingOutputs& outputs) {
    outputs.Add(path, page,
                {"Failed to open report file",
                 ComposeMessage("Failed to write report file %s",
                                {std::filesystem::path(path).filename().string()})});
}
