#include "COrvaneRunner.h"

#include <array>
#include <charconv>
#include <cmath>
#include <ctime>
#include <filesystem>

#include "CBatchLog.h"
#include "COwnOutputs.h"
#include "OrvanePaths.h"
#include "velkin.h"

namespace {

constexpr std::array<const char*, 7> kSignalKeywords = {"ls",    "fs",    "hsfe", "hsne",
                                                        "lshub", "fshub", "hshub"};
constexpr std::array<const char*, 3> kRepeaterKeywords = {"elsrep", "efsrep", "ehsrep"};
constexpr int kFirstHubIndex = 4;
// Supplies a USB device is ever judged at lie well inside this range; outside it
// the text is a typo (50 for 5.0) or a unit slip (mV).
constexpr double kLowestSupply = 0.5;    // V
constexpr double kHighestSupply = 20.0;  // V

// Low- and full-speed captures may hold D+ and D- in two files; high speed is one
// differential trace.
bool IsLowOrFullSpeed(int index) { return index == 0 || index == 1 || index == 4 || index == 5; }

// The library's result buffer is overwritten by the next call: copy it at once.
std::string Copied(const char* result) { return result ? std::string(result) : std::string(); }

class CBusy {
public:
    explicit CBusy(COrvaneFeedback& feedback) : m_Feedback(feedback) { m_Feedback.SetBusy(true); }
    ~CBusy() { m_Feedback.SetBusy(false); }
    CBusy(const CBusy&) = delete;
    CBusy& operator=(const CBusy&) = delete;

private:
    COrvaneFeedback& m_Feedback;
};

}  // namespace

std::string COrvaneRunner::SignalKeyword(int combinedIndex) {
    if (combinedIndex < 0 || combinedIndex >= static_cast<int>(kSignalKeywords.size())) return "";
    return kSignalKeywords[combinedIndex];
}

std::string COrvaneRunner::RepeaterKeyword(int index) {
    if (index < 0 || index >= static_cast<int>(kRepeaterKeywords.size())) return "";
    return kRepeaterKeywords[index];
}

int COrvaneRunner::CombinedIndex() const {
    return m_eCurrentTab == ETestTab::kHub ? m_nHubTest + kFirstHubIndex : m_nDeviceTest;
}

std::string COrvaneRunner::SignalTestWord() const {
    return m_strTestWord.empty() ? SignalKeyword(CombinedIndex()) : m_strTestWord;
}

std::string COrvaneRunner::RepeaterTestWord() const {
    return m_strTestWord.empty() ? RepeaterKeyword(m_nRepeaterTest) : m_strTestWord;
}

std::string COrvaneRunner::SecondFileFor(bool lowOrFullSpeed) const {
    return m_bTwoFiles && lowOrFullSpeed && m_strTestWord.empty() ? m_strSecondFilePath : "";
}

bool COrvaneRunner::Finish(const std::string& result, bool fromCommandLine) {
    if (result.empty()) return true;
    if (fromCommandLine) {
        m_strErrorText = result;
    } else {
        m_Feedback.ShowMessage(result);
    }
    return false;
}

bool COrvaneRunner::RunSignal(bool fromCommandLine, unsigned mode, unsigned hubs) {
    if (fromCommandLine) {
        m_strErrorText.clear();
        m_bSummary = mode != 0;
    }
    const int index = CombinedIndex();
    const bool lowOrFull = IsLowOrFullSpeed(index);
    const std::string second = SecondFileFor(lowOrFull);
    // Two files chosen, the second one not yet: nothing to analyse.
    if (m_bTwoFiles && lowOrFull && m_strTestWord.empty() && second.empty()) return false;
    const unsigned hubCount = m_strTestWord.empty() && index >= kFirstHubIndex ? hubs : 0;
    const CBusy busy(m_Feedback);
    return Finish(Call({ELibraryExport::kUsbSigCheck, m_strDataFilePath, SignalTestWord(), second,
                        0.0, hubCount, mode}),
                  fromCommandLine);
}

