// The viewer's state in one record, with the view a shown domain carries
// (kept with the entries that own it).
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
extern ViewerState viewer_state;
// The shown store's list of domains, newest first.
inline DomainEntry*& shown_domains() { return viewer_state.registries->DomainList; }
// The fields go by their own names.
inline int& DimNP = viewer_state.DimNP;
inline auto& view_bounds = viewer_state.view_bounds;
inline Polyhedron*& visible_union = viewer_state.visible_union;
inline Polyhedron*& view_hull = viewer_state.view_hull;
inline Polyhedron*& points_union = viewer_state.points_union;
inline float& pick_x = viewer_state.pick_x;
inline float& pick_y = viewer_state.pick_y;
inline double& pick_best = viewer_state.pick_best;
inline auto& picked_point = viewer_state.picked_point;
