#include "calculus/chamber_counts.h"

#include <algorithm>
#include <map>
#include <numeric>

#include "calculus/determining_values.h"
#include "calculus/dilated_count.h"
#include "calculus/exact_check.h"

namespace {

constexpr unsigned working_rows = 100;
// Parameter values whose counts a chamber's check or interpolation may take.
constexpr std::size_t max_determining_values = 1 << 16;
// Parameter values a polyhedron PolyLib cannot take is counted at, at most.
constexpr std::size_t max_tabulated_values = 4096;

// One PolyLib call at a time under its exception handler, so that no C++
// object lives across PolyLib's longjmp.
template <class Work>
bool guarded(Work work) {
    return polylib_guarded(std::move(work));
}

struct ParamPolyhedronFree {
    void operator()(Param_Polyhedron* p) const { Param_Polyhedron_Free(p); }
};
using ParamPolyhedronPtr = std::unique_ptr<Param_Polyhedron, ParamPolyhedronFree>;

mpz_class wide(unsigned __int128 v) {
    mpz_class high = static_cast<unsigned long>(v >> 64);
    return (high << 64) + static_cast<unsigned long>(v & ~std::uint64_t{0});
}

// Counts of the piece at parameter values, by its loop nest.
class NestCounter {
public:
    NestCounter(const LoopNest& nest, std::uint64_t& budget) : runner_(nest), budget_(budget) {}
    std::optional<mpz_class> at(const std::vector<std::int64_t>& p) {
        unsigned __int128 total = 0;
        runner_.fix_parameters(p.data());
        if (runner_.beyond_64_bits()) return std::nullopt;
        if (runner_.count(total, &budget_) != NestRunner::CountStatus::done) return std::nullopt;
        return wide(total);
    }

private:
    NestRunner runner_;
    std::uint64_t& budget_;
};

ConeConstraints chamber_constraints(const Polyhedron* chamber, const Polyhedron* context) {
    ConeConstraints c = constraints_of(chamber);
    if (context && context->Dimension == chamber->Dimension) {
        ConeConstraints k = constraints_of(context);
        c.equalities.insert(c.equalities.end(), k.equalities.begin(), k.equalities.end());
        c.inequalities.insert(c.inequalities.end(), k.inequalities.begin(), k.inequalities.end());
    }
    return c;
}

// The period of the count in each parameter allowed by the parametric
// vertices: a vertex coordinate (a.p + c) / d moves by an integer vector
// when p_j moves by d / gcd(d, a_j).
std::optional<std::vector<long>> vertex_periods(const Polyhedron* piece, Polyhedron* context, unsigned m) {
    Param_Polyhedron* result = nullptr;
    bool done = guarded([&] {
        Polyhedron* copy = Polyhedron_Copy(const_cast<Polyhedron*>(piece));
        result = Polyhedron2Param_Domain(copy, context, working_rows);
        Polyhedron_Free(copy);
    });
    ParamPolyhedronPtr owned(result);
    if (!done) return std::nullopt;
    std::vector<long> periods(m, 1);
    if (!result) return periods;   // no vertex: empty for every value
    for (const Param_Vertices* v = result->V; v; v = v->next) {
        const Matrix* vertex = v->Vertex;
        for (unsigned r = 0; r < vertex->NbRows; ++r) {
            std::int64_t d = value_of(vertex->p[r][m + 1]);
            if (d == 0) return std::nullopt;
            for (unsigned j = 0; j < m; ++j) {
                std::int64_t a = value_of(vertex->p[r][j]);
                long step = static_cast<long>(std::abs(d) / std::gcd(std::abs(d), std::abs(a)));
                periods[j] = std::lcm(periods[j], step);
                if (periods[j] > (1L << 20)) return std::nullopt;
            }
        }
    }
    return periods;
}

// The bases a chamber's vertices are sought among, at most.
constexpr std::size_t max_bases = 1 << 15;

// The periods of the count on one chamber, from the parametric vertices
// computed here exactly: each choice of as many rows as variables (the
// equalities among them) whose variables' part is invertible gives a point
// v(p) = -(A^-1)(B p + c); those that lie in the polyhedron at a point of the
// chamber's relative interior are its vertices there, and the denominators
// of their parameters' coefficients are the periods. Nothing when there are
// too many choices, or the chamber is empty.
std::optional<std::vector<long>> chamber_periods(const Polyhedron* piece, const ConeConstraints& chamber, unsigned m) {
    const unsigned n = piece->Dimension - m;
    std::vector<long> periods(m, 1);
    if (n == 0) return periods;
    ExactSet region = exact_set_from_constraints(m + 1, chamber);
    if (region.empty) return std::nullopt;
    // The centre of the vertices, pushed along every ray: q = Q / s.
    std::vector<mpq_class> q(m, 0);
    unsigned vertices = 0;
    for (const ExactRow& g : region.generators.rays) {
        mpz_class d = g[m].to_mpz();
        if (d == 0) continue;
        ++vertices;
        for (unsigned k = 0; k < m; ++k) {
            mpq_class x(g[k].to_mpz(), d);
            x.canonicalize();
            q[k] += x;
        }
    }
    for (unsigned k = 0; k < m; ++k) q[k] /= vertices;
    for (const ExactRow& g : region.generators.rays)
        if (g[m] == 0)
            for (unsigned k = 0; k < m; ++k) q[k] += mpq_class(g[k].to_mpz());
    mpz_class common = 1;
    for (const mpq_class& x : q) common = lcm(common, x.get_den());
    if (!common.fits_slong_p()) return std::nullopt;
    const __int128 s_ = common.get_si();
    std::vector<__int128> Q(m);
    for (unsigned k = 0; k < m; ++k) {
        mpz_class v = q[k].get_num() * (common / q[k].get_den());
        if (!v.fits_slong_p()) return std::nullopt;
        Q[k] = v.get_si();
    }
    // Rows: the variables' coefficients, then the parameters', then the constant.
    const unsigned width = n + m + 1;
    std::vector<std::vector<__int128>> rows, equalities, inequalities;
    for (unsigned r = 0; r < piece->NbConstraints; ++r) {
        const Value* v = piece->Constraint[r];
        std::vector<__int128> row(width);
        bool any = false;
        for (unsigned c = 0; c < width; ++c) row[c] = value_of(v[c + 1]);
        for (unsigned c = 0; c < n; ++c) any |= row[c] != 0;
        (value_zero_p(v[0]) ? equalities : inequalities).push_back(row);
        rows.push_back(std::move(row));
        if (!any) (value_zero_p(v[0]) ? equalities : inequalities).pop_back();
    }
    std::vector<bool> is_equality;
    for (unsigned r = 0; r < piece->NbConstraints; ++r) is_equality.push_back(value_zero_p(piece->Constraint[r][0]));
    if (equalities.size() > n) equalities.resize(n);   // dependent ones change nothing below
    const std::size_t choose = n - equalities.size();
    if (choose > inequalities.size()) return periods;
    mpz_class choices;
    mpz_bin_uiui(choices.get_mpz_t(), inequalities.size(), choose);
    if (choices > max_bases) return std::nullopt;
    struct Overflow {};
    auto mul = [](__int128 a, __int128 b) {
        __int128 r;
        if (__builtin_mul_overflow(a, b, &r)) throw Overflow{};
        return r;
    };
    auto add = [](__int128 a, __int128 b) {
        __int128 r;
        if (__builtin_add_overflow(a, b, &r)) throw Overflow{};
        return r;
    };
    auto gcd128 = [](__int128 a, __int128 b) {
        if (a < 0) a = -a;
        if (b < 0) b = -b;
        while (b) {
            __int128 t = a % b;
            a = b;
            b = t;
        }
        return a;
    };
    std::vector<std::size_t> pick(choose);
    std::iota(pick.begin(), pick.end(), 0);
    std::vector<std::vector<__int128>> system(n, std::vector<__int128>(width));
    try {
        for (;;) {
            for (std::size_t i = 0; i < equalities.size(); ++i) system[i] = equalities[i];
            for (std::size_t i = 0; i < choose; ++i) system[equalities.size() + i] = inequalities[pick[i]];
            // Fraction-free Gauss-Jordan: the left part becomes D I, the
            // right part D A^-1 (B c), D the determinant.
            __int128 previous = 1;
            bool invertible = true;
            for (unsigned k = 0; k < n && invertible; ++k) {
                unsigned p = k;
                while (p < n && system[p][k] == 0) ++p;
                if (p == n) {
                    invertible = false;
                    break;
                }
                std::swap(system[p], system[k]);
                for (unsigned i = 0; i < n; ++i) {
                    if (i == k) continue;
                    for (unsigned j = 0; j < width; ++j) {
                        if (j == k) continue;
                        system[i][j] = add(mul(system[k][k], system[i][j]), -mul(system[i][k], system[k][j])) / previous;
                    }
                    system[i][k] = 0;
                }
                previous = system[k][k];
            }
            if (invertible) {
                const __int128 D = previous;
                // x_i(q) = -(R_i . (Q, s)) / (D s) with R the right part.
                std::vector<__int128> numerator(n);   // of x_i(q), over D s
                for (unsigned i = 0; i < n; ++i) {
                    __int128 v = mul(system[i][n + m], s_);
                    for (unsigned j = 0; j < m; ++j) v = add(v, mul(system[i][n + j], Q[j]));
                    numerator[i] = -v;
                }
                bool feasible = true;
                for (std::size_t r = 0; r < rows.size() && feasible; ++r) {
                    const std::vector<__int128>& row = rows[r];
                    __int128 v = mul(mul(row[n + m], s_), D);
                    for (unsigned j = 0; j < m; ++j) v = add(v, mul(mul(row[n + j], Q[j]), D));
                    for (unsigned c = 0; c < n; ++c) v = add(v, mul(row[c], numerator[c]));
                    // The row's value at (x(q), q), times D s (s > 0).
                    int sign = (v > 0) - (v < 0);
                    if (D < 0) sign = -sign;
                    feasible = is_equality[r] ? sign == 0 : sign >= 0;
                }
                if (feasible)
                    for (unsigned i = 0; i < n; ++i)
                        for (unsigned j = 0; j < m; ++j) {
                            __int128 d = D < 0 ? -D : D;
                            __int128 den = d / gcd128(d, system[i][n + j] == 0 ? d : system[i][n + j]);
                            if (system[i][n + j] == 0) den = 1;
                            if (den > (1L << 20)) return std::nullopt;
                            periods[j] = std::lcm(periods[j], static_cast<long>(den));
                            if (periods[j] > (1L << 20)) return std::nullopt;
                        }
            }
            // The next choice of rows.
            std::size_t k = choose;
            while (k > 0 && pick[k - 1] == inequalities.size() - choose + k - 1) --k;
            if (k == 0) break;
            ++pick[k - 1];
            for (std::size_t j = k; j < choose; ++j) pick[j] = pick[j - 1] + 1;
        }
    } catch (const Overflow&) {
        return std::nullopt;
    }
    return periods;
}

// The periods of a chamber: its own vertices', else those of every vertex
// PolyLib found, and the periods PolyLib's quasi-polynomial has.
template <class AllVertices>
std::optional<std::vector<long>> periods_for(const Polyhedron* piece, const ConeConstraints& chamber, unsigned m,
                                             AllVertices&& all_vertices, const QuasiPolynomial* given) {
    std::optional<std::vector<long>> periods = chamber_periods(piece, chamber, m);
    if (!periods) periods = all_vertices();
    if (periods && given)
        for (unsigned j = 0; j < m; ++j) (*periods)[j] = std::lcm((*periods)[j], given->periods()[j]);
    return periods;
}

// The determining values of a chamber. Without its periods (too many
// bases, or periods too long), only a small bounded chamber's every value
// will do.
std::optional<std::vector<ClassValues>> values_for(const ConeConstraints& chamber, unsigned m, unsigned degree,
                                                   const std::optional<std::vector<long>>& periods) {
    if (!periods) return every_value(chamber, m, max_determining_values);
    return determining_values(chamber, m, degree, *periods, max_determining_values);
}

enum class Verdict { holds, fails, unchecked };

Verdict check_on(const std::vector<ClassValues>& classes, const QuasiPolynomial& q, NestCounter& count) {
    for (const ClassValues& c : classes)
        for (const auto* list : {&c.values, &c.extra})
            for (const std::vector<std::int64_t>& p : *list) {
                std::optional<mpz_class> n = count.at(p);
                if (!n) return Verdict::unchecked;
                if (q.at(std::vector<long>(p.begin(), p.end())) != mpq_class(*n)) return Verdict::fails;
            }
    return Verdict::holds;
}

// Every monomial of total degree at most d in m variables.
std::vector<QuasiPolynomial::Exponents> monomials(unsigned m, unsigned d) {
    std::vector<QuasiPolynomial::Exponents> list;
    QuasiPolynomial::Exponents e(m, 0);
    for (;;) {
        list.push_back(e);
        unsigned k = 0;
        for (; k < m; ++k) {
            unsigned sum = 0;
            for (unsigned x : e) sum += x;
            if (sum < d) {
                ++e[k];
                break;
            }
            e[k] = 0;
        }
        if (k == m) break;
    }
    return list;
}

// A polynomial of the monomials through the values (any one when they do not
// fix it: it agrees with the count on the whole class), or nothing when no
// polynomial of them fits.
std::optional<QuasiPolynomial::Polynomial> fitted(const std::vector<QuasiPolynomial::Exponents>& terms,
                                                  const std::vector<std::vector<std::int64_t>>& values,
                                                  const std::vector<mpz_class>& counts) {
    std::size_t columns = terms.size();
    std::vector<std::vector<mpq_class>> rows;
    for (std::size_t i = 0; i < values.size(); ++i) {
        std::vector<mpq_class> row(columns + 1);
        for (std::size_t j = 0; j < columns; ++j) {
            mpz_class v = 1;
            for (std::size_t k = 0; k < terms[j].size(); ++k)
                for (unsigned e = 0; e < terms[j][k]; ++e) v *= values[i][k];
            row[j] = v;
        }
        row[columns] = counts[i];
        rows.push_back(std::move(row));
    }
    std::vector<std::size_t> pivots;
    std::size_t rank = 0;
    for (std::size_t c = 0; c < columns && rank < rows.size(); ++c) {
        std::size_t p = rank;
        while (p < rows.size() && rows[p][c] == 0) ++p;
        if (p == rows.size()) continue;
        std::swap(rows[p], rows[rank]);
        mpq_class f = rows[rank][c];
        for (mpq_class& x : rows[rank]) x /= f;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (i == rank || rows[i][c] == 0) continue;
            mpq_class g = rows[i][c];
            for (std::size_t j = c; j <= columns; ++j) rows[i][j] -= g * rows[rank][j];
        }
        pivots.push_back(c);
        ++rank;
    }
    for (std::size_t i = rank; i < rows.size(); ++i)
        if (rows[i][columns] != 0) return std::nullopt;
    QuasiPolynomial::Polynomial polynomial;
    for (std::size_t i = 0; i < rank; ++i)
        if (rows[i][columns] != 0) polynomial[terms[pivots[i]]] = rows[i][columns];
    return polynomial;
}

