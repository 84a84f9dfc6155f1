#include "CBatchPlan.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>

#include "COrvaneRunner.h"
#include "COwnOutputs.h"
#include "CSilentFeedback.h"

namespace {

// Notes each call and answers it as not analysed, so the plan's walk claims no report.
class CNotingCalls : public CLibraryCalls {
public:
    explicit CNotingCalls(std::vector<CLibraryCall>& calls) : m_Calls(calls) {}
    std::string Run(const CLibraryCall& call) override {
        m_Calls.push_back(call);
        return "Planned";
    }
    CFileVerdict Verdict(const std::string& /*dataFile*/) override { return {}; }

private:
    std::vector<CLibraryCall>& m_Calls;
};

// The outputs of a capture, one path however the capture was named.
std::string OutputKey(const std::string& dataFile) {
    std::error_code error;
    const std::string report = COwnOutputs::OutputPath(dataFile, COwnOutputs::kReport);
    const std::filesystem::path absolute = std::filesystem::absolute(report, error);
    return (error ? std::filesystem::path(report) : absolute).lexically_normal().string();
}

// 64-bit FNV-1a: the same text gives the same name on every machine of a cluster.
std::string Fnv1a(const std::string& text) {
    std::uint64_t hash = 14695981039346656037ULL;
    for (const unsigned char c : text) hash = (hash ^ c) * 1099511628211ULL;
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    return hex;
}

}  // namespace

CBatchPlan CBatchPlan::Make(const CBatchCommand& command) {
    CBatchPlan plan;
    CSilentFeedback feedback;
    COrvaneRunner runner(feedback);
    CNotingCalls noting(plan.m_Calls);
    runner.m_pCalls = &noting;
    CCmdLine commandLine(runner, feedback);
    commandLine.m_bWriteLogs = false;
    commandLine.m_pBatchFiles = &plan.m_Files;
    command.Walk(commandLine, runner);
    return plan;
}

std::vector<std::size_t> CBatchPlan::Share(unsigned which, unsigned count) const {
    std::vector<std::size_t> share;
    for (const std::vector<std::size_t>& group : Groups(count, which))
        share.insert(share.end(), group.begin(), group.end());
    std::sort(share.begin(), share.end());
    return share;
}

std::vector<std::vector<std::size_t>> CBatchPlan::Groups(unsigned stride, unsigned offset) const {
    std::map<std::string, std::size_t> first;
    std::map<std::size_t, std::vector<std::size_t>> groups;  // by their first call
    for (std::size_t index = 0; index < m_Calls.size(); ++index) {
        const std::size_t leader =
            first.emplace(OutputKey(m_Calls[index].m_strDataFile), index).first->second;
        if (leader % stride == offset) groups[leader].push_back(index);
    }
    std::vector<std::vector<std::size_t>> ordered;
    for (auto& [leader, group] : groups) ordered.push_back(std::move(group));
    return ordered;
}

std::string CBatchPlan::Digest(const CBatchCommand& command) const {
    const std::vector<std::uint8_t> bytes =
        nlohmann::json::to_msgpack({{"command", command}, {"calls", m_Calls}});
    return Fnv1a(std::string(bytes.begin(), bytes.end()));
}
