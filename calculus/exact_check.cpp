// Exact double description in multi-precision arithmetic, and the
// comparisons of PolyLib's results with it.
#include "calculus/exact_check.h"

#include <algorithm>
#include <cstdint>
#include <optional>

namespace {

// Rows of high-dimensional domains are mostly zeros (unit lines).
ExactNumber dot(const ExactRow& a, const ExactRow& b) {
    ExactNumber sum = 0;
    for (std::size_t k = 0; k < a.size(); ++k)
        if (sgn(a[k]) != 0 && sgn(b[k]) != 0) sum += a[k] * b[k];
    return sum;
}

bool is_zero(const ExactRow& v) {
    return std::all_of(v.begin(), v.end(), [](const ExactNumber& x) { return x == 0; });
}

// Divides by the gcd of the entries: the same direction, the same sign.
void make_primitive(ExactRow& v) {
    ExactNumber g = 0;
    for (const ExactNumber& x : v)
        if (sgn(x) != 0) g = gcd(g, x);
    if (g > 1)
        for (ExactNumber& x : v)
            if (sgn(x) != 0) x = divide_exactly(x, g);
}

// s * v - t * w, made primitive.
ExactRow combine(const ExactNumber& s, const ExactRow& v, const ExactNumber& t, const ExactRow& w) {
    ExactRow r(v.size());
    for (std::size_t k = 0; k < v.size(); ++k)
        if (sgn(v[k]) != 0 || sgn(w[k]) != 0) r[k] = s * v[k] - t * w[k];
    make_primitive(r);
    return r;
}

ExactRow negated(ExactRow v) {
    for (ExactNumber& x : v) x = -x;
    return v;
}

bool has_point(const ConeGenerators& g) {
    return std::any_of(g.rays.begin(), g.rays.end(), [](const ExactRow& r) { return r.back() > 0; });
}

// The set of constraints a ray is tight on, as bits.
using ZeroSet = std::vector<std::uint64_t>;

// Whether every constraint tight on both a and b is tight on c.
bool common_subset(const ZeroSet& a, const ZeroSet& b, const ZeroSet& c) {
    for (std::size_t w = 0; w < a.size(); ++w)
        if (a[w] & b[w] & ~c[w]) return false;
    return true;
}

ZeroSet intersection(const ZeroSet& a, const ZeroSet& b) {
    ZeroSet r(a.size());
    for (std::size_t w = 0; w < a.size(); ++w) r[w] = a[w] & b[w];
    return r;
}

void set_bit(ZeroSet& z, std::size_t k) { z[k / 64] |= std::uint64_t{1} << (k % 64); }

struct Ray {
    ExactRow v;
    ZeroSet zeros;
};

// Motzkin's double description, one constraint at a time, from the whole
// space (one line per coordinate). Rays are the extreme rays modulo the
// lines; two rays on either side of a constraint are combined only when
// adjacent (no third ray is tight on every constraint both are tight on).
ConeGenerators double_description(std::size_t n, const ConeConstraints& c) {
    std::vector<std::pair<const ExactRow*, bool>> rows;   // equalities first: they remove lines early
    for (const ExactRow& e : c.equalities) rows.push_back({&e, true});
    for (const ExactRow& i : c.inequalities) rows.push_back({&i, false});
    std::size_t words = (rows.size() + 63) / 64 + 1;
    std::vector<ExactRow> lines;
    for (std::size_t k = 0; k < n; ++k) {
        ExactRow unit(n);   // default zeros allocate nothing: unit lines of a large dimension stay cheap
        unit[k] = 1;
        lines.push_back(std::move(unit));
    }
    std::vector<Ray> rays;
    for (std::size_t k = 0; k < rows.size(); ++k) {
        const ExactRow& a = *rows[k].first;
        bool equality = rows[k].second;
        auto crossing = std::find_if(lines.begin(), lines.end(), [&](const ExactRow& l) { return dot(a, l) != 0; });
        if (crossing != lines.end()) {
            ExactRow l = *crossing;
            lines.erase(crossing);
            ExactNumber s = dot(a, l);
            if (s < 0) {
                l = negated(l);
                s = -s;
            }
            for (ExactRow& other : lines)
                if (ExactNumber t = dot(a, other); t != 0) other = combine(s, other, t, l);
            for (Ray& r : rays) {
                if (ExactNumber t = dot(a, r.v); t != 0) r.v = combine(s, r.v, t, l);
                set_bit(r.zeros, k);
            }
            if (!equality) {
                ZeroSet zeros(words, 0);
                for (std::size_t j = 0; j < k; ++j) set_bit(zeros, j);
                rays.push_back({l, zeros});
            }
            continue;
        }
        std::vector<ExactNumber> value(rays.size());
        for (std::size_t r = 0; r < rays.size(); ++r) value[r] = dot(a, rays[r].v);
        std::vector<Ray> next;
        for (std::size_t p = 0; p < rays.size(); ++p) {
            if (value[p] <= 0) continue;
            for (std::size_t q = 0; q < rays.size(); ++q) {
                if (value[q] >= 0) continue;
                bool adjacent = true;
                for (std::size_t r = 0; r < rays.size() && adjacent; ++r)
                    if (r != p && r != q && common_subset(rays[p].zeros, rays[q].zeros, rays[r].zeros)) adjacent = false;
                if (!adjacent) continue;
                Ray ray{combine(value[p], rays[q].v, value[q], rays[p].v), intersection(rays[p].zeros, rays[q].zeros)};
                set_bit(ray.zeros, k);
                next.push_back(std::move(ray));
            }
        }
        for (std::size_t r = 0; r < rays.size(); ++r) {
            if (value[r] == 0) set_bit(rays[r].zeros, k);
            if (value[r] == 0 || (value[r] > 0 && !equality)) next.push_back(std::move(rays[r]));
        }
        rays = std::move(next);
    }
    ConeGenerators g;
    g.lines = std::move(lines);
    for (Ray& r : rays) g.rays.push_back(std::move(r.v));
    return g;
}

ExactRow positivity(std::size_t n) {
    ExactRow d(n, 0);
    d[n - 1] = 1;
    return d;
}

bool satisfies(const ConeGenerators& g, const ConeConstraints& c) {
    for (const ExactRow& e : c.equalities) {
        for (const ExactRow& l : g.lines)
            if (dot(e, l) != 0) return false;
        for (const ExactRow& r : g.rays)
            if (dot(e, r) != 0) return false;
    }
    for (const ExactRow& i : c.inequalities) {
        for (const ExactRow& l : g.lines)
            if (dot(i, l) != 0) return false;
        for (const ExactRow& r : g.rays)
            if (dot(i, r) < 0) return false;
    }
    return true;
}

// A basis of a linear space in echelon form (positive pivots, increasing
// pivot columns): reducing a vector by it gives a positive multiple of the
// one representative of its class with zeros at the pivots.
struct Echelon {
    std::vector<std::pair<std::size_t, ExactRow>> rows;

