// Determining sets of parameter values, class by class. A class of values
// modulo the period is a lattice, origin + t1 b1 + ... + tk bk, cut by the
// chamber: a region. A region thin in some direction (fewer levels of
// lattice hyperplanes than the degree needs) is cut into its slices, each a
// region of one dimension less; a small bounded region gives all its values;
// otherwise a lattice simplex of side `degree` is sought inside it, from a
// vertex towards the inside (into the recession cone when it is unbounded).
#include "calculus/determining_values.h"

#include <algorithm>
#include <gmpxx.h>
#include <map>
#include <numeric>

namespace {

using IntegerVector = std::vector<mpz_class>;

struct Region {
    std::vector<IntegerVector> equalities, inequalities;   // over the parameters, constant last
    IntegerVector origin;                                  // a lattice point (not necessarily inside)
    std::vector<IntegerVector> basis;                      // the lattice's directions
};

struct Geometry {
    bool empty = true;
    std::vector<std::vector<mpq_class>> vertices;
    std::vector<IntegerVector> rays;   // a line is two opposite rays
};

struct NoSet {};   // no determining set within the limits

mpz_class dot(const IntegerVector& c, const IntegerVector& p) {
    mpz_class sum = 0;
    for (std::size_t k = 0; k < p.size(); ++k) sum += c[k] * p[k];
    return sum;
}

mpq_class dot(const IntegerVector& c, const std::vector<mpq_class>& p) {
    mpq_class sum = 0;
    for (std::size_t k = 0; k < p.size(); ++k) sum += mpq_class(c[k]) * p[k];
    return sum;
}

bool inside(const Region& r, const IntegerVector& p) {
    for (const IntegerVector& e : r.equalities)
        if (dot(e, p) + e.back() != 0) return false;
    for (const IntegerVector& i : r.inequalities)
        if (dot(i, p) + i.back() < 0) return false;
    return true;
}

Geometry geometry_of(const Region& r, unsigned m) {
    ConeConstraints c;
    auto widened = [](const IntegerVector& v) {
        ExactRow row;
        for (const mpz_class& x : v) row.emplace_back(x);
        return row;
    };
    for (const IntegerVector& e : r.equalities) c.equalities.push_back(widened(e));
    for (const IntegerVector& i : r.inequalities) c.inequalities.push_back(widened(i));
    ExactSet set = exact_set_from_constraints(m + 1, std::move(c));
    Geometry g;
    g.empty = set.empty;
    auto narrowed = [m](const ExactRow& row) {
        IntegerVector v(m);
        for (unsigned k = 0; k < m; ++k) v[k] = row[k].to_mpz();
        return v;
    };
    for (const ExactRow& line : set.generators.lines) {
        IntegerVector v = narrowed(line);
        g.rays.push_back(v);
        for (mpz_class& x : v) x = -x;
        g.rays.push_back(v);
    }
    for (const ExactRow& ray : set.generators.rays) {
        mpz_class d = ray[m].to_mpz();
        if (d == 0) {
            g.rays.push_back(narrowed(ray));
            continue;
        }
        std::vector<mpq_class> vertex(m);
        for (unsigned k = 0; k < m; ++k) {
            vertex[k] = mpq_class(ray[k].to_mpz(), d);
            vertex[k].canonicalize();
        }
        g.vertices.push_back(std::move(vertex));
    }
    return g;
}

mpz_class floor_of(const mpq_class& q) {
    mpz_class f;
    mpz_fdiv_q(f.get_mpz_t(), q.get_num_mpz_t(), q.get_den_mpz_t());
    return f;
}

mpz_class ceil_of(const mpq_class& q) {
    mpz_class f;
    mpz_cdiv_q(f.get_mpz_t(), q.get_num_mpz_t(), q.get_den_mpz_t());
    return f;
}

mpz_class nearest(const mpq_class& q) { return floor_of(q + mpq_class(1, 2)); }

// The lattice point of coordinates t.
IntegerVector point_of(const Region& r, const IntegerVector& t) {
    IntegerVector p = r.origin;
    for (std::size_t j = 0; j < r.basis.size(); ++j)
        for (std::size_t k = 0; k < p.size(); ++k) p[k] += t[j] * r.basis[j][k];
    return p;
}

// Coordinates in the lattice of a point of its span: solved on k rows of
// the basis that are independent (Gaussian elimination in rationals).
class LatticeCoordinates {
public:
    explicit LatticeCoordinates(const Region& r) : origin_(r.origin) {
        std::size_t k = r.basis.size(), m = r.origin.size();
        // Pick rows greedily so that the k x k matrix is invertible.
        std::vector<std::vector<mpq_class>> chosen;
        for (std::size_t row = 0; row < m && rows_.size() < k; ++row) {
            std::vector<mpq_class> candidate(k);
            for (std::size_t j = 0; j < k; ++j) candidate[j] = r.basis[j][row];
            std::vector<std::vector<mpq_class>> trial = chosen;
            trial.push_back(candidate);
            if (rank(trial) == trial.size()) {
                chosen = std::move(trial);
                rows_.push_back(row);
            }
        }
        inverse_ = invert(chosen);
    }
    std::vector<mpq_class> of(const std::vector<mpq_class>& p, bool direction) const {
        std::size_t k = rows_.size();
        std::vector<mpq_class> t(k, 0);
        for (std::size_t i = 0; i < k; ++i)
            for (std::size_t j = 0; j < k; ++j) {
                mpq_class x = p[rows_[j]];
                if (!direction) x -= origin_[rows_[j]];
                t[i] += inverse_[i][j] * x;
            }
        return t;
    }

