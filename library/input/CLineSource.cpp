#include "input/CLineSource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "common/CAnalysisError.h"
#include "common/CPathNames.h"

namespace {

constexpr std::size_t kSmallestBuffer = 4096;

[[noreturn]] void ThrowSystemError(const std::string& path) {
    throw CAnalysisError(ComposeMessage("%s: %s", {std::strerror(errno), FileNameOf(path)}, 1));
}

[[noreturn]] void ThrowLineTooLong(const std::string& path) {
    throw CAnalysisError(
        ComposeMessage("Error: File %s has a line longer than 4 MiB.", {FileNameOf(path)}));
}

bool IsLineEnd(char c) { return c == '\n' || c == '\r'; }

}  // namespace

CLineSource::CLineSource(const std::string& path, std::size_t chunkBytes) : m_strPath(path) {
    m_nFd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (m_nFd < 0) ThrowSystemError(path);
    struct stat info {};
    if (::fstat(m_nFd, &info) == 0 && S_ISREG(info.st_mode)) m_nFileBytes = info.st_size;
    ::posix_fadvise(m_nFd, 0, 0, POSIX_FADV_SEQUENTIAL);
    // A short file gets a buffer of its own size; a long one streams through one chunk.
    m_nCapacity = std::max<std::size_t>(
        1, std::min(chunkBytes,
                    std::max(static_cast<std::size_t>(m_nFileBytes) + 1, kSmallestBuffer)));
    m_Buffer = std::make_unique_for_overwrite<char[]>(m_nCapacity);
}

CLineSource::CLineSource(const std::string& path, int64_t begin, int64_t end,
                         std::size_t chunkBytes)
    : CLineSource(path, chunkBytes) {
    m_nBufferOffset = begin;
    m_nRangeEnd = end;
}

CLineSource::~CLineSource() {
    if (m_nFd >= 0) ::close(m_nFd);
}

bool CLineSource::Fill() {
    while (m_nPos == m_nComplete) {
        if (m_bEof) return false;
        const std::size_t tail = m_nEnd - m_nPos;
        if (tail > 0 && m_nPos > 0) std::memmove(m_Buffer.get(), m_Buffer.get() + m_nPos, tail);
        m_nBufferOffset += static_cast<int64_t>(m_nPos);
        m_nPos = 0;
        m_nEnd = tail;
        if (m_nEnd == m_nCapacity) {
            // One line longer than the buffer: the buffer grows to the longest line,
            // up to a bound that no row of samples or header line comes near.
            if (m_nCapacity >= kLongestLine) ThrowLineTooLong(m_strPath);
            auto wider = std::make_unique_for_overwrite<char[]>(m_nCapacity * 2);
            std::memcpy(wider.get(), m_Buffer.get(), m_nEnd);
            m_Buffer = std::move(wider);
            m_nCapacity *= 2;
        }
        while (m_nEnd < m_nCapacity) {
            const int64_t at = m_nBufferOffset + static_cast<int64_t>(m_nEnd);
            const std::size_t want =
                m_nRangeEnd < 0
                    ? m_nCapacity - m_nEnd
                    : std::min(m_nCapacity - m_nEnd,
                               static_cast<std::size_t>(std::max<int64_t>(m_nRangeEnd - at, 0)));
            const ssize_t got = want == 0 ? 0
                                : m_nRangeEnd < 0
                                    ? ::read(m_nFd, m_Buffer.get() + m_nEnd, want)
                                    : ::pread(m_nFd, m_Buffer.get() + m_nEnd, want, at);
            if (got < 0) {
                if (errno == EINTR) continue;
                ThrowSystemError(m_strPath);
            }
            if (got == 0) {
                m_bEof = true;
                break;
            }
            m_nEnd += static_cast<std::size_t>(got);
        }
        // Spreadsheet exports may start with a UTF-8 byte-order mark; it is not header text.
        if (m_nBufferOffset == 0 && m_nEnd >= 3 &&
            std::memcmp(m_Buffer.get(), "\xEF\xBB\xBF", 3) == 0)
            m_nPos = 3;
        FindCompleteEnd();
    }
    return true;
}

void CLineSource::FindCompleteEnd() {
    if (m_bEof) {
        m_nComplete = m_nEnd;
        return;
    }
    // A carriage return at the very end may be the first half of CR LF: keep it for later.
    std::size_t i = m_nEnd;
    while (i > m_nPos) {
        --i;
        const char c = m_Buffer[i];
        if (c == '\n' || (c == '\r' && i + 1 < m_nEnd)) {
            m_nComplete = i + 1;
            return;
        }
    }
    m_nComplete = m_nPos;
}

bool CLineSource::NextLine(std::string_view& line) {
    if (m_nPos == m_nComplete && !Fill()) return false;
    const char* begin = m_Buffer.get() + m_nPos;
    const char* end = m_Buffer.get() + m_nComplete;
    const char* stop = std::find_if(begin, end, IsLineEnd);
    line = std::string_view(begin, static_cast<std::size_t>(stop - begin));
    if (stop < end && *stop == '\r' && stop + 1 < end && stop[1] == '\n') ++stop;
    m_nPos = std::min(m_nComplete, static_cast<std::size_t>(stop + 1 - m_Buffer.get()));
    return true;
}

std::string_view CLineSource::NextBlock(bool& last) {
    if (m_nPos == m_nComplete && !Fill()) {
        last = true;
        return {};
    }
    std::string_view block(m_Buffer.get() + m_nPos, m_nComplete - m_nPos);
    m_nPos = m_nComplete;
    last = m_bEof && m_nComplete == m_nEnd;
    return block;
}