// The divisors of n, in increasing order.
std::vector<long> divisors(long n) {
    std::vector<long> d;
    for (long k = 1; k <= n; ++k)
        if (n % k == 0) d.push_back(k);
    return d;
}

// The quasi-polynomial of the smallest periods (dividing the known ones)
// that fits the counts at the determining values. Any fit is right on the
// whole chamber: on each class of the known periods it agrees with the
// count where the count is determined. When the values are every value of
// the chamber (`complete`), any periods will do, and the known ones need
// not be known.
std::optional<QuasiPolynomial> simplest_fit(const std::vector<std::vector<std::int64_t>>& values,
                                            const std::vector<mpz_class>& counts, unsigned m, unsigned degree,
                                            const std::optional<std::vector<long>>& periods, bool complete) {
    std::vector<QuasiPolynomial::Exponents> terms = monomials(m, degree);
    if (values.empty()) return QuasiPolynomial::constant(m, 0);
    // A period longer than the values' range leaves one value per class,
    // which any polynomial fits: the last resort.
    std::vector<std::vector<long>> choices;
    for (unsigned j = 0; j < m; ++j) {
        std::int64_t low = values.front()[j], high = low;
        for (const auto& v : values) {
            low = std::min(low, v[j]);
            high = std::max(high, v[j]);
        }
        long wide = static_cast<long>(high - low + 1);
        std::vector<long> c;
        if (periods)
            c = divisors((*periods)[j]);
        else
            for (long k = 1; k <= 24; ++k) c.push_back(k);
        if (complete) {
            while (!c.empty() && c.back() >= wide) c.pop_back();
            if (c.size() > 24) c.resize(24);
            c.push_back(wide);
        } else if (c.size() > 24) {
            c.erase(c.begin() + 23, c.end() - 1);   // the full period stays the last resort
        }
        choices.push_back(std::move(c));
    }
    std::vector<std::vector<long>> candidates;
    std::vector<std::size_t> at(m, 0);
    for (;;) {
        std::vector<long> c(m);
        for (unsigned j = 0; j < m; ++j) c[j] = choices[j][at[j]];
        candidates.push_back(std::move(c));
        unsigned j = m;
        while (j > 0 && ++at[j - 1] == choices[j - 1].size()) at[--j] = 0;
        if (j == 0) break;
    }
    auto product = [](const std::vector<long>& c) {
        long p = 1;
        for (long x : c) p *= x;
        return p;
    };
    std::stable_sort(candidates.begin(), candidates.end(),
                     [&](const auto& a, const auto& b) { return product(a) < product(b); });
    for (const std::vector<long>& candidate : candidates) {
        if (static_cast<std::size_t>(product(candidate)) > QuasiPolynomial::max_residue_vectors) break;
        std::map<std::vector<long>, std::pair<std::vector<std::vector<std::int64_t>>, std::vector<mpz_class>>> groups;
        for (std::size_t i = 0; i < values.size(); ++i) {
            std::vector<long> r(m);
            for (unsigned j = 0; j < m; ++j) r[j] = ((values[i][j] % candidate[j]) + candidate[j]) % candidate[j];
            groups[r].first.push_back(values[i]);
            groups[r].second.push_back(counts[i]);
        }
        std::map<std::vector<long>, QuasiPolynomial::Polynomial> polynomials;
        bool fits = true;
        for (const auto& [r, group] : groups) {
            std::optional<QuasiPolynomial::Polynomial> p = fitted(terms, group.first, group.second);
            if (!p) {
                fits = false;
                break;
            }
            polynomials[r] = std::move(*p);
        }
        if (fits) return QuasiPolynomial::from_classes(candidate, std::move(polynomials));
    }
    return std::nullopt;
}

