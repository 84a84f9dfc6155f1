#include "CResultCalls.h"

#include <algorithm>

#include "CIsolatedCall.h"
#include "COwnOutputs.h"
#include "velkin.h"

namespace {

// What an analysis that ran to the end wrote beside its report.
std::vector<const char*> Outputs(const CLibraryCall& call) {
    std::vector<const char*> suffixes = {COwnOutputs::kReport, COwnOutputs::kResultRecord,
                                         COwnOutputs::kWaveformPlot};
    if (call.m_eExport != ELibraryExport::kUsbInrushCheck)
        suffixes.insert(suffixes.end(), {COwnOutputs::kEyePlot, COwnOutputs::kPacketPlot});
    if (call.m_nMode == VELKIN_MODE_FILE_SUMMARY) suffixes.push_back(COwnOutputs::kFileSummary);
    return suffixes;
}

}  // namespace

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
        m_Files.Wrote(m_Summary.Path());
    }
    for (const char* suffix : Outputs(call))
        m_Files.Wrote(COwnOutputs::OutputPath(call.m_strDataFile, suffix));
    m_LastVerdict = result.m_Verdict;
    return "";
}
