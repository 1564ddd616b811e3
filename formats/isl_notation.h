// The isl notation of integer sets, `[N] -> { [i, j] : 0 <= j <= i <= N }`,
// and the calculator's own constraint notation `{ i, j | 0 <= j <= i }` read
// from a text: both become constraint rows over the tuple's dimensions
// followed by the parameters. Writing gives a stored domain back in isl
// notation.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "base/polylib.h"
#include "formats/constraint_rows.h"

struct ParsedSet {
    std::vector<std::string> names;   // the tuple's dimensions, then the parameters
    unsigned parameters = 0;
    std::vector<PieceRows> pieces;    // one per disjunct; none when the set is empty
};

struct ParseProblem {
    enum class Kind {
        Syntax,        // a typing error
        Unsupported,   // a construct no PolyLib domain holds (the message names it)
        Limit,         // values or sizes beyond what is held (64 bits, nesting, pieces)
    };
    std::size_t offset = 0;    // where in the text, in bytes
    std::string message;
    Kind kind = Kind::Syntax;
};

// The problem as one sentence: "existential variables ('exists') cannot be
// held by a PolyLib domain", "unknown name 'N'".
std::string problem_text(const ParseProblem& problem);

using ParseResult = std::variant<ParsedSet, ParseProblem>;

// An isl set: parameters, pieces joined by `or` or `;`, `and`, `not`,
// `implies`, chained comparisons, `true`, `false`, integer coefficients with
// or without `*`, tuple entries that are expressions (`[i, j = i + 1]`).
// Existential variables, divisions, remainders, relations and the like are
// refused as unsupported. A repeated name in a tuple, as in isl, is an
// expression of the earlier one.
ParseResult read_isl_set(std::string_view text);

// A domain in the calculator's constraint notation, `{ i, j | i >= 0, ... }`
// or `{ | }`, with the rows a typed declaration writes, in the same order.
ParseResult read_constraint_notation(std::string_view text);

// Whether isl reads `name` as a name: letters, digits, '_' and '\'', not
// starting with a digit, and none of isl's words.
bool is_isl_name(const std::string& name);

// The domain in isl notation, its last `parameters` dimensions written as
// parameters, one piece per polyhedron, every constraint exact. A name that
// isl would not read as one is replaced by a fresh name.
std::string isl_text(const Polyhedron* domain, const std::vector<std::string>& names, unsigned parameters);
