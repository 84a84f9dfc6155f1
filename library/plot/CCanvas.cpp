#include "plot/CCanvas.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "common/CAnalysisError.h"
#include "common/CPathNames.h"

namespace {

// Dotted grid: one pixel lit, two left dark.
constexpr double kDotDashes[] = {1.0, 2.0};

// The pixel whose centre a one-pixel pen passes through.
double Centre(int v) { return v + 0.5; }

void SetColour(cairo_t* cr, CRgb colour) {
    cairo_set_source_rgb(cr, colour.r / 255.0, colour.g / 255.0, colour.b / 255.0);
}

cairo_status_t AppendBytes(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

}  // namespace

struct CCanvas::CState {
    cairo_surface_t* surface = nullptr;
    cairo_t* cr = nullptr;
};

CCanvas::CCanvas(int width, int height)
    : m_nWidth(width), m_nHeight(height), m_State(std::make_unique<CState>()) {
    m_State->surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    m_State->cr = cairo_create(m_State->surface);
    cairo_t* cr = m_State->cr;
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    cairo_set_line_width(cr, 1.0);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_BEVEL);

    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_set_font_options(cr, options);
    cairo_font_options_destroy(options);
    cairo_select_font_face(cr, "Arial", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);

    SetColour(cr, {255, 255, 255});
    cairo_paint(cr);
}

CCanvas::~CCanvas() {
    cairo_destroy(m_State->cr);
    cairo_surface_destroy(m_State->surface);
}

void CCanvas::Line(CPixel from, CPixel to, CRgb pen, bool dotted) {
    cairo_t* cr = m_State->cr;
    SetColour(cr, pen);
    if (dotted && (from.x == to.x || from.y == to.y)) {
        // From the outer edge of the first pixel to the outer edge of the last,
        // so each one-pixel dash covers exactly one pixel centre.
        cairo_save(cr);
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
        cairo_set_dash(cr, kDotDashes, 2, 0.0);
        if (from.x == to.x) {
            cairo_move_to(cr, Centre(from.x), std::min(from.y, to.y));
            cairo_line_to(cr, Centre(from.x), std::max(from.y, to.y) + 1);
        } else {
            cairo_move_to(cr, std::min(from.x, to.x), Centre(from.y));
            cairo_line_to(cr, std::max(from.x, to.x) + 1, Centre(from.y));
        }
        cairo_stroke(cr);
        cairo_restore(cr);
        return;
    }
    Segments({{from, to}}, pen);
}

void CCanvas::Polyline(const std::vector<CPixel>& points, CRgb pen) {
    if (points.empty()) return;
    cairo_t* cr = m_State->cr;
    SetColour(cr, pen);
    // A trace that never leaves one pixel (a flat capture whose samples all share
    // one time) is that pixel: cairo strokes nothing for a path without length.
    if (std::all_of(points.begin(), points.end(),
                    [&](const CPixel& p) { return p == points.front(); })) {
        cairo_rectangle(cr, points.front().x, points.front().y, 1, 1);
        cairo_fill(cr);
        return;
    }
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_SQUARE);
    cairo_move_to(cr, Centre(points.front().x), Centre(points.front().y));
    for (std::size_t i = 1; i < points.size(); ++i)
        cairo_line_to(cr, Centre(points[i].x), Centre(points[i].y));
    cairo_stroke(cr);
}

void CCanvas::Segments(const std::vector<CPixelSegment>& segments, CRgb pen) {
    if (segments.empty()) return;
    cairo_t* cr = m_State->cr;
    SetColour(cr, pen);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_SQUARE);
    for (const CPixelSegment& s : segments) {
        cairo_move_to(cr, Centre(s.from.x), Centre(s.from.y));
        cairo_line_to(cr, Centre(s.to.x), Centre(s.to.y));
    }
    cairo_stroke(cr);
}

void CCanvas::Rectangle(CPixel corner, CPixel opposite, std::optional<CRgb> fill, CRgb outline) {
    cairo_t* cr = m_State->cr;
    const int x0 = std::min(corner.x, opposite.x), x1 = std::max(corner.x, opposite.x);
    const int y0 = std::min(corner.y, opposite.y), y1 = std::max(corner.y, opposite.y);
    if (fill) {
        SetColour(cr, *fill);
        cairo_rectangle(cr, x0, y0, x1 - x0 + 1, y1 - y0 + 1);
        cairo_fill(cr);
    }
    // The outline as four one-pixel bands: exact at the corners and for boxes
    // only one or two pixels across.
    SetColour(cr, outline);
    cairo_rectangle(cr, x0, y0, x1 - x0 + 1, 1);
    cairo_rectangle(cr, x0, y1, x1 - x0 + 1, 1);
    cairo_rectangle(cr, x0, y0, 1, y1 - y0 + 1);
    cairo_rectangle(cr, x1, y0, 1, y1 - y0 + 1);
    cairo_fill(cr);
}

void CCanvas::Ellipse(CPixel corner, CPixel opposite, std::optional<CRgb> fill, CRgb outline) {
    cairo_t* cr = m_State->cr;
    const int x0 = std::min(corner.x, opposite.x), x1 = std::max(corner.x, opposite.x);
    const int y0 = std::min(corner.y, opposite.y), y1 = std::max(corner.y, opposite.y);
    const double cx = (x0 + x1 + 1) / 2.0, cy = (y0 + y1 + 1) / 2.0;
    const double rx = (x1 - x0 + 1) / 2.0, ry = (y1 - y0 + 1) / 2.0;
    auto path = [&](double inset) {
        cairo_save(cr);
        cairo_translate(cr, cx, cy);
        cairo_scale(cr, std::max(rx - inset, 0.01), std::max(ry - inset, 0.01));
        cairo_new_path(cr);
        cairo_arc(cr, 0.0, 0.0, 1.0, 0.0, 2.0 * std::numbers::pi);
        cairo_restore(cr);
    };
    if (fill) {
        SetColour(cr, *fill);
        path(0.0);
        cairo_fill(cr);
    }
    SetColour(cr, outline);
    path(0.5);
    cairo_stroke(cr);
}

