#include "CCmdLine.h"

#include <algorithm>
#include <cctype>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <utility>

#include "CPairWildcard.h"
#include "CRecordedVerdict.h"
#include "OrvanePaths.h"
#include "velkin.h"

namespace {

// Command-file lines longer than this are not commands; the cut-off is reported
// rather than letting the tail of one line be read as the next file's name.
constexpr std::size_t kMaxCommandFileLine = 64 * 1024;

constexpr const char* kItemSeparators = ",\r\n";

enum class ECommand { kUnknown, kSignal, kRepeater, kInrush };

ECommand CommandOf(const std::string& word) {
    using orvane::EqualsNoCase;
    if (EqualsNoCase(word, "usbsigcheck")) return ECommand::kSignal;
    if (EqualsNoCase(word, "eusbrepeater")) return ECommand::kRepeater;
    if (EqualsNoCase(word, "usbinrushcheck")) return ECommand::kInrush;
    return ECommand::kUnknown;
}

std::string TrimSpaces(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string TrimTrailing(std::string text, const char* characters) {
    const std::size_t last = text.find_last_not_of(characters);
    text.erase(last == std::string::npos ? 0 : last + 1);
    return text;
}

bool HasWildcard(const std::string& text) { return text.find_first_of("*?") != std::string::npos; }

bool HasWildcardItem(const std::vector<std::string>& items) {
    return std::any_of(items.begin(), items.end(), HasWildcard);
}

// The text from a space-slash pair on is switches only when every slash-separated
// word is a plain word ("q", "s"). An absolute path after ", " is not: its words
// hold dots, commas or further items.
bool IsSwitchPart(const std::string& part) {
    std::size_t start = part.find('/');
    while (start != std::string::npos) {
        const std::size_t end = part.find('/', start + 1);
        const std::string word = TrimSpaces(TrimTrailing(
            part.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1),
            " ,"));
        const bool plain = std::all_of(word.begin(), word.end(),
                                       [](unsigned char c) { return std::isalnum(c) != 0; });
        if (!plain) return false;
        start = end;
    }
    return true;
}

// The switch words of `commandLine` ("q", "s"), and in `command` the text before them.
std::vector<std::string> SplitSwitches(const std::string& commandLine, std::string& command) {
    std::size_t start = commandLine.find(" /");
    while (start != std::string::npos && !IsSwitchPart(commandLine.substr(start))) {
        start = commandLine.find(" /", start + 1);
    }
    command = TrimTrailing(commandLine.substr(0, start), " ,");
    std::vector<std::string> words;
    if (start == std::string::npos) return words;
    const std::string switches = commandLine.substr(start);
    for (std::size_t slash = switches.find('/'); slash != std::string::npos;) {
        const std::size_t next = switches.find('/', slash + 1);
        words.push_back(TrimSpaces(
            TrimTrailing(switches.substr(slash + 1, next == std::string::npos ? std::string::npos
                                                                              : next - slash - 1),
                         " ,")));
        slash = next;
    }
    return words;
}

// The test words a user is offered: each test once, under its own name.
std::string TestWords() {
    std::string words;
    for (int index = 0; !COrvaneRunner::SignalKeyword(index).empty(); ++index)
        words += COrvaneRunner::SignalKeyword(index) + ", ";
    for (int index = 0; !COrvaneRunner::RepeaterKeyword(index).empty(); ++index)
        words += COrvaneRunner::RepeaterKeyword(index) + ", ";
    return words.substr(0, words.size() - 2);
}

struct CCommandFileLine {
    std::string m_strText;
    bool m_bTooLong = false;
};

// One line, line feed (and the carriage return of a DOS line end) removed.
// False at the end of the file.
bool ReadCommandFileLine(std::istream& in, CCommandFileLine& line) {
    line.m_strText.clear();
    line.m_bTooLong = false;
    bool any = false;
    for (int c = in.get(); c != std::char_traits<char>::eof(); c = in.get()) {
        any = true;
        if (c == '\n') break;
        if (line.m_strText.size() < kMaxCommandFileLine) {
            line.m_strText.push_back(static_cast<char>(c));
        } else {
            line.m_bTooLong = true;
        }
    }
    if (!line.m_strText.empty() && line.m_strText.back() == '\r') line.m_strText.pop_back();
    if (line.m_bTooLong) line.m_strText.clear();
    return any;
}

}  // namespace

