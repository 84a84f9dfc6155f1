#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "synth/Synth.h"

namespace fs = std::filesystem;

namespace {

// A capture as a reader sees it, parsed here without any synthesizer code.
struct Capture {
    std::vector<std::string> header;
    std::vector<double> time;
    std::vector<std::vector<double>> traces;
};

Capture ReadCapture(const std::string& path) {
    std::ifstream in(path);
    Capture capture;
    std::string line;
    const bool csv = path.ends_with(".csv");
    while (std::getline(in, line)) {
        if (csv && capture.header.size() < 25) {
            capture.header.push_back(line);
            continue;
        }
        if (!csv && line.starts_with("%")) continue;
        std::vector<double> fields;
        const char* p = line.c_str();
        char* end = nullptr;
        for (double v = std::strtod(p, &end); end != p; v = std::strtod(p, &end)) {
            fields.push_back(v);
            p = end + (*end ? 1 : 0);
        }
        if (capture.traces.empty()) capture.traces.resize(fields.size() - 1);
        capture.time.push_back(fields[0]);
        for (std::size_t c = 1; c < fields.size(); ++c) capture.traces[c - 1].push_back(fields[c]);
    }
    return capture;
}

fs::path Scratch(const std::string& name) {
    const fs::path dir = fs::path(VELKIN_BINARY_DIR) / "synth_test";
    fs::create_directories(dir);
    return dir / name;
}

double Interpolate(double t0, double t1, double x0, double x1, double level) {
    return t0 + (t1 - t0) * (level - x0) / (x1 - x0);
}

// Times where x passes strictly from one side of `level` to the other; a flat
// idle exactly on the level is no crossing.
std::vector<double> Crossings(const std::vector<double>& t, const std::vector<double>& x,
                              double level) {
    std::vector<double> times;
    for (std::size_t i = 0; i + 1 < x.size(); ++i) {
        if ((x[i] - level) * (x[i + 1] - level) < 0.0)
            times.push_back(Interpolate(t[i], t[i + 1], x[i], x[i + 1], level));
    }
    return times;
}

// Least-squares slope of edge time against bit count: the unit interval. Bit
// counts come from the gaps, which are a few bits long, so a rate offset does
// not slip a bit.
double FittedUnitInterval(const std::vector<double>& edges, double nominalUi) {
    std::vector<double> n{0.0};
    for (std::size_t i = 1; i < edges.size(); ++i)
        n.push_back(n.back() + std::round((edges[i] - edges[i - 1]) / nominalUi));
    const double count = static_cast<double>(edges.size());
    double sn = 0, st = 0, snn = 0, snt = 0;
    for (std::size_t i = 0; i < edges.size(); ++i) {
        sn += n[i];
        st += edges[i];
        snn += n[i] * n[i];
        snt += n[i] * edges[i];
    }
    return (count * snt - sn * st) / (count * snn - sn * sn);
}

std::vector<double> Difference(const std::vector<double>& a, const std::vector<double>& b) {
    std::vector<double> d(a.size());
    for (std::size_t i = 0; i < a.size(); ++i) d[i] = a[i] - b[i];
    return d;
}

// Line state at the middle of each bit of a packet: 'J' where `data` is above
// +level, 'K' below -level, 'E' otherwise (both lines low).
std::string StatesAtBitCentres(const Capture& c, const std::vector<double>& data, double start,
                               double ui, std::size_t bits, double level) {
    std::string states;
    const double dt = c.time[1] - c.time[0];
    for (std::size_t n = 0; n < bits; ++n) {
        const auto i =
            static_cast<std::size_t>(std::lround((start + (n + 0.5) * ui - c.time[0]) / dt));
        states += data[i] > level ? 'J' : (data[i] < -level ? 'K' : 'E');
    }
    return states;
}

// NRZI decode of the states between SYNC and EOP: a repeated state is a one, a
// change a zero; the zero stuffed after six ones is dropped. Bytes come least
// significant bit first; returned as lower-case hex.
std::string DecodePayload(const std::string& states, std::size_t syncBits, std::size_t eopBits) {
    std::vector<int> bits;
    int ones = 1;  // the SYNC ends in a one
    for (std::size_t i = syncBits; i + eopBits < states.size(); ++i) {
        const int bit = states[i] == states[i - 1];
        if (ones == 6) {
            EXPECT_EQ(bit, 0) << "no stuffed zero at bit " << i;
            ones = 0;
            continue;
        }
        bits.push_back(bit);
        ones = bit ? ones + 1 : 0;
    }
    std::string hex;
    for (std::size_t b = 0; b + 8 <= bits.size(); b += 8) {
        int byte = 0;
        for (int k = 0; k < 8; ++k) byte |= bits[b + static_cast<std::size_t>(k)] << k;
        hex += "0123456789abcdef"[byte >> 4];
        hex += "0123456789abcdef"[byte & 15];
    }
    return hex;
}

// Mean rate in V/us over the edges of x that pass between `low` and `high` in
// one direction within `window`, timed by linear interpolation as a scope
// analysis would. Half swings to and from idle pass only one level and drop out.
double MeanEdgeRate(const Capture& c, const std::vector<double>& x, double low, double high,
                    bool rising, double window) {
    const std::vector<double> atHigh = Crossings(c.time, x, high);
    double sum = 0.0;
    int edges = 0;
    for (double t : Crossings(c.time, x, low)) {
        const auto next = std::lower_bound(atHigh.begin(), atHigh.end(), t);
        const double after = next == atHigh.end() ? 1e300 : *next - t;
        const double before = next == atHigh.begin() ? 1e300 : t - *(next - 1);
        const double transit = rising ? after : before;
        if (transit < window) {
            sum += (high - low) / transit * 1e-6;
            ++edges;
        }
    }
    return edges > 0 ? sum / edges : 0.0;
}

}  // namespace

