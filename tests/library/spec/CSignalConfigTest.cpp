// The signal configuration record.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "spec/CSignalConfig.h"

TEST(SignalConfig, FreshRecordIsAllZeroAndEmpty) {
    const CSigConfig fresh;
    EXPECT_EQ(fresh.m_nHighSpeed, 0);
    EXPECT_EQ(fresh.m_nPaletteC[14], 0);
    EXPECT_EQ(fresh.m_dShades[3], 0.0);
    EXPECT_TRUE(fresh.m_strSymbols.empty());
    EXPECT_TRUE(fresh.m_ColourI.empty());
    EXPECT_TRUE(fresh.m_strGroupNames[6].empty());
}

TEST(SignalConfig, TwoCallsGiveIndependentEqualRecords) {
    const CSignalConfig maker;
    auto first = maker.BuildConfig();
    auto second = maker.BuildConfig();
    ASSERT_NE(first.get(), second.get());
    EXPECT_TRUE(*first == *second);
    first->m_ColourA[0] = 1;
    first->m_strGroupNames[0] = "changed";
    EXPECT_EQ(second->m_ColourA, (std::vector<int32_t>{140, 0, 140}));
    EXPECT_EQ(second->m_strGroupNames[0], "crossovers");
}

TEST(SignalConfig, SymbolLettersAreIndexedByCode) {
    const auto c = CSignalConfig().BuildConfig();
    ASSERT_EQ(c->m_strSymbols, "EIJSK");
    EXPECT_EQ(c->m_strSymbols.at(static_cast<std::size_t>(c->m_nSymE)), 'E');
    EXPECT_EQ(c->m_strSymbols.at(static_cast<std::size_t>(c->m_nSymI)), 'I');
    EXPECT_EQ(c->m_strSymbols.at(static_cast<std::size_t>(c->m_nSymJ)), 'J');
    EXPECT_EQ(c->m_strSymbols.at(static_cast<std::size_t>(c->m_nSymS)), 'S');
    EXPECT_EQ(c->m_strSymbols.at(static_cast<std::size_t>(c->m_nSymK)), 'K');
    EXPECT_EQ(c->m_strSymbols[2], 'J');
    EXPECT_EQ(c->m_strSymbols[4], 'K');
}

TEST(SignalConfig, SpeedCodesAndTestCodes) {
    const auto c = CSignalConfig().BuildConfig();
    EXPECT_EQ(c->m_nLowSpeed, 1);
    EXPECT_EQ(c->m_nFullSpeed, 2);
    EXPECT_EQ(c->m_nHighSpeed, 3);
    EXPECT_EQ(c->m_nTestCodes[0], 7);
    EXPECT_EQ(c->m_nTestCodes[1], 6);
    EXPECT_EQ(c->m_nTestCodes[2], 5);
}

TEST(SignalConfig, ColoursAreRgbTriplesAndGroupNamesInOrder) {
    const auto c = CSignalConfig().BuildConfig();
    for (const auto* colour :
         {&c->m_ColourA, &c->m_ColourB, &c->m_ColourC, &c->m_ColourD, &c->m_ColourE, &c->m_ColourF,
          &c->m_ColourG, &c->m_ColourH, &c->m_ColourI}) {
        ASSERT_EQ(colour->size(), 3u);
        for (int32_t component : *colour) {
            EXPECT_GE(component, 0);
            EXPECT_LE(component, 255);
        }
    }
    EXPECT_EQ(c->m_ColourC, (std::vector<int32_t>{0, 0, 204}));  // red, green, blue
    for (const auto* palette : {&c->m_nPaletteA, &c->m_nPaletteB, &c->m_nPaletteC}) {
        for (int32_t component : *palette) {
            EXPECT_GE(component, 0);
            EXPECT_LE(component, 255);
        }
    }
    EXPECT_EQ(std::vector<std::string>(c->m_strGroupNames.begin(), c->m_strGroupNames.end()),
              (std::vector<std::string>{"crossovers", "EOP", "eye", "jitter",
                                        "signal integrity pass/fail", "receivers", "signal rate"}));
}
