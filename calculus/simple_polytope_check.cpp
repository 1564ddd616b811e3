#include "calculus/simple_polytope_check.h"

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <optional>
#include <vector>

namespace {

// sum a_k b_k over `n` entries, or false past 128 bits; in 64 bits while
// they hold it.
template <class A, class B>
bool dot(const A* a, const B* b, unsigned n, __int128& sum) {
    std::int64_t quick = 0;
    bool fits = true;
    for (unsigned k = 0; k < n && fits; ++k) {
        std::int64_t product;
        fits = !__builtin_mul_overflow(static_cast<std::int64_t>(a[k]), static_cast<std::int64_t>(b[k]), &product) &&
               !__builtin_add_overflow(quick, product, &quick);
    }
    if (fits) {
        sum = quick;
        return true;
    }
    sum = 0;
    for (unsigned k = 0; k < n; ++k) {
        __int128 product = static_cast<__int128>(a[k]) * static_cast<__int128>(b[k]);
        if (__builtin_add_overflow(sum, product, &sum)) return false;
    }
    return true;
}

// Whether the d x d matrix `a` (rows of d, overwritten) is invertible, by
// Bareiss's fraction-free elimination; nothing past 64 bits.
std::optional<bool> invertible_64(std::int64_t* a, unsigned d) {
    std::int64_t previous = 1;
    for (unsigned k = 0; k < d; ++k) {
        unsigned pivot = k;
        while (pivot < d && a[pivot * d + k] == 0) ++pivot;
        if (pivot == d) return false;
        if (pivot != k) std::swap_ranges(a + pivot * d, a + pivot * d + d, a + k * d);
        for (unsigned i = k + 1; i < d; ++i) {
            for (unsigned j = k + 1; j < d; ++j) {
                std::int64_t x, y;
                if (__builtin_mul_overflow(a[i * d + j], a[k * d + k], &x) ||
                    __builtin_mul_overflow(a[i * d + k], a[k * d + j], &y) || __builtin_sub_overflow(x, y, &x))
                    return std::nullopt;
                // Unit pivots, the rule in declared rows, spare the division.
                a[i * d + j] = previous == 1 ? x : previous == -1 ? -x : x / previous;
            }
            a[i * d + k] = 0;
        }
        previous = a[k * d + k];
    }
    return true;
}

// The same in 128 bits; false also past them.
bool invertible(__int128* a, unsigned d) {
    __int128 previous = 1;
    for (unsigned k = 0; k < d; ++k) {
        unsigned pivot = k;
        while (pivot < d && a[pivot * d + k] == 0) ++pivot;
        if (pivot == d) return false;
        if (pivot != k) std::swap_ranges(a + pivot * d, a + pivot * d + d, a + k * d);
        for (unsigned i = k + 1; i < d; ++i) {
            for (unsigned j = k + 1; j < d; ++j) {
                __int128 x, y;
                if (__builtin_mul_overflow(a[i * d + j], a[k * d + k], &x) ||
                    __builtin_mul_overflow(a[i * d + k], a[k * d + j], &y) || __builtin_sub_overflow(x, y, &x))
                    return false;
                a[i * d + j] = x / previous;
            }
            a[i * d + k] = 0;
        }
        previous = a[k * d + k];
    }
    return true;
}

// The row divided by the gcd of its entries (d + 1 of them).
void make_primitive(__int128* w, unsigned n) {
    __int128 g = 0;
    for (unsigned k = 0; k < n; ++k) {
        __int128 a = w[k] < 0 ? -w[k] : w[k];
        while (a) {
            __int128 t = g % a;
            g = a;
            a = t;
        }
    }
    if (g > 1)
        for (unsigned k = 0; k < n; ++k) w[k] /= g;
}

}  // namespace

