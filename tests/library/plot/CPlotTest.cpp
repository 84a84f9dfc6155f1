#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>

#include "entry/CAnalysisError.h"
#include "entry/CAnalysisRecord.h"
#include "plot/CPlot.h"
#include "spec/CSigSpec.h"
#include "spec/CSignalConfig.h"

namespace fs = std::filesystem;

namespace {

// Plot area of the 604 x 454 canvas, from the fractions the frame is laid out by.
constexpr double kL = 0.119 * 604, kT = 0.0938 * 454;
constexpr double kR = 0.9048 * 604, kB = 0.875 * 454;
int Round(double v) { return static_cast<int>(std::floor(v + 0.5)); }

struct CAxes {
    double xMin, xMax, yMin, yMax;
    int Px(double x) const { return Round(kL + (kR - kL) * (x - xMin) / (xMax - xMin)); }
    int Py(double y) const { return Round(kB - (kB - kT) * (y - yMin) / (yMax - yMin)); }
};

constexpr CRgb kPurple{140, 0, 140}, kBlue{0, 0, 204}, kGreen{25, 127, 25}, kRed{255, 0, 0};
constexpr CRgb kBlack{0, 0, 0}, kWhite{255, 255, 255}, kYellow{216, 216, 0};
constexpr CRgb kEopFill{204, 179, 0}, kEopEdge{76, 76, 76};

class PlotFiles : public ::testing::Test {
protected:
    void SetUp() override {
        m_Dir = fs::temp_directory_path() /
                ("velkin_plot_" +
                 std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(m_Dir);
        fs::create_directories(m_Dir);
        m_Config = CSignalConfig().BuildConfig();
    }
    void TearDown() override { fs::remove_all(m_Dir); }
    std::string Data() const { return (m_Dir / "cap.csv").string(); }
    CCanvas::CImage Read(const char* name) const {
        const auto image = CCanvas::ReadPng((m_Dir / name).string());
        EXPECT_TRUE(image.has_value()) << name;
        return image.value_or(CCanvas::CImage{});
    }
    CSigSpec HighSpeed() const {
        CSigSpec spec;
        spec.m_nSpeed = m_Config->m_nHighSpeed;
        spec.m_strSignalYLabel = "differential signal, V";
        return spec;
    }

    fs::path m_Dir;
    std::unique_ptr<CSigConfig> m_Config;
};

// A differential square wave, ±0.4 V, `bits` unit intervals of `perBit` samples
// at 1 ns each, ending at 0 V idle for one interval.
CAnalysisRecord SquareWave(int bits, int perBit) {
    CAnalysisRecord record;
    for (int i = 0; i < (bits + 1) * perBit; ++i) {
        record.m_Time.push_back(i * 1e-9);
        const int bit = i / perBit;
        record.m_Diff.push_back(bit == bits ? 0.0 : (bit % 2 ? -0.4 : 0.4));
    }
    return record;
}

}  // namespace

TEST(PlotScales, GridStepsPrefixesAndLabelsFollowTheirRules) {
    EXPECT_EQ(CPlot::ValueGridStep(30), 10);  // r = 3 gives 10, not 5
    EXPECT_EQ(CPlot::ValueGridStep(60), 5);
    EXPECT_EQ(CPlot::ValueGridStep(120), 10);
    EXPECT_EQ(CPlot::ValueGridStep(1.0), 0.2);
    EXPECT_EQ(CPlot::TimeGridStep(10), 1);
    EXPECT_EQ(CPlot::TimeGridStep(870), 100);

    const std::vector<double> ns{0.0, -2.5e-7}, us{3e-6};
    EXPECT_EQ(CPlot::TimePrefix(ns).m_dFactor, 1e9);
    EXPECT_EQ(CPlot::TimePrefix(ns).m_strPrefix, "n");
    EXPECT_EQ(CPlot::TimePrefix(us).m_dFactor, 1e6);
    EXPECT_EQ(CPlot::TimePrefix(us).m_strPrefix, "\xC2\xB5");
    const std::vector<double> zeros(5, 0.0);
    EXPECT_EQ(CPlot::TimePrefix(zeros).m_dFactor, 1.0);
    EXPECT_EQ(CPlot::TimePrefix(zeros).m_strPrefix, "");
    const std::vector<double> gaps{std::nan(""), 2.5e-7, std::numeric_limits<double>::infinity()};
    EXPECT_EQ(CPlot::TimePrefix(gaps).m_strPrefix, "n");

    EXPECT_EQ(CPlot::ValueLabel(-0.4, 0.2), "-0.4");
    EXPECT_EQ(CPlot::ValueLabel(1e-17, 0.2), "0.0");
    EXPECT_EQ(CPlot::ValueLabel(-1e-17, 0.2), "0.0");
    EXPECT_EQ(CPlot::ValueLabel(0.015, 0.005), "0.015");
    EXPECT_EQ(CPlot::ValueLabel(0.0015, 0.0005), "0.0015");
    EXPECT_EQ(CPlot::ValueLabel(20, 10), "20");
    EXPECT_EQ(CPlot::TimeLabel(1.5, 0.5), "1.5");
    EXPECT_EQ(CPlot::TimeLabel(300, 100), "300");
}

TEST(PlotScales, GridLinesSitOnTrueMultiplesOfTheStep) {
    CPlot plot;
    plot.StartCanvas();
    plot.SetFrame(-5, 5, -0.5, 0.5, 2, 0.2);
    const double sx = (kR - kL) / 10;
    EXPECT_EQ(plot.VerticalGrid().m_Values, (std::vector<double>{-5, -4, -2, 0, 2, 4}));
    EXPECT_EQ(plot.VerticalGrid().m_Positions[1], Round(kL + sx));
    const std::vector<double>& h = plot.HorizontalGrid().m_Values;
    ASSERT_EQ(h.size(), 5u);
    for (std::size_t i = 0; i < h.size(); ++i) EXPECT_NEAR(h[i], -0.4 + 0.2 * i, 1e-12);
    EXPECT_NEAR(plot.HorizontalGrid().m_Positions[2], (kT + kB) / 2, 1e-9);

    // A time axis that starts above zero labels its first line with the value
    // it stands at, not with one step.
    CPlot late;
    late.StartCanvas();
    late.SetFrame(3, 13, 0, 1, 2, 0.2);
    EXPECT_EQ(late.VerticalGrid().m_Values, (std::vector<double>{3, 4, 6, 8, 10, 12}));
    EXPECT_EQ(late.VerticalGrid().m_Positions[1], Round(kL + sx));

    // An axis that starts on a multiple of the step draws no line over the
    // frame and labels its left edge once.
    for (const auto& [xMin, xMax, step] : {std::array{-4.0, 6.0, 2.0}, {0.3, 1.3, 0.1}}) {
        CPlot onStep;
        onStep.StartCanvas();
        onStep.SetFrame(xMin, xMax, 0, 1, step, 0.2);
        const CGridLines& v = onStep.VerticalGrid();
        ASSERT_GE(v.m_Values.size(), 3u) << xMin;
        EXPECT_GT(v.m_Positions[1], Round(kL)) << xMin;
        EXPECT_NEAR(v.m_Values[1], xMin + step, 1e-9) << xMin;
    }

    CPlot fromZero;
    fromZero.StartCanvas();
    fromZero.SetFrame(0, 10, 0, 1, 2, 0.2);
    EXPECT_EQ(fromZero.VerticalGrid().m_Positions[1], Round(kL + 2 * sx + 1));
}

TEST_F(PlotFiles, SignalPlotIsA24BitPictureFramedWhereTheGeometrySays) {
    const CAnalysisRecord record = SquareWave(8, 100);
    CPlot().PlotSignal(record, *m_Config, HighSpeed(), Data());

    std::ifstream png(m_Dir / "capPlot.png", std::ios::binary);
    std::vector<unsigned char> head(26);
    png.read(reinterpret_cast<char*>(head.data()), 26);
    auto be32 = [&](int at) {
        return head[at] << 24 | head[at + 1] << 16 | head[at + 2] << 8 | head[at + 3];
    };
    EXPECT_EQ(be32(16), 604);
    EXPECT_EQ(be32(20), 454);
    EXPECT_EQ(head[24], 8);  // bits per channel
    EXPECT_EQ(head[25], 2);  // RGB, no alpha

    const CCanvas::CImage image = Read("capPlot.png");
    EXPECT_EQ(Round(kL), 72);
    EXPECT_EQ(Round(kT), 43);
    EXPECT_EQ(Round(kR), 546);
    EXPECT_EQ(Round(kB), 397);
    for (int y : {100, 300}) {
        EXPECT_EQ(image.At(72, y), kBlack);
        EXPECT_EQ(image.At(546, y), kBlack);
        EXPECT_EQ(image.At(71, y), kWhite);
        EXPECT_EQ(image.At(547, y), kWhite);
    }
    for (int x : {150, 400}) {
        EXPECT_EQ(image.At(x, 43), kBlack);
        EXPECT_EQ(image.At(x, 397), kBlack);
    }

    // One percent of headroom above 0.4 V and below -0.4 V; the first sample,
    // on the left edge, enters the plot one pixel inside it.
    const CAxes axes{0, 899, -0.404, 0.404};
    const int high = axes.Py(0.4), low = axes.Py(-0.4);
    EXPECT_EQ(image.At(73, high), kPurple);
    EXPECT_EQ(image.At(72, high), kBlack);
    EXPECT_EQ(image.At(axes.Px(150), low), kPurple);
    EXPECT_EQ(image.At(axes.Px(250), high), kPurple);
    EXPECT_EQ(image.At(axes.Px(250), high + 1), kWhite);
    EXPECT_EQ(image.At(axes.Px(850), axes.Py(0.0)), kPurple);
}

TEST_F(PlotFiles, EopSquaresAndViolationDotsSitOnTheirSamples) {
    CAnalysisRecord record = SquareWave(8, 100);
    CPacketMeasurement packet;
    packet.m_dEopStart = 300e-9;
    packet.m_dEopEnd = 600e-9;
    packet.m_dEopThreshold = -0.2;
    // The flags cover samples 300 .. 399 only, as an eye check of that stretch gives them.
    packet.m_EyeFinal.m_nFlagStart = 300;
    packet.m_EyeFinal.m_Flags1.assign(100, 0);
    packet.m_EyeFinal.m_Flags1[350 - 300] = 1;
    record.m_Measurements.push_back(packet);
    CPlot().PlotSignal(record, *m_Config, HighSpeed(), Data());

    const CCanvas::CImage image = Read("capPlot.png");
    const CAxes axes{0, 899, -0.404, 0.404};
    for (double t : {300.0, 600.0}) {
        const int x = axes.Px(t), y = axes.Py(-0.2);
        EXPECT_EQ(image.At(x + 2, y - 2), kEopFill) << t;
        EXPECT_EQ(image.At(x - 4, y + 1), kEopEdge) << t;
        EXPECT_EQ(image.At(x + 4, y - 3), kEopEdge) << t;
        EXPECT_EQ(image.At(x + 6, y), kWhite) << t;
    }
    // Sample 350 is in a low bit: -0.4 V at 350 ns.
    const int dotX = static_cast<int>(kL + (kR - kL) * 350 / 899);
    const int dotY = static_cast<int>(kB - (kB - kT) * (0.004 / 0.808));
    EXPECT_EQ(image.At(dotX, dotY), kRed);
    EXPECT_EQ(image.At(dotX, dotY - 2), kRed);
}

TEST_F(PlotFiles, SingleEndedStripAndCrossingsFollowTheTimeAxis) {
    // Full speed, captured over 500 ns: the axis is in ns, and so is the strip.
    CAnalysisRecord record;
    for (int i = 0; i <= 500; ++i) {
        record.m_Time.push_back(i * 1e-9);
        const bool j = i >= 100 && i < 300;
        record.m_DPlus.push_back(j ? 3.0 : 0.0);
        record.m_DMinus.push_back(j ? 0.0 : 3.0);
        record.m_CommonMode.push_back(1.5);
    }
    CPacketEntry packet;
    CSymbolRun run;
    run.m_nSymbol = 2;  // J
    run.m_dStart = 100e-9;
    run.m_dEnd = 300e-9;
    run.m_strLabel = "J";
    packet.m_Symbols.push_back(run);
    record.m_Packets.push_back(packet);
    CPacketMeasurement measured;
    measured.m_CrossingTimes = {100e-9};
    measured.m_CrossoverVolts = {1.5};
    record.m_Measurements.push_back(measured);
    CSigSpec spec;
    spec.m_nSpeed = m_Config->m_nFullSpeed;
    spec.m_dSignalScaleA = 0.5;
    spec.m_dSignalScaleB = 0.5;
    CPlot().PlotSignal(record, *m_Config, spec, Data());

    const CCanvas::CImage image = Read("capPlot.png");
    const CAxes axes{0, 500, -0.03, 3.03};
    EXPECT_EQ(image.At(axes.Px(50), axes.Py(3.0)), kBlue);    // D- high in idle
    EXPECT_EQ(image.At(axes.Px(200), axes.Py(3.0)), kGreen);  // D+ high in J
    EXPECT_EQ(image.At(axes.Px(450), axes.Py(1.5)), kPurple);
    EXPECT_EQ(image.At(axes.Px(100) + 2, axes.Py(1.5) + 1), kEopFill);  // crossing diamond
    const CRgb j{m_Config->m_nPaletteA[2], m_Config->m_nPaletteA[7], m_Config->m_nPaletteA[12]};
    EXPECT_EQ(image.At(axes.Px(110), Round(kB) + 5), j);
    EXPECT_EQ(image.At(axes.Px(290), Round(kB) + 5), j);
    EXPECT_EQ(image.At(axes.Px(320), Round(kB) + 5), kWhite);
}

TEST_F(PlotFiles, EyeTemplateIsDrawnWhereItsCornersSayAndLeftUnchanged) {
    const double ui = 2e-9;
    CSigSpec spec;
    spec.m_nSpeed = m_Config->m_nHighSpeed;
    spec.m_Eye1 = {{-10000, -0.5, -0.5, -10000},
                   {0, 0, ui, ui},
                   {0, -0.2, -0.2, 0, 0.2, 0.2, 0},
                   {0.2 * ui, 0.4 * ui, 0.6 * ui, 0.8 * ui, 0.6 * ui, 0.4 * ui, 0.2 * ui},
                   {10000, 0.5, 0.5, 10000},
                   {0, 0, ui, ui}};
    spec.m_Eye2 = spec.m_Eye1;
    spec.m_Eye2.InnerV = {0, -0.15, -0.15, 0, 0.15, 0.15, 0};
    spec.m_Eye2.InnerT = {0.25 * ui, 0.4 * ui, 0.6 * ui, 0.75 * ui, 0.6 * ui, 0.4 * ui, 0.25 * ui};
    const CSigSpec lent = spec;

    // Ten unit intervals of 40 samples, alternating ±0.4 V.
    CAnalysisRecord record;
    CPacketMeasurement packet;
    for (int i = 0; i <= 400; ++i) {
        record.m_Time.push_back(i * ui / 40);
        record.m_Diff.push_back((i / 40) % 2 ? -0.4 : 0.4);
    }
    for (int k = 0; k <= 10; ++k) {
        packet.m_EyeAux.push_back(40 * k);
        packet.m_BitTimes.push_back(k * ui);
    }
    record.m_Measurements.push_back(packet);
    CPlot().PlotEye(record, *m_Config, spec, Data());
    EXPECT_EQ(spec.m_Eye1, lent.m_Eye1);
    EXPECT_EQ(spec.m_Eye2, lent.m_Eye2);

    // y from -0.5 - 2.5 % of 0.8 V to the mirror above; x from 0 to 2 ns.
    const CCanvas::CImage image = Read("capEye.png");
    const CAxes axes{0, 2, -0.52, 0.52};
    EXPECT_EQ(image.At(axes.Px(1.0), axes.Py(0)), kRed);
    EXPECT_EQ(image.At(axes.Px(0.4), axes.Py(0)), kRed);  // left corner
    EXPECT_NE(image.At(axes.Px(0.4) - 2, axes.Py(0)), kRed);
    EXPECT_EQ(image.At(axes.Px(1.6), axes.Py(0)), kRed);  // right corner
    EXPECT_NE(image.At(axes.Px(1.6) + 2, axes.Py(0)), kRed);
    EXPECT_EQ(image.At(axes.Px(1.0), axes.Py(-0.2)), kRed);
    EXPECT_NE(image.At(axes.Px(1.0), axes.Py(-0.2) + 2), kRed);
    EXPECT_EQ(image.At(axes.Px(1.0), axes.Py(0.15)), kYellow);
    // The keep-out boxes reach the frame; the traces lie between them.
    EXPECT_EQ(image.At(axes.Px(1.0), axes.Py(0.51)), kRed);
    EXPECT_EQ(image.At(axes.Px(1.0), axes.Py(-0.51)), kRed);
    EXPECT_EQ(image.At(axes.Px(1.0), axes.Py(0.4)), kPurple);
    EXPECT_EQ(image.At(axes.Px(1.0), axes.Py(-0.4)), kPurple);
    EXPECT_EQ(image.At(axes.Px(1.0), axes.Py(0.45)), kWhite);

    // A second template whose top box sits above the first one's still has its
    // level line inside the frame.
    spec.m_Eye2.TopV = {10000, 0.6, 0.6, 10000};
    CPlot().PlotEye(record, *m_Config, spec, Data());
    const CCanvas::CImage raised = Read("capEye.png");
    EXPECT_EQ(raised.At(axes.Px(1.0), CAxes{0, 2, -0.52, 0.62}.Py(0.6)), kYellow);
    for (int y = 0; y < Round(kT); ++y)
        for (int x = 0; x < 604; ++x) ASSERT_NE(raised.At(x, y), kYellow) << x << "," << y;
}

TEST_F(PlotFiles, CapturesThatDefeatTheScaleStillGiveAFramedPlot) {
    // Entirely below 0 V: every sample stays inside the frame.
    CAnalysisRecord negative = SquareWave(8, 100);
    for (double& v : negative.m_Diff) v = v / 2 - 0.5;  // -0.7 .. -0.3 V
    CPlot().PlotSignal(negative, *m_Config, HighSpeed(), Data());
    const CCanvas::CImage image = Read("capPlot.png");
    const CAxes axes{0, 899, -0.7 - 0.003, -0.3 + 0.003};
    EXPECT_EQ(image.At(axes.Px(150), axes.Py(-0.7)), kPurple);
    EXPECT_LT(axes.Py(-0.7), Round(kB));

    // Flat at 0 V with all times 0; NaN gaps and a scope's 9.9e37 overflow mark.
    CAnalysisRecord flat;
    flat.m_Time.assign(50, 0.0);
    flat.m_Diff.assign(50, 0.0);
    CAnalysisRecord overflow = SquareWave(4, 10);
    overflow.m_Diff[3] = std::nan("");
    overflow.m_Diff[7] = 9.9e37;
    overflow.m_Time[5] = std::nan("");
    CAnalysisRecord corrupt = SquareWave(4, 10);
    corrupt.m_Diff[7] = 1e30;
    const CAxes square{0, 49, -0.404, 0.404};
    for (const CAnalysisRecord* record : {&flat, &overflow, &corrupt}) {
        CPlot plot;
        plot.PlotSignal(*record, *m_Config, HighSpeed(), Data());
        EXPECT_TRUE(fs::exists(m_Dir / "capPlot.png"));
        EXPECT_LE(plot.HorizontalGrid().m_Values.size(), 100u);
        EXPECT_LE(plot.VerticalGrid().m_Values.size(), 101u);
        const CCanvas::CImage framed = Read("capPlot.png");
        EXPECT_EQ(framed.At(72, 200), kBlack);
        EXPECT_EQ(framed.At(546, 250), kBlack);
        // The flat capture is one point in the middle of the frame; the overflow
        // mark is no value, so the square wave keeps its ±0.4 V scale.
        if (record == &flat) {
            EXPECT_EQ(framed.At(Round((kL + kR) / 2), Round((kT + kB) / 2)), kPurple);
        } else if (record == &overflow) {
            EXPECT_EQ(framed.At(square.Px(25), square.Py(0.4)), kPurple);
        }
    }
}

TEST_F(PlotFiles, LongTraceKeepsThePixelsOfItsFullPolyline) {
    // 200 000 noisy samples squeezed into 475 columns.
    std::vector<double> xs, ys;
    uint32_t seed = 12345;
    for (int i = 0; i < 200000; ++i) {
        seed = seed * 1664525u + 1013904223u;
        xs.push_back(i);
        ys.push_back(std::sin(i * 1e-4) + (seed >> 8) / double(1 << 24) * 0.3);
    }
    CPlot plot;
    plot.StartCanvas();
    plot.SetFrame(0, 199999, -1.2, 1.4, 20000, 0.5);
    plot.DrawTrace(xs, ys, {0, 0, 204});
    plot.SavePng((m_Dir / "reduced.png").string());

    const CAxes axes{0, 199999, -1.2, 1.4};
    CCanvas full(604, 454);
    std::vector<CPixel> points;
    for (std::size_t i = 1; i < xs.size(); ++i) points.push_back({axes.Px(xs[i]), axes.Py(ys[i])});
    full.Polyline(points, kBlue);
    full.SavePng((m_Dir / "full.png").string());

    const CCanvas::CImage a = Read("reduced.png"), b = Read("full.png");
    int differing = 0, lit = 0;
    for (int y = 0; y < 454; ++y)
        for (int x = 74; x < 604; ++x) {
            const bool inA = a.At(x, y) == kBlue, inB = b.At(x, y) == kBlue;
            lit += inB;
            differing += inA != inB;
        }
    EXPECT_GT(lit, 10000);
    EXPECT_LT(differing, lit / 200);
}

TEST_F(PlotFiles, UnwritableFolderNamesThePngAndLeavesNoFile) {
    const fs::path missing = m_Dir / "absent" / "cap.csv";
    try {
        CPlot().PlotSignal(SquareWave(2, 10), *m_Config, HighSpeed(), missing.string());
        FAIL() << "no failure";
    } catch (const CAnalysisError& e) {
        EXPECT_EQ(std::string(e.what()), "No such file or directory: capPlot.png");
    }
    EXPECT_FALSE(fs::exists(m_Dir / "absent"));

    // Written again, a plot replaces the earlier one and leaves nothing else.
    CPlot().PlotSignal(SquareWave(2, 10), *m_Config, HighSpeed(), Data());
    CPlot().PlotSignal(SquareWave(3, 10), *m_Config, HighSpeed(), Data());
    EXPECT_EQ(std::distance(fs::directory_iterator(m_Dir), fs::directory_iterator()), 1);

    EXPECT_EQ(CPlot::PlotFileName("/caps/x/hs1.csv", "Eye.png"), "/caps/x/hs1Eye.png");
    EXPECT_EQ(CPlot::PlotFileName("hs1.csv", "Plot.png"),
              (fs::current_path() / "hs1Plot.png").string());
}

TEST_F(PlotFiles, EyeTracesStopAtTheFrameWhenIntervalsRunPastTheEdge) {
    const double ui = 2e-9;
    CSigSpec spec;
    spec.m_nSpeed = m_Config->m_nHighSpeed;
    spec.m_Eye1 = {{-10000, -0.5, -0.5, -10000}, {0, 0, ui, ui},
                   {0, -0.1, 0, 0.1, 0},         {0.4 * ui, 0.5 * ui, 0.6 * ui, 0.5 * ui, 0.4 * ui},
                   {10000, 0.5, 0.5, 10000},     {0, 0, ui, ui}};
    spec.m_Eye2 = spec.m_Eye1;

    // Eight samples per unit interval, each boundary half a sample before the
    // sample that closes its interval: every interval runs on a sixteenth of
    // the eye past its right edge. Bits come in pairs, so half the intervals
    // stay flat across the edge.
    CAnalysisRecord record;
    CPacketMeasurement packet;
    for (int i = 0; i <= 80; ++i) {
        record.m_Time.push_back(i * ui / 8);
        record.m_Diff.push_back((i / 16) % 2 ? -0.4 : 0.4);
    }
    for (int k = 0; k <= 10; ++k) {
        packet.m_EyeAux.push_back(8 * k);
        packet.m_BitTimes.push_back((8 * k - 0.5) * ui / 8);
    }
    record.m_Measurements.push_back(packet);
    CPlot().PlotEye(record, *m_Config, spec, Data());

    const CCanvas::CImage image = Read("capEye.png");
    const CAxes axes{0, 2, -0.52, 0.52};
    int inside = 0, outside = 0;
    for (int y = 0; y < 454; ++y)
        for (int x = 0; x < 604; ++x) {
            if (!(image.At(x, y) == kPurple)) continue;
            ++(x > 72 && x < 546 && y > 43 && y < 397 ? inside : outside);
        }
    EXPECT_GT(inside, 400);
    EXPECT_EQ(outside, 0);
    // The traces reach the frame and leave it black.
    for (double v : {0.4, -0.4}) {
        EXPECT_EQ(image.At(545, axes.Py(v)), kPurple);
        EXPECT_EQ(image.At(546, axes.Py(v)), kBlack);
        EXPECT_EQ(image.At(547, axes.Py(v)), kWhite);
    }
}
