// Orvane: runs Velkin's analyses from its dialog, or from the command line when one
// is given. A command comes in one of two forms: the comma form that the dialog's
// users know, the whole command line joined with spaces, or a command word with
// options, which can name any file (one with a comma in its name too). Both run
// through the same command line, so they write the same outputs; neither needs a
// display or creates a window.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "CCmdLine.h"
#include "CConsoleFeedback.h"
#include "COrvaneRunner.h"
#include "CParallelBatch.h"
#include "CVerdictTally.h"
#include "dialog/COrvaneApp.h"

namespace {

constexpr const char* kSyntax = R"(Commands (the whole command line, words joined with spaces):
  usbsigcheck,<data file>,<test>[,<second file>] [/q] [/s]
  eusbrepeater,<data file>,<test>[,<second file>] [/q] [/s]
  usbinrushcheck,<data file>,<supply voltage> [/q] [/s]
  <command file> [/q] [/s]        one command per line, files relative to it

The same commands in the option form, for any file name (one with a comma too):
  orvane [options] usbsigcheck --test <test> [--second <second file>] <data file>...
  orvane [options] eusbrepeater --test <test> [--second <second file>] <data file>...
  orvane [options] usbinrushcheck --volts <supply voltage> <data file>...
Each data file is run as its comma-form command is, with the same outputs.

The data file may be a wildcard pattern (quote it from the shell); its batch is
logged in the data folder (or the output folder). Tests: ls, fs, hsfe, hsne, lshub, fshub, hshub,
elsrep, efsrep, ehsrep. /q: do not open the report. /s: write CSV summaries.
A wildcard or command file skips the reports, plots, result records, summaries
and logs of earlier runs, and counts them as skipped.

Standard output: one line per file, then the count of the run:
  PASS <file> | WAIVED <file> | FAIL <file>: <failed checks> | ERROR <file>: <reason>
  <n> files: <p> passed, <w> waived, <f> failed, <e> errors, <s> skipped

A batch runs its analyses in --jobs worker processes, with the same lines, log,
summary and status as one at a time. --shard K/N runs every N-th analysis from the
K-th and leaves a shard record (batch_<digest>.shard-K-of-N.rec); once all N have
run, anywhere on a shared file system:
  orvane merge <shard records or the folder holding them>
writes the batch's log and summary and prints its lines, as one run would have.

Exit status: 0 every file analysed and passed or waived; 1 a device failed a
limit; 2 usage error (or shards that do not make one batch); 3 a file could not
be analysed (wins over 1).
Environment: VELKIN_OUTPUT_DIR (set by -o), VELKIN_BATCH_DIR, VELKIN_COMPLIANCE_URL.)";

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

// A desktop session, or a platform chosen for Qt (offscreen, a VNC server).
bool HasScreen() {
    return IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY") || IsSet("QT_QPA_PLATFORM");
}

int UsageError(const std::string& text) {
    std::fprintf(stderr, "%s\nRun with --help for more information.\n", text.c_str());
    return CVerdictTally::kUsageError;
}

std::string Joined(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& word : words) text += (text.empty() ? "" : " ") + word;
    return text;
}

// The library writes every output into the folder VELKIN_OUTPUT_DIR names; it is
// created here, so that a run does not fail file by file on a folder not made yet.
std::string UseOutputFolder(const std::string& folder) {
    namespace fs = std::filesystem;
    std::error_code error, ignored;
    fs::create_directories(folder, error);
    const fs::path absolute = fs::absolute(folder, ignored);
    if (!fs::is_directory(absolute, ignored))
        return "Cannot write into the output folder " + folder + ": " +
               (error ? error.message() : "it is not a folder");
    setenv("VELKIN_OUTPUT_DIR", absolute.lexically_normal().c_str(), 1);
    return "";
}

// "K/N" with 1 <= K <= N, into `shard` and `shards`.
bool ParseShard(const std::string& text, unsigned& shard, unsigned& shards) {
    char rest = 0;
    return std::sscanf(text.c_str(), "%u/%u%c", &shard, &shards, &rest) == 2 && shard >= 1 &&
           shard <= shards;
}

// A batch shared among processes; one that cannot start its workers or write its
// records says why.
template <typename Batch>
int RunBatch(COrvaneFeedback& feedback, Batch batch) {
    try {
        return batch();
    } catch (const std::exception& error) {
        feedback.ShowMessage(std::string("The batch could not be shared out: ") + error.what());
        return CVerdictTally::kNotAnalysed;
    }
}

