// Parameter values that determine a quasi-polynomial on a chamber. The
// number of integer points of a parametric polytope is, on each chamber of
// its parameters, a quasi-polynomial whose degree is at most the number of
// variables and whose period divides the denominators of the vertices: on
// each class of parameter values modulo the period it is a polynomial. A
// polynomial of total degree at most d is known everywhere once known at the
// points of a lattice simplex of side d (u0 + a1 w1 + ... + ak wk, the a
// natural numbers of sum at most d); on a chamber too thin for one, it is
// known slice by slice, and on a small bounded chamber all its values are
// taken. So counts at these values, a few per class, check a quasi-polynomial
// on the whole chamber, or give it by interpolation.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "calculus/exact_check.h"

struct ClassValues {
    std::vector<long> residues;                        // of the class, one per parameter
    std::vector<std::vector<std::int64_t>> values;     // parameter values of that class in the chamber
    // A value of the chamber beyond the determining ones, when the class
    // has more: a count there is a sample the determining ones did not fix.
    std::vector<std::vector<std::int64_t>> extra;
    bool complete = false;   // `values` are all the values of the class in the chamber
};

// The values for each class of the chamber (a polyhedron over the
// parameters, exact: the parameters' coefficients then the constant) that
// holds integer values; `periods` has one period per parameter. Nothing when
// more than `max_values` values would be needed, a value leaves 64 bits, or
// no determining set was found (an unbounded chamber thin in several
// directions). A chamber without integer values gives no class.
std::optional<std::vector<ClassValues>> determining_values(const ConeConstraints& chamber, unsigned parameters,
                                                           unsigned degree, const std::vector<long>& periods,
                                                           std::size_t max_values);

// Every value of a bounded chamber, as one class of every value (periods
// 1); nothing when it is unbounded or has more than `max_values` values.
std::optional<std::vector<ClassValues>> every_value(const ConeConstraints& chamber, unsigned parameters,
                                                    std::size_t max_values);
