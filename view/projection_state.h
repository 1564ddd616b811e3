// How the view plane is set up, as a record.
#pragma once

#include "store/visutypes.h"

// How the view plane is set up: the axis vectors, and the canvas it maps to.
// Outlives the shown domains: set by init_visu, the Projection window and
// the canvas's size changes.
struct ProjectionState {
    // Pair i is the image in the view plane of a unit step along dimension i.
    float ProjectionAxes[MAXDIM][2] = {};
    // Largest ax, largest ay, smallest ax, smallest ay over the first DimNP axes and the origin.
    float axes_bounds[4] = {};
    int canvas_width = 0;
    int canvas_height = 0;
};
