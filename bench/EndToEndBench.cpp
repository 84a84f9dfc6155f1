// Whole analyses through the exports, one per format and speed, beside the parse alone
// of the same file: how long a lab waits for a ten-million-sample capture, and how many
// bytes per sample it holds at the peak. Run each case in its own process
// (scripts/bench.sh does) so that the peak belongs to that case alone.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "input/CReadFile.h"
#include "synth/Synth.h"
#include "velkin.h"

namespace fs = std::filesystem;

namespace {

struct Case {
    const char* m_Name;
    const char* m_TestType;  // "" for an inrush capture
    synth::FileFormat m_eFormat;
    const char* m_Extension;
    std::size_t m_nSamples;
    double m_dSampleRate;  // 0: the speed's own
};

constexpr std::size_t kTenMillion = 10'000'000;

const Case kCases[] = {
    {"hs_csv", "hsne", synth::FileFormat::Csv, "csv", kTenMillion, 8e9},
    {"hs_tsv", "hsne", synth::FileFormat::Tsv, "tsv", kTenMillion, 8e9},
    {"hs_bin", "hsne", synth::FileFormat::KeysightBin, "bin", kTenMillion, 8e9},
    {"hs_wfm", "hsne", synth::FileFormat::TekWfm, "wfm", kTenMillion, 8e9},
    {"hs_trc", "hsne", synth::FileFormat::LecroyTrc, "trc", kTenMillion, 8e9},
    {"hs_wfmbin", "hsne", synth::FileFormat::RandSbin, "Wfm.bin", kTenMillion, 8e9},
    // A third of the reference rate: up-sampled before it is measured.
    {"hs_upsampled", "hsne", synth::FileFormat::Csv, "csv", 2'500'000, 2e9},
    {"fs_pair", "fs", synth::FileFormat::Csv, "csv", kTenMillion, 0.0},
    {"ls_pair", "ls", synth::FileFormat::Csv, "csv", kTenMillion / 4, 0.0},
    {"inrush", "", synth::FileFormat::Csv, "csv", kTenMillion, 1e7},
};

std::string DataFolder() {
    const char* set = std::getenv("VELKIN_BENCH_DATA");
    return set != nullptr && *set != '\0' ? set
                                          : (fs::temp_directory_path() / "velkin-bench").string();
}

std::string CapturePath(const Case& c) {
    return DataFolder() + "/" + c.m_Name + "." + c.m_Extension;
}

// Written once and kept: a ten-million-sample text capture takes seconds to write.
void Synthesize(const Case& c) {
    const std::string path = CapturePath(c);
    if (fs::exists(synth::TruthPath(path))) return;
    fs::create_directories(DataFolder());
    const std::string type = c.m_TestType;
    if (type.empty()) {
        synth::InrushParams params;
        params.m_dSampleRate = c.m_dSampleRate;
        params.m_dAfterTime = static_cast<double>(c.m_nSamples) / c.m_dSampleRate -
                              params.m_dAttachTime + params.m_dStartTime;
        synth::WriteInrushCapture(params, path, c.m_eFormat);
    } else if (type == "hsne") {
        synth::HighSpeedParams params;
        params.m_dSampleRate = c.m_dSampleRate;
        params.m_Traffic.m_nPackets = 0;
        params.m_Traffic.m_nSamples = c.m_nSamples;
        synth::WriteHighSpeedCapture(params, path, c.m_eFormat);
    } else {
        synth::SingleEndedParams params;
        params.m_Speed = type == "ls" ? synth::Speed::Low : synth::Speed::Full;
        params.m_Traffic.m_nPackets = 0;
        params.m_Traffic.m_nSamples = c.m_nSamples;
        synth::WriteSingleEndedCapture(params, path, c.m_eFormat);
    }
}

double PeakRssMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1e3;
}

// The resident size before the first analysis of this process, and its peak during
// that first one: later iterations reuse and fragment the heap, which a lab's one
// analysis per file never sees. The library may run a case more than once while it
// sizes the iterations, so both are kept across calls.
double g_dRssBefore = 0.0;
double g_dFirstPeak = 0.0;

void NoteFirstPeak() {
    if (g_dFirstPeak == 0.0) g_dFirstPeak = PeakRssMegabytes();
}

void Report(benchmark::State& state, const Case& c) {
    const double rssBefore = g_dRssBefore, peak = g_dFirstPeak;
    state.counters["samples"] = static_cast<double>(c.m_nSamples);
    state.counters["file_MB"] = static_cast<double>(fs::file_size(CapturePath(c))) / 1e6;
    state.counters["peak_rss_MB"] = peak;
    state.counters["bytes_per_sample"] =
        (peak - rssBefore) * 1e6 / static_cast<double>(c.m_nSamples);
}

void Prepare(benchmark::State& state) {
    for (auto _ : state)
        for (const Case& c : kCases) Synthesize(c);
}

void Analyse(benchmark::State& state, const Case& c) {
    Synthesize(c);
    const std::string path = CapturePath(c);
    if (g_dRssBefore == 0.0) g_dRssBefore = PeakRssMegabytes();
    for (auto _ : state) {
        const char* answer =
            *c.m_TestType == '\0'
                ? UsbInrushCheck(path.c_str(), 5.0, VELKIN_MODE_REPORT_ONLY)
                : UsbSigCheck(path.c_str(), c.m_TestType, "", VELKIN_MODE_REPORT_ONLY, 0);
        if (*answer != '\0') {
            state.SkipWithError(answer);
            return;
        }
        NoteFirstPeak();
    }
    Report(state, c);
}

void Parse(benchmark::State& state, const Case& c) {
    Synthesize(c);
    const std::string path = CapturePath(c);
    if (g_dRssBefore == 0.0) g_dRssBefore = PeakRssMegabytes();
    for (auto _ : state) {
        CSampleTimes time;
        std::vector<double> diff, first, second;
        CReadFile().ReadWaveform(path, time, diff, first, second, "", *c.m_TestType == '\0');
        benchmark::DoNotOptimize(time.size());
        NoteFirstPeak();
    }
    Report(state, c);
}

const int kRegistered = [] {
    benchmark::RegisterBenchmark("Prepare", Prepare)->Iterations(1)->Unit(benchmark::kSecond);
    for (const Case& c : kCases) {
        benchmark::RegisterBenchmark((std::string("Analyse/") + c.m_Name).c_str(),
                                     [&c](benchmark::State& s) { Analyse(s, c); })
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        benchmark::RegisterBenchmark((std::string("Parse/") + c.m_Name).c_str(),
                                     [&c](benchmark::State& s) { Parse(s, c); })
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
    return 0;
}();

}  // namespace

BENCHMARK_MAIN();
