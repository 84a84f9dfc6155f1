#pragma once

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

// A waveform file opened for bounded reading. Every read names its offset and
// length and is held against the true file size, so a header that promises
// more samples than the scope wrote ends in a clear failure, never in junk
// samples, a read past the end or a huge allocation.
class CBinaryFile {
public:
    // Throws "%s: %s" (system error text, file name) when the file cannot be opened.
    explicit CBinaryFile(const std::string& path);

    // Reads `bytes` at `offset` into `dst`; a block reaching past the end of the
    // file is reported as a truncated file.
    void Read(std::uint64_t offset, void* dst, std::size_t bytes);

    // A header block of `bytes` at `offset`, or of what is left of the file when
    // it is shorter (the header parser then fails on the first missing field).
    std::vector<std::uint8_t> ReadBlock(std::uint64_t offset, std::size_t bytes);

    // Throws when [offset, offset + bytes) is not inside the file; the text names
    // the declared size and what the file holds after `offset`.
    void Require(std::uint64_t offset, std::uint64_t bytes) const;

    std::uint64_t Size() const { return m_nSize; }
    const std::string& Name() const { return m_strName; }
    const std::string& Path() const { return m_strPath; }

private:
    std::ifstream m_File;
    std::uint64_t m_nSize = 0;
    std::string m_strName;
    std::string m_strPath;
};
