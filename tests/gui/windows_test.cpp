// The viewer's windows driven in-process: statements run here, and the tests
// read the widgets, the rows, the stores and the context state directly.
#include <gtest/gtest.h>

#include <cstdlib>
#include <gtk/gtk.h>
#include <memory>

#include "base/locks.h"
#include "gui/context_window.h"
#include "gui/domains_window.h"
#include "gui/projection_window.h"
#include "gui/resources.h"
#include "gui/visu_startup.h"
#include "gui/visu_window.h"
#include "store/registry.h"
#include "interpreter/session.h"
#include "tests/support/in_process.h"
#include "tests/support/viewer_fixture.h"
#include "tests/support/x_session.h"
#include "view/context.h"
#include "view/projection.h"
#include "view/rendering.h"

// Xlib's macros (None, Bool...) clash with PolyLib's names: after its headers.
#include <gdk/gdkx.h>
#ifdef QARNEST_HAVE_XRES
#include <X11/extensions/XRes.h>
#endif

namespace {


struct Row {
    std::string name, status, intpoints, color;
    bool operator==(const Row&) const = default;
};

void PrintTo(const Row& r, std::ostream* os) {
    *os << "{" << r.name << ", " << r.status << ", " << r.intpoints << ", " << r.color << "}";
}

std::string cell(int row, int column) {
    gchar* text = nullptr;
    gtk_clist_get_text(GTK_CLIST(in_process_session().viewer_windows.domain_clist), row, column, &text);
    return text ? text : "";
}

std::vector<Row> rows() {
    std::vector<Row> result;
    for (int r = 0; r < GTK_CLIST(in_process_session().viewer_windows.domain_clist)->rows; ++r)
        result.push_back({cell(r, 0), cell(r, 1), cell(r, 2), cell(r, 3)});
    return result;
}

std::vector<std::string> domain_names() {
    std::vector<std::string> names;
    for (const DomainEntry* e = in_process_session().registries.DomainList; e; e = e->next) names.push_back(e->name);
    return names;
}

int row_of(const std::string& name) {
    return gtk_clist_find_row_from_data(GTK_CLIST(in_process_session().viewer_windows.domain_clist),
                                        lookup_domain(name, in_process_session().registries.DomainList));
}

int picture_count(Rgb colour) {
    GdkImage* image = gdk_drawable_get_image(in_process_session().viewer.drawing.domain_pixmap, 0, 0,
                                             in_process_session().viewer.projection.canvas_width,
                                             in_process_session().viewer.projection.canvas_height);
    int n = 0;
    for (int y = 0; y < in_process_session().viewer.projection.canvas_height; ++y)
        for (int x = 0; x < in_process_session().viewer.projection.canvas_width; ++x) {
            guint32 p = gdk_image_get_pixel(image, x, y);
            if (Rgb{static_cast<int>((p >> 16) & 0xff), static_cast<int>((p >> 8) & 0xff), static_cast<int>(p & 0xff)} ==
                colour)
                ++n;
        }
    g_object_unref(image);
    return n;
}

const Rgb black{0, 0, 0};

void click_cell(const std::string& name, int column) {
    int row = row_of(name);
    ASSERT_GE(row, 0) << name << " has no row";
    toggle_domain_row(in_process_session().viewer_windows, row, column);
    process_pending_events();
}

void type_into(GtkWidget* entry, const std::string& text) {
    for (char c : text) {
        gint position = static_cast<gint>(std::string(gtk_entry_get_text(GTK_ENTRY(entry))).size());
        // The insert-text signal copies its text as a C string: terminated.
        const char one[2] = {c, '\0'};
        gtk_editable_insert_text(GTK_EDITABLE(entry), one, 1, &position);
    }
    process_pending_events();
}

void erase_all(GtkWidget* entry) {
    while (*gtk_entry_get_text(GTK_ENTRY(entry))) {
        gint length = static_cast<gint>(std::string(gtk_entry_get_text(GTK_ENTRY(entry))).size());
        gtk_editable_delete_text(GTK_EDITABLE(entry), length - 1, length);
    }
    process_pending_events();
}

class WindowsTest : public ViewerFixture {
protected:
    std::string run(const std::string& script) {
        std::string out = run_statements(script);
        process_pending_events();
        return out;
    }
};

// The shared session's windows are made at its first start and never rebuilt,
// so the first start is checked by whichever test gets there first.
void check_first_start_once() {
    static bool checked = false;
    if (checked) return;
    checked = true;
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(in_process_session().viewer_windows.domain_frame)), "Visualisation");
    EXPECT_EQ(g_object_get_data(G_OBJECT(in_process_session().viewer_windows.domain_frame), "domain_canvas"),
              in_process_session().viewer.drawing.domain_canvas);
    for (const char* key : {"domain_frame", "vbox1", "quit_button", "view_button", "properties_button", "context_button"})
        EXPECT_NE(g_object_get_data(G_OBJECT(in_process_session().viewer_windows.domain_frame), key), nullptr) << key;
    EXPECT_NE(in_process_session().viewer.drawing.domain_pixmap, nullptr);
    EXPECT_NE(in_process_session().viewer.drawing.white_gc, nullptr);
    EXPECT_NE(in_process_session().viewer.drawing.blue_gc, nullptr);
}

