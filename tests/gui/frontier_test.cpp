// The viewer's hardest pictures through its windows: two overlapping squares
// of 10^12 points each under axes turned by a drag in the Projection window,
// and a 6-D cube of side 1000. Each is drawn within a bound that drawing
// point by point could never meet, and a smaller instance of each, crowded
// the same way, gives the same pixels as drawing every point.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <gtk/gtk.h>
#include <string>
#include <thread>
#include <vector>

#include "base/locks.h"
#include "gui/visu_window.h"
#include "interpreter/session.h"
#include "store/registry.h"
#include "tests/support/in_process.h"
#include "tests/support/x_session.h"
#include "view/rendering.h"

// After PolyLib's headers: Xlib defines True, False and Bool as macros.
#include <gdk/gdkx.h>

namespace {

using namespace std::chrono_literals;

// Far above the goal of a twentieth of a second, for a loaded machine; the
// points one by one took minutes.
constexpr auto bound = 3s;

Viewer& viewer() { return in_process_session().viewer; }

// Lets the X events of xdotool arrive, and dispatches them.
void x_settle_and_process() {
    for (int k = 0; k < 10; ++k) {
        std::this_thread::sleep_for(50ms);
        process_pending_events();
    }
}

std::vector<guint32> canvas_pixels() {
    GdkPixmap* pixmap = viewer().drawing.domain_pixmap;
    int width = 0, height = 0;
    gdk_drawable_get_size(pixmap, &width, &height);
    GdkImage* image = gdk_drawable_get_image(pixmap, 0, 0, width, height);
    std::vector<guint32> pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) pixels.push_back(gdk_image_get_pixel(image, x, y));
    g_object_unref(image);
    return pixels;
}

// One redraw of the canvas, timed.
std::chrono::duration<double> timed_redraw() {
    GdkLock gdk;
    DomainLock lock;
    const auto start = std::chrono::steady_clock::now();
    redraw_domains(viewer(), viewer().drawing.domain_pixmap);
    gdk_display_sync(gdk_display_get_default());
    return std::chrono::steady_clock::now() - start;
}

// The picture drawn, and drawn again point by point (no skipping, no
// pixels' side): how many pixels differ.
long differing_from_every_point() {
    timed_redraw();
    const std::vector<guint32> drawn = canvas_pixels();
    viewer().marker_run_skipping = false;
    timed_redraw();
    viewer().marker_run_skipping = true;
    const std::vector<guint32> every_point = canvas_pixels();
    long differing = 0;
    for (std::size_t k = 0; k < drawn.size() && k < every_point.size(); ++k) differing += drawn[k] != every_point[k];
    return differing + static_cast<long>(drawn.size() > every_point.size() ? drawn.size() - every_point.size()
                                                                            : every_point.size() - drawn.size());
}

void colour(const std::string& name, guint16 r, guint16 g, guint16 b) {
    GdkColor c = {0, r, g, b};
    gdk_colormap_alloc_color(gdk_colormap_get_system(), &c, FALSE, TRUE);
    DomainLock lock;
    lookup_domain(name, in_process_session().registries.DomainList)->color = gdk_color_copy(&c);
}

// One display for the suite: the toolkit keeps its connection.
class Frontier : public ::testing::Test {
protected:
    static inline XSession* display = nullptr;
    static inline bool toolkit = false;
    static void SetUpTestSuite() {
        display = new XSession(false);
        setenv("DISPLAY", display->display().c_str(), 1);
        toolkit = gtk_init_check(nullptr, nullptr);
    }
    static void TearDownTestSuite() {
        process_pending_events();
        delete display;
        display = nullptr;
    }
    void SetUp() override {
        if (!toolkit) GTEST_SKIP() << "no X display";
    }
};

