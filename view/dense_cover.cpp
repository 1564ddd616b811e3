// Marker centres of crowded polyhedra, found pixel by pixel.
#include "view/dense_cover.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "view/context.h"
#include "view/marker_runs.h"

namespace {

constexpr std::int64_t coordinate_limit = 2147483647;

// Below a pixel with a margin: the float centres may stray from the exact
// ones by far less than that, and a pixel missed only costs halving.
constexpr double crowded_step = 0.95;

// Boxes across the border whose centres span at most this many pixels are
// settled after the boxes inside.
constexpr int deferred_area = 64;
constexpr std::size_t deferred_capacity = std::size_t{1} << 16;

// Whether some bits of word are set at columns first .. last of it (0 .. 63).
std::uint64_t word_mask(int first, int last) {
    const std::uint64_t upper = last >= 63 ? ~std::uint64_t{0} : (std::uint64_t{1} << (last + 1)) - 1;
    return upper & (~std::uint64_t{0} << first);
}

// The middle of the values that truncate to v (truncation goes toward zero,
// so 0 takes the values from -1 to 1).
double truncation_middle(int v) {
    if (v > 0) return v + 0.5;
    if (v < 0) return v - 0.5;
    return 0.0;
}

std::int64_t floor_div(std::int64_t n, std::int64_t d) {   // d > 0
    std::int64_t q = n / d;
    if (n % d != 0 && n < 0) --q;
    return q;
}

std::int64_t ceil_div(std::int64_t n, std::int64_t d) { return -floor_div(-n, d); }

}  // namespace

bool DenseCover::prepare(const Polyhedron* polyhedron) {
    dimension_ = 0;
    rows_.clear();
    if (!polyhedron || polyhedron->NbEq > 0 || polyhedron->NbRays == 0) return false;
    const int d = static_cast<int>(polyhedron->Dimension);
    if (d < 2 || d > MAXDIM) return false;
    Box bounds{};
    for (int k = 0; k < d; ++k) {
        bounds.lo[k] = coordinate_limit;
        bounds.hi[k] = -coordinate_limit;
    }
    vertices_.clear();
    for (unsigned r = 0; r < polyhedron->NbRays; ++r) {
        const Value* ray = polyhedron->Ray[r];
        const Value den = ray[d + 1];
        if (ray[0] == 0 || den <= 0) return false;   // a line or a ray: not bounded
        for (int k = 0; k < d; ++k) vertices_.push_back(static_cast<double>(ray[k + 1]) / static_cast<double>(den));
        for (int k = 0; k < d; ++k) {
            const Value v = ray[k + 1];
            if (v / den > coordinate_limit || v / den < -coordinate_limit) return false;
            bounds.lo[k] = std::min(bounds.lo[k], ceil_div(v, den));
            bounds.hi[k] = std::max(bounds.hi[k], floor_div(v, den));
        }
    }
    for (int k = 0; k < d; ++k)
        if (bounds.lo[k] > bounds.hi[k]) return false;
    for (unsigned r = 0; r < polyhedron->NbConstraints; ++r) {
        const Value* row = polyhedron->Constraint[r];
        if (row[0] == 0) {
            rows_.clear();
            return false;
        }
        rows_.insert(rows_.end(), row + 1, row + d + 2);
    }
    bounds_ = bounds;
    dimension_ = d;
    find_deep_vertices(polyhedron);
    return true;
}

// A point y with a + 0.5 |a| <= a . y + b for every row lies at least half a
// unit inside each constraint: every rounding of it is a point of the
// polyhedron. Rows doubled to stay integral.
void DenseCover::find_deep_vertices(const Polyhedron* polyhedron) {
    deep_.clear();
    const int d = dimension_;
    const std::size_t width = static_cast<std::size_t>(d) + 1;
    const std::size_t rows = rows_.size() / width;
    Polyhedron* deep = nullptr;
    const bool ok = polylib_guarded([&] {
        Matrix* m = Matrix_Alloc(static_cast<unsigned>(rows), static_cast<unsigned>(d) + 2);
        for (std::size_t r = 0; r < rows; ++r) {
            const std::int64_t* row = rows_.data() + r * width;
            __int128 slack = 0;
            m->p[r][0] = 1;
            for (int k = 0; k < d; ++k) {
                m->p[r][k + 1] = 2 * row[k];
                slack += row[k] < 0 ? -static_cast<__int128>(row[k]) : row[k];
            }
            m->p[r][d + 1] = static_cast<Value>(2 * static_cast<__int128>(row[d]) - slack);
        }
        deep = Constraints2Polyhedron(m, 100000);
        Matrix_Free(m);
    });
    if (!ok || !deep) return;
    const DomainPtr owned(deep);
    (void)polyhedron;
    for (unsigned r = 0; r < deep->NbRays; ++r) {
        const Value* ray = deep->Ray[r];
        if (ray[0] == 0 || ray[d + 1] <= 0) {
            deep_.clear();
            return;
        }
        for (int k = 0; k < d; ++k) deep_.push_back(static_cast<double>(ray[k + 1]) / static_cast<double>(ray[d + 1]));
    }
}

