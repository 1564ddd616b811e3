// The operation and analysis statements: definitions through the store's
// operations, and the printing commands in PolyLib's own forms.
#include <cstdio>

#include "base/error_report.h"
#include "base/locks.h"
#include "gui/visu_startup.h"
#include "interpreter/owned_name.h"
#include "interpreter/session.h"
#include "interpreter/statements.h"
#include "calculus/analyses.h"
#include "calculus/operations.h"

namespace {

// PolyLib's values are longs (64 bits): the printer gets each in 3 characters.
constexpr const char* polyhedron_value_format = "%3ld";

void print_polylib_domain(StatementReport& report, const std::string& name, const Polyhedron* domain) {
    auto* d = const_cast<Polyhedron*>(domain);
    FILE* out = report.out;
    std::fprintf(out, "> Domain '%s':\n", name.c_str());
    if (!polylib_guarded([&] { Polyhedron_Print(out, polyhedron_value_format, d); })) {
        report_polylib_failure(report, "the printing of '" + name + "'");
        return;
    }
    std::fputc('\n', out);
}

void print_polylib_matrix(StatementReport& report, const std::string& name, Matrix* matrix) {
    FILE* out = report.out;
    std::fprintf(out, "> Matrix '%s':\n", name.c_str());
    if (!polylib_guarded([&] { Matrix_Print(out, matrix_value_format, matrix); }))
        report_polylib_failure(report, "the printing of '" + name + "'");
}

}  // namespace

void define_binop(Session& session, char* result, char* first, char* second, const char* operation) {
    std::string r = take_name(result), a = take_name(first), b = take_name(second);
    GdkLock gdk;
    DomainLock lock;
    session.registries.DomainList = gen_pol_binop(session, r, a, b, operation, session.registries.DomainList);
    refresh_visu(session.viewer_windows, session.registries);
}

void define_image(Session& session, char* result, char* domain, char* matrix, const char* operation) {
    std::string r = take_name(result), d = take_name(domain), m = take_name(matrix);
    GdkLock gdk;
    DomainLock lock;
    session.registries.DomainList = gen_pol_image(session, r, d, m, operation, session.registries.DomainList);
    refresh_visu(session.viewer_windows, session.registries);
}

void define_disjoint(Session& session, char* result, char* domain) {
    std::string r = take_name(result), d = take_name(domain);
    GdkLock gdk;
    DomainLock lock;
    session.registries.DomainList = gen_pol_disjoint(session, r, d, session.registries.DomainList);
    refresh_visu(session.viewer_windows, session.registries);
}

void define_convex(Session& session, char* result, char* domain) {
    std::string r = take_name(result), d = take_name(domain);
    GdkLock gdk;
    DomainLock lock;
    session.registries.DomainList = gen_pol_convex(session, r, d, session.registries.DomainList);
    refresh_visu(session.viewer_windows, session.registries);
}

void vertices_statement(Session& session, char* domain, char* context) {
    std::string d = take_name(domain), k = take_name(context);
    DomainLock lock;
    print_vertices(session, d, k, session.registries.DomainList);
}

void ehrhart_statement(Session& session, char* domain, char* context) {
    std::string d = take_name(domain), k = take_name(context);
    DomainLock lock;
    print_ehrhart(session, d, k, session.registries.DomainList);
}

void plprint_statement(Session& session, char* text) {
    std::string name = take_name(text);
    DomainLock lock;
    if (const DomainEntry* e = lookup_domain(name, session.registries.DomainList))
        print_polylib_domain(session.report, name, e->domain);
    else if (Matrix* m = lookup_matrix(name, session.registries.MatrixList))
        print_polylib_matrix(session.report, name, m);
    else
        report_error(session.report, " '" + name + "' undeclared - PLprint: command ignored");
}

void plcons_statement(Session& session, char* text) {
    std::string name = take_name(text);
    DomainLock lock;
    if (const DomainEntry* e = lookup_domain(name, session.registries.DomainList)) {
        std::fprintf(session.report.out, "> Domain '%s' - Constraints matrix:\n", name.c_str());
        print_pl_cons(session.report, e->domain);
        std::fputc('\n', session.report.out);
    } else {
        report_error(session.report, " '" + name + "' undeclared - PLcons: command ignored\n");
    }
}

void plrays_statement(Session& session, char* text) {
    std::string name = take_name(text);
    DomainLock lock;
    if (const DomainEntry* e = lookup_domain(name, session.registries.DomainList)) {
        std::fprintf(session.report.out, "> Domain '%s' - Rays matrix:\n", name.c_str());
        print_pl_rays(session.report, e->domain);
        std::fputc('\n', session.report.out);
    } else {
        report_error(session.report, " '" + name + "' undeclared - PLrays: command ignored\n");
    }
}
