#include <gtest/gtest.h>

#include <string>

#include "library/inrush/InrushCaptures.h"

namespace {

int32_t Code(char verdict) {
    const CToolboxRecord& c = inrush::Codes();
    return verdict == 'P' ? c.m_nPass : verdict == 'W' ? c.m_nWaived : c.m_nFail;
}

}  // namespace

// 11 µC per volt passes and 30 µC per volt is waived, so 4.75 V lowers both limits
// (52 and 142 µC) below the charges that pass and are waived at 5 V (55 and 150 µC).
// A capture that ends before the window has passed, or a supply outside 4.4-5.5 V,
// fails the test whatever the charge.
TEST(TestInrush, ChargeWindowAndSupplyGiveTheVerdicts) {
    struct Case {
        double volts, microcoulombs, after;
        const char* verdicts;  // charge, window, supply, overall
    } const cases[] = {
        {5.0, 40, 0.12, "PPPP"},   {5.0, 100, 0.12, "WPPW"}, {5.0, 200, 0.12, "FPPF"},
        {5.0, 54, 0.12, "PPPP"},   {4.75, 54, 0.12, "WPPW"}, {5.0, 148, 0.12, "WPPW"},
        {4.75, 148, 0.12, "FPPF"}, {5.0, 40, 0.05, "PFPF"},  {5.5, 40, 0.12, "PPPP"},
        {4.4, 40, 0.12, "PPPP"},   {4.3, 40, 0.12, "PPFF"},  {5.6, 100, 0.12, "WPFF"},
    };
    const CTempFolder folder;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.volts) + " V, " + std::to_string(c.microcoulombs) + " µC, " +
                     std::to_string(c.after) + " s");
        synth::InrushParams p;
        p.m_dVoltage = c.volts;
        p.m_dAfterTime = c.after;
        p.m_dPeak = inrush::PeakFor(c.microcoulombs * 1e-6, p);
        const auto [truth, r] = inrush::Analyse(p, folder);
        EXPECT_NEAR(r.m_dCharge, truth.m_dCharge, 0.02 * truth.m_dCharge);
        EXPECT_EQ(r.m_nChargeVerdict, Code(c.verdicts[0]));
        EXPECT_EQ(r.m_nWindowVerdict, Code(c.verdicts[1]));
        EXPECT_EQ(r.m_nSupplyVerdict, Code(c.verdicts[2]));
        EXPECT_EQ(r.m_nOverallVerdict, Code(c.verdicts[3]));
    }
}
