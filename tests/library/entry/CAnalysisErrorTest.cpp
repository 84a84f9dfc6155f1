#include <gtest/gtest.h>

#include "entry/CAnalysisError.h"

// A name too long for the room of a result is cut to fit (the exports and readers show
// the fixed words surviving), and never inside a two-byte character, even in an odd room.
TEST(ComposeMessage, LongNamesAreNeverCutInsideATwoByteCharacter) {
    std::string wide;
    for (int i = 0; i < 100; ++i) wide += "\xC2\xB5";
    const std::string cut = ComposeMessage("%s: %s", {"Is a directory", wide}, 1);
    EXPECT_LE(cut.size(), kMaxMessageChars);
    EXPECT_EQ((cut.size() - std::string("Is a directory: ").size()) % 2, 0u);
}
