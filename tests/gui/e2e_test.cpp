// The calculator driven like a user: statements typed on a terminal, the
// windows clicked, dragged, typed into and closed on a private X display
// with a window manager, standard output and screenshots checked.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <memory>
#include <thread>

#include "tests/support/run_program.h"
#include "tests/support/x_session.h"

namespace {

using namespace std::chrono_literals;

const Rgb black{0, 0, 0};
const Rgb red{255, 0, 0};

// Cell centres of the Domains window's list, relative to the window.
int column_x(int column) { return std::array<int, 4>{43, 120, 198, 318}[column]; }
int row_y(int row) { return 42 + 18 * row; }
// Where to drop a row so that it lands at `to`: below the middle of the
// target row when moving down, above it when moving up.
int drop_y(int from, int to) { return row_y(to) + (to > from ? 6 : -6); }

// Button centres of the Visualisation window's column: Quit, then the toggles.
int toggle_y(int index) { return 18 + 36 * index; }

// The entry of the first parameter in the Context window.
constexpr int context_entry_x = 108, context_entry_y = 69;

// The Visualisation window's canvas starts right of the button column.
constexpr int canvas_left = 90;

class EndToEnd : public ::testing::Test {
protected:
    XSession x;
    std::unique_ptr<PtySession> program;

    void SetUp() override { program = std::make_unique<PtySession>(std::vector<std::string>{"--no-line-editing"},
                                                                   std::vector<std::string>{"DISPLAY=" + x.display()}); }

    void type_statements(const std::string& lines) {
        program->send(lines);
        int prompts = 0;
        for (char c : lines) prompts += c == '\n';
        ASSERT_TRUE(program->wait_for("<" + std::to_string(next_line_ + prompts - 1) + "> ", 20s, true))
            << program->output();
        next_line_ += prompts;
        x.settle(200ms);
    }
    // Output written since the mark.
    std::string output_since(std::size_t mark) const { return program->output().substr(mark); }

    std::string open_viewer(const std::string& definitions) {
        type_statements(definitions);
        std::string window = x.find_window("Visualisation");
        EXPECT_FALSE(window.empty());
        EXPECT_TRUE(x.wait_viewable(window, true));
        x.settle();
        return window;
    }
    // Shows one box of 10^12 points (drawn at once), then a second that
    // overlaps it (blended where they meet: no end in any patience), and
    // checks the second is still drawing; `visualisation` is the viewer's window.
    void start_huge_redraw(std::string& visualisation) {
        ASSERT_TRUE(program->wait_for("<1> "));
        visualisation = open_viewer(
            "K := { | } ;\nH := { i, j, k | 0 <= i <= 9999, 0 <= j <= 9999, 0 <= k <= 9999 } ;\n"
            "G := { i, j, k | 5000 <= i <= 9999, 0 <= j <= 9999, 0 <= k <= 9999 } ;\ninitvisu (3, K) ;\n");
        program->send("visu (H) ;\n");
        ASSERT_TRUE(program->wait_for("<6> ", 20s, true)) << "one box alone draws at once";
        program->send("visu (G) ;\n");
        std::this_thread::sleep_for(1500ms);
        ASSERT_FALSE(program->wait_for("<7> ", 100ms, true)) << "still drawing";
    }
    std::string press_toggle(const std::string& visualisation, int index, const std::string& title) {
        x.click(visualisation, 40, toggle_y(index));
        x.settle();
        return x.find_window(title, 5s);
    }
    void click_cell(const std::string& domains, int row, int column) {
        x.click(domains, column_x(column), row_y(row));
        x.settle();
    }
    int canvas_count(const std::string& visualisation, Rgb colour) {
        Screenshot shot = x.capture(visualisation);
        return shot.count_in(colour, canvas_left, 0, shot.width(), shot.height());
    }
    // Names of the domains in DomainList order, from a "list" statement.
    std::vector<std::string> listed_names() {
        std::size_t mark = program->output().size();
        type_statements("list ;\n");
        std::string text = output_since(mark);
        std::vector<std::string> names;
        for (std::size_t at = text.find(">   "); at != std::string::npos; at = text.find(">   ", at + 1))
            names.push_back(text.substr(at + 4, text.find(" :=", at) - at - 4));
        return names;
    }
    int finish_input() {
        program->send_eof();
        return 0;
    }

