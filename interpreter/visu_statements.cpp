// The visualisation statements: initvisu starts or restarts the viewer, visu
// shows or masks a domain as a click on its Status cell does.
#include <cstdio>

#include "base/error_report.h"
#include "base/locks.h"
#include "gui/domains_window.h"
#include "gui/visu_startup.h"
#include "interpreter/owned_name.h"
#include "interpreter/session.h"
#include "interpreter/statements.h"
#include "store/registry.h"
#include "store/visutypes.h"

namespace {

constexpr int status_column = 1;

bool refused_without_display(Session& session, const char* statement) {
    if (session.display_available) return false;
    note_refusal(session.report);
    std::fprintf(session.report.out, "> %s : the viewer needs an X display and none could be opened - command ignored\n", statement);
    return true;
}

// init_visu says why it refuses; the refusal counts for a script's exit status.
bool domain_declared(const Registries& stored, const std::string& name) {
    DomainLock lock;
    return lookup_domain(name, stored.DomainList) != nullptr;
}

}  // namespace

void initvisu_statement(Session& session, std::int64_t dimension, char* context) {
    std::string name = take_name(context);
    if (refused_without_display(session, "initvisu")) return;
    if (dimension <= 0 || dimension > MAXDIM || !domain_declared(session.registries, name)) note_refusal(session.report);
    requested_context_name = name;
    GdkLock gdk;
    init_visu(session.registries, static_cast<long>(dimension), requested_context_name);
}

void visu_statement(Session& session, char* text) {
    std::string name = take_name(text);
    if (refused_without_display(session, "visu")) return;
    GdkLock gdk;
    bool found;
    int row = -1;
    {
        DomainLock lock;
        DomainEntry* entry = lookup_domain(name, session.registries.DomainList);
        found = entry != nullptr;
        if (entry && domain_clist) row = gtk_clist_find_row_from_data(GTK_CLIST(domain_clist), entry);
    }
    if (!found) {
        report_error(session.report, " '" + name + "' undeclared - visu: command ignored");
    } else if (row == -1) {
        note_refusal(session.report);
        std::fputs("Can't visualize this domain (probably wrong dimension)!\n", session.report.out);
    } else {
        toggle_domain_row(row, status_column);
    }
}
