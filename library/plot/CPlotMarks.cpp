#include "plot/CPlotMarks.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "common/CAnalysisError.h"
#include "plot/CColumnReducer.h"
#include "plot/CEyePaths.h"
#include "plot/CPlotScale.h"

namespace {

constexpr double kSymbolStripPixels = 11.0;
constexpr int kDotHalfPixels = 2;
constexpr std::size_t kMaxTemplateVertices = 20;

constexpr CRgb kBlack{0, 0, 0};
constexpr CRgb kWhite{255, 255, 255};
constexpr CRgb kTemplateRed{255, 0, 0};

CRgb ToRgb(const CPlotMarks::Colour& c) { return {c.at(0), c.at(1), c.at(2)}; }

bool Valued(const CSampleTimes& xs, std::span<const double> ys, std::size_t i) {
    return CPlotScale::IsSample(xs[i]) && CPlotScale::IsSample(ys[i]);
}

bool InEye(double x, double y) {
    // Also false for NaN: a sample with no value breaks no segment.
    return std::abs(x) < CEyePaths::kEyePixelLimit && std::abs(y) < CEyePaths::kEyePixelLimit;
}

// Where a trace that starts at or left of the left edge enters the plot area:
// moved along its first segment to one pixel inside the edge. A densely sampled
// capture has its second sample less than a pixel away; the start then goes no
// further than that sample instead of running off along the extended segment.
std::pair<double, double> EnterAtLeftEdge(double x0, double y0, double x1, double y1, double left) {
    if (x0 > left) return {x0, y0};
    const double entry = left + 1.0;
    if (!(x1 > x0)) return {entry, y0};
    const double along = std::min((entry - x0) / (x1 - x0), 1.0);
    return {entry, y0 + (y1 - y0) * along};
}

}  // namespace

void CPlotMarks::Trace(const CSampleTimes& xs, std::span<const double> ys, const Colour& colour,
                       double xFactor) {
    const CRgb pen = ToRgb(colour);
    const std::size_t n = std::min(xs.size(), ys.size());
    std::size_t first = 0;
    while (first < n && !Valued(xs, ys, first)) ++first;
    if (first == n) return;

    std::size_t next = first + 1;
    std::vector<CPixel> points{TraceStart(xs, ys, xFactor, first, next)};
    CColumnReducer reducer(points);
    for (std::size_t i = next; i < n;) {
        if (!Valued(xs, ys, i)) {
            ++i;
            continue;
        }
        reducer.Add(i, m_Area.PixelX(xs[i] * xFactor), m_Area.PixelY(ys[i]));
        // Sample times only increase, so the samples of this column are a run that
        // ends where x first reaches the column's right edge; their times need not
        // be mapped one by one.
        const std::size_t end = ColumnEnd(xs, xFactor, i, n, reducer.ColumnHigh());
        reducer.JoinRun(ys, i + 1, end, m_Area.YOrigin(), m_Area.YScale());
        i = end;
    }
    reducer.Flush();
    m_Area.Canvas().Polyline(points, pen);
}

std::size_t CPlotMarks::ColumnEnd(const CSampleTimes& xs, double xFactor, std::size_t from,
                                  std::size_t n, double high) const {
    const auto before = [&](std::size_t k) { return m_Area.PixelX(xs[k] * xFactor) < high; };
    // Gallop past the samples left of the edge, then halve the last stride.
    std::size_t low = from, stride = 1, upper = n;
    while (low + stride < n) {
        if (!before(low + stride)) {
            upper = low + stride;
            break;
        }
        low += stride;
        stride *= 2;
    }
    while (upper - low > 1) {
        const std::size_t middle = low + (upper - low) / 2;
        (before(middle) ? low : upper) = middle;
    }
    return upper;
}

