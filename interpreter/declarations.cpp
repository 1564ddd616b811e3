// Declarations: expression terms, constraint rows written as comparisons are
// reduced, matrix rows, and the storing of the declared domain or matrix.
#include "interpreter/declarations.h"

#include <cstdio>
#include <cstdlib>

#include "base/error_report.h"
#include "base/locks.h"
#include "gui/visu_startup.h"
#include "store/linked_list.h"
#include "store/operations.h"
#include "store/work_space.h"

VarNode* decl_vars = nullptr;
int next_index = 1;
std::optional<DeclarationMatrix> decl_matrix;
int decl_rows = 0;
int decl_failed = 0;

namespace {

bool overflow_reported = false;

void cancel_for_overflow() {
    note_refusal();
    if (!overflow_reported)
        std::fputs("> integer overflow in polyhedron declaration - Action cancelled !\n", stdout);
    overflow_reported = true;
    decl_failed = 1;
}

// A constraint without its undeclared term is another domain than the one
// written: the declaration is cancelled like the other faulty ones.
void cancel_for_undeclared_variable(const char* name) {
    if (!decl_failed)
        std::printf("> undeclared variable '%s' in polyhedron declaration - Action cancelled !\n", name);
    decl_failed = 1;
}

std::int64_t checked_add(std::int64_t a, std::int64_t b) {
    std::int64_t r;
    if (__builtin_add_overflow(a, b, &r)) {
        cancel_for_overflow();
        return 0;
    }
    return r;
}

std::int64_t checked_sub(std::int64_t a, std::int64_t b) {
    std::int64_t r;
    if (__builtin_sub_overflow(a, b, &r)) {
        cancel_for_overflow();
        return 0;
    }
    return r;
}

std::int64_t checked_mul(std::int64_t a, std::int64_t b) {
    std::int64_t r;
    if (__builtin_mul_overflow(a, b, &r)) {
        cancel_for_overflow();
        return 0;
    }
    return r;
}

void free_name(const char* name) { std::free(const_cast<char*>(name)); }

// Cancels a declaration whose rows or PolyLib work space would pass the budget.
bool within_work_space(std::size_t rows) {
    std::optional<std::string> problem = work_space_problem(decl_matrix->columns - 2, rows);
    if (!problem) return true;
    note_refusal();
    if (!decl_failed) std::printf("> polyhedron declaration %s - Action cancelled !\n", problem->c_str());
    decl_failed = 1;
    return false;
}

// A new zero row at decl_rows, growing the matrix past its capacity if needed.
std::int64_t* new_declaration_row() {
    decl_matrix->add_zero_row();
    return decl_matrix->row(decl_rows);
}

// Adds sign * each term into the row's variable columns.
void accumulate_terms(std::int64_t* row, const TermNode* terms, int sign) {
    for (const TermNode* t = terms; t; t = t->next) {
        if (t->index < 1 || static_cast<unsigned>(t->index) + 1 >= decl_matrix->columns) continue;
        std::int64_t c = sign > 0 ? t->coef : checked_sub(0, t->coef);
        row[t->index] = checked_add(row[t->index], c);
    }
}

Matrix* to_polylib_matrix(DeclarationMatrix& rows, unsigned nb_rows) {
    DomainLock lock;
    Matrix* m = Matrix_Alloc(nb_rows, rows.columns);
    for (unsigned r = 0; r < nb_rows; ++r)
        for (unsigned c = 0; c < rows.columns; ++c) value_assign(m->p[r][c], rows.row(r)[c]);
    return m;
}

ConeConstraints declared_constraints(DeclarationMatrix& rows, unsigned nb_rows) {
    ConeConstraints declared;
    for (unsigned r = 0; r < nb_rows; ++r) {
        const std::int64_t* row = rows.row(r);
        ExactRow w;
        for (unsigned c = 1; c < rows.columns; ++c) w.emplace_back(static_cast<long>(row[c]));
        (row[0] == 0 ? declared.equalities : declared.inequalities).push_back(std::move(w));
    }
    return declared;
}

// Expects domain_lock held. Null when PolyLib failed.
Polyhedron* build_domain(DeclarationMatrix& rows, unsigned nb_rows) {
    MatrixPtr constraints(Matrix_Alloc(nb_rows, rows.columns));
    for (unsigned r = 0; r < nb_rows; ++r)
        for (unsigned c = 0; c < rows.columns; ++c) value_assign(constraints->p[r][c], rows.row(r)[c]);
    Polyhedron* domain = nullptr;
    bool ok = polylib_guarded([&] { domain = Constraints2Polyhedron(constraints.get(), 100); });
    return ok ? domain : nullptr;
}

void clear_declaration_state() {
    decl_matrix.reset();
    decl_vars = nullptr;
    next_index = 1;
    decl_rows = 0;
    decl_failed = 0;
    overflow_reported = false;
}

}  // namespace

