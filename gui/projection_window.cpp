// The Projection window: axis drawing with a 20-pixel margin, and the drag of
// the axis end nearest to the pointer.
#include "gui/projection_window.h"

#include "base/locks.h"
#include "gui/resources.h"
#include "gui/visu_window.h"
#include "view/projection.h"
#include "view/rendering.h"


namespace {

constexpr int axes_margin = 20;
constexpr int projection_event_mask = GDK_EXPOSURE_MASK | GDK_POINTER_MOTION_MASK | GDK_POINTER_MOTION_HINT_MASK |
                                      GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK;

gboolean on_projection_close(GtkWidget*, GdkEvent*, gpointer) { return release_projection_toggle(); }
void on_projection_destroy(GtkObject*, gpointer) { release_projection_toggle(); }

void widen_flat_bounds(float& largest, float& smallest) {
    if (largest == smallest) {
        largest = largest + 1;
        smallest = smallest - 1;
    }
}

// Plane point of a pixel of the axis canvas, with the bounds of the last drawing.
PlanePoint axes_plane_point(int px, int py) {
    float xmin = axes_bounds[2], xmax = axes_bounds[0], ymin = axes_bounds[3], ymax = axes_bounds[1];
    float x = xmin + (xmax - xmin) * (static_cast<float>(px - axes_margin) / static_cast<float>(axes_width));
    float y = ymin + (ymax - ymin) *
                         (static_cast<float>(axes_height + axes_margin - py) / static_cast<float>(axes_height));
    return {x, y};
}

int nearest_axis(PlanePoint p) {
    int best = 0;
    float best_distance = 0;
    for (int k = 0; k < DimNP; ++k) {
        float dx = ProjectionAxes[k][0] - p.x, dy = ProjectionAxes[k][1] - p.y;
        float distance = dx * dx + dy * dy;
        if (k == 0 || distance < best_distance) {
            best = k;
            best_distance = distance;
        }
    }
    return best;
}

}  // namespace

GtkWidget* create_projection_window() {
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    g_object_set_data(G_OBJECT(window), "rep_frame", window);
    gtk_window_set_title(GTK_WINDOW(window), "Projection");
    gtk_window_set_policy(GTK_WINDOW(window), TRUE, TRUE, FALSE);
    rep_canvas = gtk_drawing_area_new();
    g_object_set_data(G_OBJECT(window), "rep_canvas", rep_canvas);
    gtk_widget_show(rep_canvas);
    gtk_container_add(GTK_CONTAINER(window), rep_canvas);
    gtk_widget_set_size_request(rep_canvas, 200, 180);
    gtk_widget_set_events(rep_canvas, projection_event_mask);
    gtk_widget_realize(window);
    set_icon_from_file(window, "repere_icon.xpm");
    g_signal_connect(rep_canvas, "configure_event", G_CALLBACK(rep_canvas_configure), nullptr);
    g_signal_connect(rep_canvas, "expose_event", G_CALLBACK(rep_canvas_expose), nullptr);
    g_signal_connect(rep_canvas, "motion_notify_event", G_CALLBACK(rep_canvas_motion), nullptr);
    g_signal_connect(window, "delete_event", G_CALLBACK(on_projection_close), nullptr);
    g_signal_connect(window, "destroy", G_CALLBACK(on_projection_destroy), nullptr);
    return window;
}

gboolean rep_canvas_configure(GtkWidget* widget, GdkEventConfigure*, gpointer) {
    if (rep_pixmap) g_object_unref(rep_pixmap);
    rep_pixmap = gdk_pixmap_new(widget->window, widget->allocation.width, widget->allocation.height, -1);
    GdkColor black = {0, 0, 0, 0};
    gdk_colormap_alloc_color(gdk_colormap_get_system(), &black, FALSE, TRUE);
    if (rep_gc) g_object_unref(rep_gc);
    rep_gc = gdk_gc_new(widget->window);
    gdk_gc_set_foreground(rep_gc, &black);
    gdk_draw_rectangle(rep_pixmap, widget->style->white_gc, TRUE, 0, 0, widget->allocation.width,
                       widget->allocation.height);
    draw_axes(rep_pixmap);
    return TRUE;
}

gboolean rep_canvas_expose(GtkWidget* widget, GdkEventExpose* event, gpointer) {
    copy_exposed_area(widget, rep_pixmap, event);
    return FALSE;
}

void draw_axes(GdkPixmap* pixmap) {
    int width = rep_canvas->allocation.width, height = rep_canvas->allocation.height;
    if (white_gc) gdk_draw_rectangle(pixmap, white_gc, TRUE, 0, 0, width, height);
    axes_width = width - 2 * axes_margin;
    axes_height = height - 2 * axes_margin;
    widen_flat_bounds(axes_bounds[0], axes_bounds[2]);
    widen_flat_bounds(axes_bounds[1], axes_bounds[3]);
    if ((canvas_width - 60) * axes_height <= 0 || (canvas_height - 60) * axes_width <= 0) return;

    float xmin = axes_bounds[2], xmax = axes_bounds[0], ymin = axes_bounds[3], ymax = axes_bounds[1];
    float w = static_cast<float>(axes_width), h = static_cast<float>(axes_height);
    int ox = static_cast<int>(20 - w * (xmin / (xmax - xmin)));
    int oy = static_cast<int>((h + 20) + h * (ymin / (ymax - ymin)));
    for (int k = 0; k < DimNP; ++k) {
        float ax = ProjectionAxes[k][0], ay = ProjectionAxes[k][1];
        int ex = static_cast<int>(w * ((ax - xmin) / (xmax - xmin)) + 20);
        int ey = static_cast<int>((h + 20) - h * ((ay - ymin) / (ymax - ymin)));
        gdk_draw_line(pixmap, rep_gc, ox, oy, ex, ey);
        char letter[2] = {static_cast<char>('i' + k), '\0'};
        if (label_font) gdk_draw_string(pixmap, label_font, rep_gc, ex + 7, ey - 3, letter);
    }
    gtk_widget_queue_draw_area(rep_canvas, 0, 0, width, height);
    if (rep_canvas->window) gdk_window_process_updates(rep_canvas->window, FALSE);
}

gboolean rep_canvas_motion(GtkWidget*, GdkEventMotion* event, gpointer) {
    int px, py;
    GdkModifierType state;
    if (event->is_hint) {
        gdk_window_get_pointer(event->window, &px, &py, &state);
    } else {
        px = static_cast<int>(event->x);
        py = static_cast<int>(event->y);
        state = static_cast<GdkModifierType>(event->state);
    }
    if (rep_pixmap && (state & GDK_BUTTON1_MASK)) {
        PlanePoint p = axes_plane_point(px, py);
        int axis = nearest_axis(p);
        ProjectionAxes[axis][0] = p.x;
        ProjectionAxes[axis][1] = p.y;
        draw_axes(rep_pixmap);
        DomainLock lock;
        redraw_domains(domain_pixmap);
    } else {
        update_axes_bounds();
        if (rep_pixmap) draw_axes(rep_pixmap);
    }
    return FALSE;
}
