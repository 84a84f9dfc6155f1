// Writing a large synthesized capture: the benchmark captures of the analysis are
// made this way, so they must take seconds, not minutes.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "synth/Synth.h"

namespace fs = std::filesystem;

static void WriteHighSpeedCsv(benchmark::State& state) {
    const fs::path dir =
        fs::temp_directory_path() / ("velkin_synth_bench_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string path = (dir / "hs_large.csv").string();

    synth::HighSpeedParams params;
    params.m_Traffic.m_nPackets = 0;  // as many as the length holds
    params.m_Traffic.m_nSamples = static_cast<std::size_t>(state.range(0));
    params.m_Traffic.m_nPayloadBytes = 32;
    params.m_Traffic.m_Jitter.m_dRandomRms = 2e-12;
    params.m_Traffic.m_dNoiseRms = 0.005;
    for (auto _ : state) {
        const synth::SynthTruth truth =
            synth::WriteHighSpeedCapture(params, path, synth::FileFormat::Csv);
        benchmark::DoNotOptimize(truth.m_nPackets);
    }
    state.counters["samples"] = static_cast<double>(state.range(0));
    state.counters["megabytes"] = static_cast<double>(fs::file_size(path)) / 1e6;
    state.SetItemsProcessed(state.iterations() * state.range(0));
    fs::remove_all(dir);
}
BENCHMARK(WriteHighSpeedCsv)
    ->Arg(10'000'000)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

BENCHMARK_MAIN();