TEST(HighSpeedCapture, ZeroCrossingsGiveTheOffsetBitRateAndTheTruthsTransitionCounts) {
    synth::HighSpeedParams params;
    params.m_Traffic.m_dRatePpm = 1000.0;
    params.m_Traffic.m_nPackets = 3;
    params.m_Traffic.m_nPayloadBytes = 16;
    params.m_dSwing = 0.2;
    const std::string path = Scratch("rate.csv").string();
    const synth::SynthTruth truth =
        synth::WriteHighSpeedCapture(params, path, synth::FileFormat::Csv);
    const Capture c = ReadCapture(path);

    ASSERT_EQ(c.header.size(), 25u);
    for (const std::string& line : c.header)
        EXPECT_TRUE(std::isalpha(static_cast<unsigned char>(line[0]))) << line;
    // The reader counts columns on the second line.
    EXPECT_EQ(std::count(c.header[1].begin(), c.header[1].end(), ','), 1);
    ASSERT_EQ(c.time.size(), truth.m_nSamples);
    EXPECT_DOUBLE_EQ(c.time[1] - c.time[0], 1.25e-10);
    EXPECT_TRUE(fs::exists(path + ".truth.json"));

    const std::vector<double> edges = Crossings(c.time, c.traces[0], 0.0);
    const double ui = FittedUnitInterval(edges, 1.0 / 480e6);
    EXPECT_NEAR(1.0 / ui, 480e6 * 1.001, 480e6 * 2e-6);
    EXPECT_NEAR(truth.m_dBitRate, 480e6 * 1.001, 1e-3);

    ASSERT_EQ(truth.m_nPackets, 3);
    std::size_t edge = 0;
    for (const synth::PacketTruth& packet : truth.m_Packets) {
        int counted = 0;
        for (; edge < edges.size() && edges[edge] < packet.m_dEnd; ++edge)
            counted += edges[edge] > packet.m_dStart;
        EXPECT_EQ(counted, packet.m_nTransitions);
    }
    const auto peak = std::max_element(c.traces[0].begin(), c.traces[0].end());
    EXPECT_NEAR(*peak, 0.2, 1e-6);
}

