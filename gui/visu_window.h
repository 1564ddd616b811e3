// The Visualisation window: the domain canvas, the Quit button and the three
// toggles that show or hide the Projection, Domains and Context windows.
#pragma once

#include <gtk/gtk.h>

#include "gui/viewer_windows.h"

// Builds the window hidden; stores and returns domain_frame.
GtkWidget* create_visu_window();

// Hides every viewer window. The viewer goes on: initvisu and visu show it
// again (the GUI loop ends only with the calculator).
void visu_quit();
// Shows the Visualisation window again after the user quit it.
void show_visu_window_again();

void toggle_projection_window();
void toggle_domains_window();
void toggle_context_window();

// Close requests of the auxiliary windows: release the toggle, which hides the
// window; TRUE keeps the window from being destroyed by the request.
gboolean release_projection_toggle();
gboolean release_domains_toggle();
gboolean release_context_toggle();

gboolean domain_canvas_expose(GtkWidget* widget, GdkEventExpose* event, gpointer data);
gboolean domain_canvas_configure(GtkWidget* widget, GdkEventConfigure* event, gpointer data);
gboolean domain_canvas_press(GtkWidget* widget, GdkEventButton* event, gpointer data);

// A stock Quit button packed at the end of a button box; its click releases
// the window's toggle.
void add_release_button(GtkWidget* box, guint padding, GtkWidget* window, gboolean (*release)());
