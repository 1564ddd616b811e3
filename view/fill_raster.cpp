// The map of fills by colour index and its rectangles.
#include "view/fill_raster.h"

#include <algorithm>
#include <cstring>

namespace {

// Bytes read past a row's last column by the word-wide searches.
constexpr int row_padding = 8;

constexpr std::uint64_t bytes_of(int index) { return 0x0101010101010101ull * static_cast<std::uint64_t>(index); }

std::uint64_t load_word(const std::uint8_t* p) {
    std::uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

// The first column from x up to end (excluded) whose byte differs from
// `index` (end when none).
int run_end(const std::uint8_t* row, int x, int end, int index) {
    const std::uint64_t pattern = bytes_of(index);
    // Runs are long (a colour's stretch of a row, or the gap to the next):
    // 32 bytes a step first.
    while (x + 32 <= end) {
        const std::uint64_t differ = (load_word(row + x) ^ pattern) | (load_word(row + x + 8) ^ pattern) |
                                     (load_word(row + x + 16) ^ pattern) | (load_word(row + x + 24) ^ pattern);
        if (differ != 0) break;
        x += 32;
    }
    while (x + 8 <= end) {
        const std::uint64_t differ = load_word(row + x) ^ pattern;
        if (differ != 0) return x + __builtin_ctzll(differ) / 8;
        x += 8;
    }
    while (x < end && row[x] == index) ++x;
    return x;
}

}  // namespace

void FillRaster::reset(int width, int height) {
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
    stride_ = width_ + row_padding;
    pixels_.assign(static_cast<std::size_t>(stride_) * static_cast<std::size_t>(height_) + row_padding, 0);
    left_ = width_;
    right_ = -1;
    top_ = height_;
    bottom_ = -1;
    colours_.clear();
    rectangles_.clear();
    last_index_ = 0;
}

int FillRaster::colour_index(const GdkColor& colour) {
    const auto same = [&](const GdkColor& c) {
        return c.red == colour.red && c.green == colour.green && c.blue == colour.blue;
    };
    if (last_index_ > 0 && same(colours_[static_cast<std::size_t>(last_index_ - 1)])) return last_index_;
    for (std::size_t k = 0; k < colours_.size(); ++k)
        if (same(colours_[k])) return last_index_ = static_cast<int>(k) + 1;
    if (static_cast<int>(colours_.size()) >= most_colours) return 0;
    colours_.push_back(colour);
    if (rectangles_.size() < colours_.size()) rectangles_.resize(colours_.size());
    return last_index_ = static_cast<int>(colours_.size());
}

void FillRaster::paint_row(int index, int y, int from, int to) {
    if (y < 0 || y >= height_) return;
    from = std::max(from, 0);
    to = std::min(to, width_ - 1);
    if (from > to) return;
    std::memset(pixels_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(stride_) + from, index,
                static_cast<std::size_t>(to - from + 1));
    touch(from, to, y, y);
}

void FillRaster::marker_clipped(int index, CanvasPoint c) {
    paint_row(index, c.row - 3, c.column - 2, c.column + 2);
    for (int dy = -2; dy <= 2; ++dy) paint_row(index, c.row + dy, c.column - 3, c.column + 3);
    paint_row(index, c.row + 3, c.column - 2, c.column + 2);
}

void FillRaster::span(int index, const PixelSpan& span) {
    if (span.length <= 0) return;
    paint_row(index, span.y, span.x, span.x + (span.length - 1));
}

// Rows are read in order; a run that repeats one of the row above (same
// columns, same colour) makes that rectangle one row taller.
void FillRaster::gather_rectangles() {
    open_.clear();
    auto close = [&](const Open& o, int bottom) {
        rectangles_[static_cast<std::size_t>(o.index - 1)].push_back(FillRectangle{o.x, o.top, o.width, bottom - o.top});
    };
    const int end = right_ + 1;
    for (int y = top_; y <= bottom_ + 1; ++y) {
        next_open_.clear();
        std::size_t above = 0;
        if (y <= bottom_) {
            std::uint8_t* row = pixels_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(stride_);
            int x = left_;
            while (x < end) {
                const int index = row[x];
                const int stop = run_end(row, x + 1, end, index);
                if (index != 0) {
                    while (above < open_.size() && open_[above].x < x) close(open_[above++], y);
                    if (above < open_.size() && open_[above].x == x && open_[above].width == stop - x &&
                        open_[above].index == index)
                        next_open_.push_back(open_[above++]);
                    else
                        next_open_.push_back(Open{x, stop - x, index, y});
                }
                x = stop;
            }
            std::memset(row + left_, 0, static_cast<std::size_t>(end - left_));
        }
        while (above < open_.size()) close(open_[above++], y);
        open_.swap(next_open_);
    }
    left_ = width_;
    right_ = -1;
    top_ = height_;
    bottom_ = -1;
}
