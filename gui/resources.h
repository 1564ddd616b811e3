// Drawing resources shared by the viewer: the domain canvas, its off-screen
// image, the drawing contexts and the label font.
#pragma once

#include <gtk/gtk.h>

extern GtkWidget* domain_canvas;
extern GdkPixmap* domain_pixmap;
extern GdkGC* domain_gc;
extern GdkGC* white_gc;
extern GdkGC* blue_gc;
extern GdkFont* label_font;

// At every size change of domain_canvas: new image and domain_gc, size recorded.
void make_canvas_image();
// First start only, after the Visualisation window has been shown.
void load_visu_resources();

// An expose handler's work: the exposed rectangle copied from the off-screen
// image to the same place of the widget's window.
void copy_exposed_area(GtkWidget* widget, GdkPixmap* image, const GdkEventExpose* event);
