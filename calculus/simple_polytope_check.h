// A quick proof that PolyLib's two descriptions of a simple polytope agree,
// without a double description of our own. Every generator is a vertex
// that satisfies every constraint, is tight on exactly as many of them as
// there are dimensions, and those are independent (so it is a simple vertex
// of the constraints' polyhedron); along each of its edges (drop one tight
// constraint) another generator lies. The edge graph of a polytope is
// connected, so the generators are all its vertices, and none of its edges
// is unbounded: the constraints describe the hull of the generators. A
// constraint tight at a simple vertex is a facet, so one tight somewhere
// is not redundant. In 128-bit arithmetic; anything else (an equality, a
// ray or a line, a vertex that is not simple, a value beyond 128 bits)
// answers "not shown", and the full check decides.
#pragma once

#include <cstdint>
#include <vector>

#include "base/polylib.h"

// Whether the polyhedron is shown to be a simple polytope whose constraints
// (each a facet) and generators describe the same set.
bool simple_polytope_shown(const Polyhedron* p);

// The same, and the polytope is the set the declared rows define (each in
// PolyLib's layout: the flag, the coefficients, the constant): every
// declared row holds on the generators and every constraint of the polytope
// is one of them (up to a positive factor).
bool simple_declaration_shown(const Polyhedron* p, const std::vector<const std::int64_t*>& declared);
