// Figures of the Visualisation picture made in-process from a shown scene:
// the PNG against the canvas pixel for pixel, the SVG and TikZ against the
// domain's own vertices and integer points, the PDF rendered back against
// the canvas, and the Save control with its chooser and error dialog.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <gdk/gdkkeysyms.h>
#include <gtk/gtk.h>
#include <map>
#include <memory>
#include <set>
#include <sstream>

#include "gui/figure_dialog.h"
#include "gui/figure_export.h"
#include "gui/resources.h"
#include "gui/visu_startup.h"
#include "gui/visu_window.h"
#include "interpreter/locks.h"
#include "store/registry.h"
#include "tests/support/figure_reading.h"
#include "tests/support/in_process.h"
#include "tests/support/x_session.h"
#include "view/context.h"
#include "view/figure_painters.h"
#include "view/picking.h"
#include "view/projection.h"
#include "view/rendering.h"

namespace {

std::unique_ptr<XSession> display;
bool toolkit_ready = false;

std::string content_of(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Pixels as 0xrrggbb, row by row.
struct Picture {
    int width = 0, height = 0;
    std::vector<guint32> rgb;
    guint32 at(int x, int y) const { return rgb[static_cast<std::size_t>(y) * width + x]; }
};

Picture picture_of(GdkPixbuf* pixels) {
    Picture p;
    if (!pixels) return p;
    p.width = gdk_pixbuf_get_width(pixels);
    p.height = gdk_pixbuf_get_height(pixels);
    const int stride = gdk_pixbuf_get_rowstride(pixels), channels = gdk_pixbuf_get_n_channels(pixels);
    const guchar* data = gdk_pixbuf_get_pixels(pixels);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            const guchar* q = data + y * stride + x * channels;
            p.rgb.push_back((guint32{q[0]} << 16) | (guint32{q[1]} << 8) | q[2]);
        }
    g_object_unref(pixels);
    return p;
}

Picture canvas_picture() {
    return picture_of(gdk_pixbuf_get_from_drawable(nullptr, domain_pixmap, gdk_colormap_get_system(), 0, 0, 0, 0,
                                                   canvas_width, canvas_height));
}

Picture file_picture(const std::string& path) { return picture_of(gdk_pixbuf_new_from_file(path.c_str(), nullptr)); }

void set_colour(const std::string& name, guint16 red, guint16 green, guint16 blue) {
    DomainLock lock;
    DomainEntry* e = lookup_domain(name, DomainList);
    ASSERT_NE(e, nullptr) << name;
    if (e->color) gdk_color_free(e->color);
    const GdkColor colour = {0, red, green, blue};
    e->color = gdk_color_copy(&colour);
}

// Marks the integer point (i, j) as a click on it does.
void mark(std::int64_t i, std::int64_t j) {
    const std::int64_t point[MAXDIM] = {i, j};
    CanvasPoint c;
    {
        DomainLock lock;
        const PlanePoint p = project_point(point, 2);
        c = to_canvas(p.x, p.y);
    }
    pick_point(c.column, c.row);
    process_pending_events();
}

void redraw() {
    DomainLock lock;
    redraw_domains(domain_pixmap);
}

class FigureExport : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (display) return;
        display = std::make_unique<XSession>(false);
        setenv("DISPLAY", display->display().c_str(), 1);
        toolkit_ready = gtk_init_check(nullptr, nullptr);
    }

    void SetUp() override {
        if (!toolkit_ready) GTEST_SKIP() << "no X display";
        std::string names;
        for (const DomainEntry* e = DomainList; e; e = e->next) names += "del " + e->name + " ;\n";
        run_statements(names);
        context_valid = 0;
        context_redefined = 0;
        context_name.clear();
        process_pending_events();
        char name[] = "/tmp/qarnest-figures-XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        folder_ = name;
    }
    void TearDown() override {
        if (!folder_.empty()) std::system(("rm -rf " + folder_).c_str());
    }

    // Overlapping domains in three colours, blended where they meet, a dense
    // square drawn as spans, and a marked point with its label.
    void show_blended_scene() {
        run_statements(
            "K := { | } ;\n"
            "Dense := { i, j | 0 <= i <= 30, 0 <= j <= 30 } ;\n"
            "T := { i, j | 0 <= j <= i <= 8 } ;\n"
            "S := { i, j | 3 <= i <= 10, 2 <= j <= 6 } ;\n"
            "initvisu (2, K) ;\n"
            "visu (Dense) ;\nvisu (T) ;\nvisu (S) ;\n");
        set_colour("T", 65535, 0, 0);
        set_colour("S", 0, 40000, 0);
        set_colour("Dense", 30000, 30000, 65535);
        process_pending_events();
        redraw();
        mark(5, 4);
    }

    std::string path(const std::string& file) const { return folder_ + "/" + file; }
    std::string folder_;
};

TEST_F(FigureExport, PngEqualsTheCanvasPixelForPixel) {
    show_blended_scene();
    const Picture canvas = canvas_picture();
    ASSERT_GT(canvas.width, 60);
    std::set<guint32> colours(canvas.rgb.begin(), canvas.rgb.end());
    ASSERT_GE(colours.size(), 6u) << "the scene should hold blended colours";
    {
        GdkLock gdk;
        ASSERT_EQ(export_shown_picture(path("scene.png"), canvas_width, canvas_height), "");
    }
    const Picture png = file_picture(path("scene.png"));
    ASSERT_EQ(png.width, canvas.width);
    ASSERT_EQ(png.height, canvas.height);
    int differing = 0;
    for (std::size_t k = 0; k < png.rgb.size(); ++k) differing += png.rgb[k] != canvas.rgb[k];
    EXPECT_EQ(differing, 0);
}

