// Domain and matrix declarations: linear expressions as term lists, the rows
// under construction, and the end of a declaration that stores the result.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "gui/viewer_windows.h"
#include "store/registry.h"

// One term of a linear expression, or one entry of a matrix row.
struct TermNode {
    int index;            // variable index (constraint) or column from 0 (matrix row)
    std::int64_t coef;
    TermNode* next;
};

// The value of an expression while it is parsed. Trivially copyable: it lives
// on the parser's stack.
struct LinearExpr {
    TermNode* terms;
    std::int64_t constant;
};

// Comparator codes of the grammar.
enum Comparator { LESS_EQUAL = 1, GREATER_EQUAL = 2, LESS = 3, GREATER = 4 };

// Rows under construction in PolyLib constraint (or plain matrix) layout.
// It grows past its nominal capacity instead of refusing long declarations.
struct DeclarationMatrix {
    unsigned columns;
    std::vector<std::int64_t> values;   // decl_rows * columns, row-major

    std::int64_t* row(unsigned r) { return values.data() + static_cast<std::size_t>(r) * columns; }
    void add_zero_row() { values.resize(values.size() + columns, 0); }
};

// The declaration under way in one session: one is parsed at a time, by the
// thread that reads the session's statements. The result goes to `store`,
// and to the viewer's windows when they show it.
struct Declaration {
    Declaration(StoreSession& store, ViewerWindows& windows) : store(store), windows(windows), report(store.report) {}
    Declaration(const Declaration&) = delete;
    Declaration& operator=(const Declaration&) = delete;

    StoreSession& store;
    ViewerWindows& windows;
    StatementReport& report;
    VarNode* decl_vars = nullptr;
    int next_index = 1;
    std::optional<DeclarationMatrix> decl_matrix;
    int decl_rows = 0;
    int decl_failed = 0;
    bool overflow_reported = false;   // the overflow line is written once per declaration
};

VarNode* add_variable(Declaration& d, const std::string& name, VarNode* list);
TermNode* new_term(const std::string& name, const VarNode* vars);
TermNode* append_terms(TermNode* a, TermNode* b);
TermNode* scale_terms(Declaration& d, TermNode* list, std::int64_t k);
TermNode* negate_terms(Declaration& d, TermNode* list);
void free_terms(TermNode* list);

// Expression values, with overflow of the 64-bit arithmetic cancelling the
// declaration.
LinearExpr expr_variable(Declaration& d, const char* name);
LinearExpr expr_scaled_variable(Declaration& d, std::int64_t number, const char* name);
LinearExpr expr_number(std::int64_t number);
LinearExpr expr_times(Declaration& d, std::int64_t number, LinearExpr e);
LinearExpr expr_negate(Declaration& d, LinearExpr e);
LinearExpr expr_add(Declaration& d, LinearExpr a, LinearExpr b);
LinearExpr expr_subtract(Declaration& d, LinearExpr a, LinearExpr b);

void begin_constraints(Declaration& d);
// Writes the row of "left comparator right"; the value of the chain is left.
void write_comparison(Declaration& d, const LinearExpr& left, int comparator, const LinearExpr& right);
void write_equation(Declaration& d, const LinearExpr& left, const LinearExpr& right);

// Matrix rows: entries come newest first.
TermNode* first_row_entry(std::int64_t value);
TermNode* next_row_entry(Declaration& d, TermNode* row, std::int64_t value);
void end_matrix_row(Declaration& d, TermNode* row);

DomainEntry* end_domain_declaration(Declaration& d, const std::string& name, VarNode* vars, DomainEntry* list);
MatrixEntry* end_matrix_declaration(Declaration& d, const std::string& name, MatrixEntry* list);
void reset_declaration(Declaration& d);

// Statements around the declarations, with their locks.
void declare_domain(Declaration& d, const char* name);
void declare_empty_domain(Declaration& d, const char* name);
void declare_matrix(Declaration& d, const char* name);
