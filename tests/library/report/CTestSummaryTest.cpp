// Summaries written by whole signal-quality runs on synthesized captures, read back
// with Python's csv module as a spreadsheet would read them.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "entry/CAnalysisError.h"
#include "entry/CUsbSigCheck.h"
#include "report/CSummaryValues.h"
#include "report/CTestSummary.h"
#include "spec/CSigTestSpec.h"
#include "spec/CSignalConfig.h"
#include "synth/Synth.h"

namespace fs = std::filesystem;

namespace {

using Rows = std::vector<std::vector<std::string>>;

// Prints the cells of every row with unit and record separators between them.
constexpr const char* kCsvReader = R"PY(
import csv, sys
with open(sys.argv[1], newline="", encoding="utf-8") as f:
    for row in csv.reader(f, strict=True):
        sys.stdout.write("\x1f".join(row) + "\x1e")
)PY";

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

Rows ReadCsv(const fs::path& csvFile) {
    // Beside the summary: tests running in parallel each have their own folder.
    const fs::path script = csvFile.parent_path() / "read_csv.py";
    std::ofstream(script) << kCsvReader;
    std::string out;
    if (FILE* pipe = ::popen(
            ("python3 " + Quoted(script.string()) + " " + Quoted(csvFile.string()) + " 2>&1")
                .c_str(),
            "r")) {
        char buffer[4096];
        while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
        ::pclose(pipe);
    }
    Rows rows;
    std::istringstream records(out);
    for (std::string record; std::getline(records, record, '\x1e');) {
        std::vector<std::string>& row = rows.emplace_back();
        std::istringstream cells(record);
        for (std::string cell; std::getline(cells, cell, '\x1f');) row.push_back(cell);
        if (record.empty() || record.back() == '\x1f') row.push_back("");
    }
    return rows;
}

// One data row of a summary, by header name.
std::map<std::string, std::string> Line(const Rows& rows, std::size_t row) {
    std::map<std::string, std::string> cells;
    for (std::size_t i = 0; i < rows.at(0).size(); ++i) cells[rows[0][i]] = rows.at(row).at(i);
    return cells;
}

// The report's text without markup, and the numbers of its first line matching `pattern`.
std::vector<double> Numbers(const fs::path& report, const std::string& pattern) {
    const std::string text = std::regex_replace(Slurp(report), std::regex("<[^>]*>|&nbsp;"), " ");
    std::smatch match;
    std::vector<double> numbers;
    if (std::regex_search(text, match, std::regex(pattern))) {
        for (std::size_t i = 1; i < match.size(); ++i) numbers.push_back(std::stod(match[i]));
    }
    return numbers;
}

double Cell(const std::map<std::string, std::string>& line, const std::string& column) {
    return std::stod(line.at(column));
}

// Removes the test folders once every test has run.
class FolderSweeper : public ::testing::Environment {
public:
    void TearDown() override {
        for (const fs::path& folder : m_Folders) fs::remove_all(folder);
    }
    std::vector<fs::path> m_Folders;
};

FolderSweeper* const kSweeper =
    static_cast<FolderSweeper*>(::testing::AddGlobalTestEnvironment(new FolderSweeper));

fs::path Folder(const std::string& name) {
    const fs::path folder =
        fs::temp_directory_path() / ("velkin summary " + name + " " + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    kSweeper->m_Folders.push_back(folder);
    return folder;
}

synth::SynthTruth HighSpeed(const fs::path& path, int syncBitsDropped = 0) {
    synth::HighSpeedParams params;
    params.m_nSyncBitsDropped = syncBitsDropped;
    return synth::WriteHighSpeedCapture(params, path.string(), synth::FileFormat::Csv);
}

void Idle(const fs::path& path) {
    std::ofstream out(path);
    for (int i = 0; i < 1000; ++i) out << i * 1.25e-10 << ",0.0\n";
}

const char* const kFigure = "(-?[0-9.]+)";

}  // namespace

