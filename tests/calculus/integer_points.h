// Integer points of domains written in the calculator's constraint notation,
// found by brute force in a box: an oracle that does not trust PolyLib.
#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

using Point = std::vector<std::int64_t>;

// coefficients · x + constant = 0 (equality) or >= 0.
struct LinearConstraint {
    bool equality;
    std::vector<std::int64_t> coefficients;
    std::int64_t constant;
};

using ConvexSet = std::vector<LinearConstraint>;

struct UnionSet {
    std::vector<std::string> names;
    std::vector<ConvexSet> pieces;
};

// Parses "  { i, j | i >= 0, 2i+3j <= 5 }\nUNION   { ... }\n" as the printer
// writes it (and as it may be typed: the notation is part of the language).
// Throws std::runtime_error on text it cannot read.
UnionSet parse_constraint_notation(const std::string& text);

// Reads a signed sum of terms and constants, such as "2i+3j-5", "j+1", "0" or
// PolyLib's "- N + M  -5": `sign` times each coefficient is added to
// `coefficients` (one per name) and to `constant`.
void read_linear_sum(const std::string& text, const std::vector<std::string>& names,
                     std::vector<std::int64_t>& coefficients, std::int64_t& constant, int sign = 1);

bool contains(const ConvexSet& set, const Point& point);
bool contains(const UnionSet& set, const Point& point);

// Every integer point with each coordinate in [low, high], in lexicographic order.
void for_each_point_in_box(unsigned dimension, std::int64_t low, std::int64_t high,
                           const std::function<void(const Point&)>& visit);

std::set<Point> points_in_box(const UnionSet& set, std::int64_t low, std::int64_t high);
std::set<Point> points_in_box(const ConvexSet& set, unsigned dimension, std::int64_t low, std::int64_t high);

// The text echoed for the definition of `name` ("> name := " up to the next
// prompt) in a transcript; throws when there is none.
std::string echoed_definition(const std::string& transcript, const std::string& name);
