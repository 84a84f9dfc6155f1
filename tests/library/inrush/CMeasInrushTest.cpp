#include <gtest/gtest.h>

#include <string>

#include "entry/CAnalysisError.h"
#include "library/inrush/InrushCaptures.h"

using inrush::Analyse;
using inrush::Limits;

// The trapezoids follow a 50 µs decay closely at every rate a scope offers, the
// region is cut where the window closes, and a capture stamped with absolute time
// (starting at 0.5 s) is measured from its own trigger; a rise a few samples before
// the trigger is caught from its start.
TEST(MeasInrush, ChargeIsWithinTwoPercentOfTheTruthAtEveryRateAndTimeBase) {
    struct Case {
        double rate, start, attach, steady;
    } const cases[] = {{0.5e6, -1e-3, 0.5e-3, 0.05}, {1e6, -1e-3, 0.5e-3, 0.05},
                       {2.5e6, -1e-3, 0.5e-3, 0.05}, {10e6, -1e-3, 0.5e-3, 0.05},
                       {1e6, -1e-3, 0.5e-3, 0.3},    {1e6, -1e-3, -5e-6, 0.05},
                       {1e6, 0.5, 0.501, 0.05}};
    const CTempFolder folder;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.rate) + " S/s from " + std::to_string(c.start) + " s");
        synth::InrushParams p;
        p.m_dSampleRate = c.rate;
        p.m_dStartTime = c.start;
        p.m_dAttachTime = c.attach;
        p.m_dSteady = c.steady;
        p.m_dAfterTime = 0.12;
        const auto [truth, r] = Analyse(p, folder);
        ASSERT_EQ(r.m_RegionCharge.size(), 1u);
        EXPECT_NEAR(r.m_dCharge, truth.m_dCharge, 0.02 * truth.m_dCharge);
        EXPECT_NEAR(r.m_RegionStart[0], truth.m_dInrushStart, 1.0 / c.rate);
        EXPECT_NEAR(r.m_RegionEnd[0], truth.m_dInrushEnd, 1.0 / c.rate);
        EXPECT_NEAR(r.m_dAfterTime, Limits().m_dWindow, 1.0 / c.rate);
        EXPECT_FALSE(r.m_bNoInrush);
    }
}

// A second attach far from the first is a region of its own, and the larger charge
// is judged whichever comes first; one whose dip below the threshold is shorter
// than 100 µs belongs to the first region. The first 1 A pulse falls back through
// the threshold 152 µs after its attach.
TEST(MeasInrush, SeparateRegionsAreMeasuredAndCloseOnesBridged) {
    struct Case {
        double delay, secondPeak;
        std::size_t regions;
    } const cases[] = {{2e-3, 2.0, 2}, {2e-3, 0.5, 2}, {300e-6, 1.0, 2}, {200e-6, 1.0, 1}};
    const CTempFolder folder;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.delay) + " s, " + std::to_string(c.secondPeak) + " A");
        synth::InrushParams p;
        p.m_dAfterTime = 0.12;
        synth::SynthTruth first, second;
        synth::MakeInrushSource(p, first);
        synth::InrushParams alone = p;
        alone.m_dPeak = c.secondPeak;
        synth::MakeInrushSource(alone, second);
        p.m_dSecondDelay = c.delay;
        p.m_dSecondPeak = c.secondPeak;
        const auto [truth, r] = Analyse(p, folder);
        ASSERT_EQ(r.m_RegionCharge.size(), c.regions);
        if (c.regions == 2) {
            EXPECT_NEAR(r.m_RegionCharge[0], first.m_dCharge, 0.02 * first.m_dCharge);
            EXPECT_NEAR(r.m_RegionCharge[1], second.m_dCharge, 0.02 * second.m_dCharge);
            EXPECT_NEAR(r.m_RegionStart[1], p.m_dAttachTime + c.delay, 2e-6);
            EXPECT_DOUBLE_EQ(r.m_dCharge, std::max(r.m_RegionCharge[0], r.m_RegionCharge[1]));
        } else {
            // The tail of the first pulse lifts the second by at most 2 %.
            const double both = first.m_dCharge + second.m_dCharge;
            EXPECT_GT(r.m_dCharge, both);
            EXPECT_LT(r.m_dCharge, 1.04 * both);
        }
    }
}

// No current above the threshold is a measured absence of inrush, said plainly; a
// current above it that is not the attach (too late, or only before the trigger) is
// no measurement at all.
TEST(MeasInrush, TracesWithoutAMeasurableInrushAreToldApart) {
    const CTempFolder folder;
    // A quiet capture that ends before the window may have missed the attach.
    for (const double after : {0.15, 0.05}) {
        synth::InrushParams quiet;
        quiet.m_dPeak = 0.03;
        quiet.m_dAfterTime = after;
        const auto [truth, r] = Analyse(quiet, folder);
        EXPECT_TRUE(r.m_bNoInrush);
        EXPECT_TRUE(r.m_RegionCharge.empty());
        EXPECT_EQ(r.m_dCharge, 0.0);
        EXPECT_EQ(r.m_nChargeVerdict, inrush::Codes().m_nPass);
        EXPECT_EQ(r.m_nWindowVerdict,
                  after > 0.1 ? inrush::Codes().m_nPass : inrush::Codes().m_nFail);
    }

    struct Case {
        double start, attach, after;
        const char* text;
    } const cases[] = {
        {-1e-3, 0.2, 0.05, "Inrush current rises above the threshold only after the window"},
        {-10e-3, -9e-3, 9.5e-3, "Inrush current is above the threshold only before the trigger"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        synth::InrushParams p;
        p.m_dStartTime = c.start;
        p.m_dAttachTime = c.attach;
        p.m_dAfterTime = c.after;
        try {
            Analyse(p, folder);
            ADD_FAILURE() << "measured";
        } catch (const CAnalysisError& e) {
            EXPECT_EQ(e.Text(), c.text);
        }
    }
    CInrushRecord single;
    single.m_Time = {0.0};
    single.m_Current = {1.0};
    EXPECT_THROW(CMeasInrush().MeasureInrush(std::move(single), inrush::Limits()), CAnalysisError);
}