    static std::size_t rank(std::vector<std::vector<mpq_class>> a) {
        std::size_t rank = 0;
        std::size_t columns = a.empty() ? 0 : a[0].size();
        for (std::size_t c = 0; c < columns && rank < a.size(); ++c) {
            std::size_t pivot = rank;
            while (pivot < a.size() && a[pivot][c] == 0) ++pivot;
            if (pivot == a.size()) continue;
            std::swap(a[pivot], a[rank]);
            for (std::size_t i = rank + 1; i < a.size(); ++i) {
                mpq_class f = a[i][c] / a[rank][c];
                for (std::size_t j = c; j < columns; ++j) a[i][j] -= f * a[rank][j];
            }
            ++rank;
        }
        return rank;
    }
private:
    static std::vector<std::vector<mpq_class>> invert(std::vector<std::vector<mpq_class>> a) {
        std::size_t k = a.size();
        std::vector<std::vector<mpq_class>> inv(k, std::vector<mpq_class>(k, 0));
        for (std::size_t i = 0; i < k; ++i) inv[i][i] = 1;
        for (std::size_t c = 0; c < k; ++c) {
            std::size_t pivot = c;
            while (a[pivot][c] == 0) ++pivot;
            std::swap(a[pivot], a[c]);
            std::swap(inv[pivot], inv[c]);
            mpq_class f = a[c][c];
            for (std::size_t j = 0; j < k; ++j) {
                a[c][j] /= f;
                inv[c][j] /= f;
            }
            for (std::size_t i = 0; i < k; ++i) {
                if (i == c || a[i][c] == 0) continue;
                mpq_class g = a[i][c];
                for (std::size_t j = 0; j < k; ++j) {
                    a[i][j] -= g * a[c][j];
                    inv[i][j] -= g * inv[c][j];
                }
            }
        }
        return inv;
    }

