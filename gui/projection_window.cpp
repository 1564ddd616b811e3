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

gboolean on_projection_close(GtkWidget*, GdkEvent*, gpointer data) {
    return release_projection_toggle(&windows_of(data));
}
void on_projection_destroy(GtkObject*, gpointer data) { release_projection_toggle(&windows_of(data)); }

void widen_flat_bounds(float& largest, float& smallest) {
    if (largest == smallest) {
        largest = largest + 1;
        smallest = smallest - 1;
    }
}

// Plane point of a pixel of the axis canvas, with the bounds of the last drawing.
PlanePoint axes_plane_point(ViewerWindows& viewer_windows, int px, int py) {
    Viewer& viewer = viewer_windows.viewer;
    float xmin = viewer.projection.axes_bounds[2], xmax = viewer.projection.axes_bounds[0],
          ymin = viewer.projection.axes_bounds[3], ymax = viewer.projection.axes_bounds[1];
    float x =
        xmin + (xmax - xmin) * (static_cast<float>(px - axes_margin) / static_cast<float>(viewer_windows.axes_width));
    float y = ymin + (ymax - ymin) * (static_cast<float>(viewer_windows.axes_height + axes_margin - py) /
                                      static_cast<float>(viewer_windows.axes_height));
    return {x, y};
}

int nearest_axis(ViewerWindows& viewer_windows, PlanePoint p) {
    Viewer& viewer = viewer_windows.viewer;
    int best = 0;
    float best_distance = 0;
    for (int k = 0; k < viewer.state.DimNP; ++k) {
        float dx = viewer.projection.ProjectionAxes[k][0] - p.x, dy = viewer.projection.ProjectionAxes[k][1] - p.y;
        float distance = dx * dx + dy * dy;
        if (k == 0 || distance < best_distance) {
            best = k;
            best_distance = distance;
        }
    }
    return best;
}

}  // namespace

GtkWidget* create_projection_window(ViewerWindows& viewer_windows) {
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    g_object_set_data(G_OBJECT(window), "rep_frame", window);
    gtk_window_set_title(GTK_WINDOW(window), "Projection");
    gtk_window_set_policy(GTK_WINDOW(window), TRUE, TRUE, FALSE);
    viewer_windows.rep_canvas = gtk_drawing_area_new();
    g_object_set_data(G_OBJECT(window), "rep_canvas", viewer_windows.rep_canvas);
    gtk_widget_show(viewer_windows.rep_canvas);
    gtk_container_add(GTK_CONTAINER(window), viewer_windows.rep_canvas);
    gtk_widget_set_size_request(viewer_windows.rep_canvas, 200, 180);
    gtk_widget_set_events(viewer_windows.rep_canvas, projection_event_mask);
    gtk_widget_realize(window);
    set_icon_from_file(window, "repere_icon.xpm");
    g_signal_connect(viewer_windows.rep_canvas, "configure_event", G_CALLBACK(rep_canvas_configure), &viewer_windows);
    g_signal_connect(viewer_windows.rep_canvas, "expose_event", G_CALLBACK(rep_canvas_expose), &viewer_windows);
    g_signal_connect(viewer_windows.rep_canvas, "motion_notify_event", G_CALLBACK(rep_canvas_motion), &viewer_windows);
    g_signal_connect(window, "delete_event", G_CALLBACK(on_projection_close), &viewer_windows);
    g_signal_connect(window, "destroy", G_CALLBACK(on_projection_destroy), &viewer_windows);
    return window;
}

gboolean rep_canvas_configure(GtkWidget* widget, GdkEventConfigure*, gpointer data) {
    ViewerWindows& viewer_windows = windows_of(data);
    if (viewer_windows.rep_pixmap) g_object_unref(viewer_windows.rep_pixmap);
    viewer_windows.rep_pixmap = gdk_pixmap_new(widget->window, widget->allocation.width, widget->allocation.height, -1);
    GdkColor black = {0, 0, 0, 0};
    gdk_colormap_alloc_color(gdk_colormap_get_system(), &black, FALSE, TRUE);
    if (viewer_windows.rep_gc) g_object_unref(viewer_windows.rep_gc);
    viewer_windows.rep_gc = gdk_gc_new(widget->window);
    gdk_gc_set_foreground(viewer_windows.rep_gc, &black);
    gdk_draw_rectangle(viewer_windows.rep_pixmap, widget->style->white_gc, TRUE, 0, 0, widget->allocation.width,
                       widget->allocation.height);
    draw_axes(viewer_windows, viewer_windows.rep_pixmap);
    return TRUE;
}

