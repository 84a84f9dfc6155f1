#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <tuple>
#include <vector>

#include "inrush/CMeasInrush.h"
#include "library/AnalysisRun.h"
#include "library/signal/SignalCaptures.h"
#include "plot/CPacketMarks.h"
#include "plot/CPlot.h"
#include "spec/CInrushConfig.h"
#include "spec/CSigSpec.h"
#include "spec/CSignalConfig.h"

namespace {

class PlotFiles : public ::testing::Test {
protected:
    PlotFiles() { m_Spec.m_nSpeed = m_Config->m_nHighSpeed; }
    // Draws the picture named `suffix` with `plot` and reads back what it wrote.
    CCanvas::CImage Draw(CPlot& plot, const CAnalysisRecord& record,
                         const std::string& suffix = "Plot.png") {
        const auto draw = suffix == "Eye.png"      ? &CPlot::PlotEye
                          : suffix == "Packet.png" ? &CPlot::PlotPacket
                                                   : &CPlot::PlotSignal;
        CPendingOutputs outputs;
        (plot.*draw)(record, *m_Config, m_Spec, m_Folder.Path("cap.csv"), outputs);
        outputs.Commit();
        return Picture(m_Folder.Path("cap" + suffix));
    }

    const CTempFolder m_Folder;
    const std::unique_ptr<CSigConfig> m_Config = CSignalConfig().BuildConfig();
    const CRgb m_Trace = Rgb(m_Config->m_ColourB);
    CSigSpec m_Spec;
};

// A differential square wave of ±0.4 V: `bits` unit intervals of `perBit` samples,
// 1 ns apart, then one interval of 0 V idle.
CAnalysisRecord SquareWave(int bits, int perBit) {
    CAnalysisRecord record;
    for (int i = 0; i < (bits + 1) * perBit; ++i)
        record.m_Diff.push_back(i / perBit == bits ? 0.0 : (i / perBit % 2 ? -0.4 : 0.4));
    record.m_Time = CSampleTimes(0.0, 1e-9, record.m_Diff.size());
    return record;
}

// The row of value v, as the plot's horizontal grid lines are labelled.
int Row(const CPlot& plot, double v) {
    const CGridLines& grid = plot.HorizontalGrid();
    const double p0 = grid.m_Positions.front(), p1 = grid.m_Positions.back();
    const double v0 = grid.m_Values.front(), v1 = grid.m_Values.back();
    return static_cast<int>(std::lround(p0 + (p1 - p0) * (v - v0) / (v1 - v0)));
}

// 200 ms of supply current at 10 kS/s from `start`: 20 mA drawn, and a 5 ms
// rectangular pulse at each (time, peak) that undershoots to -0.2 A for one
// sample as it ends.
CInrushRecord Attach(double start, const std::vector<std::pair<double, double>>& pulses) {
    CInrushRecord record;
    record.m_Time = CSampleTimes(start, 1e-4, 2001);
    record.m_Current.assign(record.m_Time.size(), 0.02);
    for (const auto& [at, peak] : pulses) {
        const auto first = static_cast<std::size_t>(std::lround((at - start) * 1e4));
        std::fill_n(record.m_Current.begin() + first, 50, peak);
        record.m_Current[first + 50] = -0.2;
    }
    return record;
}

}  // namespace

