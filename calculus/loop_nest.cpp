// The loop nest: PolyLib's scanning levels checked exactly and sorted by the
// last variable of each row, then run at fixed parameter values in 128-bit
// arithmetic.
#include "calculus/loop_nest.h"

#include <algorithm>
#include <limits>
#include <numeric>

#include "calculus/exact_check.h"

namespace {

constexpr unsigned working_rows = 100;
constexpr __int128 smallest_64 = std::numeric_limits<std::int64_t>::min();
constexpr __int128 largest_64 = std::numeric_limits<std::int64_t>::max();
// How many levels a watched run enters between two looks at whether to stop.
constexpr unsigned levels_between_looks = 4096;

struct FlaggedRow {
    bool equality;
    NestRow values;   // the coefficients and the constant
    bool operator==(const FlaggedRow&) const = default;
};

// PolyLib's row: the flag, the coefficients, the constant.
FlaggedRow flagged_row(const Value* row, unsigned dimension) {
    FlaggedRow r{value_zero_p(row[0]), NestRow(dimension + 1)};
    for (unsigned c = 0; c <= dimension; ++c) r.values[c] = value_of(row[c + 1]);
    return r;
}

std::vector<FlaggedRow> rows_of(const Polyhedron* p) {
    std::vector<FlaggedRow> rows;
    for (unsigned r = 0; r < p->NbConstraints; ++r) rows.push_back(flagged_row(p->Constraint[r], p->Dimension));
    return rows;
}

// The context's rows over all the dimensions (zero on the variables).
std::vector<FlaggedRow> context_rows(const Polyhedron* context, unsigned dimension) {
    std::vector<FlaggedRow> rows;
    if (!context || context->Dimension == 0) return rows;
    unsigned shift = dimension - context->Dimension;
    for (const FlaggedRow& r : rows_of(context)) {
        FlaggedRow wide{r.equality, NestRow(dimension + 1, 0)};
        std::copy(r.values.begin(), r.values.end(), wide.values.begin() + shift);
        rows.push_back(std::move(wide));
    }
    return rows;
}

// Polyhedron_Scan's levels, each row once; nothing when PolyLib threw.
std::optional<std::vector<FlaggedRow>> scanned_rows(const Polyhedron* polyhedron, const Polyhedron* context) {
    auto* source = const_cast<Polyhedron*>(polyhedron);
    auto* given_context = const_cast<Polyhedron*>(context);
    Polyhedron* levels = nullptr;
    Polyhedron* universe = nullptr;
    bool done = polylib_guarded([&] {
        Polyhedron* scanned_context = given_context;
        if (!scanned_context || scanned_context->Dimension == 0) scanned_context = universe = Universe_Polyhedron(0);
        Polyhedron* copy = Polyhedron_Copy(source);
        levels = Polyhedron_Scan(copy, scanned_context, working_rows);
        Polyhedron_Free(copy);
    });
    PolyhedronPtr owned_universe(universe);
    DomainPtr owned_levels(levels);
    if (!done) return std::nullopt;
    std::vector<FlaggedRow> rows;
    for (const Polyhedron* level = levels; level; level = level->next)
        for (FlaggedRow& r : rows_of(level))
            if (std::find(rows.begin(), rows.end(), r) == rows.end()) rows.push_back(std::move(r));
    return rows;
}

// The sign of the row at a generator (its coordinates and denominator).
int sign_at(const NestRow& row, const Value* generator) {
    __int128 sum = 0;
    bool overflow = false;
    for (std::size_t c = 0; c < row.size() && !overflow; ++c)
        overflow = __builtin_add_overflow(sum, static_cast<__int128>(row[c]) * value_of(generator[c + 1]), &sum);
    if (!overflow) return sum > 0 ? 1 : sum < 0 ? -1 : 0;
    ExactNumber exact = 0;
    for (std::size_t c = 0; c < row.size(); ++c) exact += ExactNumber(static_cast<long>(row[c])) * exact_number(generator[c + 1]);
    return sgn(exact);
}

// Whether the row holds on the whole polyhedron, from its generators (a
// stored polyhedron's, checked exact when it was stored).
bool holds_on(const FlaggedRow& row, const Polyhedron* p) {
    for (unsigned g = 0; g < p->NbRays; ++g) {
        const Value* generator = p->Ray[g];
        int sign = sign_at(row.values, generator);
        bool line = value_zero_p(generator[0]);
        if ((line || row.equality) ? sign != 0 : sign < 0) return false;
    }
    return true;
}

ExactRow exact_row(const NestRow& row) {
    ExactRow r(row.size());
    for (std::size_t c = 0; c < row.size(); ++c) r[c] = ExactNumber(static_cast<long>(row[c]));
    return r;
}

ConeConstraints cone_of(const std::vector<FlaggedRow>& rows) {
    ConeConstraints cone;
    for (const FlaggedRow& r : rows) (r.equality ? cone.equalities : cone.inequalities).push_back(exact_row(r.values));
    return cone;
}

bool holds_on(const FlaggedRow& row, const ExactSet& set) { return generators_satisfy(set.generators, cone_of({row})); }

std::vector<FlaggedRow> joined(std::vector<FlaggedRow> a, const std::vector<FlaggedRow>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The row divided by the gcd of its values, an equality's first value made
// positive: two rows that say the same thing the same way compare equal.
bool has_smallest_64(const NestRow& row) {
    return std::find(row.begin(), row.end(), std::numeric_limits<std::int64_t>::min()) != row.end();
}

FlaggedRow normalised(FlaggedRow r) {
    if (has_smallest_64(r.values)) return r;
    std::int64_t g = 0;
    for (std::int64_t v : r.values) g = std::gcd(g, v);
    if (g > 1)
        for (std::int64_t& v : r.values) v /= g;
    auto first = std::find_if(r.values.begin(), r.values.end(), [](std::int64_t v) { return v != 0; });
    if (r.equality && first != r.values.end() && *first < 0)
        for (std::int64_t& v : r.values) v = -v;
    return r;
}

NestRow negated(NestRow row) {
    for (std::int64_t& v : row) v = -v;
    return row;
}

// Rows that say nothing (0 >= 0) go; a false one empties the nest.
// Returns false when the row has variables or parameters.
bool constant_row(const FlaggedRow& r, LoopNest& nest) {
    std::size_t n = r.values.size() - 1;
    for (std::size_t c = 0; c < n; ++c)
        if (r.values[c] != 0) return false;
    std::int64_t constant = r.values[n];
    if (r.equality ? constant != 0 : constant < 0) nest.empty = true;
    return true;
}

int last_variable(const NestRow& row, unsigned variables) {
    for (int k = static_cast<int>(variables) - 1; k >= 0; --k)
        if (row[static_cast<unsigned>(k)] != 0) return k;
    return -1;
}

std::int64_t magnitude(std::int64_t v) { return v < 0 ? -v : v; }

// The inverse of a modulo m (coprime, m >= 2), in [0, m).
std::int64_t modular_inverse(std::int64_t a, std::int64_t m) {
    __int128 r0 = m, r1 = ((a % m) + m) % m, t0 = 0, t1 = 1;
    while (r1 != 0) {
        __int128 q = r0 / r1;
        std::tie(r0, r1) = std::make_pair(r1, r0 - q * r1);
        std::tie(t0, t1) = std::make_pair(t1, t0 - q * t1);
    }
    return static_cast<std::int64_t>(((t0 % m) + m) % m);
}

// Splits the level's equalities: the one with the smallest coefficient fixes
// the variable, the others become a lower and an upper row each.
void settle_equalities(NestLevel& level, unsigned k, std::vector<NestRow>& equalities) {
    if (equalities.empty()) return;
    auto fixing = std::min_element(equalities.begin(), equalities.end(), [&](const NestRow& a, const NestRow& b) {
        return magnitude(a[k]) < magnitude(b[k]);
    });
    level.equality = *fixing;
    for (auto e = equalities.begin(); e != equalities.end(); ++e) {
        if (e == fixing) continue;
        NestRow other = negated(*e);
        (e->at(k) > 0 ? level.lower : level.upper).push_back(*e);
        (other[k] > 0 ? level.lower : level.upper).push_back(std::move(other));
    }
}

// An equality whose coefficient is not +-1 asks the latest earlier variable
// whose coefficient it does not divide to step; when that one already steps
// (or is fixed), the equality's own level checks the division instead.
void add_strides(LoopNest& nest) {
    for (unsigned m = 0; m < nest.variables; ++m) {
        NestLevel& level = nest.levels[m];
        if (!level.equality) continue;
        const NestRow& e = *level.equality;
        std::int64_t a = magnitude(e[m]);
        if (a == 1) continue;
        int k = static_cast<int>(m) - 1;
        while (k >= 0 && e[static_cast<unsigned>(k)] % a == 0) --k;
        NestLevel* stepping = k >= 0 ? &nest.levels[static_cast<unsigned>(k)] : nullptr;
        if (!stepping || stepping->stride || stepping->equality) {
            level.divisibility_checked = true;
            continue;
        }
        std::int64_t c = e[static_cast<unsigned>(k)];
        std::int64_t common = std::gcd(magnitude(c), a);
        std::int64_t step = a / common;
        stepping->stride = NestStride{m, step, common, modular_inverse(c / common, step)};
    }
}

}  // namespace

NestOutcome build_loop_nest(const Polyhedron* polyhedron, const Polyhedron* context, LoopNest& nest) {
    unsigned n = polyhedron->Dimension;
    unsigned parameters = context ? context->Dimension : 0;
    nest = LoopNest{};
    nest.variables = n - parameters;
    nest.parameters = parameters;
    nest.levels.resize(nest.variables);
    if (emptyQ(polyhedron) || polyhedron->NbRays == 0) {
        nest.empty = true;
        return NestOutcome::ready;
    }
    std::optional<std::vector<FlaggedRow>> scanned = scanned_rows(polyhedron, context);
    if (!scanned) return NestOutcome::polylib_failed;
    std::vector<FlaggedRow> rows = std::move(*scanned);
    const std::vector<FlaggedRow> own = rows_of(polyhedron), around = context_rows(context, n);

    // Every row must hold on the polyhedron within the context, or points
    // would be missed; most hold on the polyhedron alone.
    std::vector<FlaggedRow> own_normalised;
    for (const FlaggedRow& r : own) own_normalised.push_back(normalised(r));
    std::optional<ExactSet> within_context;
    for (const FlaggedRow& r : rows) {
        bool own_row = std::find(own_normalised.begin(), own_normalised.end(), normalised(r)) != own_normalised.end();
        if (own_row || holds_on(r, polyhedron)) continue;
        if (!within_context) within_context = exact_set_from_constraints(n + 1, cone_of(joined(own, around)));
        if (!holds_on(r, *within_context)) return NestOutcome::wrapped;
    }
    // And the rows must imply the polyhedron's own within the context, or
    // points outside it would be visited.
    std::vector<FlaggedRow> present;
    for (const FlaggedRow& r : rows) present.push_back(normalised(r));
    std::optional<ExactSet> nest_set;
    std::vector<FlaggedRow> missing;
    for (std::size_t k = 0; k < own.size(); ++k) {
        const FlaggedRow& r = own[k];
        if (std::find(present.begin(), present.end(), own_normalised[k]) != present.end()) continue;
        if (!nest_set) nest_set = exact_set_from_constraints(n + 1, cone_of(joined(rows, around)));
        if (!holds_on(r, *nest_set)) missing.push_back(r);
    }
    rows.insert(rows.end(), missing.begin(), missing.end());

    std::vector<std::vector<NestRow>> equalities(nest.variables);
    for (const FlaggedRow& r : rows) {
        if (has_smallest_64(r.values)) return NestOutcome::wrapped;
        if (constant_row(r, nest)) continue;
        int k = last_variable(r.values, nest.variables);
        if (k < 0) {
            nest.guards.push_back(r.values);
            if (r.equality) nest.guards.push_back(negated(r.values));
            continue;
        }
        auto level = static_cast<unsigned>(k);
        if (r.equality)
            equalities[level].push_back(r.values);
        else
            (r.values[level] > 0 ? nest.levels[level].lower : nest.levels[level].upper).push_back(r.values);
    }
    if (nest.empty) return NestOutcome::ready;
    for (unsigned k = 0; k < nest.variables; ++k) {
        NestLevel& level = nest.levels[k];
        settle_equalities(level, k, equalities[k]);
        if (!level.equality && (level.lower.empty() || level.upper.empty())) return NestOutcome::unbounded;
    }
    add_strides(nest);
    return NestOutcome::ready;
}

// ---- Running the nest ----------------------------------------------------------

namespace {

__int128 floor_division(__int128 a, __int128 b) {   // b > 0
    __int128 q = a / b;
    return (a % b != 0 && a < 0) ? q - 1 : q;
}

__int128 positive_modulo(__int128 a, __int128 m) {   // m > 0
    __int128 r = a % m;
    return r < 0 ? r + m : r;
}

}  // namespace

NestRunner::NestRunner(const LoopNest& nest, CancelCheck* watch)
    : nest_(nest), levels_(nest.variables), watch_(watch), x_(nest.variables), last_(nest.variables),
      step_(nest.variables) {
    for (unsigned k = 0; k < nest.variables; ++k) {
        const NestLevel& level = nest.levels[k];
        FixedLevel& fixed = levels_[k];
        for (const NestRow& r : level.lower) fixed.lower.push_back({r[k], r.data(), 0});
        for (const NestRow& r : level.upper) fixed.upper.push_back({r[k], r.data(), 0});
        if (level.equality) fixed.equality = FixedRow{(*level.equality)[k], level.equality->data(), 0};
        if (level.stride) {
            const NestRow& e = *nest.levels[level.stride->equality_level].equality;
            fixed.stride = FixedStride{{e[k], e.data(), 0}, &*level.stride};
        }
    }
}

bool NestRunner::fix_parameters(const std::int64_t* parameters) {
    started_ = finished_ = false;
    beyond_64_bits_ = false;
    guards_hold_ = false;
    if (nest_.empty) return false;
    unsigned v = nest_.variables, n = v + nest_.parameters;
    bool overflow = false;
    auto constant_of = [&](const std::int64_t* row) {
        __int128 value = row[n];
        for (unsigned m = 0; m < nest_.parameters; ++m)
            overflow |= __builtin_add_overflow(value, static_cast<__int128>(row[v + m]) * parameters[m], &value);
        return value;
    };
    for (const NestRow& g : nest_.guards)
        if (constant_of(g.data()) < 0) return false;
    for (FixedLevel& level : levels_) {
        for (FixedRow& r : level.lower) r.constant = constant_of(r.earlier);
        for (FixedRow& r : level.upper) r.constant = constant_of(r.earlier);
        if (level.equality) level.equality->constant = constant_of(level.equality->earlier);
        if (level.stride) level.stride->rest.constant = constant_of(level.stride->rest.earlier);
    }
    beyond_64_bits_ = overflow;
    guards_hold_ = !overflow;
    return guards_hold_;
}

bool NestRunner::row_value(const FixedRow& row, unsigned k, const std::int64_t* x, __int128& value) {
    value = row.constant;
    for (unsigned j = 0; j < k; ++j)
        if (row.earlier[j] != 0 &&
            __builtin_add_overflow(value, static_cast<__int128>(row.earlier[j]) * x[j], &value)) {
            beyond_64_bits_ = true;
            return false;
        }
    return true;
}

bool NestRunner::range(unsigned k, const std::int64_t* x, std::int64_t& first, std::int64_t& last,
                       std::int64_t& step) {
    if (watch_ && ++ticks_ % levels_between_looks == 0 && !stopped_) stopped_ = watch_->analysis_cancelled();
    if (stopped_) return false;
    const FixedLevel& level = levels_[k];
    __int128 low = 0, high = 0, g = 0;
    bool has_low = false, has_high = false;
    for (const FixedRow& r : level.lower) {
        if (!row_value(r, k, x, g)) return false;
        __int128 bound = -floor_division(g, r.coefficient);   // ceil(-g / a)
        if (!has_low || bound > low) low = bound;
        has_low = true;
    }
    for (const FixedRow& r : level.upper) {
        if (!row_value(r, k, x, g)) return false;
        __int128 bound = floor_division(g, -static_cast<__int128>(r.coefficient));
        if (!has_high || bound < high) high = bound;
        has_high = true;
    }
    if (level.equality) {
        if (!row_value(*level.equality, k, x, g)) return false;
        std::int64_t a = level.equality->coefficient;
        if (g % a != 0) return false;
        __int128 value = -g / a;
        if (!has_low || value > low) low = value;
        if (!has_high || value < high) high = value;
        has_low = has_high = true;
    }
    if (!has_low || !has_high || low > high) return false;
    __int128 stride = 1, offset = 0;
    if (level.stride) {
        const NestStride& s = *level.stride->stride;
        if (!row_value(level.stride->rest, k, x, g)) return false;
        if (g % s.common != 0) return false;
        stride = s.step;
        offset = positive_modulo(positive_modulo(-(g / s.common), stride) * s.inverse, stride);
        low += positive_modulo(offset - low, stride);
        high -= positive_modulo(high - offset, stride);
        if (low > high) return false;
    }
    if (low < smallest_64 || high > largest_64) {
        beyond_64_bits_ = true;
        return false;
    }
    first = static_cast<std::int64_t>(low);
    last = static_cast<std::int64_t>(high);
    step = static_cast<std::int64_t>(stride);
    return true;
}

bool NestRunner::next(bool descending) {
    if (!guards_hold_ || finished_ || beyond_64_bits_) return false;
    const int v = static_cast<int>(nest_.variables);
    int k = v - 1;
    bool entering = false;
    if (!started_) {
        started_ = true;
        k = 0;
        entering = true;
    }
    for (;;) {
        if (entering) {
            if (k == v) return true;
            auto level = static_cast<unsigned>(k);
            std::int64_t first, last, step;
            if (!range(level, x_.data(), first, last, step)) {
                if (beyond_64_bits_ || stopped_) break;
                entering = false;
                --k;
                continue;
            }
            x_[level] = descending ? last : first;
            last_[level] = descending ? first : last;
            step_[level] = descending ? -step : step;
            ++k;
            continue;
        }
        if (k < 0) break;
        auto level = static_cast<unsigned>(k);
        __int128 following = static_cast<__int128>(x_[level]) + step_[level];
        if (descending ? following < last_[level] : following > last_[level]) {
            --k;
            continue;
        }
        x_[level] = static_cast<std::int64_t>(following);
        ++k;
        entering = true;
    }
    finished_ = true;
    return false;
}

bool NestRunner::sample(std::int64_t* x) { return guards_hold_ && !beyond_64_bits_ && sample_from(0, x); }

bool NestRunner::sample_from(unsigned k, std::int64_t* x) {
    if (k == nest_.variables) return true;
    std::int64_t first, last, step;
    if (!range(k, x, first, last, step)) return false;
    __int128 middle = first + (static_cast<__int128>(last) - first) / step / 2 * step;
    // middle, middle + step, middle - step, middle + 2 step, ... while either side lasts
    for (__int128 distance = 0;; distance += step) {
        bool tried = false;
        for (__int128 value : {middle + distance, middle - distance}) {
            if (value < first || value > last || (distance == 0 && tried)) continue;
            tried = true;
            x[k] = static_cast<std::int64_t>(value);
            if (sample_from(k + 1, x)) return true;
            if (beyond_64_bits_ || stopped_) return false;
        }
        if (!tried) return false;
    }
}

NestRunner::CountStatus NestRunner::count(unsigned __int128& total, std::uint64_t* budget) {
    if (beyond_64_bits_) return CountStatus::beyond_64_bits;
    if (!guards_hold_) return CountStatus::done;
    over_budget_ = false;
    std::vector<std::int64_t> x(nest_.variables);
    if (count_from(0, x.data(), total, budget)) return CountStatus::done;
    if (beyond_64_bits_) return CountStatus::beyond_64_bits;
    return over_budget_ ? CountStatus::over_budget : CountStatus::stopped;
}

bool NestRunner::count_from(unsigned k, std::int64_t* x, unsigned __int128& total, std::uint64_t* budget) {
    const unsigned v = nest_.variables;
    if (budget && (*budget)-- == 0) {
        *budget = 0;
        over_budget_ = true;
        return false;
    }
    if (k == v) {
        ++total;
        return true;
    }
    std::int64_t first, last, step;
    if (!range(k, x, first, last, step)) return !beyond_64_bits_ && !stopped_;
    if (k + 1 == v) {
        total += static_cast<unsigned __int128>((static_cast<__int128>(last) - first) / step + 1);
        return true;
    }
    for (__int128 value = first; value <= last; value += step) {
        x[k] = static_cast<std::int64_t>(value);
        if (!count_from(k + 1, x, total, budget)) return false;
    }
    return true;
}