TEST_F(WindowsTest, StartBuildsTheWindowsHiddenButTheMainOne) {
    run("K := { | } ;\nA := { i, j | 0 <= j <= i <= 4 } ;\nB := { i, j, k | 0 <= i, j, k <= 1 } ;\n"
        "C := { i, j | 0 <= i <= 3, 0 <= j <= 3 } ;\ninitvisu (2, K) ;\n");
    ASSERT_NE(in_process_session().viewer_windows.domain_frame, nullptr);
    check_first_start_once();
    EXPECT_TRUE(gtk_widget_get_visible(in_process_session().viewer_windows.domain_frame));
    EXPECT_EQ(in_process_session().viewer.state.DimNP, 2);
    EXPECT_EQ(in_process_session().viewer.context.nb_params, 0);
    ASSERT_NE(in_process_session().viewer_windows.rep_frame, nullptr);
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(in_process_session().viewer_windows.rep_frame)), "Projection");
    EXPECT_FALSE(gtk_widget_get_visible(in_process_session().viewer_windows.rep_frame));
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(in_process_session().viewer_windows.domains_window)), "Domains");
    EXPECT_FALSE(gtk_widget_get_visible(in_process_session().viewer_windows.domains_window));
    EXPECT_EQ(in_process_session().viewer_windows.context_window, nullptr);
    EXPECT_FALSE(gtk_widget_get_visible(in_process_session().viewer_windows.context_button));
    EXPECT_TRUE(gtk_widget_get_visible(in_process_session().viewer_windows.view_button));
    EXPECT_FALSE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(in_process_session().viewer_windows.view_button)));
    EXPECT_EQ(rows(), (std::vector<Row>{{"A", "Masked", "Yes", "Black"}, {"C", "Masked", "Yes", "Black"}}));
    EXPECT_EQ(picture_count(black), 0);
}

TEST_F(WindowsTest, RefusedInitvisuChangesNothing) {
    run("K := { | } ;\ninitvisu (2, K) ;\n");
    EXPECT_EQ(run("initvisu (0, K) ;\n"), "Bad initialisation of 'init_visu': DimNP <= 0 \n<2> ");
    EXPECT_EQ(run("initvisu (11, K) ;\n"),
              "Bad initialisation of 'init_visu': DimNP > MAXDIM \nNow MAXDIM = 10. Draw the image of the domain by a "
              "matrix that keeps at most 10 of its dimensions.\n<2> ");
    EXPECT_EQ(run("initvisu (3, Nowhere) ;\n"), "The domain selected as context is not defined!\n<2> ");
    EXPECT_EQ(in_process_session().viewer.state.DimNP, 2);
    EXPECT_EQ(in_process_session().viewer.context.context_name, "K");
}

TEST_F(WindowsTest, DefinitionsAddRowsAtTheBottomWhenTheyFit) {
    run("K := { | } ;\nA := { i, j | 0 <= i <= 2, j = 0 } ;\ninitvisu (2, K) ;\n");
    run("B := { i, j | 0 <= j <= i <= 2 } ;\nT := { i, j, k | i = j, j = k } ;\nU := A union B ;\n");
    EXPECT_EQ(rows(), (std::vector<Row>{{"A", "Masked", "Yes", "Black"},
                                        {"B", "Masked", "Yes", "Black"},
                                        {"U", "Masked", "Yes", "Black"}}));
    run("V := A union Nothing ;\n");
    EXPECT_EQ(rows().size(), 3u);
    run("E := { | } ;\n");
    EXPECT_EQ(rows().size(), 3u);
}