// Attach pulses of 1 A, of 1 A and 0.5 A 40 ms apart, of 50 mA (under the 0.1 A
// threshold: no region, and the axis still reaches 0.11 A to show the line), and
// of 1 A on a scope time base that starts at 0.5 s. Every axis runs from 10 %
// under the undershoot to 10 % over the peak, in milliseconds, whatever overflow
// mark or empty sample the capture holds.
TEST_F(PlotFiles, CurrentPlotShowsTheThresholdAndMarksEveryInrushRegion) {
    const CInrushSpec spec = *CInrushConfig().BuildConfig();
    struct CCase {
        double start;
        std::vector<std::pair<double, double>> pulses;
        double yMax;
        std::vector<double> marks;
    };
    const CCase cases[] = {{0.0, {{0.05, 1.0}}, 1.1, {0.05}},
                           {0.0, {{0.02, 1.0}, {0.06, 0.5}}, 1.1, {0.02, 0.06}},
                           {0.0, {{0.05, 0.05}}, 0.11, {}},
                           {0.5, {{0.55, 1.0}}, 1.1, {0.55}}};
    for (const CCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.start) + " s, " + std::to_string(c.pulses.size()) +
                     " pulses of " + std::to_string(c.pulses[0].second) + " A");
        CInrushRecord record = CMeasInrush().MeasureInrush(Attach(c.start, c.pulses), spec);
        record.m_strFile = m_Folder.Path("inrush.csv");
        record.m_Current[300] = 9.9e37;
        record.m_Current[1700] = std::nan("");
        CPlot plot;
        CPendingOutputs outputs;
        plot.PlotCurrent(record, spec, outputs);
        outputs.Commit();
        const CCanvas::CImage image = Picture(m_Folder.Path("inrushPlot.png"));
        const CPlotFrame frame(image);
        const double ms0 = c.start * 1e3, ms1 = ms0 + 200.0;
        const auto x = [&](double t) { return frame.Column(t * 1e3, ms0, ms1); };
        const auto y = [&](double amps) { return frame.Row(amps, -0.22, c.yMax); };
        EXPECT_EQ(plot.VerticalGrid().m_Values.front(), ms0);
        EXPECT_GT(plot.VerticalGrid().m_Values.back(), ms1 - 100.0);
        EXPECT_TRUE(Near(image, x(c.start + 0.15), y(0.1), Rgb(spec.m_ColourA)));
        const auto& [at, peak] = c.pulses[0];
        EXPECT_TRUE(Near(image, x(at + 2.5e-3), y(peak), Rgb(spec.m_ColourB)));
        // Above every peak, where only the region marker crosses.
        EXPECT_EQ(record.m_RegionStart.size(), c.marks.size());
        for (double t : c.marks)
            EXPECT_TRUE(Near(image, x(t), y(0.97 * c.yMax), Rgb(spec.m_ColourC))) << t;
    }
}

TEST_F(PlotFiles, SignalPlotMarksTheEopAndTheEyeViolationsOnTheirSamples) {
    // Some nineteen samples to a pixel column; a one-sample dip in a high bit shows.
    CAnalysisRecord record = SquareWave(8, 1000);
    record.m_Diff[2500] = -0.4;
    CPacketMeasurement packet;
    packet.m_dEopStart = 3000e-9;
    packet.m_dEopEnd = 6000e-9;
    packet.m_dEopThreshold = -0.2;
    // The flags cover samples 3000 to 3999 only, as an eye check of that stretch gives them.
    packet.m_EyeFinal.m_nFlagStart = 3000;
    packet.m_EyeFinal.m_Flags1.assign(1000, 0);
    packet.m_EyeFinal.m_Flags1[3500 - 3000] = 1;
    record.m_Measurements.push_back(packet);
    CPlot plot;
    const CCanvas::CImage image = Draw(plot, record);
    const CPlotFrame frame(image);
    const auto x = [&](double ns) { return frame.Column(ns, 0, 8999); };
    // One percent of headroom beyond ±0.4 V.
    EXPECT_NEAR(frame.Row(0.4, -0.404, 0.404), Row(plot, 0.4), 1);
    EXPECT_EQ(image.At(x(2500), Row(plot, 0.0)), m_Trace);
    for (double t : {3000.0, 6000.0})
        EXPECT_EQ(image.At(x(t), Row(plot, -0.2)), Rgb(m_Config->m_ColourF)) << t;
    EXPECT_TRUE(Near(image, x(3500), Row(plot, -0.4), Rgb(m_Config->m_ColourG)));  // a low bit
    // Checked samples inside the eye that did not violate it carry no dot.
    for (double t : {500.0, 3200.0, 3800.0})
        EXPECT_FALSE(Near(image, x(t), Row(plot, t < 1000 ? 0.4 : -0.4), Rgb(m_Config->m_ColourG)))
            << t;
}

