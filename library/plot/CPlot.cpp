#include "plot/CPlot.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdio>
#include <limits>
#include <stdexcept>

#include "signal/CAnalysisRecord.h"
#include "input/CInrushRecord.h"
#include "common/CPathNames.h"
#include "spec/CInrushSpec.h"
#include "spec/CSigConfig.h"
#include "spec/CSigSpec.h"

namespace {

constexpr int kCanvasWidth = 604;
constexpr int kCanvasHeight = 454;

// Plot area as fractions of the canvas; room is left for tick labels and titles.
constexpr double kLeftFraction = 0.119;
constexpr double kTopFraction = 0.0938;
constexpr double kRightFraction = 0.9048;
constexpr double kBottomFraction = 0.875;

constexpr double kLabelCellPixels = 12.0;
constexpr double kYTitleCellPixels = 10.0;
constexpr double kLabelGapPixels = 2.0;
constexpr double kLoweredLabelPixels = 11.0;  // room for the symbol strip under the axis
constexpr double kTitleGapPixels = 12.0;
constexpr double kLoweredTitlePixels = 22.0;
constexpr double kYTitleOffsetPixels = 40.0;
constexpr double kSymbolStripPixels = 11.0;
constexpr int kMarkerHalfPixels = 4;
constexpr int kDotHalfPixels = 2;

// A capture of a few microseconds already has hundreds of grid steps on a
// careless scale; beyond this the grid is a grey wash, and a corrupt sample of
// 1e30 V would ask for 1e30 lines. The step grows tenfold instead.
constexpr int kMaxGridLines = 100;
// Labels closer to zero than this are rounding noise of k * step.
constexpr double kZeroLabel = 0.001;
// Pixel positions are kept well inside what the rasterizer's fixed point holds;
// a trace point that far off the canvas only sets the slope of a line leaving it.
constexpr double kPixelLimit = 1.0e6;
// Eye samples further off the canvas than this are overflow marks, not signal.
constexpr double kEyePixelLimit = 30000.0;
constexpr std::size_t kMaxViolationDots = 1000;
constexpr std::size_t kMaxTemplateVertices = 20;
// Room around a trace so its peaks do not sit on the frame.
constexpr double kSignalHeadroom = 0.01;
constexpr double kEyeHeadroom = 0.025;
constexpr double kCurrentHeadroom = 0.1;
// A device that stays under the inrush threshold still gets an axis that shows
// the threshold line: the picture says its current never reached it.
constexpr double kLowestCurrentTop = 0.11;  // A

constexpr CRgb kBlack{0, 0, 0};
constexpr CRgb kWhite{255, 255, 255};
constexpr CRgb kGridGrey{100, 100, 100};
constexpr CRgb kTemplateRed{255, 0, 0};

// Rounds half up, as CVectorMath::RoundHalfUp does, but on the clamped pixel
// range through an integer conversion: it runs twice per sample of a
// ten-million-sample capture, where a library floor call is a third of the time.
// For positions already known to lie within kPixelLimit.
inline int RoundPixel(double v) {
    int whole = static_cast<int>(v);
    whole -= v < whole;
    return whole + (v - whole >= 0.5);
}

int ToPixel(double v) {
    if (std::isnan(v)) return 0;
    return RoundPixel(std::clamp(v, -kPixelLimit, kPixelLimit));
}

CRgb ToRgb(const CPlot::Colour& c) { return {c.at(0), c.at(1), c.at(2)}; }

struct CRange {
    double lo = 0.0;
    double hi = 0.0;
    bool found = false;
};

// Scopes write 9.9e37 where a sample was off screen or not acquired; like NaN
// and infinity it stands for no value, and would squeeze the trace into one row.
constexpr double kOverflowMark = 9.9e37;
bool IsSample(double v) { return std::abs(v) < kOverflowMark; }  // false for NaN

// Samples without a value take no part in the scaling.
void Extend(CRange& range, std::span<const double> values) {
    double lo = range.found ? range.lo : std::numeric_limits<double>::infinity();
    double hi = range.found ? range.hi : -std::numeric_limits<double>::infinity();
    for (double v : values) {
        if (!IsSample(v)) continue;
        lo = v < lo ? v : lo;
        hi = v > hi ? v : hi;
    }
    if (lo <= hi) range = {lo, hi, true};
}

// A flat trace or a single sample spans nothing, which would make the scale
// infinite; such a range is opened around its value.
void EnsureSpan(double& lo, double& hi) {
    if (!std::isfinite(lo) || !std::isfinite(hi)) lo = hi = 0.0;
    if (hi > lo) return;
    const double centre = (lo + hi) / 2.0;
    const double half = centre != 0.0 ? std::abs(centre) * 0.1 : 1.0;
    lo = centre - half;
    hi = centre + half;
}

// Grows the step tenfold until the area holds at most kMaxGridLines of them.
double CappedStep(double step, double pixelsPerUnit, double areaPixels) {
    if (!(step > 0.0) || !std::isfinite(step)) return 0.0;
    while (areaPixels / (step * pixelsPerUnit) > kMaxGridLines && std::isfinite(step)) step *= 10.0;
    return std::isfinite(step) ? step : 0.0;
}

std::string Format(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

bool IsWhole(double v) { return std::floor(v) == v; }

// Per sample: the first, lowest, highest and last point of each pixel column
// of a trace, in sample order. A column of the plot shows no more than that,
// so a ten-million-sample capture becomes a few thousand line ends.
class CColumnReducer {
public:
    explicit CColumnReducer(std::vector<CPixel>& out) : m_Out(out) {}

    // Pixel positions before rounding: a sample joins the open column while it
    // rounds to it, and only the column's extremes are ever rounded.
    void Add(std::size_t index, double x, double y) {
        if (x >= m_dColumnLow && x < m_dColumnHigh) {
            if (y < m_Top.y) m_Top = {index, y};
            if (y > m_Bottom.y) m_Bottom = {index, y};
            m_Last = {index, y};
            return;
        }
        Flush();
        m_nColumn = ToPixel(x);
        m_dColumnLow = m_nColumn - 0.5;
        m_dColumnHigh = m_nColumn + 0.5;
        m_First = m_Top = m_Bottom = m_Last = {index, y};
    }

    void Flush() {
        if (!(m_dColumnHigh > m_dColumnLow)) return;
        const CPoint& early = m_Top.index <= m_Bottom.index ? m_Top : m_Bottom;
        const CPoint& late = m_Top.index <= m_Bottom.index ? m_Bottom : m_Top;
        for (double y : {m_First.y, early.y, late.y, m_Last.y}) Emit({m_nColumn, ToPixel(y)});
        m_dColumnLow = m_dColumnHigh = 0.0;
    }

private:
    struct CPoint {
        std::size_t index = 0;
        double y = 0.0;
    };
    void Emit(CPixel p) {
        if (m_Out.empty() || !(m_Out.back() == p)) m_Out.push_back(p);
    }

    std::vector<CPixel>& m_Out;
    int m_nColumn = 0;
    double m_dColumnLow = 0.0, m_dColumnHigh = 0.0;  // empty until the first sample
    CPoint m_First, m_Top, m_Bottom, m_Last;
};

// Distinct 64-bit keys, open addressing; the sets here hold a few hundred to
// a few million keys and are probed once per sample.
class CKeySet {
public:
    // True when the key was not in the set yet. All bits set is no key.
    bool Insert(uint64_t key) {
        if ((m_nCount + 1) * 2 > m_Keys.size()) Grow();
        const std::size_t mask = m_Keys.size() - 1;
        for (std::size_t i = Slot(key);; i = (i + 1) & mask) {
            if (m_Keys[i] == key) return false;
            if (m_Keys[i] == kEmpty) {
                m_Keys[i] = key;
                ++m_nCount;
                return true;
            }
        }
    }
    template <class F>
    void ForEach(F&& f) const {
        for (uint64_t key : m_Keys)
            if (key != kEmpty) f(key);
    }
    std::size_t Size() const { return m_nCount; }

private:
    static constexpr uint64_t kEmpty = ~uint64_t{0};

    std::size_t Slot(uint64_t key) const {
        return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> m_nShift);
    }
    void Grow() {
        std::vector<uint64_t> old = std::move(m_Keys);
        const std::size_t size = old.empty() ? 4096 : old.size() * 2;
        m_Keys.assign(size, kEmpty);
        m_nShift = 64 - std::countr_zero(size);
        m_nCount = 0;
        for (uint64_t key : old)
            if (key != kEmpty) Insert(key);
    }

    std::vector<uint64_t> m_Keys;
    std::size_t m_nCount = 0;
    int m_nShift = 64;
};

// A pixel as 32 bits; coordinates are kept within kEyePixelLimit, so each fits 16.
uint32_t Pack(CPixel p) {
    return static_cast<uint32_t>(static_cast<uint16_t>(p.x)) << 16 | static_cast<uint16_t>(p.y);
}
CPixel Unpack(uint32_t packed) {
    return {static_cast<int16_t>(packed >> 16), static_cast<int16_t>(packed & 0xFFFF)};
}

// The unit intervals of a long packet lie on top of each other and draw the
// same few pixel paths again and again: an interval whose path was drawn
// already is skipped whole (known by a 64-bit fingerprint of its pixels), and
// of the rest each distinct segment is stroked once.
class CEyePaths {
public:
    // A path of at most `points` pixels starts at p.
    void Start(CPixel p, std::size_t points) {
        if (m_Path.size() < points) m_Path.resize(points);
        m_Path[0] = Pack(p);
        m_nLength = 1;
        m_nPrint = Mix(0x243F6A8885A308D3ull, m_Path[0]);
    }
    void LineTo(CPixel p) {
        const uint32_t packed = Pack(p);
        if (packed == m_Path[m_nLength - 1]) return;
        m_Path[m_nLength++] = packed;
        m_nPrint = Mix(m_nPrint, packed);
    }
    void End() {
        if (m_nLength < 2 || !m_Intervals.Insert(Finish(m_nPrint))) return;
        for (std::size_t i = 1; i < m_nLength; ++i) {
            const uint64_t a = m_Path[i - 1], b = m_Path[i];
            m_Segments.Insert(std::min(a, b) << 32 | std::max(a, b));
        }
    }
    std::vector<CPixelSegment> Segments() const {
        std::vector<CPixelSegment> segments;
        segments.reserve(m_Segments.Size());
        m_Segments.ForEach([&](uint64_t key) {
            segments.push_back(
                {Unpack(static_cast<uint32_t>(key >> 32)), Unpack(static_cast<uint32_t>(key))});
        });
        return segments;
    }

private:
    static uint64_t Mix(uint64_t print, uint32_t packed) {
        return (print ^ packed) * 0x100000001B3ull + (print >> 29);
    }
    static uint64_t Finish(uint64_t print) {
        print ^= print >> 33;
        print *= 0xFF51AFD7ED558CCDull;
        print ^= print >> 33;
        return print == ~uint64_t{0} ? 0 : print;
    }

