// A whole inrush analysis of a ten-million-sample supply-current capture (1 s at
// 10 MS/s): read, regions and charge, verdicts, current plot, report and file
// summary, beside the time it takes only to parse the same file.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <filesystem>
#include <string>
#include <vector>

#include "entry/CUsbInrushCheck.h"
#include "input/CReadFile.h"
#include "synth/Synth.h"

namespace {

class CaptureFolder {
public:
    CaptureFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "velkin_inrush_XXXXXX");
        if (mkdtemp(pattern.data()) == nullptr) std::abort();
        m_strDir = pattern;
        m_strCsv = m_strDir + "/attach.csv";
        synth::InrushParams params;
        params.m_dSampleRate = 1e7;
        params.m_dStartTime = 0.0;
        params.m_dAfterTime = 1.0 - params.m_dAttachTime - 1e-7;
        params.m_dNoiseRms = 0.002;
        m_Truth = synth::WriteInrushCapture(params, m_strCsv, synth::FileFormat::Csv);
    }
    ~CaptureFolder() { std::filesystem::remove_all(m_strDir); }

    std::string m_strDir, m_strCsv;
    synth::SynthTruth m_Truth;
};

const CaptureFolder& Capture() {
    static const CaptureFolder folder;
    return folder;
}

double PeakRssMB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void Counters(benchmark::State& state) {
    state.counters["samples"] = static_cast<double>(Capture().m_Truth.m_nSamples);
    state.counters["peak_rss_MB"] = PeakRssMB();
}

}  // namespace

static void ParseOnly(benchmark::State& state) {
    for (auto _ : state) {
        CSampleTimes time;
        std::vector<double> current, first, second;
        CReadFile().ReadWaveform(Capture().m_strCsv, time, current, first, second, "", true);
        benchmark::DoNotOptimize(current.data());
    }
    Counters(state);
}
BENCHMARK(ParseOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

static void WholeAnalysis(benchmark::State& state) {
    for (auto _ : state) CUsbInrushCheck().Run(Capture().m_strCsv, 5.0, 1);
    Counters(state);
}
BENCHMARK(WholeAnalysis)->Unit(benchmark::kMillisecond)->UseRealTime();

// The capture is written before the first timing, so no run pays for it.
int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    Capture();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