VarNode* add_variable(const std::string& name, VarNode* list) {
    for (const VarNode* v = list; v; v = v->next) {
        if (v->name == name) {
            note_refusal();
            std::printf("> more than one variable '%s' in polyhedron declaration - Action cancelled !\n",
                        name.c_str());
            decl_failed = 1;
            return list;
        }
    }
    return new VarNode{name, next_index++, list};
}

TermNode* new_term(const std::string& name, const VarNode* vars) {
    for (const VarNode* v = vars; v; v = v->next)
        if (v->name == name) return new TermNode{v->index, 1, nullptr};
    return nullptr;
}

TermNode* append_terms(TermNode* a, TermNode* b) {
    if (!a) return b;
    TermNode* last = a;
    while (last->next) last = last->next;
    last->next = b;
    return a;
}

TermNode* scale_terms(TermNode* list, std::int64_t k) {
    for (TermNode* t = list; t; t = t->next) t->coef = checked_mul(t->coef, k);
    return list;
}

TermNode* negate_terms(TermNode* list) {
    for (TermNode* t = list; t; t = t->next) t->coef = checked_sub(0, t->coef);
    return list;
}

void free_terms(TermNode* list) { delete_list(list); }

LinearExpr expr_variable(const char* name) {
    TermNode* term = new_term(name, decl_vars);
    if (!term) {
        report_error("there is an undeclared variable used in constraints !!\n");
        cancel_for_undeclared_variable(name);
    }
    free_name(name);
    return {term, 0};
}

LinearExpr expr_scaled_variable(std::int64_t number, const char* name) {
    LinearExpr e = expr_variable(name);
    scale_terms(e.terms, number);
    return e;
}

LinearExpr expr_number(std::int64_t number) { return {nullptr, number}; }

LinearExpr expr_times(std::int64_t number, LinearExpr e) {
    scale_terms(e.terms, number);
    return {e.terms, checked_mul(e.constant, number)};
}

LinearExpr expr_negate(LinearExpr e) { return {negate_terms(e.terms), checked_sub(0, e.constant)}; }

LinearExpr expr_add(LinearExpr a, LinearExpr b) {
    return {append_terms(a.terms, b.terms), checked_add(a.constant, b.constant)};
}

LinearExpr expr_subtract(LinearExpr a, LinearExpr b) {
    return {append_terms(a.terms, negate_terms(b.terms)), checked_sub(a.constant, b.constant)};
}

void begin_constraints() {
    decl_matrix.emplace();
    decl_matrix->columns = static_cast<unsigned>(next_index) + 1;
}

void write_comparison(const LinearExpr& left, int comparator, const LinearExpr& right) {
    if (!decl_matrix || !within_work_space(decl_rows + 1)) return;
    std::int64_t* row = new_declaration_row();
    row[0] = 1;
    bool upper = comparator == LESS_EQUAL || comparator == LESS;
    accumulate_terms(row, left.terms, upper ? -1 : 1);
    accumulate_terms(row, right.terms, upper ? 1 : -1);
    std::int64_t constant = upper ? checked_sub(right.constant, left.constant)
                                  : checked_sub(left.constant, right.constant);
    if (comparator == LESS || comparator == GREATER) constant = checked_sub(constant, 1);
    row[decl_matrix->columns - 1] = constant;
    ++decl_rows;
}

