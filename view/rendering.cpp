// Rendering of the shown domains: for each shown domain in list order, its
// outline, then its integer points in colours blended over all shown domains
// holding them, then its labelled marked points.
#include "view/rendering.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <memory>
#include <unordered_map>

#include "view/context.h"
#include "view/dense_cover.h"
#include "view/drawing_resources.h"
#include "view/failure.h"
#include "view/point_scanner.h"

namespace {

constexpr unsigned max_rays = 1000;

}  // namespace

// Whether the user asked a long canvas redraw to stop: asked of the display
// every few thousand points once the redraw has run redraw_patience_ms.
class RedrawStop {
public:
    explicit RedrawStop(GdkDrawable* drawable) : drawable_(drawable), start_(std::chrono::steady_clock::now()) {}
    bool requested() {
        if (stopped_) return true;
        if (--countdown_ > 0) return false;
        countdown_ = points_between_checks;
        if (std::chrono::steady_clock::now() - start_ < std::chrono::milliseconds(redraw_patience_ms)) return false;
        stopped_ = escape_pressed(drawable_);
        return stopped_;
    }
    bool stopped() const { return stopped_; }

private:
    static constexpr int points_between_checks = 4096;
    GdkDrawable* drawable_;
    std::chrono::steady_clock::time_point start_;
    int countdown_ = points_between_checks;
    bool stopped_ = false;
};

namespace {

struct PointPlans {
    std::vector<Value> domain, hull;
    std::vector<std::unique_ptr<ScanPlan>> plans;
    std::vector<DenseCover> covers;   // one per plan
};

}  // namespace

// The redraw's scratch and kept plans, by the viewer.
struct RenderingCaches {
    MarkerCover spans_of;
    std::vector<PixelSpan> spans;
    std::unordered_map<const Polyhedron*, PointPlans> point_plans;
};

namespace {

RenderingCaches& rendering_caches() {
    if (!viewer.rendering_caches) viewer.rendering_caches = new RenderingCaches;
    return *viewer.rendering_caches;
}

// Set while redraw_domains paints the canvas; figures are not stopped.
RedrawStop*& redraw_stop = viewer.redraw_stop;

bool redraw_stopped() { return redraw_stop && redraw_stop->stopped(); }

const GdkColor stopped_red = {0, 65535, 0, 0};

const GdkColor mark_blue = {0, 0, 0, 65535};

// One pass over the points of a domain: its colour, the domains its points
// may blend with, and the batch their markers go to.
struct PointPass {
    Painter& painter;
    GdkColor own;
    std::vector<BlendSource> sources;
    MarkerBatch* batch;
    bool markers_fit;
};

// The scan's callback: markers of the points, skipping the points (and the
// values of outer coordinates) whose markers a later point paints again.
struct PointVisitor {
    PointPass& pass;
    LineBlend line;
    int dimension;
    bool skip_repeats;
    const SliceRepeats* slices;

    std::int64_t last_run = 0;

