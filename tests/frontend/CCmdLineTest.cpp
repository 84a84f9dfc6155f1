// Orvane's command line, run as a process the way a user runs it: in a folder of
// its own, without a display, judged by its exit status, what it prints and the
// logs and summaries it leaves beside the captures.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "CTempFolder.h"
#include "OrvaneProcess.h"
#include "synth/Synth.h"

namespace fs = std::filesystem;

namespace {

// What a run prints: standard output, "|", standard error.
std::string Printed(std::string out, const std::string& err) { return out.append("|").append(err); }

// orvane started in `folder` without a display, with each word of `line` as one
// argument. Returns the exit status and what it printed.
std::pair<int, std::string> Orvane(const fs::path& folder, const std::string& line) {
    const COrvanePrintout run = RunOrvane(folder, line);
    return {run.status, Printed(run.out, run.err)};
}

// The local time a batch log is named with.
std::string Stamp(std::time_t when) {
    char stamp[64];
    std::strftime(stamp, sizeof stamp, "%-d_%-m_%Y_%-H_%-M_%-S", std::localtime(&when));
    return stamp;
}

std::string Fill(std::string text, const std::string& key, const std::string& value) {
    for (std::size_t at = text.find(key); at != std::string::npos; at = text.find(key, at))
        text.replace(at, key.size(), value), at += value.size();
    return text;
}

// The logs and summaries under `root`: a log as its whole text, a summary as the
// first two columns (file and test) of each line. A time stamp of the five
// seconds from `from` on in a name or a log reads "{stamp}".
std::map<std::string, std::string> LogsAndSummaries(const fs::path& root, std::time_t from) {
    std::map<std::string, std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const fs::path file = entry.path().lexically_relative(root);
        if (file.extension() != ".log" && file.extension() != ".csv") continue;
        if (!entry.is_regular_file()) continue;  // pipe.csv: reading it would wait for ever
        std::string name = file.string(), text = Slurp(entry.path()), digest;
        for (std::time_t t = from; t < from + 5; ++t)
            name = Fill(name, Stamp(t), "{stamp}"), text = Fill(text, Stamp(t), "{stamp}");
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);)
            digest += line.substr(0, line.find(',', line.find(',') + 1)) + "\n";
        found[name] = file.extension() == ".log" ? text : digest;
    }
    return found;
}

// The failure line and reason a single command prints, and a batch logs.
std::string Failed(const std::string& path, const std::string& reason = "{idle}") {
    return "**** Failed to analyze file: " + path + "\n" + reason + "\n";
}

// The line that ends every run on standard output.
std::string Count(int passed, int waived, int failed, int errors, int skipped = 0) {
    const auto n = [](int count) { return std::to_string(count); };
    return n(passed + waived + failed + errors) + " files: " + n(passed) + " passed, " + n(waived) +
           " waived, " + n(failed) + " failed, " + n(errors) + " errors, " + n(skipped) +
           " skipped\n";
}

}  // namespace

TEST(Orvane, VersionAnswersOnStandardOutputAndAnEmptyCommandLineOrAnUnknownOptionIsAUsageError) {
    const CTempFolder folder;
    const auto [versionStatus, version] = Orvane(folder.Path(), "--version");
    EXPECT_EQ(versionStatus, 0);
    EXPECT_TRUE(version.starts_with("orvane ") && version.ends_with("\n|")) << version;
    const auto [emptyStatus, empty] = Orvane(folder.Path(), "");
    EXPECT_EQ(emptyStatus, 2);
    EXPECT_NE(empty.find("usbsigcheck,<data file>,<test>", empty.find('|')), std::string::npos);
    EXPECT_NE(empty.find("usbsigcheck --test <test>", empty.find('|')), std::string::npos);
    const std::pair<const char*, const char*> unknown[] = {
        {"-x", "-x"},
        {"--frobnicate", "--frobnicate"},
        {"usbsigcheck,a.csv,hsne /x", "/x"},
        {"usbsigcheck --test hsne --volts 5 a.csv", "--volts"}};
    for (const auto& [line, named] : unknown) {
        const auto [status, printed] = Orvane(folder.Path(), line);
        EXPECT_EQ(status, 2) << line;
        EXPECT_NE(printed.find(std::string(" ") + named, printed.find('|')), std::string::npos)
            << printed;
    }
}

