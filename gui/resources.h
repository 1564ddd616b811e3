// Making and releasing the drawing resources of the viewer (declared with the
// view, which draws with them).
#pragma once

#include <gtk/gtk.h>

#include "view/drawing_resources.h"

// At every size change of domain_canvas: new image and domain_gc, size recorded.
void make_canvas_image();
// First start only, after the Visualisation window has been shown.
void load_visu_resources();

// An expose handler's work: the exposed rectangle copied from the off-screen
// image to the same place of the widget's window.
void copy_exposed_area(GtkWidget* widget, GdkPixmap* image, const GdkEventExpose* event);