    ScanAdvance operator()(const std::int64_t* x) {
        if (!pass.markers_fit) return {std::numeric_limits<std::int64_t>::max()};
        if (redraw_stop && redraw_stop->requested()) return {0};
        const CanvasPoint centre = marker_centre(x);
        pass.batch->add(line.colour(x), centre);
        if (!skip_repeats) return {1};
        last_run = same_marker_run(line, x, dimension, centre, last_run);
        return {last_run};
    }
    std::int64_t outer_skip(int depth, const std::int64_t* x, std::int64_t remaining) {
        if (!pass.markers_fit) return remaining;
        return slices ? slices->skip(depth, x, remaining) : 0;
    }
};

// The points of one compiled polyhedron; false when the scan failed.
bool paint_planned_points(PointPass& pass, const ScanPlan& plan, std::int64_t* coordinates) {
    const int dimension = plan.dimension();
    SliceRepeats slices;
    if (marker_run_skipping) slices.prepare(plan, dimension);
    // Points whose marker repeats the one just painted are skipped: the same
    // pixels in the same colour, however many of them there are.
    PointVisitor visitor{pass, LineBlend(pass.own, pass.sources, dimension), dimension,
                         marker_run_skipping && markers_crowd_along_last(dimension),
                         marker_run_skipping ? &slices : nullptr};
    return plan.run(coordinates, visitor) == ScanResult::done;
}

// The points of a polyhedron that crowd the canvas in one colour (no other
// shown domain holds any of them, so that their order does not matter),
// found from the pixels' side; false when stopped.
bool paint_crowded_points(PointPass& pass, DenseCover& cover) {
    MarkerCover& spans_of = rendering_caches().spans_of;
    std::vector<PixelSpan>& spans = rendering_caches().spans;
    const bool done = cover.centres([] { return redraw_stop && redraw_stop->requested(); });
    if (cover.found_count() == 0) {
        cover.forget_centres();
        return done;
    }
    const DenseCover::Found found = cover.found();
    pass.batch->flush();
    spans_of.build(found.bits, found.words, found.left, found.top, found.width, found.height);
    cover.forget_centres();
    spans.clear();
    spans_of.spans(spans);
    pass.painter.spans(pass.own, spans.data(), static_cast<int>(spans.size()));
    return done;
}

// Whether a polyhedron holds more points than a picture has pixels: below
// that, visiting the points costs less than finding them from the pixels'
// side. Counted once per kept plan: the count is the same under any axes.
constexpr std::int64_t crowd_threshold = std::int64_t{1} << 21;

bool holds_many_points(const ScanPlan& plan) {
    std::int64_t x[MAXDIM] = {};
    std::int64_t seen = 0;
    plan.run(x, [&](const std::int64_t*) { return ++seen < crowd_threshold ? 1 : 0; });
    return seen >= crowd_threshold;
}

// Whether a polyhedron's points go the pixels' way: in one colour, when no
// other shown domain holds any of them.
bool crowds_in_one_colour(const PointPass& pass, const DenseCover& cover) {
    return marker_run_skipping && pass.markers_fit && cover.crowded() &&
           std::all_of(pass.sources.begin(), pass.sources.end(),
                       [&](const BlendSource& source) { return cover.apart_from(source.domain); });
}

// A shown domain's points inside view_hull, compiled for the scan, kept
// between redraws: an axis drag redraws many times with neither changed, and
// the intersection and the scanning matrices are PolyLib's slowest work in a
// redraw. An entry serves only the same constraints of the domain and of the
// hull, and holds only builds that all succeeded, so that any failure is
// reported at every redraw as before.

constexpr std::size_t point_plans_capacity = 64;

// Never destroyed: plans release PolyLib matrices, which needs domain_lock.
std::unordered_map<const Polyhedron*, PointPlans>& point_plans() { return rendering_caches().point_plans; }

std::vector<Value> union_constraints(const Polyhedron* domain) {
    std::vector<Value> rows;
    for (const Polyhedron* p = domain; p; p = p->next) {
        rows.push_back(static_cast<Value>(p->NbConstraints));
        for (unsigned r = 0; r < p->NbConstraints; ++r)
            rows.insert(rows.end(), p->Constraint[r], p->Constraint[r] + p->Dimension + 2);
    }
    return rows;
}

PointPlans* kept_point_plans(const Polyhedron* domain, const std::vector<Value>& own,
                                   const std::vector<Value>& hull) {
    auto found = point_plans().find(domain);
    if (found == point_plans().end() || found->second.domain != own || found->second.hull != hull) return nullptr;
    return &found->second;
}

void keep_point_plans(const Polyhedron* domain, PointPlans plans) {
    if (point_plans().size() >= point_plans_capacity) point_plans().clear();
    point_plans()[domain] = std::move(plans);
}
void canvas_size(int& width, int& height) {
    width = canvas_width;
    height = canvas_height;
    if (domain_canvas) {
        width = domain_canvas->allocation.width;
        height = domain_canvas->allocation.height;
    }
}

GdkColor foreground_of(GdkGC* gc) {
    GdkGCValues values;
    gdk_gc_get_values(gc, &values);
    GdkColor colour = values.foreground;
    gdk_colormap_query_color(gdk_colormap_get_system(), colour.pixel, &colour);
    return colour;
}

}  // namespace

void release_point_gcs() {
    point_gc_cache().release();
    line_gc_cache().release();
}

int point_gcs_held() { return point_gc_cache().held(); }

GdkColor blended_colour(const DomainEntry* entry, const std::int64_t* point) {
    return blend(colour_of(entry->color), blend_sources(entry), point);
}

