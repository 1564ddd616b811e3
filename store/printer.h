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
