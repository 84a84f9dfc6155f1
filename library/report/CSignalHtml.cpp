#include "report/CSignalHtml.h"

#include <cmath>
#include <string>

#include "report/CFormat.h"
#include "report/CVerdictWords.h"

namespace {

// Rates are shown in MHz, sample rates in GS/s, voltages on the differential pair
// in mV.
constexpr double kRateToMHz = 1e-6;
constexpr double kRateToGSps = 1e-9;
constexpr double kVoltsToMillivolts = 1000.0;
constexpr const char* kRateUnit = "MHz";
constexpr const char* kEdgeRateUnit = " V/us";

// A 10 %-90 % swing of 3.3 V takes 2.64 V; of 800 mV, 0.64 V.
constexpr double kSingleEndedRiseVolts = 2.64;
constexpr double kHighSpeedRiseVolts = 0.64;

// The texts that change with the test: eye values in mV on the differential pair,
// and the devices in front of the probe that may drop SYNC bits.
struct CSignalMessages {
    const char* m_strEyeUnit;
    double m_dEyeScale;
    const char* m_strOneDropsOne;      // one hub or repeater dropped one bit
    const char* m_strOneDropsMany;     // one hub or repeater dropped bits
    const char* m_strOneTooManyOne;    // past the limit of one, one bit
    const char* m_strOneTooManyMany;   // past the limit of one, several bits
    const char* m_strSomeTooManyOne;   // past the limit of several, one bit
    const char* m_strSomeTooManyMany;  // past the limit of several, several bits
    const char* m_strTooMany;          // the verdict on bits dropped past the limit
};

CSignalMessages MessagesFor(const CSigSpec& spec, bool isEusb) {
    CSignalMessages messages{};
    const bool highSpeed = spec.m_nSpeed == kHighSpeed;
    messages.m_strEyeUnit = highSpeed ? "mV" : "V";
    messages.m_dEyeScale = highSpeed ? kVoltsToMillivolts : 1.0;
    if (isEusb) {
        messages.m_strOneDropsOne = "<li>Sync result: %d Repeater dropped %d sync bit<br>\n";
        messages.m_strOneDropsMany = "<li>Sync result: %d Repeater dropped %d sync bits<br>\n";
        messages.m_strOneTooManyOne =
            "<li>Sync results: %d bit dropped (maximum sync bits dropped for %d repeater: "
            "%d)<br\n>";
        messages.m_strOneTooManyMany =
            "<li>Sync results: %d bits dropped (maximum sync bits dropped for %d repeater: "
            "%d)<br\n>";
        messages.m_strSomeTooManyOne =
            "<li>Sync results: %d bit dropped (maximum sync bits dropped for %d repeaters: "
            "%d)<br\n>";
        messages.m_strSomeTooManyMany =
            "<li>Sync results: %d bits dropped (maximum sync bits dropped for %d repeaters: "
            "%d)<br\n>";
        messages.m_strTooMany = "*** repeater failure ***<br></font>\n";
    } else {
        messages.m_strOneDropsOne = "<li>Sync result: %d hub dropped %d sync bit<br>\n";
        messages.m_strOneDropsMany = "<li>Sync result: %d hub dropped %d sync bits<br>\n";
        messages.m_strOneTooManyOne =
            "<li>Sync results: %d bit dropped (maximum sync bits dropped for %d hub: %d)<br\n>";
        messages.m_strOneTooManyMany =
            "<li>Sync results: %d bits dropped (maximum sync bits dropped for %d hub: %d)<br\n>";
        messages.m_strSomeTooManyOne =
            "<li>Sync results: %d bit dropped (maximum sync bits dropped for %d hubs: %d)<br\n>";
        messages.m_strSomeTooManyMany =
            "<li>Sync results: %d bits dropped (maximum sync bits dropped for %d hubs: "
            "%d)<br\n>";
        messages.m_strTooMany = "*** hub failure ***<br></font>\n";
    }
    return messages;
}

// A figure that could not be formed is reported as not measured, not as out of limits.
bool NotMeasured(const CToolboxRecord& t, int32_t code) {
    return code == t.m_nNotTested || code == t.m_nNoData;
}

std::string Overall(const CPacketVerdict& v, const CToolboxRecord& t, const CAnalysisRecord& r) {
    // The paragraph break follows the coloured line: a paragraph opened inside a font
    // would be cut apart by the browser when the font closes.
    std::string text =
        WordVerdict(v.m_nOverall, t,
                    {.m_Pass = {"<li>", "Overall result: pass!</font><p>\n"},
                     .m_Fail = {"<li>", "*** Overall result: fail! ***</font><p>\n"}});
    if (v.m_bAllEdgesFound == 0) {
        text += CFormat::Printf(
            "  <li>%s*** Could not detect all edges with sample rate of %.3f GS/s ***<br>Please "
            "increase the oscilloscope sample rate<br></font>\n",
            t.m_strFailFont.c_str(), r.m_dSampleRate * kRateToGSps);
    }
    return text;
}

std::string Crossover(const CPacketVerdict& v, const CToolboxRecord& t, const CSigSpec& s,
                      const CPacketMeasurement& m) {
    if (s.m_nSpeed != kLowSpeed && s.m_nSpeed != kFullSpeed) return "";
    std::string text;
    if (!NotMeasured(t, v.m_nCrossover)) {
        text = CFormat::Printf(
            "  <li>Crossover voltage range: %.2f V to %.2f V, mean crossover %.2f V<br>\n     "
            "(first crossover at %.2f V, %d other differential crossovers checked)<br>\n",
            m.m_dMinCrossover, m.m_dMaxCrossover, m.m_dMeanCrossover, m.m_dFirstCrossover,
            m.m_nCrossings - 1);
    }
    const std::string limits = CFormat::Printf("&nbsp;(minimum %.2f V, maximum %.2f V)<br></font>",
                                               s.m_dCrossoverMin, s.m_dCrossoverMax);
    const CVerdictText notMeasured{
        "  <li>", CFormat::Printf("*** Crossover voltage failure! *** &nbsp;Less than 2 crossovers "
                                  "found between %.2f V and %.2f V.<br></font>\n",
                                  s.m_dCrossoverMin, s.m_dCrossoverMax)};
    return text +
           WordVerdict(v.m_nCrossover, t,
                       {.m_Pass = {"   ", "crossover voltages pass<br></font>\n"},
                        .m_Fail = {"   ", "*** crossover voltage failure!  *** " + limits + "\n"},
                        .m_Waived = {"   ", "*** crossover voltage failure! *** " + limits},
                        .m_NotTested = notMeasured,
                        .m_NoData = notMeasured,
                        .m_strGrantLead = "     "});
}

std::string EopWidth(const CPacketVerdict& v, const CToolboxRecord& t, const CSigSpec& s,
                     const CPacketMeasurement& m) {
    const double width = m.m_dEopEnd - m.m_dEopStart;
    const char* unit = s.m_strEopUnit.c_str();
    // The limits of the EOP kind (ordinary or start of frame) nearest to the width.
    const std::size_t kind =
        std::fabs(s.m_EopMin.at(1) - width) < std::fabs(s.m_EopMin.at(0) - width) ? 1 : 0;
    // A high-speed hub test was judged against the hub bounds, bit counts that the
    // hubs have widened; they match the unit only at high speed. A start-of-frame EOP
    // has its own, widened alike.
    const bool hubBounds = s.m_bHubTest != 0 && s.m_nSpeed == kHighSpeed;
    double low = s.m_EopMin.at(kind) * s.m_dEopScale;
    double high = s.m_EopMax.at(kind) * s.m_dEopScale;
    if (hubBounds && kind == 0) {
        low = s.m_dHubEopBitsMin;
        high = s.m_dHubEopBitsMax;
    } else if (hubBounds) {
        high = s.m_EopHubMax.at(1) * s.m_dEopScale;
    }

    std::string text;
    if (!NotMeasured(t, v.m_nEopWidth)) {
        text = CFormat::Printf("  <li>EOP width: %.2f %s<br>\n", width * s.m_dEopScale, unit);
    }
    const CVerdictText notMeasured{"  <li>",
                                   "*** EOP identification failure! *** &nbsp;(didn't find two "
                                   "single ended edges)<br>\n    Check input data, crossover "
                                   "voltages, and EOP.<br></font>\n"};
    const char* waived =
        "*** EOP width failure! *** &nbsp;(minimum %.2f %s, maximum %.2f %s)<br></font>\n";
    const char* failed =
        "*** EOPwidth failure! ***<br>\n&nbsp;(minimum %.2f %s, maximum %.2f %s)<br></font>\n";
    return text + WordVerdict(v.m_nEopWidth, t,
                              {.m_Pass = {"    ", "EOP width passes<br></font>\n"},
                               .m_Fail = {"    ", CFormat::Printf(failed, low, unit, high, unit)},
                               .m_Waived = {"    ", CFormat::Printf(waived, low, unit, high, unit)},
                               .m_NotTested = notMeasured,
                               .m_NoData = notMeasured});
}

std::string SignalRate(const CPacketVerdict& v, const CToolboxRecord& t, const CSigSpec& s,
                       const CPacketMeasurement& m) {
    std::string text;
    if (!NotMeasured(t, v.m_nSignalRate)) {
        text = CFormat::Printf("<li>Measured signaling rate: %.4f %s<br>\n",
                               kRateToMHz / m.m_dUnitInterval, kRateUnit);
    }
    const CVerdictText failure{
        "    ", CFormat::Printf("*** signal rate failure *** &nbsp;(minimum %.4f %s, maximum %.4f "
                                "%s)<br></font>\n",
                                s.m_dRateMin * kRateToMHz, kRateUnit, s.m_dRateMax * kRateToMHz,
                                kRateUnit)};
    const CVerdictText notMeasured{
        "    ", "*** signal rate failure *** Signal rate could not be measured.<br></font>\n"};
    return text + WordVerdict(v.m_nSignalRate, t,
                              {.m_Pass = {"    ", "signal rate passes<br></font>\n"},
                               .m_Fail = failure,
                               .m_Waived = failure,
                               .m_NotTested = notMeasured,
                               .m_NoData = notMeasured});
}

std::string Sync(const CPacketVerdict& v, const CToolboxRecord& t, const CPacketMeasurement& m,
                 const CAnalysisRecord& r, const CSignalMessages& messages) {
    const int dropped = m.m_nSyncBitsDropped;
    const uint32_t hubs = r.m_nHubs;
    const int hubCount = static_cast<int>(hubs);
    const char* fail = t.m_strFailFont.c_str();
    const char* passes = "sync passes<br></font>\n";
    // A missing SYNC is named whatever the hubs, so a failed packet always says why.
    if (v.m_nSyncFound == t.m_nFail) {
        return CFormat::Printf("<li>%s   *** Sync not found! ***<br></font>\n", fail) +
               CFormat::Printf("    %s %d sync bits dropped<br></font>\n", fail, dropped);
    }
    if (hubs == 0) {
        if (v.m_nSyncFound != t.m_nPass) return "";
        return WordVerdict(
            PassOrFail(v.m_nSyncLength, t), t,
            {.m_Pass = {"<li>Sync result:<br>\n    ", passes},
             .m_Fail = {CFormat::Printf("<li>Sync result: %d bits short<br>", dropped),
                        "sync fails<br></font>\n"}});
    }
    if (dropped < 1) return "";
    const bool one = dropped == 1;
    const std::string lost =
        hubs == 1 ? CFormat::Printf(one ? messages.m_strOneDropsOne : messages.m_strOneDropsMany, 1,
                                    dropped)
                  : CFormat::Printf(one ? "<li>Sync results: %d hubs dropped %d sync bit<br>\n"
                                        : "<li>Sync results: %d hubs dropped %d sync bits<br>\n",
                                    hubCount, dropped);
    const int limit = static_cast<int>(kSyncBitsPerHub * hubs);
    const std::string tooMany =
        hubs == 1
            ? CFormat::Printf(one ? messages.m_strOneTooManyOne : messages.m_strOneTooManyMany,
                              dropped, 1, limit)
            : CFormat::Printf(one ? messages.m_strSomeTooManyOne : messages.m_strSomeTooManyMany,
                              dropped, hubCount, limit);
    return WordVerdict(PassOrFail(v.m_nHubSync, t), t,
                       {.m_Pass = {lost, passes}, .m_Fail = {tooMany, messages.m_strTooMany}});
}

std::string Eye(const CPacketVerdict& v, const CToolboxRecord& t, const CPacketMeasurement& m) {
    const char* pass = t.m_strPassFont.c_str();
    std::string note;
    if (v.m_nEye != t.m_nFail) {
        if (m.m_nFirstExcepted != 0 && m.m_nLastExcepted != 0) {
            note = CFormat::Printf(
                "<br>\n%s*** first & last transition exceptions invoked ***<br></font>\n", pass);
        } else if (m.m_nFirstExcepted != 0) {
            note = CFormat::Printf(
                "<br>\n%s*** first transition exception invoked ***<br></font>\n", pass);
        } else if (m.m_nLastExcepted != 0) {
            note = CFormat::Printf("<br>\n%s*** last transition exception invoked ***<br></font>\n",
                                   pass);
        }
    }
    const int violations = m.m_nEyeViolations;
    const int excepted = m.m_nExceptions;
    // Code7 counts the excepted points themselves, and is worded as a failure.
    const bool code7 = v.m_nEye == t.m_nCode7;
    const int count = code7 ? excepted : violations - excepted;
    const std::string waived =
        violations == 1 ? "*** eye failure! &nbsp;(1 data point violates eye) ***<br></font>\n"
                        : CFormat::Printf(
                              "*** eye failure! &nbsp;(%d data points violate eye) "
                              "***<br></font>\n",
                              violations - excepted);
    const std::string failure =
        (code7 ? excepted : violations) == 1
            ? "*** eye failure! *** &nbsp;(1 data point violates eye) " + note + "<br></font>\n"
            : CFormat::Printf(
                  "*** eye failure! *** &nbsp;(%d data points violate eye) %s<br></font>\n", count,
                  note.c_str());
    const std::string heading = v.m_nEye == t.m_nNotTested ? "" : "<li>Signal eye:<br>\n";
    return heading +
           WordVerdict(code7 ? t.m_nFail : v.m_nEye, t,
                       {.m_Pass = {"    ", note.empty() ? "eye passes<br></font>\n"
                                                        : "eye passes &nbsp; " + note + "</font>"},
                        .m_Fail = {"    ", failure},
                        .m_Waived = {"    ", waived},
                        .m_NotTested = {"<li>",
                                        "*** eye failure! *** &nbsp;Eye could not be "
                                        "tested.<br></font>\n"},
                        .m_strGrantEnd = note + "<br></font>\n"});
}

std::string EyeValue(const char* label, bool withinLimit, double volts, const CToolboxRecord& t,
                     const CSignalMessages& messages, const char* ending) {
    // A value within its limit is printed uncoloured, so it has no font to close.
    return CFormat::Printf(
        withinLimit ? "<li>%s%s: %.4f %s<br>\n%s" : "<li>%s%s: %.4f %s<br></font>\n%s",
        withinLimit ? "" : t.m_strFailFont.c_str(), label, volts * messages.m_dEyeScale,
        messages.m_strEyeUnit, ending);
}

std::string Jitter(const CPacketVerdict& v, const CToolboxRecord& t, const CSigSpec& s,
                   const CPacketMeasurement& m) {
    const double scale = s.m_dJitterScale;
    const char* unit = s.m_strJitterUnit.c_str();
    std::string text;
    if (!NotMeasured(t, v.m_nJitter)) {
        const char* line = "<li>%s jitter range: %.3f %s to %.3f %s, RMS jitter %.3f %s<br>\n";
        text = CFormat::Printf(line, "Consecutive", m.m_dConsecJitterMin * scale, unit,
                               m.m_dConsecJitterMax * scale, unit, m.m_dConsecJitterRms * scale,
                               unit) +
               CFormat::Printf(line, "Paired JK", m.m_dJKJitterMin * scale, unit,
                               m.m_dJKJitterMax * scale, unit, m.m_dJKJitterRms * scale, unit) +
               CFormat::Printf(line, "Paired KJ", m.m_dKJJitterMin * scale, unit,
                               m.m_dKJJitterMax * scale, unit, m.m_dKJJitterRms * scale, unit);
    }
    if (s.m_nSpeed != kLowSpeed && s.m_nSpeed != kFullSpeed) return text;
    const double nextMax = s.m_dJitterNextMax * scale;
    const double pairedMax = s.m_dJitterPairedMax * scale;
    const char* limits =
        "*** jitter failure *** &nbsp;(max consecutive jitter %.2f %s, max paired jitter %.2f "
        "%s)<br></font>\n";
    const char* failedLimits =
        "*** jitter failure *** &nbsp;(max consecutive jitter %.3f %s, max paired jitter %.3f "
        "%s)<br></font>\n";
    return text +
           WordVerdict(
               v.m_nJitter, t,
               {.m_Pass = {"", "jitter passes<br></font>\n"},
                .m_Fail = {"    ", CFormat::Printf(failedLimits, nextMax, unit, pairedMax, unit)},
                .m_Waived = {"    ", CFormat::Printf(limits, nextMax, unit, pairedMax, unit)},
                .m_NotTested =
                    {"<li>",
                     "*** jitter failure *** &nbsp;Jitter could not be tested<br></font>\n"},
                .m_NoData = {
                    "<li>",
                    "*** Jitter could not be measured - insufficient data ***<br></font>\n"}});
}

constexpr const char* kEmiNote =
    "To constrain potential EMI or crosstalk the edge rates must be 100ps (6400V/us) or "
    "slower.<br></font>\n";

std::string EdgeVerdict(int32_t code, bool rising, const CToolboxRecord& t, const CSigSpec& s) {
    const std::string failure =
        CFormat::Printf(rising ? "*** Rising Edge Rate failure! *** &nbsp;(maximum %.2f %s)"
                               : "*** Falling Edge Rate failure! *** &nbsp;(maximum %.2f %s)",
                        s.m_dEdgeRateMax, kEdgeRateUnit);
    const std::string emi = "</font> " + t.m_strWarningFont + kEmiNote;
    return WordVerdict(code, t,
                       {.m_Pass = {"    ", "passes<br></font>\n"},
                        .m_Fail = {rising ? "    " : "", failure + emi},
                        .m_Waived = {"    ", failure + "<br></font>\n"},
                        .m_strGrantLead = "     ",
                        .m_strGrantEnd = emi});
}

}  // namespace

