// Gist: the context is widened to the domain's dimensions, PolyLib
// simplifies, and the result is checked exactly piece by piece against the
// domain within the context before it is stored.
#include "store/gist.h"

#include <cstdio>
#include <optional>
#include <vector>

#include "base/error_report.h"
#include "store/exact_check.h"
#include "store/operations.h"
#include "store/work_space.h"

namespace {

constexpr unsigned working_rows = 100;

void refuse(StatementReport& report, const std::string& reason) {
    note_refusal(report);
    std::fprintf(report.out, "> Gist : %s - command ignored\n", reason.c_str());
}

std::size_t union_rows(const Polyhedron* domain) {
    std::size_t rows = 0;
    for (const Polyhedron* p = domain; p; p = p->next) rows += p->NbConstraints + p->NbRays;
    return rows;
}

std::size_t union_constraints(const Polyhedron* domain) {
    std::size_t rows = 0;
    for (const Polyhedron* p = domain; p; p = p->next) rows += p->NbConstraints;
    return rows;
}

// The context's rows over the domain's `dimension` dimensions: zero on the
// ones before its own.
ConeConstraints widened_rows(const Polyhedron* context, unsigned dimension) {
    ConeConstraints rows;
    unsigned shift = dimension - context->Dimension;
    for (unsigned r = 0; r < context->NbConstraints; ++r) {
        const Value* row = context->Constraint[r];
        ExactRow wide(dimension + 1, 0);
        for (unsigned c = 0; c <= context->Dimension; ++c) wide[shift + c] = exact_number(row[c + 1]);
        (value_zero_p(row[0]) ? rows.equalities : rows.inequalities).push_back(std::move(wide));
    }
    return rows;
}

ConeConstraints joined(ConeConstraints a, const ConeConstraints& b) {
    a.equalities.insert(a.equalities.end(), b.equalities.begin(), b.equalities.end());
    a.inequalities.insert(a.inequalities.end(), b.inequalities.begin(), b.inequalities.end());
    return a;
}

// Each piece within the context, from both constraint lists.
std::vector<ExactSet> within(const Polyhedron* domain, const ConeConstraints& context) {
    std::vector<ExactSet> sets;
    for (const Polyhedron* p = domain; p; p = p->next)
        sets.push_back(exact_set_from_constraints(p->Dimension + 1, joined(constraints_of(p), context)));
    return sets;
}

bool inside_one(const ExactSet& set, const std::vector<ExactSet>& sets) {
    for (const ExactSet& outer : sets)
        if (exact_contains(outer, set)) return true;
    return false;
}

// The result within the context is the domain within it: every piece of
// one inside a piece of the other, both ways, and the result's own
// descriptions exact.
bool exact_gist(const Polyhedron* result, const Polyhedron* domain, const ConeConstraints& context) {
    for (const Polyhedron* p = result; p; p = p->next)
        if (!exact_polyhedron(p)) return false;
    std::vector<ExactSet> simplified = within(result, context), original = within(domain, context);
    for (const ExactSet& s : simplified)
        if (!inside_one(s, original)) return false;
    for (const ExactSet& o : original)
        if (!o.empty && !inside_one(o, simplified)) return false;
    return true;
}

// The context as a polyhedron of the domain's dimension, built from its
// widened rows and checked as a declaration is.
std::optional<PolyhedronPtr> widened_context(const Polyhedron* context, unsigned dimension,
                                             const ConeConstraints& rows) {
    Matrix* m = nullptr;
    Polyhedron* wide = nullptr;
    unsigned shift = dimension - context->Dimension;
    bool done = polylib_guarded([&] {
        m = Matrix_Alloc(context->NbConstraints, dimension + 2);
        for (unsigned r = 0; r < context->NbConstraints; ++r) {
            for (unsigned c = 0; c < dimension + 2; ++c) value_set_si(m->p[r][c], 0);
            value_assign(m->p[r][0], context->Constraint[r][0]);
            for (unsigned c = 1; c <= context->Dimension + 1; ++c) value_assign(m->p[r][shift + c], context->Constraint[r][c]);
        }
        wide = context->Dimension == 0 ? Universe_Polyhedron(dimension) : Constraints2Polyhedron(m, working_rows);
    });
    MatrixPtr owned_rows(m);
    PolyhedronPtr owned(wide);
    if (!done || !wide) return std::nullopt;
    if (context->Dimension > 0 && !exact_declared_domain(wide, rows)) return std::nullopt;
    return owned;
}

}  // namespace

DomainEntry* gen_pol_gist(StoreSession& session, const std::string& result, const std::string& name,
                          const std::string& ctx_name, DomainEntry* list) {
    StatementReport& report = session.report;
    const DomainEntry* entry = lookup_domain(name, list);
    const DomainEntry* context = lookup_domain(ctx_name, list);
    if (!entry || !context) {
        refuse(report, "'" + name + "' or '" + ctx_name + "' undeclared");
        return list;
    }
    const Polyhedron* d = entry->domain;
    const Polyhedron* k = context->domain;
    if (k->next) {
        refuse(report, "context '" + ctx_name + "' is a union; a context must be a single polyhedron");
        return list;
    }
    if (k->Dimension > d->Dimension) {
        refuse(report, "context '" + ctx_name + "' has " + std::to_string(k->Dimension) + " dimensions, more than the " +
               std::to_string(d->Dimension) + " of domain '" + name + "'");
        return list;
    }
    std::string what = "the gist of '" + name + "' in '" + ctx_name + "'";
    if (auto problem = work_space_problem(d->Dimension, union_rows(d) + k->NbConstraints + k->NbRays)) {
        report_error(report, what + " " + *problem + " - command ignored");
        return list;
    }
    // A context without variables has no parameters: it says nothing.
    ConeConstraints rows = k->Dimension > 0 ? widened_rows(k, d->Dimension) : ConeConstraints{};
    std::optional<PolyhedronPtr> wide = widened_context(k, d->Dimension, rows);
    if (!wide) {
        report_polylib_failure(report, what);
        return list;
    }
    Polyhedron* simplified = nullptr;
    auto* domain = const_cast<Polyhedron*>(d);
    Polyhedron* in = wide->get();
    if (!polylib_guarded([&] { simplified = DomainSimplify(domain, in, working_rows); })) {
        report_polylib_failure(report, what);
        return list;
    }
    DomainPtr owned(simplified);
    // What PolyLib keeps is never worse than the domain itself.
    if (!simplified || union_constraints(simplified) > union_constraints(d)) {
        Polyhedron* copy = nullptr;
        if (!polylib_guarded([&] { copy = Domain_Copy(domain); })) {
            report_polylib_failure(report, what);
            return list;
        }
        owned.reset(copy);
    }
    if (!exact_gist(owned.get(), d, rows)) {
        report_error(report, "64-bit overflow in " + what + " - command ignored");
        return list;
    }
    return add_domain_in_list(session, result, copy_var_list(entry->vars), owned.release(), list);
}
