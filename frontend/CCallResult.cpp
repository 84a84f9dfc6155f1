#include "CCallResult.h"

#include <nlohmann/json.hpp>

void to_json(nlohmann::json& json, const CCallResult& result) {
    json = {{"refused", result.m_bRefused},
            {"error", result.m_strError},
            {"verdict", static_cast<int>(result.m_Verdict.m_eVerdict)},
            {"detail", result.m_Verdict.m_strDetail},
            {"stem", result.m_strSummaryStem},
            {"summary", result.m_strSummaryText}};
}

void from_json(const nlohmann::json& json, CCallResult& result) {
    json.at("refused").get_to(result.m_bRefused);
    json.at("error").get_to(result.m_strError);
    result.m_Verdict.m_eVerdict = static_cast<EFileVerdict>(json.at("verdict").get<int>());
    json.at("detail").get_to(result.m_Verdict.m_strDetail);
    json.at("stem").get_to(result.m_strSummaryStem);
    json.at("summary").get_to(result.m_strSummaryText);
}
