// Hostile and oversized input through a pipe: each case gives its message,
// stores nothing it should not, and the interpreter goes on (or ends cleanly).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "tests/support/run_program.h"

namespace {

std::string repeated(const std::string& piece, int count, const std::string& separator) {
    std::string text;
    for (int k = 0; k < count; ++k) text += (k ? separator : "") + piece;
    return text;
}

bool contains(const std::string& text, const std::string& piece) { return text.find(piece) != std::string::npos; }

TEST(ParserStack, SixThousandComparisonsOverflowTheStack) {
    ProgramResult r = run_qarnest("P := { i | " + repeated("i", 6001, " <= ") + " } ;\nlist ;\n");
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.out, "<1> > Error - line 1 : parser stack overflow \nEnd.\n");
}

TEST(ParserStack, FourThousandComparisonsAreParsed) {
    ProgramResult r = run_qarnest("P := { i | 0 <= " + repeated("i", 4000, " <= ") + " <= 2 } ;\n");
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.out, "<1> > P :=   { i | i <= 2, i >= 0 }\n<2> End.\n");
}

TEST(ParserStack, DeepBracketsAndMinusSignsOverflowToo) {
    ProgramResult brackets = run_qarnest("P := { i | " + std::string(12000, '(') + "i" + std::string(12000, ')') + " >= 0 } ;\n");
    EXPECT_EQ(brackets.out, "<1> > Error - line 1 : parser stack overflow \nEnd.\n");
    ProgramResult minus = run_qarnest("P := { i | " + repeated("-", 4000, " ") + " i >= 0 } ;\n");
    EXPECT_EQ(minus.out, "<1> > P :=   { i | i >= 0 }\n<2> End.\n");
}

TEST(Scanner, IdentifierLongerThanTheBufferIsReturnedWhole) {
    const std::string name(20000, 'x');
    ProgramResult r = run_qarnest(name + " := { i | i >= 0 } ;\nprint " + name + " ;\n");
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.out, "<1> > " + name + " :=   { i | i >= 0 }\n<2> > " + name + " :=   { i | i >= 0 }\n<3> End.\n");
}

TEST(Scanner, NulAndHighBytesAreEchoedAndIgnored) {
    std::string input = std::string("P := { i |") + '\0' + " i >= 0 \xe9\xff} ;\nprint P ;\n";
    ProgramResult r = run_qarnest(input);
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.out, std::string("<1> ") + '\0' + "\xe9\xff> P :=   { i | i >= 0 }\n<2> > P :=   { i | i >= 0 }\n<3> End.\n");
}

TEST(Scanner, NulInsideAWordSplitsIt) {
    std::string input = std::string("li") + '\0' + "st ;\n";
    ProgramResult r = run_qarnest(input);
    EXPECT_EQ(r.out, std::string("<1> ") + '\0' + "> Error - line 1 : parse error \n"
                     ">> there must be a ':=' after identifier ! \n<2> End.\n");
}

TEST(Scanner, CarriageReturnsAreEchoed) {
    ProgramResult r = run_qarnest("list ;\r\n");
    EXPECT_EQ(r.out, "<1> > Domain List: \n\n> Matrix List : \n\t\n\r<2> End.\n");
}

struct OverflowCase {
    const char* name;
    const char* constraint;
};

void PrintTo(const OverflowCase& c, std::ostream* os) { *os << c.name; }

class CoefficientOverflow : public ::testing::TestWithParam<OverflowCase> {};

TEST_P(CoefficientOverflow, CancelsTheDeclarationAndGoesOn) {
    ProgramResult r = run_qarnest(std::string("P := { i, j | ") + GetParam().constraint + " } ;\nlist ;\n");
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.out,
              "<1> > integer overflow in polyhedron declaration - Action cancelled !\n"
              "<2> > Domain List: \n\n> Matrix List : \n\t\n<3> End.\n");
}

const OverflowCase overflow_cases[] = {
    {"ProductOfCoefficients", "2147483647 * 2147483647 * 2147483647 * i >= 0"},
    {"ProductOfConstants", "i >= 2147483647 * 2147483647 * 2147483647"},
    {"SumOfTermsInOneColumn",
     "2147483647 * 2147483647 * 2 i + 2147483647 * 2147483647 * 2 i >= 0"},
    {"SumOfConstants", "i >= 2147483647 * 2147483647 * 2 + 2147483647 * 2147483647 * 2"},
    {"StrictComparisonConstant", "i + 2147483647 * 2147483647 * 2 + 1 < 0 - 2147483647 * 2147483647 * 2"},
    {"NegatedSmallestValue", "i = - (2147483647 * 2147483647 * 2 + 2147483647 * 2147483647 * 2 + 2)"},
};
INSTANTIATE_TEST_SUITE_P(Declarations, CoefficientOverflow, ::testing::ValuesIn(overflow_cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CoefficientOverflowEdge, SumsThatFitReachPolyLibWhoseOverflowIsReported) {
    ProgramResult r = run_qarnest("P := { i | 2147483647 * 2147483647 * 2 i >= 2147483647 * 2147483647 * 2 } ;\nlist ;\n");
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.out,
              "<1> > Error - line 1 : PolyLib failed on the declaration of 'P' (arithmetic overflow or work space "
              "exceeded) - command ignored \n<2> > Domain List: \n\n> Matrix List : \n\t\n<3> End.\n");
}

