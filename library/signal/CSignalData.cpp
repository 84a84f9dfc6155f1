#include "signal/CSignalData.h"

#include <cmath>
#include <compare>
#include <cstddef>
#include <cstdio>
#include <iterator>
#include <limits>
#include <utility>
#include <vector>

#include "common/CAnalysisError.h"
#include "common/CHugePages.h"
#include "input/CReadFile.h"
#include "signal/CPacket.h"
#include "signal/CSignalRegions.h"

namespace {

// Beyond this a scope's time base is wrong or the file is not a waveform.
constexpr double kMaxSampleRate = 1e11;  // samples/s
// A differential capture this coarse cannot resolve high-speed edges at all.
constexpr double kMinDifferentialRate = 1e9;  // samples/s
// A single-ended pair starting with both lines low has not reached idle yet;
// idle is a line above the high level.
constexpr double kBothLowVolts = 0.5;
constexpr double kIdleHighVolts = 1.5;
// Up-sampling beyond this many samples would ask for gigabytes; a capture that
// coarse is better re-taken at a proper rate.
constexpr double kMaxUpsampledSamples = 2e8;
// A factor above this means the capture resolves an edge with too few samples
// for the measurement to be trusted; it is flagged.
constexpr double kCoarseFactor = 4.0;

// Three samples give two intervals: the first sets the capture's rate, the
// second the rate a pair is up-sampled from.
void RequireRisingStart(const CSampleTimes& time) {
    if (time.size() < 3) throw CAnalysisError("Too few samples: a capture needs at least 3");
    if (!(time[0] < time[1] && time[1] < time[2]))
        throw CAnalysisError("Sample times do not increase at the start of the capture");
}

void RequireSameLength(const CSampleTimes& time, const std::vector<double>& trace) {
    if (trace.size() != time.size())
        throw CAnalysisError("Differential data doesn't match data point times");
}

// Number of interpolation steps per input interval: f rounded up, forgiving the
// rounding noise of a time axis that is meant to be exactly 1/f of the target.
double UpsamplingFactor(double f) { return std::ceil(f - 0.001); }

std::size_t CheckedFactor(double k, std::size_t samples) {
    const double upsampled = static_cast<double>(samples - 1) * k;
    if (!(upsampled <= kMaxUpsampledSamples)) {
        char factor[32];
        std::snprintf(factor, sizeof factor, "%.0f", k);
        throw CAnalysisError(ComposeMessage(
            "Sample rate too low: up-sampling by %s would exceed 200000000 samples", {factor}));
    }
    return static_cast<std::size_t>(k);
}

// The points of an up-sampled trace in order: step j of k from input sample i
// towards sample i + 1. A vector built from this range is sized once and writes
// every point once, with no zero fill before it: on a ten-million-sample capture
// that fill costs as much as the interpolation itself.
class CUpsampledPoints {
public:
    using iterator_category = std::random_access_iterator_tag;
    using value_type = double;
    using difference_type = std::ptrdiff_t;
    using pointer = const double*;
    using reference = double;

    // Each interval advances by its own rise over k.
    CUpsampledPoints(const std::vector<double>& samples, std::size_t k, std::size_t position)
        : m_pSamples(samples.data()),
          m_nIntervals(samples.size() - 1),
          m_nSteps(k),
          m_dPerStep(1.0 / static_cast<double>(k)) {
        MoveTo(position);
    }

    double operator*() const { return m_dBase + m_dStepIndex * m_dSlope; }
    double operator[](difference_type n) const { return *(*this + n); }

