// Eye-template check and edge monotonicity on a long high-speed packet: 10 000 unit
// intervals sampled at 8e9 samples/s (about 167 000 samples). Run with
// --benchmark_format=json; the eye check is meant to stay well under 50 ms, and its
// cost to grow linearly with the packet's samples (2 500 to 40 000 unit intervals).
#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <random>

#include "signal/CEyeCheck.h"
#include "signal/CMonotonicMeas.h"
#include "spec/CSigTestSpec.h"

namespace {

constexpr double kUi = 1.0 / 480e6;
constexpr double kRate = 8e9;
constexpr int kBits = 10000;

// Random NRZ data of +-`swing` with 0.3 UI raised-cosine edges and 2 mV noise, the bit
// grid, and the EOP at the end of the data.
struct LongPacket {
    CSampleTimes time;
    std::vector<double> diff;
    CPacketMeasurement m;
    CPacketEntry entry;
    CSigSpec limits = *CSigTestSpec().SelectSpec("hsne");

    explicit LongPacket(double swing, int bits = kBits) {
        std::mt19937 rng(11);
        std::normal_distribution<double> noise(0.0, 0.002);
        std::vector<double> level;
        for (int b = 0; b < bits; ++b) level.push_back((rng() & 1) ? swing : -swing);
        const auto n = static_cast<std::size_t>(bits * kUi * kRate);
        for (std::size_t i = 0; i < n; ++i) {
            const double t = static_cast<double>(i) / kRate;
            const double u = t / kUi;
            const auto k = static_cast<std::size_t>(std::floor(u + 0.5));
            double v = level[std::min(static_cast<std::size_t>(u), level.size() - 1)];
            const double phase = (u - static_cast<double>(k)) / 0.3 + 0.5;
            if (k >= 1 && k < level.size() && phase > 0.0 && phase < 1.0) {
                v = level[k - 1] +
                    (level[k] - level[k - 1]) * (1.0 - std::cos(std::numbers::pi * phase)) / 2.0;
            }
            diff.push_back(v + noise(rng));
        }
        time = CSampleTimes(0.0, 1.0 / kRate, n);
        m.m_dUnitInterval = kUi;
        m.m_dEopStart = (bits - 8) * kUi;
        m.m_dEopEnd = bits * kUi;
        for (int k = 0; k <= bits; ++k) m.m_BitTimes.push_back(k * kUi);
        entry.m_Symbols.resize(1);
    }
};

// One template check over every unit interval: the eye of a clean packet of
// `state.range(0)` unit intervals.
void BM_CheckEyeCleanPacket(benchmark::State& state) {
    const LongPacket p(0.4, static_cast<int>(state.range(0)));
    for (auto _ : state) {
        std::vector<int32_t> boundaries;
        std::vector<double> bitTimes = p.m.m_BitTimes;
        CEyeResult r = CEyeCheck().CheckEye(boundaries, p.time, bitTimes, p.limits.m_Eye1, p.diff,
                                            {}, p.m.m_dEopStart);
        benchmark::DoNotOptimize(r);
    }
    state.counters["samples"] = static_cast<double>(p.time.size());
    state.SetComplexityN(static_cast<benchmark::IterationCount>(p.time.size()));
}

// The whole eye stage on a packet whose eye is too small: both templates, the three
// exceptions on each and the margins.
void BM_EvaluateEyeViolatingPacket(benchmark::State& state) {
    const LongPacket p(0.28);
    const CEyeCheck check;
    for (auto _ : state) {
        CPacketMeasurement m =
            check.StoreEyeMargins(check.EvaluateEye(p.m, p.entry, p.limits, p.time, p.diff, {}));
        benchmark::DoNotOptimize(m);
    }
    state.counters["samples"] = static_cast<double>(p.time.size());
}

void BM_MeasureMonotonicPacket(benchmark::State& state) {
    const LongPacket p(0.4);
    for (auto _ : state) {
        MonotonicResult r = CMonotonicMeas().MeasureMonotonic(
            p.time, p.diff, p.limits, p.m.m_dEopStart, p.m.m_dEopEnd, {}, {}, p.entry);
        benchmark::DoNotOptimize(r);
    }
}

}  // namespace

BENCHMARK(BM_CheckEyeCleanPacket)
    ->Arg(2500)
    ->Arg(10000)
    ->Arg(40000)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EvaluateEyeViolatingPacket)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MeasureMonotonicPacket)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
