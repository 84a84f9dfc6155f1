// Selection of the test-type limits by keyword, and their widening for hubs.
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

// How far the widening goes is judged on the EOP verdicts; here, which records it
// touches: only the high-speed hub and repeater records, under their own keywords.
TEST(AdjustForHubs, OnlyHighSpeedHubAndRepeaterRecordsAreWidened) {
    const auto widened = [](const std::string& record, const std::string& keyword) {
        CSigSpec spec = *CSigTestSpec().SelectSpec(record);
        AdjustForHubs(spec, keyword, 3);
        return !(spec == *CSigTestSpec().SelectSpec(record));
    };
    for (const Keyword& k : kKeywords)
        EXPECT_EQ(widened(k.word, k.word),
                  k.word == std::string("hshub") || k.word == std::string("ehsrep"))
            << k.word;
    EXPECT_FALSE(widened("hsne", "hshub"));
    EXPECT_FALSE(widened("hshub", "hsne"));
}