TEST(HighSpeedCapture,
     BitsAtTheirCentresSpellTheShortenedSyncTheStuffedPayloadAndAStartOfFrameEop) {
    synth::HighSpeedParams params;
    params.m_nSyncBitsDropped = 5;
    params.m_Traffic.m_nEopBits = 40;
    params.m_Traffic.m_nPackets = 1;
    params.m_Traffic.m_Payload = {0xFF, 0xFF, 0x00, 0x7E, 0x3F, 0xC0};
    const std::string path = Scratch("sof.csv").string();
    const synth::SynthTruth truth =
        synth::WriteHighSpeedCapture(params, path, synth::FileFormat::Csv);
    const Capture c = ReadCapture(path);
    const synth::PacketTruth& packet = truth.m_Packets.at(0);
    const double ui = truth.m_dUnitInterval;

    const std::size_t bits = packet.m_strStates.size();
    const std::string states = StatesAtBitCentres(c, c.traces[0], packet.m_dStart, ui, bits, 0.15);
    EXPECT_EQ(states, packet.m_strStates);
    EXPECT_TRUE(states.starts_with(std::string("KJKJKJKJKJKJKJKJKJKJKJKJKJKJKJKK").substr(5)));
    EXPECT_EQ(states.find_last_not_of(states.back()), bits - 41);
    EXPECT_EQ(DecodePayload(states, 27, 40), "ffff007e3fc0");
    EXPECT_EQ(packet.m_nStuffedBits, 4);  // two in the ones, one in 7e, one in 3f
    EXPECT_NEAR(packet.m_dEopEnd - packet.m_dEopStart, 40 * ui, 1e-15);

    // The EOP read at the 150 mV threshold, as its state is entered and left;
    // straight lines between samples 125 ps apart miss the curved edge by a few ps.
    const double level = states.back() == 'J' ? 0.15 : -0.15;
    const std::vector<double> atLevel = Crossings(c.time, c.traces[0], level);
    const auto nearest = [&](double t) {
        return *std::min_element(atLevel.begin(), atLevel.end(), [t](double a, double b) {
            return std::abs(a - t) < std::abs(b - t);
        });
    };
    EXPECT_NEAR(nearest(packet.m_dEopStart), packet.m_dEopStartAtLevel, 8e-12);
    EXPECT_NEAR(nearest(packet.m_dEopEnd), packet.m_dEopEndAtLevel, 8e-12);
}

TEST(HighSpeedCapture, EdgeRatesBetweenTheEyeLevelsAndTenNinetyTimesMatchTheTruth) {
    synth::HighSpeedParams params;
    params.m_dSampleRate = 100e9;  // fine sampling: interpolation error well below 0.5 %
    params.m_dTransition = 300e-12;
    params.m_Traffic.m_nPackets = 1;
    const std::string path = Scratch("edges.csv").string();
    const synth::SynthTruth truth =
        synth::WriteHighSpeedCapture(params, path, synth::FileFormat::Csv);
    const Capture c = ReadCapture(path);
    const std::vector<double>& d = c.traces[0];

    // Only full J/K swings pass both eye levels in one go.
    EXPECT_NEAR(MeanEdgeRate(c, d, -0.175, 0.175, true, 1e-9), truth.m_dRiseRate,
                truth.m_dRiseRate * 0.005);
    EXPECT_NEAR(MeanEdgeRate(c, d, -0.175, 0.175, false, 1e-9), truth.m_dFallRate,
                truth.m_dFallRate * 0.005);
    EXPECT_NEAR(MeanEdgeRate(c, d, -0.32, 0.32, true, 1e-9), 0.64 / 300e-12 * 1e-6,
                0.64 / 300e-12 * 1e-6 * 0.005);
    EXPECT_GT(truth.m_dRiseRate, 2133.0);  // 300 ps is too fast for the near-end limit
}

