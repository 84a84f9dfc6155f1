#include "CShareRunner.h"

#include "CIsolatedCall.h"
#include "COrvaneRunner.h"
#include "CSilentFeedback.h"

void CShareRunner::Run(const std::vector<CLibraryCall>& calls,
                       const std::vector<std::size_t>& share, const std::string& privateFolder,
                       const Hand& hand) {
    CSilentFeedback feedback;
    COrvaneRunner claims(feedback);
    claims.BeginBatch();
    for (const std::size_t index : share) {
        const CLibraryCall& call = calls.at(index);
        CCallResult result;
        result.m_bRefused = !claims.ReportRefusal(call.m_strDataFile).empty();
        if (!result.m_bRefused) {
            result = CIsolatedCall::Run(call, privateFolder);
            if (result.m_strError.empty()) claims.ClaimReport(call.m_strDataFile);
        }
        hand(index, result);
    }
}
