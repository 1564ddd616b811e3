// Turning a click into the nearest integer point of the shown domains and
// toggling its mark in every shown domain that contains it.
#pragma once

#include <cstdint>

#include "view/viewer.h"
#include "view/visutypes.h"

// Expects the GDK lock held and domain_lock released (it takes it).
void pick_point(Viewer& viewer, int column, int row);
// The nearest integer point of points_union within sqrt(200) plane units of
// (x, y), the first scanned among equals, into pick_best and picked_point.
// Expects domain_lock held and points_union up to date.
void find_nearest_point(Viewer& viewer, float x, float y);
MarkedPoint* toggle_mark(const Viewer& viewer, const std::int64_t* point, MarkedPoint* list);
