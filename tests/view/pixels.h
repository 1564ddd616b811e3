// Pixel fixtures of the viewer tests: a display opened once, an off-screen
// image wired in as domain_pixmap with the shared GCs, and pixels read back.
#pragma once

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstdint>
#include <vector>

#include "base/locks.h"

// Opens the display once; false without one.
bool display_available();

// The colour's pixel value in the system colour map.
guint32 pixel_of(guint16 red, guint16 green, guint16 blue);

class PixelImage {
public:
    PixelImage(GdkDrawable* drawable, int width, int height);
    ~PixelImage();
    PixelImage(const PixelImage&) = delete;
    PixelImage& operator=(const PixelImage&) = delete;
    guint32 at(int column, int row) const { return gdk_image_get_pixel(image_, column, row); }
    // Pixels that differ from `background`, as (column, row) pairs.
    std::vector<std::pair<int, int>> differing(guint32 background) const;
    int count(guint32 pixel) const;

private:
    GdkImage* image_;
    int width_, height_;
};

// A canvas-sized pixmap as domain_pixmap, a black domain_gc, the white and
// blue GCs and the font; DimNP 2 with the default axes. Each test runs with
// domain_lock held, as the redraw expects; release it around pick_point.
class PixelTest : public ::testing::Test {
protected:
    static constexpr int width = 460;
    static constexpr int height = 460;
    void SetUp() override;
    void TearDown() override;
    void clear_white();
    PixelImage read() { return PixelImage(domain_pixmap_, width, height); }
    guint32 white() const { return pixel_of(65535, 65535, 65535); }
    GdkPixmap* domain_pixmap_ = nullptr;
    bool locked_ = false;
};