    IntegerVector origin_;
    std::vector<std::size_t> rows_;
    std::vector<std::vector<mpq_class>> inverse_;
};

// x, y with x a + y b = gcd(a, b) >= 0.
void extended_gcd(const mpz_class& a, const mpz_class& b, mpz_class& g, mpz_class& x, mpz_class& y) {
    mpz_gcdext(g.get_mpz_t(), x.get_mpz_t(), y.get_mpz_t(), a.get_mpz_t(), b.get_mpz_t());
}

std::optional<std::vector<IntegerVector>> all_points(const Region& r, const Geometry& g, std::size_t limit) {
    LatticeCoordinates coordinates(r);
    std::size_t k = r.basis.size();
    std::vector<mpz_class> low(k), high(k);
    bool first = true;
    for (const auto& v : g.vertices) {
        std::vector<mpq_class> t = coordinates.of(v, false);
        for (std::size_t j = 0; j < k; ++j) {
            mpz_class lo = ceil_of(t[j]), hi = floor_of(t[j]);
            if (first || lo < low[j]) low[j] = lo;
            if (first || hi > high[j]) high[j] = hi;
        }
        first = false;
    }
    mpz_class box = 1;
    for (std::size_t j = 0; j < k; ++j) {
        // A vertex's coordinates round inwards; the box is their hull.
        if (high[j] < low[j]) std::swap(high[j], low[j]);
        low[j] -= 1;
        high[j] += 1;
        box *= high[j] - low[j] + 1;
        if (box > limit) return std::nullopt;
    }
    std::vector<IntegerVector> points;
    IntegerVector t = low;
    for (;;) {
        IntegerVector p = point_of(r, t);
        if (inside(r, p)) points.push_back(std::move(p));
        std::size_t j = k;
        while (j > 0 && t[j - 1] == high[j - 1]) {
            t[j - 1] = low[j - 1];
            --j;
        }
        if (j == 0) break;
        ++t[j - 1];
    }
    return points;
}

struct Found {
    std::vector<IntegerVector> values, extra;
    bool complete = true;   // every value of the region
};

class Finder {
public:
    Finder(unsigned m, unsigned degree, std::size_t max_values) : m_(m), degree_(degree), max_values_(max_values) {}

    Found find(const Region& r, const Geometry& g) {
        Found found;
        if (g.empty) return found;
        if (r.basis.empty()) {
            if (inside(r, r.origin)) add(found.values, r.origin);
            return found;
        }
        if (std::optional<std::vector<Region>> slices = thin_slices(r, g)) {
            for (const Region& slice : *slices) {
                Found part = find(slice, geometry_of(slice, m_));
                found.values.insert(found.values.end(), part.values.begin(), part.values.end());
                found.complete &= part.complete;
                if (found.extra.empty()) found.extra = std::move(part.extra);
            }
            return found;
        }
        // A small bounded region gives all its values (a box of few
        // points holds few); a larger one a simplex if one fits, else all.
        bool bounded = g.rays.empty();
        std::optional<std::vector<IntegerVector>> all;
        if (bounded) all = all_points(r, g, 4 * small_region_values(r));
        if (all && all->size() <= small_region_values(r)) {
            for (const IntegerVector& p : *all) add(found.values, p);
            return found;
        }
        if (simplex(r, g, found)) return found;
        if (bounded && !all) all = all_points(r, g, enumeration_limit);
        if (all && all->size() <= large_region_values) {
            for (const IntegerVector& p : *all) add(found.values, p);
            return found;
        }
        throw NoSet{};
    }

    void add(std::vector<IntegerVector>& list, const IntegerVector& p) {
        if (++total_ > max_values_) throw NoSet{};
        list.push_back(p);
    }

    static constexpr std::size_t enumeration_limit = 1 << 18;

