// Crowded polyhedra in blended colours, decided pixel by pixel.
#include "view/blend_cover.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

#include "view/context.h"

namespace {

constexpr std::size_t most_pieces = 64;

// A polyhedron of the constraint rows (each `width` values: the kind, the
// coefficients, the constant); null when PolyLib fails.
Polyhedron* polyhedron_of(const std::vector<Value>& rows, unsigned width) {
    Polyhedron* result = nullptr;
    polylib_guarded([&] {
        const unsigned count = static_cast<unsigned>(rows.size() / width);
        Matrix* m = Matrix_Alloc(count, width);
        for (unsigned r = 0; r < count; ++r)
            for (unsigned c = 0; c < width; ++c) m->p[r][c] = rows[static_cast<std::size_t>(r) * width + c];
        result = Constraints2Polyhedron(m, 100000);
        Matrix_Free(m);
    });
    return result;
}

std::vector<Value> rows_of(const Polyhedron* p) {
    std::vector<Value> rows;
    for (unsigned r = 0; r < p->NbConstraints; ++r)
        rows.insert(rows.end(), p->Constraint[r], p->Constraint[r] + p->Dimension + 2);
    return rows;
}

// The largest v of lo .. hi for which `holds` (true up to some value, false
// after it) is true; lo - 1 when none.
template <class Holds>
std::int64_t last_true(Holds&& holds, std::int64_t lo, std::int64_t hi) {
    if (!holds(lo)) return lo - 1;
    if (holds(hi)) return hi;
    while (hi - lo > 1) {
        const std::int64_t middle = lo + (hi - lo) / 2;
        if (holds(middle)) lo = middle; else hi = middle;
    }
    return lo;
}

}  // namespace

BlendCover::~BlendCover() = default;

