// Selection by keyword and the hub/repeater adjustment.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "entry/CAnalysisError.h"
#include "library/spec/SpecCompare.h"
#include "spec/CEHighSpeedNearEnd.h"
#include "spec/CFullSpeedFarEnd.h"
#include "spec/CHighSpeedFarEnd.h"
#include "spec/CHighSpeedNearEnd.h"
#include "spec/CLowSpeed.h"
#include "spec/CSigTestSpec.h"

namespace {

std::string UnknownTypeText(const std::string& keyword) {
    try {
        CSigTestSpec().SelectSpec(keyword);
    } catch (const CAnalysisError& e) {
        return e.Text();
    }
    return "<no exception>";
}

CSigSpec Adjusted(const std::string& keyword, unsigned hubs) {
    auto spec = CSigTestSpec().SelectSpec(keyword);
    AdjustForHubs(*spec, keyword, hubs);
    return *spec;
}

const std::vector<std::string> kAdjustedFields = {"m_dEopBitsWaiverMax", "m_dHubEopBitsMax",
                                                  "m_EopWaiverMax", "m_dHubEopMax"};

}  // namespace

TEST(SelectSpec, EachKeywordPicksItsTableAndHubFlag) {
    struct Row {
        const char* keyword;
        CSigSpec table;
        int32_t hub;
    };
    const std::vector<Row> rows = {
        {"fs", *CFullSpeedFarEnd().Build(), 0},     {"hsfe", *CHighSpeedFarEnd().Build(), 0},
        {"hsne", *CHighSpeedNearEnd().Build(), 0},  {"ls", *CLowSpeed().Build(), 0},
        {"hshub", *CHighSpeedNearEnd().Build(), 1}, {"fshub", *CFullSpeedFarEnd().Build(), 1},
        {"lshub", *CLowSpeed().Build(), 1},         {"ehsrep", *CEHighSpeedNearEnd().Build(), 1},
        {"elsrep", *CLowSpeed().Build(), 1},        {"efsrep", *CFullSpeedFarEnd().Build(), 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.keyword);
        const auto spec = CSigTestSpec().SelectSpec(row.keyword);
        ASSERT_NE(spec, nullptr);
        EXPECT_EQ(spec->m_bHubTest, row.hub);
        CSigSpec expected = row.table;
        expected.m_bHubTest = row.hub;
        EXPECT_EQ(DifferingFields(*spec, expected), std::vector<std::string>{});
        EXPECT_TRUE(*spec == expected);
    }
    EXPECT_EQ(CSigTestSpec().SelectSpec("elsrep")->m_nTestId, 1);
    EXPECT_EQ(CSigTestSpec().SelectSpec("ehsrep")->m_nTestId, 10);
    EXPECT_EQ(CSigTestSpec().SelectSpec("hsfe")->m_nTestId, 3);
    EXPECT_EQ(CSigTestSpec().SelectSpec("fs")->m_nTestId, 2);
}

TEST(SelectSpec, KeywordsIgnoreLetterCase) {
    EXPECT_TRUE(*CSigTestSpec().SelectSpec("HSNE") == *CSigTestSpec().SelectSpec("hsne"));
    EXPECT_TRUE(*CSigTestSpec().SelectSpec("HsHuB") == *CSigTestSpec().SelectSpec("hshub"));
    EXPECT_TRUE(*CSigTestSpec().SelectSpec("EFSREP") == *CSigTestSpec().SelectSpec("efsrep"));
    EXPECT_EQ(CSigTestSpec().SelectSpec("LS")->m_nSpeed, 1);
}

TEST(SelectSpec, HubKeywordDiffersFromNearEndOnlyInHubFlag) {
    const auto hub = CSigTestSpec().SelectSpec("hshub");
    const auto ne = CSigTestSpec().SelectSpec("hsne");
    EXPECT_EQ(DifferingFields(*ne, *hub), std::vector<std::string>{"m_bHubTest"});
}

TEST(SelectSpec, UnknownKeywordsFailWithTheirText) {
    EXPECT_EQ(UnknownTypeText("fsfe"), "Unknown test type: fsfe");
    EXPECT_EQ(UnknownTypeText(""), "Unknown test type: ");
    // The front end's aliases are no keywords here.
    EXPECT_EQ(UnknownTypeText("fsne"), "Unknown test type: fsne");
    EXPECT_EQ(UnknownTypeText("lsfe"), "Unknown test type: lsfe");
    EXPECT_EQ(UnknownTypeText("lsne"), "Unknown test type: lsne");
    // Exact words only, the keyword as given.
    EXPECT_EQ(UnknownTypeText("hsne "), "Unknown test type: hsne ");
    EXPECT_EQ(UnknownTypeText("h"), "Unknown test type: h");
    EXPECT_EQ(UnknownTypeText("HSNEX"), "Unknown test type: HSNEX");
    EXPECT_THROW(CSigTestSpec().SelectSpec("usb"), CAnalysisError);
}

TEST(SelectSpec, VeryLongKeywordIsCutToFitTheResultText) {
    const std::string text = UnknownTypeText(std::string(500, 'x'));
    EXPECT_LE(text.size(), 99u);
    EXPECT_EQ(text, "Unknown test type: " + std::string(99 - 19, 'x'));
    // A keyword that just fits is kept whole.
    const std::string fits(80, 'y');
    EXPECT_EQ(UnknownTypeText(fits), "Unknown test type: " + fits);
}

