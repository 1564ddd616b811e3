// The figure painters: SVG and TikZ written as text, PDF through cairo.
#include "view/figure_painters.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace {

std::string number(int value) { return std::to_string(value); }

// value + 0.5, written exactly: the centre of a pixel, where one-pixel lines run.
std::string centre(int value) {
    if (value == -1) return "-0.5";
    return std::to_string(value < 0 ? value + 1 : value) + ".5";
}

std::string xml_text(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string tex_text(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '\\': out += "\\textbackslash{}"; break;
        case '{': case '}': case '$': case '&': case '#': case '_': case '%':
            out += '\\';
            out += c;
            break;
        case '^': out += "\\^{}"; break;
        case '~': out += "\\~{}"; break;
        default: out += c;
        }
    }
    return out;
}

// The marker's 45 pixels as its two overlapping bands, 7 x 5 across and
// 5 x 7 down, as (x, y, width, height).
constexpr int marker_bands[2][4] = {{-3, -2, 7, 5}, {-2, -3, 5, 7}};

// Markers that reach the canvas: one whose centre is more than 3 pixels
// off it covers none of its pixels, and far-off centres would only swell the
// file (or overflow the sums below).
std::vector<CanvasPoint> markers_on_canvas(const CanvasPoint* centres, int count, int width, int height) {
    std::vector<CanvasPoint> kept;
    kept.reserve(static_cast<std::size_t>(std::max(count, 0)));
    for (int k = 0; k < count; ++k)
        if (centres[k].column >= -3 && centres[k].column < width + 3 && centres[k].row >= -3 &&
            centres[k].row < height + 3)
            kept.push_back(centres[k]);
    return kept;
}

// The spans cut to the canvas.
std::vector<PixelSpan> spans_on_canvas(const PixelSpan* spans, int count, int width, int height) {
    std::vector<PixelSpan> kept;
    for (int k = 0; k < count; ++k) {
        const PixelSpan& s = spans[k];
        if (s.y < 0 || s.y >= height || s.length <= 0) continue;
        const long long start = std::max<long long>(s.x, 0);
        const long long end = std::min<long long>(static_cast<long long>(s.x) + s.length, width);
        if (start < end) kept.push_back({static_cast<int>(start), s.y, static_cast<int>(end - start)});
    }
    return kept;
}

}  // namespace

std::vector<PixelRectangle> merged_spans(const PixelSpan* spans, int count) {
    std::vector<PixelRectangle> rectangles;
    // Rectangles still growing, found by their start and length among those
    // that reached the row above.
    std::vector<std::size_t> open, next_open;
    int open_row = 0;
    for (int k = 0; k < count; ++k) {
        const PixelSpan& s = spans[k];
        if (s.length <= 0) continue;
        if (s.y != open_row) {
            if (s.y == open_row + 1) {
                open.swap(next_open);
            } else {
                open.clear();
            }
            next_open.clear();
            open_row = s.y;
        }
        bool grown = false;
        for (std::size_t index : open) {
            PixelRectangle& r = rectangles[index];
            if (r.x == s.x && r.width == s.length && r.y + r.height == s.y) {
                ++r.height;
                next_open.push_back(index);
                grown = true;
                break;
            }
        }
        if (!grown) {
            rectangles.push_back({s.x, s.y, s.length, 1});
            next_open.push_back(rectangles.size() - 1);
        }
    }
    return rectangles;
}

