#include "input/CTimeDigits.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>

const char* CTimeDigits::ParseInFull(const char* p, const char* end, double& value) {
    const char* const next = ParseNumber(p, end, value);
    m_bRemembered = false;
    if (next != nullptr && end - p >= kTextChars) Remember(p, next, value);
    return next;
}

void CTimeDigits::Remember(const char* p, const char* next, double value) {
    const int length = static_cast<int>(next - p);
    // The character after the text must end any number, whatever comes before it: an
    // "e" there would start an exponent once digits follow it.
    if (length >= kTextChars || std::strchr(",\t\n\r ", p[length]) == nullptr || p[length] == '\0')
        return;
    int i = 0;
    const bool negative = p[0] == '-';
    if (p[0] == '-' || p[0] == '+') ++i;
    uint64_t mantissa = 0;
    int digits = 0;
    int fractionDigits = 0;
    int firstChanging = i;
    for (; i < length && IsDecimalDigit(p[i]); ++i, ++digits)
        mantissa = mantissa * 10 + (p[i] - '0');
    if (i < length && p[i] == '.') {
        firstChanging = ++i;
        for (; i < length && IsDecimalDigit(p[i]); ++i, ++digits, ++fractionDigits)
            mantissa = mantissa * 10 + (p[i] - '0');
    }
    const int mantissaEnd = i;
    int power = 0;
    if (i < length && (p[i] == 'e' || p[i] == 'E')) {
        const bool negativePower = p[i + 1] == '-';
        i += p[i + 1] == '-' || p[i + 1] == '+' ? 2 : 1;
        for (; i < length && IsDecimalDigit(p[i]) && power < 1000; ++i)
            power = power * 10 + (p[i] - '0');
        if (negativePower) power = -power;
    }
    firstChanging = std::max(firstChanging, mantissaEnd - 8);
    double check = 0.0;
    // Only a text the short path reads exactly, and reads as the full read did.
    if (i != length || digits > kMaxMantissaDigits || mantissaEnd < 8 ||
        firstChanging >= mantissaEnd ||
        !ExactValue(mantissa, digits, power - fractionDigits, negative, check) ||
        std::bit_cast<uint64_t>(check) != std::bit_cast<uint64_t>(value))
        return;
    std::memcpy(m_Text, p, kTextChars);
    m_bRemembered = true;
    m_nMantissa = mantissa;
    const int exponent = power - fractionDigits;
    m_dPower = kExactPowersOfTen[std::abs(exponent)];
    m_bDivide = exponent < 0;
    m_bNegative = negative;
    m_nLength = length;
    m_nMantissaEnd = mantissaEnd;
    m_nChanging = mantissaEnd - firstChanging;
    m_nLastShift = 64 - 8 * m_nChanging;
    m_nLastDigits = DigitsValue(EightChars(p + mantissaEnd - 8) >> m_nLastShift, m_nChanging);
    // Every character before the changing digits, and from the mantissa's end to the
    // character after the text, which must still end it.
    const uint32_t upToChanging = (uint32_t{1} << firstChanging) - 1;
    const uint32_t throughEnd = length + 1 >= 32 ? ~uint32_t{0} : (uint32_t{1} << (length + 1)) - 1;
    const uint32_t fromMantissaEnd = ~((uint32_t{1} << mantissaEnd) - 1);
    m_nFixed = upToChanging | (throughEnd & fromMantissaEnd);
}
