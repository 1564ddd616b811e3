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

GtkCList* clist() { return GTK_CLIST(domain_clist); }

DomainEntry* row_entry(int row) { return static_cast<DomainEntry*>(gtk_clist_get_row_data(clist(), row)); }

std::string cell_text(int row, int column) {
    gchar* text = nullptr;
    gtk_clist_get_text(clist(), row, column, &text);
    return text ? text : "";
}

void set_row_colour(int row, DomainEntry* entry) {
    if (entry->color) gtk_clist_set_foreground(clist(), row, entry->color);
}

void insert_row(DomainEntry* entry, bool at_top) {
    if (!domain_fits_viewer(entry)) return;
    gchar* texts[4] = {const_cast<gchar*>(entry->name.c_str()), const_cast<gchar*>("Masked"),
                       const_cast<gchar*>("Yes"), const_cast<gchar*>("Black")};
    int row = at_top ? gtk_clist_prepend(clist(), texts) : gtk_clist_append(clist(), texts);
    set_row_colour(row, entry);
    gtk_clist_set_row_data(clist(), row, entry);
}

// Unlinks an entry from DomainList; false when it is not there.
bool unlink_entry(DomainEntry* entry) {
    if (shown_domains() == entry) {
        shown_domains() = entry->next;
        return true;
    }
    for (DomainEntry* e = shown_domains(); e; e = e->next) {
        if (e->next == entry) {
            e->next = entry->next;
            return true;
        }
    }
    return false;
}

