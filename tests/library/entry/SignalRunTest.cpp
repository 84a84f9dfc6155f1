#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iomanip>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "library/AnalysisRun.h"
#include "library/signal/SignalCaptures.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kPass = "#006000";
constexpr const char* kFail = "red";

class SignalRun : public ::testing::Test, public CAnalysisRun {};

// Middles of bits whose neighbours hold the same state: the trace is flat there.
std::vector<std::pair<double, char>> SteadyBits(const synth::SynthTruth& truth) {
    std::vector<std::pair<double, char>> bits;
    const synth::PacketTruth& packet = truth.m_Packets.at(0);
    const std::string& s = packet.m_strStates;
    for (std::size_t i = 1; i + 1 < s.size(); ++i)
        if (s[i - 1] == s[i] && s[i] == s[i + 1] && s[i] != 'E')
            bits.push_back({packet.m_dStart + (i + 0.5) * truth.m_dUnitInterval, s[i]});
    return bits;
}

// Moves the capture's sample times from the first sample after `from` on by `shift`:
// every later one (a time axis that jumps), or that one alone (`one`).
void ShiftTimes(const std::string& path, double from, double shift, bool one) {
    std::ifstream in(path);
    std::ostringstream out;
    out.precision(17);
    bool moved = false;
    for (std::string line; std::getline(in, line);) {
        char* end = nullptr;
        const double t = std::strtod(line.c_str(), &end);
        if (end != line.c_str() && *end == ',' && t > from && !(one && moved)) {
            line = (std::ostringstream() << std::setprecision(17) << t + shift).str() + end;
            moved = true;
        }
        out << line << '\n';
    }
    in.close();
    std::ofstream(path) << out.str();
}

}  // namespace

// The passing example: 480 Mbit/s, an 8-bit EOP and 1792 V/us edges, with 2 mV of
// noise and 2 ps of jitter; the failing one 1000 ppm fast at half the swing. The
// pairs are up-sampled from a third of the reference rate, and the low-speed one
// names its D+ file first whichever order the files come in.
TEST_F(SignalRun, ShippedExamplesAreJudgedAsTheirReadmeSays) {
    for (const char* name :
         {"hs_pass.csv", "hs_fail.csv", "fs_pair.csv", "ls_dplus.csv", "ls_dminus.csv"})
        fs::copy_file(fs::path(VELKIN_SOURCE_DIR) / "examples" / name, Path(name));
    const struct {
        const char *first, *type, *second, *overall;
    } examples[] = {
        {"hs_pass.csv", "hsne", "", "Overall result: pass!"},
        {"hs_fail.csv", "hsne", "", "*** Overall result: fail! ***"},
        {"fs_pair.csv", "fs", "", "Overall result: pass!"},
        {"ls_dplus.csv", "ls", "ls_dminus.csv", "Overall result: pass!"},
        {"ls_dminus.csv", "ls", "ls_dplus.csv", "Overall result: pass!"},
    };
    for (const auto& example : examples) {
        SCOPED_TRACE(example.first);
        ASSERT_EQ(RunCapture(example.first, example.type, example.second), "");
        const CReportText report = Report(example.first);
        EXPECT_NE(report.Colour(example.overall), "absent");
        if (*example.second != '\0') {
            EXPECT_NE(report.Colour("Dplus DataFile: " + Path("ls_dplus.csv")), "absent");
            EXPECT_NE(report.Colour("Dminus Data File: " + Path("ls_dminus.csv")), "absent");
        }
    }
    const CReportText passing = Report("hs_pass.csv");
    for (const char* line :
         {"sync passes", "eye passes", "EOP width passes", "signal rate passes", "Monotonic Edge"})
        EXPECT_EQ(passing.Colour(line), kPass) << line;
    EXPECT_FALSE(passing.AnyIn(kFail));
    EXPECT_NEAR(passing.Number("Measured signaling rate: "), 480.0, 480 * 20e-6);
    EXPECT_NEAR(passing.Number("EOP width: "), 8.0, 0.1);
    // A 400 ps edge spans barely three samples at 8 GS/s between the eye levels.
    EXPECT_NEAR(passing.Number("Rising Edge Rate: "), 1792, 90);
    EXPECT_NEAR(passing.Number("Falling Edge Rate: "), 1792, 90);
    const CReportText failing = Report("hs_fail.csv");
    EXPECT_EQ(failing.Colour("*** signal rate failure ***"), kFail);
    EXPECT_EQ(failing.Colour("*** eye failure! ***"), kFail);
    EXPECT_NEAR(failing.Number("Measured signaling rate: "), 480.48, 480 * 20e-6);
}

