// Rendering of the shown domains into the off-screen image: outlines through
// faces down to points and segments, integer points whose colours blend all
// shown domains holding them, and the labelled marked points.
#include "view/rendering.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_map>

#include <cstdio>

#include "view/context.h"
#include "view/drawing_resources.h"
#include "view/failure.h"
#include "view/point_scanner.h"

// Xlib's True, False and Bool macros must come after PolyLib's enum of those names.
#include <gdk/gdkx.h>

namespace {

constexpr unsigned max_rays = 1000;

// ---- drawing contexts of point colours, kept by colour ----

struct PointGc {
    guint16 red, green, blue;
    GdkColor allocated;
    GdkGC* gc;
};

struct PointGcCache {
    std::vector<PointGc> entries;
    int depth = -1;
    GdkScreen* screen = nullptr;
};

PointGcCache point_gcs;

void release_entry(PointGc& entry) {
    g_object_unref(entry.gc);
    gdk_colormap_free_colors(gdk_colormap_get_system(), &entry.allocated, 1);
}

GdkGC* point_gc(GdkDrawable* drawable, const GdkColor& colour) {
    const int depth = gdk_drawable_get_depth(drawable);
    GdkScreen* screen = gdk_drawable_get_screen(drawable);
    if (depth != point_gcs.depth || screen != point_gcs.screen) {
        release_point_gcs();
        point_gcs.depth = depth;
        point_gcs.screen = screen;
    }
    for (PointGc& entry : point_gcs.entries)
        if (entry.red == colour.red && entry.green == colour.green && entry.blue == colour.blue) return entry.gc;
    if (static_cast<int>(point_gcs.entries.size()) >= point_gc_capacity) {
        release_entry(point_gcs.entries.front());
        point_gcs.entries.erase(point_gcs.entries.begin());
    }
    PointGc entry{colour.red, colour.green, colour.blue, colour, nullptr};
    gdk_colormap_alloc_color(gdk_colormap_get_system(), &entry.allocated, FALSE, TRUE);
    entry.gc = gdk_gc_new(drawable);
    gdk_gc_set_foreground(entry.gc, &entry.allocated);
    point_gcs.entries.push_back(entry);
    return entry.gc;
}

// ---- markers of consecutive points of one colour, sent together ----

// The marker's pixels (the seven lines' 45) as two overlapping filled
// rectangles: the 7 x 5 band across and the 5 x 7 band down.
void marker_rectangles(CanvasPoint c, XRectangle* out) {
    out[0] = XRectangle{static_cast<short>(c.column - 3), static_cast<short>(c.row - 2), 7, 5};
    out[1] = XRectangle{static_cast<short>(c.column - 2), static_cast<short>(c.row - 3), 5, 7};
}

// The pixels covered by many markers of one colour, as horizontal spans. A
// dense run of markers (a filled triangle covers each pixel dozens of times)
// costs the X server one fill per span instead of two per marker; the pixels
// are the same because fills of one colour do not depend on their order.
// Rows are bit sets: each row holding centres is widened across (by 2 and 3
// columns) and added to the rows the marker's two bands reach (3 and 2 up and
// down). Only the words near a row's centres are touched, and the buffers are
// kept from run to run.
class MarkerCover {
public:
    void build(const std::vector<CanvasPoint>& centres, int left, int top, int width, int height) {
        left_ = left - 3;
        top_ = top - 3;
        width_ = width + 6;
        height_ = height + 6;
        words_ = (width_ + 63) / 64;
        const std::size_t size = static_cast<std::size_t>(words_) * static_cast<std::size_t>(height_);
        at_.assign(size, 0);
        cover_.assign(size, 0);
        low_.assign(static_cast<std::size_t>(height_), words_);
        high_.assign(static_cast<std::size_t>(height_), -1);
        for (const CanvasPoint& c : centres) {
            const int x = c.column - left_, y = c.row - top_, w = x / 64;
            row(at_, y)[w] |= std::uint64_t{1} << (x % 64);
            low_[y] = std::min(low_[y], w);
            high_[y] = std::max(high_[y], w);
        }
        five_.assign(static_cast<std::size_t>(words_), 0);
        seven_.assign(static_cast<std::size_t>(words_), 0);
        for (int y = 0; y < height_; ++y) {
            if (high_[y] < 0) continue;
            // Markers reach 3 columns, so at most one word on either side.
            const int from = std::max(0, low_[y] - 1), to = std::min(words_ - 1, high_[y] + 1);
            const std::uint64_t* source = row(at_, y);
            for (int w = from; w <= to; ++w) {
                const std::uint64_t here = source[w];
                const std::uint64_t before = w > 0 ? source[w - 1] : 0;
                const std::uint64_t after = w + 1 < words_ ? source[w + 1] : 0;
                auto right = [&](int k) { return (here << k) | (before >> (64 - k)); };
                auto left = [&](int k) { return (here >> k) | (after << (64 - k)); };
                five_[w] = here | right(1) | right(2) | left(1) | left(2);
                seven_[w] = five_[w] | right(3) | left(3);
            }
            for (int dy = -3; dy <= 3; ++dy) {
                if (y + dy < 0 || y + dy >= height_) continue;
                const std::vector<std::uint64_t>& band = (dy < -2 || dy > 2) ? five_ : seven_;
                std::uint64_t* out = row(cover_, y + dy);
                for (int w = from; w <= to; ++w) out[w] |= band[w];
            }
        }
    }

