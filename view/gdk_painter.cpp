// The canvas painter: GDK and Xlib calls on the off-screen image.
#include "view/gdk_painter.h"

#include "view/rendering.h"

// Xlib's True, False and Bool macros must come after PolyLib's enum of those names.
#include <gdk/gdkx.h>
#include <X11/keysym.h>

namespace {

constexpr int line_gc_capacity = 16;

// Centres farther out than this cannot touch any canvas, and their
// rectangles would not fit X's 16-bit coordinates.
constexpr int marker_reach = 16384;

bool within_reach(CanvasPoint c) {
    return c.column > -marker_reach && c.column < marker_reach && c.row > -marker_reach && c.row < marker_reach;
}

void fill_rectangles(GdkDrawable* drawable, GdkGC* gc, std::vector<XRectangle>& rectangles) {
    if (rectangles.empty()) return;
    XFillRectangles(GDK_DRAWABLE_XDISPLAY(drawable), GDK_DRAWABLE_XID(drawable), gdk_x11_gc_get_xgc(gc),
                    rectangles.data(), static_cast<int>(rectangles.size()));
    rectangles.clear();
}

// Bounded, so that a huge batch costs no more memory than a small one.
constexpr std::size_t rectangles_per_request = 4096;

}  // namespace

GdkGC* GcCache::get(GdkDrawable* drawable, const GdkColor& colour) {
    const int depth = gdk_drawable_get_depth(drawable);
    GdkScreen* screen = gdk_drawable_get_screen(drawable);
    if (depth != depth_ || screen != screen_) {
        release();
        depth_ = depth;
        screen_ = screen;
    }
    for (Entry& entry : entries_)
        if (entry.red == colour.red && entry.green == colour.green && entry.blue == colour.blue) return entry.gc;
    if (static_cast<int>(entries_.size()) >= capacity_) {
        release_entry(entries_.front());
        entries_.erase(entries_.begin());
    }
    Entry entry{colour.red, colour.green, colour.blue, colour, nullptr};
    gdk_colormap_alloc_color(gdk_colormap_get_system(), &entry.allocated, FALSE, TRUE);
    entry.gc = gdk_gc_new(drawable);
    gdk_gc_set_foreground(entry.gc, &entry.allocated);
    entries_.push_back(entry);
    return entry.gc;
}

void GcCache::release() {
    for (Entry& entry : entries_) release_entry(entry);
    entries_.clear();
}

void GcCache::release_entry(Entry& entry) {
    g_object_unref(entry.gc);
    gdk_colormap_free_colors(gdk_colormap_get_system(), &entry.allocated, 1);
}

GcCache& point_gc_cache() {
    static GcCache cache(point_gc_capacity);
    return cache;
}

GcCache& line_gc_cache() {
    static GcCache cache(line_gc_capacity);
    return cache;
}

GdkPainter::GdkPainter(GdkDrawable* drawable, GdkFont* label_font) : drawable_(drawable), font_(label_font) {}

void GdkPainter::clear(int width, int height) {
    const GdkColor white = {0, 65535, 65535, 65535};
    gdk_draw_rectangle(drawable_, line_gc_cache().get(drawable_, white), TRUE, 0, 0, width, height);
}

void GdkPainter::line(const GdkColor& colour, CanvasPoint from, CanvasPoint to) {
    gdk_draw_line(drawable_, line_gc_cache().get(drawable_, colour), from.column, from.row, to.column, to.row);
}

void GdkPainter::polyline(const GdkColor& colour, const CanvasPoint* points, int count) {
    std::vector<GdkPoint> gdk_points;
    gdk_points.reserve(static_cast<std::size_t>(count));
    for (int k = 0; k < count; ++k) gdk_points.push_back(GdkPoint{points[k].column, points[k].row});
    gdk_draw_lines(drawable_, line_gc_cache().get(drawable_, colour), gdk_points.data(), count);
}

// The marker's pixels as two overlapping filled rectangles: the 7 x 5 band
// across and the 5 x 7 band down.
void GdkPainter::markers(const GdkColor& colour, const CanvasPoint* centres, int count) {
    GdkGC* gc = point_gc_cache().get(drawable_, colour);
    std::vector<XRectangle> rectangles;
    rectangles.reserve(std::min(rectangles_per_request, 2 * static_cast<std::size_t>(count)));
    for (int k = 0; k < count; ++k) {
        const CanvasPoint c = centres[k];
        if (!within_reach(c)) continue;
        rectangles.push_back(XRectangle{static_cast<short>(c.column - 3), static_cast<short>(c.row - 2), 7, 5});
        rectangles.push_back(XRectangle{static_cast<short>(c.column - 2), static_cast<short>(c.row - 3), 5, 7});
        if (rectangles.size() >= rectangles_per_request) fill_rectangles(drawable_, gc, rectangles);
    }
    fill_rectangles(drawable_, gc, rectangles);
}

void GdkPainter::spans(const GdkColor& colour, const PixelSpan* spans, int count) {
    GdkGC* gc = point_gc_cache().get(drawable_, colour);
    std::vector<XRectangle> rectangles;
    rectangles.reserve(std::min(rectangles_per_request, static_cast<std::size_t>(count)));
    for (int k = 0; k < count; ++k) {
        const PixelSpan& s = spans[k];
        if (s.length <= 0 || !within_reach({s.x, s.y}) || !within_reach({s.x + s.length, s.y})) continue;
        rectangles.push_back(XRectangle{static_cast<short>(s.x), static_cast<short>(s.y),
                                        static_cast<unsigned short>(s.length), 1});
        if (rectangles.size() >= rectangles_per_request) fill_rectangles(drawable_, gc, rectangles);
    }
    fill_rectangles(drawable_, gc, rectangles);
}

void GdkPainter::label(const GdkColor& colour, int x, int y, const std::string& text) {
    if (!font_) return;
    gdk_draw_string(drawable_, font_, line_gc_cache().get(drawable_, colour), x, y, text.c_str());
}

namespace {

Bool is_escape_press(Display*, XEvent* event, XPointer) {
    return event->type == KeyPress && XLookupKeysym(&event->xkey, 0) == XK_Escape;
}

}  // namespace

bool escape_pressed(GdkDrawable* drawable) {
    XEvent event;
    return XCheckIfEvent(GDK_DRAWABLE_XDISPLAY(drawable), &event, is_escape_press, nullptr);
}
