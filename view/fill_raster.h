// Fills of markers and spans kept as a map of colour indices, one byte per
// pixel, and handed on as the rectangles of each colour's final pixels.
#pragma once

#include <cstdint>
#include <cstring>
#include <gdk/gdk.h>
#include <vector>

#include "view/painter.h"

struct FillRectangle {
    int x, y, width, height;
};

// Later fills cover earlier ones: the map holds each pixel's last colour, so
// the pixels of different colours are disjoint and their rectangles may be
// sent in any order, the picture staying the one the fills give in order.
// A blended pass of overlapping markers then costs the X server a few
// rectangles per row and colour instead of two per marker. Pixels outside
// width x height are dropped, as the drawable drops them. Only the rows and
// columns touched are read and cleared.
class FillRaster {
public:
    static constexpr int most_colours = 255;

    // Empties the map (its rectangles are dropped) for a drawable of this size.
    void reset(int width, int height);
    int width() const { return width_; }
    int height() const { return height_; }
    bool empty() const { return bottom_ < top_; }

    // The colour's index in the map, 0 when most_colours are already in use
    // (drain first).
    int colour_index(const GdkColor& colour);
    // The 7 x 5 and 5 x 7 rectangles of the marker centred at c.
    void marker(int index, CanvasPoint c) { markers(index, &c, 1, [](CanvasPoint) { return true; }); }
    // The markers of the centres that `keep` accepts.
    template <class Keep>
    void markers(int index, const CanvasPoint* centres, int count, Keep&& keep);
    void span(int index, const PixelSpan& span);

    // Calls fill(colour, rectangles) for each colour that has pixels, with
    // the rectangles that hold exactly them (rows of equal runs merged), and
    // leaves the map empty.
    template <class Fill>
    void drain(Fill&& fill);

private:
    void marker_clipped(int index, CanvasPoint c);
    void paint_row(int index, int y, int from, int to);   // columns from .. to, clipped
    void touch(int left, int right, int top, int bottom) {
        left_ = left < left_ ? left : left_;
        right_ = right > right_ ? right : right_;
        top_ = top < top_ ? top : top_;
        bottom_ = bottom > bottom_ ? bottom : bottom_;
    }
    void gather_rectangles();

    int width_ = 0, height_ = 0, stride_ = 0;
    std::vector<std::uint8_t> pixels_;
    int left_ = 0, right_ = -1, top_ = 0, bottom_ = -1;   // the box of the touched pixels
    std::vector<GdkColor> colours_;   // index - 1
    int last_index_ = 0;
    std::vector<std::vector<FillRectangle>> rectangles_;   // by index - 1
    struct Open {
        int x, width, index, top;
    };
    std::vector<Open> open_, next_open_;
};

// The box of the touched pixels is kept in locals meanwhile: written back
// at every marker, it would make each wait for the one before.
template <class Keep>
void FillRaster::markers(int index, const CanvasPoint* centres, int count, Keep&& keep) {
    const std::uint32_t four = 0x01010101u * static_cast<std::uint32_t>(index);
    const std::uint8_t one = static_cast<std::uint8_t>(index);
    const std::size_t stride = static_cast<std::size_t>(stride_);
    // Five bytes as four and one, seven as two overlapping fours.
    const auto five_at = [&](std::uint8_t* at) {
        std::memcpy(at, &four, 4);
        at[4] = one;
    };
    const auto seven_at = [&](std::uint8_t* at) {
        std::memcpy(at, &four, 4);
        std::memcpy(at + 3, &four, 4);
    };
    int left = left_, right = right_, top = top_, bottom = bottom_;
    for (int k = 0; k < count; ++k) {
        const CanvasPoint c = centres[k];
        if (!keep(c)) continue;
        if (c.column < 3 || c.column + 3 >= width_ || c.row < 3 || c.row + 3 >= height_) {
            marker_clipped(index, c);
            continue;
        }
        std::uint8_t* p = pixels_.data() + static_cast<std::size_t>(c.row - 3) * stride + static_cast<std::size_t>(c.column - 3);
        five_at(p + 1);
        for (std::size_t r = 1; r <= 5; ++r) seven_at(p + r * stride);
        five_at(p + 6 * stride + 1);
        left = c.column - 3 < left ? c.column - 3 : left;
        right = c.column + 3 > right ? c.column + 3 : right;
        top = c.row - 3 < top ? c.row - 3 : top;
        bottom = c.row + 3 > bottom ? c.row + 3 : bottom;
    }
    touch(left, right, top, bottom);
}

template <class Fill>
void FillRaster::drain(Fill&& fill) {
    if (!empty()) gather_rectangles();
    for (std::size_t k = 0; k < colours_.size(); ++k)
        if (!rectangles_[k].empty()) fill(colours_[k], rectangles_[k]);
    for (auto& r : rectangles_) r.clear();
    colours_.clear();
    last_index_ = 0;
}