    // The region cut into the slices of the direction with the fewest
    // levels of lattice hyperplanes, when there are at most `degree` of them.
    std::optional<std::vector<Region>> thin_slices(const Region& r, const Geometry& g) const {
        std::vector<IntegerVector> directions;
        for (unsigned k = 0; k < m_; ++k) {
            IntegerVector e(m_, 0);
            e[k] = 1;
            directions.push_back(e);
        }
        for (const IntegerVector& c : r.inequalities) directions.emplace_back(c.begin(), c.begin() + m_);
        for (const IntegerVector& c : r.equalities) directions.emplace_back(c.begin(), c.begin() + m_);
        std::optional<mpz_class> fewest;
        IntegerVector best;
        mpz_class best_low, best_step;
        for (const IntegerVector& c : directions) {
            mpz_class step = 0;
            for (const IntegerVector& b : r.basis) step = gcd(step, dot(c, b));
            if (step == 0) continue;   // the lattice lies in a hyperplane of this direction
            bool unbounded = std::any_of(g.rays.begin(), g.rays.end(), [&](const IntegerVector& ray) { return dot(c, ray) != 0; });
            if (unbounded) continue;
            mpq_class low = dot(c, g.vertices.front()), high = low;
            for (const auto& v : g.vertices) {
                mpq_class x = dot(c, v);
                low = std::min(low, x);
                high = std::max(high, x);
            }
            mpz_class base = dot(c, r.origin);
            mpz_class first = ceil_of(mpq_class(low - base) / step), last = floor_of(mpq_class(high - base) / step);
            mpz_class levels = last >= first ? mpz_class(last - first + 1) : mpz_class(0);
            if (!fewest || levels < *fewest) {
                fewest = levels;
                best = c;
                best_low = base + first * step;
                best_step = step;
            }
        }
        if (!fewest || *fewest > degree_) return std::nullopt;
        // The lattice's coordinates turned so that the direction reads the
        // first one: u U = (step, 0, ..., 0) with U unimodular.
        std::vector<IntegerVector> basis = r.basis;
        IntegerVector u;
        for (const IntegerVector& b : basis) u.push_back(dot(best, b));
        for (std::size_t j = 1; j < basis.size(); ++j) {
            mpz_class gj, x, y;
            extended_gcd(u[0], u[j], gj, x, y);
            if (gj == 0) continue;
            IntegerVector first(m_), other(m_);
            mpz_class a = u[0] / gj, b = u[j] / gj;
            for (unsigned k = 0; k < m_; ++k) {
                first[k] = x * basis[0][k] + y * basis[j][k];
                other[k] = -b * basis[0][k] + a * basis[j][k];
            }
            basis[0] = std::move(first);
            basis[j] = std::move(other);
            u[0] = gj;
            u[j] = 0;
        }
        if (u[0] < 0) {
            for (mpz_class& x : basis[0]) x = -x;
            u[0] = -u[0];
        }
        std::vector<Region> slices;
        for (mpz_class level = best_low, n = 0; n < *fewest; ++n, level += best_step) {
            Region slice;
            slice.equalities = r.equalities;
            slice.inequalities = r.inequalities;
            IntegerVector plane = best;
            plane.push_back(-level);
            slice.equalities.push_back(plane);
            mpz_class s = (level - dot(best, r.origin)) / u[0];
            slice.origin = r.origin;
            for (unsigned k = 0; k < m_; ++k) slice.origin[k] += s * basis[0][k];
            slice.basis.assign(basis.begin() + 1, basis.end());
            slices.push_back(std::move(slice));
        }
        return slices;
    }

private:
    static constexpr std::size_t large_region_values = 4096;

    std::size_t small_region_values(const Region& r) const {
        std::size_t k = r.basis.size(), simplex = 1;
        for (std::size_t j = 1; j <= k; ++j) simplex = simplex * (degree_ + j) / j;
        return std::max<std::size_t>(2 * simplex, 16);
    }


