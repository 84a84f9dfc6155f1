#include "report/CSummaryFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "common/CAnalysisError.h"
#include "report/CFormat.h"
#include "report/CToolboxGlobals.h"

namespace fs = std::filesystem;

namespace {

// A name taken between the free-name search and the exclusive create is searched
// again; this bounds the retries.
constexpr int kMaxCreateTries = 100;

[[noreturn]] void FailToWrite(int error, const std::string& path) {
    const std::string name = fs::path(path).filename().string();
    throw CAnalysisError(ComposeMessage("%s: %s", {std::strerror(error), name}, 1));
}

// The batch as it stands; a batch file removed since the batch started is started
// again from nothing, as an append would have created it.
std::string ReadBatch(const std::string& path) {
    const int fd = path.empty() ? -1 : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT && !path.empty()) return "";
    if (fd < 0) FailToWrite(path.empty() ? ENOENT : errno, path);
    std::string text;
    char block[1 << 16];
    ssize_t got = 0;
    while ((got = ::read(fd, block, sizeof block)) != 0) {
        if (got > 0) {
            text.append(block, static_cast<std::size_t>(got));
        } else if (errno != EINTR) {
            break;
        }
    }
    const int error = errno;
    ::close(fd);
    if (got < 0) FailToWrite(error, path);
    return text;
}

}  // namespace

std::string CSummaryFile::BatchFileName(const std::string& directory, const std::string& stem) {
    for (int number = 0;; ++number) {
        const fs::path candidate =
            fs::path(directory) / CFormat::Printf("%s_%.2d.csv", stem.c_str(), number);
        std::error_code error;
        const fs::file_type type = fs::symlink_status(candidate, error).type();
        // A status that cannot be read leaves the name to the open, which then
        // reports why the folder cannot be written.
        if (type == fs::file_type::not_found || type == fs::file_type::none) {
            return candidate.string();
        }
    }
}

std::string CSummaryFile::Append(const std::string& dataFile, const std::string& stem, bool newFile,
                                 const std::string& batchFile, const std::string& header,
                                 const std::string& line, CPendingOutputs& outputs) {
    if (!newFile) {
        // The new line starts on a line of its own even when a spreadsheet saved the
        // batch without its last line end.
        std::string text = ReadBatch(batchFile);
        if (!text.empty() && text.back() != '\n') text += '\n';
        outputs.Add(batchFile, text + line);
        return batchFile;
    }
    // The name is held by an empty file created exclusively until the batch is put
    // in place: a new batch never takes a file that appeared since the free name was
    // chosen, nor one that another run starting a batch beside it took.
    const std::string folder = BatchSummaryFolderOf(dataFile);
    for (int attempt = 0; attempt < kMaxCreateTries; ++attempt) {
        const std::string path = BatchFileName(folder, stem);
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) FailToWrite(errno, path);
        ::close(fd);
        outputs.Add(path, header + line, {}, true);
        return path;
    }
    FailToWrite(EEXIST, BatchFileName(folder, stem));
}
