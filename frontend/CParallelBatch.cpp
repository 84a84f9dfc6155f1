#include "CParallelBatch.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <stdexcept>

#include "CBatchPlan.h"
#include "CResultCalls.h"
#include "CScratchFolder.h"
#include "CShardFile.h"
#include "CVerdictTally.h"
#include "CWorkerPool.h"
#include "OrvanePaths.h"

namespace fs = std::filesystem;

namespace {

// The walk over the batch, each analysis answered by `calls`.
int Walk(const CBatchCommand& command, CBatchFiles* files, CLibraryCalls* calls,
         COrvaneFeedback& feedback) {
    COrvaneRunner runner(feedback);
    runner.m_pCalls = calls;
    CCmdLine commandLine(runner, feedback);
    commandLine.m_Options.m_bVerbose = command.m_Options.m_bVerbose;
    commandLine.m_pBatchFiles = files;
    command.Walk(commandLine, runner);
    return commandLine.ExitStatus();
}

// Where the shard records of a batch go: where the log of its first capture would.
std::string RecordFolder(const CBatchPlan& plan) {
    const std::string data = plan.m_Calls.empty() ? "" : plan.m_Calls.front().m_strDataFile;
    const std::string folder = orvane::FolderOf(data);
    return COwnOutputs::FolderFor(folder.empty() ? orvane::CurrentFolder() : folder);
}

// A capture as a wildcard found it: the walk made a bare name one in the working folder.
std::string AsNamed(const std::string& dataFile) {
    const std::string name = orvane::FileNameOf(dataFile);
    return orvane::FolderOf(dataFile) == orvane::CurrentFolder() ? name : dataFile;
}

int Refuse(const std::string& reason, COrvaneFeedback& feedback) {
    feedback.ShowMessage(reason);
    return CVerdictTally::kUsageError;
}

// The shard records named by `paths`, a folder standing for those in it.
std::vector<std::string> RecordPaths(const std::vector<std::string>& paths) {
    std::vector<std::string> records;
    for (const std::string& path : paths) {
        // Absolute: the merge walks in the batch's working folder.
        std::error_code error;
        if (!fs::is_directory(path, error)) {
            records.push_back(fs::absolute(path, error).lexically_normal().string());
            continue;
        }
        for (fs::directory_iterator entry(path, error), end; !error && entry != end;
             entry.increment(error))
            if (COwnOutputs::IsShardRecordName(entry->path().filename().string()))
                records.push_back(fs::absolute(entry->path(), error).lexically_normal().string());
    }
    std::sort(records.begin(), records.end());
    return records;
}

}  // namespace

int CParallelBatch::RunJobs(unsigned jobs) {
    CBatchPlan plan = CBatchPlan::Make(m_Command);
    if (plan.m_Calls.size() <= 1 || jobs <= 1) {
        return Walk(m_Command, nullptr, nullptr, m_Feedback);
    }
    CWorkerPool pool(plan.m_Calls, plan.Groups(), jobs);
    CResultCalls calls(
        plan.m_Calls, [&](std::size_t index) { return pool.Result(index); }, pool.PrivateFolder(),
        plan.m_Files);
    return Walk(m_Command, &plan.m_Files, &calls, m_Feedback);
}

