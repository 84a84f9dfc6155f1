#include "plot/CPlot.h"

#include <algorithm>
#include <cmath>

#include "common/CAnalysisError.h"
#include "common/CPathNames.h"
#include "input/CInrushRecord.h"
#include "plot/CPacketMarks.h"
#include "plot/CPlotMarks.h"
#include "plot/CPlotScale.h"
#include "signal/CSignalRegions.h"
#include "signal/CAnalysisRecord.h"
#include "spec/CInrushSpec.h"
#include "spec/CSigConfig.h"
#include "spec/CSigSpec.h"

namespace {

constexpr std::size_t kMaxViolationDots = 1000;
// Room around a trace so its peaks do not sit on the frame.
constexpr double kSignalHeadroom = 0.01;
constexpr double kEyeHeadroom = 0.025;
constexpr double kCurrentHeadroom = 0.1;
// A device that stays under the inrush threshold still gets an axis that shows
// the threshold line: the picture says its current never reached it.
constexpr double kLowestCurrentTop = 0.11;  // A
// Room around the packet's levels for the marks on them: a violation dot on the top
// level of a packet drawn with kSignalHeadroom would be cut by the frame.
constexpr double kPacketHeadroom = 0.05;
// Idle bus shown either side of the packet: enough to see it leave idle and come back.
constexpr double kIdleBitsShown = 4.0;

// The eye's time axis in the prefix of its unit interval: ns at high speed.
double EyeTimeFactor(double unitInterval) {
    if (unitInterval != 0.0 && std::isfinite(unitInterval))
        return std::pow(10.0, -3.0 * std::floor(std::log10(std::abs(unitInterval)) / 3.0));
    return 1.0;
}

// The keep-out boxes reach the frame, above and below, and the template times
// take the eye's time unit.
void StretchToFrame(std::array<EyeTemplate, 2>& eyes, double yMin, double yMax, double factor) {
    for (EyeTemplate& eye : eyes) {
        eye.BottomV.at(0) = eye.BottomV.at(3) = yMin;
        eye.TopV.at(0) = eye.TopV.at(3) = yMax;
        for (std::vector<double>* times : {&eye.BottomT, &eye.InnerT, &eye.TopT})
            for (double& t : *times) t *= factor;
    }
}

// Amperes from 10 % under the undershoot to 10 % over the peak.
std::pair<double, double> CurrentRange(std::span<const double> current) {
    CValueRange amps;
    amps.Extend(current);
    double yMin = amps.m_dLow - std::abs(kCurrentHeadroom * amps.m_dLow);
    double yMax = std::max(amps.m_dHigh * (1.0 + kCurrentHeadroom), kLowestCurrentTop);
    CPlotScale::EnsureSpan(yMin, yMax);
    return {yMin, yMax};
}

}  // namespace

CPlot::CPlot() = default;
CPlot::~CPlot() = default;

void CPlot::PlotSignal(const CAnalysisRecord& record, const CSigConfig& config,
                       const CSigSpec& spec, const std::string& dataFile,
                       CPendingOutputs& outputs) {
    if (record.m_Time.empty()) throw CAnalysisError("No samples in the capture to plot");
    const CCaptureAxis time = CPlotScale::CaptureAxis(record.m_Time);
    const bool differential = spec.m_nSpeed == config.m_nHighSpeed;
    const Traces traces = ShownTraces(record, config, differential);
    const CShownSamples all{0, record.m_Time.size()};
    DrawSignalFrame(traces, spec, time, differential);
    DrawSignalTraces(record, traces, all, config, time.m_dFactor);
    if (!record.m_Measurements.empty()) {
        const CPacketMeasurement& packet = record.m_Measurements.front();
        MarkEyeViolations(record, packet, traces, config, time.m_dFactor);
        MarkEopEdges(packet, config, time.m_dFactor);
        if (!differential) MarkCrossovers(packet, config, time.m_dFactor);
    }
    if (!differential) DrawSymbolStrip(record, config, time.m_dFactor);
    m_Area->SavePng(OutputNamesOf(dataFile).Path("Plot.png"), outputs);
}