std::vector<PixelRectangle> overlapping_markers_cover(const CanvasPoint* centres, int count) {
    if (count < 2) return {};
    int left = centres[0].column, right = left, top = centres[0].row, bottom = top;
    for (int k = 1; k < count; ++k) {
        left = std::min(left, centres[k].column);
        right = std::max(right, centres[k].column);
        top = std::min(top, centres[k].row);
        bottom = std::max(bottom, centres[k].row);
    }
    left -= 3;
    top -= 3;
    const long long width = static_cast<long long>(right) + 4 - left, height = static_cast<long long>(bottom) + 4 - top;
    // Markers that overlap crowd their box: a marker's 45 pixels in at most
    // 64 of it. Sparser ones are left as shapes without building the cover.
    if (width * height > 64LL * count) return {};
    std::vector<unsigned char> covered(static_cast<std::size_t>(width * height), 0);
    for (int k = 0; k < count; ++k)
        for (const auto& band : marker_bands)
            for (int y = 0; y < band[3]; ++y) {
                const long long row = centres[k].row + band[1] + y - top;
                const long long column = centres[k].column + band[0] - left;
                std::fill_n(covered.begin() + row * width + column, band[2], 1);
            }
    std::vector<PixelSpan> spans;
    for (long long y = 0; y < height; ++y) {
        const unsigned char* line = covered.data() + y * width;
        for (long long x = 0; x < width;) {
            if (!line[x]) {
                ++x;
                continue;
            }
            const long long start = x;
            while (x < width && line[x]) ++x;
            spans.push_back({static_cast<int>(left + start), static_cast<int>(top + y), static_cast<int>(x - start)});
        }
    }
    std::vector<PixelRectangle> rectangles = merged_spans(spans.data(), static_cast<int>(spans.size()));
    if (rectangles.size() >= 2 * static_cast<std::size_t>(count)) return {};
    return rectangles;
}

std::string hex_colour(const GdkColor& colour) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", colour.red >> 8, colour.green >> 8, colour.blue >> 8);
    return text;
}

// ---- SVG ----

void FigurePainter::markers(const GdkColor& colour, const CanvasPoint* centres, int count) {
    const std::vector<CanvasPoint> shown = markers_on_canvas(centres, count, width_, height_);
    if (shown.empty()) return;
    const int kept = static_cast<int>(shown.size());
    const std::vector<PixelRectangle> cover = overlapping_markers_cover(shown.data(), kept);
    if (!cover.empty()) return rectangles(colour, cover);
    marker_shapes(colour, shown.data(), kept);
}

void FigurePainter::spans(const GdkColor& colour, const PixelSpan* spans, int count) {
    const std::vector<PixelSpan> shown = spans_on_canvas(spans, count, width_, height_);
    rectangles(colour, merged_spans(shown.data(), static_cast<int>(shown.size())));
}

void SvgPainter::clear(int width, int height) {
    set_canvas(width, height);
    body_.clear();
    body_ += "<rect x=\"0\" y=\"0\" width=\"" + number(width) + "\" height=\"" + number(height) +
             "\" fill=\"#ffffff\"/>\n";
}

void SvgPainter::line(const GdkColor& colour, CanvasPoint from, CanvasPoint to) {
    body_ += "<line x1=\"" + centre(from.column) + "\" y1=\"" + centre(from.row) + "\" x2=\"" + centre(to.column) +
             "\" y2=\"" + centre(to.row) + "\" stroke=\"" + hex_colour(colour) +
             "\" stroke-width=\"1\" stroke-linecap=\"square\"/>\n";
}

void SvgPainter::polyline(const GdkColor& colour, const CanvasPoint* points, int count) {
    if (count <= 0) return;
    body_ += "<polyline points=\"";
    for (int k = 0; k < count; ++k) {
        if (k > 0) body_ += ' ';
        body_ += centre(points[k].column) + "," + centre(points[k].row);
    }
    body_ += "\" fill=\"none\" stroke=\"" + hex_colour(colour) +
             "\" stroke-width=\"1\" stroke-linecap=\"square\" stroke-linejoin=\"miter\"/>\n";
}

void SvgPainter::marker_shapes(const GdkColor& colour, const CanvasPoint* centres, int count) {
    body_ += "<path fill=\"" + hex_colour(colour) + "\" d=\"";
    for (int k = 0; k < count; ++k)
        for (const auto& band : marker_bands)
            body_ += "M" + number(centres[k].column + band[0]) + "," + number(centres[k].row + band[1]) + "h" +
                     number(band[2]) + "v" + number(band[3]) + "h-" + number(band[2]) + "z";
    body_ += "\"/>\n";
}