TEST_F(FigureExport, PngAtAnotherSizeIsTheCanvasDrawnAtThatSize) {
    show_blended_scene();
    const int width = canvas_width, height = canvas_height;
    {
        GdkLock gdk;
        ASSERT_EQ(export_shown_picture(path("wide.png"), 2 * width, height + 50), "");
    }
    EXPECT_EQ(canvas_width, width) << "the canvas keeps its size";
    const Picture png = file_picture(path("wide.png"));
    EXPECT_EQ(png.width, 2 * width);
    EXPECT_EQ(png.height, height + 50);
    // The view rectangle spans the canvas but 30 pixels on each side; the
    // markers on its corners reach 3 pixels further.
    for (const Picture* p : {&png}) {
        int left = p->width, right = -1, top = p->height, bottom = -1;
        for (int y = 0; y < p->height; ++y)
            for (int x = 0; x < p->width; ++x)
                if (p->at(x, y) != 0xffffffu) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
        EXPECT_EQ(left, 27);
        EXPECT_EQ(right, p->width - 27);
        EXPECT_EQ(top, 27);
        EXPECT_EQ(bottom, p->height - 27);
    }
}

TEST_F(FigureExport, SaveControlOpensAChooserWithAFilterPerFormat) {
    show_blended_scene();
    GtkWidget* save = static_cast<GtkWidget*>(g_object_get_data(G_OBJECT(domain_frame), "save_button"));
    ASSERT_NE(save, nullptr);
    EXPECT_TRUE(gtk_widget_get_visible(save));
    gtk_button_clicked(GTK_BUTTON(save));
    process_pending_events();
    ASSERT_NE(figure_chooser, nullptr);
    GSList* filters = gtk_file_chooser_list_filters(GTK_FILE_CHOOSER(figure_chooser));
    std::vector<std::string> names;
    for (GSList* f = filters; f; f = f->next) names.push_back(gtk_file_filter_get_name(GTK_FILE_FILTER(f->data)));
    g_slist_free(filters);
    EXPECT_EQ(names, (std::vector<std::string>{"SVG image (*.svg)", "PDF document (*.pdf)", "PNG image (*.png)",
                                               "TikZ picture (*.tex)"}));
    gtk_dialog_response(GTK_DIALOG(figure_chooser), GTK_RESPONSE_CANCEL);
    process_pending_events();
    EXPECT_EQ(figure_chooser, nullptr);

    EXPECT_TRUE(gtk_accel_groups_activate(G_OBJECT(domain_frame), GDK_KEY_s, GDK_CONTROL_MASK)) << "Ctrl+S";
    process_pending_events();
    ASSERT_NE(figure_chooser, nullptr);
    gtk_dialog_response(GTK_DIALOG(figure_chooser), GTK_RESPONSE_CANCEL);
    process_pending_events();
}

TEST_F(FigureExport, ChosenNamesGetTheFiltersExtensionAndFailuresADialog) {
    show_blended_scene();
    GtkFileFilter* png_filter = nullptr;
    open_figure_chooser();
    GSList* filters = gtk_file_chooser_list_filters(GTK_FILE_CHOOSER(figure_chooser));
    for (GSList* f = filters; f; f = f->next)
        if (std::string(gtk_file_filter_get_name(GTK_FILE_FILTER(f->data))).find("PNG") != std::string::npos)
            png_filter = GTK_FILE_FILTER(f->data);
    g_slist_free(filters);
    ASSERT_NE(png_filter, nullptr);

    save_figure_as(path("plain"), png_filter);
    EXPECT_EQ(file_picture(path("plain.png")).rgb, canvas_picture().rgb);
    EXPECT_EQ(figure_error_dialog, nullptr);

    save_figure_as(path("named.svg"), png_filter);
    EXPECT_EQ(content_of(path("named.svg")).rfind("<?xml", 0), 0u) << "an extension typed wins over the filter";

    struct Case {
        std::string file;
        std::string message;
    };
    const Case failures[] = {
        {path("missing/figure.svg"), "Can't write " + path("missing/figure.svg") + ": No such file or directory"},
        {path("figure.jpg"), "Can't write " + path("figure.jpg") + ": unknown figure format (use .svg, .pdf, .png or .tex)"},
    };
    for (const Case& c : failures) {
        save_figure_as(c.file, nullptr);
        process_pending_events();
        ASSERT_NE(figure_error_dialog, nullptr) << c.file;
        gchar* text = nullptr;
        g_object_get(figure_error_dialog, "text", &text, nullptr);
        EXPECT_EQ(std::string(text ? text : ""), c.message);
        g_free(text);
        gtk_dialog_response(GTK_DIALOG(figure_error_dialog), GTK_RESPONSE_CLOSE);
        process_pending_events();
        EXPECT_EQ(figure_error_dialog, nullptr);
    }
    gtk_dialog_response(GTK_DIALOG(figure_chooser), GTK_RESPONSE_CANCEL);
    process_pending_events();
    EXPECT_EQ(std::system(("test ! -e " + path("figure.jpg") + " && test ! -e " + path("missing")).c_str()), 0);
}

}  // namespace
