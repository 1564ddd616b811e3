// The viewer's windows as one record: their widgets, the dialogs open on
// them, and what the next restart needs. The session that runs the viewer
// owns them with its viewer; their toolkit callbacks get them as user data.
#pragma once

#include <gtk/gtk.h>
#include <string>
#include <vector>

#include "store/registry.h"
#include "view/viewer.h"

struct ViewerWindows;

// The Domains window follows the deletions of the store the viewer shows.
class RowRemoval final : public DomainListWatcher {
public:
    explicit RowRemoval(ViewerWindows& windows) : windows_(windows) {}
    void remove_row_of_deleted_domain(DomainEntry* entry) const override;

private:
    ViewerWindows& windows_;
};

struct ViewerWindows {
    explicit ViewerWindows(Viewer& shown) : viewer(shown) {}
    ViewerWindows(const ViewerWindows&) = delete;
    ViewerWindows& operator=(const ViewerWindows&) = delete;

    // What the windows show and draw with.
    Viewer& viewer;
    RowRemoval row_removal{*this};
    // The Visualisation window, empty until the viewer first starts; never rebuilt afterwards.
    GtkWidget* domain_frame = nullptr;
    GtkWidget* view_button = nullptr;
    GtkWidget* properties_button = nullptr;
    GtkWidget* context_button = nullptr;
    // The Domains window, the colour dialog and the row it colours.
    GtkWidget* domains_window = nullptr;
    GtkWidget* domain_clist = nullptr;
    GtkWidget* colour_dialog = nullptr;
    int dialog_row = 0;
    GdkColor current_colour = {0, 0, 0, 0};
    // The Projection window and its axes picture.
    GtkWidget* rep_frame = nullptr;
    GtkWidget* rep_canvas = nullptr;
    GdkPixmap* rep_pixmap = nullptr;
    GdkGC* rep_gc = nullptr;
    int axes_width = 0;
    int axes_height = 0;
    // The Context window and its parameter entries.
    GtkWidget* context_window = nullptr;
    std::vector<GtkWidget*> panel_item;
    // The Save file chooser and the last error dialog while they are open.
    GtkWidget* figure_chooser = nullptr;
    GtkWidget* figure_error_dialog = nullptr;
    // The context name given to the last initvisu statement, and whether a
    // definition has redefined the context domain (every refresh then restarts the viewer).
    std::string requested_context_name;
    int context_redefined = 0;
};

// The windows a toolkit callback was connected with, as its user data.
inline ViewerWindows& windows_of(gpointer data) { return *static_cast<ViewerWindows*>(data); }