TEST(HighSpeedCapture, InjectedJitterShowsAsZeroCrossingOffsetsOfTheTruthsSize) {
    synth::HighSpeedParams params;
    params.m_dSampleRate = 40e9;
    params.m_Traffic.m_nPackets = 1;
    params.m_Traffic.m_nPayloadBytes = 40;
    params.m_Traffic.m_Jitter.m_dPeriodicAmplitude = 20e-12;
    params.m_Traffic.m_Jitter.m_dPeriodicFrequency = 7e6;
    const std::string path = Scratch("pj.csv").string();
    synth::SynthTruth truth = synth::WriteHighSpeedCapture(params, path, synth::FileFormat::Csv);
    const Capture c = ReadCapture(path);

    const double ui = truth.m_dUnitInterval;
    const double gridStart = params.m_Traffic.m_dFirstBitPhase * ui;
    std::vector<double> offsets;
    for (double edge : Crossings(c.time, c.traces[0], 0.0)) {
        offsets.push_back(edge - (gridStart + std::round((edge - gridStart) / ui) * ui));
    }
    double peak = 0.0;
    double paired = 0.0;
    for (std::size_t i = 0; i < offsets.size(); ++i) {
        peak = std::max(peak, std::abs(offsets[i]));
        if (i >= 2) paired = std::max(paired, std::abs(offsets[i] - offsets[i - 2]));
    }
    EXPECT_NEAR(peak, truth.m_dJitterPeak, 0.5e-12);
    EXPECT_NEAR(paired, truth.m_dPairedJitterPeak, 1e-12);
    EXPECT_LE(truth.m_dJitterPeak, 20e-12);
    EXPECT_GT(truth.m_dJitterPeak, 15e-12);  // the packet spans most of a jitter period

    params.m_Traffic.m_Jitter = {};
    params.m_Traffic.m_Jitter.m_dRandomRms = 5e-12;
    params.m_Traffic.m_nPackets = 6;
    truth = synth::WriteHighSpeedCapture(params, path, synth::FileFormat::Csv);
    const Capture r = ReadCapture(path);
    double sumSquares = 0.0;
    const std::vector<double> edges = Crossings(r.time, r.traces[0], 0.0);
    for (double edge : edges) {
        const double offset = edge - (gridStart + std::round((edge - gridStart) / ui) * ui);
        sumSquares += offset * offset;
    }
    // About 400 edges: the rms of the offsets is within 10 % of the injected rms.
    EXPECT_NEAR(std::sqrt(sumSquares / static_cast<double>(edges.size())), 5e-12, 0.5e-12);
}

TEST(HighSpeedCapture, RisingEdgesReverseByTheChosenDepthAndStillCrossZeroOnTheBitGrid) {
    for (const double level : {0.1, -0.1}) {
        synth::HighSpeedParams params;
        params.m_dReversalLevel = level;
        params.m_dReversalDepth = 0.04;
        params.m_dSampleRate = 40e9;  // samples on the curve on both sides of every crossing
        params.m_Traffic.m_nPackets = 1;
        const std::string path = Scratch("reversal.csv").string();
        const synth::SynthTruth truth =
            synth::WriteHighSpeedCapture(params, path, synth::FileFormat::Csv);
        const Capture c = ReadCapture(path);
        const std::vector<double>& x = c.traces[0];

        // Inside the ±0.3 V band, the deepest fall below a running peak that is
        // climbed back over, on rising and on falling edges separately.
        double rising = 0.0;
        double falling = 0.0;
        double peak = -1.0, trough = 1.0, low = 1.0, high = -1.0;
        for (double v : x) {
            if (v <= -0.3 || v >= 0.3) {
                peak = -1.0, trough = 1.0, low = 1.0, high = -1.0;
                continue;
            }
            if (v >= peak) {
                if (low < peak) rising = std::max(rising, peak - low);
                peak = v, low = 1.0;
            } else {
                low = std::min(low, v);
            }
            if (v <= trough) {
                if (high > trough) falling = std::max(falling, high - trough);
                trough = v, high = -1.0;
            } else {
                high = std::max(high, v);
            }
        }
        EXPECT_NEAR(rising, 0.04, 1e-6) << level;
        EXPECT_LT(falling, 1e-9) << level;
        EXPECT_DOUBLE_EQ(truth.m_dMonotonicDepth, 0.04);

        // The reversal delays part of the edge, never its zero crossing.
        const double ui = truth.m_dUnitInterval;
        const double gridStart = params.m_Traffic.m_dFirstBitPhase * ui;
        for (double edge : Crossings(c.time, x, 0.0)) {
            EXPECT_NEAR(edge, gridStart + std::round((edge - gridStart) / ui) * ui, 1e-12) << level;
        }
    }
}