// The comma form and the option form of one command write the same outputs, every
// one of them into the output folder and none beside the capture.
TEST(Orvane, BothFormsOfACommandWriteTheSameOutputsIntoTheOutputFolder) {
    const CTempFolder folder;
    synth::WriteHighSpeedCapture({}, folder.Path("hs.csv"), synth::FileFormat::Csv);
    fs::remove(folder.Path("hs.csv.truth.json"));
    const auto comma = Orvane(folder.Path(), "usbsigcheck,hs.csv,hsne /q /s -o comma");
    EXPECT_EQ(comma,
              Orvane(folder.Path(), "-q -s --output-dir option usbsigcheck --test hsne hs.csv"));
    EXPECT_EQ(comma.first, 0);
    std::map<std::string, std::string> outputs[2];
    for (const int form : {0, 1})
        for (const auto& entry : fs::directory_iterator(folder.Path(form ? "option" : "comma")))
            outputs[form][entry.path().filename()] = std::regex_replace(
                Slurp(entry.path()), std::regex("Analysis performed: [^<]*"), "");
    EXPECT_EQ(outputs[0], outputs[1]);
    std::set<std::string> names;
    for (const auto& output : outputs[0]) names.insert(output.first);
    EXPECT_EQ(names, (std::set<std::string>{"hs.html", "hs.json", "hsEye.png", "hsPacket.png",
                                            "hsPlot.png", "hs_sum.csv"}));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.Path()), {}), 3);
}

