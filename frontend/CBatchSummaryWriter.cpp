#include "CBatchSummaryWriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "COwnOutputs.h"
#include "velkin.h"

namespace fs = std::filesystem;

namespace {

std::string Failure(int error, const fs::path& path) {
    return std::string(std::strerror(error)) + ": " + path.filename().string();
}

// The folder the library puts a capture's batch summary in.
fs::path SummaryFolder(const std::string& dataFile) {
    std::error_code ignored;
    return fs::absolute(
        COwnOutputs::FolderFor(fs::absolute(dataFile, ignored).parent_path().string()), ignored);
}

// `text` put in place as `path` in one step: a reader sees the old file or the new one.
std::string Replace(const fs::path& path, const std::string& text) {
    // Hidden while it is written, so that no wildcard takes it for a capture.
    std::string name = path.filename().string();
    name.insert(0, 1, '.').append(".").append(std::to_string(getpid()));
    const fs::path temporary = path.parent_path() / name;
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (file == nullptr) return Failure(errno, path);
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    const int error = errno;
    if (std::fclose(file) != 0 || !written || std::rename(temporary.c_str(), path.c_str()) != 0) {
        const int failure = written ? errno : error;
        std::remove(temporary.c_str());
        return Failure(failure, path);
    }
    return "";
}

}  // namespace

std::string CBatchSummaryWriter::LastLine(const std::string& text) {
    std::size_t start = 0;
    bool quoted = false;
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == '"') quoted = !quoted;
        if (text[i] == '\n' && !quoted) start = i + 1;
    }
    return text.substr(start);
}

std::string CBatchSummaryWriter::Add(const CLibraryCall& call, const CCallResult& result) {
    if (call.m_nMode == VELKIN_MODE_NEW_BATCH_SUMMARY) {
        // The name is held by an empty file created exclusively, as the library holds it.
        const fs::path folder = SummaryFolder(call.m_strDataFile);
        for (int number = 0;; ++number) {
            char name[32];
            std::snprintf(name, sizeof name, "_%.2d.csv", number);
            const fs::path path = folder / (result.m_strSummaryStem + name);
            std::error_code error;
            if (fs::symlink_status(path, error).type() != fs::file_type::not_found) continue;
            const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd < 0 && errno == EEXIST) continue;
            if (fd < 0) return Failure(errno, path);
            ::close(fd);
            m_strPath = path.string();
            return Replace(path, result.m_strSummaryText);
        }
    }
    // No batch summary started: as the library, an append has nothing to add to.
    if (m_strPath.empty()) return Failure(ENOENT, m_strPath);
    // A summary removed since the batch started is started again from nothing.
    std::ifstream in(m_strPath, std::ios::binary);
    if (!in && errno != ENOENT) return Failure(errno, m_strPath);
    std::string text(std::istreambuf_iterator<char>(in), {});
    if (!text.empty() && text.back() != '\n') text += '\n';
    return Replace(m_strPath, text + LastLine(result.m_strSummaryText));
}
