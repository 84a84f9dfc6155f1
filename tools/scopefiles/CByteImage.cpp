#include "scopefiles/CByteImage.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <stdexcept>

void CByteImage::PutText(std::size_t at, const std::string& text) {
    Grow(at + text.size());
    std::memcpy(m_Bytes.data() + at, text.data(), text.size());
}

std::size_t CByteImage::AppendBytes(const void* bytes, std::size_t count) {
    const std::size_t at = m_Bytes.size();
    const auto* first = static_cast<const std::uint8_t*>(bytes);
    m_Bytes.insert(m_Bytes.end(), first, first + count);
    return at;
}

void CByteImage::Save(const std::string& path) const {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(m_Bytes.data()),
              static_cast<std::streamsize>(m_Bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

double QuantizeInt16(const std::vector<double>& volts, std::vector<std::int16_t>& codes,
                     double step, double centre) {
    if (!(step > 0.0)) {
        double peak = 0.0;
        for (double v : volts) peak = std::max(peak, std::fabs(v - centre));
        step = peak > 0.0 ? peak / 32000.0 : 1.0 / 32000.0;
    }
    codes.resize(volts.size());
    for (std::size_t i = 0; i < volts.size(); ++i) {
        const double code = std::clamp(std::round((volts[i] - centre) / step), -32768.0, 32767.0);
        codes[i] = static_cast<std::int16_t>(code);
    }
    return step;
}