int CCmdLine::TestIndex(const std::string& word) {
    static const std::pair<const char*, int> kWords[] = {
        {"ls", 0},    {"lsne", 0},   {"lsfe", 0},   {"fs", 1},    {"fsfe", 1},
        {"fsne", 1},  {"hsfe", 2},   {"hsne", 3},   {"lshub", 4}, {"fshub", 5},
        {"hshub", 6}, {"elsrep", 0}, {"efsrep", 1}, {"ehsrep", 2}};
    for (const auto& [name, index] : kWords) {
        if (orvane::EqualsNoCase(word, name)) return index;
    }
    return -1;
}

std::string CCmdLine::SeparateSwitches(const std::string& commandLine) {
    m_bSummaryFlag = m_Options.m_bSummary;
    m_bInteractive = !m_Options.m_bQuiet;
    std::string command;
    for (const std::string& word : SplitSwitches(commandLine, command)) {
        if (orvane::EqualsNoCase(word, "q")) m_bInteractive = false;
        if (orvane::EqualsNoCase(word, "s")) m_bSummaryFlag = true;
    }
    return command;
}

std::string CCmdLine::UnknownSwitch(const std::string& commandLine) {
    std::string command;
    for (const std::string& word : SplitSwitches(commandLine, command)) {
        if (!word.empty() && !orvane::EqualsNoCase(word, "q") && !orvane::EqualsNoCase(word, "s"))
            return "/" + word;
    }
    return "";
}

void CCmdLine::BeginItems(const std::string& text) {
    m_strTokenText = text;
    m_nTokenPos = 0;
}

std::string CCmdLine::NextItem() {
    const std::size_t begin = m_strTokenText.find_first_not_of(kItemSeparators, m_nTokenPos);
    if (begin == std::string::npos) {
        m_nTokenPos = m_strTokenText.size();
        return "";
    }
    std::size_t end = m_strTokenText.find_first_of(kItemSeparators, begin);
    if (end == std::string::npos) end = m_strTokenText.size();
    m_nTokenPos = end;
    return TrimSpaces(m_strTokenText.substr(begin, end - begin));
}

std::vector<std::string> CCmdLine::Items(const std::string& text) {
    std::vector<std::string> items;
    BeginItems(text);
    for (std::string item = NextItem(); !item.empty(); item = NextItem()) {
        items.push_back(std::move(item));
    }
    return items;
}

void CCmdLine::Report(const std::string& text) {
    m_Feedback.ShowMessage(text);
    m_Log.Write(text + "\n");
}

void CCmdLine::Refuse(const std::string& file, const std::string& reason) {
    ++m_nFailedFiles;
    m_Feedback.ShowResult(m_Tally.Add(
        file, {EFileVerdict::kError, reason.empty() ? "The analysis did not run" : reason}));
}

bool CCmdLine::SkipOwnOutput(const std::string& path) {
    if (!Files().IsOwnOutput(path)) return false;
    m_Tally.Skip();
    m_Log.Write("Skipped output file: " + path + "\n");
    return true;
}

void CCmdLine::BeginRun() {
    m_Log.Close();
    m_Runner.BeginBatch();
    m_nFailedFiles = 0;
    m_Tally = CVerdictTally();
    m_OwnFiles = CBatchFiles();
    m_ShownHints.clear();
    m_strBatchSummary.clear();
}

