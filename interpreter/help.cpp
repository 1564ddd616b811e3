// The help command: the statement forms of the language.
#include "interpreter/help.h"

#include <cstdio>

void print_help(FILE* out) {
    std::fputs(" \t ---------- COMMANDS - SYNTAX ----------\n\n", out);
    std::fputs(
        " Declarations\n"
        "   P := { i, j, N | 0 <= j <= i <= N, i + j = 2 } ; domain by variables and constraints\n"
        "   P := { | } ;                                    the 0-dimensional empty domain\n"
        "   M := ((1, 0, 2), (0, 1, -1)) ;                  integer matrix, row by row\n"
        "   constraints: chains of <=, >=, <, > and equations with =, separated by ','\n"
        "   expressions: 3i, 2 * (i + 1), -j, i - j + 4 (integer coefficients)\n"
        "\n"
        " Operations (the result is stored under the name on the left)\n"
        "   R := P union Q ;      or  R := P + Q ;        union\n"
        "   R := P inter Q ;      or  R := P . Q ;        intersection\n"
        "   R := P diff Q ;       or  R := P - Q ;        difference\n"
        "   R := image (P, M) ;                           image of P by matrix M\n"
        "   R := preimage (P, M) ;                        preimage of P by matrix M\n"
        "   R := dd P ;                                   disjoint decomposition\n"
        "   R := convex P ;                               convex hull\n"
        "\n"
        " Parametric analysis (the context is a domain over the parameters)\n"
        "   ehrhart (P, K) ;      Ehrhart polynomials of P in context K\n"
        "   vertices (P, K) ;     parametric vertices of P in context K\n"
        "\n"
        " Printing and registry\n"
        "   list ;                all domains and matrices\n"
        "   print P ;             a domain or matrix in the declaration notation\n"
        "   PLprint P ;           a domain or matrix in PolyLib's form\n"
        "   PLcons P ;            PolyLib constraint matrices of a domain\n"
        "   PLrays P ;            PolyLib ray matrices of a domain\n"
        "   del P ;               delete a domain or matrix\n"
        "\n"
        " Exchange with other tools\n"
        "   P := [N] -> { [i, j] : 0 <= j <= i <= N } ;       domain in isl notation; parameters\n"
        "                         become its last dimensions; pieces joined by 'or' or ';'\n"
        "   isl P ;               P in isl notation\n"
        "   isl (P, K) ;          the same, its last dimensions (as many as K has) as parameters\n"
        "\n"
        " Viewer\n"
        "   initvisu (2, K) ;     start the viewer for 2 dimensions with context K\n"
        "   visu (P) ;            show or mask P in the viewer\n"
        "   parameters (N = 4) ;  give the viewer's parameters these values\n"
        "   figure \"out.svg\" ;    write the picture shown (.svg, .pdf, .png, .tex),\n"
        "   figure \"out.png\" (640, 480) ;   at the canvas's size or the one given\n"
        "\n"
        " help ;                  this summary\n"
        " quit                    leave (no ';' needed)\n"
        "\n",
        out);
}
