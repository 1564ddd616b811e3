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

void show_figure_error(const std::string& message) {
    if (figure_error_dialog) gtk_widget_destroy(figure_error_dialog);
    figure_error_dialog = gtk_message_dialog_new(domain_frame ? GTK_WINDOW(domain_frame) : nullptr,
                                                 GTK_DIALOG_DESTROY_WITH_PARENT, GTK_MESSAGE_ERROR, GTK_BUTTONS_CLOSE,
                                                 "%s", message.c_str());
    gtk_window_set_title(GTK_WINDOW(figure_error_dialog), "Figure not saved");
    g_signal_connect(figure_error_dialog, "response", G_CALLBACK(on_error_response), nullptr);
    g_signal_connect(figure_error_dialog, "destroy", G_CALLBACK(forget_widget), &figure_error_dialog);
    gtk_widget_show(figure_error_dialog);
}

void on_chooser_response(GtkDialog* dialog, gint response, gpointer) {
    if (response == GTK_RESPONSE_ACCEPT) {
        gchar* name = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog));
        GtkFileFilter* filter = gtk_file_chooser_get_filter(GTK_FILE_CHOOSER(dialog));
        const std::string path = name ? name : "";
        g_free(name);
        gtk_widget_destroy(GTK_WIDGET(dialog));
        save_figure_as(path, filter);
        return;
    }
    gtk_widget_destroy(GTK_WIDGET(dialog));
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

void open_figure_chooser() {
    if (figure_chooser) {
        gtk_window_present(GTK_WINDOW(figure_chooser));
        return;
    }
    figure_chooser = gtk_file_chooser_dialog_new("Save figure", domain_frame ? GTK_WINDOW(domain_frame) : nullptr,
                                                 GTK_FILE_CHOOSER_ACTION_SAVE, GTK_STOCK_CANCEL, GTK_RESPONSE_CANCEL,
                                                 GTK_STOCK_SAVE, GTK_RESPONSE_ACCEPT, nullptr);
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(figure_chooser);
    gtk_file_chooser_set_do_overwrite_confirmation(chooser, TRUE);
    gtk_file_chooser_set_current_name(chooser, "figure.svg");
    add_format_filters(chooser);
    gtk_dialog_set_default_response(GTK_DIALOG(figure_chooser), GTK_RESPONSE_ACCEPT);
    g_signal_connect(figure_chooser, "response", G_CALLBACK(on_chooser_response), nullptr);
    g_signal_connect(figure_chooser, "destroy", G_CALLBACK(forget_widget), &figure_chooser);
    gtk_widget_show(figure_chooser);
}

void save_figure_as(const std::string& path, GtkFileFilter* chosen_filter) {
    std::string target = path;
    const auto* chosen =
        chosen_filter ? static_cast<const FormatFilter*>(g_object_get_data(G_OBJECT(chosen_filter), "figure-format"))
                      : nullptr;
    const std::size_t slash = target.rfind('/');
    const bool has_extension = target.find('.', slash == std::string::npos ? 0 : slash + 1) != std::string::npos;
    if (chosen && !has_extension) target += figure_extension(chosen->format);
    const std::string failure = export_shown_picture(target, canvas_width, canvas_height);
    if (!failure.empty()) show_figure_error(failure);
}
