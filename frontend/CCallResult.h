// What one planned call of a batch came to, handed from the process that made it to
// the walk over the batch: refused for a report another capture of the batch claimed,
// the library's answer, the verdict recorded right after it (a later analysis of the
// same capture replaces the record), and the capture's line of the batch summary.
#pragma once

#include <nlohmann/json_fwd.hpp>
#include <string>

#include "CRecordedVerdict.h"

struct CCallResult {
    bool m_bRefused = false;
    std::string m_strError;  // "" when the analysis ran to the end
    CFileVerdict m_Verdict;
    // The batch summary the call would have started ("High_Speed_Results") and its text,
    // header and the capture's line, when the call writes one.
    std::string m_strSummaryStem;
    std::string m_strSummaryText;
};

void to_json(nlohmann::json& json, const CCallResult& result);
void from_json(const nlohmann::json& json, CCallResult& result);
