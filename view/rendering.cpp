// Rendering of the shown domains: for each shown domain in list order, its
// outline, then its integer points in colours blended over all shown domains
// holding them, then its labelled marked points.
#include "view/rendering.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <memory>
#include <unordered_map>

#include "view/blend_cover.h"
#include "view/context.h"
#include "view/dense_cover.h"
#include "view/drawing_resources.h"
#include "view/failure.h"
#include "view/point_scanner.h"

namespace {

constexpr unsigned max_rays = 1000;

}  // namespace

// Whether the user asked a long canvas redraw to stop: a stop request (a
// counter, cheap to read) every few thousand points, and the display once
// the redraw has run redraw_patience_ms.
class RedrawStop {
public:
    RedrawStop(GdkDrawable* drawable, const StopRequests* requests)
        : drawable_(drawable), requests_(requests), requests_at_start_(requests ? requests->stop_requests() : 0),
          start_(std::chrono::steady_clock::now()) {}
    bool requested() {
        if (stopped_) return true;
        if (--countdown_ > 0) return false;
        countdown_ = points_between_checks;
        if (requests_ && requests_->stop_requests() != requests_at_start_) return stopped_ = interrupted_ = true;
        if (std::chrono::steady_clock::now() - start_ < std::chrono::milliseconds(redraw_patience_ms)) return false;
        stopped_ = escape_pressed(drawable_);
        return stopped_;
    }
    bool stopped() const { return stopped_; }
    const char* stopped_text() const { return interrupted_ ? redraw_interrupted_text : redraw_stopped_text; }

private:
    static constexpr int points_between_checks = 4096;
    GdkDrawable* drawable_;
    const StopRequests* requests_;
    unsigned long requests_at_start_;
    std::chrono::steady_clock::time_point start_;
    int countdown_ = points_between_checks;
    bool stopped_ = false;
    bool interrupted_ = false;
};

namespace {

// The pieces of a crowded polyhedron that blends, for the sources (their
// constraints and colours, and the own colour) they were cut by.
struct Blend {
    DomainPtr polyhedron;
    std::vector<Value> key;
    std::unique_ptr<BlendCover> cover;
    bool suits = false;
};

struct PointPlans {
    std::vector<Value> domain, hull;
    std::vector<std::unique_ptr<ScanPlan>> plans;
    std::vector<DenseCover> covers;   // one per plan
    std::vector<Blend> blends;        // one per plan
};

}  // namespace

// The redraw's scratch and kept plans, by the viewer.
struct RenderingCaches {
    MarkerCover spans_of;
    std::vector<PixelSpan> spans;
    std::unordered_map<const Polyhedron*, PointPlans> point_plans;
};

void delete_cache(RenderingCaches* cache) { delete cache; }

namespace {

RenderingCaches& rendering_caches(Viewer& viewer) {
    if (!viewer.rendering_caches) viewer.rendering_caches = new RenderingCaches;
    return *viewer.rendering_caches;
}

// The viewer's redraw_stop is set while redraw_domains paints the canvas;
// figures are not stopped.
bool redraw_stopped(const Viewer& viewer) { return viewer.redraw_stop && viewer.redraw_stop->stopped(); }

const GdkColor stopped_red = {0, 65535, 0, 0};

const GdkColor mark_blue = {0, 0, 0, 65535};

// One pass over the points of a domain: its colour, the domains its points
// may blend with, and the batch their markers go to.
struct PointPass {
    Viewer& viewer;
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
        if (RedrawStop* stop = pass.viewer.redraw_stop; stop && stop->requested()) return {0};
        const CanvasPoint centre = marker_centre(pass.viewer, x);
        pass.batch->add(line.colour(x), centre);
        if (!skip_repeats) return {1};
        last_run = same_marker_run(pass.viewer, line, x, dimension, centre, last_run);
        return {last_run};
    }
    std::int64_t outer_skip(int depth, const std::int64_t* x, std::int64_t remaining) {
        if (!pass.markers_fit) return remaining;
        return slices ? slices->skip(depth, x, remaining) : 0;
    }
};

