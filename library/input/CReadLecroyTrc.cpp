#include "input/CReadLecroyTrc.h"

#include <algorithm>

#include "common/CAnalysisError.h"
#include "input/CBinaryFile.h"
#include "input/CByteFields.h"
#include "input/CSampleBlock.h"
#include "input/CTimeAxis.h"

namespace {

constexpr std::size_t kDescriptorBytes = 346;
constexpr std::size_t kOldDescriptorBytes = 320;  // LECROY_1_0
constexpr std::size_t kTriggerTimeBytes = 16;     // trigger time and offset, float64 each

// The fields this reader needs from WAVEDESC, in both template generations.
struct WaveDesc {
    std::int64_t m_nDescriptor = 0;
    std::int64_t m_nUserText = 0;
    std::int64_t m_nTriggerTimes = 0;
    std::int64_t m_nOtherArrays = 0;  // RIS times and reserved array before the data
    std::int64_t m_nWaveArray = 0;
    std::int64_t m_nCount = 0;
    std::int64_t m_nFirstValid = 0;
    std::int64_t m_nLastValid = 0;
    std::int64_t m_nSegments = 1;
    double m_dGain = 0.0;
    double m_dVerticalOffset = 0.0;
    double m_dInterval = 0.0;
    double m_dOrigin = 0.0;
};

[[noreturn]] void Fail(std::string_view pattern, const std::vector<std::string>& args) {
    throw CAnalysisError(ComposeMessage(pattern, args));
}

WaveDesc ReadDescriptor(const CByteFields& d, const std::string& name) {
    const std::string templ = d.Text(16, 16);
    WaveDesc w;
    w.m_nDescriptor = d.I32(36);
    w.m_nUserText = d.I32(40);
    if (templ == "LECROY_1_0") {
        // The old template has fewer block lengths and a shorter descriptor.
        w.m_nTriggerTimes = d.I32(44);
        w.m_nWaveArray = d.I32(48);
        w.m_nCount = d.I32(92);
        w.m_nFirstValid = d.I32(100);
        w.m_nLastValid = d.I32(104);
        w.m_dGain = d.F32(120);
        w.m_dVerticalOffset = d.F32(124);
        w.m_dInterval = d.F32(134);
        w.m_dOrigin = d.F64(138);
        if (w.m_nTriggerTimes != 0) Fail("File %s: LECROY_1_0 sequences are not read", {name});
    } else if (templ.rfind("LECROY_2_", 0) == 0) {
        w.m_nTriggerTimes = d.I32(48);
        const std::int32_t risTimes = d.I32(52);
        const std::int32_t reserved = d.I32(56);
        if (risTimes < 0 || reserved < 0) Fail("File %s has a damaged wave descriptor", {name});
        w.m_nOtherArrays = static_cast<std::int64_t>(risTimes) + reserved;
        w.m_nWaveArray = d.I32(60);
        w.m_nCount = d.I32(116);
        w.m_nFirstValid = d.I32(124);
        w.m_nLastValid = d.I32(128);
        w.m_nSegments = std::max<std::int32_t>(1, d.I32(144));
        w.m_dGain = d.F32(156);
        w.m_dVerticalOffset = d.F32(160);
        w.m_dInterval = d.F32(176);
        w.m_dOrigin = d.F64(180);
    } else {
        Fail("File %s: unsupported template %s", {name, templ});
    }
    const std::int64_t fixedPart = templ == "LECROY_1_0" ? kOldDescriptorBytes : kDescriptorBytes;
    if (w.m_nDescriptor < fixedPart || w.m_nUserText < 0 || w.m_nTriggerTimes < 0 ||
        w.m_nOtherArrays < 0 || w.m_nWaveArray < 0 || w.m_nCount < 0) {
        Fail("File %s has a damaged wave descriptor", {name});
    }
    return w;
}

}  // namespace

int32_t CReadLecroyTrc::Read(const std::string& path, CSampleTimes& time,
                             std::vector<double>& first, std::vector<double>& second) {
    CBinaryFile file(path);
    // Files saved over the remote interface start with an IEEE block header "#9dddddddd".
    std::uint64_t start = 0;
    const std::vector<std::uint8_t> prefix = file.ReadBlock(0, 2);
    if (prefix.size() == 2 && prefix[0] == '#' && prefix[1] >= '0' && prefix[1] <= '9') {
        start = 2 + static_cast<std::uint64_t>(prefix[1] - '0');
    }
    const CByteFields d(file.ReadBlock(start, kDescriptorBytes), file.Name());
    if (d.Text(0, 8) != "WAVEDESC") Fail("%s is not a LeCroy waveform file", {file.Name()});
    const WaveDesc w = ReadDescriptor(d, file.Name());

    const int16_t sampleWidth = d.I16(32);
    if (sampleWidth != 0 && sampleWidth != 1) {
        Fail("File %s: unsupported sample width %d", {file.Name(), std::to_string(sampleWidth)});
    }
    if (d.I16(34) != 1) Fail("File %s stores its samples high byte first", {file.Name()});
    const ESampleType type = sampleWidth == 0 ? ESampleType::Int8 : ESampleType::Int16;
    const std::size_t bytes = SampleBytes(type);

    // Trigger times, RIS times and the reserved array lie between the
    // descriptor and the samples; all of it must be in the file.
    const std::uint64_t arrays = start + w.m_nDescriptor + w.m_nUserText;
    const std::uint64_t dataOffset = arrays + w.m_nTriggerTimes + w.m_nOtherArrays;
    file.Require(arrays, static_cast<std::uint64_t>(w.m_nTriggerTimes + w.m_nOtherArrays) +
                             static_cast<std::uint64_t>(w.m_nWaveArray));
    const std::int64_t stored = std::min<std::int64_t>(w.m_nCount, w.m_nWaveArray / bytes);

    // Each segment of a sequence has its own trigger offset in the trigger-time array.
    std::int64_t segment = stored;
    double origin = w.m_dOrigin;
    if (w.m_nSegments > 1) {
        if (w.m_nTriggerTimes < w.m_nSegments * static_cast<std::int64_t>(kTriggerTimeBytes)) {
            Fail("File %s has a damaged sequence trigger-time array", {file.Name()});
        }
        segment = stored / w.m_nSegments;
        const CByteFields trigger(file.ReadBlock(arrays, kTriggerTimeBytes), file.Name());
        origin = trigger.F64(8);
    }

    // First and last valid point are both inclusive.
    const std::int64_t low = std::max<std::int64_t>(0, w.m_nFirstValid);
    const std::int64_t high = std::min<std::int64_t>(w.m_nLastValid, segment - 1);
    const std::size_t count = high >= low ? static_cast<std::size_t>(high - low + 1) : 0;

    second.clear();
    CSampleBlock().Read(file, dataOffset + static_cast<std::uint64_t>(low) * bytes, count, type,
                        w.m_dGain, -w.m_dVerticalOffset, first);
    CTimeAxis().Fill(time, count, origin + static_cast<double>(low) * w.m_dInterval, w.m_dInterval,
                     file.Name());
    return 2;
}
