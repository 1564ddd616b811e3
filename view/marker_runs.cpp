// Blended point colours and the runs of points that repeat a marker.
#include "view/marker_runs.h"

#include <algorithm>
#include <cmath>

#include "view/context.h"
#include "view/point_scanner.h"

bool marker_run_skipping = true;

namespace {

const GdkColor black = {0, 0, 0, 0};

__int128 floor_div(__int128 n, __int128 d) {   // d > 0
    __int128 q = n / d;
    if (n % d != 0 && n < 0) --q;
    return q;
}

// Whether each polyhedron of `domain` holds all or none of the points that
// agree with x except in coordinate `last`, which runs from w0 to w1: along
// that line a polyhedron holds an interval, found from its constraints.
bool membership_constant(const Polyhedron* domain, const std::int64_t* x, int last, std::int64_t w0,
                         std::int64_t w1) {
    for (const Polyhedron* p = domain; p; p = p->next) {
        const int d = static_cast<int>(p->Dimension);
        if (p->NbConstraints == 0 || last >= d) continue;
        constexpr __int128 unbounded = __int128{1} << 100;
        __int128 low = -unbounded, high = unbounded;
        for (unsigned r = 0; r < p->NbConstraints && low <= high; ++r) {
            const Value* row = p->Constraint[r];
            const __int128 a = value_of(row[last + 1]);
            __int128 b = value_of(row[d + 1]);
            for (int k = 0; k < d; ++k)
                if (k != last) b += static_cast<__int128>(value_of(row[k + 1])) * x[k];
            if (row[0] == 0) {
                if (a == 0) {
                    if (b != 0) high = low - 1;
                } else if (b % a != 0) {
                    high = low - 1;
                } else {
                    const __int128 w = -b / a;
                    low = std::max(low, w);
                    high = std::min(high, w);
                }
            } else if (a == 0) {
                if (b < 0) high = low - 1;
            } else if (a > 0) {
                low = std::max(low, -floor_div(b, a));   // a w + b >= 0: w >= ceil(-b / a)
            } else {
                high = std::min(high, floor_div(b, -a));
            }
        }
        const bool none = low > high || high < w0 || low > w1;
        const bool all = low <= w0 && high >= w1;
        if (!none && !all) return false;
    }
    return true;
}

}  // namespace

// The centre's column and row are each monotone in the last coordinate (sums,
// products and truncation of floats keep order), and memberships are
// intervals, so the points that agree with x form one run; its length is
// found by doubling, then halving.
std::int64_t same_marker_run(const std::vector<BlendSource>& sources, const std::int64_t* x, int dimension,
                             CanvasPoint centre) {
    const int last = dimension - 1;
    std::int64_t y[MAXDIM];
    std::copy(x, x + dimension, y);
    const std::int64_t w = x[last];
    auto same = [&](std::int64_t k) {
        y[last] = w + k;
        const CanvasPoint c = marker_centre(y);
        if (c.column != centre.column || c.row != centre.row) return false;
        for (const BlendSource& source : sources)
            if (!membership_constant(source.domain, x, last, w, w + k)) return false;
        return true;
    };
    constexpr std::int64_t limit = std::int64_t{1} << 40;
    std::int64_t good = 0, bad = 1;
    while (bad <= limit && same(bad)) {
        good = bad;
        bad *= 2;
    }
    if (bad > limit) return good + 1;
    while (bad - good > 1) {
        const std::int64_t middle = good + (bad - good) / 2;
        if (same(middle)) good = middle; else bad = middle;
    }
    return good + 1;
}

bool markers_crowd_along_last(int dimension) {
    const int last = dimension - 1;
    if (last < 0) return false;
    if (last >= DimNP) return true;   // not projected: the whole run shares a centre
    const float across = static_cast<float>(canvas_width - 60) / (view_bounds[1] - view_bounds[0]);
    const float down = static_cast<float>(canvas_height - 60) / (view_bounds[3] - view_bounds[2]);
    return std::fabs(ProjectionAxes[last][0] * across) < 1.0f && std::fabs(ProjectionAxes[last][1] * down) < 1.0f;
}


std::vector<BlendSource> blend_sources(const DomainEntry* entry) {
    std::vector<BlendSource> sources;
    for (const DomainEntry* e = DomainList; e; e = e->next)
        if (e->name != entry->name && e->view && e->view->show_points) sources.push_back({e->view->domain, e->color});
    return sources;
}

const GdkColor& colour_of(const GdkColor* colour) { return colour ? *colour : black; }

GdkColor blend(const GdkColor& own, const std::vector<BlendSource>& sources, const std::int64_t* point) {
    unsigned red = own.red, green = own.green, blue = own.blue, n = 1;
    for (const BlendSource& source : sources) {
        if (!point_in_domain(source.domain, point)) continue;
        const GdkColor& c = colour_of(source.colour);
        red = (red * n) / (n + 1) + c.red / (n + 1);
        green = (green * n) / (n + 1) + c.green / (n + 1);
        blue = (blue * n) / (n + 1) + c.blue / (n + 1);
        ++n;
    }
    return GdkColor{0, static_cast<guint16>(red), static_cast<guint16>(green), static_cast<guint16>(blue)};
}

CanvasPoint marker_centre(const std::int64_t* point) {
    const PlanePoint p = project_point(point, DimNP);
    return to_canvas(p.x, p.y);
}
