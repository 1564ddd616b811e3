// Full redraws of the domain picture on an 800 x 600 canvas, each followed by
// a round trip to the X server, against the literal way of drawing points (a
// new colour and drawing context per point); picking on 100,000 points; and
// the X resources the process holds over 1,000 redraws.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <sys/resource.h>
#include <gtk/gtk.h>
#include <string>
#include <vector>

#include "base/locks.h"
#include "gui/resources.h"
#include "store/registry.h"
#include "view/context.h"
#include "view/picking.h"
#include "view/point_scanner.h"
#include "view/projection.h"
#include "view/visutypes.h"
#include "bench/scene_rows.h"
#include "view/rendering.h"

// Xlib's True, False and Bool macros must come after PolyLib's enum of those names.
#include <gdk/gdkx.h>
#ifdef QARNEST_HAVE_XRES
#include <X11/extensions/XRes.h>
#endif

namespace {

// The viewer the scenes are drawn with.
Viewer viewer;

// The store the scenes are shown from.
Registries scene_store;


void show(const std::string& name, unsigned dimension, const Rows& rows, guint16 r, guint16 g, guint16 b) {
    GdkColor colour = {0, r, g, b};
    gdk_colormap_alloc_color(gdk_colormap_get_system(), &colour, FALSE, TRUE);
    scene_store.DomainList = new DomainEntry{name, nullptr, polyhedron_from_rows(dimension, rows), gdk_color_copy(&colour),
                                 nullptr, scene_store.DomainList};
    show_without_context(viewer, scene_store.DomainList);
}

void clear_scene() {
    release_store(scene_store);
    viewer.state.registries = &scene_store;
    drop_derived_domains(viewer);
}

// Scene 0: three overlapping triangles, 30,033 points in all; 1: a 20^3 box
// at DimNP = 3; 2: one triangle of 100,128 points.
void build_scene(int which) {
    clear_scene();
    switch (which) {
    case 0:
        viewer.state.DimNP = 2;
        show("T1", 2, triangle(0, 0, 140), 65535, 0, 0);
        show("T2", 2, triangle(40, 0, 140), 0, 65535, 0);
        show("T3", 2, triangle(30, 20, 140), 0, 0, 65535);
        break;
    case 1:
        viewer.state.DimNP = 3;
        show("B", 3,
             {{1, 1, 0, 0, 0}, {1, -1, 0, 0, 19}, {1, 0, 1, 0, 0}, {1, 0, -1, 0, 19}, {1, 0, 0, 1, 0},
              {1, 0, 0, -1, 19}},
             0, 0, 65535);
        break;
    case 2:
        viewer.state.DimNP = 2;
        show("T", 2, triangle(0, 0, 446), 0, 40000, 0);
        break;
    }
    reset_axes(viewer);
}
const char* scene_names[] = {"three_triangles_30k", "box_20^3_dim3", "triangle_100k"};

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

std::int64_t points_of_scene() {
    std::int64_t total = 0;
    std::int64_t x[MAXDIM];
    for (DomainEntry* e = scene_store.DomainList; e; e = e->next)
        for (Polyhedron* p = e->view->domain; p; p = p->next) {
            Polyhedron* next = p->next;
            p->next = nullptr;
            scan_points(p, x, [](const std::int64_t*, void* n) { return ++*static_cast<std::int64_t*>(n) > 0 ? 1 : 0; },
                        &total);
            p->next = next;
        }
    return total;
}

void BM_redraw(benchmark::State& state) {
    DomainLock lock;
    build_scene(static_cast<int>(state.range(0)));
    const std::int64_t points = points_of_scene();
    for (auto _ : state) {
        redraw_domains(viewer, viewer.drawing.domain_pixmap);
        round_trip();
    }
    state.counters["points"] = static_cast<double>(points);
    state.counters["ns_per_point"] =
        benchmark::Counter(static_cast<double>(points), benchmark::Counter::kIsIterationInvariantRate |
                                                            benchmark::Counter::kInvert);
    state.SetLabel(scene_names[state.range(0)]);
    release_point_gcs(viewer);
}

// Large shown domains, whose cost must follow the pixels and the edges, not
// the points: 0, the 10-D unit cube (1,024 vertices, 5,120 edges); 1, a 2-D
// box 10^6 x 10^6; 2, a 3-D box 10^4 x 10^4 x 10^4 (both 10^12 points).
Rows box_rows(const std::vector<std::int64_t>& sides) {
    const std::size_t d = sides.size();
    Rows rows;
    for (std::size_t k = 0; k < d; ++k) {
        std::vector<std::int64_t> low(d + 2, 0), high(d + 2, 0);
        low[0] = high[0] = 1;
        low[k + 1] = 1;
        high[k + 1] = -1;
        high[d + 1] = sides[k] - 1;
        rows.push_back(low);
        rows.push_back(high);
    }
    return rows;
}

const std::vector<std::int64_t> large_scenes[] = {
    std::vector<std::int64_t>(10, 2), {1000000, 1000000}, {10000, 10000, 10000}};
const char* large_names[] = {"cube_10d", "box_2d_10^12", "box_3d_10^12"};

void build_large(int which) {
    clear_scene();
    const std::vector<std::int64_t>& sides = large_scenes[which];
    viewer.state.DimNP = static_cast<int>(sides.size());
    reset_axes(viewer);
    show("L", static_cast<unsigned>(sides.size()), box_rows(sides), 0, 30000, 50000);
}

double peak_rss_mb() {
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// The first redraw finds the outline's edges; later ones replay them.
void BM_redraw_large(benchmark::State& state) {
    DomainLock lock;
    const double rss_before = peak_rss_mb();
    const auto start = std::chrono::steady_clock::now();
    build_large(static_cast<int>(state.range(0)));
    redraw_domains(viewer, viewer.drawing.domain_pixmap);
    round_trip();
    const double first = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    for (auto _ : state) {
        redraw_domains(viewer, viewer.drawing.domain_pixmap);
        round_trip();
    }
    state.counters["first_show_ms"] = first;
    state.counters["peak_rss_growth_MB"] = peak_rss_mb() - rss_before;
    state.SetLabel(large_names[state.range(0)]);
    release_point_gcs(viewer);
}

// An axis drag: every redraw follows a small turn of the first axis, so no
// axis keeps a zero component.
void BM_drag_large(benchmark::State& state) {
    DomainLock lock;
    build_large(static_cast<int>(state.range(0)));
    redraw_domains(viewer, viewer.drawing.domain_pixmap);
    double angle = 0.3;
    for (auto _ : state) {
        angle += 0.01;
        viewer.projection.ProjectionAxes[0][0] = static_cast<float>(std::cos(angle));
        viewer.projection.ProjectionAxes[0][1] = static_cast<float>(std::sin(angle));
        update_axes_bounds(viewer);
        redraw_domains(viewer, viewer.drawing.domain_pixmap);
        round_trip();
    }
    state.SetLabel(large_names[state.range(0)]);
    reset_axes(viewer);
    release_point_gcs(viewer);
}

// Redraw time against the number of drawn points: 2-D boxes of 10^3 to
// 10^12 points on the 800 x 600 canvas.
void BM_redraw_points(benchmark::State& state) {
    DomainLock lock;
    const int exponent = static_cast<int>(state.range(0));
    std::int64_t across = 1, down = 1;
    for (int k = 0; k < exponent; ++k) (k % 2 == 0 ? down : across) *= 10;
    clear_scene();
    viewer.state.DimNP = 2;
    reset_axes(viewer);
    show("B", 2, box_rows({across, down}), 0, 30000, 50000);
    for (auto _ : state) {
        redraw_domains(viewer, viewer.drawing.domain_pixmap);
        round_trip();
    }
    state.counters["points"] = static_cast<double>(across) * static_cast<double>(down);
    release_point_gcs(viewer);
}

// The literal per-point step: allocate the blended colour, make a new GC for
// it, draw the marker with it. The literal way never frees these; here each
// GC is freed after its marker so that the X server survives the benchmark.
int literal_point(const std::int64_t* point, void* data) {
    auto* entry = static_cast<DomainEntry*>(data);
    GdkColor colour = blended_colour(viewer, entry, point);
    const PlanePoint p = project_point(viewer, point, viewer.state.DimNP);
    gdk_colormap_alloc_color(gdk_colormap_get_system(), &colour, FALSE, TRUE);
    GdkGC* gc = gdk_gc_new(viewer.drawing.domain_pixmap);
    gdk_gc_set_foreground(gc, &colour);
    draw_marker(viewer, viewer.drawing.domain_pixmap, gc, p.x, p.y);
    g_object_unref(gc);
    return 1;
}

void literal_redraw() {
    gdk_draw_rectangle(viewer.drawing.domain_pixmap, viewer.drawing.white_gc, TRUE, 0, 0,
                       viewer.projection.canvas_width, viewer.projection.canvas_height);
    update_view_bounds(viewer);
    std::int64_t x[MAXDIM];
    for (DomainEntry* e = scene_store.DomainList; e; e = e->next) {
        gdk_gc_set_foreground(viewer.drawing.domain_gc, e->color);
        draw_domain_outline(viewer, viewer.drawing.domain_pixmap, e->view->domain);
        Polyhedron* visible = DomainIntersection(e->view->domain, viewer.state.view_hull, 1000);
        for (Polyhedron* p = visible; p; p = p->next) {
            Polyhedron* next = p->next;
            p->next = nullptr;
            scan_points(p, x, literal_point, e);
            p->next = next;
        }
        Domain_Free(visible);
    }
    GdkRectangle area = {0, 0, viewer.projection.canvas_width, viewer.projection.canvas_height};
    gtk_widget_draw(viewer.drawing.domain_canvas, &area);
    gtk_widget_queue_draw_area(viewer.drawing.domain_canvas, 0, 0, viewer.projection.canvas_width,
                               viewer.projection.canvas_height);
}

void BM_redraw_literal(benchmark::State& state) {
    DomainLock lock;
    build_scene(static_cast<int>(state.range(0)));
    const std::int64_t points = points_of_scene();
    for (auto _ : state) {
        literal_redraw();
        round_trip();
    }
    state.counters["points"] = static_cast<double>(points);
    state.counters["ns_per_point"] =
        benchmark::Counter(static_cast<double>(points), benchmark::Counter::kIsIterationInvariantRate |
                                                            benchmark::Counter::kInvert);
    state.SetLabel(scene_names[state.range(0)]);
}

// The search alone: the union of shown points rebuilt and scanned.
void BM_pick_search(benchmark::State& state) {
    DomainLock lock;
    build_scene(2);
    redraw_domains(viewer, viewer.drawing.domain_pixmap);
    round_trip();
    const PlanePoint click = from_canvas(viewer, 400, 300);
    for (auto _ : state) {
        update_points_union(viewer);
        find_nearest_point(viewer, click.x, click.y);
        benchmark::DoNotOptimize(viewer.state.pick_best);
    }
    state.SetLabel("triangle_100k");
}

// pick_point as the canvas handler calls it: search, toggle, redraw, round trip.
void BM_pick_point(benchmark::State& state) {
    {
        DomainLock lock;
        build_scene(2);
        redraw_domains(viewer, viewer.drawing.domain_pixmap);
        round_trip();
    }
    for (auto _ : state) {
        pick_point(viewer, 400, 300);
        round_trip();
    }
    state.SetLabel("triangle_100k, redraw included");
    DomainLock lock;
    release_point_gcs(viewer);
}

#ifdef QARNEST_HAVE_XRES
int x_resources_held() {
    Display* display = GDK_DISPLAY_XDISPLAY(gdk_display_get_default());
    int types = 0;
    XResType* counts = nullptr;
    if (!XResQueryClientResources(display, GDK_WINDOW_XID(viewer.drawing.domain_canvas->window), &types, &counts))
        return -1;
    int total = 0;
    for (int i = 0; i < types; ++i) total += counts[i].count;
    XFree(counts);
    return total;
}
#else
int x_resources_held() { return -1; }
#endif

// 1,000 redraws of the blend scene: the X resources of this client (X-Resource
// extension) and the point contexts we hold, before and after.
void report_resources_over_redraws() {
    DomainLock lock;
    build_scene(0);
    redraw_domains(viewer, viewer.drawing.domain_pixmap);
    round_trip();
    const int held_before = x_resources_held();
    const int contexts_before = point_gcs_held(viewer);
    int held_max = held_before;
    for (int k = 0; k < 1000; ++k) {
        viewer.projection.ProjectionAxes[1][0] = static_cast<float>(k % 50) * 0.02f;
        redraw_domains(viewer, viewer.drawing.domain_pixmap);
        round_trip();
        if (k % 100 == 99) {
            const int held = x_resources_held();
            held_max = held > held_max ? held : held_max;
        }
    }
    reset_axes(viewer);
    std::printf(
        "X resources of the client over 1000 redraws: before %d, after %d, max %d; "
        "point GCs held before %d, after %d (capacity %d)\n",
        held_before, x_resources_held(), held_max, contexts_before, point_gcs_held(viewer), point_gc_capacity);
}

}  // namespace

BENCHMARK(BM_redraw)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_redraw_literal)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_redraw_large)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_drag_large)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_redraw_points)->DenseRange(3, 12)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_pick_search)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_pick_point)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
    if (!open_canvas()) {
        std::fputs("rendering_bench needs an X display\n", stderr);
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    report_resources_over_redraws();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    DomainLock lock;
    clear_scene();
    return 0;
}
