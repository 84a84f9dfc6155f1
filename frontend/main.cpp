// Orvane: runs Velkin's analyses from the command line. The command is the whole
// command line joined with spaces, in the comma form that the dialog's users know.
#include <CLI/CLI.hpp>
#include <string>
#include <vector>

#include "CCmdLine.h"
#include "CConsoleFeedback.h"
#include "COrvaneRunner.h"

namespace {

constexpr const char* kSyntax = R"(Commands (the whole command line, words joined with spaces):
  usbsigcheck,<data file>,<test>[,<second file>] [/q] [/s]
  eusbrepeater,<data file>,<test>[,<second file>] [/q] [/s]
  usbinrushcheck,<data file>,<supply voltage> [/q] [/s]
  <command file> [/q] [/s]        one command per line, files relative to it

The data file may be a wildcard pattern (quote it from the shell); its batch is
logged in the data folder. Tests: ls, fs, hsfe, hsne, lshub, fshub, hshub,
elsrep, efsrep, ehsrep. /q: do not open the report. /s: write CSV summaries.
Exit status 0 only when every analysis ran to the end.)";

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
        std::fputs(app.help().c_str(), stderr);
        return 2;
    }
    CConsoleFeedback feedback;
    COrvaneRunner runner(feedback);
    CCmdLine commandLine(runner, feedback);
    return commandLine.RunCommandLine(command) ? 0 : 1;
}