// A 20-bit EOP with six SYNC bits dropped, behind nine hubs: they count as five,
// which pass it up to 28.5 bits. The keyword is matched without regard to case.
TEST_F(SignalRun, HubAllowanceFollowsTheHubCountClampedToFiveWhateverTheKeywordCase) {
    synth::HighSpeedParams params;
    params.m_Traffic.m_nEopBits = 20;
    params.m_nSyncBitsDropped = 6;
    HighSpeed("hub.csv", params);
    ASSERT_EQ(RunCapture("hub.csv", "HSHUB", "", 1, 9), "");
    const CReportText report = Report("hub.csv");
    EXPECT_NEAR(report.Number("EOP width: "), 20.0, 0.1);
    EXPECT_EQ(report.Colour("EOP width passes"), kPass);
    EXPECT_EQ(report.Colour("Sync results: 5 hubs dropped 6 sync bits"), "");
    EXPECT_EQ(report.Colour("Overall result: pass!"), kPass);
    EXPECT_EQ(Cell(Summary("hub.csv"), "Number of Hubs"), "5");
}

TEST_F(SignalRun, RunStoppedBeforeItsReportSaysWhyAndLeavesNoReport) {
    // Past the hub waiver a 25-bit SE0 is no EOP: the packet never ends.
    synth::HighSpeedParams longEop;
    longEop.m_Traffic.m_nEopBits = 25;
    HighSpeed("long.csv", longEop);
    // A folder in the way of the eye plot: nothing can be saved under its name.
    HighSpeed("blocked.csv");
    fs::create_directories(fs::path(Path("blockedEye.png")) / "taken");
    for (const auto& [name, type, hubs, failure] :
         {std::tuple{"long.csv", "hshub", 2u, "No Packets Found\nVerify Test type"},
          {"blocked.csv", "hsne", 0u, "Is a directory: blockedEye.png"}}) {
        EXPECT_EQ(RunCapture(name, type, "", 0, hubs), failure);
        EXPECT_FALSE(fs::exists(Beside(name, ".html"))) << name;
        EXPECT_FALSE(fs::exists(Beside(name, "Packet.png"))) << name;
    }
    EXPECT_FALSE(fs::exists(Beside("long.csv", "Plot.png")));
    for (const auto& entry : fs::directory_iterator(m_Folder.Path()))
        EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
}

TEST_F(SignalRun, FullSpeedPictureShowsBothLinesTheCommonModeAndTheLineStates) {
    const synth::SynthTruth truth = FullSpeed("fs.csv");
    ASSERT_EQ(RunCapture("fs.csv", "fs"), "");
    const CCanvas::CImage plot = Picture(Path("fsPlot.png"));
    const CPlotFrame frame(plot);
    const CSigConfig& config = captures::Config();
    const double t0 = truth.m_dStartTime, t1 = t0 + (truth.m_nSamples - 1) / truth.m_dSampleRate;
    const double high = truth.m_dHighLevel, low = truth.m_dLowLevel, m = high * 0.01;
    const auto y = [&](double v) { return frame.Row(v, low - m, high + m); };
    const auto bits = SteadyBits(truth);
    ASSERT_GT(bits.size(), 3u);
    std::map<char, CRgb> strip;
    for (const auto& [t, state] : bits) {
        const int x = frame.Column(t, t0, t1);
        EXPECT_TRUE(Near(plot, x, y(state == 'J' ? high : low), Rgb(config.m_ColourD))) << t;
        EXPECT_TRUE(Near(plot, x, y(state == 'J' ? low : high), Rgb(config.m_ColourC))) << t;
        EXPECT_TRUE(Near(plot, x, y((high + low) / 2), Rgb(config.m_ColourA))) << t;
        // The strip under the axis takes one colour per line state.
        const CRgb shown = plot.At(x, frame.bottom + 1);
        EXPECT_EQ(strip.emplace(state, shown).first->second, shown) << t;
    }
    ASSERT_EQ(strip.size(), 2u);
    EXPECT_FALSE(strip['J'] == strip['K']);
    EXPECT_FALSE(strip['J'] == (CRgb{255, 255, 255}));
}