bool CCmdLine::RunCommandLine(const std::string& commandLine) {
    const std::string command = SeparateSwitches(commandLine);
    BeginRun();
    const bool succeeded = RunParsed(
        Items(command), orvane::WithoutQuotes(TrimSpaces(command.substr(0, command.find(',')))),
        HasWildcard(command));
    m_Feedback.ShowResult(m_Tally.CountLine());
    return succeeded;
}

bool CCmdLine::RunCommands(const std::vector<std::vector<std::string>>& commands) {
    m_bSummaryFlag = m_Options.m_bSummary;
    m_bInteractive = !m_Options.m_bQuiet;
    BeginRun();
    bool succeeded = true;
    for (const std::vector<std::string>& command : commands) {
        // As many items as a comma-joined line would count: those before the first empty one.
        const std::vector<std::string> items(
            command.begin(), std::find(command.begin(), command.end(), std::string()));
        succeeded &=
            RunParsed(items, items.empty() ? std::string() : items[0], HasWildcardItem(items));
    }
    m_Feedback.ShowResult(m_Tally.CountLine());
    return succeeded;
}

bool CCmdLine::RunParsed(const std::vector<std::string>& items, const std::string& commandFile,
                         bool wildcard) {
    if (items.size() < 3) return RunCommandFile(commandFile, Hint(items));
    if (!wildcard) {
        return RunItems(items, m_bSummaryFlag ? VELKIN_MODE_FILE_SUMMARY : VELKIN_MODE_REPORT_ONLY,
                        m_bInteractive);
    }
    std::string folder = orvane::FolderOf(orvane::WithoutQuotes(items[1]));
    if (folder.empty()) folder = orvane::CurrentFolder();
    if (m_bWriteLogs &&
        !m_Log.OpenTimeStamped(COwnOutputs::FolderFor(folder), items[0], std::time(nullptr))) {
        m_Feedback.ShowMessage("Failed to open log file");
    }
    m_strLogFileName = m_Log.Path();
    if (m_Log.IsOpen()) Files().Wrote(m_Log.Path());
    if (m_Options.m_bVerbose && m_Log.IsOpen()) m_Feedback.ShowMessage("Log: " + m_Log.Path());
    const int count = RunPattern(items);
    m_Feedback.ShowMessage("Processed " + std::to_string(count) + " Files");
    m_Log.Close();
    return m_nFailedFiles == 0 && m_Tally.AllRun();
}

bool CCmdLine::RunCommand(const std::string& line, unsigned mode, bool interactive) {
    return RunItems(Items(line), mode, interactive);
}

int CCmdLine::RunWildcard(const std::string& line) { return RunPattern(Items(line)); }

