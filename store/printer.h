// Text forms of stored objects: domains in constraint notation (the notation
// they are declared in) and named matrices as parenthesised rows.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "base/polylib.h"

// Writes every polyhedron of the union to `out`, ending with a newline.
// names[k] names dimension k+1.
void print_domain_constraints(FILE* out, const Polyhedron* domain, const std::vector<std::string>& names);

void print_matrix_rows(FILE* out, const Matrix* matrix);

// One constraint row of a polyhedron of `dimension` dimensions, normalised as
// the printer writes it: "2i+3j >= 5", "i = j+1".
std::string constraint_text(const Value* row, unsigned dimension, const std::vector<std::string>& names);