TEST_F(Frontier, OverlappingSquaresUnderAxesTurnedByADrag) {
    run_statements("K := { | } ;\n"
                   "A := { i, j | 0 <= i <= 999999, 0 <= j <= 999999 } ;\n"
                   "B := { i, j | 500000 <= i <= 1499999, 500000 <= j <= 1499999 } ;\n"
                   "S := { i, j | 0 <= i <= 1599, 0 <= j <= 1499 } ;\n"
                   "T := { i, j | 700 <= i <= 2299, 500 <= j <= 1999 } ;\n"
                   "initvisu (2, K) ;\n");
    colour("A", 65535, 0, 0);
    colour("B", 0, 0, 65535);
    colour("S", 65535, 0, 0);
    colour("T", 0, 40000, 0);
    run_statements("visu (A) ;\nvisu (B) ;\n");
    process_pending_events();
    ViewerWindows& windows = in_process_session().viewer_windows;
    toggle_projection_window(&windows);
    process_pending_events();
    x_settle_and_process();
    // The end of the first axis in the Projection window's canvas, dragged.
    const float xmin = viewer().projection.axes_bounds[2], xmax = viewer().projection.axes_bounds[0],
                ymin = viewer().projection.axes_bounds[3], ymax = viewer().projection.axes_bounds[1];
    const float w = static_cast<float>(windows.axes_width), h = static_cast<float>(windows.axes_height);
    const int ex = static_cast<int>(w * ((viewer().projection.ProjectionAxes[0][0] - xmin) / (xmax - xmin)) + 20);
    const int ey = static_cast<int>((h + 20) - h * ((viewer().projection.ProjectionAxes[0][1] - ymin) / (ymax - ymin)));
    const std::string axes_window = std::to_string(GDK_WINDOW_XID(windows.rep_canvas->window));
    // Step by step, the events dispatched between steps: the canvas asks
    // for the pointer's state when it reads a motion.
    display->run("xdotool mousemove --window " + axes_window + " " + std::to_string(ex) + " " + std::to_string(ey) +
                 " mousedown 1");
    x_settle_and_process();
    for (int step = 1; step <= 4; ++step) {
        display->run("xdotool mousemove --window " + axes_window + " " + std::to_string(ex - 4 * step) + " " +
                     std::to_string(ey - 3 * step));
        x_settle_and_process();
    }
    display->run("xdotool mouseup 1");
    x_settle_and_process();
    ASSERT_NE(viewer().projection.ProjectionAxes[0][1], 0.0f) << "the drag turned the first axis";
    ASSERT_NE(viewer().projection.ProjectionAxes[0][0], 1.0f);

    const auto took = timed_redraw();
    EXPECT_LT(took, bound) << std::chrono::duration<double, std::milli>(took).count() << " ms";
    const std::vector<guint32> picture = canvas_pixels();
    long purple = 0;
    GdkColor blend = {0, 32767, 0, 32767};
    gdk_colormap_alloc_color(gdk_colormap_get_system(), &blend, FALSE, TRUE);
    for (const guint32 p : picture) purple += p == blend.pixel;
    EXPECT_GT(purple, 1000) << "the overlap is drawn in the blend";

    // Squares of a few million points under the same axes: crowded as well.
    run_statements("visu (A) ;\nvisu (B) ;\nvisu (S) ;\nvisu (T) ;\n");
    process_pending_events();
    EXPECT_EQ(differing_from_every_point(), 0);
    run_statements("visu (S) ;\nvisu (T) ;\n");
}

TEST_F(Frontier, SixDimensionalCube) {
    run_statements("K := { | } ;\n"
                   "C := { i, j, k, l, m, n | 0 <= i <= 1000, 0 <= j <= 1000, 0 <= k <= 1000, 0 <= l <= 1000, "
                   "0 <= m <= 1000, 0 <= n <= 1000 } ;\n"
                   "E := { i, j, k, l, m, n | 0 <= i <= 1200, 0 <= j <= 1100, 0 <= k <= 1, 0 <= l <= 1, "
                   "0 <= m <= 1, 0 <= n <= 1 } ;\n"
                   "initvisu (6, K) ;\nvisu (C) ;\n");
    process_pending_events();
    const auto took = timed_redraw();
    EXPECT_LT(took, bound) << std::chrono::duration<double, std::milli>(took).count() << " ms";
    const std::vector<guint32> picture = canvas_pixels();
    guint32 white = picture.front();
    long painted = 0;
    for (const guint32 p : picture) painted += p != white;
    EXPECT_GT(painted, static_cast<long>(picture.size()) / 3) << "the cube's points cover much of the canvas";

    run_statements("visu (C) ;\nvisu (E) ;\n");
    process_pending_events();
    EXPECT_EQ(differing_from_every_point(), 0);
    run_statements("visu (E) ;\n");
}

}  // namespace
