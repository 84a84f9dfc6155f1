// Selection of the test-type limits by keyword. Which limits each keyword stands for
// shows in the report it names (the signal report tests); here, what is refused.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FailureText.h"
#include "spec/CSigTestSpec.h"

namespace {

std::string Failure(const std::string& keyword) {
    return FailureText([&] { CSigTestSpec().SelectSpec(keyword); });
}

}  // namespace

// Exact words only, quoted back as given; a keyword too long for the 99 letters of
// the result text is cut to fit.
TEST(SelectSpec, UnknownKeywordsFailWithTheirText) {
    for (const std::string& keyword : std::vector<std::string>{"fsfe", "", "fsne", "lsfe", "hsne ",
                                                               "h", "HSNEX", std::string(80, 'y')})
        EXPECT_EQ(Failure(keyword), "Unknown test type: " + keyword);
    EXPECT_EQ(Failure(std::string(500, 'x')), "Unknown test type: " + std::string(80, 'x'));
}