TEST(FileSummary, HighSpeedLineAgreesWithItsReportAndTheSynthesizedTruth) {
    const fs::path folder = Folder("hs");
    const synth::SynthTruth truth = HighSpeed(folder / "hs.csv");
    CUsbSigCheck().Run((folder / "hs.csv").string(), "hsne", "", 1, 0, false);

    const std::string text = Slurp(folder / "hs_sum.csv");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);  // no line end after the line
    const Rows rows = ReadCsv(folder / "hs_sum.csv");
    ASSERT_EQ(rows.size(), 2u);
    ASSERT_EQ(rows[0].size(), 25u);  // no crossovers at high speed, no hub columns
    ASSERT_EQ(rows[1].size(), 25u);
    const auto line = Line(rows, 1);
    const fs::path report = folder / "hs.html";
    EXPECT_EQ(line.at("File Name"), "hs.csv");
    EXPECT_EQ(line.at("TestType"), "hsne");
    EXPECT_EQ(line.at("Overall Result"), "pass");
    EXPECT_NE(Slurp(report).find("Overall result: pass!"), std::string::npos);

    const double eopBits =
        (truth.m_Packets[0].m_dEopEndAtLevel - truth.m_Packets[0].m_dEopStartAtLevel) * 4.8e8;
    EXPECT_NEAR(Cell(line, "EOP Width"), eopBits, 0.1);
    EXPECT_EQ(Numbers(report, std::string("EOP width: ") + kFigure),
              std::vector<double>{Cell(line, "EOP Width")});
    // Two short packets fix the unit interval to about ten parts per million.
    EXPECT_NEAR(Cell(line, "Signal Rate"), truth.m_dBitRate * 1e-6, 480e-5);
    EXPECT_EQ(Numbers(report, std::string("signaling rate: ") + kFigure),
              std::vector<double>{Cell(line, "Signal Rate")});
    // A 400 ps edge spans barely three samples at 8 GS/s between the eye levels.
    EXPECT_NEAR(Cell(line, "Rising Edge Rate"), truth.m_dRiseRate, 0.05 * truth.m_dRiseRate);
    EXPECT_NEAR(Cell(line, "Falling Edge Rate"), truth.m_dFallRate, 0.05 * truth.m_dFallRate);
    EXPECT_EQ(Numbers(report, std::string("Rising Edge Rate: ") + kFigure + " +V/us \\(" + kFigure),
              (std::vector<double>{Cell(line, "Rising Edge Rate"), Cell(line, "Rise Time")}));
    EXPECT_EQ(
        Numbers(report, std::string("Falling Edge Rate: ") + kFigure + " +V/us \\(" + kFigure),
        (std::vector<double>{Cell(line, "Falling Edge Rate"), Cell(line, "Fall Time")}));
    EXPECT_EQ(Numbers(report, std::string("Edge Monotonicity: +") + kFigure),
              std::vector<double>{Cell(line, "Monotonic Edge")});
    // The Mean Consecutive Jitter column holds the RMS value, as the report does.
    for (const std::string kind : {"Consecutive", "JK", "KJ"}) {
        const std::string rms = kind == "Consecutive" ? "Mean " : "RMS ";
        EXPECT_EQ(Numbers(report, kind + " jitter range: " + kFigure + " ps to " + kFigure +
                                      " ps, RMS jitter " + kFigure),
                  (std::vector<double>{Cell(line, "Min " + kind + " Jitter"),
                                       Cell(line, "Max " + kind + " Jitter"),
                                       Cell(line, rms + kind + " Jitter")}))
            << kind;
    }
    // The report shows the eye in mV to four places, the summary in volts to three.
    for (const auto& [column, label] :
         std::map<std::string, std::string>{{"Margin Above Eye", "Margin Above eye"},
                                            {"Margin Below Eye", "Margin Below eye"},
                                            {"Margin Below Top", "Margin Below Top"},
                                            {"Margin Above Bottom", "Margin Above Bottom"},
                                            {"Max Voltage", "Maximum Voltage"},
                                            {"Min Voltage", "Minimum Voltage"}}) {
        const std::vector<double> shown = Numbers(report, label + ": " + kFigure + " mV");
        ASSERT_EQ(shown.size(), 1u) << label;
        EXPECT_NEAR(Cell(line, column), shown[0] / 1000, 0.0005 + 1e-9) << column;
    }
    EXPECT_NEAR(Cell(line, "Max Voltage"), truth.m_dHighLevel, 0.02);
}