bool simple_polytope_shown(const Polyhedron* p) {
    const unsigned d = p->Dimension;
    if (d == 0 || p->NbEq != 0 || p->NbRays == 0) return false;
    // The constraints: inequalities with some variable (the positivity row
    // 1 >= 0 aside).
    std::vector<const Value*> rows;
    rows.reserve(p->NbConstraints);
    for (unsigned r = 0; r < p->NbConstraints; ++r) {
        const Value* row = p->Constraint[r];
        if (value_zero_p(row[0])) return false;
        bool any = false;
        for (unsigned c = 1; c <= d; ++c) any |= value_notzero_p(row[c]);
        if (any)
            rows.push_back(row + 1);
        else if (value_of(row[d + 1]) < 0)
            return false;
    }
    const std::size_t words = (rows.size() + 63) / 64, vertices = p->NbRays;
    // Each vertex's tight set, a row of `words` words.
    std::vector<std::uint64_t> tight(vertices * words, 0), used(words, 0);
    std::vector<__int128> facets(static_cast<std::size_t>(d) * d);
    std::vector<std::int64_t> small(static_cast<std::size_t>(d) * d);
    for (unsigned g = 0; g < vertices; ++g) {
        const Value* ray = p->Ray[g];
        if (value_zero_p(ray[0]) || value_of(ray[d + 1]) <= 0) return false;   // a line or a ray
        unsigned count = 0;
        std::uint64_t* own = &tight[g * words];
        for (std::size_t r = 0; r < rows.size(); ++r) {
            __int128 v;
            if (!dot(rows[r], ray + 1, d + 1, v) || v < 0) return false;
            if (v != 0) continue;
            if (count == d) return false;   // not simple
            own[r / 64] |= std::uint64_t{1} << (r % 64);
            for (unsigned c = 0; c < d; ++c) facets[count * d + c] = value_of(rows[r][c]);
            ++count;
        }
        if (count != d) return false;
        for (std::size_t k = 0; k < small.size(); ++k) small[k] = static_cast<std::int64_t>(facets[k]);
        std::optional<bool> quick = invertible_64(small.data(), d);
        if (quick ? !*quick : !invertible(facets.data(), d)) return false;
        for (std::size_t w = 0; w < words; ++w) used[w] |= own[w];
    }
    for (std::size_t r = 0; r < rows.size(); ++r)
        if (!(used[r / 64] >> (r % 64) & 1)) return false;
    // Each edge of a vertex (its tight set less one constraint) must be an
    // edge of exactly one other vertex. Distinct tight sets make distinct
    // points (d independent constraints fix one).
    std::vector<std::uint64_t> edges;
    edges.reserve(vertices * d * words);
    for (std::size_t g = 0; g < vertices; ++g) {
        const std::uint64_t* own = &tight[g * words];
        for (std::size_t r = 0; r < rows.size(); ++r)
            if (own[r / 64] >> (r % 64) & 1) {
                std::size_t at = edges.size();
                edges.insert(edges.end(), own, own + words);
                edges[at + r / 64] &= ~(std::uint64_t{1} << (r % 64));
            }
    }
    const std::size_t count = edges.size() / words;
    std::vector<std::size_t> order(count);
    std::iota(order.begin(), order.end(), 0);
    auto less = [&](std::size_t a, std::size_t b) {
        return std::lexicographical_compare(&edges[a * words], &edges[a * words + words], &edges[b * words],
                                            &edges[b * words + words]);
    };
    auto same = [&](std::size_t a, std::size_t b) {
        return std::equal(&edges[a * words], &edges[a * words + words], &edges[b * words]);
    };
    std::sort(order.begin(), order.end(), less);
    // Sorted, the edges come in pairs: each twice, none three times.
    for (std::size_t k = 0; k < count; k += 2)
        if (k + 1 == count || !same(order[k], order[k + 1]) || (k + 2 < count && same(order[k], order[k + 2])))
            return false;
    std::vector<std::size_t> sets(vertices);
    std::iota(sets.begin(), sets.end(), 0);
    auto set_less = [&](std::size_t a, std::size_t b) {
        return std::lexicographical_compare(&tight[a * words], &tight[a * words + words], &tight[b * words],
                                            &tight[b * words + words]);
    };
    std::sort(sets.begin(), sets.end(), set_less);
    for (std::size_t k = 1; k < vertices; ++k)
        if (!set_less(sets[k - 1], sets[k])) return false;
    return true;
}

bool simple_declaration_shown(const Polyhedron* p, const std::vector<const std::int64_t*>& declared) {
    const unsigned d = p->Dimension;
    for (const std::int64_t* row : declared)
        if (row[0] == 0) return false;   // an equality: the full check
    if (!simple_polytope_shown(p)) return false;
    // The declared rows made primitive, to find the polytope's among them.
    const unsigned n = d + 1;
    std::vector<__int128> primitive(declared.size() * n);
    for (std::size_t r = 0; r < declared.size(); ++r) {
        for (unsigned k = 0; k < n; ++k) primitive[r * n + k] = declared[r][k + 1];
        make_primitive(&primitive[r * n], n);
    }
    std::vector<__int128> w(n);
    for (unsigned r = 0; r < p->NbConstraints; ++r) {
        const Value* row = p->Constraint[r];
        bool any = false;
        for (unsigned k = 0; k < n; ++k) {
            w[k] = value_of(row[k + 1]);
            any |= k < d && w[k] != 0;
        }
        if (!any) continue;
        make_primitive(w.data(), n);
        bool found = false;
        for (std::size_t q = 0; q < declared.size() && !found; ++q)
            found = std::equal(w.begin(), w.end(), &primitive[q * n]);
        if (!found) return false;
    }
    // Every declared row holds at every vertex.
    for (unsigned g = 0; g < p->NbRays; ++g) {
        const Value* ray = p->Ray[g];
        for (const std::int64_t* row : declared) {
            __int128 sum;
            if (!dot(row + 1, ray + 1, n, sum) || sum < 0) return false;
        }
    }
    return true;
}