TEST_F(WindowsTest, StatusAndIntpointsCells) {
    run("K := { | } ;\nA := { i, j | 0 <= j <= i <= 4 } ;\nH := { i, j | i >= 0 } ;\ninitvisu (2, K) ;\n");
    click_cell("A", 2);
    EXPECT_EQ(rows()[row_of("A")], (Row{"A", "Masked", "Yes", "Black"}));
    click_cell("A", 1);
    DomainEntry* a = lookup_domain("A", in_process_session().registries.DomainList);
    ASSERT_NE(a->view, nullptr);
    EXPECT_EQ(rows()[row_of("A")], (Row{"A", "Visu", "Yes", "Black"}));
    EXPECT_GT(picture_count(black), 0);
    click_cell("A", 2);
    EXPECT_EQ(cell(row_of("A"), 2), "No");
    EXPECT_EQ(a->view->show_points, 0);
    click_cell("A", 2);
    EXPECT_EQ(cell(row_of("A"), 2), "Yes");
    click_cell("A", 2);
    click_cell("A", 0);
    EXPECT_EQ(rows()[row_of("A")], (Row{"A", "Visu", "No", "Black"}));
    click_cell("A", 1);
    EXPECT_EQ(a->view, nullptr);
    EXPECT_EQ(rows()[row_of("A")], (Row{"A", "Masked", "Yes", "Black"}));
    EXPECT_EQ(picture_count(black), 0);
    EXPECT_EQ(GTK_CLIST(in_process_session().viewer_windows.domain_clist)->selection, nullptr);

    testing::internal::CaptureStdout();
    click_cell("H", 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Domain H is not bounded!\n");
    EXPECT_EQ(cell(row_of("H"), 1), "Masked");
}

TEST_F(WindowsTest, ColourChoiceRecolorsTheDomainAndNamesIt) {
    run("K := { | } ;\nA := { i, j | 0 <= j <= i <= 4 } ;\ninitvisu (2, K) ;\n");
    click_cell("A", 1);
    GtkWidget* selection = gtk_color_selection_new();
    GdkColor red = {0, 65535, 0, 0};
    gtk_color_selection_set_current_color(GTK_COLOR_SELECTION(selection), &red);
    in_process_session().viewer_windows.dialog_row = row_of("A");
    colour_dialog_ok(in_process_session().viewer_windows, GTK_COLOR_SELECTION(selection));
    DomainEntry* a = lookup_domain("A", in_process_session().registries.DomainList);
    ASSERT_NE(a->color, nullptr);
    EXPECT_EQ(a->color->red, 65535);
    EXPECT_EQ(a->color->green, 0);
    EXPECT_EQ(cell(row_of("A"), 3), "New Color");
    EXPECT_EQ(in_process_session().viewer_windows.current_colour.red, 65535);
    {
        DomainLock lock;
        redraw_domains(in_process_session().viewer, in_process_session().viewer.drawing.domain_pixmap);
    }
    EXPECT_GT(picture_count({255, 0, 0}), 0);
    EXPECT_EQ(picture_count(black), 0);
    GdkColor pure_black = {0, 0, 0, 0};
    gtk_color_selection_set_current_color(GTK_COLOR_SELECTION(selection), &pure_black);
    colour_dialog_ok(in_process_session().viewer_windows, GTK_COLOR_SELECTION(selection));
    EXPECT_EQ(cell(row_of("A"), 3), "Black");
    gtk_widget_destroy(selection);
}

TEST_F(WindowsTest, RowMovesRelinkDomainListAroundRowlessEntries) {
    run("K := { | } ;\nP := { i, j | i = 0, j = 0 } ;\nQ := { i, j | i = 1, j = 1 } ;\n"
        "X := { i | i = 0 } ;\nR := { i, j | i = 2, j = 2 } ;\ninitvisu (2, K) ;\n");
    ASSERT_EQ(domain_names(), (std::vector<std::string>{"R", "X", "Q", "P", "K"}));
    ASSERT_EQ(cell(0, 0), "P");
    gtk_clist_row_move(GTK_CLIST(in_process_session().viewer_windows.domain_clist), 0, 2);
    EXPECT_EQ(cell(0, 0), "Q");
    EXPECT_EQ(cell(1, 0), "R");
    EXPECT_EQ(cell(2, 0), "P");
    EXPECT_EQ(domain_names(), (std::vector<std::string>{"P", "R", "X", "Q", "K"}));
    gtk_clist_row_move(GTK_CLIST(in_process_session().viewer_windows.domain_clist), 2, 0);
    EXPECT_EQ(cell(0, 0), "P");
    EXPECT_EQ(domain_names(), (std::vector<std::string>{"R", "X", "Q", "P", "K"}));
}

TEST_F(WindowsTest, DeletingAShownDomainMasksItAndRemovesItsRow) {
    run("K := { | } ;\nA := { i, j | 0 <= j <= i <= 4 } ;\nB := { i, j | 1 <= i <= 2, 1 <= j <= 2 } ;\n"
        "initvisu (2, K) ;\n");
    click_cell("A", 1);
    click_cell("B", 1);
    ASSERT_NE(in_process_session().viewer.state.view_hull, nullptr);
    run("del A ;\n");
    EXPECT_EQ(rows(), (std::vector<Row>{{"B", "Visu", "Yes", "Black"}}));
    run("del B ;\n");
    EXPECT_TRUE(rows().empty());
    EXPECT_EQ(in_process_session().viewer.state.view_hull, nullptr);
    EXPECT_EQ(picture_count(black), 0);
}

TEST_F(WindowsTest, RestartMasksShownDomainsResetsAxesAndKeepsRowOrder) {
    run("K := { | } ;\nA := { i, j | 0 <= j <= i <= 4 } ;\nB := { i, j | 1 <= i <= 2, 1 <= j <= 2 } ;\n"
        "C := { i, j, k | i = 0, j = 0, k = 0 } ;\ninitvisu (2, K) ;\n");
    click_cell("A", 1);
    gpointer old_projection = in_process_session().viewer_windows.rep_frame;
    g_object_add_weak_pointer(G_OBJECT(in_process_session().viewer_windows.rep_frame), &old_projection);
    in_process_session().viewer.projection.ProjectionAxes[0][0] = 5;
    in_process_session().viewer.projection.ProjectionAxes[1][1] = -2;
    run("initvisu (2, K) ;\n");
    EXPECT_EQ(rows(), (std::vector<Row>{{"A", "Masked", "Yes", "Black"}, {"B", "Masked", "Yes", "Black"}}));
    EXPECT_EQ(lookup_domain("A", in_process_session().registries.DomainList)->view, nullptr);
    EXPECT_EQ(in_process_session().viewer.projection.ProjectionAxes[0][0], 1.0f);
    EXPECT_EQ(in_process_session().viewer.projection.ProjectionAxes[1][1], 1.0f);
    EXPECT_EQ(old_projection, nullptr) << "the Projection window is rebuilt";
    EXPECT_NE(in_process_session().viewer_windows.rep_frame, nullptr);
    run("initvisu (3, K) ;\n");
    EXPECT_EQ(rows(), (std::vector<Row>{{"C", "Masked", "Yes", "Black"}}));
    run("initvisu (2, K) ;\n");
    EXPECT_EQ(rows().size(), 2u);
}

class ContextWindowTest : public WindowsTest {
protected:
    void SetUp() override {
        WindowsTest::SetUp();
        if (IsSkipped()) return;
        run("K := { n | 0 <= n <= 10 } ;\nT := { i, j, n | 0 <= j <= i <= n } ;\nF := { i, j | i = j } ;\n"
            "initvisu (2, K) ;\n");
    }
    GtkWidget* entry() { return in_process_session().viewer_windows.panel_item.at(0); }
};

TEST_F(ContextWindowTest, ParametersBuildOneEntryEachAndOnlyFittingRows) {
    EXPECT_EQ(in_process_session().viewer.context.nb_params, 1);
    ASSERT_NE(in_process_session().viewer_windows.context_window, nullptr);
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(in_process_session().viewer_windows.context_window)), "Context");
    EXPECT_EQ(in_process_session().viewer_windows.panel_item.size(), 1u);
    EXPECT_TRUE(gtk_widget_get_visible(in_process_session().viewer_windows.context_button));
    EXPECT_EQ(gtk_entry_get_max_length(GTK_ENTRY(entry())), 3);
    EXPECT_EQ(rows(), (std::vector<Row>{{"T", "Masked", "Yes", "Black"}}));
    EXPECT_EQ(in_process_session().viewer.context.param_set, std::vector<int>{1});
    EXPECT_EQ(in_process_session().viewer.context.param_values, std::vector<std::int64_t>{0});
    EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(entry())), "0") << "the entry shows the starting value";
    EXPECT_EQ(in_process_session().viewer.context.context_valid, 1) << "0 lies in the context";
}