    CUpsampledPoints& operator++() {
        m_dStepIndex += 1.0;
        if (++m_nStep == m_nSteps) {
            ++m_nInterval;
            m_nStep = 0;
            m_dStepIndex = 0.0;
            LoadInterval();
        }
        return *this;
    }
    CUpsampledPoints operator++(int) {
        CUpsampledPoints before = *this;
        ++*this;
        return before;
    }
    CUpsampledPoints& operator--() { return *this -= 1; }
    CUpsampledPoints operator--(int) {
        CUpsampledPoints before = *this;
        --*this;
        return before;
    }
    CUpsampledPoints& operator+=(difference_type n) {
        MoveTo(static_cast<std::size_t>(static_cast<difference_type>(Position()) + n));
        return *this;
    }
    CUpsampledPoints& operator-=(difference_type n) { return *this += -n; }
    friend CUpsampledPoints operator+(CUpsampledPoints it, difference_type n) { return it += n; }
    friend CUpsampledPoints operator+(difference_type n, CUpsampledPoints it) { return it += n; }
    friend CUpsampledPoints operator-(CUpsampledPoints it, difference_type n) { return it -= n; }
    friend difference_type operator-(const CUpsampledPoints& a, const CUpsampledPoints& b) {
        return static_cast<difference_type>(a.Position()) -
               static_cast<difference_type>(b.Position());
    }
    friend bool operator==(const CUpsampledPoints& a, const CUpsampledPoints& b) {
        return a.Position() == b.Position();
    }
    friend auto operator<=>(const CUpsampledPoints& a, const CUpsampledPoints& b) {
        return a.Position() <=> b.Position();
    }

private:
    std::size_t Position() const { return m_nInterval * m_nSteps + m_nStep; }

    void MoveTo(std::size_t position) {
        m_nInterval = position / m_nSteps;
        m_nStep = position % m_nSteps;
        m_dStepIndex = static_cast<double>(m_nStep);
        LoadInterval();
    }

    // The end position has no interval to read.
    void LoadInterval() {
        if (m_nInterval >= m_nIntervals) return;
        const double* at = m_pSamples + m_nInterval;
        m_dBase = at[0];
        m_dSlope = (at[1] - at[0]) * m_dPerStep;
    }

    const double* m_pSamples;
    std::size_t m_nIntervals;
    std::size_t m_nSteps;
    double m_dPerStep;
    std::size_t m_nInterval = 0;
    std::size_t m_nStep = 0;
    double m_dStepIndex = 0.0;
    double m_dBase = 0.0;
    double m_dSlope = 0.0;
};

// Straight lines join the trace's samples. The last sample has no successor to
// interpolate towards and is dropped.
void UpsampleTrace(std::vector<double>& samples, std::size_t k) {
    const std::size_t points = (samples.size() - 1) * k;
    std::vector<double> out;
    CHugePages::Reserve(out, points);
    out.assign(CUpsampledPoints(samples, k, 0), CUpsampledPoints(samples, k, points));
    samples.swap(out);
}

// The time base keeps the first interval's step, as the scope's own sample clock.
void UpsampleTime(CSampleTimes& time, std::size_t k) {
    time.Refine(k, (time[1] - time[0]) / static_cast<double>(k));
}

// One vector at a time, so that only one original waits beside the new ones.
int32_t UpsampleSingleEnded(CSampleTimes& time, std::vector<double>& a, std::vector<double>& b,
                            double referenceRate) {
    const double fs = 1.0 / (time[2] - time[1]);
    if (fs >= 2.0 * referenceRate || fs >= referenceRate + 0.001) return 0;
    const double f = referenceRate / fs;
    const double k = UpsamplingFactor(f);
    const int32_t flag = k > kCoarseFactor ? 1 : 0;
    // A factor of one would only drop the last sample: a pair at the reference
    // rate is kept as it is.
    if (f > 1.0 && k > 1.0) {
        const std::size_t steps = CheckedFactor(k, time.size());
        UpsampleTime(time, steps);
        UpsampleTrace(a, steps);
        UpsampleTrace(b, steps);
    }
    return flag;
}

int32_t UpsampleDifferential(CSampleTimes& time, std::vector<double>& diff, double referenceRate) {
    const double fs = 1.0 / (time[1] - time[0]);
    if (!(fs < referenceRate - 0.1)) return 0;
    const double f = referenceRate / fs;
    const double k = UpsamplingFactor(f);
    // Below twice too coarse the interpolated points would add nothing an edge
    // search does not already resolve.
    if (f < 2.0) return 0;
    const std::size_t steps = CheckedFactor(k, time.size());
    UpsampleTime(time, steps);
    UpsampleTrace(diff, steps);
    return k > kCoarseFactor ? 1 : 0;
}

// Drops the stretch before either line first reaches the idle level, in place.
bool TrimToIdle(CSampleTimes& time, std::vector<double>& b, std::vector<double>& a) {
    std::size_t i = 0;
    while (i < time.size() && b[i] < kIdleHighVolts && a[i] < kIdleHighVolts) ++i;
    if (i == time.size()) return false;
    const auto cut = static_cast<std::ptrdiff_t>(i);
    time.DropFront(i);
    b.erase(b.begin(), b.begin() + cut);
    a.erase(a.begin(), a.begin() + cut);
    return true;
}

}  // namespace