// A sample time far off the capture's clock: the EOP edge of a full-speed capture
// timed on it read 6.7e26 ns, a jump inside a packet made a line state longer than
// the capture (a 100 us gap even passed). Each is refused where it stands, with its
// row, and leaves no report.
TEST_F(SignalRun, SampleTimesOffTheCaptureClockAreRefusedNotPrinted) {
    const std::string jump = "breaks the even time step", back = "not later than the row before";
    const struct {
        bool fullSpeed;
        bool atEopEnd;  // else half way through the packet
        double shift;   // s
        bool one;
        std::string refusal;
    } cases[] = {
        {true, true, 1e18, true, jump},
        {true, true, -1e18, true, back},
        {false, false, 1e18, false, jump},
        {false, false, 1e-4, false, jump},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.shift) + (c.fullSpeed ? " fs" : " hs"));
        const std::string name = "warped" + std::to_string(&c - cases) + ".csv";
        const synth::SynthTruth truth = c.fullSpeed ? FullSpeed(name) : HighSpeed(name);
        const synth::PacketTruth& packet = truth.m_Packets.at(0);
        ShiftTimes(Path(name),
                   c.atEopEnd ? packet.m_dEopEnd : (packet.m_dStart + packet.m_dEopStart) / 2,
                   c.shift, c.one);
        const std::string refusal = RunCapture(name, c.fullSpeed ? "fs" : "hsne");
        EXPECT_TRUE(refusal.starts_with("Error: File " + name + " row ")) << refusal;
        EXPECT_NE(refusal.find(c.refusal), std::string::npos) << refusal;
        EXPECT_FALSE(fs::exists(Beside(name, ".html")));
    }
}

// Edges of 10 ps, far quicker than any USB driver: at 8 GS/s some samples still land
// between the J and K levels and the report asks for a faster scope; at 10 GS/s none
// does, and the refusal says so, naming the capture.
TEST_F(SignalRun, EdgesThatJumpTheLevelsBetweenSamplesAskForAFasterScope) {
    for (const double rate : {8e9, 10e9}) {
        SCOPED_TRACE(rate);
        synth::HighSpeedParams params;
        params.m_dSampleRate = rate;
        params.m_dTransition = 10e-12;
        const std::string name = rate < 9e9 ? "fast8.csv" : "fast10.csv";
        HighSpeed(name, params);
        if (rate < 9e9) {
            ASSERT_EQ(RunCapture(name, "hsne"), "");
            const CReportText report = Report(name);
            EXPECT_EQ(report.Colour("Could not detect all edges with sample rate of 8.000 GS/s"),
                      kFail);
            EXPECT_EQ(report.Colour("*** Overall result: fail! ***"), kFail);
        } else {
            EXPECT_EQ(RunCapture(name, "hsne"),
                      "Sample rate too low for the edges in fast10.csv: increase the oscilloscope "
                      "sample rate");
            EXPECT_FALSE(fs::exists(Beside(name, ".html")));
        }
    }
}

