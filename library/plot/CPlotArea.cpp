#include "plot/CPlotArea.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "plot/CPlotScale.h"

namespace {

constexpr int kCanvasWidth = 604;
constexpr int kCanvasHeight = 454;

// Plot area as fractions of the canvas; room is left for tick labels and titles.
constexpr double kLeftFraction = 0.119;
constexpr double kTopFraction = 0.0938;
constexpr double kRightFraction = 0.9048;
constexpr double kBottomFraction = 0.875;

constexpr double kYTitleCellPixels = 10.0;
constexpr double kLabelGapPixels = 2.0;
constexpr double kLoweredLabelPixels = 11.0;  // room for the symbol strip under the axis
constexpr double kTitleGapPixels = 12.0;
constexpr double kLoweredTitlePixels = 22.0;
constexpr double kYTitleOffsetPixels = 40.0;

// A capture of a few microseconds already has hundreds of grid steps on a
// careless scale; beyond this the grid is a grey wash, and a corrupt sample of
// 1e30 V would ask for 1e30 lines. The step grows tenfold instead.
constexpr int kMaxGridLines = 100;

constexpr CRgb kBlack{0, 0, 0};
constexpr CRgb kWhite{255, 255, 255};
constexpr CRgb kGridGrey{100, 100, 100};

// Grows the step tenfold until the area holds at most kMaxGridLines of them.
double CappedStep(double step, double pixelsPerUnit, double areaPixels) {
    if (!(step > 0.0) || !std::isfinite(step)) return 0.0;
    while (areaPixels / (step * pixelsPerUnit) > kMaxGridLines && std::isfinite(step)) step *= 10.0;
    return std::isfinite(step) ? step : 0.0;
}

}  // namespace

CPlotArea::CPlotArea(double xMin, double xMax, double yMin, double yMax, double xStep, double yStep)
    : m_Canvas(kCanvasWidth, kCanvasHeight) {
    m_Canvas.Rectangle({0, 0}, {kCanvasWidth - 1, kCanvasHeight - 1}, kWhite, kWhite);
    CPlotScale::EnsureSpan(xMin, xMax);
    CPlotScale::EnsureSpan(yMin, yMax);
    PlaceFrame(xMin, xMax, yMin, yMax);
    DrawVerticalGrid(xMin, xStep);
    DrawHorizontalGrid(yStep);
}

void CPlotArea::PlaceFrame(double xMin, double xMax, double yMin, double yMax) {
    const double w = m_Canvas.Width(), h = m_Canvas.Height();
    m_dLeft = kLeftFraction * w;
    m_dTop = kTopFraction * h;
    m_dWidth = kRightFraction * w - m_dLeft;
    m_dHeight = kBottomFraction * h - m_dTop;
    m_dRight = m_dLeft + m_dWidth;
    m_dBottom = m_dTop + m_dHeight;
    m_dSy = m_dHeight / (yMax - yMin);
    m_dSx = m_dWidth / (xMax - xMin);
    m_dY0 = m_dBottom + m_dSy * yMin;
    m_dX0 = m_dLeft - m_dSx * xMin;
    m_Canvas.Rectangle({ToPixel(m_dLeft), ToPixel(m_dTop)}, {ToPixel(m_dRight), ToPixel(m_dBottom)},
                       std::nullopt, kBlack);
}

void CPlotArea::DrawVerticalGrid(double xMin, double xStep) {
    // The left edge carries xMin without a line of its own.
    m_VerticalGrid = {{m_dLeft}, {xMin}};
    const double xGrid = CappedStep(xStep, m_dSx, m_dWidth);
    if (!(xGrid > 0.0)) return;
    const double stepPixels = xGrid * m_dSx;
    auto [k, position] = FirstVerticalLine(xMin, stepPixels);
    const int advance = std::max(1, ToPixel(stepPixels));
    for (int n = 0; position <= m_dRight - 1.0 && n < kMaxGridLines; ++n, k += 1.0) {
        m_Canvas.Line({static_cast<int>(position), ToPixel(m_dTop + 1.0)},
                      {static_cast<int>(position), ToPixel(m_dBottom - 1.0)}, kGridGrey, true);
        m_VerticalGrid.m_Positions.push_back(position);
        m_VerticalGrid.m_Values.push_back(k * xGrid);
        position += advance;
    }
}

