#include "report/CSummaryFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "entry/CAnalysisError.h"
#include "report/CAtomicFileWriter.h"
#include "report/CFormat.h"
#include "report/CToolboxGlobals.h"

namespace fs = std::filesystem;

namespace {

// A name taken between the free-name search and the exclusive create is searched
// again; this bounds the retries.
constexpr int kMaxCreateTries = 100;

[[noreturn]] void FailToWrite(int error, const std::string& path) {
    throw CAnalysisError(ComposeMessage("%s: %s", {std::strerror(error), FileNameOf(path)}, 1));
}

// Appends `lines` whole: they start on a line of their own even when the file
// was left without a final line end, and a write that fails part-way is cut back
// off, so the lines already in the batch stay as they were. Returns 0 or an errno.
int AppendLines(int fd, std::string_view lines) {
    const off_t end = ::lseek(fd, 0, SEEK_END);
    if (end < 0) return errno;
    char last = '\n';
    const bool joinsLastLine = end > 0 && ::pread(fd, &last, 1, end - 1) == 1 && last != '\n';
    if ((joinsLastLine && !CAtomicFileWriter::WriteAll(fd, "\n")) ||
        !CAtomicFileWriter::WriteAll(fd, lines) || ::fsync(fd) != 0) {
        const int error = errno;
        if (::ftruncate(fd, end) != 0) {
            // The file keeps the broken tail; the failure is reported all the same.
        }
        return error;
    }
    return 0;
}

// Opens for appending with read access where allowed, so the last byte can be
// checked; a write-only summary is still appended to.
int OpenForAppend(const std::string& path, int extraFlags) {
    const int flags = O_APPEND | O_CREAT | O_CLOEXEC | extraFlags;
    int fd = ::open(path.c_str(), O_RDWR | flags, 0666);
    if (fd < 0 && errno == EACCES) fd = ::open(path.c_str(), O_WRONLY | flags, 0666);
    return fd;
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

std::string CSummaryFile::FileSummaryPath(const std::string& dataFile) {
    const std::string name = FileNameOf(dataFile);
    return SiblingPath(dataFile, name.substr(0, name.rfind('.')) + "_sum.csv");
}

void CSummaryFile::Replace(const std::string& path, const std::string& text,
                           const std::string& failure) {
    errno = 0;
    if (CAtomicFileWriter().Replace(path, text) == CAtomicFileWriter::Outcome::Written) return;
    if (!failure.empty()) throw CAnalysisError(failure);
    FailToWrite(errno != 0 ? errno : EIO, path);
}

std::string CSummaryFile::Append(const std::string& dataFile, const std::string& stem, bool newFile,
                                 const std::string& batchFile, const std::string& header,
                                 const std::string& line) {
    std::string path = batchFile;
    int fd = -1;
    if (newFile) {
        // Created exclusively: a new batch never adds to a file that appeared since
        // the free name was chosen.
        // The folder the report went to: outputs lie beside the data file.
        const std::string folder = fs::path(AbsolutePath(dataFile)).parent_path().string();
        for (int attempt = 0; attempt < kMaxCreateTries && fd < 0; ++attempt) {
            path = BatchFileName(folder, stem);
            fd = OpenForAppend(path, O_EXCL);
            if (fd < 0 && errno != EEXIST) break;
        }
    } else {
        fd = OpenForAppend(path, 0);
    }
    if (fd < 0) FailToWrite(errno, path);

    int error = AppendLines(fd, newFile ? header + line : line);
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error != 0) {
        // A batch that could not take its first line is not left behind empty.
        if (newFile) ::unlink(path.c_str());
        FailToWrite(error, path);
    }
    return path;
}
