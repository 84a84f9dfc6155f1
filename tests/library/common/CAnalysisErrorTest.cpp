#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "FailureText.h"
#include "common/CAnalysisError.h"

// A name too long for the room of a result is cut to fit (the exports and readers show
// the fixed words surviving), and never inside a two-byte character, even in an odd room.
TEST(ComposeMessage, LongNamesAreNeverCutInsideATwoByteCharacter) {
    std::string wide;
    for (int i = 0; i < 100; ++i) wide += "\xC2\xB5";
    const std::string cut = ComposeMessage("%s: %s", {"Is a directory", wide}, 1);
    EXPECT_LE(cut.size(), kMaxMessageChars);
    EXPECT_EQ((cut.size() - std::string("Is a directory: ").size()) % 2, 0u);
}

// Only a whole range of indices converts; anything else, however it came about, is
// refused with the caller's text rather than converted.
TEST(CheckedIndex, ConvertsOnlyFromZeroToTheLimit) {
    const double inf = std::numeric_limits<double>::infinity();
    const std::size_t top = std::numeric_limits<std::size_t>::max();
    const struct {
        double value;
        std::size_t limit;
        bool converts;
    } cases[] = {
        {0.0, 10, true},
        {10.0, 10, true},
        {7.9, 10, true},
        {10.5, 10, false},
        {-0.5, 10, false},
        {std::nan(""), 10, false},
        {inf, top, false},
        {1.9e25, top, false},
        // 2^64 equals the limit once the limit is rounded to a double.
        {18446744073709551616.0, top, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        std::size_t index = 0;
        const std::string text =
            FailureText([&] { index = CheckedIndex(c.value, c.limit, "out of range"); });
        EXPECT_EQ(text, c.converts ? "" : "out of range");
        EXPECT_EQ(index, c.converts ? static_cast<std::size_t>(c.value) : 0);
    }
}
