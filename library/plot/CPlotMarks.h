#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/CSampleTimes.h"
#include "plot/CCanvas.h"
#include "plot/CPlotArea.h"

class CEyePaths;

// Draws in data units on a plot area: traces cut to what each pixel column shows,
// eye-template shapes, level lines, markers of measured points and line-state runs.
class CPlotMarks {
public:
    using Colour = std::vector<int32_t>;  // red, green, blue
    static constexpr int kMarkerHalfPixels = 4;

    explicit CPlotMarks(CPlotArea& area) : m_Area(area) {}

    // xs are multiplied by xFactor first, so a capture in seconds can be drawn
    // on a prefixed time axis without a scaled copy of its time vector.
    void Trace(const CSampleTimes& xs, std::span<const double> ys, const Colour& colour,
               double xFactor = 1.0);
    // Each unit interval of a trace, from its boundary sample on to the next one,
    // folded onto the eye at its bit time (seconds times `factor` give the x unit).
    void FoldedIntervals(const CSampleTimes& time, std::span<const double> values,
                         std::span<const int32_t> bounds, std::span<const double> bitTimes,
                         double factor, const Colour& colour);

    // Template shapes run from the left edge of the area: the keep-out regions
    // filled red, the other template as an outline.
    void TemplatePolygon(std::span<const double> xs, std::span<const double> ys);
    void TemplateOutline(std::span<const double> xs, std::span<const double> ys,
                         const Colour& colour);
    void TemplateBox(std::span<const double> xs, std::span<const double> ys);

    void HLine(double y, const Colour& colour);
    void VLine(double x, const Colour& colour);
    void Dot(double x, double y, const Colour& colour);
    void Square(double x, double y, const Colour& fill, const Colour& outline);
    void Diamond(double x, double y, const Colour& fill, const Colour& outline);
    // The same marks centred on a pixel: for a key, and for marks placed once per pixel.
    static void DotAt(CCanvas& canvas, CPixel p, CRgb colour);
    static void SquareAt(CCanvas& canvas, CPixel p, CRgb fill, CRgb outline);
    static void DiamondAt(CCanvas& canvas, CPixel p, int half, CRgb fill, CRgb outline);
    // One line state from x = start to end in the strip under the time axis,
    // labelled where its letter fits.
    void SymbolRun(double start, double end, CRgb fill, const std::string& label);

private:
    // The first sample after `from` whose pixel x reaches `high`, or n.
    std::size_t ColumnEnd(const CSampleTimes& xs, double xFactor, std::size_t from, std::size_t n,
                          double high) const;
    CPixel TraceStart(const CSampleTimes& xs, std::span<const double> ys, double xFactor,
                      std::size_t first, std::size_t& next) const;
    void FoldInterval(CEyePaths& paths, const CSampleTimes& time, std::span<const double> values,
                      std::size_t first, std::size_t last, double bitTime, double factor) const;
    std::vector<CPixel> TemplatePoints(std::span<const double> xs,
                                       std::span<const double> ys) const;

    CPlotArea& m_Area;
};
