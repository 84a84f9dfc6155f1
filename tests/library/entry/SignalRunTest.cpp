#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "CTempFolder.h"
#include "entry/CAnalysisError.h"
#include "entry/CUsbSigCheck.h"
#include "input/CSignalData.h"
#include "plot/CCanvas.h"
#include "report/CToolboxGlobals.h"
#include "signal/CMeasurePackets.h"
#include "signal/CTestPackets.h"
#include "spec/CSigSpec.h"
#include "spec/CSigTestSpec.h"
#include "spec/CSignalConfig.h"
#include "synth/Synth.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kPass = "#006000";
constexpr const char* kFail = "red";
constexpr const char* kWaiver = "*** waiver granted ***";

// The plot area of the 604 x 454 pictures: frame columns 72 and 546, rows 43 and 397.
constexpr double kLeft = 0.119 * 604, kTop = 0.0938 * 454;
constexpr double kRight = 0.9048 * 604, kBottom = 0.875 * 454;
constexpr int kFrameLeft = 72, kFrameTop = 43, kFrameRight = 546, kFrameBottom = 397;

constexpr CRgb kPurple{140, 0, 140}, kBlue{0, 0, 204}, kGreen{25, 127, 25};
constexpr CRgb kEopFill{204, 179, 0};

int Round(double v) { return static_cast<int>(std::floor(v + 0.5)); }

// Runs a capture as the export does: the text that stopped it, or "" when the
// report was written.
std::string RunSignalCheck(const std::string& file, const std::string& type,
                           const std::string& second = "", unsigned hubs = 0) {
    try {
        CUsbSigCheck().Run(file, type, second, 0, hubs, false);
    } catch (const CAnalysisError& error) {
        return error.what();
    } catch (...) {
        return "Unknown Exception";
    }
    return "";
}

// The report as a reader sees it: runs of text, each in the colour of the
// innermost coloured font around it ("" when uncoloured).
class CReportText {
public:
    explicit CReportText(const std::string& html) {
        std::vector<std::string> fonts;
        std::string text;
        auto flush = [&] {
            if (text.find_first_not_of(" \n\t") != std::string::npos)
                m_Runs.push_back({text, fonts.empty() ? "" : fonts.back()});
            text.clear();
        };
        for (std::size_t i = 0; i < html.size(); ++i) {
            if (html[i] != '<') {
                text += html[i];
                continue;
            }
            const std::size_t end = html.find('>', i);
            const std::string tag = html.substr(i + 1, end - i - 1);
            i = end;
            flush();
            if (tag.starts_with("font")) {
                const std::size_t colour = tag.find("color=\"");
                const std::string inherited = fonts.empty() ? "" : fonts.back();
                fonts.push_back(
                    colour == std::string::npos
                        ? inherited
                        : tag.substr(colour + 7, tag.find('"', colour + 7) - colour - 7));
            } else if (tag == "/font" && !fonts.empty()) {
                fonts.pop_back();
            }
        }
        flush();
    }

    // Colour of the run holding `phrase`; "absent" when no run holds it.
    std::string Colour(const std::string& phrase) const {
        const std::size_t i = Find(phrase);
        return i < m_Runs.size() ? m_Runs[i].colour : "absent";
    }
    // The run after the one holding `phrase`: what a reader sees next.
    std::string Next(const std::string& phrase) const {
        const std::size_t i = Find(phrase);
        return i + 1 < m_Runs.size() ? m_Runs[i + 1].text : "";
    }
    std::string NextColour(const std::string& phrase) const {
        const std::size_t i = Find(phrase);
        return i + 1 < m_Runs.size() ? m_Runs[i + 1].colour : "absent";
    }
    // The number printed right after `label`.
    double Number(const std::string& label) const {
        const std::size_t i = Find(label);
        if (i >= m_Runs.size()) return std::nan("");
        const std::string& run = m_Runs[i].text;
        return std::strtod(run.c_str() + run.find(label) + label.size(), nullptr);
    }
    bool AnyIn(const std::string& colour) const {
        for (const CRun& run : m_Runs)
            if (run.colour == colour) return true;
        return false;
    }

private:
    struct CRun {
        std::string text;
        std::string colour;
    };
    std::size_t Find(const std::string& phrase) const {
        for (std::size_t i = 0; i < m_Runs.size(); ++i)
            if (m_Runs[i].text.find(phrase) != std::string::npos) return i;
        return m_Runs.size();
    }
    std::vector<CRun> m_Runs;
};

