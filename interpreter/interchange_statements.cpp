// The statements that exchange domains with other tools: definitions in isl
// notation and the isl text of a stored domain.
#include <cstdio>
#include <optional>

#include "base/error_report.h"
#include "base/locks.h"
#include "gui/visu_startup.h"
#include "interpreter/owned_name.h"
#include "interpreter/session.h"
#include "interpreter/statements.h"
#include "formats/constraint_rows.h"
#include "formats/isl_notation.h"
#include "store/registry.h"

namespace {

// Names in declaration order become a variable list, newest first.
VarNode* var_list_of(const std::vector<std::string>& names) {
    VarNode* vars = nullptr;
    for (std::size_t k = 0; k < names.size(); ++k) vars = new VarNode{names[k], static_cast<int>(k) + 1, vars};
    return vars;
}

// The messages of a typed declaration that fails the same way.
void report_build_failure(StatementReport& report, const BuildFailure& failure, const std::string& name) {
    if (failure.kind == BuildFailure::Kind::Interrupted) return report_not_stored(report.out, name);
    note_refusal(report);
    switch (failure.kind) {
    case BuildFailure::Kind::Interrupted: break;
    case BuildFailure::Kind::OutOfWorkSpace:
        std::fprintf(report.out, "> polyhedron declaration %s - Action cancelled !\n", failure.text.c_str());
        break;
    case BuildFailure::Kind::Worker: report_error(report, failure.text + " - command ignored"); break;
    case BuildFailure::Kind::WorkSpace:
        std::fprintf(report.out, "> polyhedron declaration %s - Action cancelled !\n", failure.text.c_str());
        break;
    case BuildFailure::Kind::Overflow:
        std::fputs("> integer overflow in polyhedron declaration - Action cancelled !\n", report.out);
        break;
    case BuildFailure::Kind::PolyLib:
        report_polylib_failure(report, "the declaration of '" + name + "'");
        break;
    }
}

}  // namespace

void declare_isl_domain(Session& session, char* name_text, char* set_text) {
    std::string name = take_name(name_text);
    std::string text = take_name(set_text);
    ParseResult parsed = read_isl_set(text);
    if (const ParseProblem* problem = std::get_if<ParseProblem>(&parsed)) {
        report_error(session.report, "isl notation: " + problem_text(*problem) + " - '" + name + "' is not stored");
        if (problem->kind == ParseProblem::Kind::Syntax)
            std::fputs("> Syntax : 'name' := [params] -> { [variables] : constraints } ;\n", session.report.out);
        return;
    }
    const ParsedSet& set = std::get<ParsedSet>(parsed);
    GdkLock gdk;
    DomainLock lock;
    auto built = build_domain_from_rows(static_cast<unsigned>(set.names.size()), set.pieces, &session);
    if (const BuildFailure* failure = std::get_if<BuildFailure>(&built)) {
        report_build_failure(session.report, *failure, name);
        return;
    }
    Registries& store = session.registries;
    store.DomainList = add_domain_in_list(session, name, var_list_of(set.names), std::get<DomainPtr>(built).release(),
                                          store.DomainList);
    refresh_visu(session.viewer_windows, store);
}

void isl_statement(Session& session, char* domain_text, char* context_text) {
    std::string name = take_name(domain_text);
    std::optional<std::string> context;
    if (context_text) context = take_name(context_text);
    DomainLock lock;
    const DomainEntry* entry = lookup_domain(name, session.registries.DomainList);
    const DomainEntry* context_entry = context ? lookup_domain(*context, session.registries.DomainList) : nullptr;
    if (!entry || (context && !context_entry)) {
        report_error(session.report, " '" + (entry ? *context : name) + "' undeclared - isl: command ignored");
        return;
    }
    unsigned parameters = context_entry ? context_entry->domain->Dimension : 0;
    if (parameters > entry->domain->Dimension) {
        report_error(session.report, "isl : the context '" + *context + "' has " + std::to_string(parameters) +
                                         " dimensions, more than the " + std::to_string(entry->domain->Dimension) +
                                         " of '" + name + "' - command ignored");
        return;
    }
    std::string text = isl_text(entry->domain, var_names_array(entry->vars), parameters);
    std::fprintf(session.report.out, "> %s := %s\n", name.c_str(), text.c_str());
}
