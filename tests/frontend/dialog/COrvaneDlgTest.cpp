#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QSpinBox>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "DialogHarness.h"
#include "synth/Synth.h"

namespace fs = std::filesystem;

namespace {

std::string ReadText(const fs::path& path) {
    return (std::ostringstream() << std::ifstream(path).rdbuf()).str();
}

}  // namespace

// Each tab and test type shows its own controls under its own labels; the boxes
// keep what was typed in them across every switch.
TEST(Dialog, EachTabAndTestTypeShowsItsControlsAndLabels) {
    const QString device = "LS|FS|HSFE|HSNE|", hub = "LS Hub|FS Hub|HS Hub|",
                  repeater = "LS Repeater|FS Repeater|HS Repeater|";
    const struct {
        int tab;
        const char* test;  // radio to click, or nullptr
        bool separate;
        const char* pathLabel;
        const char* nameLabel;
        QString radios;  // test radios shown
        QString shown;   // of the file modes, the D- file, the hub count and the voltage
    } cases[] = {
        {0, "HSNE", false, "Signal Quality File Path", "Signal Quality File Name", device, ""},
        {0, "LS", false, "Signal Quality File Path", "Signal Quality File Name", device, "modes "},
        {0, "FS", true, "Signal Quality File Path", "Signal Quality Dplus File Name", device,
         "modes second "},
        {0, "HSFE", true, "Signal Quality File Path", "Signal Quality File Name", device, ""},
        {1, "LS Hub", true, "Hub Signal Quality File Path", "Hub Signal Quality Dplus File Name",
         hub, "modes second hubs "},
        {1, "HS Hub", true, "Hub Signal Quality File Path", "Hub Signal Quality File Name", hub,
         "hubs "},
        {2, nullptr, true, "Inrush Curent File Path", "Inrush Current File Name", "", "voltage "},
        {3, "FS Repeater", true, "eUSB Repeater File Path", "eUSB Repeater Dplus File Name",
         repeater, "modes second "},
        {3, "HS Repeater", false, "eUSB Repeater File Path", "eUSB Repeater File Name", repeater,
         ""},
    };
    CDialogHarness harness;
    harness.Open();
    harness.Find<QLineEdit>("path")->setText("/lab/caps");
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("tab ") + std::to_string(c.tab) + " " + (c.test ? c.test : "") +
                     (c.separate ? " separate" : ""));
        // The file mode is chosen on a low-speed device test and holds on every tab.
        harness.Tab(0);
        harness.Radio("LS")->click();
        harness.Radio(c.separate ? "Separate DPlus and DMinus Data Files" : "Single Data File")
            ->click();
        harness.Tab(c.tab);
        if (c.test) harness.Radio(c.test)->click();
        std::set<QString> labels;
        for (QLabel* label : harness.Dialog().findChildren<QLabel*>())
            if (label->isVisible()) labels.insert(label->text());
        QString radios, shown;
        for (QRadioButton* radio : harness.Dialog().findChildren<QRadioButton*>())
            if (radio->isVisible() && !radio->text().contains("File"))
                radios += radio->text() + "|";
        const QString words = QString(c.nameLabel).section(" File", 0, 0).remove(" Dplus");
        const bool second = labels.contains(words + " Dminus File Name");
        EXPECT_EQ(second, harness.Find("second")->isVisible());
        EXPECT_EQ(labels.contains("Number of Hubs"), harness.Find("hubs")->isVisible());
        EXPECT_EQ(labels.contains("Supply Voltage"), harness.Find("voltage")->isVisible());
        if (harness.Radio("Single Data File")->isVisible()) shown += "modes ";
        if (second) shown += "second ";
        if (harness.Find("hubs")->isVisible()) shown += "hubs ";
        if (harness.Find("voltage")->isVisible()) shown += "voltage ";
        EXPECT_TRUE(labels.contains(c.pathLabel));
        EXPECT_TRUE(labels.contains(c.nameLabel));
        EXPECT_EQ(radios, c.radios);
        EXPECT_EQ(shown, c.shown);
        EXPECT_EQ(harness.Find<QLineEdit>("path")->text(), "/lab/caps");
    }
    EXPECT_EQ(harness.Find<QSpinBox>("hubs")->maximum(), 5);
    EXPECT_EQ(harness.Find<QSpinBox>("hubs")->minimum(), 0);
}

