#include "report/CLimitsTable.h"

#include "report/CFormat.h"
#include "report/CHtmlText.h"

namespace {

// The background of a row whose check failed or could not be measured.
constexpr const char* kFailedRow = " style=\"background:#ffd8d8\"";

std::string Value(const std::optional<double>& value, int decimals) {
    return value ? CFormat::Printf("%.*f", decimals, *value) : "";
}

std::string Window(const std::optional<double>& min, const std::optional<double>& max, int decimals,
                   const std::string& unit) {
    if (min && max) return Value(min, decimals) + " to " + Value(max, decimals) + " " + unit;
    if (max) return "&le; " + Value(max, decimals) + " " + unit;
    if (min) return "&ge; " + Value(min, decimals) + " " + unit;
    return "";
}

std::string Margin(const CCheckResult& check) {
    const std::optional<double> margin = check.Margin();
    if (!margin) return "";
    const std::optional<double> percent = check.MarginPercent();
    std::string text = Value(margin, check.m_nDecimals) + " " + CHtmlText::Escape(check.m_strUnit);
    if (percent) text += CFormat::Printf(" (%.1f%%)", *percent);
    return text;
}

std::string Verdict(const CCheckResult& check, const CToolboxRecord& t) {
    switch (check.m_eVerdict) {
        case ECheckVerdict::kPass:
            return t.m_strPassFont + "pass</font>";
        case ECheckVerdict::kWaived:
            return t.m_strWaiverFont + "waived</font>";
        case ECheckVerdict::kFail:
        case ECheckVerdict::kNotMeasured:
            return t.m_strFailFont + "<b>" + VerdictWord(check.m_eVerdict) + "</b></font>";
        case ECheckVerdict::kInfo:
            break;
    }
    return "information";
}

}  // namespace

std::string CLimitsTable::Html(const CResultRecord& result, const CToolboxRecord& t) const {
    std::string html = CFormat::Printf(
        "\n<pre>\n\n</pre>\n%s<u>Limits and margins</u><br></font>\n<table border=1 "
        "cellspacing=0 cellpadding=3>\n<tr><th>Check</th><th>Limits</th><th>Waiver "
        "limits</th><th>Measured</th><th>Margin</th><th>Verdict</th></tr>\n",
        t.m_strHeadingFont.c_str());
    for (const CCheckResult& check : result.m_Checks) {
        const bool failed = check.m_eVerdict == ECheckVerdict::kFail ||
                            check.m_eVerdict == ECheckVerdict::kNotMeasured;
        const std::string unit = CHtmlText::Escape(check.m_strUnit);
        html += CFormat::Printf(
            "<tr%s><td>%s</td><td>%s</td><td>%s</td><td align=right>%s</td><td "
            "align=right>%s</td><td>%s</td></tr>\n",
            failed ? kFailedRow : "", CHtmlText::Escape(check.m_strName).c_str(),
            Window(check.m_dMin, check.m_dMax, check.m_nDecimals, unit).c_str(),
            Window(check.m_dWaiverMin, check.m_dWaiverMax, check.m_nDecimals, unit).c_str(),
            check.m_dValue ? (Value(check.m_dValue, check.m_nDecimals) + " " + unit).c_str() : "",
            Margin(check).c_str(), Verdict(check, t).c_str());
    }
    return html + "</table><br>\n";
}