class SignalRun : public ::testing::Test {
protected:
    std::string Path(const std::string& name) const { return m_Temp.Path(name); }

    synth::SynthTruth HighSpeed(const std::string& name, const synth::HighSpeedParams& params) {
        return synth::WriteHighSpeedCapture(params, Path(name), synth::FileFormat::Csv);
    }
    synth::SynthTruth SingleEnded(const std::string& name, const synth::SingleEndedParams& params,
                                  const std::string& minusName = "") {
        return synth::WriteSingleEndedCapture(params, Path(name), synth::FileFormat::Csv,
                                              minusName.empty() ? "" : Path(minusName));
    }

    // Runs the capture and reads back the report written beside it.
    CReportText Judge(const std::string& name, const std::string& type, unsigned hubs = 0,
                      const std::string& second = "") {
        const std::string result =
            RunSignalCheck(Path(name), type, second.empty() ? "" : Path(second), hubs);
        EXPECT_EQ(result, "") << name;
        const std::string base = name.substr(0, name.rfind('.'));
        std::ifstream in(m_Dir / (base + ".html"));
        std::stringstream html;
        html << in.rdbuf();
        EXPECT_FALSE(html.str().empty()) << name;
        m_strLastHtml = html.str();
        return CReportText(html.str());
    }

    CCanvas::CImage Picture(const std::string& name) const {
        const auto image = CCanvas::ReadPng(Path(name));
        EXPECT_TRUE(image.has_value()) << name;
        return image.value_or(CCanvas::CImage{});
    }

    CTempFolder m_Temp{"velkin_run_"};
    const fs::path& m_Dir = m_Temp.Path();
    std::string m_strLastHtml;
};

synth::HighSpeedParams Hs() {
    synth::HighSpeedParams p;
    p.m_Traffic.m_nPackets = 1;
    p.m_Traffic.m_nPayloadBytes = 8;
    return p;
}

synth::SingleEndedParams Fs() {
    synth::SingleEndedParams p;
    p.m_Speed = synth::Speed::Full;
    p.m_Traffic.m_nPackets = 1;
    p.m_Traffic.m_nPayloadBytes = 4;
    p.m_Traffic.m_nLeadIdleBits = 16;
    p.m_Traffic.m_nGapIdleBits = 16;
    return p;
}

}  // namespace

TEST_F(SignalRun, CleanHighSpeedNearEndCapturePassesEveryLine) {
    const synth::SynthTruth truth = HighSpeed("clean.csv", Hs());
    const CReportText report = Judge("clean.csv", "hsne");
    EXPECT_EQ(report.Colour("Overall result: pass!"), kPass);
    EXPECT_EQ(report.Colour("sync passes"), kPass);
    EXPECT_EQ(report.Colour("eye passes"), kPass);
    EXPECT_EQ(report.Colour("EOP width passes"), kPass);
    EXPECT_EQ(report.Colour("signal rate passes"), kPass);
    EXPECT_EQ(report.Colour("Monotonic Edge passes"), kPass);
    EXPECT_EQ(report.NextColour("Rising Edge Rate:"), kPass);
    EXPECT_EQ(report.NextColour("Falling Edge Rate:"), kPass);
    EXPECT_FALSE(report.AnyIn(kFail)) << m_strLastHtml;
    EXPECT_NEAR(report.Number("Measured signaling rate: "), 480.0, 480.0 * 20e-6);
    EXPECT_NEAR(report.Number("EOP width: "), truth.m_nEopBits, 0.1);
}

