// The domain-producing operations, each a PolyLib call with its work-space
// bound, and the variable names the result carries.
#include "calculus/operations.h"

#include <algorithm>
#include <cstdio>

#include "base/error_report.h"
#include "calculus/disjoint_decomposition.h"
#include "calculus/domain_work.h"
#include "calculus/exact_check.h"
#include "worker/work_space.h"

namespace {

constexpr int first_fresh_name = 105;   // 'i'
constexpr int last_single_byte_name = 255;

std::string fresh_name(unsigned position) {
    unsigned code = first_fresh_name + position;
    if (code <= last_single_byte_name) return std::string(1, static_cast<char>(code));
    return "v" + std::to_string(position);
}


DomainWorkKind binop_kind(const std::string& op) {
    if (op == "union") return DomainWorkKind::union_of;
    if (op == "inter") return DomainWorkKind::intersection;
    return DomainWorkKind::difference;
}

std::string binop_description(const std::string& op, const std::string& name1, const std::string& name2) {
    const char* noun = op == "union" ? "union" : op == "inter" ? "intersection" : "difference";
    return std::string("the ") + noun + " of '" + name1 + "' and '" + name2 + "'";
}

std::string dimensions(unsigned d) { return std::to_string(d) + (d == 1 ? " dimension" : " dimensions"); }

std::string matrix_size(const Matrix* m) { return std::to_string(m->NbRows) + "x" + std::to_string(m->NbColumns); }

bool affine_last_row(const Matrix* m) {
    const Value* last = m->p[m->NbRows - 1];
    for (unsigned c = 0; c + 1 < m->NbColumns; ++c)
        if (last[c] != 0) return false;
    return last[m->NbColumns - 1] > 0;
}

std::size_t row_count(const Polyhedron* domain) {
    std::size_t rows = 0;
    for (const Polyhedron* p = domain; p; p = p->next) rows += p->NbConstraints + p->NbRays;
    return rows;
}

// Refuses, before PolyLib allocates, a computation beyond the work-space budget.
bool within_work_space(StatementReport& report, const std::string& what, std::size_t dimension, std::size_t rows) {
    std::optional<std::string> problem = work_space_problem(dimension, rows);
    if (problem) report_error(report, what + " " + *problem + " - command ignored");
    return !problem;
}

void report_wrap_around(StatementReport& report, const std::string& what) {
    report_error(report, "64-bit overflow in " + what + " - command ignored");
}

std::vector<ExactSet> pieces_of(const Polyhedron* domain) {
    std::vector<ExactSet> pieces;
    for (const Polyhedron* p = domain; p; p = p->next) pieces.push_back(exact_set_of(p));
    return pieces;
}

ConeConstraints joined(ConeConstraints a, const ConeConstraints& b) {
    a.equalities.insert(a.equalities.end(), b.equalities.begin(), b.equalities.end());
    a.inequalities.insert(a.inequalities.end(), b.inequalities.begin(), b.inequalities.end());
    return a;
}

// The pieces' pairwise intersections, each found here from both constraint lists.
std::vector<ExactSet> intersections(const Polyhedron* d1, const Polyhedron* d2) {
    std::vector<ExactSet> sets;
    for (const Polyhedron* a = d1; a; a = a->next)
        for (const Polyhedron* b = d2; b; b = b->next)
            sets.push_back(exact_set_from_constraints(a->Dimension + 1, joined(constraints_of(a), constraints_of(b))));
    return sets;
}

}  // namespace

DomainPtr made_domain(StoreSession& session, const DomainWork& work, const std::string& what,
                      const std::string& result) {
    MadeDomain made = make_domain(session, work);
    switch (made.outcome) {
    case DomainWorkOutcome::Made: return std::move(made.domain);
    case DomainWorkOutcome::LibraryFailed: report_polylib_failure(session.report, what); break;
    case DomainWorkOutcome::WrappedAround: report_wrap_around(session.report, what); break;
    case DomainWorkOutcome::Interrupted: report_not_stored(session.report.out, result); break;
    case DomainWorkOutcome::OutOfWorkSpace:
        report_error(session.report, what + " " + work_space_exceeded_text() + " - command ignored");
        break;
    case DomainWorkOutcome::WorkerFailed:
        report_error(session.report, contained_failure_message(made.run, what, domain_work_time_limit));
        break;
    }
    return nullptr;
}

