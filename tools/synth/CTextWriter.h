#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "synth/SynthTypes.h"

namespace synth {

// Writes rows of a text capture through one large buffer: captures of tens of
// millions of samples are written in seconds, never held as text.
class CTextWriter {
public:
    CTextWriter(const std::string& path, FileFormat format);

    void Line(const std::string& text);
    // Time as %.12e (a picosecond edge shift in a millisecond capture survives),
    // values as %.6g (a microvolt on a volt-sized signal).
    void Row(double time, const double* values, std::size_t count);
    void Close();

private:
    void Flush();

    struct FileCloser {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    std::unique_ptr<std::FILE, FileCloser> m_File;
    std::string m_strPath;
    std::vector<char> m_Buffer;
    std::size_t m_nUsed = 0;
    char m_cSeparator;
};

}  // namespace synth
