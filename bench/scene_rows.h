// Domains of the drawing benchmarks, built from constraint rows.
#pragma once

#include <cstdint>
#include <vector>

#include "base/polylib.h"

using Rows = std::vector<std::vector<std::int64_t>>;

// Expects domain_lock held.
inline Polyhedron* polyhedron_from_rows(unsigned dimension, const Rows& rows) {
    Matrix* m = Matrix_Alloc(static_cast<unsigned>(rows.size()), dimension + 2);
    for (unsigned r = 0; r < rows.size(); ++r)
        for (unsigned c = 0; c < dimension + 2; ++c) m->p[r][c] = rows[r][c];
    Polyhedron* p = Constraints2Polyhedron(m, 1000);
    Matrix_Free(m);
    return p;
}

// b <= j, j - b <= i - a, i - a <= n: a triangle of (n+1)(n+2)/2 points.
inline Rows triangle(std::int64_t a, std::int64_t b, std::int64_t n) {
    return {{1, 0, 1, -b}, {1, 1, -1, b - a}, {1, -1, 0, a + n}};
}
