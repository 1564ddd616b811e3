// The store in files: save and load rebuild the same store (the saved file
// also runs as a script), failures are one line and change nothing, a taken
// name asks the usual question; PolyLib's matrix files in and out.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "tests/support/run_program.h"
#include "tests/support/temporary_folder.h"

namespace {

class StoreFiles : public TemporaryFolderTest {
protected:
    StoreFiles() : TemporaryFolderTest("store") {}
};

// What "list ;" wrote, the last time in the transcript.
std::string last_list(const std::string& transcript) {
    std::size_t start = transcript.rfind("> Domain List: \n");
    if (start == std::string::npos) return "no list in: " + transcript;
    std::size_t end = transcript.find("\n<", transcript.find("> Matrix List : \n", start));
    return transcript.substr(start, end - start);
}

// Every kind of entry: declarations in both notations, unions and pieces of
// differences, empty domains of 1 and 0 dimensions, the 0-dimensional
// universe, 64-bit values, fresh names of an image, matrices, names given
// in the overwrite dialogue.
const char* const every_kind =
    "T := { i, j, N | 0 <= j <= i <= N } ;\n"
    "A := { i | 0 <= i <= 3 } ;\n"
    "B := { i | 10 <= i <= 12 } ;\n"
    "U := A union B ;\n"
    "S := { i, j | 0 <= i <= 6, 0 <= j <= 6 } ;\n"
    "H := { i, j | 2 <= i <= 4, 2 <= j <= 4 } ;\n"
    "D := S diff H ;\n"
    "E := { i, j | i >= 1, i <= 0 } ;\n"
    "Z := { | } ;\n"
    "O := { [] } ;\n"
    "P := [N, M] -> { [x] : N <= x <= M + 5000000000 } ;\n"
    "W := { [i_1, dd] : i_1 <= dd } ;\n"
    "M := ((1, 0, 0), (0, 1, 0), (1, 1, 0), (0, 0, 1)) ;\n"
    "I := image (S, M) ;\n"
    "K := ((-2147483647, 2147483647)) ;\n"
    "A := { i | i >= 7 } ;\n"
    "n\n"
    "Renamed\n"
    "K := ((5)) ;\n"
    "n\n"
    "KK\n"
    "list ;\n";

TEST_F(StoreFiles, SaveThenLoadRebuildsTheSameList) {
    const std::string file = path("store.qn");
    ProgramResult saved = run_qarnest(std::string(every_kind) + "save \"" + file + "\" ;\n");
    ASSERT_NE(saved.out.find("> Saved 14 domains and 3 matrices to '" + file + "'\n"), std::string::npos) << saved.out;
    const std::string before = last_list(saved.out);

    ProgramResult loaded = run_qarnest("load \"" + file + "\" ;\nlist ;\n");
    EXPECT_EQ(loaded.exit_status, 0);
    EXPECT_EQ(last_list(loaded.out), before) << content_of(file);
    EXPECT_NE(loaded.out.find("> Loaded 14 domains and 3 matrices from '" + file + "'\n"), std::string::npos);

    // The saved file is a script of its own.
    ProgramResult as_script = run_qarnest("list ;\n", {file, "-"});
    EXPECT_EQ(last_list(as_script.out), before) << content_of(file);
    EXPECT_EQ(as_script.exit_status, 0) << as_script.out;

    // And saving what was loaded writes the same file.
    const std::string again = path("again.qn");
    run_qarnest("load \"" + file + "\" ;\nsave \"" + again + "\" ;\n");
    EXPECT_EQ(content_of(again), content_of(file));
}

TEST_F(StoreFiles, AnEmptyStoreSavesAnEmptyFile) {
    const std::string file = path("empty.qn");
    ProgramResult r = run_qarnest("save \"" + file + "\" ;\nload \"" + file + "\" ;\n");
    EXPECT_EQ(r.out, "<1> > Saved 0 domains and 0 matrices to '" + file + "'\n<2> > Loaded 0 domains and 0 matrices from '" +
                         file + "'\n<3> End.\n");
    EXPECT_EQ(content_of(file), "");
}

// A full device, a missing folder, a disk that fills up during the write:
// one line, the previous file whole, no temporary file left.
TEST_F(StoreFiles, AFailedSaveIsOneLineAndLeavesThePreviousFileWhole) {
    const std::string file = path("store.qn");
    run_qarnest("P := { i | i >= 0 } ;\nsave \"" + file + "\" ;\n");
    const std::string previous = content_of(file);
    ASSERT_EQ(previous, "P := { i | i >= 0 } ;\n");

    ProgramResult full = run_qarnest("P := { i | i >= 0 } ;\nsave \"/dev/full\" ;\nlist ;\n");
    EXPECT_EQ(full.out, "<1> > P :=   { i | i >= 0 }\n<2> > Error - line 2 : save : Can't write /dev/full: No space left on "
                        "device \n<3> > Domain List: \n>   P :=   { i | i >= 0 }\n\n> Matrix List : \n\t\n<4> End.\n");
    EXPECT_EQ(full.exit_status, 0);

    ProgramResult missing = run_qarnest("save \"" + path("missing/store.qn") + "\" ;\n");
    EXPECT_EQ(missing.out, "<1> > Error - line 1 : save : Can't write " + path("missing/store.qn") +
                               ": No such file or directory \n<2> End.\n");

    // The file size limit stands for a disk that fills up during the write.
    std::string many;
    for (int k = 0; k < 200; ++k) many += "Q" + std::to_string(k) + " := { i, j | 0 <= i <= " + std::to_string(k) + " } ;\n";
    rlimit previous_limit{};
    getrlimit(RLIMIT_FSIZE, &previous_limit);
    rlimit limited = previous_limit;
    limited.rlim_cur = 1024;
    setrlimit(RLIMIT_FSIZE, &limited);
    ProgramResult too_large = run_qarnest(many + "save \"" + file + "\" ;\n");
    setrlimit(RLIMIT_FSIZE, &previous_limit);
    EXPECT_NE(too_large.out.find("> Error - line 201 : save : Can't write " + file + ": File too large \n"),
              std::string::npos)
        << too_large.out;
    EXPECT_EQ(content_of(file), previous);
    EXPECT_EQ(entries(), std::vector<std::string>{"store.qn"});
}

struct LoadProblem {
    const char* name;
    const char* content;   // null: no such file
    const char* message;   // after "load : FILE"
};

void PrintTo(const LoadProblem& p, std::ostream* os) { *os << p.name; }

class LoadProblems : public StoreFiles, public ::testing::WithParamInterface<LoadProblem> {};

TEST_P(LoadProblems, AreOneLineWithTheLineAndStoreNothing) {
    const LoadProblem& p = GetParam();
    const std::string file = path("broken.qn");
    if (p.content) write(file, p.content);
    ProgramResult r = run_qarnest("load \"" + file + "\" ;\nlist ;\n");
    EXPECT_EQ(r.out, "<1> > Error - line 1 : load : " + (p.content ? file : "can't read " + file) + p.message +
                         " - nothing is loaded from it \n<2> > Domain List: \n\n> Matrix List : \n\t\n<3> End.\n");
}

const LoadProblem load_problems[] = {
    {"Missing", nullptr, ": No such file or directory"},
    {"SyntaxOnLineThree", "P := { i | i >= 0 } ;\nM := ((1)) ;\nQ := P union P ;\n",
     ", line 3: a domain or a matrix expected after 'Q :=', not 'P'"},
    {"IslRefusalOnItsLine", "P := { i | i >= 0 } ;\nQ := { [i] :\n  i mod 2 = 0 } ;\n",
     ", line 3: isl notation: remainders and strides ('mod') cannot be held by a PolyLib domain"},
    {"UndeclaredVariable", "P := { i | i >= 0 } ;\n\n\nR := { i | j >= 0 } ;\n", ", line 4: unknown name 'j'"},
    {"Unfinished", "P := { i | i >= 0 } ;\nR := { i | i >= 0 }", ", line 2: ';' expected after the definition of 'R', not the end of the file"},
    {"Overflow", "P := { [i, j] : 5000000000 i >= 3 and i <= 4000000000 + j and j <= 9000000000 } ;\n",
     ", line 1: the domain overflows PolyLib's 64-bit arithmetic"},
};
INSTANTIATE_TEST_SUITE_P(Files, LoadProblems, ::testing::ValuesIn(load_problems),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(StoreFiles, AFolderCannotBeLoaded) {
    ProgramResult r = run_qarnest("load \"" + folder_ + "\" ;\n");
    EXPECT_EQ(r.out, "<1> > Error - line 1 : load : can't read " + folder_ +
                         ": Is a directory - nothing is loaded from it \n<2> End.\n");
}

// A name the store already has: the question of a typed definition, answered
// in a script by the lines after the load statement.
TEST_F(StoreFiles, ATakenNameAsksTheQuestionAnsweredByTheScript) {
    const std::string file = path("store.qn");
    write(file, "P := { i | i >= 5 } ;\nQ := { i | i >= 6 } ;\nM := ((1)) ;\n");
    ProgramResult r = run_qarnest("P := { i | i >= 0 } ;\nM := ((7)) ;\nload \"" + file + "\" ;\nn\nR\no\nlist ;\nprint M ;\n");
    EXPECT_EQ(r.out,
              "<1> > P :=   { i | i >= 0 }\n<2> <3> Warning : identifier 'P' is already used for another domain !\n"
              "> Overwrite (o) , Choose another name (n) ?> OK : rename : Please enter new name : > R :=   { i | i >= 5 }\n"
              "> Q :=   { i | i >= 6 }\n"
              "Warning : identifier M is already used for another matrix\nOverwrite (o) , Choose another name (n) ?"
              "OK : overwrite 'M'\n"
              "> Loaded 2 domains and 1 matrix from '" + file + "'\n"
              "<6> <7> > Domain List: \n>   Q :=   { i | i >= 6 }\n>   R :=   { i | i >= 5 }\n"
              ">   P :=   { i | i >= 0 }\n\n> Matrix List : \n\tM\n\n"
              "<8> > M := (\n             (    1  )   )\n<9> End.\n");
}

TEST_F(StoreFiles, KeywordsTakeAQuotedFileNameAndGiveHints) {
    ProgramResult r = run_qarnest("save ;\nload P ;\nPLwrite P ;\nP := PLread ;\n");
    // After a hint the next statement's first error is not reported again,
    // as for every statement with a hint.
    EXPECT_EQ(r.out,
              "<1> > Error - line 1 : parse error \n> Syntax : save \"file\" ;\n"
              "<2> > Syntax : load \"file\" ;\n"
              "<3> > Syntax : PLwrite \"file\" 'domain' ;\n"
              "<4> > Error - line 4 : parse error \n> Syntax : 'name' := PLread \"file\" ;\n<5> End.\n");
}

// At a terminal the question waits for the user, as for a typed definition.
TEST_F(StoreFiles, ATakenNameIsAskedAtTheTerminal) {
    const std::string file = path("store.qn");
    write(file, "P := { i | i >= 5 } ;\n");
    PtySession session({"--no-line-editing"}, {"DISPLAY="});
    ASSERT_TRUE(session.wait_for("<1> "));
    session.send("P := { i | i >= 0 } ;\n");
    ASSERT_TRUE(session.wait_for("<2> ")) << session.output();
    session.send("load \"" + file + "\" ;\n");
    ASSERT_TRUE(session.wait_for("> Overwrite (o) , Choose another name (n) ?")) << session.output();
    session.send("o\nprint P ;\n");
    ASSERT_TRUE(session.wait_for("<4> > P :=   { i | i >= 5 }\n<5> ")) << session.output();
    EXPECT_NE(session.output().find("> OK : overwrite 'P'\n> P :=   { i | i >= 5 }\n> Loaded 1 domain and 0 matrices from"),
              std::string::npos)
        << session.output();
    session.send_eof();
    EXPECT_EQ(session.wait_exit(), 0);
}

// Ctrl-C while a long file is built stops the load, and nothing of it is stored.
TEST_F(StoreFiles, CtrlCStopsALoadAndStoresNothing) {
    const std::string file = path("heavy.qn");
    std::string text;
    for (int k = 0; k < 40; ++k) {
        text += "D" + std::to_string(k) + " := { a, b, c, d, e, f, g, h, x, y | ";
        for (const char* v : {"a", "b", "c", "d", "e", "f", "g", "h", "x", "y"})
            text += std::string("0 <= ") + v + " <= 9, ";
        text += "a - d <= 5, 2b - y <= " + std::to_string(k) + ", 3c - g <= 7, a - x <= 8 } ;\n";
    }
    write(file, text);
    PtySession session({"--no-line-editing"}, {"DISPLAY="}, true);
    ASSERT_TRUE(session.wait_for("<1> "));
    session.send("load \"" + file + "\" ;\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    session.send("\x03");
    ASSERT_TRUE(session.wait_for("> Interrupted: nothing is loaded from '" + file + "'\n<2> ", std::chrono::seconds(60)))
        << session.output();
    session.send("list ;\n");
    ASSERT_TRUE(session.wait_for("> Domain List: \n\n> Matrix List : \n\t\n<3> ")) << session.output();
    session.send_eof();
    EXPECT_EQ(session.wait_exit(), 0);
}

// ---- PolyLib matrix files ----

TEST_F(StoreFiles, PolyLibFilesWrittenAreReadBackWithTheirNames) {
    const std::string file = path("u.pl");
    ProgramResult r = run_qarnest("A := { i, j | 0 <= i <= 3, j = 2i } ;\nB := { i, j | i >= 10, j >= i } ;\nU := A union B ;\n"
                                  "PLwrite \"" + file + "\" U ;\nV := PLread \"" + file + "\" ;\n");
    EXPECT_EQ(r.out, "<1> > A :=   { i, j | 2i = j, j <= 6, j >= 0 }\n<2> > B :=   { i, j | i >= 10, i <= j }\n"
                     "<3> > U :=   { i, j | 2i = j, j <= 6, j >= 0 }\nUNION   { i, j | i >= 10, i <= j }\n"
                     "<4> > Wrote 'U' to '" + file + "': 2 constraint matrices\n"
                     "<5> > V :=   { i, j | 2i = j, j <= 6, j >= 0 }\nUNION   { i, j | i >= 10, i <= j }\n<6> End.\n");
}

TEST_F(StoreFiles, PolyLibFilesWithCommentsAndSeveralMatrices) {
    const std::string file = path("from-polylib.in");
    write(file,
          "# Two squares, as a PolyLib test program would read them\n"
          "4 4\n1 1 0 0\n1 -1 0 3   # i <= 3\n1 0 1 0\n1 0 -1 3\n\n"
          "# the second one\n4 4\n1 1 0 -5\n1 -1 0 8\n1 0 1 -5\n1 0 -1 8\n");
    ProgramResult r = run_qarnest("Q := PLread \"" + file + "\" ;\n");
    EXPECT_EQ(r.out, "<1> > Q :=   { i, j | i >= 0, i <= 3, j >= 0, j <= 3 }\n"
                     "UNION   { i, j | i >= 5, i <= 8, j >= 5, j <= 8 }\n<2> End.\n");
}

TEST_F(StoreFiles, PolyLibFileProblemsAreOneLineAndStoreNothing) {
    const std::string file = path("bad.pl");
    write(file, "# a comment\n2 4\n1 0 0 1\n1 0 1\n");
    ProgramResult r = run_qarnest("Q := PLread \"" + file + "\" ;\nQ := PLread \"" + path("none.pl") +
                                  "\" ;\nPLwrite \"" + path("x.pl") + "\" Q ;\nlist ;\n");
    EXPECT_EQ(r.out, "<1> > Error - line 1 : PLread : " + file +
                         ", line 4: a row of 3 values in a matrix of 4 columns - 'Q' is not stored \n"
                         "<2> > Error - line 2 : PLread : can't read " + path("none.pl") +
                         ": No such file or directory - 'Q' is not stored \n"
                         "<3> > Error - line 3 :  'Q' undeclared - PLwrite: command ignored \n"
                         "<4> > Domain List: \n\n> Matrix List : \n\t\n<5> End.\n");
}

}  // namespace
