#include "input/CReadText.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>
#include <memory>
#include <string_view>
#include <thread>
#include <vector>

#include "common/CAnalysisError.h"
#include "common/CHugePages.h"
#include "common/CPathNames.h"
#include "input/CEvenTimeCheck.h"
#include "input/CLineSource.h"
#include "input/CNumberParser.h"
#include "input/CSampleBlock.h"
#include "input/CTimeDigits.h"
#include "input/CTimeLine.h"

namespace {

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

// The rows of one text file (or of one stretch of it) as they stream in, with what is
// needed to name a bad row.
struct TextRows {
    std::vector<double>* m_Traces[2];
    std::string m_strName;
    bool m_bPercentComments = false;
    int64_t m_nLine = 0;
    // A row with too few values is forgiven only as the last row: the writer was cut off.
    int64_t m_nShortLine = 0;
    int32_t m_nShortValues = 0;
    // A zero byte: a file preallocated by the scope ends where the writer stopped.
    bool m_bEnded = false;
    CEvenTimeCheck m_Axis;
    CTimeLine m_Line;
    CTimeDigits m_TimeDigits{};

    // Keeps one row of time and traces, each of them a sample the analysis can use.
    void Push(const double* values, int32_t columns, int64_t line) {
        for (int32_t i = 1; i < columns; ++i)
            if (!(std::abs(values[i]) < kOffScreenMark))
                CheckSample(values[i], m_strName, "row", line);
        m_Axis.Add(values[0], line);
        m_Line.Add(values[0], line);
        for (int32_t i = 1; i < columns; ++i) m_Traces[i - 1]->push_back(values[i]);
    }
    // Nothing in these rows needs the rows around them to be judged: no zero byte
    // ended the file, no short row waits for the next.
    bool Clean() const { return !m_bEnded && m_nShortLine == 0; }
};

// A row as scopes write nearly all of them: N finite values, each followed by one comma
// or tab, the last by the line end. Returns the start of the next line, or nullptr for
// any other row (spaces, empty fields, comments, a zero byte, a value that is no
// number), which the full rules below then read.
template <int N>
const char* PlainRow(CTimeDigits& time, const char* p, const char* end, bool lineEnded,
                     double* values) {
    for (int i = 0; i < N; ++i) {
        if (i == 0) {
            p = time.Parse(p, end, values[0]);
        } else if (const char* next = lineEnded ? ParseEndedDecimal(p, values[i]) : nullptr) {
            p = next;
        } else {
            p = ParseNumber(p, end, values[i]);
        }
        if (p == nullptr || p == end || !std::isfinite(values[i])) return nullptr;
        const char c = *p++;
        if (i + 1 < N) {
            if (c != ',' && c != '\t') return nullptr;
        } else if (c == '\r' && p < end && *p == '\n') {
            return p + 1;
        } else {
            return c == '\n' ? p : nullptr;
        }
    }
    return nullptr;
}

template <int N>
void ParseRows(TextRows& rows, std::string_view block, bool lastBlock) {
    const char* p = block.data();
    const char* const end = p + block.size();
    // A block of whole lines ends with a line end, which stops every digit loop.
    const bool lineEnded = !block.empty() && (block.back() == '\n' || block.back() == '\r');
    while (p < end && !rows.m_bEnded) {
        ++rows.m_nLine;
        double values[N];
        if (rows.m_nShortLine == 0) {
            if (const char* next = PlainRow<N>(rows.m_TimeDigits, p, end, lineEnded, values)) {
                rows.Push(values, N, rows.m_nLine);
                p = next;
                continue;
            }
        }
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

constexpr double kNoRowsSeen = std::numeric_limits<double>::infinity();

// Sizes the vectors once for the whole file from the mean length of the rows read so
// far, so that a long capture never holds two copies of a trace while it grows.
void ReserveForFile(TextRows& rows, int32_t columns, int64_t dataStart, int64_t readBytes,
                    int64_t fileBytes, double shortestRows = kNoRowsSeen) {
    const std::size_t have = rows.m_Traces[0]->size();
    if (have < kRowsBeforeEstimate || fileBytes <= readBytes) return;
    const double bytesPerRow =
        std::min(static_cast<double>(readBytes - dataStart) / have, shortestRows);
    const auto expected =
        have + static_cast<std::size_t>(static_cast<double>(fileBytes - readBytes) / bytesPerRow *
                                        kRowEstimateMargin);
    if (expected <= rows.m_Traces[0]->capacity()) return;
    NoteCaptureSamples(expected);
    for (int32_t i = 1; i < columns; ++i) CHugePages::Reserve(*rows.m_Traces[i - 1], expected);
}

// Where the samples of a text file begin. The header is the leading run of lines that are
// not data. A line of numbers opens the data only when the next line holds as many
// numbers, so that a lone figure in a header (a record length) is not taken for the first
// sample.
struct DataStart {
    std::string m_strFirstRow;
    int64_t m_nFirstLine = 0;  // 0: no line of numbers at all
    int64_t m_nOffset = 0;     // bytes before the first row
    int32_t m_nColumns = 0;
    // The text lines right before the first row: in a leading-column layout they may
    // carry the first samples beside the header.
    std::vector<std::string> m_Header;
    // The row that confirms the first one, in the line source's buffer.
    std::string_view m_SecondRow;
    int64_t m_nSecondLine = 0;  // 0: the first row stands alone
};

DataStart FindDataStart(CLineSource& source, bool percentComments) {
    DataStart start;
    std::vector<std::string> textRun;
    std::string_view line;
    int64_t lineNumber = 0;
    while (start.m_nSecondLine == 0) {
        const int64_t offset = source.Offset();
        if (!source.NextLine(line)) break;
        ++lineNumber;
        // A "%" comment among the first samples is passed over, as it is further on;
        // taken for header text it would push the first sample into the header.
        if (percentComments && !line.empty() && line.front() == '%') continue;
        const int32_t count = NumericFields(line);
        if (count == 0) continue;
        if (count > 0 && start.m_nFirstLine != 0 && count == start.m_nColumns) {
            start.m_SecondRow = line;
            start.m_nSecondLine = lineNumber;
        } else if (count > 0) {
            start.m_strFirstRow.assign(line);
            start.m_nFirstLine = lineNumber;
            start.m_nOffset = offset;
            start.m_nColumns = count;
            start.m_Header = std::move(textRun);
            textRun.clear();
        } else {
            start.m_nFirstLine = 0;
            if (line.size() > kMaxHeaderLineBytes) {
                textRun.clear();
            } else {
                if (textRun.size() == kMaxHeaderRows) textRun.erase(textRun.begin());
                textRun.emplace_back(line);
            }
        }
    }
    return start;
}

// The shortest mean row length (bytes per row) among windows of rows spread over
// [from, to); kNoRowsSeen when none holds two line feeds. Rows may be longer in one part
// of a capture than in another (a minus sign before zero time), and the vectors are
// sized once from this: a vector that outgrew its room would for a while be held twice,
// and be cleared and copied again each time.
double ShortestRows(const std::string& path, int64_t from, int64_t to) {
    constexpr int64_t kWindows = 8;
    constexpr std::size_t kWindowBytes = std::size_t{64} << 10;
    double shortest = kNoRowsSeen;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return shortest;
    const auto window = std::make_unique_for_overwrite<char[]>(kWindowBytes);
    for (int64_t k = 0; k < kWindows; ++k) {
        const ssize_t got =
            ::pread(fd, window.get(), kWindowBytes, from + (to - from) * k / kWindows);
        if (got <= 0) continue;
        const char* const begin = window.get();
        const char* const first = std::find(begin, begin + got, '\n');
        const auto rows = std::count(first, begin + got, '\n') - 1;
        const char* const last = std::find(std::make_reverse_iterator(begin + got),
                                           std::make_reverse_iterator(first), '\n')
                                     .base();
        if (rows > 0) shortest = std::min(shortest, static_cast<double>(last - 1 - first) / rows);
    }
    ::close(fd);
    return shortest;
}

// Where each stretch of [from, to) begins: the byte after the first line feed at or
// past an even share of the bytes, so every stretch holds whole lines.
std::vector<int64_t> StretchStarts(const std::string& path, int64_t from, int64_t to,
                                   int64_t stretchBytes) {
    const auto cores = static_cast<int64_t>(std::max(1u, std::thread::hardware_concurrency()));
    const int64_t count = std::min(cores, (to - from) / std::max<int64_t>(stretchBytes, 1));
    std::vector<int64_t> starts{from};
    if (count < 2) return starts;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return starts;
    char probe[4096];
    for (int64_t k = 1; k < count; ++k) {
        int64_t at = std::max(from + (to - from) * k / count, starts.back());
        for (int64_t found = -1; found < 0 && at < to;) {
            const ssize_t got = ::pread(fd, probe, sizeof probe, at);
            if (got <= 0) break;
            const void* end = std::memchr(probe, '\n', static_cast<std::size_t>(got));
            if (end != nullptr) found = at + (static_cast<const char*>(end) - probe) + 1;
            at = found >= 0 ? found : at + got;
        }
        if (at >= to) break;
        starts.push_back(at);
    }
    ::close(fd);
    return starts;
}

// One stretch of the rows after the head, parsed on a core of its own into traces of
// its own; its line numbers count from the stretch's first line.
struct Stretch {
    std::array<std::vector<double>, 2> m_Traces;
    TextRows m_Rows;
    bool m_bClean = false;
};

void ParseStretch(const std::string& path, int64_t begin, int64_t end, int32_t columns,
                  TextRows& rows, bool& clean) {
    try {
        CLineSource source(path, begin, end);
        for (bool last = false; !last && !rows.m_bEnded;) {
            const std::string_view block = source.NextBlock(last);
            ParseRows(rows, columns, block, false);
        }
        clean = rows.Clean();
    } catch (const std::exception&) {
        // Judged again row by row, so the refusal names the first bad row of the file.
        clean = false;
    }
}

// The rest of the file, in the stretches that begin at `starts` and end at `to`, on
// every core, appended in file order to the head's rows. False when a stretch holds anything the
// head's rules must judge in file order (a bad row, a zero byte, a short row) or a seam breaks the
// step: the file is then read again row by row, which refuses it exactly as it always has.
bool ParseRestInStretches(const std::string& path, const std::vector<int64_t>& starts, int64_t to,
                          int32_t columns, double shortestRows, TextRows& head) {
    const double bytesPerRow =
        std::min(static_cast<double>(starts.front()) /
                     static_cast<double>(std::max<std::size_t>(head.m_Line.Count(), 1)),
                 shortestRows);
    std::vector<std::unique_ptr<Stretch>> stretches;
    for (std::size_t k = 1; k < starts.size(); ++k) {
        auto stretch = std::make_unique<Stretch>(
            Stretch{.m_Traces = {},
                    .m_Rows = {.m_Traces = {nullptr, nullptr},
                               .m_strName = head.m_strName,
                               .m_bPercentComments = head.m_bPercentComments,
                               .m_Axis = head.m_Axis,
                               .m_Line = CTimeLine(head.m_strName)}});
        stretch->m_Rows.m_Traces[0] = &stretch->m_Traces[0];
        stretch->m_Rows.m_Traces[1] = &stretch->m_Traces[1];
        stretch->m_Rows.m_Axis.Restart();
        const int64_t end = k + 1 < starts.size() ? starts[k + 1] : to;
        const auto expected = static_cast<std::size_t>(static_cast<double>(end - starts[k]) /
                                                       bytesPerRow * kRowEstimateMargin);
        for (int32_t i = 1; i < columns; ++i)
            CHugePages::Reserve(stretch->m_Traces[i - 1], expected);
        stretches.push_back(std::move(stretch));
    }
    std::vector<std::thread> threads;
    for (std::size_t k = 1; k < starts.size(); ++k) {
        Stretch& s = *stretches[k - 1];
        const int64_t end = k + 1 < starts.size() ? starts[k + 1] : to;
        threads.emplace_back([&path, &s, begin = starts[k], end, columns] {
            ParseStretch(path, begin, end, columns, s.m_Rows, s.m_bClean);
        });
    }
    bool clean = false;
    ParseStretch(path, starts[0], starts[1], columns, head, clean);
    for (std::thread& thread : threads) thread.join();

    for (const std::unique_ptr<Stretch>& stretch : stretches) {
        TextRows& rows = stretch->m_Rows;
        if (!clean || !stretch->m_bClean) return false;
        if (rows.m_Line.Count() == 0) {
            head.m_nLine += rows.m_nLine;
            continue;
        }
        // The seam: the step from the last row before the stretch to its first.
        try {
            CEvenTimeCheck seam = head.m_Axis;
            seam.Restart();
            seam.Add(head.m_Line.LastTime(), 0);
            seam.Add(rows.m_Line.FirstTime(), 0);
        } catch (const CAnalysisError&) {
            return false;
        }
        head.m_Line.Join(std::move(rows.m_Line), head.m_nLine);
        head.m_nLine += rows.m_nLine;
        for (int32_t i = 1; i < columns; ++i) {
            std::vector<double>& trace = *head.m_Traces[i - 1];
            std::vector<double>& part = stretch->m_Traces[i - 1];
            trace.insert(trace.end(), part.begin(), part.end());
            std::vector<double>().swap(part);
        }
    }
    return true;
}

}  // namespace

CWaveform CReadText::Read(const std::string& path, bool inrushOnly) const {
    {
        CWaveform waveform;
        if (ReadRows(path, inrushOnly, true, waveform)) return waveform;
    }
    CWaveform waveform;
    ReadRows(path, inrushOnly, false, waveform);
    return waveform;
}

bool CReadText::ReadRows(const std::string& path, bool inrushOnly, bool stretches,
                         CWaveform& waveform) const {
    CLineSource source(path);
    const std::string name = FileNameOf(path);
    const DataStart start = FindDataStart(source, m_bPercentComments);
    const int32_t columns = start.m_nColumns;

    // A supply-current capture with its header and no samples is refused by the
    // inrush loader, which names the whole path.
    if (start.m_nFirstLine == 0 && inrushOnly) {
        waveform.m_nKind = 2;
        return true;
    }
    if (start.m_nFirstLine == 0) throw CAnalysisError(ComposeMessage(kTooFewRows, {name}));
    if (inrushOnly && columns != 2)
        throw CAnalysisError(ComposeMessage(
            "Error: File %s has %d columns.\nCan only have 2 for Inrush measurement.",
            {name, std::to_string(columns)}));
    if (columns != 2 && columns != 3)
        throw CAnalysisError(
            ComposeMessage("Error: File %s contains %d columns.\nShould be 2 or 3.",
                           {name, std::to_string(columns)}));

    TextRows rows{.m_Traces = {&waveform.m_Traces[0], &waveform.m_Traces[1]},
                  .m_strName = name,
                  .m_bPercentComments = m_bPercentComments,
                  .m_Axis = CEvenTimeCheck(name),
                  .m_Line = CTimeLine(name)};
    RecoverSamplesBesideHeader(rows, columns, start.m_Header, start.m_strFirstRow,
                               start.m_nFirstLine);
    rows.m_nLine = start.m_nFirstLine - 1;
    ParseRows(rows, columns, start.m_strFirstRow, false);
    if (start.m_nSecondLine != 0) {
        rows.m_nLine = start.m_nSecondLine - 1;
        ParseRows(rows, columns, start.m_SecondRow, false);
        double shortestRows = kNoRowsSeen;
        bool sized = false;
        for (bool last = false; !last && !rows.m_bEnded;) {
            // Once the head has taught the step, the rest may go to every core; a rest
            // too short to split is read on here, once.
            if (!sized && rows.m_Line.Count() >= kRowsBeforeEstimate) {
                sized = true;
                shortestRows = ShortestRows(path, source.Offset(), source.FileBytes());
                const std::vector<int64_t> starts =
                    stretches && rows.m_Axis.Learnt() && rows.Clean()
                        ? StretchStarts(path, source.Offset(), source.FileBytes(), m_nStretchBytes)
                        : std::vector<int64_t>{};
                if (starts.size() >= 2) {
                    ReserveForFile(rows, columns, start.m_nOffset, source.Offset(),
                                   source.FileBytes(), shortestRows);
                    if (!ParseRestInStretches(path, starts, source.FileBytes(), columns,
                                              shortestRows, rows))
                        return false;
                    break;
                }
            }
            const std::string_view block = source.NextBlock(last);
            const int64_t readBytes = source.Offset() - static_cast<int64_t>(block.size());
            ReserveForFile(rows, columns, start.m_nOffset, readBytes, source.FileBytes(),
                           shortestRows);
            ParseRows(rows, columns, block, last);
        }
    }
    if (rows.m_Line.Count() < 2) throw CAnalysisError(ComposeMessage(kTooFewRows, {name}));
    rows.m_Axis.Finish();
    waveform.m_Time = rows.m_Line.Finish();
    NoteCaptureSamples(waveform.m_Time.size());
    waveform.m_nKind = columns;
    return true;
}
