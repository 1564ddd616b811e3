// The statements on integer points, the tests between domains and gist
// through the whole program: exact standard output for each script, their
// refusals and syntax hints, and the names that became keywords.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "interpreter/session.h"
#include "tests/support/in_process.h"
#include "tests/support/run_program.h"

namespace {

struct Transcript {
    const char* name;
    const char* input;
    const char* expected;
};

void PrintTo(const Transcript& t, std::ostream* os) { *os << t.name; }

class QueriesTranscript : public ::testing::TestWithParam<Transcript> {};

TEST_P(QueriesTranscript, WritesExactOutput) {
    const Transcript& t = GetParam();
    ProgramResult r = run_qarnest(t.input);
    EXPECT_EQ(r.exit_status, 0) << r.err;
    EXPECT_EQ(r.out, t.expected);
}

std::string transcript_name(const ::testing::TestParamInfo<Transcript>& info) { return info.param.name; }

const char* const triangle = "T := { i, j, N | 0 <= j <= i <= N } ;\nC := { N | 0 <= N <= 2 } ;\n";
const char* const triangle_echo = "<1> > T :=   { i, j, N | i <= N, i >= j, j >= 0 }\n<2> > C :=   { N | N <= 2, N >= 0 }\n";

const Transcript answers[] = {
    {"PointsForEachValueOfTheParameter", "T := { i, j, N | 0 <= j <= i <= N } ;\nC := { N | 0 <= N <= 2 } ;\npoints (T, C) ;\n",
     "<1> > T :=   { i, j, N | i <= N, i >= j, j >= 0 }\n<2> > C :=   { N | N <= 2, N >= 0 }\n"
     "<3> > N = 0 : 1 point\n  (0, 0)\n> N = 1 : 3 points\n  (0, 0)\n  (1, 0)\n  (1, 1)\n"
     "> N = 2 : 6 points\n  (0, 0)\n  (1, 0)\n  (1, 1)\n  (2, 0)\n  (2, 1)\n  (2, 2)\n<4> End.\n"},
    {"CountsExtremesAndSample",
     "T := { i, j, N | 0 <= j <= i <= N } ;\nC := { N | 0 <= N <= 2 } ;\ncard (T, C) ;\nlexmin (T, C) ;\n"
     "lexmax (T, C) ;\nsample (T, C) ;\n",
     "<1> > T :=   { i, j, N | i <= N, i >= j, j >= 0 }\n<2> > C :=   { N | N <= 2, N >= 0 }\n"
     "<3> > N = 0 : 1 point\n> N = 1 : 3 points\n> N = 2 : 6 points\n"
     "<4> > N = 0 : (0, 0)\n> N = 1 : (0, 0)\n> N = 2 : (0, 0)\n"
     "<5> > N = 0 : (0, 0)\n> N = 1 : (1, 1)\n> N = 2 : (2, 2)\n"
     "<6> > N = 0 : (0, 0)\n> N = 1 : (0, 0)\n> N = 2 : (1, 0)\n<7> End.\n"},
    {"LoopNestOfTheTriangle", "T := { i, j, N | 0 <= j <= i <= N } ;\nC := { N | N >= 0 } ;\ncodegen (T, C) ;\n",
     "<1> > T :=   { i, j, N | i <= N, i >= j, j >= 0 }\n<2> > C :=   { N | N >= 0 }\n"
     "<3> for (long i = 0; i <= N; i++) {\n  for (long j = 0; j <= i; j++) {\n    S(i, j);\n  }\n}\n<4> End.\n"},
    {"WithoutParameters",
     "A := { i, j | 0 <= i <= 2, j = 2i } ;\nK := { | } ;\npoints (A, K) ;\ncard (A, K) ;\nlexmin (A, K) ;\n"
     "lexmax (A, K) ;\nsample (A, K) ;\ncodegen (A, K) ;\n",
     "<1> > A :=   { i, j | 2i = j, j <= 4, j >= 0 }\n<2> > K := { | }\n"
     "<3> > 3 points\n  (0, 0)\n  (1, 2)\n  (2, 4)\n<4> > 3 points\n<5> > (0, 0)\n<6> > (2, 4)\n<7> > (1, 2)\n"
     "<8> for (long i = 0; i <= 2; i++) {\n  long j = 2 * i;\n  S(i, j);\n}\n<9> End.\n"},
    {"EmptyAtSomeValues", "P := { i, N | N <= i <= 1 } ;\nC := { N | 0 <= N <= 2 } ;\nlexmin (P, C) ;\npoints (P, C) ;\n",
     "<1> > P :=   { i, N | i <= 1, i >= N }\n<2> > C :=   { N | N <= 2, N >= 0 }\n"
     "<3> > N = 0 : (0)\n> N = 1 : (1)\n> N = 2 : empty\n"
     "<4> > N = 0 : 2 points\n  (0)\n  (1)\n> N = 1 : 1 point\n  (1)\n> N = 2 : 0 points\n<5> End.\n"},
    {"ListingBoundOnPointsAndValues",
     "T := { i, j, N | 0 <= j <= i <= N } ;\nC := { N | 0 <= N <= 4 } ;\npoints (T, C, 2) ;\ncard (T, C, 3) ;\n",
     "<1> > T :=   { i, j, N | i <= N, i >= j, j >= 0 }\n<2> > C :=   { N | N <= 4, N >= 0 }\n"
     "<3> > N = 0 : 1 point\n  (0, 0)\n> N = 1 : 3 points, the first 2 listed\n  (0, 0)\n  (1, 0)\n  ...\n"
     "> the first 2 of the 5 values of the parameters are listed\n"
     "<4> > N = 0 : 1 point\n> N = 1 : 3 points\n> N = 2 : 6 points\n"
     "> the first 3 of the 5 values of the parameters are listed\n<5> End.\n"},
    {"CountsBeyondSixtyFourBitsInFull",
     "C := { i, j, k, N | 0 <= i <= N, 0 <= j <= N, 0 <= k <= N } ;\nK := { N | N = 3000000 } ;\ncard (C, K) ;\n",
     "<1> > C :=   { i, j, k, N | i <= N, i >= 0, j <= N, j >= 0, k <= N, k >= 0 }\n<2> > K :=   { N | N = 3000000 }\n"
     "<3> > N = 3000000 : 27000027000009000001 points\n<4> End.\n"},
    {"TestsOnIntegerPoints",
     "P := { i, j | 0 <= i <= 3, 0 <= j <= 3 } ;\nQ := { i, j | 0 <= i <= 3, 0 <= j <= 1 } ;\n"
     "R := { i, j | 0 <= i <= 3, 2 <= j <= 3 } ;\nU := Q union R ;\nisequal (P, U) ;\nissubset (Q, P) ;\n"
     "issubset (P, Q) ;\nisempty (Q) ;\nH := { i, j | 2i = 2j + 1 } ;\nisempty (H) ;\n"
     "L := { i, j | 10i >= 1, 10i <= 9 } ;\nisempty (L) ;\n",
     "<1> > P :=   { i, j | i <= 3, i >= 0, j <= 3, j >= 0 }\n<2> > Q :=   { i, j | i <= 3, i >= 0, j <= 1, j >= 0 }\n"
     "<3> > R :=   { i, j | i <= 3, i >= 0, j <= 3, j >= 2 }\n"
     "<4> > U :=   { i, j | i <= 3, i >= 0, j <= 1, j >= 0 }\nUNION   { i, j | i <= 3, i >= 0, j <= 3, j >= 2 }\n"
     "<5> > true\n<6> > true\n<7> > false\n<8> > false\n<9> > H :=   { i, j | 2i = 2j+1 }\n<10> > true\n"
     "<11> > L :=   { i, j | 10i >= 1, 10i <= 9 }\n<12> > true\n<13> End.\n"},
    {"GistDropsWhatTheContextSays",
     "D := { i, N | 0 <= i <= N, i <= 10 } ;\nC := { N | N <= 5 } ;\nG := gist (D, C) ;\nK := { | } ;\n"
     "G2 := gist (D, K) ;\nW := { i, N | N <= 5, i >= 0 } ;\nG3 := gist (D, W) ;\n",
     "<1> > D :=   { i, N | i <= N, i >= 0, i <= 10 }\n<2> > C :=   { N | N <= 5 }\n"
     "<3> > G :=   { i, N | i <= N, i >= 0 }\n<4> > K := { | }\n"
     "<5> > G2 :=   { i, N | i <= N, i >= 0, i <= 10 }\n<6> > W :=   { i, N | N <= 5, i >= 0 }\n"
     "<7> > G3 :=   { i, N | i <= N }\n<8> End.\n"},
};

INSTANTIATE_TEST_SUITE_P(Answers, QueriesTranscript, ::testing::ValuesIn(answers), transcript_name);

// Unbounded polyhedra, whose integer points no box of a test can hold:
// lines that meet integer points only far apart, strips between them, and a
// plane of the wrong parity.
const Transcript unbounded_emptiness[] = {
    {"UnboundedPolyhedra",
     "A := { i, j | 3i = 7j + 1 } ;\nisempty (A) ;\nB := { i, j | 1 <= 3i - 3j <= 2 } ;\nisempty (B) ;\n"
     "C := { i, j | 1 <= 3i - 3j <= 3 } ;\nisempty (C) ;\nD := { i | 2i >= 1 } ;\nisempty (D) ;\n"
     "E := { i, j, k | 2i + 4j + 6k = 1 } ;\nisempty (E) ;\nF := { i, j, k | 2i + 4j + 6k = 2, i >= 5 } ;\n"
     "isempty (F) ;\nissubset (C, A) ;\nissubset (B, A) ;\n",
     "<1> > A :=   { i, j | 3i = 7j+1 }\n<2> > false\n<3> > B :=   { i, j | 3i <= 3j+2, 3i >= 3j+1 }\n<4> > true\n"
     "<5> > C :=   { i, j | 3i <= 3j+3, 3i >= 3j+1 }\n<6> > false\n<7> > D :=   { i | 2i >= 1 }\n<8> > false\n"
     "<9> > E :=   { i, j, k | 2i+4j+6k = 1 }\n<10> > true\n<11> > F :=   { i, j, k | i+2j+3k = 1, 2j+3k <= -4 }\n"
     "<12> > false\n<13> > false\n<14> > true\n<15> End.\n"},
};

INSTANTIATE_TEST_SUITE_P(IntegerEmptiness, QueriesTranscript, ::testing::ValuesIn(unbounded_emptiness),
                         transcript_name);

const Transcript refusals[] = {
    {"UnboundedDomain", "H := { i, N | i >= 0 } ;\nC := { N | 0 <= N <= 2 } ;\npoints (H, C) ;\ncodegen (H, C) ;\n",
     "<1> > H :=   { i, N | i >= 0 }\n<2> > C :=   { N | N <= 2, N >= 0 }\n"
     "<3> > Points : domain 'H' has infinitely many points for some values of the parameters of 'C' - command ignored\n"
     "<4> > Codegen : domain 'H' has infinitely many points for some values of the parameters of 'C' - command ignored\n"
     "<5> End.\n"},
    {"UnboundedDomainWithoutParameters", "H := { i | i >= 0 } ;\nK := { | } ;\nlexmin (H, K) ;\n",
     "<1> > H :=   { i | i >= 0 }\n<2> > K := { | }\n"
     "<3> > Lexmin : domain 'H' has infinitely many points - command ignored\n<4> End.\n"},
    {"UnboundedContext",
     "T := { i, j, N | 0 <= j <= i <= N } ;\nC := { N | N >= 0 } ;\npoints (T, C) ;\ncard (T, C) ;\n"
     "lexmin (T, C) ;\nlexmax (T, C) ;\nsample (T, C) ;\n",
     "<1> > T :=   { i, j, N | i <= N, i >= j, j >= 0 }\n<2> > C :=   { N | N >= 0 }\n"
     "<3> > Points : context 'C' is unbounded: the points are listed for each value of its parameters, which must be "
     "finitely many - command ignored\n"
     // Counts and extremes are then functions of the parameters.
     "<4> > [N] -> { (1 + 3/2 * N + 1/2 * N^2) : N >= 0 }\n"
     "<5> > { N | N >= 0 } : (0, 0)\n"
     "<6> > { N | N >= 0 } : (N, N)\n"
     "<7> > Sample : context 'C' is unbounded, and PolyLib has no parametric integer programming: give the parameters "
     "bounds - command ignored\n<8> End.\n"},
    {"ContextsThatCannotBe",
     "T := { i, j, N | 0 <= j <= i <= N } ;\nA := { N | 0 <= N <= 2 } ;\nB := { N | 5 <= N <= 6 } ;\n"
     "U := A union B ;\npoints (T, U) ;\nE := { N, M | N = M } ;\ncard (A, E) ;\nZ := { N | N >= 1, N <= 0 } ;\n"
     "lexmax (T, Z) ;\n",
     "<1> > T :=   { i, j, N | i <= N, i >= j, j >= 0 }\n<2> > A :=   { N | N <= 2, N >= 0 }\n"
     "<3> > B :=   { N | N <= 6, N >= 5 }\n<4> > U :=   { N | N <= 2, N >= 0 }\nUNION   { N | N <= 6, N >= 5 }\n"
     "<5> > Points : context 'U' is a union of 2 polyhedra; a context must be a single polyhedron - command ignored\n"
     "<6> > E :=   { N, M | N = M }\n"
     "<7> > Card : context 'E' has 2 dimensions, more than the 1 of domain 'A' - command ignored\n"
     "<8> > Z :=   { N | N = 0, 0 = -1 }\n<9> > Lexmax : context 'Z' is empty - command ignored\n<10> End.\n"},
    {"UndeclaredNames",
     "K := { | } ;\npoints (X, K) ;\ncard (K, Y) ;\ncodegen (X, Y) ;\nisempty (X) ;\nissubset (K, X) ;\n"
     "isequal (X, K) ;\nG := gist (X, K) ;\n",
     "<1> > K := { | }\n<2> > Points : 'X' or 'K' undeclared - command ignored\n"
     "<3> > Card : 'K' or 'Y' undeclared - command ignored\n<4> > Codegen : 'X' or 'Y' undeclared - command ignored\n"
     "<5> > Isempty : 'X' undeclared - command ignored\n<6> > Issubset : 'K' or 'X' undeclared - command ignored\n"
     "<7> > Isequal : 'X' or 'K' undeclared - command ignored\n<8> > Gist : 'X' or 'K' undeclared - command ignored\n"
     "<9> End.\n"},
    {"DimensionsThatDiffer",
     "A := { i | 0 <= i <= 2 } ;\nB := { i, j | 0 <= i <= j <= 2 } ;\nissubset (A, B) ;\nisequal (B, A) ;\n"
     "G := gist (A, B) ;\n",
     "<1> > A :=   { i | i <= 2, i >= 0 }\n<2> > B :=   { i, j | j <= 2, i <= j, i >= 0 }\n"
     "<3> > Issubset : 'A' has 1 dimension and 'B' has 2 dimensions - command ignored\n"
     "<4> > Isequal : 'B' has 2 dimensions and 'A' has 1 dimension - command ignored\n"
     "<5> > Gist : context 'B' has 2 dimensions, more than the 1 of domain 'A' - command ignored\n<6> End.\n"},
    {"NamesTheCodeNeeds",
     "S := { S, N | 0 <= S <= N } ;\nC := { N | N >= 0 } ;\ncodegen (S, C) ;\nF := { i, for | 0 <= i <= for } ;\n"
     "G := { for | for >= 0 } ;\ncodegen (F, G) ;\nH := { i, j | 0 <= i <= j } ;\nI := { i | i >= 0 } ;\n"
     "codegen (H, I) ;\n",
     "<1> > S :=   { S, N | S <= N, S >= 0 }\n<2> > C :=   { N | N >= 0 }\n"
     "<3> > Codegen : 'S' is a name the C code needs for itself - command ignored\n"
     "<4> > F :=   { i, for | i <= for, i >= 0 }\n<5> > G :=   { for | for >= 0 }\n"
     "<6> > Codegen : 'for' is a name the C code needs for itself - command ignored\n"
     "<7> > H :=   { i, j | i <= j, i >= 0 }\n<8> > I :=   { i | i >= 0 }\n"
     "<9> > Codegen : two dimensions are named 'i' - command ignored\n<10> End.\n"},
    {"NamesFromIslNotation",
     "X := [N] -> { [i'] : 0 <= i' <= N } ;\nK := { N | N >= 0 } ;\ncodegen (X, K) ;\n"
     "Y := [N] -> { [lb_1_0] : 0 <= lb_1_0 <= N } ;\ncodegen (Y, K) ;\n",
     "<1> > X :=   { i', N | i' <= N, i' >= 0 }\n<2> > K :=   { N | N >= 0 }\n"
     "<3> > Codegen : 'i'' is not a name in C - command ignored\n"
     "<4> > Y :=   { lb_1_0, N | lb_1_0 <= N, lb_1_0 >= 0 }\n"
     "<5> > Codegen : 'lb_1_0' is a name the C code needs for itself - command ignored\n<6> End.\n"},
    {"ListingBoundOfZero", "K := { | } ;\npoints (K, K, 0) ;\nsample (K, K, 0) ;\n",
     "<1> > K := { | }\n<2> > Points : the listing bound must be at least 1 - command ignored\n"
     "<3> > Sample : the listing bound must be at least 1 - command ignored\n<4> End.\n"},
};

INSTANTIATE_TEST_SUITE_P(Refusals, QueriesTranscript, ::testing::ValuesIn(refusals), transcript_name);

// Each statement's hint, after the parse error; a hint leaves the parser
// recovering, so each malformed statement stands on its own line after a
// correct one.
const Transcript hints[] = {
    {"Points", "points (P) ;\n",
     "<1> > Error - line 1 : parse error \n"
     "> Syntax : points ('domain', 'context') ;  or  points ('domain', 'context', 'bound') ;\n<2> End.\n"},
    {"Card", "card P, K ;\n",
     "<1> > Error - line 1 : parse error \n"
     "> Syntax : card ('domain', 'context') ;  or  card ('domain', 'context', 'bound') ;\n<2> End.\n"},
    {"Lexmin", "lexmin (P, K, N) ;\n",
     "<1> > Error - line 1 : parse error \n"
     "> Syntax : lexmin ('domain', 'context') ;  or  lexmin ('domain', 'context', 'bound') ;\n<2> End.\n"},
    {"Lexmax", "lexmax (P, K, -1) ;\n",
     "<1> > Error - line 1 : parse error \n"
     "> Syntax : lexmax ('domain', 'context') ;  or  lexmax ('domain', 'context', 'bound') ;\n<2> End.\n"},
    {"Sample", "sample (P, K ;\n",
     "<1> > Error - line 1 : parse error \n"
     "> Syntax : sample ('domain', 'context') ;  or  sample ('domain', 'context', 'bound') ;\n<2> End.\n"},
    {"Codegen", "codegen (P, K, 3) ;\n",
     "<1> > Error - line 1 : parse error \n> Syntax : codegen ('domain', 'context') ;\n<2> End.\n"},
    {"Isempty", "isempty (P, Q) ;\n",
     "<1> > Error - line 1 : parse error \n> Syntax : isempty ('domain') ;\n<2> End.\n"},
    {"Issubset", "issubset (P) ;\n",
     "<1> > Error - line 1 : parse error \n> Syntax : issubset ('domain', 'domain') ;\n<2> End.\n"},
    {"Isequal", "isequal P Q ;\n",
     "<1> > Error - line 1 : parse error \n> Syntax : isequal ('domain', 'domain') ;\n<2> End.\n"},
    {"Gist", "G := gist P ;\n",
     "<1> > Error - line 1 : parse error \n> Syntax : 'name' := gist ('domain', 'context') ;\n<2> End.\n"},
};

INSTANTIATE_TEST_SUITE_P(Hints, QueriesTranscript, ::testing::ValuesIn(hints), transcript_name);

// The new keywords were identifiers: a domain of such a name can no longer be declared.
const Transcript keywords[] = {
    {"FormerIdentifiers",
     "points := { i | i >= 0 } ;\nPoints := { i | i >= 0 } ;\nsample := { i | i >= 0 } ;\n",
     "<1> > Error - line 1 : parse error \n"
     "> Syntax : points ('domain', 'context') ;  or  points ('domain', 'context', 'bound') ;\n"
     "<2> > Points :=   { i | i >= 0 }\n<3> > Error - line 3 : parse error \n"
     "> Syntax : sample ('domain', 'context') ;  or  sample ('domain', 'context', 'bound') ;\n<4> End.\n"},
};

INSTANTIATE_TEST_SUITE_P(Keywords, QueriesTranscript, ::testing::ValuesIn(keywords), transcript_name);

// Work done in the calculator's own process stops, as an analysis in the
// worker does, after the session's time limit.
TEST(QueriesTimeLimit, LongCountsAndSearchesStopAtTheLimit) {
    CapturedSession calculator;
    calculator.session().analysis_time_limit = std::chrono::milliseconds(300);
    const std::string written = calculator.run(
        "B := { i, j, k | 0 <= i <= 100000, 0 <= j <= 100000, 0 <= k <= 100000 } ;\nK := { | } ;\n"
        "points (B, K) ;\nT := { i, j, k | 0 <= i <= 1000000, 0 <= j <= 1000000, 3k >= 1, 3k <= 2 } ;\n"
        "isempty (T) ;\nlexmin (T, K) ;\n");
    for (const char* line :
         {"> Error - line 3 : the listing of the points of 'B' took more than 300 ms and was stopped - command ignored",
          "> Error - line 5 : the emptiness test of 'T' took more than 300 ms and was stopped - command ignored",
          "> Error - line 6 : the lexicographic minimum of 'T' took more than 300 ms and was stopped - command "
          "ignored"})
        EXPECT_NE(written.find(line), std::string::npos) << line << "\nin:\n" << written;
}

// 0 <= x <= `bound` on each variable but the last, which has `last`.
std::string box_of(int dimension, const std::string& last, const std::string& bound = " <= 1") {
    std::string variables, constraints;
    for (int k = 1; k <= dimension; ++k) {
        variables += (k > 1 ? ", x" : "x") + std::to_string(k);
        constraints += (k > 1 ? ", 0 <= x" : "0 <= x") + std::to_string(k) + (k < dimension ? bound : last);
    }
    return "{ " + variables + " | " + constraints + " }";
}

// Tests between domains of 10 dimensions and more (1024 vertices) search in
// the worker: the same verdicts, refusals and time limit as here.
TEST(QueriesInTheWorker, TestsBetweenLargeDomainsAnswerAsSmallOnes) {
    CapturedSession calculator;
    calculator.session().analysis_time_limit = std::chrono::milliseconds(300);
    calculator.run("A := " + box_of(10, " <= 1") + " ;\nB := " + box_of(10, " <= 2") + " ;\nE := " +
                   box_of(10, " <= 1, 3x10 >= 1, 3x10 <= 2") + " ;\nT := " +
                   box_of(11, " <= 1, 3x11 >= 1, 3x11 <= 2", " <= 1000000") + " ;\n");
    EXPECT_EQ(calculator.run("isempty (A) ;\nisempty (E) ;\nissubset (A, B) ;\nissubset (B, A) ;\nisequal (A, B) ;\n"
                             "isequal (B, B) ;\nissubset (E, A) ;\nisequal (E, A) ;\nisempty (T) ;\nissubset (A, T) ;\n"),
              "<1> > false\n<2> > true\n<3> > true\n<4> > false\n<5> > false\n<6> > true\n<7> > true\n"
              "<8> > false\n<9> > Error - line 9 : the emptiness test of 'T' took more than 300 ms and was stopped"
              " - command ignored \n<10> > Issubset : 'A' has 10 dimensions and 'T' has 11 dimensions - command "
              "ignored\n<11> ");
}

// The ready-made script of these statements answers as the README shows.
TEST(QueriesExample, AnswersAsDocumented) {
    std::ifstream file(QARNEST_SOURCE_DIR "/examples/points");
    ASSERT_TRUE(file) << "examples/points is missing";
    std::stringstream script;
    script << file.rdbuf();
    ProgramResult r = run_qarnest(script.str());
    EXPECT_EQ(r.exit_status, 0);
    const char* const answers[] = {
        "<3> > N = 0 : 1 point\n  (0, 0)\n> N = 1 : 3 points\n",
        "<4> > N = 0 : 1 point\n> N = 1 : 3 points\n> N = 2 : 6 points\n<5> ",
        "<6> > N = 0 : (0, 0)\n> N = 1 : (1, 1)\n> N = 2 : (2, 2)\n<7> ",
        "<9> for (long i = 0; i <= N; i++) {\n  for (long j = 0; j <= i; j++) {\n    S(i, j);\n  }\n}\n<10> ",
        "<11> > true\n<12> > false\n<13> > G :=   { i, j, N | i <= N, i >= j, j >= 0 }\n<14> End.\n"};
    for (const char* answer : answers) EXPECT_NE(r.out.find(answer), std::string::npos) << answer << "\nin:\n" << r.out;
}

TEST(QueriesExitStatus, ARefusedQueryInAScriptFileFailsTheRun) {
    char path[] = "/tmp/qarnest-queries-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    const std::string script = "H := { i | i >= 0 } ;\nK := { | } ;\npoints (H, K) ;\n";
    ASSERT_EQ(write(fd, script.data(), script.size()), static_cast<ssize_t>(script.size()));
    close(fd);
    ProgramResult r = run_qarnest("", {path});
    std::remove(path);
    EXPECT_EQ(r.exit_status, 1) << r.out;
}

}  // namespace
