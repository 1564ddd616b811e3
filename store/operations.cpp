// The domain-producing operations, each a PolyLib call with its work-space
// bound, and the variable names the result carries.
#include "store/operations.h"

#include <cstdio>

#include "interpreter/declarations.h"
#include "interpreter/error_report.h"

namespace {

// Names i, j, k, ... for a result whose dimension differs from its operand's.
VarNode* fresh_var_list(unsigned dimension) {
    next_index = 1;
    VarNode* vars = nullptr;
    for (unsigned k = 0; k < dimension; ++k) vars = add_variable(std::string(1, static_cast<char>(105 + k)), vars);
    next_index = 1;
    return vars;
}

}  // namespace

DomainEntry* gen_pol_binop(const std::string& result, const std::string& name1,
                           const std::string& name2, const std::string& op, DomainEntry* list) {
    const DomainEntry* first = list ? lookup_domain(name1, list) : nullptr;
    const DomainEntry* second = list ? lookup_domain(name2, list) : nullptr;
    if (!first || !second) {
        report_error(op + " : command ignored\n");
        return list;
    }
    Polyhedron* d1 = first->domain;
    Polyhedron* d2 = second->domain;
    Polyhedron* domain = nullptr;
    bool ok = polylib_guarded([&] {
        if (op == "union")
            domain = DomainUnion(d1, d2, 100);
        else if (op == "inter")
            domain = DomainIntersection(d1, d2, 100);
        else
            domain = DomainDifference(d1, d2, 100);
    });
    if (!ok) {
        report_polylib_failure("the " + op + " of '" + name1 + "' and '" + name2 + "'");
        return list;
    }
    if (!domain) return list;
    return add_domain_in_list(result, copy_var_list(first->vars), domain, list);
}

DomainEntry* gen_pol_image(const std::string& result, const std::string& domain_name,
                           const std::string& matrix_name, const std::string& op, DomainEntry* list) {
    const DomainEntry* entry = lookup_domain(domain_name, list);
    Matrix* matrix = lookup_matrix(matrix_name, MatrixList);
    if (!entry || !matrix) {
        std::printf("%s : command ignored - polyhedron '%s' or matrix '%s' does not exist !\n", op.c_str(),
                    domain_name.c_str(), matrix_name.c_str());
        return list;
    }
    Polyhedron* d = entry->domain;
    Polyhedron* domain = nullptr;
    bool ok = polylib_guarded([&] {
        domain = op == "image" ? DomainImage(d, matrix, 20) : DomainPreimage(d, matrix, 20);
    });
    if (!ok) {
        report_polylib_failure("the " + op + " of '" + domain_name + "' by '" + matrix_name + "'");
        return list;
    }
    if (!domain) return list;
    VarNode* vars = domain->Dimension == d->Dimension ? copy_var_list(entry->vars)
                                                      : fresh_var_list(domain->Dimension);
    return add_domain_in_list(result, vars, domain, list);
}

DomainEntry* gen_pol_disjoint(const std::string& result, const std::string& name, DomainEntry* list) {
    const DomainEntry* entry = lookup_domain(name, list);
    if (!entry) {
        std::printf("> DD : domain '%s' does not exist ! Command ignored\n", name.c_str());
        return list;
    }
    Polyhedron* d = entry->domain;
    Polyhedron* domain = nullptr;
    if (!polylib_guarded([&] { domain = Disjoint_Domain(d, 0, 100); })) {
        report_polylib_failure("the disjoint decomposition of '" + name + "'");
        return list;
    }
    if (!domain) return list;
    return add_domain_in_list(result, copy_var_list(entry->vars), domain, list);
}

DomainEntry* gen_pol_convex(const std::string& result, const std::string& name, DomainEntry* list) {
    const DomainEntry* entry = lookup_domain(name, list);
    if (!entry) {
        std::printf("> Convex : domain '%s' does not exist ! Command ignored\n", name.c_str());
        return list;
    }
    Polyhedron* d = entry->domain;
    Polyhedron* domain = nullptr;
    if (!polylib_guarded([&] { domain = DomainConvex(d, 100); })) {
        report_polylib_failure("the convex hull of '" + name + "'");
        return list;
    }
    if (!domain) return list;
    return add_domain_in_list(result, copy_var_list(entry->vars), domain, list);
}
