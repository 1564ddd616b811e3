// The scanner's loop nest, inline so that a callback can be inlined in the
// innermost loop: included at the end of view/point_scanner.h only.
#pragma once

#include <bit>
#include <cstdint>
#include <limits>
#include <numeric>
#include <type_traits>

template <class Callback>
ScanResult ScanPlan::run(std::int64_t* coordinates, Callback&& callback) const {
    if (dimension_ == 0) return ScanResult::done;
    return scan_level(0, coordinates, callback, false);
}

template <class Callback>
std::int64_t ScanPlan::advance_after(Callback& callback, std::int64_t* x, std::int64_t remaining) {
    const std::int64_t* point = x;
    if constexpr (std::is_same_v<std::decay_t<decltype(callback(point))>, ScanAdvance>) {
        const std::int64_t n = callback(point).count;
        return n <= 0 ? 0 : n < remaining ? n : remaining;
    } else {
        return callback(point) ? 1 : 0;
    }
}

template <class Callback>
std::int64_t ScanPlan::outer_skip_before(Callback& callback, int depth, const std::int64_t* x,
                                         std::int64_t remaining) {
    if constexpr (SkipsOuterValues<Callback>) {
        const std::int64_t n = callback.outer_skip(depth, x, remaining);
        return n <= 0 ? 0 : n < remaining ? n : remaining - 1;
    } else {
        (void)callback, (void)depth, (void)x, (void)remaining;
        return 0;
    }
}

inline bool ScanPlan::beyond_32_bits(std::int64_t lower, std::int64_t upper) {
    if (lower >= std::numeric_limits<std::int32_t>::min() && upper <= std::numeric_limits<std::int32_t>::max())
        return false;
    report_out_of_range();
    return true;
}

template <class Callback>
ScanResult ScanPlan::scan_run(int depth, std::int64_t* x, Callback& callback, std::int64_t lower,
                              std::int64_t upper) {
    if constexpr (std::is_same_v<std::remove_cvref_t<Callback>, PointerCallback>) {
        PointerCallback local = callback;
        for (std::int64_t w = lower; w <= upper; ++w) {
            x[depth] = w;
            if (!local(x)) return ScanResult::stopped;
        }
        return ScanResult::done;
    }
    for (std::int64_t w = lower; w <= upper;) {
        x[depth] = w;
        const std::int64_t step = advance_after(callback, x, upper - w + 1);
        if (step == 0) return ScanResult::stopped;
        w += step;
    }
    return ScanResult::done;
}

namespace scan_detail {

inline std::int64_t clamp_to_int64(__int128 v) {
    constexpr __int128 limit = std::numeric_limits<std::int64_t>::max() / 2;
    return static_cast<std::int64_t>(v > limit ? limit : v < -limit ? -limit : v);
}

// constant + sum of coefficient_k * x_k for k < depth, exactly: in 64 bits
// unless that overflows (coefficients and coordinates are 32-bit, so only
// sums of several near-limit products do).
[[gnu::always_inline]] inline __int128 row_value(const std::int64_t* row, int depth, const std::int64_t* x) {
    std::int64_t sum = row[2];
    bool overflow = false;
    for (int k = 0; k < depth; ++k) {
        std::int64_t term;
        overflow |= __builtin_mul_overflow(row[3 + k], x[k], &term);
        overflow |= __builtin_add_overflow(sum, term, &sum);
    }
    if (__builtin_expect(!overflow, 1)) return sum;
    __int128 wide = row[2];
    for (int k = 0; k < depth; ++k) wide += static_cast<__int128>(row[3 + k]) * x[k];
    return wide;
}

// g / divisor rounded down, and whether it was exact. A bound is computed
// once per row and per value of the outer variables, so on thin sets it costs
// as much as the points themselves: the quotient is estimated with the
// reciprocal (off by at most one while |g| < 2^52) and corrected exactly,
// instead of a hardware division.
[[gnu::always_inline]] inline std::int64_t floor_quotient(__int128 g, const std::int64_t* row, bool& exact) {
    const std::int64_t divisor = row[0];
    constexpr __int128 exact_in_double = __int128{1} << 52;
    if (__builtin_expect(g > -exact_in_double && g < exact_in_double, 1)) {
        const std::int64_t n = static_cast<std::int64_t>(g);
        std::int64_t q = static_cast<std::int64_t>(static_cast<double>(n) * std::bit_cast<double>(row[1]));
        std::int64_t r = n - q * divisor;
        const std::int64_t below = r < 0, above = r >= divisor;
        q += above - below;
        r += (below - above) * divisor;
        exact = r == 0;
        return q;
    }
    __int128 q = g / divisor;
    const __int128 r = g % divisor;
    if (r < 0) --q;
    exact = r == 0;
    return clamp_to_int64(q);
}

}  // namespace scan_detail

