// Gist: the context is widened to the domain's dimensions, PolyLib
// simplifies, and the result is checked exactly piece by piece against the
// domain within the context before it is stored.
#include "calculus/gist.h"

#include <cstdio>
#include <algorithm>
#include <optional>
#include <vector>

#include "base/error_report.h"
#include "calculus/domain_work.h"
#include "calculus/exact_check.h"
#include "calculus/operations.h"
#include "worker/work_space.h"

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

// The context as a polyhedron of the domain's dimension, for PolyLib alone:
// what PolyLib makes of it is checked against the widened rows.
std::optional<PolyhedronPtr> widened_context(const Polyhedron* context, unsigned dimension) {
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
    return owned;
}

// The rows of a piece without PolyLib's 1 >= 0, each divided by the gcd of
// its values, an equality's first value made positive.
std::vector<ExactRow> normalised_rows(const Polyhedron* p) {
    std::vector<ExactRow> rows;
    ConeConstraints c = constraints_of(p);
    auto add = [&](ExactRow row, bool equality) {
        ExactNumber g = 0;
        for (const ExactNumber& v : row)
            if (sgn(v) != 0) g = gcd(g, v);
        if (g == 0) return;
        bool negate = equality && sgn(*std::find_if(row.begin(), row.end(), [](const ExactNumber& v) { return sgn(v) != 0; })) < 0;
        for (ExactNumber& v : row)
            if (sgn(v) != 0) v = divide_exactly(negate ? -v : v, g);
        row.push_back(equality ? 0 : 1);
        if (std::all_of(row.begin(), row.end() - 2, [](const ExactNumber& v) { return sgn(v) == 0; })) return;
        rows.push_back(std::move(row));
    };
    for (ExactRow& e : c.equalities) add(std::move(e), true);
    for (ExactRow& i : c.inequalities) add(std::move(i), false);
    std::sort(rows.begin(), rows.end());
    return rows;
}

// The context's generators over the domain's dimensions: its own, zero on
// the dimensions before its own, and a line along each of those.
ConeGenerators widened_generators(const Polyhedron* context, unsigned dimension) {
    ConeGenerators g;
    unsigned shift = dimension - context->Dimension;
    for (unsigned k = 0; k < shift; ++k) {
        ExactRow line(dimension + 1, 0);
        line[k] = 1;
        g.lines.push_back(std::move(line));
    }
    if (context->Dimension == 0) {
        ExactRow origin(dimension + 1, 0);
        origin[dimension] = 1;
        g.rays.push_back(std::move(origin));
        return g;
    }
    ConeGenerators own = generators_of(context);
    for (const ExactRow& l : own.lines) {
        ExactRow wide(dimension + 1, 0);
        std::copy(l.begin(), l.end(), wide.begin() + shift);
        g.lines.push_back(std::move(wide));
    }
    for (const ExactRow& r : own.rays) {
        ExactRow wide(dimension + 1, 0);
        std::copy(r.begin(), r.end(), wide.begin() + shift);
        g.rays.push_back(std::move(wide));
    }
    return g;
}

// The usual gist keeps each piece and some of its rows. A piece that keeps
// all of them is the stored piece itself (a copy, exact); one that drops some
// must imply them within the context, and have exact descriptions. Nothing
// when PolyLib's result is not of that shape.
std::optional<DomainPtr> checked_piecewise(const Polyhedron* result, const Polyhedron* domain,
                                           const ConeConstraints& context, const ConeGenerators& context_generators,
                                           bool& exact) {
    exact = true;
    std::vector<const Polyhedron*> kept, original;
    for (const Polyhedron* p = result; p; p = p->next) kept.push_back(p);
    for (const Polyhedron* p = domain; p; p = p->next) original.push_back(p);
    if (kept.size() != original.size()) return std::nullopt;
    std::vector<bool> whole(kept.size());
    for (std::size_t k = 0; k < kept.size(); ++k) {
        std::vector<ExactRow> simplified = normalised_rows(kept[k]), own = normalised_rows(original[k]);
        if (!std::includes(own.begin(), own.end(), simplified.begin(), simplified.end())) return std::nullopt;
        whole[k] = simplified == own;
        if (whole[k]) continue;
        if (!exact_polyhedron(kept[k])) {
            exact = false;
            return std::nullopt;
        }
        ConeConstraints dropped;
        for (const ExactRow& row : own) {
            if (std::binary_search(simplified.begin(), simplified.end(), row)) continue;
            bool equality = row.back() == 0;
            (equality ? dropped.equalities : dropped.inequalities).emplace_back(row.begin(), row.end() - 1);
        }
        if (generators_satisfy(context_generators, dropped)) continue;
        ExactSet within_context =
            exact_set_from_constraints(kept[k]->Dimension + 1, joined(constraints_of(kept[k]), context));
        if (!generators_satisfy(within_context.generators, dropped)) {
            exact = false;
            return std::nullopt;
        }
    }
    DomainPtr pieces;
    Polyhedron** tail = nullptr;
    for (std::size_t k = 0; k < kept.size(); ++k) {
        Polyhedron* copy = nullptr;
        auto* source = const_cast<Polyhedron*>(whole[k] ? original[k] : kept[k]);
        if (!polylib_guarded([&] { copy = Polyhedron_Copy(source); }) || !copy) return std::nullopt;
        if (!pieces) {
            pieces.reset(copy);
        } else {
            *tail = copy;
        }
        tail = &copy->next;
    }
    return pieces;
}

}  // namespace

MadeDomain simplified_domain(const Polyhedron* d, const Polyhedron* k) {
    MadeDomain made;
    made.outcome = DomainWorkOutcome::LibraryFailed;
    // A context without variables has no parameters: it says nothing.
    ConeConstraints rows = k->Dimension > 0 ? widened_rows(k, d->Dimension) : ConeConstraints{};
    std::optional<PolyhedronPtr> wide = widened_context(k, d->Dimension);
    if (!wide) return made;
    Polyhedron* simplified = nullptr;
    auto* domain = const_cast<Polyhedron*>(d);
    Polyhedron* in = wide->get();
    if (!polylib_guarded([&] { simplified = DomainSimplify(domain, in, working_rows); })) return made;
    DomainPtr owned(simplified);
    bool exact = true;
    if (simplified) {
        ConeGenerators around = widened_generators(k, d->Dimension);
        if (std::optional<DomainPtr> pieces = checked_piecewise(simplified, d, rows, around, exact)) {
            made.outcome = DomainWorkOutcome::Made;
            made.domain = std::move(*pieces);
            return made;
        }
    }
    // What PolyLib keeps is never worse than the domain itself.
    if (!exact || !simplified || union_constraints(simplified) > union_constraints(d)) {
        Polyhedron* copy = nullptr;
        if (!polylib_guarded([&] { copy = Domain_Copy(domain); }) || !copy) return made;
        owned.reset(copy);
    }
    if (!exact_gist(owned.get(), d, rows)) {
        made.outcome = DomainWorkOutcome::WrappedAround;
        return made;
    }
    made.outcome = DomainWorkOutcome::Made;
    made.domain = std::move(owned);
    return made;
}

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
    DomainPtr simplified = made_domain(session, DomainWork{DomainWorkKind::gist, d, k}, what, result);
    if (!simplified) return list;
    return add_domain_in_list(session, result, copy_var_list(entry->vars), simplified.release(), list);
}
