#include "CIsolatedCall.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "velkin.h"

namespace fs = std::filesystem;

namespace {

// A new batch summary is the first of its numbers: "<stem>_00.csv".
constexpr std::string_view kFirstBatchSummary = "_00.csv";

// The summary the call started in `folder`; an error when there is none.
void TakeSummary(const std::string& folder, CCallResult& result) {
    std::error_code error;
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        if (!name.ends_with(kFirstBatchSummary)) continue;
        result.m_strSummaryStem = name.substr(0, name.size() - kFirstBatchSummary.size());
        std::ifstream in(entry->path(), std::ios::binary);
        result.m_strSummaryText.assign(std::istreambuf_iterator<char>(in), {});
        if (in.good() || in.eof()) return;
    }
    result.m_strError = "The batch summary line of this capture was not written in " + folder;
}

}  // namespace

CCallResult CIsolatedCall::Run(const CLibraryCall& call, const std::string& privateFolder) {
    CCallResult result;
    CLibraryCall apart = call;
    std::error_code error;
    if (call.WritesBatchSummary()) {
        fs::remove_all(privateFolder, error);
        if (!fs::create_directories(privateFolder, error)) {
            result.m_strError = privateFolder + ": " + error.message();
            return result;
        }
        apart.m_nMode = VELKIN_MODE_NEW_BATCH_SUMMARY;
        setenv("VELKIN_BATCH_DIR", privateFolder.c_str(), 1);
    }
    result.m_strError = apart.Run();
    unsetenv("VELKIN_BATCH_DIR");
    if (result.m_strError.empty()) {
        result.m_Verdict = CRecordedVerdict::Read(call.m_strDataFile);
        if (call.WritesBatchSummary()) TakeSummary(privateFolder, result);
    }
    if (call.WritesBatchSummary()) fs::remove_all(privateFolder, error);
    return result;
}
