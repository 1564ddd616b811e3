// The Visualisation window: its widget tree, its built-in icon, the canvas
// handlers and the quit sequence.
#include "gui/visu_window.h"

#include <gdk/gdkkeysyms.h>

#include "base/locks.h"
#include "gui/context_window.h"
#include "gui/domains_window.h"
#include "gui/figure_dialog.h"
#include "gui/projection_window.h"
#include "gui/resources.h"
#include "gui/visu_icon.h"
#include "view/picking.h"
#include "view/rendering.h"


namespace {

void on_visu_destroy(GtkObject*, gpointer data) { visu_quit(windows_of(data)); }

// A close request only hides the window, so that it can be shown again by a
// later initvisu and is never used once destroyed.
gboolean on_visu_delete(GtkWidget*, GdkEvent*, gpointer data) {
    visu_quit(windows_of(data));
    return TRUE;
}

void on_quit_clicked(gpointer data) { visu_quit(windows_of(data)); }

void set_builtin_icon(GtkWidget* window) {
    GdkBitmap* mask = nullptr;
    GdkPixmap* icon = gdk_pixmap_create_from_xpm_d(window->window, &mask, &window->style->bg[GTK_STATE_NORMAL],
                                                   const_cast<gchar**>(visu_icon_xpm));
    gdk_window_set_icon(window->window, nullptr, icon, mask);
    gdk_window_set_icon_name(window->window, "Domain");
}

GtkWidget* add_window_button(GtkWidget* column, GtkWidget* frame, GtkWidget* button, const char* key) {
    g_object_set_data(G_OBJECT(frame), key, button);
    gtk_widget_show(button);
    gtk_box_pack_start(GTK_BOX(column), button, FALSE, FALSE, 1);
    gtk_container_set_border_width(GTK_CONTAINER(button), 2);
    return button;
}

GtkWidget* add_toggle(ViewerWindows& viewer_windows, GtkWidget* column, GtkWidget* frame, const char* label,
                      const char* key, void (*handler)(ViewerWindows*)) {
    GtkWidget* toggle = gtk_toggle_button_new_with_label(label);
    g_signal_connect_swapped(toggle, "toggled", G_CALLBACK(handler), &viewer_windows);
    return add_window_button(column, frame, toggle, key);
}

// Saves the picture as a figure file; Ctrl+S does the same.
void on_save_clicked(gpointer data) { open_figure_chooser(windows_of(data)); }

void add_save_button(ViewerWindows& viewer_windows, GtkWidget* column, GtkWidget* frame) {
    GtkWidget* save = gtk_button_new_from_stock(GTK_STOCK_SAVE);
    g_signal_connect_swapped(save, "clicked", G_CALLBACK(on_save_clicked), &viewer_windows);
    GtkAccelGroup* keys = gtk_accel_group_new();
    gtk_window_add_accel_group(GTK_WINDOW(frame), keys);
    g_object_unref(keys);
    gtk_widget_add_accelerator(save, "clicked", keys, GDK_KEY_s, GDK_CONTROL_MASK, GTK_ACCEL_VISIBLE);
    add_window_button(column, frame, save, "save_button");
}

bool shown(GtkWidget* window) { return window && gtk_widget_get_visible(window); }

void flip_visibility(GtkWidget* window, bool with_children) {
    if (!window) return;
    if (gtk_widget_get_visible(window))
        gtk_widget_hide(window);
    else if (with_children)
        gtk_widget_show_all(window);
    else
        gtk_widget_show(window);
}

void release(GtkWidget* toggle) {
    if (toggle) gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(toggle), FALSE);
}

void destroy_cleared(GtkWidget*& handle) {
    GtkWidget* window = handle;
    handle = nullptr;
    gtk_widget_destroy(window);
}

}  // namespace

