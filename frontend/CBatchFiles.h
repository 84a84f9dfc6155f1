// The files a batch's wildcards match and which of the files it names are outputs of
// earlier runs, fixed at the first look. A batch planned before its captures are
// analysed elsewhere then walks the same list: the reports and plots written meanwhile
// are not taken for new captures, and every shard of a batch can say what it saw.
#pragma once

#include <map>
#include <nlohmann/json_fwd.hpp>
#include <string>
#include <vector>

#include "COwnOutputs.h"

class CBatchFiles {
public:
    // Without `fixed`, each wildcard is matched anew, as a run that is not planned does.
    explicit CBatchFiles(bool fixed = false) : m_bFixed(fixed) {}

    // The regular files `pattern` matches, sorted by name, so that a batch summary lists
    // its captures in a reproducible order.
    const std::vector<std::string>& Matches(const std::string& pattern);
    // COwnOutputs::IsOwnOutput, as it first answered for `path`.
    bool IsOwnOutput(const std::string& path);
    // Only what `other` saw too: the outputs one shard of a batch wrote before another
    // looked are no files of the batch.
    void KeepCommon(const CBatchFiles& other);

    friend void to_json(nlohmann::json& json, const CBatchFiles& files);
    friend void from_json(const nlohmann::json& json, CBatchFiles& files);

private:
    bool m_bFixed;
    std::map<std::string, std::vector<std::string>> m_Matches;
    std::map<std::string, bool> m_OwnOutputs;
    COwnOutputs m_Names;
};
