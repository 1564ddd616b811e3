// Markers of consecutive points of one colour, handed to the painter
// together: marker by marker, or as the spans of the pixels a dense run covers.
#pragma once

#include <cstdint>
#include <gdk/gdk.h>
#include <vector>

#include "view/painter.h"

// The pixels covered by many markers of one colour, as horizontal spans. A
// dense run of markers (a filled triangle covers each pixel dozens of times)
// costs the painter one span per row piece instead of a marker per point; the
// pixels are the same because fills of one colour do not depend on their
// order. Rows are bit sets: each row holding centres is widened across (by 2
// and 3 columns) and added to the rows the marker's two bands reach (3 and 2
// up and down). Only the words near a row's centres are touched, and the
// buffers are kept from run to run.
class MarkerCover {
public:
    void build(const std::vector<CanvasPoint>& centres, int left, int top, int width, int height);
    // The same from rows of centre bits: bit x of row y (in words of 64 bits,
    // `words` a row) stands for the centre (left + x, top + y).
    void build(const std::uint64_t* bits, int words, int left, int top, int width, int height);
    void spans(std::vector<PixelSpan>& out) const;

private:
    void start(int left, int top, int width, int height);
    // Widens the centres of at_ (and their rows' word ranges) into cover_.
    void widen();
    std::uint64_t* row(std::vector<std::uint64_t>& v, int y) const {
        return v.data() + static_cast<std::size_t>(words_) * static_cast<std::size_t>(y);
    }
    const std::uint64_t* row(const std::vector<std::uint64_t>& v, int y) const {
        return v.data() + static_cast<std::size_t>(words_) * static_cast<std::size_t>(y);
    }
    // The first column from x on whose bit is `value`, or width_.
    int next_bit(const std::uint64_t* bits, int x, bool value) const;

    int left_ = 0, top_ = 0, width_ = 0, height_ = 0, words_ = 0;
    std::vector<std::uint64_t> at_, cover_, five_, seven_;
    std::vector<int> low_, high_;
};

// Points are drawn in scan order and later markers cover earlier ones, so a
// batch only ever holds a run of one colour and is handed on when the colour
// changes or when it holds marker_batch_capacity markers (fills of one colour
// may be split anywhere, and memory stays the same however many points are
// drawn): as markers, or as the spans of their cover when the run is dense
// enough for that to be cheaper.
constexpr std::size_t marker_batch_capacity = 8192;

class MarkerBatch {
public:
    // Runs of at least `cover_threshold` markers may go as spans.
    MarkerBatch(Painter& painter, int cover_threshold) : painter_(painter), cover_threshold_(cover_threshold) {}
    ~MarkerBatch() { flush(); }
    MarkerBatch(const MarkerBatch&) = delete;
    MarkerBatch& operator=(const MarkerBatch&) = delete;

    void add(const GdkColor& colour, CanvasPoint centre);
    void flush();

private:
    bool send_cover();

    Painter& painter_;
    int cover_threshold_;
    GdkColor colour_{};
    std::vector<CanvasPoint> centres_;
    std::vector<PixelSpan> spans_;
    MarkerCover cover_;
};

// A run of at least marker_cover_threshold markers of one colour may be sent
// as the spans of the pixels it covers instead of marker by marker (the same
// pixels); the threshold is the viewer's (view/viewer.h).
