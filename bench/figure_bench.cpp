// Figure export of the two large scenes (three blended triangles of 30,033
// points; one square of 1,002,001 points) in each format at the default
// canvas size: the time of export_shown_picture, file written included, and
// the file's size. Needs an X display (run it under Xvfb).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <gtk/gtk.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "gui/figure_export.h"
#include "gui/resources.h"
#include "base/locks.h"
#include "store/registry.h"
#include "view/context.h"
#include "view/projection.h"
#include "view/visutypes.h"
#include "bench/scene_rows.h"

namespace {

// The viewer the scenes are drawn with.
Viewer viewer;

// The store the scenes are shown from.
Registries scene_store;


void show(const std::string& name, const Rows& rows, guint16 r, guint16 g, guint16 b) {
    GdkColor colour = {0, r, g, b};
    scene_store.DomainList =
        new DomainEntry{name, nullptr, polyhedron_from_rows(2, rows), gdk_color_copy(&colour), nullptr, scene_store.DomainList};
    show_without_context(viewer, scene_store.DomainList);
}

void clear_scene() {
    release_store(scene_store);
    viewer.state.registries = &scene_store;
    drop_derived_domains(viewer);
}

void build_scene(int which) {
    DomainLock lock;
    clear_scene();
    viewer.state.DimNP = 2;
    if (which == 0) {
        show("T1", triangle(0, 0, 140), 65535, 0, 0);
        show("T2", triangle(40, 0, 140), 0, 65535, 0);
        show("T3", triangle(30, 20, 140), 0, 0, 65535);
    } else {
        show("Square", {{1, 1, 0, 0}, {1, -1, 0, 1000}, {1, 0, 1, 0}, {1, 0, -1, 1000}}, 0, 40000, 0);
    }
    reset_axes(viewer);
}

const char* const scene_names[] = {"three_triangles_30k", "square_1M"};
const char* const files[] = {"figure.svg", "figure.pdf", "figure.png", "figure.tex"};

bool toolkit_ready() {
    static const bool ready = [] {
        if (!gtk_init_check(nullptr, nullptr)) return false;
        GdkPixmap* root = gdk_pixmap_new(gdk_get_default_root_window(), 1, 1, -1);
        viewer.drawing.domain_gc = gdk_gc_new(root);
        g_object_unref(root);
        load_visu_resources(viewer);
        return true;
    }();
    return ready;
}

void BM_export(benchmark::State& state) {
    if (!toolkit_ready()) {
        state.SkipWithError("no X display");
        return;
    }
    build_scene(static_cast<int>(state.range(0)));
    const std::string path = std::string("/tmp/qarnest-bench-") + files[state.range(1)];
    GdkLock gdk;
    for (auto _ : state) {
        const std::string failure = export_shown_picture(viewer, path, default_figure_width, default_figure_height);
        if (!failure.empty()) state.SkipWithError(failure.c_str());
    }
    struct stat status {};
    stat(path.c_str(), &status);
    state.counters["bytes"] = static_cast<double>(status.st_size);
    state.SetLabel(std::string(scene_names[state.range(0)]) + " " + files[state.range(1)]);
    if (!std::getenv("QARNEST_KEEP_FIGURES")) unlink(path.c_str());
}
BENCHMARK(BM_export)->ArgsProduct({{0, 1}, {0, 1, 2, 3}})->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