std::optional<QuasiPolynomial> interpolated(const std::vector<ClassValues>& classes, unsigned m, unsigned degree,
                                            const std::optional<std::vector<long>>& known_periods, NestCounter& count) {
    bool complete = std::all_of(classes.begin(), classes.end(), [](const ClassValues& c) { return c.complete; });
    if (!complete && !known_periods) return std::nullopt;
    std::vector<std::vector<std::int64_t>> values;
    std::vector<mpz_class> counts;
    for (const ClassValues& c : classes)
        for (const std::vector<std::int64_t>& p : c.values) {
            std::optional<mpz_class> n = count.at(p);
            if (!n) return std::nullopt;
            values.push_back(p);
            counts.push_back(*n);
        }
    std::optional<QuasiPolynomial> q = simplest_fit(values, counts, m, degree, known_periods, complete);
    if (!q) return std::nullopt;
    // The values beyond the determining ones check what was assumed.
    for (const ClassValues& c : classes)
        for (const std::vector<std::int64_t>& p : c.extra) {
            std::optional<mpz_class> n = count.at(p);
            if (!n || q->at(std::vector<long>(p.begin(), p.end())) != mpq_class(*n)) return std::nullopt;
        }
    return q;
}

PolyhedronPtr copy_of(const Polyhedron* p) {
    Polyhedron* copy = nullptr;
    if (!guarded([&] { copy = Polyhedron_Copy(const_cast<Polyhedron*>(p)); })) throw CountFailure{"PolyLib failed"};
    return PolyhedronPtr(copy);
}