    // Calls span(x, y, length) for every maximal run of covered pixels of a row.
    template <class Span>
    void spans(Span&& span) const {
        for (int y = 0; y < height_; ++y) {
            const std::uint64_t* bits = row(cover_, y);
            int x = 0;
            while (x < width_) {
                x = next_bit(bits, x, true);
                if (x >= width_) break;
                const int end = next_bit(bits, x, false);
                span(left_ + x, top_ + y, end - x);
                x = end;
            }
        }
    }

private:
    std::uint64_t* row(std::vector<std::uint64_t>& v, int y) const {
        return v.data() + static_cast<std::size_t>(words_) * static_cast<std::size_t>(y);
    }
    const std::uint64_t* row(const std::vector<std::uint64_t>& v, int y) const {
        return v.data() + static_cast<std::size_t>(words_) * static_cast<std::size_t>(y);
    }
    // The first column from x on whose bit is `value`, or width_.
    int next_bit(const std::uint64_t* bits, int x, bool value) const {
        int w = x / 64;
        std::uint64_t word = (value ? bits[w] : ~bits[w]) & (~std::uint64_t{0} << (x % 64));
        while (word == 0) {
            if (++w >= words_) return width_;
            word = value ? bits[w] : ~bits[w];
        }
        return std::min(width_, w * 64 + __builtin_ctzll(word));
    }

    int left_ = 0, top_ = 0, width_ = 0, height_ = 0, words_ = 0;
    std::vector<std::uint64_t> at_, cover_, five_, seven_;
    std::vector<int> low_, high_;
};

// Points are drawn in scan order and later markers cover earlier ones, so a
// batch only ever holds a run of one colour and is sent when the colour
// changes: as two rectangles per marker, or as the spans of their cover when
// the run is dense enough for that to be cheaper. Markers lie on the canvas,
// well inside X's 16-bit coordinates.
class MarkerBatch {
public:
    explicit MarkerBatch(GdkDrawable* drawable)
        : display_(GDK_DRAWABLE_XDISPLAY(drawable)), target_(GDK_DRAWABLE_XID(drawable)) {}
    ~MarkerBatch() { flush(); }
    MarkerBatch(const MarkerBatch&) = delete;
    MarkerBatch& operator=(const MarkerBatch&) = delete;

