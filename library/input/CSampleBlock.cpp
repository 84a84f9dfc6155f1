#include "input/CSampleBlock.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

// Scratch for steps too wide to unpack inside the trace itself.
constexpr std::size_t kScratchBytes = std::size_t{1} << 20;

// Steps converted per block: small enough for the raw copy to stay in L1.
constexpr std::size_t kBlockSteps = 2048;

template <typename T>
void ConvertBlock(const unsigned char* raw, std::size_t count, std::size_t stride, std::size_t at,
                  double gain, double shift, double* out) {
    for (std::size_t i = 0; i < count; ++i) {
        T sample;
        std::memcpy(&sample, raw + i * stride + at, sizeof(T));
        out[i] = static_cast<double>(sample) * gain + shift;
    }
}

// Converts steps [0, count) of `raw` into `out`, block by block from the last.
// `out` may share storage with `raw` as long as a step is no wider than a
// double: a block's raw bytes are copied aside before its doubles overwrite
// them, and the raw bytes of lower blocks all lie below those doubles.
template <typename T>
void Convert(const unsigned char* raw, std::size_t count, std::size_t stride, std::size_t at,
             double gain, double shift, double* out) {
    alignas(64) unsigned char block[kBlockSteps * sizeof(double)];
    const std::size_t blockSteps =
        std::min(kBlockSteps, sizeof block / std::max<std::size_t>(stride, 1));
    for (std::size_t end = count; end > 0;) {
        const std::size_t begin = end > blockSteps ? end - blockSteps : 0;
        std::memcpy(block, raw + begin * stride, (end - begin) * stride);
        ConvertBlock<T>(block, end - begin, stride, at, gain, shift, out + begin);
        end = begin;
    }
}

void Dispatch(ESampleType type, const unsigned char* raw, std::size_t count, std::size_t stride,
              std::size_t at, double gain, double shift, double* out) {
    switch (type) {
        case ESampleType::Int8:
            return Convert<std::int8_t>(raw, count, stride, at, gain, shift, out);
        case ESampleType::UInt8:
            return Convert<std::uint8_t>(raw, count, stride, at, gain, shift, out);
        case ESampleType::Int16:
            return Convert<std::int16_t>(raw, count, stride, at, gain, shift, out);
        case ESampleType::Int32:
            return Convert<std::int32_t>(raw, count, stride, at, gain, shift, out);
        case ESampleType::UInt32:
            return Convert<std::uint32_t>(raw, count, stride, at, gain, shift, out);
        case ESampleType::UInt64:
            return Convert<std::uint64_t>(raw, count, stride, at, gain, shift, out);
        case ESampleType::Float32:
            return Convert<float>(raw, count, stride, at, gain, shift, out);
        case ESampleType::Float64:
            return Convert<double>(raw, count, stride, at, gain, shift, out);
    }
}

}  // namespace

std::size_t SampleBytes(ESampleType type) {
    switch (type) {
        case ESampleType::Int8:
        case ESampleType::UInt8:
            return 1;
        case ESampleType::Int16:
            return 2;
        case ESampleType::Int32:
        case ESampleType::UInt32:
        case ESampleType::Float32:
            return 4;
        case ESampleType::UInt64:
        case ESampleType::Float64:
            return 8;
    }
    return 8;
}

void CSampleBlock::Read(CBinaryFile& file, std::uint64_t offset, std::size_t count,
                        std::size_t stride, ESampleType type, double gain, double shift,
                        const std::vector<CSampleLane>& lanes) const {
    // The size check comes before any allocation: a header may claim billions.
    const std::uint64_t bytes = static_cast<std::uint64_t>(count) * stride;
    if (stride != 0 && bytes / stride != count)
        file.Require(offset, std::numeric_limits<std::uint64_t>::max());
    file.Require(offset, bytes);
    for (const CSampleLane& lane : lanes) lane.m_Trace->resize(count);
    if (count == 0 || lanes.empty()) return;

    if (stride <= sizeof(double)) {
        std::vector<double>& holder = *lanes.front().m_Trace;
        auto* raw = reinterpret_cast<unsigned char*>(holder.data());
        file.Read(offset, raw, static_cast<std::size_t>(bytes));
        for (std::size_t k = 1; k < lanes.size(); ++k) {
            Dispatch(type, raw, count, stride, lanes[k].m_nByteOffset, gain, shift,
                     lanes[k].m_Trace->data());
        }
        Dispatch(type, raw, count, stride, lanes.front().m_nByteOffset, gain, shift, holder.data());
        return;
    }

    std::vector<unsigned char> scratch(std::max(stride, kScratchBytes / stride * stride));
    const std::size_t stepsPerChunk = scratch.size() / stride;
    for (std::size_t done = 0; done < count;) {
        const std::size_t steps = std::min(stepsPerChunk, count - done);
        file.Read(offset + static_cast<std::uint64_t>(done) * stride, scratch.data(),
                  steps * stride);
        for (const CSampleLane& lane : lanes) {
            Dispatch(type, scratch.data(), steps, stride, lane.m_nByteOffset, gain, shift,
                     lane.m_Trace->data() + done);
        }
        done += steps;
    }
}
