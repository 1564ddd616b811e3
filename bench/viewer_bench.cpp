// The viewer as a user meets it, with the GUI thread running its loop as in
// the calculator: the time from a Status click to the picture on the screen
// for a 30,000-point scene, and the redraw rate while an axis end is dragged
// with pointer motion arriving 100 times a second. Needs an X display.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <gtk/gtk.h>
#include <thread>
#include <unistd.h>

#include "base/locks.h"
#include "gui/domains_window.h"
#include "gui/projection_window.h"
#include "gui/resources.h"
#include "gui/visu_window.h"
#include "interpreter/entry.h"
#include "interpreter/parser.h"
#include "interpreter/session.h"
#include "store/registry.h"
#include "view/projection.h"

// After PolyLib's headers: Xlib defines True, False and Bool as macros.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace {

using Clock = std::chrono::steady_clock;

// Three overlapping triangles of about 10,000 points each.
const char* const scene =
    "K := { | } ;\n"
    "A := { i, j | 0 <= j <= i <= 140 } ;\n"
    "B := { i, j | 20 <= j, j - 20 <= i - 40, i <= 180 } ;\n"
    "C := { i, j | 40 <= i <= 180, 0 <= j <= 180 - i } ;\n"
    "initvisu (2, K) ;\n";

// The calculator whose viewer is measured.
Session& bench_session() {
    static Session session(stdout);
    return session;
}

void run_script_quietly(const char* script) {
    std::fflush(stdout);
    int saved = dup(1);
    FILE* null = std::fopen("/dev/null", "w");
    dup2(fileno(null), 1);
    std::string text = script;
    FILE* input = fmemopen(text.data(), text.size(), "r");
    scanner_reset(bench_session(), input);
    parse_statements(bench_session());
    std::fclose(input);
    std::fflush(stdout);
    dup2(saved, 1);
    close(saved);
    std::fclose(null);
}

int row_of(const char* name) {
    DomainLock lock;
    return gtk_clist_find_row_from_data(GTK_CLIST(bench_session().viewer_windows.domain_clist),
                                        lookup_domain(name, bench_session().registries.DomainList));
}

void wait_for_gui(std::chrono::milliseconds pause = std::chrono::milliseconds(300)) {
    std::this_thread::sleep_for(pause);
}

void picture_on_screen() {
    gdk_window_process_updates(bench_session().viewer.drawing.domain_canvas->window, TRUE);
    gdk_display_sync(gdk_display_get_default());
}

void BM_StatusClickToPicture(benchmark::State& state) {
    int row = row_of("C");
    for (auto _ : state) {
        GdkLock gdk;
        auto start = Clock::now();
        toggle_domain_row(bench_session().viewer_windows, row, 1);
        picture_on_screen();
        auto end = Clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        toggle_domain_row(bench_session().viewer_windows, row, 1);
        picture_on_screen();
    }
}
BENCHMARK(BM_StatusClickToPicture)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(40);

std::atomic<bool> dragging{false};
std::atomic<long> drag_redraws{0};
std::atomic<long long> last_redraw_ns{0};

gboolean count_drag_redraw(GtkWidget*, GdkEventMotion*, gpointer) {
    if (dragging) {
        ++drag_redraws;
        last_redraw_ns = std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
    }
    return FALSE;
}

struct Point {
    int x, y;
};

// The screen position of the end of the first axis in the Projection window.
Point first_axis_end() {
    GdkLock gdk;
    gint ox, oy;
    gdk_window_get_origin(bench_session().viewer_windows.rep_canvas->window, &ox, &oy);
    float xmin = bench_session().viewer.projection.axes_bounds[2],
          xmax = bench_session().viewer.projection.axes_bounds[0],
          ymin = bench_session().viewer.projection.axes_bounds[3],
          ymax = bench_session().viewer.projection.axes_bounds[1];
    float w = static_cast<float>(bench_session().viewer_windows.axes_width),
          h = static_cast<float>(bench_session().viewer_windows.axes_height);
    int ex =
        static_cast<int>(w * ((bench_session().viewer.projection.ProjectionAxes[0][0] - xmin) / (xmax - xmin)) + 20);
    int ey = static_cast<int>((h + 20) -
                              h * ((bench_session().viewer.projection.ProjectionAxes[0][1] - ymin) / (ymax - ymin)));
    return {ox + ex, oy + ey};
}

