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
