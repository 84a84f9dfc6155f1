// The synthesizer is the source of truth for every other test. Its captures, and
// the shipped examples it wrote, are read back here with a parser of their own and
// must hold what their truth sidecar says.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <functional>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "CTempFolder.h"
#include "synth/Synth.h"

namespace fs = std::filesystem;
using Trace = std::vector<double>;

namespace {

// The columns of a comma-separated capture after its 25 header lines, or of a
// tab-separated one after its "%" comment lines: time, then each trace.
std::vector<Trace> ReadColumns(const fs::path& path) {
    std::ifstream in(path);
    std::vector<Trace> columns;
    int header = path.extension() == ".csv" ? 25 : 0;
    for (std::string line; std::getline(in, line);) {
        if (header-- > 0 || line.starts_with("%")) continue;
        std::replace(line.begin(), line.end(), ',', ' ');
        std::istringstream fields(line);
        const Trace values{std::istream_iterator<double>(fields), {}};
        columns.resize(values.size());
        for (std::size_t c = 0; c < values.size(); ++c) columns[c].push_back(values[c]);
    }
    return columns;
}

// Times where x passes from one side of `level` to the other, by linear
// interpolation; a sample exactly on the level between the two sides is the
// crossing, and a flat idle on the level is none.
Trace Crossings(const Trace& t, const Trace& x, double level) {
    Trace times;
    for (std::size_t i = 0; i + 1 < x.size(); ++i) {
        if ((x[i] - level) * (x[i + 1] - level) < 0.0)
            times.push_back(t[i] + (t[i + 1] - t[i]) * (level - x[i]) / (x[i + 1] - x[i]));
        if (x[i + 1] == level && i + 2 < x.size() && (x[i] - level) * (x[i + 2] - level) < 0.0)
            times.push_back(t[i + 1]);
    }
    return times;
}

double Nearest(const Trace& times, double t) {
    return *std::min_element(times.begin(), times.end(),
                             [t](double a, double b) { return std::abs(a - t) < std::abs(b - t); });
}

// Mean rates in V/us of the rising and of the falling edges of x between `low` and
// `high`, each crossing of one level paired with the nearest of the other within
// `window`. Half swings to and from idle pass one level only and drop out.
std::array<double, 2> EdgeRates(const Trace& t, const Trace& x, double low, double high,
                                double window) {
    const Trace atHigh = Crossings(t, x, high);
    std::array<double, 2> sum{}, count{};
    for (const double at : Crossings(t, x, low)) {
        const double transit = Nearest(atHigh, at) - at;  // positive when rising
        if (std::abs(transit) >= window) continue;
        sum[transit < 0] += (high - low) / std::abs(transit) * 1e-6, ++count[transit < 0];
    }
    return {sum[0] / count[0], sum[1] / count[1]};
}

// Reads back the capture a truth sidecar describes and checks it holds what the
// sidecar says.
void ExpectHoldsItsTruth(const fs::path& sidecar) {
    const nlohmann::json truth = nlohmann::json::parse(std::ifstream(sidecar));
    const std::string kind = truth.at("kind");
    std::vector<std::vector<Trace>> files;
    for (const nlohmann::json& name : truth.at("files")) {
        files.push_back(ReadColumns(sidecar.parent_path() / name.get<std::string>()));
        EXPECT_EQ(files.back().at(0).size(), truth.at("samples"));
        EXPECT_EQ(files.back()[0].front(), truth.at("start_time_s"));
    }
    const Trace& time = files[0][0];
    const double step = time[1] - time[0];
    EXPECT_NEAR(step * truth.at("sample_rate_sps").get<double>(), 1.0, 1e-6);
    const Trace& plus = files[0].at(1);
    if (kind == "inrush") {
        // Trapezoids, which cut the corner of the peak and ride above the convex decay.
        double sum = 0.0, threshold = truth.at("threshold_a"), charge = truth.at("charge_c");
        for (std::size_t i = 0; i + 1 < plus.size(); ++i)
            sum += std::max(0.0, plus[i] - threshold) + std::max(0.0, plus[i + 1] - threshold);
        EXPECT_NEAR(sum * step / 2, charge, charge / 100);
        return;
    }
    const Trace& minus = files.back().back();
    // Positive in J: the differential, D+ - D- at full speed, D- - D+ at low speed.
    Trace j = plus;
    for (std::size_t i = 0; kind != "hs" && i < j.size(); ++i)
        j[i] = (kind == "fs" ? 1 : -1) * (plus[i] - minus[i]);
    const Trace crossings = Crossings(time, j, 0.0);
    const double ui = truth.at("unit_interval_s");
    Trace edges;  // inside the packets

    for (const nlohmann::json& packet : truth.at("packets")) {
        const std::string states = packet.at("states");
        const std::size_t sync = packet.at("sync_bits"), eop = truth.at("eop_bits");
        const double start = packet.at("start_s"), eopStart = packet.at("eop_start_s");
        std::string read;
        for (std::size_t n = 0; n < states.size(); ++n) {
            const double v = j.at(std::lround((start + (n + 0.5) * ui - time[0]) / step));
            const double level = truth.at("high_level_v").get<double>() / 2;
            read += v > level ? 'J' : (v < -level ? 'K' : 'E');
        }
        EXPECT_EQ(read, states) << "at the bit centres";
        EXPECT_TRUE(
            std::string("KJKJKJKJKJKJKJKJKJKJKJKJKJKJKJKK").ends_with(states.substr(0, sync)))
            << states;
        EXPECT_EQ(states.find_last_not_of(states.back()), states.size() - eop - 1) << states;
        EXPECT_EQ(states.back() == 'E', kind != "hs") << "SE0 ends full- and low-speed packets";
        // The J/K changes after the first SYNC bit, up to the one into the EOP; noise
        // on an idle at 0 V between packets is no edge.
        std::copy_if(crossings.begin(), crossings.end(), std::back_inserter(edges),
                     [&](double t) { return t > start + ui / 2 && t < eopStart + ui / 2; });

        // The EOP edges where the bus is read: ±threshold on a high-speed trace, the
        // crossover voltage on either line at full and low speed. Straight lines
        // between samples miss a curved edge by a little.
        const double level =
            kind == "hs" ? (states.back() == 'J' ? 1 : -1) * truth.at("eop_level_v").get<double>()
                         : truth.at("crossover_v").get<double>();
        Trace atLevel = Crossings(time, plus, level), onMinus = Crossings(time, minus, level);
        if (kind != "hs") atLevel.insert(atLevel.end(), onMinus.begin(), onMinus.end());
        EXPECT_NEAR(Nearest(atLevel, eopStart), packet.at("eop_start_at_level_s"), 0.1 * step);
        EXPECT_NEAR(Nearest(atLevel, packet.at("eop_end_s")), packet.at("eop_end_at_level_s"),
                    0.1 * step);
    }

    // The rate its offset gives: whole bits between the edges (each gap a few bits,
    // so no offset slips a bit) over their span, give or take the jitter at either end.
    const double rate = truth.at("bit_rate_bps"), span = edges.back() - edges.front();
    const double nominal = kind == "hs" ? 480e6 : kind == "fs" ? 12e6 : 1.5e6;
    EXPECT_NEAR(rate, nominal * (1 + truth.at("rate_offset_ppm").get<double>() * 1e-6), 1e-3);
    double bits = 0.0;
    for (std::size_t i = 1; i < edges.size(); ++i)
        bits += std::round((edges[i] - edges[i - 1]) * rate);
    const double jitter = truth.at("periodic_jitter_amplitude_s").get<double>() +
                          4 * truth.at("random_jitter_rms_s").get<double>();
    EXPECT_NEAR(bits / span, rate, rate * (1e-6 + 2 * jitter / span));
    // D+ and D- cross at the crossover voltage.
    for (std::size_t e = 0; kind != "hs" && e < edges.size(); ++e) {
        const auto i = static_cast<std::size_t>((edges[e] - time[0]) / step);
        EXPECT_NEAR(plus[i] + (edges[e] - time[i]) / step * (plus[i + 1] - plus[i]),
                    truth.at("crossover_v"), 0.01);
    }
    // Edge rates between the eye levels, on D+ at full and low speed, where at least
    // 16 samples span an edge, so straight lines between them follow it.
    const double riseTime = truth.at("rise_time_10_90_s"), fallTime = truth.at("fall_time_10_90_s");
    if (std::min(riseTime, fallTime) >= 16 * step) {
        const auto rates =
            EdgeRates(time, plus, truth.at("eye_level_low_v"), truth.at("eye_level_high_v"),
                      2 * std::max(riseTime, fallTime));
        EXPECT_NEAR(rates[0], truth.at("rise_rate_v_per_us"), rates[0] * 0.005);
        EXPECT_NEAR(rates[1], truth.at("fall_rate_v_per_us"), rates[1] * 0.005);
    }
}

}  // namespace