TEST(HighSpeedCapture, SameSeedGivesTheSameFileAndSamplesAgreeInAnyOrder) {
    synth::HighSpeedParams params;
    params.m_Traffic.m_Jitter.m_dRandomRms = 3e-12;
    params.m_Traffic.m_dNoiseRms = 0.01;
    fs::create_directories(Scratch("a"));
    fs::create_directories(Scratch("b"));
    const std::string a = Scratch("a/seed.csv").string();
    const std::string b = Scratch("b/seed.csv").string();
    synth::WriteHighSpeedCapture(params, a, synth::FileFormat::Csv);
    synth::WriteHighSpeedCapture(params, b, synth::FileFormat::Csv);
    const auto bytes = [](const std::string& p) {
        std::ostringstream s;
        s << std::ifstream(p).rdbuf();
        return s.str();
    };
    EXPECT_TRUE(bytes(a) == bytes(b));
    params.m_Traffic.m_nSeed = 2;
    synth::WriteHighSpeedCapture(params, b, synth::FileFormat::Csv);
    EXPECT_FALSE(bytes(a) == bytes(b));

    synth::SynthTruth truth;
    const synth::SampleSource source = synth::MakeHighSpeedSource(params, truth);
    std::vector<double> forward(source.m_nSamples);
    for (std::size_t k = 0; k < source.m_nSamples; ++k) source.m_Sample(k, &forward[k]);
    for (std::size_t k = source.m_nSamples; k-- > 0;) {
        double v = 0.0;
        source.m_Sample(k, &v);
        ASSERT_EQ(v, forward[k]) << k;
    }

    // A fixed length is filled with whole packets only.
    params.m_Traffic.m_nPackets = 0;
    params.m_Traffic.m_nSamples = 100000;
    const synth::SampleSource filled = synth::MakeHighSpeedSource(params, truth);
    EXPECT_EQ(filled.m_nSamples, 100000u);
    EXPECT_GT(truth.m_nPackets, 30);
    EXPECT_LT(truth.m_Packets.back().m_dEnd, filled.Time(filled.m_nSamples - 1));
}