gboolean rep_canvas_expose(GtkWidget* widget, GdkEventExpose* event, gpointer data) {
    copy_exposed_area(widget, windows_of(data).rep_pixmap, event);
    return FALSE;
}

void draw_axes(ViewerWindows& viewer_windows, GdkPixmap* pixmap) {
    Viewer& viewer = viewer_windows.viewer;
    int width = viewer_windows.rep_canvas->allocation.width, height = viewer_windows.rep_canvas->allocation.height;
    if (viewer.drawing.white_gc) gdk_draw_rectangle(pixmap, viewer.drawing.white_gc, TRUE, 0, 0, width, height);
    viewer_windows.axes_width = width - 2 * axes_margin;
    viewer_windows.axes_height = height - 2 * axes_margin;
    widen_flat_bounds(viewer.projection.axes_bounds[0], viewer.projection.axes_bounds[2]);
    widen_flat_bounds(viewer.projection.axes_bounds[1], viewer.projection.axes_bounds[3]);
    if ((viewer.projection.canvas_width - 60) * viewer_windows.axes_height <= 0 ||
        (viewer.projection.canvas_height - 60) * viewer_windows.axes_width <= 0)
        return;

    float xmin = viewer.projection.axes_bounds[2], xmax = viewer.projection.axes_bounds[0],
          ymin = viewer.projection.axes_bounds[3], ymax = viewer.projection.axes_bounds[1];
    float w = static_cast<float>(viewer_windows.axes_width), h = static_cast<float>(viewer_windows.axes_height);
    int ox = static_cast<int>(20 - w * (xmin / (xmax - xmin)));
    int oy = static_cast<int>((h + 20) + h * (ymin / (ymax - ymin)));
    for (int k = 0; k < viewer.state.DimNP; ++k) {
        float ax = viewer.projection.ProjectionAxes[k][0], ay = viewer.projection.ProjectionAxes[k][1];
        int ex = static_cast<int>(w * ((ax - xmin) / (xmax - xmin)) + 20);
        int ey = static_cast<int>((h + 20) - h * ((ay - ymin) / (ymax - ymin)));
        gdk_draw_line(pixmap, viewer_windows.rep_gc, ox, oy, ex, ey);
        char letter[2] = {static_cast<char>('i' + k), '\0'};
        if (viewer.drawing.label_font)
            gdk_draw_string(pixmap, viewer.drawing.label_font, viewer_windows.rep_gc, ex + 7, ey - 3, letter);
    }
    gtk_widget_queue_draw_area(viewer_windows.rep_canvas, 0, 0, width, height);
    if (viewer_windows.rep_canvas->window) gdk_window_process_updates(viewer_windows.rep_canvas->window, FALSE);
}

gboolean rep_canvas_motion(GtkWidget*, GdkEventMotion* event, gpointer data) {
    ViewerWindows& viewer_windows = windows_of(data);
    Viewer& viewer = viewer_windows.viewer;
    int px, py;
    GdkModifierType state;
    if (event->is_hint) {
        gdk_window_get_pointer(event->window, &px, &py, &state);
    } else {
        px = static_cast<int>(event->x);
        py = static_cast<int>(event->y);
        state = static_cast<GdkModifierType>(event->state);
    }
    if (viewer_windows.rep_pixmap && (state & GDK_BUTTON1_MASK)) {
        PlanePoint p = axes_plane_point(viewer_windows, px, py);
        int axis = nearest_axis(viewer_windows, p);
        viewer.projection.ProjectionAxes[axis][0] = p.x;
        viewer.projection.ProjectionAxes[axis][1] = p.y;
        draw_axes(viewer_windows, viewer_windows.rep_pixmap);
        DomainLock lock;
        redraw_domains(viewer, viewer.drawing.domain_pixmap);
    } else {
        update_axes_bounds(viewer);
        if (viewer_windows.rep_pixmap) draw_axes(viewer_windows, viewer_windows.rep_pixmap);
    }
    return FALSE;
}