// The convex hull of the exact pictures of the points (dimension_
// coordinates each), as (row, column) pairs in order; fewer than 3 when flat.
std::vector<std::pair<double, double>> DenseCover::picture_hull(const std::vector<double>& coordinates) const {
    const int d = dimension_;
    std::vector<std::pair<double, double>> points;
    for (std::size_t v = 0; v < coordinates.size(); v += static_cast<std::size_t>(d)) {
        double x = origin_x_, y = origin_y_;
        for (int k = 0; k < d; ++k) x += coordinates[v + k] * step_x_[k], y += coordinates[v + k] * step_y_[k];
        points.push_back({y, x});
    }
    // Andrew's monotone chain, by rows then columns.
    std::sort(points.begin(), points.end());
    points.erase(std::unique(points.begin(), points.end()), points.end());
    if (points.size() < 3) return points;
    auto turn = [](const std::pair<double, double>& o, const std::pair<double, double>& a,
                   const std::pair<double, double>& b) {
        return (a.first - o.first) * (b.second - o.second) - (a.second - o.second) * (b.first - o.first);
    };
    std::vector<std::pair<double, double>> hull(2 * points.size());
    std::size_t h = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        while (h >= 2 && turn(hull[h - 2], hull[h - 1], points[i]) <= 0) --h;
        hull[h++] = points[i];
    }
    for (std::size_t i = points.size() - 1, t = h + 1; i-- > 0;) {
        while (h >= t && turn(hull[h - 2], hull[h - 1], points[i]) <= 0) --h;
        hull[h++] = points[i];
    }
    hull.resize(h - 1);
    return hull;
}

// The columns whose centres a point of the polyhedron can have, row by row:
// those of the positions within the rounding's bound of its picture.
void DenseCover::find_picture_rows() {
    const int rows = clip_y1_ - clip_y0_ + 1;
    picture_first_.assign(static_cast<std::size_t>(rows), clip_x0_);
    picture_last_.assign(static_cast<std::size_t>(rows), clip_x1_);
    std::vector<std::pair<double, double>> hull = picture_hull(vertices_);
    if (hull.empty()) return;
    const double r = reach_;
    for (int y = clip_y0_; y <= clip_y1_; ++y) {
        const double top = (y > 0 ? y : y - 1.0) - r, bottom = (y < 0 ? y : y + 1.0) + r;
        double low = INFINITY, high = -INFINITY;
        for (std::size_t k = 0; k < hull.size(); ++k) {
            const auto& a = hull[k];
            const auto& b = hull[k + 1 < hull.size() ? k + 1 : 0];
            if (a.first >= top && a.first <= bottom) low = std::min(low, a.second), high = std::max(high, a.second);
            for (const double line : {top, bottom})
                if ((a.first < line) != (b.first < line)) {
                    const double x = a.second + (b.second - a.second) * (line - a.first) / (b.first - a.first);
                    low = std::min(low, x), high = std::max(high, x);
                }
        }
        int from = clip_x1_ + 1, to = clip_x0_ - 1;
        if (low <= high) {
            from = std::max(clip_x0_, static_cast<int>(std::clamp(std::trunc(low - r), -2.0e9, 2.0e9)));
            to = std::min(clip_x1_, static_cast<int>(std::clamp(std::trunc(high + r), -2.0e9, 2.0e9)));
        }
        picture_first_[static_cast<std::size_t>(y - clip_y0_)] = from;
        picture_last_[static_cast<std::size_t>(y - clip_y0_)] = to;
    }
}

// The pixels whose middle lies in the picture of the deep points: rounding
// the deep point of such a middle moves its picture by at most half the sum
// of the steps, less than half a pixel when every coordinate crowds, so that
// its centre is that pixel. Only a convex hull of projected vertices, then
// the rows' spans.
void DenseCover::cover_deep_picture() {
    const int d = dimension_;
    double across = 0, down = 0;
    for (int k = 0; k < d; ++k) across += std::fabs(step_x_[k]), down += std::fabs(step_y_[k]);
    if (deep_.empty() || across >= crowded_step || down >= crowded_step) return;
    const std::vector<std::pair<double, double>> hull = picture_hull(deep_);
    if (hull.size() < 3) return;
    const double top = hull.front().first, bottom = std::max_element(hull.begin(), hull.end())->first;
    // The rounding's reach, and the float error, kept off the pixel's edge.
    const double inset = reach_ * 2;
    for (int y = std::max(clip_y0_, static_cast<int>(std::ceil(top)) - 1); y <= clip_y1_; ++y) {
        const double middle = truncation_middle(y);
        if (middle > bottom) break;
        if (middle < top) continue;
        double low = INFINITY, high = -INFINITY;
        for (std::size_t k = 0; k < hull.size(); ++k) {
            const auto& a = hull[k];
            const auto& b = hull[k + 1 < hull.size() ? k + 1 : 0];
            if ((a.first <= middle) == (b.first <= middle) && a.first != middle) continue;
            const double x = a.first == b.first ? std::min(a.second, b.second)
                                                : a.second + (b.second - a.second) * (middle - a.first) / (b.first - a.first);
            const double x2 = a.first == b.first ? std::max(a.second, b.second) : x;
            low = std::min(low, x), high = std::max(high, x2);
        }
        if (!(low <= high)) continue;
        for (int x = std::max(clip_x0_, static_cast<int>(std::floor(low)) - 1);
             x <= clip_x1_ && x <= static_cast<int>(std::ceil(high)) + 1; ++x) {
            const double m = truncation_middle(x);
            if (m >= low + inset && m <= high - inset) cover({x, y});
        }
    }
}

