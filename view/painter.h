// Where the picture of the shown domains goes: the canvas's off-screen image
// or a figure file. Rendering decides what is drawn and where, in canvas
// pixels; a painter decides how. The calls come in drawing order (later ones
// cover earlier ones), and each bulk call holds one colour.
#pragma once

#include <gdk/gdk.h>
#include <string>

#include "view/projection.h"

// Pixels x .. x + length - 1 of row y.
struct PixelSpan {
    int x, y, length;
};

class Painter {
public:
    virtual ~Painter() = default;

    // The picture area, width x height pixels, made white.
    virtual void clear(int width, int height) = 0;
    // One-pixel lines of a domain's outline: a segment, or a closed or open
    // polyline through `count` points.
    virtual void line(const GdkColor& colour, CanvasPoint from, CanvasPoint to) = 0;
    virtual void polyline(const GdkColor& colour, const CanvasPoint* points, int count) = 0;
    // Point markers (the 7 x 7 square without its corners, see marker_columns).
    virtual void markers(const GdkColor& colour, const CanvasPoint* centres, int count) = 0;
    // The pixels covered by a dense run of markers of one colour, as spans:
    // the same pixels as the markers they stand for.
    virtual void spans(const GdkColor& colour, const PixelSpan* spans, int count) = 0;
    // A label in the viewer's label font, its baseline starting at (x, y).
    virtual void label(const GdkColor& colour, int x, int y, const std::string& text) = 0;
    // Whether a run of `markers` markers of one colour, their centres within
    // a box of width x height pixels, is worth sending as the spans of its
    // cover: the cover costs a few word operations per 64 pixels of the box,
    // which below about one marker per 256 pixels of it is more than sending
    // the markers on costs. A painter that keeps fills as pixels pays less
    // for a marker and says so.
    virtual bool cover_worth_it(int markers, int width, int height) const {
        return static_cast<double>(width) * static_cast<double>(height) <= 256.0 * static_cast<double>(markers);
    }
};
