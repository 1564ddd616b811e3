// Counts of polytopes without parameters whose cost does not grow with
// their numbers. A polytope P that is, after a translation by an integer
// vector z, a dilation G Q of a polytope Q with small vertices (a box of
// side 10^6 is 10^6 times the unit box) has as many points as G Q, and
// t -> #(t Q) is Ehrhart's quasi-polynomial: of degree at most the number of
// variables, a polynomial on each class of t modulo the denominators of Q's
// vertices. Counts of t Q at a few small t of G's class give that
// polynomial, evaluated at G exactly; one more small count checks it.
#pragma once

#include <cstdint>
#include <gmpxx.h>
#include <optional>

#include "base/polylib.h"
#include "calculus/loop_nest.h"

// `polytope` is a stored polyhedron (its generators checked exact) without
// parameters, `nest` its loop nest. Nothing when it is no such dilation or
// the small counts would enter more than `budget` levels of the nest.
// Calls no PolyLib function.
std::optional<mpz_class> count_by_dilation(const Polyhedron* polytope, const LoopNest& nest, std::uint64_t budget);