// Hubs repeat start-of-frame packets every microframe and stretch their 40-bit EOP by
// 4 bits each, as they do an ordinary EOP: with one hub it passes from 39.5 to 44.5
// bits and is waived up to 54, past the 50 that a device's own SOF may reach.
TEST_F(SignalRun, StartOfFrameEopBehindHubsIsJudgedOnItsOwnWindowWidenedPerHub) {
    const struct {
        int eopBits;
        const char* type;
        unsigned hubs;
        const char* verdict;
    } cases[] = {
        {40, "hsne", 0, "EOP width passes"},
        {40, "hshub", 1, "EOP width passes"},
        {44, "hshub", 1, "EOP width passes"},
        {46, "hshub", 1, "(minimum 39.50  bits, maximum 44.50  bits)"},
        {52, "hshub", 1, "(minimum 39.50  bits, maximum 44.50  bits)"},
        {45, "hshub", 0, "(minimum 39.50  bits, maximum 40.50  bits)"},
        {52, "ehsrep", 3, "EOP width passes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.eopBits) + " bits, " + c.type + " " + std::to_string(c.hubs));
        synth::HighSpeedParams params;
        params.m_Traffic.m_nEopBits = c.eopBits;
        HighSpeed("sof.csv", params);
        const std::string result = RunCapture("sof.csv", c.type, "", 0, c.hubs, c.type[0] == 'e');
        EXPECT_EQ(result, "");
        if (!result.empty()) continue;
        const CReportText report = Report("sof.csv");
        EXPECT_NEAR(report.Number("EOP width: "), c.eopBits, 0.1);
        EXPECT_NE(report.Colour(c.verdict), "absent");
        EXPECT_EQ(report.Colour("*** waiver granted ***") != "absent",
                  std::string(c.verdict).starts_with("(minimum"));
    }
}

// Captures whose signalling rate lies inside the pass window, inside the waiver window
// only, and outside both, at each speed: the result record and the report's limits
// table judge the rate as the report does, with the margin on the side of its verdict,
// and the record holds to its published schema.
TEST_F(SignalRun, ResultRecordJudgesEachCheckAgainstTheWindowItWasJudgedIn) {
    const struct {
        const char* type;
        double ppm;
        const char* overall;
    } cases[] = {
        {"hsne", 0, "pass"}, {"hsne", 525, "waived"}, {"hsne", 1000, "fail"},
        {"fs", 0, "pass"},   {"fs", 5000, "waived"},  {"fs", 20000, "fail"},
        {"ls", 0, "pass"},   {"ls", 30000, "waived"}, {"ls", 60000, "fail"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.type) + " " + std::to_string(c.ppm) + " ppm");
        const std::string name = std::string(c.type) + std::to_string(&c - cases) + ".csv";
        synth::SynthTruth truth;
        if (c.type[0] == 'h') {
            synth::HighSpeedParams params;
            params.m_Traffic.m_dRatePpm = c.ppm;
            truth = HighSpeed(name, params);
        } else {
            synth::SingleEndedParams params;
            params.m_Speed = c.type[0] == 'l' ? synth::Speed::Low : synth::Speed::Full;
            params.m_Traffic.m_nPackets = 1;
            params.m_Traffic.m_dRatePpm = c.ppm;
            truth = synth::WriteSingleEndedCapture(params, Path(name), synth::FileFormat::Csv);
        }
        ASSERT_EQ(RunCapture(name, c.type), "");
        const nlohmann::json result = nlohmann::json::parse(Slurp(Beside(name, ".json")));
        EXPECT_EQ(result["overall"], c.overall);
        EXPECT_EQ(result["inputs"][0]["file"], Path(name));
        EXPECT_EQ(result["test"]["type"], c.type);
        EXPECT_EQ(result["packet"]["index"], 0);
        EXPECT_NEAR(result["packet"]["start"].get<double>(), truth.m_Packets.at(0).m_dStart,
                    truth.m_dUnitInterval);
        for (const nlohmann::json& check : result["checks"]) {
            const std::string verdict = check["verdict"];
            SCOPED_TRACE(check.dump());
            if (check["margin"].is_number() && verdict != "info") {
                EXPECT_EQ(check["margin"].get<double>() >= 0.0, verdict == "pass");
            }
            if (check["name"] != "Signal rate") {
                EXPECT_EQ(verdict == "pass" || verdict == "info", true);
                continue;
            }
            EXPECT_NEAR(check["value"].get<double>(), 1e-6 / truth.m_dUnitInterval,
                        1e-6 / truth.m_dUnitInterval * 20e-6);
            EXPECT_EQ(verdict, c.overall);
        }
        // The failed row stands out in the report's table, and only that one.
        const std::string html = Slurp(Beside(name, ".html"));
        const bool marked =
            html.find("background:#ffd8d8\"><td>Signal rate</td>") != std::string::npos;
        EXPECT_EQ(marked, std::string(c.overall) == "fail");
        EXPECT_EQ(html.find("background:#ffd8d8\"><td>") == std::string::npos, !marked);
    }
    EXPECT_EQ(ResultSchemaErrors(m_Folder.Path()), "");
}
