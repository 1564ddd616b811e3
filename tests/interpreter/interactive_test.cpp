// Sessions on a terminal: prompts visible before each line is read, and the
// overwrite-or-rename dialogue answered on the lines after the statement.
#include <gtest/gtest.h>

#include <memory>

#include "tests/support/run_program.h"
#include "tests/support/x_session.h"

namespace {

using namespace std::chrono_literals;

// The plain terminal: the line editor off, so that the transcript holds
// exactly what the program writes.
class InteractiveSession : public ::testing::Test {
protected:
    PtySession session{{"--no-line-editing"}};

    void type_line(const std::string& line, const std::string& then_shows) {
        session.send(line + "\n");
        ASSERT_TRUE(session.wait_for(then_shows)) << "after typing '" << line << "' the terminal shows:\n"
                                                  << session.output();
    }
    void finish() {
        session.send_eof();
        ASSERT_TRUE(session.wait_for("End.\n"));
        EXPECT_EQ(session.wait_exit(), 0);
    }
};

TEST_F(InteractiveSession, PromptsAppearBeforeEachLineIsRead) {
    ASSERT_TRUE(session.wait_for("<1> "));
    type_line("P := { i | 0 <= i <= 3 } ;", "<2> ");
    type_line("print P ;", "<3> ");
    finish();
    EXPECT_EQ(session.output(),
              "<1> > P :=   { i | i <= 3, i >= 0 }\n<2> > P :=   { i | i <= 3, i >= 0 }\n<3> End.\n");
}

TEST_F(InteractiveSession, OverwriteReplacesTheEntryAndPutsItFirst) {
    ASSERT_TRUE(session.wait_for("<1> "));
    type_line("P := { i | i >= 0 } ;", "<2> ");
    type_line("Q := { i | i >= 1 } ;", "<3> ");
    type_line("P := { i | i <= 5 } ;", "> Overwrite (o) , Choose another name (n) ?");
    type_line("o", "<4> <5> ");
    type_line("list ;", "<6> ");
    finish();
    EXPECT_EQ(session.output(),
              "<1> > P :=   { i | i >= 0 }\n"
              "<2> > Q :=   { i | i >= 1 }\n"
              "<3> Warning : identifier 'P' is already used for another domain !\n"
              "> Overwrite (o) , Choose another name (n) ?> OK : overwrite 'P'\n"
              "> P :=   { i | i <= 5 }\n"
              "<4> <5> > Domain List: \n"
              ">   P :=   { i | i <= 5 }\n"
              ">   Q :=   { i | i >= 1 }\n"
              "\n> Matrix List : \n\t\n"
              "<6> End.\n");
}

TEST_F(InteractiveSession, OtherAnswersAreRefusedUntilRename) {
    ASSERT_TRUE(session.wait_for("<1> "));
    type_line("P := { i | i >= 0 } ;", "<2> ");
    type_line("P := { i | i <= 5 } ;", "> Overwrite (o) , Choose another name (n) ?");
    type_line("x", "(choose another name) !\n");
    ASSERT_TRUE(session.wait_for("> Please answer 'o' (overwrite) or 'n' (choose another name) !\n"
                                 "> Please answer 'o' (overwrite) or 'n' (choose another name) !\n"));
    type_line("n", "> OK : rename : Please enter new name : ");
    type_line("R", "<3> <4> ");
    type_line("list ;", "<5> ");
    finish();
    EXPECT_NE(session.output().find("> OK : rename : Please enter new name : > R :=   { i | i <= 5 }\n<3> <4> "),
              std::string::npos)
        << session.output();
    EXPECT_NE(session.output().find(">   R :=   { i | i <= 5 }\n>   P :=   { i | i >= 0 }\n"), std::string::npos);
}

TEST_F(InteractiveSession, NewNameOnTheLineOfTheAnswer) {
    ASSERT_TRUE(session.wait_for("<1> "));
    type_line("P := { i | i >= 0 } ;", "<2> ");
    type_line("P := { i | i <= 5 } ;", "?");
    type_line("n R", "<3> <4> ");
    type_line("print R ;", "<5> ");
    finish();
    EXPECT_NE(session.output().find("> OK : rename : Please enter new name : > R :=   { i | i <= 5 }\n<3> <4> "
                                    "> R :=   { i | i <= 5 }\n<5> "),
              std::string::npos)
        << session.output();
}

// A new name that is taken is asked about in turn: no two entries share a
// name, whatever the second answer.
TEST(InteractiveRename, ToATakenNameAsksAgain) {
    struct Case {
        const char* name;
        const char* second_answer;   // typed lines, after "n" and the taken name Q
        const char* stored;          // what the definition printed
        const char* list;            // the domain list afterwards
    };
    const Case cases[] = {
        {"another name", "n\nR\n", "> OK : rename : Please enter new name : > R :=   { i | i <= 5 }\n",
         ">   R :=   { i | i <= 5 }\n>   Q :=   { i | i >= 1 }\n>   P :=   { i | i >= 0 }\n"},
        {"overwrite the taken one", "o\n", "> OK : overwrite 'Q'\n> Q :=   { i | i <= 5 }\n",
         ">   Q :=   { i | i <= 5 }\n>   P :=   { i | i >= 0 }\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PtySession session({"--no-line-editing"});
        ASSERT_TRUE(session.wait_for("<1> "));
        session.send("P := { i | i >= 0 } ;\nQ := { i | i >= 1 } ;\n");
        ASSERT_TRUE(session.wait_for("<3> "));
        session.send("P := { i | i <= 5 } ;\n");
        ASSERT_TRUE(session.wait_for("?"));
        session.send("n\nQ\n");
        ASSERT_TRUE(session.wait_for("Warning : identifier 'Q' is already used for another domain !\n"
                                     "> Overwrite (o) , Choose another name (n) ?"))
            << session.output();
        session.send(c.second_answer);
        ASSERT_TRUE(session.wait_for(c.stored, 20s, true)) << session.output();
        session.send("list ;\n");
        ASSERT_TRUE(session.wait_for("Matrix List : \n\t\n", 20s, true));
        session.send_eof();
        EXPECT_EQ(session.wait_exit(), 0);
        EXPECT_NE(session.output().find("> Domain List: \n" + std::string(c.list) + "\n"), std::string::npos)
            << session.output();
    }
}

TEST_F(InteractiveSession, LongRenameWordIsCutToSixtyThreeCharacters) {
    const std::string long_name(100, 'a');
    ASSERT_TRUE(session.wait_for("<1> "));
    type_line("P := { i | i >= 0 } ;", "<2> ");
    type_line("P := { i | i <= 5 } ;", "?");
    type_line("n", "Please enter new name : ");
    type_line(long_name, "<3> <4> ");
    type_line("list ;", "<5> ");
    finish();
    const std::string cut(63, 'a');
    EXPECT_NE(session.output().find("> New name cut to its first 63 characters: '" + cut + "'\n> " + cut + " :=   "),
              std::string::npos)
        << session.output();
    EXPECT_EQ(session.output().find(std::string(64, 'a')), std::string::npos);
}

TEST_F(InteractiveSession, EndOfInputInTheDialogueChangesNothing) {
    ASSERT_TRUE(session.wait_for("<1> "));
    type_line("P := { i | i >= 0 } ;", "<2> ");
    type_line("P := { i | i <= 5 } ;", "?");
    session.send_eof();
    ASSERT_TRUE(session.wait_for("End.\n"));
    EXPECT_EQ(session.wait_exit(), 0);
    EXPECT_NE(session.output().find("?\n> No answer: 'P' is left as it was\n"), std::string::npos)
        << session.output();
}

TEST_F(InteractiveSession, MatrixDialogueHasItsOwnTexts) {
    ASSERT_TRUE(session.wait_for("<1> "));
    type_line("M := ((1, 2)) ;", "<1> <2> ");
    type_line("M := ((3, 4)) ;", "Overwrite (o) , Choose another name (n) ?");
    type_line("y", "!\n");
    ASSERT_TRUE(session.wait_for("Please answer 'o' (overwrite)  or 'n' (choose another name) !\n", 5s, true));
    type_line("o", "<3> <4> ");
    type_line("print M ;", "<5> ");
    type_line("N := ((5)) ;", "<6> ");
    type_line("N := ((6)) ;", "?");
    type_line("n", "Please enter new name :\n");
    type_line("K", "<7> <8> ");
    type_line("list ;", "<9> ");
    finish();
    const std::string& out = session.output();
    EXPECT_NE(out.find("Warning : identifier M is already used for another matrix\n"
                       "Overwrite (o) , Choose another name (n) ?"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("OK : overwrite 'M'\n<3> <4> > M := (\n             (    3 ,   4  )   )\n"), std::string::npos)
        << out;
    EXPECT_NE(out.find("\tK, N, M\n"), std::string::npos) << out;
}

// The question is asked with both locks held: the windows wait for the
// answer, then act on the stores as the answer left them.
class InteractiveSessionWithViewer : public ::testing::Test {
protected:
    XSession x;
    std::unique_ptr<PtySession> session;
    int line_ = 1;

    void SetUp() override {
        session = std::make_unique<PtySession>(std::vector<std::string>{"--no-line-editing"},
                                               std::vector<std::string>{"DISPLAY=" + x.display()});
        ASSERT_TRUE(session->wait_for("<1> "));
    }
    void statement(const std::string& text) {
        session->send(text + "\n");
        ++line_;
        ASSERT_TRUE(session->wait_for("<" + std::to_string(line_) + "> ", 20s, true)) << session->output();
        x.settle();
    }
    int black_on_canvas(const std::string& visualisation) {
        Screenshot shot = x.capture(visualisation);
        return shot.count_in(Rgb{0, 0, 0}, 90, 0, shot.width(), shot.height());
    }
};

TEST_F(InteractiveSessionWithViewer, AClickDuringTheQuestionActsOnTheAnsweredStores) {
    statement("K := { | } ;");
    statement("P := { i, j | 0 <= i <= 6, 0 <= j <= 6 } ;");
    statement("initvisu (2, K) ;");
    statement("visu (P) ;");
    std::string visualisation = x.find_window("Visualisation");
    ASSERT_FALSE(visualisation.empty());
    x.click(visualisation, 40, 90);
    std::string domains = x.find_window("Domains");
    ASSERT_FALSE(domains.empty());
    ASSERT_TRUE(x.wait_viewable(domains, true));
    x.settle();
    int large = black_on_canvas(visualisation);
    ASSERT_GT(large, 0);

    session->send("P := { i, j | 0 <= i <= 2, 0 <= j <= 2 } ;\n");
    ASSERT_TRUE(session->wait_for("> Overwrite (o) , Choose another name (n) ?"));
    x.click(domains, 120, 42);
    x.settle(1000ms);
    EXPECT_EQ(black_on_canvas(visualisation), large) << "the click on P's Status waited for the answer";
    session->send("x\no\n");
    line_ += 2;
    ASSERT_TRUE(session->wait_for("<" + std::to_string(line_) + "> ", 20s, true)) << session->output();
    x.settle(1000ms);
    int small = black_on_canvas(visualisation);
    EXPECT_GT(small, 0) << "the waiting click showed the new P, in the only row left";
    EXPECT_LT(small, large);
    statement("list ;");
    session->send("quit\n");
    EXPECT_EQ(session->wait_exit(), 0);
    EXPECT_NE(session->output().find("> Please answer 'o' (overwrite) or 'n' (choose another name) !\n"
                                     "> Please answer 'o' (overwrite) or 'n' (choose another name) !\n"
                                     "> OK : overwrite 'P'\n> P :=   { i, j | i <= 2, i >= 0, j <= 2, j >= 0 }\n"),
              std::string::npos)
        << session->output();
}

}  // namespace
