// Counts as other tools read them: a union of chambers, each with its
// quasi-polynomial, as one piecewise quasi-polynomial in isl's notation,
// `[N] -> { (1 + 3/2 * N + 1/2 * N^2) : N >= 0 }`, periodic parts written
// with floor. isl reads what we write (each chamber's quasi-polynomial on
// the chamber less the chambers before it) and prints it in its own
// normal form, which is what is shown.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "calculus/chamber_counts.h"

// Nothing when isl refused the text; every value of the parameters outside
// the chambers counts 0.
std::optional<std::string> isl_count_text(const std::vector<Chamber>& chambers,
                                          const std::vector<std::string>& parameter_names);

// The quasi-polynomial as an isl expression of the parameters: on each
// class of the periods its polynomial, the class picked out by floor terms.
std::string isl_expression(const QuasiPolynomial& q, const std::vector<std::string>& parameter_names);