CAnalysisRecord CSignalData::Load(const std::string& dataFile, const CSigConfig& config,
                                  const CSigSpec& spec, const std::string& secondFile) const {
    CAnalysisRecord raw;
    CReadFile reader;
    raw.m_nTraceKind = reader.ReadWaveform(dataFile, raw.m_Time, raw.m_Diff, raw.m_DMinus,
                                           raw.m_DPlus, secondFile, false);
    raw.m_strFileA = dataFile;
    raw.m_strFileB = secondFile;
    return Prepare(std::move(raw), config, spec);
}

CAnalysisRecord CSignalData::Prepare(CAnalysisRecord raw, const CSigConfig& config,
                                     const CSigSpec& spec) const {
    CAnalysisRecord record = std::move(raw);
    CSampleTimes& time = record.m_Time;
    const bool differential = record.m_nTraceKind == 2;
    if (differential) {
        std::vector<double>().swap(record.m_DPlus);
        std::vector<double>().swap(record.m_DMinus);
        RequireSameLength(time, record.m_Diff);
    } else {
        RequireSameLength(time, record.m_DMinus);
        RequireSameLength(time, record.m_DPlus);
    }
    RequireRisingStart(time);

    const double rate = 1.0 / (time[1] - time[0]) + 0.01;
    if (rate > kMaxSampleRate) throw CAnalysisError("Sample rate error");
    record.m_dSampleRate = rate;

    if (differential) {
        if (rate < kMinDifferentialRate) throw CAnalysisError("Sample Rate Error: Check Test Type");
        if (spec.m_nSpeed == config.m_nFullSpeed)
            throw CAnalysisError(
                "Error: Differential trace data is not supported for full speed signals");
        if (spec.m_nSpeed == config.m_nLowSpeed)
            throw CAnalysisError(
                "Error: Differential trace data is not supported for low speed signals");
        record.m_nPrepResult = UpsampleDifferential(time, record.m_Diff, spec.m_dSampleRateRef);
    } else {
        if (spec.m_nSpeed == config.m_nHighSpeed)
            throw CAnalysisError(
                "Error: Single ended trace data is not supported for high speed signals");
        std::vector<double>& a = record.m_DMinus;
        std::vector<double>& b = record.m_DPlus;
        if (a[0] < kBothLowVolts && b[0] < kBothLowVolts) {
            if (!TrimToIdle(time, b, a)) throw CAnalysisError("Signal does not begin with idle");
            RequireRisingStart(time);
        }
        // Idle is J: D+ high at full speed, D- high at low speed.
        const bool swap = spec.m_nSpeed == config.m_nFullSpeed  ? a[0] > b[0]
                          : spec.m_nSpeed == config.m_nLowSpeed ? b[0] > a[0]
                                                                : false;
        if (swap) a.swap(b);
        record.m_bPairSwapped = swap;
        record.m_nPrepResult = UpsampleSingleEnded(time, a, b, spec.m_dSampleRateRef);

        std::vector<double> common;
        std::vector<double> diff;
        CHugePages::Reserve(common, time.size());
        CHugePages::Reserve(diff, time.size());
        for (std::size_t i = 0; i < time.size(); ++i) {
            common.push_back(0.5 * (a[i] + b[i]));
            diff.push_back(b[i] - a[i]);
        }
        record.m_CommonMode.swap(common);
        record.m_Diff.swap(diff);
    }
    if (time.size() > static_cast<std::size_t>(std::numeric_limits<int32_t>::max()))
        throw CAnalysisError("Too many samples: a capture holds at most 2147483647");

    std::vector<CSymbolRun> runs =
        CSignalRegions().FindRegions(time, record.m_Diff, config, spec, record.m_CommonMode);
    CPacketEntry& idle = record.m_Capture;
    record.m_Packets = CPacket().SplitPackets(std::move(runs), config, idle.m_Symbols);
    idle.m_nInfo = static_cast<int32_t>(idle.m_Symbols.size());
    idle.m_nStatus = 0;

    record.m_bValid = true;
    record.m_nSamples = static_cast<int32_t>(time.size());
    record.m_nSymbols = idle.m_nInfo;
    record.m_nPackets = static_cast<int32_t>(record.m_Packets.size());
    return record;
}
