#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "report/CSignalHtml.h"
#include "signal/CTestPackets.h"
#include "spec/CSigTestSpec.h"
#include "spec/CSignalConfig.h"

namespace {

const CToolboxRecord kToolbox = CToolboxGlobals().GetGlobals();
const std::string kPass = kToolbox.m_strPassFont;
const std::string kFail = kToolbox.m_strFailFont;

CSigSpec Spec(const std::string& keyword, unsigned hubs = 0) {
    std::unique_ptr<CSigSpec> spec = CSigTestSpec().SelectSpec(keyword);
    AdjustForHubs(*spec, keyword, hubs);
    return *spec;
}

// A clean full-speed packet: 12 Mbit/s, a 2-bit EOP, crossovers near 1.6 V, jitter of
// a few hundred picoseconds, 400 V/us edges.
CPacketMeasurement FullSpeedPacket() {
    CPacketMeasurement m;
    m.m_dUnitInterval = 1.0 / 12e6;
    m.m_bAllEdgesFound = 1;
    m.m_dEopStart = 1e-6;
    m.m_dEopEnd = 1e-6 + 2.0 / 12e6;
    for (int i = 0; i < 12; ++i) m.m_Crossings.push_back({0, 1.55 + 0.01 * i, 1e-7 * i, 0, 0});
    m.m_nCrossings = 12;
    m.m_dFirstCrossover = 1.55;
    m.m_dMinCrossover = 1.55;
    m.m_dMaxCrossover = 1.66;
    m.m_dMeanCrossover = 1.6;
    m.m_nJitterCount = 11;
    m.m_dConsecJitterMin = -5e-10;
    m.m_dConsecJitterMax = 5e-10;
    m.m_dJKJitterMin = -3e-10;
    m.m_dJKJitterMax = 3e-10;
    m.m_dKJJitterMin = -3e-10;
    m.m_dKJJitterMax = 3e-10;
    m.m_nSyncMatches = 1;
    m.m_dRiseRate = 400;
    m.m_dFallRate = 400;
    m.m_dMonotonic = 0.01;
    m.m_dMaxVoltage = 3.3;
    return m;
}

CPacketMeasurement HighSpeedPacket() {
    CPacketMeasurement m = FullSpeedPacket();
    m.m_Crossings.clear();
    m.m_dUnitInterval = 1.0 / 480e6;
    m.m_dEopEnd = m.m_dEopStart + 8.0 / 480e6;
    m.m_dRiseRate = 1500;
    m.m_dFallRate = 1500;
    m.m_dMaxVoltage = 0.4;
    m.m_dMinVoltage = -0.4;
    return m;
}

struct Report {
    CPacketVerdict verdict;
    CSignalFragments f;
};

// Fragments of a measurement judged by the verdict stage; `edit` may then set a
// verdict code by hand to reach a wording the measurement alone does not give.
template <typename Edit>
Report Build(const CPacketMeasurement& m, const CSigSpec& spec, uint32_t hubs, bool isEusb,
             Edit edit) {
    static const std::unique_ptr<CSigConfig> config = CSignalConfig().BuildConfig();
    CAnalysisRecord record;
    record.m_nHubs = hubs;
    record.m_dSampleRate = 4e9;
    Report r{CTestPackets().TestPacket(m, *config, spec, hubs), {}};
    edit(r.verdict);
    r.f = CSignalHtml().BuildFragments(r.verdict, kToolbox, spec, m, record, isEusb);
    return r;
}

Report Build(const CPacketMeasurement& m, const CSigSpec& spec, uint32_t hubs = 0,
             bool isEusb = false) {
    return Build(m, spec, hubs, isEusb, [](CPacketVerdict&) {});
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

}  // namespace

TEST(SignalMessages, PassingFullSpeedPacketIsWordedInGreenWithNanosecondEdges) {
    const CSignalFragments f = Build(FullSpeedPacket(), Spec("fs")).f;
    EXPECT_EQ(f.m_strOverall, "<li>" + kPass + "Overall result: pass!</font><p>\n");
    EXPECT_EQ(f.m_strSync, "<li>Sync result:<br>\n    " + kPass + "sync passes<br></font>\n");
    EXPECT_EQ(f.m_strEopWidth,
              "  <li>EOP width: 166.67 ns<br>\n    " + kPass + "EOP width passes<br></font>\n");
    EXPECT_EQ(f.m_strSignalRate, "<li>Measured signaling rate: 12.0000 MHz<br>\n    " + kPass +
                                     "signal rate passes<br></font>\n");
    EXPECT_TRUE(Has(f.m_strCrossover,
                    "Crossover voltage range: 1.55 V to 1.66 V, mean crossover "
                    "1.60 V<br>\n     (first crossover at 1.55 V, 11 other"));
    EXPECT_TRUE(Has(f.m_strCrossover, kPass + "crossover voltages pass"));
    EXPECT_TRUE(Has(f.m_strJitter, "<li>Consecutive jitter range: -500.000 ps to 500.000 ps"));
    EXPECT_TRUE(Has(f.m_strJitter, "<li>Paired KJ jitter range: -300.000 ps to 300.000 ps"));
    EXPECT_TRUE(Has(f.m_strJitter, kPass + "jitter passes<br></font>\n"));
    // 2.64 V at 400 V/us takes 6.6 ns.
    EXPECT_EQ(f.m_strRiseRate,
              "<li>Rising Edge Rate: 400.00  V/us (Equivalent risetime = 6.60 ns)<br>\n");
    EXPECT_TRUE(f.m_strRiseVerdict.empty());
    EXPECT_TRUE(f.m_strFallVerdict.empty());
    EXPECT_EQ(f.m_strMonotonicity, "<li>Edge Monotonicity:  10 mV<br>\n");
    EXPECT_EQ(f.m_strVersion, "2.20.00");
    EXPECT_TRUE(f.m_strSampleRateWarning.empty());
}

TEST(SignalMessages, HighSpeedEyeValuesAreInMillivoltsAndFailuresInRed) {
    CPacketMeasurement m = HighSpeedPacket();
    m.m_dMarginAboveEye = 0.0123;
    m.m_dMarginBelowEye = -0.002;
    const CSignalFragments f = Build(m, Spec("hsne")).f;
    EXPECT_EQ(f.m_strMarginAboveEye, "<li>Margin Above eye: 12.3000 mV<br>\n");
    EXPECT_EQ(f.m_strMarginBelowEye, "<li>" + kFail + "Margin Below eye: -2.0000 mV<br></font>\n");
    EXPECT_EQ(f.m_strMaxVoltage, "<li>Maximum Voltage: 400.0000 mV<br>\n\n");
    EXPECT_TRUE(f.m_strCrossover.empty());
    // 0.64 V at 1500 V/us takes about 427 ps.
    EXPECT_TRUE(Has(f.m_strRiseRate, "1500.00  V/us (426.67 ps equivalent risetime)"));
    EXPECT_EQ(f.m_strRiseVerdict, "    " + kPass + "passes<br></font>\n");

    const CSignalFragments fs = Build(FullSpeedPacket(), Spec("fs")).f;
    EXPECT_EQ(fs.m_strMaxVoltage, "<li>Maximum Voltage: 3.3000 V<br>\n\n");
}

TEST(SignalMessages, EyeLinesCountViolationsBeyondTheExceptions) {
    CPacketMeasurement m = HighSpeedPacket();
    m.m_nEyeViolations = 1;
    EXPECT_EQ(Build(m, Spec("hsne")).f.m_strEye,
              "<li>Signal eye:<br>\n    " + kFail +
                  "*** eye failure! *** &nbsp;(1 data point violates eye) <br></font>\n");
    m.m_nEyeViolations = 5;
    m.m_nExceptions = 2;
    m.m_nFirstExcepted = 2;
    const std::string failed = Build(m, Spec("hsne")).f.m_strEye;
    EXPECT_TRUE(Has(failed, "(3 data points violate eye)"));
    EXPECT_FALSE(Has(failed, "transition exception"));  // a plain failure carries no note

    // Waived: more points outside the second template than were excepted.
    m.m_nEyeViolations = 2;
    m.m_nEyeViolationsFinal = 2;
    m.m_nExceptions = 1;
    m.m_nFirstExcepted = 1;
    const Report waived = Build(m, Spec("hsne"));
    ASSERT_EQ(waived.verdict.m_nEye, kToolbox.m_nWaived);
    EXPECT_TRUE(Has(waived.f.m_strEye, "*** waiver granted ***<br>\n" + kPass +
                                           "*** first transition exception invoked ***"));

    const std::string untested =
        Build(m, Spec("hsne"), 0, false, [](CPacketVerdict& v) { v.m_nEye = 0; }).f.m_strEye;
    EXPECT_EQ(untested,
              "<li>" + kFail + "*** eye failure! *** &nbsp;Eye could not be tested.<br></font>\n");
}

TEST(SignalMessages, SyncLinesNameTheHubsOrRepeatersThatDroppedBits) {
    CPacketMeasurement m = HighSpeedPacket();
    m.m_nSyncBitsDropped = 6;
    EXPECT_EQ(
        Build(m, Spec("hshub", 2), 2).f.m_strSync,
        "<li>Sync results: 2 hubs dropped 6 sync bits<br>\n" + kPass + "sync passes<br></font>\n");
    m.m_nSyncBitsDropped = 9;
    EXPECT_EQ(Build(m, Spec("hshub", 2), 2).f.m_strSync,
              "<li>Sync results: 9 bits dropped (maximum sync bits dropped for 2 hubs: "
              "8)<br\n>" +
                  kFail + "*** hub failure ***<br></font>\n");
    EXPECT_TRUE(Has(Build(m, Spec("ehsrep", 2), 2, true).f.m_strSync,
                    "for 2 repeaters: 8)<br\n>" + kFail + "*** repeater failure ***"));
    m.m_nSyncBitsDropped = 1;
    EXPECT_EQ(Build(m, Spec("ehsrep", 1), 1, true).f.m_strSync,
              "<li>Sync result: 1 Repeater dropped 1 sync bit<br>\n" + kPass +
                  "sync passes<br></font>\n");
    EXPECT_EQ(Build(m, Spec("hsne")).f.m_strSync,
              "<li>Sync result: 1 bits short<br>" + kFail + "sync fails<br></font>\n");

    m.m_nSyncBitsDropped = 0;
    EXPECT_TRUE(Build(m, Spec("hshub", 2), 2).f.m_strSync.empty());
    // A SYNC that was not found at all is named even behind hubs.
    m.m_nSyncMatches = 0;
    const Report missing = Build(m, Spec("fshub"), 2);
    EXPECT_EQ(missing.verdict.m_nOverall, kToolbox.m_nFail);
    EXPECT_TRUE(Has(missing.f.m_strSync, "*** Sync not found! ***"));
}

TEST(SignalMessages, FiguresThatCouldNotBeMeasuredSayWhyTheOverallFails) {
    CPacketMeasurement m = FullSpeedPacket();
    m.m_Crossings.resize(2);
    m.m_nJitterCount = 3;
    m.m_dUnitInterval = 0.0 / 0.0;
    m.m_dEopEnd = 0.0 / 0.0;
    const Report r = Build(m, Spec("fs"));
    EXPECT_EQ(r.f.m_strCrossover, "  <li>" + kFail +
                                      "*** Crossover voltage failure! *** &nbsp;Less than 2 "
                                      "crossovers found between 1.30 V and 2.00 V.<br></font>\n");
    EXPECT_EQ(
        r.f.m_strJitter,
        "<li>" + kFail + "*** Jitter could not be measured - insufficient data ***<br></font>\n");
    EXPECT_EQ(r.f.m_strSignalRate,
              "    " + kFail +
                  "*** signal rate failure *** Signal rate could not be measured.<br></font>\n");
    EXPECT_TRUE(Has(r.f.m_strEopWidth, "EOP identification failure!"));
    EXPECT_FALSE(Has(r.f.m_strEopWidth, "nan"));
    EXPECT_EQ(r.verdict.m_nOverall, kToolbox.m_nFail);

    // At high speed jitter has no verdict line, so no data leaves the fragment empty.
    EXPECT_TRUE(Build(HighSpeedPacket(), Spec("hsne"), 0, false, [](CPacketVerdict& v) {
                    v.m_nJitter = kToolbox.m_nNoData;
                }).f.m_strJitter.empty());

    const CSignalFragments missed =
        Build(m, Spec("fs"), 0, false, [](CPacketVerdict& v) { v.m_bAllEdgesFound = 0; }).f;
    EXPECT_TRUE(Has(missed.m_strOverall, "Overall result: fail!"));
    EXPECT_TRUE(
        Has(missed.m_strOverall, "Could not detect all edges with sample rate of 4.000 GS/s"));
    const CSignalFragments untested =
        Build(m, Spec("fs"), 0, false, [](CPacketVerdict& v) { v.m_nMonotonic = 0; }).f;
    EXPECT_EQ(untested.m_strMonotonicVerdict,
              "    " + kFail + "*** Monotonic Edge failure! *** (limit 500 mV)<br></font>\n");
}

TEST(SignalMessages, EopFailureLimitsStayInsideTheRedFontAndHubBoundsKeepTheirUnit) {
    CPacketMeasurement m = HighSpeedPacket();
    m.m_dEopEnd = m.m_dEopStart + 60.0 / 480e6;
    EXPECT_EQ(Build(m, Spec("hsne")).f.m_strEopWidth,
              "  <li>EOP width: 60.00  bits<br>\n    " + kFail +
                  "*** EOPwidth failure! ***<br>\n&nbsp;(minimum 39.50  bits, maximum 40.50  "
                  "bits)<br></font>\n");
    m.m_dEopEnd = m.m_dEopStart + 20.0 / 480e6;
    EXPECT_TRUE(Has(Build(m, Spec("hshub", 2), 2).f.m_strEopWidth,
                    "(minimum 7.50  bits, maximum 16.50  bits)<br></font>\n    " + kPass +
                        "*** waiver granted ***"));
    // A failing hub packet names the bounds it was judged against, not the start-of-frame ones.
    m.m_dEopEnd = m.m_dEopStart + 25.0 / 480e6;
    EXPECT_TRUE(Has(Build(m, Spec("hshub", 2), 2).f.m_strEopWidth,
                    "(minimum 7.50  bits, maximum 16.50  bits)<br></font>\n"));

    // Full-speed hub port: a 158 ns EOP is waived against the ordinary limits in ns.
    CPacketMeasurement fs = FullSpeedPacket();
    fs.m_dEopEnd = fs.m_dEopStart + 158e-9;
    const Report r = Build(fs, Spec("fshub"), 1);
    ASSERT_EQ(r.verdict.m_nEopWidth, kToolbox.m_nWaived);
    EXPECT_TRUE(Has(r.f.m_strEopWidth, "(minimum 160.00 ns, maximum 175.00 ns)"));
}
