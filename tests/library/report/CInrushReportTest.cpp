#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "inrush/CTestInrush.h"
#include "library/AnalysisRun.h"
#include "report/CHtmlText.h"
#include "report/CInrushReport.h"
#include "report/CInrushSummary.h"
#include "spec/CInrushConfig.h"

namespace {

const CInrushSpec kSpec = *CInrushConfig().BuildConfig();  // 4.4-5.5 V, 100 ms, 11 µF pass
const std::string kPass = "#006000", kFail = "red", kWarn = "#f09000", kNone = "absent";

// One 20 µC region at 5 V, followed 200 ms at 10 MS/s; verdicts by the verdict stage.
CInrushRecord Attach(const std::string& file, const std::function<void(CInrushRecord&)>& edit) {
    CInrushRecord r;
    r.m_strFile = file;
    r.m_dVoltage = 5.0;
    r.m_dSampleRate = 1e7;
    r.m_Time = CSampleTimes(0.0, 1e-3, 3);
    r.m_RegionCharge = {20e-6};
    r.m_RegionStart = {0.5e-3};
    r.m_RegionEnd = {1.5e-3};
    r.m_dCharge = 20e-6;
    r.m_dAfterTime = 0.2;
    edit(r);
    return CTestInrush().TestInrush(r, kSpec);
}

struct Case {
    const char* name;
    std::function<void(CInrushRecord&)> edit;
    std::vector<std::pair<std::string, std::string>> phrases;  // phrase, colour
    std::string summary = "";  // the file summary's line after the name, where checked
};

const std::vector<Case> kCases = {
    {"pass",
     [](CInrushRecord&) {},
     {{"Overall result: pass!", kPass},
      {"Inrush at 5.000 V: 20.0000 µC", ""},
      {"Inrush passes", kPass},
      {"Supply voltage of 5.000 V is within 4.40 V to 5.50 V", kPass},
      {"Capture covers the 100.0 ms after the inrush", kPass},
      {"Warning", kNone},
      {"No current above", kNone}},
     "pass,5.00,20.0000"},
    {"waived",
     [](CInrushRecord& r) { r.m_dCharge = r.m_RegionCharge[0] = 80e-6; },
     {{"Overall result: pass!", kPass},
      {"*** Inrush failure! *** (at 5.000 V, maximum compliant inrush is 55.0000 µC)", kFail},
      {"*** waiver granted ***", kPass},
      {"Inrush passes", kNone}},
     "pass,5.00,80.0000"},
    {"fail",
     [](CInrushRecord& r) { r.m_dCharge = r.m_RegionCharge[0] = 200e-6; },
     {{"Overall result: fail!", kFail},
      {"maximum compliant inrush is 55.0000 µC", kFail},
      {"waiver", kNone}},
     "fail,5.00,200.0000"},
    // The limits scale with the supply: at 4.75 V, 54 µC is waived and 148 µC fails.
    {"4.75 V waived",
     [](CInrushRecord& r) { r.m_dVoltage = 4.75, r.m_dCharge = r.m_RegionCharge[0] = 54e-6; },
     {{"maximum compliant inrush is 52.2500 µC", kFail}, {"*** waiver granted ***", kPass}},
     "pass,4.75,54.0000"},
    {"4.75 V fail",
     [](CInrushRecord& r) { r.m_dVoltage = 4.75, r.m_dCharge = r.m_RegionCharge[0] = 148e-6; },
     {{"Overall result: fail!", kFail}, {"waiver", kNone}}},
    {"supply at its end",
     [](CInrushRecord& r) { r.m_dVoltage = 4.4; },
     {{"Supply voltage of 4.400 V is within 4.40 V to 5.50 V", kPass}}},
    {"window short",
     [](CInrushRecord& r) { r.m_dAfterTime = 0.05; },
     {{"Overall result: fail!", kFail},
      {"Inrush passes", kPass},
      {"*** Capture window failure! *** (50.000 ms after the inrush, 100.0 ms is required)", kFail},
      {"Warning: Insufficient data: 50.000 ms, 100.0 ms is required", kWarn},
      {"These results cannot be used for official certification.", kFail}},
     "fail,5.00,20.0000"},
    {"supply out",
     [](CInrushRecord& r) { r.m_dVoltage = 3.0; },
     {{"Overall result: fail!", kFail},
      {"*** Supply voltage failure! *** (3.000 V is outside 4.40 V to 5.50 V)", kFail}},
     "fail,3.00,20.0000"},
    {"low rate",
     [](CInrushRecord& r) {
         r.m_nLowRate = 1;
         r.m_dSampleRate = 5e5;
     },
     {{"Overall result: pass!", kPass},
      {"Warning: Sample rate of 0.50 MS/s is too low for accurate measurements", kWarn},
      {"cannot be used for official certification", kFail}}},
    {"no inrush",
     [](CInrushRecord& r) {
         r.m_RegionCharge = r.m_RegionStart = r.m_RegionEnd = {};
         r.m_dCharge = r.m_dAfterTime = 0.0;
         r.m_bNoInrush = true;
     },
     {{"Inrush at 5.000 V: 0.0000 µC", ""},
      {"No current above the 0.100 A threshold was seen: check the current probe", kWarn},
      {"Region", kNone},
      {"Capture covers", kNone}}},
    {"regions",
     [](CInrushRecord& r) {
         r.m_RegionCharge = {5e-6, 0.0, 20e-6};
         r.m_RegionStart = {0.2e-3, 0.6e-3, 1.0e-3};
         r.m_RegionEnd = {0.4e-3, 0.8e-3, 1.5e-3};
     },
     {{"Region 1 Start: 0.200 ms - End: 0.400 ms = 5 µC", ""},
      {"Region 3 Start: 1.00000 ms - End: 1.500 ms = 20 µC", ""},
      {"Region 2", kNone}}},
};

}  // namespace

// Each case is a capture whose name holds markup, a quote and a comma: the page shows it
// as text and links the plot by it, and the file summary keeps it in one cell of the one
// line that sums the case up: the overall verdict, the supply and the charge in
// microcoulombs, with no line end after it.
TEST(InrushReport, EachVerdictIsWordedInItsColourAndTheWorstDecidesTheOverallLine) {
    const std::string name = "a<b&\"c,d";
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        const CTempFolder folder;
        const CInrushRecord record = Attach(folder.Path(name + ".csv"), c.edit);
        CPendingOutputs outputs;
        CInrushReport().WriteReport(record, kSpec, outputs, {});
        if (!c.summary.empty()) CInrushSummary().WriteFileSummary(record, outputs);
        outputs.Commit();
        const std::string html = Slurp(folder.Path(name + ".html"));
        const CReportText page(html);
        EXPECT_EQ(page.Mistakes(), std::vector<std::string>{});
        EXPECT_EQ(html.find(name), std::string::npos);
        EXPECT_NE(html.find("<meta charset=\"utf-8\">"), std::string::npos);
        EXPECT_NE(html.find("<img src=\"" + CHtmlText::LinkTarget(name + "Plot.png") + "\">"),
                  std::string::npos);
        EXPECT_EQ(page.Colour("Inrush Current Test Results for " + name), "");
        EXPECT_EQ(page.Colour("Data File: " + folder.Path(name + ".csv")), "");
        for (const auto& [phrase, colour] : c.phrases)
            EXPECT_EQ(page.Colour(phrase), colour) << phrase;
        if (c.summary.empty()) continue;
        EXPECT_EQ(Slurp(folder.Path(name + "_sum.csv")),
                  "File Name,Overall Result,VBus,Max Inrush\n\"a<b&\"\"c,d.csv\"," + c.summary);
    }
}
