// The figure painters driven with primitives: what the SVG and TikZ texts
// hold, and the merging of dense runs' spans into rectangles.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>

#include "tests/support/figure_reading.h"
#include "view/figure_painters.h"

namespace {

using PixelSet = std::set<std::pair<int, int>>;

const GdkColor red = {0, 65535, 0, 0};
const GdkColor teal = {0, 0x1200, 0x80ff, 0x8000};
const GdkColor blue = {0, 0, 0, 65535};

PixelSet pixels_of_spans(const std::vector<PixelSpan>& spans) {
    PixelSet pixels;
    for (const PixelSpan& s : spans)
        for (int x = s.x; x < s.x + s.length; ++x) pixels.insert({x, s.y});
    return pixels;
}

PixelSet pixels_of_rectangles(const std::vector<PixelRectangle>& rectangles) {
    PixelSet pixels;
    for (const PixelRectangle& r : rectangles)
        for (int y = r.y; y < r.y + r.height; ++y)
            for (int x = r.x; x < r.x + r.width; ++x) pixels.insert({x, y});
    return pixels;
}

struct SpanCase {
    const char* name;
    std::vector<PixelSpan> spans;
    std::size_t rectangles;
};

TEST(MergedSpans, CoverTheSamePixelsInFewerRectangles) {
    const SpanCase cases[] = {
        {"none", {}, 0},
        {"one", {{4, 7, 3}}, 1},
        {"a stack of equal spans", {{2, 0, 5}, {2, 1, 5}, {2, 2, 5}, {2, 3, 5}}, 1},
        {"a staircase", {{0, 0, 3}, {1, 1, 3}, {2, 2, 3}}, 3},
        {"two columns side by side", {{0, 5, 2}, {4, 5, 2}, {0, 6, 2}, {4, 6, 2}}, 2},
        {"a gap between rows breaks a stack", {{0, 0, 4}, {0, 2, 4}}, 2},
        {"a wider row between equal ones", {{0, 0, 4}, {0, 1, 6}, {0, 2, 4}}, 3},
        {"negative rows", {{-3, -2, 2}, {-3, -1, 2}, {-3, 0, 2}}, 1},
        {"empty spans are dropped", {{0, 0, 0}, {5, 0, 1}}, 1},
    };
    for (const SpanCase& c : cases) {
        const std::vector<PixelRectangle> merged = merged_spans(c.spans.data(), static_cast<int>(c.spans.size()));
        EXPECT_EQ(pixels_of_rectangles(merged), pixels_of_spans(c.spans)) << c.name;
        EXPECT_EQ(merged.size(), c.rectangles) << c.name;
    }
}

PixelSet pixels_of_markers(const std::vector<CanvasPoint>& centres) {
    PixelSet pixels;
    for (const CanvasPoint& c : centres)
        for (int dy = -3; dy <= 3; ++dy)
            for (int dx = -3; dx <= 3; ++dx)
                if (std::abs(dx) < 3 || std::abs(dy) < 3) pixels.insert({c.column + dx, c.row + dy});
    return pixels;
}

struct MarkerCase {
    const char* name;
    std::vector<CanvasPoint> centres;
    bool merged;
};

TEST(OverlappingMarkersCover, SamePixelsWhenMarkersOverlapShapesWhenApart) {
    std::vector<CanvasPoint> row, column, block, apart;
    for (int k = 0; k < 40; ++k) row.push_back({10 + 2 * k, 50});
    for (int k = 0; k < 30; ++k) column.push_back({-5, 3 * k - 20});
    for (int i = 0; i < 10; ++i)
        for (int j = 0; j < 10; ++j) block.push_back({100 + i, 200 + 3 * j});
    for (int k = 0; k < 10; ++k) apart.push_back({20 * k, 7 * k});
    const MarkerCase cases[] = {
        {"one marker", {{5, 5}}, false},
        {"two markers far apart", {{0, 0}, {300, 300}}, false},
        {"markers a marker apart", apart, false},
        {"a row two pixels apart", row, true},
        {"a column three pixels apart, above the canvas", column, true},
        {"a block in scan order", block, true},
        {"the same centre twice", {{9, 9}, {9, 9}}, true},
    };
    for (const MarkerCase& c : cases) {
        const int count = static_cast<int>(c.centres.size());
        const std::vector<PixelRectangle> cover = overlapping_markers_cover(c.centres.data(), count);
        EXPECT_EQ(!cover.empty(), c.merged) << c.name;
        if (cover.empty()) continue;
        EXPECT_EQ(pixels_of_rectangles(cover), pixels_of_markers(c.centres)) << c.name;
        EXPECT_LT(cover.size(), 2 * c.centres.size()) << c.name;
    }
}

TEST(HexColour, HighBytesOfEachChannel) {
    EXPECT_EQ(hex_colour(red), "#ff0000");
    EXPECT_EQ(hex_colour(teal), "#128080");
    EXPECT_EQ(hex_colour(GdkColor{0, 0x00ff, 0x0100, 0xfeff}), "#0001fe");
}

// One of each primitive, as the rendering sends them.
template <class P>
void paint_sample(P& painter) {
    painter.clear(200, 150);
    painter.line(red, {10, 20}, {30, 40});
    const CanvasPoint outline[] = {{50, 50}, {90, 50}, {70, 10}, {50, 50}};
    painter.polyline(teal, outline, 4);
    const CanvasPoint centres[] = {{100, 100}, {0, 3}};
    painter.markers(teal, centres, 2);
    const PixelSpan spans[] = {{120, 60, 7}, {120, 61, 7}, {118, 62, 11}};
    painter.spans(red, spans, 3);
    painter.label(blue, 104, 100, "(3,-2) <&>");
}

TEST(SvgPainter, WritesEachPrimitiveAtItsPixels) {
    SvgPainter painter;
    paint_sample(painter);
    const std::string svg = painter.document();

    const SvgElement root = svg_elements_named(svg, "svg").at(0);
    EXPECT_EQ(root.attributes.at("width"), "200");
    EXPECT_EQ(root.attributes.at("height"), "150");
    EXPECT_EQ(root.attributes.at("viewBox"), "0 0 200 150");

    const std::vector<SvgElement> lines = svg_elements_named(svg, "line");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].attributes.at("x1"), "10.5");
    EXPECT_EQ(lines[0].attributes.at("y1"), "20.5");
    EXPECT_EQ(lines[0].attributes.at("x2"), "30.5");
    EXPECT_EQ(lines[0].attributes.at("y2"), "40.5");
    EXPECT_EQ(lines[0].attributes.at("stroke"), "#ff0000");

    const std::vector<SvgElement> polylines = svg_elements_named(svg, "polyline");
    ASSERT_EQ(polylines.size(), 1u);
    EXPECT_EQ(polylines[0].attributes.at("points"), "50.5,50.5 90.5,50.5 70.5,10.5 50.5,50.5");
    EXPECT_EQ(polylines[0].attributes.at("stroke"), "#128080");
    EXPECT_EQ(polylines[0].attributes.at("fill"), "none");

    const std::vector<SvgElement> paths = svg_elements_named(svg, "path");
    ASSERT_EQ(paths.size(), 2u);
    EXPECT_EQ(paths[0].attributes.at("fill"), "#128080");
    const std::vector<std::pair<int, int>> expected_centres = {{100, 100}, {0, 3}};
    EXPECT_EQ(marker_centres_of(path_rectangles(paths[0].attributes.at("d"))), expected_centres);
    EXPECT_EQ(paths[1].attributes.at("fill"), "#ff0000");
    const std::vector<FigureRectangle> expected_spans = {{120, 60, 7, 2}, {118, 62, 11, 1}};
    EXPECT_EQ(path_rectangles(paths[1].attributes.at("d")), expected_spans);

    const std::vector<SvgElement> texts = svg_elements_named(svg, "text");
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].text, "(3,-2) &lt;&amp;&gt;");
    EXPECT_EQ(texts[0].attributes.at("x"), "104");
    EXPECT_EQ(texts[0].attributes.at("y"), "100");
    EXPECT_EQ(texts[0].attributes.at("fill"), "#0000ff");
    EXPECT_EQ(texts[0].attributes.at("font-size"), std::to_string(figure_label_pixels));
}

