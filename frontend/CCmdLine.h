// Orvane's command line: one command for one file, a command whose file item is a
// wildcard pattern, or the name of a command file with one command per line. Each
// file is analysed through the dialog's own run operations, so a capture is
// judged the same way whether it was named here or chosen in the dialog.
//
//   usbsigcheck,<data file>,<test word>[,<second file>] [/q] [/s]
//   eusbrepeater,<data file>,<test word>[,<second file>] [/q] [/s]
//   usbinrushcheck,<data file>,<supply voltage> [/q] [/s]
//   <command file> [/q] [/s]
//
// "/q" runs quietly (no report is opened), "/s" asks for CSV summaries. The same
// commands may come as lists of items instead (RunCommands), so that a file whose
// name holds a comma can be named.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "CBatchFiles.h"
#include "CBatchLog.h"
#include "COrvaneFeedback.h"
#include "COrvaneRunner.h"
#include "CVerdictTally.h"

// What the options of the command line ask for, before any switch of a command.
struct CCmdOptions {
    bool m_bQuiet = false;    // as "/q"
    bool m_bSummary = false;  // as "/s"
    bool m_bVerbose = false;  // each file named as it starts, each output as it is written
};

class CCmdLine {
public:
    CCmdLine(COrvaneRunner& runner, COrvaneFeedback& feedback)
        : m_Runner(runner), m_Feedback(feedback) {}

    // The whole command line. True when every analysis it named ran to the end. Each
    // file's verdict and, at the end, the count of the run are shown as results.
    bool RunCommandLine(const std::string& commandLine);
    // Commands given as their items ({"usbsigcheck", "a,b.csv", "hsne"}), run one after
    // another as one run, each exactly as its comma-joined line would be.
    bool RunCommands(const std::vector<std::vector<std::string>>& commands);
    // The first switch of `commandLine` other than "/q" and "/s" ("/x"), or "".
    static std::string UnknownSwitch(const std::string& commandLine);
    // The process exit status of the last command line (CVerdictTally).
    int ExitStatus() const { return m_Tally.ExitStatus(); }
    // One command for one file. True when the analysis ran to the end.
    bool RunCommand(const std::string& line, unsigned mode, bool interactive);
    // The command for every file matching the pattern in item 2. Returns the number run.
    int RunWildcard(const std::string& line);
    // Every line of a command file, data files named relative to it. True when all succeeded.
    // `hint` follows the message of a file that cannot be opened: what a command that
    // names no command file lacks.
    bool RunCommandFile(const std::string& path, const std::string& hint = "");

    // The dialog index a test word selects; -1 for a word that names no test.
    static int TestIndex(const std::string& word);

    CCmdOptions m_Options;
    bool m_bSummaryFlag = false;
    bool m_bInteractive = true;
    // A batch planned before it is walked: the plan writes no log, and the walk takes
    // the files the plan saw instead of looking again.
    bool m_bWriteLogs = true;
    CBatchFiles* m_pBatchFiles = nullptr;

private:
    std::string SeparateSwitches(const std::string& commandLine);
    void BeginRun();
    void BeginItems(const std::string& text);
    std::string NextItem();
    std::vector<std::string> Items(const std::string& text);

    // `commandFile` is the path a command of fewer than three items names.
    bool RunParsed(const std::vector<std::string>& items, const std::string& commandFile,
                   bool wildcard);
    bool RunItems(const std::vector<std::string>& items, unsigned mode, bool interactive);
    int RunPattern(const std::vector<std::string>& items);
    // A message that concerns the batch as a whole goes to the user and into the log.
    void Report(const std::string& text);
    // What a command of these items lacks or got wrong, said once a run: the valid
    // words, or the item missing. Empty when there is nothing to add.
    std::string Hint(const std::vector<std::string>& items) const;
    void ShowHint(const std::string& hint);
    // With m_bVerbose, the outputs the run of `dataFile` wrote.
    void ShowOutputs(const std::string& dataFile, bool inrush, unsigned mode,
                     const std::set<std::string>& summariesBefore);
    // Counts a file that was not analysed and shows its line, for `reason`.
    void Refuse(const std::string& file, const std::string& reason);
    // True, logged and counted, when a wildcard or a command file names an output of an
    // earlier run: a batch run twice in one folder judges the same captures twice.
    bool SkipOwnOutput(const std::string& path);

    COrvaneRunner& m_Runner;
    COrvaneFeedback& m_Feedback;
    CBatchLog m_Log;
    std::string m_strLogFileName;
    std::string m_strTokenText;
    std::size_t m_nTokenPos = 0;
    int m_nFailedFiles = 0;  // analyses and command lines that did not run to the end
    CVerdictTally m_Tally;
    CBatchFiles m_OwnFiles;  // the run's own look at its files, without a plan
    CBatchFiles& Files() { return m_pBatchFiles != nullptr ? *m_pBatchFiles : m_OwnFiles; }
    std::set<std::string> m_ShownHints;
    std::string m_strBatchSummary;  // the batch summary a verbose run last named
};
