// One fuzz entry point per build of this file; its compile definition names what
// the bytes are fed to:
//   FUZZ_READER="in.<ext>"  a waveform reader, the input saved as a file of that name
//                           (for .Wfm.bin: the XML description, a zero byte, the samples)
//   FUZZ_SIGNAL             the signal export: byte 0 picks test type, summary mode and
//                           hub count, the rest is a .csv capture
//   FUZZ_INRUSH             the inrush export: byte 0 picks supply voltage and mode
//   FUZZ_CMDLINE            Orvane's command line, a zero byte, a command file's text
// A refusal (CAnalysisError, or a result text from an export) is a normal outcome;
// anything else that leaves a run is a fault.
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#ifdef FUZZ_CMDLINE
#include "CCmdLine.h"
#else
#include "common/CAnalysisError.h"
#include "input/CReadFile.h"
#include "velkin.h"
#endif

namespace {

namespace fs = std::filesystem;

// Readers take paths and analyses write beside the capture: every process works
// in a folder of its own, on tmpfs where there is one, emptied before each input.
class CScratch {
public:
    CScratch() {
        const fs::path base = fs::is_directory("/dev/shm") ? "/dev/shm" : fs::temp_directory_path();
        std::string pattern = (base / "velkin-fuzz-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) std::abort();
        m_Folder = pattern;
    }
    ~CScratch() {
        std::error_code ignored;
        fs::remove_all(m_Folder, ignored);
    }
    void Empty() const {
        for (const auto& entry : fs::directory_iterator(m_Folder)) fs::remove_all(entry.path());
    }
    std::string Write(const std::string& name, std::string_view bytes) const {
        const std::string path = (m_Folder / name).string();
        std::ofstream(path, std::ios::binary).write(bytes.data(), bytes.size());
        return path;
    }
    const fs::path& Folder() const { return m_Folder; }

private:
    fs::path m_Folder;
};

CScratch& Scratch() {
    static CScratch scratch;
    return scratch;
}

// The two parts of an input that carries two files: up to the first zero byte, and after it.
[[maybe_unused]] std::pair<std::string_view, std::string_view> Split(std::string_view input) {
    const std::size_t zero = input.find('\0');
    if (zero == std::string_view::npos) return {input, {}};
    return {input.substr(0, zero), input.substr(zero + 1)};
}

// An export answers every refusal with its text; only a failure type other than the
// library's own comes back as this one.
[[maybe_unused]] void CheckResult(const char* result) {
    if (std::string_view(result) == "Unknown Exception") std::abort();
}

#ifdef FUZZ_CMDLINE
class CSilentFeedback : public COrvaneFeedback {
public:
    void ShowMessage(const std::string&) override {}
    void ShowProgress(int, int, const std::string&) override {}
    void EndProgress() override {}
    void OpenReport(const std::string&) override {}
};

// Files a command names must stay in the scratch folder: a slash survives only as a
// switch (" /q", " /s") after a word, where it can never start a path.
std::string Confined(std::string_view text) {
    std::string out(text);
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (out[i] != '/') continue;
        std::size_t before = i;
        while (before > 0 && (out[before - 1] == ' ' || out[before - 1] == '\t')) --before;
        const bool afterWord =
            before > 0 && before < i && out[i - 1] == ' ' &&
            std::string_view(",\r\n\"").find(out[before - 1]) == std::string::npos;
        const char letter = i + 1 < out.size() ? out[i + 1] : '\0';
        const bool switchLetter = std::string_view("qQsS").find(letter) != std::string::npos &&
                                  letter != '\0' && (i + 2 == out.size() || out[i + 2] == ' ');
        if (!(afterWord && switchLetter)) out[i] = '_';
    }
    return out;
}

// A short three-column capture for commands to name: too short to analyse, long
// enough to reach the library.
constexpr const char* kCapture =
    "Time,D+,D-\n0,0,3.3\n1e-9,0,3.3\n2e-9,3.3,0\n3e-9,3.3,0\n4e-9,0,3.3\n5e-9,0,3.3\n";
#endif

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const CScratch& scratch = Scratch();
    scratch.Empty();
#if defined(FUZZ_READER)
    const std::string name = FUZZ_READER;
    std::string_view samples = input;
    if (name.ends_with(".Wfm.bin")) {
        const auto [description, rest] = Split(input);
        scratch.Write("in.bin", description);
        samples = rest;
    }
    CSampleTimes time;
    std::vector<double> diff, first, second;
    try {
        CReadFile().ReadWaveform(scratch.Write(name, samples), time, diff, first, second, "",
                                 false);
    } catch (const CAnalysisError&) {
    }
#elif defined(FUZZ_SIGNAL)
    if (size == 0) return 0;
    static const char* const kTests[] = {"ls",    "fs",    "hsfe",   "hsne",   "lshub",
                                         "fshub", "hshub", "elsrep", "efsrep", "ehsrep"};
    const unsigned choice = data[0];
    const unsigned test = choice % 10, mode = choice / 10 % 4, hubs = choice / 40 % 3;
    const std::string path = scratch.Write("in.csv", input.substr(1));
    CheckResult(test < 7 ? UsbSigCheck(path.c_str(), kTests[test], "", mode, hubs)
                         : eUsbSigCheck(path.c_str(), kTests[test], "", mode, hubs));
#elif defined(FUZZ_INRUSH)
    if (size == 0) return 0;
    static const double kVolts[] = {5.0, 4.75, 5.25, 3.3, 0.0, -5.0, 1e12, NAN};
    const std::string path = scratch.Write("in.csv", input.substr(1));
    CheckResult(UsbInrushCheck(path.c_str(), kVolts[data[0] % 8], data[0] / 8 % 4));
#elif defined(FUZZ_CMDLINE)
    const auto [commandLine, commandFile] = Split(input);
    scratch.Write("cmd.txt", Confined(commandFile));
    scratch.Write("cap.csv", kCapture);
    // Bare names are looked for in the working folder; the fuzzer's own files
    // (crash inputs) are written where it was started, so the folder is given back.
    const fs::path started = fs::current_path();
    fs::current_path(scratch.Folder());
    CSilentFeedback feedback;
    COrvaneRunner runner(feedback);
    CCmdLine(runner, feedback).RunCommandLine(Confined(commandLine));
    fs::current_path(started);
#endif
    return 0;
}
