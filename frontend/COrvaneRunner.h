// The choices a user makes in Orvane's dialog (files, test type, hub count,
// supply voltage, summary) and the analyses they start. No widget lives here: the
// dialog reads its controls into these fields, the command line fills them from
// its items, and both reach Velkin through the same run operations.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "CLibraryCalls.h"
#include "COrvaneFeedback.h"

// Which analysis the current tab runs.
enum class ETestTab { kDevice = 0, kHub = 1, kInrush = 2, kRepeater = 3 };

// How a batch went: files run, files the library did not analyse, and the log.
struct CBatchOutcome {
    int m_nFiles = 0;
    int m_nFailures = 0;
    std::string m_strLogPath;
};

class COrvaneRunner {
public:
    explicit COrvaneRunner(COrvaneFeedback& feedback) : m_Feedback(feedback) {}

    std::string m_strSignalFolder;
    std::string m_strInrushFolder;
    std::vector<std::string> m_SelectedFiles;  // full paths, for a batch
    std::string m_strDataFilePath;
    std::string m_strDataFileName;
    std::string m_strSecondFilePath;
    std::string m_strInrushFilePath;
    std::string m_strInrushFileName;
    std::string m_strRepeaterFolder;
    std::string m_strRepeaterFileName;
    std::string m_strVoltageText;      // as typed in the voltage box
    std::string m_strLastVoltageText;  // the copy the runs use and the settings keep
    int m_nDeviceTest = 3;             // "ls", "fs", "hsfe", "hsne"
    int m_nHubTest = 2;                // "lshub", "fshub", "hshub"
    int m_nRepeaterTest = 2;           // "elsrep", "efsrep", "ehsrep"
    bool m_bTwoFiles = false;          // D+ and D- captured into separate files
    unsigned m_nHubCount = 1;
    bool m_bSummary = false;
    ETestTab m_eCurrentTab = ETestTab::kDevice;
    // A test word that names none of the tests. It is sent to the library as
    // typed, so the user reads the library's own "Unknown test type" answer
    // instead of getting a low-speed verdict for a capture that may not be one.
    std::string m_strTestWord;
    std::string m_strErrorText;
    std::string m_strProgressText;
    // Where the analyses of the command line go; in this process when none is set.
    CLibraryCalls* m_pCalls = nullptr;

    // One file of the device or hub tab, one repeater file, one inrush file.
    // Each returns true when the library ran the analysis to the end. `hubs` counts
    // the hubs (hub tests) or repeaters between the device and the probe.
    bool RunSignal(bool fromCommandLine, unsigned mode, unsigned hubs);
    bool RunRepeater(bool fromCommandLine, unsigned mode, unsigned hubs);
    bool RunInrush(bool fromCommandLine, unsigned mode);

    // Every selected file, with a time-stamped log in the data folder.
    // `combinedIndex` is the device index, or the hub index + 4.
    CBatchOutcome RunSignalBatch(int combinedIndex);
    CBatchOutcome RunRepeaterBatch();
    CBatchOutcome RunInrushBatch();

    // The reports of one batch: a capture whose report would replace the report of one
    // analysed earlier in the batch (cap.csv after cap.tsv) is refused, not run.
    void BeginBatch() { m_ClaimedReports.clear(); }
    // Empty when the report of `dataFile` is still free in this batch; else the refusal.
    std::string ReportRefusal(const std::string& dataFile) const;
    void ClaimReport(const std::string& dataFile);

    // The summary mode of a batch's next file. A failed file writes no summary, so the
    // batch summary is started by the first file that succeeds; appending before that
    // would add to an older batch.
    static unsigned BatchMode(bool summary, bool started);
    // What the user is told when a batch of `files` ends, `failures` of them failed.
    static std::string FinishMessage(int files, int failures, const std::string& logPath);

    // The verdict of the last analysis, of `dataFile`, that ran to the end.
    CFileVerdict Verdict(const std::string& dataFile) const;

    // The keyword of the device tab (0-3) or hub tab (4-6) test; empty out of range.
    static std::string SignalKeyword(int combinedIndex);
    static std::string RepeaterKeyword(int index);

private:
    int CombinedIndex() const;
    std::string SignalTestWord() const;
    std::string RepeaterTestWord() const;
    std::string SecondFileFor(bool lowOrFullSpeed) const;
    bool Finish(const std::string& result, bool fromCommandLine);
    std::string Call(const CLibraryCall& call) const;
    // The supply voltage typed, in `volts`; a refusal text when it is no usable voltage.
    std::string SupplyVoltage(double& volts) const;
    template <typename Analyse>
    CBatchOutcome RunBatch(const std::string& folder, const std::string& word, Analyse analyse);

    COrvaneFeedback& m_Feedback;
    std::map<std::string, std::string> m_ClaimedReports;  // report path, its data file
};
