#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>

#include "library/AnalysisRun.h"
#include "library/signal/SignalCaptures.h"
#include "report/CTestSummary.h"

namespace fs = std::filesystem;
using namespace captures;

TEST(FileSummary, EachFigureStandsUnderItsColumnInTheUnitsAndDecimalsOfTheReport) {
    const CTempFolder folder;
    CAnalysisRecord record = CleanPacket(true, folder.Path("hs.csv"));
    CPacketMeasurement& m = record.m_Measurements[0];
    m.m_dFallRate = 1000;
    m.m_dJKJitterRms = 1e-10;
    m.m_dKJJitterMin = -2e-10;
    m.m_dKJJitterMax = 4e-10;
    m.m_dKJJitterRms = 1.5e-10;
    m.m_dMarginBelowEye = 0.0234;
    m.m_dMinVoltage = -0.41;
    m.m_dMarginAboveBottom = 0.034;
    m.m_dMarginBelowTop = 0.056;
    CPendingOutputs outputs;
    CTestSummary().WriteFileSummary(record, Codes(), Config(), Limits("hsne"), false, outputs);
    outputs.Commit();

    // Edge times in ps at high speed, jitter in ps, monotonicity in mV, eye values in V,
    // and no line end after the line. The Mean Consecutive Jitter column holds the
    // RMS value, as the report shows it.
    EXPECT_EQ(Slurp(folder.Path("hs_sum.csv")),
              "File Name,TestType,Overall Result,EOP Width,Signal Rate,Rising Edge Rate,Rise Time,"
              "Falling Edge Rate,Fall Time,Max Consecutive Jitter,Min Consecutive Jitter,"
              "Mean Consecutive Jitter,Max JK Jitter,Min JK Jitter,RMS JK Jitter,Max KJ Jitter,"
              "Min KJ Jitter,RMS KJ Jitter,Monotonic Edge,Margin Above Eye,Margin Below Eye,"
              "Min Voltage,Margin Above Bottom,Max Voltage,Margin Below Top\n"
              "hs.csv,hsne,pass,8.00,480.0000,1500.00,426.67,1000.00,640.00,500.000,-500.000,"
              "200.000,300.000,-300.000,100.000,400.000,-200.000,150.000, 10,0.012,0.023,-0.410,"
              "0.034,0.400,0.056");

    // No unit interval, no edge, an EOP that was not found: empty cells, never "nan".
    m.m_dUnitInterval = std::nan("");
    m.m_dRiseRate = 0;
    m.m_dKJJitterRms = std::nan("");
    record.m_Verdicts[0].m_nEopWidth = Codes().m_nNotTested;
    record.m_Verdicts[0].m_nOverall = Codes().m_nNotTested;
    CTestSummary().WriteFileSummary(record, Codes(), Config(), Limits("hsne"), false, outputs);
    outputs.Commit();
    const CCsvRows odd = ReadCsv(folder.Path("hs_sum.csv"));
    for (const char* column : {"EOP Width", "Signal Rate", "Rise Time", "RMS KJ Jitter"})
        EXPECT_EQ(Cell(odd, column), "") << column;
    EXPECT_EQ(Cell(odd, "Overall Result"), "fail");
}

// Crossovers only where D+ and D- were captured; the hub count and dropped SYNC
// bits for hub ports, repeaters and every eUSB2 run, whose device tables a batch
// still names by keyword.
TEST(FileSummary, OptionalColumnsFollowTheTestType) {
    const CTempFolder folder;
    for (const auto& [keyword, eusb, batch, columns, type, column, cell] :
         {std::tuple{"hsne", false, false, 25u, "hsne", "Max Voltage", "0.400"},
          {"fs", false, false, 28u, "fs", "Mean Crossover Voltage", "1.60"},
          {"hshub", false, false, 27u, "hshub", "Number of Hubs", "2"},
          {"lshub", false, false, 30u, "lshub", "Max Crossover Voltage", "1.66"},
          {"elsrep", true, false, 27u, "elsrep", "Sync Bits Dropped", "3"},
          {"hsne", true, false, 27u, "", "Number of Hubs", "2"},
          {"hsne", true, true, 27u, "hsne", "Sync Bits Dropped", "3"},
          {"fs", true, true, 30u, "fs", "Min Crossover Voltage", "1.55"}}) {
        SCOPED_TRACE(std::string(keyword) + (eusb ? " eUSB2" : "") + (batch ? " batch" : ""));
        const CSigSpec spec = Limits(keyword);
        CAnalysisRecord record = CleanPacket(spec.m_nSpeed == 3, folder.Path("cap.csv"));
        record.m_nHubs = 2;
        record.m_Measurements[0].m_nSyncBitsDropped = 3;
        std::string written = folder.Path("cap_sum.csv");
        CPendingOutputs outputs;
        if (batch) {
            written = CTestSummary().WriteBatchSummary(record, Codes(), Config(), spec, true, "",
                                                       eusb, outputs);
        } else {
            CTestSummary().WriteFileSummary(record, Codes(), Config(), spec, eusb, outputs);
        }
        outputs.Commit();
        const CCsvRows rows = ReadCsv(written);
        ASSERT_EQ(rows.size(), 2u);
        EXPECT_EQ(rows[0].size(), columns);
        EXPECT_EQ(rows[1].size(), columns);
        EXPECT_EQ(Cell(rows, "TestType"), type);
        EXPECT_EQ(Cell(rows, column), cell);
    }
}

