#include "input/CSampleBlock.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "common/CAnalysisError.h"
#include "common/CCoreParts.h"
#include "common/CHugePages.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Raw bytes read per file call: small enough to stay in the core's own cache
// while they are widened, so each raw byte crosses the memory bus once and the
// doubles are written once, with no copy of the record held beside the traces.
constexpr std::size_t kChunkBytes = std::size_t{64} << 10;

// Doubles widened per pass: 16 KB, so they are still in L1 when copied out.
constexpr std::size_t kWideSteps = 2048;

// A trace larger than this is written around the cache: it cannot stay cached
// anyway, and a plain store would first read in every line it overwrites.
constexpr std::size_t kStreamBytes = std::size_t{4} << 20;

// Every sample of a converted piece must be one an analysis can use; a NaN, an
// infinity or the off-screen mark is refused where it sits.
void CheckPiece(const double* samples, std::size_t count, const std::string& file,
                std::size_t first) {
    bool usable = true;
    for (std::size_t i = 0; i < count; ++i) usable &= std::abs(samples[i]) < kOffScreenMark;
    if (usable) return;
    for (std::size_t i = 0; i < count; ++i)
        CheckSample(samples[i], file, "sample", static_cast<int64_t>(first + i + 1));
}

void CopyOut(const double* src, std::size_t count, bool stream, double* dst) {
#if defined(__SSE2__)
    if (stream && reinterpret_cast<std::uintptr_t>(dst) % 16 == 0) {
        std::size_t i = 0;
        for (; i + 2 <= count; i += 2) _mm_stream_pd(dst + i, _mm_load_pd(src + i));
        if (i < count) dst[i] = src[i];
        return;
    }
#endif
    (void)stream;
    std::memcpy(dst, src, count * sizeof(double));
}

// One densely packed trace: the chunk is typed and cannot alias the doubles,
// so the compiler widens a vector register of samples at a time. Samples
// [first, to) of the record.
template <typename T>
void ReadDensePart(CBinaryFile& file, std::uint64_t offset, std::size_t first, std::size_t to,
                   std::size_t count, double gain, double shift, double* out) {
    T chunk[kChunkBytes / sizeof(T)];
    alignas(64) double wide[kWideSteps];
    const bool stream = count * sizeof(double) > kStreamBytes;
    for (std::size_t done = first; done < to;) {
        const std::size_t steps = std::min(std::size(chunk), to - done);
        file.Read(offset + static_cast<std::uint64_t>(done) * sizeof(T), chunk, steps * sizeof(T));
        for (std::size_t from = 0; from < steps; from += kWideSteps) {
            const std::size_t n = std::min(kWideSteps, steps - from);
            const T* const src = chunk + from;
            for (std::size_t i = 0; i < n; ++i)
                wide[i] = static_cast<double>(src[i]) * gain + shift;
            CheckPiece(wide, n, file.Name(), done + from);
            CopyOut(wide, n, stream, out + done + from);
        }
        done += steps;
    }
#if defined(__SSE2__)
    if (stream) _mm_sfence();
#endif
}

// A long record is widened on every core, each part through a file handle of its own.
template <typename T>
void ReadDense(CBinaryFile& file, std::uint64_t offset, std::size_t count, double gain,
               double shift, double* out) {
    CCoreParts::Run(count, CCoreParts::PartsFor(count, CCoreParts::kSamplesPerPart),
                    [&](std::size_t part, std::size_t from, std::size_t to) {
                        if (part == 0)
                            return ReadDensePart<T>(file, offset, from, to, count, gain, shift,
                                                    out);
                        CBinaryFile own(file.Path());
                        ReadDensePart<T>(own, offset, from, to, count, gain, shift, out);
                    });
}

template <typename T>
void ConvertLane(const unsigned char* raw, std::size_t count, std::size_t stride, std::size_t at,
                 double gain, double shift, double* out) {
    for (std::size_t i = 0; i < count; ++i) {
        T sample;
        std::memcpy(&sample, raw + i * stride + at, sizeof(T));
        out[i] = static_cast<double>(sample) * gain + shift;
    }
}

// Interleaved channels, or a time stamp stored with each sample: each step is
// unpacked into every lane.
template <typename T>
void ReadSteps(CBinaryFile& file, std::uint64_t offset, std::size_t count, std::size_t stride,
               double gain, double shift, const std::vector<CSampleLane>& lanes) {
    unsigned char chunk[kChunkBytes];
    std::vector<unsigned char> wide(stride > kChunkBytes ? stride : 0);
    unsigned char* const raw = wide.empty() ? chunk : wide.data();
    const std::size_t stepsPerChunk = std::max<std::size_t>(1, kChunkBytes / stride);
    for (std::size_t done = 0; done < count;) {
        const std::size_t steps = std::min(stepsPerChunk, count - done);
        file.Read(offset + static_cast<std::uint64_t>(done) * stride, raw, steps * stride);
        for (const CSampleLane& lane : lanes) {
            double* const out = lane.m_Trace->data() + done;
            ConvertLane<T>(raw, steps, stride, lane.m_nByteOffset, gain, shift, out);
            CheckPiece(out, steps, file.Name(), done);
        }
        done += steps;
    }
}

template <typename T>
void ReadAs(CBinaryFile& file, std::uint64_t offset, std::size_t count, std::size_t stride,
            double gain, double shift, const std::vector<CSampleLane>& lanes) {
    if (lanes.size() == 1 && stride == sizeof(T) && lanes.front().m_nByteOffset == 0) {
        return ReadDense<T>(file, offset, count, gain, shift, lanes.front().m_Trace->data());
    }
    ReadSteps<T>(file, offset, count, stride, gain, shift, lanes);
}

}  // namespace

void CheckSample(double value, const std::string& file, const char* unit, int64_t position) {
    if (std::abs(value) < kOffScreenMark) return;
    const char* const pattern =
        std::isfinite(value) ? "Error: File %s %s %d holds the mark of a sample taken off screen."
                             : "Error: File %s %s %d holds a value that is not a finite number.";
    throw CAnalysisError(ComposeMessage(pattern, {file, unit, std::to_string(position)}));
}

void SizeForRecord(std::vector<double>& trace, std::size_t count) {
    NoteCaptureSamples(count);
    // Earlier samples are not kept, so growing need not copy them.
    if (count > trace.capacity()) std::vector<double>().swap(trace);
    CHugePages::Reserve(trace, count);
    trace.resize(count);
}

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
    for (const CSampleLane& lane : lanes) SizeForRecord(*lane.m_Trace, count);
    if (count == 0 || lanes.empty()) return;

    switch (type) {
        case ESampleType::Int8:
            return ReadAs<std::int8_t>(file, offset, count, stride, gain, shift, lanes);
        case ESampleType::UInt8:
            return ReadAs<std::uint8_t>(file, offset, count, stride, gain, shift, lanes);
        case ESampleType::Int16:
            return ReadAs<std::int16_t>(file, offset, count, stride, gain, shift, lanes);
        case ESampleType::Int32:
            return ReadAs<std::int32_t>(file, offset, count, stride, gain, shift, lanes);
        case ESampleType::UInt32:
            return ReadAs<std::uint32_t>(file, offset, count, stride, gain, shift, lanes);
        case ESampleType::UInt64:
            return ReadAs<std::uint64_t>(file, offset, count, stride, gain, shift, lanes);
        case ESampleType::Float32:
            return ReadAs<float>(file, offset, count, stride, gain, shift, lanes);
        case ESampleType::Float64:
            return ReadAs<double>(file, offset, count, stride, gain, shift, lanes);
    }
}
