// The calls of the walk over a planned batch, answered with the results the batch's
// analyses handed back (from workers or from shard records) instead of being made
// here: each call is matched to the next planned call of the same analysis, its
// result waited for, and its batch summary line written in the walk's order. A call
// the plan did not foresee is made in this process.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "CBatchFiles.h"
#include "CBatchSummaryWriter.h"
#include "CCallResult.h"
#include "CLibraryCalls.h"

class CResultCalls : public CLibraryCalls {
public:
    using Source = std::function<CCallResult(std::size_t index)>;
    // The outputs of each analysis are told to `files` as the walk reaches it.
    CResultCalls(const std::vector<CLibraryCall>& planned, Source source, std::string privateFolder,
                 CBatchFiles& files)
        : m_Planned(planned),
          m_Source(std::move(source)),
          m_strPrivateFolder(std::move(privateFolder)),
          m_Files(files) {}

    std::string Run(const CLibraryCall& call) override;
    CFileVerdict Verdict(const std::string& /*dataFile*/) override { return m_LastVerdict; }

private:
    const std::vector<CLibraryCall>& m_Planned;
    Source m_Source;
    std::string m_strPrivateFolder;
    CBatchFiles& m_Files;
    std::size_t m_nNext = 0;
    CFileVerdict m_LastVerdict;
    CBatchSummaryWriter m_Summary;
};