    // Directions of the lattice (its coordinates) along which a simplex may
    // lie: the coordinate axes, the region's rays, and its edges' directions
    // between vertices, each made a primitive integer vector.
    std::vector<IntegerVector> directions(const Geometry& g, const LatticeCoordinates& coordinates, std::size_t k) const {
        std::vector<IntegerVector> list;
        auto add_direction = [&](const std::vector<mpq_class>& t) {
            mpz_class scale = 1, common = 0;
            for (const mpq_class& x : t) scale = lcm(scale, x.get_den());
            IntegerVector v(k);
            for (std::size_t j = 0; j < k; ++j) {
                v[j] = mpq_class(t[j] * scale).get_num();
                common = gcd(common, v[j]);
            }
            if (common == 0) return;
            for (mpz_class& x : v) x /= common;
            for (const IntegerVector& w : list) {
                IntegerVector minus = w;
                for (mpz_class& x : minus) x = -x;
                if (w == v || minus == v) return;
            }
            list.push_back(std::move(v));
        };
        for (std::size_t j = 0; j < k; ++j) {
            std::vector<mpq_class> e(k, 0);
            e[j] = 1;
            add_direction(e);
        }
        for (const IntegerVector& ray : g.rays) {
            std::vector<mpq_class> p(ray.begin(), ray.end());
            add_direction(coordinates.of(p, true));
        }
        for (std::size_t a = 0; a < g.vertices.size() && a < 6; ++a)
            for (std::size_t b = a + 1; b < g.vertices.size() && b < 6; ++b) {
                std::vector<mpq_class> d(m_);
                for (unsigned i = 0; i < m_; ++i) d[i] = g.vertices[b][i] - g.vertices[a][i];
                add_direction(coordinates.of(d, true));
            }
        return list;
    }

    // Frames of k independent signed directions, the coordinate axes first.
    static std::vector<std::vector<IntegerVector>> frames(const std::vector<IntegerVector>& directions, std::size_t k) {
        std::vector<std::vector<IntegerVector>> list;
        std::vector<std::size_t> pick(k);
        std::iota(pick.begin(), pick.end(), 0);
        if (directions.size() < k) return list;
        for (;;) {
            std::vector<std::vector<mpq_class>> matrix;
            for (std::size_t i : pick) matrix.emplace_back(directions[i].begin(), directions[i].end());
            if (LatticeCoordinates::rank(matrix) == k)
                for (unsigned signs = 0; signs < (1u << k); ++signs) {
                    std::vector<IntegerVector> frame;
                    for (std::size_t j = 0; j < k; ++j) {
                        IntegerVector w = directions[pick[j]];
                        if (signs >> j & 1)
                            for (mpz_class& x : w) x = -x;
                        frame.push_back(std::move(w));
                    }
                    list.push_back(std::move(frame));
                }
            std::size_t j = k;
            while (j > 0 && pick[j - 1] == directions.size() - k + j - 1) --j;
            if (j == 0) break;
            ++pick[j - 1];
            for (std::size_t i = j; i < k; ++i) pick[i] = pick[i - 1] + 1;
            if (list.size() > 512) break;
        }
        return list;
    }

    // The simplex of the first frame that fits with its corner at t0, added.
    bool fits_at(const Region& r, const IntegerVector& t0, const std::vector<std::vector<IntegerVector>>& candidates,
                 Found& found) {
        std::size_t k = r.basis.size();
        auto at = [&](const std::vector<IntegerVector>& frame, const std::vector<long>& a) {
            IntegerVector t = t0;
            for (std::size_t j = 0; j < k; ++j)
                for (std::size_t i = 0; i < k; ++i) t[i] += frame[j][i] * a[j];
            return t;
        };
        for (const std::vector<IntegerVector>& frame : candidates) {
            bool fits = true;
            for (std::size_t j = 0; j < k && fits; ++j) {
                std::vector<long> corner(k, 0);
                corner[j] = static_cast<long>(degree_);
                fits = inside(r, point_of(r, at(frame, corner)));
            }
            if (!fits) continue;
            // The points of the simplex: every a of sum at most `degree`.
            std::vector<long> a(k, 0);
            for (;;) {
                add(found.values, point_of(r, at(frame, a)));
                std::size_t j = 0;
                for (; j < k; ++j) {
                    long sum = 0;
                    for (long x : a) sum += x;
                    if (sum < static_cast<long>(degree_)) {
                        ++a[j];
                        break;
                    }
                    a[j] = 0;
                }
                if (j == k) break;
            }
            found.complete = false;
            std::vector<long> beyond(k, 0);
            beyond[0] = static_cast<long>(degree_) + 1;
            IntegerVector p = point_of(r, at(frame, beyond));
            if (inside(r, p)) found.extra.push_back(p);
            return true;
        }
        return false;
    }

