// Picking: the nearest point within sqrt(200) plane units, ties to the first
// scanned, hidden-point domains never searched, marks toggled in every view.
#include <chrono>

#include "gui/resources.h"
#include "tests/view/pixels.h"
#include "tests/view/view_support.h"
#include "view/context.h"
#include "view/picking.h"
#include "view/projection.h"
#include "view/rendering.h"

namespace {

// The viewer these tests draw with.
Viewer& viewer = test_viewer();

}   // namespace

namespace {

using Points = std::vector<std::vector<std::int64_t>>;

// 0 <= i <= s, 0 <= j <= s.
Rows square_rows(std::int64_t s) { return {{1, 1, 0, 0}, {1, -1, 0, s}, {1, 0, 1, 0}, {1, 0, -1, s}}; }

class Picking : public PixelTest {
protected:
    DomainEntry* show(const std::string& name, const Rows& rows, int show_points = 1) {
        DomainEntry* e = push_entry(name, polyhedron_from_rows(2, rows), 0, 0, 0);
        EXPECT_EQ(show_without_context(viewer, e), 1);
        e->view->show_points = show_points;
        return e;
    }
    // A click at the pixel of plane point (x, y) after a redraw, as the canvas handler makes it.
    void click_at(float x, float y) {
        const CanvasPoint pixel = to_canvas(viewer, x, y);
        click_pixel(pixel.column, pixel.row);
    }
    void click_pixel(int column, int row) {
        g_mutex_unlock(&domain_lock);
        pick_point(viewer, column, row);
        g_mutex_lock(&domain_lock);
    }
    static Points marks_of(const DomainEntry* e) {
        Points result;
        for (const MarkedPoint* m = e->view->marked; m; m = m->next) result.push_back({m->coords[0], m->coords[1]});
        return result;
    }
    void set_view(float x0, float x1, float y0, float y1) {
        viewer.state.view_bounds[0] = x0;
        viewer.state.view_bounds[1] = x1;
        viewer.state.view_bounds[2] = y0;
        viewer.state.view_bounds[3] = y1;
    }
};

TEST_F(Picking, NearestPointWins) {
    DomainEntry* s = show("S", square_rows(10));
    redraw_domains(viewer, viewer.drawing.domain_pixmap);
    click_at(3.3f, 4.6f);
    EXPECT_EQ(marks_of(s), (Points{{3, 5}}));
    EXPECT_GE(viewer.state.pick_best, 0);
    EXPECT_LT(viewer.state.pick_best, 0.5);
}

struct ThresholdCase {
    const char* name;
    float view_width;   // of x and y, from 0
    int pixels_right;   // of the click from the point's pixel
    bool picked;
};

// One point at (500, 500) or (5, 5); on 460 pixels, 400 lie between the margins.
TEST_F(Picking, ThresholdIsInPlaneUnits) {
    const ThresholdCase cases[] = {
        {"2.5 units a pixel, 5 pixels: 12.5 units", 1000, 5, true},
        {"2.5 units a pixel, 6 pixels: 15 units", 1000, 6, false},
        {"0.025 units a pixel: anywhere in the view", 10, 200, true},
    };
    for (const ThresholdCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::int64_t at = static_cast<std::int64_t>(c.view_width / 2);
        DomainEntry* p = show("P", {{0, 1, 0, -at}, {0, 0, 1, -at}});
        set_view(0, c.view_width, 0, c.view_width);
        const CanvasPoint pixel = to_canvas(viewer, static_cast<float>(at), static_cast<float>(at));
        click_pixel(pixel.column + c.pixels_right, pixel.row);
        EXPECT_EQ(marks_of(p).size(), c.picked ? 1u : 0u);
        if (!c.picked) {
            EXPECT_LT(viewer.state.pick_best, 0);
        }
        clear_viewer_state();
        viewer.state.DimNP = 2;
    }
}

TEST_F(Picking, NothingNearMeansNothingRedrawn) {
    show("P", {{0, 1, 0, -500}, {0, 0, 1, -500}});
    set_view(0, 1000, 0, 1000);
    clear_white();
    click_at(100, 100);
    EXPECT_LT(viewer.state.pick_best, 0);
    EXPECT_TRUE(read().differing(white()).empty());
}

// A click on a box of 10^12 points looks at the points near it only.
TEST_F(Picking, AClickOnTrillionsOfPointsIsAtOnce) {
    DomainEntry* s = show("Huge", square_rows(999999));
    redraw_domains(viewer, viewer.drawing.domain_pixmap);
    const auto start = std::chrono::steady_clock::now();
    click_at(123456.3f, 654321.6f);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    ASSERT_EQ(marks_of(s).size(), 1u);
    // A pixel spans thousands of points: the one nearest to the pixel's place.
    const CanvasPoint pixel = to_canvas(viewer, 123456.3f, 654321.6f);
    const PlanePoint at = from_canvas(viewer, pixel.column, pixel.row);
    EXPECT_NEAR(static_cast<double>(marks_of(s)[0][0]), at.x, 0.6);
    EXPECT_NEAR(static_cast<double>(marks_of(s)[0][1]), at.y, 0.6);
}

TEST_F(Picking, TiesGoToTheFirstScanned) {
    // i = 2j, 0 <= i <= 2: (0,0) and (2,1), both 1.25 from (1, 0.5); (0,0) comes first.
    DomainEntry* s = show("S", {{0, 1, -2, 0}, {1, 1, 0, 0}, {1, -1, 0, 2}});
    update_points_union(viewer);
    find_nearest_point(viewer, 1, 0.5f);
    EXPECT_EQ(viewer.state.pick_best, 1.25);
    EXPECT_EQ(viewer.state.picked_point[0], 0);
    EXPECT_EQ(viewer.state.picked_point[1], 0);
    set_view(0, 4, 0, 4);
    click_pixel(130, 380);
    EXPECT_EQ(viewer.state.pick_x, 1.0f);
    EXPECT_EQ(viewer.state.pick_y, 0.5f);
    EXPECT_EQ(marks_of(s), (Points{{0, 0}}));
}

TEST_F(Picking, PointsOfHiddenPointDomainsAreNeverPicked) {
    DomainEntry* hidden = show("H", {{0, 1, 0, -3}, {0, 0, 1, -3}}, 0);
    DomainEntry* far = show("F", {{0, 1, 0, -9}, {0, 0, 1, -9}});
    redraw_domains(viewer, viewer.drawing.domain_pixmap);
    click_at(3, 3);
    EXPECT_TRUE(marks_of(hidden).empty());
    EXPECT_EQ(marks_of(far), (Points{{9, 9}}));
    // Whatever the zoom, with only hidden points there is nothing to pick.
    far->view->show_points = 0;
    click_at(3, 3);
    EXPECT_LT(viewer.state.pick_best, 0);
}

TEST_F(Picking, SecondClickUnmarksInEveryView) {
    DomainEntry* a = show("A", square_rows(4));
    DomainEntry* b = show("B", square_rows(2));
    redraw_domains(viewer, viewer.drawing.domain_pixmap);
    click_at(1, 1);
    EXPECT_EQ(marks_of(a), (Points{{1, 1}}));
    EXPECT_EQ(marks_of(b), (Points{{1, 1}}));
    click_at(4, 4);
    EXPECT_EQ(marks_of(a), (Points{{4, 4}, {1, 1}}));
    EXPECT_EQ(marks_of(b), (Points{{1, 1}}));
    click_at(1, 1);
    EXPECT_EQ(marks_of(a), (Points{{4, 4}}));
    EXPECT_TRUE(marks_of(b).empty());
}

// Marked in both lists; the label is drawn in the passes that draw points only.
TEST_F(Picking, MarkedInBothLabelledInTheShownPass) {
    DomainEntry* a = show("A", square_rows(4));
    DomainEntry* b = show("B", square_rows(4), 0);
    redraw_domains(viewer, viewer.drawing.domain_pixmap);
    click_at(2, 2);
    EXPECT_EQ(marks_of(a), (Points{{2, 2}}));
    EXPECT_EQ(marks_of(b), (Points{{2, 2}}));
    const guint32 blue = pixel_of(0, 0, 65535);
    EXPECT_GT(read().count(blue), 45);
    a->view->show_points = 0;
    redraw_domains(viewer, viewer.drawing.domain_pixmap);
    EXPECT_EQ(read().count(blue), 0);
    EXPECT_EQ(marks_of(b), (Points{{2, 2}}));
}

TEST_F(Picking, ToggleMark) {
    MarkedPoint* list = nullptr;
    const std::int64_t p[2] = {1, 2}, q[2] = {3, 4}, r[2] = {1, 3};
    list = toggle_mark(viewer, p, list);
    list = toggle_mark(viewer, q, list);
    list = toggle_mark(viewer, r, list);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->coords[0], 1);
    EXPECT_EQ(list->coords[1], 3);
    list = toggle_mark(viewer, q, list);   // from the middle
    list = toggle_mark(viewer, r, list);   // the head
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->coords[1], 2);
    EXPECT_EQ(list->next, nullptr);
    list = toggle_mark(viewer, p, list);
    EXPECT_EQ(list, nullptr);
}

}   // namespace