// Bounds are rounded inward as soon as a row gives them: for integer points
// this is the same as comparing the rational bounds and rounding at the end,
// and it keeps every quantity an exact integer.
inline bool ScanPlan::bounds_from_rows(int depth, const std::int64_t* x, std::int64_t& lower,
                                       std::int64_t& upper) const {
    const Level& level = levels_[depth];
    const std::size_t width = row_head + static_cast<std::size_t>(depth);
    const std::int64_t* rows = rows_.data();
    lower = std::numeric_limits<std::int64_t>::min();
    upper = std::numeric_limits<std::int64_t>::max();
    bool exact;
    for (std::size_t r = level.lower; r != level.upper; r += width) {
        const std::int64_t* row = rows + r;
        std::int64_t q = scan_detail::floor_quotient(scan_detail::row_value(row, depth, x), row, exact);
        q += !exact;
        lower = q > lower ? q : lower;
    }
    for (std::size_t r = level.upper; r != level.equal; r += width) {
        const std::int64_t* row = rows + r;
        const std::int64_t q = scan_detail::floor_quotient(scan_detail::row_value(row, depth, x), row, exact);
        upper = q < upper ? q : upper;
    }
    for (std::size_t r = level.equal; r != level.end; r += width) {
        const std::int64_t* row = rows + r;
        const std::int64_t q = scan_detail::floor_quotient(scan_detail::row_value(row, depth, x), row, exact);
        if (!exact) return false;
        lower = q > lower ? q : lower;
        upper = q < upper ? q : upper;
    }
    return true;
}

inline bool ScanPlan::bounds_from_state(int depth, std::int64_t& lower, std::int64_t& upper) const {
    const Level& level = levels_[depth];
    const std::size_t width = row_head + static_cast<std::size_t>(depth);
    const std::int64_t* state = state_.data() + level.state;
    lower = std::numeric_limits<std::int64_t>::min();
    upper = std::numeric_limits<std::int64_t>::max();
    for (std::size_t r = level.lower; r != level.upper; r += width, state += state_width) {
        const std::int64_t q = state[0] + (state[1] != 0);
        lower = q > lower ? q : lower;
    }
    for (std::size_t r = level.upper; r != level.equal; r += width, state += state_width)
        upper = state[0] < upper ? state[0] : upper;
    for (std::size_t r = level.equal; r != level.end; r += width, state += state_width) {
        if (state[1] != 0) return false;
        lower = state[0] > lower ? state[0] : lower;
        upper = state[0] < upper ? state[0] : upper;
    }
    return true;
}

