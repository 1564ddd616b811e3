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
#include "base/locks.h"
#include "store/registry.h"
#include "tests/support/figure_reading.h"
#include "interpreter/session.h"
#include "tests/support/in_process.h"
#include "tests/support/viewer_fixture.h"
#include "view/context.h"
#include "view/figure_painters.h"
#include "view/picking.h"
#include "view/projection.h"
#include "view/rendering.h"

namespace {

using Centres = std::multiset<std::pair<int, int>>;


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
    return picture_of(gdk_pixbuf_get_from_drawable(
        nullptr, in_process_session().viewer.drawing.domain_pixmap, gdk_colormap_get_system(), 0, 0, 0, 0,
        in_process_session().viewer.projection.canvas_width, in_process_session().viewer.projection.canvas_height));
}

Picture file_picture(const std::string& path) { return picture_of(gdk_pixbuf_new_from_file(path.c_str(), nullptr)); }

void set_colour(const std::string& name, guint16 red, guint16 green, guint16 blue) {
    DomainLock lock;
    DomainEntry* e = lookup_domain(name, in_process_session().registries.DomainList);
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
        const PlanePoint p = project_point(in_process_session().viewer, point, 2);
        c = to_canvas(in_process_session().viewer, p.x, p.y);
    }
    pick_point(in_process_session().viewer, c.column, c.row);
    process_pending_events();
}

void redraw() {
    DomainLock lock;
    redraw_domains(in_process_session().viewer, in_process_session().viewer.drawing.domain_pixmap);
}

