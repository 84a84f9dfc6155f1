#include "plot/CPacketMarks.h"

#include <algorithm>
#include <cmath>

#include "plot/CPlotMarks.h"
#include "plot/CPlotScale.h"
#include "signal/CPacketMeasurement.h"
#include "spec/CSigConfig.h"
#include "spec/CSigSpec.h"

namespace {

// Bit boundaries closer than this on the screen tint the plot instead of drawing a grid.
constexpr double kMinBitGridPixels = 3.0;
// Above the frame: the band of a span, a gap, and its label over the band.
constexpr int kSpanBandPixels = 5;
constexpr int kSpanGapPixels = 2;
constexpr double kSpanLabelPixels = 12.0;
// Under the axis title, also where the line-state strip lowers it.
constexpr double kKeyTopBelowFrame = 42.0;
constexpr double kKeyCellPixels = 10.0;
constexpr double kKeyGlyphGap = 3.0;
constexpr double kKeyItemGap = 14.0;

constexpr CRgb kBlack{0, 0, 0};

CRgb ToRgb(const std::vector<int32_t>& c) { return {c.at(0), c.at(1), c.at(2)}; }

enum class EGlyph { BitGrid, Crossing, EopEdge, Violation };

}  // namespace

CPacketMarks::CPacketMarks(CPlotArea& area, const CSigConfig& config, double factor)
    : m_Area(area), m_Config(config), m_dFactor(factor) {}

bool CPacketMarks::BitGrid(const CPacketMeasurement& packet) {
    if (!(PixelsPerBit(packet.m_dUnitInterval) >= kMinBitGridPixels)) return false;
    const int left = ToPixel(m_Area.Left()), right = ToPixel(m_Area.Right());
    const int top = ToPixel(m_Area.Top() + 1.0), bottom = ToPixel(m_Area.Bottom()) - 1;
    for (double t : packet.m_BitTimes) {
        if (!std::isfinite(t)) continue;
        const int x = ToPixel(m_Area.PixelX(t * m_dFactor));
        if (x > left && x < right) m_Area.Canvas().Line({x, top}, {x, bottom}, kBitGridColour);
    }
    return true;
}

void CPacketMarks::Violations(const CSampleTimes& time, const std::vector<double>& first,
                              const std::vector<double>& second, const CEyeResult& eye) {
    const auto flagStart = static_cast<std::size_t>(std::max<int32_t>(eye.m_nFlagStart, 0));
    FlaggedSamples(time, first, eye.m_Flags1, flagStart);
    FlaggedSamples(time, second, eye.m_Flags2, flagStart);
}

void CPacketMarks::FlaggedSamples(const CSampleTimes& time, const std::vector<double>& trace,
                                  const std::vector<int32_t>& flags, std::size_t flagStart) {
    const CRgb red = ToRgb(m_Config.m_ColourG);
    const std::size_t n = std::min(time.size(), trace.size());
    CPixel last{-1, -1};
    for (std::size_t j = 0; j < flags.size() && flagStart + j < n; ++j) {
        const std::size_t i = flagStart + j;
        if (flags[j] == 0 || !CPlotScale::IsSample(time[i]) || !CPlotScale::IsSample(trace[i]))
            continue;
        const CPixel p = PixelOf(time[i], trace[i]);
        if (p == last) continue;  // a run of flagged samples on one pixel, as most are
        last = p;
        if (FirstAt(m_Violations, p)) CPlotMarks::DotAt(m_Area.Canvas(), p, red);
    }
}

// At full size the diamonds of two crossings one bit apart would overlap: they shrink
// to the bit's width on the screen, and a small one is all fill, its outline hiding
// nothing on the grey zero line of a high-speed trace.
void CPacketMarks::Crossings(const CPacketMeasurement& packet) {
    const double room = std::floor(PixelsPerBit(packet.m_dUnitInterval) / 2.0);
    const int half = static_cast<int>(std::clamp(room, 1.0, 1.0 * CPlotMarks::kMarkerHalfPixels));
    const CRgb fill = ToRgb(m_Config.m_ColourF);
    const CRgb edge = half < CPlotMarks::kMarkerHalfPixels ? fill : ToRgb(m_Config.m_ColourE);
    for (const CCrossing& c : packet.m_Crossings) {
        if (!CPlotScale::IsSample(c.m_dTime) || !CPlotScale::IsSample(c.m_dVolts)) continue;
        const CPixel p = PixelOf(c.m_dTime, c.m_dVolts);
        if (FirstAt(m_Crossings, p)) CPlotMarks::DiamondAt(m_Area.Canvas(), p, half, fill, edge);
    }
}