TEST_F(ContextWindowTest, ShowingWaitsForValidValues) {
    click_cell("T", 1);
    EXPECT_EQ(cell(row_of("T"), 1), "Visu") << "drawn at once for the starting value";
    EXPECT_GT(picture_count(black), 0);
    click_cell("T", 1);
    erase_all(entry());
    type_into(entry(), "-");
    click_cell("T", 1);
    EXPECT_EQ(cell(row_of("T"), 1), "Masked") << "no value: T cannot be drawn";
    erase_all(entry());
    type_into(entry(), "5");
    EXPECT_EQ(in_process_session().viewer.context.context_valid, 1);
    EXPECT_EQ(in_process_session().viewer.context.param_values, std::vector<std::int64_t>{5});
    click_cell("T", 1);
    EXPECT_EQ(cell(row_of("T"), 1), "Visu");
    EXPECT_GT(picture_count(black), 0);

    testing::internal::CaptureStdout();
    type_into(entry(), "0");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Bad parameters for this context!\n");
    EXPECT_EQ(in_process_session().viewer.context.context_valid, 0);
    EXPECT_EQ(cell(row_of("T"), 1), "Masked");
    EXPECT_EQ(picture_count(black), 0);
    EXPECT_GT(picture_count(Rgb{255, 0, 0}), 0) << "the picture says why it is empty";
}