void CCanvas::Polygon(const std::vector<CPixel>& points, std::optional<CRgb> fill, CRgb outline) {
    if (points.empty()) return;
    cairo_t* cr = m_State->cr;
    cairo_move_to(cr, Centre(points.front().x), Centre(points.front().y));
    for (std::size_t i = 1; i < points.size(); ++i)
        cairo_line_to(cr, Centre(points[i].x), Centre(points[i].y));
    cairo_close_path(cr);
    if (fill) {
        SetColour(cr, *fill);
        cairo_fill_preserve(cr);
    }
    SetColour(cr, outline);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_SQUARE);
    cairo_stroke(cr);
}

void CCanvas::StartClip(CPixel corner, CPixel opposite) {
    if (m_Clip) EndClip();
    m_Clip = {corner, opposite};
    // Drawn apart first: a cairo clip would cut the pen's outline before it is
    // rasterized and move pixels along the edge of the box.
    cairo_push_group(m_State->cr);
}

void CCanvas::EndClip() {
    if (!m_Clip) return;
    const auto [corner, opposite] = *m_Clip;
    m_Clip.reset();
    cairo_t* cr = m_State->cr;
    const int x0 = std::min(corner.x, opposite.x), x1 = std::max(corner.x, opposite.x);
    const int y0 = std::min(corner.y, opposite.y), y1 = std::max(corner.y, opposite.y);
    cairo_pop_group_to_source(cr);
    cairo_save(cr);
    cairo_new_path(cr);
    cairo_rectangle(cr, x0, y0, x1 - x0 + 1, y1 - y0 + 1);
    cairo_clip(cr);
    cairo_paint(cr);
    cairo_restore(cr);
}

namespace {

// Font size at which the text cell (ascent plus descent) is `cellHeight` tall.
void SetCellHeight(cairo_t* cr, double cellHeight, cairo_font_extents_t& extents) {
    cairo_set_font_size(cr, 100.0);
    cairo_font_extents(cr, &extents);
    const double cellPer100 = extents.ascent + extents.descent;
    cairo_set_font_size(cr, cellPer100 > 0 ? 100.0 * cellHeight / cellPer100 : cellHeight);
    cairo_font_extents(cr, &extents);
}

}  // namespace

double CCanvas::TextWidth(std::string_view utf8, double cellHeight) const {
    cairo_t* cr = m_State->cr;
    cairo_font_extents_t font;
    SetCellHeight(cr, cellHeight, font);
    const std::string text(utf8);
    cairo_text_extents_t extents;
    cairo_text_extents(cr, text.c_str(), &extents);
    return extents.x_advance;
}

void CCanvas::Text(double x, double y, std::string_view utf8, double cellHeight, ETextAlign align,
                   CRgb colour, bool upright) {
    cairo_t* cr = m_State->cr;
    cairo_font_extents_t font;
    SetCellHeight(cr, cellHeight, font);
    const std::string text(utf8);
    cairo_text_extents_t extents;
    cairo_text_extents(cr, text.c_str(), &extents);
    const double width = extents.x_advance;
    SetColour(cr, colour);
    if (upright) {
        double left = x;
        if (align == ETextAlign::Centre) left = x - width / 2.0;
        if (align == ETextAlign::Right) left = x - width;
        cairo_move_to(cr, std::round(left), std::round(y + font.ascent));
        cairo_show_text(cr, text.c_str());
        return;
    }
    cairo_save(cr);
    cairo_translate(cr, std::round(x), std::round(y));
    cairo_rotate(cr, -std::numbers::pi / 2.0);
    cairo_move_to(cr, std::round(-width / 2.0),
                  std::round(-(font.ascent + font.descent) / 2.0 + font.ascent));
    cairo_show_text(cr, text.c_str());
    cairo_restore(cr);
}

std::string CCanvas::Png(const std::string& path) const {
    cairo_surface_flush(m_State->surface);
    std::string bytes;
    const cairo_status_t status =
        cairo_surface_write_to_png_stream(m_State->surface, AppendBytes, &bytes);
    if (status != CAIRO_STATUS_SUCCESS) {
        throw CAnalysisError(
            ComposeMessage("%s: %s", {cairo_status_to_string(status), FileNameOf(path)}, 1));
    }
    return bytes;
}

CRgb CCanvas::CImage::At(int x, int y) const {
    const uint32_t p = pixels.at(static_cast<std::size_t>(y) * width + x);
    return {static_cast<int>((p >> 16) & 0xFF), static_cast<int>((p >> 8) & 0xFF),
            static_cast<int>(p & 0xFF)};
}

std::optional<CCanvas::CImage> CCanvas::ReadPng(const std::string& path) {
    cairo_surface_t* surface = cairo_image_surface_create_from_png(path.c_str());
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return std::nullopt;
    }
    cairo_surface_flush(surface);
    CImage image;
    image.width = cairo_image_surface_get_width(surface);
    image.height = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    image.pixels.resize(static_cast<std::size_t>(image.width) * image.height);
    for (int y = 0; y < image.height; ++y) {
        const auto* row =
            reinterpret_cast<const uint32_t*>(data + static_cast<std::size_t>(y) * stride);
        for (int x = 0; x < image.width; ++x)
            image.pixels[static_cast<std::size_t>(y) * image.width + x] = row[x] & 0xFFFFFF;
    }
    cairo_surface_destroy(surface);
    return image;
}
