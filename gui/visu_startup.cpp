// Viewer start-up, restart and refresh: the dimension and context checks,
// the context copy, the rebuilt Projection and Context windows, and the rows
// that follow new definitions.
#include "gui/visu_startup.h"

#include <cstdio>

#include "base/locks.h"
#include "gui/context_window.h"
#include "gui/domains_window.h"
#include "gui/projection_window.h"
#include "gui/resources.h"
#include "gui/visu_window.h"
#include "store/registry.h"
#include "view/context.h"
#include "view/point_scanner.h"
#include "view/projection.h"
#include "view/rendering.h"
#include "view/visutypes.h"


namespace {

bool dimension_accepted(long dimension) {
    if (dimension <= 0) {
        std::puts("Bad initialisation of 'init_visu': DimNP <= 0 ");
        return false;
    }
    if (dimension > MAXDIM) {
        std::puts("Bad initialisation of 'init_visu': DimNP > MAXDIM ");
        std::printf("Now MAXDIM = %d. ", MAXDIM);
        std::printf("Draw the image of the domain by a matrix that keeps at most %d of its dimensions.\n", MAXDIM);
        return false;
    }
    return true;
}

// Takes a copy of the named context domain; false when it is not defined.
bool adopt_context(ViewerWindows& viewer_windows, const std::string& name) {
    Viewer& viewer = viewer_windows.viewer;
    DomainLock lock;
    const DomainEntry* entry = lookup_domain(name, viewer.state.registries->DomainList);
    if (!entry) return false;
    release_domain(viewer.context.Contexte);
    viewer.context.Contexte = Domain_Copy(entry->domain);
    viewer.context.context_name = name;
    viewer.context.nb_params =
        emptyQ(viewer.context.Contexte) ? 0 : static_cast<int>(viewer.context.Contexte->Dimension);
    return true;
}

// The parameters start at 0, set, as the Context window's entries show them;
// the context tells at once whether the domains can be drawn for them.
void start_parameters(ViewerWindows& viewer_windows) {
    Viewer& viewer = viewer_windows.viewer;
    if (viewer.context.nb_params == 0) return;
    DomainLock lock;
    viewer.context.param_set.assign(viewer.context.nb_params, 1);
    viewer.context.param_values.assign(viewer.context.nb_params, 0);
    viewer.context.context_valid = point_in_domain(viewer.context.Contexte, viewer.context.param_values.data()) ? 1 : 0;
}

void destroy_window(GtkWidget*& handle) {
    if (!handle) return;
    GtkWidget* window = handle;
    handle = nullptr;
    gtk_widget_destroy(window);
}

void rebuild_auxiliary_windows(ViewerWindows& viewer_windows) {
    Viewer& viewer = viewer_windows.viewer;
    destroy_window(viewer_windows.rep_frame);
    viewer_windows.rep_frame = create_projection_window(viewer_windows);
    reset_axes(viewer);
    destroy_window(viewer_windows.context_window);
    if (viewer.context.nb_params > 0) viewer_windows.context_window = create_context_window(viewer_windows);
}

// Expects domain_lock held: masks every shown domain and brings the rows in
// line with the new dimension and context.
void refresh_rows(ViewerWindows& viewer_windows) {
    Viewer& viewer = viewer_windows.viewer;
    gtk_clist_freeze(GTK_CLIST(viewer_windows.domain_clist));
    for (DomainEntry* e = viewer.state.registries->DomainList; e; e = e->next) {
        int row = gtk_clist_find_row_from_data(GTK_CLIST(viewer_windows.domain_clist), e);
        if (row < 0) {
            prepend_domain_row(viewer_windows, e);
            continue;
        }
        if (e->view) mask_domain_row(viewer_windows, row);
        if (!domain_fits_viewer(viewer, e)) remove_domain_row(viewer_windows, e);
    }
    gtk_clist_thaw(GTK_CLIST(viewer_windows.domain_clist));
}

// The list draws a new row at once, but from this thread: the GUI thread
// sleeps in the toolkit loop until an X event comes, so nothing would send
// Xlib's buffered requests to the server before the pointer moves.
void send_drawing_now() { gdk_display_flush(gdk_display_get_default()); }

void restart_viewer(ViewerWindows& viewer_windows) {
    Viewer& viewer = viewer_windows.viewer;
    close_colour_dialog(viewer_windows);
    {
        DomainLock lock;
        refresh_rows(viewer_windows);
        redraw_domains(viewer, viewer.drawing.domain_pixmap);
    }
    gtk_widget_show_all(viewer_windows.domain_frame);
}

// The viewer shows one store at a time; the Domains window follows its deletions.
void show_store(ViewerWindows& viewer_windows, Registries& shown) {
    Viewer& viewer = viewer_windows.viewer;
    if (viewer.state.registries == &shown) return;
    DomainLock lock;
    if (viewer.state.registries) viewer.state.registries->watcher = nullptr;
    viewer.state.registries = &shown;
    if (viewer_windows.domain_frame) shown.watcher = &viewer_windows.row_removal;
}

void first_start(ViewerWindows& viewer_windows) {
    create_domains_window(viewer_windows);
    create_visu_window(viewer_windows);
    gtk_widget_show_all(viewer_windows.domain_frame);
}

}  // namespace

void init_visu(ViewerWindows& viewer_windows, Registries& shown, long dimension, const std::string& context) {
    Viewer& viewer = viewer_windows.viewer;
    if (!dimension_accepted(dimension)) return;
    show_store(viewer_windows, shown);
    if (!adopt_context(viewer_windows, context)) {
        std::puts("The domain selected as context is not defined!");
        return;
    }
    viewer.state.DimNP = static_cast<int>(dimension);
    start_parameters(viewer_windows);
    rebuild_auxiliary_windows(viewer_windows);
    bool starting = viewer_windows.domain_frame == nullptr;
    if (starting)
        first_start(viewer_windows);
    else
        restart_viewer(viewer_windows);
    if (viewer.context.nb_params == 0) gtk_widget_hide(viewer_windows.context_button);
    if (starting) load_visu_resources(viewer);
}

void refresh_visu(ViewerWindows& viewer_windows, Registries& store) {
    Viewer& viewer = viewer_windows.viewer;
    if (viewer.state.registries != &store) return;
    if (viewer_windows.domain_frame && viewer.state.registries->DomainList) {
        if (gtk_clist_find_row_from_data(GTK_CLIST(viewer_windows.domain_clist), viewer.state.registries->DomainList) <
            0) {
            append_domain_row(viewer_windows, viewer.state.registries->DomainList);
            send_drawing_now();
        }
        if (viewer.state.registries->DomainList->name == viewer.context.context_name)
            viewer_windows.context_redefined = 1;
    }
    if (viewer_windows.context_redefined) {
        DomainUnlock unlock;
        init_visu(viewer_windows, store, viewer.state.DimNP, viewer_windows.requested_context_name);
    }
}
