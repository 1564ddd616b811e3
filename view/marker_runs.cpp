// Blended point colours and the runs of points that repeat a marker.
#include "view/marker_runs.h"

#include <algorithm>
#include <cmath>

#include "view/context.h"
#include "view/point_scanner.h"


namespace {

const GdkColor black = {0, 0, 0, 0};

__int128 floor_div(__int128 n, __int128 d) {   // d > 0
    __int128 q = n / d;
    if (n % d != 0 && n < 0) --q;
    return q;
}

constexpr __int128 unbounded = __int128{1} << 100;

// The values of coordinate `last` at which the polyhedron holds the points
// that agree with x elsewhere: along that line, an interval (empty when
// low > high), found from the constraints.
void line_interval(const Polyhedron* p, const std::int64_t* x, int last, __int128& low, __int128& high) {
    const int d = static_cast<int>(p->Dimension);
    low = -unbounded;
    high = unbounded;
    if (p->NbConstraints == 0) return;
    if (last >= d) {
        Polyhedron alone = *p;   // this polyhedron only, not the rest of its union
        alone.next = nullptr;
        if (!point_in_domain(&alone, x)) high = low - 1;
        return;
    }
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
}

}  // namespace

// The centre's column and row are each monotone in the last coordinate (sums,
// products and truncation of floats keep order), and memberships are
// intervals, so the points that agree with x form one run; its length is
// found by doubling, then halving, within the stretch of one blend.
std::int64_t same_marker_run(const Viewer& viewer, LineBlend& line, const std::int64_t* x, int dimension,
                             CanvasPoint centre, std::int64_t guess) {
    const int last = dimension - 1;
    std::int64_t y[MAXDIM];
    std::copy(x, x + dimension, y);
    const std::int64_t w = x[last];
    const __int128 change = line.next_change(x);
    auto same = [&](std::int64_t k) {
        if (w + static_cast<__int128>(k) >= change) return false;
        y[last] = w + k;
        const CanvasPoint c = marker_centre(viewer, y);
        return c.column == centre.column && c.row == centre.row;
    };
    constexpr std::int64_t limit = std::int64_t{1} << 40;
    if (guess >= 2 && guess <= limit && same(guess - 1) && !same(guess)) return guess;
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

LineBlend::LineBlend(const GdkColor& own, const std::vector<BlendSource>& sources, int dimension)
    : own_(own), sources_(sources), dimension_(dimension) {}

void LineBlend::enter_line(const std::int64_t* x) {
    const int last = dimension_ - 1;
    std::copy(x, x + last, prefix_);
    entered_ = true;
    known_ = false;
    pieces_.clear();
    for (std::size_t s = 0; s < sources_.size(); ++s)
        for (const Polyhedron* p = sources_[s].domain; p; p = p->next) {
            Piece piece{s, 0, 0};
            line_interval(p, x, last, piece.low, piece.high);
            if (piece.low <= piece.high) pieces_.push_back(piece);
        }
}

void LineBlend::follow(const std::int64_t* x) {
    if (entered_ && std::equal(x, x + dimension_ - 1, prefix_)) return;
    enter_line(x);
}

// A colour holds from the point it was found at to the line's next change,
// and points come along the line in increasing order: most are answered by
// one comparison.
const GdkColor& LineBlend::colour_found(const std::int64_t* x) {
    follow(x);
    const std::int64_t w = x[dimension_ - 1];
    if (known_ && w >= known_from_ && w < known_until_) return known_colour_;
    known_from_ = w;
    known_until_ = next_change(x);
    known_ = true;
    known_colour_ = colour_at(w);
    return known_colour_;
}

GdkColor LineBlend::colour_at(std::int64_t w) const {
    unsigned red = own_.red, green = own_.green, blue = own_.blue, n = 1;
    std::size_t at = 0;
    for (std::size_t s = 0; s < sources_.size(); ++s) {
        bool member = false;
        for (; at < pieces_.size() && pieces_[at].source == s; ++at)
            member = member || (pieces_[at].low <= w && w <= pieces_[at].high);
        if (!member) continue;
        const GdkColor& c = colour_of(sources_[s].colour);
        red = (red * n) / (n + 1) + c.red / (n + 1);
        green = (green * n) / (n + 1) + c.green / (n + 1);
        blue = (blue * n) / (n + 1) + c.blue / (n + 1);
        ++n;
    }
    return GdkColor{0, static_cast<guint16>(red), static_cast<guint16>(green), static_cast<guint16>(blue)};
}

__int128 LineBlend::next_change(const std::int64_t* x) {
    follow(x);
    const __int128 w = x[dimension_ - 1];
    __int128 change = unbounded;
    for (const Piece& piece : pieces_) {
        if (piece.low > w) change = std::min(change, piece.low);
        else if (piece.high >= w) change = std::min(change, piece.high + 1);
    }
    return change;
}

bool markers_crowd_along_last(const Viewer& viewer, int dimension) {
    const int last = dimension - 1;
    if (last < 0) return false;
    if (last >= viewer.state.DimNP) return true;   // not projected: the whole run shares a centre
    const float across = static_cast<float>(viewer.projection.canvas_width - 60) /
                         (viewer.state.view_bounds[1] - viewer.state.view_bounds[0]);
    const float down = static_cast<float>(viewer.projection.canvas_height - 60) /
                       (viewer.state.view_bounds[3] - viewer.state.view_bounds[2]);
    return std::fabs(viewer.projection.ProjectionAxes[last][0] * across) < 1.0f &&
           std::fabs(viewer.projection.ProjectionAxes[last][1] * down) < 1.0f;
}

std::vector<BlendSource> blend_sources(const Viewer& viewer, const DomainEntry* entry) {
    std::vector<BlendSource> sources;
    for (const DomainEntry* e = viewer.state.registries->DomainList; e; e = e->next)
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

namespace {

// Whether the coordinate's unit step leaves the component of every projected
// point unchanged: its axis is zero there (the float sums then add zeros).
bool untouched(const Viewer& viewer, int coordinate, int component) {
    return coordinate >= viewer.state.DimNP || viewer.projection.ProjectionAxes[coordinate][component] == 0.0f;
}

}  // namespace

void SliceRepeats::prepare(const Viewer& viewer, const ScanPlan& plan, int dimension) {
    viewer_ = &viewer;
    dimension_ = dimension;
    for (int depth = 0; depth < dimension && depth < MAXDIM; ++depth) {
        Rule rule;
        rule.usable = depth + 1 < dimension && plan.later_levels_widen_with(depth);
        for (int component = 0; component < 2 && rule.usable; ++component) {
            if (untouched(viewer, depth, component)) continue;
            bool below_untouched = true;
            for (int k = depth + 1; k < dimension; ++k)
                below_untouched = below_untouched && untouched(viewer, k, component);
            rule.compare[component] = below_untouched;
            rule.usable = below_untouched;
        }
        rules_[depth] = rule;
    }
}

// The compared components are monotone in x[depth], so equal centres at
// x[depth] and x[depth] + k mean equal centres at every value between; the
// largest such k is found by doubling, then halving.
std::int64_t SliceRepeats::skip(int depth, const std::int64_t* x, std::int64_t remaining) const {
    if (depth >= dimension_ || !rules_[depth].usable || remaining < 2) return 0;
    const Rule& rule = rules_[depth];
    const Viewer& viewer = *viewer_;
    std::int64_t y[MAXDIM];
    std::copy(x, x + dimension_, y);
    const CanvasPoint here = marker_centre(viewer, x);
    auto same = [&](std::int64_t k) {
        y[depth] = x[depth] + k;
        const CanvasPoint there = marker_centre(viewer, y);
        return (!rule.compare[0] || there.column == here.column) && (!rule.compare[1] || there.row == here.row);
    };
    const std::int64_t last = remaining - 1;
    std::int64_t good = 0, bad = 1;
    while (same(bad)) {
        good = bad;
        if (good == last) return good;
        bad = std::min(bad * 2, last);
    }
    while (bad - good > 1) {
        const std::int64_t middle = good + (bad - good) / 2;
        if (same(middle)) good = middle; else bad = middle;
    }
    return good;
}