// The shipped examples are judged as their README says: the failing one 1000 ppm
// fast at half the swing, the pairs up-sampled from a third of the reference rate.
TEST_F(SignalRun, ShippedExamplesAreJudgedAsTheirReadmeSays) {
    const fs::path examples = fs::path(VELKIN_SOURCE_DIR) / "examples";
    for (const char* name :
         {"hs_pass.csv", "hs_fail.csv", "fs_pair.csv", "ls_dplus.csv", "ls_dminus.csv"})
        fs::copy_file(examples / name, m_Dir / name);
    EXPECT_EQ(Judge("hs_pass.csv", "hsne").Colour("Overall result: pass!"), kPass);
    const CReportText failing = Judge("hs_fail.csv", "hsne");
    EXPECT_EQ(failing.Colour("*** Overall result: fail! ***"), kFail);
    EXPECT_EQ(failing.Colour("*** signal rate failure ***"), kFail);
    EXPECT_EQ(failing.Colour("*** eye failure! ***"), kFail);
    EXPECT_NEAR(failing.Number("Measured signaling rate: "), 480.48, 480.0 * 20e-6);
    EXPECT_EQ(Judge("fs_pair.csv", "fs").Colour("Overall result: pass!"), kPass);
    EXPECT_EQ(Judge("ls_dplus.csv", "ls", 0, "ls_dminus.csv").Colour("Overall result: pass!"),
              kPass);
}

TEST_F(SignalRun, HighSpeedRateIsWaivedJustPastItsLimitAndFailsBeyondTheWaiver) {
    synth::HighSpeedParams waived = Hs(), failed = Hs();
    waived.m_Traffic.m_dRatePpm = 530;
    failed.m_Traffic.m_dRatePpm = 1000;
    HighSpeed("waived.csv", waived);
    HighSpeed("failed.csv", failed);

    const CReportText w = Judge("waived.csv", "hsne");
    EXPECT_NEAR(w.Number("Measured signaling rate: "), 480.0 * (1 + 530e-6), 480.0 * 20e-6);
    EXPECT_EQ(w.Colour("*** signal rate failure ***"), kFail);
    EXPECT_EQ(w.Next("*** signal rate failure ***"), kWaiver);
    EXPECT_EQ(w.NextColour("*** signal rate failure ***"), kPass);
    EXPECT_EQ(w.Colour("Overall result: pass!"), kPass);

    const CReportText f = Judge("failed.csv", "hsne");
    EXPECT_NEAR(f.Number("Measured signaling rate: "), 480.0 * (1 + 1000e-6), 480.0 * 20e-6);
    EXPECT_EQ(f.Colour("*** signal rate failure ***"), kFail);
    EXPECT_NE(f.Next("*** signal rate failure ***"), kWaiver);
    EXPECT_EQ(f.Colour("*** Overall result: fail! ***"), kFail);
}