// A polyhedron of one parameter value.
PolyhedronPtr point_polyhedron(const std::vector<std::int64_t>& values) {
    unsigned m = static_cast<unsigned>(values.size());
    Polyhedron* point = nullptr;
    bool done = guarded([&] {
        Matrix* rows = Matrix_Alloc(m, m + 2);
        for (unsigned k = 0; k < m; ++k) {
            for (unsigned c = 0; c < m + 2; ++c) value_set_si(rows->p[k][c], 0);
            value_set_si(rows->p[k][k + 1], 1);
            value_set_si(rows->p[k][m + 1], -values[k]);
        }
        point = Constraints2Polyhedron(rows, working_rows);
        Matrix_Free(rows);
    });
    if (!done) throw CountFailure{"PolyLib failed"};
    return PolyhedronPtr(point);
}

// The piece counted at each parameter value where it has points, when those
// values are few: its generators (exact, checked when it was stored) move no
// parameter along a ray.
std::optional<std::vector<Chamber>> tabulated(const Polyhedron* piece, const Polyhedron* context, unsigned m,
                                              NestCounter& count) {
    unsigned n = piece->Dimension;
    std::vector<mpq_class> low(m), high(m);
    bool any = false;
    for (unsigned g = 0; g < piece->NbRays; ++g) {
        const Value* ray = piece->Ray[g];
        std::int64_t d = value_of(ray[n + 1]);
        for (unsigned j = 0; j < m; ++j) {
            std::int64_t x = value_of(ray[n - m + j + 1]);
            if (d == 0 || value_zero_p(ray[0])) {
                if (x != 0) return std::nullopt;
                continue;
            }
            mpq_class v(x, d);
            v.canonicalize();
            if (!any || v < low[j]) low[j] = v;
            if (!any || v > high[j]) high[j] = v;
        }
        if (d != 0) any = true;
    }
    std::vector<Chamber> chambers;
    if (!any) return chambers;
    std::vector<std::int64_t> first(m), last(m);
    std::size_t values = 1;
    for (unsigned j = 0; j < m; ++j) {
        mpz_class lo, hi;
        mpz_cdiv_q(lo.get_mpz_t(), low[j].get_num_mpz_t(), low[j].get_den_mpz_t());
        mpz_fdiv_q(hi.get_mpz_t(), high[j].get_num_mpz_t(), high[j].get_den_mpz_t());
        if (hi < lo) return chambers;
        if (!lo.fits_slong_p() || !hi.fits_slong_p()) return std::nullopt;
        first[j] = lo.get_si();
        last[j] = hi.get_si();
        mpz_class width = hi - lo + 1;
        if (width > max_tabulated_values) return std::nullopt;
        values *= width.get_ui();
        if (values > max_tabulated_values) return std::nullopt;
    }
    std::vector<std::int64_t> p = first;
    for (;;) {
        if (!context || context->Dimension == 0 || holds_values(context, p.data())) {
            std::optional<mpz_class> c = count.at(p);
            if (!c) return std::nullopt;
            if (*c != 0) chambers.push_back({point_polyhedron(p), QuasiPolynomial::constant(m, mpq_class(*c))});
        }
        unsigned j = m;
        while (j > 0 && p[j - 1] == last[j - 1]) {
            p[j - 1] = first[j - 1];
            --j;
        }
        if (j == 0) break;
        ++p[j - 1];
    }
    return chambers;
}