bool BlendCover::prepare(Polyhedron* polyhedron, const GdkColor& own, const std::vector<BlendSource>& sources) {
    prepared_ = false;
    pieces_.clear();
    colours_.clear();
    const Viewer& viewer = *viewer_;
    // The search of a centre's last point below bounds the first coordinate
    // by the plane's geometry in two dimensions only.
    if (!polyhedron || polyhedron->NbEq > 0 || polyhedron->Dimension != 2 || viewer.state.DimNP != 2) return false;
    const int d = static_cast<int>(polyhedron->Dimension);
    const unsigned width = static_cast<unsigned>(d) + 2;
    dimension_ = d;
    struct Cut {
        std::vector<Value> rows;
        std::vector<char> member;
    };
    std::vector<Cut> cuts{{rows_of(polyhedron), std::vector<char>(sources.size(), 0)}};
    // Whether the rows hold some rational point; the rows of its polyhedron
    // (no redundant ones) replace them.
    auto keep = [&](Cut cut, std::vector<Cut>& into) {
        Polyhedron* p = polyhedron_of(cut.rows, width);
        if (!p) return false;
        const DomainPtr owned(p);
        if (p->NbRays == 0) return true;
        cut.rows = rows_of(p);
        into.push_back(std::move(cut));
        return true;
    };
    for (std::size_t s = 0; s < sources.size(); ++s)
        for (const Polyhedron* t = sources[s].domain; t; t = t->next) {
            if (static_cast<int>(t->Dimension) != d) return false;
            // Its equalities as two inequalities each.
            std::vector<Value> sides;
            for (unsigned r = 0; r < t->NbConstraints; ++r) {
                const Value* row = t->Constraint[r];
                sides.push_back(1);
                sides.insert(sides.end(), row + 1, row + width);
                if (row[0] != 0) continue;
                sides.push_back(1);
                for (unsigned c = 1; c < width; ++c) sides.push_back(-row[c]);
            }
            std::vector<Cut> next;
            for (const Cut& cut : cuts) {
                Cut inside = cut;
                inside.rows.insert(inside.rows.end(), sides.begin(), sides.end());
                inside.member[s] = 1;
                if (!keep(std::move(inside), next)) return false;
                // Outside: the first row broken (a . x + c <= -1), the earlier ones held.
                for (std::size_t r = 0; r < sides.size(); r += width) {
                    Cut outside = cut;
                    outside.rows.insert(outside.rows.end(), sides.begin(), sides.begin() + static_cast<long>(r));
                    outside.rows.push_back(1);
                    for (unsigned c = 1; c < width; ++c) outside.rows.push_back(-sides[r + c]);
                    outside.rows.back() -= 1;
                    if (!keep(std::move(outside), next)) return false;
                }
                if (next.size() > most_pieces) return false;
            }
            cuts = std::move(next);
        }
    for (Cut& cut : cuts) {
        Piece piece{DomainPtr(polyhedron_of(cut.rows, width)), std::make_unique<ScanPlan>(), DenseCover(viewer), {}, {}, 0,
                    {}};
        if (!piece.polyhedron) return false;
        bool built = false;
        const ScanPlan::Build plan = piece.plan->build(piece.polyhedron.get());
        if (plan == ScanPlan::Build::nothing_to_scan) continue;
        if (plan == ScanPlan::Build::failed) return false;
        built = piece.cover.prepare(piece.polyhedron.get());
        if (!built) {
            // A piece without an integer point in the box of its vertices
            // is dropped; any other refusal refuses the whole.
            std::int64_t x[MAXDIM] = {};
            bool any = false;
            const ScanResult scan = piece.plan->run(x, [&](const std::int64_t*) {
                any = true;
                return 0;
            });
            if (scan == ScanResult::done && !any) continue;
            return false;
        }
        const Polyhedron* p = piece.polyhedron.get();
        for (int k = 0; k < d; ++k) {
            piece.lo[k] = std::numeric_limits<std::int64_t>::max();
            piece.hi[k] = std::numeric_limits<std::int64_t>::min();
        }
        for (unsigned r = 0; r < p->NbRays; ++r) {
            const Value* ray = p->Ray[r];
            const Value den = ray[d + 1];
            for (int k = 0; k < d; ++k) {
                const Value v = ray[k + 1];
                const Value low = v >= 0 ? (v + den - 1) / den : -((-v) / den);
                const Value high = v >= 0 ? v / den : -((-v + den - 1) / den);
                piece.lo[k] = std::min<std::int64_t>(piece.lo[k], low);
                piece.hi[k] = std::max<std::int64_t>(piece.hi[k], high);
            }
        }
        for (unsigned r = 0; r < p->NbConstraints; ++r)
            for (int c = 0; c <= d; ++c) piece.rows.push_back(static_cast<double>(p->Constraint[r][c + 1]));
        // The colour of its points, as blend() gives it.
        unsigned red = own.red, green = own.green, blue = own.blue, n = 1;
        for (std::size_t s = 0; s < sources.size(); ++s) {
            if (!cut.member[s]) continue;
            const GdkColor& c = colour_of(sources[s].colour);
            red = (red * n) / (n + 1) + c.red / (n + 1);
            green = (green * n) / (n + 1) + c.green / (n + 1);
            blue = (blue * n) / (n + 1) + c.blue / (n + 1);
            ++n;
        }
        const GdkColor colour{0, static_cast<guint16>(red), static_cast<guint16>(green), static_cast<guint16>(blue)};
        int index = 0;
        while (index < static_cast<int>(colours_.size()) &&
               !(colours_[index].red == colour.red && colours_[index].green == colour.green &&
                 colours_[index].blue == colour.blue))
            ++index;
        if (index == static_cast<int>(colours_.size())) colours_.push_back(colour);
        piece.colour = index;
        pieces_.push_back(std::move(piece));
    }
    prepared_ = true;
    return true;
}

bool BlendCover::greater(const Point& a, const Point& b) const {
    for (int k = 0; k < dimension_; ++k)
        if (a[k] != b[k]) return a[k] > b[k];
    return false;
}

