#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Turns one waveform file, or a D+/D- pair of files, into sample vectors: the
// time axis and either one differential trace or two single-ended traces.
class CReadFile {
public:
    // Returns the trace kind: 2 one (differential) trace in `diff`; 3 a pair in
    // `first` and `second`. With `secondFile` given, `second` holds the trace of
    // `dataFile` and `first` that of `secondFile`.
    int32_t ReadWaveform(const std::string& dataFile, std::vector<double>& time,
                         std::vector<double>& diff, std::vector<double>& first,
                         std::vector<double>& second, const std::string& secondFile,
                         bool inrushOnly);

    // Comma- and tab-separated exports: any header lines, then rows of time and one
    // or two values. Return the number of columns read (2 or 3).
    int32_t ReadCsv(const std::string& path, std::vector<double>& time, std::vector<double>& first,
                    std::vector<double>& second);
    int32_t ReadTsv(const std::string& path, std::vector<double>& time, std::vector<double>& first,
                    std::vector<double>& second);

    bool InrushOnly = false;
    int32_t TraceKind = 3;

private:
    int32_t ReadText(const std::string& path, std::vector<double>& time, std::vector<double>& first,
                     std::vector<double>& second, bool percentComments);
    int32_t ReadByExtension(const std::string& extension, const std::string& path,
                            std::vector<double>& time, std::vector<double>& first,
                            std::vector<double>& second);
};