void CPlot::PlotEye(const CAnalysisRecord& record, const CSigConfig& config, const CSigSpec& spec,
                    const std::string& dataFile, CPendingOutputs& outputs) {
    // The keep-out boxes are stretched to the frame, on copies: the test type's
    // templates are lent to every stage of the run and must leave this plot as they came.
    EyeTemplates eyes{spec.m_Eye1, spec.m_Eye2};
    const double factor = EyeTimeFactor(eyes[0].BottomT.at(3));
    const Traces traces = ShownTraces(record, config, spec.m_nSpeed == config.m_nHighSpeed);
    const auto [yMin, yMax] = EyeRange(traces, eyes);
    StretchToFrame(eyes, yMin, yMax, factor);
    DrawEyeFrame(spec, eyes[0].BottomT.at(2), yMin, yMax);
    DrawEyeTemplates(eyes, config);
    if (!record.m_Measurements.empty()) DrawFoldedIntervals(record, traces, factor);
    m_Area->SavePng(OutputNamesOf(dataFile).Path("Eye.png"), outputs);
}

void CPlot::PlotPacket(const CAnalysisRecord& record, const CSigConfig& config,
                       const CSigSpec& spec, const std::string& dataFile,
                       CPendingOutputs& outputs) {
    const CPacketEntry& entry = MeasuredPacket(record);
    const CPacketMeasurement& packet = record.m_Measurements.front();
    const Range stretch = PacketStretch(record, entry);
    const CCaptureAxis time = CPlotScale::StretchAxis(stretch.first, stretch.second);
    const CShownSamples shown =
        SamplesWithin(record.m_Time, {time.m_dMin / time.m_dFactor, time.m_dMax / time.m_dFactor});
    const bool differential = spec.m_nSpeed == config.m_nHighSpeed;
    const Traces traces = ShownTraces(record, config, differential);
    // The time labels follow the packet's own grid step, not the test type's for whole
    // captures; a single-ended pair keeps its value step and the line-state strip.
    const auto [yMin, yMax] = PacketRange(traces, shown);
    const double yStep =
        differential ? CPlotScale::ValueGridStep(yMax - yMin) : spec.m_dSignalScaleB;
    DrawTimeFrame(time, yMin, yMax, yStep, spec.m_strSignalYLabel, !differential);

    CPacketMarks marks(*m_Area, config, time.m_dFactor);
    const bool bitGrid = marks.BitGrid(packet);
    m_Area->ClipToFrame();
    DrawSignalTraces(record, traces, shown, config, time.m_dFactor);
    m_Area->EndClip();
    static const std::vector<double> kNoTrace;
    marks.Violations(record.m_Time, *traces[0].m_Values,
                     traces.size() > 1 ? *traces[1].m_Values : kNoTrace, packet.m_EyeFinal);
    MarkEopEdges(packet, config, time.m_dFactor);
    marks.Crossings(packet);
    if (!differential) DrawSymbolRuns(entry, config, time.m_dFactor);
    marks.Fields(packet, spec, entry.m_Symbols.front().m_dStart);
    marks.Key(bitGrid);
    m_Area->SavePng(OutputNamesOf(dataFile).Path("Packet.png"), outputs);
}

void CPlot::PlotCurrent(const CInrushRecord& record, const CInrushSpec& spec,
                        CPendingOutputs& outputs) {
    if (record.m_Time.empty()) throw CAnalysisError("No current samples in the capture to plot");
    const CCaptureAxis time = CPlotScale::CaptureAxis(record.m_Time);
    const auto [yMin, yMax] = CurrentRange(record.m_Current);
    DrawTimeFrame(time, yMin, yMax, CPlotScale::ValueGridStep(yMax - yMin), "current, A");
    DrawCurrentMarks(record, spec, time, yMin, yMax);
    Marks().Trace(record.m_Time, record.m_Current, spec.m_ColourB, time.m_dFactor);
    m_Area->SavePng(OutputNamesOf(record.m_strFile).Path("Plot.png"), outputs);
}

const CGridLines& CPlot::VerticalGrid() const {
    static const CGridLines kNone;
    return m_Area ? m_Area->VerticalGrid() : kNone;
}

const CGridLines& CPlot::HorizontalGrid() const {
    static const CGridLines kNone;
    return m_Area ? m_Area->HorizontalGrid() : kNone;
}

CPlotMarks CPlot::Marks() { return CPlotMarks(*m_Area); }