int CParallelBatch::RunShard(unsigned shard, unsigned shards, unsigned jobs) {
    const CBatchPlan plan = CBatchPlan::Make(m_Command);
    CShardFile record;
    record.m_strBatch = plan.Digest(m_Command);
    record.m_nShard = shard;
    record.m_nShards = shards;
    record.m_nCalls = plan.m_Calls.size();
    record.m_Command = m_Command;
    record.m_Files = plan.m_Files;
    CWorkerPool pool(plan.m_Calls, plan.Groups(shards, shard - 1), std::max(jobs, 1u));
    CVerdictTally tally;
    for (const std::size_t index : plan.Share(shard - 1, shards)) {
        const CCallResult result = pool.Result(index);
        record.m_Results[index] = {plan.m_Calls[index], result};
        if (result.m_bRefused) continue;
        m_Feedback.ShowResult(tally.Add(
            AsNamed(plan.m_Calls[index].m_strDataFile),
            result.m_strError.empty() ? result.m_Verdict
                                      : CFileVerdict{EFileVerdict::kError, result.m_strError}));
    }
    m_Feedback.ShowResult(tally.CountLine());
    const std::string folder = RecordFolder(plan);
    if (const std::string failure = record.Write(folder); !failure.empty()) {
        m_Feedback.ShowMessage("Failed to write the shard record " + failure);
        return CVerdictTally::kNotAnalysed;
    }
    m_Feedback.ShowMessage(
        "Shard " + std::to_string(shard) + " of " + std::to_string(shards) + " recorded in " +
        orvane::InFolder(folder, CShardFile::FileName(record.m_strBatch, shard, shards)));
    return tally.ExitStatus();
}

int CParallelBatch::Merge(const std::vector<std::string>& paths, bool verbose,
                          COrvaneFeedback& feedback) {
    const std::vector<std::string> recordPaths = RecordPaths(paths);
    if (recordPaths.empty())
        return Refuse(
            (paths.empty() ? std::string(".") : paths.front()) + ": holds no shard record to merge",
            feedback);
    std::vector<CShardFile> records(recordPaths.size());
    std::map<unsigned, std::string> shardPaths;
    for (std::size_t n = 0; n < records.size(); ++n) {
        const std::string& path = recordPaths[n];
        if (const std::string refusal = records[n].Read(path); !refusal.empty())
            return Refuse(refusal, feedback);
        const CShardFile& first = records.front();
        const CShardFile& record = records[n];
        if (record.m_strBatch != first.m_strBatch || record.m_nShards != first.m_nShards)
            return Refuse(path + ": belongs to another batch than " + recordPaths.front(),
                          feedback);
        if (const auto [other, fresh] = shardPaths.emplace(record.m_nShard, path); !fresh)
            return Refuse(path + ": shard " + std::to_string(record.m_nShard) + " of " +
                              std::to_string(record.m_nShards) + " is given twice, also as " +
                              other->second,
                          feedback);
    }
    const CShardFile& first = records.front();
    for (unsigned shard = 1; shard <= first.m_nShards; ++shard)
        if (!shardPaths.contains(shard))
            return Refuse(
                orvane::InFolder(orvane::FolderOf(recordPaths.front()),
                                 CShardFile::FileName(first.m_strBatch, shard, first.m_nShards)) +
                    ": shard " + std::to_string(shard) + " of " + std::to_string(first.m_nShards) +
                    " of this batch is missing",
                feedback);
    std::vector<CLibraryCall> planned(first.m_nCalls);
    std::vector<CCallResult> results(first.m_nCalls);
    std::vector<bool> given(first.m_nCalls, false);
    CBatchFiles files = first.m_Files;
    for (const CShardFile& record : records) {
        files.KeepCommon(record.m_Files);
        for (const auto& [index, result] : record.m_Results) {
            if (index >= first.m_nCalls) continue;
            planned[index] = result.first;
            results[index] = result.second;
            given[index] = true;
        }
    }
    if (const auto gap = std::find(given.begin(), given.end(), false); gap != given.end())
        return Refuse(recordPaths.front() + ": the batch's call " +
                          std::to_string(gap - given.begin() + 1) + " is in none of its shards",
                      feedback);
    CBatchCommand command = first.m_Command;
    command.m_Options.m_bVerbose = verbose;
    if (std::string refusal; !command.Enter(refusal)) return Refuse(refusal, feedback);
    int status = CVerdictTally::kNotAnalysed;
    {
        const CScratchFolder scratch;
        CResultCalls calls(
            planned, [&](std::size_t index) { return results[index]; }, scratch.Path("merge"),
            files);
        status = Walk(command, &files, &calls, feedback);
    }
    // The log and summary are whole now; the records have served.
    for (const std::string& path : recordPaths) {
        std::error_code ignored;
        fs::remove(path, ignored);
    }
    return status;
}