TEST_F(SignalRun, LongEopIsWaivedWithinTheOrdinaryOrHubAllowanceAndIsNoEopPastIt) {
    synth::HighSpeedParams ordinary = Hs(), hubWaived = Hs(), hubTooLong = Hs();
    ordinary.m_Traffic.m_nEopBits = 10;
    hubWaived.m_Traffic.m_nEopBits = 20;
    hubTooLong.m_Traffic.m_nEopBits = 25;
    HighSpeed("ten.csv", ordinary);
    HighSpeed("twenty.csv", hubWaived);
    HighSpeed("long.csv", hubTooLong);

    const CReportText ten = Judge("ten.csv", "hsne");
    EXPECT_NEAR(ten.Number("EOP width: "), 10.0, 0.1);
    EXPECT_EQ(ten.Colour("*** EOP width failure! ***"), kFail);
    EXPECT_NE(ten.Colour("(minimum 7.50  bits, maximum 8.50  bits)"), "absent");
    EXPECT_EQ(ten.Next("*** EOP width failure! ***"), kWaiver);
    EXPECT_EQ(ten.NextColour("*** EOP width failure! ***"), kPass);
    EXPECT_EQ(ten.Colour("Overall result: pass!"), kPass);

    // Two hubs widen the EOP: passing up to 16.5 bits, waived up to 24; the
    // waiver line names the hub pass window.
    const CReportText twenty = Judge("twenty.csv", "hshub", 2);
    EXPECT_NEAR(twenty.Number("EOP width: "), 20.0, 0.1);
    EXPECT_EQ(twenty.Colour("*** EOP width failure! ***"), kFail);
    EXPECT_NE(twenty.Colour("(minimum 7.50  bits, maximum 16.50  bits)"), "absent");
    EXPECT_EQ(twenty.Next("*** EOP width failure! ***"), kWaiver);
    EXPECT_EQ(twenty.Colour("Overall result: pass!"), kPass);

    // Past the waiver a 25-bit run is not taken for an EOP at all, so the packet
    // never ends and nothing is judged.
    EXPECT_EQ(RunSignalCheck(Path("long.csv"), "hshub", "", 2),
              "No Packets Found\nVerify Test type");
    EXPECT_FALSE(fs::exists(m_Dir / "long.html"));
}

TEST_F(SignalRun, HubAllowanceFollowsTheClampedHubCountWhateverTheKeywordCase) {
    // A 20-bit EOP behind two hubs is waived (pass up to 16.5 bits); behind nine,
    // counted as five, it passes (up to 28.5 bits). The SYNC line names five hubs.
    synth::HighSpeedParams params = Hs();
    params.m_Traffic.m_nEopBits = 20;
    params.m_nSyncBitsDropped = 6;
    HighSpeed("twenty.csv", params);

    const CReportText two = Judge("twenty.csv", "HSHUB", 2);
    EXPECT_NE(two.Colour("(minimum 7.50  bits, maximum 16.50  bits)"), "absent");
    EXPECT_EQ(two.Next("*** EOP width failure! ***"), kWaiver);

    const CReportText nine = Judge("twenty.csv", "hshub", 9);
    EXPECT_NEAR(nine.Number("EOP width: "), 20.0, 0.1);
    EXPECT_EQ(nine.Colour("EOP width passes"), kPass);
    EXPECT_EQ(nine.Colour("Sync results: 5 hubs dropped 6 sync bits"), "");
    EXPECT_EQ(nine.Colour("Overall result: pass!"), kPass);
}

TEST_F(SignalRun, FullSpeedRateIsWaivedAtTwelvePointOneAndFailsAtTwelvePointTwo) {
    synth::SingleEndedParams waived = Fs(), failed = Fs();
    waived.m_Traffic.m_dRatePpm = (12.1 / 12.0 - 1.0) * 1e6;
    failed.m_Traffic.m_dRatePpm = (12.2 / 12.0 - 1.0) * 1e6;
    SingleEnded("waived.csv", waived);
    SingleEnded("failed.csv", failed);

    const CReportText w = Judge("waived.csv", "fs");
    EXPECT_NEAR(w.Number("Measured signaling rate: "), 12.1, 0.01);
    EXPECT_EQ(w.Colour("*** signal rate failure ***"), kFail);
    EXPECT_EQ(w.Next("*** signal rate failure ***"), kWaiver);

    const CReportText f = Judge("failed.csv", "fs");
    EXPECT_NEAR(f.Number("Measured signaling rate: "), 12.2, 0.01);
    EXPECT_EQ(f.Colour("*** signal rate failure ***"), kFail);
    EXPECT_NE(f.Next("*** signal rate failure ***"), kWaiver);
    EXPECT_EQ(f.Colour("*** Overall result: fail! ***"), kFail);
}

