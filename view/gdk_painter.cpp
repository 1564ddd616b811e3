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

// The canvas painters' contexts by colour, and the map of one deferring
// painter kept for the next (its buffers are the size of the canvas).
// Painters live under the GDK lock.
struct PainterCaches {
    GcCache points{point_gc_capacity};
    GcCache lines{line_gc_capacity};
    std::unique_ptr<FillRaster> spare_raster;
};

namespace {

PainterCaches& painter_caches(Viewer& viewer) {
    if (!viewer.painter_caches) viewer.painter_caches = new PainterCaches;
    return *viewer.painter_caches;
}

}  // namespace

void delete_cache(PainterCaches* cache) { delete cache; }

GcCache& point_gc_cache(Viewer& viewer) { return painter_caches(viewer).points; }

GcCache& line_gc_cache(Viewer& viewer) { return painter_caches(viewer).lines; }

GdkPainter::GdkPainter(Viewer& viewer, GdkDrawable* drawable, GdkFont* label_font)
    : caches_(painter_caches(viewer)), drawable_(drawable), font_(label_font) {}

GdkPainter::~GdkPainter() {
    if (!deferred_) return;
    send_deferred_fills();
    if (!caches_.spare_raster) caches_.spare_raster = std::move(deferred_);
}

// A deferred marker is seven short row writes, about what a cover spends on
// eight pixels of the box its markers reach: worth it only where markers
// crowd several to a pixel's neighbourhood.
bool GdkPainter::cover_worth_it(int markers, int width, int height) const {
    if (!deferred_) return Painter::cover_worth_it(markers, width, height);
    return (static_cast<double>(width) + 6) * (static_cast<double>(height) + 6) <= 8.0 * static_cast<double>(markers);
}

void GdkPainter::defer_fills() {
    if (deferred_) return;
    deferred_ = std::move(caches_.spare_raster);
    if (!deferred_) deferred_ = std::make_unique<FillRaster>();
    int width = 0, height = 0;
    gdk_drawable_get_size(drawable_, &width, &height);
    if (width != deferred_->width() || height != deferred_->height()) deferred_->reset(width, height);
}

int GdkPainter::deferred_index(const GdkColor& colour) {
    int index = deferred_->colour_index(colour);
    if (index == 0) {
        send_deferred_fills();
        index = deferred_->colour_index(colour);
    }
    return index;
}

void GdkPainter::send_deferred_fills() {
    if (!deferred_ || deferred_->empty()) return;
    std::vector<XRectangle> rectangles;
    deferred_->drain([&](const GdkColor& colour, const std::vector<FillRectangle>& cover) {
        GdkGC* gc = caches_.points.get(drawable_, colour);
        for (const FillRectangle& r : cover) {
            rectangles.push_back(XRectangle{static_cast<short>(r.x), static_cast<short>(r.y),
                                            static_cast<unsigned short>(r.width), static_cast<unsigned short>(r.height)});
            if (rectangles.size() >= rectangles_per_request) fill_rectangles(drawable_, gc, rectangles);
        }
        fill_rectangles(drawable_, gc, rectangles);
    });
}

void GdkPainter::clear(int width, int height) {
    send_deferred_fills();
    const GdkColor white = {0, 65535, 65535, 65535};
    gdk_draw_rectangle(drawable_, caches_.lines.get(drawable_, white), TRUE, 0, 0, width, height);
}

void GdkPainter::line(const GdkColor& colour, CanvasPoint from, CanvasPoint to) {
    send_deferred_fills();
    gdk_draw_line(drawable_, caches_.lines.get(drawable_, colour), from.column, from.row, to.column, to.row);
}

void GdkPainter::polyline(const GdkColor& colour, const CanvasPoint* points, int count) {
    send_deferred_fills();
    std::vector<GdkPoint> gdk_points;
    gdk_points.reserve(static_cast<std::size_t>(count));
    for (int k = 0; k < count; ++k) gdk_points.push_back(GdkPoint{points[k].column, points[k].row});
    gdk_draw_lines(drawable_, caches_.lines.get(drawable_, colour), gdk_points.data(), count);
}

// The marker's pixels as two overlapping filled rectangles: the 7 x 5 band
// across and the 5 x 7 band down.
void GdkPainter::markers(const GdkColor& colour, const CanvasPoint* centres, int count) {
    if (deferred_) {
        deferred_->markers(deferred_index(colour), centres, count, [](CanvasPoint c) { return within_reach(c); });
        return;
    }
    GdkGC* gc = caches_.points.get(drawable_, colour);
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
    if (deferred_) {
        const int index = deferred_index(colour);
        for (int k = 0; k < count; ++k) {
            const PixelSpan& s = spans[k];
            if (s.length > 0 && within_reach({s.x, s.y}) && within_reach({s.x + s.length, s.y})) deferred_->span(index, s);
        }
        return;
    }
    GdkGC* gc = caches_.points.get(drawable_, colour);
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
    send_deferred_fills();
    if (!font_) return;
    gdk_draw_string(drawable_, font_, caches_.lines.get(drawable_, colour), x, y, text.c_str());
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