TEST(Capacities, ConstraintRowsOnBothSidesOfOneThousand) {
    for (int rows : {1000, 1001, 2500}) {
        std::string constraints = repeated("i >= 0", rows - 1, ", ") + ", i <= 9";
        ProgramResult r = run_qarnest("P := { i | " + constraints + " } ;\n");
        EXPECT_EQ(r.out, "<1> > P :=   { i | i >= 0, i <= 9 }\n<2> End.\n") << rows << " rows";
    }
}

TEST(Capacities, MatrixRowsOnBothSidesOfOneHundred) {
    for (int rows : {100, 101, 300}) {
        std::string matrix;
        for (int k = 0; k < rows; ++k) matrix += (k ? ", (" : "(") + std::to_string(k) + ", 1)";
        ProgramResult r = run_qarnest("M := (" + matrix + ") ;\nprint M ;\n");
        EXPECT_EQ(r.exit_status, 0);
        char last_row[64];
        std::snprintf(last_row, sizeof last_row, "( %4d ,   1  )   )\n", rows - 1);
        EXPECT_TRUE(contains(r.out, last_row)) << rows << " rows";
        EXPECT_TRUE(contains(r.out, "             (    0 ,   1  ),\n")) << rows << " rows";
    }
}

TEST(EndOfInput, InsideAStatementWritesOnlyTheNotice) {
    ProgramResult r = run_qarnest("P := { i | 0 <= i\n");
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.out, "<1> <2> \nEnd of file parsing.\n\nEnd.\n");
}

TEST(EndOfInput, InsideTheDialogueLeavesTheOldDefinition) {
    ProgramResult r = run_qarnest("P := { i | i >= 0 } ;\nP := { i | i <= 0 } ;\n");
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.out,
              "<1> > P :=   { i | i >= 0 }\n"
              "<2> Warning : identifier 'P' is already used for another domain !\n"
              "> Overwrite (o) , Choose another name (n) ?\n> No answer: 'P' is left as it was\n"
              "<3> End.\n");
}

TEST(EndOfInput, InsideTheRenameLeavesTheOldDefinition) {
    std::string first_block = "P := { i | i >= 0 } ;\nP := { i | i <= 0 } ;\n";
    first_block += std::string(8192 - first_block.size(), ' ');
    ProgramResult r = run_qarnest(first_block + "n   \n  ");
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_TRUE(contains(r.out, "> OK : rename : Please enter new name : \n> No answer: 'P' is left as it was\n")) << r.out;
}

TEST(PipedDialogue, AnswersComeFromBeyondTheBlockAlreadyRead) {
    std::string first_block = "P := { i | i >= 0 } ;\nP := { i | i <= 0 } ;\n";
    first_block += std::string(8192 - first_block.size(), ' ');
    ProgramResult r = run_qarnest(first_block + "o\nprint P ;\n");
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.out,
              "<1> > P :=   { i | i >= 0 }\n"
              "<2> Warning : identifier 'P' is already used for another domain !\n"
              "> Overwrite (o) , Choose another name (n) ?> OK : overwrite 'P'\n"
              "> P :=   { i | i <= 0 }\n"
              "<3> <4> > P :=   { i | i <= 0 }\n<5> End.\n");
}

