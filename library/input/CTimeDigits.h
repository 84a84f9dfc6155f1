#pragma once

#include <cstdint>
#include <cstring>

#include "input/CNumberParser.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The time column of a text capture is the scope's sample clock printed row after row
// in one format, so the text of a time differs from the one before it only in its last
// few digits. Such a time is read from those digits alone, added to the mantissa
// already read, which gives the very double a full read of the text gives; any other
// text is read in full and becomes the one the next rows are compared with.
class CTimeDigits {
public:
    // Reads the number at `p` as ParseNumber does and returns its end, or nullptr when
    // no number starts there. Inline: it runs for every row of a long capture.
    const char* Parse(const char* p, const char* end, double& value) {
        if (m_bRemembered && end - p >= kTextChars && (DifferingChars(p) & m_nFixed) == 0) {
            const uint64_t last = EightChars(p + m_nMantissaEnd - kWordDigits) >> m_nLastShift;
            const uint32_t lastDigits = DigitsValue(last, m_nChanging);
            const uint64_t mantissa = m_nMantissa - m_nLastDigits + lastDigits;
            if (LeadingDigits(last) >= m_nChanging && mantissa <= kMaxExactMantissa) {
                value = Scaled(mantissa);
                std::memcpy(m_Text, p, kTextChars);
                m_nCarried = m_nCarried - m_nLastDigits + lastDigits;
                m_nLastDigits = lastDigits;
                m_nMantissa = mantissa;
                return p + m_nLength;
            }
        }
        return ParseCarryOrInFull(p, end, value);
    }

private:
    // Characters compared with the remembered time: the whole text and the character
    // after it.
    static constexpr int kTextChars = 32;
    // Digits read as one word.
    static constexpr int kWordDigits = 8;

    // One bit per character of the 32 at `p` that differs from the remembered text.
    uint32_t DifferingChars(const char* p) const {
#if defined(__SSE2__)
        const auto differs = [](const char* x, const char* y) {
            const __m128i equal =
                _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(x)),
                               _mm_loadu_si128(reinterpret_cast<const __m128i*>(y)));
            return static_cast<uint32_t>(~_mm_movemask_epi8(equal)) & 0xFFFF;
        };
        return differs(p, m_Text) | (differs(p + 16, m_Text + 16) << 16);
#else
        uint32_t mask = 0;
        for (int i = 0; i < kTextChars; ++i) mask |= uint32_t{p[i] != m_Text[i]} << i;
        return mask;
#endif
    }

    // The one IEEE operation the full read makes of the same digits.
    double Scaled(uint64_t mantissa) const {
        const auto magnitude = static_cast<double>(mantissa);
        const double scaled = m_bDivide ? magnitude / m_dPower : magnitude * m_dPower;
        return m_bNegative ? -scaled : scaled;
    }
    // A time whose change carried past the last eight digits is read from its last
    // sixteen, which happens every few dozen rows; any other text is read in full.
    const char* ParseCarryOrInFull(const char* p, const char* end, double& value);
    // The value of the last sixteen digits (or all after the point) of the text at `p`;
    // false when one of them is no digit.
    bool CarriedDigits(const char* p, uint64_t& digits) const;
    // Takes the text [p, next), just read in full as `value`, as the one to compare with,
    // when it is a plain decimal whose last digits can change alone.
    void Remember(const char* p, const char* next, double value);

    char m_Text[kTextChars] = {};
    bool m_bRemembered = false;
    uint64_t m_nMantissa = 0;  // all the digits, as one integer
    // The power of ten of the last digit, and whether the mantissa is divided by it.
    double m_dPower = 1.0;
    bool m_bDivide = false;
    bool m_bNegative = false;
    int m_nLength = 0;
    // The digits that may change: [m_nMantissaEnd - m_nChanging, m_nMantissaEnd), at most
    // eight, none before the point; every other character must stay as it is.
    int m_nMantissaEnd = 0;
    int m_nChanging = 0;
    int m_nLastShift = 0;        // moves them to the low bytes of the word that ends with them
    uint32_t m_nLastDigits = 0;  // their value
    uint32_t m_nFixed = 0;       // one bit per character that must stay
    // The same for the digits a carry reaches: at most sixteen, none before the point.
    int m_nCarryFrom = 0;
    uint64_t m_nCarried = 0;
    uint32_t m_nCarryFixed = 0;
};
