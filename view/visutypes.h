// What the viewer shows, as a record (part of the viewer, view/viewer.h).
#pragma once

#include <cstdint>

#include "store/registry.h"
#include "store/visutypes.h"

// What the viewer shows: the shown dimensions, the shown rectangle of the
// view plane, the domains derived from every shown view, and the last click.
struct ViewerState {
    // The store whose domains are shown: the session's that runs the viewer.
    Registries* registries = nullptr;
    // Number of visualised (non-parameter) dimensions: 1 to MAXDIM once the
    // viewer runs; set only by init_visu.
    int DimNP = 0;
    // x_min, x_max, y_min, y_max of the shown rectangle of the view plane.
    float view_bounds[4] = {};
    // Derived domains; null when there is nothing to hold, owned otherwise.
    // Guarded by domain_lock.
    Polyhedron* visible_union = nullptr;
    Polyhedron* view_hull = nullptr;
    Polyhedron* points_union = nullptr;
    // The last click: its place in the view plane, the squared distance of
    // the best point found (-1: none) and that point.
    float pick_x = 0, pick_y = 0;
    double pick_best = -1;
    std::int64_t picked_point[MAXDIM] = {};
};

#include "view/viewer.h"
