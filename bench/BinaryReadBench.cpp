// Reading speed and memory of the four binary scope readers on a 10-million-
// sample record, written once per run into a temporary folder. The file sits
// in the page cache, so the figure is the reader's own cost: bytes of sample
// data per second, and the heap it holds beyond the vectors it returns.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <numbers>
#include <string>
#include <vector>

#include "input/CReadKeysightBin.h"
#include "input/CReadLecroyTrc.h"
#include "input/CReadRandSbin.h"
#include "input/CReadTekWfm.h"
#include "scopefiles/CWriteKeysightBin.h"
#include "scopefiles/CWriteLecroyTrc.h"
#include "scopefiles/CWriteRandSbin.h"
#include "scopefiles/CWriteTekWfm.h"

namespace {

constexpr std::size_t kSamples = 10'000'000;
constexpr double kInterval = 1e-10;  // 10 GS/s, as a high-speed capture

// Heap accounting: every allocation carries its size in front of it.
std::atomic<std::size_t> g_nHeapBytes{0};
std::atomic<std::size_t> g_nHeapPeak{0};
constexpr std::size_t kTag = alignof(std::max_align_t);

}  // namespace

void* operator new(std::size_t size) {
    void* block = std::malloc(size + kTag);
    if (block == nullptr) throw std::bad_alloc();
    *static_cast<std::size_t*>(block) = size;
    const std::size_t now = g_nHeapBytes += size;
    std::size_t peak = g_nHeapPeak.load();
    while (now > peak && !g_nHeapPeak.compare_exchange_weak(peak, now)) {
    }
    return static_cast<char*>(block) + kTag;
}
void operator delete(void* p) noexcept {
    if (p == nullptr) return;
    void* block = static_cast<char*>(p) - kTag;
    g_nHeapBytes -= *static_cast<std::size_t*>(block);
    std::free(block);
}
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete[](void* p, std::size_t) noexcept { operator delete(p); }

namespace {

struct Files {
    std::filesystem::path m_Folder;
    std::string m_strKeysight, m_strTek, m_strLecroy, m_strRandS;

    Files() {
        m_Folder = std::filesystem::temp_directory_path() / "velkin_binary_read_bench";
        std::filesystem::create_directories(m_Folder);
        std::vector<double> volts(kSamples);
        for (std::size_t i = 0; i < kSamples; ++i) {
            volts[i] = 0.4 * std::sin(2.0 * std::numbers::pi * static_cast<double>(i) / 20.83);
        }
        m_strKeysight = (m_Folder / "bench.bin").string();
        m_strTek = (m_Folder / "bench.wfm").string();
        m_strLecroy = (m_Folder / "bench.trc").string();
        m_strRandS = (m_Folder / "bench_rs.Wfm.bin").string();
        CWriteKeysightBin().Write(m_strKeysight, -5e-4, kInterval, volts);
        CWriteTekWfm().Write(m_strTek, -5e-4, kInterval, volts);
        CWriteLecroyTrc().Write(m_strLecroy, -5e-4, kInterval, volts);
        CWriteRandSbin().Write(m_strRandS, -5e-4, kInterval, volts);
    }
    ~Files() {
        std::error_code ignored;
        std::filesystem::remove_all(m_Folder, ignored);
    }
};

const Files& TheFiles() {
    static const Files files;
    return files;
}

// `fresh` hands the reader new vectors every time, so the figure includes the
// system zeroing 160 MB of new pages; otherwise the vectors of the last read
// are handed back, as a batch does, and the figure is the reader's own work.
template <typename Reader>
void ReadRecord(benchmark::State& state, const std::string& path, std::size_t sampleBytes) {
    const bool fresh = state.range(0) != 0;
    std::size_t extra = 0;
    CSampleTimes time;
    std::vector<double> first, second;
    for (auto _ : state) {
        if (fresh) {
            time = CSampleTimes();
            std::vector<double>().swap(first);
            std::vector<double>().swap(second);
        }
        const std::size_t before = g_nHeapBytes.load();
        const std::size_t capacity = first.capacity() + second.capacity();
        g_nHeapPeak = before;
        const int32_t kind = Reader().Read(path, time, first, second);
        const std::size_t grown =
            (first.capacity() + second.capacity() - capacity) * sizeof(double);
        const std::size_t held = g_nHeapPeak.load() - before;
        extra = std::max(extra, held > grown ? held - grown : 0);
        benchmark::DoNotOptimize(kind);
        benchmark::DoNotOptimize(first.data());
        if (first.size() != kSamples) state.SkipWithError("wrong sample count");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSamples * sampleBytes));
    state.counters["samples_per_second"] = benchmark::Counter(
        static_cast<double>(kSamples), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["heap_beyond_vectors_bytes"] = static_cast<double>(extra);
}

void KeysightBinFloat32(benchmark::State& state) {
    ReadRecord<CReadKeysightBin>(state, TheFiles().m_strKeysight, 4);
}
void TekWfmInt16(benchmark::State& state) {
    ReadRecord<CReadTekWfm>(state, TheFiles().m_strTek, 2);
}
void LecroyTrcInt16(benchmark::State& state) {
    ReadRecord<CReadLecroyTrc>(state, TheFiles().m_strLecroy, 2);
}
void RandSbinFloat32(benchmark::State& state) {
    ReadRecord<CReadRandSbin>(state, TheFiles().m_strRandS, 4);
}

}  // namespace

BENCHMARK(KeysightBinFloat32)->ArgName("fresh")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(TekWfmInt16)->ArgName("fresh")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(LecroyTrcInt16)->ArgName("fresh")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(RandSbinFloat32)->ArgName("fresh")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