bool CCmdLine::RunItems(const std::vector<std::string>& items, unsigned mode, bool interactive) {
    const ECommand command = items.empty() ? ECommand::kUnknown : CommandOf(items[0]);
    // The data file as the user named it, or the command word of a line that names none.
    const std::string named = items.size() > 1 ? orvane::WithoutQuotes(items[1])
                              : items.empty()  ? std::string()
                                               : items[0];
    if (command == ECommand::kUnknown) {
        const std::string text = "Unrecognized test: " + (items.empty() ? std::string() : items[0]);
        Report(text);
        ShowHint(Hint(items));
        Refuse(named, text);
        return false;
    }
    if (items.size() < 3) {
        Report("Insufficient parameters");
        ShowHint(Hint(items));
        Refuse(named, "Insufficient parameters");
        return false;
    }
    std::string dataFile = orvane::WithoutQuotes(items[1]);
    if (orvane::FolderOf(dataFile).empty()) {
        dataFile = orvane::InFolder(orvane::CurrentFolder(), dataFile);
    }
    if (m_Options.m_bVerbose) m_Feedback.ShowMessage("Analyzing " + dataFile);
    const std::set<std::string> summariesBefore =
        m_Options.m_bVerbose && mode == VELKIN_MODE_NEW_BATCH_SUMMARY
            ? COwnOutputs::BatchSummariesIn(COwnOutputs::FolderFor(orvane::FolderOf(dataFile)))
            : std::set<std::string>();

    COrvaneRunner& runner = m_Runner;
    runner.m_strTestWord.clear();
    runner.m_strErrorText = runner.ReportRefusal(dataFile);
    bool succeeded = false;
    if (!runner.m_strErrorText.empty()) {
        // Refused before the library is called: the earlier report stays.
    } else if (command == ECommand::kInrush) {
        runner.m_eCurrentTab = ETestTab::kInrush;
        runner.m_strInrushFilePath = dataFile;
        runner.m_strInrushFileName = orvane::FileNameOf(dataFile);
        runner.m_strInrushFolder = orvane::FolderOf(dataFile);
        runner.m_strVoltageText = items[2];
        runner.m_strLastVoltageText = items[2];
        succeeded = runner.RunInrush(true, mode);
    } else {
        const int index = TestIndex(items[2]);
        runner.m_strDataFilePath = dataFile;
        runner.m_strDataFileName = orvane::FileNameOf(dataFile);
        runner.m_strSignalFolder = orvane::FolderOf(dataFile);
        runner.m_bTwoFiles = items.size() > 3;
        runner.m_strSecondFilePath =
            items.size() > 3
                ? orvane::InFolder(orvane::FolderOf(dataFile), orvane::WithoutQuotes(items[3]))
                : "";
        if (command == ECommand::kSignal) {
            if (index < 0) {
                runner.m_eCurrentTab = ETestTab::kDevice;
                runner.m_strTestWord = items[2];
            } else if (index >= 4) {
                runner.m_eCurrentTab = ETestTab::kHub;
                runner.m_nHubTest = index - 4;
            } else {
                runner.m_eCurrentTab = ETestTab::kDevice;
                runner.m_nDeviceTest = index;
            }
            succeeded = runner.RunSignal(true, mode, runner.m_nHubCount);
        } else {
            runner.m_eCurrentTab = ETestTab::kRepeater;
            // Device words beyond the three repeater tests name no repeater test.
            if (index < 0 || COrvaneRunner::RepeaterKeyword(index).empty()) {
                runner.m_strTestWord = items[2];
            } else {
                runner.m_nRepeaterTest = index;
            }
            succeeded = runner.RunRepeater(true, mode, runner.m_nHubCount);
        }
    }

    if (succeeded) {
        runner.ClaimReport(dataFile);
        if (m_Options.m_bVerbose)
            ShowOutputs(dataFile, command == ECommand::kInrush, mode, summariesBefore);
        m_Feedback.ShowResult(m_Tally.Add(named, runner.Verdict(dataFile)));
        if (interactive) m_Feedback.OpenReport(orvane::ReportPath(dataFile));
        if (!interactive || command == ECommand::kInrush) {
            m_Log.Write("Analyzed file: " + dataFile + "\n");
        }
        return true;
    }
    Refuse(named, runner.m_strErrorText);
    const std::string failed = "**** Failed to analyze file: " + dataFile + "\n";
    if (m_Log.IsOpen()) {
        m_Log.Write(failed + runner.m_strErrorText + "\n");
    } else {
        // No log for a single command: the reason goes where the user sees it.
        m_Feedback.ShowMessage(failed + runner.m_strErrorText);
    }
    ShowHint(Hint(items));
    return false;
}

std::string CCmdLine::Hint(const std::vector<std::string>& items) const {
    const ECommand command = items.empty() ? ECommand::kUnknown : CommandOf(items[0]);
    const std::string testWords = "Expected a test type: " + TestWords();
    // A single word that is no command names a command file.
    if (command == ECommand::kUnknown)
        return items.size() < 2 ? ""
                                : "Expected a command: usbsigcheck, eusbrepeater or "
                                  "usbinrushcheck";
    if (items.size() < 3) {
        const std::string item = command == ECommand::kInrush ? "supply voltage" : "test type";
        return (items.size() < 2 ? "A data file and a " + item + " are missing. "
                                 : "A " + item + " is missing. ") +
               (command == ECommand::kInrush ? "Expected the supply voltage in volts, such as 5.0"
                                             : testWords);
    }
    if (command != ECommand::kInrush && TestIndex(items[2]) < 0) return testWords;
    return "";
}

