#include "scopefiles/CWriteTekWfm.h"

#include <cstdint>

#include "scopefiles/CByteImage.h"

namespace {
constexpr std::size_t kHeaderBytes = 838;
constexpr std::size_t kExplicitDim1 = 168;
constexpr std::size_t kImplicitDim1 = 488;
constexpr std::size_t kCurveOffsets = 818;
}  // namespace

void CWriteTekWfm::Write(const std::string& path, double origin, double interval,
                         const std::vector<double>& volts, double step, double centre) const {
    std::vector<int16_t> codes;
    step = QuantizeInt16(volts, codes, step, centre);
    const auto curveBytes = static_cast<int32_t>(codes.size() * sizeof(int16_t));

    CByteImage file(kHeaderBytes);
    file.Put<uint16_t>(0, 0x0F0F);
    file.PutText(2, ":WFM#003");
    file.Put<uint8_t>(10, 9);
    file.Put<int32_t>(11, static_cast<int32_t>(kHeaderBytes - 15) + curveBytes);
    file.Put<int8_t>(15, 2);
    file.Put<int32_t>(16, static_cast<int32_t>(kHeaderBytes));
    file.PutText(40, "VELKIN");
    file.Put<int32_t>(72, 0);  // one frame
    file.Put<int16_t>(76, 760);
    file.Put<int32_t>(82, 1);  // waveform count

    file.Put<double>(kExplicitDim1, step);
    file.Put<double>(kExplicitDim1 + 8, centre);
    file.Put<int32_t>(kExplicitDim1 + 16, 65536);
    file.PutText(kExplicitDim1 + 20, "V");
    file.Put<int32_t>(kExplicitDim1 + 72, 0);  // int16 samples
    file.Put<int32_t>(kExplicitDim1 + 76, 0);  // stored as samples

    file.Put<double>(kImplicitDim1, interval);
    file.Put<double>(kImplicitDim1 + 8, origin);
    file.Put<uint32_t>(kImplicitDim1 + 16, static_cast<uint32_t>(codes.size()));
    file.PutText(kImplicitDim1 + 20, "s");

    file.Put<int32_t>(kCurveOffsets + 0, 0);  // precharge start
    file.Put<int32_t>(kCurveOffsets + 4, 0);  // data start
    file.Put<int32_t>(kCurveOffsets + 8, curveBytes);
    file.Put<int32_t>(kCurveOffsets + 12, curveBytes);
    file.Put<int32_t>(kCurveOffsets + 16, curveBytes);
    file.Append(codes);
    file.Save(path);
}