DenseCover::Place DenseCover::place(const Box& box) const {
    const int d = dimension_;
    bool inside = true;
    for (std::size_t r = 0; r < rows_.size(); r += static_cast<std::size_t>(d) + 1) {
        const std::int64_t* row = rows_.data() + r;
        __int128 low = row[d], high = row[d];
        for (int k = 0; k < d; ++k) {
            const __int128 a = row[k];
            low += a * (a > 0 ? box.lo[k] : box.hi[k]);
            high += a * (a > 0 ? box.hi[k] : box.lo[k]);
        }
        if (high < 0) return Place::outside;
        if (low < 0) inside = false;
    }
    return inside ? Place::inside : Place::across;
}

bool DenseCover::apart_from(const Polyhedron* domain) const {
    if (!prepared()) return false;
    const int d = dimension_;
    for (const Polyhedron* p = domain; p; p = p->next) {
        if (static_cast<int>(p->Dimension) != d) return false;
        bool broken = false;
        for (unsigned r = 0; r < p->NbConstraints && !broken; ++r) {
            const Value* row = p->Constraint[r];
            __int128 low = row[d + 1], high = row[d + 1];
            for (int k = 0; k < d; ++k) {
                const __int128 a = row[k + 1];
                low += a * (a > 0 ? bounds_.lo[k] : bounds_.hi[k]);
                high += a * (a > 0 ? bounds_.hi[k] : bounds_.lo[k]);
            }
            broken = high < 0 || (row[0] == 0 && low > 0);
        }
        if (!broken) return false;
    }
    return true;
}

CanvasPoint DenseCover::centre_of(const std::int64_t* point) const { return marker_centre(*viewer_, point); }

bool DenseCover::crowded() const {
    const Viewer& viewer = *viewer_;
    if (!prepared() || viewer.projection.canvas_width < 60 || viewer.projection.canvas_height < 60) return false;
    const double across = static_cast<double>(viewer.projection.canvas_width - 60) /
                          (double{viewer.state.view_bounds[1]} - viewer.state.view_bounds[0]);
    const double down = static_cast<double>(viewer.projection.canvas_height - 60) /
                        (double{viewer.state.view_bounds[3]} - viewer.state.view_bounds[2]);
    const int n = std::min(dimension_, viewer.state.DimNP);
    for (int i = 0; i < n; ++i)
        for (int j = i + 1; j < n; ++j) {
            const double xi = viewer.projection.ProjectionAxes[i][0] * across,
                         yi = viewer.projection.ProjectionAxes[i][1] * down;
            const double xj = viewer.projection.ProjectionAxes[j][0] * across,
                         yj = viewer.projection.ProjectionAxes[j][1] * down;
            if (bounds_.hi[i] == bounds_.lo[i] || bounds_.hi[j] == bounds_.lo[j]) continue;
            if (std::fabs(xi) + std::fabs(xj) < crowded_step && std::fabs(yi) + std::fabs(yj) < crowded_step &&
                std::fabs(xi * yj - xj * yi) > 1e-12)
                return true;
        }
    return false;
}

bool DenseCover::covered(int x, int y) const {
    const int c = x - clip_x0_, r = y - clip_y0_;
    return (bits_[static_cast<std::size_t>(r) * words_ + c / 64] >> (c % 64)) & 1;
}

bool DenseCover::cover(CanvasPoint p) {
    if (p.column < clip_x0_ || p.column > clip_x1_ || p.row < clip_y0_ || p.row > clip_y1_) return false;
    const int c = p.column - clip_x0_, r = p.row - clip_y0_;
    std::uint64_t& word = bits_[static_cast<std::size_t>(r) * words_ + c / 64];
    const std::uint64_t bit = std::uint64_t{1} << (c % 64);
    if (word & bit) return false;
    word |= bit;
    return true;
}

bool DenseCover::all_covered(const int* first, const int* last, int y0, int y1) const {
    for (int y = y0; y <= y1; ++y) {
        if (first[y - y0] > last[y - y0]) continue;
        const int c0 = first[y - y0] - clip_x0_, c1 = last[y - y0] - clip_x0_;
        const std::uint64_t* row = bits_.data() + static_cast<std::size_t>(y - clip_y0_) * words_;
        for (int w = c0 / 64; w <= c1 / 64; ++w) {
            const std::uint64_t mask = word_mask(w == c0 / 64 ? c0 % 64 : 0, w == c1 / 64 ? c1 % 64 : 63);
            if ((row[w] & mask) != mask) return false;
        }
    }
    return true;
}

