// Declarations: expression terms, constraint rows written as comparisons are
// reduced, matrix rows, and the storing of the declared domain or matrix.
#include "interpreter/declarations.h"

#include <cstdio>
#include <cstdlib>

#include "base/error_report.h"
#include "base/locks.h"
#include "gui/visu_startup.h"
#include "store/linked_list.h"
#include "calculus/domain_work.h"
#include "calculus/operations.h"
#include "worker/work_space.h"

namespace {

void cancel_for_overflow(Declaration& d) {
    note_refusal(d.report);
    if (!d.overflow_reported)
        std::fputs("> integer overflow in polyhedron declaration - Action cancelled !\n", d.report.out);
    d.overflow_reported = true;
    d.decl_failed = 1;
}

// A constraint without its undeclared term is another domain than the one
// written: the declaration is cancelled like the other faulty ones.
void cancel_for_undeclared_variable(Declaration& d, const char* name) {
    if (!d.decl_failed)
        std::fprintf(d.report.out, "> undeclared variable '%s' in polyhedron declaration - Action cancelled !\n", name);
    d.decl_failed = 1;
}

std::int64_t checked_add(Declaration& d, std::int64_t a, std::int64_t b) {
    std::int64_t r;
    if (__builtin_add_overflow(a, b, &r)) {
        cancel_for_overflow(d);
        return 0;
    }
    return r;
}

std::int64_t checked_sub(Declaration& d, std::int64_t a, std::int64_t b) {
    std::int64_t r;
    if (__builtin_sub_overflow(a, b, &r)) {
        cancel_for_overflow(d);
        return 0;
    }
    return r;
}

std::int64_t checked_mul(Declaration& d, std::int64_t a, std::int64_t b) {
    std::int64_t r;
    if (__builtin_mul_overflow(a, b, &r)) {
        cancel_for_overflow(d);
        return 0;
    }
    return r;
}

void free_name(const char* name) { std::free(const_cast<char*>(name)); }

// Cancels a declaration whose rows or PolyLib work space would pass the budget.
bool within_work_space(Declaration& d, std::size_t rows) {
    std::optional<std::string> problem = work_space_problem(d.decl_matrix->columns - 2, rows);
    if (!problem) return true;
    note_refusal(d.report);
    if (!d.decl_failed) std::fprintf(d.report.out, "> polyhedron declaration %s - Action cancelled !\n", problem->c_str());
    d.decl_failed = 1;
    return false;
}

// A new zero row at d.decl_rows, growing the matrix past its capacity if needed.
std::int64_t* new_declaration_row(Declaration& d) {
    d.decl_matrix->add_zero_row();
    return d.decl_matrix->row(d.decl_rows);
}

// Adds sign * each term into the row's variable columns.
void accumulate_terms(Declaration& d, std::int64_t* row, const TermNode* terms, int sign) {
    for (const TermNode* t = terms; t; t = t->next) {
        if (t->index < 1 || static_cast<unsigned>(t->index) + 1 >= d.decl_matrix->columns) continue;
        std::int64_t c = sign > 0 ? t->coef : checked_sub(d, 0, t->coef);
        row[t->index] = checked_add(d, row[t->index], c);
    }
}

Matrix* to_polylib_matrix(DeclarationMatrix& rows, unsigned nb_rows) {
    DomainLock lock;
    Matrix* m = Matrix_Alloc(nb_rows, rows.columns);
    for (unsigned r = 0; r < nb_rows; ++r)
        for (unsigned c = 0; c < rows.columns; ++c) value_assign(m->p[r][c], rows.row(r)[c]);
    return m;
}

// Expects domain_lock held.
MatrixPtr constraint_matrix(DeclarationMatrix& rows, unsigned nb_rows) {
    MatrixPtr constraints(Matrix_Alloc(nb_rows, rows.columns));
    for (unsigned r = 0; r < nb_rows; ++r)
        for (unsigned c = 0; c < rows.columns; ++c) value_assign(constraints->p[r][c], rows.row(r)[c]);
    return constraints;
}

// The declared domain, or none after the one line that tells why. Expects
// domain_lock held.
Polyhedron* build_domain(Declaration& d, const std::string& name) {
    MatrixPtr constraints = constraint_matrix(*d.decl_matrix, static_cast<unsigned>(d.decl_rows));
    MadeDomain made = make_domain(d.store, DomainWork{DomainWorkKind::declaration, nullptr, nullptr, constraints.get()});
    const std::string what = "the declaration of '" + name + "'";
    switch (made.outcome) {
    case DomainWorkOutcome::Made:
        if (!made.domain) report_polylib_failure(d.report, what);
        return made.domain.release();
    case DomainWorkOutcome::LibraryFailed: report_polylib_failure(d.report, what); break;
    case DomainWorkOutcome::WrappedAround: cancel_for_overflow(d); break;
    case DomainWorkOutcome::Interrupted: report_not_stored(d.report.out, name); break;
    case DomainWorkOutcome::OutOfWorkSpace:
        note_refusal(d.report);
        std::fprintf(d.report.out, "> polyhedron declaration %s - Action cancelled !\n", work_space_exceeded_text().c_str());
        break;
    case DomainWorkOutcome::WorkerFailed:
        report_error(d.report, contained_failure_message(made.run, what, domain_work_time_limit));
        break;
    }
    return nullptr;
}

void clear_declaration_state(Declaration& d) {
    d.decl_matrix.reset();
    d.decl_vars = nullptr;
    d.next_index = 1;
    d.decl_rows = 0;
    d.decl_failed = 0;
    d.overflow_reported = false;
}

}  // namespace

