// The constraint-notation reader and the brute-force enumeration.
#include "tests/calculus/integer_points.h"

#include <cctype>
#include <stdexcept>

namespace {

std::string trim(const std::string& s) {
    std::size_t b = s.find_first_not_of(" \n");
    if (b == std::string::npos) return {};
    std::size_t e = s.find_last_not_of(" \n");
    return s.substr(b, e - b + 1);
}

std::vector<std::string> split(const std::string& s, const std::string& separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        std::size_t at = s.find(separator, start);
        parts.push_back(s.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos) return parts;
        start = at + separator.size();
    }
}

}  // namespace

void read_linear_sum(const std::string& text, const std::vector<std::string>& names,
                     std::vector<std::int64_t>& coefficients, std::int64_t& constant, int sign) {
    std::size_t i = 0;
    int item_sign = 1;
    bool expecting_item = true;
    while (i < text.size()) {
        char c = text[i];
        if (c == ' ') {
            ++i;
        } else if (c == '+' || c == '-') {
            item_sign = c == '-' ? -item_sign : item_sign;
            expecting_item = true;
            ++i;
        } else {
            if (!expecting_item) throw std::runtime_error("two items without a sign in '" + text + "'");
            std::int64_t magnitude = 1;
            bool has_number = false;
            if (std::isdigit(static_cast<unsigned char>(c))) {
                std::size_t end = i;
                while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) ++end;
                magnitude = std::stoll(text.substr(i, end - i));
                has_number = true;
                i = end;
            }
            if (i < text.size() && std::isalpha(static_cast<unsigned char>(text[i]))) {
                std::size_t end = i;
                while (end < text.size() && std::isalnum(static_cast<unsigned char>(text[end]))) ++end;
                std::string name = text.substr(i, end - i);
                i = end;
                std::size_t k = 0;
                while (k < names.size() && names[k] != name) ++k;
                if (k == names.size()) throw std::runtime_error("unknown name '" + name + "'");
                coefficients[k] += sign * item_sign * magnitude;
            } else if (has_number) {
                constant += sign * item_sign * magnitude;
            } else {
                throw std::runtime_error("cannot read '" + text + "'");
            }
            item_sign = 1;
            expecting_item = false;
        }
    }
}

namespace {

LinearConstraint read_constraint(const std::string& text, const std::vector<std::string>& names) {
    struct Relation {
        const char* text;
        bool equality;
        int left_sign;
    };
    const Relation relations[] = {{" >= ", false, 1}, {" <= ", false, -1}, {" = ", true, 1}};
    for (const Relation& r : relations) {
        std::size_t at = text.find(r.text);
        if (at == std::string::npos) continue;
        LinearConstraint constraint{r.equality, std::vector<std::int64_t>(names.size(), 0), 0};
        read_linear_sum(text.substr(0, at), names, constraint.coefficients, constraint.constant, r.left_sign);
        read_linear_sum(text.substr(at + std::string(r.text).size()), names, constraint.coefficients, constraint.constant,
                 -r.left_sign);
        return constraint;
    }
    throw std::runtime_error("no relation in '" + text + "'");
}

ConvexSet read_polyhedron(const std::string& text, std::vector<std::string>& names) {
    std::string body = trim(text);
    if (body.size() < 2 || body.front() != '{' || body.back() != '}')
        throw std::runtime_error("not a polyhedron: '" + text + "'");
    body = body.substr(1, body.size() - 2);
    std::size_t bar = body.find('|');
    if (bar == std::string::npos) throw std::runtime_error("no bar in '" + text + "'");
    names.clear();
    for (const std::string& n : split(body.substr(0, bar), ","))
        if (!trim(n).empty()) names.push_back(trim(n));
    ConvexSet set;
    for (const std::string& c : split(body.substr(bar + 1), ","))
        if (!trim(c).empty()) set.push_back(read_constraint(" " + trim(c) + " ", names));
    return set;
}

std::int64_t evaluate(const LinearConstraint& c, const Point& point) {
    std::int64_t value = c.constant;
    for (std::size_t k = 0; k < point.size(); ++k) value += c.coefficients[k] * point[k];
    return value;
}

}  // namespace

UnionSet parse_constraint_notation(const std::string& text) {
    UnionSet result;
    for (const std::string& piece : split(text, "UNION ")) {
        std::vector<std::string> names;
        result.pieces.push_back(read_polyhedron(piece, names));
        if (result.pieces.size() == 1)
            result.names = names;
        else if (names != result.names)
            throw std::runtime_error("pieces with different names in '" + text + "'");
    }
    return result;
}

bool contains(const ConvexSet& set, const Point& point) {
    for (const LinearConstraint& c : set) {
        std::int64_t v = evaluate(c, point);
        if (c.equality ? v != 0 : v < 0) return false;
    }
    return true;
}

bool contains(const UnionSet& set, const Point& point) {
    for (const ConvexSet& piece : set.pieces)
        if (contains(piece, point)) return true;
    return false;
}

void for_each_point_in_box(unsigned dimension, std::int64_t low, std::int64_t high,
                           const std::function<void(const Point&)>& visit) {
    if (low > high) return;
    Point point(dimension, low);
    for (;;) {
        visit(point);
        unsigned k = dimension;
        while (k > 0 && point[k - 1] == high) point[--k] = low;
        if (k == 0) return;
        ++point[k - 1];
    }
}

std::set<Point> points_in_box(const UnionSet& set, std::int64_t low, std::int64_t high) {
    std::set<Point> points;
    for_each_point_in_box(static_cast<unsigned>(set.names.size()), low, high, [&](const Point& p) {
        if (contains(set, p)) points.insert(p);
    });
    return points;
}

std::set<Point> points_in_box(const ConvexSet& set, unsigned dimension, std::int64_t low, std::int64_t high) {
    std::set<Point> points;
    for_each_point_in_box(dimension, low, high, [&](const Point& p) {
        if (contains(set, p)) points.insert(p);
    });
    return points;
}

std::string echoed_definition(const std::string& transcript, const std::string& name) {
    std::string marker = "> " + name + " := ";
    std::size_t at = transcript.find(marker);
    if (at == std::string::npos) throw std::runtime_error("no definition of '" + name + "' in:\n" + transcript);
    at += marker.size();
    std::size_t end = transcript.find("\n<", at);
    return transcript.substr(at, end == std::string::npos ? std::string::npos : end - at + 1);
}