// The points of one compiled polyhedron; false when the scan failed.
bool paint_planned_points(PointPass& pass, const ScanPlan& plan, std::int64_t* coordinates) {
    const Viewer& viewer = pass.viewer;
    const int dimension = plan.dimension();
    SliceRepeats slices;
    if (viewer.marker_run_skipping) slices.prepare(viewer, plan, dimension);
    // Points whose marker repeats the one just painted are skipped: the same
    // pixels in the same colour, however many of them there are.
    PointVisitor visitor{pass, LineBlend(pass.own, pass.sources, dimension), dimension,
                         viewer.marker_run_skipping && markers_crowd_along_last(viewer, dimension),
                         viewer.marker_run_skipping ? &slices : nullptr};
    return plan.run(coordinates, visitor) == ScanResult::done;
}

// The points of a polyhedron that crowd the canvas in one colour (no other
// shown domain holds any of them, so that their order does not matter),
// found from the pixels' side; false when stopped.
bool paint_crowded_points(PointPass& pass, DenseCover& cover) {
    Viewer& viewer = pass.viewer;
    MarkerCover& spans_of = rendering_caches(viewer).spans_of;
    std::vector<PixelSpan>& spans = rendering_caches(viewer).spans;
    const bool done = cover.centres([&] { return viewer.redraw_stop && viewer.redraw_stop->requested(); });
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

std::vector<Value> union_constraints(const Polyhedron* domain);

// The points of a crowded polyhedron whose points blend with other shown
// domains, pixel by pixel (`done` false when stopped); false when the
// polyhedron does not suit. The pieces are cut again when the sources
// changed.
bool paint_blended_points(PointPass& pass, Blend& blend, bool& done) {
    Viewer& viewer = pass.viewer;
    std::vector<Value> key;
    for (const GdkColor* c : {&pass.own}) key.insert(key.end(), {c->red, c->green, c->blue});
    for (const BlendSource& source : pass.sources) {
        const GdkColor& c = colour_of(source.colour);
        key.insert(key.end(), {c.red, c.green, c.blue});
        const std::vector<Value> rows = union_constraints(source.domain);
        key.insert(key.end(), rows.begin(), rows.end());
        key.push_back(-1);
    }
    if (!blend.cover || key != blend.key) {
        blend.cover = std::make_unique<BlendCover>(viewer);
        blend.suits = blend.cover->prepare(blend.polyhedron.get(), pass.own, pass.sources);
        blend.key = std::move(key);
    }
    if (!blend.suits) return false;
    pass.batch->flush();
    done = blend.cover->paint(pass.painter, [&] { return viewer.redraw_stop && viewer.redraw_stop->requested(); });
    return true;
}

// Whether a crowded polyhedron's blended points go the pixels' way.
bool crowds_blended(const PointPass& pass, const DenseCover& cover, const Blend& blend) {
    return pass.viewer.marker_run_skipping && pass.markers_fit && blend.polyhedron && cover.crowded() &&
           !pass.sources.empty();
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
    return pass.viewer.marker_run_skipping && pass.markers_fit && cover.crowded() &&
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

// Destroyed with the viewer, under domain_lock (plans release PolyLib matrices).
std::unordered_map<const Polyhedron*, PointPlans>& point_plans(Viewer& viewer) {
    return rendering_caches(viewer).point_plans;
}

std::vector<Value> union_constraints(const Polyhedron* domain) {
    std::vector<Value> rows;
    for (const Polyhedron* p = domain; p; p = p->next) {
        rows.push_back(static_cast<Value>(p->NbConstraints));
        for (unsigned r = 0; r < p->NbConstraints; ++r)
            rows.insert(rows.end(), p->Constraint[r], p->Constraint[r] + p->Dimension + 2);
    }
    return rows;
}

PointPlans* kept_point_plans(Viewer& viewer, const Polyhedron* domain, const std::vector<Value>& own,
                             const std::vector<Value>& hull) {
    auto found = point_plans(viewer).find(domain);
    if (found == point_plans(viewer).end() || found->second.domain != own || found->second.hull != hull) return nullptr;
    return &found->second;
}

void keep_point_plans(Viewer& viewer, const Polyhedron* domain, PointPlans plans) {
    if (point_plans(viewer).size() >= point_plans_capacity) point_plans(viewer).clear();
    point_plans(viewer)[domain] = std::move(plans);
}
void canvas_size(const Viewer& viewer, int& width, int& height) {
    width = viewer.projection.canvas_width;
    height = viewer.projection.canvas_height;
    if (viewer.drawing.domain_canvas) {
        width = viewer.drawing.domain_canvas->allocation.width;
        height = viewer.drawing.domain_canvas->allocation.height;
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

void release_point_gcs(Viewer& viewer) {
    point_gc_cache(viewer).release();
    line_gc_cache(viewer).release();
}

int point_gcs_held(Viewer& viewer) { return point_gc_cache(viewer).held(); }

GdkColor blended_colour(const Viewer& viewer, const DomainEntry* entry, const std::int64_t* point) {
    return blend(colour_of(entry->color), blend_sources(viewer, entry), point);
}

int paint_integer_points(Viewer& viewer, Painter& painter, DomainEntry* entry) {
    Polyhedron* own = entry->view->domain;
    std::vector<Value> own_rows = union_constraints(own), hull_rows = union_constraints(viewer.state.view_hull);
    MarkerBatch batch(painter, viewer.marker_cover_threshold);
    PointPass pass{
        viewer, painter, colour_of(entry->color), blend_sources(viewer, entry), &batch, canvas_takes_markers(viewer)};
    std::int64_t coordinates[MAXDIM] = {};
    auto paint = [&](const ScanPlan& plan, DenseCover& cover, Blend& blend) {
        if (crowds_in_one_colour(pass, cover)) return paint_crowded_points(pass, cover);
        bool done = true;
        if (crowds_blended(pass, cover, blend) && paint_blended_points(pass, blend, done)) return done;
        return paint_planned_points(pass, plan, coordinates);
    };
    if (PointPlans* kept = kept_point_plans(viewer, own, own_rows, hull_rows)) {
        int result = 1;
        for (std::size_t k = 0; k < kept->plans.size(); ++k)
            if (redraw_stopped(viewer) || !paint(*kept->plans[k], kept->covers[k], kept->blends[k])) result = 0;
        return result;
    }
    Polyhedron* visible = nullptr;
    Polyhedron* hull = viewer.state.view_hull;
    if (!polylib_guarded([&] { visible = DomainIntersection(own, hull, max_rays); })) {
        report_viewer_failure("find the integer points to draw");
        return 0;
    }
    const DomainPtr visible_owned(visible);
    PointPlans built{std::move(own_rows), std::move(hull_rows), {}, {}, {}};
    int result = 1;
    bool all_built = true;
    for (Polyhedron* p = visible; p && !redraw_stopped(viewer); p = p->next) {
        auto plan = std::make_unique<ScanPlan>();
        switch (plan->build(p)) {
        case ScanPlan::Build::nothing_to_scan: continue;
        case ScanPlan::Build::failed: result = 0, all_built = false; continue;
        case ScanPlan::Build::ready: break;
        }
        DenseCover cover(viewer);
        if (cover.prepare(p) && !holds_many_points(*plan)) cover = DenseCover(viewer);
        Blend blend;
        if (cover.prepared()) {
            Polyhedron* alone = nullptr;
            Polyhedron* next = p->next;
            p->next = nullptr;
            polylib_guarded([&] { alone = Polyhedron_Copy(p); });
            p->next = next;
            blend.polyhedron.reset(alone);
        }
        if (!paint(*plan, cover, blend)) result = 0;
        built.plans.push_back(std::move(plan));
        built.covers.push_back(std::move(cover));
        built.blends.push_back(std::move(blend));
    }
    batch.flush();
    if (all_built && !redraw_stopped(viewer)) keep_point_plans(viewer, own, std::move(built));
    return result;
}

std::string mark_label(const Viewer& viewer, const std::int64_t* coords) {
    std::string label = "(" + std::to_string(static_cast<long long>(coords[0]));
    for (int k = 1; k < viewer.state.DimNP; ++k) label += "," + std::to_string(static_cast<long long>(coords[k]));
    return label + ")";
}

void paint_marks(const Viewer& viewer, Painter& painter, const MarkedPoint* list) {
    for (const MarkedPoint* m = list; m; m = m->next) {
        const PlanePoint p = project_point(viewer, m->coords, viewer.state.DimNP);
        const PlanePoint position = canvas_position(viewer, p.x, p.y);
        paint_plane_marker(viewer, painter, mark_blue, p);
        painter.label(mark_blue, static_cast<int>(position.x + 4), static_cast<int>(position.y),
                      mark_label(viewer, m->coords));
    }
}

void paint_domains(Viewer& viewer, Painter& painter, int width, int height) {
    painter.clear(width, height);
    if (parameter_values_outside_context(viewer)) painter.label(stopped_red, 8, 16, bad_parameters_text);
    if (!viewer.state.view_hull || !viewer.state.visible_union || viewer.state.view_hull->NbRays == 0) return;
    update_view_bounds(viewer);
    for (DomainEntry* e = viewer.state.registries->DomainList; e; e = e->next) {
        if (!e->view) continue;
        paint_domain_outline(viewer, painter, colour_of(e->color), e->view->domain);
        if (e->view->show_points && !redraw_stopped(viewer) && paint_integer_points(viewer, painter, e))
            paint_marks(viewer, painter, e->view->marked);
    }
    if (redraw_stopped(viewer)) painter.label(stopped_red, 8, 16, viewer.redraw_stop->stopped_text());
}

void redraw_domains(Viewer& viewer, GdkPixmap* pixmap) {
    int width, height;
    canvas_size(viewer, width, height);
    if (pixmap) {
        GdkPainter painter(viewer, pixmap, viewer.drawing.label_font);
        painter.defer_fills();
        RedrawStop stop(pixmap, viewer.stop_requests);
        viewer.redraw_stop = &stop;
        paint_domains(viewer, painter, width, height);
        viewer.redraw_stop = nullptr;
    }
    if (viewer.drawing.domain_canvas) {
        GdkRectangle area = {0, 0, width, height};
        gtk_widget_draw(viewer.drawing.domain_canvas, &area);
        gtk_widget_queue_draw_area(viewer.drawing.domain_canvas, 0, 0, width, height);
    }
}

void draw_domain_outline(Viewer& viewer, GdkDrawable* drawable, Polyhedron* domain) {
    GdkPainter painter(viewer, drawable, viewer.drawing.label_font);
    paint_domain_outline(viewer, painter, foreground_of(viewer.drawing.domain_gc), domain);
}

void draw_polyhedron_outline(Viewer& viewer, GdkDrawable* drawable, Polyhedron* polyhedron) {
    GdkPainter painter(viewer, drawable, viewer.drawing.label_font);
    paint_polyhedron_outline(viewer, painter, foreground_of(viewer.drawing.domain_gc), polyhedron);
}

void draw_plane_outline(Viewer& viewer, GdkDrawable* drawable, const PlanePoint* points, int n) {
    GdkPainter painter(viewer, drawable, viewer.drawing.label_font);
    paint_plane_outline(viewer, painter, foreground_of(viewer.drawing.domain_gc), points, n);
}

int draw_integer_points(Viewer& viewer, GdkDrawable* drawable, DomainEntry* entry) {
    GdkPainter painter(viewer, drawable, viewer.drawing.label_font);
    return paint_integer_points(viewer, painter, entry);
}

void draw_marks(Viewer& viewer, GdkDrawable* drawable, const MarkedPoint* list) {
    GdkPainter painter(viewer, drawable, viewer.drawing.label_font);
    paint_marks(viewer, painter, list);
}
