// The registry commands: list, print and del.
#include "interpreter/statements.h"

#include <cstdio>

#include "base/error_report.h"
#include "base/locks.h"
#include "interpreter/owned_name.h"
#include "store/printer.h"
#include "store/registry.h"

void list_statement() {
    DomainLock lock;
    std::fputs("> Domain List: \n", stdout);
    for (const DomainEntry* e = DomainList; e; e = e->next) {
        std::printf(">   %s := ", e->name.c_str());
        print_domain_constraints(e->domain, var_names_array(e->vars));
    }
    std::fputs("\n> Matrix List : \n\t", stdout);
    for (const MatrixEntry* m = MatrixList; m; m = m->next)
        std::printf(m->next ? "%s, " : "%s\n", m->name.c_str());
    std::fputc('\n', stdout);
}

void print_statement(char* text) {
    std::string name = take_name(text);
    DomainLock lock;
    if (const DomainEntry* e = lookup_domain(name, DomainList)) {
        std::printf("> %s := ", name.c_str());
        print_domain_constraints(e->domain, var_names_array(e->vars));
    } else if (const Matrix* m = lookup_matrix(name, MatrixList)) {
        std::printf("> %s := ", name.c_str());
        print_matrix_rows(m);
    } else {
        report_error(" '" + name + "' undeclared - print: command ignored");
    }
}

void del_statement(char* text) {
    std::string name = take_name(text);
    GdkLock gdk;
    DomainLock lock;
    if (lookup_domain(name, DomainList)) {
        DomainList = delete_domain_in_list(name, DomainList);
        std::printf("> Succeded ! '%s' is deleted from DomainList\n", name.c_str());
    } else if (lookup_matrix(name, MatrixList)) {
        MatrixList = delete_matrix_in_list(name, MatrixList);
        std::printf("> Succeded ! '%s' is deleted from MatrixList\n", name.c_str());
    } else {
        report_error("> '" + name + "' undeclared - del : command ignored\n");
    }
}
