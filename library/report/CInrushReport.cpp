#include "report/CInrushReport.h"

#include <ctime>

#include "report/CFormat.h"
#include "report/CHtmlText.h"
#include "report/CInrushHtml.h"
#include "report/CLimitsTable.h"
#include "report/CToolboxGlobals.h"
#include "report/CUsbSigReport.h"

namespace {

constexpr double kRateToMSps = 1e-6;

}  // namespace

void CInrushReport::WriteReport(const CInrushRecord& record, const CInrushSpec& spec,
                                CPendingOutputs& outputs, const CResultRecord& result) const {
    const CToolboxRecord toolbox = CToolboxGlobals().GetGlobals();
    const CInrushHtml html;
    const COutputNames names = OutputNamesOf(record.m_strFile);
    const std::string name = CHtmlText::Escape(names.m_strStem);
    const char* heading = toolbox.m_strHeadingFont.c_str();

    std::string page = CFormat::Printf(
        "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>Inrush test results "
        "for %s</title>\n</head>\n",
        name.c_str());
    page += toolbox.m_strBody;
    page +=
        CFormat::Printf("<a name=\"Top\"></a>\n%sInrush Current Test Results for %s</font><p>\n\n",
                        toolbox.m_strTitleFont.c_str(), name.c_str());
    page += CFormat::Printf(
        "For details on test setup, methodology, and performance criteria, please consult the "
        "power consumption requirements test description at the <a href=\"%s\">Brantis "
        "Compliance Program</a> web page.<p>\n\n",
        CHtmlText::Escape(toolbox.m_strComplianceUrl).c_str());
    page += CFormat::Printf("\n\n<pre>\n\n</pre>\n%s<u>Required Tests</u><br></font>\n\n<ul>\n",
                            heading);
    page += html.OverallBlock(record, spec, toolbox);
    page += html.ResultsBlock(record, spec, toolbox);
    // The current plot lies beside the page, named after the capture.
    page += "\n</ul>\n" + CLimitsTable().Html(result, toolbox);
    page += CFormat::Printf(
        "<pre>\n\n</pre>\n%s<u>Hot Plug (Attach)  Current Draw</u><br></font>\n\n"
        "<center>\n  <img src=\"%s\"><br>\n  </center>\n<ul>\n",
        heading, CHtmlText::LinkTarget(names.m_strStem + "Plot.png").c_str());
    page += CFormat::Printf("<li>Oscilloscope sample rate: %.2f MS/s<br>\n",
                            record.m_dSampleRate * kRateToMSps);
    page += CFormat::Printf("<li>Data File: %s<br>", CHtmlText::Escape(record.m_strFile).c_str());
    page += CFormat::Printf("<li>Test version: %s<br>\n", kTestVersion);
    page += CFormat::Printf("<li>Analysis performed: %s<br>\n",
                            ReportTimeStamp(std::time(nullptr)).c_str());
    page += "</ul>\n</body>\n</html>\n";

    CUsbSigReport::SavePage(names.Path(".html"), page, outputs);
}