// The option form of one command word.
struct CCommandWord {
    CLI::App* m_pApp = nullptr;
    bool m_bInrush = false;
};

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Orvane: USB 2.0 signal quality and inrush analysis of oscilloscope captures"};
    app.set_version_flag("--version", "orvane " ORVANE_VERSION);
    app.footer(kSyntax);
    // Options of the whole run may follow the command word too.
    app.fallthrough();
    CCmdOptions options;
    unsigned hubs = 1;
    std::string outputFolder;
    std::vector<std::string> words;
    app.add_flag("-q,--quiet", options.m_bQuiet, "Do not open the reports (as /q)");
    app.add_flag("-s,--summary", options.m_bSummary, "Write CSV summaries (as /s)");
    app.add_option("--hubs", hubs,
                   "Hubs or repeaters between the device and the probe, 0 to 5, for the hub "
                   "and repeater tests (default 1)")
        ->type_name("N")
        ->check(CLI::Range(0u, 5u).description(""));
    app.add_option("-o,--output-dir", outputFolder,
                   "Write every output and log into DIR (created if missing) instead of "
                   "beside the data")
        ->type_name("DIR");
    app.add_flag("-v,--verbose", options.m_bVerbose,
                 "Name each file as it starts and each output as it is written");
    unsigned jobs = std::max(1u, std::thread::hardware_concurrency());
    app.add_option("-j,--jobs", jobs,
                   "Worker processes a batch's analyses run in (default: the number of cores)")
        ->type_name("N")
        ->check(CLI::Range(1u, 1024u).description(""));
    std::string shardText;
    app.add_option("--shard", shardText,
                   "Analyse every N-th file of the batch from the K-th and record the results "
                   "for orvane merge")
        ->type_name("K/N");
    app.add_option("command", words, "A command in the comma form, or a command file");

    std::string test, second, volts;
    std::vector<std::string> files;
    std::vector<CCommandWord> commandWords;
    static const struct {
        const char* m_pWord;
        const char* m_pAnalysis;
        bool m_bInrush;
    } kCommandWords[] = {{"usbsigcheck", "Signal quality of a device or hub", false},
                         {"eusbrepeater", "Signal quality of an eUSB2 repeater", false},
                         {"usbinrushcheck", "Inrush current at attach", true}};
    for (const auto& [word, analysis, inrush] : kCommandWords) {
        CLI::App* command = app.add_subcommand(word, analysis);
        command->ignore_case();
        command->footer(std::string("Each data file runs as the comma-form command ") + word +
                        (inrush ? ",<data file>,<volts>" : ",<data file>,<test>[,<second>]") +
                        " does. Options of the whole run (orvane --help) may follow the "
                        "command word.");
        if (inrush) {
            command->add_option("--volts", volts, "Supply voltage of the test, in volts")
                ->type_name("V");
        } else {
            command
                ->add_option("--test", test,
                             "Test type: ls, fs, hsfe, hsne, lshub, fshub, "
                             "hshub, elsrep, efsrep, ehsrep")
                ->type_name("TYPE");
            command
                ->add_option("--second", second,
                             "The D- file of a pair taken into two files, in the data "
                             "file's folder (wildcards filled from the data file's name)")
                ->type_name("FILE");
        }
        command->add_option("file", files, "Data files or quoted wildcard patterns");
        commandWords.push_back({command, inrush});
    }
    std::vector<std::string> shardRecords;
    CLI::App* merge =
        app.add_subcommand("merge", "Join the shard records of a batch into its log and summary");
    merge->add_option("record", shardRecords, "Shard records, or folders holding them")->required();
    app.require_subcommand(0, 1);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int status = app.exit(error);
        return status == 0 ? 0 : CVerdictTally::kUsageError;
    }

    unsigned shard = 0, shards = 0;
    if (!shardText.empty() && !ParseShard(shardText, shard, shards))
        return UsageError("--shard " + shardText + ": expected K/N with 1 <= K <= N");
    if (merge->parsed()) {
        CConsoleFeedback feedback;
        return RunBatch(feedback, [&] {
            return CParallelBatch::Merge(shardRecords, options.m_bVerbose, feedback);
        });
    }

    std::vector<std::vector<std::string>> commands;
    for (const CCommandWord& word : commandWords) {
        if (!word.m_pApp->parsed()) continue;
        if (!words.empty())
            return UsageError("Give one command: " + words.front() + " and " +
                              word.m_pApp->get_name() + " cannot both be run");
        // "usbsigcheck ,cap.csv,hsne" has always been a command of the comma form.
        if (!files.empty() && files.front().starts_with(',') && test.empty() && volts.empty() &&
            second.empty()) {
            words = files;
            words.insert(words.begin(), word.m_pApp->get_name());
            break;
        }
        for (const std::string& file : files) {
            commands.push_back({word.m_pApp->get_name(), file, word.m_bInrush ? volts : test});
            if (!word.m_bInrush && !second.empty()) commands.back().push_back(second);
        }
        if (files.empty()) commands.push_back({word.m_pApp->get_name()});
    }
    const std::string command = Joined(words);
    if (const std::string unknown = CCmdLine::UnknownSwitch(command); !unknown.empty())
        return UsageError("Unknown switch " + unknown + ": the switches are /q and /s");
    if (!outputFolder.empty()) {
        if (const std::string refusal = UseOutputFolder(outputFolder); !refusal.empty())
            return UsageError(refusal);
    }
    if (command.empty() && commands.empty()) {
        // Without a command the dialog opens, where there is a screen to show it on.
        if (HasScreen()) return COrvaneApp().Run(argc, argv);
        std::fputs(app.help().c_str(), stderr);
        std::fputs("\nNo display to open the dialog on: give a command to run without one.\n",
                   stderr);
        return CVerdictTally::kUsageError;
    }
    CConsoleFeedback feedback;
    if (shards > 0 || jobs > 1) {
        CParallelBatch batch(CBatchCommand::Here(command, commands, options, hubs), feedback);
        return RunBatch(feedback, [&] {
            return shards > 0 ? batch.RunShard(shard, shards, jobs) : batch.RunJobs(jobs);
        });
    }
    COrvaneRunner runner(feedback);
    runner.m_nHubCount = hubs;
    CCmdLine commandLine(runner, feedback);
    commandLine.m_Options = options;
    if (commands.empty()) {
        commandLine.RunCommandLine(command);
    } else {
        commandLine.RunCommands(commands);
    }
    return commandLine.ExitStatus();
}
