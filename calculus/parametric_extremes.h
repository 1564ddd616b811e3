// The lexicographic minimum or maximum of a domain as a function of its
// parameters, for contexts of infinitely many values: isl's parametric
// integer programming gives a piecewise quasi-affine answer, which is
// checked against the loop nests' own extremes at the parameter values of
// boxes inside the context before anything is written.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/error_report.h"
#include "calculus/loop_nest.h"
#include "worker/work_deadline.h"

struct ExtremesRequest {
    bool maximum = false;
    bool isl_form = false;                 // isl's notation instead of one line per piece
    const Polyhedron* domain = nullptr;    // the stored union
    const Polyhedron* context = nullptr;   // over the parameters
    std::vector<std::string> names;        // the domain's variables, then the context's parameters
    unsigned parameters = 0;
    const std::vector<LoopNest>* nests = nullptr;   // of the domain's disjoint pieces, within the context
    std::string what;                      // "the parametric lexicographic maximum of 'T'"
};

// Writes the answer, or one error line and nothing else. Calls no PolyLib
// function (domain_lock need not be held).
void answer_parametric_extremes(StatementReport& report, const ExtremesRequest& request, WorkDeadline& watch);

// The check alone, on an answer in isl's notation (a piecewise multi-affine
// function of the parameters): the error line's text when it fails,
// nothing when it agrees with the loop nests.
std::optional<std::string> extremes_check_failure(const ExtremesRequest& request, const std::string& isl_answer,
                                                  WorkDeadline& watch);

// How many parameter values the check visits at most, in the box around a
// point of the context (each piece of the answer adds a few of its own).
inline constexpr unsigned extremes_check_values = 1000;