// The zonogon of the box: its middle's exact position plus the sum of the
// segments each coordinate's half extent spans, walked by angle.
bool DenseCover::reachable_rows(const Box& box, int x0, int x1, int y0, int y1, int* first, int* last) const {
    double cx = origin_x_, cy = origin_y_;
    double gx[MAXDIM], gy[MAXDIM];
    int n = 0;
    for (int k = 0; k < dimension_; ++k) {
        const double middle = (static_cast<double>(box.lo[k]) + static_cast<double>(box.hi[k])) / 2;
        const double half = (static_cast<double>(box.hi[k]) - static_cast<double>(box.lo[k])) / 2;
        cx += middle * step_x_[k];
        cy += middle * step_y_[k];
        double x = half * step_x_[k], y = half * step_y_[k];
        if (x == 0 && y == 0) continue;
        if (y < 0 || (y == 0 && x < 0)) x = -x, y = -y;
        gx[n] = x, gy[n] = y;
        ++n;
    }
    int order[MAXDIM];
    for (int k = 0; k < n; ++k) order[k] = k;
    // All in the upper half-plane: by angle is by the sign of the cross product.
    std::sort(order, order + n, [&](int a, int b) { return gx[a] * gy[b] - gy[a] * gx[b] > 0; });
    // Two chains from the lowest vertex to the highest, each of y
    // nondecreasing: along the generators by angle, and back.
    double ax[MAXDIM + 1], ay[MAXDIM + 1], bx[MAXDIM + 1], by[MAXDIM + 1];
    double px = cx, py = cy;
    for (int k = 0; k < n; ++k) px -= gx[k], py -= gy[k];
    ax[0] = bx[0] = px, ay[0] = by[0] = py;
    for (int k = 0; k < n; ++k) {
        ax[k + 1] = ax[k] + 2 * gx[order[k]], ay[k + 1] = ay[k] + 2 * gy[order[k]];
        bx[k + 1] = bx[k] + 2 * gx[order[n - 1 - k]], by[k + 1] = by[k] + 2 * gy[order[n - 1 - k]];
    }
    const double bottom_y = ay[0], top_y = ay[n];
    // x on a chain at height y (within the chain's heights), the segment
    // found from where the last search left it: heights only grow.
    auto x_at = [n](const double* xs, const double* ys, int& at, double y) {
        while (at < n && ys[at + 1] < y) ++at;
        if (at >= n) return xs[n];
        const double dy = ys[at + 1] - ys[at];
        return dy > 0 ? xs[at] + (xs[at + 1] - xs[at]) * (y - ys[at]) / dy : std::max(xs[at], xs[at + 1]);
    };
    int a_top = 0, a_bottom = 0, b_top = 0, b_bottom = 0, a_inner = 0, b_inner = 0;
    const double r = reach_;
    bool any = false;
    for (int y = y0; y <= y1; ++y) {
        // The x extent of the zonogon within the band of positions that
        // truncate to row y (toward zero), widened by the rounding's bound.
        const double top = std::max((y > 0 ? y : y - 1.0) - r, bottom_y),
                     bottom = std::min((y < 0 ? y : y + 1.0) + r, top_y);
        int from = x1 + 1, to = x0 - 1;
        if (top <= bottom) {
            const double xs[4] = {x_at(ax, ay, a_top, top), x_at(ax, ay, a_bottom, bottom), x_at(bx, by, b_top, top),
                                  x_at(bx, by, b_bottom, bottom)};
            double low = std::min({xs[0], xs[1], xs[2], xs[3]}), high = std::max({xs[0], xs[1], xs[2], xs[3]});
            // Vertices within the band.
            while (a_inner <= n && ay[a_inner] < top) ++a_inner;
            while (b_inner <= n && by[b_inner] < top) ++b_inner;
            for (int k = a_inner; k <= n && ay[k] <= bottom; ++k) low = std::min(low, ax[k]), high = std::max(high, ax[k]);
            for (int k = b_inner; k <= n && by[k] <= bottom; ++k) low = std::min(low, bx[k]), high = std::max(high, bx[k]);
            // Truncation is monotone: the columns are those of the ends.
            from = std::max(x0, static_cast<int>(std::clamp(std::trunc(low - r), -2.0e9, 2.0e9)));
            to = std::min(x1, static_cast<int>(std::clamp(std::trunc(high + r), -2.0e9, 2.0e9)));
        }
        if (!picture_first_.empty()) {
            from = std::max(from, picture_first_[static_cast<std::size_t>(y - clip_y0_)]);
            to = std::min(to, picture_last_[static_cast<std::size_t>(y - clip_y0_)]);
        }
        first[y - y0] = from;
        last[y - y0] = to;
        any = any || from <= to;
    }
    return any;
}

bool DenseCover::fill_coordinates(const Box& box, unsigned& solved) const {
    const Viewer& viewer = *viewer_;
    const int n = std::min(dimension_, viewer.state.DimNP);
    auto moves = [&](int k) { return std::fabs(step_x_[k]) + std::fabs(step_y_[k]); };
    auto extent = [&](int k) { return static_cast<double>(box.hi[k] - box.lo[k]); };
    // Every coordinate that moves the picture, when all of them together
    // step by less than a pixel: the lattice then reaches every pixel of the
    // whole box's picture.
    solved = 0;
    double across = 0, down = 0, spanned = 0;
    for (int k = 0; k < n; ++k)
        if (box.hi[k] > box.lo[k] && moves(k) > 0) {
            solved |= 1u << k;
            across += std::fabs(step_x_[k]);
            down += std::fabs(step_y_[k]);
            spanned += extent(k) * moves(k);
        }
    if (across < crowded_step && down < crowded_step && spanned > 2.0 && std::popcount(solved) >= 2) return true;
    // Else the two that span most, the others moving it by a pixel or two.
    double best = 2.0;   // a fill spanning less than two pixels is left to halving
    solved = 0;
    for (int a = 0; a < n; ++a)
        for (int b = a + 1; b < n; ++b) {
            if (box.hi[a] == box.lo[a] || box.hi[b] == box.lo[b]) continue;
            if (std::fabs(step_x_[a]) + std::fabs(step_x_[b]) >= crowded_step ||
                std::fabs(step_y_[a]) + std::fabs(step_y_[b]) >= crowded_step ||
                std::fabs(step_x_[a] * step_y_[b] - step_x_[b] * step_y_[a]) <= 1e-12)
                continue;
            double others = 0;
            for (int k = 0; k < n; ++k)
                if (k != a && k != b) others += extent(k) * moves(k);
            const double here = extent(a) * moves(a) + extent(b) * moves(b);
            if (others <= 2.0 && here > best) {
                best = here;
                solved = (1u << a) | (1u << b);
            }
        }
    return solved != 0;
}

