// A command line as it was given, with what it depends on beyond its words: the working
// folder that bare capture names are found in, the output folder, the summary and quiet
// options and the hub count. The walk over a batch can then be made again, in another
// process or after the shards of the batch have run, and come to the same lines.
#pragma once

#include <nlohmann/json_fwd.hpp>
#include <string>
#include <vector>

#include "CCmdLine.h"

struct CBatchCommand {
    std::string m_strCommand;                          // the comma form, joined
    std::vector<std::vector<std::string>> m_Commands;  // or the option form's commands
    CCmdOptions m_Options;
    unsigned m_nHubs = 1;
    std::string m_strWorkingFolder;
    std::string m_strOutputFolder;  // VELKIN_OUTPUT_DIR, or ""

    // The command of this process, in its working folder and output folder.
    static CBatchCommand Here(std::string command, std::vector<std::vector<std::string>> commands,
                              const CCmdOptions& options, unsigned hubs);
    // Makes this process's working folder and output folder the command's. False, with
    // the reason in `refusal`, when the working folder is gone.
    bool Enter(std::string& refusal) const;
    // The whole command line walked through `commandLine`, whose runner gets the hub count.
    void Walk(CCmdLine& commandLine, COrvaneRunner& runner) const;
};

void to_json(nlohmann::json& json, const CBatchCommand& command);
void from_json(const nlohmann::json& json, CBatchCommand& command);