// The differential trace at high speed; D- and D+ at low and full speed.
CPlot::Traces CPlot::ShownTraces(const CAnalysisRecord& record, const CSigConfig& config,
                                 bool differential) {
    if (differential) return {{&record.m_Diff, &config.m_ColourB}};
    return {{&record.m_DMinus, &config.m_ColourC}, {&record.m_DPlus, &config.m_ColourD}};
}

void CPlot::DrawTimeFrame(const CCaptureAxis& time, double yMin, double yMax, double yStep,
                          const std::string& yTitle, bool lowered) {
    m_Area = std::make_unique<CPlotArea>(time.m_dMin, time.m_dMax, yMin, yMax, time.m_dStep, yStep);
    m_Area->DrawAxisLabels(time.m_dStep, yStep, lowered, time.m_strTitle, yTitle);
}

std::span<const double> CPlot::CShownSamples::Of(const std::vector<double>& values) const {
    const std::size_t first = std::min(m_nFirst, values.size());
    return std::span<const double>(values).subspan(first, std::min(m_nEnd, values.size()) - first);
}

// ---- The signal plot ----

CPlot::Range CPlot::SignalRange(const Traces& traces) {
    CValueRange volts;
    for (const CShownTrace& trace : traces) volts.Extend(*trace.m_Values);
    // The headroom widens the range whatever the sign of the largest value:
    // a capture that stays below 0 V is shown whole.
    const double m = std::abs(volts.m_dHigh * kSignalHeadroom);
    double yMin = volts.m_dLow - m, yMax = volts.m_dHigh + m;
    CPlotScale::EnsureSpan(yMin, yMax);
    return {yMin, yMax};
}

void CPlot::DrawSignalFrame(const Traces& traces, const CSigSpec& spec, const CCaptureAxis& time,
                            bool differential) {
    const auto [yMin, yMax] = SignalRange(traces);
    if (differential) {
        DrawTimeFrame(time, yMin, yMax, CPlotScale::ValueGridStep(yMax - yMin),
                      spec.m_strSignalYLabel);
        return;
    }
    // A single-ended pair has the test type's steps, and its time labels sit
    // under the line-state strip.
    m_Area = std::make_unique<CPlotArea>(time.m_dMin, time.m_dMax, yMin, yMax, time.m_dStep,
                                         spec.m_dSignalScaleB);
    m_Area->DrawAxisLabels(spec.m_dSignalScaleA, spec.m_dSignalScaleB, true, time.m_strTitle,
                           spec.m_strSignalYLabel);
}

// The shown traces, then the common mode of a single-ended pair.
void CPlot::DrawSignalTraces(const CAnalysisRecord& record, const Traces& traces,
                             const CShownSamples& shown, const CSigConfig& config, double factor) {
    CPlotMarks marks = Marks();
    const CSampleTimes time = record.m_Time.Slice(shown.m_nFirst, shown.m_nEnd - shown.m_nFirst);
    for (const CShownTrace& trace : traces)
        marks.Trace(time, shown.Of(*trace.m_Values), *trace.m_Colour, factor);
    if (traces.size() > 1)
        marks.Trace(time, shown.Of(record.m_CommonMode), config.m_ColourA, factor);
}

// The eye check flags D- in its first list and D+ in its second (the differential
// trace in the first).
void CPlot::MarkEyeViolations(const CAnalysisRecord& record, const CPacketMeasurement& packet,
                              const Traces& traces, const CSigConfig& config, double factor) {
    const CEyeResult& eye = packet.m_EyeFinal;
    const auto flagStart = static_cast<std::size_t>(std::max<int32_t>(eye.m_nFlagStart, 0));
    const std::array<const std::vector<int32_t>*, 2> flags{&eye.m_Flags1, &eye.m_Flags2};
    for (std::size_t c = 0; c < traces.size(); ++c)
        MarkViolations(record.m_Time, *traces[c].m_Values, *flags[c], flagStart, config, factor);
}

