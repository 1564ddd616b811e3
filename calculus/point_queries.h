// Questions about the integer points of a stored domain at each value of the
// parameters of a bounded context: the points in lexicographic order, their
// number (from the Ehrhart quasi-polynomial), the lexicographic extremes and
// a sample point; and the C loop nest that scans them for any such value.
#pragma once

#include <cstdint>
#include <string>

#include "store/registry.h"

// How many points, and how many values of the parameters, a listing shows
// when the statement does not say.
inline constexpr std::uint64_t default_listing_bound = 1000;

enum class PointQuery { points, card, lexmin, lexmax, sample };

struct PointQuestion {
    PointQuery query;
    std::string domain_name;
    std::string context_name;
    std::uint64_t bound = default_listing_bound;
};

// Expects domain_lock held; released while the points are listed or searched
// (no PolyLib call then) and while the analysis worker counts.
// Writes the answer to the session's output, a refusal or a failure in one
// line; long work asks the session's reader now and then whether to stop.
void answer_point_query(StoreSession& session, const PointQuestion& question, DomainEntry* list);
void print_codegen(StoreSession& session, const std::string& domain_name, const std::string& context_name,
                   DomainEntry* list);

