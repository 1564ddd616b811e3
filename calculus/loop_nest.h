// The loop nest of a polyhedron whose last dimensions are parameters: for
// each variable in turn, the rows that bound it by the earlier variables and
// the parameters. Run at fixed parameter values it lists, counts and searches
// the integer points in lexicographic order; printed, it is the C of codegen.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "base/polylib.h"
#include "worker/contained_run.h"

// The coefficients of every dimension (the variables, then the parameters)
// and the constant: the row states row . (y, 1) >= 0, or = 0.
using NestRow = std::vector<std::int64_t>;

// An inner equality a x_m + c x + rest = 0, with c not a multiple of a, holds
// only on every `step`-th value of the level's variable x: those with
// (c / common) x = -rest / common (mod step), where common = gcd(c, a) must
// divide the rest (the earlier variables, the parameters and the constant).
struct NestStride {
    unsigned equality_level;
    std::int64_t step;       // |a| / common, at least 2
    std::int64_t common;
    std::int64_t inverse;    // of c / common modulo step
};

struct NestLevel {
    std::vector<NestRow> lower;          // the variable's coefficient is positive
    std::vector<NestRow> upper;          // negative
    std::optional<NestRow> equality;     // fixes the variable; any further one is split into lower and upper
    bool divisibility_checked = false;   // the equality's coefficient is not +-1 and no stride makes it divide
    std::optional<NestStride> stride;
};

struct LoopNest {
    unsigned variables = 0;
    unsigned parameters = 0;
    std::vector<NestRow> guards;      // rows on the parameters alone
    bool empty = false;               // no point for any value of the parameters
    std::vector<NestLevel> levels;    // one per variable
};

enum class NestOutcome {
    ready,
    unbounded,        // some variable lacks a lower or an upper bound
    wrapped,          // PolyLib's rows are not those of the polyhedron (a 64-bit value wrapped around)
    polylib_failed,   // PolyLib threw
};

// The nest of one polyhedron (its `next` is ignored) for parameter values in
// `context`, a polyhedron over the parameters (0-dimensional: no parameter).
// PolyLib's Polyhedron_Scan gives the rows; each is checked exactly to hold
// on the polyhedron within the context, and every row of the polyhedron
// not implied by them within the context is added, so that the nest visits
// exactly its integer points. Both polyhedra must be stored ones (their
// descriptions checked). Expects domain_lock held.
NestOutcome build_loop_nest(const Polyhedron* polyhedron, const Polyhedron* context, LoopNest& nest);

// The nest at fixed values of the parameters: bounds computed in 128 bits,
// and a coordinate or a bound that leaves 64 bits stops the run with
// `beyond_64_bits` set. Nothing is allocated once fixed. A watched runner
// asks now and then whether to stop, and then stops for good (`stopped`).
class NestRunner {
public:
    explicit NestRunner(const LoopNest& nest, CancelCheck* watch = nullptr);

    // False when the guards fail (no point at these values).
    bool fix_parameters(const std::int64_t* parameters);
    bool beyond_64_bits() const { return beyond_64_bits_; }
    bool stopped() const { return stopped_; }
    unsigned variables() const { return nest_.variables; }

    // The points one by one in lexicographic order (descending: from the
    // last); false at the end. Restarts after fix_parameters.
    bool next(bool descending = false);
    // The point that next() found.
    const std::int64_t* point() const { return x_.data(); }
    // A point near the middle: each variable as close to the middle of its
    // range as the inner ones allow. False when there is none.
    bool sample(std::int64_t* x);
    // The number of points, added to `total`; the innermost variable's
    // values are counted, not visited. `budget`, when given, is the number
    // of levels the count may still enter.
    enum class CountStatus { done, stopped, beyond_64_bits, over_budget };
    CountStatus count(unsigned __int128& total, std::uint64_t* budget = nullptr);

private:
    struct FixedRow {
        std::int64_t coefficient;        // of the level's variable
        const std::int64_t* earlier;     // coefficients of the variables before it
        __int128 constant;               // with the parameters' part
    };
    struct FixedStride {
        FixedRow rest;                   // the equality without its two variables
        const NestStride* stride;
    };
    struct FixedLevel {
        std::vector<FixedRow> lower, upper;
        std::optional<FixedRow> equality;
        std::optional<FixedStride> stride;
    };
    // The range of level k's variable once the earlier ones are set: its
    // first value, last value and step. False when empty (or beyond 64 bits).
    bool range(unsigned k, const std::int64_t* x, std::int64_t& first, std::int64_t& last, std::int64_t& step);
    bool row_value(const FixedRow& row, unsigned k, const std::int64_t* x, __int128& value);
    bool sample_from(unsigned k, std::int64_t* x);
    bool count_from(unsigned k, std::int64_t* x, unsigned __int128& total, std::uint64_t* budget);

    const LoopNest& nest_;
    std::vector<FixedLevel> levels_;
    bool guards_hold_ = false;
    bool beyond_64_bits_ = false;
    CancelCheck* watch_;
    unsigned ticks_ = 0;
    bool stopped_ = false;
    bool over_budget_ = false;
    // The cursor of next(): the point, and each variable's last value and step.
    std::vector<std::int64_t> x_, last_, step_;
    bool started_ = false, finished_ = false;
    int depth_ = 0;
};
