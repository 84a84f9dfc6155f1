#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "library/AnalysisRun.h"
#include "library/signal/SignalCaptures.h"
#include "report/CSignalHtml.h"

namespace {

const CToolboxRecord& kCodes = captures::Codes();

// What one row of the table words: a clean packet, edited.
struct CPacket {
    CPacketMeasurement m;
    CPacketVerdict v;
    CAnalysisRecord r;
};

using F = CSignalFragments;
const int32_t kFail = kCodes.m_nFail, kWaived = kCodes.m_nWaived, kNone = kCodes.m_nNotTested;
const auto kClean = [](CPacket&) {};

struct CWording {
    const char* keyword;
    unsigned hubs;
    bool eusb;
    std::string F::*fragment;
    std::function<void(CPacket&)> edit;
    // The whole fragment, or with a leading "..." a part of it; {P}, {F} and {W}
    // stand for the pass, fail and warning fonts (a waiver is in the pass font).
    std::string text;
};

// An eye check that found `outside` points outside the template, `excepted` of
// them excepted, the first transition's among them when `first` is set.
std::function<void(CPacket&)> Eye(int outside, int excepted, int first, int32_t code) {
    return [=](CPacket& p) {
        p.m.m_nEyeViolations = outside, p.m.m_nExceptions = excepted;
        p.m.m_nFirstExcepted = first, p.v.m_nEye = code;
    };
}

// clang-format off
const CWording kWordings[] = {
    {"fs", 0, false, &F::m_strCrossover, kClean,
     "  <li>Crossover voltage range: 1.55 V to 1.66 V, mean crossover 1.60 V<br>\n     (first "
     "crossover at 1.55 V, 11 other differential crossovers checked)<br>\n   {P}crossover "
     "voltages pass<br></font>\n"},
    {"fs", 0, false, &F::m_strCrossover, [](CPacket& p) { p.v.m_nCrossover = kNone; },
     "  <li>{F}*** Crossover voltage failure! *** &nbsp;Less than 2 crossovers found between "
     "1.30 V and 2.00 V.<br></font>\n"},
    {"hsne", 0, false, &F::m_strCrossover, kClean, ""},
    {"fs", 0, false, &F::m_strEopWidth, kClean,
     "  <li>EOP width: 166.67 ns<br>\n    {P}EOP width passes<br></font>\n"},
    {"hsne", 0, false, &F::m_strEopWidth,
     [](CPacket& p) { p.m.m_dEopEnd = p.m.m_dEopStart + 60 / 480e6, p.v.m_nEopWidth = kFail; },
     "  <li>EOP width: 60.00  bits<br>\n    {F}*** EOPwidth failure! ***<br>\n&nbsp;(minimum "
     "39.50  bits, maximum 40.50  bits)<br></font>\n"},
    {"hshub", 2, false, &F::m_strEopWidth,
     [](CPacket& p) { p.m.m_dEopEnd = p.m.m_dEopStart + 20 / 480e6, p.v.m_nEopWidth = kWaived; },
     "...(minimum 7.50  bits, maximum 16.50  bits)<br></font>\n"},
    {"fshub", 1, false, &F::m_strEopWidth,
     [](CPacket& p) { p.m.m_dEopEnd = p.m.m_dEopStart + 158e-9, p.v.m_nEopWidth = kWaived; },
     "...(minimum 160.00 ns, maximum 175.00 ns)"},
    {"fs", 0, false, &F::m_strEopWidth, [](CPacket& p) { p.v.m_nEopWidth = kNone; },
     "  <li>{F}*** EOP identification failure! *** &nbsp;(didn't find two single ended "
     "edges)<br>\n    Check input data, crossover voltages, and EOP.<br></font>\n"},
    {"fs", 0, false, &F::m_strSignalRate,
     [](CPacket& p) { p.m.m_dUnitInterval = 1 / 12.1e6, p.v.m_nSignalRate = kWaived; },
     "<li>Measured signaling rate: 12.1000 MHz<br>\n    {F}*** signal rate failure *** "
     "&nbsp;(minimum 11.9700 MHz, maximum 12.0300 MHz)<br></font>\n    {P}*** waiver granted "
     "***<br></font>\n"},
    {"fs", 0, false, &F::m_strSignalRate, [](CPacket& p) { p.v.m_nSignalRate = kNone; },
     "    {F}*** signal rate failure *** Signal rate could not be measured.<br></font>\n"},
    {"hsne", 0, false, &F::m_strSync,
     [](CPacket& p) { p.m.m_nSyncBitsDropped = 1, p.v.m_nSyncLength = kFail; },
     "<li>Sync result: 1 bits short<br>{F}sync fails<br></font>\n"},
    {"hshub", 2, false, &F::m_strSync,
     [](CPacket& p) { p.m.m_nSyncBitsDropped = 9, p.v.m_nHubSync = kFail; },
     "<li>Sync results: 9 bits dropped (maximum sync bits dropped for 2 hubs: 8)<br\n>{F}*** hub "
     "failure ***<br></font>\n"},
    {"ehsrep", 1, true, &F::m_strSync, [](CPacket& p) { p.m.m_nSyncBitsDropped = 1; },
     "<li>Sync result: 1 Repeater dropped 1 sync bit<br>\n{P}sync passes<br></font>\n"},
    {"ehsrep", 2, true, &F::m_strSync,
     [](CPacket& p) { p.m.m_nSyncBitsDropped = 9, p.v.m_nHubSync = kFail; },
     "...for 2 repeaters: 8)<br\n>{F}*** repeater failure ***"},
    {"fshub", 2, false, &F::m_strSync, [](CPacket& p) { p.v.m_nSyncFound = kFail; },
     "<li>{F}   *** Sync not found! ***<br></font>\n    {F} 0 sync bits dropped<br></font>\n"},
    {"hsne", 0, false, &F::m_strEye, Eye(1, 0, 0, kFail),
     "<li>Signal eye:<br>\n    {F}*** eye failure! *** &nbsp;(1 data point violates eye) "
     "<br></font>\n"},
    {"hsne", 0, false, &F::m_strEye, Eye(5, 2, 1, kFail),
     "<li>Signal eye:<br>\n    {F}*** eye failure! *** &nbsp;(3 data points violate eye) "
     "<br></font>\n"},
    {"hsne", 0, false, &F::m_strEye, Eye(2, 1, 1, kWaived),
     "...*** waiver granted ***<br>\n{P}*** first transition exception invoked ***<br></font>\n"},
    {"hsne", 0, false, &F::m_strEye, Eye(5, 3, 0, kCodes.m_nCode7),
     "...(3 data points violate eye) <br></font>\n"},
    {"hsne", 0, false, &F::m_strEye, [](CPacket& p) { p.v.m_nEye = kNone; },
     "<li>{F}*** eye failure! *** &nbsp;Eye could not be tested.<br></font>\n"},
    {"hsne", 0, false, &F::m_strMarginAboveEye, kClean, "<li>Margin Above eye: 12.3000 mV<br>\n"},
    {"hsne", 0, false, &F::m_strMarginBelowEye,
     [](CPacket& p) { p.m.m_dMarginBelowEye = -0.002, p.v.m_bMarginBelowEye = 0; },
     "<li>{F}Margin Below eye: -2.0000 mV<br></font>\n"},
    {"fs", 0, false, &F::m_strJitter, kClean,
     "<li>Consecutive jitter range: -500.000 ps to 500.000 ps, RMS jitter 200.000 ps<br>\n"
     "<li>Paired JK jitter range: -300.000 ps to 300.000 ps, RMS jitter 0.000 ps<br>\n<li>Paired "
     "KJ jitter range: -300.000 ps to 300.000 ps, RMS jitter 0.000 ps<br>\n{P}jitter "
     "passes<br></font>\n"},
    {"fs", 0, false, &F::m_strJitter, [](CPacket& p) { p.v.m_nJitter = kCodes.m_nNoData; },
     "<li>{F}*** Jitter could not be measured - insufficient data ***<br></font>\n"},
    {"hsne", 0, false, &F::m_strJitter, [](CPacket& p) { p.v.m_nJitter = kCodes.m_nNoData; }, ""},
    {"fs", 0, false, &F::m_strRiseRate, kClean,
     "<li>Rising Edge Rate: 400.00  V/us (Equivalent risetime = 6.60 ns)<br>\n"},
    {"hsne", 0, false, &F::m_strRiseRate, kClean,
     "<li>Rising Edge Rate: 1500.00  V/us (426.67 ps equivalent risetime)<br>\n"},
    {"hsne", 0, false, &F::m_strRiseVerdict, [](CPacket& p) { p.v.m_nFallRate = kFail; },
     "    {P}passes<br></font>\n"},
    {"hsne", 0, false, &F::m_strFallVerdict, [](CPacket& p) { p.v.m_nFallRate = kFail; },
     "{F}*** Falling Edge Rate failure! *** &nbsp;(maximum 2133.00  V/us)</font> {W}To constrain "
     "potential EMI or crosstalk the edge rates must be 100ps (6400V/us) or slower.<br></font>\n"},
    {"fs", 0, false, &F::m_strMonotonicity, kClean, "<li>Edge Monotonicity:  10 mV<br>\n"},
    {"fs", 0, false, &F::m_strMonotonicVerdict, [](CPacket& p) { p.v.m_nMonotonic = kNone; },
     "    {F}*** Monotonic Edge failure! *** (limit 500 mV)<br></font>\n"},
};
// clang-format on

}  // namespace

TEST(SignalMessages, EveryVerdictIsWordedInItsUnitsAndColour) {
    for (const CWording& w : kWordings) {
        SCOPED_TRACE(std::string(w.keyword) + ": " + w.text);
        const CSigSpec spec = captures::Limits(w.keyword, w.hubs);
        const CAnalysisRecord clean = CleanPacket(spec.m_nSpeed == 3);
        CPacket p{clean.m_Measurements[0], clean.m_Verdicts[0], clean};
        p.r.m_nHubs = w.hubs;
        w.edit(p);
        const CSignalFragments f =
            CSignalHtml().BuildFragments(p.v, kCodes, spec, p.m, p.r, w.eusb);
        std::string text = w.text;
        for (const auto& [mark, font] : {std::pair{"{P}", kCodes.m_strPassFont},
                                         {"{F}", kCodes.m_strFailFont},
                                         {"{W}", kCodes.m_strWarningFont}})
            for (std::size_t at; (at = text.find(mark)) != std::string::npos;)
                text.replace(at, 3, font);
        if (text.starts_with("..."))
            EXPECT_NE((f.*w.fragment).find(text.substr(3)), std::string::npos) << f.*w.fragment;
        else
            EXPECT_EQ(f.*w.fragment, text);
    }
}
