// Orvane run as a user runs it: a process started in a folder, without a display.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

#include "CTempFolder.h"

struct COrvanePrintout {
    int status = -1;
    std::string out, err;
};

// orvane started in `folder` without a display, each word of `line` one argument.
inline COrvanePrintout RunOrvane(const std::filesystem::path& folder, const std::string& line) {
    const CTempFolder streams;
    std::string command = "cd '" + folder.string() +
                          "' && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " ORVANE_EXE;
    std::istringstream words(line);
    for (std::string word; std::getline(words, word, ' ');) command += " '" + word + "'";
    command += " >" + streams.Path("out") + " 2>" + streams.Path("err");
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Slurp(streams.Path("out")),
            Slurp(streams.Path("err"))};
}