// The quasi-polynomial of one chamber from counts alone.
template <class AllVertices>
std::optional<QuasiPolynomial> interpolated_on(const Polyhedron* piece, const Polyhedron* chamber,
                                               const Polyhedron* context, unsigned m, unsigned degree,
                                               AllVertices&& all_vertices, NestCounter& count) {
    ConeConstraints constraints = chamber_constraints(chamber, context);
    std::optional<std::vector<long>> periods = periods_for(piece, constraints, m, all_vertices, nullptr);
    auto classes = values_for(constraints, m, degree, periods);
    if (!classes) return std::nullopt;
    return interpolated(*classes, m, degree, periods, count);
}

// A PolyLib call that must succeed.
template <class Work>
void guarded_or_throw(Work work) {
    if (!polylib_guarded(std::move(work))) throw CountFailure{"PolyLib failed"};
}

// Appends each non-empty polyhedron of `domain` (owned) with `count`.
void add_chambers(std::vector<Chamber>& chambers, Polyhedron* domain, const QuasiPolynomial& count) {
    DomainPtr pieces(domain);
    for (Polyhedron* p = pieces.get(); p; p = p->next) {
        bool empty = false;
        Polyhedron* copy = nullptr;
        guarded_or_throw([&] {
            empty = emptyQ(p);
            if (!empty) copy = Polyhedron_Copy(p);
        });
        if (!empty) chambers.push_back({PolyhedronPtr(copy), count});
    }
}

