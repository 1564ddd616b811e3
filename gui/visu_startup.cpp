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
bool adopt_context(const std::string& name) {
    DomainLock lock;
    const DomainEntry* entry = lookup_domain(name, shown_domains());
    if (!entry) return false;
    release_domain(Contexte);
    Contexte = Domain_Copy(entry->domain);
    context_name = name;
    nb_params = emptyQ(Contexte) ? 0 : static_cast<int>(Contexte->Dimension);
    return true;
}

// The parameters start at 0, set, as the Context window's entries show them;
// the context tells at once whether the domains can be drawn for them.
void start_parameters() {
    if (nb_params == 0) return;
    DomainLock lock;
    param_set.assign(nb_params, 1);
    param_values.assign(nb_params, 0);
    context_valid = point_in_domain(Contexte, param_values.data()) ? 1 : 0;
}

void destroy_window(GtkWidget*& handle) {
    if (!handle) return;
    GtkWidget* window = handle;
    handle = nullptr;
    gtk_widget_destroy(window);
}

void rebuild_auxiliary_windows() {
    destroy_window(rep_frame);
    rep_frame = create_projection_window();
    reset_axes();
    destroy_window(context_window);
    if (nb_params > 0) context_window = create_context_window();
}

// Expects domain_lock held: masks every shown domain and brings the rows in
// line with the new dimension and context.
void refresh_rows() {
    gtk_clist_freeze(GTK_CLIST(domain_clist));
    for (DomainEntry* e = shown_domains(); e; e = e->next) {
        int row = gtk_clist_find_row_from_data(GTK_CLIST(domain_clist), e);
        if (row < 0) {
            prepend_domain_row(e);
            continue;
        }
        if (e->view) mask_domain_row(row);
        if (!domain_fits_viewer(e)) remove_domain_row(e);
    }
    gtk_clist_thaw(GTK_CLIST(domain_clist));
}

// The list draws a new row at once, but from this thread: the GUI thread
// sleeps in the toolkit loop until an X event comes, so nothing would send
// Xlib's buffered requests to the server before the pointer moves.
void send_drawing_now() { gdk_display_flush(gdk_display_get_default()); }

void restart_viewer() {
    close_colour_dialog();
    {
        DomainLock lock;
        refresh_rows();
        redraw_domains(domain_pixmap);
    }
    gtk_widget_show_all(domain_frame);
}

// The viewer shows one store at a time; the Domains window follows its deletions.
void show_store(Registries& shown) {
    if (viewer_state.registries == &shown) return;
    DomainLock lock;
    if (viewer_state.registries) viewer_state.registries->watcher = nullptr;
    viewer_state.registries = &shown;
    if (domain_frame) shown.watcher = domains_window_watcher();
}

void first_start() {
    create_domains_window();
    create_visu_window();
    gtk_widget_show_all(domain_frame);
}

}  // namespace

void init_visu(Registries& shown, long dimension, const std::string& context) {
    if (!dimension_accepted(dimension)) return;
    show_store(shown);
    if (!adopt_context(context)) {
        std::puts("The domain selected as context is not defined!");
        return;
    }
    DimNP = static_cast<int>(dimension);
    start_parameters();
    rebuild_auxiliary_windows();
    bool starting = domain_frame == nullptr;
    if (starting)
        first_start();
    else
        restart_viewer();
    if (nb_params == 0) gtk_widget_hide(context_button);
    if (starting) load_visu_resources();
}

void refresh_visu(Registries& store) {
    if (viewer_state.registries != &store) return;
    if (domain_frame && shown_domains()) {
        if (gtk_clist_find_row_from_data(GTK_CLIST(domain_clist), shown_domains()) < 0) {
            append_domain_row(shown_domains());
            send_drawing_now();
        }
        if (shown_domains()->name == context_name) context_redefined = 1;
    }
    if (context_redefined) {
        DomainUnlock unlock;
        init_visu(store, DimNP, requested_context_name);
    }
}