    int next_line_ = 2;
};

TEST_F(EndToEnd, WindowsComeAndGoWithTheirToggles) {
    ASSERT_TRUE(program->wait_for("<1> "));
    std::string visualisation = open_viewer("K := { | } ;\nA := { i, j | 0 <= j <= i <= 6 } ;\ninitvisu (2, K) ;\n");
    EXPECT_NE(x.run("xprop -id " + visualisation + " WM_CLASS").find("\"Qarnest\", \"Qarnest\""), std::string::npos);
    Geometry size = x.geometry(visualisation);
    EXPECT_GE(size.width, 400);
    EXPECT_GE(size.height, 350);

    std::string projection = press_toggle(visualisation, 1, "Projection");
    ASSERT_FALSE(projection.empty());
    EXPECT_TRUE(x.wait_viewable(projection, true));
    press_toggle(visualisation, 1, "Projection");
    EXPECT_TRUE(x.wait_viewable(projection, false));
    press_toggle(visualisation, 1, "Projection");
    EXPECT_TRUE(x.wait_viewable(projection, true));
    x.close(projection);
    EXPECT_TRUE(x.wait_viewable(projection, false)) << "a close request hides the window";
    EXPECT_EQ(press_toggle(visualisation, 1, "Projection"), projection) << "the same window serves again";
    EXPECT_TRUE(x.wait_viewable(projection, true)) << "the close released the toggle";

    std::string domains = press_toggle(visualisation, 2, "Domains");
    ASSERT_FALSE(domains.empty());
    EXPECT_TRUE(x.wait_viewable(domains, true));
    x.close(domains);
    EXPECT_TRUE(x.wait_viewable(domains, false));
    EXPECT_EQ(press_toggle(visualisation, 2, "Domains"), domains);
    EXPECT_TRUE(x.wait_viewable(domains, true));

    EXPECT_TRUE(x.find_window("Context", 500ms).empty()) << "no parameters, no Context window";
    std::size_t mark = program->output().size();
    program->send_eof();
    ASSERT_TRUE(program->wait_for("Waiting for user to leave graphical interface.\n", 10s, true));
    EXPECT_EQ(output_since(mark), "End.\nWaiting for user to leave graphical interface.\n");
    x.close(visualisation);
    EXPECT_EQ(program->wait_exit(10s), 0);
}

TEST_F(EndToEnd, DomainsWindowShowsMasksSwitchesPointsAndColours) {
    ASSERT_TRUE(program->wait_for("<1> "));
    std::string visualisation = open_viewer(
        "K := { | } ;\nA := { i, j | 0 <= j <= i <= 6 } ;\nB := { i, j | 2 <= i <= 4, 1 <= j <= 2 } ;\ninitvisu (2, K) ;\n");
    std::string domains = press_toggle(visualisation, 2, "Domains");
    ASSERT_TRUE(x.wait_viewable(domains, true));
    EXPECT_EQ(canvas_count(visualisation, black), 0);

    click_cell(domains, 1, 2);
    EXPECT_EQ(canvas_count(visualisation, black), 0) << "Intpoints of a masked row changes nothing";
    click_cell(domains, 0, 1);
    int with_points = canvas_count(visualisation, black);
    EXPECT_GT(with_points, 0);
    click_cell(domains, 0, 2);
    int without_points = canvas_count(visualisation, black);
    EXPECT_GT(without_points, 0);
    EXPECT_LT(without_points, with_points);
    click_cell(domains, 0, 2);
    EXPECT_EQ(canvas_count(visualisation, black), with_points);

    click_cell(domains, 0, 3);
    std::string dialog = x.find_window("Domain's Color");
    ASSERT_FALSE(dialog.empty());
    ASSERT_TRUE(x.wait_viewable(dialog, true));
    x.settle();
    x.click(dialog, 313, 197);
    x.click(dialog, 481, 260);
    x.settle(500ms);
    EXPECT_TRUE(x.find_window("Domain's Color", 300ms).empty());
    EXPECT_GT(canvas_count(visualisation, red), 0);
    EXPECT_EQ(canvas_count(visualisation, black), 0);

    click_cell(domains, 0, 1);
    EXPECT_EQ(canvas_count(visualisation, red), 0) << "masked";
    click_cell(domains, 0, 1);
    EXPECT_GT(canvas_count(visualisation, red), 0) << "shown again in its colour";
    program->send("quit\n");
    EXPECT_EQ(program->wait_exit(10s), 0);
}

// The GUI thread sleeps in its loop while the interpreter adds a row: the row
// must reach the screen with no X event at all, so the pointer stays still
// outside every window.
TEST_F(EndToEnd, RowsAddedByStatementsAreOnScreenWithoutAnyEvent) {
    ASSERT_TRUE(program->wait_for("<1> "));
    std::string visualisation = open_viewer("K := { | } ;\nA := { i, j | 0 <= j <= i <= 6 } ;\ninitvisu (2, K) ;\n");
    std::string domains = press_toggle(visualisation, 2, "Domains");
    ASSERT_TRUE(x.wait_viewable(domains, true));
    x.run("xdotool mousemove 1279 1023");
    x.settle(500ms);
    const std::string pointer = x.run("xdotool getmouselocation");
    auto name_ink = [&](int row) {
        Screenshot shot = x.capture(domains);
        return shot.count_in(black, 10, row_y(row) - 6, 75, row_y(row) + 6);
    };
    ASSERT_GT(name_ink(0), 0) << "the row of A";
    ASSERT_EQ(name_ink(1), 0);
    const std::pair<const char*, int> definitions[] = {{"D := { i, j | 0 <= i <= 3, 0 <= j <= 1 } ;\n", 1},
                                                       {"U := A union D ;\n", 2}};
    for (auto [statement, row] : definitions) {
        type_statements(statement);
        x.settle(1s);
        EXPECT_GT(name_ink(row), 0) << statement << "is on screen";
    }
    EXPECT_EQ(x.run("xdotool getmouselocation"), pointer) << "the pointer never moved";
    program->send("quit\n");
    EXPECT_EQ(program->wait_exit(10s), 0);
}

TEST_F(EndToEnd, ARestartClosesAnOpenColourDialog) {
    ASSERT_TRUE(program->wait_for("<1> "));
    std::string visualisation = open_viewer("K := { | } ;\nA := { i, j | 0 <= j <= i <= 6 } ;\ninitvisu (2, K) ;\n");
    std::string domains = press_toggle(visualisation, 2, "Domains");
    ASSERT_TRUE(x.wait_viewable(domains, true));
    click_cell(domains, 0, 3);
    std::string dialog = x.find_window("Domain's Color");
    ASSERT_FALSE(dialog.empty());
    ASSERT_TRUE(x.wait_viewable(dialog, true));
    type_statements("initvisu (2, K) ;\n");
    EXPECT_TRUE(x.find_window("Domain's Color", 1s).empty()) << "the restart closed the dialog";
    click_cell(domains, 0, 1);
    EXPECT_GT(canvas_count(visualisation, black), 0) << "the windows answer again";
    program->send("quit\n");
    EXPECT_EQ(program->wait_exit(10s), 0);
}

TEST_F(EndToEnd, EveryRowDragMovesTheDraggedRow) {
    ASSERT_TRUE(program->wait_for("<1> "));
    std::string visualisation = open_viewer(
        "K := { | } ;\nA := { i, j | i = 0, j = 0 } ;\nB := { i, j | i = 1, j = 1 } ;\nC := { i, j | i = 2, j = 2 } ;\n"
        "initvisu (2, K) ;\n");
    std::string domains = press_toggle(visualisation, 2, "Domains");
    ASSERT_TRUE(x.wait_viewable(domains, true));
    ASSERT_EQ(listed_names(), (std::vector<std::string>{"C", "B", "A", "K"}));
    // Rows run opposite to DomainList: A, B, C from the top.
    std::vector<std::string> rows = {"A", "B", "C"};
    const std::pair<int, int> drags[] = {{0, 2}, {2, 0}, {1, 2}, {0, 1}, {2, 1}, {0, 2}};
    for (auto [from, to] : drags) {
        x.drag(domains, column_x(0), row_y(from), column_x(0), drop_y(from, to));
        x.settle(400ms);
        std::string moved = rows[from];
        rows.erase(rows.begin() + from);
        rows.insert(rows.begin() + to, moved);
        std::vector<std::string> expected(rows.rbegin(), rows.rend());
        expected.push_back("K");
        EXPECT_EQ(listed_names(), expected) << "after dragging row " << from << " to row " << to;
    }
    program->send("quit\n");
    EXPECT_EQ(program->wait_exit(10s), 0);
}

TEST_F(EndToEnd, APressOnAStatusCellActsEvenWhenADragFollows) {
    ASSERT_TRUE(program->wait_for("<1> "));
    std::string visualisation = open_viewer(
        "K := { | } ;\nA := { i, j | 0 <= j <= i <= 3 } ;\nB := { i, j | 0 <= i <= 2, j = 0 } ;\ninitvisu (2, K) ;\n");
    std::string domains = press_toggle(visualisation, 2, "Domains");
    ASSERT_TRUE(x.wait_viewable(domains, true));
    x.drag(domains, column_x(1), row_y(0), column_x(1), drop_y(0, 1));
    x.settle(400ms);
    EXPECT_GT(canvas_count(visualisation, black), 0) << "the press showed A";
    EXPECT_EQ(listed_names(), (std::vector<std::string>{"A", "B", "K"})) << "and the drag moved its row down";
    program->send("quit\n");
    EXPECT_EQ(program->wait_exit(10s), 0);
}

TEST_F(EndToEnd, AxisDragMovesThePictureAndARestartResetsIt) {
    ASSERT_TRUE(program->wait_for("<1> "));
    std::string visualisation = open_viewer(
        "K := { | } ;\nA := { i, j | 0 <= j <= i <= 4 } ;\nB := { i, j | 0 <= i <= 4, 0 <= j <= 1 } ;\n"
        "initvisu (2, K) ;\nvisu (A) ;\nvisu (B) ;\n");
    Screenshot before = x.capture(visualisation);
    std::string projection = press_toggle(visualisation, 1, "Projection");
    ASSERT_TRUE(x.wait_viewable(projection, true));
    Geometry g = x.geometry(projection);
    // Default axes i = (1, 0) and j = (0, 1): the end of i is at the right
    // margin, on the origin's row at the bottom margin.
    x.drag(projection, g.width - 20, g.height - 20, g.width - 60, g.height - 70, 12);
    x.settle(500ms);
    Screenshot dragged = x.capture(visualisation);
    EXPECT_NE(dragged.count_in(black, canvas_left, 0, dragged.width(), dragged.height()), 0);
    bool changed = false;
    for (int y = 0; y < std::min(before.height(), dragged.height()) && !changed; ++y)
        for (int xx = canvas_left; xx < std::min(before.width(), dragged.width()); ++xx)
            if (!(before.at(xx, y) == dragged.at(xx, y))) {
                changed = true;
                break;
            }
    EXPECT_TRUE(changed) << "the drag changed the projection";

    type_statements("initvisu (2, K) ;\n");
    EXPECT_EQ(canvas_count(visualisation, black), 0) << "a restart masks the shown domains";
    EXPECT_TRUE(x.find_window("Projection", 300ms).empty() || !x.is_viewable(x.find_window("Projection", 300ms)));
    type_statements("visu (A) ;\nvisu (B) ;\n");
    Screenshot again = x.capture(visualisation);
    int differing = 0;
    for (int y = 0; y < std::min(before.height(), again.height()); ++y)
        for (int xx = canvas_left; xx < std::min(before.width(), again.width()); ++xx)
            differing += !(before.at(xx, y) == again.at(xx, y));
    EXPECT_EQ(differing, 0) << "the axes are back to their defaults";
    program->send("quit\n");
    EXPECT_EQ(program->wait_exit(10s), 0);
}

TEST_F(EndToEnd, ParametersTypedInTheContextWindow) {
    ASSERT_TRUE(program->wait_for("<1> "));
    std::string visualisation = open_viewer(
        "K := { n | 0 <= n <= 10 } ;\nT := { i, j, n | 0 <= j <= i <= n } ;\ninitvisu (2, K) ;\n");
    std::string context = press_toggle(visualisation, 3, "Context");
    ASSERT_FALSE(context.empty());
    ASSERT_TRUE(x.wait_viewable(context, true));
    std::string domains = press_toggle(visualisation, 2, "Domains");
    ASSERT_TRUE(x.wait_viewable(domains, true));

    click_cell(domains, 0, 1);
    EXPECT_GT(canvas_count(visualisation, black), 0) << "the value starts at 0: T is drawn for n = 0";
    click_cell(domains, 0, 1);
    EXPECT_EQ(canvas_count(visualisation, black), 0) << "masked again";
    std::size_t mark = program->output().size();
    x.click(context, context_entry_x, context_entry_y);
    x.type(context, "5");
    x.settle();
    click_cell(domains, 0, 1);
    int at_five = canvas_count(visualisation, black);
    EXPECT_GT(at_five, 0);
    x.type(context, "0");
    x.settle(500ms);
    EXPECT_TRUE(program->wait_for("Bad parameters for this context!\n", 5s, true));
    EXPECT_NE(output_since(mark).find("Bad parameters for this context!\n"), std::string::npos);
    EXPECT_EQ(canvas_count(visualisation, black), 0) << "50 lies outside the context";

    x.key(context, "BackSpace");
    x.settle();
    click_cell(domains, 0, 1);
    EXPECT_EQ(canvas_count(visualisation, black), at_five) << "5 again";
    x.key(context, "BackSpace");
    x.settle();
    EXPECT_EQ(canvas_count(visualisation, black), at_five) << "an empty entry keeps the last value";
    x.type(context, "1a");
    x.settle();
    EXPECT_EQ(canvas_count(visualisation, black), 0) << "1a is not a value: nothing is drawn";
    program->send("quit\n");
    EXPECT_EQ(program->wait_exit(10s), 0);
}

TEST_F(EndToEnd, QuitButtonWithAllWindowsShownHidesThem) {
    ASSERT_TRUE(program->wait_for("<1> "));
    std::string visualisation = open_viewer("K := { n | 0 <= n <= 10 } ;\ninitvisu (2, K) ;\n");
    std::string projection = press_toggle(visualisation, 1, "Projection");
    std::string domains = press_toggle(visualisation, 2, "Domains");
    std::string context = press_toggle(visualisation, 3, "Context");
    for (const auto& w : {projection, domains, context}) ASSERT_TRUE(x.wait_viewable(w, true));
    x.click(visualisation, 40, toggle_y(0));
    for (const auto& w : {visualisation, domains}) EXPECT_TRUE(x.wait_viewable(w, false));
    EXPECT_TRUE(x.find_window("Projection", 500ms).empty()) << "destroyed";
    EXPECT_TRUE(x.find_window("Context", 500ms).empty()) << "destroyed";
    type_statements("list ;\n");
    std::size_t mark = program->output().size();
    program->send_eof();
    EXPECT_EQ(program->wait_exit(10s), 0);
    EXPECT_EQ(output_since(mark), "End.\n");
}

// The Quit button hides the viewer without ending it: initvisu and visu show
// it again, its windows answer, and at the end of input it is waited for.
TEST_F(EndToEnd, AfterQuitInitvisuAndVisuBringTheViewerBack) {
    ASSERT_TRUE(program->wait_for("<1> "));
    std::string visualisation = open_viewer("K := { | } ;\nA := { i, j | 0 <= j <= i <= 6 } ;\n"
                                            "B := { i, j | 0 <= i <= 3, 0 <= j <= 3 } ;\ninitvisu (2, K) ;\n");
    x.click(visualisation, 40, toggle_y(0));
    ASSERT_TRUE(x.wait_viewable(visualisation, false));
    type_statements("visu (A) ;\n");
    ASSERT_TRUE(x.wait_viewable(visualisation, true)) << "visu shows the viewer again";
    x.settle();
    EXPECT_GT(canvas_count(visualisation, black), 0) << "with A drawn";

    x.click(visualisation, 40, toggle_y(0));
    ASSERT_TRUE(x.wait_viewable(visualisation, false));
    type_statements("initvisu (2, K) ;\nvisu (B) ;\n");
    ASSERT_TRUE(x.wait_viewable(visualisation, true)) << "initvisu shows the viewer again";
    std::string domains = press_toggle(visualisation, 2, "Domains");
    ASSERT_FALSE(domains.empty());
    EXPECT_TRUE(x.wait_viewable(domains, true)) << "its buttons answer: the viewer's loop still runs";
    int b_alone = canvas_count(visualisation, black);
    EXPECT_GT(b_alone, 0);
    click_cell(domains, 0, 1);
    EXPECT_GT(canvas_count(visualisation, black), b_alone) << "a click on A's Status shows it";

    std::size_t mark = program->output().size();
    program->send_eof();
    ASSERT_TRUE(program->wait_for("Waiting for user to leave graphical interface.\n", 10s, true));
    std::this_thread::sleep_for(500ms);
    EXPECT_FALSE(program->wait_for("never", 10ms, true));
    x.click(visualisation, 40, toggle_y(0));
    EXPECT_EQ(program->wait_exit(10s), 0) << "the Quit button ends the wait";
    EXPECT_EQ(output_since(mark), "End.\nWaiting for user to leave graphical interface.\n");
}

TEST_F(EndToEnd, EndOfInputAfterTheWindowWasClosedEndsAtOnce) {
    ASSERT_TRUE(program->wait_for("<1> "));
    std::string visualisation = open_viewer("K := { | } ;\ninitvisu (1, K) ;\n");
    x.close(visualisation);
    ASSERT_TRUE(x.wait_viewable(visualisation, false));
    std::size_t mark = program->output().size();
    program->send_eof();
    EXPECT_EQ(program->wait_exit(10s), 0);
    EXPECT_EQ(output_since(mark), "End.\n");
}

// The README's parametric example as a user types it: the picture shows the
// domains at once, for the starting value 0; a value typed outside the
// context is told in red in the picture and in the Context window, not only
// on the terminal; a context without 0 says so from the start.
TEST_F(EndToEnd, ParametricViewerStartsAtZeroAndShowsWhenValuesLeaveTheContext) {
    ASSERT_TRUE(program->wait_for("<1> "));
    std::string visualisation = open_viewer("K := { n | 0 <= n <= 10 } ;\nT := { i, j, n | 0 <= j <= i <= n } ;\n"
                                            "S := { i, j, n | 0 <= i <= n, 0 <= j <= 2 } ;\ninitvisu (2, K) ;\n"
                                            "visu (T) ;\nvisu (S) ;\n");
    EXPECT_GT(canvas_count(visualisation, black), 0) << "drawn for n = 0";
    EXPECT_EQ(canvas_count(visualisation, red), 0);
    std::string context = press_toggle(visualisation, 3, "Context");
    ASSERT_FALSE(context.empty());
    ASSERT_TRUE(x.wait_viewable(context, true));
    EXPECT_EQ(x.capture(context).count(red), 0);

    x.click(context, context_entry_x, context_entry_y);
    x.key(context, "End");
    x.type(context, "7");   // "07"
    x.settle();
    EXPECT_EQ(canvas_count(visualisation, red), 0) << "7 lies in the context";
    x.type(context, "7");   // "077"
    x.settle(500ms);
    EXPECT_GT(canvas_count(visualisation, red), 0) << "77 lies outside: the picture says so";
    EXPECT_GT(x.capture(context).count(red), 0) << "and so does the Context window";
    x.key(context, "BackSpace");   // "07"
    x.settle(500ms);
    EXPECT_EQ(canvas_count(visualisation, red), 0);
    EXPECT_EQ(x.capture(context).count(red), 0);

    type_statements("L := { n | 5 <= n <= 10 } ;\ninitvisu (2, L) ;\n");
    EXPECT_GT(canvas_count(visualisation, red), 0) << "0 lies outside L from the start";
    program->send("quit\n");
    EXPECT_EQ(program->wait_exit(10s), 0);
}

TEST_F(EndToEnd, QuitStatementWithTheWindowShown) {
    ASSERT_TRUE(program->wait_for("<1> "));
    open_viewer("K := { | } ;\ninitvisu (2, K) ;\n");
    std::size_t mark = program->output().size();
    program->send("quit\n");
    EXPECT_EQ(program->wait_exit(10s), 0);
    EXPECT_EQ(output_since(mark), "\n bye...\n\nEnd.\n");
}

}  // namespace