// "Test" refuses what cannot run, with the reason, before any analysis; a choice
// of more files than a batch takes keeps the first 200 and says how many were left.
TEST(Dialog, TestRefusesWhatCannotRunAndSaysWhy) {
    const struct {
        int tab;
        const char* test;
        const char* name;
        const char* voltage;
        const char* message;
    } cases[] = {
        {0, "HSNE", "", "", "Please select a data file"},
        {1, "HS Hub", "", "", "Please select a data file"},
        {2, nullptr, "", "5.0", "Please select a data file"},
        {3, "HS Repeater", "", "", "Please select a data file"},
        {2, nullptr, "in.csv", "", "Supply voltage \"\" is not a number"},
        {2, nullptr, "in.csv", "5,0", "Supply voltage \"5,0\" is not a number"},
        {2, nullptr, "in.csv", "50", "Supply voltage 50 V is outside 0.5 V to 20 V"},
        {2, nullptr, "in.csv", "0.2", "Supply voltage 0.2 V is outside 0.5 V to 20 V"},
    };
    CDialogHarness harness;
    harness.Open();
    harness.Find<QLineEdit>("path")->setText("/nowhere");
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.message) + " on tab " + std::to_string(c.tab));
        harness.Tab(c.tab);
        if (c.test) harness.Radio(c.test)->click();
        harness.Find<QLineEdit>("name")->setText(c.name);
        harness.Find<QLineEdit>("voltage")->setText(c.voltage);
        EXPECT_EQ(harness.MessagesDuring([&] { harness.Click("Test"); }), QStringList{c.message});
    }
    // A low-speed pair with its D- file missing names what is missing.
    harness.Tab(0);
    harness.Radio("LS")->click();
    harness.Radio("Separate DPlus and DMinus Data Files")->click();
    harness.Find<QLineEdit>("name")->setText("dplus.csv");
    EXPECT_EQ(harness.MessagesDuring([&] { harness.Click("Test"); }),
              QStringList{"Please select the Dminus data file"});
    EXPECT_TRUE(harness.Opened().isEmpty());

    harness.Radio("HSNE")->click();
    QStringList chosen;
    for (int i = 0; i < 250; ++i)
        chosen << QString("/lab/caps/cap%1.csv").arg(i, 3, 10, QChar('0'));
    const QStringList said = harness.MessagesDuring([&] { harness.Dialog().ChooseFiles(chosen); });
    ASSERT_EQ(said.size(), 1);
    EXPECT_TRUE(said[0].contains("250 files were chosen")) << said[0].toStdString();
    EXPECT_TRUE(said[0].contains("50 were left out")) << said[0].toStdString();
    const QString names = harness.Find<QLineEdit>("name")->text();
    EXPECT_EQ(names.count('"'), 400);
    EXPECT_TRUE(names.startsWith("\"cap000.csv\" \"cap001.csv\" "));
    EXPECT_TRUE(names.endsWith("\"cap199.csv\" "));
    EXPECT_EQ(harness.Find<QLineEdit>("path")->text(), "/lab/caps");
}

