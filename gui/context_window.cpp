// The Context window and the check of typed parameter values.
#include "gui/context_window.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/locks.h"
#include "gui/domains_window.h"
#include "gui/resources.h"
#include "gui/visu_window.h"
#include "view/context.h"
#include "view/point_scanner.h"
#include "view/projection.h"
#include "view/rendering.h"


namespace {

gboolean on_context_close(GtkWidget*, GdkEvent*, gpointer data) { return release_context_toggle(&windows_of(data)); }
// The entries go with the window: no handle to them may outlive it.
void on_context_destroy(GtkObject*, gpointer data) {
    windows_of(data).panel_item.clear();
    release_context_toggle(&windows_of(data));
}

std::vector<std::string> parameter_names(ViewerWindows& viewer_windows) {
    Viewer& viewer = viewer_windows.viewer;
    DomainLock lock;
    const DomainEntry* context = lookup_domain(viewer.context.context_name, viewer.state.registries->DomainList);
    return context ? var_names_array(context->vars) : std::vector<std::string>{};
}

// The entries show the values the parameters start with, before any edit.
GtkWidget* parameter_line(ViewerWindows& viewer_windows, const std::string& name, std::int64_t value) {
    GtkWidget* line = gtk_hbox_new(TRUE, 3);
    GtkWidget* label = gtk_label_new(name.c_str());
    gtk_widget_set_size_request(label, 50, -1);
    gtk_box_pack_start(GTK_BOX(line), label, FALSE, FALSE, 2);
    GtkWidget* entry = gtk_entry_new();
    gtk_entry_set_max_length(GTK_ENTRY(entry), 3);
    GTK_WIDGET_SET_FLAGS(entry, GTK_CAN_DEFAULT);
    gtk_widget_set_size_request(entry, 50, -1);
    gtk_entry_set_text(GTK_ENTRY(entry), std::to_string(value).c_str());
    gtk_box_pack_start(GTK_BOX(line), entry, FALSE, FALSE, 4);
    g_signal_connect(entry, "activate", G_CALLBACK(parameter_changed), &viewer_windows);
    g_signal_connect(entry, "changed", G_CALLBACK(parameter_changed), &viewer_windows);
    viewer_windows.panel_item.push_back(entry);
    return line;
}

bool all_parameters_set(ViewerWindows& viewer_windows) {
    Viewer& viewer = viewer_windows.viewer;
    for (int k = 0; k < viewer.context.nb_params; ++k)
        if (!viewer.context.param_set[k]) return false;
    return true;
}

// Expects domain_lock held.
void restrict_shown_domains(ViewerWindows& viewer_windows) {
    Viewer& viewer = viewer_windows.viewer;
    viewer.context.context_valid = 1;
    for (DomainEntry* e = viewer.state.registries->DomainList; e; e = e->next) {
        if (!e->view || show_with_context(viewer, e)) continue;
        int row = gtk_clist_find_row_from_data(GTK_CLIST(viewer_windows.domain_clist), e);
        if (row < 0) {
            std::puts("Internal problem: to mask a domain!");
            continue;
        }
        gchar* status = nullptr;
        gtk_clist_get_text(GTK_CLIST(viewer_windows.domain_clist), row, 1, &status);
        if (status && std::strcmp(status, "Visu") == 0) mask_domain_row(viewer_windows, row);
    }
}

// Under the entries, in red: what the picture says when the values lie
// outside the context, where the user types them. Expects domain_lock held.
void show_context_message(ViewerWindows& viewer_windows) {
    Viewer& viewer = viewer_windows.viewer;
    if (!viewer_windows.context_window) return;
    auto* message =
        static_cast<GtkLabel*>(g_object_get_data(G_OBJECT(viewer_windows.context_window), "context_message"));
    if (message) gtk_label_set_text(message, parameter_values_outside_context(viewer) ? bad_parameters_text : "");
}

GtkWidget* context_message_label() {
    GtkWidget* message = gtk_label_new("");
    GdkColor red = {0, 65535, 0, 0};
    gtk_widget_modify_fg(message, GTK_STATE_NORMAL, &red);
    gtk_label_set_line_wrap(GTK_LABEL(message), TRUE);
    return message;
}

// Expects domain_lock held.
void check_values_and_redraw(ViewerWindows& viewer_windows) {
    Viewer& viewer = viewer_windows.viewer;
    if (!all_parameters_set(viewer_windows)) {
        viewer.context.context_valid = 0;
        drop_derived_domains(viewer);
    } else if (!viewer.context.Contexte) {
        std::puts("Problem: Contexte == NULL");
        return;
    } else if (point_in_domain(viewer.context.Contexte, viewer.context.param_values.data())) {
        restrict_shown_domains(viewer_windows);
    } else {
        viewer.context.context_valid = 0;
        std::puts("Bad parameters for this context!");
        mask_shown_rows(viewer_windows);
        drop_derived_domains(viewer);
    }
    redraw_domains(viewer, viewer.drawing.domain_pixmap);
}

// Expects domain_lock held.
void accept_value(ViewerWindows& viewer_windows, int i, const char* text) {
    Viewer& viewer = viewer_windows.viewer;
    viewer.context.param_set[i] = 1;
    viewer.context.param_values[i] = std::strtoll(text, nullptr, 10);
    check_values_and_redraw(viewer_windows);
}

}  // namespace