TEST_F(SignalRun, TwoHubsMayDropSixSyncBitsWithoutFailingThePacket) {
    synth::HighSpeedParams params = Hs();
    params.m_nSyncBitsDropped = 6;
    HighSpeed("dropped.csv", params);
    const CReportText report = Judge("dropped.csv", "hshub", 2);
    EXPECT_EQ(report.Colour("Sync results: 2 hubs dropped 6 sync bits"), "");
    EXPECT_EQ(report.Colour("sync passes"), kPass);
    EXPECT_EQ(report.Colour("Overall result: pass!"), kPass);

    // Behind hubs the report names only the hub rule; the SYNC itself is still short.
    const std::unique_ptr<CSigSpec> spec = CSigTestSpec().SelectSpec("hshub");
    AdjustForHubs(*spec, "hshub", 2);
    const std::unique_ptr<CSigConfig> config = CSignalConfig().BuildConfig();
    CAnalysisRecord record = CSignalData().Load(Path("dropped.csv"), *config, *spec, "");
    record.m_nHubs = 2;
    record = CMeasurePackets().Run(std::move(record), *config, *spec);
    record = CTestPackets().TestPackets(std::move(record), *config, *spec);
    ASSERT_FALSE(record.m_Verdicts.empty());
    const CPacketVerdict& verdict = record.m_Verdicts[0];
    const CToolboxRecord codes = CToolboxGlobals().GetGlobals();
    EXPECT_EQ(verdict.m_nSyncBitsDropped, 6);
    EXPECT_EQ(verdict.m_nSyncLength, codes.m_nFail);
    EXPECT_EQ(verdict.m_nHubSync, codes.m_nPass);
    EXPECT_EQ(verdict.m_nOverall, codes.m_nPass);
}

TEST_F(SignalRun, PacketTooShortForJitterHasNoJitterDataAndFails) {
    synth::SingleEndedParams params = Fs();
    params.m_Traffic.m_nPayloadBytes = 0;
    SingleEnded("short.csv", params);
    const CReportText report = Judge("short.csv", "fs");
    EXPECT_EQ(report.Colour("*** Jitter could not be measured - insufficient data ***"), kFail);
    EXPECT_EQ(report.Colour("*** Overall result: fail! ***"), kFail);
}

TEST_F(SignalRun, LowSpeedPairNamesTheDplusFileWhicheverOrderTheFilesCome) {
    synth::SingleEndedParams params = Fs();
    params.m_Speed = synth::Speed::Low;
    params.m_Traffic.m_nPayloadBytes = 3;
    SingleEnded("plus.csv", params, "minus.csv");
    for (const auto& [first, second] :
         {std::pair{"plus.csv", "minus.csv"}, std::pair{"minus.csv", "plus.csv"}}) {
        const CReportText report = Judge(first, "ls", 0, second);
        EXPECT_EQ(report.Colour("Overall result: pass!"), kPass) << first;
        EXPECT_NE(report.Colour("Dplus DataFile: " + Path("plus.csv")), "absent") << first;
        EXPECT_NE(report.Colour("Dminus Data File: " + Path("minus.csv")), "absent") << first;
    }
}

TEST_F(SignalRun, RunStoppedBeforeItsReportWritesNeitherReportNorPlots) {
    std::ofstream quiet(Path("quiet.csv"));
    for (int i = 0; i < 2000; ++i) quiet << i * 1.25e-10 << ",0.0\n";
    quiet.close();
    EXPECT_EQ(RunSignalCheck(Path("quiet.csv"), "hsne"), "No Packets Found\nVerify Test type");
    EXPECT_EQ(std::distance(fs::directory_iterator(m_Dir), fs::directory_iterator()), 1);
}

