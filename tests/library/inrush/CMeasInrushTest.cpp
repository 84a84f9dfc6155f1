#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "library/inrush/InrushCaptures.h"

using namespace inrush;
using synth::InrushParams;

// The trapezoids follow a 50 µs decay closely at every rate a scope offers, a region
// still above the threshold is cut where the window closes, a capture stamped with
// absolute time (from 0.5 s) is measured from its own trigger, and a rise a few
// samples before the trigger is caught from its start. Loading flags a rate under 1 MS/s.
TEST(MeasInrush, ChargeIsWithinTwoPercentOfTheTruthAtEveryRateAndTimeBase) {
    const InrushParams cases[] = {{.m_dSampleRate = 0.5e6},
                                  {.m_dSampleRate = 1e6},
                                  {.m_dSampleRate = 2.5e6},
                                  {.m_dSampleRate = 10e6},
                                  {.m_dSteady = 0.3},
                                  {.m_dAttachTime = -5e-6},
                                  {.m_dStartTime = 0.5, .m_dAttachTime = 0.501}};
    const CTempFolder folder;
    for (const InrushParams& p : cases) {
        SCOPED_TRACE(std::to_string(p.m_dSampleRate) + " S/s, attach at " +
                     std::to_string(p.m_dAttachTime) + " s, steady " + std::to_string(p.m_dSteady));
        const auto [truth, r] = Analyse(p, folder);
        ASSERT_EQ(r.m_RegionCharge.size(), 1u);
        EXPECT_NEAR(r.m_dCharge, truth.m_dCharge, 0.02 * truth.m_dCharge);
        EXPECT_NEAR(r.m_RegionStart[0], truth.m_dInrushStart, 1.0 / p.m_dSampleRate);
        // A lone region is followed to the end of the window.
        EXPECT_NEAR(r.m_RegionEnd[0], r.m_RegionStart[0] + kLimits.m_dWindow,
                    1.0 / p.m_dSampleRate);
        EXPECT_NEAR(r.m_dAfterTime, kLimits.m_dWindow, 1.0 / p.m_dSampleRate);
        EXPECT_FALSE(r.m_bNoInrush);
        EXPECT_EQ(r.m_nLowRate, p.m_dSampleRate < 1e6 ? 1 : 0);
    }
    // A current probe saved by any scope the signal path reads: one int16 trace, whose
    // quantization step must not move the charge.
    for (const char* name : {"i.bin", "i.wfm", "i.trc", "i.Wfm.bin"}) {
        SCOPED_TRACE(name);
        const auto [truth, r] = Analyse({}, folder, name);
        ASSERT_EQ(r.m_RegionCharge.size(), 1u);
        EXPECT_NEAR(r.m_dCharge, truth.m_dCharge, 0.02 * truth.m_dCharge);
    }
}

// A second attach far from the first is a region of its own, and the larger charge is
// judged whichever comes first; one whose dip below the threshold lasts less than 100 µs
// joins the first region (a 1 A pulse falls back through it 152 µs after its attach,
// and the tail it leaves lifts the second pulse by under 4 %).
TEST(MeasInrush, SeparateRegionsAreMeasuredAndCloseOnesBridged) {
    const InrushParams cases[] = {{.m_dSecondDelay = 2e-3, .m_dSecondPeak = 2.0},
                                  {.m_dSecondDelay = 2e-3, .m_dSecondPeak = 0.5},
                                  {.m_dSecondDelay = 300e-6, .m_dSecondPeak = 1.0},
                                  {.m_dSecondDelay = 200e-6, .m_dSecondPeak = 1.0}};
    const CTempFolder folder;
    for (const InrushParams& p : cases) {
        SCOPED_TRACE(std::to_string(p.m_dSecondDelay) + " s, " + std::to_string(p.m_dSecondPeak));
        synth::SynthTruth first, second;
        synth::MakeInrushSource({}, first);
        synth::MakeInrushSource({.m_dPeak = p.m_dSecondPeak}, second);
        const auto [truth, r] = Analyse(p, folder);
        if (p.m_dSecondDelay < 250e-6) {
            ASSERT_EQ(r.m_RegionCharge.size(), 1u);
            EXPECT_GT(r.m_dCharge, first.m_dCharge + second.m_dCharge);
            EXPECT_LT(r.m_dCharge, 1.04 * (first.m_dCharge + second.m_dCharge));
            continue;
        }
        ASSERT_EQ(r.m_RegionCharge.size(), 2u);
        EXPECT_NEAR(r.m_RegionCharge[0], first.m_dCharge, 0.02 * first.m_dCharge);
        EXPECT_NEAR(r.m_RegionCharge[1], second.m_dCharge, 0.02 * second.m_dCharge);
        EXPECT_NEAR(r.m_RegionStart[1], p.m_dAttachTime + p.m_dSecondDelay, 2e-6);
        // The first closes one bridging gap after its drop.
        EXPECT_NEAR(r.m_RegionEnd[0], first.m_dInrushEnd + 100e-6, 2e-6);
        EXPECT_EQ(r.m_dCharge, std::max(r.m_RegionCharge[0], r.m_RegionCharge[1]));
    }
}

// No current above the threshold is a measured absence of inrush, said plainly (a quiet
// capture shorter than the window may have missed the attach); a current above it that
// is not the attach, too late or only before the trigger, is no measurement at all.
TEST(MeasInrush, TracesWithoutAMeasurableInrushAreToldApart) {
    const CTempFolder folder;
    for (const double after : {0.15, 0.05}) {
        const auto [truth, r] = Analyse({.m_dAfterTime = after, .m_dPeak = 0.03}, folder);
        EXPECT_TRUE(r.m_bNoInrush && r.m_RegionCharge.empty() && r.m_dCharge == 0.0);
        EXPECT_EQ(r.m_nChargeVerdict, kCodes.m_nPass);
        EXPECT_EQ(r.m_nWindowVerdict, after > 0.1 ? kCodes.m_nPass : kCodes.m_nFail);
    }
    EXPECT_EQ(FailureText([&] { Analyse({.m_dAttachTime = 0.2, .m_dAfterTime = 0.05}, folder); }),
              "Inrush current rises above the threshold only after the window");
    EXPECT_EQ(FailureText([&] {
                  Analyse({.m_dStartTime = -10e-3, .m_dAttachTime = -9e-3, .m_dAfterTime = 9.5e-3},
                          folder);
              }),
              "Inrush current is above the threshold only before the trigger");
}
