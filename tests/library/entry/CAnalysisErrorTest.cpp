#include <gtest/gtest.h>

#include "entry/CAnalysisError.h"

TEST(ComposeMessage, LongFileNamesAreCutSoTheFixedWordsSurvive) {
    EXPECT_EQ(ComposeMessage("Unknown file type %s", {"cap.xyz"}), "Unknown file type cap.xyz");

    const std::string longName(300, 'a');
    const std::string text = ComposeMessage(
        "Error: File %s contains %d columns.\nShould be 2 or 3.", {longName + ".csv", "4"});
    EXPECT_EQ(text.size(), kMaxMessageChars);
    EXPECT_EQ(text.rfind("Error: File aaa", 0), 0u);
    EXPECT_NE(text.find(" contains 4 columns.\nShould be 2 or 3."), std::string::npos);

    // A name of two-byte characters is never cut inside one, even in an odd room.
    std::string wide;
    for (int i = 0; i < 100; ++i) wide += "\xC2\xB5";
    const std::string cut = ComposeMessage("%s: %s", {"Is a directory", wide}, 1);
    EXPECT_LE(cut.size(), kMaxMessageChars);
    EXPECT_EQ((cut.size() - std::string("Is a directory: ").size()) % 2, 0u);
}
