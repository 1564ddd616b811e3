// The painter of the canvas's off-screen image: drawing contexts kept by
// colour, markers and spans sent as batches of filled rectangles, labels in
// the core font.
#pragma once

#include <gdk/gdk.h>
#include <memory>
#include <vector>

#include "view/fill_raster.h"
#include "view/painter.h"
#include "view/viewer.h"

// Drawing contexts of one drawable kind (depth and screen), one per colour,
// at most `capacity` of them: the oldest goes when a new colour needs room.
// Held until release(), not by the destructor: at exit the display may
// already be gone.
class GcCache {
public:
    explicit GcCache(int capacity) : capacity_(capacity) {}
    GcCache(const GcCache&) = delete;
    GcCache& operator=(const GcCache&) = delete;

    GdkGC* get(GdkDrawable* drawable, const GdkColor& colour);
    void release();
    int held() const { return static_cast<int>(entries_.size()); }

private:
    struct Entry {
        guint16 red, green, blue;
        GdkColor allocated;
        GdkGC* gc;
    };
    void release_entry(Entry& entry);

    int capacity_;
    std::vector<Entry> entries_;
    int depth_ = -1;
    GdkScreen* screen_ = nullptr;
};

class GdkPainter : public Painter {
public:
    // Draws with the viewer's kept contexts; a null font draws no labels.
    GdkPainter(Viewer& viewer, GdkDrawable* drawable, GdkFont* label_font);
    ~GdkPainter() override;
    GdkPainter(const GdkPainter&) = delete;
    GdkPainter& operator=(const GdkPainter&) = delete;

    // From now on, markers and spans reach the drawable only before the next
    // line, polyline, label or clear, and when the painter ends: as the
    // rectangles of the pixels they leave, colour by colour (the same
    // picture, far fewer fills for the X server). For a whole redraw,
    // whose image nobody reads before it ends.
    void defer_fills();

    void clear(int width, int height) override;
    void line(const GdkColor& colour, CanvasPoint from, CanvasPoint to) override;
    void polyline(const GdkColor& colour, const CanvasPoint* points, int count) override;
    void markers(const GdkColor& colour, const CanvasPoint* centres, int count) override;
    void spans(const GdkColor& colour, const PixelSpan* spans, int count) override;
    void label(const GdkColor& colour, int x, int y, const std::string& text) override;
    bool cover_worth_it(int markers, int width, int height) const override;

private:
    void send_deferred_fills();
    int deferred_index(const GdkColor& colour);

    PainterCaches& caches_;
    GdkDrawable* drawable_;
    GdkFont* font_;
    std::unique_ptr<FillRaster> deferred_;
};

// The contexts of point colours (markers and spans) and those of outlines,
// labels and the background, kept between redraws.
GcCache& point_gc_cache(Viewer& viewer);
GcCache& line_gc_cache(Viewer& viewer);

// Whether the user has pressed Escape in one of the viewer's windows since
// the toolkit last read its events; the key press is taken from the queue.
bool escape_pressed(GdkDrawable* drawable);
