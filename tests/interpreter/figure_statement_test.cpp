// The figure statement: any number of figures from one script, in every
// format, on a machine without a display (the run's own virtual one), and
// the one-line refusals that store nothing.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/figure_reading.h"
#include "tests/support/processes.h"
#include "tests/support/run_program.h"
#include "tests/support/temporary_folder.h"

namespace {

std::string replaced(std::string text, const std::string& mark, const std::string& by) {
    for (std::size_t at = 0; (at = text.find(mark, at)) != std::string::npos; at += by.size())
        text.replace(at, mark.size(), by);
    return text;
}

class FigureStatement : public TemporaryFolderTest {
protected:
    FigureStatement() : TemporaryFolderTest("figures") {}
    // The script with "@" for the test folder, run without a display.
    ProgramResult run(const std::string& script, std::vector<std::string> args = {"--virtual-display"}) {
        return run_qarnest(replaced(script, "@", folder_), args, std::chrono::seconds(60), {"DISPLAY="});
    }
    std::string at(const std::string& text) const { return replaced(text, "@", folder_); }
};

// The markers of an SVG figure, in canvas pixels.
std::vector<std::pair<int, int>> marker_centres(const std::string& svg) {
    std::vector<FigureRectangle> rectangles;
    for (const SvgElement& path : svg_elements_named(svg, "path")) {
        const auto d = path.attributes.find("d");
        if (d == path.attributes.end()) continue;
        for (const FigureRectangle& r : path_rectangles(d->second)) rectangles.push_back(r);
    }
    return marker_centres_of(rectangles);
}

TEST_F(FigureStatement, WritesEachFigureOfAScriptAsTheViewerShowsItThen) {
    const ProgramResult result = run(
        "K := { | } ;\n"
        "S := { i, j | 0 <= i <= 1, 0 <= j <= 1 } ;\n"
        "T := { i, j | 0 <= j <= i <= 3 } ;\n"
        "initvisu (2, K) ;\n"
        "visu (S) ;\n"
        "figure \"@/one.svg\" ;\n"
        "visu (T) ;\n"
        "figure \"@/two.svg\" ;\n"
        "figure \"@/two.png\" (200, 120) ;\n"
        "figure\n  \"@/two.pdf\" ;  figure \"@/two.tex\" ;\n"
        "figure \"@/two.TIKZ\" (50, 60) ;\n");
    EXPECT_EQ(result.exit_status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_NE(result.out.find(at("<6> > Figure written to @/one.svg (314 x 348)\n")), std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find(at("<8> > Figure written to @/two.svg (314 x 348)\n"
                                 "<9> > Figure written to @/two.png (200 x 120)\n"
                                 "<10> <11> > Figure written to @/two.pdf (314 x 348)\n"
                                 "> Figure written to @/two.tex (314 x 348)\n"
                                 "<12> > Figure written to @/two.TIKZ (50 x 60)\n<13> End.\n")),
              std::string::npos)
        << result.out;
    EXPECT_EQ(result.out.find("Waiting for user"), std::string::npos) << "nobody can close a virtual display's window";
    EXPECT_EQ(marker_centres(content_of(folder_ + "/one.svg")).size(), 4u) << "the square's 4 points alone";
    EXPECT_EQ(marker_centres(content_of(folder_ + "/two.svg")).size(), 10u + 4u)
        << "the triangle's 10 markers and the square's 4";
    EXPECT_EQ(content_of(folder_ + "/two.png").compare(0, 4, "\x89PNG"), 0);
    EXPECT_EQ(content_of(folder_ + "/two.pdf").compare(0, 4, "%PDF"), 0);
    EXPECT_EQ(content_of(folder_ + "/two.tex").compare(0, 16, "% Qarnest figure"), 0);
    EXPECT_EQ(content_of(folder_ + "/two.TIKZ").compare(0, 16, "% Qarnest figure"), 0);
}

TEST_F(FigureStatement, RefusesWithOneLineAndWritesNothing) {
    struct Case {
        const char* name;
        std::string script;   // after a session whose viewer shows T
        std::string answer;   // the line after the prompt "<5> "
    };
    const std::string shown = "K := { | } ;\nT := { i, j | 0 <= j <= i <= 3 } ;\ninitvisu (2, K) ;\nvisu (T) ;\n";
    const Case cases[] = {
        {"a missing folder", "figure \"@/none/t.svg\" ;\n",
         "> Error - line 5 : Can't write @/none/t.svg: No such file or directory - command ignored \n"},
        {"an unknown format", "figure \"@/t.jpg\" ;\n",
         "> Error - line 5 : figure \"@/t.jpg\": unknown figure format (use .svg, .pdf, .png or .tex) - command "
         "ignored \n"},
        {"no name", "figure \"\" ;\n", "> Error - line 5 : figure: no file name given - command ignored \n"},
        {"a zero size", "figure \"@/t.svg\" (0, 10) ;\n",
         "> Error - line 5 : figure size 0 x 10: each side must be 1 to 8192 pixels - command ignored \n"},
        {"a size too large", "figure \"@/t.svg\" (10, 8193) ;\n",
         "> Error - line 5 : figure size 10 x 8193: each side must be 1 to 8192 pixels - command ignored \n"},
        {"nothing shown any more", "visu (T) ;\nfigure \"@/t.svg\" ;\n",
         "<6> > Error - line 6 : no figure written to @/t.svg: no domain is shown - command ignored \n"},
    };
    for (const Case& c : cases) {
        const ProgramResult result = run(shown + c.script + "list ;\n");
        EXPECT_NE(result.out.find("<5> " + at(c.answer)), std::string::npos) << c.name << ":\n" << result.out;
        EXPECT_NE(result.out.find(">   T :=   { i, j | i <= 3, i >= j, j >= 0 }\n>   K := { | }\n\n"),
                  std::string::npos)
            << c.name << ": the stores are as they were";
        EXPECT_EQ(std::system(("test -z \"$(ls -A " + folder_ + ")\"").c_str()), 0) << c.name << ": files left";
    }
    const ProgramResult before_the_viewer = run("figure \"@/t.svg\" ;\n");
    EXPECT_EQ(before_the_viewer.out,
              at("<1> > Error - line 1 : no figure written to @/t.svg: no domain is shown - command ignored \n<2> End.\n"));
    const ProgramResult no_display = run("figure \"@/t.svg\" ;\n", {});
    EXPECT_EQ(no_display.out, "<1> > figure : the viewer needs an X display and none could be opened - command "
                              "ignored\n<2> End.\n");
    std::ofstream(folder_ + "/refused.qn") << shown << at("figure \"@/none/t.svg\" ;\n");
    EXPECT_EQ(run("", {"--virtual-display", folder_ + "/refused.qn"}).exit_status, 1)
        << "a refused figure fails the script";
}

// The viewer's parameters typed by a statement: the shown domains follow
// as when the values are typed in the Context window.
TEST_F(FigureStatement, ParametersDrawAParametricDomainAtTheValuesGiven) {
    const std::string start =
        "T := { i, j, N | 0 <= j <= i <= N } ;\nC := { N | 0 <= N <= 2000 } ;\ninitvisu (2, C) ;\n";
    const ProgramResult result = run(start +
                                     "parameters (N = 3) ;\nvisu (T) ;\nfigure \"@/three.svg\" ;\n"
                                     "parameters (N = 6) ;\nfigure \"@/six.svg\" ;\n"
                                     "parameters (N = 1000) ;\nfigure \"@/thousand.svg\" (100, 100) ;\n"
                                     "parameters (N = -1) ;\nfigure \"@/none.svg\" ;\n");
    EXPECT_NE(result.out.find(at("<4> <5> <6> > Figure written to @/three.svg (314 x 348)\n<7> <8> > Figure written")),
              std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find(at("<11> Bad parameters for this context!\n<12> > Error - line 12 : no figure written "
                                 "to @/none.svg: no domain is shown - command ignored \n")),
              std::string::npos)
        << "a value outside the context masks the domain:\n" << result.out;
    EXPECT_EQ(marker_centres(content_of(folder_ + "/three.svg")).size(), 10u);
    EXPECT_EQ(marker_centres(content_of(folder_ + "/six.svg")).size(), 28u);
    EXPECT_TRUE(content_of(folder_ + "/thousand.svg").find("<svg") != std::string::npos)
        << "a value longer than the Context entry's three characters";

    struct Refusal {
        const char* name;
        std::string script;
        std::string answer;
    };
    const Refusal refusals[] = {
        {"not a parameter", start + "parameters (M = 3) ;\n",
         "<4> > Error - line 4 : parameters: 'M' is not a parameter of the viewer's context (N) - command ignored \n"},
        {"no parameters", "K := { | } ;\ninitvisu (2, K) ;\nparameters (N = 3) ;\n",
         "<3> > Error - line 3 : parameters: the viewer's context has no parameters - command ignored \n"},
        {"no viewer", "parameters (N = 3) ;\n",
         "<1> > Error - line 1 : parameters: the viewer's context has no parameters - command ignored \n"},
        {"malformed", "parameters (N) ;\nparameters N = 3 ;\n",
         "<1> > Error - line 1 : parse error \n> Syntax : parameters ('name' = value, ...) ;\n"
         "<2> > Syntax : parameters ('name' = value, ...) ;\n"},
    };
    for (const Refusal& r : refusals) {
        const ProgramResult refused = run(r.script);
        EXPECT_NE(refused.out.find(r.answer), std::string::npos) << r.name << ":\n" << refused.out;
    }
    EXPECT_EQ(run("parameters (N = 3) ;\n", {}).out,
              "<1> > parameters : the viewer needs an X display and none could be opened - command ignored\n<2> End.\n");
}

TEST_F(FigureStatement, TheVirtualDisplayEndsWithTheCalculatorEvenKilled) {
    int input[2];
    ASSERT_EQ(pipe(input), 0);
    const pid_t calculator = fork();
    if (calculator == 0) {
        dup2(input[0], 0);
        close(input[1]);
        unsetenv("DISPLAY");
        const int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, 1);
        execl(QARNEST_BINARY, "qarnest", "--line-mode", "--virtual-display", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(input[0]);
    std::vector<pid_t> servers;
    for (int k = 0; k < 500 && servers.empty(); ++k) {
        servers = children_named(calculator, "Xvfb");
        usleep(20000);
    }
    ASSERT_EQ(servers.size(), 1u);
    kill(calculator, SIGKILL);
    waitpid(calculator, nullptr, 0);
    close(input[1]);
    bool ended = false;
    for (int k = 0; k < 500 && !ended; ++k) {
        ended = process_gone(servers[0]);
        usleep(20000);
    }
    EXPECT_TRUE(ended) << "Xvfb " << servers[0] << " outlived its calculator";
}

}  // namespace
