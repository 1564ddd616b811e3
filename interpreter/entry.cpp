// Start-up, the GUI thread and the shutdown sequence.
#include "interpreter/entry.h"

#include <atomic>
#include <cstdio>
#include <gtk/gtk.h>

#include "base/locks.h"
#include "gui/visu_window.h"
#include "interpreter/figure_mode.h"
#include "interpreter/parser.h"

namespace {

// Set once the GUI loop has returned: after the Quit button, a restart shows
// the windows again, but no event reaches them and nobody can close them.
std::atomic<bool> gui_loop_ended{false};

// The loop may not be running yet when the interpreter ends (empty input), so
// the stop request waits in the loop's own queue instead of being lost.
gboolean stop_gui_loop(gpointer) {
    gtk_main_quit();
    return FALSE;
}

void shut_down_gui(int end_code) {
    GdkLock gdk;
    if (end_code == -1 || !domain_frame) {
        gdk_threads_add_idle_full(G_PRIORITY_HIGH, stop_gui_loop, nullptr, nullptr);
    } else if (gtk_widget_get_visible(domain_frame) && !gui_loop_ended) {
        std::puts("Waiting for user to leave graphical interface.");
    }
}

}  // namespace

gpointer gui_thread_main(gpointer) {
    gdk_threads_enter();
    gtk_main();
    gui_loop_ended = true;
    gdk_threads_leave();
    return nullptr;
}

int qarnest_main(int argc, char** argv) {
    std::optional<FigureRequest> figure;
    PrivateDisplay private_display;
    std::string refusal = take_figure_options(argc, argv, figure);
    if (refusal.empty() && figure) refusal = private_display.ensure();
    if (refusal.empty() && figure) refusal = open_figure_script(*figure);
    if (!refusal.empty()) {
        std::fprintf(stderr, "qarnest: %s\n", refusal.c_str());
        return 2;
    }
    install_gdk_lock();
    gdk_threads_init();
    gtk_init(&argc, &argv);

    GError* error = nullptr;
    GThread* gui_thread = g_thread_try_new("gui", gui_thread_main, nullptr, &error);
    if (!gui_thread) {
        std::fprintf(stderr, "Can't start the graphical interface: %s\n", error->message);
        g_error_free(error);
    }

    std::fputs("<1> ", stdout);
    int end_code = parse_statements();
    std::puts("End.");
    const int status = figure ? write_requested_figure(*figure) : 0;

    if (gui_thread) {
        // A figure run waits for no user: the loop ends as after end of input.
        shut_down_gui(figure ? -1 : end_code);
        std::fflush(stdout);
        g_thread_join(gui_thread);
    }
    return status;
}
