// The viewer's shared drawing resources: the off-screen image of the domain
// canvas with its domain GC (remade at every size change), the white and
// blue GCs and the label font (made once), and the windows' icon files.
#include "gui/resources.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

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

// The installed data folder: share/qarnest beside the executable's bin/
// folder, so that a relocated or unpacked install finds it too.
std::filesystem::path installed_data_folder() {
    std::error_code error;
    std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return {};
    return executable.parent_path() / ".." / "share" / "qarnest";
}

// The window owns its icon: the pixmaps go with it, so that the windows
// rebuilt at every restart do not pile up pixmaps in the X server.
void give_to_window(GtkWidget* window, const char* key, gpointer pixmap) {
    g_object_set_data_full(G_OBJECT(window), key, pixmap, g_object_unref);
}

}  // namespace

std::vector<std::string> icon_file_candidates(const char* file) {
    std::vector<std::string> candidates{file};
    std::filesystem::path folder = installed_data_folder();
    if (!folder.empty()) candidates.push_back((folder / file).string());
    return candidates;
}

void set_icon_from_file(GtkWidget* window, const char* file) {
    for (const std::string& path : icon_file_candidates(file)) {
        GdkBitmap* mask = nullptr;
        GdkPixmap* icon = gdk_pixmap_create_from_xpm(window->window, &mask, &window->style->bg[GTK_STATE_NORMAL],
                                                     path.c_str());
        if (!icon) continue;
        gdk_window_set_icon(window->window, nullptr, icon, mask);
        give_to_window(window, "icon_pixmap", icon);
        if (mask) give_to_window(window, "icon_mask", mask);
        return;
    }
}

void make_canvas_image(Viewer& viewer) {
    if (!viewer.drawing.domain_canvas || !viewer.drawing.domain_canvas->window) return;
    const int width = viewer.drawing.domain_canvas->allocation.width;
    const int height = viewer.drawing.domain_canvas->allocation.height;
    if (viewer.drawing.domain_pixmap) g_object_unref(viewer.drawing.domain_pixmap);
    viewer.drawing.domain_pixmap = gdk_pixmap_new(viewer.drawing.domain_canvas->window, width, height, -1);
    // The previous domain GC belongs to no one once it is replaced.
    if (viewer.drawing.domain_gc) g_object_unref(viewer.drawing.domain_gc);
    viewer.drawing.domain_gc = coloured_gc(viewer.drawing.domain_canvas->window, 0, 0, 0);
    viewer.projection.canvas_width = width;
    viewer.projection.canvas_height = height;
    gdk_draw_rectangle(viewer.drawing.domain_pixmap, viewer.drawing.domain_canvas->style->white_gc, TRUE, 0, 0, width,
                       height);
}

void load_visu_resources(Viewer& viewer) {
    GdkDrawable* target =
        viewer.drawing.domain_pixmap ? GDK_DRAWABLE(viewer.drawing.domain_pixmap) : gdk_get_default_root_window();
    if (!viewer.drawing.white_gc) viewer.drawing.white_gc = coloured_gc(target, 65535, 65535, 65535);
    if (!viewer.drawing.blue_gc) viewer.drawing.blue_gc = coloured_gc(target, 0, 0, 65535);
    if (viewer.drawing.label_font) return;
    viewer.drawing.label_font = gdk_font_load(primary_font);
    if (!viewer.drawing.label_font) {
        std::fputs("NULL font, trying another\n", stderr);
        viewer.drawing.label_font = gdk_font_load(fallback_font);
    }
}

void copy_exposed_area(GtkWidget* widget, GdkPixmap* image, const GdkEventExpose* event) {
    if (!image) return;
    gdk_draw_drawable(widget->window, widget->style->fg_gc[gtk_widget_get_state(widget)], image, event->area.x,
                      event->area.y, event->area.x, event->area.y, event->area.width, event->area.height);
}
