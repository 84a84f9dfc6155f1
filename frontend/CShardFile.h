// What one shard of a batch leaves for `orvane merge`: which batch it belongs to (a
// digest of the command and its planned calls), which shard of how many, the command
// to walk again, the files the shard saw, and each of its calls with its index in the
// batch and its result. Written whole or not at all, beside where the batch's log goes,
// under a name that later batches take for an output, not a capture.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <utility>

#include "CBatchCommand.h"
#include "CBatchFiles.h"
#include "CCallResult.h"
#include "CLibraryCall.h"

struct CShardFile {
    std::string m_strBatch;  // CBatchPlan::Digest
    unsigned m_nShard = 1;   // from 1
    unsigned m_nShards = 1;
    std::size_t m_nCalls = 0;  // the batch's planned calls, all shards together
    CBatchCommand m_Command;
    CBatchFiles m_Files;
    std::map<std::size_t, std::pair<CLibraryCall, CCallResult>> m_Results;

    // "batch_<digest>.shard-<K>-of-<N>.rec"
    static std::string FileName(const std::string& batch, unsigned shard, unsigned shards);
    // Writes the record into `folder`; "" or "<file>: <reason>".
    std::string Write(const std::string& folder) const;
    // Reads `path`; "" or "<file>: <reason>".
    std::string Read(const std::string& path);
};
