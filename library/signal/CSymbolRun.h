#pragma once

#include <cstdint>
#include <string>

// One line-state run: consecutive samples in the same state (J, K, the level
// between them, or the SE0/idle a run becomes once its width is known).
struct CSymbolRun {
    int32_t m_nSymbol = 0;
    int32_t m_nFlag = 0;
    double m_dBits = 0.0;   // width in unit intervals
    double m_dStart = 0.0;  // s, interpolated threshold crossing
    double m_dEnd = 0.0;    // s, start of the next run
    int32_t m_nFirstSample = 0;
    int32_t m_nLastSample = 0;
    // The whole bits of a J or K run: its label repeats the letter this many times.
    // Held as a count, not as text, so a capture of a million runs stays small.
    int32_t m_nLetters = 0;
};

// Refusal of a capture in which a line state ends before it starts or spans more bits
// than the capture has samples: its time axis jumps, and nothing timed on it is true.
inline constexpr const char* kRunOutOfRange =
    "Sample times out of range: a line state runs backwards or outlasts the capture";
