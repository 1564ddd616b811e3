// Sessions at a terminal with the line editor: editing keys, the history
// (also across a restart), Tab completion, Ctrl-C and Ctrl-D. Each session
// has its own HOME, so its history file starts empty.
#include <gtest/gtest.h>

#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <memory>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "tests/support/processes.h"
#include "tests/support/run_program.h"

namespace {

using namespace std::chrono_literals;

const char* const up_key = "\x1b[A";
const char* const left_key = "\x1b[D";
const char* const home_key = "\x01";   // Ctrl-A
const char* const ctrl_c = "\x03";

class TemporaryHome {
public:
    TemporaryHome() {
        char pattern[] = "/tmp/qarnest-home-XXXXXX";
        path_ = mkdtemp(pattern);
    }
    ~TemporaryHome() {
        std::remove(history().c_str());
        rmdir(path_.c_str());
    }
    const std::string& path() const { return path_; }
    std::string history() const { return path_ + "/.qarnest_history"; }

private:
    std::string path_;
};


class EditedSession : public ::testing::Test {
protected:
    TemporaryHome home;
    std::unique_ptr<PtySession> session;

    void start(const std::vector<std::string>& args = {}) {
        session = std::make_unique<PtySession>(
            args, std::vector<std::string>{"HOME=" + home.path(), "TERM=xterm", "INPUTRC=/dev/null", "DISPLAY="},
            true);
        ASSERT_TRUE(session->wait_for("<1> ")) << session->output();
    }
    void type(const std::string& keys, const std::string& then_shows) {
        std::size_t before = session->output().size();
        session->send(keys);
        ASSERT_TRUE(session->wait_for_after(before, then_shows)) << "after typing '" << keys << "':\n"
                                                               << session->output();
    }
    void end_session() {
        session->send_eof();
        ASSERT_TRUE(session->wait_for("End.\n", 20s, true)) << session->output();
        EXPECT_EQ(session->wait_exit(), 0);
    }
    const std::string& out() const { return session->output(); }
};

TEST_F(EditedSession, ALineEditedWithTheArrowKeysRunsAsEdited) {
    start();
    type(std::string("P := { i | 0 <= i <= 3 ;") + left_key + " }\n", "<2> ");
    type(std::string("= { j | j >= 0 } ;") + home_key + "Q :\n", "<3> ");
    end_session();
    EXPECT_NE(out().find("> P :=   { i | i <= 3, i >= 0 }\n"), std::string::npos) << out();
    EXPECT_NE(out().find("> Q :=   { j | j >= 0 }\n"), std::string::npos) << out();
    EXPECT_EQ(out().find("Error"), std::string::npos) << out();
    EXPECT_EQ(out().find("^["), std::string::npos) << out();
}

TEST_F(EditedSession, UpRecallsTheLastStatementAlsoAfterARestart) {
    start();
    type("P := { i | 0 <= i <= 3 } ;\n", "<2> ");
    type("del P ;\n", "<3> ");
    type("del P ;\n", "<4> ");
    type(std::string(up_key) + up_key + "\n", "<5> ");
    end_session();
    std::size_t recalled = out().find("<4> ");
    EXPECT_NE(out().find("\n> P :=   { i | i <= 3, i >= 0 }\n<5> ", recalled), std::string::npos)
        << "two steps up, over the repeated 'del P ;', is the definition:\n" << out();

    start();
    type(std::string(up_key) + "\n", "<2> ");
    end_session();
    EXPECT_NE(out().find("\n> P :=   { i | i <= 3, i >= 0 }\n<2> "), std::string::npos)
        << "the restarted session recalled the definition:\n" << out();
    std::ifstream history(home.history());
    std::stringstream text;
    text << history.rdbuf();
    EXPECT_EQ(text.str(), "P := { i | 0 <= i <= 3 } ;\ndel P ;\nP := { i | 0 <= i <= 3 } ;\n");
}

TEST_F(EditedSession, TabCompletesAKeywordAndAStoredName) {
    start();
    type("Triangle := { i, j | 0 <= j <= i <= 3 } ;\n", "<2> ");
    type("M := ((1, 2)) ;\n", "<3> ");
    type("pri\tTri\t;\n", "<4> ");
    type("PLpri\tM\t;\n", "<5> ");
    end_session();
    EXPECT_NE(out().find("<3> print Triangle ;\n> Triangle :=   "), std::string::npos) << out();
    EXPECT_NE(out().find("<4> PLprint M ;\n> Matrix 'M':\n"), std::string::npos) << out();
}

TEST_F(EditedSession, TabCompletesAFileNameInsideTheQuotesOfFigure) {
    const std::string folder = home.path() + "/figures";
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    ASSERT_EQ(mkdir((folder + "/pictures").c_str(), 0700), 0);
    std::ofstream(folder + "/plot.svg") << "old";
    std::ofstream(folder + "/pictures/tri.png") << "old";
    start();
    type("figure \"" + folder + "/pl\t", "plot.svg\" ");
    type(";\n", "<2> ");
    type("figure \"" + folder + "/pi\t", "pictures/");
    type("t\t", "tri.png\" ");
    type("(10, 10) ;\n", "<3> ");
    type("Plot := { i | i >= 0 } ;\n", "<4> ");
    type("print \"Pl\t;\n", "<5> ");
    end_session();
    EXPECT_NE(out().find("figure \"" + folder + "/plot.svg\" ;\n> figure : the viewer needs an X display"),
              std::string::npos)
        << out();
    EXPECT_NE(out().find("figure \"" + folder + "/pictures/tri.png\" (10, 10) ;\n> figure : "), std::string::npos)
        << out();
    EXPECT_NE(out().find("print \"Plot ;\n"), std::string::npos) << "after another keyword, a stored name:\n" << out();
    std::remove((folder + "/pictures/tri.png").c_str());
    std::remove((folder + "/plot.svg").c_str());
    rmdir((folder + "/pictures").c_str());
    rmdir(folder.c_str());
}

TEST_F(EditedSession, CtrlCDropsEveryLineOfTheStatementAndKeepsTheStores) {
    for (bool editor : {true, false}) {
        SCOPED_TRACE(editor ? "line editor" : "plain terminal");
        start(editor ? std::vector<std::string>{} : std::vector<std::string>{"--no-line-editing"});
        type("A := { i | 0 <= i <= 3 } ;\n", "<2> ");
        type("M := ((1, 2)) ;\n", "<3> ");
        type("B := { i |\n", "<4> ");
        type("0 <= i", "0 <= i");
        session->send(ctrl_c);
        ASSERT_TRUE(session->wait_for("^C\n<4> ")) << out();
        type("list ;\n", "<5> ");
        end_session();
        EXPECT_NE(out().find("> Domain List: \n>   A :=   { i | i <= 3, i >= 0 }\n\n> Matrix List : \n\tM\n"),
                  std::string::npos)
            << out();
        EXPECT_EQ(out().find("B :="), out().rfind("B := { i |")) << "B was never stored:\n" << out();
        EXPECT_EQ(out().find("Error"), std::string::npos) << out();
    }
}

TEST_F(EditedSession, CtrlCStopsALongEhrhartAtOnceAndKeepsTheStores) {
    start();
    type("T := { a, b, c, d, N, M | 0 <= a <= N, 0 <= b <= M, 0 <= c <= a + b, 0 <= d <= c + N,"
         " 2 * a + 3 * b <= 5 * c + 7 * d + M } ;\n",
         "<2> ");
    type("C := { N, M | N >= 0, M >= 0 } ;\n", "<3> ");
    session->send("ehrhart (T, C) ;\n");
    std::this_thread::sleep_for(1s);
    ASSERT_TRUE(has_children(session->pid())) << "the analysis is still running";
    auto pressed = std::chrono::steady_clock::now();
    session->send(ctrl_c);
    ASSERT_TRUE(session->wait_for("<4> ", 5s)) << out();
    EXPECT_LT(std::chrono::steady_clock::now() - pressed, 3s);
    EXPECT_NE(out().find("the Ehrhart polynomial of 'T' was interrupted - command ignored"), std::string::npos)
        << out();
    EXPECT_FALSE(has_children(session->pid())) << "no orphan, no zombie";
    type("list ;\n", "<5> ");
    end_session();
    EXPECT_NE(out().find(">   C :=   { N, M | N >= 0, M >= 0 }\n>   T :=   "), std::string::npos) << out();
}

TEST_F(EditedSession, CtrlCStopsALongListingAndKeepsTheStores) {
    start();
    type("B := { i, j, k | 0 <= i <= 100000, 0 <= j <= 100000, 0 <= k <= 100000 } ;\n", "<2> ");
    type("K := { | } ;\n", "<3> ");
    session->send("points (B, K) ;\n");
    std::this_thread::sleep_for(1s);
    auto pressed = std::chrono::steady_clock::now();
    session->send(ctrl_c);
    ASSERT_TRUE(session->wait_for("<4> ", 5s)) << out();
    EXPECT_LT(std::chrono::steady_clock::now() - pressed, 3s);
    EXPECT_NE(out().find("the listing of the points of 'B' was interrupted - command ignored"), std::string::npos)
        << out();
    type("list ;\n", "<5> ");
    end_session();
    EXPECT_NE(out().find(">   K := { | }\n>   B :=   "), std::string::npos) << out();
}

std::string box(int dimension, const std::string& bounds) {
    std::string variables, constraints;
    for (int k = 1; k <= dimension; ++k) {
        std::string x = "x" + std::to_string(k);
        variables += (k > 1 ? ", " : "") + x;
        constraints += (k > 1 ? ", " : "") + std::string(bounds).replace(bounds.find('x'), 1, x);
    }
    return "{ " + variables + " | " + constraints + " }";
}

std::string isl_box(int dimension) {
    std::string variables, constraints;
    for (int k = 1; k <= dimension; ++k) {
        std::string x = "x" + std::to_string(k);
        variables += (k > 1 ? ", " : "") + x;
        constraints += (k > 1 ? " and 0 <= " : "0 <= ") + x + " <= 1";
    }
    return "{ [" + variables + "] : " + constraints + " }";
}

// Definitions whose PolyLib work takes minutes (a 16-dimensional box has
// 65,536 vertices and took 64 s; an 18-dimensional one never ended): Ctrl-C
// answers within half a second, nothing is stored, the worker is not left
// behind, and the next definition works.
TEST_F(EditedSession, CtrlCStopsALongDefinitionWithinHalfASecondAndStoresNothing) {
    struct Case {
        const char* what;
        std::vector<std::string> before;   // quick statements
        std::string definition;
    };
    const Case cases[] = {
        {"16-dimensional box", {}, "B := " + box(16, "0 <= x <= 1") + " ;\n"},
        {"18-dimensional box", {}, "B := " + box(18, "0 <= x <= 1") + " ;\n"},
        {"16-dimensional box in isl notation", {}, "B := " + isl_box(16) + " ;\n"},
        {"intersection of two 16-dimensional orthants",
         {"P := " + box(16, "x >= 0") + " ;\n", "Q := " + box(16, "x <= 1") + " ;\n"},
         "B := P inter Q ;\n"},
        {"gist of a 14-dimensional box",
         {"P := " + box(14, "0 <= x <= 1") + " ;\n", "K := { x14 | x14 <= 5 } ;\n"},
         "B := gist (P, K) ;\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        start();
        type("A := { i | 0 <= i <= 3 } ;\n", "<2> ");
        int line = 2;
        for (const std::string& statement : c.before) type(statement, "<" + std::to_string(++line) + "> ");
        session->send(c.definition);
        std::this_thread::sleep_for(1s);
        ASSERT_TRUE(has_children(session->pid())) << "the worker computes";
        std::size_t mark = out().size();
        auto pressed = std::chrono::steady_clock::now();
        session->send(ctrl_c);
        const std::string next = "<" + std::to_string(line + 1) + "> ";
        ASSERT_TRUE(session->wait_for_after(mark, next, 5s)) << out();
        EXPECT_LT(std::chrono::steady_clock::now() - pressed, 500ms);
        EXPECT_NE(out().find("> Interrupted: 'B' is not stored\n" + next, mark), std::string::npos) << out().substr(mark);
        EXPECT_FALSE(has_children(session->pid())) << "the worker was killed and reaped";
        type("list ;\n", "<" + std::to_string(line + 2) + "> ");
        type("C := { i | 0 <= i <= 2 } ;\n", "<" + std::to_string(line + 3) + "> ");
        end_session();
        std::size_t listed = out().rfind("> Domain List: \n");
        ASSERT_NE(listed, std::string::npos) << out();
        EXPECT_EQ(out().find(">   B :="), std::string::npos) << out();
        EXPECT_NE(out().find(">   A :=   { i | i <= 3, i >= 0 }\n", listed), std::string::npos) << out();
        EXPECT_NE(out().find("> C :=   { i | i <= 2, i >= 0 }\n"), std::string::npos) << out();
    }
}

// Tests between large domains do their PolyLib work (the difference, the
// loop nest of the search) in the worker: Ctrl-C answers within half a
// second with no verdict, and the stores and the next test are as before.
TEST_F(EditedSession, CtrlCStopsALongTestBetweenDomainsWithinHalfASecond) {
    struct Case {
        std::string statement;
        std::string stopped;
    };
    const Case cases[] = {
        {"isempty (A) ;\n", "the emptiness test of 'A' was interrupted - command ignored \n"},
        {"issubset (B, A) ;\n", "the inclusion test of 'B' in 'A' was interrupted - command ignored \n"},
        {"isequal (A, B) ;\n", "the equality test of 'A' and 'B' was interrupted - command ignored \n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.statement);
        start();
        type("A := " + box(13, "0 <= x <= 1") + " ;\n", "<2> ");
        type("B := " + box(13, "0 <= x <= 2") + " ;\n", "<3> ");
        type("C := { i | 0 <= i <= 3 } ;\n", "<4> ");
        session->send(c.statement);
        std::this_thread::sleep_for(1s);
        std::size_t mark = out().size();
        ASSERT_EQ(out().find("<5> ", mark - c.statement.size()), std::string::npos) << "the test is still running";
        auto pressed = std::chrono::steady_clock::now();
        session->send(ctrl_c);
        ASSERT_TRUE(session->wait_for_after(mark, "<5> ", 5s)) << out();
        EXPECT_LT(std::chrono::steady_clock::now() - pressed, 500ms);
        std::string answer = out().substr(mark);
        EXPECT_NE(answer.find("^C> Error - line 4 : " + c.stopped + "<5> "), std::string::npos)
            << "one line, no verdict:\n" << answer;
        type("isempty (C) ;\n", "> false\n<6> ");
        type("list ;\n", "<7> ");
        end_session();
        std::size_t listed = out().rfind("> Domain List: \n");
        ASSERT_NE(listed, std::string::npos) << out();
        EXPECT_NE(out().find(">   C :=   { i | i <= 3, i >= 0 }\n>   B :=   { x1, ", listed), std::string::npos) << out();
        EXPECT_NE(out().find(">   A :=   { x1, ", listed), std::string::npos) << out();
    }
}

TEST_F(EditedSession, TabCompletesTheNewKeywords) {
    start();
    type("P := { i | 0 <= i <= 1 } ;\n", "<2> ");
    type("K := { | } ;\n", "<3> ");
    type("poin\t(P, K) ;\n", "<4> ");
    type("isemp\t(P) ;\n", "<5> ");
    end_session();
    EXPECT_NE(out().find("<3> points (P, K) ;\n> 2 points\n  (0)\n  (1)\n"), std::string::npos) << out();
    EXPECT_NE(out().find("<4> isempty (P) ;\n> false\n"), std::string::npos) << out();
}

TEST_F(EditedSession, CtrlDOnAnEmptyLineEndsLikeTheEndOfInput) {
    start();
    type("P := { i | i >= 0 } ;\n", "<2> ");
    type("print P", "print P");
    session->send_eof();   // not on an empty line: deletes nothing, ends nothing
    type(" ;\n", "<3> ");
    end_session();
    EXPECT_NE(out().find("<3> End.\n"), std::string::npos) << out();
}

// A Ctrl-D pressed while a statement runs waits in the terminal's line mode;
// it ends the session once the statement is done, as the same key at the
// prompt would, instead of reaching the editor as a NUL byte.
TEST_F(EditedSession, CtrlDPressedWhileAStatementRunsEndsAfterIt) {
    start();
    session->send("B := " + box(14, "0 <= x <= 1") + " ;\n");   // about 3 s of PolyLib work
    std::this_thread::sleep_for(500ms);
    ASSERT_TRUE(has_children(session->pid())) << "the definition still runs";
    session->send_eof();
    ASSERT_TRUE(session->wait_for("End.\n", 60s, true)) << out();
    EXPECT_EQ(session->wait_exit(), 0);
    EXPECT_NE(out().find("x14 >= 0 }\n<2> End.\n"), std::string::npos) << "B stored, then the end\n" << out();
}

TEST_F(EditedSession, TheDialogueReadsItsAnswerThroughTheEditor) {
    start();
    type("P := { i | i >= 0 } ;\n", "<2> ");
    type("P := { i | i <= 5 } ;\n", "> Overwrite (o) , Choose another name (n) ?");
    type("n\n", "> OK : rename : Please enter new name : ");
    type("R\n", "> R :=   { i | i <= 5 }\n");
    type("list ;\n", "<5> ");
    end_session();
    EXPECT_NE(out().find(">   R :=   { i | i <= 5 }\n>   P :=   { i | i >= 0 }\n"), std::string::npos) << out();
}

TEST_F(EditedSession, AnUnwritableHistoryFileIsSkippedSilently) {
    ASSERT_EQ(mkdir(home.history().c_str(), 0700), 0);
    start();
    type("P := { i | i >= 0 } ;\n", "<2> ");
    end_session();
    rmdir(home.history().c_str());
    EXPECT_EQ(out(), "<1> P := { i | i >= 0 } ;\n> P :=   { i | i >= 0 }\n<2> End.\n");
}

// The script's lines are not typed at the terminal: they get no prompts, and
// the terminal's own lines are counted from 1, in its prompts and its error
// lines alike.
TEST_F(EditedSession, InteractiveOptionGoesOnAtTheTerminalWithWhatTheScriptDefined) {
    std::string script = home.path() + "/a.qn";
    std::ofstream(script) << "A := { i | 0 <= i <= 3 } ;\nprint Z ;\n";
    for (const std::vector<std::string>& args : {std::vector<std::string>{"-i", script},
                                                 std::vector<std::string>{"--no-line-editing", "-i", script}}) {
        SCOPED_TRACE(args[0]);
        session = std::make_unique<PtySession>(
            args, std::vector<std::string>{"HOME=" + home.path(), "TERM=xterm", "INPUTRC=/dev/null", "DISPLAY="}, true);
        ASSERT_TRUE(session->wait_for("<1> ")) << out();
        EXPECT_EQ(out().rfind("> A :=   { i | i <= 3, i >= 0 }\n> Error - " + script +
                                  ", line 2 :  'Z' undeclared - print: command ignored \n",
                              0),
                  0u)
            << "the script's output comes first, without prompts:\n"
            << out();
        type("B := A union A ;\n", "<2> ");
        type("print Y ;\n", "<3> ");
        type("list ;\n", "<4> ");
        session->send_eof();
        ASSERT_TRUE(session->wait_for("End.\n", 20s, true)) << out();
        EXPECT_EQ(session->wait_exit(), 1) << "the script's refused statement fails the run";
        EXPECT_NE(out().find("> Error - standard input, line 2 :  'Y' undeclared"), std::string::npos) << out();
        EXPECT_NE(out().find(">   B :=   { i | i <= 3, i >= 0 }\n>   A :=   { i | i <= 3, i >= 0 }\n"),
                  std::string::npos)
            << out();
        EXPECT_EQ(out().find("<5> "), std::string::npos) << "a prompt counted the script's lines:\n" << out();
    }
    std::remove(script.c_str());
}

}  // namespace