void CCmdLine::ShowHint(const std::string& hint) {
    if (!hint.empty() && m_ShownHints.insert(hint).second) m_Feedback.ShowMessage(hint);
}

void CCmdLine::ShowOutputs(const std::string& dataFile, bool inrush, unsigned mode,
                           const std::set<std::string>& summariesBefore) {
    std::vector<const char*> suffixes = {COwnOutputs::kReport, COwnOutputs::kResultRecord,
                                         COwnOutputs::kWaveformPlot};
    if (!inrush) suffixes.insert(suffixes.end(), {COwnOutputs::kEyePlot, COwnOutputs::kPacketPlot});
    if (mode == VELKIN_MODE_FILE_SUMMARY) suffixes.push_back(COwnOutputs::kFileSummary);
    for (const char* suffix : suffixes)
        m_Feedback.ShowMessage("Wrote " + COwnOutputs::OutputPath(dataFile, suffix));
    if (mode == VELKIN_MODE_NEW_BATCH_SUMMARY) {
        // The library numbers a new batch summary itself: it is the one that was not there.
        const std::string folder = COwnOutputs::FolderFor(orvane::FolderOf(dataFile));
        for (const std::string& name : COwnOutputs::BatchSummariesIn(folder))
            if (!summariesBefore.contains(name)) m_strBatchSummary = orvane::InFolder(folder, name);
    }
    if (mode >= VELKIN_MODE_NEW_BATCH_SUMMARY && !m_strBatchSummary.empty())
        m_Feedback.ShowMessage("Wrote " + m_strBatchSummary);
}

int CCmdLine::RunPattern(const std::vector<std::string>& items) {
    if (items.size() < 3) {
        RunItems(items, VELKIN_MODE_REPORT_ONLY, false);
        return 1;
    }
    const std::string pattern = orvane::WithoutQuotes(items[1]);
    std::vector<std::string> files = Files().Matches(pattern);
    // The batch's own log may match a pattern such as "*"; it is no capture.
    std::error_code error;
    std::erase_if(files, [&](const std::string& path) {
        return m_Log.IsOpen() && std::filesystem::equivalent(path, m_Log.Path(), error);
    });
    // The reports, plots, summaries and logs of earlier runs lie among the captures.
    std::erase_if(files, [this](const std::string& path) { return SkipOwnOutput(path); });
    if (files.empty()) {
        Report("Files not found");
        m_Tally.NotRun();
        return 0;
    }
    const int count = static_cast<int>(files.size());
    bool summaryStarted = false;
    for (int i = 0; i < count; ++i) {
        m_Feedback.ShowProgress(i + 1, count, orvane::FileNameOf(files[i]));
        const unsigned mode = COrvaneRunner::BatchMode(m_bSummaryFlag, summaryStarted);
        std::vector<std::string> fileItems{items[0], files[i], items[2]};
        if (items.size() > 3) {
            // A pair: D- named after D+, never dropped; one that cannot be named fails.
            const std::string second = orvane::WithoutQuotes(items[3]);
            fileItems.push_back(CPairWildcard::SecondFileFor(pattern, files[i], second));
            if (fileItems.back().empty()) {
                const std::string reason = "The pattern " + second + " has wildcards that " +
                                           orvane::FileNameOf(pattern) + " does not";
                Refuse(files[i], reason);
                m_Log.Write("**** Failed to analyze file: " + files[i] + "\n" + reason + "\n");
                continue;
            }
        }
        if (RunItems(fileItems, mode, false)) summaryStarted = true;
    }
    m_Feedback.EndProgress();
    return count;
}

