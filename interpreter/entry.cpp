// Start-up, the GUI thread and the shutdown sequence.
#include "interpreter/entry.h"

#include <atomic>
#include <cstdio>
#include <gtk/gtk.h>

#include "base/locks.h"
#include "gui/visu_window.h"
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

    if (gui_thread) {
        shut_down_gui(end_code);
        std::fflush(stdout);
        g_thread_join(gui_thread);
    }
    return 0;
}
