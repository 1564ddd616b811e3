// Constraint-notation and matrix-row printers. Each constraint row is
// normalised so that its first variable has a positive coefficient on the
// left. A definition echoes its domain, so the text is built in memory and
// written at once rather than through printf term by term.
#include "store/printer.h"

#include <charconv>
#include <cstdio>
#include <string>
#include <string_view>

namespace {

std::uint64_t magnitude(std::int64_t v) {
    return v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
}

void append_number(std::string& text, std::uint64_t value) {
    char digits[24];
    auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    text.append(digits, end);
}

std::string_view dimension_name(const std::vector<std::string>& names, unsigned k) {
    return k < names.size() ? std::string_view(names[k]) : std::string_view("?");
}

// Appends the terms whose coefficient has the given sign; returns how many.
int append_side(std::string& text, const Value* row, unsigned dimension, int sign,
                const std::vector<std::string>& names) {
    int written = 0;
    for (unsigned k = 0; k < dimension; ++k) {
        std::int64_t c = value_of(row[k + 1]);
        if (c == 0 || (c > 0) != (sign > 0)) continue;
        if (written > 0) text += '+';
        std::uint64_t m = magnitude(c);
        if (m != 1) append_number(text, m);
        text += dimension_name(names, k);
        ++written;
    }
    return written;
}

void append_constraint(std::string& text, const Value* row, unsigned dimension,
                       const std::vector<std::string>& names) {
    int leading = 1;
    for (unsigned k = 0; k < dimension; ++k) {
        std::int64_t c = value_of(row[k + 1]);
        if (c != 0) {
            leading = c > 0 ? 1 : -1;
            break;
        }
    }
    bool equality = value_of(row[0]) == 0;
    std::int64_t constant = value_of(row[dimension + 1]);

    if (append_side(text, row, dimension, leading, names) == 0) text += '0';
    text += equality ? " = " : (leading > 0 ? " >= " : " <= ");
    int right_terms = append_side(text, row, dimension, -leading, names);
    bool constant_positive_on_left = leading > 0 ? constant > 0 : constant < 0;
    if (right_terms > 0) {
        if (constant != 0) {
            text += constant_positive_on_left ? '-' : '+';
            append_number(text, magnitude(constant));
        }
    } else {
        if (constant_positive_on_left) text += '-';
        append_number(text, magnitude(constant));
    }
}

bool is_positivity_row(const Value* row, unsigned dimension) {
    for (unsigned k = 0; k < dimension; ++k)
        if (value_of(row[k + 1]) != 0) return false;
    return value_of(row[0]) == 1 && value_of(row[dimension + 1]) == 1;
}

}  // namespace

std::string constraint_text(const Value* row, unsigned dimension, const std::vector<std::string>& names) {
    std::string text;
    append_constraint(text, row, dimension, names);
    return text;
}

void print_domain_constraints(FILE* out, const Polyhedron* domain, const std::vector<std::string>& names) {
    std::string text;
    for (const Polyhedron* p = domain; p; p = p->next) {
        unsigned d = p->Dimension;
        if (d == 0) {
            text += "{ | }\n";
            break;
        }
        text += "  { ";
        text += dimension_name(names, 0);
        for (unsigned k = 1; k < d; ++k) {
            text += ", ";
            text += dimension_name(names, k);
        }
        text += " | ";
        for (unsigned r = 0; r < p->NbConstraints; ++r) {
            const Value* row = p->Constraint[r];
            if (is_positivity_row(row, d)) continue;
            if (r != 0) text += ", ";
            append_constraint(text, row, d, names);
        }
        text += " }\n";
        if (p->next) text += "UNION ";
    }
    std::fwrite(text.data(), 1, text.size(), out);
}

void print_matrix_rows(FILE* out, const Matrix* matrix) {
    std::fputs("(\n", out);
    for (unsigned r = 0; r < matrix->NbRows; ++r) {
        std::fputs("             ( ", out);
        for (unsigned c = 0; c < matrix->NbColumns; ++c) {
            bool last = c + 1 == matrix->NbColumns;
            std::fprintf(out, last ? "%4ld  )" : "%4ld ,", static_cast<long>(value_of(matrix->p[r][c])));
        }
        if (r + 1 != matrix->NbRows) std::fputs(",\n", out);
    }
    std::fputs("   )\n", out);
}