bool DenseCover::bounded_solution(double dx, double dy, int count, const int* coordinates, const double* middle,
                                  const double* weight, const std::int64_t* q, std::int64_t* point) const {
    bool held[MAXDIM] = {};
    double value[MAXDIM] = {};
    for (int round = 0; round < count; ++round) {
        double m00 = 0, m01 = 0, m11 = 0;
        int free = 0;
        for (int c = 0; c < count; ++c) {
            const int k = coordinates[c];
            if (held[k]) continue;
            ++free;
            m00 += weight[k] * step_x_[k] * step_x_[k];
            m01 += weight[k] * step_x_[k] * step_y_[k];
            m11 += weight[k] * step_y_[k] * step_y_[k];
        }
        const double det = m00 * m11 - m01 * m01;
        if (free < 2 || !(std::fabs(det) > 1e-300)) return false;
        const double lx = (m11 * dx - m01 * dy) / det, ly = (m00 * dy - m01 * dx) / det;
        bool within = true;
        for (int c = 0; c < count; ++c) {
            const int k = coordinates[c];
            if (held[k]) continue;
            const double v = middle[k] + weight[k] * (step_x_[k] * lx + step_y_[k] * ly);
            value[k] = v;
            const double bound = v < 0 ? 0 : (v > 2 * middle[k] ? 2 * middle[k] : v);
            if (bound == v) continue;
            held[k] = true;
            value[k] = bound;
            dx -= step_x_[k] * (bound - middle[k]);
            dy -= step_y_[k] * (bound - middle[k]);
            within = false;
        }
        if (!within) continue;
        for (int c = 0; c < count; ++c) {
            const int k = coordinates[c];
            const auto nearest = static_cast<long long>(std::floor(value[k] + 0.5));
            point[k] = q[k] + std::clamp(nearest, 0LL, static_cast<long long>(2 * middle[k]));
        }
        return true;
    }
    return false;
}

// The point of a pixel is the one nearest to the box's middle (distances
// measured in half-extents of the box) among the real points that project
// onto the pixel's middle, rounded: the others stay at their middle.
void DenseCover::fill(const Box& box, bool inside, unsigned solved, const int* first, const int* last, int y0,
                      int y1) {
    const Viewer& viewer = *viewer_;
    std::int64_t q[MAXDIM] = {};
    for (int k = 0; k < dimension_; ++k)
        q[k] = (solved >> k) & 1 ? box.lo[k] : box.lo[k] + (box.hi[k] - box.lo[k]) / 2;
    const PlanePoint plane = project_point(viewer, q, viewer.state.DimNP);
    const PlanePoint at = canvas_position(viewer, plane.x, plane.y);
    double middle[MAXDIM] = {}, weight[MAXDIM] = {};
    double mx = at.x, my = at.y;
    double m00 = 0, m01 = 0, m11 = 0;
    for (int k = 0; k < dimension_; ++k) {
        if (!((solved >> k) & 1)) continue;
        const double half = static_cast<double>(box.hi[k] - box.lo[k]) / 2;
        middle[k] = half;
        weight[k] = (half + 0.5) * (half + 0.5);
        mx += step_x_[k] * half;
        my += step_y_[k] * half;
        m00 += weight[k] * step_x_[k] * step_x_[k];
        m01 += weight[k] * step_x_[k] * step_y_[k];
        m11 += weight[k] * step_y_[k] * step_y_[k];
    }
    const double det = m00 * m11 - m01 * m01;
    if (!(std::fabs(det) > 1e-300)) return;
    // y_k = middle_k + gx_k dx + gy_k dy for the pixel's offset (dx, dy) from the middle's picture.
    double gx[MAXDIM] = {}, gy[MAXDIM] = {};
    int coordinates[MAXDIM], count = 0;
    for (int k = 0; k < dimension_; ++k) {
        if (!((solved >> k) & 1)) continue;
        coordinates[count++] = k;
        gx[k] = weight[k] * (step_x_[k] * m11 - step_y_[k] * m01) / det;
        gy[k] = weight[k] * (step_y_[k] * m00 - step_x_[k] * m01) / det;
    }
    std::int64_t point[MAXDIM];
    std::copy(q, q + MAXDIM, point);
    long tries = 0, hits = 0;
    for (int y = y0; y <= y1; ++y) {
        if (first[y - y0] > last[y - y0]) continue;
        const int c0 = first[y - y0] - clip_x0_, c1 = last[y - y0] - clip_x0_;
        const double dy = truncation_middle(y) - my;
        const std::uint64_t* row = bits_.data() + static_cast<std::size_t>(y - clip_y0_) * words_;
        for (int w = c0 / 64; w <= c1 / 64; ++w) {
            std::uint64_t open = ~row[w] & word_mask(w == c0 / 64 ? c0 % 64 : 0, w == c1 / 64 ? c1 % 64 : 63);
            while (open) {
                const int x = clip_x0_ + w * 64 + __builtin_ctzll(open);
                open &= open - 1;
                const double dx = truncation_middle(x) - mx;
                bool near = true;
                for (int c = 0; c < count && near; ++c) {
                    const int k = coordinates[c];
                    const double v = middle[k] + gx[k] * dx + gy[k] * dy;
                    const double span = 2 * middle[k];
                    if (v < -1.0 || v > span + 1.0) {
                        near = false;
                        break;
                    }
                    const auto nearest = static_cast<long long>(v + 0.5);   // v > -1: truncation rounds
                    point[k] = q[k] + std::clamp(nearest, 0LL, static_cast<long long>(span));
                }
                // Near the corners of the box's picture the least-squares
                // point leaves the box: coordinates are held at their bounds
                // and the others solved again.
                if (!near && !(near = bounded_solution(dx, dy, count, coordinates, middle, weight, q, point))) continue;
                // Whatever pixel it lands on, it is a point of the box, and
                // of the polyhedron once settled.
                if (inside) {
                    cover(centre_of(point));
                    continue;
                }
                // Across the border most of the box's rectangle may lie
                // outside the polyhedron's picture: given up when unfruitful.
                ++tries;
                if (settle(box, point, coordinates, count)) hits += cover(centre_of(point));
                if (tries >= 256 && hits * 8 < tries) return;
            }
        }
    }
}

