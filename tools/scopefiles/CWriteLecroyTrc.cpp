#include "scopefiles/CWriteLecroyTrc.h"

#include <cstdint>
#include <cstdio>

#include "scopefiles/CByteImage.h"

namespace {
constexpr std::size_t kPrefixBytes = 11;
constexpr std::size_t kDescriptorBytes = 346;
}  // namespace

void CWriteLecroyTrc::Write(const std::string& path, double origin, double interval,
                            const std::vector<double>& volts, double step, double centre) const {
    std::vector<int16_t> codes;
    step = QuantizeInt16(volts, codes, step, centre);
    const auto count = static_cast<int32_t>(codes.size());
    const auto arrayBytes = count * 2;

    CByteImage file(kPrefixBytes + kDescriptorBytes);
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "#9%09d", static_cast<int>(kDescriptorBytes) + arrayBytes);
    file.PutText(0, prefix);
    const std::size_t d = kPrefixBytes;
    file.PutText(d + 0, "WAVEDESC");
    file.PutText(d + 16, "LECROY_2_3");
    file.Put<int16_t>(d + 32, 1);  // 16-bit samples
    file.Put<int16_t>(d + 34, 1);  // low byte first
    file.Put<int32_t>(d + 36, static_cast<int32_t>(kDescriptorBytes));
    file.Put<int32_t>(d + 60, arrayBytes);
    file.PutText(d + 76, "VELKIN");
    file.Put<int32_t>(d + 116, count);
    file.Put<int32_t>(d + 120, count);
    file.Put<int32_t>(d + 124, 0);
    file.Put<int32_t>(d + 128, count - 1);
    file.Put<int32_t>(d + 136, 1);  // sparsing
    file.Put<int32_t>(d + 144, 1);  // one segment
    file.Put<float>(d + 156, static_cast<float>(step));
    file.Put<float>(d + 160, static_cast<float>(-centre));  // V = gain * raw - offset
    file.Put<int16_t>(d + 172, 16);
    file.Put<float>(d + 176, static_cast<float>(interval));
    file.Put<double>(d + 180, origin);
    file.PutText(d + 196, "V");
    file.PutText(d + 244, "S");
    file.Append(codes);
    file.Save(path);
}
