// Making a domain here or in the analysis worker: the work's bytes out, the
// result's constraint and ray rows back, so that the calculator rebuilds the
// very polyhedra the worker made (and checked) without computing them again.
#include "calculus/domain_work.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "worker/analysis_worker.h"
#include "calculus/disjoint_decomposition.h"
#include "calculus/gist.h"
#include "calculus/operations.h"
#include "store/registry.h"
#include "worker/worker_problem.h"

namespace {

// ---- The work done -----------------------------------------------------------

ConeConstraints declared_constraints(const Matrix* rows) {
    ConeConstraints declared;
    for (unsigned r = 0; r < rows->NbRows; ++r) {
        ExactRow w;
        for (unsigned c = 1; c < rows->NbColumns; ++c) w.push_back(exact_number(rows->p[r][c]));
        (value_of(rows->p[r][0]) == 0 ? declared.equalities : declared.inequalities).push_back(std::move(w));
    }
    return declared;
}

const char* binop_name(DomainWorkKind kind) {
    return kind == DomainWorkKind::union_of ? "union" : kind == DomainWorkKind::intersection ? "inter" : "diff";
}

// PolyLib's result, or LibraryFailed when it threw. What PolyLib is given is
// owned out here: its throw unwinds by longjmp, past any cleanup inside.
MadeDomain polylib_result(const DomainWork& w) {
    Polyhedron* domain = nullptr;
    auto* first = const_cast<Polyhedron*>(w.first);
    auto* second = const_cast<Polyhedron*>(w.second);
    auto* matrix = const_cast<Matrix*>(w.matrix);
    MatrixPtr declared_rows(w.kind == DomainWorkKind::declaration ? Matrix_Copy(matrix) : nullptr);
    Matrix* rows = declared_rows.get();
    bool ok = polylib_guarded([&] {
        switch (w.kind) {
        case DomainWorkKind::declaration: domain = Constraints2Polyhedron(rows, 100); break;
        case DomainWorkKind::union_of: domain = DomainUnion(first, second, 100); break;
        case DomainWorkKind::intersection: domain = DomainIntersection(first, second, 100); break;
        case DomainWorkKind::difference: domain = DomainDifference(first, second, 100); break;
        case DomainWorkKind::image: domain = DomainImage(first, matrix, 20); break;
        case DomainWorkKind::preimage: domain = DomainPreimage(first, matrix, 20); break;
        case DomainWorkKind::convex_hull: domain = DomainConvex(first, 100); break;
        case DomainWorkKind::disjoint:
        case DomainWorkKind::gist: break;
        }
    });
    MadeDomain made;
    made.outcome = ok ? DomainWorkOutcome::Made : DomainWorkOutcome::LibraryFailed;
    made.domain.reset(domain);
    return made;
}

bool exact_result(const DomainWork& w, const Polyhedron* result) {
    switch (w.kind) {
    case DomainWorkKind::declaration: return exact_declared_domain(result, declared_constraints(w.matrix));
    case DomainWorkKind::union_of:
    case DomainWorkKind::intersection:
    case DomainWorkKind::difference: return exact_binop_result(binop_name(w.kind), result, w.first, w.second);
    case DomainWorkKind::image: return exact_image_result("image", result, w.first, w.matrix);
    case DomainWorkKind::preimage: return exact_image_result("preimage", result, w.first, w.matrix);
    case DomainWorkKind::convex_hull: return exact_convex_result(result, w.first);
    case DomainWorkKind::disjoint: return exact_disjoint_result(result, w.first);
    case DomainWorkKind::gist: return true;   // checked as it is made
    }
    return false;
}

// ---- How large the work may be -------------------------------------------------

// C(n, k), saturated at `cap`.
std::uint64_t binomial_up_to(std::uint64_t n, std::uint64_t k, std::uint64_t cap) {
    if (k > n) return 0;
    k = std::min(k, n - k);
    unsigned __int128 value = 1;
    for (std::uint64_t i = 1; i <= k; ++i) {
        value = value * (n - k + i) / i;
        if (value > cap) return cap;
    }
    return static_cast<std::uint64_t>(value);
}

// The upper bound theorem: the most vertices a polytope of dimension d with
// n facets has; by duality, the most facets one with n vertices has.
std::uint64_t most_vertices(std::uint64_t d, std::uint64_t n, std::uint64_t cap) {
    if (n <= d) return n;
    std::uint64_t floor_half = d / 2, ceil_half = d - d / 2;
    std::uint64_t a = binomial_up_to(n - ceil_half, floor_half, cap);
    std::uint64_t b = ceil_half >= 1 ? binomial_up_to(n - floor_half - 1, ceil_half - 1, cap) : 0;
    return std::min(cap, a + b);
}

std::size_t rows_of(const Polyhedron* domain) {
    std::size_t rows = 0;
    for (const Polyhedron* p = domain; p; p = p->next) rows += p->NbConstraints + p->NbRays;
    return rows;
}

// A declaration's matrix holds constraint rows; a map's has a row and a
// column for each dimension of its two spaces, and one for the constant.
unsigned dimension_of(const DomainWork& w) {
    if (w.kind == DomainWorkKind::declaration) return w.matrix->NbColumns >= 2 ? w.matrix->NbColumns - 2 : 0;
    unsigned dimension = w.first ? w.first->Dimension : 0;
    if (w.matrix) dimension = std::max({dimension, w.matrix->NbRows - 1, w.matrix->NbColumns - 1});
    return dimension;
}

// Above this many rays (or constraints) PolyLib's work may take more than a
// few milliseconds: a 10-dimensional box has 1024 vertices and takes 50 ms.
constexpr std::uint64_t quick_rays = 1000;

// ---- The exchange with the worker ---------------------------------------------

void write_matrix(ProblemWriter& problem, const Matrix* m) {
    problem.number(m ? 1 : 0);
    if (!m) return;
    problem.number(m->NbRows);
    problem.number(m->NbColumns);
    for (unsigned r = 0; r < m->NbRows; ++r)
        for (unsigned c = 0; c < m->NbColumns; ++c) problem.number(value_of(m->p[r][c]));
}

bool read_matrix(ProblemReader& reader, MatrixPtr& matrix) {
    std::int64_t present = 0, rows = 0, columns = 0;
    if (!reader.number(present)) return false;
    if (!present) return true;
    if (!reader.number(rows) || !reader.number(columns) || rows < 0 || columns < 0 || rows > UINT32_MAX ||
        columns > UINT32_MAX)
        return false;
    Matrix* m = nullptr;
    if (!polylib_guarded([&] { m = Matrix_Alloc(static_cast<unsigned>(rows), static_cast<unsigned>(columns)); }) || !m)
        return false;
    matrix.reset(m);
    for (unsigned r = 0; r < m->NbRows; ++r)
        for (unsigned c = 0; c < m->NbColumns; ++c) {
            std::int64_t value = 0;
            if (!reader.number(value)) return false;
            value_set_si(m->p[r][c], value);
        }
    return true;
}

std::string problem_of(const DomainWork& w) {
    ProblemWriter problem;
    problem.number(static_cast<std::int64_t>(w.kind));
    write_union(problem, w.first);
    write_union(problem, w.second);
    write_matrix(problem, w.matrix);
    return problem.take();
}

// Runs in the worker. False when PolyLib failed (the worker then tells
// whether an allocation failed at the budget); else the outcome and the
// result's pieces on standard output.
bool domain_job(const std::string& bytes) {
    ProblemReader reader(bytes);
    std::int64_t kind = 0;
    DomainPtr first, second;
    MatrixPtr matrix;
    if (!reader.number(kind) || kind < 0 || kind > static_cast<std::int64_t>(DomainWorkKind::gist) ||
        !read_union(reader, first) || !read_union(reader, second) || !read_matrix(reader, matrix))
        return false;
    DomainWork work{static_cast<DomainWorkKind>(kind), first.get(), second.get(), matrix.get()};
    MadeDomain made = make_domain_here(work);
    if (made.outcome == DomainWorkOutcome::LibraryFailed) return false;
    if (made.outcome == DomainWorkOutcome::Made && !made.domain && errno == ENOMEM) return false;
    ProblemWriter answer;
    answer.number(static_cast<std::int64_t>(made.outcome));
    write_union(answer, made.domain.get());
    std::string text = answer.take();
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
}

MadeDomain failed(DomainWorkOutcome outcome, ContainedResult run = {}) {
    MadeDomain made;
    made.outcome = outcome;
    made.run = std::move(run);
    return made;
}

MadeDomain answer_of(ContainedResult run) {
    switch (run.outcome) {
    case ContainedOutcome::Finished: break;
    case ContainedOutcome::LibraryFailed: return failed(DomainWorkOutcome::LibraryFailed);
    case ContainedOutcome::Cancelled: return failed(DomainWorkOutcome::Interrupted);
    case ContainedOutcome::OutOfWorkSpace: return failed(DomainWorkOutcome::OutOfWorkSpace);
    case ContainedOutcome::Crashed:
    case ContainedOutcome::ExitedEarly:
    case ContainedOutcome::TimedOut:
    case ContainedOutcome::NotStarted: return failed(DomainWorkOutcome::WorkerFailed, std::move(run));
    }
    ProblemReader reader(run.output);
    std::int64_t outcome = 0;
    MadeDomain made;
    if (!reader.number(outcome) || !read_union(reader, made.domain) ||
        (outcome != static_cast<std::int64_t>(DomainWorkOutcome::Made) &&
         outcome != static_cast<std::int64_t>(DomainWorkOutcome::WrappedAround))) {
        run.outcome = ContainedOutcome::ExitedEarly;
        return failed(DomainWorkOutcome::WorkerFailed, std::move(run));
    }
    made.outcome = static_cast<DomainWorkOutcome>(outcome);
    if (made.outcome != DomainWorkOutcome::Made) made.domain.reset();
    return made;
}

}  // namespace

