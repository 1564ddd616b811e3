// The Domains window: rows that follow DomainList (in the opposite order),
// the row action at the press of a cell, the colour dialog and row moves.
#include "gui/domains_window.h"

#include <cstdio>

#include "base/locks.h"
#include "gui/resources.h"
#include "gui/visu_window.h"
#include "view/context.h"
#include "view/projection.h"
#include "view/rendering.h"


namespace {

enum Column { NAME_COLUMN = 0, STATUS_COLUMN = 1, INTPOINTS_COLUMN = 2, COLOR_COLUMN = 3 };

GtkCList* clist(ViewerWindows& viewer_windows) { return GTK_CLIST(viewer_windows.domain_clist); }

DomainEntry* row_entry(ViewerWindows& viewer_windows, int row) {
    return static_cast<DomainEntry*>(gtk_clist_get_row_data(clist(viewer_windows), row));
}

std::string cell_text(ViewerWindows& viewer_windows, int row, int column) {
    gchar* text = nullptr;
    gtk_clist_get_text(clist(viewer_windows), row, column, &text);
    return text ? text : "";
}

void set_row_colour(ViewerWindows& viewer_windows, int row, DomainEntry* entry) {
    if (entry->color) gtk_clist_set_foreground(clist(viewer_windows), row, entry->color);
}

void insert_row(ViewerWindows& viewer_windows, DomainEntry* entry, bool at_top) {
    Viewer& viewer = viewer_windows.viewer;
    if (!domain_fits_viewer(viewer, entry)) return;
    gchar* texts[4] = {const_cast<gchar*>(entry->name.c_str()), const_cast<gchar*>("Masked"),
                       const_cast<gchar*>("Yes"), const_cast<gchar*>("Black")};
    int row = at_top ? gtk_clist_prepend(clist(viewer_windows), texts) : gtk_clist_append(clist(viewer_windows), texts);
    set_row_colour(viewer_windows, row, entry);
    gtk_clist_set_row_data(clist(viewer_windows), row, entry);
}

// Unlinks an entry from DomainList; false when it is not there.
bool unlink_entry(ViewerWindows& viewer_windows, DomainEntry* entry) {
    Viewer& viewer = viewer_windows.viewer;
    if (viewer.state.registries->DomainList == entry) {
        viewer.state.registries->DomainList = entry->next;
        return true;
    }
    for (DomainEntry* e = viewer.state.registries->DomainList; e; e = e->next) {
        if (e->next == entry) {
            e->next = entry->next;
            return true;
        }
    }
    return false;
}

void link_before(ViewerWindows& viewer_windows, DomainEntry* entry, DomainEntry* successor) {
    Viewer& viewer = viewer_windows.viewer;
    entry->next = successor;
    if (viewer.state.registries->DomainList == successor) {
        viewer.state.registries->DomainList = entry;
        return;
    }
    for (DomainEntry* e = viewer.state.registries->DomainList; e; e = e->next) {
        if (e->next == successor) {
            e->next = entry;
            return;
        }
    }
}

void link_after(DomainEntry* entry, DomainEntry* predecessor) {
    entry->next = predecessor->next;
    predecessor->next = entry;
}

void show_row(ViewerWindows& viewer_windows, int row, DomainEntry* entry) {
    Viewer& viewer = viewer_windows.viewer;
    int shown = viewer.context.nb_params > 0 ? show_with_context(viewer, entry) : show_without_context(viewer, entry);
    if (shown) {
        set_row_colour(viewer_windows, row, entry);
        gtk_clist_set_text(clist(viewer_windows), row, STATUS_COLUMN, "Visu");
    }
    if (entry->view) {
        free_marks(entry->view->marked);
        entry->view->marked = nullptr;
        entry->view->marked = collect_marks(viewer, entry);
    }
}

void switch_points(ViewerWindows& viewer_windows, int row, DomainEntry* entry) {
    if (cell_text(viewer_windows, row, STATUS_COLUMN) != "Visu" || !entry->view) return;
    entry->view->show_points = !entry->view->show_points;
    gtk_clist_set_text(clist(viewer_windows), row, INTPOINTS_COLUMN,
                       cell_text(viewer_windows, row, INTPOINTS_COLUMN) == "Yes" ? "No" : "Yes");
}

// Masks the row's domain without redrawing: its view goes, the hull follows.
void release_row_view(ViewerWindows& viewer_windows, int row, DomainEntry* entry) {
    Viewer& viewer = viewer_windows.viewer;
    free_view(entry->view);
    entry->view = nullptr;
    update_view_hull(viewer);
    update_axes_bounds(viewer);
    set_row_colour(viewer_windows, row, entry);
    gtk_clist_set_text(clist(viewer_windows), row, STATUS_COLUMN, "Masked");
    gtk_clist_set_text(clist(viewer_windows), row, INTPOINTS_COLUMN, "Yes");
}

bool pointer_button_held() {
    GdkModifierType state;
    gdk_display_get_pointer(gdk_display_get_default(), nullptr, nullptr, nullptr, &state);
    return state & (GDK_BUTTON1_MASK | GDK_BUTTON2_MASK | GDK_BUTTON3_MASK | GDK_BUTTON4_MASK | GDK_BUTTON5_MASK);
}

// The list holds the pointer from the press that chose a Color cell until
// its release; a modal dialog opened before then would receive no clicks.

gboolean open_colour_dialog_once_released(gpointer data) {
    if (pointer_button_held()) return TRUE;
    ViewerWindows& viewer_windows = windows_of(data);
    open_colour_dialog(viewer_windows);
    DomainLock lock;
    redraw_domains(viewer_windows.viewer, viewer_windows.viewer.drawing.domain_pixmap);
    return FALSE;
}

void on_select_row(GtkCList*, gint row, gint column, GdkEvent*, gpointer data) {
    toggle_domain_row(windows_of(data), row, column);
}
void on_row_move(GtkCList*, gint source_row, gint dest_row, gpointer data) {
    domain_row_moved(windows_of(data), source_row, dest_row);
}

// GtkCList keeps the dragged cell in data keyed by the drag context's address
// and never clears it; a later drag whose context reuses that address would
// move the earlier drag's row.
void forget_drag_source(GtkWidget*, GdkDragContext* context, gpointer) {
    g_dataset_remove_data(context, "gtk-clist-drag-source");
}

gboolean on_domains_close(GtkWidget*, GdkEvent*, gpointer data) { return release_domains_toggle(&windows_of(data)); }
void on_domains_destroy(GtkObject*, gpointer data) { release_domains_toggle(&windows_of(data)); }

// The OK button of the colour dialog: the colour of the dialog it belongs to.
void on_colour_ok(GtkWidget* button, gpointer data) {
    GtkWidget* dialog = gtk_widget_get_toplevel(button);
    colour_dialog_ok(windows_of(data), GTK_COLOR_SELECTION(GTK_COLOR_SELECTION_DIALOG(dialog)->colorsel));
}

}  // namespace

