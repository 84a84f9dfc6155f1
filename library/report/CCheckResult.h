#pragma once

#include <cstdint>
#include <optional>
#include <string>

// How one check came out: judged checks decide the device's verdict; an
// informational figure (an eye margin, a full-speed edge rate) is shown with its
// margin but decides nothing.
enum class ECheckVerdict { kPass, kWaived, kFail, kNotMeasured, kInfo };

// The verdict of a check judged with a verdict code: a figure that could not be
// formed is not measured; every code short of a pass or a waiver is a failure (the
// eye's excepted-points code is worded as one on the page).
ECheckVerdict VerdictOfCode(int32_t code);

// The words a result record uses for a verdict: "pass", "waived", "fail",
// "not measured", "info".
const char* VerdictWord(ECheckVerdict verdict);

// One row of the limits table: a figure measured on the capture, in its display
// unit, against the window that passes and the wider one a waiver is granted in.
// A bound that does not exist is empty; so is a value that could not be measured.
struct CCheckResult {
    std::string m_strName{};
    std::optional<double> m_dValue{};
    std::string m_strUnit{};
    std::optional<double> m_dMin{};
    std::optional<double> m_dMax{};
    std::optional<double> m_dWaiverMin{};
    std::optional<double> m_dWaiverMax{};
    ECheckVerdict m_eVerdict = ECheckVerdict::kInfo;
    int32_t m_nDecimals = 2;  // shown in the report's table

    // Distance from the value to the nearest pass bound, in the unit: negative
    // outside the pass window. Empty without a value or a bound.
    std::optional<double> Margin() const;
    // The margin as a share of the pass window's span (both bounds), or of the one
    // bound's size; empty where that span is zero.
    std::optional<double> MarginPercent() const;
};
