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
#include "input/CEvenTimeCheck.h"
#include "common/CHugePages.h"
#include "input/CLineSource.h"
#include "input/CNumberParser.h"
#include "input/CReadKeysightBin.h"
#include "input/CReadLecroyTrc.h"
#include "input/CReadRandSbin.h"
#include "input/CReadTekWfm.h"
#include "input/CSampleBlock.h"
#include "common/CPathNames.h"

namespace {

// Two files of a D+/D- pair must come from one acquisition: their first samples and
// sample intervals may differ by at most this share of the interval.
constexpr double kPairAxisTolerance = 0.01;
// Rows read before the rest of the file is sized from their mean length.
constexpr std::size_t kRowsBeforeEstimate = 1024;
// Head room on the estimated row count, so that a slightly shorter tail of rows
// does not force a second allocation of every vector.
constexpr double kRowEstimateMargin = 1.02;
// Header lines kept while looking for the data: a scope's header is a few dozen lines.
constexpr std::size_t kMaxHeaderRows = 64;
constexpr std::size_t kMaxHeaderLineBytes = 256;

constexpr const char* kNotFinite =
    "Error: File %s row %d holds a value that is not a finite number.";
constexpr const char* kWrongCount = "Error: File %s row %d holds %d values, not %d.";
constexpr const char* kTooFewRows = "Error: File %s holds fewer than 2 data rows.";

[[noreturn]] void ThrowRowError(const std::string& name, int64_t line) {
    throw CAnalysisError(ComposeMessage(kNotFinite, {name, std::to_string(line)}));
}

[[noreturn]] void ThrowCountError(const std::string& name, int64_t line, int32_t found,
                                  int32_t columns) {
    throw CAnalysisError(ComposeMessage(
        kWrongCount, {name, std::to_string(line), std::to_string(found), std::to_string(columns)}));
}

bool IsGap(char c) { return c == ',' || c == '\t' || c == ' '; }
bool IsFieldEnd(char c) { return c == ',' || c == '\t' || c == '\n' || c == '\r'; }

// Number of values on a line whose fields are all numbers (empty fields aside, as
// in layouts whose header sits in the leading columns); 0 for a blank line and -1
// for a line that holds any text.
int32_t NumericFields(std::string_view line) {
    const char* p = line.data();
    const char* const end = p + line.size();
    int32_t count = 0;
    for (;;) {
        while (p < end && IsGap(*p)) ++p;
        if (p == end) return count;
        double value = 0.0;
        p = ParseNumber(p, end, value);
        if (p == nullptr) return -1;
        while (p < end && *p == ' ') ++p;
        if (p < end && *p != ',' && *p != '\t') return -1;
        ++count;
    }
}

// Number of empty fields that open a data row: the width of a header kept in the
// leading columns.
int32_t LeadingEmptyFields(std::string_view line) {
    int32_t count = 0;
    for (const char c : line) {
        if (c == ',' || c == '\t')
            ++count;
        else if (c != ' ')
            break;
    }
    return count;
}

// A header line of a leading-column layout that also carries a sample: `lead` fields
// of header text, then exactly `columns` numbers, as the scope writes its first rows
// beside the record length and units. Fills `values` and says whether it fits.
bool SampleBesideHeader(std::string_view line, int32_t lead, int32_t columns, double* values) {
    const char* p = line.data();
    const char* const end = p + line.size();
    for (int32_t field = 0; field < lead; ++field) {
        while (p < end && *p != ',' && *p != '\t') ++p;
        if (p == end) return false;
        ++p;
    }
    for (int32_t i = 0; i < columns; ++i) {
        while (p < end && *p == ' ') ++p;
        p = p < end ? ParseNumber(p, end, values[i]) : nullptr;
        if (p == nullptr || !std::isfinite(values[i])) return false;
        while (p < end && *p == ' ') ++p;
        if (p < end && *p != ',' && *p != '\t') return false;
        if (p < end) ++p;
    }
    return std::all_of(p, end, [](char c) { return IsGap(c); });
}

// The rows of one text file as they stream in, with what is needed to name a bad row.
struct TextRows {
    std::vector<double>* m_Columns[3];
    std::string m_strName;
    bool m_bPercentComments = false;
    int64_t m_nLine = 0;
    // A row with too few values is forgiven only as the last row: the writer was cut off.
    int64_t m_nShortLine = 0;
    int32_t m_nShortValues = 0;
    // A zero byte: a file preallocated by the scope ends where the writer stopped.
    bool m_bEnded = false;
    CEvenTimeCheck m_Axis;

