#include "report/CInrushHtml.h"

#include <algorithm>
#include <cmath>

#include "report/CFormat.h"

namespace {

constexpr double kMicro = 1e6;  // C to µC
constexpr const char* kMicroCoulomb = "µC";
constexpr double kMilli = 1e3;  // s to ms
constexpr double kMega = 1e6;   // samples/s to MS/s
// A capture ending within this much of the window still counts as covering it.
constexpr double kWindowSlack = 0.0001;  // s

bool Passed(const CToolboxRecord& toolbox, int32_t verdict) {
    return verdict == toolbox.m_nPass || verdict == toolbox.m_nWaived;
}

}  // namespace

CInrushHtml::Prefix CInrushHtml::EngineeringPrefix(const std::vector<double>& values) {
    static const char* const kPrefixes[] = {"a", "f", "p", "n", "µ", "m", "",
                                            "k", "M", "G", "T", "P", "E"};
    double largest = 0.0;
    for (double v : values) largest = std::max(largest, std::fabs(v));
    if (largest == 0.0 || !std::isfinite(largest)) return {};
    const int exponent = 3 * static_cast<int>(std::floor(std::log10(largest) / 3.0));
    Prefix prefix{std::pow(10.0, -exponent), ""};
    if (exponent >= -18 && exponent <= 18) prefix.m_strPrefix = kPrefixes[(exponent + 18) / 3];
    return prefix;
}

std::string CInrushHtml::OverallBlock(const CInrushRecord& record, const CInrushSpec& spec,
                                      const CToolboxRecord& toolbox) const {
    // A short capture or a supply out of its window fails the attach as surely as
    // too much charge, so the overall line follows the worst of the three verdicts.
    std::string block = Passed(toolbox, record.m_nOverallVerdict)
                            ? CFormat::Printf("  <li>%sOverall result: pass!</font><p>\n\n",
                                              toolbox.m_strPassFont.c_str())
                            : CFormat::Printf("  <li>%sOverall result: fail!</font><p>\n\n",
                                              toolbox.m_strFailFont.c_str());
    const bool shortCapture = record.m_dAfterTime + kWindowSlack < spec.m_dWindow;
    if (record.m_nLowRate != 1 && !shortCapture) return block;
    if (record.m_nLowRate == 1) {
        block += CFormat::Printf(
            " <p><li>%sWarning: Sample rate of %.2f MS/s is too low for accurate "
            "measurements<br>Required sample rate is %.1f MS/s<br></font>",
            toolbox.m_strWarningFont.c_str(), record.m_dSampleRate / kMega,
            spec.m_dMinSampleRate / kMega);
    }
    if (shortCapture) {
        block += CFormat::Printf(
            "  <li>%sWarning: Insufficient data: %.3f ms, %.1f ms is required<br></font>",
            toolbox.m_strWarningFont.c_str(), record.m_dAfterTime * kMilli,
            spec.m_dWindow * kMilli);
    }
    block += CFormat::Printf(
        "  <li>%s<b>These results cannot be used for official certification.</b></font><p>",
        toolbox.m_strFailFont.c_str());
    return block;
}

std::string CInrushHtml::ResultsBlock(const CInrushRecord& record, const CInrushSpec& spec,
                                      const CToolboxRecord& toolbox) const {
    const double v = record.m_dVoltage;
    const char* fail = toolbox.m_strFailFont.c_str();
    const char* pass = toolbox.m_strPassFont.c_str();
    std::string block = CFormat::Printf("  <li>Inrush at %.3f V: %.4f %s<br>\n", v,
                                        record.m_dCharge * kMicro, kMicroCoulomb);
    const double limit = v * spec.m_dCapPass * kMicro;
    if (record.m_nChargeVerdict == toolbox.m_nPass) {
        block += CFormat::Printf("  %sInrush passes</font><p>\n", pass);
    } else if (record.m_nChargeVerdict == toolbox.m_nWaived) {
        block += CFormat::Printf(
            "  %s*** Inrush failure! *** (at %.3f V, maximum compliant inrush is %.4f "
            "%s)<br></font>   %s*** waiver granted ***</font><p>\n",
            fail, v, limit, kMicroCoulomb, toolbox.m_strWaiverFont.c_str());
    } else if (record.m_nChargeVerdict == toolbox.m_nFail) {
        block += CFormat::Printf(
            "  %s*** Inrush failure! *** (at %.3f V, maximum compliant inrush is %.4f "
            "%s)</font><p>\n",
            fail, v, limit, kMicroCoulomb);
    }
    // An unconnected probe reads as no inrush at all: say so, so that 0 µC is not
    // taken for a measured pass.
    if (record.m_bNoInrush) {
        block += CFormat::Printf(
            "  %sNo current above the %.3f A threshold was seen: check the current "
            "probe</font><p>\n",
            toolbox.m_strWarningFont.c_str(), spec.m_dCurrentThreshold);
    }
    if (record.m_nSupplyVerdict == toolbox.m_nPass) {
        block +=
            CFormat::Printf("  %sSupply voltage of %.3f V is within %.2f V to %.2f V</font><p>\n",
                            pass, v, spec.m_dSupplyMin, spec.m_dSupplyMax);
    } else if (record.m_nSupplyVerdict == toolbox.m_nFail) {
        block += CFormat::Printf(
            "  %s*** Supply voltage failure! *** (%.3f V is outside %.2f V to %.2f V)</font><p>\n",
            fail, v, spec.m_dSupplyMin, spec.m_dSupplyMax);
    }
    // Without an inrush there is no event for the capture to follow after.
    if (record.m_nWindowVerdict == toolbox.m_nPass && !record.m_bNoInrush) {
        block += CFormat::Printf("  %sCapture covers the %.1f ms after the inrush</font><p>\n",
                                 pass, spec.m_dWindow * kMilli);
    } else if (record.m_nWindowVerdict == toolbox.m_nFail) {
        block += CFormat::Printf(
            "  %s*** Capture window failure! *** (%.3f ms after the inrush, %.1f ms is "
            "required)</font><p>\n",
            fail, record.m_dAfterTime * kMilli, spec.m_dWindow * kMilli);
    }

    if (record.m_dAfterTime <= 0.0) return block;
    // Sample times only increase: the largest magnitude is at one end.
    const Prefix time = record.m_Time.empty()
                            ? Prefix{}
                            : EngineeringPrefix({record.m_Time.front(), record.m_Time.back()});
    const char* unit = time.m_strPrefix.c_str();
    for (std::size_t i = 0; i < record.m_RegionCharge.size(); ++i) {
        const double charge = record.m_RegionCharge[i];
        if (charge == 0.0) continue;
        const double start = record.m_RegionStart.at(i) * time.m_dFactor;
        const double end = record.m_RegionEnd.at(i) * time.m_dFactor;
        const int number = static_cast<int>(i) + 1;
        block +=
            charge == record.m_dCharge
                ? CFormat::Printf(
                      "  <li><b>Region %i Start: %.5f %ss - End: %.3f %ss = %.4g %s</b><br>\n",
                      number, start, unit, end, unit, charge * kMicro, kMicroCoulomb)
                : CFormat::Printf("  <li>Region %i Start: %.3f %ss - End: %.3f %ss = %.4g %s<br>\n",
                                  number, start, unit, end, unit, charge * kMicro, kMicroCoulomb);
    }
    return block;
}
