// Pixel fixtures of the viewer tests.
#include "tests/view/pixels.h"

#include "gui/resources.h"
#include "tests/view/view_support.h"
#include "view/context.h"
#include "view/projection.h"
#include "view/rendering.h"

namespace {

// The viewer these tests draw with.
Viewer& viewer = test_viewer();

}   // namespace

bool display_available() {
    static const bool available = gtk_init_check(nullptr, nullptr);
    return available;
}

guint32 pixel_of(guint16 red, guint16 green, guint16 blue) {
    GdkColor colour = {0, red, green, blue};
    gdk_colormap_alloc_color(gdk_colormap_get_system(), &colour, FALSE, TRUE);
    return colour.pixel;
}

PixelImage::PixelImage(GdkDrawable* drawable, int width, int height)
    : image_(gdk_drawable_get_image(drawable, 0, 0, width, height)), width_(width), height_(height) {}

PixelImage::~PixelImage() { g_object_unref(image_); }

std::vector<std::pair<int, int>> PixelImage::differing(guint32 background) const {
    std::vector<std::pair<int, int>> result;
    for (int r = 0; r < height_; ++r)
        for (int c = 0; c < width_; ++c)
            if (at(c, r) != background) result.push_back({c, r});
    return result;
}

int PixelImage::count(guint32 pixel) const {
    int n = 0;
    for (int r = 0; r < height_; ++r)
        for (int c = 0; c < width_; ++c) n += at(c, r) == pixel;
    return n;
}

void PixelTest::SetUp() {
    if (!display_available()) GTEST_SKIP() << "no X display";
    g_mutex_lock(&domain_lock);
    locked_ = true;
    domain_pixmap_ = gdk_pixmap_new(gdk_get_default_root_window(), width, height, -1);
    viewer.drawing.domain_pixmap = domain_pixmap_;
    viewer.drawing.domain_canvas = nullptr;
    viewer.projection.canvas_width = width;
    viewer.projection.canvas_height = height;
    viewer.drawing.domain_gc = gdk_gc_new(domain_pixmap_);
    GdkColor black = {0, 0, 0, 0};
    gdk_colormap_alloc_color(gdk_colormap_get_system(), &black, FALSE, TRUE);
    gdk_gc_set_foreground(viewer.drawing.domain_gc, &black);
    load_visu_resources(viewer);
    viewer.state.DimNP = 2;
    reset_axes(viewer);
    clear_white();
}

void PixelTest::TearDown() {
    if (!locked_) return;
    clear_viewer_state();
    release_point_gcs(viewer);
    g_object_unref(viewer.drawing.domain_gc);
    viewer.drawing.domain_gc = nullptr;
    g_object_unref(domain_pixmap_);
    viewer.drawing.domain_pixmap = nullptr;
    g_mutex_unlock(&domain_lock);
}

void PixelTest::clear_white() {
    gdk_draw_rectangle(domain_pixmap_, viewer.drawing.white_gc, TRUE, 0, 0, width, height);
}
