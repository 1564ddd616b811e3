// A domain shown from the Domains window, with parameters, takes over the
// points marked in the other shown domains: the show with the context
// collects them into the new view, and the row action collects them again.
// It used to free the first list without forgetting it, so the second
// collection read freed memory (AddressSanitizer and ThreadSanitizer builds
// report it; others may even get the right points by chance).
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <gtk/gtk.h>
#include <memory>
#include <utility>
#include <vector>

#include "base/locks.h"
#include "gui/context_window.h"
#include "gui/domains_window.h"
#include "store/registry.h"
#include "interpreter/session.h"
#include "tests/support/in_process.h"
#include "tests/support/x_session.h"
#include "view/context.h"
#include "view/picking.h"

namespace {

using Points = std::vector<std::pair<std::int64_t, std::int64_t>>;

Points points_of(const MarkedPoint* list) {
    Points points;
    for (const MarkedPoint* m = list; m; m = m->next) points.push_back({m->coords[0], m->coords[1]});
    return points;
}

int row_of(const std::string& name) {
    return gtk_clist_find_row_from_data(GTK_CLIST(in_process_session().viewer_windows.domain_clist),
                                        lookup_domain(name, in_process_session().registries.DomainList));
}

TEST(ShowWithContext, TakesOverTheMarksOfTheOtherShownDomains) {
    XSession display(false);
    setenv("DISPLAY", display.display().c_str(), 1);
    if (!gtk_init_check(nullptr, nullptr)) GTEST_SKIP() << "no X display";
    run_statements("K := { n | 0 <= n <= 10 } ;\n"
                   "A := { i, j, n | 0 <= i <= 4, 0 <= j <= 4 } ;\n"
                   "B := { i, j, n | 0 <= i <= 2, 0 <= j <= 2 } ;\n"
                   "initvisu (2, K) ;\n");
    process_pending_events();
    ASSERT_EQ(in_process_session().viewer_windows.panel_item.size(), 1u);
    gtk_entry_set_text(GTK_ENTRY(in_process_session().viewer_windows.panel_item[0]), "3");
    process_pending_events();
    ASSERT_EQ(in_process_session().viewer.context.context_valid, 1);

    toggle_domain_row(in_process_session().viewer_windows, row_of("A"), 1);
    DomainEntry* a = lookup_domain("A", in_process_session().registries.DomainList);
    ASSERT_NE(a->view, nullptr);
    {
        DomainLock lock;
        for (std::array<std::int64_t, MAXDIM> point : {std::array<std::int64_t, MAXDIM>{1, 1}, {2, 2}, {4, 4}})
            a->view->marked = toggle_mark(in_process_session().viewer, point.data(), a->view->marked);
    }
    toggle_domain_row(in_process_session().viewer_windows, row_of("B"), 1);
    DomainEntry* b = lookup_domain("B", in_process_session().registries.DomainList);
    ASSERT_NE(b->view, nullptr);
    EXPECT_EQ(points_of(b->view->marked), (Points{{1, 1}, {2, 2}})) << "(4,4) lies outside B";
    process_pending_events();
}

}  // namespace
