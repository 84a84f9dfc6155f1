#include <gtest/gtest.h>

#include <string>

#include "library/inrush/InrushCaptures.h"

using namespace inrush;

// 11 µC per volt passes and 30 µC per volt is waived, so 4.75 V lowers both limits
// (52 and 142 µC) below charges that pass and are waived at 5 V (55 and 150 µC). A
// capture that ends before the window has passed, or a supply outside 4.4-5.5 V, fails
// the test whatever the charge.
TEST(TestInrush, ChargeWindowAndSupplyGiveTheVerdicts) {
    struct Case {
        double volts, microcoulombs, after;
        const char* verdicts;  // charge, window, supply, overall: Pass, Waived, Fail
    } const cases[] = {
        {5.0, 40, 0.12, "PPPP"},   {5.0, 100, 0.12, "WPPW"}, {5.0, 200, 0.12, "FPPF"},
        {5.0, 54, 0.12, "PPPP"},   {4.75, 54, 0.12, "WPPW"}, {5.0, 148, 0.12, "WPPW"},
        {4.75, 148, 0.12, "FPPF"}, {5.0, 40, 0.05, "PFPF"},  {5.5, 40, 0.12, "PPPP"},
        {4.4, 40, 0.12, "PPPP"},   {4.3, 40, 0.12, "PPFF"},  {5.6, 100, 0.12, "WPFF"},
    };
    const auto code = [](char v) {
        return v == 'P' ? kCodes.m_nPass : v == 'W' ? kCodes.m_nWaived : kCodes.m_nFail;
    };
    const CTempFolder folder;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.volts) + " V, " + std::to_string(c.microcoulombs) + " µC, " +
                     std::to_string(c.after) + " s");
        synth::InrushParams p{.m_dAfterTime = c.after, .m_dVoltage = c.volts};
        // The closed-form charge grows with the peak: halving finds the peak that draws it.
        for (double lo = 0.06, hi = 100.0; hi - lo > 1e-9;) {
            p.m_dPeak = 0.5 * (lo + hi);
            synth::SynthTruth t;
            synth::MakeInrushSource(p, t);
            (t.m_dCharge < c.microcoulombs * 1e-6 ? lo : hi) = p.m_dPeak;
        }
        const auto [truth, r] = Analyse(p, folder);
        EXPECT_NEAR(r.m_dCharge, truth.m_dCharge, 0.02 * truth.m_dCharge);
        const int32_t got[] = {r.m_nChargeVerdict, r.m_nWindowVerdict, r.m_nSupplyVerdict,
                               r.m_nOverallVerdict};
        for (int i = 0; i < 4; ++i) EXPECT_EQ(got[i], code(c.verdicts[i])) << i;
    }
}