TEST(FullSpeedCapture, LinesCrossAtTheChosenVoltageAndTheSe0SpansTheEop) {
    synth::SingleEndedParams params;
    params.m_Speed = synth::Speed::Full;
    params.m_dCrossover = 1.9;
    params.m_dRiseTime = 8e-9;
    params.m_dFallTime = 12e-9;
    params.m_dLeadLowTime = 1e-6;
    params.m_Traffic.m_dRatePpm = -2000.0;
    params.m_Traffic.m_nPackets = 1;
    const std::string path = Scratch("fs.csv").string();
    const synth::SynthTruth truth =
        synth::WriteSingleEndedCapture(params, path, synth::FileFormat::Csv);
    const Capture c = ReadCapture(path);
    ASSERT_EQ(c.traces.size(), 2u);
    EXPECT_EQ(std::count(c.header[1].begin(), c.header[1].end(), ','), 2);
    const std::vector<double>& plus = c.traces[0];
    const std::vector<double>& minus = c.traces[1];

    // Both lines low at first, then D+ rises to idle J.
    EXPECT_EQ(plus[0], 0.0);
    const std::size_t idle = static_cast<std::size_t>(
        std::find_if(plus.begin(), plus.end(), [](double v) { return v >= 1.5; }) - plus.begin());
    EXPECT_GE(c.time[idle], truth.m_dIdleStart);
    EXPECT_LT(c.time[idle - 1], truth.m_dIdleStart);

    const std::vector<double> diff = Difference(plus, minus);
    std::vector<double> edges;
    for (std::size_t i = 0; i + 1 < diff.size(); ++i) {
        if (diff[i] * diff[i + 1] >= 0.0) continue;
        const double f = diff[i] / (diff[i] - diff[i + 1]);
        EXPECT_NEAR(plus[i] + f * (plus[i + 1] - plus[i]), 1.9, 0.01);
        edges.push_back(c.time[i] + f * (c.time[i + 1] - c.time[i]));
    }
    EXPECT_NEAR(1.0 / FittedUnitInterval(edges, 1.0 / 12e6), 12e6 * 0.998, 12e6 * 5e-6);

    // The SE0: both lines under the low eye level, timed where the lines pass 1.9 V.
    const synth::PacketTruth& packet = truth.m_Packets.at(0);
    std::size_t first = 0, last = 0;
    for (std::size_t i = 0; i < plus.size(); ++i) {
        if (plus[i] < 0.8 && minus[i] < 0.8 && c.time[i] > packet.m_dStart) {
            if (first == 0) first = i;
            last = i;
        }
    }
    ASSERT_GT(first, 0u);
    const std::vector<double>& falling = plus[first - 50] > minus[first - 50] ? plus : minus;
    std::size_t i = first;
    while (falling[i] < 1.9) --i;
    EXPECT_NEAR(Interpolate(c.time[i], c.time[i + 1], falling[i], falling[i + 1], 1.9),
                packet.m_dEopStartAtLevel, 1e-11);
    std::size_t j = last;
    while (plus[j] < 1.9) ++j;
    EXPECT_NEAR(Interpolate(c.time[j - 1], c.time[j], plus[j - 1], plus[j], 1.9),
                packet.m_dEopEndAtLevel, 1e-11);
    EXPECT_NEAR(packet.m_dEopEndAtLevel - packet.m_dEopStartAtLevel, 2 * truth.m_dUnitInterval,
                1e-15);

    EXPECT_NEAR(MeanEdgeRate(c, plus, 0.8, 2.5, true, 40e-9), truth.m_dRiseRate,
                truth.m_dRiseRate * 0.005);
    EXPECT_NEAR(MeanEdgeRate(c, minus, 0.8, 2.5, false, 40e-9), truth.m_dFallRate,
                truth.m_dFallRate * 0.005);
}

TEST(LowSpeedCapture, TwoTabSeparatedFilesHoldIdleOnDMinusAndSpellTheSyncAndPayload) {
    synth::SingleEndedParams params;
    params.m_Speed = synth::Speed::Low;
    params.m_dSampleRate = 5e8 / 3.0;
    params.m_Traffic.m_nPackets = 1;
    params.m_Traffic.m_nPayloadBytes = 3;
    const std::string plusPath = Scratch("ls_plus.tsv").string();
    const std::string minusPath = Scratch("ls_minus.tsv").string();
    const synth::SynthTruth truth =
        synth::WriteSingleEndedCapture(params, plusPath, synth::FileFormat::Tsv, minusPath);
    const Capture plus = ReadCapture(plusPath);
    const Capture minus = ReadCapture(minusPath);

    ASSERT_EQ(plus.traces.size(), 1u);
    ASSERT_EQ(minus.traces.size(), 1u);
    ASSERT_EQ(plus.time, minus.time);
    EXPECT_NEAR(1.0 / (plus.time[1] - plus.time[0]), 5e8 / 3.0, 1.0);
    EXPECT_EQ(minus.traces[0][0], 3.3);
    EXPECT_EQ(plus.traces[0][0], 0.0);

    // Low-speed J has D- high, so J reads as a negative D+ minus D-.
    const std::vector<double> jPositive = Difference(minus.traces[0], plus.traces[0]);
    const synth::PacketTruth& packet = truth.m_Packets.at(0);
    const std::string states = StatesAtBitCentres(
        plus, jPositive, packet.m_dStart, truth.m_dUnitInterval, packet.m_strStates.size(), 0.3);
    EXPECT_EQ(states, packet.m_strStates);
    EXPECT_TRUE(states.starts_with("KJKJKJKK"));
    EXPECT_EQ(DecodePayload(states, 8, 2), packet.m_strPayloadHex);
    EXPECT_TRUE(states.ends_with("KEE") || states.ends_with("JEE"));
}

