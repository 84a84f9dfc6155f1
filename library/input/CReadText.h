#pragma once

#include <string>

#include "input/CWaveform.h"

// Reads a comma- or tab-separated export: a header of any layout, then rows of time and
// one or two traces, each row checked as it streams in so that a bad one is refused by its
// line number (a wrong value count, a sample that is no finite voltage, a time off the
// capture's even step) instead of skewing every figure measured after it.
class CReadText {
public:
    // `percentComments`: a line that opens with "%" is a comment wherever it stands.
    // A long capture is parsed in stretches of at least `stretchBytes` on every core. A
    // capture of a few million rows parses in tens of milliseconds on one core, and a
    // batch of them keeps every core busy with one capture per worker instead.
    static constexpr int64_t kStretchBytes = int64_t{32} << 20;
    explicit CReadText(bool percentComments, int64_t stretchBytes = kStretchBytes)
        : m_bPercentComments(percentComments), m_nStretchBytes(stretchBytes) {}

    // Kind 2 or 3, as many traces as the rows hold. `inrushOnly`: a supply-current
    // capture, which must hold one trace; a header with no samples after it comes back
    // empty, for the inrush loader to refuse with the whole path.
    CWaveform Read(const std::string& path, bool inrushOnly) const;

private:
    // Fills `waveform`; with `stretches`, the rows after the head may be parsed on every
    // core, and false means a stretch needs the file read again row by row.
    bool ReadRows(const std::string& path, bool inrushOnly, bool stretches,
                  CWaveform& waveform) const;

    bool m_bPercentComments;
    int64_t m_nStretchBytes;
};
