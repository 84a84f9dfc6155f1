#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// Hands out a waveform text file as whole lines, read in large chunks so that a
// ten-million-row capture streams at disk speed through one bounded buffer. A line
// ends at a line feed, a carriage return or both; the last line of a file cut
// mid-write needs no line end.
class CLineSource {
public:
    // Large enough that the per-read system-call cost vanishes beside the parsing, small
    // enough that the rows the kernel has just copied in are still in the core's own
    // cache when they are parsed.
    static constexpr std::size_t kChunkBytes = std::size_t{256} << 10;
    // No line may be longer, so the buffer stays bounded whatever the file holds.
    static constexpr std::size_t kLongestLine = std::size_t{4} << 20;

    // Throws "%s: %s" (system error text, file name) when the file cannot be opened,
    // and a text naming the file when a line is longer than kLongestLine.
    explicit CLineSource(const std::string& path, std::size_t chunkBytes = kChunkBytes);
    // Only the bytes [begin, end) of a regular file, which start and end on line
    // boundaries: one of the stretches a long capture is parsed in on several cores.
    CLineSource(const std::string& path, int64_t begin, int64_t end,
                std::size_t chunkBytes = kChunkBytes);
    ~CLineSource();
    CLineSource(const CLineSource&) = delete;
    CLineSource& operator=(const CLineSource&) = delete;

    // The next line without its line end; false at the end of the file. The view
    // lives until the next call.
    bool NextLine(std::string_view& line);

    // Every whole line left in the buffer, line ends included; empty at the end of
    // the file. `last` tells that nothing follows the block.
    std::string_view NextBlock(bool& last);

    int64_t FileBytes() const { return m_nFileBytes; }
    int64_t Offset() const { return m_nBufferOffset + static_cast<int64_t>(m_nPos); }

private:
    bool Fill();
    void FindCompleteEnd();

    std::string m_strPath;
    int m_nFd = -1;
    int64_t m_nFileBytes = 0;
    int64_t m_nBufferOffset = 0;
    std::unique_ptr<char[]> m_Buffer;
    std::size_t m_nCapacity = 0;
    std::size_t m_nPos = 0;
    std::size_t m_nComplete = 0;
    std::size_t m_nEnd = 0;
    bool m_bEof = false;
    int64_t m_nRangeEnd = -1;  // -1: read on to the end of the file
};
