// Emptiness, inclusion and equality of stored domains as sets of integer
// points, each answered by one word a script can test.
#pragma once

#include <string>

#include "store/registry.h"

enum class DomainTest { empty, subset, equal };

// Writes "> true" or "> false" to the session's output, or one refusal
// line; a search stops on Ctrl-C or after the session's analysis time limit.
// Tests that are not sure to be quick run in the analysis worker, so that
// Ctrl-C stops PolyLib's work too.
// `second` is unused by the emptiness test. Expects domain_lock held.
void print_domain_test(StoreSession& session, DomainTest test, const std::string& first, const std::string& second,
                       DomainEntry* list);

enum class IntegerEmptiness { empty, not_empty, beyond_64_bits, polylib_failed };

// Whether a stored polyhedron (its `next` ignored) holds no integer point,
// bounded or not: an unbounded one holds a point if and only if it holds
// one in the box around its vertices widened by its rays and lines, each
// taken once. Expects domain_lock held.
IntegerEmptiness integer_emptiness(const Polyhedron* polyhedron);