int paint_integer_points(Painter& painter, DomainEntry* entry) {
    Polyhedron* own = entry->view->domain;
    std::vector<Value> own_rows = union_constraints(own), hull_rows = union_constraints(view_hull);
    MarkerBatch batch(painter);
    PointPass pass{painter, colour_of(entry->color), blend_sources(entry), &batch, canvas_takes_markers()};
    std::int64_t coordinates[MAXDIM] = {};
    auto paint = [&](const ScanPlan& plan, DenseCover& cover) {
        if (crowds_in_one_colour(pass, cover)) return paint_crowded_points(pass, cover);
        return paint_planned_points(pass, plan, coordinates);
    };
    if (PointPlans* kept = kept_point_plans(own, own_rows, hull_rows)) {
        int result = 1;
        for (std::size_t k = 0; k < kept->plans.size(); ++k)
            if (redraw_stopped() || !paint(*kept->plans[k], kept->covers[k])) result = 0;
        return result;
    }
    Polyhedron* visible = nullptr;
    Polyhedron* hull = view_hull;
    if (!polylib_guarded([&] { visible = DomainIntersection(own, hull, max_rays); })) {
        report_viewer_failure("find the integer points to draw");
        return 0;
    }
    const DomainPtr visible_owned(visible);
    PointPlans built{std::move(own_rows), std::move(hull_rows), {}, {}};
    int result = 1;
    bool all_built = true;
    for (Polyhedron* p = visible; p && !redraw_stopped(); p = p->next) {
        auto plan = std::make_unique<ScanPlan>();
        switch (plan->build(p)) {
        case ScanPlan::Build::nothing_to_scan: continue;
        case ScanPlan::Build::failed: result = 0, all_built = false; continue;
        case ScanPlan::Build::ready: break;
        }
        DenseCover cover;
        if (cover.prepare(p) && !holds_many_points(*plan)) cover = DenseCover();
        if (!paint(*plan, cover)) result = 0;
        built.plans.push_back(std::move(plan));
        built.covers.push_back(std::move(cover));
    }
    batch.flush();
    if (all_built && !redraw_stopped()) keep_point_plans(own, std::move(built));
    return result;
}

std::string mark_label(const std::int64_t* coords) {
    std::string label = "(" + std::to_string(static_cast<long long>(coords[0]));
    for (int k = 1; k < DimNP; ++k) label += "," + std::to_string(static_cast<long long>(coords[k]));
    return label + ")";
}

void paint_marks(Painter& painter, const MarkedPoint* list) {
    for (const MarkedPoint* m = list; m; m = m->next) {
        const PlanePoint p = project_point(m->coords, DimNP);
        const PlanePoint position = canvas_position(p.x, p.y);
        paint_plane_marker(painter, mark_blue, p);
        painter.label(mark_blue, static_cast<int>(position.x + 4), static_cast<int>(position.y), mark_label(m->coords));
    }
}

void paint_domains(Painter& painter, int width, int height) {
    painter.clear(width, height);
    if (parameter_values_outside_context()) painter.label(stopped_red, 8, 16, bad_parameters_text);
    if (!view_hull || !visible_union || view_hull->NbRays == 0) return;
    update_view_bounds();
    for (DomainEntry* e = shown_domains(); e; e = e->next) {
        if (!e->view) continue;
        paint_domain_outline(painter, colour_of(e->color), e->view->domain);
        if (e->view->show_points && !redraw_stopped() && paint_integer_points(painter, e))
            paint_marks(painter, e->view->marked);
    }
    if (redraw_stopped()) painter.label(stopped_red, 8, 16, redraw_stopped_text);
}

void redraw_domains(GdkPixmap* pixmap) {
    int width, height;
    canvas_size(width, height);
    if (pixmap) {
        GdkPainter painter(pixmap, label_font);
        painter.defer_fills();
        RedrawStop stop(pixmap);
        redraw_stop = &stop;
        paint_domains(painter, width, height);
        redraw_stop = nullptr;
    }
    if (domain_canvas) {
        GdkRectangle area = {0, 0, width, height};
        gtk_widget_draw(domain_canvas, &area);
        gtk_widget_queue_draw_area(domain_canvas, 0, 0, width, height);
    }
}

void draw_domain_outline(GdkDrawable* drawable, Polyhedron* domain) {
    GdkPainter painter(drawable, label_font);
    paint_domain_outline(painter, foreground_of(domain_gc), domain);
}

void draw_polyhedron_outline(GdkDrawable* drawable, Polyhedron* polyhedron) {
    GdkPainter painter(drawable, label_font);
    paint_polyhedron_outline(painter, foreground_of(domain_gc), polyhedron);
}

void draw_plane_outline(GdkDrawable* drawable, const PlanePoint* points, int n) {
    GdkPainter painter(drawable, label_font);
    paint_plane_outline(painter, foreground_of(domain_gc), points, n);
}

int draw_integer_points(GdkDrawable* drawable, DomainEntry* entry) {
    GdkPainter painter(drawable, label_font);
    return paint_integer_points(painter, entry);
}

void draw_marks(GdkDrawable* drawable, const MarkedPoint* list) {
    GdkPainter painter(drawable, label_font);
    paint_marks(painter, list);
}
