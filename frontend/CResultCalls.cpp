#include "CResultCalls.h"

#include <algorithm>

#include "CIsolatedCall.h"

std::string CResultCalls::Run(const CLibraryCall& call) {
    // The walk makes the planned calls in order, less those it refuses.
    const auto planned = std::find_if(
        m_Planned.begin() + static_cast<std::ptrdiff_t>(std::min(m_nNext, m_Planned.size())),
        m_Planned.end(), [&](const CLibraryCall& next) { return next.SameAnalysis(call); });
    CCallResult result;
    result.m_bRefused = true;
    if (planned != m_Planned.end()) {
        m_nNext = static_cast<std::size_t>(planned - m_Planned.begin()) + 1;
        result = m_Source(m_nNext - 1);
    }
    if (result.m_bRefused) result = CIsolatedCall::Run(call, m_strPrivateFolder);
    if (!result.m_strError.empty()) return result.m_strError;
    if (call.WritesBatchSummary()) {
        if (std::string error = m_Summary.Add(call, result); !error.empty()) return error;
    }
    m_LastVerdict = result.m_Verdict;
    return "";
}