// A dangling link holds its name and is not written through. A batch a spreadsheet saved
// without its last line end takes the next line on a line of its own; a run that fails to
// start a batch adds no line and keeps the one running, and a file summary leaves it be.
TEST(BatchSummary, RunsOfABatchShareOneFileInRunOrderAndAFailedRunAddsNoLine) {
    CAnalysisRun run;
    for (const char* name : {"a.csv", "b.csv", "c.csv"}) run.HighSpeed(name);
    {
        std::ofstream quiet(run.Path("idle.csv"));
        for (int i = 0; i < 1000; ++i) quiet << i * 1.25e-10 << ",0.0\n";
    }
    fs::create_symlink(run.Path("elsewhere.csv"), run.Path("High_Speed_Results_00.csv"));
    const std::string first = run.Path("High_Speed_Results_01.csv");
    EXPECT_EQ(run.RunCapture("a.csv", "hsne", "", 2), "");
    std::string saved = Slurp(first);
    saved.pop_back();
    std::ofstream(first, std::ios::binary) << saved;
    run.RunCapture("b.csv", "hsne", "", 7);  // every mode past 3 appends
    EXPECT_NE(run.RunCapture("idle.csv", "hsne", "", 2), "");
    EXPECT_EQ(run.m_Driver.SummaryFileName, first);
    run.RunCapture("c.csv", "hsne", "", 1);
    run.RunCapture("c.csv", "hsne", "", 3);

    const std::string text = Slurp(first);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 4);
    const CCsvRows rows = ReadCsv(first);
    ASSERT_EQ(rows.size(), 4u);
    for (std::size_t line = 1; line < rows.size(); ++line) {
        EXPECT_EQ(rows[line].size(), 25u);
        EXPECT_EQ(rows[line][0], std::string(1, 'a' + (line - 1)) + ".csv");
    }
    run.RunCapture("a.csv", "hsne", "", 2);  // the next start takes the next number
    EXPECT_EQ(run.m_Driver.SummaryFileName, run.Path("High_Speed_Results_02.csv"));
    EXPECT_FALSE(fs::exists(run.Path("elsewhere.csv")));
}

TEST(BatchSummary, FileNamesStayInTheirCellAndNeverBecomeFormulas) {
    const CTempFolder folder;
    // A name a spreadsheet would take for a formula is shown with a leading quote.
    const std::string shown[] = {"a,b \"q\".csv", "a,b.csv",   "'=SUM(A1).csv", "'+1.csv",
                                 "'-2.csv",       "'@cmd.csv", "plain.csv"};
    std::string batch;
    CPendingOutputs outputs;
    for (const std::string& name : shown) {
        batch = CTestSummary().WriteBatchSummary(
            CleanPacket(true, folder.Path(name.substr(name[0] == '\'' ? 1 : 0))), Codes(), Config(),
            Limits("hsne"), batch.empty(), batch, false, outputs);
        outputs.Commit();
    }
    const CCsvRows rows = ReadCsv(batch);
    ASSERT_EQ(rows.size(), std::size(shown) + 1);
    for (std::size_t i = 0; i < std::size(shown); ++i) {
        EXPECT_EQ(rows[i + 1].size(), 25u) << shown[i];
        EXPECT_EQ(rows[i + 1][0], shown[i]);
    }
}