TEST(SvgPainter, PixelCentresLeftOfAndAboveTheCanvas) {
    SvgPainter painter;
    painter.clear(10, 10);
    painter.line(red, {-1, -2}, {-30, 0});
    const SvgElement line = svg_elements_named(painter.document(), "line").at(0);
    EXPECT_EQ(line.attributes.at("x1"), "-0.5");
    EXPECT_EQ(line.attributes.at("y1"), "-1.5");
    EXPECT_EQ(line.attributes.at("x2"), "-29.5");
    EXPECT_EQ(line.attributes.at("y2"), "0.5");
}

TEST(SvgPainter, OnlyWhatReachesTheCanvas) {
    SvgPainter painter;
    painter.clear(100, 50);
    const CanvasPoint centres[] = {{-4, 10}, {-3, 10}, {102, 52}, {103, 10}, {50, -2000000000}, {2000000000, 5}};
    painter.markers(red, centres, 6);
    const PixelSpan spans[] = {{-10, 5, 15}, {95, 6, 2000000000}, {0, -1, 5}, {0, 50, 5}, {-2000000000, 7, 4}};
    painter.spans(blue, spans, 5);
    const std::vector<SvgElement> paths = svg_elements_named(painter.document(), "path");
    ASSERT_EQ(paths.size(), 2u);
    const std::vector<std::pair<int, int>> kept = {{-3, 10}, {102, 52}};
    EXPECT_EQ(marker_centres_of(path_rectangles(paths[0].attributes.at("d"))), kept);
    const std::vector<FigureRectangle> cut = {{0, 5, 5, 1}, {95, 6, 5, 1}};
    EXPECT_EQ(path_rectangles(paths[1].attributes.at("d")), cut);
}

