#include "signal/CSignalRegions.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <type_traits>

#include "common/CAnalysisError.h"
#include "common/CCoreParts.h"
#include "common/CHugePages.h"
#include "signal/CFlatStateChanges.h"
#include "signal/CVectorMath.h"

namespace {

// A SYNC pattern never holds more than two equal letters in a row, so a long run
// can only take part in a match through its first or last letters. Capping what
// one run adds to the letter string keeps a long idle, or a gap in the time axis,
// from making the string as long as the capture is in bits.
constexpr double kMaxSyncLettersPerRun = 64.0;

// Highest SYNC pattern tried at high speed: a receiver path may drop up to 22 of
// the 32 leading SYNC bits and still leave a recognisable KJ...KK tail.
constexpr std::size_t kLastDroppedSyncPattern = 22;

// Whole bits of a run width, or 0 for a width that is negative or not a number.
std::size_t WholeBits(double bits, double cap) {
    const double rounded = CVectorMath::RoundHalfUp(bits);
    return rounded > 0.0 ? static_cast<std::size_t>(std::min(rounded, cap)) : 0;
}

// J, K or the between level of one sample, given the sample's differential
// voltage with J made positive.
inline int32_t Classify(double level, double th, int32_t symJ, int32_t symK, int32_t symS) {
    const int state = CFlatStateChanges::StateOf(level, 1.0, th);
    return state == CFlatStateChanges::kJ ? symJ : state == CFlatStateChanges::kK ? symK : symS;
}

// The threshold of a trace with no common mode to follow: the same at every sample.
struct FlatThreshold {
    double m_dLevel;
    double operator()(std::size_t) const { return m_dLevel; }
};

// Below this many runs a second core costs more than it saves.
constexpr std::size_t kRunsPerPart = std::size_t{1} << 16;
// Samples classified between two appends of the run starts found among them.
constexpr std::size_t kStartsPerBlock = 4096;

// Where a run starts: its first sample, its line state and the time of its edge.
struct CRunStart {
    int32_t m_nSample;
    int32_t m_nSymbol;
    double m_dStart;
};

// The one pass over every sample: where the line state changes, with the state and
// the edge time of each new run, found while the samples either side are at hand. Each
// core takes a stretch of the capture; a stretch's first sample starts a run when its
// state differs from the sample before it, as it would in a single pass.
template <typename Threshold>
std::vector<CRunStart> RunStarts(const CSampleTimes& time, const std::vector<double>& diff,
                                 double jSign, int32_t symJ, int32_t symK, int32_t symS,
                                 Threshold threshold) {
    const double* d = diff.data();
    const std::size_t n = diff.size();
    const auto state = [&](std::size_t i) {
        return Classify(jSign * d[i], threshold(i), symJ, symK, symS);
    };
    // The edge is where the trace crossed the threshold on the side it came from (a J
    // or K run) or left (the between level after a J or K).
    const auto start = [&](std::size_t s) -> CRunStart {
        const int32_t symbol = state(s);
        if (s == 0) return {0, symbol, time[0]};
        const int32_t from = state(s - 1);
        const int32_t towards = symbol == symS ? from : symbol;
        const double sign = towards == symJ ? jSign : -jSign;
        const double levelBefore = sign * threshold(s - 1);
        const double levelAt = sign * threshold(s);
        double at = 0.0;
        if (d[s - 1] == levelBefore) {
            at = time[s - 1];
        } else if (d[s] == levelAt) {
            at = time[s];
        } else {
            const double a = std::abs(d[s - 1] - levelBefore);
            const double b = std::abs(d[s] - levelAt);
            at = time[s - 1] + (time[s] - time[s - 1]) * a / (a + b);
        }
        return {static_cast<int32_t>(s), symbol, at};
    };
    const std::size_t parts = CCoreParts::PartsFor(n, CCoreParts::kSamplesPerPart);
    std::vector<std::vector<CRunStart>> found(parts);
    CCoreParts::Run(n, parts, [&](std::size_t part, std::size_t from, std::size_t to) {
        std::vector<CRunStart>& starts = found[part];
        int32_t code = state(from);
        if (from == 0 || code != state(from - 1)) starts.push_back(start(from));
        // A high-speed line changes state every few samples, too often for a branch to
        // guess: every index is written and kept only where the state changed.
        std::array<int32_t, kStartsPerBlock + CFlatStateChanges::kSlack> block;
        int flatState = code == symJ   ? CFlatStateChanges::kJ
                        : code == symK ? CFlatStateChanges::kK
                                       : CFlatStateChanges::kBetween;
        for (std::size_t i = from + 1; i < to;) {
            const std::size_t end = std::min(to, i + kStartsPerBlock);
            std::size_t kept = 0;
            if constexpr (std::is_same_v<Threshold, FlatThreshold>) {
                kept = CFlatStateChanges::Find(d, i, end, jSign, threshold(i), flatState,
                                               block.data());
                i = end;
            } else {
                for (; i < end; ++i) {
                    const int32_t next = state(i);
                    block[kept] = static_cast<int32_t>(i);
                    kept += next != code ? 1 : 0;
                    code = next;
                }
            }
            for (std::size_t k = 0; k < kept; ++k)
                starts.push_back(start(static_cast<std::size_t>(block[k])));
        }
    });
    std::vector<CRunStart> starts = std::move(found[0]);
    for (std::size_t part = 1; part < parts; ++part)
        starts.insert(starts.end(), found[part].begin(), found[part].end());
    return starts;
}

}  // namespace