bool exact_binop_result(const std::string& op, const Polyhedron* result, const Polyhedron* d1, const Polyhedron* d2) {
    if (op == "inter") return exact_union_of(result, intersections(d1, d2));
    std::vector<ExactSet> first = pieces_of(d1), second = pieces_of(d2);
    if (op == "diff") return exact_pieces_inside(result, first, second);
    first.insert(first.end(), second.begin(), second.end());
    return exact_union_of(result, first);
}

namespace {

ExactRow matrix_times(const Matrix* m, const ExactRow& v) {
    ExactRow r(m->NbRows, 0);
    for (unsigned i = 0; i < m->NbRows; ++i)
        for (unsigned j = 0; j < m->NbColumns; ++j) r[i] += exact_number(m->p[i][j]) * v[j];
    return r;
}

ExactRow times_matrix(const ExactRow& c, const Matrix* m) {
    ExactRow r(m->NbColumns, 0);
    for (unsigned j = 0; j < m->NbColumns; ++j)
        for (unsigned i = 0; i < m->NbRows; ++i) r[j] += c[i] * exact_number(m->p[i][j]);
    return r;
}

// The image of each piece is generated by the images of its generators;
// the preimage of each piece is cut by its constraints composed with the matrix.
std::vector<ExactSet> mapped_pieces(const Polyhedron* domain, const Matrix* matrix, bool image) {
    std::vector<ExactSet> sets;
    for (const Polyhedron* p = domain; p; p = p->next) {
        if (image) {
            ConeGenerators g = generators_of(p), mapped;
            for (const ExactRow& l : g.lines) mapped.lines.push_back(matrix_times(matrix, l));
            for (const ExactRow& r : g.rays) mapped.rays.push_back(matrix_times(matrix, r));
            sets.push_back(exact_set_from_generators(matrix->NbRows, mapped));
        } else {
            ConeConstraints c = constraints_of(p), composed;
            for (const ExactRow& e : c.equalities) composed.equalities.push_back(times_matrix(e, matrix));
            for (const ExactRow& i : c.inequalities) composed.inequalities.push_back(times_matrix(i, matrix));
            sets.push_back(exact_set_from_constraints(matrix->NbColumns, composed));
        }
    }
    return sets;
}

}  // namespace

bool exact_image_result(const std::string& op, const Polyhedron* result, const Polyhedron* domain,
                        const Matrix* matrix) {
    return exact_union_of(result, mapped_pieces(domain, matrix, op == "image"));
}

namespace {

ExactSet convex_hull_of(const Polyhedron* domain) {
    ConeGenerators all;
    for (const Polyhedron* p = domain; p; p = p->next) {
        ConeGenerators g = generators_of(p);
        all.lines.insert(all.lines.end(), g.lines.begin(), g.lines.end());
        all.rays.insert(all.rays.end(), g.rays.begin(), g.rays.end());
    }
    return exact_set_from_generators(domain->Dimension + 1, all);
}

}  // namespace

// The names are distinct, so none needs the declaration's duplicate check.
VarNode* fresh_var_list(unsigned dimension) {
    VarNode* vars = nullptr;
    for (unsigned k = 0; k < dimension; ++k) vars = new VarNode{fresh_name(k), static_cast<int>(k) + 1, vars};
    return vars;
}

bool exact_convex_result(const Polyhedron* result, const Polyhedron* domain) {
    return exact_union_of(result, {convex_hull_of(domain)});
}

bool exact_disjoint_result(const Polyhedron* result, const Polyhedron* domain) {
    return exact_pieces_inside(result, pieces_of(domain), {});
}

bool exact_declared_domain(const Polyhedron* domain, const ConeConstraints& declared) {
    return exact_union_of(domain, {exact_set_from_constraints(domain->Dimension + 1, declared)});
}

std::optional<std::string> image_matrix_problem(const Matrix* matrix, unsigned dimension, const std::string& op) {
    bool image = op == "image";
    unsigned checked = image ? matrix->NbColumns : matrix->NbRows;
    if (matrix->NbRows == 0 || matrix->NbColumns == 0 || checked != dimension + 1)
        return "it is " + matrix_size(matrix) + ", and the " + op + " of a domain of dimension " +
               std::to_string(dimension) + " needs " + std::to_string(dimension + 1) + (image ? " columns" : " rows");
    if (!affine_last_row(matrix)) return "its last row must be (0, ..., 0, d) with d > 0, as for an affine map";
    return std::nullopt;
}