std::vector<std::string> context_parameter_names(ViewerWindows& viewer_windows) {
    return parameter_names(viewer_windows);
}

void set_parameter_values(ViewerWindows& viewer_windows, const std::vector<std::optional<std::int64_t>>& values) {
    Viewer& viewer = viewer_windows.viewer;
    for (std::size_t k = 0; k < values.size() && k < viewer_windows.panel_item.size(); ++k) {
        if (!values[k]) continue;
        const std::string text = std::to_string(*values[k]);
        GtkEntry* entry = GTK_ENTRY(viewer_windows.panel_item[k]);
        // The entry shows the value whole, even past what can be typed.
        if (static_cast<int>(text.size()) > gtk_entry_get_max_length(entry))
            gtk_entry_set_max_length(entry, static_cast<int>(text.size()));
        g_signal_handlers_block_by_func(entry, reinterpret_cast<gpointer>(parameter_changed), &viewer_windows);
        gtk_entry_set_text(entry, text.c_str());
        g_signal_handlers_unblock_by_func(entry, reinterpret_cast<gpointer>(parameter_changed), &viewer_windows);
    }
    DomainLock lock;
    for (std::size_t k = 0; k < values.size() && k < viewer.context.param_values.size(); ++k) {
        if (!values[k]) continue;
        viewer.context.param_set[k] = 1;
        viewer.context.param_values[k] = *values[k];
    }
    check_values_and_redraw(viewer_windows);
    show_context_message(viewer_windows);
}

bool well_formed_integer(const char* text) {
    if (*text == '-' || *text == '+') ++text;
    if (!*text) return false;
    for (; *text; ++text)
        if (!std::strchr("1234567890", *text)) return false;
    return true;
}

GtkWidget* create_context_window(ViewerWindows& viewer_windows) {
    Viewer& viewer = viewer_windows.viewer;
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_container_set_border_width(GTK_CONTAINER(window), 3);
    gtk_window_set_title(GTK_WINDOW(window), "Context");
    gtk_window_set_policy(GTK_WINDOW(window), FALSE, TRUE, FALSE);
    gtk_widget_set_size_request(window, 150, 180);
    gtk_widget_realize(window);
    set_icon_from_file(window, "context_icon.xpm");
    g_signal_connect(window, "destroy", G_CALLBACK(on_context_destroy), &viewer_windows);
    g_signal_connect(window, "delete_event", G_CALLBACK(on_context_close), &viewer_windows);

    GtkWidget* box = gtk_vbox_new(FALSE, 2);
    gtk_container_set_border_width(GTK_CONTAINER(box), 3);
    gtk_container_add(GTK_CONTAINER(window), box);
    GtkWidget* scrolled = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_box_pack_start(GTK_BOX(box), scrolled, TRUE, TRUE, 0);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scrolled), GTK_POLICY_AUTOMATIC, GTK_POLICY_AUTOMATIC);
    GtkWidget* parameters = gtk_vbox_new(TRUE, 2);
    gtk_scrolled_window_add_with_viewport(GTK_SCROLLED_WINDOW(scrolled), parameters);

    std::vector<std::string> names = parameter_names(viewer_windows);
    viewer_windows.panel_item.clear();
    for (int k = 0; k < viewer.context.nb_params; ++k) {
        std::string name = k < static_cast<int>(names.size()) ? names[k] : std::string();
        std::int64_t value =
            k < static_cast<int>(viewer.context.param_values.size()) ? viewer.context.param_values[k] : 0;
        gtk_box_pack_start(GTK_BOX(parameters), parameter_line(viewer_windows, name, value), TRUE, TRUE, 2);
    }
    GtkWidget* message = context_message_label();
    gtk_box_pack_start(GTK_BOX(box), message, FALSE, FALSE, 2);
    g_object_set_data(G_OBJECT(window), "context_message", message);
    {
        DomainLock lock;
        gtk_label_set_text(GTK_LABEL(message), parameter_values_outside_context(viewer) ? bad_parameters_text : "");
    }

    GtkWidget* buttons = gtk_hbox_new(TRUE, 3);
    gtk_box_pack_start(GTK_BOX(box), buttons, FALSE, FALSE, 3);
    add_release_button(buttons, 3, viewer_windows, release_context_toggle);
    return window;
}

void parameter_changed(GtkWidget* entry, gpointer data) {
    ViewerWindows& viewer_windows = windows_of(data);
    Viewer& viewer = viewer_windows.viewer;
    int i = -1;
    for (std::size_t k = 0; k < viewer_windows.panel_item.size(); ++k)
        if (viewer_windows.panel_item[k] == entry) i = static_cast<int>(k);
    if (i < 0) {
        std::fputs("Internal error: Can't find parameter panel_item.\n", stderr);
        return;
    }
    const char* text = gtk_entry_get_text(GTK_ENTRY(entry));
    DomainLock lock;
    if (well_formed_integer(text)) {
        accept_value(viewer_windows, i, text);
    } else if (*text) {
        viewer.context.param_set[i] = 0;
        viewer.context.context_valid = 0;
        drop_derived_domains(viewer);
        redraw_domains(viewer, viewer.drawing.domain_pixmap);
    } else {
        viewer.context.context_valid = 1;
        drop_derived_domains(viewer);
        update_view_hull(viewer);
        update_axes_bounds(viewer);
        redraw_domains(viewer, viewer.drawing.domain_pixmap);
    }
    show_context_message(viewer_windows);
}
