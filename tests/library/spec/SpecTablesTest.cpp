// Invariants of the five test-type tables: relations between
// fields and between tables, not a second copy of the numbers.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "library/spec/SpecCompare.h"
#include "spec/CEHighSpeedNearEnd.h"
#include "spec/CFullSpeedFarEnd.h"
#include "spec/CHighSpeedFarEnd.h"
#include "spec/CHighSpeedNearEnd.h"
#include "spec/CLowSpeed.h"
#include "spec/CSignalConfig.h"

namespace {

struct NamedTable {
    std::string name;
    std::function<std::unique_ptr<CSigSpec>()> build;
};

std::vector<NamedTable> HighSpeedTables() {
    return {{"CHighSpeedNearEnd", [] { return CHighSpeedNearEnd().Build(); }},
            {"CHighSpeedFarEnd", [] { return CHighSpeedFarEnd().Build(); }},
            {"CEHighSpeedNearEnd", [] { return CEHighSpeedNearEnd().Build(); }}};
}

std::vector<NamedTable> FullAndLowSpeedTables() {
    return {{"CFullSpeedFarEnd", [] { return CFullSpeedFarEnd().Build(); }},
            {"CLowSpeed", [] { return CLowSpeed().Build(); }}};
}

std::vector<NamedTable> AllTables() {
    std::vector<NamedTable> all = HighSpeedTables();
    for (auto& t : FullAndLowSpeedTables()) all.push_back(std::move(t));
    return all;
}

std::vector<double> OverBitRate(double ordinary, double startOfFrame) {
    return {ordinary / 4.8e8, startOfFrame / 4.8e8};
}

}  // namespace

TEST(SpecTables, BuildGivesAFreshIndependentRecordEachTime) {
    for (const auto& table : AllTables()) {
        SCOPED_TRACE(table.name);
        auto first = table.build();
        auto second = table.build();
        ASSERT_NE(first.get(), second.get());
        EXPECT_TRUE(*first == *second);
        first->m_EopWaiverMax.at(0) = 1.0;
        EXPECT_NE(second->m_EopWaiverMax.at(0), 1.0);
        // Selection sets the hub flag; the four reserved doubles stay 0.
        EXPECT_EQ(second->m_bHubTest, 0);
        EXPECT_EQ(second->m_dReserved1, 0.0);
        EXPECT_EQ(second->m_dReserved2, 0.0);
        EXPECT_EQ(second->m_dReserved3, 0.0);
        EXPECT_EQ(second->m_dReserved4, 0.0);
    }
}

TEST(SpecTables, HighSpeedEopVectorsAreTheirBitCountsOver480Mbits) {
    for (const auto& table : HighSpeedTables()) {
        SCOPED_TRACE(table.name);
        const auto s = table.build();
        // Exact equality: every stored second value is the bit count / 4.8e8 as a double.
        EXPECT_EQ(s->m_EopMax, OverBitRate(s->m_dEopBitsMax, s->m_dSofEopBitsMax));
        EXPECT_EQ(s->m_EopMin, OverBitRate(s->m_dEopBitsMin, s->m_dSofEopBitsMin));
        EXPECT_EQ(s->m_EopWaiverMax,
                  OverBitRate(s->m_dEopBitsWaiverMax, s->m_dSofEopBitsWaiverMax));
        EXPECT_EQ(s->m_EopWaiverMin,
                  OverBitRate(s->m_dEopBitsWaiverMin, s->m_dSofEopBitsWaiverMin));
        EXPECT_EQ(s->m_EopHubMax, OverBitRate(s->m_dHubEopBitsMax, s->m_dSofEopBitsMax));
        EXPECT_EQ(s->m_dHubEopMin, s->m_dHubEopBitsMin / 4.8e8);
        EXPECT_EQ(s->m_dHubEopMax, s->m_dHubEopBitsMax / 4.8e8);
        EXPECT_EQ(s->m_dBitTime, 1.0 / 4.8e8);
        // The EOP windows in seconds are the familiar bit counts at 480 Mbit/s.
        EXPECT_EQ(s->m_EopMax, OverBitRate(8.5, 40.5));
        EXPECT_EQ(s->m_EopMin, OverBitRate(7.5, 39.5));
        EXPECT_EQ(s->m_EopWaiverMax, OverBitRate(16, 50));
        EXPECT_EQ(s->m_EopWaiverMin, OverBitRate(7.5, 39.5));
        EXPECT_EQ(s->m_EopHubMax, OverBitRate(12.5, 40.5));
    }
}

