#pragma once

#include <string>

// The files a summary line lands in, shared by the signal and inrush summaries: a
// per-capture file replaced as a whole, and a numbered batch file that the batch's
// first capture creates and every later capture appends one whole line to.
class CSummaryFile {
public:
    // Replaces `path` as a whole with `text`. Throws CAnalysisError `failure` when
    // given, otherwise "<system error>: <file name>".
    static void Replace(const std::string& path, const std::string& text,
                        const std::string& failure = "");

    // "<data file name up to its last full stop>_sum.csv" beside the data file.
    static std::string FileSummaryPath(const std::string& dataFile);

    // With `newFile` set, creates the next free "<stem>_NN.csv" beside `dataFile` and
    // writes `header` then `line`; otherwise appends `line` to `batchFile` (an empty
    // name, left by a batch whose first capture failed, fails too). Throws
    // CAnalysisError "<system error>: <file name>"; returns the file written to.
    static std::string Append(const std::string& dataFile, const std::string& stem, bool newFile,
                              const std::string& batchFile, const std::string& header,
                              const std::string& line);

    // "<directory>/<stem>_00.csv", or the first of _01, _02, ... that names nothing
    // yet: an unreadable file or a dangling link still holds its name.
    static std::string BatchFileName(const std::string& directory, const std::string& stem);
};