std::vector<CSymbolRun> CSignalRegions::FindRegions(const CSampleTimes& time,
                                                    const std::vector<double>& diff,
                                                    const CSigConfig& config, const CSigSpec& spec,
                                                    const std::vector<double>& commonMode) const {
    const std::size_t n = time.size();
    if (diff.size() != n) throw CAnalysisError("Differential data doesn't match data point times");
    if (!commonMode.empty() && commonMode.size() != n)
        throw CAnalysisError("Common mode data doesn't match data point times");
    if (n == 0) throw CAnalysisError("No samples to divide into line states");
    if (n > static_cast<std::size_t>(std::numeric_limits<int32_t>::max()))
        throw CAnalysisError("Too many samples to divide into line states");

    const int32_t symJ = config.m_nSymJ;
    const int32_t symK = config.m_nSymK;
    const int32_t symS = config.m_nSymS;
    const double limit = spec.m_dCommonModeLimit;
    const double baseThreshold = spec.m_dDiffThreshold;
    // Low-speed idle (J) has D- high, so J is the negative differential level there.
    const double jSign = spec.m_nSpeed == config.m_nLowSpeed ? -1.0 : 1.0;

    // A D+/D- pair near SE0 has a low common mode; the threshold rises by as much
    // as the common mode falls below its limit, so the SE0 reads as the between level.
    const bool singleEnded = !commonMode.empty();
    auto pairThreshold = [&](std::size_t i) {
        const double cm = commonMode[i];
        return cm < limit ? baseThreshold - (cm - limit) : baseThreshold;
    };
    const FlatThreshold flatThreshold{baseThreshold};

    // Every run, its state and edge found in the one pass over the samples.
    std::vector<CRunStart> starts =
        singleEnded ? RunStarts(time, diff, jSign, symJ, symK, symS, pairThreshold)
                    : RunStarts(time, diff, jSign, symJ, symK, symS, flatThreshold);

    const double bitTime = spec.m_dBitTime;
    const std::size_t runCount = starts.size();
    std::vector<CSymbolRun> runs;
    CHugePages::Reserve(runs, runCount);
    runs.resize(runCount);
    // The runs, a stretch of them per core. Every rate that reaches here (coarser
    // captures were up-sampled) gives a bit at least one sample, so a run is at most as
    // many bits long as the capture has samples; a wider one, or one that ends before
    // it starts, lies on a time axis that jumps.
    const std::size_t parts = CCoreParts::PartsFor(runCount, kRunsPerPart);
    CCoreParts::Run(runCount, parts, [&](std::size_t, std::size_t from, std::size_t to) {
        for (std::size_t r = from; r < to; ++r) {
            CSymbolRun& run = runs[r];
            const bool last = r + 1 == runCount;
            run.m_nSymbol = starts[r].m_nSymbol;
            run.m_nFirstSample = starts[r].m_nSample;
            // The last run ends on the capture's last sample, so a stage that reads
            // samples up to a run's last one never reads past the trace.
            run.m_nLastSample = last ? static_cast<int32_t>(n - 1) : starts[r + 1].m_nSample - 1;
            run.m_dStart = starts[r].m_dStart;
            run.m_dEnd = last ? time[n - 1] : starts[r + 1].m_dStart;
            run.m_dBits = (run.m_dEnd - run.m_dStart) / bitTime;
            CheckedIndex(CVectorMath::RoundHalfUp(run.m_dBits), n, kRunOutOfRange);
        }
    });
    std::vector<CRunStart>().swap(starts);

    // The bus as a receiver would read it, one letter per bit; the between level
    // is a transition, not a bit.
    auto syncLetters = [&](const CSymbolRun& run) -> std::size_t {
        if (run.m_nSymbol == symS) return 0;
        return WholeBits(run.m_dBits, kMaxSyncLettersPerRun);
    };
    auto letterOf = [&](const CSymbolRun& run) {
        return config.m_strSymbols[static_cast<std::size_t>(run.m_nSymbol)];
    };
    auto label = [&](CSymbolRun& run) {
        run.m_nLetters = run.m_nSymbol == symJ || run.m_nSymbol == symK
                             ? static_cast<int32_t>(WholeBits(run.m_dBits, static_cast<double>(n)))
                             : 0;
    };

    // An EOP is a run of an EOP state (SE0 on a pair, a bit-stuffing-violating J or K
    // at high speed) whose width fits the ordinary or start-of-frame window; the bus
    // state that follows it is idle. No run changes once the pass is beyond it.
    for (std::size_t r = 0; r < runCount; ++r) {
        CSymbolRun& run = runs[r];
        for (const int32_t eopSymbol : spec.m_EopSymbols) {
            if (run.m_nSymbol != eopSymbol) continue;
            const double w = run.m_dBits;
            const bool ordinary = w >= spec.m_dEopBitsWaiverMin && w <= spec.m_dEopBitsWaiverMax;
            const bool startOfFrame =
                w >= spec.m_dSofEopBitsWaiverMin && w <= spec.m_dSofEopBitsWaiverMax;
            if (!ordinary && !startOfFrame) continue;
            run.m_nSymbol = config.m_nSymE;
            if (r + 1 < runCount && runs[r + 1].m_nSymbol == spec.m_nIdleSymbol) {
                runs[r + 1].m_nSymbol = config.m_nSymI;
                ++r;
            }
            break;
        }
    }
    // The letters and labels of the settled runs, a stretch of runs per core.
    std::vector<std::string> stretches(parts);
    CCoreParts::Run(runCount, parts, [&](std::size_t part, std::size_t from, std::size_t to) {
        for (std::size_t r = from; r < to; ++r) {
            stretches[part].append(syncLetters(runs[r]), letterOf(runs[r]));
            label(runs[r]);
        }
    });
    std::string letters = std::move(stretches[0]);
    for (std::size_t part = 1; part < parts; ++part) letters += stretches[part];
    std::vector<std::string>().swap(stretches);

    // Hubs and repeaters may drop leading SYNC bits at high speed, so shorter
    // patterns are tried until one is seen; full and low speed keep all eight.
    const std::size_t lastPattern =
        spec.m_nSpeed == config.m_nHighSpeed ? kLastDroppedSyncPattern : 0;
    std::size_t syncAt = std::string::npos;
    for (std::size_t k = 0; k <= lastPattern && k < spec.m_strSyncPatterns.size(); ++k) {
        const std::string& pattern = spec.m_strSyncPatterns[k];
        if (pattern.empty()) continue;
        syncAt = letters.find(pattern);
        if (syncAt != std::string::npos) break;
    }
    std::string().swap(letters);

    // The bus state just before the first SYNC is the idle that the first packet
    // leaves. At full and low speed the between level of the J-to-K edge sits in
    // between, so the idle J is found behind it.
    if (syncAt != std::string::npos) {
        std::size_t owner = 0;
        for (std::size_t offset = 0; owner < runCount; ++owner) {
            offset += syncLetters(runs[owner]);
            if (syncAt < offset) break;
        }
        if (owner >= 1) {
            std::size_t r = owner - 1;
            if (spec.m_nIdleSymbol != symS)
                while (r > 0 && runs[r].m_nSymbol == symS) --r;
            runs[r].m_nSymbol = config.m_nSymI;
            label(runs[r]);
        }
    }
    return runs;
}

std::string CSignalRegions::Label(const CSymbolRun& run, const CSigConfig& config) {
    if (run.m_nSymbol == config.m_nSymE) return "EOP";
    if (run.m_nSymbol == config.m_nSymI) return "idle";
    if (run.m_nLetters <= 0) return "";
    return std::string(static_cast<std::size_t>(run.m_nLetters),
                       config.m_strSymbols[static_cast<std::size_t>(run.m_nSymbol)]);
}
