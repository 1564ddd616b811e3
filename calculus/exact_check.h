// Exact checks of PolyLib's results in multi-precision arithmetic. PolyLib computes
// with 64-bit values and wraps around silently, so a result is kept only
// once its constraints and generators are shown to describe one set, and
// that set the one its operation defines from the operands.
#pragma once

#include <vector>

#include "calculus/exact_number.h"
#include "base/polylib.h"

// A vector of the homogeneous space (x, d): a constraint's coefficients and
// constant, or a generator's coordinates and denominator (0 for a ray).
using ExactRow = std::vector<ExactNumber>;

// The cone {y | E y = 0, I y >= 0}; a polyhedron is the x with (x, 1) in it.
struct ConeConstraints {
    std::vector<ExactRow> equalities;
    std::vector<ExactRow> inequalities;
};

// The cone lin(lines) + cone(rays); vertices are rays with d > 0.
struct ConeGenerators {
    std::vector<ExactRow> lines;
    std::vector<ExactRow> rays;
};

// A PolyLib value as an exact number.
ExactNumber exact_number(const Value& v);

// A convex set known by both descriptions, each exact.
struct ExactSet {
    ConeConstraints constraints;   // holds d >= 0
    ConeGenerators generators;
    bool empty;
};

// The rows of a PolyLib polyhedron, widened.
ConeConstraints constraints_of(const Polyhedron* p);
ConeGenerators generators_of(const Polyhedron* p);

// Double description computed here, exactly, in the space of n = dimension
// + 1 coordinates; d >= 0 is added to the constraints.
ExactSet exact_set_from_constraints(std::size_t n, ConeConstraints constraints);
ExactSet exact_set_from_generators(std::size_t n, const ConeGenerators& generators);
// A stored polyhedron, whose two descriptions were checked when it was stored.
ExactSet exact_set_of(const Polyhedron* p);

bool exact_contains(const ExactSet& outer, const ExactSet& inner);
// Whether every generator satisfies every constraint (rows of one space).
bool generators_satisfy(const ConeGenerators& generators, const ConeConstraints& constraints);
// No rational point in common.
bool exact_disjoint(const ExactSet& a, const ExactSet& b);

// Whether PolyLib's constraints and generators of `p` describe the same
// polyhedron, in exact arithmetic. Every other check relies on it.
bool exact_polyhedron(const Polyhedron* p);

// Whether the union `result` is exactly the union of `targets` (the sets its
// operation defines): every piece of it has exact descriptions, lies inside
// one target, and every non-empty target lies inside one piece. Expects
// domain_lock held.
bool exact_union_of(const Polyhedron* result, const std::vector<ExactSet>& targets);

// Whether every piece of `result` has exact descriptions, lies inside one of
// `inside` and meets none of `outside` (for a difference, whose covering of
// the operand rests on PolyLib). Expects domain_lock held.
bool exact_pieces_inside(const Polyhedron* result, const std::vector<ExactSet>& inside,
                         const std::vector<ExactSet>& outside);
