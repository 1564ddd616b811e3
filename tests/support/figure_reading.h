// Reading back the figure files: the elements of an SVG document with their
// attributes, the marker centres and rectangles of its paths, and the
// coordinates of a TikZ picture.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

struct SvgElement {
    std::string name;
    std::map<std::string, std::string> attributes;
    std::string text;   // the content of a <text> element
};

std::vector<SvgElement> svg_elements(const std::string& document);
// Elements of one name, in document order.
std::vector<SvgElement> svg_elements_named(const std::string& document, const std::string& name);

// The "Mx,yhWvHh-Wz" rectangles of a path, as (x, y, width, height).
struct FigureRectangle {
    int x, y, width, height;
    bool operator==(const FigureRectangle&) const = default;
    auto operator<=>(const FigureRectangle&) const = default;
};
std::vector<FigureRectangle> path_rectangles(const std::string& d);
// Marker centres of a path of markers: each marker is its 7 x 5 band
// followed by its 5 x 7 band.
std::vector<std::pair<int, int>> marker_centres_of(const std::vector<FigureRectangle>& rectangles);

// Every "(x,y)" of a TikZ text, as numbers, in order.
std::vector<std::pair<double, double>> tikz_coordinates(const std::string& text);