    void add(GdkGC* gc, CanvasPoint centre) {
        if (gc != gc_) flush();
        gc_ = gc;
        centres_.push_back(centre);
    }
    void flush() {
        if (centres_.empty()) return;
        rectangles_.clear();
        if (!send_cover()) {
            for (const CanvasPoint& c : centres_) {
                XRectangle r[2];
                marker_rectangles(c, r);
                rectangles_.insert(rectangles_.end(), r, r + 2);
            }
        }
        if (!rectangles_.empty())
            XFillRectangles(display_, target_, gdk_x11_gc_get_xgc(gc_), rectangles_.data(),
                            static_cast<int>(rectangles_.size()));
        centres_.clear();
    }

private:
    // The cover costs a few word operations per 64 pixels of the run's box;
    // below about one marker per 256 pixels of it, the markers are cheaper.
    bool send_cover() {
        if (static_cast<int>(centres_.size()) < marker_cover_threshold) return false;
        int left = centres_[0].column, right = left, top = centres_[0].row, bottom = top;
        for (const CanvasPoint& c : centres_) {
            left = std::min(left, c.column);
            right = std::max(right, c.column);
            top = std::min(top, c.row);
            bottom = std::max(bottom, c.row);
        }
        const double area = (static_cast<double>(right) - left + 1) * (static_cast<double>(bottom) - top + 1);
        if (area > 256.0 * static_cast<double>(centres_.size())) return false;
        cover_.build(centres_, left, top, right - left + 1, bottom - top + 1);
        cover_.spans([&](int x, int y, int length) {
            rectangles_.push_back(XRectangle{static_cast<short>(x), static_cast<short>(y),
                                             static_cast<unsigned short>(length), 1});
        });
        return true;
    }

