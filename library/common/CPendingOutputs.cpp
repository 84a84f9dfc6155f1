#include "common/CPendingOutputs.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "common/CAnalysisError.h"

namespace {

// Bounds the search for a free hidden name when earlier runs left some behind.
constexpr int kMaxNameTries = 100;
// Keeps a hidden name within the 255 bytes a folder entry may have.
constexpr std::size_t kMaxNameBytes = 200;

// Every call of this process takes the next number: two runs of the same capture,
// in this process or in another, never write the same temporary.
std::atomic<unsigned> g_nNextName{0};

// Tries `make` on hidden names beside `path` until one is free: 0 and the name
// taken in `chosen`, or the error of the last try.
template <typename Make>
int OnHiddenName(const std::string& path, std::string& chosen, Make make) {
    const std::filesystem::path target(path);
    const std::string name = target.filename().string().substr(0, kMaxNameBytes);
    int error = EEXIST;
    for (int attempt = 0; attempt < kMaxNameTries && error == EEXIST; ++attempt) {
        const std::string hidden = "." + name + ".tmp" + std::to_string(::getpid()) + "-" +
                                   std::to_string(g_nNextName.fetch_add(1));
        const std::string candidate = (target.parent_path() / hidden).string();
        error = make(candidate) ? 0 : errno;
        if (error == 0) chosen = candidate;
    }
    return error;
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

bool IsFolder(const std::string& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

}  // namespace

CPendingOutputs::~CPendingOutputs() {
    for (const COutput& output : m_Outputs) {
        if (!output.m_strTemporary.empty()) ::unlink(output.m_strTemporary.c_str());
        if (output.m_bReserved) ::unlink(output.m_strPath.c_str());
    }
}

void CPendingOutputs::Fail(const COutput& output, int error, bool opening) {
    const std::string& words =
        opening ? output.m_Words.m_strOpenFailed : output.m_Words.m_strWriteFailed;
    if (!words.empty()) throw CAnalysisError(words);
    const std::string name = std::filesystem::path(output.m_strPath).filename().string();
    throw CAnalysisError(ComposeMessage("%s: %s", {std::strerror(error), name}, 1));
}

void CPendingOutputs::Add(const std::string& path, std::string_view bytes,
                          const COutputWords& words, bool reserved) {
    // Listed first, so that a failure below still removes what the caller reserved.
    COutput& output = m_Outputs.emplace_back(COutput{path, "", "", words, reserved});
    int fd = -1;
    const int error = OnHiddenName(path, output.m_strTemporary, [&fd](const std::string& name) {
        // 0666 under the user's umask, as any other file the analysis writes.
        fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        return fd >= 0;
    });
    if (error != 0) Fail(output, error, true);
    // Flushed to disk before it can replace anything: a crash after Commit never
    // leaves a truncated report where a good one stood.
    const bool written = WriteAll(fd, bytes) && ::fsync(fd) == 0;
    const int writeError = errno;
    if (::close(fd) != 0 || !written) Fail(output, written ? errno : writeError, false);
}

void CPendingOutputs::AdoptFirst(CPendingOutputs&& earlier) {
    m_Outputs.insert(m_Outputs.begin(), std::make_move_iterator(earlier.m_Outputs.begin()),
                     std::make_move_iterator(earlier.m_Outputs.end()));
    earlier.m_Outputs.clear();
}

void CPendingOutputs::Commit() {
    // A folder where a file should go refuses its rename: found before anything moves.
    for (const COutput& output : m_Outputs)
        if (IsFolder(output.m_strPath)) Fail(output, EISDIR, false);
    // The earlier files stay reachable under a second hidden name until all are in
    // place. A file system without hard links (a FAT stick) keeps no such copy.
    for (COutput& output : m_Outputs) {
        if (output.m_bReserved) continue;
        const int error =
            OnHiddenName(output.m_strPath, output.m_strBackup, [&output](const std::string& name) {
                return ::link(output.m_strPath.c_str(), name.c_str()) == 0;
            });
        output.m_bNew = error == ENOENT;
        if (error != 0 && error != ENOENT && error != EPERM && error != EOPNOTSUPP) {
            RollBack(0);
            Fail(output, error, false);
        }
    }
    for (std::size_t i = 0; i < m_Outputs.size(); ++i) {
        COutput& output = m_Outputs[i];
        if (std::rename(output.m_strTemporary.c_str(), output.m_strPath.c_str()) != 0) {
            const int error = errno;
            RollBack(i);
            Fail(output, error, false);
        }
        output.m_strTemporary.clear();
    }
    RollBack(0);  // moves nothing back: only lets go of the earlier files
    m_Outputs.clear();
}

void CPendingOutputs::RollBack(std::size_t moved) {
    for (std::size_t i = 0; i < m_Outputs.size(); ++i) {
        COutput& output = m_Outputs[i];
        const bool restore = i < moved && !output.m_bReserved;
        if (restore && !output.m_strBackup.empty()) {
            std::rename(output.m_strBackup.c_str(), output.m_strPath.c_str());
        } else if (restore && output.m_bNew) {
            ::unlink(output.m_strPath.c_str());
        } else if (!output.m_strBackup.empty()) {
            ::unlink(output.m_strBackup.c_str());
        }
        output.m_strBackup.clear();
    }
}
