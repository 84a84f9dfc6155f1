#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// Little-endian header fields of one block read from a waveform file. Scopes
// write their headers on Intel hosts, so every field is taken low byte first;
// a field outside the block means the file ends inside its header.
class CByteFields {
public:
    CByteFields(std::vector<std::uint8_t> block, std::string fileName);

    std::uint8_t U8(std::size_t at) const { return Get<std::uint8_t>(at); }
    std::int8_t I8(std::size_t at) const { return Get<std::int8_t>(at); }
    std::int16_t I16(std::size_t at) const { return Get<std::int16_t>(at); }
    std::uint16_t U16(std::size_t at) const { return Get<std::uint16_t>(at); }
    std::int32_t I32(std::size_t at) const { return Get<std::int32_t>(at); }
    std::uint32_t U32(std::size_t at) const { return Get<std::uint32_t>(at); }
    float F32(std::size_t at) const { return Get<float>(at); }
    double F64(std::size_t at) const { return Get<double>(at); }

    // Fixed-width text field, cut at its first zero byte.
    std::string Text(std::size_t at, std::size_t width) const;

    std::size_t Size() const { return m_Block.size(); }

private:
    template <typename T>
    T Get(std::size_t at) const {
        Require(at, sizeof(T));
        T value;
        std::memcpy(&value, m_Block.data() + at, sizeof(T));
        return value;
    }
    void Require(std::size_t at, std::size_t width) const;

    std::vector<std::uint8_t> m_Block;
    std::string m_strName;
};
