// A batch run faster than one capture at a time: its analyses shared among worker
// processes (--jobs), or among shards started apart, on other machines of a cluster too
// (--shard K/N), whose records `merge` joins. Either way the batch is planned first and
// then walked as a one-at-a-time run walks it, taking each analysis's result as it comes,
// so its console lines, log, batch summary and exit status are that run's.
#pragma once

#include <string>
#include <vector>

#include "CBatchCommand.h"
#include "COrvaneFeedback.h"

class CParallelBatch {
public:
    CParallelBatch(CBatchCommand command, COrvaneFeedback& feedback)
        : m_Command(std::move(command)), m_Feedback(feedback) {}

    // The batch with `jobs` workers; a batch of one analysis runs in this process.
    // Returns the exit status.
    int RunJobs(unsigned jobs);
    // Shard `shard` (from 1) of `shards`, with `jobs` workers: its results go into its
    // shard record, its lines onto standard output.
    int RunShard(unsigned shard, unsigned shards, unsigned jobs);
    // The shard records in `paths` (files, or folders holding them) joined into the
    // batch's log and summary, its lines printed; the records are removed once done.
    static int Merge(const std::vector<std::string>& paths, bool verbose,
                     COrvaneFeedback& feedback);

private:
    CBatchCommand m_Command;
    COrvaneFeedback& m_Feedback;
};
