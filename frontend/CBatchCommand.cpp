#include "CBatchCommand.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <nlohmann/json.hpp>

#include "OrvanePaths.h"

CBatchCommand CBatchCommand::Here(std::string command,
                                  std::vector<std::vector<std::string>> commands,
                                  const CCmdOptions& options, unsigned hubs) {
    CBatchCommand batch;
    batch.m_strCommand = std::move(command);
    batch.m_Commands = std::move(commands);
    batch.m_Options = options;
    batch.m_nHubs = hubs;
    batch.m_strWorkingFolder = orvane::CurrentFolder();
    const char* output = std::getenv("VELKIN_OUTPUT_DIR");
    batch.m_strOutputFolder = output != nullptr ? output : "";
    return batch;
}

bool CBatchCommand::Enter(std::string& refusal) const {
    if (::chdir(m_strWorkingFolder.c_str()) != 0) {
        refusal = m_strWorkingFolder + ": " + std::strerror(errno);
        return false;
    }
    if (m_strOutputFolder.empty()) {
        unsetenv("VELKIN_OUTPUT_DIR");
    } else {
        setenv("VELKIN_OUTPUT_DIR", m_strOutputFolder.c_str(), 1);
    }
    return true;
}

void CBatchCommand::Walk(CCmdLine& commandLine, COrvaneRunner& runner) const {
    runner.m_nHubCount = m_nHubs;
    const bool verbose = commandLine.m_Options.m_bVerbose;
    commandLine.m_Options = m_Options;
    commandLine.m_Options.m_bVerbose = verbose;
    if (m_Commands.empty()) {
        commandLine.RunCommandLine(m_strCommand);
    } else {
        commandLine.RunCommands(m_Commands);
    }
}

void to_json(nlohmann::json& json, const CBatchCommand& command) {
    json = {{"command", command.m_strCommand},
            {"commands", command.m_Commands},
            {"quiet", command.m_Options.m_bQuiet},
            {"summary", command.m_Options.m_bSummary},
            {"hubs", command.m_nHubs},
            {"folder", command.m_strWorkingFolder},
            {"output", command.m_strOutputFolder}};
}

void from_json(const nlohmann::json& json, CBatchCommand& command) {
    json.at("command").get_to(command.m_strCommand);
    json.at("commands").get_to(command.m_Commands);
    json.at("quiet").get_to(command.m_Options.m_bQuiet);
    json.at("summary").get_to(command.m_Options.m_bSummary);
    json.at("hubs").get_to(command.m_nHubs);
    json.at("folder").get_to(command.m_strWorkingFolder);
    json.at("output").get_to(command.m_strOutputFolder);
}