TEST(AdjustForHubs, TwoHubsWidenBothEopLimits) {
    const CSigSpec s = Adjusted("hshub", 2);
    EXPECT_EQ(s.m_dEopBitsWaiverMax, 24.0);
    EXPECT_EQ(s.m_EopWaiverMax.at(0), 24.0 / 4.8e8);
    EXPECT_EQ(s.m_dHubEopBitsMax, 16.5);
    EXPECT_EQ(s.m_dHubEopMax, 16.5 / 4.8e8);
    // Nothing else moves, the start-of-frame element included.
    const auto table = CSigTestSpec().SelectSpec("hshub");
    EXPECT_EQ(DifferingFields(*table, s), kAdjustedFields);
    EXPECT_EQ(s.m_EopWaiverMax.at(1), table->m_EopWaiverMax.at(1));
}

TEST(AdjustForHubs, ZeroHubsLowerTheHubLimitOnly) {
    const CSigSpec s = Adjusted("hshub", 0);
    EXPECT_EQ(s.m_dEopBitsWaiverMax, 16.0);
    EXPECT_EQ(s.m_EopWaiverMax.at(0), 16.0 / 4.8e8);
    EXPECT_EQ(s.m_dHubEopBitsMax, 8.5);
    EXPECT_EQ(s.m_dHubEopMax, 8.5 / 4.8e8);
    const auto table = CSigTestSpec().SelectSpec("hshub");
    EXPECT_EQ(DifferingFields(*table, s),
              (std::vector<std::string>{"m_dHubEopBitsMax", "m_dHubEopMax"}));
}

TEST(AdjustForHubs, MoreThanFiveHubsCountAsFive) {
    const CSigSpec five = Adjusted("hshub", 5);
    EXPECT_EQ(five.m_dEopBitsWaiverMax, 36.0);
    EXPECT_EQ(five.m_EopWaiverMax.at(0), 36.0 / 4.8e8);
    EXPECT_EQ(five.m_dHubEopBitsMax, 28.5);
    EXPECT_EQ(five.m_dHubEopMax, 28.5 / 4.8e8);
    EXPECT_TRUE(Adjusted("hshub", 9) == five);
    EXPECT_TRUE(Adjusted("hshub", 6) == five);
    EXPECT_TRUE(Adjusted("hshub", UINT_MAX) == five);
}

TEST(AdjustForHubs, KeywordComparisonIgnoresCase) {
    EXPECT_TRUE(Adjusted("HSHUB", 2) == Adjusted("hshub", 2));
    EXPECT_EQ(Adjusted("HSHUB", 2).m_dEopBitsWaiverMax, 24.0);
    EXPECT_EQ(Adjusted("HsHub", 3).m_dHubEopBitsMax, 20.5);
}

TEST(AdjustForHubs, RepeaterIsAdjustedLikeTheHub) {
    const CSigSpec rep = Adjusted("ehsrep", 2);
    EXPECT_EQ(rep.m_nTestId, 10);
    EXPECT_EQ(rep.m_dEopBitsWaiverMax, 24.0);
    EXPECT_EQ(rep.m_EopWaiverMax.at(0), 24.0 / 4.8e8);
    EXPECT_EQ(rep.m_dHubEopBitsMax, 16.5);
    EXPECT_EQ(rep.m_dHubEopMax, 16.5 / 4.8e8);
    EXPECT_EQ(DifferingFields(*CSigTestSpec().SelectSpec("ehsrep"), rep), kAdjustedFields);
    EXPECT_TRUE(Adjusted("EHSREP", 2) == rep);
}

TEST(AdjustForHubs, OtherTestTypesKeepTheirTableValues) {
    for (const char* keyword : {"fshub", "lshub", "elsrep", "efsrep", "hsne", "hsfe", "fs", "ls"}) {
        for (unsigned hubs : {0u, 3u, 5u, 9u}) {
            SCOPED_TRACE(std::string(keyword) + " hubs " + std::to_string(hubs));
            const auto table = CSigTestSpec().SelectSpec(keyword);
            EXPECT_EQ(DifferingFields(*table, Adjusted(keyword, hubs)), std::vector<std::string>{});
        }
    }
    // "fshub" with 3 hubs in particular: the record stays as the table has it.
    EXPECT_TRUE(Adjusted("fshub", 3) == *CSigTestSpec().SelectSpec("fshub"));
}

TEST(AdjustForHubs, NeedsTheHubFlagAsWellAsTheKeyword) {
    // A near-end record (hub flag 0) named "hshub" is not adjusted.
    auto ne = CSigTestSpec().SelectSpec("hsne");
    const CSigSpec before = *ne;
    AdjustForHubs(*ne, "hshub", 2);
    EXPECT_TRUE(*ne == before);
    // A hub record under a keyword other than "hshub"/"ehsrep" is not adjusted either.
    auto hub = CSigTestSpec().SelectSpec("hshub");
    const CSigSpec hubBefore = *hub;
    AdjustForHubs(*hub, "hsne", 2);
    EXPECT_TRUE(*hub == hubBefore);
}