struct TypedValue {
    const char* text;
    int param_set;
    int context_valid;
    std::int64_t value;
};

TEST_F(ContextWindowTest, TypedTextsAreReadOrRefused) {
    const TypedValue cases[] = {
        {"+7", 1, 1, 7}, {"007", 1, 1, 7}, {"-3", 1, 0, -3}, {"1a", 0, 0, -1}, {"-", 0, 0, -1}, {"+", 0, 0, -1},
    };
    for (const TypedValue& c : cases) {
        erase_all(entry());
        in_process_session().viewer.context.param_values[0] = -1;
        testing::internal::CaptureStdout();
        type_into(entry(), c.text);
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(in_process_session().viewer.context.param_set[0], c.param_set) << c.text;
        EXPECT_EQ(in_process_session().viewer.context.context_valid, c.context_valid) << c.text;
        if (c.param_set) {
            EXPECT_EQ(in_process_session().viewer.context.param_values[0], c.value) << c.text;
        }
    }
    type_into(entry(), "9999");
    EXPECT_EQ(std::string(gtk_entry_get_text(GTK_ENTRY(entry()))).size(), 3u);
}

TEST_F(ContextWindowTest, EmptyingAnEntryKeepsTheLastValue) {
    erase_all(entry());
    type_into(entry(), "4");
    click_cell("T", 1);
    ASSERT_EQ(cell(row_of("T"), 1), "Visu");
    erase_all(entry());
    EXPECT_EQ(in_process_session().viewer.context.context_valid, 1);
    EXPECT_EQ(in_process_session().viewer.context.param_set[0], 1);
    EXPECT_EQ(in_process_session().viewer.context.param_values[0], 4);
    EXPECT_NE(in_process_session().viewer.state.view_hull, nullptr);
    EXPECT_GT(picture_count(black), 0);
}

TEST_F(ContextWindowTest, RedefiningTheContextRestartsTheViewer) {
    type_into(entry(), "4");
    click_cell("T", 1);
    gpointer old_context_window = in_process_session().viewer_windows.context_window;
    g_object_add_weak_pointer(G_OBJECT(in_process_session().viewer_windows.context_window), &old_context_window);
    run("del K ;\nK := { m, p | 0 <= m <= p <= 3 } ;\n");
    EXPECT_EQ(old_context_window, nullptr);
    EXPECT_NE(in_process_session().viewer_windows.context_window, nullptr);
    EXPECT_EQ(in_process_session().viewer.context.nb_params, 2);
    EXPECT_EQ(in_process_session().viewer_windows.panel_item.size(), 2u);
    EXPECT_EQ(lookup_domain("T", in_process_session().registries.DomainList)->view, nullptr);
    EXPECT_TRUE(rows().empty());
    gpointer second = in_process_session().viewer_windows.context_window;
    g_object_add_weak_pointer(G_OBJECT(in_process_session().viewer_windows.context_window), &second);
    run("G := { i, j, m, p | i = m, j = p } ;\n");
    EXPECT_EQ(second, nullptr) << "every definition restarts the viewer once the context was redefined";
    EXPECT_EQ(rows(), (std::vector<Row>{{"G", "Masked", "Yes", "Black"}}));
}