inline bool ScanPlan::carry_state(int depth, std::int64_t* x, std::int64_t first, std::int64_t last) const {
    const Level& level = levels_[depth];
    const std::size_t width = row_head + static_cast<std::size_t>(depth);
    constexpr __int128 limit = __int128{1} << 52;
    std::int64_t* state = state_.data() + level.state;
    x[depth - 1] = first;
    for (std::size_t r = level.lower; r != level.end; r += width, state += state_width) {
        const std::int64_t* row = rows_.data() + r;
        const std::int64_t divisor = row[0];
        const std::int64_t step = row[row_head + depth - 1];
        const __int128 g_first = scan_detail::row_value(row, depth, x);
        const __int128 g_last = g_first + static_cast<__int128>(step) * (last - first);
        if (g_first <= -limit || g_first >= limit || g_last <= -limit || g_last >= limit) return false;
        const std::int64_t g = static_cast<std::int64_t>(g_first);
        std::int64_t q = g / divisor, rest = g % divisor;
        if (rest < 0) --q, rest += divisor;
        std::int64_t dq = step / divisor, dr = step % divisor;
        if (dr < 0) --dq, dr += divisor;
        state[0] = q;
        state[1] = rest;
        state[2] = dq;
        state[3] = dr;
    }
    return true;
}

// A GCC attribute, which clang would warn about and ignore.
#if defined(__clang__)
#define QARNEST_NO_TREE_VECTORIZE
#else
#define QARNEST_NO_TREE_VECTORIZE [[gnu::optimize("no-tree-vectorize")]]
#endif

QARNEST_NO_TREE_VECTORIZE inline void ScanPlan::step_state(int depth) const {
    const Level& level = levels_[depth];
    const std::size_t width = row_head + static_cast<std::size_t>(depth);
    std::int64_t* state = state_.data() + level.state;
    const std::int64_t* row = rows_.data() + level.lower;
    const std::int64_t* end = rows_.data() + level.end;
    for (; row != end; row += width, state += state_width) {
        const std::int64_t rest = state[1] + state[3];
        const std::int64_t wrap = rest >= row[0];
        state[0] += state[2] + wrap;
        state[1] = rest - (-wrap & row[0]);
    }
}

// The rows of the last variable for `count` consecutive values of the one
// before it, bounds found beforehand: the loop that calls back keeps only the
// coordinates in registers, not the carried state of every row (which the
// call would otherwise make the compiler save and restore around each point).
template <class Callback>
ScanResult ScanPlan::scan_bounded_rows(int depth, std::int64_t* x, Callback& callback, std::int64_t first,
                                       const RowBounds& bounds, int count) {
    const int inner = depth + 1;
    if (__builtin_expect(bounds.wide, 0)) {
        for (int k = 0; k < count; ++k) {
            x[depth] = first + k;
            const std::int64_t lower = bounds.lower[k], upper = bounds.upper[k];
            if (lower > upper) continue;
            if (beyond_32_bits(lower, upper)) return ScanResult::out_of_range;
            if (scan_run(inner, x, callback, lower, upper) == ScanResult::stopped) return ScanResult::stopped;
        }
        return ScanResult::done;
    }
    for (int k = 0; k < count; ++k) {
        x[depth] = first + k;
        const std::int64_t lower = bounds.lower[k], upper = bounds.upper[k];
        if (lower <= upper && scan_run(inner, x, callback, lower, upper) == ScanResult::stopped)
            return ScanResult::stopped;
    }
    return ScanResult::done;
}

inline bool ScanPlan::RowBounds::any_beyond_32_bits(int count) const {
    bool beyond = false;
    for (int k = 0; k < count; ++k)
        beyond |= lower[k] <= upper[k] &&
                  (lower[k] < std::numeric_limits<std::int32_t>::min() || upper[k] > std::numeric_limits<std::int32_t>::max());
    return beyond;
}