    ExactRow reduce(ExactRow v) const {
        for (const auto& [pivot, b] : rows)
            if (v[pivot] != 0) v = combine(b[pivot], v, v[pivot], b);
        make_primitive(v);
        return v;
    }

    void add(ExactRow v) {
        ExactRow r = reduce(std::move(v));
        auto first = std::find_if(r.begin(), r.end(), [](const ExactNumber& x) { return x != 0; });
        if (first == r.end()) return;
        std::size_t pivot = static_cast<std::size_t>(first - r.begin());
        if (r[pivot] < 0) r = negated(r);
        auto at = std::find_if(rows.begin(), rows.end(), [&](const auto& row) { return row.first > pivot; });
        rows.insert(at, {pivot, std::move(r)});
    }
};

ExactRow widened(const Value* row, unsigned size) {
    ExactRow w(size);
    for (unsigned k = 0; k < size; ++k)
        if (value_notzero_p(row[k + 1])) w[k] = exact_number(row[k + 1]);
    return w;
}

// PolyLib's rows widened, parted by their first element: 0 (equalities,
// lines) or 1 (inequalities, rays and vertices).
void part_rows(Value** rows, unsigned count, unsigned size, std::vector<ExactRow>& zero, std::vector<ExactRow>& one) {
    for (unsigned r = 0; r < count; ++r) (value_zero_p(rows[r][0]) ? zero : one).push_back(widened(rows[r], size));
}

}  // namespace

ExactNumber exact_number(const Value& v) { return ExactNumber(static_cast<long>(value_of(v))); }

ConeConstraints constraints_of(const Polyhedron* p) {
    ConeConstraints c;
    part_rows(p->Constraint, p->NbConstraints, p->Dimension + 1, c.equalities, c.inequalities);
    return c;
}

ConeGenerators generators_of(const Polyhedron* p) {
    ConeGenerators g;
    part_rows(p->Ray, p->NbRays, p->Dimension + 1, g.lines, g.rays);
    return g;
}

ExactSet exact_set_from_constraints(std::size_t n, ConeConstraints constraints) {
    constraints.inequalities.push_back(positivity(n));
    ConeGenerators g = double_description(n, constraints);
    bool empty = !has_point(g);
    return {std::move(constraints), std::move(g), empty};
}

// The constraints of a generated cone are the generators of its dual cone.
ExactSet exact_set_from_generators(std::size_t n, const ConeGenerators& generators) {
    ConeConstraints dual{generators.lines, generators.rays};
    ConeGenerators facets = double_description(n, dual);
    ConeConstraints c{std::move(facets.lines), std::move(facets.rays)};
    c.inequalities.push_back(positivity(n));
    return {std::move(c), generators, !has_point(generators)};
}

ExactSet exact_set_of(const Polyhedron* p) {
    ConeGenerators g = generators_of(p);
    bool empty = !has_point(g);
    ConeConstraints c = constraints_of(p);
    c.inequalities.push_back(positivity(p->Dimension + 1));
    return {std::move(c), std::move(g), empty};
}

