// Domains from constraint rows: one PolyLib polyhedron per piece, each
// checked as a declaration is, linked into a union.
#include "formats/constraint_rows.h"

#include "calculus/domain_work.h"
#include "calculus/exact_check.h"
#include "calculus/operations.h"
#include "worker/work_space.h"

namespace {

ConeConstraints exact_constraints(const PieceRows& rows) {
    ConeConstraints declared;
    for (const ConstraintRow& row : rows) {
        ExactRow w;
        for (std::size_t c = 1; c < row.size(); ++c) w.emplace_back(static_cast<long>(row[c]));
        (row[0] == 0 ? declared.equalities : declared.inequalities).push_back(std::move(w));
    }
    return declared;
}

// Expects domain_lock held. Null when PolyLib failed.
Polyhedron* polyhedron_from_rows(unsigned dimension, const PieceRows& rows) {
    MatrixPtr constraints(Matrix_Alloc(static_cast<unsigned>(rows.size()), dimension + 2));
    for (unsigned r = 0; r < rows.size(); ++r)
        for (unsigned c = 0; c < dimension + 2; ++c) value_assign(constraints->p[r][c], rows[r][c]);
    Polyhedron* polyhedron = nullptr;
    Matrix* m = constraints.get();
    bool ok = polylib_guarded([&] { polyhedron = Constraints2Polyhedron(m, 100); });
    return ok ? polyhedron : nullptr;
}

std::variant<PolyhedronPtr, BuildFailure> piece_here(unsigned dimension, const PieceRows& rows) {
    PolyhedronPtr piece(polyhedron_from_rows(dimension, rows));
    if (!piece) return BuildFailure{BuildFailure::Kind::PolyLib, ""};
    if (!exact_declared_domain(piece.get(), exact_constraints(rows))) return BuildFailure{BuildFailure::Kind::Overflow, ""};
    return piece;
}

std::variant<PolyhedronPtr, BuildFailure> piece_for_session(StoreSession& session, unsigned dimension,
                                                            const PieceRows& rows) {
    MatrixPtr constraints(Matrix_Alloc(static_cast<unsigned>(rows.size()), dimension + 2));
    for (unsigned r = 0; r < rows.size(); ++r)
        for (unsigned c = 0; c < dimension + 2; ++c) value_assign(constraints->p[r][c], rows[r][c]);
    MadeDomain made = make_domain(session, DomainWork{DomainWorkKind::declaration, nullptr, nullptr, constraints.get()});
    switch (made.outcome) {
    case DomainWorkOutcome::Made:
        if (!made.domain) break;
        return PolyhedronPtr(made.domain.release());
    case DomainWorkOutcome::LibraryFailed: break;
    case DomainWorkOutcome::WrappedAround: return BuildFailure{BuildFailure::Kind::Overflow, ""};
    case DomainWorkOutcome::Interrupted: return BuildFailure{BuildFailure::Kind::Interrupted, ""};
    case DomainWorkOutcome::OutOfWorkSpace: return BuildFailure{BuildFailure::Kind::OutOfWorkSpace, work_space_exceeded_text()};
    case DomainWorkOutcome::WorkerFailed:
        return BuildFailure{BuildFailure::Kind::Worker, contained_failure_reason(made.run, "the domain", domain_work_time_limit)};
    }
    return BuildFailure{BuildFailure::Kind::PolyLib, ""};
}

}  // namespace

bool is_positivity_row(const ConstraintRow& row) {
    if (row.size() < 2 || row.front() != 1 || row.back() != 1) return false;
    for (std::size_t c = 1; c + 1 < row.size(); ++c)
        if (row[c] != 0) return false;
    return true;
}

PieceRows rows_of(const Polyhedron* polyhedron) {
    PieceRows rows;
    unsigned columns = polyhedron->Dimension + 2;
    for (unsigned r = 0; r < polyhedron->NbConstraints; ++r) {
        ConstraintRow row(columns);
        for (unsigned c = 0; c < columns; ++c) row[c] = value_of(polyhedron->Constraint[r][c]);
        rows.push_back(std::move(row));
    }
    return rows;
}

std::variant<DomainPtr, BuildFailure> build_domain_from_rows(unsigned dimension, const std::vector<PieceRows>& pieces,
                                                             StoreSession* session) {
    DomainPtr domain;
    Polyhedron* last = nullptr;
    for (const PieceRows& rows : pieces) {
        if (std::optional<std::string> problem = work_space_problem(dimension, rows.size()))
            return BuildFailure{BuildFailure::Kind::WorkSpace, *problem};
        std::variant<PolyhedronPtr, BuildFailure> built =
            session ? piece_for_session(*session, dimension, rows) : piece_here(dimension, rows);
        if (BuildFailure* failure = std::get_if<BuildFailure>(&built)) return std::move(*failure);
        PolyhedronPtr piece = std::move(std::get<PolyhedronPtr>(built));
        if (emptyQ(piece.get())) continue;
        Polyhedron* linked = piece.release();
        if (last)
            last->next = linked;
        else
            domain.reset(linked);
        last = linked;
    }
    if (!domain) domain.reset(Empty_Polyhedron(dimension));
    return domain;
}
