#include "report/CSignalResults.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "common/CVerdictCodes.h"
#include "input/CReadFile.h"
#include "report/CUsbSigReport.h"
#include "signal/CTestPackets.h"

namespace {

constexpr double kToMHz = 1e-6;
constexpr double kToMillivolts = 1000.0;

std::optional<double> Finite(double value) {
    return std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

// The report's units carry the blank that separates them from the number.
std::string Trimmed(const std::string& unit) {
    const std::size_t first = unit.find_first_not_of(' ');
    return first == std::string::npos ? ""
                                      : unit.substr(first, unit.find_last_not_of(' ') - first + 1);
}

CCheckResult Sync(const CPacketMeasurement& m, const CPacketVerdict& v, uint32_t hubs) {
    CCheckResult check{.m_strName = "SYNC", .m_strUnit = "bits dropped"};
    const bool found = v.m_nSyncFound != kVerdictCodes.m_nFail;
    if (found) check.m_dValue = m.m_nSyncBitsDropped;
    check.m_dMax = static_cast<double>(kSyncBitsPerHub) * hubs;
    check.m_eVerdict = found ? VerdictOfCode(v.m_nHubSync) : ECheckVerdict::kFail;
    check.m_nDecimals = 0;
    return check;
}

CCheckResult EyeCheck(const CPacketMeasurement& m, const CPacketVerdict& v) {
    // Points forgiven by the first and last transition exceptions do not count,
    // except under the code that counts the excepted points themselves.
    const bool excepted = v.m_nEye == kVerdictCodes.m_nCode7;
    const int32_t points = excepted ? m.m_nExceptions : m.m_nEyeViolations - m.m_nExceptions;
    CCheckResult check{.m_strName = "Eye template", .m_strUnit = "points inside"};
    if (v.m_nEye != kVerdictCodes.m_nNotTested) check.m_dValue = points;
    check.m_dMax = 0.0;
    check.m_eVerdict = VerdictOfCode(v.m_nEye);
    check.m_nDecimals = 0;
    return check;
}

// The EOP window the width was judged in: the ordinary 8-bit one or the 40-bit
// start-of-frame one, as widened for hubs.
void EopWindow(CCheckResult& check, const CSigSpec& s, double width) {
    const double scale = s.m_dEopScale;
    std::size_t kind = 0;
    if (s.m_nSpeed == kHighSpeed && s.m_bHubTest != 0) {
        kind = width > s.m_EopWaiverMax.at(0) ? 1 : 0;
    } else if (s.m_nSpeed == kHighSpeed) {
        const bool inFrameWindow = s.m_EopWaiverMin.at(1) < width && width < s.m_EopWaiverMax.at(1);
        const bool inOrdinary = s.m_EopWaiverMin.at(0) < width && width < s.m_EopWaiverMax.at(0);
        const bool nearerFrame =
            std::fabs(s.m_EopMin.at(1) - width) < std::fabs(s.m_EopMin.at(0) - width);
        kind = !inOrdinary && (inFrameWindow || nearerFrame) ? 1 : 0;
    }
    if (s.m_nSpeed == kHighSpeed && s.m_bHubTest != 0) {
        // Behind hubs an EOP may only grow: no waiver below the minimum.
        const double min = kind == 0 ? s.m_dHubEopMin : s.m_EopMin.at(1);
        const double max = kind == 0 ? s.m_dHubEopMax : s.m_EopHubMax.at(1);
        check.m_dMin = check.m_dWaiverMin = min * scale;
        check.m_dMax = max * scale;
        check.m_dWaiverMax = s.m_EopWaiverMax.at(kind) * scale;
        return;
    }
    check.m_dMin = s.m_EopMin.at(kind) * scale;
    check.m_dMax = s.m_EopMax.at(kind) * scale;
    check.m_dWaiverMin = s.m_EopWaiverMin.at(kind) * scale;
    check.m_dWaiverMax = s.m_EopWaiverMax.at(kind) * scale;
}

CCheckResult EopWidth(const CPacketMeasurement& m, const CPacketVerdict& v, const CSigSpec& s) {
    const double width = m.m_dEopEnd - m.m_dEopStart;
    CCheckResult check{.m_strName = "EOP width", .m_strUnit = Trimmed(s.m_strEopUnit)};
    check.m_dValue = Finite(width * s.m_dEopScale);
    EopWindow(check, s, std::isfinite(width) ? width : 0.0);
    check.m_eVerdict = VerdictOfCode(v.m_nEopWidth);
    return check;
}

CCheckResult SignalRate(const CPacketMeasurement& m, const CPacketVerdict& v, const CSigSpec& s) {
    CCheckResult check{.m_strName = "Signal rate", .m_strUnit = "MHz"};
    check.m_dValue = Finite(kToMHz / m.m_dUnitInterval);
    check.m_dMin = s.m_dRateMin * kToMHz;
    check.m_dMax = s.m_dRateMax * kToMHz;
    check.m_dWaiverMin = s.m_dRateWaiverMin * kToMHz;
    check.m_dWaiverMax = s.m_dRateWaiverMax * kToMHz;
    check.m_eVerdict = VerdictOfCode(v.m_nSignalRate);
    check.m_nDecimals = 4;
    return check;
}

CCheckResult Monotonicity(const CPacketMeasurement& m, const CPacketVerdict& v, const CSigSpec& s) {
    CCheckResult check{.m_strName = "Monotonicity", .m_strUnit = "mV"};
    check.m_dValue = Finite(m.m_dMonotonic * kToMillivolts);
    check.m_dMax = s.m_dMonotonicLimit * kToMillivolts;
    check.m_eVerdict =
        v.m_nMonotonic == kVerdictCodes.m_nPass ? ECheckVerdict::kPass : ECheckVerdict::kFail;
    check.m_nDecimals = 0;
    return check;
}

CCheckResult EdgeRate(const char* name, double rate, int32_t code, const CSigSpec& s, bool judged) {
    CCheckResult check{.m_strName = name, .m_strUnit = "V/us"};
    check.m_dValue = Finite(rate);
    if (judged) {
        check.m_dMax = s.m_dEdgeRateMax;
        check.m_dWaiverMax = s.m_dEdgeRateWaiverMax;
        check.m_eVerdict = VerdictOfCode(code);
    }
    return check;
}

CCheckResult Crossover(const CPacketMeasurement& m, const CPacketVerdict& v, const CSigSpec& s) {
    // Of the lowest and highest crossover, the one nearer its bound.
    const double low = m.m_dMinCrossover;
    const double high = m.m_dMaxCrossover;
    const double worst = low - s.m_dCrossoverMin < s.m_dCrossoverMax - high ? low : high;
    CCheckResult check{.m_strName = "Crossover voltage", .m_strUnit = "V"};
    if (VerdictOfCode(v.m_nCrossover) != ECheckVerdict::kNotMeasured)
        check.m_dValue = Finite(worst);
    check.m_dMin = s.m_dCrossoverMin;
    check.m_dMax = s.m_dCrossoverMax;
    check.m_dWaiverMin = s.m_dCrossoverWaiverMin;
    check.m_dWaiverMax = s.m_dCrossoverWaiverMax;
    check.m_eVerdict = VerdictOfCode(v.m_nCrossover);
    return check;
}

// A jitter figure is judged by its larger excursion either way from zero.
CCheckResult Jitter(const char* name, double lowest, double highest, bool measured, double passMax,
                    double waiverMax, const CSigSpec& s) {
    CCheckResult check{.m_strName = name, .m_strUnit = Trimmed(s.m_strJitterUnit)};
    const double scale = s.m_dJitterScale;
    check.m_dMax = passMax * scale;
    check.m_dWaiverMax = waiverMax * scale;
    check.m_nDecimals = 3;
    if (!measured) {
        check.m_eVerdict = ECheckVerdict::kNotMeasured;
        return check;
    }
    check.m_dValue = Finite(std::max(std::fabs(lowest), std::fabs(highest)) * scale);
    check.m_eVerdict =
        VerdictOfCode(CTestPackets::JudgeJitter(lowest, highest, passMax, waiverMax));
    return check;
}

void AddJitter(CResultRecord& result, const CPacketMeasurement& m, const CSigSpec& s) {
    const bool consecutive = m.m_nJitterCount >= kMinJitterValues;
    const bool paired = m.m_nJitterCount >= kMinPairedJitterValues;
    result.m_Checks.push_back(Jitter("Consecutive jitter", m.m_dConsecJitterMin,
                                     m.m_dConsecJitterMax, consecutive, s.m_dJitterNextMax,
                                     s.m_dJitterNextWaiver, s));
    result.m_Checks.push_back(Jitter("Paired JK jitter", m.m_dJKJitterMin, m.m_dJKJitterMax, paired,
                                     s.m_dJitterPairedMax, s.m_dJitterPairedWaiver, s));
    result.m_Checks.push_back(Jitter("Paired KJ jitter", m.m_dKJJitterMin, m.m_dKJJitterMax, paired,
                                     s.m_dJitterPairedMax, s.m_dJitterPairedWaiver, s));
}

// The eye's clearances, shown for what they tell; the eye template check judges.
void AddEyeMargins(CResultRecord& result, const CPacketMeasurement& m, const CSigSpec& s) {
    const bool highSpeed = s.m_nSpeed == kHighSpeed;
    const double scale = highSpeed ? kToMillivolts : 1.0;
    const std::string unit = highSpeed ? "mV" : "V";
    const std::pair<const char*, double> margins[] = {
        {"Margin above eye", m.m_dMarginAboveEye},
        {"Margin below eye", m.m_dMarginBelowEye},
        {"Margin below top", m.m_dMarginBelowTop},
        {"Margin above bottom", m.m_dMarginAboveBottom}};
    for (const auto& [name, volts] : margins) {
        CCheckResult check{.m_strName = name, .m_strUnit = unit};
        check.m_dValue = Finite(volts * scale);
        check.m_dMin = 0.0;
        check.m_nDecimals = highSpeed ? 1 : 4;
        result.m_Checks.push_back(check);
    }
}

CCheckResult EdgesFound(const CPacketMeasurement& m) {
    CCheckResult check{.m_strName = "All edges detected"};
    check.m_eVerdict = m.m_bAllEdgesFound != 0 ? ECheckVerdict::kPass : ECheckVerdict::kFail;
    return check;
}

ECheckVerdict Overall(const CResultRecord& result, const CPacketVerdict& v) {
    if (v.m_nOverall != kVerdictCodes.m_nPass) return ECheckVerdict::kFail;
    const bool waived =
        std::any_of(result.m_Checks.begin(), result.m_Checks.end(),
                    [](const CCheckResult& c) { return c.m_eVerdict == ECheckVerdict::kWaived; });
    return waived ? ECheckVerdict::kWaived : ECheckVerdict::kPass;
}

std::string LowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

void AddInputs(CResultRecord& result, const CAnalysisRecord& r) {
    if (r.m_strFileB.empty()) {
        // One file holds either the differential trace or both lines.
        result.m_Inputs.push_back({r.m_strFileA, r.m_nTraceKind == 2 ? "differential" : "D+ and D-",
                                   CReadFile::FormatOf(r.m_strFileA)});
        return;
    }
    const std::string& dPlus = r.m_bPairSwapped ? r.m_strFileB : r.m_strFileA;
    const std::string& dMinus = r.m_bPairSwapped ? r.m_strFileA : r.m_strFileB;
    // Both files of a pair are read by the data file's ending.
    const std::string format = CReadFile::FormatOf(r.m_strFileA);
    result.m_Inputs.push_back({dPlus, "D+", format});
    result.m_Inputs.push_back({dMinus, "D-", format});
}

}  // namespace

CResultRecord CSignalResults::Build(const CAnalysisRecord& record, const CSigSpec& spec,
                                    const std::string& testType, bool isEusb) const {
    const CPacketMeasurement& m = record.m_Measurements.at(0);
    const CPacketVerdict& v = record.m_Verdicts.at(0);
    CResultRecord result;
    result.m_strAnalysis = "signal";
    AddInputs(result, record);
    result.m_dSampleRate = record.m_dSampleRate;
    result.m_nSamples = record.m_nSamples;
    result.m_strTestType = LowerCase(testType);
    result.m_strTestName = CUsbSigReport::DisplayName(spec, isEusb);
    result.m_nHubs = record.m_nHubs;
    result.m_nPacketIndex = record.m_nMeasuredPacket;
    if (record.m_nMeasuredPacket >= 0) {
        const CPacketEntry& packet =
            record.m_Packets.at(static_cast<std::size_t>(record.m_nMeasuredPacket));
        if (!packet.m_Symbols.empty()) {
            result.m_dPacketStart = packet.m_Symbols.front().m_dStart;
            result.m_dPacketEnd = packet.m_Symbols.back().m_dEnd;
        }
    }

    const bool highSpeed = spec.m_nSpeed == kHighSpeed;
    auto& checks = result.m_Checks;
    checks.push_back(Sync(m, v, record.m_nHubs));
    checks.push_back(EyeCheck(m, v));
    checks.push_back(EopWidth(m, v, spec));
    checks.push_back(SignalRate(m, v, spec));
    checks.push_back(Monotonicity(m, v, spec));
    checks.push_back(EdgeRate("Rising edge rate", m.m_dRiseRate, v.m_nRiseRate, spec, highSpeed));
    checks.push_back(EdgeRate("Falling edge rate", m.m_dFallRate, v.m_nFallRate, spec, highSpeed));
    if (!highSpeed) {
        checks.push_back(Crossover(m, v, spec));
        AddJitter(result, m, spec);
        CCheckResult match{.m_strName = "Edge rate match", .m_strUnit = "%"};
        match.m_dValue = Finite(m.m_dEdgeRateMatch);
        match.m_dMin = -spec.m_dEdgeRateMatch;
        match.m_dMax = spec.m_dEdgeRateMatch;
        checks.push_back(match);
    }
    checks.push_back(EdgesFound(m));
    AddEyeMargins(result, m, spec);
    result.m_eOverall = Overall(result, v);
    return result;
}