TEST_F(PlotFiles, CapturesThatDefeatTheScaleStillGiveAFramedPlotOfTheirValues) {
    // Entirely below 0 V, the headroom still widens the range; NaN gaps and a
    // scope's 9.9e37 overflow mark stand for no value; a corrupt 1e30 V sample and a
    // capture flat at 0 V, all at time 0, have no scale to read.
    CAnalysisRecord negative = SquareWave(8, 100), overflow = SquareWave(4, 10);
    CAnalysisRecord corrupt = SquareWave(4, 10), flat;
    for (double& v : negative.m_Diff) v = v / 2 - 0.5;  // -0.7 .. -0.3 V
    overflow.m_Diff[3] = std::nan("");
    overflow.m_Diff[7] = 9.9e37;
    corrupt.m_Diff[7] = 1e30;
    flat.m_Time = CSampleTimes(0.0, 0.0, 50);
    flat.m_Diff.assign(50, 0.0);
    // Each with its axes and a sample that must show.
    for (const auto& [record, t1, v0, v1, t, v] :
         {std::tuple{&negative, 899.0, -0.703, -0.297, 150.0, -0.7},
          {&overflow, 49.0, -0.404, 0.404, 25.0, 0.4},
          {&flat, 1.0, -1.0, 1.0, 0.5, 0.0},
          {&corrupt, 49.0, -1e30, 1e30, 0.0, 0.0}}) {
        CPlot plot;
        const CCanvas::CImage image = Draw(plot, *record);
        EXPECT_LE(plot.HorizontalGrid().m_Values.size(), 100u) << t1;
        EXPECT_LE(plot.VerticalGrid().m_Values.size(), 101u) << t1;
        const CPlotFrame frame(image);
        ASSERT_GE(frame.top, 0) << t1;
        if (record != &corrupt) {
            EXPECT_TRUE(Near(image, frame.Column(t, 0, t1), frame.Row(v, v0, v1), m_Trace)) << t1;
        }
    }
}

TEST_F(PlotFiles, EyePlotDrawsTheTemplatesWhereTheirCornersSayAndStopsTracesAtTheFrame) {
    // A keep-out diamond from 0.2 to 0.8 unit intervals, ±0.2 V, between boxes
    // beyond ±0.5 V; the second template a narrower diamond, its top box above 0.6 V.
    const double ui = 2e-9;
    m_Spec.m_Eye1 = {{-10000, -0.5, -0.5, -10000},
                     {0, 0, ui, ui},
                     {0, -0.2, -0.2, 0, 0.2, 0.2, 0},
                     {0.2 * ui, 0.4 * ui, 0.6 * ui, 0.8 * ui, 0.6 * ui, 0.4 * ui, 0.2 * ui},
                     {10000, 0.5, 0.5, 10000},
                     {0, 0, ui, ui}};
    m_Spec.m_Eye2 = m_Spec.m_Eye1;
    m_Spec.m_Eye2.InnerV = {0, -0.15, -0.15, 0, 0.15, 0.15, 0};
    m_Spec.m_Eye2.TopV = {10000, 0.6, 0.6, 10000};
    // States of ±0.4 V two unit intervals long, eight samples to an interval. Each
    // boundary lies half a sample before the sample that closes its interval, so
    // every interval runs on a sixteenth of the eye past its right edge.
    CAnalysisRecord record;
    CPacketMeasurement packet;
    for (int i = 0; i <= 80; ++i) record.m_Diff.push_back((i / 16) % 2 ? -0.4 : 0.4);
    record.m_Time = CSampleTimes(0.0, ui / 8, record.m_Diff.size());
    for (int k = 0; k <= 10; ++k) {
        packet.m_EyeAux.push_back(8 * k);
        packet.m_BitTimes.push_back((8 * k - 0.5) * ui / 8);
    }
    record.m_Measurements.push_back(packet);
    CPlot plot;
    const CCanvas::CImage image = Draw(plot, record, "Eye.png");

    // Red inside the keep-out polygon and boxes, and not just past their corners.
    const CPlotFrame frame(image);
    const auto x = [&](double ns) { return frame.Column(ns, 0, 2); };
    const CRgb red{255, 0, 0}, yellow = Rgb(m_Config->m_ColourI);
    for (const auto& [t, v] :
         {std::pair{1.0, 0.0}, {0.42, 0.0}, {1.58, 0.0}, {1.0, -0.19}, {1.0, 0.51}, {1.0, -0.51}})
        EXPECT_EQ(image.At(x(t), Row(plot, v)), red) << t << " ns, " << v << " V";
    for (const auto& [t, v] : {std::pair{0.36, 0.0}, {1.64, 0.0}, {1.0, -0.23}, {1.0, 0.45}})
        EXPECT_NE(image.At(x(t), Row(plot, v)), red) << t << " ns, " << v << " V";
    // The second template's outline and its top level, below the frame's top: the
    // first red row. The traces reach the frame and stop there.
    EXPECT_EQ(image.At(x(1.0), Row(plot, 0.15)), yellow);
    EXPECT_EQ(image.At(x(1.0), Row(plot, 0.6)), yellow);
    int firstRed = image.height, firstYellow = image.height, outside = 0;
    for (int py = image.height - 1; py >= 0; --py)
        for (int px = 0; px < image.width; ++px) {
            firstRed = image.At(px, py) == red ? py : firstRed;
            firstYellow = image.At(px, py) == yellow ? py : firstYellow;
            outside += image.At(px, py) == m_Trace && (px <= frame.left || px >= frame.right);
        }
    EXPECT_GT(firstYellow, firstRed);
    EXPECT_EQ(outside, 0);
    for (double v : {0.4, -0.4}) EXPECT_EQ(image.At(frame.right - 1, Row(plot, v)), m_Trace);
}

