#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "library/AnalysisRun.h"
#include "library/signal/SignalCaptures.h"
#include "report/CUsbSigReport.h"

using namespace captures;

namespace {

// Where `phrase` stands on the page, by the section headings before it.
enum ESection { kRequired, kAdditional, kAbsent };
ESection SectionOf(const std::string& html, const std::string& phrase) {
    const std::size_t at = html.find(phrase);
    if (at == std::string::npos || at > html.find("SignalData and Eye")) return kAbsent;
    return at < html.find("Additional Information") ? kRequired : kAdditional;
}

}  // namespace

TEST(SignalReport, PageIsWellFormedUtf8AndShowsAHostileFileNameAsText) {
    const CTempFolder folder("velkin report #");
    // Markup, a character reference, a blank, "#", "%", quotes, a two-byte character,
    // and a full stop that is not the extension's.
    const std::string name = "a<script>alert(1) &lt; #1 %41&\"5\xC2\xB5s'.x";
    const std::string data = folder.Path(name + ".csv");
    CAnalysisRecord record = CleanPacket(false, data);
    record.m_nPrepResult = 1;  // up-sampled from a coarse capture
    CPendingOutputs outputs;
    CUsbSigReport().WriteReport(record, Codes(), Limits("fs"), false, outputs, {});
    outputs.Commit();

    const std::string html = Slurp(folder.Path(name + ".html"));
    EXPECT_EQ(html.rfind("<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n", 0), 0u);
    EXPECT_EQ(html.find("<script"), std::string::npos);
    const CReportText page(html);
    EXPECT_EQ(page.Mistakes(), std::vector<std::string>{});
    for (const std::string& line : std::vector<std::string>{
             "Full Speedtest results for " + name, "Full Speed Signal Quality Test",
             "Results for " + name, "Overall result: pass!",
             "*** Warning: Sample rate of 4.00 GS/s", "Oscilloscope sample rate: 4.000 GS/s",
             "Data file: " + data, "Test version: 2.20.00"})
        EXPECT_NE(page.Colour(line), "absent") << line;
    // The plots are linked by their names percent-encoded: a browser asks for those files.
    EXPECT_NE(html.find("<img src=\"a%3Cscript%3Ealert%281%29%20%26lt%3B%20%231%20%2541%26%225%"
                        "C2%B5s%27.xPlot.png\">"),
              std::string::npos);
}

TEST(SignalReport, PageNamesItsTestAndListsEachFigureUnderItsSection) {
    const CTempFolder folder;
    // An eUSB2 run of a device table has no name and no additional information; a
    // repeater table run without the eUSB2 flag is a hub port.
    const struct {
        const char *keyword, *name;
        bool eusb;
        ESection edges, jitter;
    } cases[] = {
        {"hsne", "Near End High Speed", false, kRequired, kAdditional},
        {"hsne", "", true, kRequired, kAbsent},
        {"hsfe", "Far End High Speed", false, kRequired, kAdditional},
        {"ehsrep", "eUSB High Speed Repeater", true, kRequired, kAdditional},
        {"ehsrep", "High Speed DS Hub", false, kRequired, kAdditional},
        {"fs", "Full Speed", false, kAdditional, kRequired},
        {"elsrep", "eUSB Low Speed Repeater", true, kAdditional, kRequired},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.keyword) + (c.eusb ? " eUSB2" : ""));
        const CSigSpec spec = Limits(c.keyword);
        CPendingOutputs outputs;
        CUsbSigReport().WriteReport(CleanPacket(spec.m_nSpeed == 3, folder.Path("dp.csv")), Codes(),
                                    spec, c.eusb, outputs, {});
        outputs.Commit();
        const std::string html = Slurp(folder.Path("dp.html"));
        EXPECT_NE(html.find("<title>" + std::string(c.name) + "test results for dp</title>"),
                  std::string::npos);
        EXPECT_EQ(SectionOf(html, "Rising Edge Rate"), c.edges);
        EXPECT_EQ(SectionOf(html, "Falling Edge Rate"), c.edges);
        EXPECT_EQ(SectionOf(html, "Consecutive jitter range"), c.jitter);
        EXPECT_EQ(SectionOf(html, "Margin Above eye"), c.jitter == kAbsent ? kAbsent : kAdditional);
    }
}