    Display* display_;
    Drawable target_;
    GdkGC* gc_ = nullptr;
    std::vector<CanvasPoint> centres_;
    std::vector<XRectangle> rectangles_;
    MarkerCover cover_;
};

struct BlendSource {
    const Polyhedron* domain;
    const GdkColor* colour;
};

// The shown-points views that may lend a point their colour, in DomainList order.
std::vector<BlendSource> blend_sources(const DomainEntry* entry) {
    std::vector<BlendSource> sources;
    for (const DomainEntry* e = DomainList; e; e = e->next)
        if (e->name != entry->name && e->view && e->view->show_points) sources.push_back({e->view->domain, e->color});
    return sources;
}

const GdkColor black = {0, 0, 0, 0};

const GdkColor& colour_of(const GdkColor* colour) { return colour ? *colour : black; }

GdkColor blend(const GdkColor& own, const std::vector<BlendSource>& sources, const std::int64_t* point) {
    unsigned red = own.red, green = own.green, blue = own.blue, n = 1;
    for (const BlendSource& source : sources) {
        if (!point_in_domain(source.domain, point)) continue;
        const GdkColor& c = colour_of(source.colour);
        red = (red * n) / (n + 1) + c.red / (n + 1);
        green = (green * n) / (n + 1) + c.green / (n + 1);
        blue = (blue * n) / (n + 1) + c.blue / (n + 1);
        ++n;
    }
    return GdkColor{0, static_cast<guint16>(red), static_cast<guint16>(green), static_cast<guint16>(blue)};
}

struct PointPainter {
    GdkDrawable* drawable;
    GdkColor own;
    std::vector<BlendSource> sources;
    MarkerBatch* batch;
    bool markers_fit;
    GdkColor last_colour;
    GdkGC* last_gc;
};

bool same_colour(const GdkColor& a, const GdkColor& b) {
    return a.red == b.red && a.green == b.green && a.blue == b.blue;
}

CanvasPoint marker_centre(const std::int64_t* point) {
    const PlanePoint p = project_point(point, DimNP);
    return to_canvas(p.x, p.y);
}

// Paints the point's marker (the markers must fit the canvas) and gives its
// centre. A new colour may evict a cached context, so the run drawn with the
// previous one is sent first.
CanvasPoint paint_point(PointPainter& painter, const std::int64_t* point) {
    const GdkColor colour = blend(painter.own, painter.sources, point);
    const CanvasPoint centre = marker_centre(point);
    if (!painter.last_gc || !same_colour(colour, painter.last_colour)) {
        painter.batch->flush();
        painter.last_gc = point_gc(painter.drawable, colour);
        painter.last_colour = colour;
    }
    painter.batch->add(painter.last_gc, centre);
    return centre;
}

// ---- runs of points that paint the same marker ----

__int128 floor_div(__int128 n, __int128 d) {   // d > 0
    __int128 q = n / d;
    if (n % d != 0 && n < 0) --q;
    return q;
}

// Whether each polyhedron of `domain` holds all or none of the points that
// agree with x except in coordinate `last`, which runs from w0 to w1: along
// that line a polyhedron holds an interval, found from its constraints.
bool membership_constant(const Polyhedron* domain, const std::int64_t* x, int last, std::int64_t w0,
                         std::int64_t w1) {
    for (const Polyhedron* p = domain; p; p = p->next) {
        const int d = static_cast<int>(p->Dimension);
        if (p->NbConstraints == 0 || last >= d) continue;
        constexpr __int128 unbounded = __int128{1} << 100;
        __int128 low = -unbounded, high = unbounded;
        for (unsigned r = 0; r < p->NbConstraints && low <= high; ++r) {
            const Value* row = p->Constraint[r];
            const __int128 a = value_of(row[last + 1]);
            __int128 b = value_of(row[d + 1]);
            for (int k = 0; k < d; ++k)
                if (k != last) b += static_cast<__int128>(value_of(row[k + 1])) * x[k];
            if (row[0] == 0) {
                if (a == 0) {
                    if (b != 0) high = low - 1;
                } else if (b % a != 0) {
                    high = low - 1;
                } else {
                    const __int128 w = -b / a;
                    low = std::max(low, w);
                    high = std::min(high, w);
                }
            } else if (a == 0) {
                if (b < 0) high = low - 1;
            } else if (a > 0) {
                low = std::max(low, -floor_div(b, a));   // a w + b >= 0: w >= ceil(-b / a)
            } else {
                high = std::min(high, floor_div(b, -a));
            }
        }
        const bool none = low > high || high < w0 || low > w1;
        const bool all = low <= w0 && high >= w1;
        if (!none && !all) return false;
    }
    return true;
}

// How many points, from x on along the last coordinate, paint exactly x's
// marker: the same centre and the same blend. The centre's column and row are
// each monotone in that coordinate (sums, products and truncation of floats
// keep order), and memberships are intervals, so the points that agree with x
// form one run; its length is found by doubling, then halving.
std::int64_t same_marker_run(const std::vector<BlendSource>& sources, const std::int64_t* x, int dimension,
                             CanvasPoint centre) {
    const int last = dimension - 1;
    std::int64_t y[MAXDIM];
    std::copy(x, x + dimension, y);
    const std::int64_t w = x[last];
    auto same = [&](std::int64_t k) {
        y[last] = w + k;
        const CanvasPoint c = marker_centre(y);
        if (c.column != centre.column || c.row != centre.row) return false;
        for (const BlendSource& source : sources)
            if (!membership_constant(source.domain, x, last, w, w + k)) return false;
        return true;
    };
    constexpr std::int64_t limit = std::int64_t{1} << 40;
    std::int64_t good = 0, bad = 1;
    while (bad <= limit && same(bad)) {
        good = bad;
        bad *= 2;
    }
    if (bad > limit) return good + 1;
    while (bad - good > 1) {
        const std::int64_t middle = good + (bad - good) / 2;
        if (same(middle)) good = middle; else bad = middle;
    }
    return good + 1;
}

// Whether a unit step of the last coordinate moves a marker by less than a
// pixel, so that runs of equal markers are worth looking for.
bool markers_crowd_along_last(int dimension) {
    const int last = dimension - 1;
    if (last < 0) return false;
    if (last >= DimNP) return true;   // not projected: the whole run shares a centre
    const float across = static_cast<float>(canvas_width - 60) / (view_bounds[1] - view_bounds[0]);
    const float down = static_cast<float>(canvas_height - 60) / (view_bounds[3] - view_bounds[2]);
    return std::fabs(ProjectionAxes[last][0] * across) < 1.0f && std::fabs(ProjectionAxes[last][1] * down) < 1.0f;
}

void draw_projected_generators(GdkDrawable* drawable, const Polyhedron* p) {
    const int d = static_cast<int>(p->Dimension);
    check_dimension(d);
    std::vector<PlanePoint> points;
    points.reserve(p->NbRays);
    for (unsigned r = 0; r < p->NbRays; ++r) points.push_back(project_vertex(p->Ray[r], d));
    draw_plane_outline(drawable, points.data(), static_cast<int>(points.size()));
}

// The faces-of-faces recursion builds one PolyLib polyhedron per face, and a
// shown domain is redrawn at every step of an axis drag although its faces do
// not change. So the recursion's result is kept: the generator rows of every
// point or segment it reaches, in drawing order, replayed through the current
// projection. An entry serves only a polyhedron with the same constraints (the
// faces follow from them), so a reused address is never trusted.
struct OutlineRecord {
    std::vector<Value> constraints;
    std::vector<std::vector<Value>> pieces;   // generator rows of one point or segment
};

constexpr std::size_t outline_cache_capacity = 64;
std::unordered_map<const Polyhedron*, OutlineRecord> outline_cache;

// The rows of a polyhedron's constraint or generator table, one after another.
std::vector<Value> flattened(Value* const* table, unsigned count, unsigned dimension) {
    const unsigned width = dimension + 2;
    std::vector<Value> rows(static_cast<std::size_t>(count) * width);
    for (unsigned r = 0; r < count; ++r)
        std::copy(table[r], table[r] + width, rows.begin() + static_cast<std::ptrdiff_t>(r) * width);
    return rows;
}

std::vector<Value> flattened_constraints(const Polyhedron* p) {
    return flattened(p->Constraint, p->NbConstraints, p->Dimension);
}

std::vector<Value> flattened_generators(const Polyhedron* p) { return flattened(p->Ray, p->NbRays, p->Dimension); }

bool is_point_or_segment(const Polyhedron* p) {
    const unsigned k = p->Dimension - p->NbEq;
    return k == 0 || k == 1;
}

// The recursion, recording instead of drawing. False when PolyLib failed.
bool collect_outline(Polyhedron* p, std::vector<std::vector<Value>>& pieces) {
    if (is_point_or_segment(p)) {
        pieces.push_back(flattened_generators(p));
        return true;
    }
    FaceNode* faces = polyhedron_faces(p);
    bool ok = p->Dimension < 2 || faces != nullptr || p->NbConstraints == p->NbEq;
    for (FaceNode* f = faces; f && ok; f = f->next) ok = collect_outline(f->face, pieces);
    free_faces(faces);
    return ok;
}

const OutlineRecord* outline_of(Polyhedron* p) {
    auto found = outline_cache.find(p);
    std::vector<Value> constraints = flattened_constraints(p);
    if (found != outline_cache.end() && found->second.constraints == constraints) return &found->second;
    OutlineRecord record{std::move(constraints), {}};
    if (!collect_outline(p, record.pieces)) return nullptr;
    if (outline_cache.size() >= outline_cache_capacity) outline_cache.clear();
    return &(outline_cache[p] = std::move(record));
}

void draw_recorded_outline(GdkDrawable* drawable, const OutlineRecord& record, unsigned dimension) {
    const unsigned width = dimension + 2;
    std::vector<PlanePoint> points;
    for (const std::vector<Value>& piece : record.pieces) {
        points.clear();
        for (std::size_t at = 0; at + width <= piece.size(); at += width)
            points.push_back(project_vertex(piece.data() + at, static_cast<int>(dimension)));
        draw_plane_outline(drawable, points.data(), static_cast<int>(points.size()));
    }
}

void canvas_size(int& width, int& height) {
    width = canvas_width;
    height = canvas_height;
    if (domain_canvas) {
        width = domain_canvas->allocation.width;
        height = domain_canvas->allocation.height;
    }
}

}  // namespace

