// The viewer's windows as one record: their widgets, the dialogs open on
// them, and what the next restart needs. The GTK thread runs them, and a
// process has one (one X connection, one toolkit loop): so it has one set of
// windows, as it has one viewer (view/viewer.h).
#pragma once

#include <gtk/gtk.h>
#include <string>
#include <vector>

struct ViewerWindows {
    // The Visualisation window, empty until the viewer first starts; never rebuilt afterwards.
    GtkWidget* domain_frame = nullptr;
    GtkWidget* view_button = nullptr;
    GtkWidget* properties_button = nullptr;
    GtkWidget* context_button = nullptr;
    // The Domains window, the colour dialog and the row it colours.
    GtkWidget* domains_window = nullptr;
    GtkWidget* domain_clist = nullptr;
    GtkWidget* colour_dialog = nullptr;
    int dialog_row = 0;
    GdkColor current_colour = {0, 0, 0, 0};
    // The Projection window and its axes picture.
    GtkWidget* rep_frame = nullptr;
    GtkWidget* rep_canvas = nullptr;
    GdkPixmap* rep_pixmap = nullptr;
    GdkGC* rep_gc = nullptr;
    int axes_width = 0;
    int axes_height = 0;
    // The Context window and its parameter entries.
    GtkWidget* context_window = nullptr;
    std::vector<GtkWidget*> panel_item;
    // The Save file chooser and the last error dialog while they are open.
    GtkWidget* figure_chooser = nullptr;
    GtkWidget* figure_error_dialog = nullptr;
    // The context name given to the last initvisu statement, and whether a
    // definition has redefined the context domain (every refresh then restarts the viewer).
    std::string requested_context_name;
    int context_redefined = 0;
};
extern ViewerWindows viewer_windows;

// The widgets and values go by their own names.
inline GtkWidget*& domain_frame = viewer_windows.domain_frame;
inline GtkWidget*& view_button = viewer_windows.view_button;
inline GtkWidget*& properties_button = viewer_windows.properties_button;
inline GtkWidget*& context_button = viewer_windows.context_button;
inline GtkWidget*& domains_window = viewer_windows.domains_window;
inline GtkWidget*& domain_clist = viewer_windows.domain_clist;
inline GtkWidget*& colour_dialog = viewer_windows.colour_dialog;
inline int& dialog_row = viewer_windows.dialog_row;
inline GdkColor& current_colour = viewer_windows.current_colour;
inline GtkWidget*& rep_frame = viewer_windows.rep_frame;
inline GtkWidget*& rep_canvas = viewer_windows.rep_canvas;
inline GdkPixmap*& rep_pixmap = viewer_windows.rep_pixmap;
inline GdkGC*& rep_gc = viewer_windows.rep_gc;
inline int& axes_width = viewer_windows.axes_width;
inline int& axes_height = viewer_windows.axes_height;
inline GtkWidget*& context_window = viewer_windows.context_window;
inline std::vector<GtkWidget*>& panel_item = viewer_windows.panel_item;
inline GtkWidget*& figure_chooser = viewer_windows.figure_chooser;
inline GtkWidget*& figure_error_dialog = viewer_windows.figure_error_dialog;
inline std::string& requested_context_name = viewer_windows.requested_context_name;
inline int& context_redefined = viewer_windows.context_redefined;