// A dot on each flagged sample, at most kMaxViolationDots of them.
void CPlot::MarkViolations(const CSampleTimes& time, const std::vector<double>& trace,
                           const std::vector<int32_t>& flags, std::size_t flagStart,
                           const CSigConfig& config, double factor) {
    CPlotMarks marks = Marks();
    const std::size_t n = std::min(trace.size(), time.size());
    std::size_t marked = 0;
    for (std::size_t j = 0; j < flags.size() && marked < kMaxViolationDots; ++j) {
        const std::size_t i = flagStart + j;
        if (i >= n) break;
        if (flags[j] != 1) continue;
        marks.Dot(time[i] * factor, trace[i], config.m_ColourG);
        ++marked;
    }
}

void CPlot::MarkEopEdges(const CPacketMeasurement& packet, const CSigConfig& config,
                         double factor) {
    for (double edge : {packet.m_dEopStart, packet.m_dEopEnd})
        Marks().Square(edge * factor, packet.m_dEopThreshold, config.m_ColourF, config.m_ColourE);
}

void CPlot::MarkCrossovers(const CPacketMeasurement& packet, const CSigConfig& config,
                           double factor) {
    const std::size_t n = std::min(packet.m_CrossingTimes.size(), packet.m_CrossoverVolts.size());
    for (std::size_t i = 0; i < n; ++i)
        Marks().Diamond(packet.m_CrossingTimes[i] * factor, packet.m_CrossoverVolts[i],
                        config.m_ColourF, config.m_ColourE);
}

void CPlot::DrawSymbolStrip(const CAnalysisRecord& record, const CSigConfig& config,
                            double factor) {
    for (const CPacketEntry& packet : record.m_Packets) DrawSymbolRuns(packet, config, factor);
}

// Each line-state run of the packet in its symbol's colour, with its letter.
void CPlot::DrawSymbolRuns(const CPacketEntry& packet, const CSigConfig& config, double factor) {
    constexpr int kSymbolCodes = 5;
    CPlotMarks marks = Marks();
    for (const CSymbolRun& run : packet.m_Symbols) {
        if (run.m_nSymbol < 0 || run.m_nSymbol >= kSymbolCodes) continue;
        const std::size_t k = static_cast<std::size_t>(run.m_nSymbol);
        const CRgb fill{config.m_nPaletteA.at(k), config.m_nPaletteA.at(5 + k),
                        config.m_nPaletteA.at(10 + k)};
        std::string label = CSignalRegions::Label(run, config);
        if (label.empty() && k < config.m_strSymbols.size()) label = config.m_strSymbols[k];
        marks.SymbolRun(run.m_dStart * factor, run.m_dEnd * factor, fill, label);
    }
}

// ---- The packet plot ----

// The levels of the shown samples with kPacketHeadroom of their span either side.
CPlot::Range CPlot::PacketRange(const Traces& traces, const CShownSamples& shown) {
    CValueRange volts;
    for (const CShownTrace& trace : traces) volts.Extend(shown.Of(*trace.m_Values));
    const double d = kPacketHeadroom * (volts.m_dHigh - volts.m_dLow);
    double yMin = volts.m_dLow - d, yMax = volts.m_dHigh + d;
    CPlotScale::EnsureSpan(yMin, yMax);
    return {yMin, yMax};
}

const CPacketEntry& CPlot::MeasuredPacket(const CAnalysisRecord& record) {
    const auto index = static_cast<std::size_t>(record.m_nMeasuredPacket);
    if (record.m_Measurements.empty() || record.m_nMeasuredPacket < 0 ||
        index >= record.m_Packets.size() || record.m_Packets[index].m_Symbols.empty() ||
        record.m_Time.empty())
        throw CAnalysisError("No measured packet in the capture to plot");
    return record.m_Packets[index];
}

// From the packet's first edge to the end of its EOP, and kIdleBitsShown unit
// intervals of the bus either side as far as the capture reaches (s).
CPlot::Range CPlot::PacketStretch(const CAnalysisRecord& record, const CPacketEntry& packet) {
    const double ui = record.m_Measurements.front().m_dUnitInterval;
    const double idle = std::isfinite(ui) && ui > 0.0 ? kIdleBitsShown * ui : 0.0;
    return {std::max(packet.m_Symbols.front().m_dStart - idle, record.m_Time.front()),
            std::min(packet.m_Symbols.back().m_dEnd + idle, record.m_Time.back())};
}

