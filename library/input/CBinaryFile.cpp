#include "input/CBinaryFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "common/CAnalysisError.h"
#include "common/CPathNames.h"

CBinaryFile::CBinaryFile(const std::string& path) : m_strName(FileNameOf(path)), m_strPath(path) {
    errno = 0;
    m_File.open(path, std::ios::binary);
    if (!m_File) {
        const int error = errno != 0 ? errno : ENOENT;
        throw CAnalysisError(ComposeMessage("%s: %s", {std::strerror(error), m_strName}, 1));
    }
    m_File.seekg(0, std::ios::end);
    const std::streamoff end = m_File.tellg();
    m_nSize = end > 0 ? static_cast<std::uint64_t>(end) : 0;
}

void CBinaryFile::Require(std::uint64_t offset, std::uint64_t bytes) const {
    if (offset <= m_nSize && bytes <= m_nSize - offset) return;
    const std::uint64_t present = offset < m_nSize ? m_nSize - offset : 0;
    throw CAnalysisError(
        ComposeMessage("File %s is truncated: %d data bytes declared, %d present",
                       {m_strName, std::to_string(bytes), std::to_string(present)}));
}

void CBinaryFile::Read(std::uint64_t offset, void* dst, std::size_t bytes) {
    Require(offset, bytes);
    if (bytes == 0) return;
    m_File.clear();
    m_File.seekg(static_cast<std::streamoff>(offset));
    m_File.read(static_cast<char*>(dst), static_cast<std::streamsize>(bytes));
    if (static_cast<std::size_t>(m_File.gcount()) != bytes) {
        throw CAnalysisError(ComposeMessage("File %s could not be read", {m_strName}));
    }
}

std::vector<std::uint8_t> CBinaryFile::ReadBlock(std::uint64_t offset, std::size_t bytes) {
    const std::uint64_t left = offset < m_nSize ? m_nSize - offset : 0;
    std::vector<std::uint8_t> block(static_cast<std::size_t>(std::min<std::uint64_t>(bytes, left)));
    if (!block.empty()) Read(offset, block.data(), block.size());
    return block;
}
