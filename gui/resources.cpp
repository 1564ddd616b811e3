// The viewer's shared drawing resources: the off-screen image of the domain
// canvas with its domain GC (remade at every size change), the white and
// blue GCs and the label font (made once).
#include "gui/resources.h"

#include <cstdio>

#include "view/projection.h"

namespace {

const char* const primary_font = "-adobe-helvetica-medium-r-normal--*-120-*-*-*-*-*-*";
const char* const fallback_font = "-adobe-helvetica-*-120-*-*-*-*-*-*";

// A GC for `drawable` drawing in the given colour, allocated in the system
// colour map (a failed allocation goes unreported, as the GC still works).
GdkGC* coloured_gc(GdkDrawable* drawable, guint16 red, guint16 green, guint16 blue) {
    GdkColor colour = {0, red, green, blue};
    gdk_colormap_alloc_color(gdk_colormap_get_system(), &colour, FALSE, TRUE);
    GdkGC* gc = gdk_gc_new(drawable);
    gdk_gc_set_foreground(gc, &colour);
    return gc;
}

}  // namespace

void make_canvas_image() {
    if (!domain_canvas || !domain_canvas->window) return;
    const int width = domain_canvas->allocation.width;
    const int height = domain_canvas->allocation.height;
    if (domain_pixmap) g_object_unref(domain_pixmap);
    domain_pixmap = gdk_pixmap_new(domain_canvas->window, width, height, -1);
    // The previous domain GC belongs to no one once it is replaced.
    if (domain_gc) g_object_unref(domain_gc);
    domain_gc = coloured_gc(domain_canvas->window, 0, 0, 0);
    canvas_width = width;
    canvas_height = height;
    gdk_draw_rectangle(domain_pixmap, domain_canvas->style->white_gc, TRUE, 0, 0, width, height);
}

void load_visu_resources() {
    GdkDrawable* target = domain_pixmap ? GDK_DRAWABLE(domain_pixmap) : gdk_get_default_root_window();
    if (!white_gc) white_gc = coloured_gc(target, 65535, 65535, 65535);
    if (!blue_gc) blue_gc = coloured_gc(target, 0, 0, 65535);
    if (label_font) return;
    label_font = gdk_font_load(primary_font);
    if (!label_font) {
        std::fputs("NULL font, trying another\n", stderr);
        label_font = gdk_font_load(fallback_font);
    }
}

void copy_exposed_area(GtkWidget* widget, GdkPixmap* image, const GdkEventExpose* event) {
    if (!image) return;
    gdk_draw_drawable(widget->window, widget->style->fg_gc[gtk_widget_get_state(widget)], image, event->area.x,
                      event->area.y, event->area.x, event->area.y, event->area.width, event->area.height);
}