void RowRemoval::remove_row_of_deleted_domain(DomainEntry* entry) const { remove_domain_row(windows_, entry); }

bool domain_fits_viewer(const Viewer& viewer, const DomainEntry* entry) {
    return static_cast<int>(entry->domain->Dimension) - viewer.context.nb_params == viewer.state.DimNP;
}

GtkWidget* create_domains_window(ViewerWindows& viewer_windows) {
    Viewer& viewer = viewer_windows.viewer;
    viewer_windows.domains_window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkWidget* window = viewer_windows.domains_window;
    gtk_window_set_title(GTK_WINDOW(window), "Domains");
    gtk_container_set_border_width(GTK_CONTAINER(window), 3);
    gtk_window_set_policy(GTK_WINDOW(window), FALSE, TRUE, FALSE);
    gtk_widget_realize(window);
    GtkWidget* box = gtk_vbox_new(FALSE, 3);
    gtk_container_add(GTK_CONTAINER(window), box);
    GtkWidget* scrolled = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_box_pack_start(GTK_BOX(box), scrolled, TRUE, TRUE, 1);
    gtk_widget_set_size_request(scrolled, 400, 150);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scrolled), GTK_POLICY_AUTOMATIC, GTK_POLICY_AUTOMATIC);
    gtk_widget_realize(scrolled);
    set_icon_from_file(window, "properties_icon.xpm");
    g_signal_connect(window, "destroy", G_CALLBACK(on_domains_destroy), &viewer_windows);
    g_signal_connect(window, "delete_event", G_CALLBACK(on_domains_close), &viewer_windows);

    const gchar* titles[4] = {"Name", "Status", "Intpoints", "Color"};
    viewer_windows.domain_clist = gtk_clist_new_with_titles(4, const_cast<gchar**>(titles));
    gtk_container_add(GTK_CONTAINER(scrolled), viewer_windows.domain_clist);
    for (int column = 0; column < 4; ++column) {
        gtk_clist_set_column_width(clist(viewer_windows), column, 70);
        gtk_clist_set_column_justification(clist(viewer_windows), column, GTK_JUSTIFY_CENTER);
        if (column > 0) gtk_clist_set_column_resizeable(clist(viewer_windows), column, FALSE);
    }
    gtk_clist_set_column_min_width(clist(viewer_windows), 0, 50);
    gtk_clist_set_reorderable(clist(viewer_windows), TRUE);
    gtk_clist_column_titles_passive(clist(viewer_windows));
    // Browse mode reports a row at the press (single mode only at the
    // release, and never when a drag follows); rows are unselected at once.
    gtk_clist_set_selection_mode(clist(viewer_windows), GTK_SELECTION_BROWSE);
    gtk_clist_freeze(clist(viewer_windows));
    {
        DomainLock lock;
        for (DomainEntry* e = viewer.state.registries->DomainList; e; e = e->next)
            prepend_domain_row(viewer_windows, e);
    }
    gtk_clist_thaw(clist(viewer_windows));
    gtk_widget_show(viewer_windows.domain_clist);
    g_signal_connect(viewer_windows.domain_clist, "select_row", G_CALLBACK(on_select_row), &viewer_windows);
    g_signal_connect(viewer_windows.domain_clist, "row_move", G_CALLBACK(on_row_move), &viewer_windows);
    g_signal_connect_after(viewer_windows.domain_clist, "drag_end", G_CALLBACK(forget_drag_source), nullptr);
    gtk_clist_unselect_all(clist(viewer_windows));

    GtkWidget* buttons = gtk_hbox_new(FALSE, 3);
    gtk_container_set_border_width(GTK_CONTAINER(buttons), 1);
    gtk_box_pack_start(GTK_BOX(box), buttons, FALSE, FALSE, 3);
    add_release_button(buttons, 1, viewer_windows, release_domains_toggle);

    viewer.state.registries->watcher = &viewer_windows.row_removal;
    return window;
}

