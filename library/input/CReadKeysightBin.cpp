#include "input/CReadKeysightBin.h"

#include "common/CAnalysisError.h"
#include "input/CBinaryFile.h"
#include "input/CByteFields.h"
#include "input/CSampleBlock.h"
#include "input/CTimeAxis.h"

namespace {

constexpr std::size_t kFileHeaderBytes = 12;
constexpr std::size_t kWaveformHeaderBytes = 140;
constexpr std::size_t kDataHeaderBytes = 12;

// Buffer types that hold volts as float32: normal, and the maximum and minimum
// of peak-detect records. Time, count and digital buffers are not voltages.
bool IsVoltageBuffer(int16_t type, int16_t bytesPerPoint) {
    return (type == 1 || type == 2 || type == 3) && bytesPerPoint == 4;
}

[[noreturn]] void Damaged(const CBinaryFile& file) {
    throw CAnalysisError(ComposeMessage("File %s has a damaged waveform header", {file.Name()}));
}

// The settings file of a ".wfm.bin" capture, also named ".bin", is told apart before
// this reader is chosen.
[[noreturn]] void NotKeysight(const CBinaryFile& file) {
    throw CAnalysisError(ComposeMessage("%s is not a Keysight waveform file", {file.Name()}));
}

}  // namespace

int32_t CReadKeysightBin::Read(const std::string& path, CSampleTimes& time,
                               std::vector<double>& first, std::vector<double>& second) {
    CBinaryFile file(path);
    const std::vector<std::uint8_t> start = file.ReadBlock(0, kFileHeaderBytes);
    const std::string text(start.begin(), start.end());
    if (text.size() < kFileHeaderBytes || text.compare(0, 2, "AG") != 0) NotKeysight(file);
    const CByteFields header(start, file.Name());
    const int32_t waveforms = header.I32(8);

    std::uint64_t offset = kFileHeaderBytes;
    int32_t traces = 0;
    double origin = 0.0;
    double interval = 0.0;
    for (int32_t w = 0; w < waveforms && traces < 2; ++w) {
        const CByteFields wave(file.ReadBlock(offset, kWaveformHeaderBytes), file.Name());
        const int32_t headerBytes = wave.I32(0);
        const int32_t buffers = wave.I32(8);
        if (headerBytes < static_cast<int32_t>(kWaveformHeaderBytes) || buffers < 1) {
            Damaged(file);
        }
        if (traces == 0) {
            interval = wave.F64(32);
            origin = wave.F64(40);
        }
        offset += static_cast<std::uint64_t>(headerBytes);

        bool traceTaken = false;
        for (int32_t b = 0; b < buffers; ++b) {
            const CByteFields data(file.ReadBlock(offset, kDataHeaderBytes), file.Name());
            const int32_t dataHeaderBytes = data.I32(0);
            const int16_t type = data.I16(4);
            const int16_t bytesPerPoint = data.I16(6);
            const int32_t bufferBytes = data.I32(8);
            if (dataHeaderBytes < static_cast<int32_t>(kDataHeaderBytes) || bufferBytes < 0) {
                Damaged(file);
            }
            offset += static_cast<std::uint64_t>(dataHeaderBytes);
            file.Require(offset, static_cast<std::uint64_t>(bufferBytes));
            if (!traceTaken && IsVoltageBuffer(type, bytesPerPoint)) {
                CSampleBlock().Read(file, offset, static_cast<std::size_t>(bufferBytes) / 4,
                                    ESampleType::Float32, 1.0, 0.0, traces == 0 ? first : second);
                traceTaken = true;
            }
            offset += static_cast<std::uint64_t>(bufferBytes);
        }
        if (traceTaken) ++traces;
    }

    if (traces == 0) {
        throw CAnalysisError(ComposeMessage("File %s holds no analog waveform", {file.Name()}));
    }
    if (traces == 2 && second.size() != first.size()) {
        throw CAnalysisError(
            ComposeMessage("File %s holds two waveforms of different lengths", {file.Name()}));
    }
    if (traces == 1) second.clear();
    CTimeAxis().Fill(time, first.size(), origin, interval, file.Name());
    return traces == 2 ? 3 : 2;
}
