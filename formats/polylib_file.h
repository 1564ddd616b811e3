// PolyLib's matrix files, as its Matrix_Read reads them: a line with the
// numbers of rows and columns, then one line per row, '#' starting a
// comment. A domain is one constraint matrix per polyhedron of its union.
#pragma once

#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "base/polylib.h"
#include "formats/constraint_rows.h"
#include "formats/saved_store.h"

struct MatrixFileDomain {
    unsigned dimension = 0;
    std::vector<std::string> names;   // from a "# variables:" comment, else empty
    std::vector<PieceRows> pieces;    // one per constraint matrix, in the file's order
};

// One or several constraint matrices of one column count, each row an
// equality (0) or inequality (1) flag, the coefficients and the constant.
// The first problem, with its line, otherwise.
std::variant<MatrixFileDomain, TextProblem> read_polylib_matrices(std::string_view text);

// The constraint matrices of every polyhedron of `domain`, with comments
// that say what they hold and a "# variables:" line naming the dimensions.
// Expects domain_lock held.
std::string polylib_matrix_text(const std::string& name, const Polyhedron* domain, const std::vector<std::string>& names);