bool DenseCover::settle(const Box& box, std::int64_t* point, const int* coordinates, int count) {
    const int d = dimension_;
    const std::size_t width = static_cast<std::size_t>(d) + 1;
    const std::size_t rows = rows_.size() / width;
    sums_.resize(rows);
    for (std::size_t r = 0; r < rows; ++r) {
        const std::int64_t* row = rows_.data() + r * width;
        __int128 sum = row[d];
        for (int k = 0; k < d; ++k) sum += static_cast<__int128>(row[k]) * point[k];
        sums_[r] = sum;
    }
    for (int c = count - 1; c >= 0; --c) {
        const int k = coordinates[c];
        // The values of x_k that the rows allow, the other coordinates held.
        __int128 low = box.lo[k], high = box.hi[k];
        for (std::size_t r = 0; r < rows && low <= high; ++r) {
            const __int128 a = rows_[r * width + static_cast<std::size_t>(k)];
            const __int128 rest = sums_[r] - a * point[k];
            if (a == 0) {
                if (rest < 0) return false;   // no value of any coordinate helps this one
            } else if (a > 0) {
                const __int128 n = -rest;   // a x >= -rest
                const __int128 q = n / a - (n % a != 0 && n < 0 ? 1 : 0) + (n % a != 0 ? 1 : 0);
                low = std::max(low, q);
            } else {
                const __int128 n = rest, m = -a;   // m x <= rest
                const __int128 q = n / m - (n % m != 0 && n < 0 ? 1 : 0);
                high = std::min(high, q);
            }
        }
        if (low > high) continue;
        point[k] = static_cast<std::int64_t>(std::clamp<__int128>(point[k], low, high));
        return true;
    }
    return false;
}

int DenseCover::split_coordinate(const Box& box, bool inside) const {
    const Viewer& viewer = *viewer_;
    int best = -1;
    double widest = 0;
    for (int k = 0; k < dimension_; ++k) {
        if (box.hi[k] == box.lo[k]) continue;
        const double moves = k < viewer.state.DimNP ? std::fabs(step_x_[k]) + std::fabs(step_y_[k]) : 0.0;
        const double pixels = static_cast<double>(box.hi[k] - box.lo[k]) * moves;
        if (pixels > widest) {
            widest = pixels;
            best = k;
        }
    }
    if (best >= 0 && (inside || widest >= 0.5)) return best;
    // Within a pixel: what is left to settle is which points lie inside.
    std::int64_t longest = 0;
    for (int k = 0; k < dimension_; ++k)
        if (box.hi[k] - box.lo[k] > longest) {
            longest = box.hi[k] - box.lo[k];
            best = k;
        }
    return best;
}

void DenseCover::visit(const Box& box, bool inside) {
    const Viewer& viewer = *viewer_;
    if (stopped_) return;
    if ((++visits_ & 63) == 0 && (*stop_)()) {
        stopped_ = true;
        return;
    }
    if (!inside) {
        const Place where = place(box);
        if (where == Place::outside) return;
        inside = where == Place::inside;
    }
    // The corners of the smallest and largest column and row.
    std::int64_t left[MAXDIM] = {}, right[MAXDIM] = {}, top[MAXDIM] = {}, bottom[MAXDIM] = {};
    bool single = true;
    for (int k = 0; k < dimension_; ++k) {
        const float ax = k < viewer.state.DimNP ? viewer.projection.ProjectionAxes[k][0] : 0.0f,
                    ay = k < viewer.state.DimNP ? viewer.projection.ProjectionAxes[k][1] : 0.0f;
        left[k] = ax < 0 ? box.hi[k] : box.lo[k];
        right[k] = ax < 0 ? box.lo[k] : box.hi[k];
        top[k] = ay > 0 ? box.hi[k] : box.lo[k];
        bottom[k] = ay > 0 ? box.lo[k] : box.hi[k];
        single = single && box.lo[k] == box.hi[k];
    }
    const CanvasPoint first = centre_of(left);
    if (single) {
        cover(first);   // exactly placed: a single point is inside
        return;
    }
    const int column0 = first.column, column1 = centre_of(right).column;
    const int row0 = centre_of(top).row, row1 = centre_of(bottom).row;
    const int x0 = std::max(column0, clip_x0_), x1 = std::min(column1, clip_x1_);
    const int y0 = std::max(row0, clip_y0_), y1 = std::min(row1, clip_y1_);
    if (x0 > x1 || y0 > y1) return;
    // The rows of this box's reach, on the stack of the boxes being visited.
    const std::size_t rows = static_cast<std::size_t>(y1 - y0 + 1);
    const std::size_t at = rows_top_;
    if (rows_pool_.size() < at + 2 * rows) rows_pool_.resize(std::max(rows_pool_.size() * 2, at + 2 * rows));
    rows_top_ += 2 * rows;
    split_or_fill(box, inside, x0, x1, y0, y1, at, column0 == column1 && row0 == row1);
    rows_top_ = at;
}