TEST(SpecTables, FullAndLowSpeedEopVectorsHaveNoLongerStartOfFrameEop) {
    for (const auto& table : FullAndLowSpeedTables()) {
        SCOPED_TRACE(table.name);
        const auto s = table.build();
        for (const auto* v : {&s->m_EopMax, &s->m_EopMin, &s->m_EopWaiverMax, &s->m_EopWaiverMin,
                              &s->m_EopHubMax}) {
            ASSERT_EQ(v->size(), 2u);
            EXPECT_EQ((*v)[0], (*v)[1]);
        }
    }
    // Stored as given, the minimum above the maximum; only high speed reads them.
    const auto ls = CLowSpeed().Build();
    EXPECT_GT(ls->m_dHubEopMin, ls->m_dHubEopMax);
}

TEST(SpecTables, SyncPatternsAreTheSyncFieldWithLeadingBitsDropped) {
    const std::string full = [] {
        std::string s;
        for (int i = 0; i < 15; ++i) s += "KJ";
        return s + "KK";
    }();
    ASSERT_EQ(full.size(), 32u);
    for (const auto& table : HighSpeedTables()) {
        SCOPED_TRACE(table.name);
        const auto s = table.build();
        ASSERT_EQ(s->m_strSyncPatterns.size(), 23u);
        for (std::size_t i = 0; i < 23; ++i) {
            EXPECT_EQ(s->m_strSyncPatterns[i], full.substr(i)) << "element " << i;
            EXPECT_EQ(s->m_strSyncPatterns[i].size(), 32u - i);
        }
        EXPECT_EQ(s->m_strSyncPatterns[1], "JKJKJKJKJKJKJKJKJKJKJKJKJKJKJKK");
        EXPECT_EQ(s->m_strSyncPatterns[22], "KJKJKJKJKK");
    }
    for (const auto& table : FullAndLowSpeedTables()) {
        SCOPED_TRACE(table.name);
        const auto s = table.build();
        EXPECT_EQ(s->m_strSyncPatterns, std::vector<std::string>(23, "KJKJKJKK"));
    }
}

TEST(SpecTables, EveryEyeTemplateHasTwoBoxesAndAClosedInnerPolygon) {
    for (const auto& table : AllTables()) {
        const auto s = table.build();
        for (const EyeTemplate* eye : {&s->m_Eye1, &s->m_Eye2}) {
            SCOPED_TRACE(table.name + (eye == &s->m_Eye1 ? " m_Eye1" : " m_Eye2"));
            ASSERT_EQ(eye->BottomV.size(), 4u);
            ASSERT_EQ(eye->BottomT.size(), 4u);
            ASSERT_EQ(eye->InnerV.size(), 7u);
            ASSERT_EQ(eye->InnerT.size(), 7u);
            ASSERT_EQ(eye->TopV.size(), 4u);
            ASSERT_EQ(eye->TopT.size(), 4u);
            EXPECT_EQ(eye->InnerV.front(), eye->InnerV.back());
            EXPECT_EQ(eye->InnerT.front(), eye->InnerT.back());
            // The boxes reach out to +-10000 V and span one unit interval from 0.
            EXPECT_EQ(eye->BottomV[0], -10000.0);
            EXPECT_EQ(eye->BottomV[3], -10000.0);
            EXPECT_EQ(eye->TopV[0], 10000.0);
            EXPECT_EQ(eye->TopV[3], 10000.0);
            EXPECT_EQ(eye->BottomV[1], eye->BottomV[2]);
            EXPECT_EQ(eye->TopV[1], eye->TopV[2]);
            EXPECT_LT(eye->BottomV[1], eye->TopV[1]);
            EXPECT_EQ(eye->BottomT, eye->TopT);
            EXPECT_EQ(eye->BottomT[0], 0.0);
            EXPECT_EQ(eye->BottomT[1], 0.0);
            EXPECT_EQ(eye->BottomT[2], eye->BottomT[3]);
            EXPECT_NEAR(eye->BottomT[2], s->m_dBitTime, 1e-6 * s->m_dBitTime);
            // The inner polygon lies inside the unit interval, between the boxes.
            for (std::size_t i = 0; i < 7; ++i) {
                EXPECT_GT(eye->InnerT[i], 0.0);
                EXPECT_LT(eye->InnerT[i], eye->BottomT[2]);
                EXPECT_GT(eye->InnerV[i], eye->BottomV[1]);
                EXPECT_LT(eye->InnerV[i], eye->TopV[1]);
            }
        }
    }
}