    std::vector<uint32_t> m_Path;
    std::size_t m_nLength = 0;
    uint64_t m_nPrint = 0;
    CKeySet m_Intervals;
    CKeySet m_Segments;
};

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

CPlot::CPlot() = default;
CPlot::~CPlot() = default;

void CPlot::StartCanvas() {
    m_Canvas = std::make_unique<CCanvas>(kCanvasWidth, kCanvasHeight);
    m_Canvas->Rectangle({0, 0}, {kCanvasWidth - 1, kCanvasHeight - 1}, kWhite, kWhite);
    m_bFrameSet = false;
}

void CPlot::SetFrame(double xMin, double xMax, double yMin, double yMax, double xStep,
                     double yStep) {
    if (!m_Canvas) StartCanvas();
    EnsureSpan(xMin, xMax);
    EnsureSpan(yMin, yMax);
    const double w = m_Canvas->Width(), h = m_Canvas->Height();
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

    m_Canvas->Rectangle({ToPixel(m_dLeft), ToPixel(m_dTop)},
                        {ToPixel(m_dRight), ToPixel(m_dBottom)}, std::nullopt, kBlack);

    // Vertical grid: the left edge carries xMin without a line of its own.
    m_VerticalGrid = {{m_dLeft}, {xMin}};
    const double xGrid = CappedStep(xStep, m_dSx, m_dWidth);
    if (xGrid > 0.0) {
        const double stepPixels = xGrid * m_dSx;
        // The first line right of the left edge, on a whole multiple of the step.
        // A capture that starts on a multiple (1.0 us on a 0.1 us grid) would
        // otherwise draw its first line over the frame and label xMin twice.
        double k = std::floor((m_dLeft - m_dX0) / stepPixels) + 1.0;
        double position = ToPixel(m_dX0 + k * stepPixels);
        if (position <= ToPixel(m_dLeft)) position = ToPixel(m_dX0 + ++k * stepPixels);
        if (xMin == 0.0) {
            k = 1.0;
            position = ToPixel(m_dLeft + stepPixels + 1.0);
        }
        const int advance = std::max(1, ToPixel(stepPixels));
        for (int n = 0; position <= m_dRight - 1.0 && n < kMaxGridLines; ++n, k += 1.0) {
            m_Canvas->Line({static_cast<int>(position), ToPixel(m_dTop + 1.0)},
                           {static_cast<int>(position), ToPixel(m_dBottom - 1.0)}, kGridGrey, true);
            m_VerticalGrid.m_Positions.push_back(position);
            m_VerticalGrid.m_Values.push_back(k * xGrid);
            position += advance;
        }
    }

    // Horizontal grid, from the lowest value upwards.
    m_HorizontalGrid = {};
    const double yGrid = CappedStep(yStep, m_dSy, m_dHeight);
    if (yGrid > 0.0) {
        const double stepPixels = yGrid * m_dSy;
        const double kLow = std::floor((m_dY0 - m_dBottom) / stepPixels) + 1.0;
        const double kHigh = std::ceil((m_dY0 - m_dTop - 2.0) / stepPixels) - 1.0;
        for (double k = kLow; k <= kHigh && k - kLow < kMaxGridLines; k += 1.0) {
            const double position = m_dY0 - k * stepPixels;
            m_Canvas->Line({ToPixel(m_dLeft + 1.0), ToPixel(position)},
                           {ToPixel(m_dRight - 1.0), ToPixel(position)}, kGridGrey, true);
            m_HorizontalGrid.m_Positions.push_back(position);
            m_HorizontalGrid.m_Values.push_back(k * yGrid);
        }
    }
    m_bFrameSet = true;
}

void CPlot::DrawAxisLabels(double xStep, double yStep, bool lowered, const std::string& xTitle,
                           const std::string& yTitle) {
    if (!m_bFrameSet) return;
    const double labelTop = m_dBottom + (lowered ? kLoweredLabelPixels : kLabelGapPixels);
    const std::vector<double>& xs = m_VerticalGrid.m_Positions;
    for (std::size_t i = 0; i < xs.size(); ++i) {
        const std::string label = TimeLabel(m_VerticalGrid.m_Values[i], xStep);
        // The left edge's time sits wherever the capture starts: when it would run
        // into the first grid label ("-1" beside "0" reads "-10"), the edge goes unlabelled.
        if (i == 0 && xs.size() > 1) {
            const std::string next = TimeLabel(m_VerticalGrid.m_Values[1], xStep);
            const double room = xs[1] - xs[0];
            const double needed = (m_Canvas->TextWidth(label, kLabelCellPixels) +
                                   m_Canvas->TextWidth(next, kLabelCellPixels)) /
                                      2.0 +
                                  kLabelGapPixels;
            if (room < needed) continue;
        }
        m_Canvas->Text(xs[i], labelTop, label, kLabelCellPixels, ETextAlign::Centre, kBlack);
    }
    m_Canvas->Text((m_dLeft + m_dRight) / 2.0,
                   m_dBottom + (lowered ? kLoweredTitlePixels : kTitleGapPixels), xTitle,
                   kLabelCellPixels, ETextAlign::Centre, kBlack);
    for (std::size_t i = 0; i < m_HorizontalGrid.m_Positions.size(); ++i)
        m_Canvas->Text(m_dLeft - kLabelGapPixels,
                       m_HorizontalGrid.m_Positions[i] - kLabelCellPixels / 2.0,
                       ValueLabel(m_HorizontalGrid.m_Values[i], yStep), kLabelCellPixels,
                       ETextAlign::Right, kBlack);
    m_Canvas->Text(m_dLeft - kYTitleOffsetPixels, (m_dTop + m_dBottom) / 2.0, yTitle,
                   kYTitleCellPixels, ETextAlign::Centre, kBlack, false);
}

void CPlot::DrawTrace(std::span<const double> xs, std::span<const double> ys, const Colour& colour,
                      double xFactor) {
    const CRgb pen = ToRgb(colour);
    if (!m_Canvas) return;
    const std::size_t n = std::min(xs.size(), ys.size());
    auto valued = [&](std::size_t i) { return IsSample(xs[i]) && IsSample(ys[i]); };
    std::size_t first = 0;
    while (first < n && !valued(first)) ++first;
    if (first == n) return;

    std::vector<CPixel> points;
    double x0 = PixelX(xs[first] * xFactor), y0 = PixelY(ys[first]);
    std::size_t next = first + 1;
    if (x0 <= m_dLeft) {
        // Samples that fall between the edge and the entry column would draw
        // back over the frame; the trace enters on the segment that crosses it.
        const double entry = m_dLeft + 1.0;
        double xPrev = x0, yPrev = y0;
        while (next < n) {
            if (valued(next)) {
                const double x = PixelX(xs[next] * xFactor);
                if (x > entry) break;
                xPrev = x;
                yPrev = PixelY(ys[next]);
            }
            ++next;
        }
        x0 = entry;
        y0 = yPrev;
        if (next < n) {
            const double x1 = PixelX(xs[next] * xFactor), y1 = PixelY(ys[next]);
            y0 = yPrev + (y1 - yPrev) * (entry - xPrev) / (x1 - xPrev);
        }
    }
    points.push_back({ToPixel(x0), ToPixel(y0)});

    CColumnReducer reducer(points);
    for (std::size_t i = next; i < n; ++i) {
        if (!valued(i)) continue;
        reducer.Add(i, PixelX(xs[i] * xFactor), PixelY(ys[i]));
    }
    reducer.Flush();
    m_Canvas->Polyline(points, pen);
}

bool CPlot::DrawFilledPolygon(std::span<const double> xs, std::span<const double> ys) {
    if (!m_bFrameSet) return false;
    const std::size_t n = std::min({xs.size(), ys.size(), kMaxTemplateVertices});
    std::vector<CPixel> points;
    for (std::size_t i = 0; i < n; ++i)
        points.push_back({ToPixel(TemplateX(xs[i])), ToPixel(PixelY(ys[i]))});
    m_Canvas->Polygon(points, kTemplateRed, kTemplateRed);
    return true;
}

void CPlot::DrawOutline(std::span<const double> xs, std::span<const double> ys,
                        const Colour& colour) {
    if (!m_bFrameSet) return;
    const std::size_t n = std::min({xs.size(), ys.size(), kMaxTemplateVertices});
    std::vector<CPixel> points;
    for (std::size_t i = 0; i < n; ++i)
        points.push_back({ToPixel(TemplateX(xs[i])), ToPixel(PixelY(ys[i]))});
    m_Canvas->Polyline(points, ToRgb(colour));
}

void CPlot::DrawFilledBox(std::span<const double> xs, std::span<const double> ys) {
    if (xs.size() < 3 || ys.size() < 3)
        throw CAnalysisError("Eye template box has fewer than 3 points to draw");
    if (!m_bFrameSet) return;
    m_Canvas->Rectangle({ToPixel(m_dLeft), ToPixel(PixelY(ys[0]))},
                        {ToPixel(TemplateX(xs[2])), ToPixel(PixelY(ys[2]))}, kTemplateRed,
                        kTemplateRed);
}

void CPlot::DrawHLine(double y, const Colour& colour) {
    const CRgb pen = ToRgb(colour);
    if (!m_bFrameSet || !std::isfinite(y)) return;
    const int py = ToPixel(PixelY(y));
    m_Canvas->Line({ToPixel(m_dLeft + 1.0), py}, {ToPixel(m_dRight) - 1, py}, pen);
}

void CPlot::DrawVLine(double x, const Colour& colour) {
    const CRgb pen = ToRgb(colour);
    if (!m_bFrameSet || !std::isfinite(x)) return;
    const int px = ToPixel(PixelX(x));
    m_Canvas->Line({px, ToPixel(m_dTop + 1.0)}, {px, ToPixel(m_dBottom) - 1}, pen);
}

void CPlot::DrawDot(double x, double y, const Colour& colour) {
    const CRgb pen = ToRgb(colour);
    if (!m_Canvas || !std::isfinite(x) || !std::isfinite(y)) return;
    const int px = static_cast<int>(std::clamp(PixelX(x), -kPixelLimit, kPixelLimit));
    const int py = static_cast<int>(std::clamp(PixelY(y), -kPixelLimit, kPixelLimit));
    m_Canvas->Ellipse({px - kDotHalfPixels, py - kDotHalfPixels},
                      {px + kDotHalfPixels, py + kDotHalfPixels}, pen, pen);
}

void CPlot::DrawSquare(double x, double y, const Colour& fill, const Colour& outline) {
    const CRgb inside = ToRgb(fill), edge = ToRgb(outline);
    if (!m_Canvas || !std::isfinite(x) || !std::isfinite(y)) return;
    const int px = ToPixel(PixelX(x)), py = ToPixel(PixelY(y));
    m_Canvas->Rectangle({px - kMarkerHalfPixels, py - kMarkerHalfPixels},
                        {px + kMarkerHalfPixels, py + kMarkerHalfPixels}, inside, edge);
}

void CPlot::DrawDiamond(double x, double y, const Colour& fill, const Colour& outline) {
    const CRgb inside = ToRgb(fill), edge = ToRgb(outline);
    if (!m_Canvas || !std::isfinite(x) || !std::isfinite(y)) return;
    const int px = ToPixel(PixelX(x)), py = ToPixel(PixelY(y));
    const int r = kMarkerHalfPixels;
    m_Canvas->Polygon({{px - r, py}, {px, py + r}, {px + r, py}, {px, py - r}}, inside, edge);
}

void CPlot::SavePng(const std::string& path, CPendingOutputs& outputs) const {
    if (m_Canvas) outputs.Add(path, m_Canvas->Png(path));
}

double CPlot::TimeGridStep(double range) {
    const double r = range / 10.0;
    if (r >= 50) return 100;
    if (r >= 20) return 50;
    if (r >= 10) return 20;
    if (r >= 5) return 10;
    if (r >= 2) return 5;
    if (r > 1) return 2;
    if (r > 0.5) return 1;
    if (r > 0.2) return 0.5;
    if (r > 0.1) return 0.2;
    return 0.1;
}

double CPlot::ValueGridStep(double range) {
    const double r = range / 10.0;
    if (r >= 10) return 10;
    if (r >= 5) return 5;
    if (r >= 2) return 10;
    if (r >= 1) return 2;
    if (r >= 0.5) return 1;
    if (r >= 0.2) return 0.5;
    if (r >= 0.1) return 0.2;
    if (r >= 0.05) return 0.1;
    if (r >= 0.02) return 0.05;
    if (r >= 0.01) return 0.02;
    if (r >= 0.005) return 0.01;
    if (r >= 0.001) return 0.005;
    if (r >= 0.0005) return 0.001;
    if (r >= 0.0002) return 0.0005;
    return 0.0002;
}

CTimeAxis CPlot::TimePrefix(std::span<const double> values) {
    static const std::array<const char*, 13> kPrefixes = {"a", "f", "p", "n", "\xC2\xB5", "m", "",
                                                          "k", "M", "G", "T", "P",        "E"};
    double largest = 0.0;
    for (double v : values)
        if (IsSample(v)) largest = std::max(largest, std::abs(v));
    // A capture that never leaves t = 0 has no scale to read: plain seconds.
    if (largest == 0.0) return {};
    const int e = 3 * static_cast<int>(std::floor(std::log10(largest) / 3.0));
    if (e < -18 || e > 18) return {};
    return {std::pow(10.0, -e), kPrefixes[static_cast<std::size_t>((e + 18) / 3)]};
}

std::string CPlot::TimeLabel(double value, double step) {
    if (std::abs(value) < kZeroLabel) value = 0.0;
    return Format(IsWhole(step) ? "%.0f" : "%.1f", value);
}

std::string CPlot::ValueLabel(double value, double step) {
    if (std::abs(value) < kZeroLabel) value = 0.0;
    const char* format = "%.1f";
    if (IsWhole(step))
        format = "%.0f";
    else if (step < 0.001)
        format = "%.4f";
    else if (step < 0.01)
        format = "%.3f";
    else if (step < 0.1)
        format = "%.2f";
    return Format(format, value);
}

CPlot::CCaptureAxis CPlot::CaptureAxis(std::span<const double> time) {
    CRange range;
    Extend(range, time);
    // The largest magnitude of the times is at one end of their range.
    const std::array<double, 2> ends{range.lo, range.hi};
    CCaptureAxis x;
    const CTimeAxis axis = TimePrefix(ends);
    x.m_dFactor = axis.m_dFactor;
    x.m_strTitle = "time, " + axis.m_strPrefix + "s";
    x.m_dMin = range.lo * axis.m_dFactor;
    x.m_dMax = range.hi * axis.m_dFactor;
    EnsureSpan(x.m_dMin, x.m_dMax);
    x.m_dStep = TimeGridStep(x.m_dMax - x.m_dMin);
    return x;
}

void CPlot::PlotSignal(const CAnalysisRecord& record, const CSigConfig& config,
                       const CSigSpec& spec, const std::string& dataFile,
                       CPendingOutputs& outputs) {
    if (record.m_Time.empty()) throw CAnalysisError("No samples in the capture to plot");
    const CCaptureAxis axis = CaptureAxis(record.m_Time);
    const double xMin = axis.m_dMin, xMax = axis.m_dMax, xStep = axis.m_dStep;
    const std::string& xTitle = axis.m_strTitle;

    StartCanvas();
    const bool differential = spec.m_nSpeed == config.m_nHighSpeed;
    CRange volts;
    if (differential) {
        Extend(volts, record.m_Diff);
    } else {
        Extend(volts, record.m_DMinus);
        Extend(volts, record.m_DPlus);
    }
    // The headroom widens the range whatever the sign of the largest value:
    // a capture that stays below 0 V is shown whole.
    const double m = std::abs(volts.hi * kSignalHeadroom);
    double yMin = volts.lo - m, yMax = volts.hi + m;
    EnsureSpan(yMin, yMax);

    if (differential) {
        const double yStep = ValueGridStep(yMax - yMin);
        SetFrame(xMin, xMax, yMin, yMax, xStep, yStep);
        DrawAxisLabels(xStep, yStep, false, xTitle, spec.m_strSignalYLabel);
        DrawTrace(record.m_Time, record.m_Diff, config.m_ColourB, axis.m_dFactor);
    } else {
        SetFrame(xMin, xMax, yMin, yMax, xStep, spec.m_dSignalScaleB);
        DrawAxisLabels(spec.m_dSignalScaleA, spec.m_dSignalScaleB, true, xTitle,
                       spec.m_strSignalYLabel);
        DrawTrace(record.m_Time, record.m_DMinus, config.m_ColourC, axis.m_dFactor);
        DrawTrace(record.m_Time, record.m_DPlus, config.m_ColourD, axis.m_dFactor);
        DrawTrace(record.m_Time, record.m_CommonMode, config.m_ColourA, axis.m_dFactor);
    }

    if (!record.m_Measurements.empty()) {
        const CPacketMeasurement& packet = record.m_Measurements.front();
        const auto flagStart =
            static_cast<std::size_t>(std::max<int32_t>(packet.m_EyeFinal.m_nFlagStart, 0));
        auto markViolations = [&](const std::vector<int32_t>& flags,
                                  const std::vector<double>& trace) {
            const std::size_t n = std::min(trace.size(), record.m_Time.size());
            std::size_t marked = 0;
            for (std::size_t j = 0; j < flags.size() && marked < kMaxViolationDots; ++j) {
                const std::size_t i = flagStart + j;
                if (i >= n) break;
                if (flags[j] != 1) continue;
                DrawDot(record.m_Time[i] * axis.m_dFactor, trace[i], config.m_ColourG);
                ++marked;
            }
        };
        if (differential) {
            markViolations(packet.m_EyeFinal.m_Flags1, record.m_Diff);
        } else {
            markViolations(packet.m_EyeFinal.m_Flags1, record.m_DMinus);
            markViolations(packet.m_EyeFinal.m_Flags2, record.m_DPlus);
        }
        for (double edge : {packet.m_dEopStart, packet.m_dEopEnd})
            DrawSquare(edge * axis.m_dFactor, packet.m_dEopThreshold, config.m_ColourF,
                       config.m_ColourE);
        if (!differential) {
            const std::size_t n =
                std::min(packet.m_CrossingTimes.size(), packet.m_CrossoverVolts.size());
            for (std::size_t i = 0; i < n; ++i)
                DrawDiamond(packet.m_CrossingTimes[i] * axis.m_dFactor, packet.m_CrossoverVolts[i],
                            config.m_ColourF, config.m_ColourE);
        }
    }
    if (!differential) DrawSymbolStrip(record, config, axis.m_dFactor);
    SavePng(OutputNamesOf(dataFile).Path("Plot.png"), outputs);
}

void CPlot::PlotCurrent(const CInrushRecord& record, const CInrushSpec& spec,
                        CPendingOutputs& outputs) {
    if (record.m_Time.empty()) throw CAnalysisError("No current samples in the capture to plot");
    const CCaptureAxis x = CaptureAxis(record.m_Time);
    CRange amps;
    Extend(amps, record.m_Current);
    double yMin = amps.lo - std::abs(kCurrentHeadroom * amps.lo);
    double yMax = std::max(amps.hi * (1.0 + kCurrentHeadroom), kLowestCurrentTop);
    EnsureSpan(yMin, yMax);
    const double yStep = ValueGridStep(yMax - yMin);

    StartCanvas();
    SetFrame(x.m_dMin, x.m_dMax, yMin, yMax, x.m_dStep, yStep);
    DrawAxisLabels(x.m_dStep, yStep, false, x.m_strTitle, "current, A");
    // A device that draws its whole current above the threshold would put the
    // line under the frame, over the time labels.
    const double threshold = spec.m_dCurrentThreshold;
    if (threshold > yMin && threshold < yMax) DrawHLine(threshold, spec.m_ColourA);
    // Every region the measurement kept lies inside its window after the trigger,
    // whatever the scope's time stamps are: each gets its marker.
    for (double start : record.m_RegionStart) DrawVLine(start * x.m_dFactor, spec.m_ColourC);
    DrawTrace(record.m_Time, record.m_Current, spec.m_ColourB, x.m_dFactor);
    SavePng(OutputNamesOf(record.m_strFile).Path("Plot.png"), outputs);
}

void CPlot::DrawSymbolStrip(const CAnalysisRecord& record, const CSigConfig& config,
                            double factor) {
    constexpr int kSymbolCodes = 5;
    const int stripTop = ToPixel(m_dBottom) + 1;
    const int stripBottom = ToPixel(m_dBottom + kSymbolStripPixels);
    const int left = ToPixel(m_dLeft) + 1, right = ToPixel(m_dRight) - 1;
    for (const CPacketEntry& packet : record.m_Packets) {
        for (const CSymbolRun& run : packet.m_Symbols) {
            if (run.m_nSymbol < 0 || run.m_nSymbol >= kSymbolCodes) continue;
            const int x0 = std::max(left, ToPixel(PixelX(run.m_dStart * factor)));
            const int x1 = std::min(right, ToPixel(PixelX(run.m_dEnd * factor)));
            if (x1 < x0) continue;
            const std::size_t k = static_cast<std::size_t>(run.m_nSymbol);
            const CRgb fill{config.m_nPaletteA.at(k), config.m_nPaletteA.at(5 + k),
                            config.m_nPaletteA.at(10 + k)};
            m_Canvas->Rectangle({x0, stripTop}, {x1, stripBottom}, fill, fill);
            std::string label = run.m_strLabel;
            if (label.empty() && k < config.m_strSymbols.size()) label = config.m_strSymbols[k];
            if (m_Canvas->TextWidth(label, kLabelCellPixels) > x1 - x0 + 1) continue;
            // Dark line states carry white letters, the white idle black ones.
            const double luminance = 0.299 * fill.r + 0.587 * fill.g + 0.114 * fill.b;
            m_Canvas->Text((x0 + x1 + 1) / 2.0, m_dBottom, label, kLabelCellPixels,
                           ETextAlign::Centre, luminance < 128.0 ? kWhite : kBlack);
        }
    }
}

void CPlot::PlotEye(const CAnalysisRecord& record, const CSigConfig& config, const CSigSpec& spec,
                    const std::string& dataFile, CPendingOutputs& outputs) {
    // The keep-out boxes are stretched to the frame below, on copies: the test
    // type's templates are lent to every stage of the run and must leave this plot as they came.
    EyeTemplate eye1 = spec.m_Eye1;
    EyeTemplate eye2 = spec.m_Eye2;
    const double unitInterval = eye1.BottomT.at(3);
    double factor = 1.0;
    if (unitInterval != 0.0 && std::isfinite(unitInterval))
        factor = std::pow(10.0, -3.0 * std::floor(std::log10(std::abs(unitInterval)) / 3.0));

    const bool differential = spec.m_nSpeed == config.m_nHighSpeed;
    std::vector<const std::vector<double>*> traces;
    std::vector<const Colour*> colours;
    if (differential) {
        traces = {&record.m_Diff};
        colours = {&config.m_ColourB};
    } else {
        traces = {&record.m_DMinus, &record.m_DPlus};
        colours = {&config.m_ColourC, &config.m_ColourD};
    }
    CRange volts;
    for (const std::vector<double>* trace : traces) {
        if (trace->empty()) throw CAnalysisError("No samples in a capture trace to draw the eye");
        Extend(volts, *trace);
    }
    // The range reaches the box levels of both templates: the low-speed second
    // template's top level (3.8 V) lies above the first's (3.7 V), and its line
    // would otherwise be drawn above the frame.
    const double d = kEyeHeadroom * (volts.hi - volts.lo);
    double yMin = volts.lo, yMax = volts.hi;
    for (const EyeTemplate* eye : {&eye1, &eye2}) {
        yMin = std::min(yMin, *std::max_element(eye->BottomV.begin(), eye->BottomV.end()));
        yMax = std::max(yMax, *std::min_element(eye->TopV.begin(), eye->TopV.end()));
    }
    yMin -= d;
    yMax += d;
    EnsureSpan(yMin, yMax);
    for (EyeTemplate* eye : {&eye1, &eye2}) {
        eye->BottomV.at(0) = eye->BottomV.at(3) = yMin;
        eye->TopV.at(0) = eye->TopV.at(3) = yMax;
        for (std::vector<double>* times : {&eye->BottomT, &eye->InnerT, &eye->TopT})
            for (double& t : *times) t *= factor;
    }

    const double width = eye1.BottomT.at(2);
    const double xStep = TimeGridStep(width), yStep = ValueGridStep(yMax - yMin);
    StartCanvas();
    SetFrame(0.0, width, yMin, yMax, xStep, yStep);
    DrawAxisLabels(xStep, yStep, false, spec.m_strEyeXLabel, spec.m_strEyeYLabel);
    DrawFilledPolygon(eye1.InnerT, eye1.InnerV);
    DrawFilledBox(eye1.TopT, eye1.TopV);
    DrawFilledBox(eye1.BottomT, eye1.BottomV);
    DrawOutline(eye2.InnerT, eye2.InnerV, config.m_ColourI);
    DrawHLine(eye2.TopV.at(1), config.m_ColourI);
    DrawHLine(eye2.BottomV.at(1), config.m_ColourI);

    if (!record.m_Measurements.empty()) {
        const CPacketMeasurement& packet = record.m_Measurements.front();
        const std::vector<int32_t>& bounds = packet.m_EyeAux;
        const std::size_t intervals = std::min(bounds.size(), packet.m_BitTimes.size());
        const std::vector<double>& t = record.m_Time;
        // An interval ends on the first sample at or past the next boundary, up to
        // a sample period beyond the eye's right edge: the traces stop at the frame.
        m_Canvas->StartClip({ToPixel(m_dLeft) + 1, ToPixel(m_dTop) + 1},
                            {ToPixel(m_dRight) - 1, ToPixel(m_dBottom) - 1});
        for (std::size_t c = 0; c < traces.size(); ++c) {
            const std::vector<double>& v = *traces[c];
            const std::size_t samples = std::min(t.size(), v.size());
            CEyePaths paths;
            const double y0Pixel = m_dY0, yScale = m_dSy;
            for (std::size_t k = 0; k + 1 < intervals; ++k) {
                // Each interval runs on to the next boundary sample, so the eye
                // closes at its right edge instead of one sample short of it.
                const std::size_t first = static_cast<std::size_t>(std::max(bounds[k], 0));
                const std::size_t last =
                    std::min(static_cast<std::size_t>(std::max(bounds[k + 1], 0)), samples - 1);
                if (first >= samples || last <= first) continue;
                // x pixel = offset + slope * t, folded onto this interval's boundary.
                const double slope = m_dSx * factor;
                const double offset = m_dX0 - slope * packet.m_BitTimes[k];
                const auto [x0, y0] =
                    EnterAtLeftEdge(offset + slope * t[first], PixelY(v[first]),
                                    offset + slope * t[first + 1], PixelY(v[first + 1]), m_dLeft);
                if (!(std::abs(x0) < kEyePixelLimit && std::abs(y0) < kEyePixelLimit)) continue;
                paths.Start({RoundPixel(x0), RoundPixel(y0)}, last - first + 1);
                for (std::size_t i = first + 1; i <= last; ++i) {
                    const double x = offset + slope * t[i], y = y0Pixel - yScale * v[i];
                    // Also false for NaN: a sample with no value breaks no segment.
                    if (!(std::abs(x) < kEyePixelLimit && std::abs(y) < kEyePixelLimit)) continue;
                    paths.LineTo({RoundPixel(x), RoundPixel(y)});
                }
                paths.End();
            }
            m_Canvas->Segments(paths.Segments(), ToRgb(*colours[c]));
        }
        m_Canvas->EndClip();
    }
    SavePng(OutputNamesOf(dataFile).Path("Eye.png"), outputs);
}
