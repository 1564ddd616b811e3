// The drawing resources, absent until the Visualisation window makes them.
#include "view/drawing_resources.h"

GtkWidget* domain_canvas = nullptr;
GdkPixmap* domain_pixmap = nullptr;
GdkGC* domain_gc = nullptr;
GdkGC* white_gc = nullptr;
GdkGC* blue_gc = nullptr;
GdkFont* label_font = nullptr;
