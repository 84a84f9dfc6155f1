#include "input/CByteFields.h"

#include <bit>

#include "common/CAnalysisError.h"

static_assert(std::endian::native == std::endian::little,
              "header fields are decoded by copying little-endian bytes");

CByteFields::CByteFields(std::vector<std::uint8_t> block, std::string fileName)
    : m_Block(std::move(block)), m_strName(std::move(fileName)) {}

std::string CByteFields::Text(std::size_t at, std::size_t width) const {
    Require(at, width);
    std::string text(reinterpret_cast<const char*>(m_Block.data() + at), width);
    const std::size_t zero = text.find('\0');
    return zero == std::string::npos ? text : text.substr(0, zero);
}

void CByteFields::Require(std::size_t at, std::size_t width) const {
    if (at <= m_Block.size() && width <= m_Block.size() - at) return;
    throw CAnalysisError(ComposeMessage("File %s ends inside its header", {m_strName}));
}