int marker_cover_threshold = 32;
bool marker_run_skipping = true;

void release_point_gcs() {
    for (PointGc& entry : point_gcs.entries) release_entry(entry);
    point_gcs.entries.clear();
}

int point_gcs_held() { return static_cast<int>(point_gcs.entries.size()); }

GdkColor blended_colour(const DomainEntry* entry, const std::int64_t* point) {
    return blend(colour_of(entry->color), blend_sources(entry), point);
}

FaceNode* polyhedron_faces(Polyhedron* p) {
    if (p->Dimension < 2) return nullptr;
    FaceNode* list = nullptr;
    Matrix* m = nullptr;
    bool ok = polylib_guarded([&] {
        m = Polyhedron2Constraints(p);
        for (unsigned i = 0; i < m->NbRows; ++i) {
            if (m->p[i][0] == 0) continue;
            m->p[i][0] = 0;
            Polyhedron* face = Constraints2Polyhedron(m, max_rays);
            list = new FaceNode{list, face};
            for (unsigned r = 0; r < p->NbConstraints; ++r)
                for (unsigned c = 0; c < p->Dimension + 2; ++c) m->p[r][c] = p->Constraint[r][c];
        }
        Matrix_Free(m);
        m = nullptr;
    });
    if (!ok) {
        report_viewer_failure("draw the faces of a domain");
        if (m) Matrix_Free(m);
        free_faces(list);
        return nullptr;
    }
    return list;
}