// Single files open their report when the library analysed them and show its text
// when not; a batch runs every file off the window's thread, with the progress
// shown meanwhile, one batch summary (modes 2, 3, 3), a log line per file, a
// count of the files that failed, and no report opened.
TEST(Dialog, TestRunsTheChosenFilesAsTheTabSays) {
    const CTempFolder folder;
    for (const char* name : {"a.csv", "b.csv", "c.csv"})
        synth::WriteHighSpeedCapture({}, folder.Path(name), synth::FileFormat::Csv);
    synth::WriteInrushCapture({}, folder.Path("in.csv"), synth::FileFormat::Csv);
    std::ofstream(folder.Path("three.csv")) << "0,0,0\n1e-6,0,0\n";
    std::ofstream(folder.Path("a.wfm")) << "named like a.csv\n";
    const struct {
        int tab;
        std::vector<std::string> files;
        bool summary;
        QStringList messages;           // "{log}": the batch log's name
        QStringList opened;             // reports, by file name
        std::vector<std::string> made;  // new files, by name
        std::string log = "";           // the batch log, whole
        std::string batchSummary = "";  // first column of each line
    } cases[] = {
        {0,
         {"a.csv"},
         true,
         {},
         {"a.html"},
         {"a.html", "a.json", "aEye.png", "aPacket.png", "aPlot.png", "a_sum.csv"}},
        {2, {"in.csv"}, false, {}, {"in.html"}, {"in.html", "in.json", "inPlot.png"}},
        {0,
         {"a.csv", "b.csv", "c.csv"},
         true,
         {"Finished analyzing 3 files"},
         {},
         {"High_Speed_Results_00.csv", "a.html", "a.json", "aEye.png", "aPacket.png", "aPlot.png",
          "b.html", "b.json", "bEye.png", "bPacket.png", "bPlot.png", "c.html", "c.json",
          "cEye.png", "cPacket.png", "cPlot.png", "{log}"},
         "Analyzed file: a.csv\nAnalyzed file: b.csv\nAnalyzed file: c.csv\n",
         "File Name\na.csv\nb.csv\nc.csv\n"},
        {0,
         {"a.csv", "a.wfm"},
         false,
         {"Finished analyzing 1 out of 2 files.\nSee log file {log} for information."},
         {},
         {"a.html", "a.json", "aEye.png", "aPacket.png", "aPlot.png", "{log}"},
         "Analyzed file: a.csv\n**** Failed to analyze file: a.wfm Error: a.wfm would replace the "
         "report of a.csv, analysed earlier in this batch.\n"},
        {2,
         {"three.csv", "in.csv"},
         false,
         {"Finished analyzing 1 out of 2 files.\nSee log file {log} for information."},
         {},
         {"in.html", "in.json", "inPlot.png", "{log}"},
         "**** Failed to analyze file: three.csv Error: File three.csv has 3 columns.\n"
         "Can only have 2 for Inrush measurement.\nAnalyzed file: in.csv\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.files.front() + " and " + std::to_string(c.files.size() - 1) + " more");
        const CTempFolder run;
        for (const auto& entry : fs::directory_iterator(folder.Path()))
            fs::copy(entry.path(), run.Path() / entry.path().filename());
        std::set<std::string> before;
        for (const auto& entry : fs::directory_iterator(run.Path()))
            before.insert(entry.path().filename().string());

        CDialogHarness harness;
        harness.Open();
        harness.Tab(c.tab);
        harness.Find<QLineEdit>("voltage")->setText("5.0");
        harness.Dialog().findChild<QCheckBox*>()->setChecked(c.summary);
        QStringList chosen;
        for (const std::string& name : c.files) chosen << QString::fromStdString(run.Path(name));
        harness.Dialog().ChooseFiles(chosen);
        std::set<QString> progress;
        auto* label = harness.Find<QLabel>("progress");
        const QStringList said = harness.MessagesDuring([&] { harness.Click("Test"); },
                                                        [&] {
                                                            if (label->isVisible())
                                                                progress.insert(label->text());
                                                        });

        std::vector<std::string> made;
        std::string logName, log;
        for (const auto& entry : fs::directory_iterator(run.Path())) {
            std::string name = entry.path().filename().string();
            if (before.contains(name)) continue;
            if (entry.path().extension() == ".log") {
                logName = name, log = ReadText(entry.path());
                name = "{log}";
            }
            made.push_back(name);
        }
        std::sort(made.begin(), made.end());
        EXPECT_EQ(made, c.made);
        QStringList expected = c.messages;
        expected.replaceInStrings("{log}", QString::fromStdString(logName));
        EXPECT_EQ(said, expected);
        QStringList opened;
        for (const QString& url : c.opened)
            opened << QString::fromStdString(run.Path(url.toStdString()));
        EXPECT_EQ(harness.Opened(), opened);
        if (c.files.size() < 2) continue;
        EXPECT_TRUE(logName.starts_with(c.tab == 2 ? "usbinrushcheck_" : "usbsigcheck_"));
        EXPECT_EQ(log, c.log);
        // While the files were analysed the window kept handling its events.
        EXPECT_FALSE(progress.empty());
        for (const QString& text : progress)
            EXPECT_TRUE(text.startsWith("Processing file ") &&
                        text.endsWith(QString(" of %1").arg(c.files.size())))
                << text.toStdString();
        EXPECT_FALSE(label->isVisible());
        if (c.batchSummary.empty()) continue;
        std::string cells;
        std::istringstream lines(ReadText(run.Path("High_Speed_Results_00.csv")));
        for (std::string line; std::getline(lines, line);)
            if (!line.empty()) cells += line.substr(0, line.find(',')) + "\n";
        EXPECT_EQ(cells, c.batchSummary);
    }
}
