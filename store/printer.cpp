// Constraint-notation and matrix-row printers. Each constraint row is
// normalised so that its first variable has a positive coefficient on the left.
#include "store/printer.h"

#include <cinttypes>
#include <cstdio>
#include <string>

namespace {

std::uint64_t magnitude(std::int64_t v) {
    return v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
}

const char* dimension_name(const std::vector<std::string>& names, unsigned k) {
    return k < names.size() ? names[k].c_str() : "?";
}

// Writes the terms whose coefficient has the given sign; returns how many.
int print_side(const Value* row, unsigned dimension, int sign, const std::vector<std::string>& names) {
    int written = 0;
    for (unsigned k = 0; k < dimension; ++k) {
        std::int64_t c = value_of(row[k + 1]);
        if (c == 0 || (c > 0) != (sign > 0)) continue;
        if (written > 0) std::fputc('+', stdout);
        std::uint64_t m = magnitude(c);
        if (m != 1) std::printf("%" PRIu64, m);
        std::fputs(dimension_name(names, k), stdout);
        ++written;
    }
    return written;
}

void print_constraint(const Value* row, unsigned dimension, const std::vector<std::string>& names) {
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

    if (print_side(row, dimension, leading, names) == 0) std::fputc('0', stdout);
    std::fputs(equality ? " = " : (leading > 0 ? " >= " : " <= "), stdout);
    int right_terms = print_side(row, dimension, -leading, names);
    bool constant_positive_on_left = leading > 0 ? constant > 0 : constant < 0;
    if (right_terms > 0) {
        if (constant != 0) std::printf("%c%" PRIu64, constant_positive_on_left ? '-' : '+', magnitude(constant));
    } else {
        if (constant_positive_on_left) std::fputc('-', stdout);
        std::printf("%" PRIu64, magnitude(constant));
    }
}

bool is_positivity_row(const Value* row, unsigned dimension) {
    for (unsigned k = 0; k < dimension; ++k)
        if (value_of(row[k + 1]) != 0) return false;
    return value_of(row[0]) == 1 && value_of(row[dimension + 1]) == 1;
}

}  // namespace

void print_domain_constraints(const Polyhedron* domain, const std::vector<std::string>& names) {
    for (const Polyhedron* p = domain; p; p = p->next) {
        unsigned d = p->Dimension;
        if (d == 0) {
            std::fputs("{ | }\n", stdout);
            return;
        }
        std::printf("  { %s", dimension_name(names, 0));
        for (unsigned k = 1; k < d; ++k) std::printf(", %s", dimension_name(names, k));
        std::fputs(" | ", stdout);
        for (unsigned r = 0; r < p->NbConstraints; ++r) {
            const Value* row = p->Constraint[r];
            if (is_positivity_row(row, d)) continue;
            if (r != 0) std::fputs(", ", stdout);
            print_constraint(row, d, names);
        }
        std::fputs(" }\n", stdout);
        if (p->next) std::fputs("UNION ", stdout);
    }
}

void print_matrix_rows(const Matrix* matrix) {
    std::fputs("(\n", stdout);
    for (unsigned r = 0; r < matrix->NbRows; ++r) {
        std::fputs("             ( ", stdout);
        for (unsigned c = 0; c < matrix->NbColumns; ++c) {
            bool last = c + 1 == matrix->NbColumns;
            std::printf(last ? "%4ld  )" : "%4ld ,", static_cast<long>(value_of(matrix->p[r][c])));
        }
        if (r + 1 != matrix->NbRows) std::fputs(",\n", stdout);
    }
    std::fputs("   )\n", stdout);
}