// The last two variables with the bounds of the last carried along: the
// innermost loop nest, with no call per value of the outer variable.
template <class Callback>
ScanResult ScanPlan::scan_last_two(int depth, std::int64_t* x, Callback& callback, std::int64_t first,
                                   std::int64_t last) const {
    const int inner = depth + 1;
    if (!closed(inner)) {
        report_not_closed();
        return ScanResult::not_closed;
    }
    if (levels_[inner].equal == levels_[inner].end) return scan_last_two_by_pieces(depth, x, callback, first, last);
    RowBounds bounds;
    for (std::int64_t v = first; v <= last;) {
        const int count = last - v < RowBounds::capacity ? static_cast<int>(last - v + 1) : RowBounds::capacity;
        for (int k = 0; k < count; ++k) {
            if (!bounds_from_state(inner, bounds.lower[k], bounds.upper[k])) bounds.lower[k] = 1, bounds.upper[k] = 0;
            step_state(inner);
        }
        bounds.wide = bounds.any_beyond_32_bits(count);
        const ScanResult result = scan_bounded_rows(depth, x, callback, v, bounds, count);
        if (result != ScanResult::done) return result;
        v += count;
    }
    return ScanResult::done;
}

namespace scan_detail {

inline bool beyond_32_bits(std::int64_t v) {
    return v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max();
}

}  // namespace scan_detail

// Bounds of `count` consecutive values from one lower and one upper row,
// stepped after each, the rows' state kept in registers (no vector
// shuffles: GCC's vectoriser would move it through memory).
QARNEST_NO_TREE_VECTORIZE inline void ScanPlan::carry_bounds(CarriedRow& lower_row, CarriedRow& upper_row,
                                                             RowBounds& bounds, int from, int count) {
    CarriedRow low = lower_row, up = upper_row;
    // g grows by dq * divisor + dr: the lower row's slack (below its
    // ceiling) shrinks by dr, the upper row's remainder grows by dr, each
    // wrapping once at most. Both outcomes are computed before the test, so
    // that a step depends on the previous one through a compare and a
    // select only.
    const std::int64_t low_refill = low.divisor - low.dr, up_wrap_at = up.divisor - up.dr;
    for (int k = from; k < from + count; ++k) {
        bounds.lower[k] = low.q;
        bounds.upper[k] = up.q;
        const bool borrow = low.rest < low.dr;
        const std::int64_t low_kept = low.rest - low.dr, low_refilled = low.rest + low_refill;
        low.q += low.dq + borrow;
        low.rest = borrow ? low_refilled : low_kept;
        const bool wrap = up.rest >= up_wrap_at;
        const std::int64_t up_kept = up.rest + up.dr, up_wrapped = up.rest - up_wrap_at;
        up.q += up.dq + wrap;
        up.rest = wrap ? up_wrapped : up_kept;
    }
    lower_row = low;
    upper_row = up;
}

inline ScanPlan::PieceRows ScanPlan::piece_rows(const CarriedRow& lower, const CarriedRow& upper) {
    PieceRows rows{lower, upper, 0, 0, 0};
    if (lower.divisor > PieceRows::longest_period || upper.divisor > PieceRows::longest_period) return rows;
    const std::int64_t period = std::lcm(lower.divisor, upper.divisor);
    if (period > PieceRows::longest_period) return rows;
    rows.period = static_cast<int>(period);
    rows.lower_jump = (lower.dq * lower.divisor + lower.dr) * (period / lower.divisor);
    rows.upper_jump = (upper.dq * upper.divisor + upper.dr) * (period / upper.divisor);
    return rows;
}

// After `period` values of the outer variable both rows' g have grown by a
// multiple of their divisors: the bounds repeat, shifted by whole jumps, and
// the carried state is that of `count mod period` values on.
inline void ScanPlan::fill_bounds(PieceRows& rows, RowBounds& bounds, int from, int count) {
    const int period = rows.period;
    if (period == 0 || count <= period) {
        carry_bounds(rows.lower, rows.upper, bounds, from, count);
        return;
    }
    const int cycles = count / period, left = count % period;
    carry_bounds(rows.lower, rows.upper, bounds, from, left);
    CarriedRow lower_after = rows.lower, upper_after = rows.upper;
    carry_bounds(rows.lower, rows.upper, bounds, from + left, period - left);
    const std::int64_t lower_jump = rows.lower_jump, upper_jump = rows.upper_jump;
    for (int k = from + period; k < from + count; ++k) {
        bounds.lower[k] = bounds.lower[k - period] + lower_jump;
        bounds.upper[k] = bounds.upper[k - period] + upper_jump;
    }
    lower_after.q += cycles * lower_jump;
    upper_after.q += cycles * upper_jump;
    rows.lower = lower_after;
    rows.upper = upper_after;
}

