#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// The bytes of a scope file under construction, little-endian as the scopes
// write them on their Intel hosts. Fields are placed at their file offsets.
class CByteImage {
public:
    explicit CByteImage(std::size_t size) : m_Bytes(size, 0) {}

    template <typename T>
    void Put(std::size_t at, T value) {
        Grow(at + sizeof(T));
        std::memcpy(m_Bytes.data() + at, &value, sizeof(T));
    }
    void PutText(std::size_t at, const std::string& text);

    // Raw samples appended as a block; returns the offset they start at.
    template <typename T>
    std::size_t Append(const std::vector<T>& samples) {
        return AppendBytes(samples.data(), samples.size() * sizeof(T));
    }
    std::size_t AppendBytes(const void* bytes, std::size_t count);

    std::size_t Size() const { return m_Bytes.size(); }
    void Save(const std::string& path) const;

private:
    void Grow(std::size_t size) {
        if (m_Bytes.size() < size) m_Bytes.resize(size, 0);
    }
    std::vector<std::uint8_t> m_Bytes;
};

// int16 codes for `volts` around `centre`: code = round((v - centre) / step),
// clipped to the int16 range as a scope clips at full scale. A `step` of 0 is
// chosen so the largest magnitude uses most of the range; returns the step.
double QuantizeInt16(const std::vector<double>& volts, std::vector<std::int16_t>& codes,
                     double step = 0.0, double centre = 0.0);
