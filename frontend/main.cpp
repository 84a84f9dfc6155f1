// Orvane: runs Velkin's analyses from the command line.
#include <cstdio>
#include <string>

#include "velkin.h"

namespace {

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\"");
    if (first == std::string::npos) return "";
    const auto last = text.find_last_not_of(" \t\"");
    return text.substr(first, last - first + 1);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: orvane usbsigcheck,<data file>,<test type>\n");
        return 2;
    }
    std::string command;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) command += ' ';
        command += argv[i];
    }
    const auto comma1 = command.find(',');
    const auto comma2 = comma1 == std::string::npos ? comma1 : command.find(',', comma1 + 1);
    if (comma2 == std::string::npos) {
        std::fprintf(stderr, "Insufficient parameters\n");
        return 2;
    }
    const std::string file = Trim(command.substr(comma1 + 1, comma2 - comma1 - 1));
    const std::string test = Trim(command.substr(comma2 + 1));
    const std::string result = UsbSigCheck(file.c_str(), test.c_str(), "", 0, 0);
    if (!result.empty()) {
        std::fprintf(stderr, "%s\n", result.c_str());
        return 1;
    }
    std::printf("Report: %s\n", file.c_str());
    return 0;
}