// The outer variable's range cut into pieces on each of which one lower row
// and one upper row give the bounds: where a row's rational bound is the
// tightest, so is its rounded one, and rows are lines in the outer variable,
// so a polygon's last level has at most as many pieces as rows. Within a
// piece only two rows are carried, whatever the level's number of rows.
template <class Callback>
ScanResult ScanPlan::scan_last_two_by_pieces(int depth, std::int64_t* x, Callback& callback, std::int64_t first,
                                             std::int64_t last) const {
    const int inner = depth + 1;
    const std::int64_t span = last - first;
    RowBounds bounds;
    int filled = 0;
    bool wide = false;
    std::int64_t block_first = first;
    for (std::int64_t t = 0; t <= span;) {
        std::int64_t lower_until, upper_until;
        PieceRows rows = piece_rows(tightest_row(inner, RowKind::lower, t, span, lower_until),
                                    tightest_row(inner, RowKind::upper, t, span, upper_until));
        const std::int64_t piece_end = lower_until < upper_until ? lower_until : upper_until;
        while (t <= piece_end) {
            const int room = RowBounds::capacity - filled;
            const int count = piece_end - t < room ? static_cast<int>(piece_end - t + 1) : room;
            // Each row's bound is monotone in t: its values over these rows
            // lie between the first and the one after the last, so checking
            // both may only send the block to the exact check of every row.
            wide |= scan_detail::beyond_32_bits(rows.lower.q) || scan_detail::beyond_32_bits(rows.upper.q);
            fill_bounds(rows, bounds, filled, count);
            wide |= scan_detail::beyond_32_bits(rows.lower.q) || scan_detail::beyond_32_bits(rows.upper.q);
            filled += count;
            t += count;
            if (filled == RowBounds::capacity || t > span) {
                bounds.wide = wide;
                const ScanResult result = scan_bounded_rows(depth, x, callback, block_first, bounds, filled);
                if (result != ScanResult::done) return result;
                block_first += filled;
                filled = 0;
                wide = false;
            }
        }
    }
    return ScanResult::done;
}

// A level is unbounded exactly when it has no equality and lacks lower or
// upper rows.
template <class Callback>
ScanResult ScanPlan::scan_level(int depth, std::int64_t* x, Callback& callback, bool carried) const {
    if (!closed(depth)) {
        report_not_closed();
        return ScanResult::not_closed;
    }
    std::int64_t lower, upper;
    const bool some = carried ? bounds_from_state(depth, lower, upper) : bounds_from_rows(depth, x, lower, upper);
    if (!some || upper < lower) return ScanResult::done;
    if (beyond_32_bits(lower, upper)) return ScanResult::out_of_range;
    if (depth == dimension_ - 1) return scan_run(depth, x, callback, lower, upper);
    if constexpr (SkipsOuterValues<Callback>) {
        // Values may be skipped, so the bounds below are found from the rows.
        for (std::int64_t v = lower; v <= upper; ++v) {
            x[depth] = v;
            v += outer_skip_before(callback, depth, x, upper - v + 1);
            x[depth] = v;
            ScanResult inner = scan_level(depth + 1, x, callback, false);
            if (inner != ScanResult::done) return inner;
        }
        return ScanResult::done;
    } else {
        const bool carry = carry_state(depth + 1, x, lower, upper);
        if (carry && depth + 2 == dimension_) return scan_last_two(depth, x, callback, lower, upper);
        for (std::int64_t v = lower; v <= upper; ++v) {
            x[depth] = v;
            ScanResult inner = scan_level(depth + 1, x, callback, carry);
            if (inner != ScanResult::done) return inner;
            if (carry) step_state(depth + 1);
        }
        return ScanResult::done;
    }
}