bool generators_satisfy(const ConeGenerators& generators, const ConeConstraints& constraints) {
    return satisfies(generators, constraints);
}

bool exact_contains(const ExactSet& outer, const ExactSet& inner) {
    if (inner.empty) return true;
    return !outer.empty && satisfies(inner.generators, outer.constraints);
}

bool exact_disjoint(const ExactSet& a, const ExactSet& b) {
    if (a.empty || b.empty) return true;
    ConeConstraints both = a.constraints;
    both.equalities.insert(both.equalities.end(), b.constraints.equalities.begin(), b.constraints.equalities.end());
    both.inequalities.insert(both.inequalities.end(), b.constraints.inequalities.begin(),
                             b.constraints.inequalities.end());
    return exact_set_from_constraints(a.constraints.inequalities.back().size(), std::move(both)).empty;
}

namespace {

// A redundant constraint could hold a wrapped value without changing the
// set: every inequality must be a facet (its tight generators span one
// dimension less than the polyhedron), except PolyLib's d >= 0, which must
// read exactly so; equalities must be independent. Ranks are counted modulo
// the lines: `classes` are the rays reduced by `lineality`, in ray order.
bool irredundant_constraints(const Polyhedron* p, const ConeGenerators& g, const std::vector<ExactRow>& classes) {
    ConeConstraints c = constraints_of(p);
    Echelon all;
    for (const ExactRow& r : classes) all.add(r);
    for (const ExactRow& i : c.inequalities) {
        if (std::all_of(i.begin(), i.end() - 1, [](const ExactNumber& x) { return x == 0; })) {
            if (i.back() != 1) return false;
            continue;
        }
        Echelon tight;
        for (std::size_t r = 0; r < g.rays.size(); ++r)
            if (dot(i, g.rays[r]) == 0) tight.add(classes[r]);
        if (tight.rows.size() + 1 != all.rows.size()) return false;
    }
    Echelon equalities;
    for (const ExactRow& e : c.equalities) equalities.add(e);
    return equalities.rows.size() == c.equalities.size();
}

}  // namespace

// The generators satisfy the constraints, the extreme rays and lines of the
// constraints' cone (computed here) are the generators, modulo lines, and
// no constraint is redundant.
bool exact_polyhedron(const Polyhedron* p) {
    ConeConstraints c = constraints_of(p);
    c.inequalities.push_back(positivity(p->Dimension + 1));
    ConeGenerators g = generators_of(p);
    if (!satisfies(g, c)) return false;
    ConeGenerators cone = double_description(p->Dimension + 1, c);
    bool p_empty = !has_point(g);
    if (p_empty || !has_point(cone)) return p_empty == !has_point(cone);
    Echelon lineality;
    for (ExactRow& l : g.lines) lineality.add(std::move(l));
    for (const ExactRow& l : cone.lines)
        if (!is_zero(lineality.reduce(l))) return false;
    std::vector<ExactRow> classes, extreme;
    for (const ExactRow& r : g.rays) classes.push_back(lineality.reduce(r));
    for (const ExactRow& r : cone.rays) extreme.push_back(lineality.reduce(r));
    if (!irredundant_constraints(p, g, classes)) return false;
    std::sort(classes.begin(), classes.end());
    std::sort(extreme.begin(), extreme.end());
    return classes == extreme;
}

namespace {

// The pieces of a union, each checked exact; none when one is not.
std::optional<std::vector<ExactSet>> exact_pieces(const Polyhedron* result) {
    std::vector<ExactSet> pieces;
    for (const Polyhedron* p = result; p; p = p->next) {
        if (!exact_polyhedron(p)) return std::nullopt;
        pieces.push_back(exact_set_of(p));
    }
    return pieces;
}

bool inside_one(const ExactSet& set, const std::vector<ExactSet>& sets) {
    return std::any_of(sets.begin(), sets.end(), [&](const ExactSet& outer) { return exact_contains(outer, set); });
}

}  // namespace

bool exact_union_of(const Polyhedron* result, const std::vector<ExactSet>& targets) {
    std::optional<std::vector<ExactSet>> pieces = exact_pieces(result);
    if (!pieces) return false;
    for (const ExactSet& piece : *pieces)
        if (!inside_one(piece, targets)) return false;
    for (const ExactSet& target : targets)
        if (!inside_one(target, *pieces)) return false;
    return true;
}

bool exact_pieces_inside(const Polyhedron* result, const std::vector<ExactSet>& inside,
                         const std::vector<ExactSet>& outside) {
    std::optional<std::vector<ExactSet>> pieces = exact_pieces(result);
    if (!pieces) return false;
    for (const ExactSet& piece : *pieces) {
        if (!inside_one(piece, inside)) return false;
        for (const ExactSet& avoided : outside)
            if (!exact_disjoint(piece, avoided)) return false;
    }
    return true;
}