    // Keeps one row of time and traces, each of them a sample the analysis can use.
    void Push(const double* values, int32_t columns, int64_t line) {
        for (int32_t i = 1; i < columns; ++i) CheckSample(values[i], m_strName, "row", line);
        m_Axis.Add(values[0], line);
        for (int32_t i = 0; i < columns; ++i) m_Columns[i]->push_back(values[i]);
    }
};

template <int N>
void ParseRows(TextRows& rows, std::string_view block, bool lastBlock) {
    const char* p = block.data();
    const char* const end = p + block.size();
    while (p < end && !rows.m_bEnded) {
        ++rows.m_nLine;
        double values[N];
        int32_t count = 0;
        bool cut = false;
        for (;;) {
            while (p < end && IsGap(*p)) ++p;
            if (p == end || *p == '\n' || *p == '\r') break;
            if (*p == '\0') {
                rows.m_bEnded = true;
                break;
            }
            if (count == 0 && rows.m_bPercentComments && *p == '%') {
                while (p < end && *p != '\n' && *p != '\r') ++p;
                break;
            }
            if (count == N) {
                int32_t found = count;
                for (const char* q = p; q < end && *q != '\n' && *q != '\r';) {
                    while (q < end && IsGap(*q)) ++q;
                    if (q == end || *q == '\n' || *q == '\r') break;
                    ++found;
                    while (q < end && !IsFieldEnd(*q)) ++q;
                }
                ThrowCountError(rows.m_strName, rows.m_nLine, found, N);
            }
            const char* next = ParseNumber(p, end, values[count]);
            if (next != nullptr) {
                while (next < end && *next == ' ') ++next;
                if (next < end && *next == '\0') {
                    rows.m_bEnded = true;
                    break;
                }
            }
            if (next == nullptr || (next < end && !IsFieldEnd(*next))) {
                // Only the unterminated last line of a file is a row cut mid-write.
                const bool unterminated = lastBlock && std::find_if(p, end, [](char c) {
                                                           return c == '\n' || c == '\r';
                                                       }) == end;
                if (!unterminated) ThrowRowError(rows.m_strName, rows.m_nLine);
                rows.m_bEnded = true;
                cut = true;
                break;
            }
            if (!std::isfinite(values[count])) ThrowRowError(rows.m_strName, rows.m_nLine);
            p = next;
            ++count;
        }
        if (p < end && *p == '\r') {
            ++p;
            if (p < end && *p == '\n') ++p;
        } else if (p < end && *p == '\n') {
            ++p;
        }
        if (cut || count == 0) continue;
        if (rows.m_nShortLine != 0)
            ThrowCountError(rows.m_strName, rows.m_nShortLine, rows.m_nShortValues, N);
        if (count < N) {
            rows.m_nShortLine = rows.m_nLine;
            rows.m_nShortValues = count;
            continue;
        }
        rows.Push(values, N, rows.m_nLine);
    }
}

void ParseRows(TextRows& rows, int32_t columns, std::string_view block, bool lastBlock) {
    if (columns == 2)
        ParseRows<2>(rows, block, lastBlock);
    else
        ParseRows<3>(rows, block, lastBlock);
}

// A header in the leading columns (data rows open with empty fields) may share its
// lines with the first samples: those rows count from the last header line up, as
// long as each carries a sample earlier than the one after it.
void RecoverSamplesBesideHeader(TextRows& rows, int32_t columns,
                                const std::vector<std::string>& header, const std::string& firstRow,
                                int64_t firstRowLine) {
    const int32_t lead = LeadingEmptyFields(firstRow);
    double values[3] = {};
    if (lead == 0 || !SampleBesideHeader(firstRow, lead, columns, values)) return;
    double nextTime = values[0];
    std::vector<std::array<double, 3>> samples;
    for (auto line = header.rbegin(); line != header.rend(); ++line) {
        if (!SampleBesideHeader(*line, lead, columns, values) || !(values[0] < nextTime)) break;
        nextTime = values[0];
        samples.push_back({values[0], values[1], values[2]});
    }
    // They sit on the header lines just above the first data row.
    int64_t line = firstRowLine - static_cast<int64_t>(samples.size());
    for (auto sample = samples.rbegin(); sample != samples.rend(); ++sample)
        rows.Push(sample->data(), columns, line++);
}

// Sizes the vectors once for the whole file from the mean length of the rows read so
// far, so that a long capture never holds two copies of a trace while it grows.
void ReserveForFile(TextRows& rows, int32_t columns, int64_t dataStart, int64_t readBytes,
                    int64_t fileBytes) {
    const std::size_t have = rows.m_Columns[0]->size();
    if (have < kRowsBeforeEstimate || fileBytes <= readBytes) return;
    const double bytesPerRow = static_cast<double>(readBytes - dataStart) / have;
    const auto expected =
        have + static_cast<std::size_t>(static_cast<double>(fileBytes - readBytes) / bytesPerRow *
                                        kRowEstimateMargin);
    if (expected <= rows.m_Columns[0]->capacity()) return;
    NoteCaptureSamples(expected);
    for (int32_t i = 0; i < columns; ++i) CHugePages::Reserve(*rows.m_Columns[i], expected);
}

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
    CLineSource source(path);
    time.clear();
    first.clear();
    second.clear();
    const std::string name = FileNameOf(path);

