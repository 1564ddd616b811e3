// Two calculators in one process, each with its viewer: each session's
// windows list its own store at its own dimension and context, and what one
// session shows, stores or deletes reaches neither the other's rows nor its
// picture.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <gtk/gtk.h>
#include <string>
#include <vector>

#include "base/locks.h"
#include "interpreter/session.h"
#include "store/registry.h"
#include "tests/support/in_process.h"
#include "tests/support/x_session.h"

namespace {

// The names in a session's Domains window, top to bottom.
std::vector<std::string> rows_of(Session& session) {
    std::vector<std::string> names;
    GtkCList* list = GTK_CLIST(session.viewer_windows.domain_clist);
    for (int row = 0; row < list->rows; ++row) {
        gchar* text = nullptr;
        gtk_clist_get_text(list, row, 0, &text);
        names.push_back(text ? text : "");
    }
    return names;
}

// The session's shown domains, newest first.
std::vector<std::string> shown_of(Session& session) {
    DomainLock lock;
    std::vector<std::string> names;
    for (const DomainEntry* e = session.registries.DomainList; e; e = e->next)
        if (e->view) names.push_back(e->name);
    return names;
}

void run(Session& session, const std::string& script) {
    EXPECT_EQ(run_statements_in(session, script), 0) << script;
    process_pending_events();
}

TEST(TwoViewers, EachSessionShowsItsOwnStoreInItsOwnWindows) {
    XSession display(false);
    setenv("DISPLAY", display.display().c_str(), 1);
    if (!gtk_init_check(nullptr, nullptr)) GTEST_SKIP() << "no X display";
    FILE* sink = std::fopen("/dev/null", "w");
    ASSERT_NE(sink, nullptr);
    {
        Session first(sink), second(sink);
        run(first,
            "K := { | } ;\n"
            "A := { i, j | 0 <= i <= 3, 0 <= j <= 3 } ;\n"
            "B := { i, j | 0 <= i <= 1, 0 <= j <= 1 } ;\n"
            "initvisu (2, K) ;\n");
        run(second,
            "N := { n | 1 <= n <= 5 } ;\n"
            "C := { i, n | 0 <= i <= n } ;\n"
            "initvisu (1, N) ;\n");

        ASSERT_NE(first.viewer_windows.domain_frame, nullptr);
        ASSERT_NE(second.viewer_windows.domain_frame, nullptr);
        EXPECT_NE(first.viewer_windows.domain_frame, second.viewer_windows.domain_frame);
        EXPECT_EQ(first.viewer.state.DimNP, 2);
        EXPECT_EQ(second.viewer.state.DimNP, 1);
        EXPECT_EQ(first.viewer.context.nb_params, 0);
        EXPECT_EQ(second.viewer.context.nb_params, 1);
        EXPECT_EQ(first.viewer_windows.context_window, nullptr);
        EXPECT_NE(second.viewer_windows.context_window, nullptr) << "the second context has a parameter";
        EXPECT_EQ(rows_of(first), (std::vector<std::string>{"A", "B"}));
        EXPECT_EQ(rows_of(second), (std::vector<std::string>{"C"}));

        run(first, "visu (A) ;\n");
        EXPECT_EQ(shown_of(first), (std::vector<std::string>{"A"}));
        EXPECT_NE(first.viewer.state.view_hull, nullptr);
        EXPECT_TRUE(shown_of(second).empty());
        EXPECT_EQ(second.viewer.state.view_hull, nullptr) << "nothing is drawn in the other session's picture";

        run(second, "E := { i, n | i = n } ;\n");
        EXPECT_EQ(rows_of(second), (std::vector<std::string>{"C", "E"}));
        EXPECT_EQ(rows_of(first), (std::vector<std::string>{"A", "B"}));

        run(first, "del A ;\n");
        EXPECT_EQ(rows_of(first), (std::vector<std::string>{"B"}));
        EXPECT_EQ(first.viewer.state.view_hull, nullptr) << "the deleted shown domain leaves the picture";
        EXPECT_EQ(rows_of(second), (std::vector<std::string>{"C", "E"}));
    }
    std::fclose(sink);
}

}  // namespace
