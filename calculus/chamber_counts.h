// The counting quasi-polynomials of one polyhedron, chamber by chamber, each
// checked before it is used. PolyLib enumerates the polyhedron; on each of its
// chambers the quasi-polynomial it gives is compared with the loop nest's
// counts at parameter values that determine a quasi-polynomial of the
// degree and period the parametric vertices allow (store/determining_values.h),
// and one more value. A chamber whose polynomial fails, or all of them when
// PolyLib fails, gets the quasi-polynomial interpolated from those counts in
// exact arithmetic; a polyhedron that exists for finitely many parameter
// values, when PolyLib cannot take it, is counted at each of them.
// Runs in the analysis worker: PolyLib may end the process.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/polylib.h"
#include "calculus/loop_nest.h"
#include "calculus/quasi_polynomial.h"
#include "worker/analysis_worker.h"
#include "worker/contained_run.h"

struct EnumerationFree {
    void operator()(Enumeration* e) const { Enumeration_Free(e); }
};
using EnumerationPtr = std::unique_ptr<Enumeration, EnumerationFree>;

// Parameter values where one quasi-polynomial counts the points.
struct Chamber {
    PolyhedronPtr domain;   // one polyhedron over the parameters
    QuasiPolynomial count;
    // PolyLib's own form of `count` when it passed the check (it belongs
    // to the PieceCount's enumeration).
    const evalue* given = nullptr;
};

struct PieceCount {
    std::vector<Chamber> chambers;
    // PolyLib's own enumeration, when it answered; `polylib_held` when each
    // of its chambers passed the check (its own printing then tells the truth).
    EnumerationPtr enumeration;
    bool polylib_held = false;
};

// Why a count could not be had, as the end of an error line ("the
// quasi-polynomial of a chamber cannot be checked within the work allowed").
struct CountFailure {
    std::string reason;
};

// How the chambers are had: PolyLib's enumeration first (each chamber
// checked), or, when that ended the process (PolyLib aborts on some
// overflows), its parametric vertices' chambers, each interpolated.
enum class CountRoute : std::int64_t { polylib_enumeration = 0, vertex_chambers = 1 };

// Runs a counting job in the analysis worker by the routes in turn: with
// PolyLib's enumeration for a sixth of the time allowed (5 s of the 30),
// and when that aborted, exited, ran out of memory or of time, by the
// vertices' chambers for the rest. `problem` gives the job's problem for a route. Expects
// domain_lock held, as run_in_worker does.
ContainedResult run_count_routes(WorkerJob job, const std::function<std::string(CountRoute)>& problem,
                                 std::chrono::milliseconds limit, CancelCheck* cancel);

// Which chambers are wanted: all, or those holding one of these parameter values.
using ChamberWanted = std::function<bool(const Polyhedron* chamber)>;

// The chambers of `piece` (its last `context->Dimension` dimensions are the
// parameters) within `context`. `budget` is the number of levels of the
// loop nest the counts may still enter. Throws CountFailure. Expects to run
// in the analysis worker (no lock needed there).
// `nest`, when given, is the piece's loop nest within the context (else it
// is built here).
PieceCount counted_chambers(const Polyhedron* piece, Polyhedron* context, std::uint64_t& budget,
                            const ChamberWanted& wanted = {}, CountRoute route = CountRoute::polylib_enumeration,
                            const LoopNest* nest = nullptr);

// Whether the parameter values lie in the polyhedron (its rows evaluated exactly).
bool holds_values(const Polyhedron* p, const std::int64_t* values);

// The chambers of a union of pairwise disjoint pieces:
// where several pieces count, the sum of their quasi-polynomials. A chamber
// that holds a single parameter value counts there (a constant); chambers
// that others cover go.
std::vector<Chamber> union_chambers(const std::vector<const Polyhedron*>& pieces, Polyhedron* context,
                                    std::uint64_t& budget, const ChamberWanted& wanted = {},
                                    CountRoute route = CountRoute::polylib_enumeration);
