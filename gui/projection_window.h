// The Projection window: the axis vectors of the shown dimensions, whose end
// points are dragged with mouse button 1 to change the projection.
#pragma once

#include <gtk/gtk.h>

#include "gui/viewer_windows.h"

// Builds the window hidden; the caller stores it in rep_frame.
GtkWidget* create_projection_window(ViewerWindows& viewer_windows);
void draw_axes(ViewerWindows& viewer_windows, GdkPixmap* pixmap);

gboolean rep_canvas_configure(GtkWidget* widget, GdkEventConfigure* event, gpointer data);
gboolean rep_canvas_expose(GtkWidget* widget, GdkEventExpose* event, gpointer data);
gboolean rep_canvas_motion(GtkWidget* widget, GdkEventMotion* event, gpointer data);