    // The header is the leading run of lines that are not data. A line of numbers
    // opens the data only when the next line holds as many numbers, so that a lone
    // figure in a header (a record length) is not taken for the first sample.
    std::string candidate;
    // The text lines right before the candidate: in a leading-column layout they may
    // carry the first samples beside the header.
    std::vector<std::string> textRun, candidateHeader;
    int64_t candidateLine = 0;
    int64_t dataStart = 0;
    int32_t columns = 0;
    std::string_view line;
    std::string_view follower;
    int64_t followerLine = 0;
    int64_t lineNumber = 0;
    while (followerLine == 0) {
        const int64_t offset = source.Offset();
        if (!source.NextLine(line)) break;
        ++lineNumber;
        // A "%" comment among the first samples is passed over, as it is further on;
        // taken for header text it would push the first sample into the header.
        if (percentComments && !line.empty() && line.front() == '%') continue;
        const int32_t count = NumericFields(line);
        if (count == 0) continue;
        if (count > 0 && candidateLine != 0 && count == columns) {
            follower = line;
            followerLine = lineNumber;
        } else if (count > 0) {
            candidate.assign(line);
            candidateLine = lineNumber;
            dataStart = offset;
            columns = count;
            candidateHeader = std::move(textRun);
            textRun.clear();
        } else {
            candidateLine = 0;
            if (line.size() > kMaxHeaderLineBytes) {
                textRun.clear();
            } else {
                if (textRun.size() == kMaxHeaderRows) textRun.erase(textRun.begin());
                textRun.emplace_back(line);
            }
        }
    }
    // A supply-current capture with its header and no samples is refused by the
    // inrush loader, which names the whole path.
    if (candidateLine == 0 && InrushOnly) return 2;
    if (candidateLine == 0) throw CAnalysisError(ComposeMessage(kTooFewRows, {name}));
    if (InrushOnly && columns != 2)
        throw CAnalysisError(ComposeMessage(
            "Error: File %s has %d columns.\nCan only have 2 for Inrush measurement.",
            {name, std::to_string(columns)}));
    if (columns != 2 && columns != 3)
        throw CAnalysisError(
            ComposeMessage("Error: File %s contains %d columns.\nShould be 2 or 3.",
                           {name, std::to_string(columns)}));

    TextRows rows{{&time, &first, &second}, name, percentComments, 0, 0, 0, false,
                  CEvenTimeCheck(name)};
    RecoverSamplesBesideHeader(rows, columns, candidateHeader, candidate, candidateLine);
    rows.m_nLine = candidateLine - 1;
    ParseRows(rows, columns, candidate, false);
    if (followerLine != 0) {
        rows.m_nLine = followerLine - 1;
        ParseRows(rows, columns, follower, false);
        for (bool last = false; !last && !rows.m_bEnded;) {
            const std::string_view block = source.NextBlock(last);
            const int64_t readBytes = source.Offset() - static_cast<int64_t>(block.size());
            ReserveForFile(rows, columns, dataStart, readBytes, source.FileBytes());
            ParseRows(rows, columns, block, last);
        }
    }
    if (time.size() < 2) throw CAnalysisError(ComposeMessage(kTooFewRows, {name}));
    rows.m_Axis.Finish();
    NoteCaptureSamples(time.size());
    return columns;
}
