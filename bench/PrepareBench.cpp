// Data preparation with line-state runs and packets, timed apart from reading the
// capture, beside the cost of reading the same capture from a binary file.
//   PrepareBench --benchmark_format=json
// Counters: peak heap bytes of the stage per sample of the prepared capture, and
// the number of allocations at least as large as one sample vector of the capture
// as read. At 8 GS/s that is 0: nothing is copied. At 2 GS/s it is 3: the time
// axis and the trace up-sampled to four times their length, each built once, and
// the run list, which outgrows a vector of the coarse capture; a copy adds one.

#include <benchmark/benchmark.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include "input/CSampleBlock.h"
#include "signal/CSignalData.h"
#include "spec/CSigTestSpec.h"
#include "spec/CSignalConfig.h"

namespace {

std::atomic<std::size_t> gLiveBytes{0};
std::atomic<std::size_t> gPeakBytes{0};
std::atomic<std::size_t> gBigAllocs{0};
std::atomic<std::size_t> gBigAllocBytes{~std::size_t{0}};

void* Allocate(std::size_t bytes) {
    void* block = std::malloc(bytes + 16);
    if (block == nullptr) throw std::bad_alloc();
    *static_cast<std::size_t*>(block) = bytes;
    const std::size_t live = gLiveBytes += bytes;
    std::size_t peak = gPeakBytes.load();
    while (live > peak && !gPeakBytes.compare_exchange_weak(peak, live)) {
    }
    if (bytes >= gBigAllocBytes) ++gBigAllocs;
    return static_cast<char*>(block) + 16;
}

void Release(void* p) {
    if (p == nullptr) return;
    void* block = static_cast<char*>(p) - 16;
    gLiveBytes -= *static_cast<std::size_t*>(block);
    std::free(block);
}

}  // namespace

void* operator new(std::size_t bytes) { return Allocate(bytes); }
void* operator new[](std::size_t bytes) { return Allocate(bytes); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, std::size_t) noexcept { Release(p); }
void operator delete[](void* p, std::size_t) noexcept { Release(p); }

namespace {

// High-speed traffic: 40 bits of idle at 0 V, SYNC, 200 bits of payload and an
// eight-bit EOP, over and over; ±400 mV with 100 ps edges.
std::string HighSpeedBits(std::size_t bits) {
    const std::string payload = "JJKKKJKJJJJKKJJJJJJKJKKKKKKJKJKJJKKJ";
    std::string line;
    while (line.size() < bits) {
        line += std::string(40, 'S') + "KJKJKJKJKJKJKJKJKJKJKJKJKJKJKJKK";
        for (int i = 0; i < 6; ++i) line += payload;
        line += std::string(8, 'K');
    }
    return line;
}

std::string WriteCapture(double rate, std::size_t samples) {
    const double bitTime = 1 / 480e6;
    const double edge = 100e-12;
    const std::string bits =
        HighSpeedBits(static_cast<std::size_t>(samples / (rate * bitTime)) + 2);
    auto level = [&](std::size_t b) { return bits[b] == 'J' ? 0.4 : bits[b] == 'K' ? -0.4 : 0.0; };
    std::vector<double> diff(samples);
    for (std::size_t i = 0; i < samples; ++i) {
        const double t = static_cast<double>(i) / rate;
        const auto boundary = static_cast<std::size_t>(std::lround(t / bitTime));
        const double from = static_cast<double>(boundary) * bitTime - 0.5 * edge;
        double v = level(static_cast<std::size_t>(t / bitTime));
        if (boundary > 0 && t >= from && t < from + edge)
            v = level(boundary - 1) + (level(boundary) - level(boundary - 1)) * (t - from) / edge;
        diff[i] = v;
    }
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("velkin_prepare_" + std::to_string(samples) + ".bin"))
                                 .string();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    std::fwrite(diff.data(), sizeof(double), samples, file);
    std::fclose(file);
    return path;
}

CAnalysisRecord ReadCapture(const std::string& path, double rate, std::size_t samples) {
    CAnalysisRecord raw;
    raw.m_nTraceKind = 2;
    // Sized as the scope readers size a record, so the baseline pays what they pay.
    raw.m_Time = CSampleTimes(0.0, 1.0 / rate, samples);
    SizeForRecord(raw.m_Diff, samples);
    std::FILE* file = std::fopen(path.c_str(), "rb");
    const std::size_t read = std::fread(raw.m_Diff.data(), sizeof(double), samples, file);
    std::fclose(file);
    if (read != samples) std::abort();
    return raw;
}

struct Capture {
    double rate;
    std::size_t samples;
    std::string path;
};

const Capture& CaptureAt(double rate, std::size_t samples) {
    static std::vector<Capture> written;
    for (const Capture& c : written)
        if (c.rate == rate && c.samples == samples) return c;
    written.push_back({rate, samples, WriteCapture(rate, samples)});
    return written.back();
}

void ReadBinary(benchmark::State& state, double rate, std::size_t samples) {
    const Capture& capture = CaptureAt(rate, samples);
    for (auto _ : state) {
        CAnalysisRecord raw = ReadCapture(capture.path, capture.rate, capture.samples);
        benchmark::DoNotOptimize(raw.m_Diff.data());
    }
    state.counters["samples"] = static_cast<double>(samples);
}

void Prepare(benchmark::State& state, double rate, std::size_t samples) {
    const Capture& capture = CaptureAt(rate, samples);
    const auto config = CSignalConfig().BuildConfig();
    const auto spec = CSigTestSpec().SelectSpec("hsne");
    std::size_t peak = 0;
    std::size_t big = 0;
    int32_t prepared = 0;
    int32_t packets = 0;
    for (auto _ : state) {
        state.PauseTiming();
        CAnalysisRecord raw = ReadCapture(capture.path, capture.rate, capture.samples);
        gBigAllocBytes = samples * sizeof(double);
        gBigAllocs = 0;
        const std::size_t before = gLiveBytes;
        gPeakBytes = before;
        state.ResumeTiming();

        CAnalysisRecord record = CSignalData().Prepare(std::move(raw), *config, *spec);

        state.PauseTiming();
        peak = std::max(peak, gPeakBytes - before + samples * 2 * sizeof(double));
        big = gBigAllocs;
        gBigAllocBytes = ~std::size_t{0};
        prepared = record.m_nSamples;
        packets = record.m_nPackets;
        benchmark::DoNotOptimize(record.m_Packets.data());
        state.ResumeTiming();
    }
    state.counters["samples"] = static_cast<double>(prepared);
    state.counters["packets"] = static_cast<double>(packets);
    state.counters["peak_bytes_per_sample"] =
        static_cast<double>(peak) / static_cast<double>(prepared);
    state.counters["sample_sized_allocs"] = static_cast<double>(big);
}

}  // namespace

// Peak bytes include the capture as read (time and trace), which the stage holds.
BENCHMARK_CAPTURE(ReadBinary, HighSpeed8G_10M, 8e9, 10'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Prepare, HighSpeed8G_10M, 8e9, 10'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReadBinary, HighSpeed2G_2M5, 2e9, 2'500'000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Prepare, HighSpeed2G_2M5, 2e9, 2'500'000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