void SvgPainter::rectangles(const GdkColor& colour, const std::vector<PixelRectangle>& rectangles) {
    if (rectangles.empty()) return;
    body_ += "<path fill=\"" + hex_colour(colour) + "\" d=\"";
    for (const PixelRectangle& r : rectangles)
        body_ += "M" + number(r.x) + "," + number(r.y) + "h" + number(r.width) + "v" + number(r.height) + "h-" +
                 number(r.width) + "z";
    body_ += "\"/>\n";
}

void SvgPainter::label(const GdkColor& colour, int x, int y, const std::string& text) {
    body_ += "<text x=\"" + number(x) + "\" y=\"" + number(y) +
             "\" font-family=\"Helvetica, Arial, sans-serif\" font-size=\"" + number(label_pixels_) +
             "\" fill=\"" + hex_colour(colour) + "\">" + xml_text(text) + "</text>\n";
}

std::string SvgPainter::document() const {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" +
           number(width_) + "\" height=\"" + number(height_) + "\" viewBox=\"0 0 " + number(width_) + " " +
           number(height_) + "\" shape-rendering=\"crispEdges\">\n" + body_ + "</svg>\n";
}

// ---- TikZ ----

std::string TikzPainter::colour_name(const GdkColor& colour) {
    const std::string hex = hex_colour(colour);
    std::size_t k = 0;
    while (k < colours_.size() && colours_[k] != hex) ++k;
    const std::string name = "qarnest" + std::to_string(k);
    if (k == colours_.size()) {
        colours_.push_back(hex);
        // xcolor's HTML model reads upper-case digits.
        std::string digits = hex.substr(1);
        std::transform(digits.begin(), digits.end(), digits.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        body_ += "\\definecolor{" + name + "}{HTML}{" + digits + "}\n";
    }
    return name;
}

void TikzPainter::clear(int width, int height) {
    set_canvas(width, height);
    body_.clear();
    colours_.clear();
    body_ += "\\fill[white] (0,0) rectangle (" + number(width) + "," + number(height) + ");\n";
}

void TikzPainter::line(const GdkColor& colour, CanvasPoint from, CanvasPoint to) {
    const std::string name = colour_name(colour);
    body_ += "\\draw[" + name + ",line width=0.75pt,line cap=rect] (" + centre(from.column) + "," + centre(from.row) +
             ") -- (" + centre(to.column) + "," + centre(to.row) + ");\n";
}

void TikzPainter::polyline(const GdkColor& colour, const CanvasPoint* points, int count) {
    if (count <= 0) return;
    const std::string name = colour_name(colour);
    body_ += "\\draw[" + name + ",line width=0.75pt,line cap=rect] ";
    for (int k = 0; k < count; ++k) {
        if (k > 0) body_ += " -- ";
        body_ += "(" + centre(points[k].column) + "," + centre(points[k].row) + ")";
    }
    body_ += ";\n";
}

void TikzPainter::marker_shapes(const GdkColor& colour, const CanvasPoint* centres, int count) {
    const std::string name = colour_name(colour);
    body_ += "\\fill[" + name + "]";
    for (int k = 0; k < count; ++k)
        for (const auto& band : marker_bands)
            body_ += " (" + number(centres[k].column + band[0]) + "," + number(centres[k].row + band[1]) +
                     ") rectangle +(" + number(band[2]) + "," + number(band[3]) + ")";
    body_ += ";\n";
}

void TikzPainter::rectangles(const GdkColor& colour, const std::vector<PixelRectangle>& rectangles) {
    if (rectangles.empty()) return;
    const std::string name = colour_name(colour);
    body_ += "\\fill[" + name + "]";
    for (const PixelRectangle& r : rectangles)
        body_ += " (" + number(r.x) + "," + number(r.y) + ") rectangle +(" + number(r.width) + "," +
                 number(r.height) + ")";
    body_ += ";\n";
}

void TikzPainter::label(const GdkColor& colour, int x, int y, const std::string& text) {
    const std::string name = colour_name(colour);
    // A pixel is 0.75 pt: the size in quarters of a point, written exactly.
    const int quarters = label_pixels_ * 3;
    const std::string points =
        std::to_string(quarters / 4) + (quarters % 4 ? "." + std::to_string(quarters % 4 * 25) : "") + "pt";
    body_ += "\\node[" + name + ",anchor=base west,inner sep=0pt,font=\\fontsize{" + points + "}{" + points +
             "}\\sffamily] at (" + number(x) + "," + number(y) + ") {" + tex_text(text) + "};\n";
}

std::string TikzPainter::document() const {
    return "% Qarnest figure, " + number(width_) + " x " + number(height_) +
           " canvas pixels; needs \\usepackage{tikz}.\n"
           "\\begin{tikzpicture}[x=0.75pt,y=-0.75pt]\n"
           "\\clip (0,0) rectangle (" +
           number(width_) + "," + number(height_) + ");\n" + body_ + "\\end{tikzpicture}\n";
}

// ---- cairo ----

void CairoPainter::set_colour(const GdkColor& colour) {
    cairo_set_source_rgb(cairo_, (colour.red >> 8) / 255.0, (colour.green >> 8) / 255.0, (colour.blue >> 8) / 255.0);
}

void CairoPainter::clear(int width, int height) {
    set_canvas(width, height);
    cairo_save(cairo_);
    cairo_rectangle(cairo_, 0, 0, width, height);
    cairo_set_source_rgb(cairo_, 1, 1, 1);
    cairo_fill(cairo_);
    cairo_restore(cairo_);
    cairo_set_line_width(cairo_, 1);
    cairo_set_line_cap(cairo_, CAIRO_LINE_CAP_SQUARE);
    cairo_set_line_join(cairo_, CAIRO_LINE_JOIN_MITER);
}

void CairoPainter::line(const GdkColor& colour, CanvasPoint from, CanvasPoint to) {
    set_colour(colour);
    cairo_move_to(cairo_, from.column + 0.5, from.row + 0.5);
    cairo_line_to(cairo_, to.column + 0.5, to.row + 0.5);
    cairo_stroke(cairo_);
}

void CairoPainter::polyline(const GdkColor& colour, const CanvasPoint* points, int count) {
    if (count <= 0) return;
    set_colour(colour);
    cairo_move_to(cairo_, points[0].column + 0.5, points[0].row + 0.5);
    for (int k = 1; k < count; ++k) cairo_line_to(cairo_, points[k].column + 0.5, points[k].row + 0.5);
    cairo_stroke(cairo_);
}

void CairoPainter::marker_shapes(const GdkColor& colour, const CanvasPoint* centres, int count) {
    set_colour(colour);
    cairo_set_fill_rule(cairo_, CAIRO_FILL_RULE_WINDING);
    for (int k = 0; k < count; ++k)
        for (const auto& band : marker_bands)
            cairo_rectangle(cairo_, centres[k].column + band[0], centres[k].row + band[1], band[2], band[3]);
    cairo_fill(cairo_);
}

void CairoPainter::rectangles(const GdkColor& colour, const std::vector<PixelRectangle>& rectangles) {
    if (rectangles.empty()) return;
    set_colour(colour);
    cairo_set_fill_rule(cairo_, CAIRO_FILL_RULE_WINDING);
    for (const PixelRectangle& r : rectangles) cairo_rectangle(cairo_, r.x, r.y, r.width, r.height);
    cairo_fill(cairo_);
}

void CairoPainter::label(const GdkColor& colour, int x, int y, const std::string& text) {
    set_colour(colour);
    cairo_select_font_face(cairo_, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cairo_, label_pixels_);
    cairo_move_to(cairo_, x, y);
    cairo_show_text(cairo_, text.c_str());
    cairo_new_path(cairo_);
}