void link_before(DomainEntry* entry, DomainEntry* successor) {
    entry->next = successor;
    if (shown_domains() == successor) {
        shown_domains() = entry;
        return;
    }
    for (DomainEntry* e = shown_domains(); e; e = e->next) {
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

void show_row(int row, DomainEntry* entry) {
    int shown = nb_params > 0 ? show_with_context(entry) : show_without_context(entry);
    if (shown) {
        set_row_colour(row, entry);
        gtk_clist_set_text(clist(), row, STATUS_COLUMN, "Visu");
    }
    if (entry->view) {
        free_marks(entry->view->marked);
        entry->view->marked = nullptr;
        entry->view->marked = collect_marks(entry);
    }
}

void switch_points(int row, DomainEntry* entry) {
    if (cell_text(row, STATUS_COLUMN) != "Visu" || !entry->view) return;
    entry->view->show_points = !entry->view->show_points;
    gtk_clist_set_text(clist(), row, INTPOINTS_COLUMN, cell_text(row, INTPOINTS_COLUMN) == "Yes" ? "No" : "Yes");
}

// Masks the row's domain without redrawing: its view goes, the hull follows.
void release_row_view(int row, DomainEntry* entry) {
    free_view(entry->view);
    entry->view = nullptr;
    update_view_hull();
    update_axes_bounds();
    set_row_colour(row, entry);
    gtk_clist_set_text(clist(), row, STATUS_COLUMN, "Masked");
    gtk_clist_set_text(clist(), row, INTPOINTS_COLUMN, "Yes");
}

bool pointer_button_held() {
    GdkModifierType state;
    gdk_display_get_pointer(gdk_display_get_default(), nullptr, nullptr, nullptr, &state);
    return state & (GDK_BUTTON1_MASK | GDK_BUTTON2_MASK | GDK_BUTTON3_MASK | GDK_BUTTON4_MASK | GDK_BUTTON5_MASK);
}

// The list holds the pointer from the press that chose a Color cell until
// its release; a modal dialog opened before then would receive no clicks.
gboolean open_colour_dialog_once_released(gpointer) {
    if (pointer_button_held()) return TRUE;
    open_colour_dialog();
    DomainLock lock;
    redraw_domains(domain_pixmap);
    return FALSE;
}

void on_select_row(GtkCList*, gint row, gint column, GdkEvent*, gpointer) { toggle_domain_row(row, column); }
void on_row_move(GtkCList*, gint source_row, gint dest_row, gpointer) { domain_row_moved(source_row, dest_row); }

// GtkCList keeps the dragged cell in data keyed by the drag context's address
// and never clears it; a later drag whose context reuses that address would
// move the earlier drag's row.
void forget_drag_source(GtkWidget*, GdkDragContext* context, gpointer) {
    g_dataset_remove_data(context, "gtk-clist-drag-source");
}

gboolean on_domains_close(GtkWidget*, GdkEvent*, gpointer) { return release_domains_toggle(); }
void on_domains_destroy(GtkObject*, gpointer) { release_domains_toggle(); }

// The Domains window follows the deletions of the store it shows.
class RowRemoval final : public DomainListWatcher {
public:
    void remove_row_of_deleted_domain(DomainEntry* entry) const override { remove_domain_row(entry); }
};
const RowRemoval row_removal;

}  // namespace

bool domain_fits_viewer(const DomainEntry* entry) {
    return static_cast<int>(entry->domain->Dimension) - nb_params == DimNP;
}

GtkWidget* create_domains_window() {
    domains_window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkWidget* window = domains_window;
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
    g_signal_connect(window, "destroy", G_CALLBACK(on_domains_destroy), nullptr);
    g_signal_connect(window, "delete_event", G_CALLBACK(on_domains_close), nullptr);

    const gchar* titles[4] = {"Name", "Status", "Intpoints", "Color"};
    domain_clist = gtk_clist_new_with_titles(4, const_cast<gchar**>(titles));
    gtk_container_add(GTK_CONTAINER(scrolled), domain_clist);
    for (int column = 0; column < 4; ++column) {
        gtk_clist_set_column_width(clist(), column, 70);
        gtk_clist_set_column_justification(clist(), column, GTK_JUSTIFY_CENTER);
        if (column > 0) gtk_clist_set_column_resizeable(clist(), column, FALSE);
    }
    gtk_clist_set_column_min_width(clist(), 0, 50);
    gtk_clist_set_reorderable(clist(), TRUE);
    gtk_clist_column_titles_passive(clist());
    // Browse mode reports a row at the press (single mode only at the
    // release, and never when a drag follows); rows are unselected at once.
    gtk_clist_set_selection_mode(clist(), GTK_SELECTION_BROWSE);
    gtk_clist_freeze(clist());
    {
        DomainLock lock;
        for (DomainEntry* e = shown_domains(); e; e = e->next) prepend_domain_row(e);
    }
    gtk_clist_thaw(clist());
    gtk_widget_show(domain_clist);
    g_signal_connect(domain_clist, "select_row", G_CALLBACK(on_select_row), nullptr);
    g_signal_connect(domain_clist, "row_move", G_CALLBACK(on_row_move), nullptr);
    g_signal_connect_after(domain_clist, "drag_end", G_CALLBACK(forget_drag_source), nullptr);
    gtk_clist_unselect_all(clist());

    GtkWidget* buttons = gtk_hbox_new(FALSE, 3);
    gtk_container_set_border_width(GTK_CONTAINER(buttons), 1);
    gtk_box_pack_start(GTK_BOX(box), buttons, FALSE, FALSE, 3);
    add_release_button(buttons, 1, window, release_domains_toggle);

    viewer_state.registries->watcher = &row_removal;
    return window;
}

const DomainListWatcher* domains_window_watcher() { return &row_removal; }

void prepend_domain_row(DomainEntry* entry) { insert_row(entry, true); }
void append_domain_row(DomainEntry* entry) { insert_row(entry, false); }

void remove_domain_row(DomainEntry* entry) {
    if (!entry) return;
    int row = gtk_clist_find_row_from_data(clist(), entry);
    if (row < 0) {
        std::puts("Can't find domain to be deleted!");
        return;
    }
    if (entry->view) mask_domain_row(row);
    gtk_clist_remove(clist(), row);
}

void mask_domain_row(int row) {
    DomainEntry* entry = row_entry(row);
    if (!entry) return;
    release_row_view(row, entry);
    redraw_domains(domain_pixmap);
}

void mask_shown_rows() {
    for (DomainEntry* e = shown_domains(); e; e = e->next) {
        if (!e->view) continue;
        int row = gtk_clist_find_row_from_data(clist(), e);
        if (row >= 0) mask_domain_row(row);
    }
}

void toggle_domain_row(int row, int column) {
    DomainEntry* entry = row_entry(row);
    gtk_clist_unselect_row(clist(), row, column);
    if (!entry) return;
    std::string status = cell_text(row, STATUS_COLUMN);
    if (column == COLOR_COLUMN) {
        dialog_row = row;
        gdk_threads_add_timeout_full(G_PRIORITY_LOW, 20, open_colour_dialog_once_released, nullptr, nullptr);
        return;
    }
    if (column != STATUS_COLUMN && column != INTPOINTS_COLUMN) return;
    DomainLock lock;
    if (column == STATUS_COLUMN) {
        if (status == "Visu") {
            release_row_view(row, entry);
        } else {
            show_row(row, entry);
        }
    } else {
        switch_points(row, entry);
    }
    redraw_domains(domain_pixmap);
}

void domain_row_moved(int source_row, int dest_row) {
    DomainLock lock;
    DomainEntry* moved = row_entry(source_row);
    DomainEntry* destination = row_entry(dest_row);
    if (!moved || !destination || !unlink_entry(moved)) {
        std::puts("Problem to move a domain in the list!");
        return;
    }
    if (dest_row > source_row)
        link_before(moved, destination);
    else
        link_after(moved, destination);
    redraw_domains(domain_pixmap);
}

void open_colour_dialog() {
    colour_dialog = gtk_color_selection_dialog_new("Domain's Color");
    GtkWidget* dialog = colour_dialog;
    GtkColorSelection* selection = GTK_COLOR_SELECTION(GTK_COLOR_SELECTION_DIALOG(dialog)->colorsel);
    gtk_color_selection_set_has_palette(selection, TRUE);
    gtk_color_selection_set_previous_color(selection, &current_colour);
    gtk_color_selection_set_current_color(selection, &current_colour);
    gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
    g_signal_connect_swapped(GTK_COLOR_SELECTION_DIALOG(dialog)->ok_button, "clicked",
                             G_CALLBACK(colour_dialog_ok), selection);
    gint response = gtk_dialog_run(GTK_DIALOG(dialog));
    if (colour_dialog == dialog) {
        if (response == GTK_RESPONSE_OK) gtk_color_selection_get_current_color(selection, &current_colour);
        gtk_widget_destroy(dialog);
        colour_dialog = nullptr;
    }
}

void colour_dialog_ok(GtkColorSelection* selection) {
    gtk_color_selection_get_current_color(selection, &current_colour);
    if (!gdk_colormap_alloc_color(gdk_colormap_get_system(), &current_colour, FALSE, TRUE)) return;
    DomainLock lock;
    DomainEntry* entry = dialog_row < clist()->rows ? row_entry(dialog_row) : nullptr;
    if (!entry) return;
    if (entry->color) gdk_color_free(entry->color);
    entry->color = gdk_color_copy(&current_colour);
    set_row_colour(dialog_row, entry);
    bool black = current_colour.red == 0 && current_colour.green == 0 && current_colour.blue == 0;
    gtk_clist_set_text(clist(), dialog_row, COLOR_COLUMN, black ? "Black" : "New Color");
}

void close_colour_dialog() {
    if (!colour_dialog) return;
    GtkWidget* dialog = colour_dialog;
    colour_dialog = nullptr;
    gtk_widget_destroy(dialog);
}