VarNode* add_variable(Declaration& d, const std::string& name, VarNode* list) {
    for (const VarNode* v = list; v; v = v->next) {
        if (v->name == name) {
            note_refusal(d.report);
            std::fprintf(d.report.out, "> more than one variable '%s' in polyhedron declaration - Action cancelled !\n",
                        name.c_str());
            d.decl_failed = 1;
            return list;
        }
    }
    return new VarNode{name, d.next_index++, list};
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

TermNode* scale_terms(Declaration& d, TermNode* list, std::int64_t k) {
    for (TermNode* t = list; t; t = t->next) t->coef = checked_mul(d, t->coef, k);
    return list;
}

TermNode* negate_terms(Declaration& d, TermNode* list) {
    for (TermNode* t = list; t; t = t->next) t->coef = checked_sub(d, 0, t->coef);
    return list;
}

void free_terms(TermNode* list) { delete_list(list); }

LinearExpr expr_variable(Declaration& d, const char* name) {
    TermNode* term = new_term(name, d.decl_vars);
    if (!term) {
        report_error(d.report, "there is an undeclared variable used in constraints !!\n");
        cancel_for_undeclared_variable(d, name);
    }
    free_name(name);
    return {term, 0};
}

LinearExpr expr_scaled_variable(Declaration& d, std::int64_t number, const char* name) {
    LinearExpr e = expr_variable(d, name);
    scale_terms(d, e.terms, number);
    return e;
}

LinearExpr expr_number(std::int64_t number) { return {nullptr, number}; }

LinearExpr expr_times(Declaration& d, std::int64_t number, LinearExpr e) {
    scale_terms(d, e.terms, number);
    return {e.terms, checked_mul(d, e.constant, number)};
}

LinearExpr expr_negate(Declaration& d, LinearExpr e) { return {negate_terms(d, e.terms), checked_sub(d, 0, e.constant)}; }

LinearExpr expr_add(Declaration& d, LinearExpr a, LinearExpr b) {
    return {append_terms(a.terms, b.terms), checked_add(d, a.constant, b.constant)};
}

LinearExpr expr_subtract(Declaration& d, LinearExpr a, LinearExpr b) {
    return {append_terms(a.terms, negate_terms(d, b.terms)), checked_sub(d, a.constant, b.constant)};
}

void begin_constraints(Declaration& d) {
    d.decl_matrix.emplace();
    d.decl_matrix->columns = static_cast<unsigned>(d.next_index) + 1;
}

void write_comparison(Declaration& d, const LinearExpr& left, int comparator, const LinearExpr& right) {
    if (!d.decl_matrix || !within_work_space(d, d.decl_rows + 1)) return;
    std::int64_t* row = new_declaration_row(d);
    row[0] = 1;
    bool upper = comparator == LESS_EQUAL || comparator == LESS;
    accumulate_terms(d, row, left.terms, upper ? -1 : 1);
    accumulate_terms(d, row, right.terms, upper ? 1 : -1);
    std::int64_t constant = upper ? checked_sub(d, right.constant, left.constant)
                                  : checked_sub(d, left.constant, right.constant);
    if (comparator == LESS || comparator == GREATER) constant = checked_sub(d, constant, 1);
    row[d.decl_matrix->columns - 1] = constant;
    ++d.decl_rows;
}

void write_equation(Declaration& d, const LinearExpr& left, const LinearExpr& right) {
    if (!d.decl_matrix || !within_work_space(d, d.decl_rows + 1)) return;
    std::int64_t* row = new_declaration_row(d);
    row[0] = 0;
    accumulate_terms(d, row, left.terms, 1);
    accumulate_terms(d, row, right.terms, -1);
    row[d.decl_matrix->columns - 1] = checked_sub(d, left.constant, right.constant);
    ++d.decl_rows;
}

TermNode* first_row_entry(std::int64_t value) { return new TermNode{0, value, nullptr}; }

TermNode* next_row_entry(Declaration& d, TermNode* row, std::int64_t value) {
    return new TermNode{d.next_index++, value, row};
}

void end_matrix_row(Declaration& d, TermNode* row) {
    if (d.decl_rows == 0 && !d.decl_matrix && !d.decl_failed) {
        d.decl_matrix.emplace();
        d.decl_matrix->columns = static_cast<unsigned>(d.next_index);
    } else if (!d.decl_matrix) {
        free_terms(row);
        d.next_index = 1;
        return;
    } else if (static_cast<unsigned>(d.next_index) != d.decl_matrix->columns) {
        d.decl_failed = 1;
        d.decl_matrix.reset();
        note_refusal(d.report);
        std::fputs("> Matrix declaration : error in dimension\n", d.report.out);
        free_terms(row);
        d.next_index = 1;
        return;
    }
    std::int64_t* values = new_declaration_row(d);
    for (const TermNode* t = row; t; t = t->next) values[t->index] = t->coef;
    ++d.decl_rows;
    d.next_index = 1;
    free_terms(row);
}

DomainEntry* end_domain_declaration(Declaration& d, const std::string& name, VarNode* vars, DomainEntry* list) {
    if (d.decl_failed) {
        free_var_list(d.decl_vars);
        clear_declaration_state(d);
        return list;
    }
    Polyhedron* domain = nullptr;
    if (vars) {
        if (!d.decl_matrix) begin_constraints(d);
        if (!within_work_space(d, d.decl_rows)) {
            free_var_list(vars);
            clear_declaration_state(d);
            return list;
        }
        domain = build_domain(d, name);
    } else {
        domain = Empty_Polyhedron(0);
    }
    if (domain)
        list = add_domain_in_list(d.store, name, vars, domain, list);
    else
        free_var_list(vars);
    clear_declaration_state(d);
    return list;
}

MatrixEntry* end_matrix_declaration(Declaration& d, const std::string& name, MatrixEntry* list) {
    if (d.decl_failed || !d.decl_matrix) {
        note_refusal(d.report);
        std::fputs("> error in matrix declaration\n", d.report.out);
        clear_declaration_state(d);
        return list;
    }
    Matrix* matrix = to_polylib_matrix(*d.decl_matrix, static_cast<unsigned>(d.decl_rows));
    clear_declaration_state(d);
    return add_matrix_in_list(d.store, name, matrix, list);
}

void reset_declaration(Declaration& d) {
    free_var_list(d.decl_vars);
    clear_declaration_state(d);
}

void declare_domain(Declaration& d, const char* name) {
    {
        Registries& stored = d.store.registries;
        GdkLock gdk;
        DomainLock lock;
        stored.DomainList = end_domain_declaration(d, name, d.decl_vars, stored.DomainList);
        refresh_visu(d.windows, stored);
    }
    free_name(name);
}

void declare_empty_domain(Declaration& d, const char* name) {
    {
        Registries& stored = d.store.registries;
        GdkLock gdk;
        DomainLock lock;
        stored.DomainList = end_domain_declaration(d, name, nullptr, stored.DomainList);
    }
    free_name(name);
}

void declare_matrix(Declaration& d, const char* name) {
    Registries& stored = d.store.registries;
    stored.MatrixList = end_matrix_declaration(d, name, stored.MatrixList);
    free_name(name);
}
