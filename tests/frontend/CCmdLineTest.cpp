// Orvane's command line, run as a process in a folder of its own without a display.
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>

#include "OrvaneProcess.h"

using namespace orvane_test;

namespace {

// How a quiet single command reports `capture`: the failure line and the library's text.
std::string FailureReport(const fs::path& folder, const std::string& capture) {
    return RunOrvane(folder, {"usbsigcheck," + capture + ",hsne", "/q"}).m_strErr;
}

std::string Failed(const std::string& path, const std::string& reason) {
    return "**** Failed to analyze file: " + path + "\n" + reason;
}

// The library's text after the failure line of a report.
std::string ReasonIn(const std::string& report) { return report.substr(report.find('\n') + 1); }

std::string TimeStampedLogName(const std::string& word, std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    return word + "_" + std::to_string(local.tm_mday) + "_" + std::to_string(local.tm_mon + 1) +
           "_" + std::to_string(local.tm_year + 1900) + "_" + std::to_string(local.tm_hour) + "_" +
           std::to_string(local.tm_min) + "_" + std::to_string(local.tm_sec);
}

std::size_t LineCount(const fs::path& path) {
    const std::string text = ReadText(path);
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

}  // namespace

TEST(Options, HelpAndVersionAnswerOnStandardOutputAndAnEmptyCommandLineShowsTheSyntax) {
    const CTempFolder folder;
    const COrvaneResult help = RunOrvane(folder.Path(), {"--help"});
    EXPECT_EQ(help.m_nStatus, 0);
    EXPECT_NE(help.m_strOut.find("usbsigcheck,<data file>,<test>"), std::string::npos);
    const COrvaneResult version = RunOrvane(folder.Path(), {"--version"});
    EXPECT_EQ(version.m_nStatus, 0);
    EXPECT_TRUE(version.m_strOut.starts_with("orvane ")) << version.m_strOut;
    const COrvaneResult empty = RunOrvane(folder.Path(), {});
    EXPECT_EQ(empty.m_nStatus, 2);
    EXPECT_NE(empty.m_strErr.find("usbsigcheck,<data file>,<test>"), std::string::npos);
}

TEST(SingleCommand, FailureReachesStandardErrorWithTheLibraryTextAndANonZeroStatus) {
    const CTempFolder folder;
    WriteIdleCapture(folder.Path() / "idle.csv");
    const std::string path = (folder.Path() / "idle.csv").string();

    const COrvaneResult bare = RunOrvane(folder.Path(), {"usbsigcheck,idle.csv,hsne"});
    EXPECT_EQ(bare.m_nStatus, 1);
    EXPECT_TRUE(bare.m_strOut.empty());
    ASSERT_TRUE(bare.m_strErr.starts_with(Failed(path, ""))) << bare.m_strErr;
    EXPECT_GT(ReasonIn(bare.m_strErr).size(), 1u);
    EXPECT_TRUE(FilesIn(folder.Path(), "", ".log").empty());

    // An absolute path after ", " is the data item, not the start of the switches.
    const COrvaneResult spaced =
        RunOrvane(folder.Path(), {"usbsigcheck,", path + ",", "hsne", "/q"});
    EXPECT_EQ(spaced.m_strErr, bare.m_strErr);
    EXPECT_EQ(spaced.m_nStatus, 1);
}

TEST(WildcardBatch, LogsEveryCaptureInNameOrderInALogNamedAfterTheCommandAndTheLocalTime) {
    const CTempFolder root;
    const fs::path caps = root.Path() / "caps";
    fs::create_directory(caps);
    for (const char* name : {"e.csv", "d.csv", "c.csv", "b.csv", "a.csv"})
        WriteIdleCapture(caps / name);
    std::ofstream(caps / "notes.txt") << "not a capture\n";
    const std::string reason = ReasonIn(FailureReport(caps, "a.csv"));

    const std::time_t before = std::time(nullptr);
    const COrvaneResult run = RunOrvane(root.Path(), {"UsbSigCheck,caps/*.csv,hsne"});
    const std::time_t after = std::time(nullptr);

    EXPECT_EQ(run.m_nStatus, 1);
    EXPECT_NE(run.m_strErr.find("Processed 5 Files"), std::string::npos) << run.m_strErr;
    const std::vector<std::string> logs = FilesIn(caps, "UsbSigCheck_", ".log");
    ASSERT_EQ(logs.size(), 1u);
    bool namedForTheRun = false;
    for (std::time_t when = before; when <= after; ++when) {
        namedForTheRun |= logs[0] == TimeStampedLogName("UsbSigCheck", when) + ".log";
    }
    EXPECT_TRUE(namedForTheRun) << logs[0];
    std::string expected;
    for (const char* name : {"a.csv", "b.csv", "c.csv", "d.csv", "e.csv"}) {
        expected += Failed("caps/" + std::string(name), reason);
    }
    EXPECT_EQ(ReadText(caps / logs[0]), expected);

    const COrvaneResult none = RunOrvane(root.Path(), {"usbsigcheck,caps/*.tsv,hsne"});
    EXPECT_NE(none.m_strErr.find("Files not found"), std::string::npos);
    EXPECT_EQ(none.m_nStatus, 1);
}

TEST(WildcardBatch, BatchesStartedInTheSameSecondKeepSeparateLogs) {
    const CTempFolder folder;
    WriteIdleCapture(folder.Path() / "a.csv");
    const std::time_t now = std::time(nullptr);
    std::vector<fs::path> earlier;
    for (std::time_t when = now; when < now + 5; ++when) {
        earlier.push_back(folder.Path() / (TimeStampedLogName("usbsigcheck", when) + ".log"));
        std::ofstream(earlier.back()) << "earlier batch\n";
    }

    RunOrvane(folder.Path(), {"usbsigcheck,*.csv,hsne"});

    for (const fs::path& log : earlier) EXPECT_EQ(ReadText(log), "earlier batch\n");
    const std::vector<std::string> second = FilesIn(folder.Path(), "usbsigcheck_", "-2.log");
    ASSERT_EQ(second.size(), 1u);
    EXPECT_TRUE(ReadText(folder.Path() / second[0])
                    .starts_with(Failed((folder.Path() / "a.csv").string(), "")));
}

TEST(CommandFile, RunsLinesUpToTheFirstBlankOneWithFilesRelativeToItAndLogsBesideIt) {
    const CTempFolder root;
    const fs::path caps = root.Path() / "caps";
    fs::create_directory(caps);
    for (const char* name : {"a.csv", "b c.csv", "c.csv", "abs.csv"}) WriteIdleCapture(caps / name);
    const std::string absolute = (caps / "abs.csv").string();
    std::ofstream(caps / "batch.cmd") << "usbsigcheck,a.csv,hsne\n"
                                      << "usbsigcheck, \"b c.csv\" ,hsne\r\n"
                                      << "usbsigcheck," << absolute << ",hsne\n"
                                      << "usbsigcheck,?.csv,hsne\n"
                                      << "\n"
                                      << "usbsigcheck,c.csv,hsne\n";
    const std::string reason = ReasonIn(FailureReport(caps, "a.csv"));

    const COrvaneResult run = RunOrvane(root.Path(), {"caps/batch.cmd", "/q"});

    EXPECT_EQ(run.m_nStatus, 1);
    EXPECT_NE(run.m_strErr.find("Finished analyzing 0 out of 5 files.\nSee log file batch.log for "
                                "information."),
              std::string::npos)
        << run.m_strErr;
    EXPECT_EQ(ReadText(caps / "batch.log"),
              Failed("caps/a.csv", reason) + Failed("caps/b c.csv", reason) +
                  Failed(absolute, reason) + Failed("caps/a.csv", reason) +
                  Failed("caps/c.csv", reason));

    std::ofstream(caps / "short.cmd") << "usbsigcheck,a.csv,hsne\n"
                                      << "usbsigcheck,c.csv,hsne\n"
                                      << "\n"
                                      << "usbsigcheck,abs.csv,hsne\n";
    const COrvaneResult shortRun = RunOrvane(root.Path(), {"caps/short.cmd"});
    EXPECT_NE(
        shortRun.m_strErr.find("Finished analyzing 0 out of 2 files.\nSee log file short.log"),
        std::string::npos)
        << shortRun.m_strErr;
    EXPECT_EQ(ReadText(caps / "short.log"),
              Failed("caps/a.csv", reason) + Failed("caps/c.csv", reason));

    const COrvaneResult missing = RunOrvane(root.Path(), {"missing.cmd"});
    EXPECT_NE(missing.m_strErr.find("Could not open input file: missing.cmd"), std::string::npos);
    EXPECT_EQ(missing.m_nStatus, 1);
}

TEST(CommandFile, BadLinesAreLoggedAndTheLinesAfterThemStillRun) {
    const CTempFolder folder;
    WriteIdleCapture(folder.Path() / "idle.csv");
    std::ofstream(folder.Path() / "words.txt")
        << "usbsigcheck,idle.csv,nonsense\n"
        << "frobnicate,idle.csv,ls\n"
        << "usbsigcheck,idle.csv\n"
        << "usbsigcheck,idle.csv,hsne," << std::string(70000, 'x') << ",tail.csv\n"
        << "eusbrepeater,idle.csv,ehsrep\n";

    const COrvaneResult run = RunOrvane(folder.Path(), {"words.txt"});
    const std::string log = ReadText(folder.Path() / "words.log");

    EXPECT_EQ(run.m_nStatus, 1);
    EXPECT_NE(run.m_strErr.find("Finished analyzing 0 out of 5 files."), std::string::npos);
    const std::string idle = (folder.Path() / "idle.csv").string();
    EXPECT_NE(log.find(Failed(idle, "Unknown test type: nonsense\n")), std::string::npos) << log;
    EXPECT_NE(log.find("Unrecognized test: frobnicate\n"), std::string::npos);
    EXPECT_NE(log.find("Insufficient parameters\n"), std::string::npos);
    EXPECT_NE(log.find("Line 4 is longer than 65536 characters and was not run\n"),
              std::string::npos);
    EXPECT_EQ(log.find("xxx"), std::string::npos);
    EXPECT_EQ(log.find("tail.csv"), std::string::npos);
    EXPECT_TRUE(log.ends_with(Failed(idle, ReasonIn(FailureReport(folder.Path(), "idle.csv")))));
}

TEST(SingleCommandSuccess, WritesTheReportPrintsItsPathWithoutADisplayAndLogsNothing) {
    const CTempFolder folder;
    WriteCleanHighSpeedCapture(folder.Path() / "hs.csv");

    const COrvaneResult shown = RunOrvane(folder.Path(), {"usbsigcheck,hs.csv,hsne"});
    EXPECT_EQ(shown.m_nStatus, 0);
    EXPECT_TRUE(shown.m_strErr.empty()) << shown.m_strErr;
    ASSERT_TRUE(shown.m_strOut.ends_with(".html\n"));
    EXPECT_TRUE(fs::equivalent(shown.m_strOut.substr(0, shown.m_strOut.size() - 1),
                               folder.Path() / "hs.html"));
    EXPECT_TRUE(FilesIn(folder.Path(), "", ".log").empty());

    const COrvaneResult quiet = RunOrvane(folder.Path(), {"usbsigcheck,hs.csv,hsne", "/q", "/s"});
    EXPECT_EQ(quiet.m_nStatus, 0);
    EXPECT_TRUE(quiet.m_strOut.empty());
    EXPECT_TRUE(quiet.m_strErr.empty());
    EXPECT_TRUE(fs::exists(folder.Path() / "hs_sum.csv"));

    fs::copy_file(folder.Path() / "hs.csv", folder.Path() / "h s.csv");
    const COrvaneResult quoted = RunOrvane(folder.Path(), {"usbsigcheck,\"h s.csv\",hsne", "/q"});
    EXPECT_EQ(quoted.m_nStatus, 0) << quoted.m_strErr;
    EXPECT_TRUE(fs::exists(folder.Path() / "h s.html"));
}

TEST(SingleCommandSuccess, LsfeRunsTheLowSpeedTestExactlyAsLsDoes) {
    const CTempFolder folder;
    synth::SingleEndedParams params;
    params.m_Speed = synth::Speed::Low;
    params.m_Traffic.m_nPackets = 1;
    params.m_Traffic.m_nPayloadBytes = 3;
    synth::WriteSingleEndedCapture(params, (folder.Path() / "ls.csv").string(),
                                   synth::FileFormat::Csv);
    std::string summaries[2];
    for (const std::string word : {"lsfe", "ls"}) {
        const COrvaneResult run =
            RunOrvane(folder.Path(), {"usbsigcheck,ls.csv," + word, "/q", "/s"});
        EXPECT_EQ(run.m_nStatus, 0) << word << run.m_strErr;
        summaries[word == "ls"] = ReadText(folder.Path() / "ls_sum.csv");
    }
    EXPECT_NE(summaries[0].find("\nls.csv,ls,"), std::string::npos) << summaries[0];
    EXPECT_EQ(summaries[0], summaries[1]);
}

TEST(WildcardBatchSuccess, FourSuccessesAfterAFailedFirstFileAreLoggedAndShareOneNewSummary) {
    const CTempFolder folder;
    WriteIdleCapture(folder.Path() / "a_idle.csv");
    for (const char* name : {"b.csv", "c.csv", "d.csv", "e.csv"})
        WriteCleanHighSpeedCapture(folder.Path() / name);
    const std::string reason = ReasonIn(FailureReport(folder.Path(), "a_idle.csv"));

    const std::time_t before = std::time(nullptr);
    const COrvaneResult mixed = RunOrvane(folder.Path(), {"usbsigcheck,*.csv,hsne", "/s"});
    const std::time_t after = std::time(nullptr);

    EXPECT_EQ(mixed.m_nStatus, 1);
    const std::vector<std::string> logs = FilesIn(folder.Path(), "usbsigcheck_", ".log");
    ASSERT_EQ(logs.size(), 1u);
    bool namedForTheRun = false;
    for (std::time_t when = before; when <= after; ++when) {
        namedForTheRun |= logs[0] == TimeStampedLogName("usbsigcheck", when) + ".log";
    }
    EXPECT_TRUE(namedForTheRun) << logs[0];
    std::string expected = Failed((folder.Path() / "a_idle.csv").string(), reason);
    for (const char* name : {"b.csv", "c.csv", "d.csv", "e.csv"}) {
        expected += "Analyzed file: " + (folder.Path() / name).string() + "\n";
    }
    EXPECT_EQ(ReadText(folder.Path() / logs[0]), expected);
    const std::vector<std::string> summaries = FilesIn(folder.Path(), "", "_00.csv");
    ASSERT_EQ(summaries.size(), 1u);
    EXPECT_EQ(LineCount(folder.Path() / summaries[0]), 5u);  // header and four captures

    const COrvaneResult clean = RunOrvane(folder.Path(), {"usbsigcheck,?.csv,hsne"});
    EXPECT_EQ(clean.m_nStatus, 0) << clean.m_strErr;
}

TEST(WildcardBatchSuccess, ABatchWhoseFirstFileFailsNeverAppendsToThePreviousBatchsSummary) {
    const CTempFolder root;
    const fs::path first = root.Path() / "first", second = root.Path() / "second";
    fs::create_directory(first);
    fs::create_directory(second);
    WriteCleanHighSpeedCapture(first / "a.csv");
    WriteCleanHighSpeedCapture(first / "b.csv");
    WriteIdleCapture(second / "a_idle.csv");
    WriteCleanHighSpeedCapture(second / "b.csv");
    std::ofstream(root.Path() / "two.cmd") << "usbsigcheck,first/*.csv,hsne\n"
                                           << "usbsigcheck,second/*.csv,hsne\n";

    const COrvaneResult run = RunOrvane(root.Path(), {"two.cmd", "/s"});

    EXPECT_EQ(run.m_nStatus, 1);
    const std::vector<std::string> firstSummary = FilesIn(first, "", "_00.csv");
    const std::vector<std::string> secondSummary = FilesIn(second, "", "_00.csv");
    ASSERT_EQ(firstSummary.size(), 1u);
    ASSERT_EQ(secondSummary.size(), 1u);
    EXPECT_EQ(LineCount(first / firstSummary[0]), 3u);
    EXPECT_EQ(LineCount(second / secondSummary[0]), 2u);
}