TEST(FileSummary, FullSpeedLineAddsTheCrossoversTheReportShows) {
    const fs::path folder = Folder("fs");
    const synth::SynthTruth truth = synth::WriteSingleEndedCapture(
        synth::SingleEndedParams{}, (folder / "fs.csv").string(), synth::FileFormat::Csv);
    CUsbSigCheck().Run((folder / "fs.csv").string(), "fs", "", 1, 0, false);

    const Rows rows = ReadCsv(folder / "fs_sum.csv");
    ASSERT_EQ(rows.size(), 2u);
    ASSERT_EQ(rows[0].size(), 28u);
    ASSERT_EQ(rows[1].size(), 28u);
    const auto line = Line(rows, 1);
    EXPECT_NEAR(Cell(line, "Mean Crossover Voltage"), truth.m_dCrossover, 0.05);
    EXPECT_EQ(Numbers(folder / "fs.html", std::string("Crossover voltage range: ") + kFigure +
                                              " V to " + kFigure + " V, mean crossover " + kFigure),
              (std::vector<double>{Cell(line, "Min Crossover Voltage"),
                                   Cell(line, "Max Crossover Voltage"),
                                   Cell(line, "Mean Crossover Voltage")}));
}

TEST(FileSummary, FiguresThatCouldNotBeFormedLeaveTheirCellsEmpty) {
    const CToolboxRecord toolbox = CToolboxGlobals().GetGlobals();
    const std::unique_ptr<CSigConfig> config = CSignalConfig().BuildConfig();
    const std::unique_ptr<CSigSpec> hsne = CSigTestSpec().SelectSpec("hsne");
    CPacketMeasurement m;
    m.m_dUnitInterval = std::nan("");  // no crossings to measure it from
    m.m_dRiseRate = 0.0;               // no edge: an infinite rise time
    m.m_dFallRate = 1000.0;
    m.m_dKJJitterRms = std::nan("");
    m.m_dMaxCrossover = 1.6;
    CPacketVerdict verdict;
    verdict.m_nEopWidth = toolbox.m_nNotTested;
    verdict.m_nSignalRate = toolbox.m_nFail;

    const fs::path folder = Folder("empty");
    CAnalysisRecord record;
    record.m_Measurements = {m};
    record.m_Verdicts = {verdict};
    record.m_strFileA = (folder / "odd.csv").string();
    CTestSummary().WriteFileSummary(record, toolbox, *config, *hsne, false);
    const Rows rows = ReadCsv(folder / "odd_sum.csv");
    ASSERT_EQ(rows.size(), 2u);
    ASSERT_EQ(rows[1].size(), 25u);
    const auto line = Line(rows, 1);
    for (const char* column : {"EOP Width", "Signal Rate", "Rise Time", "RMS KJ Jitter"}) {
        EXPECT_EQ(line.at(column), "") << column;
    }
    EXPECT_EQ(line.at("Fall Time"), "640.00");
    EXPECT_EQ(line.at("Overall Result"), "fail");

    // High speed has no crossover figures; full speed shows them.
    EXPECT_EQ(CSummaryValues::From(m, verdict, toolbox, *config, *hsne, 0).m_strCrossover[0], "");
    const CSummaryValues fs =
        CSummaryValues::From(m, verdict, toolbox, *config, *CSigTestSpec().SelectSpec("fs"), 0);
    EXPECT_EQ(fs.m_strCrossover[0], "1.60");
    EXPECT_EQ(fs.m_strFallTime, "2.64");
}

