// The drawing resources the picture is drawn with: the domain canvas, its
// off-screen image, the drawing contexts and the label font. The windows
// create and release them; the view only draws with them.
#pragma once

#include <gtk/gtk.h>

struct DrawingResources {
    GtkWidget* domain_canvas = nullptr;
    GdkPixmap* domain_pixmap = nullptr;
    GdkGC* domain_gc = nullptr;
    GdkGC* white_gc = nullptr;
    GdkGC* blue_gc = nullptr;
    GdkFont* label_font = nullptr;
};

#include "view/viewer.h"
