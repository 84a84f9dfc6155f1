// Runs the built orvane as a user would, in a folder of its own, on a machine
// without a display, and writes the captures it is given.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "CTempFolder.h"
#include "synth/Synth.h"

namespace orvane_test {

namespace fs = std::filesystem;

struct COrvaneResult {
    int m_nStatus = -1;
    std::string m_strOut;
    std::string m_strErr;
};

inline std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// orvane with `args`, started in `folder`, with no display in its environment.
inline COrvaneResult RunOrvane(const fs::path& folder, const std::vector<std::string>& args) {
    const CTempFolder streams;
    const fs::path out = streams.Path() / "out", err = streams.Path() / "err";
    const pid_t child = fork();
    if (child == 0) {
        if (chdir(folder.c_str()) != 0) _exit(126);
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        unsetenv("QT_QPA_PLATFORM");
        if (!std::freopen(out.c_str(), "w", stdout) || !std::freopen(err.c_str(), "w", stderr)) {
            _exit(126);
        }
        std::vector<char*> argv{const_cast<char*>(ORVANE_EXE)};
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(ORVANE_EXE, argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadText(out), ReadText(err)};
}

// Names in `folder` that start with `prefix` and end with `suffix`.
inline std::vector<std::string> FilesIn(const fs::path& folder, const std::string& prefix,
                                        const std::string& suffix) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with(prefix) && name.ends_with(suffix)) names.push_back(name);
    }
    return names;
}

// A comma-separated capture: 25 header lines, then time and volts.
inline void WriteCapture(const fs::path& path, const std::vector<double>& volts,
                         double sampleInterval) {
    std::ofstream out(path);
    for (int line = 0; line < 25; ++line) out << "Time,Ch1\n";
    char row[64];
    for (std::size_t i = 0; i < volts.size(); ++i) {
        std::snprintf(row, sizeof row, "%.6e,%.6e\n", static_cast<double>(i) * sampleInterval,
                      volts[i]);
        out << row;
    }
}

constexpr double kHighSpeedSampleInterval = 50e-12;  // 20 GS/s, well inside the HS range

// A differential capture without traffic: high-speed idle at 0 V. It can never
// hold a packet, so its analysis always fails.
inline void WriteIdleCapture(const fs::path& path) {
    WriteCapture(path, std::vector<double>(400, 0.0), kHighSpeedSampleInterval);
}

// Two clean high-speed packets from the synthesizer, with its default levels and timing.
inline void WriteCleanHighSpeedCapture(const fs::path& path) {
    synth::WriteHighSpeedCapture(synth::HighSpeedParams{}, path.string(), synth::FileFormat::Csv);
}

}  // namespace orvane_test
