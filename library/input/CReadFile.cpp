#include "input/CReadFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <string_view>

#include "common/CAnalysisError.h"
#include "common/CHugePages.h"
#include "common/CPathNames.h"
#include "input/CEvenTimeCheck.h"
#include "input/CLineSource.h"
#include "input/CNumberParser.h"
#include "input/CReadKeysightBin.h"
#include "input/CReadLecroyTrc.h"
#include "input/CReadRandSbin.h"
#include "input/CReadTekWfm.h"
#include "input/CReadText.h"
#include "input/CSampleBlock.h"

namespace {

// Two files of a D+/D- pair must come from one acquisition: their first samples and
// sample intervals may differ by at most this share of the interval.
constexpr double kPairAxisTolerance = 0.01;
// Extension after the last dot of the file name, in lower case; ".wfm.bin" is the
// one double extension, since its data file carries the scope's ".Wfm" tag.
std::string ExtensionOf(const std::string& path) {
    std::string name = FileNameOf(path);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (name.ends_with(".wfm.bin")) return "wfm.bin";
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? "" : name.substr(dot + 1);
}

void CheckOpens(const std::string& path) {
    // Without waiting: a FIFO opened for reading would block until something writes.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        throw CAnalysisError(ComposeMessage("%s: %s", {std::strerror(errno), FileNameOf(path)}, 1));
    struct stat info {};
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    ::close(fd);
    // A device or a pipe never ends, or ends differently each time it is read.
    if (!regular)
        throw CAnalysisError(
            ComposeMessage("Error: %s is not a regular file.", {FileNameOf(path)}));
}

// A message naming both files of a pair: two long names share the room fairly.
std::string PairMessage(const char* pattern, const std::string& pathA, const std::string& pathB,
                        std::vector<std::string> rest = {}) {
    std::vector<std::string> args{"", ""};
    args.insert(args.end(), rest.begin(), rest.end());
    const std::size_t fixed = ComposeMessage(pattern, args).size();
    const std::size_t room = kMaxMessageChars > fixed ? kMaxMessageChars - fixed : 0;
    std::string nameA = FileNameOf(pathA);
    std::string nameB = FileNameOf(pathB);
    if (nameA.size() + nameB.size() > room) {
        const std::size_t half = room / 2;
        if (nameA.size() <= half)
            nameB = CutUtf8(nameB, room - nameA.size());
        else if (nameB.size() <= half)
            nameA = CutUtf8(nameA, room - nameB.size());
        else {
            nameA = CutUtf8(nameA, half);
            nameB = CutUtf8(nameB, room - nameA.size());
        }
    }
    args[0] = nameA;
    args[1] = nameB;
    return ComposeMessage(pattern, args);
}

struct TimeAxis {
    double m_dStart = 0.0;
    double m_dInterval = 0.0;
};

TimeAxis AxisOf(const std::vector<double>& time) {
    if (time.size() < 2) return {time.empty() ? 0.0 : time.front(), 0.0};
    return {time.front(), (time.back() - time.front()) / static_cast<double>(time.size() - 1)};
}

}  // namespace

int32_t CReadFile::ReadWaveform(const std::string& dataFile, std::vector<double>& time,
                                std::vector<double>& diff, std::vector<double>& first,
                                std::vector<double>& second, const std::string& secondFile,
                                bool inrushOnly) {
    if (dataFile.empty()) throw CAnalysisError("Please select a data file.");
    InrushOnly = inrushOnly;
    TraceKind = 3;
    const std::string extension = ExtensionOf(dataFile);
    CheckOpens(dataFile);
    time.clear();
    diff.clear();
    first.clear();
    second.clear();

    if (secondFile.empty()) {
        TraceKind = ReadByExtension(extension, dataFile, time, first, second);
        if (TraceKind == 2) {
            diff = std::move(first);
            first.clear();
        }
        return TraceKind;
    }

    // A D+/D- pair: each file's own second trace, if any, is dropped.
    CheckOpens(secondFile);
    std::vector<double> scratch;
    ReadByExtension(extension, dataFile, time, first, scratch);
    const TimeAxis dataAxis = AxisOf(time);
    second = std::move(first);
    first.clear();
    time.clear();
    scratch.clear();
    ReadByExtension(extension, secondFile, time, first, scratch);

    if (first.size() != second.size())
        throw CAnalysisError(
            PairMessage("Error: Files %s and %s differ in length: %d and %d samples.", dataFile,
                        secondFile, {std::to_string(second.size()), std::to_string(first.size())}));
    const TimeAxis secondAxis = AxisOf(time);
    const double tolerance = kPairAxisTolerance * std::abs(dataAxis.m_dInterval);
    if (std::abs(dataAxis.m_dStart - secondAxis.m_dStart) > tolerance ||
        std::abs(dataAxis.m_dInterval - secondAxis.m_dInterval) > tolerance)
        throw CAnalysisError(PairMessage("Error: Files %s and %s do not share one time axis.",
                                         dataFile, secondFile));
    return TraceKind;
}

int32_t CReadFile::ReadByExtension(const std::string& extension, const std::string& path,
                                   std::vector<double>& time, std::vector<double>& first,
                                   std::vector<double>& second) {
    if (extension == "csv") return ReadCsv(path, time, first, second);
    if (extension == "tsv") return ReadTsv(path, time, first, second);
    if (extension == "bin") return CReadKeysightBin().Read(path, time, first, second);
    if (extension == "wfm") return CReadTekWfm().Read(path, time, first, second);
    if (extension == "trc") return CReadLecroyTrc().Read(path, time, first, second);
    if (extension == "wfm.bin") return CReadRandSbin().Read(path, time, first, second);
    throw CAnalysisError(ComposeMessage("Unknown file type %s", {FileNameOf(path)}));
}

int32_t CReadFile::ReadCsv(const std::string& path, std::vector<double>& time,
                           std::vector<double>& first, std::vector<double>& second) {
    return ReadText(path, time, first, second, false);
}

int32_t CReadFile::ReadTsv(const std::string& path, std::vector<double>& time,
                           std::vector<double>& first, std::vector<double>& second) {
    return ReadText(path, time, first, second, true);
}

int32_t CReadFile::ReadText(const std::string& path, std::vector<double>& time,
                            std::vector<double>& first, std::vector<double>& second,
                            bool percentComments) {
    CWaveform waveform = CReadText(percentComments).Read(path, InrushOnly);
    time = std::move(waveform.m_Time);
    first = std::move(waveform.m_Traces[0]);
    second = std::move(waveform.m_Traces[1]);
    return waveform.m_nKind;
}
