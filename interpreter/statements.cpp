// The registry commands: list, print and del.
#include "interpreter/statements.h"

#include <cstdio>

#include "base/error_report.h"
#include "base/locks.h"
#include "interpreter/owned_name.h"
#include "interpreter/session.h"
#include "store/printer.h"
#include "store/registry.h"

void list_statement(Session& session) {
    DomainLock lock;
    std::fputs("> Domain List: \n", session.report.out);
    for (const DomainEntry* e = session.registries.DomainList; e; e = e->next) {
        std::fprintf(session.report.out, ">   %s := ", e->name.c_str());
        print_domain_constraints(session.report.out, e->domain, var_names_array(e->vars));
    }
    std::fputs("\n> Matrix List : \n\t", session.report.out);
    for (const MatrixEntry* m = session.registries.MatrixList; m; m = m->next)
        std::fprintf(session.report.out, m->next ? "%s, " : "%s\n", m->name.c_str());
    std::fputc('\n', session.report.out);
}

void print_statement(Session& session, char* text) {
    std::string name = take_name(text);
    DomainLock lock;
    if (const DomainEntry* e = lookup_domain(name, session.registries.DomainList)) {
        std::fprintf(session.report.out, "> %s := ", name.c_str());
        print_domain_constraints(session.report.out, e->domain, var_names_array(e->vars));
    } else if (const Matrix* m = lookup_matrix(name, session.registries.MatrixList)) {
        std::fprintf(session.report.out, "> %s := ", name.c_str());
        print_matrix_rows(session.report.out, m);
    } else {
        report_error(session.report, " '" + name + "' undeclared - print: command ignored");
    }
}

void del_statement(Session& session, char* text) {
    std::string name = take_name(text);
    GdkLock gdk;
    DomainLock lock;
    if (lookup_domain(name, session.registries.DomainList)) {
        session.registries.DomainList = delete_domain_in_list(session, name, session.registries.DomainList);
        std::fprintf(session.report.out, "> Succeded ! '%s' is deleted from DomainList\n", name.c_str());
    } else if (lookup_matrix(name, session.registries.MatrixList)) {
        session.registries.MatrixList = delete_matrix_in_list(session, name, session.registries.MatrixList);
        std::fprintf(session.report.out, "> Succeded ! '%s' is deleted from MatrixList\n", name.c_str());
    } else {
        report_error(session.report, "> '" + name + "' undeclared - del : command ignored\n");
    }
}
