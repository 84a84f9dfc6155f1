#include "input/CTimeDigits.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>

namespace {

constexpr uint64_t kWordScale = 100000000;
constexpr uint32_t kLastPowers[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};

}  // namespace

bool CTimeDigits::CarriedDigits(const char* p, uint64_t& digits) const {
    const int count = m_nMantissaEnd - m_nCarryFrom;
    const int high = count - kWordDigits;
    const uint64_t first = EightChars(p + m_nCarryFrom);
    const uint64_t last = EightChars(p + m_nMantissaEnd - kWordDigits);
    if (LeadingDigits(first) < high || LeadingDigits(last) < kWordDigits) return false;
    digits = uint64_t{DigitsValue(first, high)} * kWordScale + DigitsValue(last, kWordDigits);
    return true;
}

const char* CTimeDigits::ParseCarryOrInFull(const char* p, const char* end, double& value) {
    uint64_t carried = 0;
    if (m_bRemembered && m_nMantissaEnd - m_nCarryFrom > kWordDigits && end - p >= kTextChars &&
        (DifferingChars(p) & m_nCarryFixed) == 0 && CarriedDigits(p, carried)) {
        const uint64_t mantissa = m_nMantissa - m_nCarried + carried;
        if (mantissa <= kMaxExactMantissa) {
            value = Scaled(mantissa);
            std::memcpy(m_Text, p, kTextChars);
            m_nMantissa = mantissa;
            m_nCarried = carried;
            m_nLastDigits = static_cast<uint32_t>(carried % kLastPowers[m_nChanging]);
            return p + m_nLength;
        }
    }
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
    int firstChanging = i;  // the first digit after the point, or the first digit
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
    const int carryFrom = std::max(firstChanging, mantissaEnd - 2 * kWordDigits);
    firstChanging = std::max(firstChanging, mantissaEnd - kWordDigits);
    double check = 0.0;
    // Only a text the short path reads exactly, and reads as the full read did.
    if (i != length || digits > kMaxMantissaDigits || mantissaEnd < kWordDigits ||
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
    m_nLastDigits =
        DigitsValue(EightChars(p + mantissaEnd - kWordDigits) >> m_nLastShift, m_nChanging);
    // Every character before the changing digits, and from the mantissa's end to the
    // character after the text, which must still end it.
    const uint32_t throughEnd = length + 1 >= 32 ? ~uint32_t{0} : (uint32_t{1} << (length + 1)) - 1;
    const uint32_t tail = throughEnd & ~((uint32_t{1} << mantissaEnd) - 1);
    m_nFixed = ((uint32_t{1} << firstChanging) - 1) | tail;
    m_nCarryFrom = carryFrom;
    m_nCarryFixed = ((uint32_t{1} << carryFrom) - 1) | tail;
    // A carry path only where it reaches further than the changing digits.
    if (mantissaEnd - carryFrom <= kWordDigits || !CarriedDigits(p, m_nCarried))
        m_nCarryFrom = mantissaEnd;
}
