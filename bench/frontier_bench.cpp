// The viewer's hardest scenes on an 800 x 600 canvas: overlapping domains
// under turned axes, blends of 3-D boxes, 6-D and 10-D polytopes of side 30
// to 1000, a slanted face turned edge-on and a thin slanted slab. Each scene
// runs in a child process of its own (its own X connection), so that one
// that takes too long is stopped at the time limit and told as such, and its
// memory is its own. Needs an X display (run it under Xvfb).
//
//   frontier_bench [SECONDS_LIMIT [NAME_SUBSTRING]]
//
// For each scene: the first picture (the domains' PolyLib work included),
// the median of 5 redraws, and an axis drag (a small turn of the first axis
// before every redraw, 15 redraws): its median and worst redraw, and the
// redraws per second it sustains. Wall times include a round trip to the X
// server; CPU is this process's. Peak memory is the child's resident peak.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <gtk/gtk.h>
#include <string>
#include <utility>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "base/locks.h"
#include "bench/scene_rows.h"
#include "gui/resources.h"
#include "store/registry.h"
#include "view/context.h"
#include "view/projection.h"
#include "view/rendering.h"

namespace {

Viewer viewer;
Registries scene_store;

struct Domain {
    Rows rows;
    guint16 r, g, b;
};

struct Scene {
    Scene(std::string name_, unsigned dimension_, std::vector<Domain> domains_, double angle_ = -1)
        : name(std::move(name_)), dimension(dimension_), domains(std::move(domains_)), angle(angle_) {}
    std::string name;
    unsigned dimension;
    std::vector<Domain> domains;
    // Axis 0 turned to this angle (radians) before the first picture; a
    // negative value keeps the default axes.
    double angle = -1;
    // Axes set whole (x, y per dimension) instead, when not empty.
    std::vector<std::pair<float, float>> axes;
    // The drag turns axis `dragged` from `angle` (or its default direction)
    // by `step` radians a redraw.
    int dragged = 0;
    double step = 0.01;
};

Rows box(const std::vector<std::int64_t>& low, const std::vector<std::int64_t>& high) {
    const std::size_t d = low.size();
    Rows rows;
    for (std::size_t k = 0; k < d; ++k) {
        std::vector<std::int64_t> lo(d + 2, 0), hi(d + 2, 0);
        lo[0] = hi[0] = 1;
        lo[k + 1] = 1;
        lo[d + 1] = -low[k];
        hi[k + 1] = -1;
        hi[d + 1] = high[k];
        rows.push_back(lo);
        rows.push_back(hi);
    }
    return rows;
}

Rows cube(unsigned d, std::int64_t side, std::int64_t shift = 0) {
    return box(std::vector<std::int64_t>(d, shift), std::vector<std::int64_t>(d, shift + side));
}

// x >= 0, sum x <= side.
Rows simplex(unsigned d, std::int64_t side) {
    Rows rows;
    for (unsigned k = 0; k < d; ++k) {
        std::vector<std::int64_t> r(d + 2, 0);
        r[0] = 1;
        r[k + 1] = 1;
        rows.push_back(r);
    }
    std::vector<std::int64_t> top(d + 2, -1);
    top[0] = 1;
    top[d + 1] = side;
    rows.push_back(top);
    return rows;
}

// 0 <= x <= side, side * (d/2 - 1/2) <= sum x <= side * (d/2 + 1/2): the
// cube's slab about its middle hyperplane (a thickened hypersimplex).
Rows hypersimplex_slab(unsigned d, std::int64_t side) {
    Rows rows = cube(d, side);
    std::vector<std::int64_t> low(d + 2, 1), high(d + 2, -1);
    low[0] = high[0] = 1;
    low[d + 1] = -(side * (static_cast<std::int64_t>(d) - 1)) / 2;
    high[d + 1] = (side * (static_cast<std::int64_t>(d) + 1)) / 2;
    rows.push_back(low);
    rows.push_back(high);
    return rows;
}

// sum |x| <= side: 2^d rows.
Rows cross_polytope(unsigned d, std::int64_t side) {
    Rows rows;
    for (unsigned signs = 0; signs < (1u << d); ++signs) {
        std::vector<std::int64_t> r(d + 2, 0);
        r[0] = 1;
        for (unsigned k = 0; k < d; ++k) r[k + 1] = (signs >> k) & 1 ? 1 : -1;
        r[d + 1] = side;
        rows.push_back(r);
    }
    return rows;
}

std::vector<Scene> scenes() {
    std::vector<Scene> all;
    const guint16 full = 65535;
    // Squares of side s (s^2 points each), overlapping by a quarter.
    for (std::int64_t side : {std::int64_t{10000}, std::int64_t{100000}, std::int64_t{1000000}}) {
        Scene s{"2 squares of " + std::to_string(side) + "^2 points, turned axes", 2, {}, 0.3};
        s.domains.push_back({box({0, 0}, {side - 1, side - 1}), full, 0, 0});
        s.domains.push_back({box({side / 2, side / 2}, {side / 2 + side - 1, side / 2 + side - 1}), 0, 0, full});
        all.push_back(s);
    }
    for (int count : {3, 4}) {
        const std::int64_t side = 1000000;
        Scene s{std::to_string(count) + " squares of 10^12 points, default axes", 2, {}, -1};
        const guint16 colours[4][3] = {{full, 0, 0}, {0, full, 0}, {0, 0, full}, {full, full, 0}};
        for (int k = 0; k < count; ++k) {
            const std::int64_t a = k * side / 3, b = (k % 2) * side / 3;
            s.domains.push_back({box({a, b}, {a + side - 1, b + side - 1}), colours[k][0], colours[k][1], colours[k][2]});
        }
        all.push_back(s);
    }
    // 3-D boxes of side s (s^3 points each), overlapping.
    for (auto [count, side] : std::vector<std::pair<int, std::int64_t>>{{2, 100}, {2, 300}, {2, 1000}, {2, 10000}, {4, 10000}}) {
        Scene s{std::to_string(count) + " 3-D boxes of " + std::to_string(side) + "^3 points", 3, {}, -1};
        const guint16 colours[4][3] = {{full, 0, 0}, {0, 0, full}, {0, full, 0}, {full, 0, full}};
        for (int k = 0; k < count; ++k) {
            const std::int64_t a = k * side / 2, b = (k / 2) * side / 3, c = (k % 3) * side / 4;
            s.domains.push_back({box({a, b, c}, {a + side - 1, b + side - 1, c + side - 1}), colours[k][0],
                                 colours[k][1], colours[k][2]});
        }
        all.push_back(s);
    }
    all.push_back({"6-D cube of side 30", 6, {{cube(6, 30), 0, 30000, 50000}}});
    for (unsigned d : {6u, 10u}) {
        const std::string D = std::to_string(d) + "-D ";
        all.push_back({D + "cube of side 1000", d, {{cube(d, 1000), 0, 30000, 50000}}});
        all.push_back({D + "simplex of side 1000", d, {{simplex(d, 1000), 0, 30000, 50000}}});
        all.push_back({D + "hypersimplex slab of side 1000", d, {{hypersimplex_slab(d, 1000), 0, 30000, 50000}}});
        all.push_back({D + "cross-polytope of side 1000", d, {{cross_polytope(d, 1000), 0, 30000, 50000}}});
    }
    // A prism whose slanted face (normal (0, 1, -2)) turns edge-on as the
    // third axis passes (0, 2) * t: the drag turns it through that.
    {
        Scene s{"slanted prism, its face turned edge-on", 3,
                {{{{1, 1, 0, 0, 0}, {1, -1, 0, 0, 80000}, {1, -1, 1, 0, 0}, {1, 1, -1, 0, 50000},
                   {1, 0, 1, -2, 10000}, {1, 0, -1, 2, 40000}},
                  0, 30000, 50000}},
                -1};
        s.axes = {{1.0f, 0.0f}, {0.0f, 1.0f}, {0.3f, 2.0f}};
        s.dragged = 2;
        s.step = 0.02;
        all.push_back(s);
    }
    {
        Scene s{"thin slanted slab", 3,
                {{{{1, 1, 0, 0, 0}, {1, -1, 0, 0, 300000}, {1, 0, 1, 0, 0}, {1, 0, -1, 0, 250000},
                   {1, 3, 5, -7, 0}, {1, -3, -5, 7, 6}},
                  0, 30000, 50000}},
                -1};
        all.push_back(s);
    }
    return all;
}

GtkWidget* window = nullptr;

bool open_canvas() {
    if (!gtk_init_check(nullptr, nullptr)) return false;
    window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    viewer.drawing.domain_canvas = gtk_drawing_area_new();
    gtk_widget_set_size_request(viewer.drawing.domain_canvas, 800, 600);
    gtk_container_add(GTK_CONTAINER(window), viewer.drawing.domain_canvas);
    gtk_widget_show_all(window);
    while (gtk_events_pending()) gtk_main_iteration();
    make_canvas_image(viewer);
    load_visu_resources(viewer);
    return true;
}

void round_trip() { gdk_display_sync(gdk_display_get_default()); }

double cpu_ms() {
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

double wall_ms() {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double peak_rss_mb() {
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void set_axis(int k, double angle, float length) {
    viewer.projection.ProjectionAxes[k][0] = static_cast<float>(std::cos(angle)) * length;
    viewer.projection.ProjectionAxes[k][1] = static_cast<float>(std::sin(angle)) * length;
    update_axes_bounds(viewer);
}

struct Timed {
    double wall, cpu;
};

Timed redraw() {
    const double w = wall_ms(), c = cpu_ms();
    redraw_domains(viewer, viewer.drawing.domain_pixmap);
    round_trip();
    return {wall_ms() - w, cpu_ms() - c};
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Prints the scene's line; runs in the child.
void run_scene(const Scene& scene) {
    const double rss_before = peak_rss_mb();
    DomainLock lock;
    release_store(scene_store);
    viewer.state.registries = &scene_store;
    drop_derived_domains(viewer);
    viewer.state.DimNP = static_cast<int>(scene.dimension);
    reset_axes(viewer);
    if (!scene.axes.empty())
        for (std::size_t k = 0; k < scene.axes.size(); ++k) {
            viewer.projection.ProjectionAxes[k][0] = scene.axes[k].first;
            viewer.projection.ProjectionAxes[k][1] = scene.axes[k].second;
        }
    else if (scene.angle >= 0)
        set_axis(0, scene.angle, 1.0f);
    update_axes_bounds(viewer);
    const double w0 = wall_ms(), c0 = cpu_ms();
    int k = 0;
    for (const Domain& d : scene.domains) {
        GdkColor colour = {0, d.r, d.g, d.b};
        gdk_colormap_alloc_color(gdk_colormap_get_system(), &colour, FALSE, TRUE);
        scene_store.DomainList = new DomainEntry{"D" + std::to_string(k++), nullptr,
                                                 polyhedron_from_rows(scene.dimension, d.rows),
                                                 gdk_color_copy(&colour), nullptr, scene_store.DomainList};
        show_without_context(viewer, scene_store.DomainList);
    }
    redraw_domains(viewer, viewer.drawing.domain_pixmap);
    round_trip();
    const Timed first{wall_ms() - w0, cpu_ms() - c0};
    std::printf("%-48s first %9.1f ms", scene.name.c_str(), first.wall);
    std::fflush(stdout);
    std::vector<double> walls, cpus;
    for (int r = 0; r < 5; ++r) {
        const Timed t = redraw();
        walls.push_back(t.wall);
        cpus.push_back(t.cpu);
    }
    std::printf(" | redraw %8.1f / %8.1f ms", median(walls), median(cpus));
    std::fflush(stdout);
    const float ax = viewer.projection.ProjectionAxes[scene.dragged][0],
                ay = viewer.projection.ProjectionAxes[scene.dragged][1];
    double angle = std::atan2(ay, ax);
    const float length = std::hypot(ax, ay);
    std::vector<double> drag;
    double drag_total = 0;
    for (int r = 0; r < 15; ++r) {
        angle += scene.step;
        set_axis(scene.dragged, angle, length);
        const Timed t = redraw();
        drag.push_back(t.wall);
        drag_total += t.wall;
    }
    std::printf(" | drag %8.1f ms, worst %8.1f, %6.1f/s | peak %6.0f MB\n", median(drag),
                *std::max_element(drag.begin(), drag.end()), 1000.0 * 15 / drag_total, peak_rss_mb() - rss_before);
    std::fflush(stdout);
}

long child_peak_kb(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    const double limit = argc > 1 ? std::atof(argv[1]) : 20.0;
    const std::string only = argc > 2 ? argv[2] : "";
    for (const Scene& scene : scenes()) {
        if (!only.empty() && scene.name.find(only) == std::string::npos) continue;
        std::fflush(stdout);
        const pid_t pid = fork();
        if (pid == 0) {
            if (!open_canvas()) {
                std::fputs("frontier_bench needs an X display\n", stderr);
                _exit(1);
            }
            run_scene(scene);
            _exit(0);
        }
        const double start = wall_ms();
        int status = 0;
        long peak = 0;
        while (waitpid(pid, &status, WNOHANG) == 0) {
            peak = std::max(peak, child_peak_kb(pid));
            if (wall_ms() - start > limit * 1000) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                std::printf("   ... %s: stopped after %.0f s (peak %ld MB)\n", scene.name.c_str(), limit, peak / 1024);
                break;
            }
            usleep(20000);
        }
    }
    return 0;
}
