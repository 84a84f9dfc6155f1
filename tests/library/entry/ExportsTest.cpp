#include <gtest/gtest.h>

#include <string>

#include "velkin.h"

TEST(Exports, AnswerThroughOneResultTextClearedOnEveryCall) {
    const char* first = UsbSigCheck("", "hsne", "", 0, 0);
    EXPECT_STREQ(first, "Please select a data file.");
    const char* second = UsbInrushCheck("", 5.0, 0);
    EXPECT_STREQ(second, "No data file specified");
    EXPECT_EQ(first, second);
    EXPECT_EQ(first, eUsbSigCheck(nullptr, "hsne", nullptr, 7, 0));
    EXPECT_STREQ(first, "Please select a data file.");
    EXPECT_STREQ(UsbSigCheck("cap.csv", nullptr, "", 0, 0), "Unknown test type: ");
    EXPECT_STREQ(UsbSigCheck("cap.csv", "fsfe", "", 0, 0), "Unknown test type: fsfe");
}
