// Domains built from constraint rows in PolyLib's layout, as the notations
// read from text (isl sets, saved stores, PolyLib matrix files) give them.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "base/polylib.h"

// flag (0 equality, 1 inequality), one coefficient per dimension, constant:
// the row states coefficients · x + constant = 0 or >= 0.
using ConstraintRow = std::vector<std::int64_t>;
using PieceRows = std::vector<ConstraintRow>;

struct BuildFailure {
    enum class Kind {
        WorkSpace,   // text: "would need about N MB of work space, more than ..."
        Overflow,    // a 64-bit value wrapped around inside PolyLib
        PolyLib,     // PolyLib threw
        // Only when built for a session, in the worker:
        Interrupted,      // Ctrl-C stopped it
        OutOfWorkSpace,   // text: "needs more than the 512 MB of work space allowed"
        Worker,           // text: how the worker failed, e.g. "PolyLib stopped abnormally on the domain (...)"
    };
    Kind kind;
    std::string text;
};

// The union of one polyhedron per piece, each built by PolyLib from its rows
// in their order and checked as a declaration is. Empty pieces are left out;
// a union with no piece left is PolyLib's empty polyhedron of that dimension.
// Expects domain_lock held. With a session, a piece whose work may be long or
// large is built in the analysis worker (calculus/domain_work.h), where Ctrl-C
// stops it and the work-space budget bounds its memory.
struct StoreSession;
std::variant<DomainPtr, BuildFailure> build_domain_from_rows(unsigned dimension, const std::vector<PieceRows>& pieces,
                                                             StoreSession* session = nullptr);

// The rows of one polyhedron, as PolyLib holds them.
PieceRows rows_of(const Polyhedron* polyhedron);

// Whether the row is PolyLib's positivity constraint 1 >= 0.
bool is_positivity_row(const ConstraintRow& row);