void DenseCover::split_or_fill(const Box& box, bool inside, int x0, int x1, int y0, int y1, std::size_t at,
                               bool one_centre) {
    const std::size_t rows = static_cast<std::size_t>(y1 - y0 + 1);
    // The pool may move while the halves are visited: offsets, not pointers.
    auto first = [&] { return rows_pool_.data() + at; };
    auto last = [&] { return rows_pool_.data() + at + rows; };
    // The rectangle first: inside the picture it is mostly covered already.
    for (std::size_t y = 0; y < rows; ++y) first()[y] = x0, last()[y] = x1;
    if (all_covered(first(), last(), y0, y1)) return;
    if (!reachable_rows(box, x0, x1, y0, y1, first(), last()) || all_covered(first(), last(), y0, y1)) return;
    // Where a box crosses the polyhedron's border, which of its pixels its
    // points reach is costly to settle; most are covered anyway once every
    // box inside has been filled, so small ones wait for that (a bounded
    // number of them, so that memory stays that of the canvas).
    if (!inside && deferring_ && (x1 - x0 + 1) * (y1 - y0 + 1) <= deferred_area &&
        deferred_.size() < deferred_capacity) {
        deferred_.push_back(box);
        return;
    }
    if (inside && one_centre) {
        cover({x0, y0});
        return;
    }
    unsigned solved = 0;
    if (fill_coordinates(box, solved)) {
        fill(box, inside, solved, first(), last(), y0, y1);
        if (all_covered(first(), last(), y0, y1)) return;
    }
    const int k = split_coordinate(box, inside);
    Box low = box, high = box;
    const std::int64_t middle = box.lo[k] + (box.hi[k] - box.lo[k]) / 2;
    low.hi[k] = middle;
    high.lo[k] = middle + 1;
    visit(low, inside);
    visit(high, inside);
}

DenseCover::Found DenseCover::found() const {
    return {bits_.data(), words_, clip_x0_, clip_y0_, clip_x1_ - clip_x0_ + 1, clip_y1_ - clip_y0_ + 1};
}

bool DenseCover::found_at(int column, int row) const {
    if (bits_.empty() || column < clip_x0_ || column > clip_x1_ || row < clip_y0_ || row > clip_y1_) return false;
    return covered(column, row);
}

long DenseCover::found_count() const {
    long n = 0;
    for (const std::uint64_t word : bits_) n += std::popcount(word);
    return n;
}

bool DenseCover::centres(const std::function<bool()>& stop) {
    const Viewer& viewer = *viewer_;
    if (!prepared()) return true;
    const double across = static_cast<double>(viewer.projection.canvas_width - 60) /
                          (double{viewer.state.view_bounds[1]} - viewer.state.view_bounds[0]);
    const double down = static_cast<double>(viewer.projection.canvas_height - 60) /
                        (double{viewer.state.view_bounds[3]} - viewer.state.view_bounds[2]);
    for (int k = 0; k < MAXDIM; ++k) {
        step_x_[k] = k < viewer.state.DimNP ? viewer.projection.ProjectionAxes[k][0] * across : 0.0;
        step_y_[k] = k < viewer.state.DimNP ? -viewer.projection.ProjectionAxes[k][1] * down : 0.0;
    }
    // Float sums, products and the canvas mapping each round by at most half
    // a unit in the last place; the bound below is generous.
    origin_x_ = 30.0 - double{viewer.state.view_bounds[0]} * across;
    origin_y_ = (viewer.projection.canvas_height - 30.0) + double{viewer.state.view_bounds[2]} * down;
    double size_x = std::fabs(double{viewer.state.view_bounds[0]}) + std::fabs(double{viewer.state.view_bounds[1]}),
           size_y = std::fabs(double{viewer.state.view_bounds[2]}) + std::fabs(double{viewer.state.view_bounds[3]});
    for (int k = 0; k < dimension_ && k < viewer.state.DimNP; ++k) {
        const double extent = std::max(std::fabs(static_cast<double>(bounds_.lo[k])),
                                       std::fabs(static_cast<double>(bounds_.hi[k])));
        size_x += extent * std::fabs(double{viewer.projection.ProjectionAxes[k][0]});
        size_y += extent * std::fabs(double{viewer.projection.ProjectionAxes[k][1]});
    }
    constexpr double unit = 1.0 / (1 << 23);   // twice float's unit roundoff
    const double error = (dimension_ + 8) * unit *
                         std::max(size_x * std::fabs(across) + viewer.projection.canvas_width + 60.0,
                                  size_y * std::fabs(down) + viewer.projection.canvas_height + 60.0);
    reach_ = error;
    rows_top_ = 0;
    clip_x0_ = -3;
    clip_x1_ = viewer.projection.canvas_width + 2;
    clip_y0_ = -3;
    clip_y1_ = viewer.projection.canvas_height + 2;
    words_ = (clip_x1_ - clip_x0_ + 1 + 63) / 64;
    bits_.assign(static_cast<std::size_t>(words_) * static_cast<std::size_t>(clip_y1_ - clip_y0_ + 1), 0);
    stop_ = &stop;
    stopped_ = false;
    visits_ = 0;
    deferred_.clear();
    find_picture_rows();
    cover_deep_picture();
    deferring_ = true;
    visit(bounds_, false);
    deferring_ = false;
    for (std::size_t k = 0; k < deferred_.size() && !stopped_; ++k) visit(deferred_[k], false);
    deferred_.clear();
    deferred_.shrink_to_fit();
    std::vector<int>().swap(rows_pool_);
    std::vector<int>().swap(picture_first_);
    std::vector<int>().swap(picture_last_);
    stop_ = nullptr;
    return !stopped_;
}