// The first point of a trace from its first sample with a value. Samples that fall
// between the left edge and the entry column would draw back over the frame; the
// trace enters on the segment that crosses it, and `next` moves past them.
CPixel CPlotMarks::TraceStart(const CSampleTimes& xs, std::span<const double> ys, double xFactor,
                              std::size_t first, std::size_t& next) const {
    const std::size_t n = std::min(xs.size(), ys.size());
    double x0 = m_Area.PixelX(xs[first] * xFactor), y0 = m_Area.PixelY(ys[first]);
    if (x0 > m_Area.Left()) return {ToPixel(x0), ToPixel(y0)};
    const double entry = m_Area.Left() + 1.0;
    double xPrev = x0, yPrev = y0;
    for (; next < n; ++next) {
        if (!Valued(xs, ys, next)) continue;
        const double x = m_Area.PixelX(xs[next] * xFactor);
        if (x > entry) break;
        xPrev = x;
        yPrev = m_Area.PixelY(ys[next]);
    }
    x0 = entry;
    y0 = yPrev;
    if (next < n) {
        const double x1 = m_Area.PixelX(xs[next] * xFactor), y1 = m_Area.PixelY(ys[next]);
        y0 = yPrev + (y1 - yPrev) * (entry - xPrev) / (x1 - xPrev);
    }
    return {ToPixel(x0), ToPixel(y0)};
}

void CPlotMarks::FoldedIntervals(const CSampleTimes& time, std::span<const double> values,
                                 std::span<const int32_t> bounds, std::span<const double> bitTimes,
                                 double factor, const Colour& colour) {
    const std::size_t intervals = std::min(bounds.size(), bitTimes.size());
    const std::size_t samples = std::min(time.size(), values.size());
    CEyePaths paths;
    for (std::size_t k = 0; k + 1 < intervals; ++k) {
        // Each interval runs on to the next boundary sample, so the eye
        // closes at its right edge instead of one sample short of it.
        const std::size_t first = static_cast<std::size_t>(std::max(bounds[k], 0));
        const std::size_t last =
            std::min(static_cast<std::size_t>(std::max(bounds[k + 1], 0)), samples - 1);
        if (first >= samples || last <= first) continue;
        FoldInterval(paths, time, values, first, last, bitTimes[k], factor);
    }
    m_Area.Canvas().Segments(paths.Segments(), ToRgb(colour));
}

void CPlotMarks::FoldInterval(CEyePaths& paths, const CSampleTimes& time,
                              std::span<const double> values, std::size_t first, std::size_t last,
                              double bitTime, double factor) const {
    // x pixel = offset + slope * t, folded onto this interval's boundary.
    const double slope = m_Area.XScale() * factor;
    const double offset = m_Area.XOrigin() - slope * bitTime;
    const auto [x0, y0] = EnterAtLeftEdge(
        offset + slope * time[first], m_Area.PixelY(values[first]),
        offset + slope * time[first + 1], m_Area.PixelY(values[first + 1]), m_Area.Left());
    if (!InEye(x0, y0)) return;
    paths.Start({RoundPixel(x0), RoundPixel(y0)}, last - first + 1);
    for (std::size_t i = first + 1; i <= last; ++i) {
        const double x = offset + slope * time[i], y = m_Area.PixelY(values[i]);
        if (InEye(x, y)) paths.LineTo({RoundPixel(x), RoundPixel(y)});
    }
    paths.End();
}

std::vector<CPixel> CPlotMarks::TemplatePoints(std::span<const double> xs,
                                               std::span<const double> ys) const {
    const std::size_t n = std::min({xs.size(), ys.size(), kMaxTemplateVertices});
    std::vector<CPixel> points;
    for (std::size_t i = 0; i < n; ++i)
        points.push_back({ToPixel(m_Area.TemplateX(xs[i])), ToPixel(m_Area.PixelY(ys[i]))});
    return points;
}

void CPlotMarks::TemplatePolygon(std::span<const double> xs, std::span<const double> ys) {
    m_Area.Canvas().Polygon(TemplatePoints(xs, ys), kTemplateRed, kTemplateRed);
}

void CPlotMarks::TemplateOutline(std::span<const double> xs, std::span<const double> ys,
                                 const Colour& colour) {
    m_Area.Canvas().Polyline(TemplatePoints(xs, ys), ToRgb(colour));
}

void CPlotMarks::TemplateBox(std::span<const double> xs, std::span<const double> ys) {
    if (xs.size() < 3 || ys.size() < 3)
        throw CAnalysisError("Eye template box has fewer than 3 points to draw");
    m_Area.Canvas().Rectangle({ToPixel(m_Area.Left()), ToPixel(m_Area.PixelY(ys[0]))},
                              {ToPixel(m_Area.TemplateX(xs[2])), ToPixel(m_Area.PixelY(ys[2]))},
                              kTemplateRed, kTemplateRed);
}

