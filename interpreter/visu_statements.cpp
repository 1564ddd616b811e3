// The visualisation statements: initvisu starts or restarts the session.viewer, visu
// shows or masks a domain as a click on its Status cell does, figure writes
// the picture shown.
#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

#include "base/error_report.h"
#include "base/locks.h"
#include "gui/context_window.h"
#include "gui/domains_window.h"
#include "gui/figure_export.h"
#include "gui/visu_startup.h"
#include "gui/visu_window.h"
#include "interpreter/owned_name.h"
#include "interpreter/session.h"
#include "interpreter/statements.h"
#include "store/registry.h"
#include "store/visutypes.h"
#include "view/projection.h"

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

// Why a figure of that name and size cannot be asked for; "" when it can.
std::string figure_refusal(const std::string& path, std::int64_t width, std::int64_t height) {
    if (path.empty()) return "figure: no file name given - command ignored";
    if (!figure_format_of(path))
        return "figure \"" + path + "\": unknown figure format (use .svg, .pdf, .png or .tex) - command ignored";
    if (width < 1 || height < 1 || width > largest_figure_side || height > largest_figure_side)
        return "figure size " + std::to_string(width) + " x " + std::to_string(height) + ": each side must be 1 to " +
               std::to_string(largest_figure_side) + " pixels - command ignored";
    return "";
}

// The canvas's own size once it has one: the picture as it is shown.
// Expects the GDK lock held.
void shown_canvas_size(const Viewer& viewer, std::int64_t& width, std::int64_t& height) {
    DomainLock lock;
    width = viewer.projection.canvas_width > 0 ? viewer.projection.canvas_width : default_figure_width;
    height = viewer.projection.canvas_height > 0 ? viewer.projection.canvas_height : default_figure_height;
}

}  // namespace

void initvisu_statement(Session& session, std::int64_t dimension, char* context) {
    std::string name = take_name(context);
    if (refused_without_display(session, "initvisu")) return;
    if (dimension <= 0 || dimension > MAXDIM || !domain_declared(session.registries, name)) note_refusal(session.report);
    session.viewer_windows.requested_context_name = name;
    GdkLock gdk;
    init_visu(session.viewer_windows, session.registries, static_cast<long>(dimension),
              session.viewer_windows.requested_context_name);
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
        if (entry && session.viewer_windows.domain_clist)
            row = gtk_clist_find_row_from_data(GTK_CLIST(session.viewer_windows.domain_clist), entry);
    }
    if (!found) {
        report_error(session.report, " '" + name + "' undeclared - visu: command ignored");
    } else if (row == -1) {
        note_refusal(session.report);
        std::fputs("Can't visualize this domain (probably wrong dimension)!\n", session.report.out);
    } else {
        toggle_domain_row(session.viewer_windows, row, status_column);
        show_visu_window_again(session.viewer_windows);
    }
}

void parameters_statement(Session& session) {
    auto given = std::move(session.parameter_values);
    session.parameter_values.clear();
    if (refused_without_display(session, "parameters")) return;
    GdkLock gdk;
    // The Context window's entries exist only while the viewer has parameters.
    const std::vector<std::string> names = session.viewer_windows.panel_item.empty()
                                               ? std::vector<std::string>{}
                                               : context_parameter_names(session.viewer_windows);
    if (names.empty() || session.viewer_windows.panel_item.size() != names.size()) {
        report_error(session.report, "parameters: the viewer's context has no parameters - command ignored");
        return;
    }
    std::vector<std::optional<std::int64_t>> values(names.size());
    for (const auto& [name, value] : given) {
        const auto found = std::find(names.begin(), names.end(), name);
        if (found == names.end()) {
            std::string known;
            for (const std::string& n : names) known += (known.empty() ? "" : ", ") + n;
            report_error(session.report, "parameters: '" + name + "' is not a parameter of the viewer's context (" +
                                             known + ") - command ignored");
            return;
        }
        values[static_cast<std::size_t>(found - names.begin())] = value;
    }
    set_parameter_values(session.viewer_windows, values);
}

void figure_statement(Session& session, char* text, std::int64_t width, std::int64_t height) {
    std::string path = take_name(text);
    if (refused_without_display(session, "figure")) return;
    GdkLock gdk;
    if (width < 0) shown_canvas_size(session.viewer, width, height);
    if (std::string refusal = figure_refusal(path, width, height); !refusal.empty()) {
        report_error(session.report, refusal);
        return;
    }
    bool shown;
    {
        DomainLock lock;
        shown = viewer_shows_a_domain(session.viewer);
    }
    if (!shown) {
        report_error(session.report, "no figure written to " + path + ": no domain is shown - command ignored");
        return;
    }
    const std::string failure =
        export_shown_picture(session.viewer, path, static_cast<int>(width), static_cast<int>(height));
    if (!failure.empty()) {
        report_error(session.report, failure + " - command ignored");
        return;
    }
    std::fprintf(session.report.out, "> Figure written to %s (%lld x %lld)\n", path.c_str(),
                 static_cast<long long>(width), static_cast<long long>(height));
}
