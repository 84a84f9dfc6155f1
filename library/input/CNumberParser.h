#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

// Reads the numbers of a text capture, one per sample and column: an exact short path for
// the way scopes write them, the general parser for anything else.

// The general parser: the nearest double to any decimal text, "nan" and "inf" included.
// Returns the end of the number, or nullptr when no number starts at `p`.
const char* ParseNumberInFull(const char* p, const char* end, double& value);

inline constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                               1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                               1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
inline constexpr int kMaxExactPower = 22;
inline constexpr int kMaxMantissaDigits = 19;
inline constexpr uint64_t kMaxExactMantissa = uint64_t{1} << 53;

inline bool IsDecimalDigit(char c) { return static_cast<unsigned char>(c - '0') < 10; }

// The eight characters at `p` as one little-endian word: the first character in the
// low byte.
inline uint64_t EightChars(const char* p) {
    static_assert(std::endian::native == std::endian::little);
    uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

// How many decimal digits open the eight characters of `word`. A byte outside '0' to
// '9' fails one of the two nibble tests; a carry out of such a byte only reaches the
// bytes after it, which no longer count.
inline int LeadingDigits(uint64_t word) {
    constexpr uint64_t kHighNibbles = 0xF0F0F0F0F0F0F0F0;
    constexpr uint64_t kThrees = 0x3030303030303030;
    const uint64_t notDigit = ((word & kHighNibbles) ^ kThrees) |
                              (((word + 0x0606060606060606) & kHighNibbles) ^ kThrees);
    return std::countr_zero(notDigit) >> 3;
}

// The value of the first `count` (0 to 8) digits of `word`, eight at a time as one
// 64-bit word instead of one multiply-add chain per digit. The digits are moved to the
// top of the word, so the bytes below them read as leading zeros.
inline uint32_t DigitsValue(uint64_t word, int count) {
    if (count == 0) return 0;
    word = (word - 0x3030303030303030) << (64 - 8 * count);
    word = (word * 10) + (word >> 8);
    constexpr uint64_t kMask = 0x000000FF000000FF;
    constexpr uint64_t kHigh = 100 + (uint64_t{1000000} << 32);
    constexpr uint64_t kLow = 1 + (uint64_t{10000} << 32);
    return static_cast<uint32_t>((((word & kMask) * kHigh) + (((word >> 16) & kMask) * kLow)) >>
                                 32);
}

// The value from its decimal digits when one IEEE operation rounds it correctly;
// false otherwise.
inline bool ExactValue(uint64_t mantissa, int digits, int exponent, bool negative, double& value) {
    if (digits == 0 || digits > kMaxMantissaDigits || mantissa > kMaxExactMantissa ||
        exponent < -kMaxExactPower || exponent > kMaxExactPower)
        return false;
    double magnitude = static_cast<double>(mantissa);
    magnitude = exponent < 0 ? magnitude / kExactPowersOfTen[-exponent]
                             : magnitude * kExactPowersOfTen[exponent];
    value = negative ? -magnitude : magnitude;
    return true;
}

// A sample as scopes write nearly all of them, "-" and digits either side of a point,
// in a row known to end before the text does: no digit loop need watch for the end of
// the text. Returns the end of the number, or nullptr for any other form (an exponent,
// a sign "+", too many digits, no digit), which ParseNumber then reads; the value is
// the one ParseNumber gives.
inline const char* ParseEndedDecimal(const char* p, double& value) {
    const bool negative = *p == '-';
    p += negative;
    uint64_t mantissa = 0;
    const char* const first = p;
    for (; IsDecimalDigit(*p); ++p) mantissa = mantissa * 10 + static_cast<uint64_t>(*p - '0');
    int digits = static_cast<int>(p - first);
    int fraction = 0;
    if (*p == '.') {
        const char* const point = ++p;
        for (; IsDecimalDigit(*p); ++p) mantissa = mantissa * 10 + static_cast<uint64_t>(*p - '0');
        fraction = static_cast<int>(p - point);
        digits += fraction;
    }
    if ((*p | 0x20) == 'e' || !ExactValue(mantissa, digits, -fraction, negative, value))
        return nullptr;
    return p;
}

// Scope exports write at most nine or ten significant digits and small exponents: such a
// value is the exact mantissa scaled by an exact power of ten, which one IEEE
// multiplication or division rounds correctly. Anything else (long mantissas, large
// exponents, "nan", "inf", malformed text) goes to ParseNumberInFull. A leading "+" is
// passed over. Returns as ParseNumberInFull does. Inline: it runs for every value of a
// ten-million-row capture.
inline const char* ParseNumber(const char* p, const char* end, double& value) {
    if (p + 1 < end && *p == '+' && p[1] != '-' && p[1] != '+') ++p;
    const char* const start = p;
    const bool negative = p < end && *p == '-';
    if (negative) ++p;
    uint64_t mantissa = 0;
    int digits = 0;
    int exponent = 0;
    for (; p < end && IsDecimalDigit(*p); ++p, ++digits) mantissa = mantissa * 10 + (*p - '0');
    if (p < end && *p == '.') {
        ++p;
        // The fraction of a scope's number is mostly eight digits or more.
        if (end - p >= 8 && LeadingDigits(EightChars(p)) == 8) {
            mantissa = mantissa * 100000000 + DigitsValue(EightChars(p), 8);
            p += 8;
            digits += 8;
            exponent -= 8;
        }
        for (; p < end && IsDecimalDigit(*p); ++p, ++digits, --exponent)
            mantissa = mantissa * 10 + (*p - '0');
    }
    bool exact = digits > 0 && digits <= kMaxMantissaDigits;
    if (exact && p < end && (*p == 'e' || *p == 'E')) {
        const char* q = p + 1;
        const bool negativeExponent = q < end && *q == '-';
        if (q < end && (*q == '-' || *q == '+')) ++q;
        int power = 0;
        exact = q < end && IsDecimalDigit(*q);
        for (; q < end && IsDecimalDigit(*q) && power <= kMaxExactPower * 10; ++q)
            power = power * 10 + (*q - '0');
        exact = exact && (q == end || !IsDecimalDigit(*q));
        exponent += negativeExponent ? -power : power;
        p = q;
    }
    if (exact && ExactValue(mantissa, digits, exponent, negative, value)) return p;
    return ParseNumberInFull(start, end, value);
}