void prepend_domain_row(ViewerWindows& viewer_windows, DomainEntry* entry) { insert_row(viewer_windows, entry, true); }
void append_domain_row(ViewerWindows& viewer_windows, DomainEntry* entry) { insert_row(viewer_windows, entry, false); }

void remove_domain_row(ViewerWindows& viewer_windows, DomainEntry* entry) {
    if (!entry) return;
    int row = gtk_clist_find_row_from_data(clist(viewer_windows), entry);
    if (row < 0) {
        std::puts("Can't find domain to be deleted!");
        return;
    }
    if (entry->view) mask_domain_row(viewer_windows, row);
    gtk_clist_remove(clist(viewer_windows), row);
}

void mask_domain_row(ViewerWindows& viewer_windows, int row) {
    Viewer& viewer = viewer_windows.viewer;
    DomainEntry* entry = row_entry(viewer_windows, row);
    if (!entry) return;
    release_row_view(viewer_windows, row, entry);
    redraw_domains(viewer, viewer.drawing.domain_pixmap);
}

void mask_shown_rows(ViewerWindows& viewer_windows) {
    Viewer& viewer = viewer_windows.viewer;
    for (DomainEntry* e = viewer.state.registries->DomainList; e; e = e->next) {
        if (!e->view) continue;
        int row = gtk_clist_find_row_from_data(clist(viewer_windows), e);
        if (row >= 0) mask_domain_row(viewer_windows, row);
    }
}

