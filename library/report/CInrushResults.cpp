#include "report/CInrushResults.h"

#include <algorithm>
#include <cmath>

#include "input/CReadFile.h"

namespace {

constexpr double kToMicro = 1e6;
constexpr double kToMilli = 1e3;

}  // namespace

CResultRecord CInrushResults::Build(const CInrushRecord& record, const CInrushSpec& spec) const {
    CResultRecord result;
    result.m_strAnalysis = "inrush";
    result.m_Inputs.push_back({record.m_strFile, "current", CReadFile::FormatOf(record.m_strFile)});
    result.m_dSampleRate = record.m_dSampleRate;
    result.m_nSamples = record.m_nSamples;
    result.m_dSupplyVoltage = record.m_dVoltage;

    // Charge per volt is a capacitance: the two pass limits are alternatives.
    CCheckResult charge{.m_strName = "Charge per volt",
                        .m_strUnit =
                            "\xC2\xB5"
                            "C/V"};
    if (record.m_dVoltage > 0.0) charge.m_dValue = record.m_dCharge / record.m_dVoltage * kToMicro;
    charge.m_dMax = std::max(spec.m_dCapPass, spec.m_dCapAlt) * kToMicro;
    charge.m_dWaiverMax = spec.m_dCapWaiver * kToMicro;
    charge.m_eVerdict = VerdictOfCode(record.m_nChargeVerdict);
    charge.m_nDecimals = 3;

    // Judged in whole milliseconds, rounded up; with no inrush there is no event to
    // follow and the window holds by itself.
    CCheckResult window{.m_strName = "Capture window", .m_strUnit = "ms"};
    if (record.m_dAfterTime != 0.0) window.m_dValue = std::ceil(record.m_dAfterTime * kToMilli);
    window.m_dMin = spec.m_dWindow * kToMilli;
    window.m_eVerdict = VerdictOfCode(record.m_nWindowVerdict);
    window.m_nDecimals = 0;

    CCheckResult supply{.m_strName = "Supply voltage", .m_strUnit = "V"};
    supply.m_dValue = record.m_dVoltage;
    supply.m_dMin = spec.m_dSupplyMin;
    supply.m_dMax = spec.m_dSupplyMax;
    supply.m_eVerdict = VerdictOfCode(record.m_nSupplyVerdict);
    supply.m_nDecimals = 3;

    CCheckResult total{.m_strName = "Inrush charge",
                       .m_strUnit =
                           "\xC2\xB5"
                           "C"};
    total.m_dValue = record.m_dCharge * kToMicro;
    total.m_nDecimals = 4;

    result.m_Checks = {charge, window, supply, total};
    result.m_eOverall = VerdictOfCode(record.m_nOverallVerdict);
    return result;
}
