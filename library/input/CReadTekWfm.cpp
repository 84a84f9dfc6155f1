#include "input/CReadTekWfm.h"

#include "common/CAnalysisError.h"
#include "input/CBinaryFile.h"
#include "input/CByteFields.h"
#include "input/CSampleBlock.h"
#include "input/CTimeAxis.h"

namespace {

constexpr std::size_t kLongestHeaderBytes = 838;
constexpr std::uint16_t kIntelByteOrder = 0x0F0F;
constexpr std::uint16_t kPowerPcByteOrder = 0xF0F0;

// Where the fields this reader needs sit in each version. WFM#001 lacks the
// summary-frame field and both #001 and #002 store point densities as 4 bytes
// (one in each of the four dimensions), so their later fields sit earlier.
struct WfmLayout {
    std::size_t m_nExplicitDim1;
    std::size_t m_nImplicitDim1;
    std::size_t m_nCurveOffsets;
    std::size_t m_nHeaderEnd;
    bool m_bByteFormats;  // formats 6 (uint8) and 7 (int8) exist from #003 on
};

constexpr WfmLayout kWfm001{166, 478, 800, 820, false};
constexpr WfmLayout kWfm002{168, 480, 802, 822, false};
constexpr WfmLayout kWfm003{168, 488, 818, 838, true};

bool SampleType(int32_t format, bool byteFormats, ESampleType& type) {
    switch (format) {
        case 0:
            type = ESampleType::Int16;
            return true;
        case 1:
            type = ESampleType::Int32;
            return true;
        case 2:
            type = ESampleType::UInt32;
            return true;
        case 3:
            type = ESampleType::UInt64;
            return true;
        case 4:
            type = ESampleType::Float32;
            return true;
        case 5:
            type = ESampleType::Float64;
            return true;
        case 6:
            type = ESampleType::UInt8;
            return byteFormats;
        case 7:
            type = ESampleType::Int8;
            return byteFormats;
        default:
            return false;
    }
}

[[noreturn]] void Fail(std::string_view pattern, const std::string& name) {
    throw CAnalysisError(ComposeMessage(pattern, {name}));
}

}  // namespace

int32_t CReadTekWfm::Read(const std::string& path, CSampleTimes& time, std::vector<double>& first,
                          std::vector<double>& second) {
    CBinaryFile file(path);
    const CByteFields header(file.ReadBlock(0, kLongestHeaderBytes), file.Name());
    const std::uint16_t byteOrder = header.U16(0);
    if (byteOrder == kPowerPcByteOrder) {
        Fail("File %s is in PowerPC byte order, which is not read", file.Name());
    }
    const std::string version = header.Text(2, 8);
    if (byteOrder != kIntelByteOrder || version.size() != 8 ||
        version.compare(0, 7, ":WFM#00") != 0) {
        Fail("%s is not a Tektronix waveform file", file.Name());
    }
    const WfmLayout* layout = nullptr;
    switch (version[7]) {
        case '1':
            layout = &kWfm001;
            break;
        case '2':
            layout = &kWfm002;
            break;
        case '3':
            layout = &kWfm003;
            break;
        default:
            Fail("File %s is of an unknown WFM version", file.Name());
    }

    const int8_t bytesPerPoint = header.I8(15);
    const int32_t curveOffset = header.I32(16);
    ESampleType type{};
    if (!SampleType(header.I32(layout->m_nExplicitDim1 + 72), layout->m_bByteFormats, type)) {
        Fail("Illegal data format in: %s", file.Name());
    }
    if (bytesPerPoint != static_cast<int8_t>(SampleBytes(type))) {
        Fail("File %s: bytes per point do not match its sample format", file.Name());
    }
    const double scale = header.F64(layout->m_nExplicitDim1);
    const double shift = header.F64(layout->m_nExplicitDim1 + 8);
    const double interval = header.F64(layout->m_nImplicitDim1);
    const double origin = header.F64(layout->m_nImplicitDim1 + 8);

    // Offsets within one frame's curve: precharge, data, postcharge, end.
    const std::size_t at = layout->m_nCurveOffsets;
    const int32_t dataStart = header.I32(at + 4);
    const int32_t postStart = header.I32(at + 8);
    const int32_t curveEnd = header.I32(at + 16);
    if (curveOffset < static_cast<int32_t>(layout->m_nHeaderEnd) || dataStart < 0 ||
        postStart < dataStart || curveEnd < postStart) {
        Fail("File %s has a damaged curve header", file.Name());
    }

    // Frame 1 opens the curve buffer, whose place the header gives: FastFrame
    // files put their per-frame tables before it.
    const std::size_t count = static_cast<std::size_t>(postStart - dataStart) / SampleBytes(type);
    second.clear();
    CSampleBlock().Read(file, static_cast<std::uint64_t>(curveOffset) + dataStart, count, type,
                        scale, shift, first);
    CTimeAxis().Fill(time, count, origin, interval, file.Name());
    return 2;
}