// The union of the chambers' domains.
DomainPtr chamber_union(const std::vector<Chamber>& chambers, unsigned parameters) {
    Polyhedron* all = nullptr;
    guarded_or_throw([&] { all = Empty_Polyhedron(parameters); });
    DomainPtr owned(all);
    for (const Chamber& c : chambers) {
        Polyhedron* bigger = nullptr;
        guarded_or_throw([&] { bigger = DomainUnion(owned.get(), c.domain.get(), 100); });
        owned.reset(bigger);
    }
    return owned;
}

Polyhedron* guarded_intersection(const Polyhedron* a, const Polyhedron* b) {
    Polyhedron* result = nullptr;
    guarded_or_throw([&] { result = DomainIntersection(const_cast<Polyhedron*>(a), const_cast<Polyhedron*>(b), 100); });
    return result;
}

Polyhedron* guarded_difference(const Polyhedron* a, const Polyhedron* b) {
    Polyhedron* result = nullptr;
    guarded_or_throw([&] { result = DomainDifference(const_cast<Polyhedron*>(a), const_cast<Polyhedron*>(b), 100); });
    return result;
}

// Adds one piece's chambers to those of the pieces before it: where both
// count, the sum; where only one does, its own count.
std::vector<Chamber> refine_chambers(const std::vector<Chamber>& chambers, const std::vector<Chamber>& piece,
                                     unsigned parameters) {
    std::vector<Chamber> refined;
    DomainPtr piece_cover = chamber_union(piece, parameters);
    DomainPtr old_cover = chamber_union(chambers, parameters);
    for (const Chamber& c : chambers) {
        for (const Chamber& e : piece) {
            std::optional<QuasiPolynomial> sum = QuasiPolynomial::sum(c.count, e.count);
            if (!sum) throw CountFailure{"the sum of two quasi-polynomials has too many periods"};
            add_chambers(refined, guarded_intersection(c.domain.get(), e.domain.get()), *sum);
        }
        add_chambers(refined, guarded_difference(c.domain.get(), piece_cover.get()), c.count);
    }
    for (const Chamber& e : piece) add_chambers(refined, guarded_difference(e.domain.get(), old_cover.get()), e.count);
    return refined;
}

