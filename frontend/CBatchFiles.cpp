#include "CBatchFiles.h"

#include <glob.h>

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>

namespace {

std::vector<std::string> Glob(const std::string& pattern) {
    std::vector<std::string> files;
    glob_t matches{};
    if (glob(pattern.c_str(), 0, nullptr, &matches) == 0) {
        std::error_code error;
        for (std::size_t i = 0; i < matches.gl_pathc; ++i)
            if (std::filesystem::is_regular_file(matches.gl_pathv[i], error))
                files.emplace_back(matches.gl_pathv[i]);
    }
    globfree(&matches);
    std::sort(files.begin(), files.end());
    return files;
}

// One name per file, however a wildcard or the walk named it.
std::string Key(const std::string& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return (error ? std::filesystem::path(path) : absolute).lexically_normal().string();
}

}  // namespace

std::vector<std::string> CBatchFiles::Matches(const std::string& pattern) {
    std::vector<std::string> files = Glob(pattern);
    const auto first = m_Matches.find(pattern);
    if (!m_bFixed) return files;
    if (first == m_Matches.end()) return m_Matches[pattern] = files;
    std::erase_if(files, [&](const std::string& file) {
        return !std::binary_search(first->second.begin(), first->second.end(), file) &&
               !m_Written.contains(Key(file));
    });
    return files;
}

bool CBatchFiles::IsOwnOutput(const std::string& path) {
    const auto known = m_OwnOutputs.find(path);
    if (known != m_OwnOutputs.end()) return known->second;
    return m_OwnOutputs[path] = m_Names.IsOwnOutput(path);
}

void CBatchFiles::Wrote(const std::string& path) { m_Written.insert(Key(path)); }

void CBatchFiles::KeepCommon(const CBatchFiles& other) {
    for (auto& [pattern, files] : m_Matches) {
        const auto seen = other.m_Matches.find(pattern);
        if (seen == other.m_Matches.end()) continue;
        std::erase_if(files, [&](const std::string& file) {
            return !std::binary_search(seen->second.begin(), seen->second.end(), file);
        });
    }
}

void to_json(nlohmann::json& json, const CBatchFiles& files) {
    json = {{"matches", files.m_Matches}, {"outputs", files.m_OwnOutputs}};
}

void from_json(const nlohmann::json& json, CBatchFiles& files) {
    files.m_bFixed = true;
    json.at("matches").get_to(files.m_Matches);
    json.at("outputs").get_to(files.m_OwnOutputs);
}
