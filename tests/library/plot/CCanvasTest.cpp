#include <gtest/gtest.h>

#include <filesystem>

#include "plot/CCanvas.h"

namespace fs = std::filesystem;

TEST(Canvas, ShapesLightExactlyThePixelsTheyName) {
    constexpr CRgb kInk{10, 20, 30}, kFill{200, 100, 0}, kWhite{255, 255, 255};
    CCanvas canvas(60, 40);
    canvas.Line({5, 3}, {5, 20}, kInk);
    canvas.Line({10, 30}, {40, 30}, kInk, true);
    canvas.Rectangle({20, 5}, {30, 12}, kFill, kInk);
    canvas.Polygon({{45, 5}, {55, 15}, {45, 15}}, kFill, kInk);
    const fs::path file = fs::temp_directory_path() / "velkin_canvas_shapes.png";
    canvas.SavePng(file.string());
    const auto image = CCanvas::ReadPng(file.string());
    fs::remove(file);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 60);

    for (int y = 3; y <= 20; ++y) EXPECT_EQ(image->At(5, y), kInk) << y;
    for (CPixel p : {CPixel{4, 10}, CPixel{6, 10}, CPixel{5, 2}, CPixel{5, 21}})
        EXPECT_EQ(image->At(p.x, p.y), kWhite) << p.x << "," << p.y;
    // Dotted: one lit, two dark, from the first pixel on.
    for (int x = 10; x <= 40; ++x) EXPECT_EQ(image->At(x, 30) == kInk, (x - 10) % 3 == 0) << x;
    EXPECT_EQ(image->At(10, 29), kWhite);

    for (int x = 20; x <= 30; ++x) {
        EXPECT_EQ(image->At(x, 5), kInk);
        EXPECT_EQ(image->At(x, 12), kInk);
        EXPECT_EQ(image->At(x, 4), kWhite);
        EXPECT_EQ(image->At(x, 13), kWhite);
    }
    EXPECT_EQ(image->At(25, 8), kFill);
    EXPECT_EQ(image->At(19, 8), kWhite);
    EXPECT_EQ(image->At(31, 8), kWhite);

    EXPECT_EQ(image->At(45, 5), kInk);
    EXPECT_EQ(image->At(55, 15), kInk);
    EXPECT_EQ(image->At(47, 12), kFill);
    EXPECT_EQ(image->At(53, 8), kWhite);
}

TEST(Canvas, ClippedSegmentsKeepTheirPixelsInsideTheBoxAndNoneOutside) {
    constexpr CRgb kInk{140, 0, 140}, kWhite{255, 255, 255};
    // Segments of every slope, many crossing the box edges.
    std::vector<CPixelSegment> segments;
    unsigned seed = 7;
    auto next = [&](int range) {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<int>((seed >> 8) % range);
    };
    for (int i = 0; i < 300; ++i) segments.push_back({{next(80), next(60)}, {next(80), next(60)}});
    CCanvas whole(80, 60), clipped(80, 60);
    whole.Segments(segments, kInk);
    clipped.StartClip({20, 10}, {55, 45});
    clipped.Segments(segments, kInk);
    clipped.EndClip();
    clipped.Line({0, 0}, {79, 0}, kInk);  // drawing after the clip is not cut

    const fs::path a = fs::temp_directory_path() / "velkin_canvas_whole.png";
    const fs::path b = fs::temp_directory_path() / "velkin_canvas_clipped.png";
    whole.SavePng(a.string());
    clipped.SavePng(b.string());
    const auto full = CCanvas::ReadPng(a.string()), cut = CCanvas::ReadPng(b.string());
    fs::remove(a);
    fs::remove(b);
    ASSERT_TRUE(full && cut);
    int lit = 0;
    for (int y = 1; y < 60; ++y)
        for (int x = 0; x < 80; ++x) {
            const bool inside = x >= 20 && x <= 55 && y >= 10 && y <= 45;
            EXPECT_EQ(cut->At(x, y), inside ? full->At(x, y) : kWhite) << x << "," << y;
            lit += inside && cut->At(x, y) == kInk;
        }
    EXPECT_GT(lit, 100);
    EXPECT_EQ(cut->At(79, 0), kInk);
}
