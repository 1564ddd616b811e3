// The visualisation statements: initvisu starts or restarts the viewer, visu
// shows or masks a domain as a click on its Status cell does.
#include <cstdio>

#include "base/error_report.h"
#include "base/locks.h"
#include "gui/domains_window.h"
#include "gui/visu_startup.h"
#include "interpreter/owned_name.h"
#include "interpreter/statements.h"
#include "store/registry.h"

namespace {

constexpr int status_column = 1;

}  // namespace

void initvisu_statement(std::int64_t dimension, char* context) {
    requested_context_name = take_name(context);
    GdkLock gdk;
    init_visu(static_cast<long>(dimension), requested_context_name);
}

void visu_statement(char* text) {
    std::string name = take_name(text);
    GdkLock gdk;
    bool found;
    int row = -1;
    {
        DomainLock lock;
        DomainEntry* entry = lookup_domain(name, DomainList);
        found = entry != nullptr;
        if (entry && domain_clist) row = gtk_clist_find_row_from_data(GTK_CLIST(domain_clist), entry);
    }
    if (!found)
        report_error(" '" + name + "' undeclared - visu: command ignored");
    else if (row == -1)
        std::puts("Can't visualize this domain (probably wrong dimension)!");
    else
        toggle_domain_row(row, status_column);
}
