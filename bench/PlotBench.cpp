#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>

#include "plot/CPlot.h"
#include "signal/CAnalysisRecord.h"
#include "spec/CSigSpec.h"
#include "spec/CSignalConfig.h"

namespace {

constexpr std::size_t kSamples = 10'000'000;
constexpr double kSampleRate = 8e9;
constexpr double kBitTime = 1.0 / 480e6;

// A ±0.4 V high-speed differential capture of pseudo-random bits, with every
// bit boundary of it handed to the eye plot as one long packet.
const CAnalysisRecord& Capture() {
    static const CAnalysisRecord record = [] {
        CAnalysisRecord r;
        r.m_Time = CSampleTimes(0.0, 1.0 / kSampleRate, kSamples);
        r.m_Diff.resize(kSamples);
        uint32_t lfsr = 0xACE1u;
        std::size_t bit = 0;
        double level = 0.4;
        CPacketMeasurement packet;
        for (std::size_t i = 0; i < kSamples; ++i) {
            const double t = i / kSampleRate;
            const auto b = static_cast<std::size_t>(t / kBitTime);
            if (b != bit) {
                bit = b;
                lfsr = (lfsr >> 1) ^ (-(lfsr & 1u) & 0xB400u);
                level = (lfsr & 1u) ? 0.4 : -0.4;
                packet.m_EyeAux.push_back(static_cast<int32_t>(i));
                packet.m_BitTimes.push_back(b * kBitTime);
            }
            r.m_Diff[i] = level;
        }
        packet.m_dEopStart = 0.5e-3;
        packet.m_dEopEnd = 0.6e-3;
        packet.m_dEopThreshold = -0.2;
        r.m_Measurements.push_back(std::move(packet));
        return r;
    }();
    return record;
}

// The same capture as one measured packet whose every sample breaks the eye and whose
// every bit boundary is a crossing: the most the packet plot can be asked to mark.
const CAnalysisRecord& PacketCapture() {
    static const CAnalysisRecord record = [] {
        CAnalysisRecord r = Capture();
        CPacketMeasurement& m = r.m_Measurements.front();
        m.m_dUnitInterval = kBitTime;
        for (std::size_t k = 0; k < m.m_EyeAux.size(); ++k)
            m.m_Crossings.push_back({m.m_EyeAux[k], 0.0, m.m_BitTimes[k]});
        m.m_EyeFinal.m_Flags1.assign(kSamples, 1);
        CSymbolRun run;
        run.m_dEnd = r.m_Time.back();
        r.m_Packets.push_back({{run}, 1, 0});
        r.m_nMeasuredPacket = 0;
        return r;
    }();
    return record;
}

CSigSpec HighSpeedSpec() {
    CSigSpec spec;
    spec.m_nSpeed = 3;
    spec.m_strSignalYLabel = "differential signal, V";
    spec.m_strEyeXLabel = "time, ns";
    spec.m_strEyeYLabel = "differential signal, V";
    spec.m_Eye1 = {{-10000, -0.525, -0.525, -10000},
                   {0, 0, kBitTime, kBitTime},
                   {0, -0.3, -0.3, 0, 0.3, 0.3, 0},
                   {0.075 * kBitTime, 0.375 * kBitTime, 0.625 * kBitTime, 0.925 * kBitTime,
                    0.625 * kBitTime, 0.375 * kBitTime, 0.075 * kBitTime},
                   {10000, 0.525, 0.525, 10000},
                   {0, 0, kBitTime, kBitTime}};
    spec.m_Eye2 = spec.m_Eye1;
    return spec;
}

void BM_SignalAndEyePlotsOfTenMillionSamples(benchmark::State& state) {
    const CAnalysisRecord& record = Capture();
    const auto config = CSignalConfig().BuildConfig();
    const CSigSpec spec = HighSpeedSpec();
    const std::string data = (std::filesystem::temp_directory_path() / "velkin_bench.csv").string();
    for (auto _ : state) {
        CPendingOutputs outputs;
        CPlot().PlotSignal(record, *config, spec, data, outputs);
        CPlot().PlotEye(record, *config, spec, data, outputs);
        outputs.Commit();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(kSamples));
}
BENCHMARK(BM_SignalAndEyePlotsOfTenMillionSamples)->Unit(benchmark::kMillisecond);

void BM_SignalPlotOfTenMillionSamples(benchmark::State& state) {
    const CAnalysisRecord& record = Capture();
    const auto config = CSignalConfig().BuildConfig();
    const CSigSpec spec = HighSpeedSpec();
    const std::string data = (std::filesystem::temp_directory_path() / "velkin_bench.csv").string();
    for (auto _ : state) {
        CPendingOutputs outputs;
        CPlot().PlotSignal(record, *config, spec, data, outputs);
        outputs.Commit();
    }
}
BENCHMARK(BM_SignalPlotOfTenMillionSamples)->Unit(benchmark::kMillisecond);

void BM_EyePlotOfSixHundredThousandUnitIntervals(benchmark::State& state) {
    const CAnalysisRecord& record = Capture();
    const auto config = CSignalConfig().BuildConfig();
    const CSigSpec spec = HighSpeedSpec();
    const std::string data = (std::filesystem::temp_directory_path() / "velkin_bench.csv").string();
    for (auto _ : state) {
        CPendingOutputs outputs;
        CPlot().PlotEye(record, *config, spec, data, outputs);
        outputs.Commit();
    }
}
BENCHMARK(BM_EyePlotOfSixHundredThousandUnitIntervals)->Unit(benchmark::kMillisecond);

void BM_PacketPlotOfTenMillionSamplesAllBreakingTheEye(benchmark::State& state) {
    const CAnalysisRecord& record = PacketCapture();
    const auto config = CSignalConfig().BuildConfig();
    const CSigSpec spec = HighSpeedSpec();
    const std::string data = (std::filesystem::temp_directory_path() / "velkin_bench.csv").string();
    for (auto _ : state) {
        CPendingOutputs outputs;
        CPlot().PlotPacket(record, *config, spec, data, outputs);
        outputs.Commit();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(kSamples));
}
BENCHMARK(BM_PacketPlotOfTenMillionSamplesAllBreakingTheEye)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
