// C loop nests from loop nests: bounds as max and min of ceild and floord of
// affine expressions, strides from inner equalities, the point's statement
// S(...) innermost.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "calculus/loop_nest.h"

// The names the code is written with: the nest's variables, then its parameters.
struct CodeNames {
    std::vector<std::string> variables;
    std::vector<std::string> parameters;
};

// Why the names cannot be those of the code: a C keyword, a name of the
// code's own (S, min, max, floord, ceild), or two dimensions with one name.
std::optional<std::string> code_names_problem(const CodeNames& names);

// Writes the code that visits the points of the nests' pieces (disjoint,
// of one dimension; none empty) in lexicographic order: a piece's own nest,
// or the pieces' bounds side by side, level by level, for a union. The loop
// variables are declared as long, the parameters are not, and each visited
// point is S(x1, ..., xn) in variable order. `indent` blanks start every line.
void print_nest_code(std::FILE* out, const std::vector<const LoopNest*>& nests, const CodeNames& names,
                     unsigned indent = 0);