CSignalFragments CSignalHtml::BuildFragments(const CPacketVerdict& v, const CToolboxRecord& t,
                                             const CSigSpec& s, const CPacketMeasurement& m,
                                             const CAnalysisRecord& r, bool isEusb) const {
    const CSignalMessages messages = MessagesFor(s, isEusb);
    CSignalFragments f;
    f.m_strOverall = Overall(v, t, r);
    if (r.m_nPrepResult != 0) {
        f.m_strSampleRateWarning = CFormat::Printf(
            "  <li>%s*** Warning: Sample rate of %.2f GS/s is too low for accurate "
            "analysis</font><p>\n",
            t.m_strFailFont.c_str(), r.m_dSampleRate * kRateToGSps);
    }
    f.m_strCrossover = Crossover(v, t, s, m);
    f.m_strEopWidth = EopWidth(v, t, s, m);
    f.m_strSignalRate = SignalRate(v, t, s, m);
    f.m_strSync = Sync(v, t, m, r, messages);

    f.m_strMonotonicity = CFormat::Printf("<li>Edge Monotonicity: %3.0f mV<br>\n",
                                          m.m_dMonotonic * kVoltsToMillivolts);
    f.m_strMonotonicVerdict = WordVerdict(
        PassOrFail(v.m_nMonotonic, t), t,
        {.m_Pass = {"    ", "Monotonic Edge passes<br></font>\n"},
         .m_Fail = {"    ",
                    CFormat::Printf("*** Monotonic Edge failure! *** (limit %3.0f mV)<br></font>\n",
                                    s.m_dMonotonicLimit * kVoltsToMillivolts)}});

    f.m_strEye = Eye(v, t, m);
    f.m_strMarginAboveEye = EyeValue("Margin Above eye", v.m_bMarginAboveEye != 0,
                                     m.m_dMarginAboveEye, t, messages, "");
    f.m_strMarginBelowEye = EyeValue("Margin Below eye", v.m_bMarginBelowEye != 0,
                                     m.m_dMarginBelowEye, t, messages, "");
    f.m_strMarginBelowTop = EyeValue("Margin Below Top", v.m_bMarginBelowTop != 0,
                                     m.m_dMarginBelowTop, t, messages, "");
    f.m_strMarginAboveBottom = EyeValue("Margin Above Bottom", v.m_bMarginAboveBottom != 0,
                                        m.m_dMarginAboveBottom, t, messages, "");
    f.m_strMaxVoltage =
        EyeValue("Maximum Voltage", v.m_bMaxVoltageOk != 0, m.m_dMaxVoltage, t, messages, "\n");
    f.m_strMinVoltage =
        EyeValue("Minimum Voltage", v.m_bMinVoltageOk != 0, m.m_dMinVoltage, t, messages, "");

    f.m_strJitter = Jitter(v, t, s, m);

    const double rise = m.m_dRiseRate;
    const double fall = m.m_dFallRate;
    if (s.m_nSpeed == kLowSpeed || s.m_nSpeed == kFullSpeed) {
        f.m_strRiseRate =
            CFormat::Printf("<li>Rising Edge Rate: %.2f %s (Equivalent risetime = %.2f ns)<br>\n",
                            rise, kEdgeRateUnit, kSingleEndedRiseVolts / (rise * 0.001));
        f.m_strFallRate =
            CFormat::Printf("<li>Falling Edge Rate: %.2f %s (Equivalent falltime = %.2f ns)<br>\n",
                            fall, kEdgeRateUnit, kSingleEndedRiseVolts / (fall * 0.001));
    } else if (s.m_nSpeed == kHighSpeed) {
        f.m_strRiseRate =
            CFormat::Printf("<li>Rising Edge Rate: %.2f %s (%.2f ps equivalent risetime)<br>\n",
                            rise, kEdgeRateUnit, kHighSpeedRiseVolts / (rise * 1e-6));
        f.m_strFallRate =
            CFormat::Printf("<li>Falling Edge Rate: %.2f %s (%.2f ps equivalent falltime)<br>\n",
                            fall, kEdgeRateUnit, kHighSpeedRiseVolts / (fall * 1e-6));
        f.m_strRiseVerdict = EdgeVerdict(v.m_nRiseRate, true, t, s);
        f.m_strFallVerdict = EdgeVerdict(v.m_nFallRate, false, t, s);
    }
    f.m_strEdgeRateMatch = CFormat::Printf("<li>Edge Rate Match: %.2f%% (limit +/-%.0f%%)<br>\n",
                                           m.m_dEdgeRateMatch, s.m_dEdgeRateMatch);
    f.m_strVersion = kTestVersion;
    return f;
}
