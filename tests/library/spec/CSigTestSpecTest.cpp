// Selection of the test-type limits by keyword.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "FailureText.h"
#include "entry/CAnalysisError.h"
#include "spec/CEHighSpeedNearEnd.h"
#include "spec/CFullSpeedFarEnd.h"
#include "spec/CHighSpeedFarEnd.h"
#include "spec/CHighSpeedNearEnd.h"
#include "spec/CLowSpeed.h"
#include "spec/CSigTestSpec.h"

namespace {

struct Keyword {
    const char* word;
    std::unique_ptr<CSigSpec> (*build)();
    int32_t hub;
};

template <class Table>
std::unique_ptr<CSigSpec> Build() {
    return Table().Build();
}

// Every keyword, in any letter case, with the limits it stands for and whether it
// is a hub (or repeater) test.
const Keyword kKeywords[] = {
    {"fs", Build<CFullSpeedFarEnd>, 0},     {"HSFE", Build<CHighSpeedFarEnd>, 0},
    {"hsne", Build<CHighSpeedNearEnd>, 0},  {"Ls", Build<CLowSpeed>, 0},
    {"hshub", Build<CHighSpeedNearEnd>, 1}, {"fsHUB", Build<CFullSpeedFarEnd>, 1},
    {"lshub", Build<CLowSpeed>, 1},         {"ehsrep", Build<CEHighSpeedNearEnd>, 1},
    {"elsrep", Build<CLowSpeed>, 1},        {"EFSREP", Build<CFullSpeedFarEnd>, 1},
};

std::string Failure(const std::string& keyword) {
    return FailureText([&] { CSigTestSpec().SelectSpec(keyword); });
}

}  // namespace

TEST(SelectSpec, EachKeywordPicksItsLimitsAndHubFlag) {
    for (const Keyword& k : kKeywords) {
        SCOPED_TRACE(k.word);
        CSigSpec expected = *k.build();
        expected.m_bHubTest = k.hub;
        EXPECT_TRUE(*CSigTestSpec().SelectSpec(k.word) == expected);
    }
}

// Exact words only, quoted back as given; a keyword too long for the 99 letters of
// the result text is cut to fit.
TEST(SelectSpec, UnknownKeywordsFailWithTheirText) {
    for (const std::string& keyword : std::vector<std::string>{"fsfe", "", "fsne", "lsfe", "hsne ",
                                                               "h", "HSNEX", std::string(80, 'y')})
        EXPECT_EQ(Failure(keyword), "Unknown test type: " + keyword);
    EXPECT_EQ(Failure(std::string(500, 'x')), "Unknown test type: " + std::string(80, 'x'));
}
