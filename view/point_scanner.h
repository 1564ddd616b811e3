// Integer points of polyhedra: lexicographic enumeration through a scanning
// matrix built once per polyhedron, and membership in a union.
#pragma once

#include <bit>
#include <concepts>
#include <cstdint>
#include <limits>
#include <type_traits>
#include <vector>

#include "base/polylib.h"

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
// Expects domain_lock held. When PolyLib throws, what the build holds is
// released and the exception goes on to the caller's handler.
Matrix* Scanning_Matrix(Polyhedron* polyhedron, Matrix* lines, unsigned working_rows);

// Whether the integer point lies in at least one polyhedron of the union.
// Evaluated exactly: no constraint is misjudged through overflow.
int point_in_domain(const Polyhedron* domain, const std::int64_t* coordinates);

enum class ScanResult { done, stopped, not_closed, out_of_range };

// What a callback of ScanPlan::run may return instead of an int: how many
// values of the innermost variable to advance by. 1 goes to the next point; n
// skips the n - 1 points after this one (the callback vouches that it has no
// use for them); 0 stops the whole enumeration.
struct ScanAdvance {
    std::int64_t count;
};

// A callback object may also have a member
//     std::int64_t outer_skip(int depth, const std::int64_t* x, std::int64_t remaining)
// called for each value of an outer coordinate (depth below the last
// variable; x[depth] set, with `remaining` values left, itself included)
// before the points below it are visited: how many values to skip first
// (0 to remaining - 1; the callback vouches that it has no use for their
// points), so that the next value visited is x[depth] plus that many.
template <class Callback>
concept SkipsOuterValues = requires(Callback& c, int depth, const std::int64_t* x, std::int64_t remaining) {
    { c.outer_skip(depth, x, remaining) } -> std::convertible_to<std::int64_t>;
};

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
    ScanResult run(std::int64_t* coordinates, Callback&& callback) const;
    // The values x[depth] takes in the polyhedron's points whose earlier
    // coordinates are x[0 .. depth - 1]; false when there are none.
    bool bounds(int depth, const std::int64_t* x, std::int64_t& lower, std::int64_t& upper) const {
        return depth < dimension_ && bounds_from_rows(depth, x, lower, upper) && lower <= upper;
    }
    // Whether the bounds of the levels after `depth` do not involve x[depth]:
    // every value of x[depth] then has the same points below it.
    bool later_levels_ignore(int depth) const;
    // Whether the bounds of the levels after `depth` only widen as x[depth]
    // grows (lower bounds fall, upper bounds rise, equalities ignore it):
    // the points below a value of x[depth] are then all below the next ones.
    bool later_levels_widen_with(int depth) const;

