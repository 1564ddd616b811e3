// PolyLib's own reading of matrix files, as its programs do it: Matrix_Read
// on standard input until the input ends, each matrix made a polyhedron.
// Prints every polyhedron's constraint rows, one line each, after a line
// "polyhedron".
extern "C" {
#include <polylib/polylib64.h>
}

#include <cstdio>

int main() {
    while (Matrix* m = Matrix_Read()) {
        Polyhedron* p = Constraints2Polyhedron(m, 100);
        std::puts("polyhedron");
        for (unsigned r = 0; r < p->NbConstraints; ++r) {
            for (unsigned c = 0; c < p->Dimension + 2; ++c)
                std::printf(c ? " %ld" : "%ld", static_cast<long>(p->Constraint[r][c]));
            std::putchar('\n');
        }
        Polyhedron_Free(p);
        Matrix_Free(m);
    }
    return 0;
}