    // A lattice simplex of side `degree` inside the region: t0 + a1 w1 +
    // ... + ak wk, the a natural numbers of sum at most `degree`, for a frame
    // w of independent lattice directions.
    bool simplex(const Region& r, const Geometry& g, Found& found) {
        LatticeCoordinates coordinates(r);
        std::size_t k = r.basis.size();
        std::vector<std::vector<IntegerVector>> candidates = frames(directions(g, coordinates, k), k);
        // Towards the inside: the rays' sum, or the vertices' centre.
        std::vector<mpq_class> inward_p(m_, 0);
        bool bounded = g.rays.empty();
        if (bounded) {
            for (const auto& v : g.vertices)
                for (unsigned i = 0; i < m_; ++i) inward_p[i] += v[i];
            for (unsigned i = 0; i < m_; ++i) inward_p[i] /= static_cast<long>(g.vertices.size());
        } else {
            for (const IntegerVector& ray : g.rays)
                for (unsigned i = 0; i < m_; ++i) inward_p[i] += ray[i];
        }
        // The vertices nearest the origin first: their counts are the smallest.
        std::vector<std::vector<mpq_class>> vertices = g.vertices;
        std::sort(vertices.begin(), vertices.end(), [](const auto& a, const auto& b) {
            mpq_class na = 0, nb = 0;
            for (const auto& x : a) na += abs(x);
            for (const auto& x : b) nb += abs(x);
            return na < nb;
        });
        std::vector<mpq_class> steps;
        if (bounded)
            steps = {0, mpq_class(1, 16), mpq_class(1, 8), mpq_class(1, 4), mpq_class(3, 8), mpq_class(1, 2)};
        else
            for (long s = 0; s <= (1L << 24); s = s ? 2 * s : 1) steps.push_back(s);
        // A base point near each vertex, moved inwards step by step; then
        // the lattice points around those, whose levels differ.
        for (long spread : {0L, 2L}) {
            std::size_t tried = 0;
            for (const auto& vertex : vertices) {
                if (++tried > 8) break;
                std::vector<mpq_class> direction(m_);
                for (unsigned i = 0; i < m_; ++i) direction[i] = bounded ? inward_p[i] - vertex[i] : inward_p[i];
                std::vector<mpq_class> start = coordinates.of(vertex, false);
                std::vector<mpq_class> towards = coordinates.of(direction, true);
                for (const mpq_class& step : steps) {
                    IntegerVector centre(k);
                    for (std::size_t j = 0; j < k; ++j) centre[j] = nearest(start[j] + step * towards[j]);
                    std::vector<long> offset(k, -spread);
                    for (;;) {
                        IntegerVector t0 = centre;
                        for (std::size_t j = 0; j < k; ++j) t0[j] += offset[j];
                        if (inside(r, point_of(r, t0)) && fits_at(r, t0, candidates, found)) return true;
                        std::size_t j = k;
                        while (j > 0 && offset[j - 1] == spread) offset[--j] = -spread;
                        if (j == 0) break;
                        ++offset[j - 1];
                    }
                }
            }
        }
        return false;
    }