void CPlotMarks::HLine(double y, const Colour& colour) {
    const CRgb pen = ToRgb(colour);
    if (!std::isfinite(y)) return;
    const int py = ToPixel(m_Area.PixelY(y));
    m_Area.Canvas().Line({ToPixel(m_Area.Left() + 1.0), py}, {ToPixel(m_Area.Right()) - 1, py},
                         pen);
}

void CPlotMarks::VLine(double x, const Colour& colour) {
    const CRgb pen = ToRgb(colour);
    if (!std::isfinite(x)) return;
    const int px = ToPixel(m_Area.PixelX(x));
    m_Area.Canvas().Line({px, ToPixel(m_Area.Top() + 1.0)}, {px, ToPixel(m_Area.Bottom()) - 1},
                         pen);
}

void CPlotMarks::Dot(double x, double y, const Colour& colour) {
    const CRgb pen = ToRgb(colour);
    if (!std::isfinite(x) || !std::isfinite(y)) return;
    const int px = static_cast<int>(std::clamp(m_Area.PixelX(x), -kPixelLimit, kPixelLimit));
    const int py = static_cast<int>(std::clamp(m_Area.PixelY(y), -kPixelLimit, kPixelLimit));
    DotAt(m_Area.Canvas(), {px, py}, pen);
}

void CPlotMarks::Square(double x, double y, const Colour& fill, const Colour& outline) {
    const CRgb inside = ToRgb(fill), edge = ToRgb(outline);
    if (!std::isfinite(x) || !std::isfinite(y)) return;
    SquareAt(m_Area.Canvas(), {ToPixel(m_Area.PixelX(x)), ToPixel(m_Area.PixelY(y))}, inside, edge);
}

void CPlotMarks::Diamond(double x, double y, const Colour& fill, const Colour& outline) {
    const CRgb inside = ToRgb(fill), edge = ToRgb(outline);
    if (!std::isfinite(x) || !std::isfinite(y)) return;
    DiamondAt(m_Area.Canvas(), {ToPixel(m_Area.PixelX(x)), ToPixel(m_Area.PixelY(y))},
              kMarkerHalfPixels, inside, edge);
}

void CPlotMarks::DotAt(CCanvas& canvas, CPixel p, CRgb colour) {
    canvas.Ellipse({p.x - kDotHalfPixels, p.y - kDotHalfPixels},
                   {p.x + kDotHalfPixels, p.y + kDotHalfPixels}, colour, colour);
}

void CPlotMarks::SquareAt(CCanvas& canvas, CPixel p, CRgb fill, CRgb outline) {
    canvas.Rectangle({p.x - kMarkerHalfPixels, p.y - kMarkerHalfPixels},
                     {p.x + kMarkerHalfPixels, p.y + kMarkerHalfPixels}, fill, outline);
}

void CPlotMarks::DiamondAt(CCanvas& canvas, CPixel p, int half, CRgb fill, CRgb outline) {
    canvas.Polygon({{p.x - half, p.y}, {p.x, p.y + half}, {p.x + half, p.y}, {p.x, p.y - half}},
                   fill, outline);
}

void CPlotMarks::SymbolRun(double start, double end, CRgb fill, const std::string& label) {
    const double bottom = m_Area.Bottom();
    const int stripTop = ToPixel(bottom) + 1, stripBottom = ToPixel(bottom + kSymbolStripPixels);
    const int x0 = std::max(ToPixel(m_Area.Left()) + 1, ToPixel(m_Area.PixelX(start)));
    const int x1 = std::min(ToPixel(m_Area.Right()) - 1, ToPixel(m_Area.PixelX(end)));
    if (x1 < x0) return;
    CCanvas& canvas = m_Area.Canvas();
    canvas.Rectangle({x0, stripTop}, {x1, stripBottom}, fill, fill);
    if (canvas.TextWidth(label, CPlotArea::kLabelCellPixels) > x1 - x0 + 1) return;
    // Dark line states carry white letters, the white idle black ones.
    const double luminance = 0.299 * fill.r + 0.587 * fill.g + 0.114 * fill.b;
    canvas.Text((x0 + x1 + 1) / 2.0, bottom, label, CPlotArea::kLabelCellPixels, ETextAlign::Centre,
                luminance < 128.0 ? kWhite : kBlack);
}