void CPacketMarks::Fields(const CPacketMeasurement& packet, const CSigSpec& spec,
                          double packetStart) {
    const std::vector<std::string>& syncs = spec.m_strSyncPatterns;
    const auto dropped = static_cast<std::size_t>(std::max<int32_t>(packet.m_nSyncBitsDropped, 0));
    if (packet.m_nSyncMatches > 0 && dropped < syncs.size()) {
        const double bits = static_cast<double>(syncs[dropped].size());
        Span(packetStart, packetStart + bits * packet.m_dUnitInterval, "SYNC");
    }
    Span(packet.m_dEopStart, packet.m_dEopEnd, "EOP");
}

void CPacketMarks::Span(double start, double end, const std::string& label) {
    if (!std::isfinite(start) || !std::isfinite(end)) return;
    const int x0 = std::max(ToPixel(m_Area.Left()), ToPixel(m_Area.PixelX(start * m_dFactor)));
    const int x1 = std::min(ToPixel(m_Area.Right()), ToPixel(m_Area.PixelX(end * m_dFactor)));
    if (x1 < x0) return;
    CCanvas& canvas = m_Area.Canvas();
    const int bandBottom = ToPixel(m_Area.Top()) - 1 - kSpanGapPixels;
    const int bandTop = bandBottom - kSpanBandPixels + 1;
    const CRgb band = ToRgb(m_Config.m_ColourE);
    canvas.Rectangle({x0, bandTop}, {x1, bandBottom}, band, band);
    // Over the middle of its band, but whole on the canvas when the span runs off the frame.
    const double half = canvas.TextWidth(label, kSpanLabelPixels) / 2.0;
    const double centre = std::clamp((x0 + x1 + 1) / 2.0, half, canvas.Width() - half);
    canvas.Text(centre, bandTop - 1 - kSpanLabelPixels, label, kSpanLabelPixels, ETextAlign::Centre,
                kBlack);
}

void CPacketMarks::Key(bool bitGrid) {
    struct CItem {
        EGlyph glyph;
        const char* text;
    };
    std::vector<CItem> items{{EGlyph::Crossing, "crossing"},
                             {EGlyph::EopEdge, "EOP edge"},
                             {EGlyph::Violation, "eye template violation"}};
    if (bitGrid) items.insert(items.begin(), {EGlyph::BitGrid, "bit grid"});
    CCanvas& canvas = m_Area.Canvas();
    const double glyph = 2.0 * CPlotMarks::kMarkerHalfPixels + 1.0;
    double width = -kKeyItemGap;
    for (const CItem& item : items)
        width += glyph + kKeyGlyphGap + canvas.TextWidth(item.text, kKeyCellPixels) + kKeyItemGap;
    double x = (m_Area.Left() + m_Area.Right() - width) / 2.0;
    const double top = m_Area.Bottom() + kKeyTopBelowFrame;
    const int row = ToPixel(top + kKeyCellPixels / 2.0);
    const int r = CPlotMarks::kMarkerHalfPixels;
    const CRgb fill = ToRgb(m_Config.m_ColourF), edge = ToRgb(m_Config.m_ColourE);
    for (const CItem& item : items) {
        const CPixel p{ToPixel(x + glyph / 2.0), row};
        switch (item.glyph) {
            case EGlyph::BitGrid:
                for (int dx : {-r / 2, r / 2})
                    canvas.Line({p.x + dx, p.y - r}, {p.x + dx, p.y + r}, kBitGridColour);
                break;
            case EGlyph::Crossing:
                CPlotMarks::DiamondAt(canvas, p, r, fill, edge);
                break;
            case EGlyph::EopEdge:
                CPlotMarks::SquareAt(canvas, p, fill, edge);
                break;
            case EGlyph::Violation:
                CPlotMarks::DotAt(canvas, p, ToRgb(m_Config.m_ColourG));
                break;
        }
        x += glyph + kKeyGlyphGap;
        canvas.Text(x, top, item.text, kKeyCellPixels, ETextAlign::Left, kBlack);
        x += canvas.TextWidth(item.text, kKeyCellPixels) + kKeyItemGap;
    }
}

double CPacketMarks::PixelsPerBit(double unitInterval) const {
    const double pixels = unitInterval * m_dFactor * m_Area.XScale();
    return std::isfinite(pixels) ? pixels : 0.0;
}

CPixel CPacketMarks::PixelOf(double t, double v) const {
    return {ToPixel(m_Area.PixelX(t * m_dFactor)), ToPixel(m_Area.PixelY(v))};
}

bool CPacketMarks::FirstAt(std::vector<bool>& marked, CPixel p) const {
    const int w = m_Area.Canvas().Width(), h = m_Area.Canvas().Height();
    if (p.x < 0 || p.y < 0 || p.x >= w || p.y >= h) return false;
    if (marked.empty()) marked.assign(static_cast<std::size_t>(w) * h, false);
    const std::size_t at = static_cast<std::size_t>(p.y) * w + p.x;
    if (marked[at]) return false;
    marked[at] = true;
    return true;
}
