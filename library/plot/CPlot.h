#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "common/CPendingOutputs.h"
#include "common/CSampleTimes.h"
#include "plot/CPlotArea.h"

struct CAnalysisRecord;
struct CCaptureAxis;
struct CInrushRecord;
struct CInrushSpec;
struct CPacketEntry;
struct CPacketMeasurement;
struct CSigConfig;
struct CSigSpec;
struct EyeTemplate;
class CPlotMarks;

// Draws the pictures of a run: the whole signal capture with the measured
// packet's markers, the packet's unit intervals folded over the eye template,
// the measured packet alone with its bit grid, crossings, SYNC field and EOP,
// and the supply current at attach with the inrush threshold and the start of
// each inrush region. One CPlot draws one picture and is then discarded; the
// picture goes to the run's pending outputs, to be put in place with the report.
class CPlot {
public:
    CPlot();
    ~CPlot();

    // "<data file base name>Plot.png" beside the data file.
    void PlotSignal(const CAnalysisRecord& record, const CSigConfig& config, const CSigSpec& spec,
                    const std::string& dataFile, CPendingOutputs& outputs);
    // "<data file base name>Eye.png" beside the data file.
    void PlotEye(const CAnalysisRecord& record, const CSigConfig& config, const CSigSpec& spec,
                 const std::string& dataFile, CPendingOutputs& outputs);
    // "<data file base name>Packet.png" beside the data file: the measured packet
    // with a few unit intervals of the bus either side.
    void PlotPacket(const CAnalysisRecord& record, const CSigConfig& config, const CSigSpec& spec,
                    const std::string& dataFile, CPendingOutputs& outputs);

    // "<data file base name>Plot.png" beside the current capture.
    void PlotCurrent(const CInrushRecord& record, const CInrushSpec& spec,
                     CPendingOutputs& outputs);

    // The grid lines of the picture drawn last, with the values they are labelled with.
    const CGridLines& VerticalGrid() const;
    const CGridLines& HorizontalGrid() const;

private:
    // A trace the signal or eye plot shows, in its colour.
    struct CShownTrace {
        const std::vector<double>* m_Values;
        const std::vector<int32_t>* m_Colour;
    };
    using Traces = std::vector<CShownTrace>;
    using EyeTemplates = std::array<EyeTemplate, 2>;
    using Range = std::pair<double, double>;  // lowest and highest value of an axis
    // The samples [m_nFirst, m_nEnd) of the capture that a signal picture shows.
    struct CShownSamples {
        std::size_t m_nFirst = 0;
        std::size_t m_nEnd = 0;
        std::span<const double> Of(const std::vector<double>& values) const;
    };

    static Traces ShownTraces(const CAnalysisRecord& record, const CSigConfig& config,
                              bool differential);
    static Range SignalRange(const Traces& traces);
    static Range PacketRange(const Traces& traces, const CShownSamples& shown);
    static Range EyeRange(const Traces& traces, const EyeTemplates& eyes);

    void DrawTimeFrame(const CCaptureAxis& time, double yMin, double yMax, double yStep,
                       const std::string& yTitle, bool lowered = false);
    void DrawSignalFrame(const Traces& traces, const CSigSpec& spec, const CCaptureAxis& time,
                         bool differential);
    void DrawSignalTraces(const CAnalysisRecord& record, const Traces& traces,
                          const CShownSamples& shown, const CSigConfig& config, double factor);
    void MarkEyeViolations(const CAnalysisRecord& record, const CPacketMeasurement& packet,
                           const Traces& traces, const CSigConfig& config, double factor);
    void MarkViolations(const CSampleTimes& time, const std::vector<double>& trace,
                        const std::vector<int32_t>& flags, std::size_t flagStart,
                        const CSigConfig& config, double factor);
    void MarkEopEdges(const CPacketMeasurement& packet, const CSigConfig& config, double factor);
    void MarkCrossovers(const CPacketMeasurement& packet, const CSigConfig& config, double factor);
    void DrawSymbolStrip(const CAnalysisRecord& record, const CSigConfig& config, double factor);
    void DrawSymbolRuns(const CPacketEntry& packet, const CSigConfig& config, double factor);

    static const CPacketEntry& MeasuredPacket(const CAnalysisRecord& record);
    static Range PacketStretch(const CAnalysisRecord& record, const CPacketEntry& packet);
    static CShownSamples SamplesWithin(const CSampleTimes& time, const Range& stretch);

    void DrawEyeFrame(const CSigSpec& spec, double width, double yMin, double yMax);
    void DrawEyeTemplates(const EyeTemplates& eyes, const CSigConfig& config);
    void DrawFoldedIntervals(const CAnalysisRecord& record, const Traces& traces, double factor);

    void DrawCurrentMarks(const CInrushRecord& record, const CInrushSpec& spec,
                          const CCaptureAxis& time, double yMin, double yMax);

    CPlotMarks Marks();

    std::unique_ptr<CPlotArea> m_Area;
};