TEST(BatchSummary, RunsOfABatchShareOneFileInRunOrderAndAFailedRunAddsNoLine) {
    const fs::path folder = Folder("batch");
    for (const char* name : {"a.csv", "b.csv", "c.csv", "d.csv"}) HighSpeed(folder / name);
    Idle(folder / "idle.csv");
    CUsbSigCheck driver;
    const auto run = [&](const char* name, unsigned mode) {
        driver.Run((folder / name).string(), "hsne", "", mode, 0, false);
    };

    run("a.csv", 2);
    const fs::path first = folder / "High_Speed_Results_00.csv";
    EXPECT_EQ(driver.SummaryFileName, first.string());
    run("b.csv", 3);
    EXPECT_THROW(run("idle.csv", 3), CAnalysisError);
    // A spreadsheet that saved the batch may drop the last line end.
    std::string saved = Slurp(first);
    saved.pop_back();
    std::ofstream(first, std::ios::binary) << saved;
    run("c.csv", 3);

    std::string text = Slurp(first);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 4);
    EXPECT_EQ(text.back(), '\n');
    Rows rows = ReadCsv(first);
    ASSERT_EQ(rows.size(), 4u);
    for (const auto& row : rows) EXPECT_EQ(row.size(), 25u);
    EXPECT_EQ(rows[1][0], "a.csv");
    EXPECT_EQ(rows[2][0], "b.csv");
    EXPECT_EQ(rows[3][0], "c.csv");
    EXPECT_EQ(rows[3][1], "hsne");

    // A failed start keeps the batch that was running; the next start takes _01.
    EXPECT_THROW(run("idle.csv", 2), CAnalysisError);
    EXPECT_EQ(driver.SummaryFileName, first.string());
    run("d.csv", 2);
    const fs::path second = folder / "High_Speed_Results_01.csv";
    EXPECT_EQ(driver.SummaryFileName, second.string());
    run("a.csv", 7);
    rows = ReadCsv(second);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0][0], "File Name");
    EXPECT_EQ(rows[1][0], "d.csv");
    EXPECT_EQ(rows[2][0], "a.csv");
    EXPECT_EQ(ReadCsv(first).size(), 4u);
}

TEST(BatchSummary, ANewBatchNeverTakesANameThatIsInUse) {
    const fs::path folder = Folder("names");
    fs::create_symlink(folder / "elsewhere.csv", folder / "High_Speed_Results_00.csv");
    std::ofstream(folder / "High_Speed_Results_01.csv") << "kept\n";
    ::chmod((folder / "High_Speed_Results_01.csv").c_str(), 0);
    EXPECT_EQ(CTestSummary::BatchFileName(folder.string(), "High_Speed_Results"),
              (folder / "High_Speed_Results_02.csv").string());

    HighSpeed(folder / "hs.csv");
    CUsbSigCheck driver;
    driver.Run((folder / "hs.csv").string(), "hsne", "", 2, 0, false);
    EXPECT_EQ(driver.SummaryFileName, (folder / "High_Speed_Results_02.csv").string());
    EXPECT_FALSE(fs::exists(folder / "elsewhere.csv"));
    ::chmod((folder / "High_Speed_Results_01.csv").c_str(), 0644);
    EXPECT_EQ(Slurp(folder / "High_Speed_Results_01.csv"), "kept\n");
}