void write_union(ProblemWriter& problem, const Polyhedron* domain) {
    std::int64_t pieces = 0;
    for (const Polyhedron* p = domain; p; p = p->next) ++pieces;
    problem.number(pieces);
    for (const Polyhedron* p = domain; p; p = p->next) problem.polyhedron(p);
}

bool read_union(ProblemReader& reader, DomainPtr& domain) {
    std::int64_t pieces = 0;
    if (!reader.count(pieces, 6 * sizeof(std::int64_t))) return false;
    Polyhedron** tail = nullptr;
    for (std::int64_t k = 0; k < pieces; ++k) {
        PolyhedronPtr piece = reader.polyhedron();
        if (!piece) return false;
        Polyhedron* p = piece.release();
        if (!tail)
            domain.reset(p);
        else
            *tail = p;
        tail = &p->next;
    }
    return true;
}

MadeDomain make_domain_here(const DomainWork& work) {
    if (work.kind == DomainWorkKind::gist) return simplified_domain(work.first, work.second);
    MadeDomain made;
    if (work.kind == DomainWorkKind::disjoint) {
        try {
            made.domain = sound_disjoint_domain(work.first);
            made.outcome = DomainWorkOutcome::Made;
        } catch (const DecompositionFailure&) {
            made.outcome = DomainWorkOutcome::LibraryFailed;
            return made;
        }
    } else {
        made = polylib_result(work);
    }
    if (made.outcome == DomainWorkOutcome::Made && made.domain && !exact_result(work, made.domain.get())) {
        made.outcome = DomainWorkOutcome::WrappedAround;
        made.domain.reset();
    }
    return made;
}

bool quick_domain_work(const DomainWork& work) {
    std::size_t rows = rows_of(work.first) + rows_of(work.second) + (work.matrix ? work.matrix->NbRows : 0);
    // PolyLib works on the homogeneous cone: one dimension and one row (the
    // positivity constraint) more.
    return most_vertices(dimension_of(work) + 1, rows + 1, quick_rays + 1) <= quick_rays;
}

MadeDomain make_domain_in_worker(StoreSession& session, const DomainWork& work) {
    std::fflush(session.report.out);
    return answer_of(run_in_worker(domain_job, problem_of(work), domain_work_time_limit, session.reader));
}

MadeDomain make_domain(StoreSession& session, const DomainWork& work) {
    return quick_domain_work(work) ? make_domain_here(work) : make_domain_in_worker(session, work);
}
