// Colours of integer points blended over the shown domains that hold them,
// and the runs of points that paint one marker again.
#pragma once

#include <cstdint>
#include <gdk/gdk.h>
#include <vector>

#include "store/registry.h"
#include "view/projection.h"
#include "view/viewer.h"

struct BlendSource {
    const Polyhedron* domain;
    const GdkColor* colour;
};

// The shown-points views that may lend a point of `entry` their colour, in
// DomainList order.
std::vector<BlendSource> blend_sources(const Viewer& viewer, const DomainEntry* entry);
// An entry without a colour is drawn in black.
const GdkColor& colour_of(const GdkColor* colour);
// `own` averaged, in order and with truncation at each step, with the colours
// of the sources whose domain holds the point.
GdkColor blend(const GdkColor& own, const std::vector<BlendSource>& sources, const std::int64_t* point);

inline CanvasPoint marker_centre(const Viewer& viewer, const std::int64_t* point) {
    const PlanePoint p = project_point(viewer, point, viewer.state.DimNP);
    return to_canvas(viewer, p.x, p.y);
}

// The colours of the points of one line of the innermost coordinate (the
// earlier coordinates fixed): each blending polyhedron holds an interval of
// it, found once per line from its constraints, so that a point's colour
// and the stretch of one colour cost a few comparisons instead of a
// membership test of every point in every shown domain.
class LineBlend {
public:
    LineBlend(const GdkColor& own, const std::vector<BlendSource>& sources, int dimension);
    // The blend of `own` at x (as `blend` gives it). Most points lie on the
    // line and in the stretch of the point before: one comparison per
    // coordinate. Valid until the next call.
    const GdkColor& colour(const std::int64_t* x) {
        const int last = dimension_ - 1;
        if (known_) {
            bool same_line = true;
            for (int k = 0; k < last; ++k) same_line &= x[k] == prefix_[k];
            if (same_line && x[last] >= known_from_ && x[last] < known_until_) return known_colour_;
        }
        return colour_found(x);
    }
    // The first value of the last coordinate after x's at which some
    // blending polyhedron starts or stops holding the line's points.
    __int128 next_change(const std::int64_t* x);

private:
    struct Piece {
        std::size_t source;
        __int128 low, high;
    };
    void follow(const std::int64_t* x);
    const GdkColor& colour_found(const std::int64_t* x);
    GdkColor colour_at(std::int64_t w) const;
    void enter_line(const std::int64_t* x);

    GdkColor own_;
    const std::vector<BlendSource>& sources_;
    int dimension_;
    bool entered_ = false;
    std::int64_t prefix_[MAXDIM] = {};
    std::vector<Piece> pieces_;   // nonempty intervals, by source in order
    bool known_ = false;           // the colour of known_from_ .. known_until_ - 1
    __int128 known_from_ = 0, known_until_ = 0;
    GdkColor known_colour_{};
};

// How many points, from x on along the last coordinate, paint exactly x's
// marker: the same centre and the same blend.
// Runs along a line tend to be as long as the one before: `guess`, the
// previous run's length, is tried first.
std::int64_t same_marker_run(const Viewer& viewer, LineBlend& line, const std::int64_t* x, int dimension,
                             CanvasPoint centre, std::int64_t guess = 0);
// Whether a unit step of the last coordinate moves a marker by less than a
// pixel, so that runs of equal markers are worth looking for.
bool markers_crowd_along_last(const Viewer& viewer, int dimension);

class ScanPlan;

// Whole values of an outer coordinate whose points paint, point for point,
// the centres that a later value paints again: skipped, since later markers
// cover earlier ones. That holds where every point below a value is also
// below the later values (the bounds below only widen as the coordinate
// grows) and each component of the centre is either untouched by the
// coordinate (its axis has a zero there) or untouched by every coordinate
// below (their axes have zeros there, so one point's centre stands for all):
// the 2-D box 10^6 x 10^6 of the default axes paints one column of points per
// pixel column instead of 10^6 of them.
class SliceRepeats {
public:
    // For a polyhedron scanned by `plan`, at the viewer's projection (the
    // viewer outlives the skips).
    void prepare(const Viewer& viewer, const ScanPlan& plan, int dimension);
    // Before the points with x[0 .. depth] fixed: how many values of x[depth]
    // to skip (less than `remaining`, so that the value reached is painted).
    std::int64_t skip(int depth, const std::int64_t* x, std::int64_t remaining) const;

private:
    struct Rule {
        bool usable = false;
        bool compare[2] = {false, false};   // column, row: compared at one point, else untouched
    };
    const Viewer* viewer_ = nullptr;
    int dimension_ = 0;
    Rule rules_[MAXDIM];
};

// Whether points whose marker would repeat the one just painted (same centre,
// same blend) are skipped instead of painted again (the same pixels):
// marker_run_skipping, the viewer's (view/viewer.h).
