#include "tests/support/polylib_overflow.h"

#include "base/polylib.h"

bool overflowing_polylib_work() {
    return polylib_guarded([] {
        Matrix* m = Matrix_Alloc(3, 5);
        long long rows[3][5] = {{1, 2000000000, 1999999999, 1999999998, 2147483647},
                                {1, 1999999997, -2000000000, 1999999993, 2147483647},
                                {1, 1999999991, 1999999999, -1999999998, 2147483641}};
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 5; ++c) m->p[r][c] = rows[r][c];
        Polyhedron* p = Constraints2Polyhedron(m, 100);
        Polyhedron_Free(p);
        Matrix_Free(m);
    });
}
