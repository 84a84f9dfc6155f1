#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "inrush/CTestInrush.h"
#include "library/AnalysisRun.h"
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
    r.m_Time = {0.0, 1e-3, 2e-3};
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

// The file summary sums each case up in one line: the overall verdict, the supply and the
// charge in microcoulombs, with no line end after it.
TEST(InrushReport, EachVerdictIsWordedInItsColourAndTheWorstDecidesTheOverallLine) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        const CTempFolder folder;
        const CInrushRecord record = Attach(folder.Path("cap.csv"), c.edit);
        CInrushReport().WriteReport(record, kSpec);
        const std::string html = Slurp(folder.Path("cap.html"));
        const CReportText page(html);
        EXPECT_EQ(page.Mistakes(), std::vector<std::string>{});
        EXPECT_NE(html.find("<meta charset=\"utf-8\">"), std::string::npos);
        EXPECT_NE(html.find("<img src=\"capPlot.png\">"), std::string::npos);
        for (const auto& [phrase, colour] : c.phrases)
            EXPECT_EQ(page.Colour(phrase), colour) << phrase;
        if (c.summary.empty()) continue;
        CInrushSummary().WriteFileSummary(record);
        EXPECT_EQ(Slurp(folder.Path("cap_sum.csv")),
                  "File Name,Overall Result,VBus,Max Inrush\ncap.csv," + c.summary);
    }
}

TEST(InrushReport, HostileFileNameShowsAsTextAndStaysOneSummaryCell) {
    const CTempFolder folder;
    const std::string name = "a<b&\"c,d";
    const CInrushRecord r = Attach(folder.Path(name + ".csv"), [](CInrushRecord&) {});
    CInrushReport().WriteReport(r, kSpec);
    CInrushSummary().WriteFileSummary(r);
    const std::string html = Slurp(folder.Path(name + ".html"));
    EXPECT_EQ(html.find(name), std::string::npos);
    EXPECT_EQ(CReportText(html).Colour("Inrush Current Test Results for " + name), "");
    EXPECT_EQ(CReportText(html).Colour("Data File: " + folder.Path(name + ".csv")), "");
    EXPECT_EQ(Cell(ReadCsv(folder.Path(name + "_sum.csv")), "File Name"), name + ".csv");
}

TEST(InrushSummary, BatchTakesTheNextFreeNumberAndLaterCapturesAppendOneLineEach) {
    const CTempFolder folder;
    for (const char* taken : {"Inrush_Results_00.csv", "Inrush_Results_01.csv"})
        std::ofstream(folder.Path(taken)) << "kept";
    const CInrushSummary summary;
    const std::string file =
        summary.WriteBatchSummary(Attach(folder.Path("one.csv"), kCases[0].edit), true, "");
    EXPECT_EQ(file, folder.Path("Inrush_Results_02.csv"));
    EXPECT_EQ(
        summary.WriteBatchSummary(Attach(folder.Path("two.csv"), kCases[2].edit), false, file),
        file);
    EXPECT_EQ(Slurp(file),
              "File Name,Overall Result,VBus,Max Inrush\n\none.csv,pass,5.00,20.0000\n"
              "two.csv,fail,5.00,200.0000\n");
    // A batch whose first capture failed has no file: later captures do not start one.
    EXPECT_THROW(
        summary.WriteBatchSummary(Attach(folder.Path("three.csv"), kCases[0].edit), false, ""),
        CAnalysisError);
    EXPECT_EQ(Slurp(folder.Path("Inrush_Results_00.csv")), "kept");
}