// Two redefinitions on one line: the second dialogue starts in the text the
// first one gave back to the scanner (the rest of that line), and reads its
// answer from the lines after the first one's answers, or meets the end of
// the script; also when those lines lie beyond the scanner's first block.
TEST(PipedDialogue, ASecondDialogueOnTheSameLineReadsTheNextLines) {
    const std::string definitions = "A := { N | N >= 0 } ;\nB := { N | N >= 0 } ;\nA := { N | N >= 1 } ; B := { N | N >= 2 } ;\n";
    const std::string head =
        "<1> > A :=   { N | N >= 0 }\n<2> > B :=   { N | N >= 0 }\n"
        "<3> Warning : identifier 'A' is already used for another domain !\n"
        "> Overwrite (o) , Choose another name (n) ?> OK : rename : Please enter new name : > A2 :=   { N | N >= 1 }\n"
        "Warning : identifier 'B' is already used for another domain !\n";
    struct Case {
        const char* name;
        std::string padding;   // blanks after the statements' line
        const char* after;     // the lines after the first dialogue's answers
        std::string tail;      // the output after the head
    };
    const Case cases[] = {
        {"the script ends", "", "",
         "> Overwrite (o) , Choose another name (n) ?\n> No answer: 'B' is left as it was\n<6> End.\n"},
        {"an answer follows", "", "o\nprint B ;\n",
         "> Overwrite (o) , Choose another name (n) ?> OK : overwrite 'B'\n> B :=   { N | N >= 2 }\n"
         "<6> <7> > B :=   { N | N >= 2 }\n<8> End.\n"},
        {"the answers lie beyond the first block", std::string(8192, ' '), "o\nprint B ;\n",
         "> Overwrite (o) , Choose another name (n) ?> OK : overwrite 'B'\n> B :=   { N | N >= 2 }\n"
         "<6> <7> > B :=   { N | N >= 2 }\n<8> End.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ProgramResult r = run_qarnest(definitions + c.padding + "n\nA2\n" + c.after);
        EXPECT_EQ(r.exit_status, 0);
        EXPECT_EQ(r.out, head + c.tail);
    }
}

// A script longer than the scanner's block: the answer and the new name are
// the lines after the statement, and every later statement runs.
TEST(PipedDialogue, InALongScriptTheAnswersAreTheNextLines) {
    std::string definitions;
    for (int k = 0; k < 300; ++k) definitions += "X" + std::to_string(k) + " := { i | 0 <= i <= " + std::to_string(k) + " } ;\n";
    std::string later;
    for (int k = 0; k < 400; ++k) later += "Y" + std::to_string(k) + " := { i | i >= " + std::to_string(k) + " } ;\n";
    struct Case {
        const char* answer;
        const char* stored;   // the line that shows the answer was taken
    };
    const Case cases[] = {
        {"o\n", "> OK : overwrite 'P'\n> P :=   { i | i <= 5, i >= 0 }\n"},
        {"  \n\to\n", "> OK : overwrite 'P'\n> P :=   { i | i <= 5, i >= 0 }\n"},
        {"n\nR\n", "> OK : rename : Please enter new name : > R :=   { i | i <= 5, i >= 0 }\n"},
        {"n R\n", "> OK : rename : Please enter new name : > R :=   { i | i <= 5, i >= 0 }\n"},
    };
    for (const Case& c : cases) {
        std::string script = "A := { i | 0 <= i <= 5 } ;\nP := { i | 0 <= i <= 3 } ;\n" + definitions +
                             "P := convex A ;\n" + c.answer + later + "print Z ;\nlist ;\n";
        ASSERT_GT(script.size(), 16384u);
        ProgramResult r = run_qarnest(script);
        EXPECT_EQ(r.exit_status, 0);
        EXPECT_TRUE(contains(r.out, c.stored)) << c.answer;
        EXPECT_FALSE(contains(r.out, "Please answer")) << c.answer;
        for (int k : {0, 199, 399})
            EXPECT_TRUE(contains(r.out, ">   Y" + std::to_string(k) + " :=   { i | i >= " + std::to_string(k) + " }\n"))
                << c.answer << ": Y" << k << " was not stored";
        int error_line = 2 + 300 + 1 + static_cast<int>(std::count(c.answer, c.answer + std::strlen(c.answer), '\n')) +
                         400 + 1;
        EXPECT_TRUE(contains(r.out, "> Error - line " + std::to_string(error_line) + " :  'Z' undeclared"))
            << c.answer << ": error lines still name the script's lines\n" << r.out.substr(r.out.size() - 600);
    }
}

// A single token of many megabytes is scanned in time linear in its length.
TEST(LongTokens, EightTimesLongerTakesAboutEightTimesAsLong) {
    auto seconds_for = [](std::size_t megabytes) {
        std::string script = std::string(megabytes << 20, 'a') + " ;\n" + std::string(megabytes << 20, ' ') + "list ;\n";
        auto start = std::chrono::steady_clock::now();
        ProgramResult r = run_qarnest(script, {}, std::chrono::seconds(300));
        EXPECT_EQ(r.exit_status, 0);
        EXPECT_TRUE(contains(r.out, "> Domain List")) << megabytes;
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    double one = seconds_for(1);
    double eight = seconds_for(8);
    EXPECT_LT(eight, 24 * one) << "1 MB: " << one << " s, 8 MB: " << eight << " s";
}

}  // namespace
