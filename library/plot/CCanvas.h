#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct CRgb {
    int r = 0;
    int g = 0;
    int b = 0;
    bool operator==(const CRgb&) const = default;
};

struct CPixel {
    int x = 0;
    int y = 0;
    bool operator==(const CPixel&) const = default;
};

// Pixel positions are kept well inside what the rasterizer's fixed point holds;
// a trace point that far off the canvas only sets the slope of a line leaving it.
inline constexpr double kPixelLimit = 1.0e6;

// Rounds half up, as CVectorMath::RoundHalfUp does, but on the clamped pixel
// range through an integer conversion: it runs twice per sample of a
// ten-million-sample capture, where a library floor call is a third of the time.
// For positions already known to lie within kPixelLimit.
inline int RoundPixel(double v) {
    int whole = static_cast<int>(v);
    whole -= v < whole;
    return whole + (v - whole >= 0.5);
}

// The pixel a position on the canvas lies in; a position with no value is the corner.
inline int ToPixel(double v) {
    if (std::isnan(v)) return 0;
    return RoundPixel(std::clamp(v, -kPixelLimit, kPixelLimit));
}

// One straight piece of a trace, end points included.
struct CPixelSegment {
    CPixel from;
    CPixel to;
};

enum class ETextAlign { Left, Centre, Right };

// An off-screen 24-bit picture that the plots draw on, pixel-exact: nothing is
// smoothed, pens are one pixel wide and sit on pixel centres, so a grid line
// computed for column 72 lights column 72 and nothing else. Every position is
// a whole pixel and every shape includes the pixels it names at both ends.
class CCanvas {
public:
    CCanvas(int width, int height);  // filled white
    ~CCanvas();
    CCanvas(const CCanvas&) = delete;
    CCanvas& operator=(const CCanvas&) = delete;

    int Width() const { return m_nWidth; }
    int Height() const { return m_nHeight; }

    // Dotted lines light every third pixel; they are only drawn across or
    // along the plot, so they are kept to horizontal and vertical runs.
    void Line(CPixel from, CPixel to, CRgb pen, bool dotted = false);
    void Polyline(const std::vector<CPixel>& points, CRgb pen);
    void Segments(const std::vector<CPixelSegment>& segments, CRgb pen);
    void Rectangle(CPixel corner, CPixel opposite, std::optional<CRgb> fill, CRgb outline);
    void Ellipse(CPixel corner, CPixel opposite, std::optional<CRgb> fill, CRgb outline);
    void Polygon(const std::vector<CPixel>& points, std::optional<CRgb> fill, CRgb outline);

    // What is drawn between StartClip and EndClip is rasterized as anywhere
    // else, then only its pixels inside the box, both corners included, reach
    // the picture: a trace that runs on past the plot area stops at the frame
    // and is pixel for pixel the same inside it.
    void StartClip(CPixel corner, CPixel opposite);
    void EndClip();

    // Arial, `cellHeight` pixels from the top of the tallest accent to the
    // bottom of the deepest descender. (x, y) is the top of the text cell at the
    // alignment point; upright text runs left to right, otherwise it is turned to
    // read upwards and centred on (x, y).
    void Text(double x, double y, std::string_view utf8, double cellHeight, ETextAlign align,
              CRgb colour, bool upright = true);
    double TextWidth(std::string_view utf8, double cellHeight) const;

    // The picture as the bytes of a PNG file; CAnalysisError names the file at
    // `path` when it cannot be encoded.
    std::string Png(const std::string& path) const;

    // A decoded PNG, for reading back what was written.
    struct CImage {
        int width = 0;
        int height = 0;
        std::vector<uint32_t> pixels;  // 0x00RRGGBB, row by row
        CRgb At(int x, int y) const;
    };
    static std::optional<CImage> ReadPng(const std::string& path);

private:
    struct CState;
    int m_nWidth;
    int m_nHeight;
    std::unique_ptr<CState> m_State;
    std::optional<std::pair<CPixel, CPixel>> m_Clip;
};
