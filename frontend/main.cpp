// Orvane: runs Velkin's analyses from its dialog, or from the command line when one
// is given. The command is the whole command line joined with spaces, in the comma
// form that the dialog's users know; it needs no display and creates no window.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "CCmdLine.h"
#include "CConsoleFeedback.h"
#include "COrvaneRunner.h"
#include "CVerdictTally.h"
#include "dialog/COrvaneApp.h"

namespace {

constexpr const char* kSyntax = R"(Commands (the whole command line, words joined with spaces):
  usbsigcheck,<data file>,<test>[,<second file>] [/q] [/s]
  eusbrepeater,<data file>,<test>[,<second file>] [/q] [/s]
  usbinrushcheck,<data file>,<supply voltage> [/q] [/s]
  <command file> [/q] [/s]        one command per line, files relative to it

The data file may be a wildcard pattern (quote it from the shell); its batch is
logged in the data folder. Tests: ls, fs, hsfe, hsne, lshub, fshub, hshub,
elsrep, efsrep, ehsrep. /q: do not open the report. /s: write CSV summaries.
A wildcard or command file skips the reports, plots, result records, summaries
and logs of earlier runs, and counts them as skipped.

Standard output: one line per file, then the count of the run:
  PASS <file> | WAIVED <file> | FAIL <file>: <failed checks> | ERROR <file>: <reason>
  <n> files: <p> passed, <w> waived, <f> failed, <e> errors, <s> skipped

Exit status: 0 every file analysed and passed or waived; 1 a device failed a
limit; 2 usage error; 3 a file could not be analysed (wins over 1).)";

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

// A desktop session, or a platform chosen for Qt (offscreen, a VNC server).
bool HasScreen() {
    return IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY") || IsSet("QT_QPA_PLATFORM");
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Orvane: USB 2.0 signal quality and inrush analysis of oscilloscope captures"};
    app.set_version_flag("--version", "orvane " ORVANE_VERSION);
    app.footer(kSyntax);
    // Everything from the first word that is not an option on is the command.
    app.prefix_command();
    CLI11_PARSE(app, argc, argv);

    std::string command;
    for (const std::string& word : app.remaining()) {
        if (!command.empty()) command += ' ';
        command += word;
    }
    if (command.empty()) {
        // Without a command the dialog opens, where there is a screen to show it on.
        if (HasScreen()) return COrvaneApp().Run(argc, argv);
        std::fputs(app.help().c_str(), stderr);
        std::fputs("\nNo display to open the dialog on: give a command to run without one.\n",
                   stderr);
        return CVerdictTally::kUsageError;
    }
    CConsoleFeedback feedback;
    COrvaneRunner runner(feedback);
    CCmdLine commandLine(runner, feedback);
    commandLine.RunCommandLine(command);
    return commandLine.ExitStatus();
}
