// Figure export: format by extension, the picture taken under domain_lock,
// the file written after it is released.
#include "gui/figure_export.h"

#include <algorithm>
#include <cairo-pdf.h>
#include <cctype>
#include <memory>

#include "base/atomic_file.h"
#include "view/drawing_resources.h"
#include "base/locks.h"
#include "store/registry.h"
#include "view/context.h"
#include "view/figure_painters.h"
#include "view/gdk_painter.h"
#include "view/projection.h"
#include "view/rendering.h"

// Xlib's True, False and Bool macros must come after PolyLib's enum of those names.
#include <gdk/gdkx.h>

namespace {

std::string lower_extension(const std::string& path) {
    const std::size_t dot = path.rfind('.');
    const std::size_t slash = path.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    std::string extension = path.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

cairo_status_t write_to_sink(void* closure, const unsigned char* data, unsigned int length) {
    return static_cast<FileSink*>(closure)->write(data, length) ? CAIRO_STATUS_SUCCESS : CAIRO_STATUS_WRITE_ERROR;
}

gboolean save_to_sink(const gchar* data, gsize count, GError** error, gpointer closure) {
    if (static_cast<FileSink*>(closure)->write(data, count)) return TRUE;
    g_set_error_literal(error, GDK_PIXBUF_ERROR, GDK_PIXBUF_ERROR_FAILED, "write failed");
    return FALSE;
}

struct CairoSurfaceFree {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
using CairoSurfacePtr = std::unique_ptr<cairo_surface_t, CairoSurfaceFree>;
struct CairoFree {
    void operator()(cairo_t* cairo) const { cairo_destroy(cairo); }
};
using CairoPtr = std::unique_ptr<cairo_t, CairoFree>;
struct ObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
using PixmapPtr = std::unique_ptr<GdkPixmap, ObjectUnref>;
using PixbufPtr = std::unique_ptr<GdkPixbuf, ObjectUnref>;

void produce_pdf(FileSink& sink, const PictureRecord& picture, int label_pixels) {
    CairoSurfacePtr surface(
        cairo_pdf_surface_create_for_stream(write_to_sink, &sink, picture.width(), picture.height()));
    {
        CairoPtr cairo(cairo_create(surface.get()));
        CairoPainter painter(cairo.get(), label_pixels);
        picture.replay(painter);
    }
    cairo_surface_finish(surface.get());
    const cairo_status_t status = cairo_surface_status(surface.get());
    if (status != CAIRO_STATUS_SUCCESS) sink.fail(cairo_status_to_string(status));
}

// The canvas mapping follows canvas_width and canvas_height; a figure of
// another size borrows them while it is drawn.
class BorrowedCanvasSize {
public:
    BorrowedCanvasSize(ProjectionState& projection, int width, int height)
        : projection_(projection), width_(projection.canvas_width), height_(projection.canvas_height) {
        projection.canvas_width = width;
        projection.canvas_height = height;
    }
    ~BorrowedCanvasSize() {
        projection_.canvas_width = width_;
        projection_.canvas_height = height_;
    }
    BorrowedCanvasSize(const BorrowedCanvasSize&) = delete;
    BorrowedCanvasSize& operator=(const BorrowedCanvasSize&) = delete;

private:
    ProjectionState& projection_;
    int width_, height_;
};

}  // namespace

std::optional<FigureFormat> figure_format_of(const std::string& path) {
    const std::string extension = lower_extension(path);
    if (extension == "svg") return FigureFormat::svg;
    if (extension == "pdf") return FigureFormat::pdf;
    if (extension == "png") return FigureFormat::png;
    if (extension == "tex" || extension == "tikz") return FigureFormat::tikz;
    return std::nullopt;
}

const char* figure_extension(FigureFormat format) {
    switch (format) {
    case FigureFormat::svg: return ".svg";
    case FigureFormat::pdf: return ".pdf";
    case FigureFormat::png: return ".png";
    case FigureFormat::tikz: return ".tex";
    }
    return "";
}

int screen_label_pixels(const Viewer& viewer) {
    if (!viewer.drawing.label_font) return figure_label_pixels;
    unsigned long pixels = 0;
    auto* font = static_cast<XFontStruct*>(gdk_x11_font_get_xfont(viewer.drawing.label_font));
    const Atom pixel_size = XInternAtom(gdk_x11_font_get_xdisplay(viewer.drawing.label_font), "PIXEL_SIZE", False);
    if (!font || !XGetFontProperty(font, pixel_size, &pixels) || pixels == 0 || pixels > 1000)
        return figure_label_pixels;
    return static_cast<int>(pixels);
}

std::string write_vector_figure(const std::string& path, FigureFormat format, const PictureRecord& picture,
                                int label_pixels) {
    return write_file_atomically(path, [&](FileSink& sink) {
        switch (format) {
        case FigureFormat::svg: {
            SvgPainter painter(label_pixels);
            picture.replay(painter);
            sink.write(painter.document());
            break;
        }
        case FigureFormat::tikz: {
            TikzPainter painter(label_pixels);
            picture.replay(painter);
            sink.write(painter.document());
            break;
        }
        case FigureFormat::pdf: produce_pdf(sink, picture, label_pixels); break;
        case FigureFormat::png: sink.fail("a PNG figure is made from pixels"); break;
        }
    });
}

std::string write_png_figure(const std::string& path, GdkPixbuf* pixels) {
    return write_file_atomically(path, [&](FileSink& sink) {
        GError* error = nullptr;
        if (!gdk_pixbuf_save_to_callback(pixels, save_to_sink, &sink, "png", &error, nullptr)) {
            sink.fail(error ? error->message : "PNG encoding failed");
            if (error) g_error_free(error);
        }
    });
}

bool viewer_shows_a_domain(const Viewer& viewer) {
    if (viewer.state.DimNP <= 0 || !viewer.state.view_hull) return false;
    for (const DomainEntry* e = viewer.state.registries->DomainList; e; e = e->next)
        if (e->view) return true;
    return false;
}

namespace {

// FNV-1a over the bytes of each value fed in.
class Digest {
public:
    template <typename T>
    void add(const T& value) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(&value);
        for (std::size_t k = 0; k < sizeof value; ++k) value_ = (value_ ^ bytes[k]) * 1099511628211ull;
    }
    void add_text(const std::string& text) {
        add(text.size());
        for (char c : text) add(c);
    }
    void add_domain(const Polyhedron* domain) {
        for (const Polyhedron* p = domain; p; p = p->next) {
            add(p->Dimension);
            add(p->NbConstraints);
            for (unsigned r = 0; r < p->NbConstraints; ++r)
                for (unsigned c = 0; c < p->Dimension + 2; ++c) add(static_cast<std::int64_t>(p->Constraint[r][c]));
        }
    }
    std::uint64_t value() const { return value_; }

private:
    std::uint64_t value_ = 14695981039346656037ull;
};

}  // namespace

std::uint64_t shown_picture_key(const Viewer& viewer) {
    if (!viewer_shows_a_domain(viewer)) return 0;
    Digest digest;
    digest.add(viewer.state.DimNP);
    for (int i = 0; i < viewer.state.DimNP; ++i) {
        digest.add(viewer.projection.ProjectionAxes[i][0]);
        digest.add(viewer.projection.ProjectionAxes[i][1]);
    }
    digest.add(viewer.context.context_valid);
    for (std::size_t k = 0; k < viewer.context.param_values.size(); ++k) {
        digest.add(viewer.context.param_values[k]);
        digest.add(k < viewer.context.param_set.size() ? viewer.context.param_set[k] : 0);
    }
    for (const DomainEntry* e = viewer.state.registries->DomainList; e; e = e->next) {
        if (!e->view) continue;
        digest.add_text(e->name);
        if (e->color) {
            digest.add(e->color->red);
            digest.add(e->color->green);
            digest.add(e->color->blue);
        }
        digest.add(e->view->show_points);
        digest.add_domain(e->view->domain);
        for (const MarkedPoint* m = e->view->marked; m; m = m->next)
            for (int i = 0; i < viewer.state.DimNP; ++i) digest.add(m->coords[i]);
    }
    const std::uint64_t key = digest.value();
    return key == 0 ? 1 : key;
}

GdkPixbuf* screen_picture(Viewer& viewer, int width, int height) {
    // A large image may be more than the X server can give: its refusal is
    // a failed figure, not the end of the process.
    gdk_error_trap_push();
    PixbufPtr pixels;
    {
        PixmapPtr pixmap(gdk_pixmap_new(gdk_get_default_root_window(), width, height, -1));
        BorrowedCanvasSize size(viewer.projection, width, height);
        GdkPainter painter(viewer, pixmap.get(), viewer.drawing.label_font);
        paint_domains(viewer, painter, width, height);
        pixels.reset(gdk_pixbuf_get_from_drawable(nullptr, pixmap.get(), gdk_colormap_get_system(), 0, 0, 0, 0, width,
                                                  height));
    }
    gdk_flush();
    if (gdk_error_trap_pop() != 0) return nullptr;
    return pixels.release();
}

PictureRecord record_shown_picture(Viewer& viewer, int width, int height) {
    PictureRecord picture;
    BorrowedCanvasSize size(viewer.projection, width, height);
    paint_domains(viewer, picture, width, height);
    return picture;
}

std::string export_shown_picture(Viewer& viewer, const std::string& path, int width, int height) {
    const std::optional<FigureFormat> format = figure_format_of(path);
    if (!format) return "Can't write " + path + ": unknown figure format (use .svg, .pdf, .png or .tex)";
    if (width <= 0 || height <= 0 || width > largest_figure_side || height > largest_figure_side)
        return "Can't write " + path + ": the figure size must be 1 to " + std::to_string(largest_figure_side) +
               " pixels each way";
    if (*format == FigureFormat::png) {
        PixbufPtr pixels;
        {
            DomainLock lock;
            pixels.reset(screen_picture(viewer, width, height));
        }
        if (!pixels) return "Can't write " + path + ": the display could not draw a picture of that size";
        return write_png_figure(path, pixels.get());
    }
    PictureRecord picture;
    {
        DomainLock lock;
        picture = record_shown_picture(viewer, width, height);
    }
    return write_vector_figure(path, *format, picture, screen_label_pixels(viewer));
}
