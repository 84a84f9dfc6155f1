// Cost of measuring one packet. The measurement touches only the packet's own
// samples and crossings, so it must stay flat as the capture grows, and the grid
// phase search must grow with the crossings, not with the samples.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "common/CAnalysisError.h"
#include "signal/CAnalysisRecord.h"
#include "signal/CMeasurePackets.h"
#include "signal/CSignalData.h"
#include "spec/CSigTestSpec.h"
#include "spec/CSignalConfig.h"

namespace {

constexpr double kBit = 1.0 / 480e6;
constexpr double kSampleTime = 125e-12;  // 8 GS/s
constexpr double kEdge = 500e-12;        // s, 0-100 % of a J/K swing
constexpr double kSwing = 0.4;           // V, J and K levels
constexpr double kThreshold = 0.15;

CSigSpec HighSpeedSpec() { return *CSigTestSpec().SelectSpec("hsne"); }

// A high-speed capture: idle, one packet of `dataBits` pseudo-random bits after
// its SYNC, an 8-bit EOP, then idle padding up to `samples` samples.
CAnalysisRecord MakeCapture(std::size_t dataBits, std::size_t samples) {
    std::string states = std::string(12, 'I') + "KJKJKJKJKJKJKJKJKJKJKJKJKJKJKJKK";
    unsigned seed = 12345;
    std::size_t same = 0;
    for (std::size_t i = 0; i < dataBits; ++i) {
        seed = seed * 1103515245u + 12345u;
        // Bit stuffing: no line state lasts more than seven bits inside a packet.
        const bool toggle = (seed >> 16) & 1 || same == 6;
        const char last = states.back();
        states += toggle ? (last == 'J' ? 'K' : 'J') : last;
        same = toggle ? 0 : same + 1;
    }
    states += std::string(8, states.back() == 'J' ? 'K' : 'J');
    const auto level = [&](std::size_t k) {
        const char s = states[std::min(k, states.size() - 1)];
        return s == 'J' ? kSwing : s == 'K' ? -kSwing : 0.0;
    };
    CAnalysisRecord record;
    for (std::size_t i = 0; i < samples; ++i) {
        const double t = static_cast<double>(i) * kSampleTime;
        const double bit = t / kBit;
        const std::size_t k = static_cast<std::size_t>(bit);
        double v = k < states.size() ? level(k) : 0.0;
        const double intoBit = (bit - static_cast<double>(k)) * kBit;
        if (k > 0 && k <= states.size() && intoBit < kEdge / 2) {
            const double x = intoBit / kEdge + 0.5;
            const double to = k < states.size() ? level(k) : 0.0;
            v = level(k - 1) + (to - level(k - 1)) * x;
        } else if (k + 1 <= states.size() && kBit - intoBit < kEdge / 2) {
            const double x = 0.5 - (kBit - intoBit) / kEdge;
            const double to = k + 1 < states.size() ? level(k + 1) : 0.0;
            v = level(k) + (to - level(k)) * x;
        }
        record.m_Diff.push_back(v);
    }
    record.m_Time = CSampleTimes(0.0, kSampleTime, samples);

    // Line-state runs as region finding gives them.
    std::vector<CSymbolRun> runs;
    for (std::size_t i = 0; i < samples; ++i) {
        const double d = record.m_Diff[i];
        const int32_t code = d > kThreshold ? 2 : d < -kThreshold ? 4 : 3;
        if (!runs.empty() && runs.back().m_nSymbol == code) {
            runs.back().m_nLastSample = static_cast<int32_t>(i);
            continue;
        }
        CSymbolRun r;
        r.m_nSymbol = code;
        r.m_nFirstSample = r.m_nLastSample = static_cast<int32_t>(i);
        r.m_dStart = record.m_Time[i];
        if (!runs.empty()) runs.back().m_dEnd = r.m_dStart;
        runs.push_back(r);
    }
    runs.back().m_dEnd = record.m_Time.back();
    for (CSymbolRun& r : runs) r.m_dBits = (r.m_dEnd - r.m_dStart) / kBit;
    std::size_t eop = 1;
    while (eop < runs.size() && !(runs[eop].m_nSymbol != 3 && runs[eop].m_dBits > 7.5)) ++eop;
    runs[eop].m_nSymbol = 0;
    CPacketEntry packet;
    packet.m_Symbols.assign(runs.begin() + 1, runs.begin() + static_cast<long>(eop) + 1);
    packet.m_nInfo = static_cast<int32_t>(packet.m_Symbols.size());
    record.m_Packets.push_back(packet);
    record.m_nSamples = static_cast<int32_t>(samples);
    return record;
}

std::size_t SamplesFor(std::size_t dataBits) {
    return static_cast<std::size_t>(static_cast<double>(dataBits + 80) * kBit / kSampleTime);
}

// One packet of 200 bits in captures of 100 k to 10 M samples.
void BM_MeasureOnePacketByCaptureLength(benchmark::State& state) {
    const CSigSpec spec = HighSpeedSpec();
    const CSigConfig config = *CSignalConfig().BuildConfig();
    const CAnalysisRecord record = MakeCapture(200, static_cast<std::size_t>(state.range(0)));
    const CMeasurePackets measure;
    for (auto _ : state) {
        const CPacketMeasurement m =
            measure.MeasurePacket(record.m_Packets[0], config, spec, record.m_Time, record.m_Diff,
                                  {}, {}, record.m_strFileA);
        benchmark::DoNotOptimize(m.m_dUnitInterval);
    }
    state.counters["samples"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_MeasureOnePacketByCaptureLength)
    ->Arg(100'000)
    ->Arg(1'000'000)
    ->Arg(10'000'000)
    ->Unit(benchmark::kMicrosecond);

// Packets of growing length: the cost follows the crossings.
void BM_MeasureOnePacketByPacketLength(benchmark::State& state) {
    const CSigSpec spec = HighSpeedSpec();
    const CSigConfig config = *CSignalConfig().BuildConfig();
    const std::size_t bits = static_cast<std::size_t>(state.range(0));
    const CAnalysisRecord record = MakeCapture(bits, SamplesFor(bits));
    const CMeasurePackets measure;
    int32_t crossings = 0;
    for (auto _ : state) {
        const CPacketMeasurement m =
            measure.MeasurePacket(record.m_Packets[0], config, spec, record.m_Time, record.m_Diff,
                                  {}, {}, record.m_strFileA);
        crossings = m.m_nCrossings;
        benchmark::DoNotOptimize(m.m_dUnitInterval);
    }
    state.counters["crossings"] = crossings;
    state.SetComplexityN(crossings);
}
BENCHMARK(BM_MeasureOnePacketByPacketLength)
    ->RangeMultiplier(4)
    ->Range(256, 16384)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMicrosecond);

// Loading the same capture from a two-column text file, for scale.
void BM_LoadCapture(benchmark::State& state) {
    const CAnalysisRecord record = MakeCapture(200, static_cast<std::size_t>(state.range(0)));
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / "velkin_measure_bench.csv";
    if (std::FILE* out = std::fopen(file.c_str(), "w")) {
        for (std::size_t i = 0; i < record.m_Time.size(); ++i) {
            std::fprintf(out, "%.12e,%.6f\n", record.m_Time[i], record.m_Diff[i]);
        }
        std::fclose(out);
    }
    const CSigSpec spec = HighSpeedSpec();
    const CSigConfig config = *CSignalConfig().BuildConfig();
    for (auto _ : state) {
        try {
            const CAnalysisRecord loaded = CSignalData().Load(file.string(), config, spec, "");
            benchmark::DoNotOptimize(loaded.m_nSamples);
        } catch (const CAnalysisError& e) {
            state.SkipWithError(e.what());
            break;
        }
    }
    std::filesystem::remove(file);
}
BENCHMARK(BM_LoadCapture)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