    unsigned m_, degree_;
    std::size_t max_values_;
    std::size_t total_ = 0;
};

std::optional<std::vector<std::int64_t>> small_values(const IntegerVector& p) {
    std::vector<std::int64_t> v;
    for (const mpz_class& x : p) {
        if (!x.fits_slong_p()) return std::nullopt;
        v.push_back(x.get_si());
    }
    return v;
}


// The class of a value modulo the periods.
std::vector<long> residues_of(const std::vector<std::int64_t>& v, const std::vector<long>& periods) {
    std::vector<long> r(v.size());
    for (std::size_t k = 0; k < v.size(); ++k) r[k] = ((v[k] % periods[k]) + periods[k]) % periods[k];
    return r;
}

void add_found(const Found& found, const std::vector<long>& periods, std::map<std::vector<long>, ClassValues>& by_class) {
    std::vector<long> first;
    for (const IntegerVector& p : found.values) {
        auto v = small_values(p);
        if (!v) throw NoSet{};
        std::vector<long> r = residues_of(*v, periods);
        auto [at, made] = by_class.try_emplace(r);
        ClassValues& c = at->second;
        if (made) {
            c.residues = r;
            c.complete = true;
        }
        c.complete &= found.complete;
        c.values.push_back(std::move(*v));
        if (first.empty()) first = r;
    }
    for (const IntegerVector& p : found.extra)
        if (auto v = small_values(p)) {
            auto at = by_class.find(residues_of(*v, periods));
            if (at != by_class.end()) at->second.extra.push_back(std::move(*v));
        }
}

// The determining values of a region of the whole lattice (or of a slice
// of it): thin, it is cut into slices; otherwise each class of the
// periods within its lattice is a region of its own.
void collect(Finder& finder, const Region& r, const Geometry& g, const std::vector<long>& periods, std::size_t max_values,
             std::map<std::vector<long>, ClassValues>& by_class) {
    if (g.empty) return;
    const std::size_t m = periods.size();
    if (r.basis.empty()) {
        Found point;
        if (inside(r, r.origin)) finder.add(point.values, r.origin);
        add_found(point, periods, by_class);
        return;
    }
    if (std::optional<std::vector<Region>> slices = finder.thin_slices(r, g)) {
        for (const Region& slice : *slices) collect(finder, slice, geometry_of(slice, static_cast<unsigned>(m)), periods,
                                                    max_values, by_class);
        return;
    }
    // Along basis vector b_i the classes repeat every q_i steps: the
    // smallest q_i with q_i b_i a multiple of the periods.
    std::vector<long> q;
    std::size_t classes = 1;
    for (const IntegerVector& b : r.basis) {
        long qi = 1;
        for (std::size_t j = 0; j < m; ++j) {
            mpz_class g_ = gcd(mpz_class(periods[j]), b[j]);
            if (g_ == 0) continue;
            qi = std::lcm(qi, static_cast<long>(periods[j] / g_.get_si()));
        }
        q.push_back(qi);
        classes *= static_cast<std::size_t>(qi);
        if (classes > max_values) throw NoSet{};
    }
    std::vector<long> rho(q.size(), 0);
    for (;;) {
        Region c = r;
        for (std::size_t i = 0; i < q.size(); ++i) {
            for (std::size_t j = 0; j < m; ++j) c.origin[j] += rho[i] * r.basis[i][j];
            for (mpz_class& x : c.basis[i]) x *= q[i];
        }
        add_found(finder.find(c, g), periods, by_class);
        std::size_t i = q.size();
        while (i > 0 && ++rho[i - 1] == q[i - 1]) rho[--i] = 0;
        if (i == 0) break;
    }
}


// Every value of a bounded chamber, when there are at most `limit` in its box.
std::optional<std::vector<std::vector<std::int64_t>>> every_value_of(const Region& top, const Geometry& g, unsigned m,
                                                                     std::size_t limit) {
    Region whole = top;
    whole.origin.assign(m, 0);
    whole.basis.clear();
    for (unsigned k = 0; k < m; ++k) {
        IntegerVector b(m, 0);
        b[k] = 1;
        whole.basis.push_back(b);
    }
    std::optional<std::vector<IntegerVector>> all = all_points(whole, g, limit);
    if (!all || all->size() > limit) return std::nullopt;
    std::vector<std::vector<std::int64_t>> values;
    for (const IntegerVector& p : *all) {
        auto v = small_values(p);
        if (!v) return std::nullopt;
        values.push_back(std::move(*v));
    }
    return values;
}

// All the values of a chamber, by class.
std::vector<ClassValues> regrouped(std::vector<std::vector<std::int64_t>> values, const std::vector<long>& periods) {
    std::map<std::vector<long>, ClassValues> by_class;
    for (std::vector<std::int64_t>& v : values) {
        std::vector<long> r = residues_of(v, periods);
        ClassValues& c = by_class[r];
        c.residues = r;
        c.complete = true;
        c.values.push_back(std::move(v));
    }
    std::vector<ClassValues> classes;
    for (auto& [r, c] : by_class) classes.push_back(std::move(c));
    return classes;
}

Region region_of(const ConeConstraints& chamber) {
    Region top;
    for (const ExactRow& e : chamber.equalities) {
        IntegerVector v;
        for (const ExactNumber& x : e) v.push_back(x.to_mpz());
        top.equalities.push_back(std::move(v));
    }
    for (const ExactRow& i : chamber.inequalities) {
        IntegerVector v;
        for (const ExactNumber& x : i) v.push_back(x.to_mpz());
        top.inequalities.push_back(std::move(v));
    }
    return top;
}

}  // namespace