// Each command line runs in a fresh copy of one folder: idle.csv (high-speed idle,
// which holds no packet and always fails), hs.csv (two clean high-speed packets) and
// its copy a,b.csv, drop6.csv (the same with six SYNC bits dropped), ls.csv (a
// low-speed packet), in.csv (a 40 uC attach), pairs/ with a low-speed
// D+/D- pair p1 and a D+ file p2 alone, caps/ with a.csv, "b c.csv" and c.csv
// idle, b.csv and d.csv clean, and the command file batch.cmd; grades/ with a low- and
// a full-speed capture that passes, one waived and one failing, and the command file
// speeds.cmd; hs/ the same at high speed and torn.csv, whose last row is no number.
// "{dir}" is the folder, "{idle}" the reason idle.csv fails with, "{idle1}" on one line.
TEST(Orvane, AnswersEachCommandWithItsStatusOutputLogsAndSummaries) {
    struct Command {
        const char* line;  // the words as typed, one argument each
        int status;
        std::string printed;
        std::map<std::string, std::string> made;
        bool secondBatchThisSecond = false;  // logs of this second and the next four exist
        const char* earlier = nullptr;       // run first in the same folder
    };
    const std::string testTypes =
        "Expected a test type: ls, fs, hsfe, hsne, lshub, fshub, hshub, elsrep, efsrep, ehsrep\n";
    const std::string batchLines =
        "Unrecognized test: frobnicate\nInsufficient parameters\n"
        "Line 9 is longer than 65536 characters and was not run\n";
    const std::string batchMessages =
        testTypes +
        "Unrecognized test: frobnicate\nExpected a command: usbsigcheck, eusbrepeater or "
        "usbinrushcheck\nInsufficient parameters\nA test type is missing. " +
        testTypes + "Line 9 is longer than 65536 characters and was not run\n";
    const std::string header = "File Name,TestType\n";
    const std::string inrushHeader = "File Name,Overall Result\n";
    const std::string skipped =
        "Line 11 is empty and ends the commands: 1 line after it was not run\n";
    const std::string idleError = "{idle1}\n", passed = Count(1, 0, 0, 0),
                      error = Count(0, 0, 0, 1), none = Count(0, 0, 0, 0);
    const std::string torn =
        "Error: File torn.csv row 5 holds a value that is not a finite number.";
    const std::string hsBatch =
        "FAIL hs/fail.csv: Eye template\nPASS hs/pass_sum.csv\nERROR "
        "hs/torn.csv: " +
        torn + "\nWAIVED hs/waived.csv\n";
    const std::string hsLog = "Analyzed file: hs/fail.csv\nAnalyzed file: hs/pass_sum.csv\n" +
                              Failed("hs/torn.csv", torn) + "Analyzed file: hs/waived.csv\n";
    const std::string hsSummary = header + "fail.csv,hsne\npass_sum.csv,hsne\nwaived.csv,hsne\n";
    std::string hsSkipped;
    for (const char* name : {"High_Speed_Results_00.csv", "USBSIGCHECK_{stamp}.log"})
        hsSkipped += "Skipped output file: hs/" + std::string(name) + "\n";
    for (const char* stem : {"fail", "pass_sum", "waived"})
        for (const char* suffix : {".html", ".json", "Eye.png", "Packet.png", "Plot.png"})
            hsSkipped += "Skipped output file: hs/" + std::string(stem) + suffix + "\n";
    const Command commands[] = {
        {"usbsigcheck,idle.csv,hsne",
         3,
         Printed("ERROR idle.csv: " + idleError + error, Failed("{dir}/idle.csv")),
         {}},
        // An absolute path after ", " is the data item, not the start of the switches.
        {"usbsigcheck, {dir}/idle.csv, hsne /q",
         3,
         Printed("ERROR {dir}/idle.csv: " + idleError + error, Failed("{dir}/idle.csv")),
         {}},
        {"usbsigcheck,\"caps/b c.csv\",hsne /q",
         3,
         Printed("ERROR caps/b c.csv: " + idleError + error, Failed("caps/b c.csv")),
         {}},
        {"usbsigcheck,caps/b.csv,hsne",
         0,
         "PASS caps/b.csv\n{dir}/caps/b.html\n" + passed + "|",
         {}},
        {"usbsigcheck,hs.csv",
         3,
         none + "|Could not open input file: usbsigcheck\nA test type is missing. " + testTypes,
         {}},
        // Two hubs or repeaters may drop the six SYNC bits of drop6.csv; one may not.
        {"--hubs 2 usbsigcheck,drop6.csv,hshub /q", 0, "PASS drop6.csv\n" + passed + "|", {}},
        {"-q --hubs 2 eusbrepeater --test ehsrep drop6.csv",
         0,
         "PASS drop6.csv\n" + passed + "|",
         {}},
        {"-v -s usbsigcheck --test hsne -q a,b.csv",
         0,
         "PASS a,b.csv\n" + passed +
             "|Analyzing {dir}/a,b.csv\nWrote {dir}/a,b.html\nWrote "
             "{dir}/a,b.json\nWrote {dir}/a,bPlot.png\nWrote {dir}/a,bEye.png\nWrote "
             "{dir}/a,bPacket.png\nWrote {dir}/a,b_sum.csv\n",
         {{"a,b_sum.csv", header + "\"a,b.csv\"\n"}}},
        {"usbsigcheck,hs.csv,hsne /q /s",
         0,
         "PASS hs.csv\n" + passed + "|",
         {{"hs_sum.csv", header + "hs.csv,hsne\n"}}},
        {"usbsigcheck,ls.csv,lsfe /q /s",
         0,
         "PASS ls.csv\n" + passed + "|",
         {{"ls_sum.csv", header + "ls.csv,ls\n"}}},
        {"usbsigcheck,grades/fs_waived.csv,fs /q",
         0,
         "WAIVED grades/fs_waived.csv\n" + Count(0, 1, 0, 0) + "|",
         {}},
        {"usbinrushcheck,in.csv,5.0", 0, "PASS in.csv\n{dir}/in.html\n" + passed + "|", {}},
        {"usbinrushcheck,in.csv,50 /q",
         3,
         Printed("ERROR in.csv: Supply voltage 50 V is outside 0.5 V to 20 V\n" + error,
                 Failed("{dir}/in.csv", "Supply voltage 50 V is outside 0.5 V to 20 V")),
         {}},
        {"usbinrushcheck,in.csv,5.0 /q /s",
         0,
         "PASS in.csv\n" + passed + "|",
         {{"in_sum.csv", inrushHeader + "in.csv,pass\n"}}},
        // idle.csv, at 0 A and far shorter than the window, is judged and fails.
        {"usbinrushcheck,i*.csv,5.0 /s",
         1,
         "FAIL idle.csv: Capture window\nPASS in.csv\n" + Count(1, 0, 1, 0) +
             "|Processed 2 Files\n",
         {{"usbinrushcheck_{stamp}.log",
           "Analyzed file: {dir}/idle.csv\nAnalyzed file: {dir}/in.csv\n"},
          {"Inrush_Results_00.csv", inrushHeader + "\nidle.csv,fail\nin.csv,pass\n"}}},
        {"-o out usbinrushcheck,i*.csv,5.0 /s",
         1,
         "FAIL idle.csv: Capture window\nPASS in.csv\n" + Count(1, 0, 1, 0) +
             "|Processed 2 Files\n",
         {{"out/usbinrushcheck_{stamp}.log",
           "Analyzed file: {dir}/idle.csv\nAnalyzed file: {dir}/in.csv\n"},
          {"out/Inrush_Results_00.csv", inrushHeader + "\nidle.csv,fail\nin.csv,pass\n"}}},
        // A capture whose report another capture of the batch wrote is not run.
        {"usbsigcheck,caps/d.*,hsne",
         3,
         "PASS caps/d.csv\nERROR caps/d.wfm: Error: d.wfm would replace the report of d.csv, "
         "analysed earlier in this batch.\n" +
             Count(1, 0, 0, 1) + "|Processed 2 Files\n",
         {{"caps/usbsigcheck_{stamp}.log",
           "Analyzed file: caps/d.csv\n" +
               Failed("caps/d.wfm",
                      "Error: d.wfm would replace the report of d.csv, analysed "
                      "earlier in this batch.")}}},
        // Pairs: each D+ file found names its own D- file, which must be there.
        {"usbsigcheck,pairs/p*_dp.csv,ls,p*_dm.csv",
         3,
         "PASS pairs/p1_dp.csv\nERROR pairs/p2_dp.csv: No such file or directory: p2_dm.csv\n" +
             Count(1, 0, 0, 1) + "|Processed 2 Files\n",
         {{"pairs/usbsigcheck_{stamp}.log",
           "Analyzed file: pairs/p1_dp.csv\n" +
               Failed("pairs/p2_dp.csv", "No such file or directory: p2_dm.csv")}}},
        // A pipe never ends: neither capture nor command file is waited on.
        {"usbsigcheck,pipe.csv,hsne /q",
         3,
         Printed("ERROR pipe.csv: Error: pipe.csv is not a regular file.\n" + error,
                 Failed("{dir}/pipe.csv", "Error: pipe.csv is not a regular file.")),
         {}},
        {"pipe.csv", 3, none + "|Could not open input file: pipe.csv\n", {}},
        {"missing.cmd", 3, none + "|Could not open input file: missing.cmd\n", {}},
        {"usbsigcheck,caps/*.tsv,hsne",
         3,
         none + "|Files not found\nProcessed 0 Files\n",
         {{"caps/usbsigcheck_{stamp}.log", "Files not found\n"}}},
        // A "/" in the word as typed does not lead the log out of the capture folder.
        {"../usbsigcheck,caps/*.tsv,hsne",
         3,
         none + "|Files not found\nProcessed 0 Files\n",
         {{"caps/.._usbsigcheck_{stamp}.log", "Files not found\n"}}},
        // In name order, logged beside the captures under the command as typed.
        {"UsbSigCheck,caps/*.csv,hsne /s",
         3,
         "ERROR caps/a.csv: " + idleError + "ERROR caps/b c.csv: " + idleError +
             "PASS caps/b.csv\nERROR caps/c.csv: " + idleError + "PASS caps/d.csv\n" +
             Count(2, 0, 0, 3) + "|Processed 5 Files\n",
         {{"caps/UsbSigCheck_{stamp}.log",
           Failed("caps/a.csv") + Failed("caps/b c.csv") + "Analyzed file: caps/b.csv\n" +
               Failed("caps/c.csv") + "Analyzed file: caps/d.csv\n"},
          {"caps/High_Speed_Results_00.csv", header + "b.csv,hsne\nd.csv,hsne\n"}}},
        {"usbsigcheck,h*.csv,hsne",
         0,
         "PASS hs.csv\n" + passed + "|Processed 1 Files\n",
         {{"usbsigcheck_{stamp}-2.log", "Analyzed file: {dir}/hs.csv\n"}},
         true},
        // Run again, the batch judges the same captures, not the outputs of the first
        // run; pass_sum.csv, with no pass.csv beside it, is a capture. A file that
        // cannot be analysed outweighs a device that fails.
        {"usbsigcheck,hs/*,hsne /s",
         3,
         hsBatch + Count(1, 1, 1, 1, 17) + "|Processed 4 Files\n",
         {{"hs/usbsigcheck_{stamp}.log", hsSkipped + hsLog},
          {"hs/High_Speed_Results_01.csv", hsSummary}},
         false,
         "USBSIGCHECK,hs/*,hsne /s"},
        {"grades/speeds.cmd",
         1,
         "FAIL grades/ls_fail.csv: Signal rate\nPASS grades/ls_pass.csv\nWAIVED "
         "grades/ls_waived.csv\nFAIL grades/fs_fail.csv: EOP width\nPASS grades/fs_pass.csv\n"
         "WAIVED grades/fs_waived.csv\n" +
             Count(2, 2, 2, 0) + "|Finished analyzing 6 files\n",
         {{"grades/speeds.log",
           "Analyzed file: grades/ls_fail.csv\nAnalyzed file: grades/ls_pass.csv\nAnalyzed file: "
           "grades/ls_waived.csv\nAnalyzed file: grades/fs_fail.csv\nAnalyzed file: "
           "grades/fs_pass.csv\nAnalyzed file: grades/fs_waived.csv\n"}}},
        // Each batch starts its own summary, even when its first file fails.
        {"caps/batch.cmd /s",
         3,
         Printed("PASS caps/../hs.csv\nERROR caps/a.csv: " + idleError + "ERROR caps/b c.csv: " +
                     idleError + "ERROR {dir}/idle.csv: " + idleError + "ERROR caps/a.csv: " +
                     idleError + "PASS caps/b.csv\nERROR caps/c.csv: " + idleError +
                     "PASS caps/d.csv\nERROR caps/b.csv: Unknown test type: nonsense\n"
                     "ERROR caps/a.csv: Unrecognized test: frobnicate\n"
                     "ERROR caps/a.csv: Insufficient parameters\nERROR caps/batch.cmd: Line 9 is "
                     "longer than 65536 characters and was not run\nPASS caps/b.csv\n" +
                     Count(4, 0, 0, 9),
                 batchMessages + skipped +
                     "Finished analyzing 4 out of 13 files.\n"
                     "See log file batch.log for information.\n"),
         {{"caps/batch.log", "Analyzed file: caps/../hs.csv\n" + Failed("caps/a.csv") +
                                 Failed("caps/b c.csv") + Failed("{dir}/idle.csv") +
                                 Failed("caps/a.csv") + "Analyzed file: caps/b.csv\n" +
                                 Failed("caps/c.csv") + "Analyzed file: caps/d.csv\n" +
                                 Failed("caps/b.csv", "Unknown test type: nonsense") + batchLines +
                                 "Analyzed file: caps/b.csv\n" + skipped},
          {"High_Speed_Results_00.csv", header + "hs.csv,hsne\n"},
          {"caps/High_Speed_Results_00.csv", header + "b.csv,hsne\nd.csv,hsne\n"},
          {"caps/b_sum.csv", header + "b.csv,ehsrep\n"}}},
    };

    const CTempFolder source;
    const auto idle = [](const fs::path& path) {
        std::ofstream out(path);
        for (int line = 0; line < 25; ++line) out << "Time,Ch1\n";
        for (int i = 0; i < 400; ++i) out << i * 50e-12 << ",0\n";  // 20 GS/s
    };
    fs::create_directory(source.Path() / "caps");
    for (const char* name : {"idle.csv", "caps/a.csv", "caps/b c.csv", "caps/c.csv"})
        idle(source.Path() / name);
    for (const char* name : {"hs.csv", "caps/b.csv", "caps/d.csv"})
        synth::WriteHighSpeedCapture({}, source.Path(name), synth::FileFormat::Csv);
    synth::WriteInrushCapture({}, source.Path("in.csv"), synth::FileFormat::Csv);
    fs::copy(source.Path("hs.csv"), source.Path("a,b.csv"));
    synth::HighSpeedParams drop6;
    drop6.m_nSyncBitsDropped = 6;
    synth::WriteHighSpeedCapture(drop6, source.Path("drop6.csv"), synth::FileFormat::Csv);
    synth::SingleEndedParams ls;
    ls.m_Speed = synth::Speed::Low;
    ls.m_Traffic.m_nPackets = 1;
    synth::WriteSingleEndedCapture(ls, source.Path("ls.csv"), synth::FileFormat::Csv);
    fs::create_directory(source.Path() / "pairs");
    synth::WriteSingleEndedCapture(ls, source.Path("pairs/p1_dp.csv"), synth::FileFormat::Csv,
                                   source.Path("pairs/p1_dm.csv"));
    fs::copy(source.Path("pairs/p1_dp.csv"), source.Path("pairs/p2_dp.csv"));
    std::ofstream(source.Path("caps/d.wfm")) << "a report name taken by d.csv\n";
    // Pass, waiver and fail of each speed: the signalling rate inside the pass window,
    // between it and the edge of the waiver window, and beyond (low speed +-1.5 %,
    // +-4.5 %; full speed +-0.25 %, +-1.25 %; high speed +-500 ppm, +-550 ppm); a
    // full-speed EOP of 3 bits; a high-speed eye at half the swing.
    fs::create_directory(source.Path() / "grades");
    const struct {
        const char* name;
        synth::Speed speed;
        double ppm;
        int eopBits;
    } grades[] = {
        {"ls_pass", synth::Speed::Low, 0, 0},      {"ls_waived", synth::Speed::Low, 3e4, 0},
        {"ls_fail", synth::Speed::Low, 5e4, 0},    {"fs_pass", synth::Speed::Full, 0, 0},
        {"fs_waived", synth::Speed::Full, 6e3, 0}, {"fs_fail", synth::Speed::Full, 0, 3}};
    for (const auto& grade : grades) {
        synth::SingleEndedParams pair;
        pair.m_Speed = grade.speed;
        // A fifth of the reference rate, up-sampled as the shipped examples are: small files.
        pair.m_dSampleRate = grade.speed == synth::Speed::Low ? 1e8 : 8e8;
        pair.m_Traffic.m_nPackets = 1;
        pair.m_Traffic.m_dRatePpm = grade.ppm;
        pair.m_Traffic.m_nEopBits = grade.eopBits;
        synth::WriteSingleEndedCapture(pair,
                                       source.Path("grades/" + std::string(grade.name) + ".csv"),
                                       synth::FileFormat::Csv);
    }
    std::ofstream(source.Path("grades/speeds.cmd")) << "usbsigcheck,ls_*.csv,ls\n"
                                                    << "usbsigcheck,fs_*.csv,fs\n";
    fs::create_directory(source.Path() / "hs");
    synth::HighSpeedParams hs;
    hs.m_Traffic.m_nPayloadBytes = 24;  // bits enough to time the rate to a few ppm
    synth::WriteHighSpeedCapture(hs, source.Path("hs/pass_sum.csv"), synth::FileFormat::Csv);
    hs.m_Traffic.m_dRatePpm = 525;
    synth::WriteHighSpeedCapture(hs, source.Path("hs/waived.csv"), synth::FileFormat::Csv);
    hs.m_Traffic.m_dRatePpm = 0;
    hs.m_dSwing = 0.2;
    synth::WriteHighSpeedCapture(hs, source.Path("hs/fail.csv"), synth::FileFormat::Csv);
    std::ofstream(source.Path("hs/torn.csv")) << "Time,Ch1\n0,0\n1e-10,0\n2e-10,0\n3e-10,torn\n";
    std::vector<fs::path> truths;
    for (const auto& entry : fs::recursive_directory_iterator(source.Path()))
        if (entry.path().extension() == ".json") truths.push_back(entry.path());
    for (const fs::path& truth : truths) fs::remove(truth);
    std::ofstream(source.Path("caps/notes.txt")) << "not a capture\n";
    std::ofstream(source.Path("caps/batch.cmd"))
        << "usbsigcheck,../h*.csv,hsne\n"
        << "usbsigcheck,a.csv,hsne\n"
        << "usbsigcheck, \"b c.csv\" ,hsne\r\n"
        << "usbsigcheck,{dir}/idle.csv,hsne\n"
        << "usbsigcheck,?.csv,hsne\n"
        << "usbsigcheck,b.csv,nonsense\n"
        << "frobnicate,a.csv,ls\n"
        << "usbsigcheck,a.csv\n"
        << "usbsigcheck,a.csv,hsne," << std::string(70000, 'x') << ",tail.csv\n"
        << "eusbrepeater,b.csv,ehsrep\n"
        << "\n"
        << "usbsigcheck,c.csv,hsne\n";
    const std::string failure = Orvane(source.Path(), "usbsigcheck,idle.csv,hsne").second;
    const std::string reason = failure.substr(failure.find('\n', failure.find('|')) + 1);
    const std::string reasonLine = Fill(reason.substr(0, reason.size() - 1), "\n", "; ");

    for (const Command& command : commands) {
        SCOPED_TRACE(command.line);
        const CTempFolder folder;
        const std::string dir = fs::canonical(folder.Path()).string();
        const auto expand = [&](const std::string& text) {
            return Fill(Fill(Fill(text, "{dir}", dir), "{idle}\n", reason), "{idle1}", reasonLine);
        };
        fs::copy(source.Path(), folder.Path(), fs::copy_options::recursive);
        mkfifo(folder.Path("pipe.csv").c_str(), 0600);
        std::ofstream(folder.Path("caps/batch.cmd"))
            << expand(Slurp(source.Path("caps/batch.cmd")));
        const std::time_t from = std::time(nullptr);
        if (command.earlier != nullptr) Orvane(folder.Path(), command.earlier);
        for (std::time_t when = from; command.secondBatchThisSecond && when < from + 5; ++when)
            std::ofstream(folder.Path("usbsigcheck_" + Stamp(when) + ".log")) << "earlier batch\n";
        const auto before = LogsAndSummaries(folder.Path(), from);

        EXPECT_EQ(Orvane(folder.Path(), expand(command.line)),
                  std::pair(command.status, expand(command.printed)));
        std::map<std::string, std::string> expected, made;
        for (const auto& [name, text] : command.made) expected[name] = expand(text);
        std::ranges::set_difference(LogsAndSummaries(folder.Path(), from), before,
                                    std::inserter(made, made.end()));
        EXPECT_EQ(made, expected);
    }
}
