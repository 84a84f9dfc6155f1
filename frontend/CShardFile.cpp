#include "CShardFile.h"

#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>

#include "OrvanePaths.h"

namespace {

// Raised when the record format changes, so that a merge never misreads an older shard.
constexpr int kFormat = 1;

}  // namespace

std::string CShardFile::FileName(const std::string& batch, unsigned shard, unsigned shards) {
    return "batch_" + batch + ".shard-" + std::to_string(shard) + "-of-" + std::to_string(shards) +
           ".rec";
}

std::string CShardFile::Write(const std::string& folder) const {
    nlohmann::json results = nlohmann::json::array();
    for (const auto& [index, result] : m_Results)
        results.push_back({{"index", index}, {"call", result.first}, {"result", result.second}});
    const nlohmann::json record = {
        {"format", kFormat}, {"batch", m_strBatch},  {"shard", m_nShard}, {"shards", m_nShards},
        {"calls", m_nCalls}, {"command", m_Command}, {"files", m_Files},  {"results", results}};
    const std::string path = orvane::InFolder(folder, FileName(m_strBatch, m_nShard, m_nShards));
    const std::string temporary = path + "." + std::to_string(getpid()) + ".writing";
    // MessagePack keeps a file name that is not UTF-8 as it is, byte for byte.
    const std::vector<std::uint8_t> bytes = nlohmann::json::to_msgpack(record);
    std::ofstream out(temporary, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out || std::rename(temporary.c_str(), path.c_str()) != 0) {
        const std::string reason = std::strerror(errno);
        std::remove(temporary.c_str());
        return path + ": " + reason;
    }
    return "";
}

std::string CShardFile::Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return path + ": " + std::strerror(errno);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    const nlohmann::json record = nlohmann::json::from_msgpack(bytes, true, false);
    if (record.is_discarded() || !record.is_object())
        return path + ": is not a whole shard record (cut short or not one at all)";
    try {
        if (record.at("format").get<int>() != kFormat)
            return path + ": is a shard record of another version of orvane";
        record.at("batch").get_to(m_strBatch);
        record.at("shard").get_to(m_nShard);
        record.at("shards").get_to(m_nShards);
        record.at("calls").get_to(m_nCalls);
        record.at("command").get_to(m_Command);
        record.at("files").get_to(m_Files);
        for (const nlohmann::json& result : record.at("results"))
            m_Results[result.at("index").get<std::size_t>()] = {
                result.at("call").get<CLibraryCall>(), result.at("result").get<CCallResult>()};
    } catch (const nlohmann::json::exception& error) {
        return path + ": is not a shard record: " + error.what();
    }
    return "";
}
