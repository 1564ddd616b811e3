// Operation and analysis statements through the whole program: exact
// standard output for each script.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "tests/support/run_program.h"

namespace {

struct Transcript {
    const char* name;
    const char* input;
    const char* expected;
    bool polylib_throws = false;   // PolyLib loses what it had allocated when it throws
};

// Runs the script; where PolyLib is made to throw, a leak check of the
// sanitizer build would only report the library's own losses.
ProgramResult run_transcript(const Transcript& t) {
    if (!t.polylib_throws) return run_qarnest(t.input);
    const char* saved = std::getenv("ASAN_OPTIONS");
    std::string previous = saved ? saved : "";
    setenv("ASAN_OPTIONS", (previous.empty() ? "detect_leaks=0" : previous + ":detect_leaks=0").c_str(), 1);
    ProgramResult r = run_qarnest(t.input);
    if (saved)
        setenv("ASAN_OPTIONS", previous.c_str(), 1);
    else
        unsetenv("ASAN_OPTIONS");
    return r;
}

void PrintTo(const Transcript& t, std::ostream* os) { *os << t.name; }

class OperationsTranscript : public ::testing::TestWithParam<Transcript> {};

TEST_P(OperationsTranscript, WritesExactOutput) {
    const Transcript& t = GetParam();
    ProgramResult r = run_transcript(t);
    EXPECT_EQ(r.exit_status, 0) << r.err;
    EXPECT_EQ(r.out, t.expected);
}

std::string transcript_name(const ::testing::TestParamInfo<Transcript>& info) { return info.param.name; }

// Definitions: union, intersection, difference, image, preimage, dd and convex, with the
// names their results carry and the messages for missing operands.
const Transcript definitions[] = {
    {"UnionOfTwoDomains",
     "A := { i | 0 <= i <= 5 } ;\n"
     "B := { i | 10 <= i <= 20 } ;\n"
     "R := A union B ;\n",
     "<1> > A :=   { i | i <= 5, i >= 0 }\n"
     "<2> > B :=   { i | i <= 20, i >= 10 }\n"
     "<3> > R :=   { i | i <= 5, i >= 0 }\n"
     "UNION   { i | i <= 20, i >= 10 }\n"
     "<4> End.\n"},
    {"IntersectionOfTwoDomains",
     "A := { i, j | 0 <= i <= 5, 0 <= j <= 5 } ;\n"
     "B := { i, j | 3 <= i <= 8, j >= 2 } ;\n"
     "R := A inter B ;\n",
     "<1> > A :=   { i, j | i <= 5, i >= 0, j <= 5, j >= 0 }\n"
     "<2> > B :=   { i, j | i <= 8, i >= 3, j >= 2 }\n"
     "<3> > R :=   { i, j | i <= 5, j <= 5, i >= 3, j >= 2 }\n"
     "<4> End.\n"},
    {"DifferenceOfTwoDomains",
     "A := { i | 0 <= i <= 10 } ;\n"
     "B := { i | 3 <= i <= 5 } ;\n"
     "R := A diff B ;\n",
     "<1> > A :=   { i | i <= 10, i >= 0 }\n"
     "<2> > B :=   { i | i <= 5, i >= 3 }\n"
     "<3> > R :=   { i | i <= 10, i >= 6 }\n"
     "UNION   { i | i >= 0, i <= 2 }\n"
     "<4> End.\n"},
    {"ResultNamesComeFromTheFirstOperand",
     "A := { x, y | x >= 0, y >= 0 } ;\n"
     "B := { p, q | p <= 3, q <= 2 } ;\n"
     "R := A inter B ;\n"
     "S := B inter A ;\n",
     "<1> > A :=   { x, y | x >= 0, y >= 0 }\n"
     "<2> > B :=   { p, q | p <= 3, q <= 2 }\n"
     "<3> > R :=   { x, y | x >= 0, y >= 0, y <= 2, x <= 3 }\n"
     "<4> > S :=   { p, q | p <= 3, q <= 2, q >= 0, p >= 0 }\n"
     "<5> End.\n"},
    {"BinopSecondOperandUndeclared",
     "A := { i | i >= 0 } ;\n"
     "R := A union Q ;\n"
     "list ;\n",
     "<1> > A :=   { i | i >= 0 }\n"
     "<2> > Error - line 2 : union : command ignored\n"
     " \n"
     "<3> > Domain List: \n"
     ">   A :=   { i | i >= 0 }\n"
     "\n"
     "> Matrix List : \n"
     "\t\n"
     "<4> End.\n"},
    {"BinopFirstOperandUndeclared",
     "A := { i | i >= 0 } ;\n"
     "R := Q diff A ;\n",
     "<1> > A :=   { i | i >= 0 }\n"
     "<2> > Error - line 2 : diff : command ignored\n"
     " \n"
     "<3> End.\n"},
    {"BinopOnEmptyList",
     "R := A inter B ;\n",
     "<1> > Error - line 1 : inter : command ignored\n"
     " \n"
     "<2> End.\n"},
    {"InterOfADomainWithItselfSurvivesItsDeletion",
     "P := { a, b | 0 <= a <= b <= 4 } ;\n"
     "R := P inter P ;\n"
     "del P ;\n"
     "print R ;\n",
     "<1> > P :=   { a, b | b <= 4, a <= b, a >= 0 }\n"
     "<2> > R :=   { a, b | b <= 4, a <= b, a >= 0 }\n"
     "<3> > Succeded ! 'P' is deleted from DomainList\n"
     "<4> > R :=   { a, b | b <= 4, a <= b, a >= 0 }\n"
     "<5> End.\n"},
    {"ImageSameDimensionKeepsNames",
     "P := { a, b | 0 <= a <= 3, 0 <= b <= 2 } ;\n"
     "M := ((1, 1, 0), (0, 1, 0), (0, 0, 1)) ;\n"
     "R := image (P, M) ;\n",
     "<1> > P :=   { a, b | a <= 3, a >= 0, b <= 2, b >= 0 }\n"
     "<2> <3> > R :=   { a, b | a <= b+3, a >= b, b <= 2, b >= 0 }\n"
     "<4> End.\n"},
    {"ImageIntoThreeDimensions",
     "P := { a, b | 0 <= a <= 3, 0 <= b <= 2 } ;\n"
     "M := ((1, 0, 0), (0, 1, 0), (1, 1, 0), (0, 0, 1)) ;\n"
     "R := image (P, M) ;\n",
     "<1> > P :=   { a, b | a <= 3, a >= 0, b <= 2, b >= 0 }\n"
     "<2> <3> > R :=   { i, j, k | i+j = k, j <= 2, j >= k-3, j >= 0, j <= k }\n"
     "<4> End.\n"},
    {"PreimageIntoTwoDimensions",
     "P := { x, y, z | x >= 0, y >= 0, z <= 6 } ;\n"
     "M := ((1, 0, 0), (0, 1, 0), (1, 1, 0), (0, 0, 1)) ;\n"
     "R := preimage (P, M) ;\n",
     "<1> > P :=   { x, y, z | x >= 0, y >= 0, z <= 6 }\n"
     "<2> <3> > R :=   { i, j | i >= 0, j >= 0, i+j <= 6 }\n"
     "<4> End.\n"},
    {"PreimageSameDimension",
     "P := { a, b | 0 <= a <= 6, 0 <= b <= 6 } ;\n"
     "M := ((2, 0, 0), (0, 1, 1), (0, 0, 1)) ;\n"
     "R := preimage (P, M) ;\n",
     "<1> > P :=   { a, b | a <= 6, a >= 0, b <= 6, b >= 0 }\n"
     "<2> <3> > R :=   { a, b | a <= 3, a >= 0, b <= 5, b >= -1 }\n"
     "<4> End.\n"},
    {"ImageUndeclaredMatrix",
     "P := { a | a >= 0 } ;\n"
     "R := image (P, M) ;\n",
     "<1> > P :=   { a | a >= 0 }\n"
     "<2> image : command ignored - polyhedron 'P' or matrix 'M' does not exist !\n"
     "<3> End.\n"},
    {"PreimageUndeclaredDomain",
     "M := ((1, 0), (0, 1)) ;\n"
     "R := preimage (P, M) ;\n",
     "<1> <2> preimage : command ignored - polyhedron 'P' or matrix 'M' does not exist !\n"
     "<3> End.\n"},
    {"ImageOfAMatrixNameIsUndeclared",
     "M := ((1, 0), (0, 1)) ;\n"
     "R := image (M, M) ;\n",
     "<1> <2> image : command ignored - polyhedron 'M' or matrix 'M' does not exist !\n"
     "<3> End.\n"},
    {"DisjointDecompositionOfTwoOverlappingIntervals",
     "A := { i | 0 <= i <= 5 } ;\n"
     "B := { i | 3 <= i <= 8 } ;\n"
     "U := A union B ;\n"
     "D := dd U ;\n",
     "<1> > A :=   { i | i <= 5, i >= 0 }\n"
     "<2> > B :=   { i | i <= 8, i >= 3 }\n"
     "<3> > U :=   { i | i <= 5, i >= 0 }\n"
     "UNION   { i | i <= 8, i >= 3 }\n"
     "<4> > D :=   { i | i >= 3, i <= 5 }\n"
     "UNION   { i | i >= 0, i <= 2 }\n"
     "UNION   { i | i <= 8, i >= 6 }\n"
     "<5> End.\n"},
    {"DisjointDecompositionUndeclared",
     "D := dd X ;\n",
     "<1> > DD : domain 'X' does not exist ! Command ignored\n"
     "<2> End.\n"},
    {"DdWithoutOperandIsABadCommand",
     "R := dd ;\n",
     "<1> > Error - line 1 : parse error \n"
     ">> bad command - type 'help' for informations about syntax \n"
     "<2> End.\n"},
    {"ConvexHullOfAUnion",
     "A := { i, j | 0 <= i <= 1, 0 <= j <= 1 } ;\n"
     "B := { i, j | 4 <= i <= 5, 0 <= j <= 1 } ;\n"
     "U := A union B ;\n"
     "C := convex U ;\n",
     "<1> > A :=   { i, j | i <= 1, i >= 0, j <= 1, j >= 0 }\n"
     "<2> > B :=   { i, j | i <= 5, i >= 4, j <= 1, j >= 0 }\n"
     "<3> > U :=   { i, j | i <= 1, i >= 0, j <= 1, j >= 0 }\n"
     "UNION   { i, j | i <= 5, i >= 4, j <= 1, j >= 0 }\n"
     "<4> > C :=   { i, j | j >= 0, i >= 0, j <= 1, i <= 5 }\n"
     "<5> End.\n"},
    {"ConvexUndeclared",
     "C := convex X ;\n",
     "<1> > Convex : domain 'X' does not exist ! Command ignored\n"
     "<2> End.\n"},
};
INSTANTIATE_TEST_SUITE_P(Definitions, OperationsTranscript, ::testing::ValuesIn(definitions), transcript_name);

// Ehrhart polynomials and parametric vertices in PolyLib's print forms, with their separators.
const Transcript analyses[] = {
    {"EhrhartOfTheTriangle",
     "T := { i, j, N | 0 <= j <= i <= N } ;\n"
     "C := { N | N >= 0 } ;\n"
     "ehrhart (T, C) ;\n",
     "<1> > T :=   { i, j, N | i <= N, i >= j, j >= 0 }\n"
     "<2> > C :=   { N | N >= 0 }\n"
     "<3>          N  >= 0\n"
     "          1 >= 0\n"
     "\n"
     "( 1/2 * N^2 + 3/2 * N + 1 )\n"
     "\n"
     "-----------------------------------\n"
     "<4> End.\n"},
    {"EhrhartPerValidityDomain",
     "Q := { i, N, M | 0 <= i <= N, i <= M } ;\n"
     "K := { N, M | N >= 0, M >= 0 } ;\n"
     "ehrhart (Q, K) ;\n",
     "<1> > Q :=   { i, N, M | i <= N, i >= 0, i <= M }\n"
     "<2> > K :=   { N, M | N >= 0, M >= 0 }\n"
     "<3>          - N + M  >= 0\n"
     "         N  >= 0\n"
     "          1 >= 0\n"
     "\n"
     "( 1 * N + 1 )\n"
     "\n"
     "-----------------------------------\n"
     "         N - M  >= 0\n"
     "         M  >= 0\n"
     "          1 >= 0\n"
     "\n"
     "( 1 * M + 1 )\n"
     "\n"
     "-----------------------------------\n"
     "<4> End.\n"},
    {"EhrhartOfAPeriodicCount",
     "P := { i, N | 0 <= 2i <= N } ;\n"
     "C := { N | N >= 0 } ;\n"
     "ehrhart (P, C) ;\n",
     "<1> > P :=   { i, N | 2i <= N, 2i >= 0 }\n"
     "<2> > C :=   { N | N >= 0 }\n"
     "<3>          N  >= 0\n"
     "          1 >= 0\n"
     "\n"
     "( 1/2 * N + [ 1, 1/2 ]_N )\n"
     "\n"
     "-----------------------------------\n"
     "<4> End.\n"},
    {"EhrhartCountsTheWholeUnion",
     "A := { i, N | 0 <= i <= N } ;\n"
     "B := { i, N | 2N + 1 <= i <= 3N } ;\n"
     "U := A union B ;\n"
     "C := { N | N >= 0 } ;\n"
     "ehrhart (U, C) ;\n",
     "<1> > A :=   { i, N | i <= N, i >= 0 }\n"
     "<2> > B :=   { i, N | i <= 3N, i >= 2N+1 }\n"
     "<3> > U :=   { i, N | i <= N, i >= 0 }\n"
     "UNION   { i, N | i <= 3N, i >= 2N+1 }\n"
     "<4> > C :=   { N | N >= 0 }\n"
     "<5>          N  -1 >= 0\n"
     "          1 >= 0\n"
     "\n"
     "( 2 * N + 1 )\n"
     "\n"
     "-----------------------------------\n"
     "         N  = 0\n"
     "          1 >= 0\n"
     "\n"
     "1\n"
     "-----------------------------------\n"
     "<6> End.\n"},
    {"VerticesOfAUnionPieceByPiece",
     "A := { i, N | 0 <= i <= N } ;\n"
     "D := { i, N | N <= i <= 2N } ;\n"
     "V := A union D ;\n"
     "C := { N | N >= 0 } ;\n"
     "vertices (V, C) ;\n",
     "<1> > A :=   { i, N | i <= N, i >= 0 }\n"
     "<2> > D :=   { i, N | i <= 2N, i >= N }\n"
     "<3> > V :=   { i, N | i <= N, i >= 0 }\n"
     "UNION   { i, N | i <= 2N, i >= N }\n"
     "<4> > C :=   { N | N >= 0 }\n"
     "<5> > Polyhedron 1 of 2 of 'V':\n"
     "---------------------------------------\n"
     "Domain :\n"
     "         N  >= 0\n"
     "          1 >= 0\n"
     "\n"
     "Vertices :\n"
     "[ 0 ]\n"
     "[ N ]\n"
     "> Polyhedron 2 of 2 of 'V':\n"
     "---------------------------------------\n"
     "Domain :\n"
     "         N  >= 0\n"
     "          1 >= 0\n"
     "\n"
     "Vertices :\n"
     "[ N ]\n"
     "[ 2N ]\n"
     "<6> End.\n"},
    {"UnionWithAnUnboundedPieceHasNoEhrhartPolynomial",
     "A := { i, N | 0 <= i <= N } ;\n"
     "B := { i, N | i >= N } ;\n"
     "U := A union B ;\n"
     "C := { N | N >= 0 } ;\n"
     "ehrhart (U, C) ;\n",
     "<1> > A :=   { i, N | i <= N, i >= 0 }\n"
     "<2> > B :=   { i, N | i >= N }\n"
     "<3> > U :=   { i, N | i <= N, i >= 0 }\n"
     "UNION   { i, N | i >= N }\n"
     "<4> > C :=   { N | N >= 0 }\n"
     "<5> > Ehrhart : domain 'U' has infinitely many points for some values of the parameters of 'C' - command ignored\n"
     "<6> End.\n"},
    {"EhrhartContextWithoutVariables",
     "T := { i, j | 0 <= j <= i <= 3 } ;\n"
     "K := { | } ;\n"
     "ehrhart (T, K) ;\n",
     "<1> > T :=   { i, j | i <= 3, i >= j, j >= 0 }\n"
     "<2> > K := { | }\n"
     "<3>           1 >= 0\n"
     "\n"
     "( 10 )\n"
     "\n"
     "-----------------------------------\n"
     "<4> End.\n"},
    {"EhrhartUndeclared",
     "C := { N | N >= 0 } ;\n"
     "ehrhart (T, C) ;\n"
     "ehrhart (C, K) ;\n",
     "<1> > C :=   { N | N >= 0 }\n"
     "<2> > Ehrhart : 'T' or 'C' undeclared - command ignored\n"
     "<3> > Ehrhart : 'C' or 'K' undeclared - command ignored\n"
     "<4> End.\n"},
    {"VerticesOfTheTriangle",
     "T := { i, j, N | 0 <= j <= i <= N } ;\n"
     "C := { N | N >= 0 } ;\n"
     "vertices (T, C) ;\n",
     "<1> > T :=   { i, j, N | i <= N, i >= j, j >= 0 }\n"
     "<2> > C :=   { N | N >= 0 }\n"
     "<3> ---------------------------------------\n"
     "Domain :\n"
     "         N  >= 0\n"
     "          1 >= 0\n"
     "\n"
     "Vertices :\n"
     "[ 0,  0 ]\n"
     "[ N,  0 ]\n"
     "[ N,  N ]\n"
     "<4> End.\n"},
    {"VerticesPerParametricDomain",
     "Q := { i, N, M | 0 <= i <= N, i <= M } ;\n"
     "K := { N, M | N >= 0, M >= 0 } ;\n"
     "vertices (Q, K) ;\n",
     "<1> > Q :=   { i, N, M | i <= N, i >= 0, i <= M }\n"
     "<2> > K :=   { N, M | N >= 0, M >= 0 }\n"
     "<3> ---------------------------------------\n"
     "Domain :\n"
     "         N - M  >= 0\n"
     "         M  >= 0\n"
     "          1 >= 0\n"
     "\n"
     "Vertices :\n"
     "[ M ]\n"
     "[ 0 ]\n"
     "---------------------------------------\n"
     "Domain :\n"
     "         N  >= 0\n"
     "         - N + M  >= 0\n"
     "          1 >= 0\n"
     "\n"
     "Vertices :\n"
     "[ 0 ]\n"
     "[ N ]\n"
     "<4> End.\n"},
    {"VerticesContextWithoutVariables",
     "T := { i, j | 0 <= j <= i <= 3 } ;\n"
     "K := { | } ;\n"
     "vertices (T, K) ;\n",
     "<1> > T :=   { i, j | i <= 3, i >= j, j >= 0 }\n"
     "<2> > K := { | }\n"
     "<3> ---------------------------------------\n"
     "Domain :\n"
     "          1 >= 0\n"
     "\n"
     "Vertices :\n"
     "[ 0,  0 ]\n"
     "[ 3,  0 ]\n"
     "[ 3,  3 ]\n"
     "<4> End.\n"},
    {"VerticesUndeclared",
     "vertices (T, C) ;\n",
     "<1> > Vertices : 'T' or 'C' undeclared - command ignored\n"
     "<2> End.\n"},
};
INSTANTIATE_TEST_SUITE_P(Analyses, OperationsTranscript, ::testing::ValuesIn(analyses), transcript_name);

// PLprint, PLcons and PLrays.
const Transcript polylib_prints[] = {
    {"PLprintDomain",
     "T := { i, j | 0 <= j <= i <= 3 } ;\n"
     "PLprint T ;\n",
     "<1> > T :=   { i, j | i <= 3, i >= j, j >= 0 }\n"
     "<2> > Domain 'T':\n"
     "POLYHEDRON Dimension:2\n"
     "           Constraints:3  Equations:0  Rays:3  Lines:0\n"
     "Constraints 3 4\n"
     "Inequality: [ -1  0  3 ]\n"
     "Inequality: [  1 -1  0 ]\n"
     "Inequality: [  0  1  0 ]\n"
     "Rays 3 4\n"
     "Vertex: [  3  3 ]/1\n"
     "Vertex: [  3  0 ]/1\n"
     "Vertex: [  0  0 ]/1\n"
     "\n"
     "<3> End.\n"},
    {"PLprintUnionPrintsEveryPolyhedron",
     "A := { i | 0 <= i <= 5 } ;\n"
     "B := { i | 10 <= i <= 20 } ;\n"
     "U := A union B ;\n"
     "PLprint U ;\n",
     "<1> > A :=   { i | i <= 5, i >= 0 }\n"
     "<2> > B :=   { i | i <= 20, i >= 10 }\n"
     "<3> > U :=   { i | i <= 5, i >= 0 }\n"
     "UNION   { i | i <= 20, i >= 10 }\n"
     "<4> > Domain 'U':\n"
     "POLYHEDRON Dimension:1\n"
     "           Constraints:2  Equations:0  Rays:2  Lines:0\n"
     "Constraints 2 3\n"
     "Inequality: [ -1  5 ]\n"
     "Inequality: [  1  0 ]\n"
     "Rays 2 3\n"
     "Vertex: [  5 ]/1\n"
     "Vertex: [  0 ]/1\n"
     "UNION POLYHEDRON Dimension:1\n"
     "           Constraints:2  Equations:0  Rays:2  Lines:0\n"
     "Constraints 2 3\n"
     "Inequality: [ -1 20 ]\n"
     "Inequality: [  1-10 ]\n"
     "Rays 2 3\n"
     "Vertex: [ 20 ]/1\n"
     "Vertex: [ 10 ]/1\n"
     "\n"
     "<5> End.\n"},
    {"PLprintMatrix",
     "M := ((1, -2, 3), (40, 5, -600)) ;\n"
     "PLprint M ;\n",
     "<1> <2> > Matrix 'M':\n"
     "2 3\n"
     "   1   -2    3 \n"
     "  40    5 -600 \n"
     "<3> End.\n"},
    {"PLprintDomainHidesMatrix",
     "X := ((1, 2)) ;\n"
     "X := { i | i >= 1 } ;\n"
     "PLprint X ;\n",
     "<1> <2> > X :=   { i | i >= 1 }\n"
     "<3> > Domain 'X':\n"
     "POLYHEDRON Dimension:1\n"
     "           Constraints:2  Equations:0  Rays:2  Lines:0\n"
     "Constraints 2 3\n"
     "Inequality: [  1 -1 ]\n"
     "Inequality: [  0  1 ]\n"
     "Rays 2 3\n"
     "Ray:    [  1 ]\n"
     "Vertex: [  1 ]/1\n"
     "\n"
     "<4> End.\n"},
    {"PLprintUndeclared",
     "PLprint X ;\n",
     "<1> > Error - line 1 :  'X' undeclared - PLprint: command ignored \n"
     "<2> End.\n"},
    {"PLprintValueBeyond32Bits",
     "B := { i | 0 <= i <= 1000000000 } ;\n"
     "F := ((5, 0), (0, 1)) ;\n"
     "S := image (B, F) ;\n"
     "PLprint S ;\n",
     "<1> > B :=   { i | i <= 1000000000, i >= 0 }\n"
     "<2> <3> > S :=   { i | i <= 5000000000, i >= 0 }\n"
     "<4> > Domain 'S':\n"
     "POLYHEDRON Dimension:1\n"
     "           Constraints:2  Equations:0  Rays:2  Lines:0\n"
     "Constraints 2 3\n"
     "Inequality: [ -15000000000 ]\n"
     "Inequality: [  1  0 ]\n"
     "Rays 2 3\n"
     "Vertex: [5000000000 ]/1\n"
     "Vertex: [  0 ]/1\n"
     "\n"
     "<5> End.\n"},
    {"PLconsOfAUnion",
     "A := { i | 0 <= i <= 5 } ;\n"
     "B := { i | 10 <= i <= 20 } ;\n"
     "U := A union B ;\n"
     "PLcons U ;\n",
     "<1> > A :=   { i | i <= 5, i >= 0 }\n"
     "<2> > B :=   { i | i <= 20, i >= 10 }\n"
     "<3> > U :=   { i | i <= 5, i >= 0 }\n"
     "UNION   { i | i <= 20, i >= 10 }\n"
     "<4> > Domain 'U' - Constraints matrix:\n"
     "2 3\n"
     "   1   -1    5 \n"
     "   1    1    0 \n"
     "2 3\n"
     "   1   -1   20 \n"
     "   1    1  -10 \n"
     "\n"
     "<5> End.\n"},
    {"PLraysOfAUnion",
     "A := { i | 0 <= i <= 5 } ;\n"
     "B := { i | 10 <= i <= 20 } ;\n"
     "U := A union B ;\n"
     "PLrays U ;\n",
     "<1> > A :=   { i | i <= 5, i >= 0 }\n"
     "<2> > B :=   { i | i <= 20, i >= 10 }\n"
     "<3> > U :=   { i | i <= 5, i >= 0 }\n"
     "UNION   { i | i <= 20, i >= 10 }\n"
     "<4> > Domain 'U' - Rays matrix:\n"
     "2 3\n"
     "   1    5    1 \n"
     "   1    0    1 \n"
     "2 3\n"
     "   1   20    1 \n"
     "   1   10    1 \n"
     "\n"
     "<5> End.\n"},
    {"PLconsOfAMatrixIsUndeclared",
     "M := ((1, 2)) ;\n"
     "PLcons M ;\n"
     "PLrays M ;\n",
     "<1> <2> > Error - line 2 :  'M' undeclared - PLcons: command ignored\n"
     " \n"
     "<3> > Error - line 3 :  'M' undeclared - PLrays: command ignored\n"
     " \n"
     "<4> End.\n"},
};
INSTANTIATE_TEST_SUITE_P(PolyLibPrints, OperationsTranscript, ::testing::ValuesIn(polylib_prints), transcript_name);

// One hint per malformed operation or analysis statement.
const Transcript syntax_hints[] = {
    {"UnionHint",
     "R := A union ;\n",
     "<1> > Error - line 1 : parse error \n"
     "> Syntax : 'res' := 'P1' union 'P2' ;\n"
     "<2> End.\n"},
    {"UnionHintAfterAnExtraName",
     "R := A + B C ;\n",
     "<1> > Error - line 1 : parse error \n"
     "> Syntax : 'res' := 'P1' union 'P2' ;\n"
     "<2> End.\n"},
    {"InterHint",
     "R := A . ;\n",
     "<1> > Error - line 1 : parse error \n"
     "> Syntax : 'res' := 'P1' inter 'P2' ;\n"
     "<2> End.\n"},
    {"DiffHint",
     "R := A - ;\n",
     "<1> > Error - line 1 : parse error \n"
     "> Syntax : 'res' := 'P1' diff 'P2' ;\n"
     "<2> End.\n"},
    {"ImageHint",
     "R := image A ;\n",
     "<1> > Error - line 1 : parse error \n"
     "> Syntax : 'name' := image ('domain', 'matrix') ;\n"
     "<2> End.\n"},
    {"PreimageHint",
     "R := preimage (A) ;\n",
     "<1> > Error - line 1 : parse error \n"
     "> Syntax : 'name' := preimage ('domain', 'matrix') ;\n"
     "<2> End.\n"},
    {"ConvexHint",
     "R := convex ;\n",
     "<1> > Error - line 1 : parse error \n"
     "> Syntax : 'name' := convex 'domain' ;\n"
     "<2> End.\n"},
    {"VerticesHint",
     "vertices (A) ;\n",
     "<1> > Error - line 1 : parse error \n"
     "> Syntax : vertices ('domain', 'context') ;\n"
     "<2> End.\n"},
    {"EhrhartHint",
     "ehrhart A B ;\n",
     "<1> > Error - line 1 : parse error \n"
     "> Syntax : ehrhart ('domain', 'context') ;\n"
     "<2> End.\n"},
    {"PLprintHint",
     "PLprint ;\n",
     "<1> > Error - line 1 : parse error \n"
     "> Syntax: PLprint 'name' ;\n"
     "<2> End.\n"},
    {"PLconsHint",
     "PLcons ;\n",
     "<1> > Error - line 1 : parse error \n"
     "> Syntax: PLcons 'domain' ;\n"
     "<2> End.\n"},
    {"PLraysHint",
     "PLrays (A) ;\n",
     "<1> > Error - line 1 : parse error \n"
     "> Syntax: PLrays 'domain' ;\n"
     "<2> End.\n"},
};
INSTANTIATE_TEST_SUITE_P(SyntaxHints, OperationsTranscript, ::testing::ValuesIn(syntax_hints), transcript_name);

// Input PolyLib cannot take: one clear line, nothing stored, and the session goes on.
const Transcript bad_input[] = {
    {"ImageByMatrixOfWrongSize",
     "T := { i, j | 0 <= j <= i <= 3 } ;\n"
     "M := ((1, 0), (0, 1)) ;\n"
     "R := image (T, M) ;\n"
     "S := preimage (T, M) ;\n"
     "list ;\n",
     "<1> > T :=   { i, j | i <= 3, i >= j, j >= 0 }\n"
     "<2> <3> > Error - line 3 : image : matrix 'M' cannot map domain 'T': it is 2x2, and the image of a domain of dimension 2 needs 3 columns - command ignored \n"
     "<4> > Error - line 4 : preimage : matrix 'M' cannot map domain 'T': it is 2x2, and the preimage of a domain of dimension 2 needs 3 rows - command ignored \n"
     "<5> > Domain List: \n"
     ">   T :=   { i, j | i <= 3, i >= j, j >= 0 }\n"
     "\n"
     "> Matrix List : \n"
     "\tM\n"
     "\n"
     "<6> End.\n"},
    {"PreimageByMatrixOfWrongSize",
     "T := { i, j | 0 <= j <= i <= 3 } ;\n"
     "M := ((1, 0, 0), (0, 1, 0), (1, 1, 0), (0, 0, 1)) ;\n"
     "S := preimage (T, M) ;\n"
     "R := image (T, M) ;\n",
     "<1> > T :=   { i, j | i <= 3, i >= j, j >= 0 }\n"
     "<2> <3> > Error - line 3 : preimage : matrix 'M' cannot map domain 'T': it is 4x3, and the preimage of a domain of dimension 2 needs 3 rows - command ignored \n"
     "<4> > R :=   { i, j, k | i+j = k, j >= k-3, 2j <= k, j >= 0 }\n"
     "<5> End.\n"},
    {"ImageByNonAffineMatrix",
     "T := { i, j | 0 <= j <= i <= 3 } ;\n"
     "M := ((1, 0, 0), (0, 1, 0), (0, 0, -1)) ;\n"
     "R := image (T, M) ;\n"
     "N := ((1, 0, 0), (0, 1, 0), (1, 0, 1)) ;\n"
     "S := preimage (T, N) ;\n",
     "<1> > T :=   { i, j | i <= 3, i >= j, j >= 0 }\n"
     "<2> <3> > Error - line 3 : image : matrix 'M' cannot map domain 'T': its last row must be (0, ..., 0, d) with d > 0, as for an affine map - command ignored \n"
     "<4> <5> > Error - line 5 : preimage : matrix 'N' cannot map domain 'T': its last row must be (0, ..., 0, d) with d > 0, as for an affine map - command ignored \n"
     "<6> End.\n"},
    {"OverflowInsidePolyLib",
     "A := { i, j, k | 1000 i + 999 j + 998 k <= 3000, 997 i - 1000 j + 993 k >= -2000, 0 <= i, 0 <= j, 0 <= k } ;\n"
     "B := { i, j, k | 991 i + 999 j - 998 k <= 1005, 997 i - 1001 j + 993 k >= -989, 987 i + 1017 j + 981 k >= 3 } ;\n"
     "E := A union B ;\n"
     "F := convex E ;\n"
     "G := dd E ;\n"
     "print E ;\n",
     "<1> > A :=   { i, j, k | 1000i+999j+998k <= 3000, 997i+993k >= 1000j-2000, i >= 0, j >= 0, k >= 0 }\n"
     "<2> > B :=   { i, j, k | 991i+999j <= 998k+1005, 997i+993k >= 1001j-989, 987i+1017j+981k >= 3 }\n"
     "<3> > E :=   { i, j, k | 1000i+999j+998k <= 3000, 997i+993k >= 1000j-2000, i >= 0, j >= 0, k >= 0 }\n"
     "UNION   { i, j, k | 991i+999j <= 998k+1005, 997i+993k >= 1001j-989, 987i+1017j+981k >= 3 }\n"
     "<4> > Error - line 4 : PolyLib failed on the convex hull of 'E' (arithmetic overflow or work space exceeded) - command ignored \n"
     "<5> > Error - line 5 : PolyLib failed on the disjoint decomposition of 'E' (arithmetic overflow or work space exceeded) - command ignored \n"
     "<6> > E :=   { i, j, k | 1000i+999j+998k <= 3000, 997i+993k >= 1000j-2000, i >= 0, j >= 0, k >= 0 }\n"
     "UNION   { i, j, k | 991i+999j <= 998k+1005, 997i+993k >= 1001j-989, 987i+1017j+981k >= 3 }\n"
     "<7> End.\n",
     true},
    {"EhrhartEmptyContext",
     "T := { i, j, N | 0 <= j <= i <= N } ;\n"
     "E := { N | N >= 1, N <= 0 } ;\n"
     "ehrhart (T, E) ;\n"
     "vertices (T, E) ;\n",
     "<1> > T :=   { i, j, N | i <= N, i >= j, j >= 0 }\n"
     "<2> > E :=   { N | N = 0, 0 = -1 }\n"
     "<3> > Ehrhart : context 'E' is empty - command ignored\n"
     "<4> > Vertices : context 'E' is empty - command ignored\n"
     "<5> End.\n"},
    {"EhrhartContextOfWrongDimension",
     "T := { i, j, N | 0 <= j <= i <= N } ;\n"
     "K := { a, b, c, d | a >= 0 } ;\n"
     "ehrhart (T, K) ;\n"
     "vertices (T, K) ;\n",
     "<1> > T :=   { i, j, N | i <= N, i >= j, j >= 0 }\n"
     "<2> > K :=   { a, b, c, d | a >= 0 }\n"
     "<3> > Ehrhart : context 'K' has 4 dimensions, more than the 3 of domain 'T' - command ignored\n"
     "<4> > Vertices : context 'K' has 4 dimensions, more than the 3 of domain 'T' - command ignored\n"
     "<5> End.\n"},
    {"EhrhartUnionContext",
     "T := { i, j, N | 0 <= j <= i <= N } ;\n"
     "C1 := { N | 0 <= N <= 5 } ;\n"
     "C2 := { N | 10 <= N <= 20 } ;\n"
     "K := C1 union C2 ;\n"
     "ehrhart (T, K) ;\n"
     "vertices (T, K) ;\n",
     "<1> > T :=   { i, j, N | i <= N, i >= j, j >= 0 }\n"
     "<2> > C1 :=   { N | N <= 5, N >= 0 }\n"
     "<3> > C2 :=   { N | N <= 20, N >= 10 }\n"
     "<4> > K :=   { N | N <= 5, N >= 0 }\n"
     "UNION   { N | N <= 20, N >= 10 }\n"
     "<5> > Ehrhart : context 'K' is a union of 2 polyhedra; a context must be a single polyhedron - command ignored\n"
     "<6> > Vertices : context 'K' is a union of 2 polyhedra; a context must be a single polyhedron - command ignored\n"
     "<7> End.\n"},
    {"EhrhartUnboundedDomain",
     "P := { i, N | i >= N } ;\n"
     "C := { N | N >= 0 } ;\n"
     "ehrhart (P, C) ;\n",
     "<1> > P :=   { i, N | i >= N }\n"
     "<2> > C :=   { N | N >= 0 }\n"
     "<3> > Ehrhart : domain 'P' has infinitely many points for some values of the parameters of 'C' - command ignored\n"
     "<4> End.\n"},
    {"VerticesOfADomainWithALine",
     "L := { i, j, N | 0 <= i <= N } ;\n"
     "C := { N | N >= 0 } ;\n"
     "vertices (L, C) ;\n",
     "<1> > L :=   { i, j, N | i <= N, i >= 0 }\n"
     "<2> > C :=   { N | N >= 0 }\n"
     "<3> > Vertices : domain 'L' holds a whole line for fixed values of the parameters of 'C': it has no vertex - "
     "command ignored\n"
     "<4> End.\n"},
    {"EhrhartOverflowAbortsOnlyTheStatement",
     "P := { i, j, N, M | 0 <= 42 i <= N, 0 <= 43 j <= i + M } ;\n"
     "K := { N, M | N >= 0, M >= 0 } ;\n"
     "ehrhart (P, K) ;\n"
     "T := { i, j, N | 0 <= j <= i <= N } ;\n"
     "C := { N | N >= 0 } ;\n"
     "ehrhart (T, C) ;\n",
     "<1> > P :=   { i, j, N, M | 42i <= N, 42i >= 0, i+M >= 43j, 43j >= 0 }\n"
     "<2> > K :=   { N, M | N >= 0, M >= 0 }\n"
     // PolyLib aborts; the quasi-polynomials' periods (1806 and 43) are too long to be had from counts.
     "<3> > Error - line 3 : the Ehrhart polynomial of 'P': PolyLib's enumeration failed, and the counts that would give "
     "its quasi-polynomials are too many - command ignored \n"
     "<4> > T :=   { i, j, N | i <= N, i >= j, j >= 0 }\n"
     "<5> > C :=   { N | N >= 0 }\n"
     "<6>          N  >= 0\n"
     "          1 >= 0\n"
     "\n"
     "( 1/2 * N^2 + 3/2 * N + 1 )\n"
     "\n"
     "-----------------------------------\n"
     "<7> End.\n"},
};
INSTANTIATE_TEST_SUITE_P(BadInput, OperationsTranscript, ::testing::ValuesIn(bad_input), transcript_name);

// Values beyond PolyLib's 64 bits: each statement gives its exact result or
// one line and stores nothing; the list shows the stores unchanged.
const Transcript wrap_around[] = {
    {"ImageScaledThreeTimesByAMillion",
     "B := { i | 0 <= i <= 1000000 } ;\n"
     "M := ((1000000, 0), (0, 1)) ;\n"
     "C := image (B, M) ;\n"
     "D := image (C, M) ;\n"
     "D := image (D, M) ;\n"
     "E := image (D, M) ;\n"
     "list ;\n",
     "<1> > B :=   { i | i <= 1000000, i >= 0 }\n"
     "<2> <3> > C :=   { i | i <= 1000000000000, i >= 0 }\n"
     "<4> > D :=   { i | i <= 1000000000000000000, i >= 0 }\n"
     "<5> > Error - line 5 : 64-bit overflow in the image of 'D' by 'M' - command ignored \n"
     "<6> > Error - line 6 : 64-bit overflow in the image of 'D' by 'M' - command ignored \n"
     "<7> > Domain List: \n"
     ">   D :=   { i | i <= 1000000000000000000, i >= 0 }\n"
     ">   C :=   { i | i <= 1000000000000, i >= 0 }\n"
     ">   B :=   { i | i <= 1000000, i >= 0 }\n"
     "\n"
     "> Matrix List : \n"
     "\tM\n"
     "\n"
     "<8> End.\n"},
    {"ImageTwiceBy2147483647",
     "F := { i | 0 <= i <= 2147483647 } ;\n"
     "N := ((2147483647, 0), (0, 1)) ;\n"
     "G := image (F, N) ;\n"
     "H := image (G, N) ;\n"
     "P := ((2147483647, 0, 0), (0, 1, 0), (0, 0, 1)) ;\n"
     "S := { i, j | 0 <= i <= 2147483647 * 2147483647, 0 <= j <= 1 } ;\n"
     "T := image (S, P) ;\n"
     "list ;\n",
     "<1> > F :=   { i | i <= 2147483647, i >= 0 }\n"
     "<2> <3> > G :=   { i | i <= 4611686014132420609, i >= 0 }\n"
     "<4> > Error - line 4 : 64-bit overflow in the image of 'G' by 'N' - command ignored \n"
     "<5> <6> > S :=   { i, j | i <= 4611686014132420609, i >= 0, j <= 1, j >= 0 }\n"
     "<7> > Error - line 7 : 64-bit overflow in the image of 'S' by 'P' - command ignored \n"
     "<8> > Domain List: \n"
     ">   S :=   { i, j | i <= 4611686014132420609, i >= 0, j <= 1, j >= 0 }\n"
     ">   G :=   { i | i <= 4611686014132420609, i >= 0 }\n"
     ">   F :=   { i | i <= 2147483647, i >= 0 }\n"
     "\n"
     "> Matrix List : \n"
     "\tP, N\n"
     "\n"
     "<9> End.\n"},
    {"PreimageBeyond64Bits",
     "R := { i | 1048573 * 1048583 i <= 5, i >= -5 } ;\n"
     "N := ((2147483647, 0), (0, 1)) ;\n"
     "S := preimage (R, N) ;\n"
     "M := ((3, 0), (0, 1)) ;\n"
     "S := preimage (R, M) ;\n"
     "list ;\n",
     "<1> > R :=   { i | 1099515822059i <= 5, i >= -5 }\n"
     "<2> <3> > Error - line 3 : 64-bit overflow in the preimage of 'R' by 'N' - command ignored \n"
     "<4> <5> > S :=   { i | 3298547466177i <= 5, 3i >= -5 }\n"
     "<6> > Domain List: \n"
     ">   S :=   { i | 3298547466177i <= 5, 3i >= -5 }\n"
     ">   R :=   { i | 1099515822059i <= 5, i >= -5 }\n"
     "\n"
     "> Matrix List : \n"
     "\tM, N\n"
     "\n"
     "<7> End.\n"},
    {"DeclarationWhoseVertexWraps",
     "Q := { i, j | 0 <= i <= 1, 0 <= j <= 1 } ;\n"
     "Q := { i, j | 2147483647 i - 2147483646 j <= 2147483645, 2147483646 i - 2147483643 j >= 7 } ;\n"
     "list ;\n",
     "<1> > Q :=   { i, j | i <= 1, i >= 0, j <= 1, j >= 0 }\n"
     "<2> > integer overflow in polyhedron declaration - Action cancelled !\n"
     "<3> > Domain List: \n"
     ">   Q :=   { i, j | i <= 1, i >= 0, j <= 1, j >= 0 }\n"
     "\n"
     "> Matrix List : \n"
     "\t\n"
     "<4> End.\n"},
    {"LargeBoundsKeepExactValuesOrFailCleanly",
     "A := { i, j | 0 <= i <= 2147483647 * 2147483647, 0 <= j <= 3 } ;\n"
     "B := { i, j | 0 <= i <= 3, 0 <= j <= 2147483647 * 2147483647 } ;\n"
     "C := { i, j | 5 <= i <= 9, 5 <= j <= 9 } ;\n"
     "U := A union B ;\n"
     "V := U union C ;\n"
     "W := convex V ;\n"
     "X := A inter B ;\n"
     "Y := A diff C ;\n"
     "Z := dd V ;\n"
     "K := { | } ;\n"
     "vertices (A, K) ;\n"
     "list ;\n",
     "<1> > A :=   { i, j | i <= 4611686014132420609, i >= 0, j <= 3, j >= 0 }\n"
     "<2> > B :=   { i, j | i <= 3, i >= 0, j <= 4611686014132420609, j >= 0 }\n"
     "<3> > C :=   { i, j | i <= 9, i >= 5, j <= 9, j >= 5 }\n"
     "<4> > U :=   { i, j | i <= 4611686014132420609, i >= 0, j <= 3, j >= 0 }\n"
     "UNION   { i, j | i <= 3, i >= 0, j <= 4611686014132420609, j >= 0 }\n"
     "<5> > V :=   { i, j | i <= 4611686014132420609, i >= 0, j <= 3, j >= 0 }\n"
     "UNION   { i, j | i <= 3, i >= 0, j <= 4611686014132420609, j >= 0 }\n"
     "UNION   { i, j | i <= 9, i >= 5, j <= 9, j >= 5 }\n"
     "<6> > Error - line 6 : PolyLib failed on the convex hull of 'V' (arithmetic overflow or work space exceeded) - command ignored \n"
     "<7> > Error - line 7 : PolyLib failed on the intersection of 'A' and 'B' (arithmetic overflow or work space exceeded) - command ignored \n"
     "<8> > Error - line 8 : PolyLib failed on the difference of 'A' and 'C' (arithmetic overflow or work space exceeded) - command ignored \n"
     "<9> > Error - line 9 : PolyLib failed on the disjoint decomposition of 'V' (arithmetic overflow or work space exceeded) - command ignored \n"
     "<10> > K := { | }\n"
     "<11> ---------------------------------------\n"
     "Domain :\n"
     "          1 >= 0\n"
     "\n"
     "Vertices :\n"
     "[ 0,  0 ]\n"
     "[ 4611686014132420609,  0 ]\n"
     "[ 4611686014132420609,  3 ]\n"
     "[ 0,  3 ]\n"
     "<12> > Domain List: \n"
     ">   K := { | }\n"
     ">   V :=   { i, j | i <= 4611686014132420609, i >= 0, j <= 3, j >= 0 }\n"
     "UNION   { i, j | i <= 3, i >= 0, j <= 4611686014132420609, j >= 0 }\n"
     "UNION   { i, j | i <= 9, i >= 5, j <= 9, j >= 5 }\n"
     ">   U :=   { i, j | i <= 4611686014132420609, i >= 0, j <= 3, j >= 0 }\n"
     "UNION   { i, j | i <= 3, i >= 0, j <= 4611686014132420609, j >= 0 }\n"
     ">   C :=   { i, j | i <= 9, i >= 5, j <= 9, j >= 5 }\n"
     ">   B :=   { i, j | i <= 3, i >= 0, j <= 4611686014132420609, j >= 0 }\n"
     ">   A :=   { i, j | i <= 4611686014132420609, i >= 0, j <= 3, j >= 0 }\n"
     "\n"
     "> Matrix List : \n"
     "\t\n"
     "<13> End.\n",
     true},
};
INSTANTIATE_TEST_SUITE_P(WrapAround, OperationsTranscript, ::testing::ValuesIn(wrap_around), transcript_name);

// "+", "." and "-" are the one-character forms of union, inter and diff.
TEST(OneCharacterForms, DoExactlyWhatTheKeywordsDo) {
    const char* operands =
        "A := { i, j | 0 <= i <= 6, 0 <= j <= 4 } ;\n"
        "B := { i, j | 3 <= i <= 9, 2 <= j <= 7, i + j <= 12 } ;\n";
    const std::pair<const char*, const char*> forms[] = {{"union", "+"}, {"inter", "."}, {"diff", "-"}};
    for (const auto& [keyword, symbol] : forms) {
        ProgramResult with_keyword = run_qarnest(std::string(operands) + "R := A " + keyword + " B ;\nS := B " +
                                                 keyword + " A ;\nlist ;\n");
        ProgramResult with_symbol = run_qarnest(std::string(operands) + "R := A " + symbol + " B ;\nS := B " +
                                                symbol + " A ;\nlist ;\n");
        EXPECT_NE(with_keyword.out.find("> R := "), std::string::npos) << with_keyword.out;
        EXPECT_NE(with_keyword.out.find("> S := "), std::string::npos) << with_keyword.out;
        EXPECT_EQ(with_symbol.out, with_keyword.out) << keyword << " and " << symbol;
    }
}

// The result is computed and its names copied before the overwrite question,
// so replacing an operand by the result is safe.
TEST(OverwriteAnOperand, ConvexReplacesTheDomainItIsComputedFrom) {
    PtySession session{{"--no-line-editing"}};
    ASSERT_TRUE(session.wait_for("<1> "));
    session.send("A := { a, b | 0 <= a <= 1, 0 <= b <= 1 } ;\n");
    ASSERT_TRUE(session.wait_for("<2> "));
    session.send("B := { a, b | 4 <= a <= 5, 0 <= b <= 1 } ;\n");
    ASSERT_TRUE(session.wait_for("<3> "));
    session.send("P := A union B ;\n");
    ASSERT_TRUE(session.wait_for("<4> "));
    session.send("P := convex P ;\n");
    ASSERT_TRUE(session.wait_for("Warning : identifier 'P' is already used for another domain !\n"
                                 "> Overwrite (o) , Choose another name (n) ?"));
    session.send("o\n");
    ASSERT_TRUE(session.wait_for("<6> ")) << session.output();
    session.send("list ;\n");
    ASSERT_TRUE(session.wait_for("<7> ")) << session.output();
    session.send_eof();
    EXPECT_EQ(session.wait_exit(), 0);
    const std::string& out = session.output();
    EXPECT_NE(out.find("> OK : overwrite 'P'\n> P :=   { a, b | b >= 0, a >= 0, b <= 1, a <= 5 }\n"), std::string::npos)
        << out;
    EXPECT_NE(out.find("> Domain List: \n>   P :=   { a, b | b >= 0, a >= 0, b <= 1, a <= 5 }\n>   B := "),
              std::string::npos)
        << out;
}

// On a terminal the analysis output, computed in a child process, still comes
// before the next prompt.
TEST(InteractiveAnalyses, OutputPrecedesTheNextPrompt) {
    PtySession session{{"--no-line-editing"}};
    ASSERT_TRUE(session.wait_for("<1> "));
    session.send("T := { i, j, N | 0 <= j <= i <= N } ;\nC := { N | N >= 0 } ;\n");
    ASSERT_TRUE(session.wait_for("<3> "));
    session.send("ehrhart (T, C) ;\n");
    ASSERT_TRUE(session.wait_for("<4> ")) << session.output();
    session.send("vertices (T, C) ;\n");
    ASSERT_TRUE(session.wait_for("<5> ")) << session.output();
    session.send_eof();
    EXPECT_EQ(session.wait_exit(), 0);
    const std::string& out = session.output();
    EXPECT_NE(out.find("<3>          N  >= 0\n          1 >= 0\n\n( 1/2 * N^2 + 3/2 * N + 1 )\n\n"
                       "-----------------------------------\n<4> ---------------------------------------\n"
                       "Domain :\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("[ N,  N ]\n<5> "), std::string::npos) << out;
}

// The worked example of the documentation stays true.
TEST(DocumentedExample, TriangleScriptGivesTheDocumentedOutput) {
    std::ifstream file(QARNEST_SOURCE_DIR "/examples/ehrhart");
    ASSERT_TRUE(file) << "examples/ehrhart is missing";
    std::stringstream script;
    script << file.rdbuf();
    ProgramResult r = run_qarnest(script.str());
    EXPECT_EQ(r.out,
              "<1> > T :=   { i, j, N | i <= N, i >= j, j >= 0 }\n"
              "<2> > C :=   { N | N >= 0 }\n"
              "<3>          N  >= 0\n"
              "          1 >= 0\n"
              "\n"
              "( 1/2 * N^2 + 3/2 * N + 1 )\n"
              "\n"
              "-----------------------------------\n"
              "<4> ---------------------------------------\n"
              "Domain :\n"
              "         N  >= 0\n"
              "          1 >= 0\n"
              "\n"
              "Vertices :\n"
              "[ 0,  0 ]\n"
              "[ N,  0 ]\n"
              "[ N,  N ]\n"
              "<5> > Domain 'T' - Constraints matrix:\n"
              "4 5\n"
              "   1   -1    0    1    0 \n"
              "   1    1   -1    0    0 \n"
              "   1    0    1    0    0 \n"
              "   1    0    0    0    1 \n"
              "\n"
              "<6> End.\n");
}

}  // namespace
