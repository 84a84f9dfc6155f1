#include "COwnOutputs.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <regex>

#include "CBatchLog.h"
#include "OrvanePaths.h"

namespace {

// The batch summaries of every signal test and of inrush: "<stem>_NN.csv", numbered
// from 00 so that a new batch never appends to an older one.
constexpr std::array<const char*, 10> kBatchSummaryStems = {
    "Low_Speed_Results",      "Full_Speed_Results",      "High_Speed_Results",
    "Low_Speed_Hub_Results",  "Full_Speed_Hub_Results",  "High_Speed_Hub_Results",
    "eUSB_Low_Speed_Results", "eUSB_Full_Speed_Results", "eUSB_High_Speed_Results",
    "Inrush_Results"};
constexpr std::size_t kBatchNumberDigits = 2;
constexpr std::string_view kCsv = ".csv";

constexpr std::array<const char*, 7> kCaptureOutputs = {
    COwnOutputs::kReport,        COwnOutputs::kResultRecord, COwnOutputs::kWaveformPlot,
    COwnOutputs::kEyePlot,       COwnOutputs::kPacketPlot,   COwnOutputs::kFileSummary,
    COwnOutputs::kCommandFileLog};

std::string StemOf(const std::string& name) { return name.substr(0, name.rfind('.')); }

bool IsBatchSummary(std::string_view name) {
    if (!name.ends_with(kCsv)) return false;
    name.remove_suffix(kCsv.size());
    return std::any_of(kBatchSummaryStems.begin(), kBatchSummaryStems.end(), [&](const char* stem) {
        const std::string_view prefix(stem);
        if (!name.starts_with(prefix) || name.size() < prefix.size() + 1 + kBatchNumberDigits ||
            name[prefix.size()] != '_')
            return false;
        const std::string_view number = name.substr(prefix.size() + 1);
        return std::all_of(number.begin(), number.end(),
                           [](unsigned char c) { return std::isdigit(c) != 0; });
    });
}

}  // namespace

std::string COwnOutputs::OutputPath(const std::string& dataFile, const std::string& suffix) {
    const std::size_t slash = dataFile.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = dataFile.rfind('.');
    const std::string stem =
        dot == std::string::npos || dot < nameStart ? dataFile : dataFile.substr(0, dot);
    const std::string folder = FolderFor("");
    if (folder.empty()) return stem + suffix;
    return orvane::InFolder(folder, stem.substr(nameStart) + suffix);
}

std::string COwnOutputs::FolderFor(const std::string& dataFolder) {
    const char* folder = std::getenv("VELKIN_OUTPUT_DIR");
    return folder != nullptr && *folder != '\0' ? folder : dataFolder;
}

std::set<std::string> COwnOutputs::BatchSummariesIn(const std::string& folder) {
    std::set<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(folder.empty() ? "." : folder, error), end;
         !error && entry != end; entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        if (IsBatchSummary(name)) names.insert(name);
    }
    return names;
}

bool COwnOutputs::IsShardRecordName(const std::string& name) {
    static const std::regex kName(R"(.+\.shard-[0-9]+-of-[0-9]+\.rec)");
    return std::regex_match(name, kName);
}

const std::map<std::string, int>& COwnOutputs::StemsIn(const std::string& folder) {
    const auto known = m_StemsByFolder.find(folder);
    if (known != m_StemsByFolder.end()) return known->second;
    std::map<std::string, int>& stems = m_StemsByFolder[folder];
    // In a folder that cannot be listed only batch summaries and logs are known, by name.
    std::error_code error;
    for (std::filesystem::directory_iterator entry(folder.empty() ? "." : folder, error), end;
         !error && entry != end; entry.increment(error))
        ++stems[StemOf(entry->path().filename().string())];
    return stems;
}

bool COwnOutputs::IsOwnOutput(const std::string& path) {
    // Only "/" ends a folder, as in Velkin's output names.
    const std::filesystem::path file(path);
    const std::string name = file.filename().string();
    if (IsBatchSummary(name) || CBatchLog::IsTimeStampedName(name) || IsShardRecordName(name))
        return true;
    const std::map<std::string, int>& stems = StemsIn(file.parent_path().string());
    return std::any_of(kCaptureOutputs.begin(), kCaptureOutputs.end(), [&](const char* suffix) {
        if (!name.ends_with(suffix)) return false;
        const std::string owner = name.substr(0, name.size() - std::string_view(suffix).size());
        // "cap.html" shares its stem with cap.csv: it needs a file besides itself.
        const int needed = StemOf(name) == owner ? 2 : 1;
        const auto found = stems.find(owner);
        return found != stems.end() && found->second >= needed;
    });
}
