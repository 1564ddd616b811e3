// The operation and analysis statements: definitions through the store's
// operations, and the printing commands in PolyLib's own forms.
#include <cstdio>

#include "base/error_report.h"
#include "base/locks.h"
#include "gui/visu_startup.h"
#include "interpreter/owned_name.h"
#include "interpreter/statements.h"
#include "store/analyses.h"
#include "store/operations.h"

namespace {

// PolyLib's values are longs (64 bits): the printer gets each in 3 characters.
constexpr const char* polyhedron_value_format = "%3ld";

void print_polylib_domain(const std::string& name, const Polyhedron* domain) {
    auto* d = const_cast<Polyhedron*>(domain);
    std::printf("> Domain '%s':\n", name.c_str());
    if (!polylib_guarded([&] { Polyhedron_Print(stdout, polyhedron_value_format, d); })) {
        report_polylib_failure("the printing of '" + name + "'");
        return;
    }
    std::fputc('\n', stdout);
}

void print_polylib_matrix(const std::string& name, Matrix* matrix) {
    std::printf("> Matrix '%s':\n", name.c_str());
    if (!polylib_guarded([&] { Matrix_Print(stdout, matrix_value_format, matrix); }))
        report_polylib_failure("the printing of '" + name + "'");
}

}  // namespace

void define_binop(char* result, char* first, char* second, const char* operation) {
    std::string r = take_name(result), a = take_name(first), b = take_name(second);
    GdkLock gdk;
    DomainLock lock;
    DomainList = gen_pol_binop(r, a, b, operation, DomainList);
    refresh_visu();
}

void define_image(char* result, char* domain, char* matrix, const char* operation) {
    std::string r = take_name(result), d = take_name(domain), m = take_name(matrix);
    GdkLock gdk;
    DomainLock lock;
    DomainList = gen_pol_image(r, d, m, operation, DomainList);
    refresh_visu();
}

void define_disjoint(char* result, char* domain) {
    std::string r = take_name(result), d = take_name(domain);
    GdkLock gdk;
    DomainLock lock;
    DomainList = gen_pol_disjoint(r, d, DomainList);
    refresh_visu();
}

void define_convex(char* result, char* domain) {
    std::string r = take_name(result), d = take_name(domain);
    GdkLock gdk;
    DomainLock lock;
    DomainList = gen_pol_convex(r, d, DomainList);
    refresh_visu();
}

void vertices_statement(char* domain, char* context) {
    std::string d = take_name(domain), k = take_name(context);
    DomainLock lock;
    print_vertices(d, k, DomainList);
}

void ehrhart_statement(char* domain, char* context) {
    std::string d = take_name(domain), k = take_name(context);
    DomainLock lock;
    print_ehrhart(d, k, DomainList);
}

void plprint_statement(char* text) {
    std::string name = take_name(text);
    DomainLock lock;
    if (const DomainEntry* e = lookup_domain(name, DomainList))
        print_polylib_domain(name, e->domain);
    else if (Matrix* m = lookup_matrix(name, MatrixList))
        print_polylib_matrix(name, m);
    else
        report_error(" '" + name + "' undeclared - PLprint: command ignored");
}

void plcons_statement(char* text) {
    std::string name = take_name(text);
    DomainLock lock;
    if (const DomainEntry* e = lookup_domain(name, DomainList)) {
        std::printf("> Domain '%s' - Constraints matrix:\n", name.c_str());
        print_pl_cons(e->domain);
        std::fputc('\n', stdout);
    } else {
        report_error(" '" + name + "' undeclared - PLcons: command ignored\n");
    }
}

void plrays_statement(char* text) {
    std::string name = take_name(text);
    DomainLock lock;
    if (const DomainEntry* e = lookup_domain(name, DomainList)) {
        std::printf("> Domain '%s' - Rays matrix:\n", name.c_str());
        print_pl_rays(e->domain);
        std::fputc('\n', stdout);
    } else {
        report_error(" '" + name + "' undeclared - PLrays: command ignored\n");
    }
}
