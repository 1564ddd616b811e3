// The disjoint decomposition of a domain: PolyLib's Disjoint_Domain, checked,
// with a decomposition of our own when the library's result is wrong.
#pragma once

#include "base/polylib.h"

// Thrown by the decomposition when PolyLib throws or a value would overflow.
struct DecompositionFailure {};

// Pairwise disjoint polyhedra whose integer points are exactly those of
// `domain`: the library's result when it passes the check, otherwise the
// cells of the operand's Venn diagram (each cell lies inside one fixed set of
// the operand's polyhedra). Expects domain_lock held.
DomainPtr sound_disjoint_domain(const Polyhedron* domain);

// The check applied to the library's result: no integer point in two pieces,
// and every integer point of the domain in some piece and vice versa. It is
// conservative: pieces that touch only at non-integer points may fail it.
bool is_disjoint_decomposition(const Polyhedron* pieces, const Polyhedron* domain);

// The Venn-diagram decomposition alone, for the tests. Null for an empty union.
DomainPtr venn_decomposition(const Polyhedron* domain);