std::optional<std::vector<ClassValues>> determining_values(const ConeConstraints& chamber, unsigned parameters,
                                                           unsigned degree, const std::vector<long>& periods,
                                                           std::size_t max_values) {
    Region top = region_of(chamber);
    const unsigned m = parameters;
    Geometry g = geometry_of(top, m);
    std::vector<ClassValues> classes;
    if (g.empty) return classes;
    if (m == 0) {
        classes.push_back({{}, {{}}, {}, true});
        return classes;
    }
    // About as many values as the classes would need anyway (a simplex of
    // values per class): a bounded chamber then gives all of them,
    // whatever the periods.
    std::size_t simplex = 1;
    for (unsigned j = 1; j <= m; ++j) simplex = simplex * (degree + j) / j;
    std::size_t few = std::max<std::size_t>(16, 2 * simplex);
    for (long p : periods) few = few > max_values / static_cast<std::size_t>(p) ? max_values : few * static_cast<std::size_t>(p);
    if (g.rays.empty())
        if (auto all = every_value_of(top, g, m, few)) return regrouped(std::move(*all), periods);
    // The whole chamber in its lattice (thin chambers cut into slices
    // first), then each part split into the classes of the periods.
    Region whole = top;
    whole.origin.assign(m, 0);
    for (unsigned k = 0; k < m; ++k) {
        IntegerVector b(m, 0);
        b[k] = 1;
        whole.basis.push_back(b);
    }
    Finder finder(m, degree, max_values);
    std::map<std::vector<long>, ClassValues> by_class;
    try {
        collect(finder, whole, g, periods, max_values, by_class);
    } catch (const NoSet&) {
        return std::nullopt;
    }
    for (auto& [r, c] : by_class) classes.push_back(std::move(c));
    return classes;
}

std::optional<std::vector<ClassValues>> every_value(const ConeConstraints& chamber, unsigned parameters,
                                                    std::size_t max_values) {
    Region top = region_of(chamber);
    Geometry g = geometry_of(top, parameters);
    if (g.empty) return std::vector<ClassValues>{};
    if (!g.rays.empty()) return std::nullopt;
    auto all = every_value_of(top, g, parameters, max_values);
    if (!all) return std::nullopt;
    return regrouped(std::move(*all), std::vector<long>(parameters, 1));
}