// A clean high-speed packet, and one at half the swing whose levels lie inside the eye's
// keep-out polygon: only the second puts the violation colour in the plot area, and not
// on its EOP, which the verdict forgives. Above the traces the bit grid's lines lie one
// unit interval apart, as the time grid measures it, one to each bit of the packet.
TEST_F(PlotFiles, PacketPlotShowsTheBitGridAndOnlyTheSamplesThatBreakTheEye) {
    m_Spec = captures::Limits("hsne");
    for (const double swing : {0.4, 0.2}) {
        SCOPED_TRACE(swing);
        synth::HighSpeedParams params;
        params.m_Traffic.m_nPackets = 1;
        params.m_Traffic.m_nPayloadBytes = 2;
        params.m_dSwing = swing;
        const captures::Measured m = captures::HighSpeed(params);
        CPlot plot;
        const CCanvas::CImage image = Draw(plot, m.m_Record, "Packet.png");
        const CPlotFrame frame(image);
        const CGridLines& ns = plot.VerticalGrid();
        const double perNs =
            (ns.m_Positions.back() - ns.m_Positions[1]) / (ns.m_Values.back() - ns.m_Values[1]);
        const double eop =
            ns.m_Positions[1] + (m.m_Truth.m_dEopStart * 1e9 - ns.m_Values[1]) * perNs;
        int red = 0, redInEop = 0;
        std::vector<int> lines;
        for (int x = frame.left + 1; x < frame.right; ++x) {
            for (int y = frame.top + 1; y < frame.bottom; ++y)
                (x > eop + 1 ? redInEop : red) += image.At(x, y) == Rgb(m_Config->m_ColourG);
            if (image.At(x, frame.top + 1) == CPacketMarks::kBitGridColour) lines.push_back(x);
        }
        EXPECT_EQ(red > 0, swing < 0.3) << red;
        EXPECT_EQ(redInEop, 0);
        EXPECT_NEAR(lines.size(), m.m_Truth.m_Packets.at(0).m_strStates.size(), 2);
        for (std::size_t k = 1; k < lines.size(); ++k)
            EXPECT_NEAR(lines[k] - lines[k - 1], m.m_Truth.m_dUnitInterval * 1e9 * perNs, 1.0) << k;
    }
}