namespace {

// Pixel column of time t on a signal plot spanning the whole capture.
struct CTimeColumns {
    double t0, t1;
    int Px(double t) const { return Round(kLeft + (kRight - kLeft) * (t - t0) / (t1 - t0)); }
};
struct CValueRows {
    double v0, v1;
    int Py(double v) const { return Round(kBottom - (kBottom - kTop) * (v - v0) / (v1 - v0)); }
};

CTimeColumns ColumnsOf(const synth::SynthTruth& truth) {
    return {truth.m_dStartTime,
            truth.m_dStartTime + static_cast<double>(truth.m_nSamples - 1) / truth.m_dSampleRate};
}

// Centre columns of the groups of `colour` pixels, left to right.
std::vector<double> MarkerColumns(const CCanvas::CImage& image, CRgb colour) {
    std::vector<double> centres;
    int first = -1, last = -1;
    for (int x = 0; x <= image.width; ++x) {
        bool lit = false;
        for (int y = 0; x < image.width && y < image.height && !lit; ++y)
            lit = image.At(x, y) == colour;
        if (lit) {
            if (first < 0) first = x;
            last = x;
        } else if (first >= 0 && x > last + 1) {
            centres.push_back((first + last) / 2.0);
            first = -1;
        }
    }
    return centres;
}

// Middles of bits whose neighbours hold the same state: the trace is flat there.
std::vector<std::pair<double, char>> SteadyBits(const synth::PacketTruth& packet, double ui) {
    std::vector<std::pair<double, char>> bits;
    const std::string& s = packet.m_strStates;
    for (std::size_t i = 1; i + 1 < s.size(); ++i)
        if (s[i - 1] == s[i] && s[i] == s[i + 1] && s[i] != 'E')
            bits.push_back({packet.m_dStart + (i + 0.5) * ui, s[i]});
    return bits;
}

std::vector<CPixel> OutsideFrame(const CCanvas::CImage& image, const std::vector<CRgb>& colours) {
    std::vector<CPixel> outside;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            if (x >= kFrameLeft && x <= kFrameRight && y >= kFrameTop && y <= kFrameBottom)
                continue;
            for (CRgb c : colours)
                if (image.At(x, y) == c) outside.push_back({x, y});
        }
    return outside;
}

}  // namespace

TEST_F(SignalRun, HighSpeedPlotsShowTheTraceAndMarkTheEopWhereTheCaptureHasIt) {
    const synth::SynthTruth truth = HighSpeed("hs.csv", Hs());
    ASSERT_EQ(RunSignalCheck(Path("hs.csv"), "hsne"), "");
    const CCanvas::CImage plot = Picture("hsPlot.png");
    ASSERT_EQ(plot.width, 604);
    ASSERT_EQ(plot.height, 454);

    const CTimeColumns columns = ColumnsOf(truth);
    const std::vector<double> markers = MarkerColumns(plot, kEopFill);
    ASSERT_EQ(markers.size(), 2u);
    EXPECT_NEAR(markers[0], columns.Px(truth.m_Packets[0].m_dEopStartAtLevel), 1.0);
    EXPECT_NEAR(markers[1], columns.Px(truth.m_Packets[0].m_dEopEndAtLevel), 1.0);

    // J at +swing, K at -swing, one percent of headroom beyond the larger.
    const double swing = truth.m_dHighLevel;
    const CValueRows rows{-swing * 1.01, swing * 1.01};
    const auto bits = SteadyBits(truth.m_Packets[0], truth.m_dUnitInterval);
    ASSERT_GT(bits.size(), 10u);
    for (const auto& [t, state] : bits)
        EXPECT_EQ(plot.At(columns.Px(t), rows.Py(state == 'J' ? swing : -swing)), kPurple) << t;

    const CCanvas::CImage eye = Picture("hsEye.png");
    ASSERT_EQ(eye.width, 604);
    ASSERT_EQ(eye.height, 454);
    EXPECT_TRUE(OutsideFrame(eye, {kPurple}).empty());
    EXPECT_EQ(eye.At(kFrameRight, (kFrameTop + kFrameBottom) / 2), (CRgb{0, 0, 0}));

    // The test type's inner keep-out polygon, red where its corners put it: the
    // axis spans one unit interval and the larger of the signal and the boxes,
    // with 2.5 % of the signal's span beyond.
    const std::unique_ptr<CSigSpec> spec = CSigTestSpec().SelectSpec("hsne");
    const EyeTemplate& keepOut = spec->m_Eye1;
    const double top = std::max(swing, keepOut.TopV[1]) + 0.05 * swing;
    const CTimeColumns ui{0.0, keepOut.BottomT[2]};
    const CValueRows volts{-top, top};
    const CRgb red{255, 0, 0};
    const int left = ui.Px(keepOut.InnerT[0]), right = ui.Px(keepOut.InnerT[3]);
    const int centre = volts.Py(keepOut.InnerV[0]), flat = volts.Py(keepOut.InnerV[4]);
    EXPECT_EQ(eye.At(left + 2, centre), red);
    EXPECT_NE(eye.At(left - 2, centre), red);
    EXPECT_EQ(eye.At(right - 2, centre), red);
    EXPECT_NE(eye.At(right + 2, centre), red);
    const int middle = ui.Px((keepOut.InnerT[1] + keepOut.InnerT[2]) / 2);
    EXPECT_EQ(eye.At(middle, flat + 2), red);
    EXPECT_NE(eye.At(middle, flat - 2), red);
}

