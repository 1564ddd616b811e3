// Painters that write a picture as a figure: SVG and TikZ text, and cairo
// (PDF). Edges stay lines, markers shapes and labels text, so a figure scales
// without blur; coordinates are canvas pixels, with pixel (c, r) the unit
// square whose top-left corner is (c, r).
#pragma once

#include <cairo.h>
#include <string>
#include <vector>

#include "view/painter.h"

// The screen's labels are X's Helvetica, 12 pixels high with the usual
// fonts; figures name a close sans family at the screen font's size.
constexpr int figure_label_pixels = 12;

// A solid rectangle of pixels: dense runs' spans merged down the rows.
struct PixelRectangle {
    int x, y, width, height;
};
// Spans of equal start and length on consecutive rows become one rectangle;
// the pixels covered are the same.
std::vector<PixelRectangle> merged_spans(const PixelSpan* spans, int count);

// The pixels covered by markers of one colour that overlap one another, as
// rectangles; empty when the markers stand apart, so that their own shapes
// are fewer. Later markers of one colour cover earlier ones in that same
// colour, so the pixels are those of the markers in any order.
std::vector<PixelRectangle> overlapping_markers_cover(const CanvasPoint* centres, int count);

// "#rrggbb" of the colour's high bytes, as the 24-bit screen shows it.
std::string hex_colour(const GdkColor& colour);

// What every figure painter does with markers and spans before writing them:
// drops what lies off the canvas, turns overlapping markers of one colour
// into the rectangles of their cover, and merges spans into rectangles. The
// painters write rectangles and separate markers their own way.
class FigurePainter : public Painter {
public:
    void markers(const GdkColor& colour, const CanvasPoint* centres, int count) final;
    void spans(const GdkColor& colour, const PixelSpan* spans, int count) final;

protected:
    // The canvas that markers and spans are cut to; set by each clear().
    void set_canvas(int width, int height) {
        width_ = width;
        height_ = height;
    }
    // Solid rectangles of pixels, one colour.
    virtual void rectangles(const GdkColor& colour, const std::vector<PixelRectangle>& rectangles) = 0;
    // Markers that stand apart, each its own shape; count >= 1.
    virtual void marker_shapes(const GdkColor& colour, const CanvasPoint* centres, int count) = 0;
    int width_ = 0, height_ = 0;
};

class SvgPainter : public FigurePainter {
public:
    explicit SvgPainter(int label_pixels = figure_label_pixels) : label_pixels_(label_pixels) {}
    void clear(int width, int height) override;
    void line(const GdkColor& colour, CanvasPoint from, CanvasPoint to) override;
    void polyline(const GdkColor& colour, const CanvasPoint* points, int count) override;
    void label(const GdkColor& colour, int x, int y, const std::string& text) override;
    // The whole document, closed.
    std::string document() const;

private:
    void rectangles(const GdkColor& colour, const std::vector<PixelRectangle>& rectangles) override;
    void marker_shapes(const GdkColor& colour, const CanvasPoint* centres, int count) override;
    std::string body_;
    int label_pixels_;
};

// A tikzpicture environment, for \input in a LaTeX document with TikZ loaded;
// one canvas pixel is 0.75 pt (a 96 dpi pixel), y pointing down as on screen.
class TikzPainter : public FigurePainter {
public:
    explicit TikzPainter(int label_pixels = figure_label_pixels) : label_pixels_(label_pixels) {}
    void clear(int width, int height) override;
    void line(const GdkColor& colour, CanvasPoint from, CanvasPoint to) override;
    void polyline(const GdkColor& colour, const CanvasPoint* points, int count) override;
    void label(const GdkColor& colour, int x, int y, const std::string& text) override;
    std::string document() const;

private:
    void rectangles(const GdkColor& colour, const std::vector<PixelRectangle>& rectangles) override;
    void marker_shapes(const GdkColor& colour, const CanvasPoint* centres, int count) override;
    // The name of the colour, defined on first use.
    std::string colour_name(const GdkColor& colour);
    std::string body_;
    std::vector<std::string> colours_;
    int label_pixels_;
};

// Draws on a cairo context whose user space is canvas pixels (a PDF page of
// width x height points).
class CairoPainter : public FigurePainter {
public:
    explicit CairoPainter(cairo_t* cairo, int label_pixels = figure_label_pixels)
        : cairo_(cairo), label_pixels_(label_pixels) {}
    void clear(int width, int height) override;
    void line(const GdkColor& colour, CanvasPoint from, CanvasPoint to) override;
    void polyline(const GdkColor& colour, const CanvasPoint* points, int count) override;
    void label(const GdkColor& colour, int x, int y, const std::string& text) override;

private:
    void rectangles(const GdkColor& colour, const std::vector<PixelRectangle>& rectangles) override;
    void marker_shapes(const GdkColor& colour, const CanvasPoint* centres, int count) override;
    void set_colour(const GdkColor& colour);
    cairo_t* cairo_;
    int label_pixels_;
};
