// Definitions in isl notation and the isl statement, through a pipe: exact
// standard output; and scripts that do not use the notation keep every byte.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/run_program.h"

namespace {

struct Transcript {
    const char* name;
    const char* input;
    const char* expected;
};

void PrintTo(const Transcript& t, std::ostream* os) { *os << t.name; }

class IslTranscript : public ::testing::TestWithParam<Transcript> {};

TEST_P(IslTranscript, WritesExactOutput) {
    const Transcript& t = GetParam();
    ProgramResult r = run_qarnest(t.input);
    EXPECT_EQ(r.out, t.expected);
}

const Transcript isl_in[] = {
    {"ParametersBecomeLastDimensions", "P := [N] -> { [i, j] : 0 <= j <= i <= N } ;\n",
     "<1> > P :=   { i, j, N | i <= N, i >= j, j >= 0 }\n<2> End.\n"},
    {"SameDomainAsTheConstraintNotation",
     "P := [N] -> { [i, j] : 0 <= j <= i <= N } ;\nQ := { i, j, N | 0 <= j <= i <= N } ;\n",
     "<1> > P :=   { i, j, N | i <= N, i >= j, j >= 0 }\n<2> > Q :=   { i, j, N | i <= N, i >= j, j >= 0 }\n<3> End.\n"},
    {"UnionOfPieces", "R := { [i] : 0 <= i <= 5 or 10 <= i <= 20 } ;\n",
     "<1> > R :=   { i | i <= 5, i >= 0 }\nUNION   { i | i <= 20, i >= 10 }\n<2> End.\n"},
    {"SemicolonBetweenPieces", "R := { [i] : 0 <= i <= 9; [i = 20] } ;\n",
     "<1> > R :=   { i | i <= 9, i >= 0 }\nUNION   { i | i = 20 }\n<2> End.\n"},
    {"TrueFalseAndCoefficients", "A := { [x, y] : true } ;\nB := { [x] : false } ;\nC := { [x, y] : 2x + 3 * y <= 6 and x >= 0 and y >= 0 } ;\n",
     "<1> > A :=   { x, y |  }\n<2> > B :=   { x | x = 0, 0 = -1 }\n<3> > C :=   { x, y | 2x+3y <= 6, x >= 0, y >= 0 }\n<4> End.\n"},
    {"SpansLinesWithTheirPrompts", "P := [N] -> {\n  [i] : 0 <= i <= N\n} ;\nfoo ;\n",
     "<1> <2> <3> > P :=   { i, N | i <= N, i >= 0 }\n<4> > Error - line 4 : parse error \n>> there must be a ':=' after identifier ! \n<5> End.\n"},
    {"TakenNameAsksTheQuestion", "P := { [i] : i >= 0 } ;\nP := { [i] : i <= 0 } ;\no\nlist ;\n",
     "<1> > P :=   { i | i >= 0 }\n<2> Warning : identifier 'P' is already used for another domain !\n"
     "> Overwrite (o) , Choose another name (n) ?> OK : overwrite 'P'\n> P :=   { i | i <= 0 }\n"
     "<3> <4> > Domain List: \n>   P :=   { i | i <= 0 }\n\n> Matrix List : \n\t\n<5> End.\n"},
    {"ExistsRefusedWithOneLine", "P := { [i] : exists (e : i = 2e) } ;\nlist ;\n",
     "<1> > Error - line 1 : isl notation: existential variables ('exists') cannot be held by a PolyLib domain - 'P' "
     "is not stored \n<2> > Domain List: \n\n> Matrix List : \n\t\n<3> End.\n"},
    {"RelationRefusedWithOneLine", "M := { [i] -> [j] : j = i + 1 } ;\n",
     "<1> > Error - line 1 : isl notation: relations between tuples ('->') cannot be held by a PolyLib domain - 'M' "
     "is not stored \n<2> End.\n"},
    {"RefusalKeepsTheOldDefinition", "P := { [i] : i >= 0 } ;\nP := { [i] : i mod 2 = 0 } ;\nprint P ;\n",
     "<1> > P :=   { i | i >= 0 }\n<2> > Error - line 2 : isl notation: remainders and strides ('mod') cannot be held "
     "by a PolyLib domain - 'P' is not stored \n<3> > P :=   { i | i >= 0 }\n<4> End.\n"},
    {"TypingErrorGivesTheHint", "S := { [i] : i >= } ;\nT := { [i] : i > 0 ;\n",
     "<1> > Error - line 1 : isl notation: an expression expected, not '}' - 'S' is not stored \n"
     "> Syntax : 'name' := [params] -> { [variables] : constraints } ;\n"
     "<2> > Error - line 2 : isl notation: '}' expected to close the set, not the end of the text - 'T' is not stored \n"
     "> Syntax : 'name' := [params] -> { [variables] : constraints } ;\n<3> End.\n"},
    {"TokensAfterTheSet", "Q := { [i] : i >= 0 } foo ;\n",
     "<1> > Error - line 1 : parse error \n> Syntax : 'name' := [params] -> { [variables] : constraints } ;\n<2> End.\n"},
    {"UnfinishedAtEndOfInput", "P := [N] -> { [i] : i <= N\n",
     "<1> <2> \nEnd of file parsing.\n\nEnd.\n"},
};
INSTANTIATE_TEST_SUITE_P(IslIn, IslTranscript, ::testing::ValuesIn(isl_in),
                         [](const auto& info) { return std::string(info.param.name); });

const Transcript isl_out[] = {
    {"WholeDomain", "P := { i, j | 0 <= j <= i <= 3 } ;\nisl P ;\n",
     "<1> > P :=   { i, j | i <= 3, i >= j, j >= 0 }\n<2> > P := { [i, j] : i <= 3 and i >= j and j >= 0 }\n<3> End.\n"},
    {"ContextNamesTheParameters",
     "T := { i, j, N | 0 <= j <= i <= N } ;\nC := { N | N >= 0 } ;\nisl (T, C) ;\n",
     "<1> > T :=   { i, j, N | i <= N, i >= j, j >= 0 }\n<2> > C :=   { N | N >= 0 }\n"
     "<3> > T := [N] -> { [i, j] : i <= N and i >= j and j >= 0 }\n<4> End.\n"},
    {"OnePiecePerPolyhedron", "A := { i | 0 <= i <= 2 } ;\nB := { i | i >= 5 } ;\nU := A union B ;\nisl U ;\n",
     "<1> > A :=   { i | i <= 2, i >= 0 }\n<2> > B :=   { i | i >= 5 }\n"
     "<3> > U :=   { i | i <= 2, i >= 0 }\nUNION   { i | i >= 5 }\n"
     "<4> > U := { [i] : (i <= 2 and i >= 0) or i >= 5 }\n<5> End.\n"},
    {"EmptyAndZeroDimensional", "E := { i | i >= 1, i <= 0 } ;\nZ := { | } ;\nisl E ;\nisl Z ;\n",
     "<1> > E :=   { i | i = 0, 0 = -1 }\n<2> > Z := { | }\n<3> > E := { [i] : false }\n<4> > Z := { [] : false }\n<5> End.\n"},
    {"Undeclared", "isl Q ;\nP := { i | } ;\nisl (P, K) ;\n",
     "<1> > Error - line 1 :  'Q' undeclared - isl: command ignored \n<2> > P :=   { i |  }\n"
     "<3> > Error - line 3 :  'K' undeclared - isl: command ignored \n<4> End.\n"},
    {"ContextLargerThanTheDomain", "P := { i | } ;\nK := { N, M | } ;\nisl (P, K) ;\n",
     "<1> > P :=   { i |  }\n<2> > K :=   { N, M |  }\n"
     "<3> > Error - line 3 : isl : the context 'K' has 2 dimensions, more than the 1 of 'P' - command ignored \n<4> End.\n"},
    {"Hint", "isl ;\nisl (P) ;\n",
     "<1> > Error - line 1 : parse error \n> Syntax : isl 'domain' ;  or  isl ('domain', 'context') ;\n"
     "<2> > Error - line 2 : parse error \n> Syntax : isl 'domain' ;  or  isl ('domain', 'context') ;\n<3> End.\n"},
};
INSTANTIATE_TEST_SUITE_P(IslOut, IslTranscript, ::testing::ValuesIn(isl_out),
                         [](const auto& info) { return std::string(info.param.name); });

// The brackets and the colon were characters outside any token, echoed and
// ignored; isl's words were identifiers. Where no isl set can begin, they
// still are: these are the outputs of the calculator before the notation.
const Transcript unchanged[] = {
    {"BracketsOutsideASet", "P := { i | 0 <= i <= 3 } ;\nQ := [P] union P ;\nU := [P] - [Q] ;\n",
     "<1> > P :=   { i | i <= 3, i >= 0 }\n<2> []> Q :=   { i | i <= 3, i >= 0 }\n<3> [][]> U :=   { i | i = 0, 0 = -1 }\n<4> End.\n"},
    {"BracketsBeforeTheBar", "R := { [i] | [i] >= 0 } ;\nT := { [] : | } ;\nS := { i : | i >= 1 } ;\n",
     "<1> [][]> R :=   { i | i >= 0 }\n<2> []:> T := { | }\n<3> :> S :=   { i | i >= 1 }\n<4> End.\n"},
    {"EntriesWithoutATokenOrEmpty", "P := { [_] : x | x >= 0 } ;\nQ := { [i,] : j | j >= 0 } ;\n",
     "<1> [_]:> P :=   { x | x >= 0 }\n<2> []:> Q :=   { i, j | j >= 0 }\n<3> End.\n"},
    {"IslWordsAreIdentifiers", "and := { or | or >= 0, or <= 2 } ;\nexists := and inter and ;\nprint exists ;\nlist : ;\n",
     "<1> > and :=   { or | or >= 0, or <= 2 }\n<2> > exists :=   { or | or >= 0, or <= 2 }\n"
     "<3> > exists :=   { or | or >= 0, or <= 2 }\n<4> :> Domain List: \n>   exists :=   { or | or >= 0, or <= 2 }\n"
     ">   and :=   { or | or >= 0, or <= 2 }\n\n> Matrix List : \n\t\n<5> End.\n"},
};
INSTANTIATE_TEST_SUITE_P(Unchanged, IslTranscript, ::testing::ValuesIn(unchanged),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
