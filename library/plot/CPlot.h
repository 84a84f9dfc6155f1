#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "plot/CCanvas.h"
#include "common/CAnalysisError.h"
#include "common/CPendingOutputs.h"

struct CAnalysisRecord;
struct CInrushRecord;
struct CInrushSpec;
struct CSigConfig;
struct CSigSpec;

// Scale and unit prefix that bring a time axis into a readable range.
struct CTimeAxis {
    double m_dFactor = 1.0;   // multiplies seconds
    std::string m_strPrefix;  // UTF-8: "n", "\u00b5", "m", ...
};

// Grid lines of one axis: where they are drawn and the value each stands for.
struct CGridLines {
    std::vector<double> m_Positions;  // pixels
    std::vector<double> m_Values;     // data units
};

// Draws the pictures of a run: the whole signal capture with the measured
// packet's markers, the packet's unit intervals folded over the eye template,
// and the supply current at attach with the inrush threshold and the start of
// each inrush region. One CPlot draws one picture and is then discarded; the
// picture goes to the run's pending outputs, to be put in place with the report.
// A capture with nothing to draw stops the run with a CAnalysisError.
class CPlot {
public:
    using Colour = std::vector<int32_t>;  // red, green, blue

    CPlot();
    ~CPlot();

    // "<data file base name>Plot.png" beside the data file.
    void PlotSignal(const CAnalysisRecord& record, const CSigConfig& config, const CSigSpec& spec,
                    const std::string& dataFile, CPendingOutputs& outputs);
    // "<data file base name>Eye.png" beside the data file.
    void PlotEye(const CAnalysisRecord& record, const CSigConfig& config, const CSigSpec& spec,
                 const std::string& dataFile, CPendingOutputs& outputs);

    // "<data file base name>Plot.png" beside the current capture.
    void PlotCurrent(const CInrushRecord& record, const CInrushSpec& spec,
                     CPendingOutputs& outputs);

    // A fresh 604 x 454 white canvas; the frame must be set again.
    void StartCanvas();
    void SetFrame(double xMin, double xMax, double yMin, double yMax, double xStep, double yStep);
    void DrawAxisLabels(double xStep, double yStep, bool lowered, const std::string& xTitle,
                        const std::string& yTitle);
    // xs are multiplied by xFactor first, so a capture in seconds can be drawn
    // on a prefixed time axis without a scaled copy of its time vector.
    void DrawTrace(std::span<const double> xs, std::span<const double> ys, const Colour& colour,
                   double xFactor = 1.0);
    bool DrawFilledPolygon(std::span<const double> xs, std::span<const double> ys);
    void DrawOutline(std::span<const double> xs, std::span<const double> ys, const Colour& colour);
    void DrawFilledBox(std::span<const double> xs, std::span<const double> ys);
    void DrawHLine(double y, const Colour& colour);
    void DrawVLine(double x, const Colour& colour);
    void DrawDot(double x, double y, const Colour& colour);
    void DrawSquare(double x, double y, const Colour& fill, const Colour& outline);
    void DrawDiamond(double x, double y, const Colour& fill, const Colour& outline);
    void SavePng(const std::string& path, CPendingOutputs& outputs) const;

    static double TimeGridStep(double range);
    static double ValueGridStep(double range);
    static CTimeAxis TimePrefix(std::span<const double> values);
    static std::string TimeLabel(double value, double step);
    static std::string ValueLabel(double value, double step);

    const CGridLines& VerticalGrid() const { return m_VerticalGrid; }
    const CGridLines& HorizontalGrid() const { return m_HorizontalGrid; }
    bool FrameSet() const { return m_bFrameSet; }

private:
    // The time axis of a whole capture, on the prefixed scale.
    struct CCaptureAxis {
        double m_dFactor = 1.0;  // multiplies seconds
        std::string m_strTitle;
        double m_dMin = 0.0, m_dMax = 0.0, m_dStep = 0.0;
    };
    static CCaptureAxis CaptureAxis(std::span<const double> time);

    double PixelX(double x) const { return m_dX0 + m_dSx * x; }
    double PixelY(double y) const { return m_dY0 - m_dSy * y; }
    // Template polygons put their time zero on the left edge of the plot area.
    double TemplateX(double x) const { return m_dLeft + m_dSx * x; }
    void DrawSymbolStrip(const CAnalysisRecord& record, const CSigConfig& config, double factor);

    std::unique_ptr<CCanvas> m_Canvas;
    double m_dLeft = 0.0, m_dTop = 0.0, m_dWidth = 0.0, m_dHeight = 0.0;
    double m_dRight = 0.0, m_dBottom = 0.0;
    double m_dSx = 1.0, m_dSy = 1.0, m_dX0 = 0.0, m_dY0 = 0.0;
    bool m_bFrameSet = false;
    CGridLines m_VerticalGrid;
    CGridLines m_HorizontalGrid;
};