// Coordinate by coordinate, the greatest value first: the values of
// x[depth] whose points (the later coordinates anywhere in the piece's box)
// can have centre c form an interval, since a centre's column and row are
// each monotone in every coordinate; the interval's top is tried first and
// the later coordinates searched below it.
bool BlendCover::search(const Piece& piece, CanvasPoint c, std::int64_t* x, int depth) const {
    const Viewer& viewer = *viewer_;
    const int d = dimension_;
    std::int64_t lo, hi;
    if (!piece.plan->bounds(depth, x, lo, hi)) return false;
    std::int64_t y[MAXDIM];
    std::copy(x, x + depth, y);
    // The centre at x[depth] = v of the corner of the later coordinates that
    // takes the column (component 0) or the row (1) lowest or highest.
    auto corner = [&](std::int64_t v, int component, bool highest) {
        y[depth] = v;
        for (int k = depth + 1; k < d; ++k) {
            const float a = viewer.projection.ProjectionAxes[k][component];
            // Rows grow downward, as the plane's y shrinks.
            const bool up = component == 0 ? a >= 0 : a <= 0;
            y[k] = up == highest ? piece.hi[k] : piece.lo[k];
        }
        const CanvasPoint at = marker_centre(viewer, y);
        return component == 0 ? at.column : at.row;
    };
    std::int64_t low = lo, high = hi;
    for (int component = 0; component < 2; ++component) {
        const int target = component == 0 ? c.column : c.row;
        for (const bool highest : {false, true}) {
            // The lowest corner must not pass the target, the highest must reach it.
            auto holds = [&](std::int64_t v) {
                const int at = corner(v, component, highest);
                return highest ? at >= target : at <= target;
            };
            const bool at_lo = holds(lo), at_hi = holds(hi);
            if (at_lo && at_hi) continue;
            if (!at_lo && !at_hi) return false;
            // Where it turns, estimated from the exact positions (the
            // corner's at x[depth] = 0 and the step of x[depth]), then
            // bracketed by checked values.
            std::int64_t from = lo, to = hi;
            const double step = component == 0 ? step_x_[depth] : step_y_[depth];
            if (step != 0) {
                corner(0, component, highest);
                double base = component == 0 ? origin_x_ : origin_y_;
                for (int k = 0; k < d; ++k)
                    if (k != depth) base += static_cast<double>(y[k]) * (component == 0 ? step_x_[k] : step_y_[k]);
                const double edge = highest ? (target > 0 ? target : target - 1.0) : (target < 0 ? target : target + 1.0);
                const double turn = (edge - base) / step;
                if (std::fabs(turn) < 4e18) {
                    const auto near_low = static_cast<std::int64_t>(std::floor(turn)) - 2,
                               near_high = static_cast<std::int64_t>(std::ceil(turn)) + 2;
                    if (near_low > lo && near_low < hi && holds(near_low) == at_lo) from = near_low;
                    if (near_high > lo && near_high < hi && holds(near_high) == at_hi) to = near_high;
                }
            }
            if (at_lo) high = std::min(high, last_true(holds, from, to));
            else low = std::max(low, last_true([&](std::int64_t v) { return !holds(v); }, from, to) + 1);
        }
    }
    if (depth == 0 && d == 2) {
        // The first coordinate's values in the piece whose pictures can
        // reach the pixel, in real numbers, widened: no value outside holds
        // a point of that centre.
        double first, last;
        if (!first_range(piece, c, first, last)) return false;
        const double slack = 1e-6 * std::max({1.0, std::fabs(first), std::fabs(last)}) + 1e-6;
        high = std::min<double>(high, std::floor(last + slack));
        low = std::max<double>(low, std::ceil(first - slack));
    }
    if (low > high) return false;
    if (depth == d - 1) {
        // Every later coordinate fixed: the interval is that of centre c.
        x[depth] = high;
        return true;
    }
    for (std::int64_t v = high; v >= low; --v) {
        x[depth] = v;
        if (search(piece, c, x, depth + 1)) return true;
    }
    return false;
}

