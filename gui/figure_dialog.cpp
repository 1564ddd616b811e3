// The figure file chooser and its error dialog. Both answer through their
// response signal rather than a nested loop, so the interpreter keeps running
// while they are open.
#include "gui/figure_dialog.h"

#include "gui/figure_export.h"
#include "gui/visu_window.h"
#include "view/projection.h"


namespace {

struct FormatFilter {
    const char* name;
    const char* pattern;
    FigureFormat format;
};

const FormatFilter format_filters[] = {
    {"SVG image (*.svg)", "*.[sS][vV][gG]", FigureFormat::svg},
    {"PDF document (*.pdf)", "*.[pP][dD][fF]", FigureFormat::pdf},
    {"PNG image (*.png)", "*.[pP][nN][gG]", FigureFormat::png},
    {"TikZ picture (*.tex)", "*.[tT][eE][xX]", FigureFormat::tikz},
};

void forget_widget(GtkWidget*, gpointer handle) { *static_cast<GtkWidget**>(handle) = nullptr; }

void on_error_response(GtkDialog* dialog, gint, gpointer) { gtk_widget_destroy(GTK_WIDGET(dialog)); }

void show_figure_error(ViewerWindows& viewer_windows, const std::string& message) {
    if (viewer_windows.figure_error_dialog) gtk_widget_destroy(viewer_windows.figure_error_dialog);
    viewer_windows.figure_error_dialog = gtk_message_dialog_new(
        viewer_windows.domain_frame ? GTK_WINDOW(viewer_windows.domain_frame) : nullptr, GTK_DIALOG_DESTROY_WITH_PARENT,
        GTK_MESSAGE_ERROR, GTK_BUTTONS_CLOSE, "%s", message.c_str());
    gtk_window_set_title(GTK_WINDOW(viewer_windows.figure_error_dialog), "Figure not saved");
    g_signal_connect(viewer_windows.figure_error_dialog, "response", G_CALLBACK(on_error_response), nullptr);
    g_signal_connect(viewer_windows.figure_error_dialog, "destroy", G_CALLBACK(forget_widget),
                     &viewer_windows.figure_error_dialog);
    gtk_widget_show(viewer_windows.figure_error_dialog);
}

std::optional<FigureFormat> format_of_filter(GtkFileFilter* filter) {
    if (!filter) return std::nullopt;
    const auto* chosen = static_cast<const FormatFilter*>(g_object_get_data(G_OBJECT(filter), "figure-format"));
    if (!chosen) return std::nullopt;
    return chosen->format;
}

// The filter is read before the dialog goes: its filters go with it.
void on_chooser_response(GtkDialog* dialog, gint response, gpointer data) {
    if (response == GTK_RESPONSE_ACCEPT) {
        gchar* name = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog));
        const std::optional<FigureFormat> format = format_of_filter(gtk_file_chooser_get_filter(GTK_FILE_CHOOSER(dialog)));
        const std::string path = name ? name : "";
        g_free(name);
        gtk_widget_destroy(GTK_WIDGET(dialog));
        save_figure_as(windows_of(data), path, format);
        return;
    }
    gtk_widget_destroy(GTK_WIDGET(dialog));
}

// The name typed so far without its figure extension, if it has one.
std::string name_without_figure_extension(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0 || !figure_format_of(name)) return name;
    return name.substr(0, dot);
}

// Choosing a format's filter gives the name typed so far that format's
// extension, in place of a figure extension it had.
void on_filter_chosen(GObject* object, GParamSpec*, gpointer) {
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(object);
    const std::optional<FigureFormat> format = format_of_filter(gtk_file_chooser_get_filter(chooser));
    if (!format) return;
    gchar* path = gtk_file_chooser_get_filename(chooser);
    gchar* typed = path ? g_path_get_basename(path) : nullptr;
    const std::string name = typed && *typed && std::string(typed) != "/" ? typed : "figure";
    g_free(typed);
    g_free(path);
    const std::string renamed = name_without_figure_extension(name) + figure_extension(*format);
    gtk_file_chooser_set_current_name(chooser, renamed.c_str());
}

void add_format_filters(GtkFileChooser* chooser) {
    for (const FormatFilter& f : format_filters) {
        GtkFileFilter* filter = gtk_file_filter_new();
        gtk_file_filter_set_name(filter, f.name);
        gtk_file_filter_add_pattern(filter, f.pattern);
        g_object_set_data(G_OBJECT(filter), "figure-format", const_cast<FormatFilter*>(&f));
        gtk_file_chooser_add_filter(chooser, filter);
    }
}

}  // namespace

void open_figure_chooser(ViewerWindows& viewer_windows) {
    if (viewer_windows.figure_chooser) {
        gtk_window_present(GTK_WINDOW(viewer_windows.figure_chooser));
        return;
    }
    viewer_windows.figure_chooser = gtk_file_chooser_dialog_new(
        "Save figure", viewer_windows.domain_frame ? GTK_WINDOW(viewer_windows.domain_frame) : nullptr,
        GTK_FILE_CHOOSER_ACTION_SAVE, GTK_STOCK_CANCEL, GTK_RESPONSE_CANCEL, GTK_STOCK_SAVE, GTK_RESPONSE_ACCEPT,
        nullptr);
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(viewer_windows.figure_chooser);
    gtk_file_chooser_set_do_overwrite_confirmation(chooser, TRUE);
    gchar* working_directory = g_get_current_dir();
    gtk_file_chooser_set_current_folder(chooser, working_directory);
    g_free(working_directory);
    gtk_file_chooser_set_current_name(chooser, "figure.svg");
    add_format_filters(chooser);
    g_signal_connect(viewer_windows.figure_chooser, "notify::filter", G_CALLBACK(on_filter_chosen), nullptr);
    gtk_dialog_set_default_response(GTK_DIALOG(viewer_windows.figure_chooser), GTK_RESPONSE_ACCEPT);
    g_signal_connect(viewer_windows.figure_chooser, "response", G_CALLBACK(on_chooser_response), &viewer_windows);
    g_signal_connect(viewer_windows.figure_chooser, "destroy", G_CALLBACK(forget_widget),
                     &viewer_windows.figure_chooser);
    gtk_widget_show(viewer_windows.figure_chooser);
}

void save_figure_as(ViewerWindows& viewer_windows, const std::string& path, std::optional<FigureFormat> chosen_format) {
    Viewer& viewer = viewer_windows.viewer;
    std::string target = path;
    const std::size_t slash = target.rfind('/');
    const bool has_extension = target.find('.', slash == std::string::npos ? 0 : slash + 1) != std::string::npos;
    if (chosen_format && !has_extension) target += figure_extension(*chosen_format);
    const std::string failure =
        export_shown_picture(viewer, target, viewer.projection.canvas_width, viewer.projection.canvas_height);
    if (!failure.empty()) show_figure_error(viewer_windows, failure);
}
