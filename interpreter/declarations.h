// Domain and matrix declarations: linear expressions as term lists, the rows
// under construction, and the end of a declaration that stores the result.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

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

// Declaration state: one declaration is parsed at a time, on the main thread.
extern VarNode* decl_vars;
extern int next_index;
extern std::optional<DeclarationMatrix> decl_matrix;
extern int decl_rows;
extern int decl_failed;

VarNode* add_variable(const std::string& name, VarNode* list);
TermNode* new_term(const std::string& name, const VarNode* vars);
TermNode* append_terms(TermNode* a, TermNode* b);
TermNode* scale_terms(TermNode* list, std::int64_t k);
TermNode* negate_terms(TermNode* list);
void free_terms(TermNode* list);

// Expression values, with overflow of the 64-bit arithmetic cancelling the
// declaration.
LinearExpr expr_variable(const char* name);
LinearExpr expr_scaled_variable(std::int64_t number, const char* name);
LinearExpr expr_number(std::int64_t number);
LinearExpr expr_times(std::int64_t number, LinearExpr e);
LinearExpr expr_negate(LinearExpr e);
LinearExpr expr_add(LinearExpr a, LinearExpr b);
LinearExpr expr_subtract(LinearExpr a, LinearExpr b);

void begin_constraints();
// Writes the row of "left comparator right"; the value of the chain is left.
void write_comparison(const LinearExpr& left, int comparator, const LinearExpr& right);
void write_equation(const LinearExpr& left, const LinearExpr& right);

// Matrix rows: entries come newest first.
TermNode* first_row_entry(std::int64_t value);
TermNode* next_row_entry(TermNode* row, std::int64_t value);
void end_matrix_row(TermNode* row);

DomainEntry* end_domain_declaration(const std::string& name, VarNode* vars, DomainEntry* list);
MatrixEntry* end_matrix_declaration(const std::string& name, MatrixEntry* list);
void reset_declaration();

// Statements around the declarations, with their locks.
void declare_domain(const char* name);
void declare_empty_domain(const char* name);
void declare_matrix(const char* name);