// The single parameter value of a chamber that holds only one, or nothing.
std::optional<std::vector<long>> single_value(const Polyhedron* chamber) {
    unsigned dimension = chamber->Dimension;
    if (dimension == 0 || chamber->NbEq != dimension || chamber->NbRays != 1) return std::nullopt;
    const Value* ray = chamber->Ray[0];
    std::int64_t denominator = value_of(ray[dimension + 1]);
    if (denominator == 0) return std::nullopt;
    std::vector<long> point(dimension);
    for (unsigned k = 0; k < dimension; ++k) {
        std::int64_t coordinate = value_of(ray[k + 1]);
        if (coordinate % denominator) return std::vector<long>{};   // no integer value
        point[k] = coordinate / denominator;
    }
    return point;
}

// Chambers as they read best: one that holds a single parameter value gives
// the count there (a polynomial fitted through one point says no more), one
// without an integer value goes, and so does one that the others cover
// (where chambers overlap their counts agree).
std::vector<Chamber> simplified_chambers(std::vector<Chamber> chambers, unsigned parameters) {
    std::vector<Chamber> kept;
    for (Chamber& c : chambers) {
        std::optional<std::vector<long>> point = single_value(c.domain.get());
        if (point && point->empty()) continue;
        if (point) c.count = QuasiPolynomial::constant(parameters, c.count.at(*point));
        kept.push_back(std::move(c));
    }
    for (std::size_t k = kept.size(); k-- > 0;) {
        DomainPtr cover;
        {
            Polyhedron* all = nullptr;
            guarded_or_throw([&] { all = Empty_Polyhedron(parameters); });
            cover.reset(all);
        }
        for (std::size_t o = 0; o < kept.size(); ++o) {
            if (o == k) continue;
            Polyhedron* bigger = nullptr;
            guarded_or_throw([&] { bigger = DomainUnion(cover.get(), kept[o].domain.get(), 100); });
            cover.reset(bigger);
        }
        DomainPtr rest(guarded_difference(kept[k].domain.get(), cover.get()));
        bool covered = true;
        for (Polyhedron* p = rest.get(); p && covered; p = p->next) guarded_or_throw([&] { covered = emptyQ(p); });
        if (covered && kept.size() > 1) kept.erase(kept.begin() + static_cast<std::ptrdiff_t>(k));
    }
    return kept;
}

}  // namespace

bool holds_values(const Polyhedron* p, const std::int64_t* values) {
    for (unsigned r = 0; r < p->NbConstraints; ++r) {
        const Value* row = p->Constraint[r];
        __int128 sum = value_of(row[p->Dimension + 1]);
        for (unsigned c = 0; c < p->Dimension; ++c) sum += static_cast<__int128>(value_of(row[c + 1])) * values[c];
        if (value_zero_p(row[0]) ? sum != 0 : sum < 0) return false;
    }
    return true;
}