bool COrvaneRunner::RunRepeater(bool fromCommandLine, unsigned mode, unsigned hubs) {
    if (fromCommandLine) {
        m_strErrorText.clear();
        m_bSummary = mode != 0;
    }
    const bool lowOrFull = IsLowOrFullSpeed(m_nRepeaterTest);
    const std::string second = SecondFileFor(lowOrFull);
    if (m_bTwoFiles && lowOrFull && m_strTestWord.empty() && second.empty()) return false;
    const CBusy busy(m_Feedback);
    return Finish(Call({ELibraryExport::kEUsbSigCheck, m_strDataFilePath, RepeaterTestWord(),
                        second, 0.0, hubs, mode}),
                  fromCommandLine);
}

bool COrvaneRunner::RunInrush(bool fromCommandLine, unsigned mode) {
    if (fromCommandLine) {
        m_strErrorText.clear();
        m_bSummary = mode != 0;
    }
    if (m_strInrushFilePath.empty()) {
        m_Feedback.ShowMessage("Please select a data file");
        return false;
    }
    double voltage = 0.0;
    if (const std::string refusal = SupplyVoltage(voltage); !refusal.empty())
        return Finish(refusal, fromCommandLine);
    const CBusy busy(m_Feedback);
    return Finish(
        Call({ELibraryExport::kUsbInrushCheck, m_strInrushFilePath, "", "", voltage, 0, mode}),
        fromCommandLine);
}

std::string COrvaneRunner::Call(const CLibraryCall& call) const {
    return m_pCalls != nullptr ? m_pCalls->Run(call) : call.Run();
}

CFileVerdict COrvaneRunner::Verdict(const std::string& dataFile) const {
    return m_pCalls != nullptr ? m_pCalls->Verdict(dataFile) : CRecordedVerdict::Read(dataFile);
}

namespace {

// One path per file, however it was named.
std::string PathKey(const std::string& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return (error ? std::filesystem::path(path) : absolute).lexically_normal().string();
}

std::string ReportKey(const std::string& dataFile) { return PathKey(orvane::ReportPath(dataFile)); }

}  // namespace

std::string COrvaneRunner::ReportRefusal(const std::string& dataFile) const {
    // The same capture analysed again (by another test) replaces its own report.
    const auto claimed = m_ClaimedReports.find(ReportKey(dataFile));
    if (claimed == m_ClaimedReports.end() || PathKey(claimed->second) == PathKey(dataFile))
        return "";
    return "Error: " + orvane::FileNameOf(dataFile) + " would replace the report of " +
           orvane::FileNameOf(claimed->second) + ", analysed earlier in this batch.";
}

void COrvaneRunner::ClaimReport(const std::string& dataFile) {
    m_ClaimedReports.emplace(ReportKey(dataFile), dataFile);
}

std::string COrvaneRunner::SupplyVoltage(double& volts) const {
    // An empty box or a typo must not become 0 V or a tenfold charge limit: the
    // limit is per volt of supply, so the text is refused before any analysis.
    const std::string& text = m_strLastVoltageText;
    const std::size_t first = text.find_first_not_of(" \t");
    const std::size_t last = text.find_last_not_of(" \t");
    const char* begin = text.data() + (first == std::string::npos ? text.size() : first);
    const char* end = text.data() + (last == std::string::npos ? text.size() : last + 1);
    // Read the same in every locale: the dialog's process takes the desktop's.
    const auto [stop, error] = std::from_chars(begin, end, volts);
    if (begin == end || error != std::errc() || stop != end || !std::isfinite(volts))
        return "Supply voltage \"" + text + "\" is not a number";
    if (volts < kLowestSupply || volts > kHighestSupply)
        return "Supply voltage " + text + " V is outside 0.5 V to 20 V";
    return "";
}

