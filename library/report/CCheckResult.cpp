#include "report/CCheckResult.h"

#include <algorithm>
#include <cmath>

#include "common/CVerdictCodes.h"

ECheckVerdict VerdictOfCode(int32_t code) {
    const CVerdictCodes& codes = kVerdictCodes;
    if (code == codes.m_nPass) return ECheckVerdict::kPass;
    if (code == codes.m_nWaived) return ECheckVerdict::kWaived;
    if (code == codes.m_nNotTested || code == codes.m_nNoData) return ECheckVerdict::kNotMeasured;
    return ECheckVerdict::kFail;
}

const char* VerdictWord(ECheckVerdict verdict) {
    switch (verdict) {
        case ECheckVerdict::kPass:
            return "pass";
        case ECheckVerdict::kWaived:
            return "waived";
        case ECheckVerdict::kFail:
            return "fail";
        case ECheckVerdict::kNotMeasured:
            return "not measured";
        case ECheckVerdict::kInfo:
            break;
    }
    return "info";
}

std::optional<double> CCheckResult::Margin() const {
    if (!m_dValue || !std::isfinite(*m_dValue)) return std::nullopt;
    std::optional<double> margin;
    if (m_dMin) margin = *m_dValue - *m_dMin;
    if (m_dMax) margin = margin ? std::min(*margin, *m_dMax - *m_dValue) : *m_dMax - *m_dValue;
    return margin;
}

std::optional<double> CCheckResult::MarginPercent() const {
    const std::optional<double> margin = Margin();
    if (!margin) return std::nullopt;
    double span = 0.0;
    if (m_dMin && m_dMax)
        span = *m_dMax - *m_dMin;
    else
        span = std::fabs(m_dMin ? *m_dMin : *m_dMax);
    if (!(span > 0.0)) return std::nullopt;
    return *margin / span * 100.0;
}
