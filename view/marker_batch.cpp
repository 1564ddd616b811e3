// Batches of one colour's markers and the cover of dense runs.
#include "view/marker_batch.h"

#include <algorithm>


void MarkerCover::start(int left, int top, int width, int height) {
    left_ = left - 3;
    top_ = top - 3;
    width_ = width + 6;
    height_ = height + 6;
    words_ = (width_ + 63) / 64;
    const std::size_t size = static_cast<std::size_t>(words_) * static_cast<std::size_t>(height_);
    at_.assign(size, 0);
    cover_.assign(size, 0);
    low_.assign(static_cast<std::size_t>(height_), words_);
    high_.assign(static_cast<std::size_t>(height_), -1);
}

void MarkerCover::build(const std::vector<CanvasPoint>& centres, int left, int top, int width, int height) {
    start(left, top, width, height);
    for (const CanvasPoint& c : centres) {
        const int x = c.column - left_, y = c.row - top_, w = x / 64;
        row(at_, y)[w] |= std::uint64_t{1} << (x % 64);
        low_[y] = std::min(low_[y], w);
        high_[y] = std::max(high_[y], w);
    }
    widen();
}

void MarkerCover::build(const std::uint64_t* bits, int words, int left, int top, int width, int height) {
    start(left, top, width, height);
    // Source bit x goes to bit x + 3 here: three columns of margin.
    for (int y = 0; y < height; ++y) {
        const std::uint64_t* source = bits + static_cast<std::size_t>(words) * static_cast<std::size_t>(y);
        std::uint64_t* out = row(at_, y + 3);
        std::uint64_t carry = 0;
        for (int w = 0; w < words_; ++w) {
            const std::uint64_t word = w < words ? source[w] : 0;
            out[w] = (word << 3) | carry;
            carry = word >> 61;
            if (out[w]) {
                low_[y + 3] = std::min(low_[y + 3], w);
                high_[y + 3] = w;
            }
        }
    }
    widen();
}

void MarkerCover::widen() {
    five_.assign(static_cast<std::size_t>(words_), 0);
    seven_.assign(static_cast<std::size_t>(words_), 0);
    for (int y = 0; y < height_; ++y) {
        if (high_[y] < 0) continue;
        // Markers reach 3 columns, so at most one word on either side.
        const int from = std::max(0, low_[y] - 1), to = std::min(words_ - 1, high_[y] + 1);
        const std::uint64_t* source = row(at_, y);
        for (int w = from; w <= to; ++w) {
            const std::uint64_t here = source[w];
            const std::uint64_t before = w > 0 ? source[w - 1] : 0;
            const std::uint64_t after = w + 1 < words_ ? source[w + 1] : 0;
            auto right = [&](int k) { return (here << k) | (before >> (64 - k)); };
            auto left = [&](int k) { return (here >> k) | (after << (64 - k)); };
            five_[w] = here | right(1) | right(2) | left(1) | left(2);
            seven_[w] = five_[w] | right(3) | left(3);
        }
        for (int dy = -3; dy <= 3; ++dy) {
            if (y + dy < 0 || y + dy >= height_) continue;
            const std::vector<std::uint64_t>& band = (dy < -2 || dy > 2) ? five_ : seven_;
            std::uint64_t* out = row(cover_, y + dy);
            for (int w = from; w <= to; ++w) out[w] |= band[w];
        }
    }
}

void MarkerCover::spans(std::vector<PixelSpan>& out) const {
    for (int y = 0; y < height_; ++y) {
        const std::uint64_t* bits = row(cover_, y);
        int x = 0;
        while (x < width_) {
            x = next_bit(bits, x, true);
            if (x >= width_) break;
            const int end = next_bit(bits, x, false);
            out.push_back(PixelSpan{left_ + x, top_ + y, end - x});
            x = end;
        }
    }
}

int MarkerCover::next_bit(const std::uint64_t* bits, int x, bool value) const {
    int w = x / 64;
    std::uint64_t word = (value ? bits[w] : ~bits[w]) & (~std::uint64_t{0} << (x % 64));
    while (word == 0) {
        if (++w >= words_) return width_;
        word = value ? bits[w] : ~bits[w];
    }
    return std::min(width_, w * 64 + __builtin_ctzll(word));
}

namespace {

bool same_colour(const GdkColor& a, const GdkColor& b) {
    return a.red == b.red && a.green == b.green && a.blue == b.blue;
}

}  // namespace

void MarkerBatch::add(const GdkColor& colour, CanvasPoint centre) {
    if (!centres_.empty() && (!same_colour(colour, colour_) || centres_.size() >= marker_batch_capacity)) flush();
    colour_ = colour;
    centres_.push_back(centre);
}

void MarkerBatch::flush() {
    if (centres_.empty()) return;
    if (!send_cover()) painter_.markers(colour_, centres_.data(), static_cast<int>(centres_.size()));
    centres_.clear();
}

bool MarkerBatch::send_cover() {
    if (static_cast<int>(centres_.size()) < cover_threshold_) return false;
    int left = centres_[0].column, right = left, top = centres_[0].row, bottom = top;
    for (const CanvasPoint& c : centres_) {
        left = std::min(left, c.column);
        right = std::max(right, c.column);
        top = std::min(top, c.row);
        bottom = std::max(bottom, c.row);
    }
    if (!painter_.cover_worth_it(static_cast<int>(centres_.size()), right - left + 1, bottom - top + 1)) return false;
    cover_.build(centres_, left, top, right - left + 1, bottom - top + 1);
    spans_.clear();
    cover_.spans(spans_);
    painter_.spans(colour_, spans_.data(), static_cast<int>(spans_.size()));
    return true;
}