TEST_F(SignalRun, PlotThatCannotBeSavedFailsTheRunNamingItAndWritesNoReport) {
    HighSpeed("hs.csv", Hs());
    // A folder in the way of the eye plot: nothing can be saved under its name.
    fs::create_directories(m_Dir / "hsEye.png" / "taken");
    const std::string result = RunSignalCheck(Path("hs.csv"), "hsne");
    EXPECT_NE(result.find("hsEye.png"), std::string::npos) << result;
    EXPECT_FALSE(fs::exists(m_Dir / "hs.html"));
    for (const auto& entry : fs::directory_iterator(m_Dir))
        EXPECT_EQ(entry.path().string().find(".part"), std::string::npos) << entry.path();
}

TEST_F(SignalRun, FullSpeedPlotsShowBothLinesTheCommonModeAndTheLineStates) {
    const synth::SynthTruth truth = SingleEnded("fs.csv", Fs());
    ASSERT_EQ(RunSignalCheck(Path("fs.csv"), "fs"), "");
    const CCanvas::CImage plot = Picture("fsPlot.png");
    ASSERT_EQ(plot.width, 604);
    ASSERT_EQ(plot.height, 454);

    const CTimeColumns columns = ColumnsOf(truth);
    const double high = truth.m_dHighLevel, low = truth.m_dLowLevel;
    const CValueRows rows{low - high * 0.01, high * 1.01};
    const CRgb j{25, 128, 25}, k{0, 0, 204};
    const auto bits = SteadyBits(truth.m_Packets[0], truth.m_dUnitInterval);
    ASSERT_GT(bits.size(), 3u);
    for (const auto& [t, state] : bits) {
        const int x = columns.Px(t);
        EXPECT_EQ(plot.At(x, rows.Py(state == 'J' ? high : low)), kGreen) << t;
        EXPECT_EQ(plot.At(x, rows.Py(state == 'J' ? low : high)), kBlue) << t;
        EXPECT_EQ(plot.At(x, rows.Py((high + low) / 2)), kPurple) << t;
        // The strip under the axis shows the line state of the bit.
        EXPECT_EQ(plot.At(x, kFrameBottom + 1), state == 'J' ? j : k) << t;
    }
    const int idle = columns.Px(truth.m_Packets[0].m_dEnd + 4 * truth.m_dUnitInterval);
    EXPECT_EQ(plot.At(idle, rows.Py(high)), kGreen);

    const CCanvas::CImage eye = Picture("fsEye.png");
    EXPECT_TRUE(OutsideFrame(eye, {kBlue, kGreen}).empty());
}