namespace {

bool lexicographically_before(const std::int64_t* a, const std::int64_t* b, int n) {
    for (int k = 0; k < n; ++k)
        if (a[k] != b[k]) return a[k] < b[k];
    return false;
}

}  // namespace

float DenseCover::distance_bound(const Box& box, const Nearest& n) const {
    const Viewer& viewer = *viewer_;
    std::int64_t low_x[MAXDIM] = {}, high_x[MAXDIM] = {}, low_y[MAXDIM] = {}, high_y[MAXDIM] = {};
    for (int k = 0; k < dimension_; ++k) {
        const float ax = k < viewer.state.DimNP ? viewer.projection.ProjectionAxes[k][0] : 0.0f,
                    ay = k < viewer.state.DimNP ? viewer.projection.ProjectionAxes[k][1] : 0.0f;
        low_x[k] = ax < 0 ? box.hi[k] : box.lo[k];
        high_x[k] = ax < 0 ? box.lo[k] : box.hi[k];
        low_y[k] = ay < 0 ? box.hi[k] : box.lo[k];
        high_y[k] = ay < 0 ? box.lo[k] : box.hi[k];
    }
    const float x0 = project_point(viewer, low_x, viewer.state.DimNP).x,
                x1 = project_point(viewer, high_x, viewer.state.DimNP).x;
    const float y0 = project_point(viewer, low_y, viewer.state.DimNP).y,
                y1 = project_point(viewer, high_y, viewer.state.DimNP).y;
    // |a - b| rounds as |b - a| does: the nearer end's difference is the least.
    const float dx = n.x < x0 ? x0 - n.x : (n.x > x1 ? n.x - x1 : 0.0f);
    const float dy = n.y < y0 ? y0 - n.y : (n.y > y1 ? n.y - y1 : 0.0f);
    return dx * dx + dy * dy;
}

void DenseCover::nearest(const Box& box, bool inside, Nearest& n) {
    const Viewer& viewer = *viewer_;
    if (!inside) {
        const Place where = place(box);
        if (where == Place::outside) return;
        inside = where == Place::inside;
    }
    const float bound = distance_bound(box, n);
    if (!(bound < n.limit)) return;
    if (*n.distance >= 0) {
        if (bound > *n.distance) return;
        if (bound == *n.distance && !(n.here && lexicographically_before(box.lo, n.point, dimension_))) return;
    }
    bool single = true;
    for (int k = 0; k < dimension_ && single; ++k) single = box.lo[k] == box.hi[k];
    if (single) {
        const PlanePoint p = project_point(viewer, box.lo, viewer.state.DimNP);
        const float dx = p.x - n.x, dy = p.y - n.y;
        const float d = dx * dx + dy * dy;
        const bool tie_first = n.here && d == *n.distance && lexicographically_before(box.lo, n.point, dimension_);
        if (d < n.limit && (*n.distance < 0 || d < *n.distance || tie_first)) {
            *n.distance = d;
            std::copy(box.lo, box.lo + dimension_, n.point);
            n.here = true;
        }
        return;
    }
    int k = split_coordinate(box, inside);
    Box low = box, high = box;
    const std::int64_t middle = box.lo[k] + (box.hi[k] - box.lo[k]) / 2;
    low.hi[k] = middle;
    high.lo[k] = middle + 1;
    // The nearer half first, so that the other is mostly cut off.
    if (distance_bound(high, n) < distance_bound(low, n)) std::swap(low, high);
    nearest(low, inside, n);
    nearest(high, inside, n);
}

bool DenseCover::nearest_point(float x, float y, float limit, std::int64_t* point, double& distance) {
    const Viewer& viewer = *viewer_;
    if (!prepared()) return false;
    // split_coordinate weighs coordinates by how far they move the picture.
    for (int k = 0; k < MAXDIM; ++k) {
        step_x_[k] = k < viewer.state.DimNP ? viewer.projection.ProjectionAxes[k][0] : 0.0;
        step_y_[k] = k < viewer.state.DimNP ? viewer.projection.ProjectionAxes[k][1] : 0.0;
    }
    Nearest n{x, y, limit, point, &distance, false};
    nearest(bounds_, false, n);
    return n.here;
}
