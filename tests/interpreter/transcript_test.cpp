// Statement scripts through a pipe: exact standard output and exit status.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/run_program.h"

namespace {

struct Transcript {
    const char* name;
    const char* input;
    const char* expected;
};

void PrintTo(const Transcript& t, std::ostream* os) { *os << t.name; }

class TranscriptTest : public ::testing::TestWithParam<Transcript> {};

TEST_P(TranscriptTest, WritesExactOutput) {
    const Transcript& t = GetParam();
    ProgramResult r = run_qarnest(t.input);
    EXPECT_EQ(r.exit_status, 0) << r.err;
    EXPECT_EQ(r.out, t.expected);
}

std::string transcript_name(const ::testing::TestParamInfo<Transcript>& info) { return info.param.name; }

const Transcript start_and_end[] = {
    {"EmptyInput", "", "<1> \nEnd of file parsing.\n\nEnd.\n"},
    {"FinalNewlineGivesPrompt", "list ;\n",
     "<1> > Domain List: \n\n> Matrix List : \n\t\n<2> End.\n"},
    {"NoFinalNewlineNoPrompt", "list ;", "<1> > Domain List: \n\n> Matrix List : \n\t\nEnd.\n"},
    {"QuitStopsReading", "quit list ;\n", "<1> \n bye...\n\nEnd.\n"},
    {"QuitNeedsNoSemicolon", "list ;\nquit\nlist ;\n",
     "<1> > Domain List: \n\n> Matrix List : \n\t\n<2> \n bye...\n\nEnd.\n"},
};
INSTANTIATE_TEST_SUITE_P(StartAndEnd, TranscriptTest, ::testing::ValuesIn(start_and_end), transcript_name);

const Transcript declarations[] = {
    {"ChainAndEquation",
     "P := { i, j | 0 <= i <= 10, j = 2 i } ;\n",
     "<1> > P :=   { i, j | 2i = j, j <= 20, j >= 0 }\n<2> End.\n"},
    {"StrictInequality",
     "P := { i | i < 5 } ;\n",
     "<1> > P :=   { i | i <= 4 }\n<2> End.\n"},
    {"UniverseWithoutConstraints",
     "P := { i | } ;\nQ := { i | i } ;\n",
     "<1> > P :=   { i |  }\n<2> > Q :=   { i |  }\n<3> End.\n"},
    {"LeadingComma",
     "P := { i | , i >= 0 } ;\n",
     "<1> > P :=   { i | i >= 0 }\n<2> End.\n"},
    {"DuplicateVariable",
     "P := { i, i | i >= 0 } ;\nlist ;\n",
     "<1> > more than one variable 'i' in polyhedron declaration - Action cancelled !\n<2> > Domain List: \n\n> Matrix List : \n\t\n<3> End.\n"},
    {"DuplicateVariableStillReportsUndeclared",
     "P := { i, i | a >= 0 } ;\n",
     "<1> > more than one variable 'i' in polyhedron declaration - Action cancelled !\n> Error - line 1 : there is an undeclared variable used in constraints !!\n \n<2> End.\n"},
    {"UndeclaredVariable",
     "P := { i | a >= 0 } ;\n",
     "<1> > Error - line 1 : there is an undeclared variable used in constraints !!\n \n"
     "> undeclared variable 'a' in polyhedron declaration - Action cancelled !\n<2> End.\n"},
    {"UndeclaredVariableKeepsTheOldDefinition",
     "P := { i | 0 <= i <= 3 } ;\nP := { i | 0 <= i <= n } ;\nprint P ;\n",
     "<1> > P :=   { i | i <= 3, i >= 0 }\n"
     "<2> > Error - line 2 : there is an undeclared variable used in constraints !!\n \n"
     "> undeclared variable 'n' in polyhedron declaration - Action cancelled !\n"
     "<3> > P :=   { i | i <= 3, i >= 0 }\n<4> End.\n"},
    {"UndeclaredVariablesCancelOnce",
     "P := { i, j | 0 <= j <= i <= N, i + 2M = 4 } ;\nlist ;\n",
     "<1> > Error - line 1 : there is an undeclared variable used in constraints !!\n \n"
     "> undeclared variable 'N' in polyhedron declaration - Action cancelled !\n"
     "> Error - line 1 : there is an undeclared variable used in constraints !!\n \n"
     "<2> > Domain List: \n\n> Matrix List : \n\t\n<3> End.\n"},
    {"EmptyDomain",
     "P := { | } ;\nprint P ;\n",
     "<1> > P := { | }\n<2> > P := { | }\n<3> End.\n"},
    {"MatrixDeclaration",
     "M := ((1, -2), (+3, 4)) ;\nprint M ;\nN := ((5)) ;\nprint N ;\n",
     "<1> <2> > M := (\n             (    1 ,  -2  ),\n             (    3 ,   4  )   )\n<3> <4> > N := (\n             (    5  )   )\n<5> End.\n"},
    {"MatrixRowsOfDifferentLengths",
     "M := ((1, 2), (3), (4, 5)) ;\nprint M ;\nN := ((7, 8)) ;\nprint N ;\n",
     "<1> > Matrix declaration : error in dimension\n> error in matrix declaration\n<2> > Error - line 2 :  'M' undeclared - print: command ignored \n<3> <4> > N := (\n             (    7 ,   8  )   )\n<5> End.\n"},
    {"ListOrderNewestFirst",
     "A := ((1)) ;\nB := ((2)) ;\nP := { i | i >= 0 } ;\nQ := { i, j | i <= j } ;\nlist ;\n",
     "<1> <2> <3> > P :=   { i | i >= 0 }\n<4> > Q :=   { i, j | i <= j }\n<5> > Domain List: \n>   Q :=   { i, j | i <= j }\n>   P :=   { i | i >= 0 }\n\n> Matrix List : \n\tB, A\n\n<6> End.\n"},
    {"ListEmpty",
     "list ;\n",
     "<1> > Domain List: \n\n> Matrix List : \n\t\n<2> End.\n"},
    {"PrintDomainHidesMatrix",
     "X := ((1, 2)) ;\nX := { i | i >= 3 } ;\nprint X ;\ndel X ;\nprint X ;\n",
     "<1> <2> > X :=   { i | i >= 3 }\n<3> > X :=   { i | i >= 3 }\n<4> > Succeded ! 'X' is deleted from DomainList\n<5> > X := (\n             (    1 ,   2  )   )\n<6> End.\n"},
    {"PrintUndeclared",
     "print Z ;\n",
     "<1> > Error - line 1 :  'Z' undeclared - print: command ignored \n<2> End.\n"},
    {"DelDomainAndMatrix",
     "P := { i | i >= 0 } ;\nM := ((1)) ;\ndel P ;\ndel M ;\ndel P ;\nlist ;\n",
     "<1> > P :=   { i | i >= 0 }\n<2> <3> > Succeded ! 'P' is deleted from DomainList\n<4> > Succeded ! 'M' is deleted from MatrixList\n<5> > Error - line 5 : > 'P' undeclared - del : command ignored\n \n<6> > Domain List: \n\n> Matrix List : \n\t\n<7> End.\n"},
    {"KeywordsAreCaseSensitive",
     "Help ;\nDD := { i | i >= 0 } ;\ndd1 := { i | i <= 0 } ;\nhelpx := { i | i = 0 } ;\nlist ;\n",
     "<1> > Error - line 1 : parse error \n>> there must be a ':=' after identifier ! \n<2> > DD :=   { i | i >= 0 }\n<3> > dd1 :=   { i | i <= 0 }\n<4> > helpx :=   { i | i = 0 }\n<5> > Domain List: \n>   helpx :=   { i | i = 0 }\n>   dd1 :=   { i | i <= 0 }\n>   DD :=   { i | i >= 0 }\n\n> Matrix List : \n\t\n<6> End.\n"},
    {"LongestMatchAndAdjacency",
     "P := { x | x<=3 } ;\nQ := { x | x< =3 } ;\nR := { ab | 12ab >= 1 } ;\nS := { i | i >= -5 } ;\n",
     "<1> > P :=   { x | x <= 3 }\n<2> > Error - line 2 : parse error \n>> error in constraints \n<3> > R :=   { ab | 12ab >= 1 }\n<4> > S :=   { i | i >= -5 }\n<5> End.\n"},
    {"UnmatchedCharactersEchoed",
     "P := { a | a_b >= 0 } ;\n\tlist\t; #/\n",
     "<1> _> Error - line 1 : parse error \n>> error in constraints \n<2> \t\t> Domain List: \n\n> Matrix List : \n\t\n#/<3> End.\n"},
    {"LoneColonEchoed",
     "P : = { i | i >= 0 } ;\n",
     "<1> :> Error - line 1 : parse error \n>> there must be a ':=' after identifier ! \n<2> End.\n"},
    {"PositiveAndNegativeCoefficients",
     "P := { i, j | 3 i - 2 j + 4 >= 0, -i <= 7, 2 * (i - j) = 3 * (j + 1) } ;\n",
     "<1> > P :=   { i, j | 2i = 5j+3, 11j >= -17 }\n<2> End.\n"},
    {"FourComparators",
     "P := { x, y | x < y, x > 3, y <= 10, y >= x } ;\n",
     "<1> > P :=   { x, y | x <= y-1, x >= 4, y <= 10 }\n<2> End.\n"},
    {"EmptyIntersectionStored",
     "P := { i | i >= 1, i <= 0 } ;\n",
     "<1> > P :=   { i | i = 0, 0 = -1 }\n<2> End.\n"},
    {"SixtyFourBitCoefficientByProducts",
     "H := { i | 50000 * 100000 i >= 1 } ;\nprint H ;\n",
     "<1> > H :=   { i | 5000000000i >= 1 }\n<2> > H :=   { i | 5000000000i >= 1 }\n<3> End.\n"},
    {"RepeatedTermsAddUp",
     "P := { i, j | i + i + j - j >= 2 i - 4 } ;\n",
     "<1> > P :=   { i, j |  }\n<2> End.\n"},
};
INSTANTIATE_TEST_SUITE_P(Declarations, TranscriptTest, ::testing::ValuesIn(declarations), transcript_name);

const Transcript syntax_errors[] = {
    {"BarWithoutVariables",
     "P := { | i >= 0 } ;\nlist ;\n",
     "<1> > Error - line 1 : parse error \n>> error in variable list\n<2> > Domain List: \n\n> Matrix List : \n\t\n<3> End.\n"},
    {"MissingCommaBetweenVariables",
     "P := { i j | i >= 0 } ;\n",
     "<1> > Error - line 1 : parse error \n>> '|' missing\n<2> End.\n"},
    {"TrailingCommaInVariables",
     "P := { i , | i >= 0 } ;\n",
     "<1> > Error - line 1 : parse error \n>> '|' missing\n<2> End.\n"},
    {"IncompleteComparison",
     "P := { i | i >= } ;\n",
     "<1> > Error - line 1 : parse error \n>> error in constraints \n<2> End.\n"},
    {"MissingClosingBrace",
     "P := { i | i >= 0 ;\nlist ;\n",
     "<1> > Error - line 1 : parse error \n>> error in constraints \n<2> > Domain List: \n\n> Matrix List : \n\t\n<3> End.\n"},
    {"EquationsDoNotChain",
     "P := { a, b, c | a = b = c } ;\nQ := { a, b, c | a = b >= c } ;\n",
     "<1> > Error - line 1 : parse error \n>> error in constraints \n<2> > Error - line 2 : parse error \n>> error in constraints \n<3> End.\n"},
    {"NoUnaryPlusInExpressions",
     "P := { i | + i >= 0 } ;\n",
     "<1> > Error - line 1 : parse error \n>> error in constraints \n<2> End.\n"},
    {"NoNumberBeforeBracket",
     "P := { i | 2 (i) >= 0 } ;\n",
     "<1> > Error - line 1 : parse error \n>> error in constraints \n<2> End.\n"},
    {"NoTimesAfterExpression",
     "P := { i | i * 2 >= 0 } ;\n",
     "<1> > Error - line 1 : parse error \n>> error in constraints \n<2> End.\n"},
    {"MissingAssignment",
     "P Q ;\nfoo ;\n",
     "<1> > Error - line 1 : parse error \n>> there must be a ':=' after identifier ! \n<2> > Error - line 2 : parse error \n>> there must be a ':=' after identifier ! \n<3> End.\n"},
    {"DdWithoutOperand",
     "P := dd ;\n",
     "<1> > Error - line 1 : parse error \n>> bad command - type 'help' for informations about syntax \n<2> End.\n"},
    {"LoneSemicolon",
     ";\n",
     "<1> > Error - line 1 : parse error \n>> bad command - type 'help' for informations about syntax\n<2> End.\n"},
    {"ListList",
     "list list ;\n",
     "<1> > Error - line 1 : parse error \n>> bad command - type 'help' for informations about syntax\n<2> End.\n"},
    {"UnionHint",
     "P := Q union ;\nP := Q union R S ;\n",
     "<1> > Error - line 1 : parse error \n> Syntax : 'res' := 'P1' union 'P2' ;\n<2> > Error - line 2 : parse error \n> Syntax : 'res' := 'P1' union 'P2' ;\n<3> End.\n"},
    {"UnionHintOneCharacter",
     "P := Q + ;\n",
     "<1> > Error - line 1 : parse error \n> Syntax : 'res' := 'P1' union 'P2' ;\n<2> End.\n"},
    {"InterHint",
     "P := Q inter ;\nP := Q . ;\n",
     "<1> > Error - line 1 : parse error \n> Syntax : 'res' := 'P1' inter 'P2' ;\n<2> > Error - line 2 : parse error \n> Syntax : 'res' := 'P1' inter 'P2' ;\n<3> End.\n"},
    {"DiffHint",
     "P := Q diff ;\nP := Q - ;\n",
     "<1> > Error - line 1 : parse error \n> Syntax : 'res' := 'P1' diff 'P2' ;\n<2> > Error - line 2 : parse error \n> Syntax : 'res' := 'P1' diff 'P2' ;\n<3> End.\n"},
    {"ImageHint",
     "P := image (A) ;\n",
     "<1> > Error - line 1 : parse error \n> Syntax : 'name' := image ('domain', 'matrix') ;\n<2> End.\n"},
    {"PreimageHint",
     "P := preimage A, M ;\n",
     "<1> > Error - line 1 : parse error \n> Syntax : 'name' := preimage ('domain', 'matrix') ;\n<2> End.\n"},
    {"ConvexHint",
     "P := convex ;\n",
     "<1> > Error - line 1 : parse error \n> Syntax : 'name' := convex 'domain' ;\n<2> End.\n"},
    {"VerticesHint",
     "vertices (A, B ;\n",
     "<1> > Error - line 1 : parse error \n> Syntax : vertices ('domain', 'context') ;\n<2> End.\n"},
    {"EhrhartHint",
     "ehrhart A ;\n",
     "<1> > Error - line 1 : parse error \n> Syntax : ehrhart ('domain', 'context') ;\n<2> End.\n"},
    {"InitvisuHint",
     "initvisu (-1, K) ;\n",
     "<1> > Error - line 1 : parse error \n> Syntax : initvisu ('dimension', 'context') ;\n<2> End.\n"},
    {"VisuHint",
     "visu P ;\n",
     "<1> > Error - line 1 : parse error \n> Syntax : visu (domain) ;\n<2> End.\n"},
    {"PrintHint",
     "print ;\n",
     "<1> > Error - line 1 : parse error \n> Syntax: print 'name' ;\n<2> End.\n"},
    {"PLprintHint",
     "PLprint ;\n",
     "<1> > Error - line 1 : parse error \n> Syntax: PLprint 'name' ;\n<2> End.\n"},
    {"PLconsHint",
     "PLcons ;\n",
     "<1> > Error - line 1 : parse error \n> Syntax: PLcons 'domain' ;\n<2> End.\n"},
    {"PLraysHint",
     "PLrays ;\n",
     "<1> > Error - line 1 : parse error \n> Syntax: PLrays 'domain' ;\n<2> End.\n"},
    {"DelHint",
     "del ;\n",
     "<1> > Error - line 1 : parse error \n> Syntax : del 'domain' ;\n<2> End.\n"},
    {"HintKeepsRecoveringIntoNextStatement",
     "print ;\nfoo ;\n",
     "<1> > Error - line 1 : parse error \n> Syntax: print 'name' ;\n<2> >> there must be a ':=' after identifier ! \n<3> End.\n"},
    {"ErrorAfterEndingProductionIsReportedAgain",
     "foo ;\nbar ;\n",
     "<1> > Error - line 1 : parse error \n>> there must be a ':=' after identifier ! \n<2> > Error - line 2 : parse error \n>> there must be a ':=' after identifier ! \n<3> End.\n"},
    {"BadMatrixRow",
     "M := ((1, 2), 3) ;\nM := () ;\n",
     "<1> > Error - line 1 : parse error \n>> bad command - type 'help' for informations about syntax \n<2> > Error - line 2 : parse error \n>> bad command - type 'help' for informations about syntax \n<3> End.\n"},
    {"MatrixEntryNotANumber",
     "M := ((1, a)) ;\n",
     "<1> > Error - line 1 : parse error \n>> bad command - type 'help' for informations about syntax \n<2> End.\n"},
    {"EndOfInputInsideStatement",
     "P := { i | i >= 0",
     "<1> \nEnd of file parsing.\n\nEnd.\n"},
    {"EndOfInputAfterStatementStart",
     "list",
     "<1> \nEnd of file parsing.\n\nEnd.\n"},
    {"StatementAfterErrorWorks",
     "P := { | i >= 0 } ;\nP := { i | i >= 0 } ;\n",
     "<1> > Error - line 1 : parse error \n>> error in variable list\n<2> > P :=   { i | i >= 0 }\n<3> End.\n"},
    {"DeclarationAfterFailedDeclarationStartsClean",
     "P := { i, j | j >= } ;\nQ := { k | k >= 1 } ;\n",
     "<1> > Error - line 1 : parse error \n>> error in constraints \n<2> > Q :=   { k | k >= 1 }\n<3> End.\n"},
    {"MatrixAfterBadMatrixStartsAtRowZero",
     "M := ((1, 2) (3, 4)) ;\nN := ((9)) ;\nprint N ;\n",
     "<1> > Error - line 1 : parse error \n>> bad command - type 'help' for informations about syntax \n<2> <3> > N := (\n             (    9  )   )\n<4> End.\n"},
    {"QuitMidLine",
     "list ; quit list ;\n",
     "<1> > Domain List: \n\n> Matrix List : \n\t\n\n bye...\n\nEnd.\n"},
    {"FigureWithoutQuotes",
     "figure out.svg ;\nlist ;\n",
     "<1> > Error - line 1 : parse error \n> Syntax : figure \"file.svg\" ;  or  figure \"file.svg\" (width, height) ;\n"
     "<2> > Domain List: \n\n> Matrix List : \n\t\n<3> End.\n"},
    {"FigureQuoteNotClosedOnItsLine",
     "figure \"out.svg ;\n\" ;\n",
     "<1> \"> Error - line 1 : parse error \n> Syntax : figure \"file.svg\" ;  or  figure \"file.svg\" (width, height) ;\n"
     "<2> \">> bad command - type 'help' for informations about syntax\n<3> End.\n"},
    {"FigureSizeNotTwoNumbers",
     "figure \"out.svg\" (640) ;\nfigure \"out.svg\" 640 480 ;\nfigure \"out.svg\" (2147483648, 1) ;\n",
     "<1> > Error - line 1 : parse error \n> Syntax : figure \"file.svg\" ;  or  figure \"file.svg\" (width, height) ;\n"
     "<2> > Error - line 2 : parse error \n> Syntax : figure \"file.svg\" ;  or  figure \"file.svg\" (width, height) ;\n"
     "<3> > Error - line 3 : number 2147483648 is too large (the largest is 2147483647) \n"
     "> Error - line 3 : parse error \n> Syntax : figure \"file.svg\" ;  or  figure \"file.svg\" (width, height) ;\n"
     "<4> End.\n"},
    {"QuotesAwayFromFigureAreCharactersOutsideTokens",
     "P := \"a\" ;\nlist ; \"\n",
     "<1> \"\"> Error - line 1 : parse error \n>> bad command - type 'help' for informations about syntax \n"
     "<2> > Domain List: \n\n> Matrix List : \n\t\n\"<3> End.\n"},
    {"NumberTooLarge",
     "P := { i | i >= 2147483648 } ;\nQ := { i | i >= 2147483647 } ;\n",
     "<1> > Error - line 1 : number 2147483648 is too large (the largest is 2147483647) \n> Error - line 1 : parse error \n>> error in constraints \n<2> > Q :=   { i | i >= 2147483647 }\n<3> End.\n"},
};
INSTANTIATE_TEST_SUITE_P(SyntaxErrors, TranscriptTest, ::testing::ValuesIn(syntax_errors), transcript_name);

const Transcript viewer_not_started[] = {
    {"VisuBeforeInitvisu", "P := { i | i >= 0 } ;\nvisu (P) ;\n",
     "<1> > P :=   { i | i >= 0 }\n<2> Can't visualize this domain (probably wrong dimension)!\n<3> End.\n"},
    {"VisuOfAnUndeclaredName", "visu (Q) ;\n",
     "<1> > Error - line 1 :  'Q' undeclared - visu: command ignored \n<2> End.\n"},
    {"InitvisuDimensionZero", "P := { i | i >= 0 } ;\ninitvisu (0, P) ;\n",
     "<1> > P :=   { i | i >= 0 }\n<2> Bad initialisation of 'init_visu': DimNP <= 0 \n<3> End.\n"},
    {"InitvisuAboveMaxdim", "P := { i | i >= 0 } ;\ninitvisu (11, P) ;\n",
     "<1> > P :=   { i | i >= 0 }\n<2> Bad initialisation of 'init_visu': DimNP > MAXDIM \nNow MAXDIM = 10. Draw the "
     "image of the domain by a matrix that keeps at most 10 of its dimensions.\n<3> End.\n"},
    {"InitvisuUndeclaredContext", "initvisu (2, Z) ;\n",
     "<1> The domain selected as context is not defined!\n<2> End.\n"},
};
INSTANTIATE_TEST_SUITE_P(ViewerNotStarted, TranscriptTest, ::testing::ValuesIn(viewer_not_started), transcript_name);

// The ready-made scripts of examples/ that need no window run to their end.
TEST(ExampleScripts, RunToTheEndWithoutErrorsFromThePolyhedralWork) {
    for (const char* name : {"basics", "matrices", "ehrhart", "interchange"}) {
        std::ifstream file(std::string(QARNEST_SOURCE_DIR) + "/examples/" + name);
        ASSERT_TRUE(file) << name;
        std::stringstream script;
        script << file.rdbuf();
        ProgramResult r = run_qarnest(script.str());
        EXPECT_EQ(r.exit_status, 0) << name;
        EXPECT_TRUE(r.out.size() >= 5 && r.out.compare(r.out.size() - 5, 5, "End.\n") == 0) << name << r.out;
        EXPECT_EQ(r.out.find("PolyLib failed"), std::string::npos) << name;
        EXPECT_EQ(r.out.find("End of file parsing"), std::string::npos) << name;
    }
}

// The declaration examples of the help text and of the README declare every
// variable their constraints use: typed as shown, they store a domain.
TEST(DocumentedDeclarations, StoreTheirDomain) {
    ProgramResult help = run_qarnest("help ;\n");
    std::ifstream readme_file(std::string(QARNEST_SOURCE_DIR) + "/README.md");
    std::stringstream readme;
    readme << readme_file.rdbuf();
    std::vector<std::string> examples;
    for (const std::string& text : {help.out, readme.str()}) {
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);) {
            std::size_t start = line.find("P := { i, j");
            std::size_t end = line.find("} ;", start);
            if (start == std::string::npos || end == std::string::npos) continue;
            std::string statement = line.substr(start, end + 3 - start);
            for (std::size_t bar; (bar = statement.find("\\|")) != std::string::npos;) statement.erase(bar, 1);
            examples.push_back(statement);
        }
    }
    ASSERT_EQ(examples.size(), 2u);
    for (const std::string& example : examples) {
        ProgramResult r = run_qarnest(example + "\nlist ;\n");
        EXPECT_EQ(r.out.find("undeclared"), std::string::npos) << example << "\n" << r.out;
        EXPECT_NE(r.out.find(">   P :=   { i, j, N | "), std::string::npos) << example << "\n" << r.out;
    }
}

}  // namespace