DomainEntry* gen_pol_binop(StoreSession& session, const std::string& result, const std::string& name1,
                           const std::string& name2, const std::string& op, DomainEntry* list) {
    const DomainEntry* first = list ? lookup_domain(name1, list) : nullptr;
    const DomainEntry* second = list ? lookup_domain(name2, list) : nullptr;
    if (!first || !second) {
        report_error(session.report, op + " : command ignored\n");
        return list;
    }
    Polyhedron* d1 = first->domain;
    Polyhedron* d2 = second->domain;
    if (d1->Dimension != d2->Dimension) {
        report_error(session.report, op + " : '" + name1 + "' has " + dimensions(d1->Dimension) + " and '" + name2 + "' has " +
                     dimensions(d2->Dimension) + " - command ignored");
        return list;
    }
    std::string what = binop_description(op, name1, name2);
    if (!within_work_space(session.report, what, d1->Dimension, row_count(d1) + row_count(d2))) return list;
    const DomainWork work{binop_kind(op), d1, d2, nullptr};
    DomainPtr domain = made_domain(session, work, what, result);
    if (!domain) return list;
    return add_domain_in_list(session, result, copy_var_list(first->vars), domain.release(), list);
}

DomainEntry* gen_pol_image(StoreSession& session, const std::string& result, const std::string& domain_name,
                           const std::string& matrix_name, const std::string& op, DomainEntry* list) {
    const DomainEntry* entry = lookup_domain(domain_name, list);
    Matrix* matrix = lookup_matrix(matrix_name, session.registries.MatrixList);
    if (!entry || !matrix) {
        note_refusal(session.report);
        std::fprintf(session.report.out, "%s : command ignored - polyhedron '%s' or matrix '%s' does not exist !\n", op.c_str(),
                    domain_name.c_str(), matrix_name.c_str());
        return list;
    }
    Polyhedron* d = entry->domain;
    if (auto problem = image_matrix_problem(matrix, d->Dimension, op)) {
        report_error(session.report, op + " : matrix '" + matrix_name + "' cannot map domain '" + domain_name + "': " + *problem +
                     " - command ignored");
        return list;
    }
    bool image = op == "image";
    std::string what = "the " + op + " of '" + domain_name + "' by '" + matrix_name + "'";
    std::size_t dimension = std::max(matrix->NbRows, matrix->NbColumns);
    if (!within_work_space(session.report, what, dimension, row_count(d) + matrix->NbRows)) return list;
    const DomainWork work{image ? DomainWorkKind::image : DomainWorkKind::preimage, d, nullptr, matrix};
    DomainPtr owned = made_domain(session, work, what, result);
    if (!owned) return list;
    Polyhedron* domain = owned.release();
    VarNode* vars = domain->Dimension == d->Dimension ? copy_var_list(entry->vars)
                                                      : fresh_var_list(domain->Dimension);
    return add_domain_in_list(session, result, vars, domain, list);
}

DomainEntry* gen_pol_disjoint(StoreSession& session, const std::string& result, const std::string& name, DomainEntry* list) {
    const DomainEntry* entry = lookup_domain(name, list);
    if (!entry) {
        note_refusal(session.report);
        std::fprintf(session.report.out, "> DD : domain '%s' does not exist ! Command ignored\n", name.c_str());
        return list;
    }
    std::string what = "the disjoint decomposition of '" + name + "'";
    if (!within_work_space(session.report, what, entry->domain->Dimension, row_count(entry->domain))) return list;
    DomainPtr domain = made_domain(session, DomainWork{DomainWorkKind::disjoint, entry->domain}, what, result);
    if (!domain) return list;
    return add_domain_in_list(session, result, copy_var_list(entry->vars), domain.release(), list);
}

DomainEntry* gen_pol_convex(StoreSession& session, const std::string& result, const std::string& name, DomainEntry* list) {
    const DomainEntry* entry = lookup_domain(name, list);
    if (!entry) {
        note_refusal(session.report);
        std::fprintf(session.report.out, "> Convex : domain '%s' does not exist ! Command ignored\n", name.c_str());
        return list;
    }
    Polyhedron* d = entry->domain;
    std::string what = "the convex hull of '" + name + "'";
    if (!within_work_space(session.report, what, d->Dimension, row_count(d))) return list;
    DomainPtr domain = made_domain(session, DomainWork{DomainWorkKind::convex_hull, d}, what, result);
    if (!domain) return list;
    return add_domain_in_list(session, result, copy_var_list(entry->vars), domain.release(), list);
}
