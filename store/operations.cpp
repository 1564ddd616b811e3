// The domain-producing operations, each a PolyLib call with its work-space
// bound, and the variable names the result carries.
#include "store/operations.h"

#include <cstdio>

#include "base/error_report.h"
#include "store/disjoint_decomposition.h"

namespace {

constexpr int first_fresh_name = 105;   // 'i'
constexpr int last_single_byte_name = 255;

std::string fresh_name(unsigned position) {
    unsigned code = first_fresh_name + position;
    if (code <= last_single_byte_name) return std::string(1, static_cast<char>(code));
    return "v" + std::to_string(position);
}

// Names i, j, k, ... for a result whose dimension differs from its operand's.
// The names are distinct, so none needs the declaration's duplicate check.
VarNode* fresh_var_list(unsigned dimension) {
    VarNode* vars = nullptr;
    for (unsigned k = 0; k < dimension; ++k) vars = new VarNode{fresh_name(k), static_cast<int>(k) + 1, vars};
    return vars;
}

using BinaryOperation = Polyhedron* (*)(Polyhedron*, Polyhedron*, unsigned);

BinaryOperation binary_operation(const std::string& op) {
    if (op == "union") return DomainUnion;
    if (op == "inter") return DomainIntersection;
    return DomainDifference;
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

}  // namespace

std::optional<std::string> image_matrix_problem(const Matrix* matrix, unsigned dimension, const std::string& op) {
    bool image = op == "image";
    unsigned checked = image ? matrix->NbColumns : matrix->NbRows;
    if (matrix->NbRows == 0 || matrix->NbColumns == 0 || checked != dimension + 1)
        return "it is " + matrix_size(matrix) + ", and the " + op + " of a domain of dimension " +
               std::to_string(dimension) + " needs " + std::to_string(dimension + 1) + (image ? " columns" : " rows");
    if (!affine_last_row(matrix)) return "its last row must be (0, ..., 0, d) with d > 0, as for an affine map";
    return std::nullopt;
}

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
    if (d1->Dimension != d2->Dimension) {
        report_error(op + " : '" + name1 + "' has " + dimensions(d1->Dimension) + " and '" + name2 + "' has " +
                     dimensions(d2->Dimension) + " - command ignored");
        return list;
    }
    BinaryOperation operation = binary_operation(op);
    Polyhedron* domain = nullptr;
    if (!polylib_guarded([&] { domain = operation(d1, d2, 100); })) {
        report_polylib_failure(binop_description(op, name1, name2));
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
    if (auto problem = image_matrix_problem(matrix, d->Dimension, op)) {
        report_error(op + " : matrix '" + matrix_name + "' cannot map domain '" + domain_name + "': " + *problem +
                     " - command ignored");
        return list;
    }
    bool image = op == "image";
    Polyhedron* domain = nullptr;
    if (!polylib_guarded([&] { domain = image ? DomainImage(d, matrix, 20) : DomainPreimage(d, matrix, 20); })) {
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
    DomainPtr domain;
    try {
        domain = sound_disjoint_domain(entry->domain);
    } catch (const DecompositionFailure&) {
        report_polylib_failure("the disjoint decomposition of '" + name + "'");
        return list;
    }
    return add_domain_in_list(result, copy_var_list(entry->vars), domain.release(), list);
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
