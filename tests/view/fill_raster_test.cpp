// The map of deferred fills: its rectangles against painting every fill in
// order, pixel by pixel.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "view/fill_raster.h"

namespace {

struct Fill {
    bool is_marker;
    int colour;
    CanvasPoint centre;   // marker
    PixelSpan span;       // span
};

// The picture the fills give in order on a width x height image (-1 where
// none reaches), colours by number.
std::vector<int> painted_in_order(const std::vector<Fill>& fills, int width, int height) {
    std::vector<int> image(static_cast<std::size_t>(width * height), -1);
    auto paint = [&](int colour, int y, int from, int to) {
        if (y < 0 || y >= height) return;
        for (int x = std::max(from, 0); x <= std::min(to, width - 1); ++x) image[static_cast<std::size_t>(y * width + x)] = colour;
    };
    for (const Fill& f : fills) {
        if (!f.is_marker) {
            if (f.span.length > 0) paint(f.colour, f.span.y, f.span.x, f.span.x + f.span.length - 1);
            continue;
        }
        const CanvasPoint c = f.centre;
        paint(f.colour, c.row - 3, c.column - 2, c.column + 2);
        for (int dy = -2; dy <= 2; ++dy) paint(f.colour, c.row + dy, c.column - 3, c.column + 3);
        paint(f.colour, c.row + 3, c.column - 2, c.column + 2);
    }
    return image;
}

GdkColor colour_number(int k) { return GdkColor{0, static_cast<guint16>(k * 97), static_cast<guint16>(k), 0}; }

// Feeds the fills to the map (draining it when its palette is full, as the
// canvas painter does) and paints its rectangles; each pixel may be painted
// once per drain only, or the rectangles would overlap.
std::vector<int> painted_through_raster(FillRaster& raster, const std::vector<Fill>& fills, int width, int height,
                                        int& drains) {
    std::vector<int> image(static_cast<std::size_t>(width * height), -1);
    std::vector<int> last_drain(static_cast<std::size_t>(width * height), -1);
    auto drain = [&] {
        raster.drain([&](const GdkColor& colour, const std::vector<FillRectangle>& rectangles) {
            for (const FillRectangle& r : rectangles) {
                ASSERT_GT(r.width, 0);
                ASSERT_GT(r.height, 0);
                for (int y = r.y; y < r.y + r.height; ++y)
                    for (int x = r.x; x < r.x + r.width; ++x) {
                        ASSERT_TRUE(x >= 0 && x < width && y >= 0 && y < height);
                        const std::size_t at = static_cast<std::size_t>(y * width + x);
                        ASSERT_NE(last_drain[at], drains) << "rectangles overlap at " << x << ", " << y;
                        last_drain[at] = drains;
                        image[at] = colour.green;
                    }
            }
        });
        ++drains;
    };
    for (const Fill& f : fills) {
        int index = raster.colour_index(colour_number(f.colour));
        if (index == 0) {
            drain();
            index = raster.colour_index(colour_number(f.colour));
        }
        if (f.is_marker) raster.marker(index, f.centre);
        else raster.span(index, f.span);
    }
    drain();
    EXPECT_TRUE(raster.empty());
    return image;
}

struct RasterCase {
    const char* name;
    int colours;
    int fills;
    int spread;   // centres fall within -spread .. size + spread
};

// Random overlapping markers and spans, some across the edges or wholly
// outside, in few colours (long merged runs) or more than the map holds at
// once (drained on the way): the same picture as every fill painted in order.
TEST(FillRaster, RectanglesGiveThePictureOfTheFillsInOrder) {
    const RasterCase cases[] = {
        {"three colours, dense", 3, 3000, 2},
        {"eight colours, sparse, across the edges", 8, 200, 10},
        {"more colours than the map holds", 600, 2000, 3},
        {"one colour", 1, 500, 4},
    };
    constexpr int width = 90, height = 70;
    std::mt19937 random(12345);
    FillRaster raster;
    raster.reset(width, height);
    for (const RasterCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::uniform_int_distribution<int> colour(1, c.colours), column(-c.spread, width + c.spread),
            row(-c.spread, height + c.spread), length(-2, 40), kind(0, 3);
        std::vector<Fill> fills;
        for (int k = 0; k < c.fills; ++k) {
            const bool is_marker = kind(random) != 0;
            fills.push_back(Fill{is_marker, colour(random), {column(random), row(random)},
                                 {column(random) - 20, row(random), length(random)}});
        }
        int drains = 0;
        const std::vector<int> through = painted_through_raster(raster, fills, width, height, drains);
        const std::vector<int> expected = painted_in_order(fills, width, height);
        for (std::size_t at = 0; at < expected.size(); ++at)
            if (expected[at] >= 0) ASSERT_EQ(through[at], colour_number(expected[at]).green) << "pixel " << at;
            else ASSERT_EQ(through[at], -1) << "pixel " << at;
        EXPECT_EQ(drains > 1, c.colours > FillRaster::most_colours);
    }
}

// A column of overlapping markers of one colour is a few tall rectangles,
// not a rectangle per row.
TEST(FillRaster, RowsOfEqualRunsMerge) {
    FillRaster raster;
    raster.reset(40, 200);
    const int index = raster.colour_index(colour_number(1));
    for (int row = 10; row <= 178; row += 3) raster.marker(index, {20, row});
    int rectangles = 0, pixels = 0;
    raster.drain([&](const GdkColor&, const std::vector<FillRectangle>& cover) {
        rectangles += static_cast<int>(cover.size());
        for (const FillRectangle& r : cover) pixels += r.width * r.height;
    });
    EXPECT_EQ(rectangles, 3);   // the 5-wide top row, the 7-wide body, the 5-wide bottom row
    EXPECT_EQ(pixels, 5 + 7 * ((178 + 2) - (10 - 2) + 1) + 5);
}

}  // namespace