PieceCount counted_chambers(const Polyhedron* piece, Polyhedron* context, std::uint64_t& budget,
                            const ChamberWanted& wanted, CountRoute route, const LoopNest* given_nest) {
    const unsigned m = context->Dimension;
    const unsigned variables = piece->Dimension - m;
    PieceCount result;
    LoopNest built;
    const LoopNest& nest = given_nest ? *given_nest : built;
    switch (given_nest ? NestOutcome::ready : build_loop_nest(piece, m > 0 ? context : nullptr, built)) {
    case NestOutcome::ready: break;
    case NestOutcome::unbounded: throw CountFailure{"the domain has infinitely many points"};
    case NestOutcome::wrapped: throw CountFailure{"64-bit overflow"};
    case NestOutcome::polylib_failed: throw CountFailure{"PolyLib failed"};
    }
    if (m == 0) {
        // One count: of a dilation's few small copies, or of the points.
        std::optional<mpz_class> total = count_by_dilation(piece, nest, budget);
        if (!total) {
            unsigned __int128 points = 0;
            NestRunner runner(nest);
            runner.fix_parameters(nullptr);
            if (runner.count(points) != NestRunner::CountStatus::done) throw CountFailure{"64-bit overflow"};
            total = wide(points);
        }
        result.chambers.push_back({copy_of(context), QuasiPolynomial::constant(0, mpq_class(*total))});
        return result;
    }
    NestCounter count(nest, budget);

    Enumeration* enumeration = nullptr;
    bool enumerated = route == CountRoute::polylib_enumeration && guarded([&] {
        Polyhedron* copy = Polyhedron_Copy(const_cast<Polyhedron*>(piece));
        enumeration = Polyhedron_Enumerate(copy, context, working_rows, nullptr);
        Polyhedron_Free(copy);
    });
    result.enumeration.reset(enumeration);
    // PolyLib's vertices, for the chambers whose own cannot be had: asked once, when needed.
    std::optional<std::optional<std::vector<long>>> polylib_periods;
    auto all_vertices = [&]() -> const std::optional<std::vector<long>>& {
        if (!polylib_periods) polylib_periods = vertex_periods(piece, context, m);
        return *polylib_periods;
    };

    if (enumerated) {
        result.polylib_held = true;
        for (Enumeration* en = enumeration; en; en = en->next) {
            std::optional<QuasiPolynomial> given = QuasiPolynomial::from_evalue(en->EP, m);
            for (const Polyhedron* validity = en->ValidityDomain; validity; validity = validity->next) {
                if (wanted && !wanted(validity)) continue;
                ConeConstraints constraints = chamber_constraints(validity, context);
                std::optional<std::vector<long>> chamber_periods =
                    periods_for(piece, constraints, m, all_vertices, given ? &*given : nullptr);
                std::optional<std::vector<ClassValues>> classes = values_for(constraints, m, variables, chamber_periods);
                if (!classes) throw CountFailure{"a chamber's quasi-polynomial cannot be checked"};
                Verdict verdict = given ? check_on(*classes, *given, count) : Verdict::fails;
                if (verdict == Verdict::unchecked)
                    throw CountFailure{"a chamber's quasi-polynomial cannot be checked within the work allowed"};
                std::optional<QuasiPolynomial> count_here = given;
                if (verdict == Verdict::fails) {
                    result.polylib_held = false;
                    count_here = interpolated(*classes, m, variables, chamber_periods, count);
                    if (!count_here) throw CountFailure{"a chamber's quasi-polynomial cannot be computed from counts"};
                }
                const evalue* polylib_form = verdict == Verdict::holds ? &en->EP : nullptr;
                result.chambers.push_back({copy_of(validity), std::move(*count_here), polylib_form});
            }
        }
        return result;
    }

    // PolyLib could not enumerate: its chambers, each counted and interpolated.
    Param_Polyhedron* decomposition = nullptr;
    bool decomposed = guarded([&] {
        Polyhedron* copy = Polyhedron_Copy(const_cast<Polyhedron*>(piece));
        decomposition = Polyhedron2Param_Domain(copy, context, working_rows);
        Polyhedron_Free(copy);
    });
    ParamPolyhedronPtr owned(decomposition);
    if (decomposed && decomposition) {
        std::vector<Chamber> chambers;
        bool all = true;
        for (const Param_Domain* d = decomposition->D; d && all; d = d->next) {
            for (const Polyhedron* chamber = d->Domain; chamber && all; chamber = chamber->next) {
                if (wanted && !wanted(chamber)) continue;
                std::optional<QuasiPolynomial> q =
                    interpolated_on(piece, chamber, context, m, variables, all_vertices, count);
                if (q)
                    chambers.push_back({copy_of(chamber), std::move(*q)});
                else
                    all = false;
            }
        }
        if (all) {
            result.chambers = std::move(chambers);
            return result;
        }
    } else if (decomposed) {
        return result;   // no vertex: no point for any value
    }
    if (auto values = tabulated(piece, context, m, count)) {
        result.chambers = std::move(*values);
        return result;
    }
    throw CountFailure{"PolyLib's enumeration failed, and the counts that would give its quasi-polynomials are too many"};
}

std::vector<Chamber> union_chambers(const std::vector<const Polyhedron*>& pieces, Polyhedron* context,
                                    std::uint64_t& budget, const ChamberWanted& wanted, CountRoute route) {
    const unsigned m = context->Dimension;
    std::vector<Chamber> chambers;
    if (m == 0) {
        mpq_class total = 0;
        for (const Polyhedron* piece : pieces) {
            PieceCount c = counted_chambers(piece, context, budget, wanted, route);
            for (const Chamber& chamber : c.chambers) total += chamber.count.at({});
        }
        chambers.push_back({copy_of(context), QuasiPolynomial::constant(0, total)});
        return chambers;
    }
    for (const Polyhedron* piece : pieces)
        chambers = refine_chambers(chambers, counted_chambers(piece, context, budget, wanted, route).chambers, m);
    return simplified_chambers(std::move(chambers), m);
}

ContainedResult run_count_routes(WorkerJob job, const std::function<std::string(CountRoute)>& problem,
                                 std::chrono::milliseconds limit, CancelCheck* cancel) {
    auto start = std::chrono::steady_clock::now();
    ContainedResult result = run_in_worker(job, problem(CountRoute::polylib_enumeration), limit / 6, cancel);
    bool gave_out = result.outcome == ContainedOutcome::Crashed || result.outcome == ContainedOutcome::ExitedEarly ||
                    result.outcome == ContainedOutcome::OutOfWorkSpace || result.outcome == ContainedOutcome::TimedOut;
    if (!gave_out) return result;
    auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    return run_in_worker(job, problem(CountRoute::vertex_chambers), std::max(limit - spent, std::chrono::milliseconds(1)),
                         cancel);
}