// The extremes of x0 over the piece and the band of positions of centre c
// (in two dimensions): the vertices of that polygon, from the lines of its
// constraints taken two by two.
bool BlendCover::first_range(const Piece& piece, CanvasPoint c, double& first, double& last) const {
    const Viewer& viewer = *viewer_;
    const double across = static_cast<double>(viewer.projection.canvas_width - 60) /
                          (double{viewer.state.view_bounds[1]} - viewer.state.view_bounds[0]);
    const double down = static_cast<double>(viewer.projection.canvas_height - 60) /
                        (double{viewer.state.view_bounds[3]} - viewer.state.view_bounds[2]);
    const double sx0 = viewer.projection.ProjectionAxes[0][0] * across, sx1 = viewer.projection.ProjectionAxes[1][0] * across;
    const double sy0 = -viewer.projection.ProjectionAxes[0][1] * down, sy1 = -viewer.projection.ProjectionAxes[1][1] * down;
    const double ox = 30.0 - double{viewer.state.view_bounds[0]} * across;
    const double oy = (viewer.projection.canvas_height - 30.0) + double{viewer.state.view_bounds[2]} * down;
    // Positions that truncate to the centre, widened well beyond the
    // rounding of float sums.
    const double extent = std::fabs(double{viewer.state.view_bounds[0]}) + std::fabs(double{viewer.state.view_bounds[1]}) +
                          std::fabs(double{viewer.state.view_bounds[2]}) + std::fabs(double{viewer.state.view_bounds[3]});
    double magnitude = 0;
    for (int k = 0; k < 2; ++k)
        magnitude += std::max(std::fabs(static_cast<double>(piece.lo[k])), std::fabs(static_cast<double>(piece.hi[k])));
    const double margin = 1e-3 + 1e-5 * (magnitude * (std::fabs(across) + std::fabs(down)) + extent * (std::fabs(across) + std::fabs(down)) +
                                         viewer.projection.canvas_width + viewer.projection.canvas_height);
    auto band = [&](int v, double& lo, double& hi) {
        lo = (v > 0 ? v : v - 1.0) - margin;
        hi = (v < 0 ? v : v + 1.0) + margin;
    };
    double xa, xb, ya, yb;
    band(c.column, xa, xb);
    band(c.row, ya, yb);
    // Half-planes a v + b w + k >= 0.
    std::vector<std::array<double, 3>> planes;
    for (std::size_t r = 0; r + 2 < piece.rows.size(); r += 3) planes.push_back({piece.rows[r], piece.rows[r + 1], piece.rows[r + 2]});
    planes.push_back({sx0, sx1, ox - xa});
    planes.push_back({-sx0, -sx1, xb - ox});
    planes.push_back({sy0, sy1, oy - ya});
    planes.push_back({-sy0, -sy1, yb - oy});
    bool any = false;
    for (std::size_t i = 0; i < planes.size(); ++i)
        for (std::size_t j = i + 1; j < planes.size(); ++j) {
            const auto& p = planes[i];
            const auto& q = planes[j];
            const double det = p[0] * q[1] - p[1] * q[0];
            if (std::fabs(det) < 1e-300) continue;
            const double v = (p[1] * q[2] - p[2] * q[1]) / det, w = (p[2] * q[0] - p[0] * q[2]) / det;
            bool inside = true;
            for (const auto& h : planes) {
                const double value = h[0] * v + h[1] * w + h[2];
                const double scale = std::fabs(h[0] * v) + std::fabs(h[1] * w) + std::fabs(h[2]) + 1.0;
                if (value < -1e-9 * scale) {
                    inside = false;
                    break;
                }
            }
            if (!inside) continue;
            if (!any) first = last = v;
            first = std::min(first, v);
            last = std::max(last, v);
            any = true;
        }
    return any;
}

bool BlendCover::last_point(std::size_t piece, CanvasPoint c, std::int64_t* point) {
    measure();
    std::int64_t x[MAXDIM] = {};
    if (piece >= pieces_.size() || !search(pieces_[piece], c, x, 0)) return false;
    std::copy(x, x + dimension_, point);
    return true;
}

const BlendCover::Last& BlendCover::last_at(int index) {
    auto found = last_.find(index);
    if (found != last_.end()) return found->second;
    const CanvasPoint c{clip_x0_ + index % clip_width_, clip_y0_ + index / clip_width_};
    Last best{false, {}, 0};
    auto consider = [&](std::size_t piece) {
        Point x{};
        if (!search(pieces_[piece], c, x.data(), 0)) return;
        if (!best.found || greater(x, best.point)) best = Last{true, x, pieces_[piece].colour};
    };
    consider(first_piece_[static_cast<std::size_t>(index)] - 1u);
    if (auto more = more_pieces_.find(index); more != more_pieces_.end())
        for (const std::uint16_t piece : more->second) consider(piece);
    return last_.emplace(index, best).first->second;
}

