// The PolyLib work that makes a domain, a declaration's or an operation's,
// with the exact check of its result. Work that may be long or large runs in
// the analysis worker: Ctrl-C stops it at once, and the work-space budget
// bounds its memory. Small work stays here, where it costs no exchange.
#pragma once

#include <string>

#include "base/polylib.h"
#include "worker/contained_run.h"

struct StoreSession;
class ProblemWriter;
class ProblemReader;

enum class DomainWorkKind { declaration, union_of, intersection, difference, image, preimage, convex_hull, disjoint, gist };

// What the work reads: the declared constraint rows (`matrix`, a declaration),
// one operand union (`first`), or two (`first`, `second`; for a gist, the
// domain and its context), and the map of an image or preimage (`matrix`).
// Nothing is taken over.
struct DomainWork {
    DomainWorkKind kind;
    const Polyhedron* first = nullptr;
    const Polyhedron* second = nullptr;
    const Matrix* matrix = nullptr;
};

enum class DomainWorkOutcome {
    Made,            // `domain` holds the result; none when PolyLib returned none
    LibraryFailed,   // PolyLib threw (overflow, or its work space) and gave up
    WrappedAround,   // a 64-bit value wrapped around: the result is not the set asked for
    Interrupted,     // Ctrl-C while it ran in the worker, or nobody reads the answers any more
    OutOfWorkSpace,  // it ran out of the work-space budget
    WorkerFailed,    // the worker crashed or could not be made: `run` tells how
};

struct MadeDomain {
    DomainWorkOutcome outcome = DomainWorkOutcome::WorkerFailed;
    DomainPtr domain;
    ContainedResult run;   // the worker's, for WorkerFailed
};

// The work done here; what the worker runs too. Expects domain_lock held.
MadeDomain make_domain_here(const DomainWork& work);

// Whether the work is sure to be quick and small: bounded by how many
// vertices (or, dually, facets) a polyhedron of its dimension and rows can
// have, which bounds PolyLib's work.
bool quick_domain_work(const DomainWork& work);

// The work in the worker, its result rebuilt here from its rows. Expects
// domain_lock held; released while the worker computes.
MadeDomain make_domain_in_worker(StoreSession& session, const DomainWork& work);

// The work, here when it is quick, else in the worker, cancelled through the
// session's reader. Expects domain_lock held; released while the worker
// computes.
MadeDomain make_domain(StoreSession& session, const DomainWork& work);

// Worker jobs never time out: only Ctrl-C or the budget stops them.
inline constexpr std::chrono::milliseconds domain_work_time_limit = std::chrono::hours(24 * 365);

// A union of polyhedra, piece by piece, through the bytes of a worker's job
// or answer. Reading gives null for no piece; false when the bytes are short
// or PolyLib cannot allocate.
void write_union(ProblemWriter& problem, const Polyhedron* domain);
bool read_union(ProblemReader& reader, DomainPtr& domain);
