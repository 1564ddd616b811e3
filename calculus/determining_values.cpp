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

private:
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
        if (slice_if_thin(r, g, found)) return found;
        bool bounded = g.rays.empty();
        std::optional<std::vector<IntegerVector>> all;
        if (bounded) all = all_points(r, g, enumeration_limit);
        if (all && all->size() <= small_region_values(r)) {
            for (const IntegerVector& p : *all) add(found.values, p);
            return found;
        }
        if (simplex(r, g, found)) return found;
        if (all && all->size() <= large_region_values) {
            for (const IntegerVector& p : *all) add(found.values, p);
            return found;
        }
        throw NoSet{};
    }

private:
    static constexpr std::size_t enumeration_limit = 1 << 18;
    static constexpr std::size_t large_region_values = 4096;

    std::size_t small_region_values(const Region& r) const {
        std::size_t k = r.basis.size(), simplex = 1;
        for (std::size_t j = 1; j <= k; ++j) simplex = simplex * (degree_ + j) / j;
        return std::max<std::size_t>(2 * simplex, 16);
    }

    void add(std::vector<IntegerVector>& list, const IntegerVector& p) {
        if (++total_ > max_values_) throw NoSet{};
        list.push_back(p);
    }

    // Cuts the region into the slices of the direction with the fewest
    // levels, when there are at most `degree` of them.
    bool slice_if_thin(const Region& r, const Geometry& g, Found& found) {
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
        if (!fewest || *fewest > degree_) return false;
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
            Found part = find(slice, geometry_of(slice, m_));
            found.values.insert(found.values.end(), part.values.begin(), part.values.end());
            found.complete &= part.complete;
            if (found.extra.empty()) found.extra = std::move(part.extra);
        }
        return true;
    }

    // Every lattice point of a bounded region, or nothing past `limit`
    // points of its box.
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

    // A lattice simplex of side `degree` inside the region.
    bool simplex(const Region& r, const Geometry& g, Found& found) {
        LatticeCoordinates coordinates(r);
        std::size_t k = r.basis.size();
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
        std::size_t tried = 0;
        for (const auto& vertex : vertices) {
            if (++tried > 8) break;
            std::vector<mpq_class> direction(m_);
            for (unsigned i = 0; i < m_; ++i) direction[i] = bounded ? inward_p[i] - vertex[i] : inward_p[i];
            std::vector<mpq_class> start = coordinates.of(vertex, false);
            std::vector<mpq_class> towards = coordinates.of(direction, true);
            for (const mpq_class& step : steps) {
                IntegerVector t0(k);
                for (std::size_t j = 0; j < k; ++j) t0[j] = nearest(start[j] + step * towards[j]);
                if (!inside(r, point_of(r, t0))) continue;
                for (unsigned signs = 0; signs < (1u << k); ++signs) {
                    bool fits = true;
                    for (std::size_t j = 0; j < k && fits; ++j) {
                        IntegerVector corner = t0;
                        corner[j] += (signs >> j & 1 ? -1 : 1) * static_cast<long>(degree_);
                        fits = inside(r, point_of(r, corner));
                    }
                    if (!fits) continue;
                    // The points t0 + a1 s1 e1 + ... with a1 + ... + ak <= degree.
                    std::vector<unsigned> a(k, 0);
                    for (;;) {
                        IntegerVector t = t0;
                        for (std::size_t j = 0; j < k; ++j) t[j] += (signs >> j & 1 ? -1 : 1) * static_cast<long>(a[j]);
                        add(found.values, point_of(r, t));
                        std::size_t j = 0;
                        for (; j < k; ++j) {
                            unsigned sum = 0;
                            for (unsigned x : a) sum += x;
                            if (sum < degree_) {
                                ++a[j];
                                break;
                            }
                            a[j] = 0;
                        }
                        if (j == k) break;
                    }
                    found.complete = false;
                    IntegerVector beyond = t0;
                    beyond[0] += (signs & 1 ? -1 : 1) * static_cast<long>(degree_ + 1);
                    IntegerVector p = point_of(r, beyond);
                    if (inside(r, p)) found.extra.push_back(p);
                    return true;
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

}  // namespace

std::optional<std::vector<ClassValues>> determining_values(const ConeConstraints& chamber, unsigned parameters,
                                                           unsigned degree, const std::vector<long>& periods,
                                                           std::size_t max_values) {
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
    const unsigned m = parameters;
    Geometry g = geometry_of(top, m);
    std::vector<ClassValues> classes;
    if (g.empty) return classes;
    if (m == 0) {
        classes.push_back({{}, {{}}, {}, true});
        return classes;
    }
    std::size_t count = 1;
    for (unsigned k = 0; k < m; ++k) {
        count *= static_cast<std::size_t>(periods[k]);
        if (count > max_values) return std::nullopt;
    }
    for (unsigned k = 0; k < m; ++k) {
        IntegerVector b(m, 0);
        b[k] = periods[k];
        top.basis.push_back(b);
    }
    Finder finder(m, degree, max_values);
    std::vector<long> residues(m, 0);
    try {
        for (;;) {
            Region r = top;
            r.origin.assign(residues.begin(), residues.end());
            Found found = finder.find(r, g);
            if (!found.values.empty()) {
                ClassValues c{residues, {}, {}, found.complete};
                for (const IntegerVector& p : found.values) {
                    auto v = small_values(p);
                    if (!v) return std::nullopt;
                    c.values.push_back(std::move(*v));
                }
                for (const IntegerVector& p : found.extra)
                    if (auto v = small_values(p)) c.extra.push_back(std::move(*v));
                classes.push_back(std::move(c));
            }
            unsigned k = m;
            while (k > 0 && ++residues[k - 1] == periods[k - 1]) residues[--k] = 0;
            if (k == 0) break;
        }
    } catch (const NoSet&) {
        return std::nullopt;
    }
    return classes;
}
