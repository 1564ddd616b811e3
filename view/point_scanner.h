// Integer points of polyhedra: lexicographic enumeration through a scanning
// matrix built once per polyhedron, and membership in a union.
#pragma once

#include <cstdint>
#include <limits>
#include <vector>

#include "store/polylib.h"

// Called once per integer point with its coordinates (elements 0 .. d-1,
// reused for the next point); returns 0 to stop the whole enumeration.
using point_callback = int (*)(const std::int64_t* coordinates, void* data);

// Enumerates the integer points of one polyhedron (its `next` is ignored) in
// lexicographic order. 1 when the enumeration ran to its end, 0 when the
// callback stopped it or the polyhedron is not closed (or its values leave the
// 32-bit range). Expects domain_lock held.
int scan_points(Polyhedron* polyhedron, std::int64_t* coordinates, point_callback callback, void* data);

// Consumes the rows of `lines`. Null when no rows result. The working matrix
// grows past `working_rows` rather than being written past its end.
// Expects domain_lock held; PolyLib may throw.
Matrix* Scanning_Matrix(Polyhedron* polyhedron, Matrix* lines, unsigned working_rows);

// Whether the integer point lies in at least one polyhedron of the union.
// Evaluated exactly: no constraint is misjudged through overflow.
int point_in_domain(const Polyhedron* domain, const std::int64_t* coordinates);

enum class ScanResult { done, stopped, not_closed, out_of_range };

// The scanning matrix of one polyhedron compiled for the loop nest: for each
// variable, the rows that bound it by the earlier variables only. Built once
// (the PolyLib work), then run as often as wanted without allocating; the
// callback may be any callable taking the coordinates and returning nonzero to
// go on, so that callers who care can have it inlined in the innermost loop.
class ScanPlan {
public:
    enum class Build { ready, nothing_to_scan, failed };

    // Expects domain_lock held (PolyLib work), as does the destructor.
    Build build(Polyhedron* polyhedron);
    int dimension() const { return dimension_; }

    template <class Callback>
    ScanResult run(std::int64_t* coordinates, Callback&& callback) const {
        if (dimension_ == 0) return ScanResult::done;
        return scan_level(0, coordinates, callback);
    }

private:
    // Row layout inside a level: equality flag, coefficient of the variable,
    // constant, then the coefficients of the earlier variables.
    static constexpr int row_head = 3;

    template <class Callback>
    ScanResult scan_level(int depth, std::int64_t* x, Callback& callback) const;

    // Messages of a variable found without a lower or upper bound, or with
    // bounds beyond 32 bits; once, from the level that finds it.
    void report_not_closed() const;
    static void report_out_of_range();

    int dimension_ = 0;
    std::vector<std::int64_t> rows_;
    std::vector<std::size_t> level_begin_;   // dimension_ + 1 offsets into rows_
    MatrixPtr matrix_;                        // printed when a variable is unbounded
};

namespace scan_detail {

inline std::int64_t clamp_to_int64(__int128 v) {
    constexpr __int128 limit = std::numeric_limits<std::int64_t>::max() / 2;
    return static_cast<std::int64_t>(v > limit ? limit : v < -limit ? -limit : v);
}
inline std::int64_t ceil_div(__int128 g, std::int64_t positive) {
    __int128 q = g / positive;
    if (g % positive != 0 && g > 0) ++q;
    return clamp_to_int64(q);
}
inline std::int64_t floor_div(__int128 g, std::int64_t positive) {
    __int128 q = g / positive;
    if (g % positive != 0 && g < 0) --q;
    return clamp_to_int64(q);
}

}  // namespace scan_detail

// Bounds are rounded inward as soon as a row gives them: for integer points
// this is the same as comparing the rational bounds and rounding at the end,
// and it keeps every quantity an exact integer.
template <class Callback>
ScanResult ScanPlan::scan_level(int depth, std::int64_t* x, Callback& callback) const {
    bool has_lower = false, has_upper = false;
    std::int64_t lower = 0, upper = 0;
    const std::int64_t* row = rows_.data() + level_begin_[depth];
    const std::int64_t* end = rows_.data() + level_begin_[depth + 1];
    const std::size_t width = row_head + static_cast<std::size_t>(depth);
    for (; row != end; row += width) {
        __int128 f = row[2];
        for (int k = 0; k < depth; ++k) f += static_cast<__int128>(row[row_head + k]) * x[k];
        const std::int64_t e = row[1];
        const __int128 g = e > 0 ? -f : f;
        const std::int64_t magnitude = e > 0 ? e : -e;
        if (row[0]) {
            if (g % magnitude != 0) return ScanResult::done;
            const std::int64_t value = scan_detail::clamp_to_int64(g / magnitude);
            if ((has_lower && value < lower) || (has_upper && value > upper)) return ScanResult::done;
            lower = upper = value;
            has_lower = has_upper = true;
            continue;
        }
        if (e > 0) {
            const std::int64_t bound = scan_detail::ceil_div(g, magnitude);
            if (!has_lower || bound > lower) lower = bound;
            has_lower = true;
        } else {
            const std::int64_t bound = scan_detail::floor_div(g, magnitude);
            if (!has_upper || bound < upper) upper = bound;
            has_upper = true;
        }
        if (has_lower && has_upper && upper < lower) return ScanResult::done;
    }
    if (!has_lower || !has_upper) {
        report_not_closed();
        return ScanResult::not_closed;
    }
    if (lower < std::numeric_limits<std::int32_t>::min() || upper > std::numeric_limits<std::int32_t>::max()) {
        report_out_of_range();
        return ScanResult::out_of_range;
    }
    if (depth == dimension_ - 1) {
        for (std::int64_t v = lower; v <= upper; ++v) {
            x[depth] = v;
            if (!callback(static_cast<const std::int64_t*>(x))) return ScanResult::stopped;
        }
        return ScanResult::done;
    }
    for (std::int64_t v = lower; v <= upper; ++v) {
        x[depth] = v;
        ScanResult inner = scan_level(depth + 1, x, callback);
        if (inner != ScanResult::done) return inner;
    }
    return ScanResult::done;
}
