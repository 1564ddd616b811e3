// Point picking: the nearest integer point of the domains whose points are
// drawn, and its mark toggled in every shown domain holding it.
#include "view/picking.h"

#include "base/locks.h"
#include "store/registry.h"
#include "view/context.h"
#include "view/dense_cover.h"
#include "view/drawing_resources.h"
#include "view/point_scanner.h"
#include "view/projection.h"
#include "view/rendering.h"

namespace {

// Squared distance in the view plane beyond which a click picks nothing.
constexpr float pick_limit = 200;

// The distance is measured in the view plane, whatever the zoom; only a
// strictly smaller one replaces the best, so ties go to the first scanned.
int nearest_point_step(const std::int64_t* point, void*) {
    const PlanePoint p = project_point(point, DimNP);
    const float dx = p.x - pick_x;
    const float dy = p.y - pick_y;
    const float d = dx * dx + dy * dy;
    if (d < pick_limit && (pick_best < 0 || d < pick_best)) {
        pick_best = d;
        for (int k = 0; k < DimNP; ++k) picked_point[k] = point[k];
    }
    return 1;
}

bool same_point(const MarkedPoint* m, const std::int64_t* point) {
    for (int k = 0; k < DimNP; ++k)
        if (m->coords[k] != point[k]) return false;
    return true;
}

}  // namespace

void find_nearest_point(float x, float y) {
    pick_x = x;
    pick_y = y;
    pick_best = -1;
    std::int64_t coordinates[MAXDIM] = {};
    for (Polyhedron* q = points_union; q; q = q->next) {
        // Boxes of points too far from the click are left out whole: a click
        // costs the points near it, not all of them.
        DenseCover boxes;
        if (boxes.prepare(q)) {
            boxes.nearest_point(x, y, pick_limit, picked_point, pick_best);
            continue;
        }
        Polyhedron* successors = q->next;
        q->next = nullptr;
        scan_points(q, coordinates, nearest_point_step, nullptr);
        q->next = successors;
    }
}

void pick_point(int column, int row) {
    const PlanePoint click = from_canvas(column, row);
    DomainLock lock;
    update_points_union();
    find_nearest_point(click.x, click.y);
    if (pick_best < 0) return;
    for (DomainEntry* e = shown_domains(); e; e = e->next)
        if (e->view && point_in_domain(e->view->domain, picked_point))
            e->view->marked = toggle_mark(picked_point, e->view->marked);
    redraw_domains(domain_pixmap);
}

MarkedPoint* toggle_mark(const std::int64_t* point, MarkedPoint* list) {
    MarkedPoint* previous = nullptr;
    for (MarkedPoint* m = list; m; previous = m, m = m->next) {
        if (!same_point(m, point)) continue;
        (previous ? previous->next : list) = m->next;
        delete m;
        return list;
    }
    auto* added = new MarkedPoint{};
    for (int k = 0; k < DimNP; ++k) added->coords[k] = point[k];
    added->next = list;
    return added;
}
