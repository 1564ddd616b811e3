// Readers of figure files for the tests.
#include "tests/support/figure_reading.h"

#include <regex>
#include <stdexcept>

std::vector<SvgElement> svg_elements(const std::string& document) {
    std::vector<SvgElement> elements;
    static const std::regex tag(R"(<([a-zA-Z]+)((?:\s+[a-zA-Z0-9:-]+="[^"]*")*)\s*(/?)>)");
    static const std::regex attribute(R"(([a-zA-Z0-9:-]+)="([^"]*)\")");
    for (auto it = std::sregex_iterator(document.begin(), document.end(), tag); it != std::sregex_iterator(); ++it) {
        SvgElement element{(*it)[1], {}, {}};
        const std::string attributes = (*it)[2];
        for (auto a = std::sregex_iterator(attributes.begin(), attributes.end(), attribute);
             a != std::sregex_iterator(); ++a)
            element.attributes[(*a)[1]] = (*a)[2];
        if ((*it)[3].length() == 0) {
            const std::size_t start = static_cast<std::size_t>(it->position() + it->length());
            const std::size_t end = document.find('<', start);
            element.text = document.substr(start, end - start);
        }
        elements.push_back(element);
    }
    return elements;
}

std::vector<SvgElement> svg_elements_named(const std::string& document, const std::string& name) {
    std::vector<SvgElement> result;
    for (SvgElement& e : svg_elements(document))
        if (e.name == name) result.push_back(std::move(e));
    return result;
}

std::vector<FigureRectangle> path_rectangles(const std::string& d) {
    std::vector<FigureRectangle> rectangles;
    static const std::regex rectangle(R"(M(-?\d+),(-?\d+)h(\d+)v(\d+)h-(\d+)z)");
    std::size_t covered = 0;
    for (auto it = std::sregex_iterator(d.begin(), d.end(), rectangle); it != std::sregex_iterator(); ++it) {
        if (static_cast<std::size_t>(it->position()) != covered) throw std::runtime_error("unexpected path: " + d);
        covered += static_cast<std::size_t>(it->length());
        if ((*it)[3] != (*it)[5]) throw std::runtime_error("not a rectangle: " + it->str());
        rectangles.push_back({std::stoi((*it)[1]), std::stoi((*it)[2]), std::stoi((*it)[3]), std::stoi((*it)[4])});
    }
    if (covered != d.size()) throw std::runtime_error("unexpected path: " + d);
    return rectangles;
}

std::vector<std::pair<int, int>> marker_centres_of(const std::vector<FigureRectangle>& rectangles) {
    std::vector<std::pair<int, int>> centres;
    for (std::size_t k = 0; k + 1 < rectangles.size(); k += 2) {
        const FigureRectangle& across = rectangles[k];
        const FigureRectangle& down = rectangles[k + 1];
        const std::pair<int, int> centre{across.x + 3, across.y + 2};
        if (across.width != 7 || across.height != 5 || down != FigureRectangle{centre.first - 2, centre.second - 3, 5, 7})
            throw std::runtime_error("not a marker");
        centres.push_back(centre);
    }
    if (rectangles.size() % 2 != 0) throw std::runtime_error("half a marker");
    return centres;
}

std::vector<std::pair<double, double>> tikz_coordinates(const std::string& text) {
    std::vector<std::pair<double, double>> result;
    static const std::regex pair(R"(\((-?[0-9.]+),(-?[0-9.]+)\))");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), pair); it != std::sregex_iterator(); ++it)
        result.push_back({std::stod((*it)[1]), std::stod((*it)[2])});
    return result;
}