TEST(InrushCapture, TrapezoidChargeAboveTheThresholdMatchesTheTruth) {
    synth::InrushParams params;
    params.m_dAfterTime = 0.02;
    const std::string path = Scratch("inrush.csv").string();
    const synth::SynthTruth truth = synth::WriteInrushCapture(params, path, synth::FileFormat::Csv);
    const Capture c = ReadCapture(path);
    ASSERT_EQ(c.traces.size(), 1u);
    const std::vector<double>& current = c.traces[0];

    double charge = 0.0;
    for (std::size_t i = 0; i + 1 < current.size(); ++i) {
        const double a = std::max(0.0, current[i] - 0.1), b = std::max(0.0, current[i + 1] - 0.1);
        charge += 0.5 * (a + b) * (c.time[i + 1] - c.time[i]);
    }
    // 1 A decaying over 50 us, sampled every 1 us: the sum is within 0.5 %.
    EXPECT_NEAR(charge, truth.m_dCharge, truth.m_dCharge * 0.005);
    // Closed form: ramp triangle plus the decay above 0.1 A until it reaches it.
    const double fall = 50e-6 * std::log(1.0 / 0.05);
    const double ramp = 0.5 * 0.95 * 2e-6 * (0.95 / 1.045);
    EXPECT_NEAR(truth.m_dCharge, ramp + (-0.05 * fall) + 50e-6 * (1.0 - 0.05), 1e-12);
    EXPECT_DOUBLE_EQ(truth.m_dChargePerVolt, truth.m_dCharge / 5.0);
    EXPECT_NEAR(*std::max_element(current.begin(), current.end()), truth.m_dPeakCurrent, 1e-6);

    const std::size_t rise = static_cast<std::size_t>(
        std::find_if(current.begin(), current.end(), [](double v) { return v >= 0.1; }) -
        current.begin());
    EXPECT_GE(c.time[rise], truth.m_dInrushStart);
    EXPECT_LT(c.time[rise - 1], truth.m_dInrushStart);
}

TEST(FullSpeedCapture, LecroyPairHoldsBothLinesWithinHalfAStepOfTheCsvAndOneTraceFilesRefuseAPair) {
    synth::SingleEndedParams params;
    params.m_Traffic.m_nPackets = 1;
    params.m_Traffic.m_nPayloadBytes = 2;
    const std::string csvPath = Scratch("fs_pair.csv").string();
    synth::WriteSingleEndedCapture(params, csvPath, synth::FileFormat::Csv);
    const Capture csv = ReadCapture(csvPath);
    const std::string plusPath = Scratch("fs_plus.trc").string();
    const std::string minusPath = Scratch("fs_minus.trc").string();
    const synth::SynthTruth truth =
        synth::WriteSingleEndedCapture(params, plusPath, synth::FormatOfPath(plusPath), minusPath);

    // Full scale is 1.25 times the 0 to 3.3 V span, centred on it.
    EXPECT_NEAR(truth.m_dInt16Step, 1.25 * 3.3 / 65536.0, 1e-9);
    EXPECT_NEAR(truth.m_dInt16Centre, 1.65, 1e-6);
    for (std::size_t line = 0; line < 2; ++line) {
        std::ifstream in(line == 0 ? plusPath : minusPath, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), {});
        constexpr std::size_t kDescriptor = 11;  // after "#9" and nine digits
        float gain = 0.0f;
        float offset = 0.0f;
        std::memcpy(&gain, bytes.data() + kDescriptor + 156, sizeof gain);
        std::memcpy(&offset, bytes.data() + kDescriptor + 160, sizeof offset);
        const std::size_t count = (bytes.size() - kDescriptor - 346) / 2;
        ASSERT_EQ(count, csv.time.size());
        for (std::size_t i = 0; i < count; ++i) {
            int16_t code = 0;
            std::memcpy(&code, bytes.data() + kDescriptor + 346 + 2 * i, sizeof code);
            // Half a step of quantisation, and the CSV's six significant digits.
            ASSERT_NEAR(gain * code - offset, csv.traces[line][i], 0.5 * gain + 5e-6) << i;
        }
    }
    EXPECT_THROW(synth::WriteSingleEndedCapture(params, Scratch("fs_both.wfm").string(),
                                                synth::FileFormat::TekWfm),
                 std::invalid_argument);
}

