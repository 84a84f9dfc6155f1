// The short path of the number parser against the general parser, on numbers as scopes
// and spreadsheets write them.
#include <fast_float/fast_float.h>
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <random>
#include <sstream>
#include <string>
#include <utility>

#include "input/CNumberParser.h"

namespace {

// What the general parser makes of `text` followed by another field; a plus sign before
// anything but another sign is passed over. The short path for a sample in a row that
// ends before the text does may decline any text, but what it reads it reads the same.
void ExpectAsGeneralParser(const std::string& text) {
    const std::string field = text + ",1\n";
    const char* const end = field.data() + text.size() + 2;
    const bool plus = text.size() > 1 && text[0] == '+' && text[1] != '+' && text[1] != '-';
    double want = 0.0, got = 0.0, ended = 0.0;
    const auto result = fast_float::from_chars(field.data() + (plus ? 1 : 0), end, want);
    const char* const parsed = ParseNumber(field.data(), end, got);
    const char* const endedAt = ParseEndedDecimal(field.data(), ended);
    if (endedAt != nullptr) {
        EXPECT_EQ(endedAt, result.ptr) << text;
        EXPECT_EQ(std::bit_cast<uint64_t>(ended), std::bit_cast<uint64_t>(want)) << text;
    }
    if (result.ec != std::errc()) {
        EXPECT_EQ(parsed, nullptr) << text;
        return;
    }
    ASSERT_EQ(parsed, result.ptr) << text;
    if (std::isnan(want))
        EXPECT_TRUE(std::isnan(got)) << text;
    else
        EXPECT_EQ(std::bit_cast<uint64_t>(got), std::bit_cast<uint64_t>(want)) << text;
}

}  // namespace

TEST(NumberParser, EveryScopeStyleNumberReadsBitForBitAsTheGeneralParserReadsIt) {
    // Short, signed, cut, long, tiny, huge and non-numeric texts.
    std::istringstream texts(
        ".5 -.25 5. -0 +0.5 +-1 ++1 + - . e5 1e 1e+ 1E-0022 9007199254740993 "
        "18446744073709551617 123456789012345678901 4.9e-324 1e400 nan -inf 0x1p3 1,5");
    for (std::string text; texts >> text;) ExpectAsGeneralParser(text);

    // Format, range of decimal exponents of the values written with it.
    const std::pair<const char*, int> formats[] = {
        {"%.8e", 25}, {"%.17g", 25}, {"%.6f", 12}, {"%.3f", 3},   {"%+.9E", 30},
        {"%g", 8},    {"%.2e", 300}, {"%.0f", 6},  {"%.20e", 20}, {"%+.4f", 4},
    };
    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
    char text[400];
    for (const auto& [format, range] : formats) {
        SCOPED_TRACE(format);
        std::uniform_int_distribution<int> power(-range, range);
        for (int i = 0; i < 20000; ++i) {
            std::snprintf(text, sizeof text, format,
                          mantissa(random) * std::pow(10.0, power(random)));
            ExpectAsGeneralParser(text);
        }
    }
}
