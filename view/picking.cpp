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
int nearest_point_step(const std::int64_t* point, void* data) {
    Viewer& viewer = *static_cast<Viewer*>(data);
    const PlanePoint p = project_point(viewer, point, viewer.state.DimNP);
    const float dx = p.x - viewer.state.pick_x;
    const float dy = p.y - viewer.state.pick_y;
    const float d = dx * dx + dy * dy;
    if (d < pick_limit && (viewer.state.pick_best < 0 || d < viewer.state.pick_best)) {
        viewer.state.pick_best = d;
        for (int k = 0; k < viewer.state.DimNP; ++k) viewer.state.picked_point[k] = point[k];
    }
    return 1;
}

bool same_point(const Viewer& viewer, const MarkedPoint* m, const std::int64_t* point) {
    for (int k = 0; k < viewer.state.DimNP; ++k)
        if (m->coords[k] != point[k]) return false;
    return true;
}

}  // namespace

void find_nearest_point(Viewer& viewer, float x, float y) {
    viewer.state.pick_x = x;
    viewer.state.pick_y = y;
    viewer.state.pick_best = -1;
    std::int64_t coordinates[MAXDIM] = {};
    for (Polyhedron* q = viewer.state.points_union; q; q = q->next) {
        // Boxes of points too far from the click are left out whole: a click
        // costs the points near it, not all of them.
        DenseCover boxes(viewer);
        if (boxes.prepare(q)) {
            boxes.nearest_point(x, y, pick_limit, viewer.state.picked_point, viewer.state.pick_best);
            continue;
        }
        Polyhedron* successors = q->next;
        q->next = nullptr;
        scan_points(q, coordinates, nearest_point_step, &viewer);
        q->next = successors;
    }
}

void pick_point(Viewer& viewer, int column, int row) {
    const PlanePoint click = from_canvas(viewer, column, row);
    DomainLock lock;
    update_points_union(viewer);
    find_nearest_point(viewer, click.x, click.y);
    if (viewer.state.pick_best < 0) return;
    for (DomainEntry* e = viewer.state.registries->DomainList; e; e = e->next)
        if (e->view && point_in_domain(e->view->domain, viewer.state.picked_point))
            e->view->marked = toggle_mark(viewer, viewer.state.picked_point, e->view->marked);
    redraw_domains(viewer, viewer.drawing.domain_pixmap);
}

MarkedPoint* toggle_mark(const Viewer& viewer, const std::int64_t* point, MarkedPoint* list) {
    MarkedPoint* previous = nullptr;
    for (MarkedPoint* m = list; m; previous = m, m = m->next) {
        if (!same_point(viewer, m, point)) continue;
        (previous ? previous->next : list) = m->next;
        delete m;
        return list;
    }
    auto* added = new MarkedPoint{};
    for (int k = 0; k < viewer.state.DimNP; ++k) added->coords[k] = point[k];
    added->next = list;
    return added;
}