// state.range(0): pointer motions sent per second while button 1 is held.
void BM_AxisDrag(benchmark::State& state) {
    Display* pointer = XOpenDisplay(nullptr);
    const double seconds = 3.0;
    const auto period = std::chrono::microseconds(1000000 / state.range(0));
    long events = 0, redraws = 0;
    double drain_ms = 0, axis_moved = 0;
    for (auto _ : state) {
        Point end = first_axis_end();
        XTestFakeMotionEvent(pointer, -1, end.x, end.y, CurrentTime);
        XTestFakeButtonEvent(pointer, 1, True, CurrentTime);
        XFlush(pointer);
        wait_for_gui(std::chrono::milliseconds(100));
        drag_redraws = 0;
        dragging = true;
        auto start = Clock::now();
        auto next = start;
        events = 0;
        long long last_event_ns = 0;
        while (Clock::now() - start < std::chrono::duration<double>(seconds)) {
            double angle = static_cast<double>(events) * 0.05;
            int dx = static_cast<int>(30 * std::cos(angle)) - 30, dy = static_cast<int>(30 * std::sin(angle));
            XTestFakeMotionEvent(pointer, -1, end.x + dx, end.y + dy, CurrentTime);
            XFlush(pointer);
            last_event_ns = std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
            ++events;
            next += period;
            std::this_thread::sleep_until(next);
        }
        wait_for_gui(std::chrono::milliseconds(500));
        dragging = false;
        redraws = drag_redraws;
        drain_ms = static_cast<double>(last_redraw_ns - last_event_ns) / 1e6;
        XTestFakeButtonEvent(pointer, 1, False, CurrentTime);
        XFlush(pointer);
        wait_for_gui();
        {
            GdkLock gdk;
            axis_moved = bench_session().viewer.projection.ProjectionAxes[0][0] != 1.0f ||
                         bench_session().viewer.projection.ProjectionAxes[0][1] != 0.0f;
            reset_axes(bench_session().viewer);
        }
    }
    XCloseDisplay(pointer);
    state.counters["motion_events_per_s"] = static_cast<double>(events) / seconds;
    state.counters["redraws_per_s"] = static_cast<double>(redraws) / seconds;
    state.counters["last_redraw_after_last_event_ms"] = drain_ms;
    state.counters["axis_moved"] = axis_moved;
}
BENCHMARK(BM_AxisDrag)->Arg(100)->Arg(1000)->Unit(benchmark::kSecond)->Iterations(1)->Repetitions(3);

void prepare_viewer() {
    run_script_quietly(scene);
    wait_for_gui();
    for (const char* name : {"A", "B"}) {
        GdkLock gdk;
        toggle_domain_row(bench_session().viewer_windows, row_of(name), 1);
    }
    GdkLock gdk;
    toggle_projection_window(&bench_session().viewer_windows);
    g_signal_connect_after(bench_session().viewer_windows.rep_canvas, "motion_notify_event",
                           G_CALLBACK(count_drag_redraw), nullptr);
    gtk_window_move(GTK_WINDOW(bench_session().viewer_windows.rep_frame), 40, 40);
    gtk_window_move(GTK_WINDOW(bench_session().viewer_windows.domain_frame), 400, 40);
    gtk_window_resize(GTK_WINDOW(bench_session().viewer_windows.domain_frame), 900, 700);
}

}  // namespace

int main(int argc, char** argv) {
    gdk_threads_init();
    if (!gtk_init_check(&argc, &argv)) {
        std::fprintf(stderr, "viewer_bench needs an X display (run it under Xvfb)\n");
        return 1;
    }
    GThread* gui = g_thread_new("gui", gui_thread_main, nullptr);
    prepare_viewer();
    wait_for_gui(std::chrono::milliseconds(800));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    {
        GdkLock gdk;
        gtk_main_quit();
    }
    g_thread_join(gui);
    return 0;
}
