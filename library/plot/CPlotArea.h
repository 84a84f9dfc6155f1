#pragma once

#include <string>
#include <utility>
#include <vector>

#include "common/CPendingOutputs.h"
#include "plot/CCanvas.h"

// Grid lines of one axis: where they are drawn and the value each stands for.
struct CGridLines {
    std::vector<double> m_Positions;  // pixels
    std::vector<double> m_Values;     // data units
};

// The framed plot area of a fresh 604 x 454 white canvas: places data values on pixels,
// draws the frame with its dotted grid on whole multiples of the steps, and labels the axes.
class CPlotArea {
public:
    static constexpr double kLabelCellPixels = 12.0;

    CPlotArea(double xMin, double xMax, double yMin, double yMax, double xStep, double yStep);

    // The steps give the labels their decimals; `lowered` leaves room for the
    // line-state strip under the time axis.
    void DrawAxisLabels(double xStep, double yStep, bool lowered, const std::string& xTitle,
                        const std::string& yTitle);

    double PixelX(double x) const { return m_dX0 + m_dSx * x; }
    double PixelY(double y) const { return m_dY0 - m_dSy * y; }
    // Template polygons put their time zero on the left edge of the plot area.
    double TemplateX(double x) const { return m_dLeft + m_dSx * x; }
    double XOrigin() const { return m_dX0; }  // pixel of x = 0
    double XScale() const { return m_dSx; }   // pixels per x unit
    double YOrigin() const { return m_dY0; }  // pixel of y = 0
    double YScale() const { return m_dSy; }   // pixels per y unit, upwards
    double Left() const { return m_dLeft; }
    double Right() const { return m_dRight; }
    double Top() const { return m_dTop; }
    double Bottom() const { return m_dBottom; }

    CCanvas& Canvas() { return m_Canvas; }
    // What is drawn until EndClip stops at the frame, inside it.
    void ClipToFrame();
    void EndClip() { m_Canvas.EndClip(); }

    const CGridLines& VerticalGrid() const { return m_VerticalGrid; }
    const CGridLines& HorizontalGrid() const { return m_HorizontalGrid; }

    void SavePng(const std::string& path, CPendingOutputs& outputs) const;

private:
    void PlaceFrame(double xMin, double xMax, double yMin, double yMax);
    void DrawVerticalGrid(double xMin, double xStep);
    std::pair<double, double> FirstVerticalLine(double xMin, double stepPixels) const;
    void DrawHorizontalGrid(double yStep);
    void LabelVerticalLines(double xStep, double labelTop);
    bool EdgeLabelFits(const std::string& label, double xStep) const;
    void LabelHorizontalLines(double yStep);

    CCanvas m_Canvas;
    double m_dLeft = 0.0, m_dTop = 0.0, m_dWidth = 0.0, m_dHeight = 0.0;
    double m_dRight = 0.0, m_dBottom = 0.0;
    double m_dSx = 1.0, m_dSy = 1.0, m_dX0 = 0.0, m_dY0 = 0.0;
    CGridLines m_VerticalGrid;
    CGridLines m_HorizontalGrid;
};