GtkWidget* create_visu_window(ViewerWindows& viewer_windows) {
    Viewer& viewer = viewer_windows.viewer;
    viewer_windows.domain_frame = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkWidget* frame = viewer_windows.domain_frame;
    gtk_window_set_wmclass(GTK_WINDOW(frame), "Qarnest", "Qarnest");
    gtk_widget_realize(frame);
    set_builtin_icon(frame);
    g_object_set_data(G_OBJECT(frame), "domain_frame", frame);
    gtk_container_set_border_width(GTK_CONTAINER(frame), 1);
    g_signal_connect(frame, "destroy", G_CALLBACK(on_visu_destroy), &viewer_windows);
    g_signal_connect(frame, "delete_event", G_CALLBACK(on_visu_delete), &viewer_windows);
    gtk_window_set_title(GTK_WINDOW(frame), "Visualisation");
    gtk_widget_set_size_request(frame, 400, 350);
    gtk_window_set_policy(GTK_WINDOW(frame), TRUE, TRUE, FALSE);

    GtkWidget* hbox = gtk_hbox_new(FALSE, 0);
    GtkWidget* column = gtk_vbox_new(FALSE, 3);
    g_object_set_data(G_OBJECT(frame), "vbox1", column);
    gtk_widget_show(column);
    gtk_box_pack_start(GTK_BOX(hbox), column, FALSE, FALSE, 0);

    GtkWidget* quit = gtk_button_new_from_stock("gtk-quit");
    g_signal_connect_swapped(quit, "clicked", G_CALLBACK(on_quit_clicked), &viewer_windows);
    add_window_button(column, frame, quit, "quit_button");
    viewer_windows.view_button =
        add_toggle(viewer_windows, column, frame, "Projection", "view_button", toggle_projection_window);
    viewer_windows.properties_button =
        add_toggle(viewer_windows, column, frame, "Domains", "properties_button", toggle_domains_window);
    viewer_windows.context_button =
        add_toggle(viewer_windows, column, frame, "Context", "context_button", toggle_context_window);
    add_save_button(viewer_windows, column, frame);

    viewer.drawing.domain_canvas = gtk_drawing_area_new();
    g_object_set_data(G_OBJECT(frame), "domain_canvas", viewer.drawing.domain_canvas);
    gtk_box_pack_start(GTK_BOX(hbox), viewer.drawing.domain_canvas, TRUE, TRUE, 0);
    gtk_widget_set_size_request(viewer.drawing.domain_canvas, 200, 200);
    gtk_widget_set_events(viewer.drawing.domain_canvas, GDK_EXPOSURE_MASK | GDK_BUTTON_PRESS_MASK);
    g_signal_connect(viewer.drawing.domain_canvas, "expose_event", G_CALLBACK(domain_canvas_expose), &viewer_windows);
    g_signal_connect(viewer.drawing.domain_canvas, "configure_event", G_CALLBACK(domain_canvas_configure),
                     &viewer_windows);
    g_signal_connect(viewer.drawing.domain_canvas, "button_press_event", G_CALLBACK(domain_canvas_press),
                     &viewer_windows);
    gtk_widget_show(viewer.drawing.domain_canvas);

    gtk_container_add(GTK_CONTAINER(frame), hbox);
    gtk_widget_show(hbox);
    return frame;
}

void visu_quit(ViewerWindows& viewer_windows) {
    if (shown(viewer_windows.domain_frame)) gtk_widget_hide(viewer_windows.domain_frame);
    if (shown(viewer_windows.domains_window)) release(viewer_windows.properties_button);
    if (shown(viewer_windows.context_window)) {
        release(viewer_windows.context_button);
        destroy_cleared(viewer_windows.context_window);
    }
    if (shown(viewer_windows.rep_frame)) {
        release(viewer_windows.view_button);
        destroy_cleared(viewer_windows.rep_frame);
    }
}

void show_visu_window_again(ViewerWindows& viewer_windows) {
    if (viewer_windows.domain_frame && !gtk_widget_get_visible(viewer_windows.domain_frame))
        gtk_widget_show_all(viewer_windows.domain_frame);
}

void toggle_projection_window(ViewerWindows* viewer_windows) { flip_visibility(viewer_windows->rep_frame, false); }
void toggle_domains_window(ViewerWindows* viewer_windows) { flip_visibility(viewer_windows->domains_window, true); }
void toggle_context_window(ViewerWindows* viewer_windows) { flip_visibility(viewer_windows->context_window, true); }

gboolean release_projection_toggle(ViewerWindows* viewer_windows) {
    release(viewer_windows->view_button);
    return TRUE;
}

gboolean release_domains_toggle(ViewerWindows* viewer_windows) {
    release(viewer_windows->properties_button);
    return TRUE;
}

gboolean release_context_toggle(ViewerWindows* viewer_windows) {
    release(viewer_windows->context_button);
    return TRUE;
}

gboolean domain_canvas_expose(GtkWidget* widget, GdkEventExpose* event, gpointer data) {
    copy_exposed_area(widget, windows_of(data).viewer.drawing.domain_pixmap, event);
    return FALSE;
}

gboolean domain_canvas_configure(GtkWidget*, GdkEventConfigure*, gpointer data) {
    Viewer& viewer = windows_of(data).viewer;
    make_canvas_image(viewer);
    DomainLock lock;
    redraw_domains(viewer, viewer.drawing.domain_pixmap);
    return TRUE;
}

gboolean domain_canvas_press(GtkWidget*, GdkEventButton* event, gpointer data) {
    pick_point(windows_of(data).viewer, static_cast<int>(event->x), static_cast<int>(event->y));
    return FALSE;
}

void add_release_button(GtkWidget* box, guint padding, ViewerWindows& viewer_windows,
                        gboolean (*release)(ViewerWindows*)) {
    GtkWidget* quit = gtk_button_new_from_stock("gtk-quit");
    GTK_WIDGET_SET_FLAGS(quit, GTK_CAN_DEFAULT);
    gtk_button_set_relief(GTK_BUTTON(quit), GTK_RELIEF_NORMAL);
    gtk_box_pack_end(GTK_BOX(box), quit, FALSE, FALSE, padding);
    g_signal_connect_swapped(quit, "clicked", G_CALLBACK(release), &viewer_windows);
}
