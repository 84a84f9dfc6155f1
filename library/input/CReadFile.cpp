#include "input/CReadFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "common/CAnalysisError.h"
#include "common/CPathNames.h"
#include "input/CBinaryFile.h"
#include "input/CReadKeysightBin.h"
#include "input/CReadLecroyTrc.h"
#include "input/CReadRandSbin.h"
#include "input/CReadTekWfm.h"
#include "input/CReadText.h"
#include "input/CWaveform.h"

namespace {

// Two files of a D+/D- pair must come from one acquisition: their first samples and
// sample intervals may differ by at most this share of the interval.
constexpr double kPairAxisTolerance = 0.01;
// The opening bytes a content check is shown: room for a signature near the start.
constexpr std::size_t kHeadBytes = 64;

// One waveform format: the ending of its file names (lower case, after a full stop), a
// check of the file's opening bytes where formats share an ending (nullptr: any content
// will do), and its reader. `inrushOnly` asks for a supply-current capture.
struct CWaveformFormat {
    std::string_view m_Extension;
    bool (*m_Fits)(std::string_view head);
    CWaveform (*m_Read)(const std::string& path, bool inrushOnly);
};

CWaveform ReadCsv(const std::string& path, bool inrushOnly) {
    return CReadText(false).Read(path, inrushOnly);
}

// Tab-separated exports may carry "%" comment lines among their rows.
CWaveform ReadTsv(const std::string& path, bool inrushOnly) {
    return CReadText(true).Read(path, inrushOnly);
}

// The binary readers fill the time axis and traces in place; what they hold is the same
// for a supply current as for a data line.
template <class Reader>
CWaveform ReadBinary(const std::string& path, bool /*inrushOnly*/) {
    CWaveform waveform;
    waveform.m_nKind =
        Reader().Read(path, waveform.m_Time, waveform.m_Traces[0], waveform.m_Traces[1]);
    return waveform;
}

// A Rohde & Schwarz capture keeps its settings in an XML file named X.bin beside the
// samples in X.Wfm.bin; point the user at the sample file.
bool IsSettingsFile(std::string_view head) { return head.starts_with("<?xml"); }

[[noreturn]] CWaveform PointAtSamples(const std::string& path, bool /*inrushOnly*/) {
    const std::string name = FileNameOf(path);
    const std::string base = name.substr(0, name.rfind('.'));
    throw CAnalysisError(ComposeMessage(
        "%s is not a Keysight waveform; its samples are in %s.Wfm.bin", {name, base}, 1));
}

// The first row whose ending and content fit a file reads it: a new format is a new row.
constexpr CWaveformFormat kFormats[] = {
    {"csv", nullptr, ReadCsv},
    {"tsv", nullptr, ReadTsv},
    // Before "bin": the one ending that holds a full stop, the scope's ".Wfm" tag.
    {"wfm.bin", nullptr, ReadBinary<CReadRandSbin>},
    {"bin", IsSettingsFile, PointAtSamples},
    {"bin", nullptr, ReadBinary<CReadKeysightBin>},
    {"wfm", nullptr, ReadBinary<CReadTekWfm>},
    {"trc", nullptr, ReadBinary<CReadLecroyTrc>},
};

std::string LowerCaseName(const std::string& path) {
    std::string name = FileNameOf(path);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return name;
}

bool HasExtension(std::string_view name, std::string_view extension) {
    return name.size() > extension.size() && name.ends_with(extension) &&
           name[name.size() - extension.size() - 1] == '.';
}

std::string HeadOf(const std::string& path) {
    const std::vector<std::uint8_t> head = CBinaryFile(path).ReadBlock(0, kHeadBytes);
    return std::string(head.begin(), head.end());
}

// Reads `path` with the format that `name` (in lower case) ends in and whose content check
// the file passes. For a pair both files go by the data file's name.
CWaveform ReadByFormat(const std::string& name, const std::string& path, bool inrushOnly) {
    std::optional<std::string> head;
    for (const CWaveformFormat& format : kFormats) {
        if (!HasExtension(name, format.m_Extension)) continue;
        if (format.m_Fits != nullptr && !head) head = HeadOf(path);
        if (format.m_Fits == nullptr || format.m_Fits(*head))
            return format.m_Read(path, inrushOnly);
    }
    throw CAnalysisError(ComposeMessage("Unknown file type %s", {FileNameOf(path)}));
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

TimeAxis AxisOf(const CSampleTimes& time) {
    if (time.size() < 2) return {time.empty() ? 0.0 : time.front(), 0.0};
    return {time.front(), (time.back() - time.front()) / static_cast<double>(time.size() - 1)};
}

}  // namespace

std::string CReadFile::FormatOf(const std::string& path) {
    const std::string name = LowerCaseName(path);
    for (const CWaveformFormat& format : kFormats)
        if (HasExtension(name, format.m_Extension)) return std::string(format.m_Extension);
    return "";
}

int32_t CReadFile::ReadWaveform(const std::string& dataFile, CSampleTimes& time,
                                std::vector<double>& diff, std::vector<double>& first,
                                std::vector<double>& second, const std::string& secondFile,
                                bool inrushOnly) const {
    if (dataFile.empty()) throw CAnalysisError("Please select a data file.");
    const std::string name = LowerCaseName(dataFile);
    CheckOpens(dataFile);
    time = CSampleTimes();
    diff.clear();
    first.clear();
    second.clear();

    if (secondFile.empty()) {
        CWaveform waveform = ReadByFormat(name, dataFile, inrushOnly);
        time = std::move(waveform.m_Time);
        // A lone trace is the differential one.
        (waveform.m_nKind == 2 ? diff : first) = std::move(waveform.m_Traces[0]);
        second = std::move(waveform.m_Traces[1]);
        return waveform.m_nKind;
    }

    // A D+/D- pair: each file's own second trace, if any, is dropped, and the data file's
    // time axis is let go before the other file is read.
    CheckOpens(secondFile);
    TimeAxis dataAxis;
    {
        CWaveform data = ReadByFormat(name, dataFile, inrushOnly);
        dataAxis = AxisOf(data.m_Time);
        second = std::move(data.m_Traces[0]);
    }
    CWaveform other = ReadByFormat(name, secondFile, inrushOnly);
    time = std::move(other.m_Time);
    first = std::move(other.m_Traces[0]);

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
    return 3;  // a pair
}