void free_faces(FaceNode* list) {
    while (list) {
        FaceNode* next = list->next;
        Polyhedron_Free(list->face);
        delete list;
        list = next;
    }
}

void draw_polyhedron_outline(GdkDrawable* drawable, Polyhedron* p) {
    if (is_point_or_segment(p)) {
        draw_projected_generators(drawable, p);
        return;
    }
    check_dimension(static_cast<long>(p->Dimension));
    if (const OutlineRecord* record = outline_of(p)) draw_recorded_outline(drawable, *record, p->Dimension);
}

void draw_domain_outline(GdkDrawable* drawable, Polyhedron* domain) {
    for (Polyhedron* p = domain; p; p = p->next) draw_polyhedron_outline(drawable, p);
}

std::vector<CanvasPoint> plane_outline_polyline(const PlanePoint* points, int n) {
    std::vector<CanvasPoint> line;
    if (n < 3) return line;
    int start = 0;
    for (int k = 1; k < n; ++k)
        if (points[k].y < points[start].y || (points[k].y == points[start].y && points[k].x < points[start].x))
            start = k;
    const CanvasPoint first = to_canvas(points[start].x, points[start].y);
    line.push_back(first);
    int current = start;
    for (int step = 0;; ++step) {
        int candidate = (current + 1) % n;
        float ux = points[candidate].x - points[current].x;
        float uy = points[candidate].y - points[current].y;
        for (int k = 0; k < n; ++k) {
            if (points[k].x == points[current].x && points[k].y == points[current].y) continue;
            const float vx = points[k].x - points[current].x;
            const float vy = points[k].y - points[current].y;
            const float turn = uy * vx - vy * ux;
            const double d = turn;
            const bool take = d < -1e-10 || (d <= 1e-10 && d >= -1e-10 && vx * vx + vy * vy > ux * ux + uy * uy);
            if (take) {
                candidate = k;
                ux = vx;
                uy = vy;
            }
        }
        current = candidate;
        const CanvasPoint next = to_canvas(points[current].x, points[current].y);
        line.push_back(next);
        if (step == n) break;
        if (next.column == first.column && next.row == first.row) break;
    }
    return line;
}