// The TikZ lines of the sample, one statement per primitive.
std::vector<std::string> tikz_lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        start = end == std::string::npos ? text.size() : end + 1;
    }
    return lines;
}

std::string line_starting(const std::vector<std::string>& lines, const std::string& start, int which = 0) {
    for (const std::string& line : lines)
        if (line.rfind(start, 0) == 0 && which-- == 0) return line;
    return "";
}

using Coordinates = std::vector<std::pair<double, double>>;

TEST(TikzPainter, WritesTheSameCoordinatesAsTheSvg) {
    TikzPainter painter;
    paint_sample(painter);
    const std::string tikz = painter.document();
    const std::vector<std::string> lines = tikz_lines(tikz);

    EXPECT_NE(tikz.find("\\begin{tikzpicture}[x=0.75pt,y=-0.75pt]"), std::string::npos);
    EXPECT_NE(tikz.find("\\end{tikzpicture}"), std::string::npos);
    EXPECT_EQ(tikz_coordinates(line_starting(lines, "\\clip")), (Coordinates{{0, 0}, {200, 150}}));

    EXPECT_EQ(line_starting(lines, "\\definecolor", 0), "\\definecolor{qarnest0}{HTML}{FF0000}");
    EXPECT_EQ(line_starting(lines, "\\definecolor", 1), "\\definecolor{qarnest1}{HTML}{128080}");
    EXPECT_EQ(line_starting(lines, "\\definecolor", 2), "\\definecolor{qarnest2}{HTML}{0000FF}");
    EXPECT_EQ(line_starting(lines, "\\definecolor", 3), "");

    const std::string edge = line_starting(lines, "\\draw[qarnest0");
    EXPECT_EQ(tikz_coordinates(edge), (Coordinates{{10.5, 20.5}, {30.5, 40.5}}));
    const std::string outline = line_starting(lines, "\\draw[qarnest1");
    EXPECT_EQ(tikz_coordinates(outline), (Coordinates{{50.5, 50.5}, {90.5, 50.5}, {70.5, 10.5}, {50.5, 50.5}}));

    const std::string markers = line_starting(lines, "\\fill[qarnest1]");
    EXPECT_EQ(tikz_coordinates(markers),
              (Coordinates{{97, 98}, {7, 5}, {98, 97}, {5, 7}, {-3, 1}, {7, 5}, {-2, 0}, {5, 7}}));
    const std::string spans = line_starting(lines, "\\fill[qarnest0]");
    EXPECT_EQ(tikz_coordinates(spans), (Coordinates{{120, 60}, {7, 2}, {118, 62}, {11, 1}}));

    const std::string label = line_starting(lines, "\\node[qarnest2");
    EXPECT_NE(label.find("at (104,100) {(3,-2) <\\&>};"), std::string::npos) << label;
}

TEST(FigurePainters, LabelsAtTheScreenFontsPixelSize) {
    const struct {
        int pixels;
        const char* tikz_size;
    } cases[] = {{12, "\\fontsize{9pt}{9pt}"}, {17, "\\fontsize{12.75pt}{12.75pt}"}, {10, "\\fontsize{7.50pt}{7.50pt}"}};
    for (const auto& c : cases) {
        SvgPainter svg(c.pixels);
        svg.clear(10, 10);
        svg.label(blue, 1, 2, "(0,0)");
        EXPECT_EQ(svg_elements_named(svg.document(), "text").at(0).attributes.at("font-size"), std::to_string(c.pixels));
        TikzPainter tikz(c.pixels);
        tikz.clear(10, 10);
        tikz.label(blue, 1, 2, "(0,0)");
        EXPECT_NE(tikz.document().find(c.tikz_size), std::string::npos) << c.pixels;
    }
}

TEST(TikzPainter, EscapesTexSpecialsInLabels) {
    TikzPainter painter;
    painter.clear(10, 10);
    painter.label(blue, 1, 2, "a_b%c#d$e{f}g\\h");
    EXPECT_NE(painter.document().find("{a\\_b\\%c\\#d\\$e\\{f\\}g\\textbackslash{}h}"), std::string::npos);
}

}  // namespace
