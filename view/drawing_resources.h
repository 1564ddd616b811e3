// The drawing resources the picture is drawn with: the domain canvas, its
// off-screen image, the drawing contexts and the label font. The windows
// create and release them; the view only draws with them.
#pragma once

#include <gtk/gtk.h>

extern GtkWidget* domain_canvas;
extern GdkPixmap* domain_pixmap;
extern GdkGC* domain_gc;
extern GdkGC* white_gc;
extern GdkGC* blue_gc;
extern GdkFont* label_font;
