// The Visualisation window: the domain canvas, the Quit button and the three
// toggles that show or hide the Projection, Domains and Context windows.
#pragma once

#include <gtk/gtk.h>

#include "gui/viewer_windows.h"

// Builds the window hidden; stores and returns domain_frame.
GtkWidget* create_visu_window(ViewerWindows& viewer_windows);

// Hides every viewer window. The viewer goes on: initvisu and visu show it
// again (the GUI loop ends only with the calculator).
void visu_quit(ViewerWindows& viewer_windows);
// Shows the Visualisation window again after the user quit it.
void show_visu_window_again(ViewerWindows& viewer_windows);

// The toggles' handlers take the windows as their user data.
void toggle_projection_window(ViewerWindows* viewer_windows);
void toggle_domains_window(ViewerWindows* viewer_windows);
void toggle_context_window(ViewerWindows* viewer_windows);

// Close requests of the auxiliary windows: release the toggle, which hides the
// window; TRUE keeps the window from being destroyed by the request.
gboolean release_projection_toggle(ViewerWindows* viewer_windows);
gboolean release_domains_toggle(ViewerWindows* viewer_windows);
gboolean release_context_toggle(ViewerWindows* viewer_windows);

// The canvas's handlers; `data` is the ViewerWindows.

gboolean domain_canvas_expose(GtkWidget* widget, GdkEventExpose* event, gpointer data);
gboolean domain_canvas_configure(GtkWidget* widget, GdkEventConfigure* event, gpointer data);
gboolean domain_canvas_press(GtkWidget* widget, GdkEventButton* event, gpointer data);

// A stock Quit button packed at the end of a button box; its click releases
// the window's toggle.
void add_release_button(GtkWidget* box, guint padding, ViewerWindows& viewer_windows,
                        gboolean (*release)(ViewerWindows*));
