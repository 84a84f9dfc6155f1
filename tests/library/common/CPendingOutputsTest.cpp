#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "entry/CUsbInrushCheck.h"
#include "library/AnalysisRun.h"

namespace fs = std::filesystem;

namespace {

class RunOutputs : public ::testing::Test, public CAnalysisRun {
protected:
    // Every file of the folder and a print of its bytes; a hidden name is a temporary
    // left behind.
    std::map<std::string, std::size_t> Files() const {
        std::map<std::string, std::size_t> files;
        for (const auto& entry : fs::recursive_directory_iterator(m_Folder.Path())) {
            const std::string name = entry.path().filename().string();
            EXPECT_NE(name[0], '.') << "left behind: " << name;
            if (entry.is_regular_file())
                files[name] = std::hash<std::string>()(Slurp(entry.path().string()));
        }
        return files;
    }
};

// Runs `step` in a child process, as the library runs one analysis per process: its
// exit code, or -1 when it did not exit.
pid_t StartChild(const std::function<int()>& step) {
    const pid_t child = fork();
    if (child == 0) _exit(step());
    return child;
}
int ExitCode(pid_t child) {
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

// A run that stops at a later output (a folder where the report, the eye plot or the
// summary goes, the batch's folder gone, the disk full under the first plot) leaves
// the previous run's report, plots and summary byte for byte, and no temporary file.
TEST_F(RunOutputs, ARunThatFailsHalfWayLeavesThePreviousOutputsAsTheyWere) {
    const struct {
        const char* folderInTheWay;  // put where this output goes
        const char* batch;           // the batch file the run adds its line to
        bool diskFull;
        const char* failure;
    } cases[] = {{"cap.html", "", false, "Failed to write report file cap.html"},
                 {"capEye.png", "", false, "Is a directory: capEye.png"},
                 {"cap_sum.csv", "", false, "Is a directory: cap_sum.csv"},
                 {"", "gone/High_Speed_Results_00.csv", false,
                  "No such file or directory: High_Speed_Results_00.csv"},
                 {"", "", true, "File too large: capPlot.png"}};
    HighSpeed("cap.csv");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.failure);
        // Earlier outputs that no new run could write again byte for byte.
        for (const char* name :
             {"cap.html", "capPlot.png", "capEye.png", "capPacket.png", "cap_sum.csv"}) {
            fs::remove_all(Path(name));
            std::ofstream(Path(name)) << "earlier " << name;
        }
        if (*c.folderInTheWay) {
            fs::remove(Path(c.folderInTheWay));
            fs::create_directories(Path(c.folderInTheWay) + "/kept");
        }
        m_Driver.SummaryFileName = Path(c.batch);
        const unsigned mode = *c.batch ? 3 : 1;
        const auto before = Files();
        // A limit on the size of any file fails a write as a full disk does.
        const pid_t child = StartChild([&] {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{4096, 4096};
            if (c.diskFull) setrlimit(RLIMIT_FSIZE, &limit);
            return RunCapture("cap.csv", "hsne", "", mode) == c.failure ? 0 : 1;
        });
        EXPECT_EQ(ExitCode(child), 0);
        EXPECT_EQ(Files(), before);
    }
}

// "run1\cap.csv" is a capture of its own: every output lands beside it under its
// whole name, the report's pictures are the plots written, and the outputs of
// "cap.csv" in the same folder are left alone.
TEST_F(RunOutputs, ABackslashInTheNameKeepsAllOutputsTogetherAndTheReportLinksItsPlots) {
    HighSpeed("cap.csv");
    ASSERT_EQ(RunCapture("cap.csv", "hsne", "", 1), "");
    const auto plain = Files();
    HighSpeed("run1\\cap.csv");
    synth::WriteInrushCapture({}, Path("run1\\att.csv"), synth::FileFormat::Csv);
    EXPECT_EQ(RunCapture("run1\\cap.csv", "hsne", "", 1), "");
    CUsbInrushCheck().Run(Path("run1\\att.csv"), 5.0, 1);
    // A link names the backslash percent-encoded: a browser asks for the file of that name.
    for (const auto& [data, link, plots] :
         {std::tuple{"run1\\cap.csv", "run1%5Ccap",
                     std::vector<std::string>{"Plot.png", "Eye.png"}},
          {"run1\\att.csv", "run1%5Catt", {"Plot.png"}}}) {
        SCOPED_TRACE(data);
        const std::string page = Slurp(Beside(data, ".html"));
        for (const std::string& suffix : plots) {
            EXPECT_NE(page.find("src=\"" + std::string(link) + suffix + "\""), std::string::npos);
            EXPECT_GT(Picture(Beside(data, suffix)).width, 0) << suffix;
        }
        EXPECT_EQ(Cell(ReadCsv(Beside(data, "_sum.csv")), "File Name"), data);
    }
    const auto after = Files();
    for (const auto& [name, print] : plain) EXPECT_EQ(after.at(name), print) << name;
}

// Four processes analysing one capture in one folder at once: every run succeeds,
// and what is left is one whole report, three whole plots and a whole summary.
TEST_F(RunOutputs, ProcessesAnalysingOneCaptureAtOnceAllSucceedAndLeaveWholeFiles) {
    constexpr int kProcesses = 4, kRuns = 3;
    HighSpeed("cap.csv");
    int start[2];
    ASSERT_EQ(pipe(start), 0);
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        children.push_back(StartChild([&] {
            close(start[1]);
            char go;
            if (read(start[0], &go, 1) < 0) return 1;  // all set off as the pipe closes
            int failures = 0;
            for (int run = 0; run < kRuns; ++run)
                failures += RunCapture("cap.csv", "hsne", "", 1).empty() ? 0 : 1;
            return failures;
        }));
    }
    close(start[0]);
    close(start[1]);
    for (const pid_t child : children) EXPECT_EQ(ExitCode(child), 0);
    Files();  // no temporary left behind
    EXPECT_TRUE(Slurp(Path("cap.html")).ends_with("</html>\n"));
    EXPECT_NE(Report("cap.csv").Colour("Overall result: pass!"), "absent");
    for (const char* plot : {"capPlot.png", "capEye.png", "capPacket.png"})
        EXPECT_GT(Picture(Path(plot)).width, 0);
    EXPECT_EQ(ReadCsv(Path("cap_sum.csv")).size(), 2u);
}
