// Colours of integer points blended over the shown domains that hold them,
// and the runs of points that paint one marker again.
#pragma once

#include <cstdint>
#include <gdk/gdk.h>
#include <vector>

#include "store/registry.h"
#include "view/projection.h"

struct BlendSource {
    const Polyhedron* domain;
    const GdkColor* colour;
};

// The shown-points views that may lend a point of `entry` their colour, in
// DomainList order.
std::vector<BlendSource> blend_sources(const DomainEntry* entry);
// An entry without a colour is drawn in black.
const GdkColor& colour_of(const GdkColor* colour);
// `own` averaged, in order and with truncation at each step, with the colours
// of the sources whose domain holds the point.
GdkColor blend(const GdkColor& own, const std::vector<BlendSource>& sources, const std::int64_t* point);

CanvasPoint marker_centre(const std::int64_t* point);

// How many points, from x on along the last coordinate, paint exactly x's
// marker: the same centre and the same blend.
std::int64_t same_marker_run(const std::vector<BlendSource>& sources, const std::int64_t* x, int dimension,
                             CanvasPoint centre);
// Whether a unit step of the last coordinate moves a marker by less than a
// pixel, so that runs of equal markers are worth looking for.
bool markers_crowd_along_last(int dimension);

// Whether points whose marker would repeat the one just painted (same centre,
// same blend) are skipped instead of painted again (the same pixels).
extern bool marker_run_skipping;