void draw_plane_outline(GdkDrawable* drawable, const PlanePoint* points, int n) {
    if (n < 2) return;
    if (n == 2) {
        draw_plane_segment(drawable, domain_gc, points[0], points[1]);
        return;
    }
    std::vector<CanvasPoint> line = plane_outline_polyline(points, n);
    std::vector<GdkPoint> gdk_points;
    gdk_points.reserve(line.size());
    for (const CanvasPoint& c : line) gdk_points.push_back(GdkPoint{c.column, c.row});
    gdk_draw_lines(drawable, domain_gc, gdk_points.data(), static_cast<gint>(gdk_points.size()));
}

int draw_integer_points(GdkDrawable* drawable, DomainEntry* entry) {
    Polyhedron* visible = nullptr;
    Polyhedron* own = entry->view->domain;
    Polyhedron* hull = view_hull;
    if (!polylib_guarded([&] { visible = DomainIntersection(own, hull, max_rays); })) {
        report_viewer_failure("find the integer points to draw");
        return 0;
    }
    MarkerBatch batch(drawable);
    PointPainter painter{drawable, colour_of(entry->color), blend_sources(entry), &batch, canvas_takes_markers(),
                         black, nullptr};
    int result = 1;
    std::int64_t coordinates[MAXDIM] = {};
    for (Polyhedron* p = visible; p; p = p->next) {
        Polyhedron* successors = p->next;
        p->next = nullptr;
        const int dimension = static_cast<int>(p->Dimension);
        // Points whose marker repeats the one just painted are skipped: the
        // same pixels in the same colour, however many of them there are.
        const bool skip_repeats = marker_run_skipping && markers_crowd_along_last(dimension);
        auto visit = [&](const std::int64_t* x) -> ScanAdvance {
            if (!painter.markers_fit) return {std::numeric_limits<std::int64_t>::max()};
            const CanvasPoint centre = paint_point(painter, x);
            return {skip_repeats ? same_marker_run(painter.sources, x, dimension, centre) : 1};
        };
        if (!scan_points_by(p, coordinates, visit)) result = 0;
        p->next = successors;
    }
    batch.flush();
    if (visible) Domain_Free(visible);
    return result;
}

std::string mark_label(const std::int64_t* coords) {
    std::string label = "(" + std::to_string(static_cast<long long>(coords[0]));
    for (int k = 1; k < DimNP; ++k) label += "," + std::to_string(static_cast<long long>(coords[k]));
    return label + ")";
}

void draw_marks(GdkDrawable* drawable, const MarkedPoint* list) {
    for (const MarkedPoint* m = list; m; m = m->next) {
        const std::string label = mark_label(m->coords);
        const PlanePoint p = project_point(m->coords, DimNP);
        const PlanePoint position = canvas_position(p.x, p.y);
        draw_point_marker(drawable, m->coords, blue_gc);
        if (label_font)
            gdk_draw_string(drawable, label_font, blue_gc, static_cast<gint>(position.x + 4),
                            static_cast<gint>(position.y), label.c_str());
    }
}

void redraw_domains(GdkPixmap* pixmap) {
    int width, height;
    canvas_size(width, height);
    if (white_gc && pixmap) gdk_draw_rectangle(pixmap, white_gc, TRUE, 0, 0, width, height);
    if (pixmap && domain_gc && view_hull && visible_union && view_hull->NbRays > 0) {
        update_view_bounds();
        for (DomainEntry* e = DomainList; e; e = e->next) {
            if (!e->view) continue;
            gdk_gc_set_foreground(domain_gc, const_cast<GdkColor*>(&colour_of(e->color)));
            draw_domain_outline(pixmap, e->view->domain);
            if (e->view->show_points && draw_integer_points(pixmap, e)) draw_marks(pixmap, e->view->marked);
        }
    }
    if (domain_canvas) {
        GdkRectangle area = {0, 0, width, height};
        gtk_widget_draw(domain_canvas, &area);
        gtk_widget_queue_draw_area(domain_canvas, 0, 0, width, height);
    }
}
