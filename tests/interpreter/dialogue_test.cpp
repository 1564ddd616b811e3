// The overwrite-or-rename dialogue against the input that follows it: in a
// script or a paste, a line that is no answer is left to the statements and
// the definition is cancelled with one line; a new name that is taken too is
// asked about again, so that no two entries share a name.
#include <gtest/gtest.h>

#include <fstream>
#include <unistd.h>

#include "tests/support/run_program.h"
#include "tests/support/temporary_folder.h"

namespace {

using namespace std::chrono_literals;

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

class ScriptDirectory : public TemporaryFolderTest {
protected:
    ScriptDirectory() : TemporaryFolderTest("dialogue") {}
};

// Both files define A: the second definition is cancelled, and every
// statement after it runs, numbered as in its file.
TEST_F(ScriptDirectory, TwoScriptsThatDefineOneNameLoseNoStatement) {
    std::string a = script("a.qn", "A := { i | 0 <= i <= 3 } ;\nB := { i | 0 <= i <= 5 } ;\n");
    std::string b = script("b.qn", "A := { i | 0 <= i <= 4 } ;\nprint A ;\nC := A union B ;\nprint Z ;\nlist ;\n");
    ProgramResult r = run_qarnest("", {a, b});
    EXPECT_EQ(r.exit_status, 1) << "a cancelled definition fails the run";
    EXPECT_EQ(r.out,
              "<1> > A :=   { i | i <= 3, i >= 0 }\n"
              "<2> > B :=   { i | i <= 5, i >= 0 }\n"
              "<3> Warning : identifier 'A' is already used for another domain !\n"
              "> Overwrite (o) , Choose another name (n) ?\n"
              "> No answer (o or n) on the next line: 'A' is left as it was\n"
              "<4> > A :=   { i | i <= 3, i >= 0 }\n"
              "<5> > C :=   { i | i <= 5, i >= 0 }\n"
              "<6> > Error - " + b + ", line 4 :  'Z' undeclared - print: command ignored \n"
              "<7> > Domain List: \n"
              ">   C :=   { i | i <= 5, i >= 0 }\n"
              ">   B :=   { i | i <= 5, i >= 0 }\n"
              ">   A :=   { i | i <= 3, i >= 0 }\n"
              "\n> Matrix List : \n\t\n"
              "<8> End.\n");
    EXPECT_EQ(r.err, "");
}

// What the lines after a redefinition of P (with Q also stored) do, followed
// by "PLcons Q ;" and "list ;" on the next lines.
struct ScriptAnswerCase {
    const char* name;
    const char* lines;    // after "P := { i | i <= 5 } ;"
    const char* dialogue; // the output after the question, up to the next prompt
    const char* stored;   // the names in the list afterwards
};

void PrintTo(const ScriptAnswerCase& c, std::ostream* os) { *os << c.name; }

class ScriptAnswers : public ::testing::TestWithParam<ScriptAnswerCase> {};

TEST_P(ScriptAnswers, AreReadAsLinesAndNothingElseIsTaken) {
    const ScriptAnswerCase& c = GetParam();
    const std::string head = "P := { i | i >= 0 } ;\nQ := { i | i >= 1 } ;\nP := { i | i <= 5 } ;\n";
    ProgramResult r = run_qarnest(head + c.lines + "PLcons Q ;\nlist ;\n");
    EXPECT_EQ(r.exit_status, 0);
    const std::string question = "> Overwrite (o) , Choose another name (n) ?";
    std::size_t begin = r.out.find(question);
    ASSERT_NE(begin, std::string::npos) << r.out;
    begin += question.size();
    std::size_t end = r.out.find("\n<", begin) + 1;
    EXPECT_EQ(r.out.substr(begin, end - begin), c.dialogue) << r.out;
    EXPECT_EQ(occurrences(r.out, "Please answer"), 0u) << r.out;
    EXPECT_NE(r.out.find("> Domain List: \n" + std::string(c.stored) + "> Matrix List"), std::string::npos) << r.out;
    EXPECT_EQ(occurrences(r.out, "> Domain 'Q' - Constraints matrix:\n"), 1u) << "the next statement ran once\n" << r.out;
}

const ScriptAnswerCase script_answer_cases[] = {
    {"Overwrite", "o\n", "> OK : overwrite 'P'\n> P :=   { i | i <= 5 }\n",
     ">   P :=   { i | i <= 5 }\n>   Q :=   { i | i >= 1 }\n\n"},
    {"RenameOnTheNextLine", "n\nR\n", "> OK : rename : Please enter new name : > R :=   { i | i <= 5 }\n",
     ">   R :=   { i | i <= 5 }\n>   Q :=   { i | i >= 1 }\n>   P :=   { i | i >= 0 }\n\n"},
    {"RenameOnTheSameLine", "\n  n R  \n", "> OK : rename : Please enter new name : > R :=   { i | i <= 5 }\n",
     ">   R :=   { i | i <= 5 }\n>   Q :=   { i | i >= 1 }\n>   P :=   { i | i >= 0 }\n\n"},
    {"AStatementIsNoAnswer", "", "\n> No answer (o or n) on the next line: 'P' is left as it was\n",
     ">   Q :=   { i | i >= 1 }\n>   P :=   { i | i >= 0 }\n\n"},
    {"AWordThatStartsWithAnAnswerIsNoAnswer", "oops ;\n",
     "\n> No answer (o or n) on the next line: 'P' is left as it was\n",
     ">   Q :=   { i | i >= 1 }\n>   P :=   { i | i >= 0 }\n\n"},
    {"AStatementIsNoName", "n\n",
     "> OK : rename : Please enter new name : \n> No new name on the next line: 'P' is left as it was\n",
     ">   Q :=   { i | i >= 1 }\n>   P :=   { i | i >= 0 }\n\n"},
    {"ATakenNameIsAskedAboutAgain", "n\nQ\nn\nR\n",
     "> OK : rename : Please enter new name : Warning : identifier 'Q' is already used for another domain !\n"
     "> Overwrite (o) , Choose another name (n) ?> OK : rename : Please enter new name : > R :=   { i | i <= 5 }\n",
     ">   R :=   { i | i <= 5 }\n>   Q :=   { i | i >= 1 }\n>   P :=   { i | i >= 0 }\n\n"},
    {"ATakenNameCanBeOverwritten", "n Q\no\n",
     "> OK : rename : Please enter new name : Warning : identifier 'Q' is already used for another domain !\n"
     "> Overwrite (o) , Choose another name (n) ?> OK : overwrite 'Q'\n> Q :=   { i | i <= 5 }\n",
     ">   Q :=   { i | i <= 5 }\n>   P :=   { i | i >= 0 }\n\n"},
    {"ATakenNameThenAStatement", "n\nQ\n",
     "> OK : rename : Please enter new name : Warning : identifier 'Q' is already used for another domain !\n"
     "> Overwrite (o) , Choose another name (n) ?\n> No answer (o or n) on the next line: 'Q' is left as it was\n",
     ">   Q :=   { i | i >= 1 }\n>   P :=   { i | i >= 0 }\n\n"},
};
INSTANTIATE_TEST_SUITE_P(Lines, ScriptAnswers, ::testing::ValuesIn(script_answer_cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ScriptAnswers, AMatrixRenamedToATakenNameIsAskedAboutAgain) {
    ProgramResult r = run_qarnest("M := ((1)) ;\nN := ((2)) ;\nM := ((3)) ;\nn\nN\nn\nK\nlist ;\n");
    EXPECT_EQ(r.out,
              "<1> <2> <3> Warning : identifier M is already used for another matrix\n"
              "Overwrite (o) , Choose another name (n) ?Please enter new name :\n"
              "Warning : identifier N is already used for another matrix\n"
              "Overwrite (o) , Choose another name (n) ?Please enter new name :\n"
              "<7> <8> > Domain List: \n\n> Matrix List : \n\tK, N, M\n\n<9> End.\n");
}

// A script pasted twice at a terminal: the second paste's definitions find
// their names taken, and the lines typed ahead of each question are the
// statements that follow, not answers. Every statement runs once per paste.
TEST(PastedScript, RunsEveryStatementAndCancelsEachRedefinition) {
    const std::string pasted = "A := { i | 0 <= i <= 3 } ;\nprint A ;\nB := { i | 0 <= i <= 5 } ;\n"
                               "M := ((1, 2)) ;\nC := A union B ;\nlist ;\n";
    for (const std::vector<std::string>& args : {std::vector<std::string>{}, {"--no-line-editing"}}) {
        SCOPED_TRACE(args.empty() ? "line editor" : args[0]);
        PtySession session(args, {"TERM=dumb", "INPUTRC=/dev/null", "HOME=/nonexistent", "DISPLAY="}, true);
        ASSERT_TRUE(session.wait_for("<1> "));
        session.send(pasted + pasted);
        ASSERT_TRUE(session.wait_for("\tM\n", 20s, true));
        std::size_t second = session.output().find("\tM\n") + 3;
        ASSERT_TRUE(session.wait_for_after(second, "\tM\n", 20s)) << session.output();
        // The end of input goes to the prompt that follows, as typed there.
        ASSERT_TRUE(session.wait_for_after(second, "<13> ", 20s)) << session.output();
        session.send_eof();
        ASSERT_TRUE(session.wait_for("End.\n", 20s, true)) << session.output();
        EXPECT_EQ(session.wait_exit(), 0);
        const std::string& out = session.output();
        EXPECT_EQ(occurrences(out, "Please answer"), 0u) << out;
        for (const char* name : {"'A'", "'B'", "'C'"})
            EXPECT_EQ(occurrences(out, std::string("> No answer (o or n) on the next line: ") + name +
                                           " is left as it was\n"),
                      1u)
                << name << "\n" << out;
        EXPECT_EQ(occurrences(out, "No answer (o or n) on the next line: 'M' is left as it was\n"), 1u) << out;
        EXPECT_EQ(occurrences(out, "> A :=   { i | i <= 3, i >= 0 }\n"), 3u) << "declared once, printed twice\n" << out;
        EXPECT_EQ(occurrences(out, "> Domain List: \n>   C :=   { i | i <= 5, i >= 0 }\n"
                                   ">   B :=   { i | i <= 5, i >= 0 }\n>   A :=   { i | i <= 3, i >= 0 }\n"),
                  2u)
            << out;
    }
}

}  // namespace