class FigureExport : public ViewerFixture {
protected:
    void SetUp() override {
        ViewerFixture::SetUp();
        if (IsSkipped()) return;
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
        ASSERT_EQ(export_shown_picture(in_process_session().viewer, path("scene.png"),
                                       in_process_session().viewer.projection.canvas_width,
                                       in_process_session().viewer.projection.canvas_height),
                  "");
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
    const int width = in_process_session().viewer.projection.canvas_width,
              height = in_process_session().viewer.projection.canvas_height;
    {
        GdkLock gdk;
        ASSERT_EQ(export_shown_picture(in_process_session().viewer, path("wide.png"), 2 * width, height + 50), "");
    }
    EXPECT_EQ(in_process_session().viewer.projection.canvas_width, width) << "the canvas keeps its size";
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

// A small scene known from its constraints alone: the triangle
// 0 <= j <= i <= 2 in red with its points, and the point (1, 1) marked.
struct SmallScene {
    std::set<std::pair<std::pair<double, double>, std::pair<double, double>>> edges;   // pixel centres
    std::set<std::pair<int, int>> points;
    std::pair<int, int> marked;
    std::pair<int, int> label_at;
};

std::pair<double, double> centre_of(std::int64_t i, std::int64_t j) {
    const std::int64_t point[MAXDIM] = {i, j};
    const PlanePoint p = project_point(in_process_session().viewer, point, 2);
    const CanvasPoint c = to_canvas(in_process_session().viewer, p.x, p.y);
    return {c.column + 0.5, c.row + 0.5};
}

std::pair<int, int> pixel_of_point(std::int64_t i, std::int64_t j) {
    const std::pair<double, double> c = centre_of(i, j);
    return {static_cast<int>(c.first), static_cast<int>(c.second)};
}

template <class A>
std::pair<A, A> unordered(A a, A b) {
    return a < b ? std::pair<A, A>{a, b} : std::pair<A, A>{b, a};
}

// Expects the scene shown and drawn, so that the view rectangle is settled.
SmallScene expected_small_scene() {
    DomainLock lock;
    SmallScene scene;
    const std::int64_t vertices[3][2] = {{0, 0}, {2, 0}, {2, 2}};
    for (int a = 0; a < 3; ++a)
        for (int b = a + 1; b < 3; ++b)
            scene.edges.insert(unordered(centre_of(vertices[a][0], vertices[a][1]),
                                         centre_of(vertices[b][0], vertices[b][1])));
    for (std::int64_t i = -1; i <= 3; ++i)
        for (std::int64_t j = -1; j <= 3; ++j)
            if (0 <= j && j <= i && i <= 2) scene.points.insert(pixel_of_point(i, j));
    scene.marked = pixel_of_point(1, 1);
    const std::int64_t one_one[MAXDIM] = {1, 1};
    const PlanePoint p = project_point(in_process_session().viewer, one_one, 2);
    const PlanePoint at = canvas_position(in_process_session().viewer, p.x, p.y);
    scene.label_at = {static_cast<int>(at.x + 4), static_cast<int>(at.y)};
    return scene;
}

void show_small_scene() {
    run_statements("K := { | } ;\nT := { i, j | 0 <= j <= i <= 2 } ;\ninitvisu (2, K) ;\nvisu (T) ;\n");
    set_colour("T", 65535, 0, 0);
    redraw();
    mark(1, 1);
}

std::pair<double, double> parsed_pair(const std::string& text) {
    const std::size_t comma = text.find(',');
    return {std::stod(text.substr(0, comma)), std::stod(text.substr(comma + 1))};
}

TEST_F(FigureExport, SvgHoldsTheDomainsEdgesPointsColoursAndLabels) {
    show_small_scene();
    {
        GdkLock gdk;
        ASSERT_EQ(export_shown_picture(in_process_session().viewer, path("t.svg"),
                                       in_process_session().viewer.projection.canvas_width,
                                       in_process_session().viewer.projection.canvas_height),
                  "");
    }
    const SmallScene expected = expected_small_scene();
    const std::string svg = content_of(path("t.svg"));

    std::set<std::pair<std::pair<double, double>, std::pair<double, double>>> edges;
    for (const SvgElement& l : svg_elements_named(svg, "line")) {
        EXPECT_EQ(l.attributes.at("stroke"), "#ff0000");
        edges.insert(unordered(std::pair{std::stod(l.attributes.at("x1")), std::stod(l.attributes.at("y1"))},
                               std::pair{std::stod(l.attributes.at("x2")), std::stod(l.attributes.at("y2"))}));
    }
    for (const SvgElement& l : svg_elements_named(svg, "polyline")) {
        EXPECT_EQ(l.attributes.at("stroke"), "#ff0000");
        std::vector<std::pair<double, double>> corners;
        std::istringstream points(l.attributes.at("points"));
        for (std::string corner; points >> corner;) corners.push_back(parsed_pair(corner));
        for (std::size_t k = 0; k + 1 < corners.size(); ++k) edges.insert(unordered(corners[k], corners[k + 1]));
    }
    EXPECT_EQ(edges, expected.edges);

    std::map<std::string, Centres> markers_by_fill;
    for (const SvgElement& p : svg_elements_named(svg, "path"))
        for (const std::pair<int, int>& c : marker_centres_of(path_rectangles(p.attributes.at("d"))))
            markers_by_fill[p.attributes.at("fill")].insert(c);
    EXPECT_EQ(markers_by_fill["#ff0000"], Centres(expected.points.begin(), expected.points.end()));
    EXPECT_EQ(markers_by_fill["#0000ff"], Centres{expected.marked});
    EXPECT_EQ(markers_by_fill.size(), 2u);

    const std::vector<SvgElement> labels = svg_elements_named(svg, "text");
    ASSERT_EQ(labels.size(), 1u);
    EXPECT_EQ(labels[0].text, "(1,1)");
    EXPECT_EQ(labels[0].attributes.at("fill"), "#0000ff");
    EXPECT_EQ(labels[0].attributes.at("font-size"), std::to_string(screen_label_pixels(in_process_session().viewer)));
    EXPECT_EQ(std::stoi(labels[0].attributes.at("x")), expected.label_at.first);
    EXPECT_EQ(std::stoi(labels[0].attributes.at("y")), expected.label_at.second);
}

TEST_F(FigureExport, TikzHoldsTheSameCoordinates) {
    show_small_scene();
    {
        GdkLock gdk;
        ASSERT_EQ(export_shown_picture(in_process_session().viewer, path("t.tex"),
                                       in_process_session().viewer.projection.canvas_width,
                                       in_process_session().viewer.projection.canvas_height),
                  "");
    }
    const SmallScene expected = expected_small_scene();
    std::istringstream tikz(content_of(path("t.tex")));
    std::map<std::string, std::string> colours;   // name -> hex
    std::set<std::pair<std::pair<double, double>, std::pair<double, double>>> edges;
    std::map<std::string, Centres> markers_by_colour;
    std::vector<std::string> labels;
    for (std::string line; std::getline(tikz, line);) {
        const std::size_t open = line.find('['), close = line.find(']');
        const std::string options = open == std::string::npos ? "" : line.substr(open + 1, close - open - 1);
        const std::string colour = options.substr(0, options.find(','));
        if (line.rfind("\\definecolor{", 0) == 0) {
            const std::size_t end = line.find('}');
            std::string digits = line.substr(line.rfind('{') + 1, 6);
            std::transform(digits.begin(), digits.end(), digits.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            colours[line.substr(13, end - 13)] = "#" + digits;
        } else if (line.rfind("\\draw[", 0) == 0) {
            const auto corners = tikz_coordinates(line);
            for (std::size_t k = 0; k + 1 < corners.size(); ++k) edges.insert(unordered(corners[k], corners[k + 1]));
            EXPECT_EQ(colours[colour], "#ff0000");
        } else if (line.rfind("\\fill[", 0) == 0 && colour != "white") {
            const auto corners = tikz_coordinates(line);
            std::vector<FigureRectangle> rectangles;
            for (std::size_t k = 0; k + 1 < corners.size(); k += 2)
                rectangles.push_back({static_cast<int>(corners[k].first), static_cast<int>(corners[k].second),
                                      static_cast<int>(corners[k + 1].first), static_cast<int>(corners[k + 1].second)});
            for (const std::pair<int, int>& c : marker_centres_of(rectangles)) markers_by_colour[colours[colour]].insert(c);
        } else if (line.rfind("\\node[", 0) == 0) {
            EXPECT_EQ(colours[colour], "#0000ff");
            labels.push_back(line.substr(line.find(" at ")));
        }
    }
    EXPECT_EQ(edges, expected.edges);
    EXPECT_EQ(markers_by_colour["#ff0000"],
              Centres(expected.points.begin(), expected.points.end()));
    EXPECT_EQ(markers_by_colour["#0000ff"], Centres{expected.marked});
    EXPECT_EQ(labels, std::vector<std::string>{" at (" + std::to_string(expected.label_at.first) + "," +
                                               std::to_string(expected.label_at.second) + ") {(1,1)};"});
}

TEST_F(FigureExport, TikzPictureCompilesWithLatex) {
    if (std::system("command -v pdflatex > /dev/null && command -v pdftocairo > /dev/null") != 0)
        GTEST_SKIP() << "pdflatex (texlive-pictures) or pdftocairo is missing";
    show_small_scene();
    {
        GdkLock gdk;
        ASSERT_EQ(export_shown_picture(in_process_session().viewer, path("t.tex"),
                                       in_process_session().viewer.projection.canvas_width,
                                       in_process_session().viewer.projection.canvas_height),
                  "");
    }
    std::ofstream(path("document.tex")) << "\\documentclass{article}\n\\usepackage{tikz}\n\\pagestyle{empty}\n"
                                           "\\begin{document}\n\\input{t.tex}\n\\end{document}\n";
    ASSERT_EQ(std::system(("cd " + folder_ + " && pdflatex -interaction=nonstopmode -halt-on-error document.tex "
                           "> /dev/null 2>&1 && pdftocairo -r 96 -png -singlefile document.pdf page").c_str()),
              0)
        << content_of(path("document.log"));
    const Picture page = file_picture(path("page.png"));
    int red = 0, blue = 0;
    for (guint32 pixel : page.rgb) {
        red += pixel == 0xff0000u;
        blue += pixel == 0x0000ffu;
    }
    EXPECT_GE(red, 5 * 45 / 2) << "the red markers and edges";
    EXPECT_GE(blue, 20) << "the blue marker and its label";
}

bool colours_close(guint32 a, guint32 b, int tolerance) {
    for (int shift : {0, 8, 16})
        if (std::abs(static_cast<int>((a >> shift) & 0xff) - static_cast<int>((b >> shift) & 0xff)) > tolerance)
            return false;
    return true;
}

// The figure file as pixels, through another program's renderer: poppler's
// cairo rasteriser for PDF (its own one widens filled rectangles by a pixel),
// librsvg (the toolkit's image loader) for SVG.
struct RenderedFormat {
    const char* file;
    const char* render;   // a command writing "rendered.png" from the file, or null for the image loader
};

TEST_F(FigureExport, VectorFiguresRenderToTheCanvasPicture) {
    const RenderedFormat formats[] = {
        {"scene.pdf", "pdftocairo -r 72 -png -singlefile scene.pdf rendered"},
        {"scene.svg", nullptr},
    };
    show_blended_scene();
    const Picture canvas = canvas_picture();
    for (const RenderedFormat& format : formats) {
        if (format.render && std::system("command -v pdftocairo > /dev/null") != 0) {
            ADD_FAILURE() << "pdftocairo (poppler-utils) is missing";
            continue;
        }
        {
            GdkLock gdk;
            ASSERT_EQ(export_shown_picture(in_process_session().viewer, path(format.file),
                                           in_process_session().viewer.projection.canvas_width,
                                           in_process_session().viewer.projection.canvas_height),
                      "");
        }
        Picture rendered;
        if (format.render) {
            ASSERT_EQ(std::system(("cd " + folder_ + " && " + format.render).c_str()), 0);
            rendered = file_picture(path("rendered.png"));
        } else {
            rendered = file_picture(path(format.file));
        }
        ASSERT_EQ(rendered.width, canvas.width) << format.file;
        ASSERT_EQ(rendered.height, canvas.height) << format.file;
        // The label's font differs from the screen's: its box is checked for
        // the label's colour only. Elsewhere only the smoothed pixels along
        // slanted edges may differ.
        const std::pair<int, int> marked = pixel_of_point(5, 4);
        auto in_label = [&](int x, int y) {
            return x >= marked.first + 4 && x < marked.first + 4 + 6 * 12 && y > marked.second - 14 &&
                   y <= marked.second + 4;
        };
        int differing = 0, drawn = 0, label_blue = 0;
        for (int y = 0; y < canvas.height; ++y)
            for (int x = 0; x < canvas.width; ++x) {
                if (in_label(x, y)) {
                    label_blue += rendered.at(x, y) == 0x0000ffu;
                    continue;
                }
                drawn += canvas.at(x, y) != 0xffffffu;
                differing += !colours_close(rendered.at(x, y), canvas.at(x, y), 8);
            }
        ASSERT_GT(drawn, 5000) << format.file;
        EXPECT_LT(differing, drawn / 100) << format.file;
        EXPECT_GT(label_blue, 12) << format.file << ": the label is drawn";
    }
}

TEST_F(FigureExport, SaveControlOpensAChooserWithAFilterPerFormat) {
    show_blended_scene();
    GtkWidget* save = static_cast<GtkWidget*>(
        g_object_get_data(G_OBJECT(in_process_session().viewer_windows.domain_frame), "save_button"));
    ASSERT_NE(save, nullptr);
    EXPECT_TRUE(gtk_widget_get_visible(save));
    gtk_button_clicked(GTK_BUTTON(save));
    process_pending_events();
    ASSERT_NE(in_process_session().viewer_windows.figure_chooser, nullptr);
    GSList* filters =
        gtk_file_chooser_list_filters(GTK_FILE_CHOOSER(in_process_session().viewer_windows.figure_chooser));
    std::vector<std::string> names;
    for (GSList* f = filters; f; f = f->next) names.push_back(gtk_file_filter_get_name(GTK_FILE_FILTER(f->data)));
    g_slist_free(filters);
    EXPECT_EQ(names, (std::vector<std::string>{"SVG image (*.svg)", "PDF document (*.pdf)", "PNG image (*.png)",
                                               "TikZ picture (*.tex)"}));
    gtk_dialog_response(GTK_DIALOG(in_process_session().viewer_windows.figure_chooser), GTK_RESPONSE_CANCEL);
    process_pending_events();
    EXPECT_EQ(in_process_session().viewer_windows.figure_chooser, nullptr);

    EXPECT_TRUE(gtk_accel_groups_activate(G_OBJECT(in_process_session().viewer_windows.domain_frame), GDK_KEY_s,
                                          GDK_CONTROL_MASK))
        << "Ctrl+S";
    process_pending_events();
    ASSERT_NE(in_process_session().viewer_windows.figure_chooser, nullptr);
    gtk_dialog_response(GTK_DIALOG(in_process_session().viewer_windows.figure_chooser), GTK_RESPONSE_CANCEL);
    process_pending_events();
}

TEST_F(FigureExport, ChosenNamesGetTheFiltersExtensionAndFailuresADialog) {
    show_blended_scene();
    save_figure_as(in_process_session().viewer_windows, path("plain"), FigureFormat::png);
    EXPECT_EQ(file_picture(path("plain.png")).rgb, canvas_picture().rgb);
    EXPECT_EQ(in_process_session().viewer_windows.figure_error_dialog, nullptr);

    save_figure_as(in_process_session().viewer_windows, path("named.svg"), FigureFormat::png);
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
        save_figure_as(in_process_session().viewer_windows, c.file, std::nullopt);
        process_pending_events();
        ASSERT_NE(in_process_session().viewer_windows.figure_error_dialog, nullptr) << c.file;
        gchar* text = nullptr;
        g_object_get(in_process_session().viewer_windows.figure_error_dialog, "text", &text, nullptr);
        EXPECT_EQ(std::string(text ? text : ""), c.message);
        g_free(text);
        gtk_dialog_response(GTK_DIALOG(in_process_session().viewer_windows.figure_error_dialog), GTK_RESPONSE_CLOSE);
        process_pending_events();
        EXPECT_EQ(in_process_session().viewer_windows.figure_error_dialog, nullptr);
    }
    EXPECT_EQ(std::system(("test ! -e " + path("figure.jpg") + " && test ! -e " + path("missing")).c_str()), 0);
}

}  // namespace