private:
    // The rows of one variable, by kind. Each row states that the variable is
    // at least (lower), at most (upper) or exactly (equal) g / divisor, with
    // g = constant + sum of coefficient_k * x_k over the earlier variables: the
    // sign of the variable's coefficient is folded into the others. Row layout:
    // divisor, bits of 1.0 / divisor, constant, the earlier coefficients.
    // While the previous variable steps by one, each row's g moves by a fixed
    // amount, so its quotient and remainder are carried along (state: quotient,
    // remainder, their steps) instead of being recomputed.
    struct Level {
        std::size_t lower, upper, equal, end;   // offsets into rows_
        std::size_t state;                      // offset into state_
    };
    static constexpr int row_head = 3;
    static constexpr int state_width = 4;

    // The callback at x, and how far the innermost variable moves on: 0 to
    // stop, else at least 1 and at most `remaining`.
    template <class Callback>
    static std::int64_t advance_after(Callback& callback, std::int64_t* x, std::int64_t remaining);
    // Before the points of x[depth] = v (depth below the last level): how
    // many values to skip, 0 to remaining - 1.
    template <class Callback>
    static std::int64_t outer_skip_before(Callback& callback, int depth, const std::int64_t* x,
                                          std::int64_t remaining);
    // Whether bounds of a level leave the 32-bit range of the coordinates
    // (reported once found).
    static bool beyond_32_bits(std::int64_t lower, std::int64_t upper);
    // The points of the last variable, x[depth], from lower to upper, the
    // earlier coordinates fixed: done, or stopped by the callback.
    template <class Callback>
    static ScanResult scan_run(int depth, std::int64_t* x, Callback& callback, std::int64_t lower,
                               std::int64_t upper);

    enum class RowKind { lower, upper, equal };
    void compile_rows(const Matrix* matrix, unsigned depth, RowKind kind);

    template <class Callback>
    ScanResult scan_level(int depth, std::int64_t* x, Callback& callback, bool carried) const;
    // false when the level is empty at these coordinates.
    bool bounds_from_rows(int depth, const std::int64_t* x, std::int64_t& lower, std::int64_t& upper) const;
    bool bounds_from_state(int depth, std::int64_t& lower, std::int64_t& upper) const;
    // Sets up the carried state of level `depth` for x[depth - 1] running from
    // `first` to `last`; false (use the rows) when g could leave +-2^52.
    bool carry_state(int depth, std::int64_t* x, std::int64_t first, std::int64_t last) const;
    void step_state(int depth) const;
    bool closed(int depth) const {
        const Level& level = levels_[depth];
        return level.end != level.equal || (level.lower != level.upper && level.upper != level.equal);
    }
    // Bounds of the last variable for consecutive values of the one before.
    struct RowBounds {
        static constexpr int capacity = 64;
        std::int64_t lower[capacity], upper[capacity];
        bool wide = false;   // some nonempty row may leave the 32-bit range
        bool any_beyond_32_bits(int count) const;
    };
    template <class Callback>
    static ScanResult scan_bounded_rows(int depth, std::int64_t* x, Callback& callback, std::int64_t first,
                                        const RowBounds& bounds, int count);
    template <class Callback>
    ScanResult scan_last_two(int depth, std::int64_t* x, Callback& callback, std::int64_t first,
                             std::int64_t last) const;

    // One row's bound carried along the outer variable (as in state_, a lower
    // row holding its ceiling and the slack below it).
    struct CarriedRow {
        std::int64_t q, rest, dq, dr, divisor;
    };
    // Of the rows of one kind of level `depth` (no equalities), the one whose
    // bound is the tightest at t (the outer variable's value minus the first
    // one carried by state_), ready to carry from t on; `until` is the last
    // value, at most `span`, up to which it stays so.
    CarriedRow tightest_row(int depth, RowKind kind, std::int64_t t, std::int64_t span, std::int64_t& until) const;
    static void carry_bounds(CarriedRow& lower_row, CarriedRow& upper_row, RowBounds& bounds, int from, int count);
    // The two rows of a piece, and how their bounds repeat.
    struct PieceRows {
        static constexpr std::int64_t longest_period = 16;
        CarriedRow lower, upper;
        int period;   // of both rows' bounds together; 0 when longer than longest_period
        std::int64_t lower_jump, upper_jump;   // what the bounds gain over one period
    };
    static PieceRows piece_rows(const CarriedRow& lower, const CarriedRow& upper);
    static void fill_bounds(PieceRows& rows, RowBounds& bounds, int from, int count);
    template <class Callback>
    ScanResult scan_last_two_by_pieces(int depth, std::int64_t* x, Callback& callback, std::int64_t first,
                                       std::int64_t last) const;

    // Messages of a variable found without a lower or upper bound, or with
    // bounds beyond 32 bits; once, from the level that finds it.
    void report_not_closed() const;
    static void report_out_of_range();

    int dimension_ = 0;
    std::vector<std::int64_t> rows_;
    std::vector<Level> levels_;
    mutable std::vector<std::int64_t> state_;
    MatrixPtr matrix_;   // printed when a variable is unbounded
};

// The callback of scan_points: a function pointer and its data. The scan's
// innermost loop copies it, so that both stay in registers across the calls
// (a callback reached through a reference must be read again after each).
struct PointerCallback {
    point_callback function;
    void* data;
    int operator()(const std::int64_t* x) const { return function(x, data); }
};

// scan_points with any callback ScanPlan::run takes (one returning
// ScanAdvance may skip points of the innermost variable).
template <class Callback>
int scan_points_by(Polyhedron* polyhedron, std::int64_t* coordinates, Callback&& callback) {
    ScanPlan plan;
    switch (plan.build(polyhedron)) {
    case ScanPlan::Build::nothing_to_scan: return 1;
    case ScanPlan::Build::failed: return 0;
    case ScanPlan::Build::ready: break;
    }
    return plan.run(coordinates, callback) == ScanResult::done ? 1 : 0;
}

#include "view/point_scanner.inl"
