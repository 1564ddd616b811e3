// The dilation's factor G is the gcd of the constants of the polytope's
// rows once translated by z (an integer vertex, the rounded centre or the
// origin, whichever leaves the smallest period); t Q's loop nest is the
// polytope's own, translated and scaled: a row a.x + b >= 0 of it becomes
// a.y + t (a.z + b) / G >= 0 over y = x - z and the new parameter t.
#include "calculus/dilated_count.h"

#include <algorithm>
#include <numeric>
#include <vector>

namespace {

struct Translation {
    std::vector<mpz_class> z;
    mpz_class factor;    // G
    mpz_class period;    // of t -> #(t Q)
};

// The rows of the polytope as PolyLib holds them (positivity row left out).
struct Rows {
    std::vector<std::vector<mpz_class>> coefficients;
    std::vector<mpz_class> constants;
};

Rows rows_of(const Polyhedron* p) {
    Rows rows;
    unsigned n = p->Dimension;
    for (unsigned r = 0; r < p->NbConstraints; ++r) {
        const Value* row = p->Constraint[r];
        std::vector<mpz_class> a(n);
        bool any = false;
        for (unsigned c = 0; c < n; ++c) {
            a[c] = static_cast<long>(value_of(row[c + 1]));
            any |= a[c] != 0;
        }
        if (!any) continue;
        rows.coefficients.push_back(std::move(a));
        rows.constants.emplace_back(static_cast<long>(value_of(row[n + 1])));
    }
    return rows;
}

mpz_class dot(const std::vector<mpz_class>& a, const std::vector<mpz_class>& z) {
    mpz_class sum = 0;
    for (std::size_t k = 0; k < a.size(); ++k) sum += a[k] * z[k];
    return sum;
}

// G and the period for the translation by z; G <= 1 when no use.
Translation translation_by(const Polyhedron* p, const Rows& rows, std::vector<mpz_class> z) {
    Translation t{std::move(z), 0, 1};
    for (std::size_t r = 0; r < rows.constants.size(); ++r)
        t.factor = gcd(t.factor, dot(rows.coefficients[r], t.z) + rows.constants[r]);
    if (t.factor <= 1) return t;
    unsigned n = p->Dimension;
    for (unsigned g = 0; g < p->NbRays; ++g) {
        const Value* ray = p->Ray[g];
        mpz_class d(static_cast<long>(value_of(ray[n + 1])));
        if (d == 0) continue;   // not bounded: no count here
        for (unsigned c = 0; c < n; ++c) {
            mpz_class numerator = mpz_class(static_cast<long>(value_of(ray[c + 1]))) - d * t.z[c];
            mpz_class denominator = d * t.factor;
            t.period = lcm(t.period, denominator / gcd(numerator, denominator));
        }
    }
    return t;
}

std::vector<std::vector<mpz_class>> candidates(const Polyhedron* p) {
    unsigned n = p->Dimension;
    std::vector<std::vector<mpz_class>> list{std::vector<mpz_class>(n, 0)};
    std::vector<mpq_class> centre(n, 0);
    unsigned vertices = 0;
    for (unsigned g = 0; g < p->NbRays; ++g) {
        const Value* ray = p->Ray[g];
        std::int64_t d = value_of(ray[n + 1]);
        if (d == 0) continue;
        ++vertices;
        bool integral = true;
        std::vector<mpz_class> v(n);
        for (unsigned c = 0; c < n; ++c) {
            std::int64_t x = value_of(ray[c + 1]);
            centre[c] += mpq_class(x, d);
            integral &= x % d == 0;
            v[c] = x / d;
        }
        if (integral && list.size() < 16) list.push_back(std::move(v));
    }
    if (vertices > 0) {
        std::vector<mpz_class> rounded(n);
        for (unsigned c = 0; c < n; ++c) {
            mpq_class x = centre[c] / vertices + mpq_class(1, 2);
            mpz_fdiv_q(rounded[c].get_mpz_t(), x.get_num_mpz_t(), x.get_den_mpz_t());
        }
        list.push_back(std::move(rounded));
    }
    return list;
}

// The family's nest: each row over (y, t), the constant moved onto t.
std::optional<LoopNest> family_nest(const LoopNest& nest, const Translation& t) {
    unsigned n = nest.variables;
    auto moved = [&](const NestRow& row, bool equality) -> std::optional<NestRow> {
        mpz_class c = row[n];
        for (unsigned k = 0; k < n; ++k) c += mpz_class(static_cast<long>(row[k])) * t.z[k];
        NestRow out(n + 2, 0);
        if (c % t.factor == 0) {
            mpz_class scaled = c / t.factor;
            if (!scaled.fits_slong_p()) return std::nullopt;
            std::copy(row.begin(), row.begin() + n, out.begin());
            out[n] = scaled.get_si();
            return out;
        }
        // An inequality may be scaled by G; an equality keeps its
        // coefficients (the nest's strides are computed from them).
        if (equality || !c.fits_slong_p() || !t.factor.fits_slong_p()) return std::nullopt;
        long g = t.factor.get_si();
        for (unsigned k = 0; k < n; ++k)
            if (__builtin_mul_overflow(row[k], g, &out[k])) return std::nullopt;
        out[n] = c.get_si();
        return out;
    };
    LoopNest family;
    family.variables = n;
    family.parameters = 1;
    family.empty = nest.empty;
    family.levels.resize(n);
    for (unsigned k = 0; k < n; ++k) {
        const NestLevel& level = nest.levels[k];
        NestLevel& to = family.levels[k];
        for (const NestRow& r : level.lower)
            if (auto m = moved(r, false)) to.lower.push_back(*m); else return std::nullopt;
        for (const NestRow& r : level.upper)
            if (auto m = moved(r, false)) to.upper.push_back(*m); else return std::nullopt;
        if (level.equality) {
            if (auto m = moved(*level.equality, true)) to.equality = *m; else return std::nullopt;
        }
        to.divisibility_checked = level.divisibility_checked;
        to.stride = level.stride;
    }
    return family;
}

// Lagrange's polynomial through (x_i, y_i), at x.
mpq_class interpolated(const std::vector<mpz_class>& xs, const std::vector<mpz_class>& ys, const mpz_class& x) {
    mpq_class sum = 0;
    for (std::size_t i = 0; i < xs.size(); ++i) {
        mpq_class term = ys[i];
        for (std::size_t j = 0; j < xs.size(); ++j)
            if (j != i) {
                mpq_class factor(x - xs[j], xs[i] - xs[j]);
                factor.canonicalize();
                term *= factor;
            }
        sum += term;
    }
    return sum;
}

}  // namespace