void write_equation(const LinearExpr& left, const LinearExpr& right) {
    if (!decl_matrix || !within_work_space(decl_rows + 1)) return;
    std::int64_t* row = new_declaration_row();
    row[0] = 0;
    accumulate_terms(row, left.terms, 1);
    accumulate_terms(row, right.terms, -1);
    row[decl_matrix->columns - 1] = checked_sub(left.constant, right.constant);
    ++decl_rows;
}

TermNode* first_row_entry(std::int64_t value) { return new TermNode{0, value, nullptr}; }

TermNode* next_row_entry(TermNode* row, std::int64_t value) {
    return new TermNode{next_index++, value, row};
}

void end_matrix_row(TermNode* row) {
    if (decl_rows == 0 && !decl_matrix && !decl_failed) {
        decl_matrix.emplace();
        decl_matrix->columns = static_cast<unsigned>(next_index);
    } else if (!decl_matrix) {
        free_terms(row);
        next_index = 1;
        return;
    } else if (static_cast<unsigned>(next_index) != decl_matrix->columns) {
        decl_failed = 1;
        decl_matrix.reset();
        note_refusal();
        std::fputs("> Matrix declaration : error in dimension\n", stdout);
        free_terms(row);
        next_index = 1;
        return;
    }
    std::int64_t* values = new_declaration_row();
    for (const TermNode* t = row; t; t = t->next) values[t->index] = t->coef;
    ++decl_rows;
    next_index = 1;
    free_terms(row);
}

DomainEntry* end_domain_declaration(const std::string& name, VarNode* vars, DomainEntry* list) {
    if (decl_failed) {
        free_var_list(decl_vars);
        clear_declaration_state();
        return list;
    }
    Polyhedron* domain = nullptr;
    if (vars) {
        if (!decl_matrix) begin_constraints();
        if (!within_work_space(decl_rows)) {
            free_var_list(vars);
            clear_declaration_state();
            return list;
        }
        domain = build_domain(*decl_matrix, static_cast<unsigned>(decl_rows));
        if (domain && !exact_declared_domain(domain, declared_constraints(*decl_matrix, decl_rows))) {
            DomainPtr wrapped(domain);
            cancel_for_overflow();
            free_var_list(vars);
            clear_declaration_state();
            return list;
        }
    } else {
        domain = Empty_Polyhedron(0);
    }
    if (domain) {
        list = add_domain_in_list(name, vars, domain, list);
    } else {
        report_polylib_failure("the declaration of '" + name + "'");
        free_var_list(vars);
    }
    clear_declaration_state();
    return list;
}

MatrixEntry* end_matrix_declaration(const std::string& name, MatrixEntry* list) {
    if (decl_failed || !decl_matrix) {
        note_refusal();
        std::fputs("> error in matrix declaration\n", stdout);
        clear_declaration_state();
        return list;
    }
    Matrix* matrix = to_polylib_matrix(*decl_matrix, static_cast<unsigned>(decl_rows));
    clear_declaration_state();
    return add_matrix_in_list(name, matrix, list);
}

void reset_declaration() {
    free_var_list(decl_vars);
    clear_declaration_state();
}

void declare_domain(const char* name) {
    {
        GdkLock gdk;
        DomainLock lock;
        DomainList = end_domain_declaration(name, decl_vars, DomainList);
        refresh_visu();
    }
    free_name(name);
}

void declare_empty_domain(const char* name) {
    {
        GdkLock gdk;
        DomainLock lock;
        DomainList = end_domain_declaration(name, nullptr, DomainList);
    }
    free_name(name);
}

void declare_matrix(const char* name) {
    MatrixList = end_matrix_declaration(name, MatrixList);
    free_name(name);
}
