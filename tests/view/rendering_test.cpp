// The picture read back from the off-screen image: markers, segments,
// outlines of squares and cubes, blended point colours, labels, the canvas
// image after a resize, and the bounded drawing contexts of point colours.
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <functional>
#include <numeric>
#include <set>

#include "gui/resources.h"
#include "tests/view/pixels.h"
#include "tests/view/view_support.h"
#include "view/context.h"
#include "view/gdk_painter.h"
#include "view/projection.h"
#include "view/rendering.h"

// Xlib's True, False and Bool macros must come after PolyLib's enum of those names.
#include <gdk/gdkx.h>
#include <X11/keysym.h>

namespace {

// The viewer these tests draw with.
Viewer& viewer = test_viewer();

}   // namespace

namespace {

using Pixels = std::vector<std::pair<int, int>>;

// 0 <= i <= s, 0 <= j <= s.
Rows square_rows(std::int64_t s) { return {{1, 1, 0, 0}, {1, -1, 0, s}, {1, 0, 1, 0}, {1, 0, -1, s}}; }

Pixels marker_pixels(CanvasPoint centre) {
    Pixels result;
    for (const MarkerColumn& m : marker_columns(centre))
        for (int r = m.top; r <= m.bottom; ++r) result.push_back({m.column, r});
    std::sort(result.begin(), result.end());
    return result;
}

class Rendering : public PixelTest {
protected:
    void set_view(float x0, float x1, float y0, float y1) {
        viewer.state.view_bounds[0] = x0;
        viewer.state.view_bounds[1] = x1;
        viewer.state.view_bounds[2] = y0;
        viewer.state.view_bounds[3] = y1;
    }
    DomainEntry* show(const std::string& name, Polyhedron* domain, guint16 r, guint16 g, guint16 b,
                      int show_points = 1) {
        DomainEntry* e = push_entry(name, domain, r, g, b);
        EXPECT_EQ(show_without_context(viewer, e), 1);
        e->view->show_points = show_points;
        return e;
    }
    // Every pixel of the image, row by row.
    std::vector<guint32> picture() {
        const PixelImage image = read();
        std::vector<guint32> all;
        for (int r = 0; r < height; ++r)
            for (int c = 0; c < width; ++c) all.push_back(image.at(c, r));
        return all;
    }
    // The domains of a scene (its rows and colours), shown as D0, D1, ...
    template <class Scene>
    void show_scene(const Scene& scene) {
        int k = 0;
        for (const auto& [rows, rgb] : scene.domains)
            show("D" + std::to_string(k++), polyhedron_from_rows(scene.dimensions, rows), rgb[0], rgb[1], rgb[2]);
    }
    // How many pixels two pictures of the canvas differ by (all when their sizes do).
    static long pixels_differing(const std::vector<guint32>& a, const std::vector<guint32>& b) {
        if (a.size() != b.size()) return static_cast<long>(std::max(a.size(), b.size()));
        return std::inner_product(a.begin(), a.end(), b.begin(), 0L, std::plus<>(), std::not_equal_to<>());
    }
    static Pixels sorted(Pixels p) {
        std::sort(p.begin(), p.end());
        return p;
    }
};

TEST_F(Rendering, MarkerIsFortyFivePixels) {
    set_view(0, 10, 0, 10);
    draw_marker(viewer, viewer.drawing.domain_pixmap, viewer.drawing.domain_gc, 5, 5);
    const PixelImage image = read();
    EXPECT_EQ(sorted(image.differing(white())), marker_pixels(to_canvas(viewer, 5, 5)));
    EXPECT_EQ(image.count(pixel_of(0, 0, 0)), 45);
}

// X rectangles have 16-bit coordinates: a marker far off the canvas must not
// wrap around onto it.
TEST_F(Rendering, MarkersFarOffTheCanvasPaintNothing) {
    GdkPainter painter(viewer, viewer.drawing.domain_pixmap, viewer.drawing.label_font);
    const GdkColor black = {0, 0, 0, 0};
    const CanvasPoint far[] = {{65536 + 100, 100}, {100, 65536 + 100}, {-65536 + 100, 100}, {40000, 40000}};
    painter.markers(black, far, 4);
    const PixelSpan spans[] = {{65536 + 50, 60, 20}, {50, 65536 + 60, 20}};
    painter.spans(black, spans, 2);
    EXPECT_TRUE(read().differing(white()).empty());
    const CanvasPoint near = {100, 100};
    painter.markers(black, &near, 1);
    EXPECT_EQ(read().count(pixel_of(0, 0, 0)), 45);
}

TEST_F(Rendering, NoMarkerOnACanvasBelowSixtyPixels) {
    set_view(0, 10, 0, 10);
    viewer.projection.canvas_width = 59;
    draw_marker(viewer, viewer.drawing.domain_pixmap, viewer.drawing.domain_gc, 5, 5);
    EXPECT_TRUE(read().differing(white()).empty());
}

TEST_F(Rendering, SegmentCollapsingToOnePixelIsAMarker) {
    set_view(0, 1000, 0, 1000);
    draw_plane_segment(viewer, viewer.drawing.domain_pixmap, viewer.drawing.domain_gc, {500, 500}, {500.2f, 499.9f});
    EXPECT_EQ(sorted(read().differing(white())), marker_pixels(to_canvas(viewer, 500, 500)));
    clear_white();
    draw_plane_segment(viewer, viewer.drawing.domain_pixmap, viewer.drawing.domain_gc, {0, 500}, {1000, 500});
    const Pixels line = sorted(read().differing(white()));
    ASSERT_EQ(line.size(), 401u);
    EXPECT_EQ(line.front(), (std::pair<int, int>{30, 230}));
    EXPECT_EQ(line.back(), (std::pair<int, int>{430, 230}));
}

// One-pixel lines of the X server may differ with the direction they are
// drawn in; an outline's segment must not.
TEST_F(Rendering, SegmentIsTheSameDrawnEitherWay) {
    set_view(0, 1000, 0, 1000);
    const std::pair<PlanePoint, PlanePoint> segments[] = {
        {{10, 20}, {990, 333}}, {{10, 20}, {333, 990}}, {{500, 10}, {20, 730}},
        {{3, 3}, {997, 998}},   {{100, 900}, {950, 101}}, {{250, 250}, {250, 900}},
    };
    for (const auto& [a, b] : segments) {
        SCOPED_TRACE(testing::Message() << a.x << "," << a.y << " - " << b.x << "," << b.y);
        clear_white();
        draw_plane_outline(viewer, viewer.drawing.domain_pixmap, std::array<PlanePoint, 2>{a, b}.data(), 2);
        const Pixels forward = sorted(read().differing(white()));
        clear_white();
        draw_plane_outline(viewer, viewer.drawing.domain_pixmap, std::array<PlanePoint, 2>{b, a}.data(), 2);
        EXPECT_EQ(sorted(read().differing(white())), forward);
        EXPECT_GT(forward.size(), 100u);
    }
}

TEST_F(Rendering, SquareDrawsItsFourEdges) {
    show("S", polyhedron_from_rows(2, square_rows(10)), 65535, 0, 0, 0);
    redraw_domains(viewer, viewer.drawing.domain_pixmap);
    const guint32 red = pixel_of(65535, 0, 0);
    const PixelImage image = read();
    Pixels expected;
    for (int c = 30; c <= 430; ++c) expected.push_back({c, 30}), expected.push_back({c, 430});
    for (int r = 31; r < 430; ++r) expected.push_back({30, r}), expected.push_back({430, r});
    EXPECT_EQ(sorted(image.differing(white())), sorted(expected));
    EXPECT_EQ(image.count(red), static_cast<int>(expected.size()));
}

// Each edge of a cube is reached from both facets that hold it.
TEST_F(Rendering, CubeOutlineIsItsTwelveEdgesEachTwice) {
    viewer.state.DimNP = 3;
    Polyhedron* cube = polyhedron_from_rows(
        3, {{1, 1, 0, 0, 0}, {1, -1, 0, 0, 4}, {1, 0, 1, 0, 0}, {1, 0, -1, 0, 4}, {1, 0, 0, 1, 0}, {1, 0, 0, -1, 4}});
    std::multiset<std::vector<std::int64_t>> edges;
    FaceNode* facets = polyhedron_faces(cube);
    int facet_count = 0;
    for (FaceNode* f = facets; f; f = f->next, ++facet_count) {
        FaceNode* sides = polyhedron_faces(f->face);
        for (FaceNode* s = sides; s; s = s->next) {
            ASSERT_EQ(s->face->Dimension - s->face->NbEq, 1u);
            std::vector<std::int64_t> key;
            for (const auto& v : vertices_of(s->face)) key.insert(key.end(), v.begin(), v.end());
            edges.insert(key);
        }
        free_faces(sides);
    }
    free_faces(facets);
    EXPECT_EQ(facet_count, 6);
    EXPECT_EQ(edges.size(), 24u);
    std::set<std::vector<std::int64_t>> distinct(edges.begin(), edges.end());
    EXPECT_EQ(distinct.size(), 12u);
    for (const auto& e : distinct) EXPECT_EQ(edges.count(e), 2u);

    show("C", cube, 0, 0, 65535, 0);
    redraw_domains(viewer, viewer.drawing.domain_pixmap);
    const PixelImage image = read();
    const guint32 blue = pixel_of(0, 0, 65535);
    for (const auto& e : distinct) {
        const std::int64_t mid[3] = {(e[0] + e[3]) / 2, (e[1] + e[4]) / 2, (e[2] + e[5]) / 2};
        const PlanePoint p = project_point(viewer, mid, 3);
        const CanvasPoint c = to_canvas(viewer, p.x, p.y);
        bool near = false;
        for (int dc = -1; dc <= 1; ++dc)
            for (int dr = -1; dr <= 1; ++dr) near = near || image.at(c.column + dc, c.row + dr) == blue;
        EXPECT_TRUE(near) << "edge through (" << mid[0] << "," << mid[1] << "," << mid[2] << ")";
    }
}

// The outline drawn by turning inequalities into equalities face after face,
// one PolyLib polyhedron per face: the reference for the edge drawing.
void draw_by_faces_of_faces(GdkDrawable* drawable, Polyhedron* p) {
    const unsigned k = p->Dimension - p->NbEq;
    if (k <= 1) {
        std::vector<PlanePoint> points;
        for (unsigned r = 0; r < p->NbRays; ++r)
            points.push_back(project_vertex(viewer, p->Ray[r], static_cast<int>(p->Dimension)));
        draw_plane_outline(viewer, drawable, points.data(), static_cast<int>(points.size()));
        return;
    }
    FaceNode* faces = polyhedron_faces(p);
    for (FaceNode* f = faces; f; f = f->next) draw_by_faces_of_faces(drawable, f->face);
    free_faces(faces);
}

struct OutlineCase {
    const char* name;
    unsigned dimension;
    Rows rows;
};

TEST_F(Rendering, EdgesAreThoseOfTheFacesOfFacesRecursion) {
    const OutlineCase cases[] = {
        {"square", 2, square_rows(7)},
        {"pentagon", 2, {{1, 1, 0, 0}, {1, 0, 1, 0}, {1, -1, 0, 6}, {1, 0, -1, 5}, {1, -1, -1, 9}}},
        {"rational triangle", 2, {{1, 2, 0, -1}, {1, -3, 2, 0}, {1, 1, -3, 4}}},
        {"cube", 3, {{1, 1, 0, 0, 0}, {1, -1, 0, 0, 4}, {1, 0, 1, 0, 0}, {1, 0, -1, 0, 4}, {1, 0, 0, 1, 0}, {1, 0, 0, -1, 4}}},
        {"simplex", 3, {{1, 1, 0, 0, 0}, {1, 0, 1, 0, 0}, {1, 0, 0, 1, 0}, {1, -1, -1, -1, 5}}},
        {"octahedron", 3,
         {{1, 1, 1, 1, 3}, {1, -1, 1, 1, 3}, {1, 1, -1, 1, 3}, {1, 1, 1, -1, 3},
          {1, -1, -1, 1, 3}, {1, -1, 1, -1, 3}, {1, 1, -1, -1, 3}, {1, -1, -1, -1, 3}}},
        {"square pyramid", 3, {{1, 0, 0, 1, 0}, {1, 1, 0, -1, 0}, {1, -1, 0, -1, 4}, {1, 0, 1, -1, 0}, {1, 0, -1, -1, 4}}},
        {"tilted square in space", 3, {{0, 1, 1, -1, 0}, {1, 1, 0, 0, 0}, {1, -1, 0, 0, 3}, {1, 0, 1, 0, 0}, {1, 0, -1, 0, 3}}},
        {"segment in space", 3, {{0, 1, -1, 0, 0}, {0, 0, 0, 1, -2}, {1, 1, 0, 0, 0}, {1, -1, 0, 0, 5}}},
        {"wedge over a pentagon", 3,
         {{1, 0, 0, 1, 0}, {1, 1, 0, 0, 0}, {1, 0, 1, 0, 0}, {1, -1, 0, 0, 6}, {1, 0, -1, 0, 5}, {1, -1, -1, 0, 9},
          {1, -3, 0, -4, 12}}},
        {"5-D simplex", 5,
         {{1, 1, 0, 0, 0, 0, 0}, {1, 0, 1, 0, 0, 0, 0}, {1, 0, 0, 1, 0, 0, 0}, {1, 0, 0, 0, 1, 0, 0},
          {1, 0, 0, 0, 0, 1, 0}, {1, -1, -1, -1, -1, -1, 3}}},
        {"4-D box", 4,
         {{1, 1, 0, 0, 0, 0}, {1, -1, 0, 0, 0, 2}, {1, 0, 1, 0, 0, 0}, {1, 0, -1, 0, 0, 3},
          {1, 0, 0, 1, 0, 0}, {1, 0, 0, -1, 0, 1}, {1, 0, 0, 0, 1, 0}, {1, 0, 0, 0, -1, 2}}},
    };
    auto same_as_reference = [&](Polyhedron* p, const char* name) {
        clear_white();
        draw_by_faces_of_faces(viewer.drawing.domain_pixmap, p);
        const Pixels expected = sorted(read().differing(white()));
        clear_white();
        draw_polyhedron_outline(viewer, viewer.drawing.domain_pixmap, p);
        EXPECT_FALSE(expected.empty()) << name;
        EXPECT_EQ(sorted(read().differing(white())), expected) << name;
    };
    set_view(-4, 16, -4, 16);
    for (const OutlineCase& c : cases) {
        viewer.state.DimNP = static_cast<int>(c.dimension);
        reset_axes(viewer);
        Polyhedron* p = polyhedron_from_rows(c.dimension, c.rows);
        same_as_reference(p, c.name);
        viewer.projection.ProjectionAxes[0][0] = 0.5f;
        viewer.projection.ProjectionAxes[0][1] = 1.5f;
        viewer.projection.ProjectionAxes[1][0] = -1.0f;
        same_as_reference(p, c.name);
        Polyhedron_Free(p);
    }
    reset_axes(viewer);
}

// A polyhedron drawn once and freed: another one, at the same address or not,
// is drawn from its own faces.
TEST_F(Rendering, OutlineOfANewPolyhedronIsItsOwn) {
    viewer.state.DimNP = 3;
    set_view(-4, 16, -4, 16);
    Polyhedron* first = polyhedron_from_rows(3, {{1, 1, 0, 0, 0}, {1, 0, 1, 0, 0}, {1, 0, 0, 1, 0}, {1, -1, -1, -1, 5}});
    draw_polyhedron_outline(viewer, viewer.drawing.domain_pixmap, first);
    Polyhedron_Free(first);
    Polyhedron* second = polyhedron_from_rows(
        3, {{1, 1, 0, 0, 0}, {1, -1, 0, 0, 4}, {1, 0, 1, 0, 0}, {1, 0, -1, 0, 4}, {1, 0, 0, 1, 0}, {1, 0, 0, -1, 4}});
    clear_white();
    draw_by_faces_of_faces(viewer.drawing.domain_pixmap, second);
    const Pixels expected = sorted(read().differing(white()));
    clear_white();
    draw_polyhedron_outline(viewer, viewer.drawing.domain_pixmap, second);
    EXPECT_EQ(sorted(read().differing(white())), expected);
    Polyhedron_Free(second);
}

// The compiled points of a shown domain are kept between redraws; a domain
// shown after it was freed, at the same address or not, shows its own points.
TEST_F(Rendering, PointsOfANewDomainAreItsOwn) {
    const std::int64_t sides[] = {3, 5, 2, 6};
    for (std::int64_t side : sides) {
        SCOPED_TRACE(side);
        show("S", polyhedron_from_rows(2, square_rows(side)), 0, 0, 65535);
        redraw_domains(viewer, viewer.drawing.domain_pixmap);
        redraw_domains(viewer, viewer.drawing.domain_pixmap);
        const PixelImage image = read();
        const guint32 blue = pixel_of(0, 0, 65535);
        for (std::int64_t i = 0; i <= 6; ++i)
            for (std::int64_t j = 0; j <= 6; ++j) {
                const std::int64_t point[2] = {i, j};
                const PlanePoint p = project_point(viewer, point, 2);
                const CanvasPoint c = to_canvas(viewer, p.x, p.y);
                if (c.column < 0 || c.column >= width || c.row < 0 || c.row >= height) continue;
                EXPECT_EQ(image.at(c.column, c.row) == blue, i <= side && j <= side) << i << "," << j;
            }
        clear_viewer_state();
        viewer.state.DimNP = 2;
    }
}

TEST_F(Rendering, SinglePointDomainIsOneMarkerInATwoByTwoView) {
    show("P", polyhedron_from_rows(2, {{0, 1, 0, -3}, {0, 0, 1, -4}}), 0, 65535, 0);
    redraw_domains(viewer, viewer.drawing.domain_pixmap);
    EXPECT_EQ(viewer.state.view_bounds[0], 2);
    EXPECT_EQ(viewer.state.view_bounds[1], 4);
    EXPECT_EQ(viewer.state.view_bounds[2], 3);
    EXPECT_EQ(viewer.state.view_bounds[3], 5);
    const PixelImage image = read();
    EXPECT_EQ(sorted(image.differing(white())), marker_pixels({230, 230}));
    EXPECT_EQ(image.count(pixel_of(0, 65535, 0)), 45);
}

TEST_F(Rendering, NothingShownLeavesAWhiteCanvas) {
    gdk_draw_rectangle(viewer.drawing.domain_pixmap, viewer.drawing.domain_gc, TRUE, 0, 0, width, height);
    push_entry("M", polyhedron_from_rows(2, square_rows(3)));
    redraw_domains(viewer, viewer.drawing.domain_pixmap);
    EXPECT_TRUE(read().differing(white()).empty());
}

using Rgb = std::array<guint16, 3>;

struct BlendCase {
    const char* name;
    std::vector<Rgb> colours;    // DomainList order, head first
    std::vector<Rgb> expected;   // the pass of each, same order
};

TEST_F(Rendering, BlendIsATruncatedRunningAverageInListOrder) {
    const Rgb red = {65535, 0, 0}, blue = {0, 0, 65535}, white = {65535, 65535, 65535}, black = {0, 0, 0};
    const Rgb purple = {32767, 0, 32767}, third = {21844, 21844, 21844}, mean = {21845, 21845, 21845};
    const BlendCase cases[] = {
        {"red and blue", {red, blue}, {purple, purple}},
        {"white, black, black", {white, black, black}, {third, third, third}},
        {"black, black, white", {black, black, white}, {mean, mean, third}},
        {"alone", {red}, {red}},
    };
    for (const BlendCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<DomainEntry*> entries(c.colours.size());
        for (std::size_t k = c.colours.size(); k-- > 0;) {
            const Rgb& rgb = c.colours[k];
            entries[k] = push_entry("D" + std::to_string(k), polyhedron_from_rows(2, square_rows(2)), rgb[0], rgb[1],
                                    rgb[2]);
            entries[k]->view = new DomainView{polyhedron_from_rows(2, square_rows(2)), 1, nullptr};
        }
        const std::int64_t p[2] = {1, 1};
        for (std::size_t k = 0; k < entries.size(); ++k) {
            const GdkColor blended = blended_colour(viewer, entries[k], p);
            EXPECT_EQ((Rgb{blended.red, blended.green, blended.blue}), c.expected[k]) << "pass of D" << k;
        }
        clear_viewer_state();
        viewer.state.DimNP = 2;
    }
}

// The blend found from each line's intervals is the blend of every point
// tested in every domain, and the stretch of one blend ends where a domain
// starts or stops holding the line.
TEST_F(Rendering, LineBlendIsThePointByPointBlend) {
    const Rows pieces[] = {
        {{1, 1, 0, 0}, {1, -1, 0, 9}, {1, 0, 1, 0}, {1, 0, -1, 9}},    // square
        {{1, 2, -1, 0}, {1, -1, 2, 1}, {1, -3, -2, 40}},              // rational triangle
        {{0, 1, -1, -2}, {1, 1, 0, 0}, {1, -1, 0, 12}},               // a line j = i - 2
        {{1, 1, 0, -4}, {1, -1, 0, 6}, {1, 0, 1, -2}, {1, 0, -1, 11}},  // union's second piece
        {{1, 2, 3, -5}, {1, -2, -3, 25}},                              // a band (unbounded, not shown)
    };
    const Rgb colours[] = {{65535, 0, 0}, {0, 65535, 0}, {0, 0, 65535}, {4000, 50000, 30000}};
    std::vector<DomainEntry*> entries;
    for (int k = 3; k >= 0; --k) {
        const Rgb& rgb = colours[k];
        DomainEntry* e = push_entry("L" + std::to_string(k), polyhedron_from_rows(2, square_rows(1)), rgb[0], rgb[1],
                                    rgb[2]);
        Polyhedron* view = k == 3 ? union_of({polyhedron_from_rows(2, pieces[0]), polyhedron_from_rows(2, pieces[3])})
                                  : polyhedron_from_rows(2, pieces[k == 0 ? 4 : k]);
        e->view = new DomainView{view, 1, nullptr};
        entries.insert(entries.begin(), e);
    }
    for (DomainEntry* e : entries) {
        SCOPED_TRACE(e->name);
        const std::vector<BlendSource> sources = blend_sources(viewer, e);
        LineBlend line(colour_of(e->color), sources, 2);
        for (std::int64_t i = -3; i <= 15; ++i)
            for (std::int64_t j = -3; j <= 15; ++j) {
                const std::int64_t x[2] = {i, j};
                const GdkColor expected = blended_colour(viewer, e, x), got = line.colour(x);
                ASSERT_EQ((Rgb{got.red, got.green, got.blue}), (Rgb{expected.red, expected.green, expected.blue}))
                    << "(" << i << "," << j << ")";
                const __int128 change = line.next_change(x);
                ASSERT_GT(change, j);
                for (std::int64_t k = j + 1; k < change && k <= 15; ++k) {
                    const std::int64_t y[2] = {i, k};
                    const GdkColor later = blended_colour(viewer, e, y);
                    ASSERT_EQ((Rgb{later.red, later.green, later.blue}), (Rgb{expected.red, expected.green, expected.blue}))
                        << "(" << i << "," << k << ") in the stretch from (" << i << "," << j << ")";
                }
            }
    }
}

// Both passes draw the shared point in the blend; the point only in one
// domain keeps that domain's colour; hiding B's points takes B out.
TEST_F(Rendering, BlendedColoursReadBack) {
    // A: 0 <= i <= 4, j = 0 (red); B: i = 4, 0 <= j <= 4 (blue); they share (4,0).
    DomainEntry* b = show("B", polyhedron_from_rows(2, {{0, 1, 0, -4}, {1, 0, 1, 0}, {1, 0, -1, 4}}), 0, 0, 65535);
    show("A", polyhedron_from_rows(2, {{0, 0, 1, 0}, {1, 1, 0, 0}, {1, -1, 0, 4}}), 65535, 0, 0);
    redraw_domains(viewer, viewer.drawing.domain_pixmap);
    const std::int64_t shared[2] = {4, 0}, only_a[2] = {0, 0}, only_b[2] = {4, 4};
    auto pixel_at = [&](const std::int64_t* point) {
        const PlanePoint p = project_point(viewer, point, 2);
        const CanvasPoint c = to_canvas(viewer, p.x, p.y);
        return read().at(c.column, c.row);
    };
    EXPECT_EQ(pixel_at(shared), pixel_of(32767, 0, 32767));
    EXPECT_EQ(pixel_at(only_a), pixel_of(65535, 0, 0));
    EXPECT_EQ(pixel_at(only_b), pixel_of(0, 0, 65535));
    // Off both outlines, inside the shared point's marker.
    const CanvasPoint centre = to_canvas(viewer, 4, 0);
    EXPECT_EQ(read().at(centre.column - 2, centre.row - 2), pixel_of(32767, 0, 32767));
    b->view->show_points = 0;
    redraw_domains(viewer, viewer.drawing.domain_pixmap);
    EXPECT_EQ(read().at(centre.column - 2, centre.row - 2), pixel_of(65535, 0, 0));
    EXPECT_EQ(read().count(pixel_of(32767, 0, 32767)), 0);
    EXPECT_EQ(read().count(pixel_of(0, 0, 65535)) > 0, true);
}

// Dense runs of one colour go to the X server as the spans of the pixels they
// cover; the picture must be the one drawn marker by marker, overlaps and
// blends included.
struct CoverScene {
    const char* name;
    int dimensions;
    std::vector<std::pair<Rows, Rgb>> domains;
};

TEST_F(Rendering, DenseRunsPaintTheSamePixelsAsMarkerByMarker) {
    auto triangle = [](std::int64_t x, std::int64_t y, std::int64_t s) {
        // x <= i, y <= j, (i - x) + (j - y) <= s
        return Rows{{1, 1, 0, -x}, {1, 0, 1, -y}, {1, -1, -1, x + y + s}};
    };
    const Rgb red = {65535, 0, 0}, green = {0, 65535, 0}, blue = {0, 0, 65535};
    const CoverScene scenes[] = {
        {"one dense triangle", 2, {{triangle(0, 0, 150), green}}},
        {"three overlapping triangles", 2,
         {{triangle(0, 0, 60), red}, {triangle(20, 0, 60), green}, {triangle(15, 10, 60), blue}}},
        {"box folded by a third axis", 3,
         {{{{1, 1, 0, 0, 0}, {1, -1, 0, 0, 11}, {1, 0, 1, 0, 0}, {1, 0, -1, 0, 11}, {1, 0, 0, 1, 0},
            {1, 0, 0, -1, 11}},
           blue}}},
        {"sparse square", 2, {{square_rows(4), red}}},
        {"thin diagonal band", 2, {{{{1, 1, -1, 0}, {1, -1, 1, 1}, {1, 1, 0, 0}, {1, -1, 0, 300}}, red}}},
    };
    const int threshold = viewer.marker_cover_threshold;
    for (const CoverScene& scene : scenes) {
        SCOPED_TRACE(scene.name);
        viewer.state.DimNP = scene.dimensions;
        show_scene(scene);
        viewer.marker_cover_threshold = 1 << 30;
        redraw_domains(viewer, viewer.drawing.domain_pixmap);
        const std::vector<guint32> marker_by_marker = picture();
        viewer.marker_cover_threshold = 1;
        redraw_domains(viewer, viewer.drawing.domain_pixmap);
        const std::vector<guint32> covered = picture();
        viewer.marker_cover_threshold = threshold;
        EXPECT_GT(std::count(covered.begin(), covered.end(), white()), 0);
        EXPECT_LT(std::count(covered.begin(), covered.end(), white()), width * height);
        EXPECT_EQ(pixels_differing(covered, marker_by_marker), 0);
        clear_viewer_state();
    }
    viewer.state.DimNP = 2;
}

// Where many points share a marker (more points than pixels along the last
// coordinate), the repeats are skipped: the picture must be the one painted
// point by point, blends with other domains (unions included) too.
TEST_F(Rendering, SkippedRepeatsPaintTheSamePixelsAsEveryPoint) {
    auto triangle = [](std::int64_t x, std::int64_t y, std::int64_t s) {
        return Rows{{1, 1, 0, -x}, {1, 0, 1, -y}, {1, -1, -1, x + y + s}};
    };
    auto band = [](std::int64_t i0, std::int64_t i1, std::int64_t j0, std::int64_t j1) {
        return Rows{{1, 1, 0, -i0}, {1, -1, 0, i1}, {1, 0, 1, -j0}, {1, 0, -1, j1}};
    };
    struct Shown {
        std::vector<Rows> pieces;   // a union when more than one
        Rgb colour;
        int dimensions = 2;
    };
    struct Scene {
        const char* name;
        std::vector<Shown> domains;
        bool rotated = false;   // axes of no zero component, as in a drag
    };
    auto box3 = [](std::int64_t a0, std::int64_t a1, std::int64_t b0, std::int64_t b1, std::int64_t c0,
                   std::int64_t c1) {
        return Rows{{1, 1, 0, 0, -a0}, {1, -1, 0, 0, a1}, {1, 0, 1, 0, -b0},
                    {1, 0, -1, 0, b1}, {1, 0, 0, 1, -c0}, {1, 0, 0, -1, c1}};
    };
    const Rgb red = {65535, 0, 0}, green = {0, 65535, 0}, blue = {0, 0, 65535};
    const Scene scenes[] = {
        {"one dense triangle", {{{triangle(0, 0, 1500)}, green}}},
        {"overlapping dense triangles", {{{triangle(0, 0, 1200)}, red}, {{triangle(300, 100, 1000)}, blue}}},
        {"a union crossing the runs", {{{band(0, 40, 0, 3000)}, red},
                                       {{band(10, 20, 500, 900), band(15, 30, 1700, 2100)}, green},
                                       {{{{0, 1, -1, 0}, {1, 1, 0, 0}, {1, -1, 0, 40}}}, blue}}},
        {"sparse square, nothing to skip", {{{square_rows(6)}, red}}},
        {"box dense in two directions, a box blended across it",
         {{{band(0, 2000, 0, 3000)}, red}, {{band(500, 1500, 1000, 2500)}, green}}},
        {"dense boxes painted over in list order",
         {{{band(0, 3000, 0, 900)}, blue}, {{band(100, 2500, 300, 2000)}, red}, {{band(-50, 800, -20, 2600)}, green}}},
        {"dense box, rotated axes", {{{band(0, 1500, 0, 2500)}, red}, {{band(200, 900, 700, 1900)}, blue}}, true},
        {"thin bands across a dense box",
         {{{band(0, 2000, 0, 2000)}, green}, {{band(0, 2000, 700, 701), band(1000, 1001, 0, 2000)}, red}}},
        {"dense triangles widening with the outer coordinate, blended",
         {{{{{1, 1, 0, 0}, {1, -1, 0, 2500}, {1, 0, 1, 0}, {1, 1, -1, 0}}}, red},
          {{{{1, 1, 0, -600}, {1, -1, 0, 2000}, {1, 0, 1, -100}, {1, 2, -3, 0}}}, green}}},
        {"boxes dense in three directions",
         {{{box3(0, 120, 0, 130, 0, 110)}, red, 3}, {{box3(40, 160, 20, 90, 30, 140)}, blue, 3}}},
        // One colour: the points are found from the pixels' side.
        {"one dense box alone, rotated axes", {{{band(-300, 1500, 0, 2500)}, blue}}, true},
        {"a union of dense boxes in one colour, rotated axes",
         {{{band(0, 1500, 0, 900), band(700, 2200, 600, 2500)}, green}}, true},
        {"one box dense in three directions", {{{box3(0, 220, 0, 130, 0, 170)}, red, 3}}},
        {"one box dense in three directions, rotated axes", {{{box3(0, 220, 0, 130, 0, 170)}, blue, 3}}, true},
        {"dense boxes side by side in two colours, rotated axes",
         {{{band(0, 1500, 0, 2500)}, red}, {{band(1600, 3000, 200, 2800)}, blue}}, true},
        // Blended and crowded: pieces of one colour from the pixels' side,
        // the last point of each centre found where colours meet.
        {"three dense squares blended, rotated axes",
         {{{band(0, 1500, 0, 1500)}, red}, {{band(500, 2000, 300, 1800)}, green}, {{band(900, 2400, -200, 1300)}, blue}},
         true},
        {"a dense triangle blended with a union, rotated axes",
         {{{triangle(0, 0, 2500)}, red}, {{band(300, 900, 200, 1000), band(1200, 1800, 100, 600)}, green}}, true},
        {"a dense triangle drawn after a sparse square, each alone",
         {{{square_rows(6)}, red, 2}, {{triangle(0, 0, 1500)}, green}}},
    };
    for (const Scene& scene : scenes) {
        SCOPED_TRACE(scene.name);
        viewer.state.DimNP = scene.domains.front().dimensions;
        reset_axes(viewer);
        if (scene.rotated) {
            viewer.projection.ProjectionAxes[0][0] = 0.9f, viewer.projection.ProjectionAxes[0][1] = 0.3f;
            viewer.projection.ProjectionAxes[1][0] = -0.2f, viewer.projection.ProjectionAxes[1][1] = 1.1f;
        }
        int k = 0;
        for (const Shown& shown : scene.domains) {
            Polyhedron* domain = nullptr;
            for (auto piece = shown.pieces.rbegin(); piece != shown.pieces.rend(); ++piece) {
                Polyhedron* p = polyhedron_from_rows(shown.dimensions, *piece);
                p->next = domain;
                domain = p;
            }
            show("D" + std::to_string(k++), domain, shown.colour[0], shown.colour[1], shown.colour[2]);
        }
        viewer.marker_run_skipping = false;
        redraw_domains(viewer, viewer.drawing.domain_pixmap);
        const std::vector<guint32> every_point = picture();
        viewer.marker_run_skipping = true;
        redraw_domains(viewer, viewer.drawing.domain_pixmap);
        const std::vector<guint32> skipping = picture();
        EXPECT_LT(std::count(skipping.begin(), skipping.end(), white()), width * height);
        EXPECT_EQ(pixels_differing(skipping, every_point), 0);
        clear_viewer_state();
    }
    viewer.state.DimNP = 2;
    reset_axes(viewer);
}

// Two billion points on a few hundred pixels: the redraw costs the pixels,
// not the points.
TEST_F(Rendering, BillionsOfPointsDrawInAMoment) {
    show("Long", polyhedron_from_rows(2, {{1, 1, 0, 0}, {1, -1, 0, 1}, {1, 0, 1, 0}, {1, 0, -1, 1000000000}}), 0, 0,
         65535);
    const auto start = std::chrono::steady_clock::now();
    redraw_domains(viewer, viewer.drawing.domain_pixmap);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    const CanvasPoint top =
        to_canvas(viewer, project_point(viewer, std::array<std::int64_t, 2>{1, 1000000000}.data(), 2).x,
                  project_point(viewer, std::array<std::int64_t, 2>{1, 1000000000}.data(), 2).y);
    EXPECT_EQ(read().at(top.column, top.row), pixel_of(0, 0, 65535));
}

// A box of 10^12 points: one column of points per pixel column is painted,
// the rest would paint the same centres again.
TEST_F(Rendering, TrillionPointBoxDrawsInAMoment) {
    show("Box", polyhedron_from_rows(2, {{1, 1, 0, 0}, {1, -1, 0, 1000000}, {1, 0, 1, 0}, {1, 0, -1, 1000000}}), 0,
         65535, 0);
    const auto start = std::chrono::steady_clock::now();
    redraw_domains(viewer, viewer.drawing.domain_pixmap);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    const PixelImage image = read();
    const guint32 green = pixel_of(0, 65535, 0);
    for (const auto& [c, r] : std::vector<std::pair<int, int>>{{31, 31}, {429, 429}, {230, 230}, {33, 428}, {427, 32}})
        EXPECT_EQ(image.at(c, r), green) << c << "," << r;
    EXPECT_EQ(image.at(20, 230), white());
}

// The same box with an axis turned, as during a drag, and a 3-D box of
// 10^12 points: every coordinate moves the markers both ways, and the
// pixels are found from their own side.
TEST_F(Rendering, TrillionPointBoxesUnderAnyAxesDrawInAMoment) {
    struct Case {
        const char* name;
        unsigned dimension;
        bool turned;
        Rows rows;
    };
    const Case cases[] = {
        {"2-D, turned axes", 2, true, {{1, 1, 0, 0}, {1, -1, 0, 1000000}, {1, 0, 1, 0}, {1, 0, -1, 1000000}}},
        {"3-D, default axes", 3, false, {{1, 1, 0, 0, 0}, {1, -1, 0, 0, 9999}, {1, 0, 1, 0, 0}, {1, 0, -1, 0, 9999},
                                  {1, 0, 0, 1, 0}, {1, 0, 0, -1, 9999}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        viewer.state.DimNP = static_cast<int>(c.dimension);
        reset_axes(viewer);
        if (c.turned) viewer.projection.ProjectionAxes[0][0] = 0.93f, viewer.projection.ProjectionAxes[0][1] = 0.27f;
        show("Box", polyhedron_from_rows(c.dimension, c.rows), 0, 65535, 0);
        const auto start = std::chrono::steady_clock::now();
        redraw_domains(viewer, viewer.drawing.domain_pixmap);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
        const PixelImage image = read();
        // The middle of the picture is covered; the corner beyond the margin is not.
        EXPECT_EQ(image.count(pixel_of(0, 65535, 0)) > width * height / 4, true);
        EXPECT_EQ(image.at(2, 2), white());
        clear_viewer_state();
    }
    viewer.state.DimNP = 2;
    reset_axes(viewer);
}

// An Escape key press as the X server would queue it for a viewer window.
void queue_escape_press() {
    Display* display = GDK_DISPLAY_XDISPLAY(gdk_display_get_default());
    XEvent event{};
    event.xkey.type = KeyPress;
    event.xkey.display = display;
    event.xkey.window = DefaultRootWindow(display);
    event.xkey.root = event.xkey.window;
    event.xkey.keycode = XKeysymToKeycode(display, XK_Escape);
    event.xkey.same_screen = 1;
    XPutBackEvent(display, &event);
}

// A redraw too long to wait for (a 3-D box of 10^12 points blended with
// another one, so that its points go one run at a time, every coordinate
// moving the markers both ways) stops at the user's Escape, outlines drawn,
// and says so; a short redraw never looks at the key.
TEST_F(Rendering, EscapeStopsALongRedraw) {
    viewer.state.DimNP = 3;
    reset_axes(viewer);
    show("Huge", polyhedron_from_rows(3, {{1, 1, 0, 0, 0}, {1, -1, 0, 0, 9999}, {1, 0, 1, 0, 0}, {1, 0, -1, 0, 9999},
                                          {1, 0, 0, 1, 0}, {1, 0, 0, -1, 9999}}),
         0, 0, 65535);
    show("Over", polyhedron_from_rows(3, {{1, 1, 0, 0, -5000}, {1, -1, 0, 0, 9999}, {1, 0, 1, 0, 0},
                                          {1, 0, -1, 0, 9999}, {1, 0, 0, 1, 0}, {1, 0, 0, -1, 9999}}),
         65535, 0, 0);
    queue_escape_press();
    const auto start = std::chrono::steady_clock::now();
    redraw_domains(viewer, viewer.drawing.domain_pixmap);
    const auto spent = std::chrono::steady_clock::now() - start;
    EXPECT_GE(spent, std::chrono::milliseconds(redraw_patience_ms));
    EXPECT_LT(spent, std::chrono::seconds(10));
    const PixelImage image = read();
    if (viewer.drawing.label_font) {
        EXPECT_GT(image.count(pixel_of(65535, 0, 0)), 20) << "the notice";
    }
    // The next redraw starts afresh: stopped again by the next Escape.
    queue_escape_press();
    const auto again = std::chrono::steady_clock::now();
    redraw_domains(viewer, viewer.drawing.domain_pixmap);
    EXPECT_LT(std::chrono::steady_clock::now() - again, std::chrono::seconds(10));
    clear_viewer_state();

    viewer.state.DimNP = 2;
    reset_axes(viewer);
    show("Small", polyhedron_from_rows(2, square_rows(40)), 0, 0, 65535);
    redraw_domains(viewer, viewer.drawing.domain_pixmap);
    const std::vector<guint32> whole = picture();
    queue_escape_press();
    redraw_domains(viewer, viewer.drawing.domain_pixmap);
    EXPECT_TRUE(picture() == whole);
    Display* display = GDK_DISPLAY_XDISPLAY(gdk_display_get_default());
    XEvent left;
    EXPECT_TRUE(XCheckTypedEvent(display, KeyPress, &left)) << "the key press is left for the windows";
}

TEST_F(Rendering, MarkLabelSitsRightOfTheMarkerOnItsRow) {
    if (!viewer.drawing.label_font) GTEST_SKIP() << "no label font on this display";
    const std::int64_t point[2] = {2, -1};
    EXPECT_EQ(mark_label(viewer, point), "(2,-1)");
    viewer.state.DimNP = 3;
    const std::int64_t point3[3] = {-7, 0, 12};
    EXPECT_EQ(mark_label(viewer, point3), "(-7,0,12)");
    viewer.state.DimNP = 2;
    set_view(0, 4, -3, 1);
    MarkedPoint mark{{2, -1}, nullptr};
    draw_marks(viewer, viewer.drawing.domain_pixmap, &mark);
    const PlanePoint position = canvas_position(viewer, 2, -1);
    const CanvasPoint centre = to_canvas(viewer, 2, -1);
    const int text_left = static_cast<int>(position.x + 4);
    const guint32 blue = pixel_of(0, 0, 65535);
    const PixelImage image = read();
    const Pixels marker = marker_pixels(centre);
    // The digit 2 after the parenthesis stands on the baseline, the point's row.
    const int two_begin = text_left + gdk_string_width(viewer.drawing.label_font, "(");
    const int two_end = text_left + gdk_string_width(viewer.drawing.label_font, "(2");
    int text_pixels = 0, leftmost = width, lowest_of_two = -1;
    for (const auto& [c, r] : image.differing(white())) {
        EXPECT_EQ(image.at(c, r), blue);
        if (std::binary_search(marker.begin(), marker.end(), std::pair<int, int>{c, r})) continue;
        ++text_pixels;
        leftmost = std::min(leftmost, c);
        if (c >= two_begin && c < two_end) lowest_of_two = std::max(lowest_of_two, r);
    }
    EXPECT_GT(text_pixels, 20);
    EXPECT_GE(leftmost, text_left);
    EXPECT_LE(leftmost, text_left + 2);
    EXPECT_EQ(lowest_of_two, static_cast<int>(position.y) - 1);
    EXPECT_EQ(static_cast<int>(position.y), centre.row);
}

TEST_F(Rendering, PointContextsAreReusedAndBounded) {
    std::vector<DomainEntry*> entries;
    for (int k = 0; k < point_gc_capacity + 6; ++k)
        entries.push_back(show("P" + std::to_string(k), polyhedron_from_rows(2, {{0, 1, 0, -k}, {0, 0, 1, 0}}),
                               static_cast<guint16>(1000 * k), 0, 0));
    redraw_domains(viewer, viewer.drawing.domain_pixmap);
    EXPECT_EQ(point_gcs_held(viewer), point_gc_capacity);
    for (int round = 0; round < 5; ++round) redraw_domains(viewer, viewer.drawing.domain_pixmap);
    EXPECT_EQ(point_gcs_held(viewer), point_gc_capacity);
    release_point_gcs(viewer);
    EXPECT_EQ(point_gcs_held(viewer), 0);
    clear_viewer_state();
    viewer.state.DimNP = 2;
    show("S", polyhedron_from_rows(2, square_rows(30)), 0, 0, 0);
    for (int round = 0; round < 5; ++round) redraw_domains(viewer, viewer.drawing.domain_pixmap);
    EXPECT_EQ(point_gcs_held(viewer), 1);
}

// What a painter is asked, in order: the call's kind and colour.
class RecordingPainter : public Painter {
public:
    struct Call {
        std::string kind;
        Rgb colour;
        int count;
    };
    std::vector<Call> calls;
    void clear(int, int) override { calls.push_back({"clear", {65535, 65535, 65535}, 1}); }
    void line(const GdkColor& c, CanvasPoint, CanvasPoint) override { record("line", c, 1); }
    void polyline(const GdkColor& c, const CanvasPoint*, int n) override { record("polyline", c, n); }
    void markers(const GdkColor& c, const CanvasPoint*, int n) override { record("markers", c, n); }
    void spans(const GdkColor& c, const PixelSpan*, int n) override { record("spans", c, n); }
    void label(const GdkColor& c, int, int, const std::string&) override { record("label", c, 1); }

private:
    void record(const char* kind, const GdkColor& c, int n) { calls.push_back({kind, {c.red, c.green, c.blue}, n}); }
};

// The background first; then, domain after domain in list order, the
// outline in the domain's colour, its points, its marks in blue with labels.
TEST_F(Rendering, PainterIsCalledInDrawingOrder) {
    const Rgb red = {65535, 0, 0}, green = {0, 65535, 0}, blue = {0, 0, 65535};
    DomainEntry* g = show("G", polyhedron_from_rows(2, square_rows(3)), 0, 65535, 0);
    g->view->marked = new MarkedPoint{{1, 2}, nullptr};
    show("R", polyhedron_from_rows(2, {{0, 0, 1, -5}, {1, 1, 0, 0}, {1, -1, 0, 4}}), 65535, 0, 0);
    RecordingPainter recorder;
    paint_domains(viewer, recorder, width, height);
    std::vector<std::pair<std::string, Rgb>> kinds;
    for (const auto& call : recorder.calls) {
        EXPECT_GT(call.count, 0) << call.kind;
        if (kinds.empty() || kinds.back() != std::pair{call.kind, call.colour}) kinds.push_back({call.kind, call.colour});
    }
    const std::vector<std::pair<std::string, Rgb>> expected = {
        {"clear", {65535, 65535, 65535}}, {"line", red}, {"markers", red}, {"line", green},
        {"markers", green}, {"markers", blue}, {"label", blue}};
    EXPECT_EQ(kinds, expected);
    // The same calls through the canvas painter give the redraw's picture.
    redraw_domains(viewer, viewer.drawing.domain_pixmap);
    const std::vector<guint32> redrawn = picture();
    clear_white();
    GdkPainter canvas(viewer, viewer.drawing.domain_pixmap, viewer.drawing.label_font);
    paint_domains(viewer, canvas, width, height);
    EXPECT_TRUE(picture() == redrawn);
}

// A redraw keeps its markers and spans as pixels and sends each colour's
// rectangles before any other drawing: the picture must be the one the same
// calls paint one by one, with blended overlaps, unions, marks and their
// labels, the next domain's outline over the points before it, clipping at
// the image's edges and more colours than the map holds at once.
TEST_F(Rendering, DeferredFillsPaintTheSamePixelsAsImmediateOnes) {
    auto triangle = [](std::int64_t x, std::int64_t y, std::int64_t s) {
        return Rows{{1, 1, 0, -x}, {1, 0, 1, -y}, {1, -1, -1, x + y + s}};
    };
    const Rgb red = {65535, 0, 0}, green = {0, 65535, 0}, blue = {0, 0, 65535};
    const CoverScene scenes[] = {
        {"three overlapping triangles", 2,
         {{triangle(0, 0, 60), red}, {triangle(20, 0, 60), green}, {triangle(15, 10, 60), blue}}},
        {"sparse blended squares", 2, {{square_rows(6), red}, {triangle(3, 2, 6), blue}}},
        {"box folded by a third axis over a triangle", 3,
         {{{{1, 1, 0, 0, 0}, {1, -1, 0, 0, 11}, {1, 0, 1, 0, 0}, {1, 0, -1, 0, 11}, {1, 0, 0, 1, 0},
            {1, 0, 0, -1, 11}},
           blue},
          {{{1, 1, 0, 0, 0}, {1, 0, 1, 0, 0}, {1, -1, -1, 0, 14}, {0, 0, 0, 1, -3}}, green}}},
    };
    for (const CoverScene& scene : scenes) {
        SCOPED_TRACE(scene.name);
        viewer.state.DimNP = scene.dimensions;
        show_scene(scene);
        viewer.state.registries->DomainList->view->marked = new MarkedPoint{{3, 2, 3}, nullptr};
        redraw_domains(viewer, viewer.drawing.domain_pixmap);
        const std::vector<guint32> deferred = picture();
        clear_white();
        {
            GdkPainter immediate(viewer, viewer.drawing.domain_pixmap, viewer.drawing.label_font);
            paint_domains(viewer, immediate, width, height);
        }
        const std::vector<guint32> one_by_one = picture();
        EXPECT_GT(std::count(one_by_one.begin(), one_by_one.end(), white()), 0);
        EXPECT_EQ(pixels_differing(deferred, one_by_one), 0);
        clear_viewer_state();
    }
    viewer.state.DimNP = 2;

    // Painter calls of 300 colours, markers and spans across the edges, a
    // line and a label drawn between them.
    auto paint = [&](bool defer) {
        clear_white();
        GdkPainter painter(viewer, viewer.drawing.domain_pixmap, viewer.drawing.label_font);
        if (defer) painter.defer_fills();
        for (int k = 0; k < 600; ++k) {
            const GdkColor colour = {0, static_cast<guint16>((k % 300) * 211), static_cast<guint16>(k * 37 % 65536),
                                     static_cast<guint16>(65535 - k % 300)};
            const CanvasPoint centre = {(k * 53) % (width + 20) - 10, (k * 31) % (height + 20) - 10};
            const CanvasPoint pair[] = {centre, {centre.column + 2, centre.row + 1}};
            painter.markers(colour, pair, 2);
            const PixelSpan span = {(k * 7) % width - 15, (k * 13) % height, 30};
            painter.spans(colour, &span, 1);
            if (k == 250) painter.line(GdkColor{0, 0, 0, 0}, {0, 0}, {width - 1, height - 1});
            if (k == 400) painter.label(GdkColor{0, 0, 0, 0}, 40, 40, "(1,2)");
        }
    };
    paint(false);
    const std::vector<guint32> one_by_one = picture();
    paint(true);
    EXPECT_TRUE(picture() == one_by_one);
}

// However many points a pass paints, the painter gets them in batches of
// bounded size, and every point's marker is among them.
TEST_F(Rendering, MarkerBatchesAreBounded) {
    show("T", polyhedron_from_rows(2, {{1, 1, 0, 0}, {1, 0, 1, 0}, {1, -1, -1, 300}}), 0, 0, 65535, 1);
    const int threshold = viewer.marker_cover_threshold;
    viewer.marker_cover_threshold = 1 << 30;
    RecordingPainter recorder;
    paint_domains(viewer, recorder, width, height);
    viewer.marker_cover_threshold = threshold;
    int markers = 0, largest = 0;
    for (const auto& call : recorder.calls)
        if (call.kind == "markers") markers += call.count, largest = std::max(largest, call.count);
    EXPECT_EQ(markers, 301 * 302 / 2);
    EXPECT_LE(largest, static_cast<int>(marker_batch_capacity));
}

Rows unit_cube_rows(unsigned dimension) {
    Rows rows;
    for (unsigned k = 0; k < dimension; ++k) {
        std::vector<std::int64_t> low(dimension + 2, 0), high(dimension + 2, 0);
        low[0] = high[0] = 1;
        low[k + 1] = 1;
        high[k + 1] = -1;
        high[dimension + 1] = 1;
        rows.push_back(low);
        rows.push_back(high);
    }
    return rows;
}

// Each edge is drawn once (a line, or a marker where it covers one pixel),
// and a 10-D cube's 5,120 edges are found in a moment.
TEST_F(Rendering, CubesAreDrawnEdgeByEdgeOnce) {
    const std::pair<unsigned, int> cubes[] = {{2, 4}, {3, 12}, {4, 32}, {7, 448}, {10, 5120}};
    for (const auto& [dimension, edges] : cubes) {
        SCOPED_TRACE(dimension);
        viewer.state.DimNP = static_cast<int>(dimension);
        reset_axes(viewer);
        set_view(-2, 40, -2, 30);
        Polyhedron* cube = polyhedron_from_rows(dimension, unit_cube_rows(dimension));
        RecordingPainter recorder;
        const auto start = std::chrono::steady_clock::now();
        paint_polyhedron_outline(viewer, recorder, GdkColor{0, 0, 0, 0}, cube);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
        int drawn = 0;
        for (const auto& call : recorder.calls) {
            EXPECT_TRUE(call.kind == "line" || call.kind == "markers") << call.kind;
            drawn += call.count;
        }
        EXPECT_EQ(drawn, edges);
        Polyhedron_Free(cube);
    }
    viewer.state.DimNP = 2;
    reset_axes(viewer);
}

struct PolylineCase {
    const char* name;
    std::vector<PlanePoint> points;
    std::vector<std::pair<int, int>> expected;
};

// View [0,10] x [0,10] on 460 x 460: x -> 30 + 40x, y -> 430 - 40y.
TEST_F(Rendering, GiftWrappingPolyline) {
    set_view(0, 10, 0, 10);
    const PolylineCase cases[] = {
        {"square, clockwise from the lowest point",
         {{0, 0}, {10, 0}, {10, 10}, {0, 10}},
         {{30, 430}, {30, 30}, {430, 30}, {430, 430}, {30, 430}}},
        {"start is the lowest, then leftmost",
         {{10, 10}, {10, 0}, {0, 10}, {0, 0}},
         {{30, 430}, {30, 30}, {430, 30}, {430, 430}, {30, 430}}},
        {"collinear points: the farthest is taken",
         {{0, 0}, {5, 0}, {10, 0}, {5, 5}},
         {{30, 430}, {230, 230}, {430, 430}, {30, 430}}},
        {"interior point skipped, duplicates ignored",
         {{0, 0}, {0, 0}, {2, 1}, {4, 0}, {2, 4}},
         {{30, 430}, {110, 270}, {190, 430}, {30, 430}}},
        {"all on one point: closed at once",
         {{1, 1}, {1, 1}, {1, 1}},
         {{70, 390}, {70, 390}}},
    };
    for (const PolylineCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::pair<int, int>> got;
        for (const CanvasPoint& p : plane_outline_polyline(viewer, c.points.data(), static_cast<int>(c.points.size())))
            got.push_back({p.column, p.row});
        EXPECT_EQ(got, c.expected);
    }
}

TEST_F(Rendering, OutlineOfMoreThanAThousandPointsIsSound) {
    set_view(-1, 1, -1, 1);
    std::vector<PlanePoint> circle;
    for (int k = 0; k < 3000; ++k)
        circle.push_back({static_cast<float>(std::cos(k * 0.0020943951)), static_cast<float>(std::sin(k * 0.0020943951))});
    std::vector<CanvasPoint> line = plane_outline_polyline(viewer, circle.data(), static_cast<int>(circle.size()));
    ASSERT_GE(line.size(), 3u);
    EXPECT_LE(line.size(), circle.size() + 2);
    EXPECT_EQ(line.front().column, line.back().column);
    EXPECT_EQ(line.front().row, line.back().row);
    draw_plane_outline(viewer, viewer.drawing.domain_pixmap, circle.data(), static_cast<int>(circle.size()));
    EXPECT_FALSE(read().differing(white()).empty());
}

TEST_F(Rendering, CanvasImageAfterAResize) {
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkWidget* area = gtk_drawing_area_new();
    gtk_widget_set_size_request(area, 500, 400);
    gtk_container_add(GTK_CONTAINER(window), area);
    gtk_widget_show_all(window);
    while (gtk_events_pending()) gtk_main_iteration();
    ASSERT_EQ(area->allocation.width, 500);
    ASSERT_EQ(area->allocation.height, 400);
    GdkGC* before = viewer.drawing.domain_gc;
    g_object_ref(before);
    g_object_ref(domain_pixmap_);
    viewer.drawing.domain_canvas = area;
    make_canvas_image(viewer);
    EXPECT_NE(viewer.drawing.domain_gc, before);
    g_object_unref(before);
    EXPECT_EQ(viewer.projection.canvas_width, 500);
    EXPECT_EQ(viewer.projection.canvas_height, 400);
    int w = 0, h = 0;
    gdk_drawable_get_size(viewer.drawing.domain_pixmap, &w, &h);
    EXPECT_EQ(w, 500);
    EXPECT_EQ(h, 400);
    {
        PixelImage image(viewer.drawing.domain_pixmap, 500, 400);
        EXPECT_TRUE(image.differing(white()).empty());
    }
    GdkGCValues values;
    gdk_gc_get_values(viewer.drawing.domain_gc, &values);
    EXPECT_EQ(values.foreground.pixel, pixel_of(0, 0, 0));
    // Redraws then target the new image and queue the canvas.
    show("S", polyhedron_from_rows(2, square_rows(2)), 0, 0, 0, 0);
    redraw_domains(viewer, viewer.drawing.domain_pixmap);
    {
        PixelImage image(viewer.drawing.domain_pixmap, 500, 400);
        EXPECT_EQ(image.at(30, 370), pixel_of(0, 0, 0));
        EXPECT_EQ(image.at(470, 30), pixel_of(0, 0, 0));
    }
    g_object_unref(viewer.drawing.domain_pixmap);
    viewer.drawing.domain_pixmap = domain_pixmap_;
    viewer.drawing.domain_canvas = nullptr;
    gtk_widget_destroy(window);
}

}   // namespace
