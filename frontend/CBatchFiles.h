// The files a batch's wildcards match and which of the files it names are outputs of
// earlier runs. A planned batch keeps what its plan first matched: its captures are
// analysed in other processes ahead of the walk, and the reports and plots they write
// meanwhile must not be seen before the walk reaches them. The walk then sees what a
// run one capture at a time sees: the files there before the batch, and those the
// batch itself wrote up to that point (an earlier capture's summary, a log).
#pragma once

#include <map>
#include <nlohmann/json_fwd.hpp>
#include <set>
#include <string>
#include <vector>

#include "COwnOutputs.h"

class CBatchFiles {
public:
    // Without `fixed`, each wildcard is matched as the folder stands, as a run that is
    // not planned does.
    explicit CBatchFiles(bool fixed = false) : m_bFixed(fixed) {}

    // The regular files `pattern` matches, sorted by name, so that a batch summary lists
    // its captures in a reproducible order.
    std::vector<std::string> Matches(const std::string& pattern);
    // COwnOutputs::IsOwnOutput, as it first answered for `path`.
    bool IsOwnOutput(const std::string& path);
    // A file the walk has reached the writing of: seen by its wildcards from now on.
    void Wrote(const std::string& path);
    // Only what `other` saw too: the outputs one shard of a batch wrote before another
    // looked are no files of the batch.
    void KeepCommon(const CBatchFiles& other);

    friend void to_json(nlohmann::json& json, const CBatchFiles& files);
    friend void from_json(const nlohmann::json& json, CBatchFiles& files);

private:
    bool m_bFixed;
    std::map<std::string, std::vector<std::string>> m_Matches;  // as first matched
    std::map<std::string, bool> m_OwnOutputs;
    std::set<std::string> m_Written;  // absolute
    COwnOutputs m_Names;
};