void BlendCover::measure() {
    const Viewer& viewer = *viewer_;
    const double across = static_cast<double>(viewer.projection.canvas_width - 60) /
                          (double{viewer.state.view_bounds[1]} - viewer.state.view_bounds[0]);
    const double down = static_cast<double>(viewer.projection.canvas_height - 60) /
                        (double{viewer.state.view_bounds[3]} - viewer.state.view_bounds[2]);
    for (int k = 0; k < MAXDIM; ++k) {
        step_x_[k] = k < viewer.state.DimNP ? viewer.projection.ProjectionAxes[k][0] * across : 0.0;
        step_y_[k] = k < viewer.state.DimNP ? -viewer.projection.ProjectionAxes[k][1] * down : 0.0;
    }
    origin_x_ = 30.0 - double{viewer.state.view_bounds[0]} * across;
    origin_y_ = (viewer.projection.canvas_height - 30.0) + double{viewer.state.view_bounds[2]} * down;
}

bool BlendCover::paint(Painter& painter, const std::function<bool()>& stop) {
    const Viewer& viewer = *viewer_;
    measure();
    clip_x0_ = -3;
    clip_y0_ = -3;
    clip_width_ = viewer.projection.canvas_width + 6;
    clip_height_ = viewer.projection.canvas_height + 6;
    const std::size_t cells = static_cast<std::size_t>(clip_width_) * static_cast<std::size_t>(clip_height_);
    first_piece_.assign(cells, 0);
    more_pieces_.clear();
    last_.clear();
    bool done = true;
    for (std::size_t j = 0; j < pieces_.size() && done; ++j) {
        DenseCover& cover = pieces_[j].cover;
        done = cover.centres(stop);
        const DenseCover::Found found = cover.found();
        for (int y = 0; y < found.height && done; ++y)
            for (int w = 0; w < found.words; ++w)
                for (std::uint64_t bits = found.bits[static_cast<std::size_t>(y) * found.words + w]; bits;
                     bits &= bits - 1) {
                    const int x = w * 64 + std::countr_zero(bits);
                    const int column = found.left + x - clip_x0_, row = found.top + y - clip_y0_;
                    if (column < 0 || column >= clip_width_ || row < 0 || row >= clip_height_) continue;
                    const std::size_t index = static_cast<std::size_t>(row) * clip_width_ + column;
                    if (first_piece_[index] == 0) first_piece_[index] = static_cast<std::uint16_t>(j + 1);
                    else more_pieces_[static_cast<int>(index)].push_back(static_cast<std::uint16_t>(j));
                }
        cover.forget_centres();
    }
    if (!done) {
        std::vector<std::uint16_t>().swap(first_piece_);
        more_pieces_.clear();
        return false;
    }
    long searches = 0;
    auto abandon = [&] {
        std::vector<std::uint16_t>().swap(first_piece_);
        more_pieces_.clear();
        last_.clear();
        return false;
    };
    // The colour of each centre's last point: that of its pieces when they
    // share one, else found.
    const int words = (clip_width_ + 63) / 64;
    const std::size_t plane = static_cast<std::size_t>(words) * static_cast<std::size_t>(clip_height_);
    const std::size_t classes = colours_.size();
    std::vector<std::uint64_t> centres(classes * plane, 0);
    for (std::size_t index = 0; index < cells; ++index) {
        if (first_piece_[index] == 0) continue;
        int colour = pieces_[first_piece_[index] - 1u].colour;
        if (auto more = more_pieces_.find(static_cast<int>(index)); more != more_pieces_.end()) {
            bool mixed = false;
            for (const std::uint16_t piece : more->second) mixed = mixed || pieces_[piece].colour != colour;
            if (mixed) {
                if ((++searches & 255) == 0 && stop()) return abandon();
                const Last& last = last_at(static_cast<int>(index));
                if (!last.found) continue;
                colour = last.colour;
            }
        }
        const std::size_t row = index / clip_width_, column = index % clip_width_;
        centres[static_cast<std::size_t>(colour) * plane + row * words + column / 64] |= std::uint64_t{1} << (column % 64);
    }
    // Each colour's markers as pixels (the same rows of bits, widened as
    // MarkerCover widens them).
    std::vector<std::uint64_t> pixels(classes * plane, 0), five(static_cast<std::size_t>(words)),
        seven(static_cast<std::size_t>(words));
    for (std::size_t k = 0; k < classes; ++k) {
        const std::uint64_t* source = centres.data() + k * plane;
        std::uint64_t* out = pixels.data() + k * plane;
        for (int y = 0; y < clip_height_; ++y) {
            const std::uint64_t* here_row = source + static_cast<std::size_t>(y) * words;
            bool any = false;
            for (int w = 0; w < words && !any; ++w) any = here_row[w] != 0;
            if (!any) continue;
            for (int w = 0; w < words; ++w) {
                const std::uint64_t here = here_row[w];
                const std::uint64_t before = w > 0 ? here_row[w - 1] : 0;
                const std::uint64_t after = w + 1 < words ? here_row[w + 1] : 0;
                auto right = [&](int s) { return (here << s) | (before >> (64 - s)); };
                auto left = [&](int s) { return (here >> s) | (after << (64 - s)); };
                five[w] = here | right(1) | right(2) | left(1) | left(2);
                seven[w] = five[w] | right(3) | left(3);
            }
            for (int dy = -3; dy <= 3; ++dy) {
                if (y + dy < 0 || y + dy >= clip_height_) continue;
                const std::vector<std::uint64_t>& band = (dy < -2 || dy > 2) ? five : seven;
                std::uint64_t* target = out + static_cast<std::size_t>(y + dy) * words;
                for (int w = 0; w < words; ++w) target[w] |= band[w];
            }
        }
    }
    // Pixels reached by markers of several colours: the greatest of the
    // last points of the centres around them decides.
    for (int y = 0; y < clip_height_; ++y)
        for (int w = 0; w < words; ++w) {
            std::uint64_t seen = 0, twice = 0;
            const std::size_t at = static_cast<std::size_t>(y) * words + w;
            for (std::size_t k = 0; k < classes; ++k) {
                twice |= seen & pixels[k * plane + at];
                seen |= pixels[k * plane + at];
            }
            for (; twice; twice &= twice - 1) {
                if ((++searches & 255) == 0 && stop()) return abandon();
                const int x = w * 64 + std::countr_zero(twice);
                const Last* best = nullptr;
                for (int dy = -3; dy <= 3; ++dy)
                    for (int dx = -3; dx <= 3; ++dx) {
                        if ((dx == 3 || dx == -3) && (dy == 3 || dy == -3)) continue;
                        const int cx = x + dx, cy = y + dy;
                        if (cx < 0 || cx >= clip_width_ || cy < 0 || cy >= clip_height_) continue;
                        const std::size_t index = static_cast<std::size_t>(cy) * clip_width_ + cx;
                        if (first_piece_[index] == 0) continue;
                        const Last& last = last_at(static_cast<int>(index));
                        if (last.found && (!best || greater(last.point, best->point))) best = &last;
                    }
                const std::uint64_t bit = std::uint64_t{1} << (x % 64);
                for (std::size_t k = 0; k < classes; ++k)
                    if (best && static_cast<int>(k) == best->colour) pixels[k * plane + at] |= bit;
                    else pixels[k * plane + at] &= ~bit;
            }
        }
    // Each colour's pixels, disjoint, as spans.
    std::vector<PixelSpan> spans;
    for (std::size_t k = 0; k < classes; ++k) {
        spans.clear();
        const std::uint64_t* rows = pixels.data() + k * plane;
        for (int y = 0; y < clip_height_; ++y) {
            const std::uint64_t* row = rows + static_cast<std::size_t>(y) * words;
            int x = 0;
            while (x < clip_width_) {
                int w = x / 64;
                std::uint64_t word = row[w] & (~std::uint64_t{0} << (x % 64));
                while (word == 0 && ++w < words) word = row[w];
                if (word == 0) break;
                const int start = w * 64 + std::countr_zero(word);
                if (start >= clip_width_) break;
                int end = start;
                w = end / 64;
                word = ~row[w] & (~std::uint64_t{0} << (end % 64));
                while (word == 0 && ++w < words) word = ~row[w];
                end = word == 0 ? words * 64 : w * 64 + std::countr_zero(word);
                end = std::min(end, clip_width_);
                spans.push_back(PixelSpan{clip_x0_ + start, clip_y0_ + y, end - start});
                x = end;
            }
        }
        if (!spans.empty()) painter.spans(colours_[k], spans.data(), static_cast<int>(spans.size()));
    }
    std::vector<std::uint16_t>().swap(first_piece_);
    more_pieces_.clear();
    last_.clear();
    return true;
}