namespace {

// Domains too large to draw in any patience (two overlapping boxes of 10^12
// points, blended where they meet; one alone draws at once): the user's
// Escape in the Visualisation window stops the redraw, and the session goes on.
TEST_F(EndToEnd, EscapeStopsTheRedrawOfAHugeDomain) {
    std::string visualisation;
    ASSERT_NO_FATAL_FAILURE(start_huge_redraw(visualisation));
    x.key(visualisation, "Escape");
    ASSERT_TRUE(program->wait_for("<7> ", 20s, true)) << program->output();
    type_statements("print (K) ;\n");
    program->send("quit\n");
    EXPECT_EQ(program->wait_exit(10s), 0);
}

// The same redraw at a terminal whose Ctrl-C sends SIGINT, as the user's:
// Ctrl-C stops it within half a second, the picture says so, the stores are
// unchanged and the viewer goes on drawing.
class EndToEndAtAUserTerminal : public EndToEnd {
protected:
    void SetUp() override {
        program = std::make_unique<PtySession>(std::vector<std::string>{"--no-line-editing"},
                                               std::vector<std::string>{"DISPLAY=" + x.display()}, true);
    }
};

TEST_F(EndToEndAtAUserTerminal, CtrlCStopsTheRedrawOfAHugeDomainWithinHalfASecond) {
    std::string visualisation;
    ASSERT_NO_FATAL_FAILURE(start_huge_redraw(visualisation));
    auto pressed = std::chrono::steady_clock::now();
    program->send("\x03");
    ASSERT_TRUE(program->wait_for("<7> ", 20s, true)) << program->output();
    EXPECT_LT(std::chrono::steady_clock::now() - pressed, 500ms);
    x.settle();
    EXPECT_GT(canvas_count(visualisation, red), 0) << "the picture tells that it is incomplete";
    std::size_t mark = program->output().size();
    program->send("list ;\n");
    ASSERT_TRUE(program->wait_for("<8> ", 20s, true)) << program->output();
    EXPECT_NE(output_since(mark).find(">   G :=   { i, j, k | i <= 9999, i >= 5000, j <= 9999, j >= 0, k <= 9999, k >= 0 }\n"
                                      ">   H :=   { i, j, k | i <= 9999, i >= 0, j <= 9999, j >= 0, k <= 9999, k >= 0 }\n"
                                      ">   K := { | }\n"),
              std::string::npos)
        << output_since(mark);
    program->send("visu (G) ;\n");
    ASSERT_TRUE(program->wait_for("<9> ", 20s, true)) << "masking G redraws H alone, at once";
    program->send("quit\n");
    EXPECT_EQ(program->wait_exit(10s), 0);
}

}  // namespace