TEST(SpecTables, FarEndDiffersFromNearEndOnlyInTestIdAndInnerPolygons) {
    const auto ne = CHighSpeedNearEnd().Build();
    const auto fe = CHighSpeedFarEnd().Build();
    EXPECT_EQ(DifferingFields(*ne, *fe),
              (std::vector<std::string>{"m_nTestId", "m_Eye1.InnerV", "m_Eye1.InnerT",
                                        "m_Eye2.InnerV", "m_Eye2.InnerT"}));
    EXPECT_EQ(ne->m_nTestId, 4);
    EXPECT_EQ(fe->m_nTestId, 3);
    // Backed by the whole-record comparison, which sees every field.
    CSigSpec patched = *ne;
    patched.m_nTestId = fe->m_nTestId;
    patched.m_Eye1.InnerV = fe->m_Eye1.InnerV;
    patched.m_Eye1.InnerT = fe->m_Eye1.InnerT;
    patched.m_Eye2.InnerV = fe->m_Eye2.InnerV;
    patched.m_Eye2.InnerT = fe->m_Eye2.InnerT;
    EXPECT_TRUE(patched == *fe);
}

TEST(SpecTables, RepeaterDiffersFromNearEndOnlyInTestIdAndCrossoverSkips) {
    const auto ne = CHighSpeedNearEnd().Build();
    const auto rep = CEHighSpeedNearEnd().Build();
    EXPECT_EQ(DifferingFields(*ne, *rep),
              (std::vector<std::string>{"m_nTestId", "m_nCrossoverFirst", "m_nCrossoverSkipLast"}));
    EXPECT_EQ(rep->m_nTestId, 10);
    EXPECT_EQ(rep->m_nCrossoverFirst, ne->m_nCrossoverFirst + 1);
    EXPECT_EQ(rep->m_nCrossoverSkipLast, ne->m_nCrossoverSkipLast + 1);
    CSigSpec patched = *ne;
    patched.m_nTestId = 10;
    patched.m_nCrossoverFirst = rep->m_nCrossoverFirst;
    patched.m_nCrossoverSkipLast = rep->m_nCrossoverSkipLast;
    EXPECT_TRUE(patched == *rep);
}

TEST(SpecTables, RateWindowsArePartsPerMillionOfTheNominalRate) {
    struct Window {
        NamedTable table;
        double nominal;
        double pass;    // relative half-width of the pass window
        double waiver;  // relative half-width of the waiver window
    };
    std::vector<Window> windows;
    for (auto& t : HighSpeedTables()) windows.push_back({t, 480e6, 500e-6, 550e-6});
    windows.push_back({FullAndLowSpeedTables()[0], 12e6, 0.0025, 0.0125});
    windows.push_back({FullAndLowSpeedTables()[1], 1.5e6, 0.015, 0.045});
    for (const auto& w : windows) {
        SCOPED_TRACE(w.table.name);
        const auto s = w.table.build();
        EXPECT_EQ(s->m_dRateMax, w.nominal * (1 + w.pass));
        EXPECT_EQ(s->m_dRateMin, w.nominal * (1 - w.pass));
        EXPECT_EQ(s->m_dRateWaiverMax, w.nominal * (1 + w.waiver));
        EXPECT_EQ(s->m_dRateWaiverMin, w.nominal * (1 - w.waiver));
        EXPECT_NEAR(s->m_dBitTime, 1.0 / w.nominal, 1e-15 / w.nominal);
    }
    // The low-speed maximum is the double just below 1522500, not 1522500 itself.
    const auto ls = CLowSpeed().Build();
    EXPECT_EQ(ls->m_dRateMax, std::nextafter(1522500.0, 0.0));
    EXPECT_LT(ls->m_dRateMax, 1522500.0);
}

TEST(SpecTables, SpeedAndSymbolsAgreeWithTheSignalConfiguration) {
    const auto config = CSignalConfig().BuildConfig();
    for (const auto& table : HighSpeedTables()) {
        SCOPED_TRACE(table.name);
        const auto s = table.build();
        EXPECT_EQ(s->m_nSpeed, config->m_nHighSpeed);
        EXPECT_EQ(s->m_EopSymbols, (std::vector<int32_t>{config->m_nSymJ, config->m_nSymK}));
        EXPECT_EQ(s->m_nIdleSymbol, config->m_nSymS);
        EXPECT_EQ(s->m_dEopScale, 1.0 / s->m_dBitTime);
    }
    const auto fs = CFullSpeedFarEnd().Build();
    const auto ls = CLowSpeed().Build();
    EXPECT_EQ(fs->m_nSpeed, config->m_nFullSpeed);
    EXPECT_EQ(ls->m_nSpeed, config->m_nLowSpeed);
    for (const auto* s : {fs.get(), ls.get()}) {
        EXPECT_EQ(s->m_EopSymbols, std::vector<int32_t>{config->m_nSymS});
        EXPECT_EQ(s->m_nIdleSymbol, config->m_nSymJ);
    }
}
