// The table of domains on which the statements about integer points are
// checked, and the brute-force oracle they are checked against: every point
// of a box that holds the domain's points, tested against the constraints
// the calculator echoed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/calculus/integer_points.h"

struct PointCase {
    const char* name;
    const char* pieces;    // constraint notation, ';' between the pieces of a union
    const char* context;   // over the parameters (the domain's last dimensions); "{ | }" for none
    std::int64_t parameter_low, parameter_high;   // a box around the context's points
    std::int64_t variable_low, variable_high;     // a box around the domain's points at those values
};

extern const std::vector<PointCase> point_cases;

void PrintTo(const PointCase& c, std::ostream* os);

// Declares the pieces Q1, Q2, ..., their union P (or P alone) and the
// context K, one statement a line: the first statement after them is
// number declarations_of(c) + 1.
std::string declarations(const PointCase& c);
int declaration_count(const PointCase& c);

// What a statement wrote: the text between its prompt and the next one.
std::string statement_output(const std::string& transcript, int statement);

// The domain and context as the calculator echoed them, and the points of
// the domain at each value of the parameters in the context, both in
// lexicographic order.
struct BruteForce {
    UnionSet domain, context;
    bool domain_is_empty_declaration = false;   // "{ | }" declares the empty domain
    unsigned parameters = 0, variables = 0;
    std::vector<Point> parameter_values;
    std::vector<std::vector<Point>> points;   // at each value
};
BruteForce brute_force(const PointCase& c, const std::string& transcript);

// "(1, -2)".
std::string tuple_text(const Point& p);
// "N = 3, M = 0 : ", or nothing without parameters.
std::string heading_text(const std::vector<std::string>& names, const Point& values);