// The parameter entries die with the Context window: a restart to a context
// without parameters, or the Quit button, leaves no handle to them.
TEST_F(ContextWindowTest, EntriesGoWithTheirWindow) {
    ASSERT_EQ(in_process_session().viewer_windows.panel_item.size(), 1u);
    run("E := { | } ;\ninitvisu (2, E) ;\n");
    EXPECT_EQ(in_process_session().viewer.context.nb_params, 0);
    EXPECT_EQ(in_process_session().viewer_windows.context_window, nullptr);
    EXPECT_TRUE(in_process_session().viewer_windows.panel_item.empty());
    run("initvisu (2, K) ;\n");
    ASSERT_EQ(in_process_session().viewer_windows.panel_item.size(), 1u);
    EXPECT_TRUE(GTK_IS_ENTRY(in_process_session().viewer_windows.panel_item[0]));
    toggle_context_window(&in_process_session().viewer_windows);
    process_pending_events();
    visu_quit(in_process_session().viewer_windows);
    process_pending_events();
    EXPECT_TRUE(in_process_session().viewer_windows.panel_item.empty());
}

// Whether a window carries an icon pixmap for the window manager (the
// toolkit sets its hints when the window is shown).
bool has_icon(GtkWidget* window) {
    gtk_widget_show(window);
    process_pending_events();
    XWMHints* hints = XGetWMHints(GDK_WINDOW_XDISPLAY(window->window), GDK_WINDOW_XID(window->window));
    bool icon = hints && (hints->flags & IconPixmapHint) && hints->icon_pixmap != None;
    if (hints) XFree(hints);
    return icon;
}

#ifdef QARNEST_HAVE_XRES
// The pixmaps this process holds in the X server (X-Resource extension).
int server_pixmaps() {
    Display* x = GDK_WINDOW_XDISPLAY(in_process_session().viewer_windows.domain_frame->window);
    XSync(x, False);
    int types = 0;
    XResType* counts = nullptr;
    if (!XResQueryClientResources(x, GDK_WINDOW_XID(in_process_session().viewer_windows.domain_frame->window), &types,
                                  &counts))
        return -1;
    const Atom pixmap = XInternAtom(x, "PIXMAP", False);
    int total = 0;
    for (int i = 0; i < types; ++i)
        if (counts[i].resource_type == pixmap) total = counts[i].count;
    XFree(counts);
    return total;
}
#endif

// Every restart rebuilds the Projection and Context windows with their icons
// read from files: the icons must go with the windows they belong to.
TEST_F(ContextWindowTest, RestartsLeaveTheServersPixmapsFlat) {
#ifndef QARNEST_HAVE_XRES
    GTEST_SKIP() << "no X-Resource extension library";
#else
    run("E := { | } ;\n");
    // Restarts alternate between a context with a parameter and one without,
    // fifty to a script, ending on the context with a parameter.
    auto restarts = [&](int count) {
        for (int done = 0; done < count; done += 50) {
            std::string script;
            for (int k = 0; k < 50 && done + k < count; ++k) script += k % 2 ? "initvisu (2, K) ;\n" : "initvisu (2, E) ;\n";
            run(script);
        }
    };
    restarts(10);
    ASSERT_TRUE(has_icon(in_process_session().viewer_windows.rep_frame))
        << "the Projection window's icon file was read";
    ASSERT_TRUE(has_icon(in_process_session().viewer_windows.context_window))
        << "the Context window's icon file was read";
    const int before = server_pixmaps();
    ASSERT_GT(before, 0);
    restarts(500);
    EXPECT_LE(server_pixmaps(), before + 2) << "500 restarts";
#endif
}

TEST_F(WindowsTest, VisuStatementShowsAndMasks) {
    run("K := { | } ;\nA := { i, j | 0 <= j <= i <= 4 } ;\nC := { i | 0 <= i <= 4 } ;\ninitvisu (2, K) ;\n");
    EXPECT_EQ(run("visu (A) ;\n"), "<2> ");
    EXPECT_EQ(cell(row_of("A"), 1), "Visu");
    run("visu (A) ;\n");
    EXPECT_EQ(cell(row_of("A"), 1), "Masked");
    EXPECT_EQ(run("visu (C) ;\n"), "Can't visualize this domain (probably wrong dimension)!\n<2> ");
    EXPECT_EQ(run("visu (Z) ;\n"), "> Error - line 1 :  'Z' undeclared - visu: command ignored \n<2> ");
}

}  // namespace
