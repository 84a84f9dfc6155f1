// Reading speed and memory of the text waveform readers on a ten-million-sample
// two-column capture, written once in the scope's own number format.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "input/CReadFile.h"

namespace {

constexpr int64_t kRows = 10'000'000;
constexpr double kSampleInterval = 4e-11;

class CaptureFolder {
public:
    CaptureFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "velkin_bench_XXXXXX");
        if (mkdtemp(pattern.data()) == nullptr) std::abort();
        m_strDir = pattern;
        m_strCsv = Write("capture.csv", ',');
        m_strTsv = Write("capture.tsv", '\t');
    }
    ~CaptureFolder() { std::filesystem::remove_all(m_strDir); }

    std::string m_strDir, m_strCsv, m_strTsv;

private:
    std::string Write(const char* name, char separator) const {
        const std::string path = m_strDir + "/" + name;
        std::FILE* file = std::fopen(path.c_str(), "wb");
        if (file == nullptr) std::abort();
        std::fprintf(file, "Model,MSO64\nRecord Length,%lld\n\nTIME%cCH1\n",
                     static_cast<long long>(kRows), separator);
        char row[64];
        for (int64_t i = 0; i < kRows; ++i) {
            // A 480 Mb/s-like swing of +-400 mV quantised to 4 mV, as the scope writes it.
            const double volts =
                std::round(100.0 * std::sin(static_cast<double>(i) * 0.05)) * 0.004;
            const int length =
                std::snprintf(row, sizeof row, "%.8e%c%.8e\n",
                              -2e-4 + static_cast<double>(i) * kSampleInterval, separator, volts);
            std::fwrite(row, 1, static_cast<std::size_t>(length), file);
        }
        std::fclose(file);
        return path;
    }
};

const CaptureFolder& Captures() {
    static const CaptureFolder folder;
    return folder;
}

void ReadCapture(benchmark::State& state, const std::string& path) {
    const auto bytes = static_cast<int64_t>(std::filesystem::file_size(path));
    for (auto _ : state) {
        CSampleTimes time;
        std::vector<double> diff, first, second;
        const int32_t kind = CReadFile().ReadWaveform(path, time, diff, first, second, "", false);
        if (kind != 2 || static_cast<int64_t>(diff.size()) != kRows)
            state.SkipWithError("short read");
        benchmark::DoNotOptimize(diff.data());
    }
    state.SetBytesProcessed(state.iterations() * bytes);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["file_MB"] = static_cast<double>(bytes) / 1e6;
    state.counters["vectors_MB"] = 2.0 * kRows * sizeof(double) / 1e6;
    state.counters["peak_rss_MB"] = static_cast<double>(usage.ru_maxrss) / 1e3;
}

void CommaSeparated(benchmark::State& state) { ReadCapture(state, Captures().m_strCsv); }
void TabSeparated(benchmark::State& state) { ReadCapture(state, Captures().m_strTsv); }

}  // namespace

BENCHMARK(CommaSeparated)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(TabSeparated)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

BENCHMARK_MAIN();