void toggle_domain_row(ViewerWindows& viewer_windows, int row, int column) {
    Viewer& viewer = viewer_windows.viewer;
    DomainEntry* entry = row_entry(viewer_windows, row);
    gtk_clist_unselect_row(clist(viewer_windows), row, column);
    if (!entry) return;
    std::string status = cell_text(viewer_windows, row, STATUS_COLUMN);
    if (column == COLOR_COLUMN) {
        viewer_windows.dialog_row = row;
        gdk_threads_add_timeout_full(G_PRIORITY_LOW, 20, open_colour_dialog_once_released, &viewer_windows, nullptr);
        return;
    }
    if (column != STATUS_COLUMN && column != INTPOINTS_COLUMN) return;
    DomainLock lock;
    if (column == STATUS_COLUMN) {
        if (status == "Visu") {
            release_row_view(viewer_windows, row, entry);
        } else {
            show_row(viewer_windows, row, entry);
        }
    } else {
        switch_points(viewer_windows, row, entry);
    }
    redraw_domains(viewer, viewer.drawing.domain_pixmap);
}

void domain_row_moved(ViewerWindows& viewer_windows, int source_row, int dest_row) {
    Viewer& viewer = viewer_windows.viewer;
    DomainLock lock;
    DomainEntry* moved = row_entry(viewer_windows, source_row);
    DomainEntry* destination = row_entry(viewer_windows, dest_row);
    if (!moved || !destination || !unlink_entry(viewer_windows, moved)) {
        std::puts("Problem to move a domain in the list!");
        return;
    }
    if (dest_row > source_row)
        link_before(viewer_windows, moved, destination);
    else
        link_after(moved, destination);
    redraw_domains(viewer, viewer.drawing.domain_pixmap);
}

void open_colour_dialog(ViewerWindows& viewer_windows) {
    viewer_windows.colour_dialog = gtk_color_selection_dialog_new("Domain's Color");
    GtkWidget* dialog = viewer_windows.colour_dialog;
    GtkColorSelection* selection = GTK_COLOR_SELECTION(GTK_COLOR_SELECTION_DIALOG(dialog)->colorsel);
    gtk_color_selection_set_has_palette(selection, TRUE);
    gtk_color_selection_set_previous_color(selection, &viewer_windows.current_colour);
    gtk_color_selection_set_current_color(selection, &viewer_windows.current_colour);
    gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
    g_signal_connect(GTK_COLOR_SELECTION_DIALOG(dialog)->ok_button, "clicked", G_CALLBACK(on_colour_ok),
                     &viewer_windows);
    gint response = gtk_dialog_run(GTK_DIALOG(dialog));
    if (viewer_windows.colour_dialog == dialog) {
        if (response == GTK_RESPONSE_OK)
            gtk_color_selection_get_current_color(selection, &viewer_windows.current_colour);
        gtk_widget_destroy(dialog);
        viewer_windows.colour_dialog = nullptr;
    }
}

void colour_dialog_ok(ViewerWindows& viewer_windows, GtkColorSelection* selection) {
    gtk_color_selection_get_current_color(selection, &viewer_windows.current_colour);
    if (!gdk_colormap_alloc_color(gdk_colormap_get_system(), &viewer_windows.current_colour, FALSE, TRUE)) return;
    DomainLock lock;
    DomainEntry* entry = viewer_windows.dialog_row < clist(viewer_windows)->rows
                             ? row_entry(viewer_windows, viewer_windows.dialog_row)
                             : nullptr;
    if (!entry) return;
    if (entry->color) gdk_color_free(entry->color);
    entry->color = gdk_color_copy(&viewer_windows.current_colour);
    set_row_colour(viewer_windows, viewer_windows.dialog_row, entry);
    bool black = viewer_windows.current_colour.red == 0 && viewer_windows.current_colour.green == 0 &&
                 viewer_windows.current_colour.blue == 0;
    gtk_clist_set_text(clist(viewer_windows), viewer_windows.dialog_row, COLOR_COLUMN, black ? "Black" : "New Color");
}

void close_colour_dialog(ViewerWindows& viewer_windows) {
    if (!viewer_windows.colour_dialog) return;
    GtkWidget* dialog = viewer_windows.colour_dialog;
    viewer_windows.colour_dialog = nullptr;
    gtk_widget_destroy(dialog);
}