// The first line right of the left edge, on a whole multiple of the step, as
// (multiple, pixel column). A capture that starts on a multiple (1.0 us on a 0.1 us
// grid) would otherwise draw its first line over the frame and label xMin twice.
std::pair<double, double> CPlotArea::FirstVerticalLine(double xMin, double stepPixels) const {
    if (xMin == 0.0) return {1.0, ToPixel(m_dLeft + stepPixels + 1.0)};
    double k = std::floor((m_dLeft - m_dX0) / stepPixels) + 1.0;
    double position = ToPixel(m_dX0 + k * stepPixels);
    if (position <= ToPixel(m_dLeft)) position = ToPixel(m_dX0 + ++k * stepPixels);
    return {k, position};
}

// From the lowest value upwards.
void CPlotArea::DrawHorizontalGrid(double yStep) {
    m_HorizontalGrid = {};
    const double yGrid = CappedStep(yStep, m_dSy, m_dHeight);
    if (!(yGrid > 0.0)) return;
    const double stepPixels = yGrid * m_dSy;
    const double kLow = std::floor((m_dY0 - m_dBottom) / stepPixels) + 1.0;
    const double kHigh = std::ceil((m_dY0 - m_dTop - 2.0) / stepPixels) - 1.0;
    for (double k = kLow; k <= kHigh && k - kLow < kMaxGridLines; k += 1.0) {
        const double position = m_dY0 - k * stepPixels;
        m_Canvas.Line({ToPixel(m_dLeft + 1.0), ToPixel(position)},
                      {ToPixel(m_dRight - 1.0), ToPixel(position)}, kGridGrey, true);
        m_HorizontalGrid.m_Positions.push_back(position);
        m_HorizontalGrid.m_Values.push_back(k * yGrid);
    }
}

void CPlotArea::DrawAxisLabels(double xStep, double yStep, bool lowered, const std::string& xTitle,
                               const std::string& yTitle) {
    LabelVerticalLines(xStep, m_dBottom + (lowered ? kLoweredLabelPixels : kLabelGapPixels));
    m_Canvas.Text((m_dLeft + m_dRight) / 2.0,
                  m_dBottom + (lowered ? kLoweredTitlePixels : kTitleGapPixels), xTitle,
                  kLabelCellPixels, ETextAlign::Centre, kBlack);
    LabelHorizontalLines(yStep);
    m_Canvas.Text(m_dLeft - kYTitleOffsetPixels, (m_dTop + m_dBottom) / 2.0, yTitle,
                  kYTitleCellPixels, ETextAlign::Centre, kBlack, false);
}

void CPlotArea::LabelVerticalLines(double xStep, double labelTop) {
    const std::vector<double>& xs = m_VerticalGrid.m_Positions;
    for (std::size_t i = 0; i < xs.size(); ++i) {
        const std::string label = CPlotScale::TimeLabel(m_VerticalGrid.m_Values[i], xStep);
        if (i == 0 && xs.size() > 1 && !EdgeLabelFits(label, xStep)) continue;
        m_Canvas.Text(xs[i], labelTop, label, kLabelCellPixels, ETextAlign::Centre, kBlack);
    }
}

// The left edge's time sits wherever the capture starts: when it would run into
// the first grid label ("-1" beside "0" reads "-10"), the edge goes unlabelled.
bool CPlotArea::EdgeLabelFits(const std::string& label, double xStep) const {
    const std::string next = CPlotScale::TimeLabel(m_VerticalGrid.m_Values[1], xStep);
    const double room = m_VerticalGrid.m_Positions[1] - m_VerticalGrid.m_Positions[0];
    const double needed =
        (m_Canvas.TextWidth(label, kLabelCellPixels) + m_Canvas.TextWidth(next, kLabelCellPixels)) /
            2.0 +
        kLabelGapPixels;
    return !(room < needed);
}

void CPlotArea::LabelHorizontalLines(double yStep) {
    for (std::size_t i = 0; i < m_HorizontalGrid.m_Positions.size(); ++i)
        m_Canvas.Text(m_dLeft - kLabelGapPixels,
                      m_HorizontalGrid.m_Positions[i] - kLabelCellPixels / 2.0,
                      CPlotScale::ValueLabel(m_HorizontalGrid.m_Values[i], yStep), kLabelCellPixels,
                      ETextAlign::Right, kBlack);
}

void CPlotArea::ClipToFrame() {
    m_Canvas.StartClip({ToPixel(m_dLeft) + 1, ToPixel(m_dTop) + 1},
                       {ToPixel(m_dRight) - 1, ToPixel(m_dBottom) - 1});
}

void CPlotArea::SavePng(const std::string& path, CPendingOutputs& outputs) const {
    outputs.Add(path, m_Canvas.Png(path));
}
