#pragma once

#include <string>
#include <string_view>

// Replaces a report file as a whole. The text goes to a temporary file in the same
// folder, is flushed to disk and only then renamed over the old report, so a crash
// or a full disk mid-write never leaves a truncated report where a good one stood.
class CAtomicFileWriter {
public:
    enum class Outcome {
        Written,
        OpenFailed,   // no temporary file could be created in the folder
        WriteFailed,  // writing, flushing or renaming failed; the old file is untouched
    };

    // The temporary file is removed on every failure.
    Outcome Replace(const std::string& path, std::string_view text) const;

    // Writes all of `text` to an open descriptor, through short writes and signals.
    static bool WriteAll(int fd, std::string_view text);
};