// The samples of the stretch and one beyond each end, so the traces run on to the
// frame; a sample far off the stretch, however many the capture holds, is not read.
CPlot::CShownSamples CPlot::SamplesWithin(const CSampleTimes& time, const Range& stretch) {
    const auto first = static_cast<std::size_t>(
        std::lower_bound(time.begin(), time.end(), stretch.first) - time.begin());
    const auto end = static_cast<std::size_t>(
        std::upper_bound(time.begin(), time.end(), stretch.second) - time.begin());
    return {first > 0 ? first - 1 : 0, std::min(end + 1, time.size())};
}

// ---- The eye plot ----

CPlot::Range CPlot::EyeRange(const Traces& traces, const EyeTemplates& eyes) {
    CValueRange volts;
    for (const CShownTrace& trace : traces) {
        if (trace.m_Values->empty())
            throw CAnalysisError("No samples in a capture trace to draw the eye");
        volts.Extend(*trace.m_Values);
    }
    // The range reaches the box levels of both templates: the low-speed second
    // template's top level (3.8 V) lies above the first's (3.7 V), and its line
    // would otherwise be drawn above the frame.
    const double d = kEyeHeadroom * (volts.m_dHigh - volts.m_dLow);
    double yMin = volts.m_dLow, yMax = volts.m_dHigh;
    for (const EyeTemplate& eye : eyes) {
        yMin = std::min(yMin, *std::max_element(eye.BottomV.begin(), eye.BottomV.end()));
        yMax = std::max(yMax, *std::min_element(eye.TopV.begin(), eye.TopV.end()));
    }
    yMin -= d;
    yMax += d;
    CPlotScale::EnsureSpan(yMin, yMax);
    return {yMin, yMax};
}

void CPlot::DrawEyeFrame(const CSigSpec& spec, double width, double yMin, double yMax) {
    const double xStep = CPlotScale::TimeGridStep(width);
    const double yStep = CPlotScale::ValueGridStep(yMax - yMin);
    m_Area = std::make_unique<CPlotArea>(0.0, width, yMin, yMax, xStep, yStep);
    m_Area->DrawAxisLabels(xStep, yStep, false, spec.m_strEyeXLabel, spec.m_strEyeYLabel);
}

// The first template's keep-out regions in red; the second template's inner
// polygon and box levels as lines over them.
void CPlot::DrawEyeTemplates(const EyeTemplates& eyes, const CSigConfig& config) {
    const auto& [eye1, eye2] = eyes;
    CPlotMarks marks = Marks();
    marks.TemplatePolygon(eye1.InnerT, eye1.InnerV);
    marks.TemplateBox(eye1.TopT, eye1.TopV);
    marks.TemplateBox(eye1.BottomT, eye1.BottomV);
    marks.TemplateOutline(eye2.InnerT, eye2.InnerV, config.m_ColourI);
    marks.HLine(eye2.TopV.at(1), config.m_ColourI);
    marks.HLine(eye2.BottomV.at(1), config.m_ColourI);
}

// An interval ends on the first sample at or past the next boundary, up to a
// sample period beyond the eye's right edge: the traces stop at the frame.
void CPlot::DrawFoldedIntervals(const CAnalysisRecord& record, const Traces& traces,
                                double factor) {
    const CPacketMeasurement& packet = record.m_Measurements.front();
    CPlotMarks marks = Marks();
    m_Area->ClipToFrame();
    for (const CShownTrace& trace : traces)
        marks.FoldedIntervals(record.m_Time, *trace.m_Values, packet.m_EyeAux, packet.m_BitTimes,
                              factor, *trace.m_Colour);
    m_Area->EndClip();
}

// ---- The current plot ----

// The threshold line, and a marker at the start of each inrush region.
void CPlot::DrawCurrentMarks(const CInrushRecord& record, const CInrushSpec& spec,
                             const CCaptureAxis& time, double yMin, double yMax) {
    CPlotMarks marks = Marks();
    // A device that draws its whole current above the threshold would put the
    // line under the frame, over the time labels.
    const double threshold = spec.m_dCurrentThreshold;
    if (threshold > yMin && threshold < yMax) marks.HLine(threshold, spec.m_ColourA);
    // Every region the measurement kept lies inside its window after the trigger,
    // whatever the scope's time stamps are: each gets its marker.
    for (double start : record.m_RegionStart) marks.VLine(start * time.m_dFactor, spec.m_ColourC);
}