TEST(BatchSummary, FileNamesStayInTheirCellAndNeverBecomeFormulas) {
    const fs::path folder = Folder("odd names");
    const std::vector<std::string> names = {"a,b \"q\".csv", "=SUM(A1).csv", "+1.csv",
                                            "-2.csv",        "@cmd.csv",     "plain.csv"};
    CUsbSigCheck driver;
    for (std::size_t i = 0; i < names.size(); ++i) {
        HighSpeed(folder / names[i]);
        driver.Run((folder / names[i]).string(), "hsne", "", i == 0 ? 2 : 3, 0, false);
    }
    const Rows rows = ReadCsv(driver.SummaryFileName);
    ASSERT_EQ(rows.size(), names.size() + 1);
    const std::vector<std::string> shown = {"a,b \"q\".csv", "'=SUM(A1).csv", "'+1.csv",
                                            "'-2.csv",       "'@cmd.csv",     "plain.csv"};
    for (std::size_t i = 0; i < names.size(); ++i) {
        ASSERT_EQ(rows[i + 1].size(), 25u) << names[i];
        EXPECT_EQ(rows[i + 1][0], shown[i]);
        EXPECT_EQ(rows[i + 1][1], "hsne");
    }

    driver.Run((folder / "=SUM(A1).csv").string(), "hsne", "", 1, 0, false);
    EXPECT_EQ(ReadCsv(folder / "=SUM(A1)_sum.csv").at(1).at(0), "'=SUM(A1).csv");
}

TEST(FileSummary, EveryHubTestStoresItsHubCountClampedToFive) {
    const fs::path folder = Folder("hub count");
    HighSpeed(folder / "hs.csv", 6);
    synth::WriteSingleEndedCapture(synth::SingleEndedParams{}, (folder / "fs.csv").string(),
                                   synth::FileFormat::Csv);
    for (const auto& [file, type, hubs, stored] : {std::tuple{"hs", "hshub", 9u, "5"},
                                                   {"hs", "HSHUB", 0u, "0"},
                                                   {"fs", "fshub", 3u, "3"},
                                                   {"fs", "fshub", 7u, "5"}}) {
        SCOPED_TRACE(std::string(type) + " with " + std::to_string(hubs) + " hubs");
        CUsbSigCheck().Run((folder / (std::string(file) + ".csv")).string(), type, "", 1, hubs,
                           false);
        const Rows rows = ReadCsv(folder / (std::string(file) + "_sum.csv"));
        ASSERT_EQ(rows.size(), 2u);
        EXPECT_EQ(Line(rows, 1).at("Number of Hubs"), stored);
    }
}

TEST(BatchSummary, HubAndEusbRunsAddHubColumnsAndAnEusbDeviceTableIsNamedOnlyInTheBatch) {
    const fs::path folder = Folder("hubs");
    const synth::SynthTruth truth = HighSpeed(folder / "hub.csv", 3);
    CUsbSigCheck driver;
    driver.Run((folder / "hub.csv").string(), "hshub", "", 1, 2, false);
    const Rows hub = ReadCsv(folder / "hub_sum.csv");
    ASSERT_EQ(hub.size(), 2u);
    ASSERT_EQ(hub[1].size(), 27u);
    const auto line = Line(hub, 1);
    EXPECT_EQ(line.at("TestType"), "hshub");
    EXPECT_EQ(line.at("Number of Hubs"), "2");
    EXPECT_EQ(line.at("Sync Bits Dropped"), std::to_string(truth.m_nSyncBitsDropped));

    driver.Run((folder / "hub.csv").string(), "hsne", "", 1, 0, true);
    driver.Run((folder / "hub.csv").string(), "hsne", "", 2, 0, true);
    const Rows single = ReadCsv(folder / "hub_sum.csv");
    ASSERT_EQ(single.size(), 2u);
    ASSERT_EQ(single[1].size(), 27u);
    EXPECT_EQ(single[1][1], "");  // a near-end table has no repeater keyword
    const Rows batch = ReadCsv(folder / "High_Speed_Results_00.csv");
    ASSERT_EQ(batch.size(), 2u);
    ASSERT_EQ(batch[1].size(), 27u);
    EXPECT_EQ(batch[1][1], "hsne");
}