template <typename Analyse>
CBatchOutcome COrvaneRunner::RunBatch(const std::string& folder, const std::string& word,
                                      Analyse analyse) {
    CBatchOutcome outcome;
    CBatchLog log;
    if (!log.OpenTimeStamped(COwnOutputs::FolderFor(folder), word, std::time(nullptr))) {
        m_Feedback.ShowMessage("Failed to open log file");
    }
    outcome.m_strLogPath = log.Path();
    const CBusy busy(m_Feedback);
    const int count = static_cast<int>(m_SelectedFiles.size());
    // A batch summary is started by the first file the library analyses; a file
    // that fails writes no summary, so the next one must start it instead.
    bool summaryStarted = false;
    BeginBatch();
    for (const std::string& file : m_SelectedFiles) {
        ++outcome.m_nFiles;
        m_strProgressText =
            "Processing file " + std::to_string(outcome.m_nFiles) + " of " + std::to_string(count);
        m_Feedback.ShowProgress(outcome.m_nFiles, count, orvane::FileNameOf(file));
        const unsigned mode = BatchMode(m_bSummary, summaryStarted);
        std::string result = ReportRefusal(file);
        if (result.empty()) result = analyse(file, mode);
        if (result.empty()) {
            ClaimReport(file);
            summaryStarted = true;
            log.Write("Analyzed file: " + orvane::FileNameOf(file) + "\n");
        } else {
            // "Unknown Exception" too: the library gave no report for this file.
            ++outcome.m_nFailures;
            m_strErrorText = result;
            log.Write("**** Failed to analyze file: " + orvane::FileNameOf(file) + " " + result +
                      "\n");
        }
    }
    log.Close();
    m_strProgressText.clear();
    m_Feedback.EndProgress();
    m_Feedback.ShowMessage(FinishMessage(outcome.m_nFiles, outcome.m_nFailures, log.Path()));
    return outcome;
}

unsigned COrvaneRunner::BatchMode(bool summary, bool started) {
    if (!summary) return VELKIN_MODE_REPORT_ONLY;
    return started ? VELKIN_MODE_APPEND_BATCH_SUMMARY : VELKIN_MODE_NEW_BATCH_SUMMARY;
}

std::string COrvaneRunner::FinishMessage(int files, int failures, const std::string& logPath) {
    if (failures == 0) return "Finished analyzing " + std::to_string(files) + " files";
    return "Finished analyzing " + std::to_string(files - failures) + " out of " +
           std::to_string(files) + " files.\nSee log file " + orvane::FileNameOf(logPath) +
           " for information.";
}

CBatchOutcome COrvaneRunner::RunSignalBatch(int combinedIndex) {
    const std::string keyword = SignalKeyword(combinedIndex);
    const unsigned hubs = combinedIndex >= kFirstHubIndex ? m_nHubCount : 0;
    return RunBatch(m_strSignalFolder, "usbsigcheck", [&](const std::string& file, unsigned mode) {
        return Copied(UsbSigCheck(file.c_str(), keyword.c_str(), "", mode, hubs));
    });
}

CBatchOutcome COrvaneRunner::RunRepeaterBatch() {
    const std::string keyword = RepeaterKeyword(m_nRepeaterTest);
    return RunBatch(m_strSignalFolder, "usbsigcheck", [&](const std::string& file, unsigned mode) {
        return Copied(eUsbSigCheck(file.c_str(), keyword.c_str(), "", mode, 1));
    });
}

CBatchOutcome COrvaneRunner::RunInrushBatch() {
    double voltage = 0.0;
    if (const std::string refusal = SupplyVoltage(voltage); !refusal.empty()) {
        m_Feedback.ShowMessage(refusal);
        return {};
    }
    return RunBatch(m_strInrushFolder, "usbinrushcheck",
                    [&](const std::string& file, unsigned mode) {
                        return Copied(UsbInrushCheck(file.c_str(), voltage, mode));
                    });
}
