// Rendering of the shown domains: for each shown domain in list order, its
// outline, then its integer points in colours blended over all shown domains
// holding them, then its labelled marked points.
#include "view/rendering.h"

#include <limits>

#include "view/context.h"
#include "view/drawing_resources.h"
#include "view/failure.h"
#include "view/point_scanner.h"

namespace {

constexpr unsigned max_rays = 1000;

const GdkColor mark_blue = {0, 0, 0, 65535};

// One pass over the points of a domain: its colour, the domains its points
// may blend with, and the batch their markers go to.
struct PointPass {
    GdkColor own;
    std::vector<BlendSource> sources;
    MarkerBatch* batch;
    bool markers_fit;
};

// Batches the point's marker (the markers must fit the canvas) and gives its centre.
CanvasPoint paint_point(PointPass& pass, const std::int64_t* point) {
    const CanvasPoint centre = marker_centre(point);
    pass.batch->add(blend(pass.own, pass.sources, point), centre);
    return centre;
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
    Polyhedron* visible = nullptr;
    Polyhedron* own = entry->view->domain;
    Polyhedron* hull = view_hull;
    if (!polylib_guarded([&] { visible = DomainIntersection(own, hull, max_rays); })) {
        report_viewer_failure("find the integer points to draw");
        return 0;
    }
    MarkerBatch batch(painter);
    PointPass pass{colour_of(entry->color), blend_sources(entry), &batch, canvas_takes_markers()};
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
            if (!pass.markers_fit) return {std::numeric_limits<std::int64_t>::max()};
            const CanvasPoint centre = paint_point(pass, x);
            return {skip_repeats ? same_marker_run(pass.sources, x, dimension, centre) : 1};
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
    if (!view_hull || !visible_union || view_hull->NbRays == 0) return;
    update_view_bounds();
    for (DomainEntry* e = DomainList; e; e = e->next) {
        if (!e->view) continue;
        paint_domain_outline(painter, colour_of(e->color), e->view->domain);
        if (e->view->show_points && paint_integer_points(painter, e)) paint_marks(painter, e->view->marked);
    }
}

void redraw_domains(GdkPixmap* pixmap) {
    int width, height;
    canvas_size(width, height);
    if (pixmap) {
        GdkPainter painter(pixmap, label_font);
        paint_domains(painter, width, height);
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