bool CCmdLine::RunCommandFile(const std::string& commandFile, const std::string& hint) {
    std::string path = commandFile;
    std::string folder = orvane::FolderOf(path);
    if (folder.empty()) {
        folder = orvane::CurrentFolder();
        path = orvane::InFolder(folder, path);
    }
    // Only a regular file: a pipe would hold the run until something writes to it.
    std::error_code error;
    const bool regular = std::filesystem::is_regular_file(path, error);
    std::ifstream in;
    if (regular) in.open(path, std::ios::binary);
    if (!regular || !in) {
        m_Feedback.ShowMessage("Could not open input file: " + orvane::FileNameOf(path));
        ShowHint(hint);
        m_Tally.NotRun();
        return false;
    }
    std::string logPath = orvane::WithExtension(path, ".log");
    if (logPath == path) logPath += ".log";
    const std::string logFolder = COwnOutputs::FolderFor(folder);
    if (logFolder != folder) logPath = orvane::InFolder(logFolder, orvane::FileNameOf(logPath));
    if (m_bWriteLogs && !m_Log.Open(logPath)) m_Feedback.ShowMessage("Failed to open log file");
    m_strLogFileName = logPath;
    if (m_Log.IsOpen()) Files().Wrote(logPath);
    if (m_Options.m_bVerbose && m_Log.IsOpen()) m_Feedback.ShowMessage("Log: " + logPath);

    // Read up to the first empty line first, so that progress can show the total.
    std::vector<CCommandFileLine> lines;
    CCommandFileLine read;
    while (ReadCommandFileLine(in, read) && (read.m_bTooLong || !read.m_strText.empty()))
        lines.push_back(read);
    // The empty line ends the commands, as it always has; what follows it is counted,
    // so that commands left there are not passed over without a word.
    int notRun = 0;
    while (ReadCommandFileLine(in, read))
        if (read.m_bTooLong || !TrimSpaces(read.m_strText).empty()) ++notRun;
    const unsigned mode = m_bSummaryFlag ? VELKIN_MODE_FILE_SUMMARY : VELKIN_MODE_REPORT_ONLY;
    const int failedBefore = m_nFailedFiles;
    int count = 0;
    for (std::size_t n = 0; n < lines.size(); ++n) {
        const CCommandFileLine& line = lines[n];
        if (line.m_bTooLong) {
            ++count;
            const std::string text = "Line " + std::to_string(n + 1) + " is longer than " +
                                     std::to_string(kMaxCommandFileLine) +
                                     " characters and was not run";
            Report(text);
            Refuse(commandFile, text);
            continue;
        }
        std::vector<std::string> items = Items(line.m_strText);
        // Data files are named relative to the command file; a full path stays as it is.
        if (items.size() > 1) items[1] = orvane::InFolder(folder, orvane::WithoutQuotes(items[1]));
        if (HasWildcard(line.m_strText)) {
            count += RunPattern(items);
        } else if (items.size() > 1 && SkipOwnOutput(items[1])) {
            // Named by the command file, yet an output of an earlier run: not a capture.
        } else {
            ++count;
            m_Feedback.ShowProgress(
                static_cast<int>(n + 1), static_cast<int>(lines.size()),
                items.size() > 1 ? orvane::FileNameOf(items[1]) : line.m_strText);
            RunItems(items, mode, false);
        }
    }
    m_Feedback.EndProgress();
    if (notRun > 0) {
        m_Tally.NotRun();
        Report("Line " + std::to_string(lines.size() + 1) +
               " is empty and ends the commands: " + std::to_string(notRun) +
               (notRun == 1 ? " line after it was" : " lines after it were") + " not run");
    }
    m_Log.Close();
    const int failures = m_nFailedFiles - failedBefore;
    m_Feedback.ShowMessage(COrvaneRunner::FinishMessage(count, failures, m_strLogFileName));
    return failures == 0 && m_Tally.AllRun();
}