// Captures asked for what the shipped examples do not hold: a SYNC shortened by a
// hub, stuffing, a long EOP, fast and jittered edges, a full-speed crossover away
// from the middle and a bus that starts with both lines low.
TEST(SynthesizedCaptures, HoldWhatTheirTruthSays) {
    const std::function<void(const std::string& path)> writers[] = {
        [](const std::string& path) {
            synth::HighSpeedParams p;
            p.m_nSyncBitsDropped = 5, p.m_Traffic.m_nEopBits = 40, p.m_Traffic.m_nPackets = 1;
            p.m_Traffic.m_Payload = {0xFF, 0xFF, 0x00, 0x7E, 0x3F, 0xC0};
            synth::WriteHighSpeedCapture(p, path, synth::FileFormat::Csv);
        },
        [](const std::string& path) {
            synth::HighSpeedParams p;
            p.m_dSampleRate = 100e9, p.m_dTransition = 300e-12, p.m_Traffic.m_dRatePpm = 1000;
            p.m_Traffic.m_nPackets = 3, p.m_Traffic.m_nPayloadBytes = 40;
            p.m_Traffic.m_Jitter = {
                .m_dRandomRms = 5e-12, .m_dPeriodicAmplitude = 20e-12, .m_dPeriodicFrequency = 7e6};
            synth::WriteHighSpeedCapture(p, path, synth::FileFormat::Csv);
        },
        [](const std::string& path) {
            synth::SingleEndedParams p;
            p.m_dCrossover = 1.9, p.m_dRiseTime = 8e-9, p.m_dFallTime = 12e-9;
            p.m_dLeadLowTime = 1e-6, p.m_Traffic.m_dRatePpm = -2000, p.m_Traffic.m_nPackets = 1;
            synth::WriteSingleEndedCapture(p, path, synth::FileFormat::Csv);
        },
    };
    for (const auto& write : writers) {
        SCOPED_TRACE("capture " + std::to_string(&write - writers));
        const CTempFolder folder;
        write(folder.Path("cap.csv"));
        ExpectHoldsItsTruth(synth::TruthPath(folder.Path("cap.csv")));
    }
}

TEST(ShippedExamples, AreSmallAndHoldWhatTheirTruthSays) {
    int sidecars = 0;
    for (const auto& entry : fs::directory_iterator(fs::path(VELKIN_SOURCE_DIR) / "examples")) {
        SCOPED_TRACE(entry.path().filename().string());
        EXPECT_LT(fs::file_size(entry.path()), 512u * 1024);
        if (!entry.path().string().ends_with(".truth.json")) continue;
        ++sidecars;
        ExpectHoldsItsTruth(entry.path());
    }
    EXPECT_EQ(sidecars, 5);
}
