#include "report/CAtomicFileWriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

namespace {

// Bounds the search for a free temporary name when earlier runs left some behind.
constexpr int kMaxNameTries = 100;

}  // namespace

CAtomicFileWriter::Outcome CAtomicFileWriter::Replace(const std::string& path,
                                                      std::string_view text) const {
    // A hidden name beside the target: rename is atomic only within one file system.
    const std::filesystem::path target(path);
    std::string hidden = ".";
    hidden.append(target.filename().string()).append(".tmp").append(std::to_string(::getpid()));
    const std::string stem = (target.parent_path() / hidden).string() + "-";
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < kMaxNameTries && fd < 0; ++attempt) {
        temporary = stem + std::to_string(attempt);
        // 0666 under the user's umask, as any other file the analysis writes.
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) return Outcome::OpenFailed;

    const bool written = WriteAll(fd, text) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return Outcome::WriteFailed;
    }
    return Outcome::Written;
}

bool CAtomicFileWriter::WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}