// Every shipped example is small and holds what its sidecar says, read back with
// this file's own parser: the sample grid, each packet's line state at every bit
// centre and its J/K changes, and the charge above the inrush threshold.
TEST(ShippedExamples, AreSmallAndHoldWhatTheirTruthSays) {
    const fs::path dir = fs::path(VELKIN_SOURCE_DIR) / "examples";
    int sidecars = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (entry.path().extension() == ".csv") {
            EXPECT_LT(fs::file_size(entry.path()), 512u * 1024) << entry.path();
        }
        if (!entry.path().string().ends_with(".truth.json")) continue;
        ++sidecars;
        std::ifstream in(entry.path());
        const nlohmann::json truth = nlohmann::json::parse(in);
        const std::string kind = truth.at("kind");
        std::vector<Capture> files;
        for (const nlohmann::json& name : truth.at("files"))
            files.push_back(ReadCapture((dir / name.get<std::string>()).string()));
        const double rate = truth.at("sample_rate_sps");
        for (const Capture& c : files) {
            ASSERT_EQ(c.time.size(), truth.at("samples").get<std::size_t>()) << entry.path();
            EXPECT_NEAR(1.0 / (c.time[1] - c.time[0]), rate, rate * 1e-6) << entry.path();
            EXPECT_EQ(c.time.front(), truth.at("start_time_s").get<double>()) << entry.path();
        }

        if (kind == "inrush") {
            const Capture& c = files.at(0);
            const double threshold = truth.at("threshold_a");
            double charge = 0.0;
            for (std::size_t i = 0; i + 1 < c.time.size(); ++i) {
                const double a = std::max(0.0, c.traces[0][i] - threshold);
                const double b = std::max(0.0, c.traces[0][i + 1] - threshold);
                charge += 0.5 * (a + b) * (c.time[i + 1] - c.time[i]);
            }
            // Samples 5 us apart on a 40 us decay: the trapezoids cut the corner of
            // the peak and ride above the convex decay by well under 1 %.
            EXPECT_NEAR(charge, truth.at("charge_c").get<double>(),
                        truth.at("charge_c").get<double>() * 0.01);
            continue;
        }

        // The trace that is positive in J: the differential at high speed, D+ minus
        // D- at full speed, D- minus D+ at low speed (whose idle has D- high).
        const Capture& first = files.at(0);
        std::vector<double> jPositive = first.traces.at(0);
        if (kind != "hs") {
            const std::vector<double>& plus = first.traces[0];
            const std::vector<double>& minus =
                files.size() > 1 ? files[1].traces.at(0) : first.traces.at(1);
            jPositive = kind == "fs" ? Difference(plus, minus) : Difference(minus, plus);
        }
        const double ui = truth.at("unit_interval_s");
        ASSERT_EQ(truth.at("packets").size(), truth.at("packet_count").get<std::size_t>());
        for (const nlohmann::json& packet : truth.at("packets")) {
            const double start = packet.at("start_s");
            const std::string states = packet.at("states");
            EXPECT_EQ(StatesAtBitCentres(first, jPositive, start, ui, states.size(), 0.15), states)
                << entry.path();
            // The changes after the first SYNC bit, up to the one into the EOP: sign
            // changes of the J-positive trace, where a sample exactly on 0 V (the
            // lines crossing on a sample) takes neither side.
            const double end = packet.at("eop_start_s").get<double>() + 0.5 * ui;
            int inside = 0;
            double side = 0.0;
            for (std::size_t i = 0; i < first.time.size(); ++i) {
                if (first.time[i] <= start + 0.5 * ui || first.time[i] >= end) continue;
                if (jPositive[i] == 0.0) continue;
                inside += side * jPositive[i] < 0.0;
                side = jPositive[i];
            }
            EXPECT_EQ(inside, packet.at("transitions").get<int>()) << entry.path();
        }
    }
    EXPECT_EQ(sidecars, 5);
}