std::optional<mpz_class> count_by_dilation(const Polyhedron* polytope, const LoopNest& nest, std::uint64_t budget) {
    if (nest.parameters != 0 || nest.empty || polytope->Dimension != nest.variables) return std::nullopt;
    const unsigned n = nest.variables;
    if (n == 0) return std::nullopt;
    Rows rows = rows_of(polytope);
    std::optional<Translation> best;
    for (std::vector<mpz_class>& z : candidates(polytope)) {
        Translation t = translation_by(polytope, rows, std::move(z));
        if (t.factor <= 1) continue;
        if (!best || t.period < best->period || (t.period == best->period && t.factor > best->factor)) best = t;
    }
    if (!best) return std::nullopt;
    // The counts at t = first, first + period, ..., one more than the degree
    // needs, all below G (else counting the polytope itself is no dearer).
    mpz_class first = (best->factor - 1) % best->period + 1;
    mpz_class last = first + (n + 1) * best->period;
    if (last >= best->factor || !last.fits_slong_p()) return std::nullopt;
    std::optional<LoopNest> family = family_nest(nest, *best);
    if (!family) return std::nullopt;
    NestRunner runner(*family);
    std::vector<mpz_class> ts, counts;
    for (mpz_class t = first; t <= last; t += best->period) {
        std::int64_t value = t.get_si();
        unsigned __int128 total = 0;
        runner.fix_parameters(&value);
        if (runner.count(total, &budget) != NestRunner::CountStatus::done) return std::nullopt;
        mpz_class count = static_cast<unsigned long>(total >> 64);
        count = (count << 64) + static_cast<unsigned long>(total & ~std::uint64_t{0});
        ts.push_back(t);
        counts.push_back(count);
    }
    // The degree's worth of counts gives the polynomial; the last checks it.
    mpz_class check_t = ts.back(), check_count = counts.back();
    ts.pop_back();
    counts.pop_back();
    if (interpolated(ts, counts, check_t) != mpq_class(check_count)) return std::nullopt;
    mpq_class count = interpolated(ts, counts, best->factor);
    if (count.get_den() != 1 || count < 0) return std::nullopt;
    return count.get_num();
}
