// The table of domains for the statements about integer points, and the
// brute-force oracle.
#include "tests/calculus/point_cases.h"

#include <sstream>

namespace {

std::vector<std::string> pieces_of(const PointCase& c) {
    std::vector<std::string> pieces;
    std::istringstream list(c.pieces);
    for (std::string piece; std::getline(list, piece, ';');) pieces.push_back(piece);
    return pieces;
}

}  // namespace

const std::vector<PointCase> point_cases = {
    {"Triangle", "{ i, j, N | 0 <= j <= i <= N }", "{ N | 0 <= N <= 6 }", -1, 7, -1, 7},
    {"TriangleWithoutParameters", "{ i, j | 0 <= j <= i <= 3 }", "{ | }", 0, 0, -1, 4},
    {"Simplex3D", "{ i, j, k, N | i >= 0, j >= 0, k >= 0, i + j + k <= N }", "{ N | 0 <= N <= 4 }", -1, 5, -1, 5},
    {"OverlappingTriangles",
     "{ i, j, N | 0 <= j <= i <= N } ; { i, j, N | 0 <= i <= j <= N } ; { i, j, N | 1 <= i, 1 <= j, i + j <= N }",
     "{ N | 0 <= N <= 5 }", -1, 6, -1, 6},
    {"CrossingIntervals", "{ i, N | 0 <= i <= N } ; { i, N | N <= i <= 2N } ; { i, N | 0 <= i <= 5 }",
     "{ N | 0 <= N <= 5 }", -1, 6, -1, 11},
    {"StripesOfAUnion", "{ i, j | 0 <= i <= 3, j = 0 } ; { i, j | 0 <= i <= 3, j = 2 }", "{ | }", 0, 0, -1, 4},
    {"UnionWithStrides", "{ i, j, N | 2j = i + N, 0 <= i <= 2N } ; { i, j, N | 0 <= i <= N, 3j = i + 6 }",
     "{ N | 0 <= N <= 6 }", -1, 7, -1, 13},
    {"UnionOfPiecesEmptyForSomeValues", "{ i, N | 0 <= i <= N - 2 } ; { i, N | N + 3 <= i <= 8 }",
     "{ N | 0 <= N <= 6 }", -1, 7, -1, 9},
    {"FarApartPieces", "{ i | 0 <= i <= 3 } ; { i | 100000 <= i <= 100003 }", "{ | }", 0, 0, -1, 100004},
    {"RationalVertices", "{ i, j, N | 3i >= 1, 3i <= 2N + 1, 2j >= i, 5j <= 3N }", "{ N | 0 <= N <= 7 }", -1, 8,
     -1, 8},
    {"ThinStrip", "{ i, j, N | 0 <= i <= N, 2i <= 3j, 3j <= 2i + 1 }", "{ N | 0 <= N <= 9 }", -1, 10, -1, 10},
    {"EqualityWithStride", "{ i, j, N | 2j = i + N, 0 <= i <= 2N }", "{ N | 0 <= N <= 6 }", -1, 7, -1, 13},
    {"StrideWithCommonFactor", "{ i, j, N | 4j = 6i + N, 0 <= i <= 6 }", "{ N | 0 <= N <= 5 }", -1, 6, -1, 12},
    {"PlaneInThreeDimensions", "{ i, j, k, N | i + j + k = N, i >= 0, j >= 0, k >= 0 }", "{ N | 0 <= N <= 4 }",
     -1, 5, -1, 5},
    {"TwoEqualities", "{ i, j, k | i = 2k, j = 3k + 1, 0 <= k <= 4 }", "{ | }", 0, 0, -1, 13},
    {"EmptyForLargeParameters", "{ i, N | N <= i <= 3 }", "{ N | 0 <= N <= 5 }", -1, 6, -1, 6},
    {"ParameterConditionInTheDomain", "{ i, N | 0 <= i <= N, N >= 2 }", "{ N | 0 <= N <= 4 }", -1, 5, -1, 5},
    {"TwoParameters", "{ i, j, N, M | 0 <= i <= N, 0 <= j <= M, i + j <= 4 }",
     "{ N, M | 0 <= N <= 3, 0 <= M <= 3 }", -1, 4, -1, 5},
    {"TriangularContext", "{ i, N, M | M <= i <= N }", "{ N, M | N >= 0, M >= 0, N + M <= 3 }", -1, 4, -1, 4},
    {"NegativeCoordinates", "{ i, j, N | -N <= i <= 0, i - 1 <= j <= -i }", "{ N | 0 <= N <= 4 }", -1, 5, -6, 6},
    {"NoVariables", "{ N | N >= 2 }", "{ N | 0 <= N <= 4 }", -1, 5, 0, 0},
    {"EmptyDeclaration", "{ | }", "{ | }", 0, 0, 0, 0},
    {"IntegerEmptyButRational", "{ i, j | 2i = 2j + 1, 0 <= i <= 4 }", "{ | }", 0, 0, -1, 5},
    {"TenDimensionalCube",
     "{ a, b, c, d, e, f, g, h, i, j | 0 <= a <= 1, 0 <= b <= 1, 0 <= c <= 1, 0 <= d <= 1, 0 <= e <= 1, "
     "0 <= f <= 1, 0 <= g <= 1, 0 <= h <= 1, 0 <= i <= 1, 0 <= j <= 1 }",
     "{ | }", 0, 0, 0, 1},
    {"TenDimensionalSimplex",
     "{ a, b, c, d, e, f, g, h, i, j, N | a >= 0, b >= 0, c >= 0, d >= 0, e >= 0, f >= 0, g >= 0, h >= 0, "
     "i >= 0, j >= 0, a + b + c + d + e + f + g + h + i + j <= N }",
     "{ N | 0 <= N <= 2 }", -1, 3, 0, 2},
};

void PrintTo(const PointCase& c, std::ostream* os) { *os << c.name; }

int declaration_count(const PointCase& c) {
    std::size_t pieces = pieces_of(c).size();
    return static_cast<int>(pieces == 1 ? 2 : 2 * pieces);
}

std::string declarations(const PointCase& c) {
    std::vector<std::string> pieces = pieces_of(c);
    std::string script;
    if (pieces.size() == 1) {
        script = "P := " + pieces[0] + " ;\n";
    } else {
        for (std::size_t k = 1; k <= pieces.size(); ++k)
            script += "Q" + std::to_string(k) + " := " + pieces[k - 1] + " ;\n";
        std::string joined = "Q1";
        for (std::size_t k = 2; k <= pieces.size(); ++k) {
            std::string name = k == pieces.size() ? "P" : "U" + std::to_string(k);
            script += name + " := " + joined + " union Q" + std::to_string(k) + " ;\n";
            joined = name;
        }
    }
    return script + "K := " + c.context + " ;\n";
}

std::string statement_output(const std::string& transcript, int statement) {
    std::string prompt = "<" + std::to_string(statement) + "> ";
    std::size_t first = transcript.find(prompt);
    if (first == std::string::npos) return "(no statement " + std::to_string(statement) + ")";
    first += prompt.size();
    std::size_t last = transcript.find("<" + std::to_string(statement + 1) + "> ", first);
    return transcript.substr(first, last == std::string::npos ? std::string::npos : last - first);
}

BruteForce brute_force(const PointCase& c, const std::string& transcript) {
    BruteForce b;
    std::string echoed = echoed_definition(transcript, "P");
    b.domain_is_empty_declaration = echoed == "{ | }\n";
    b.domain = parse_constraint_notation(echoed);
    b.context = parse_constraint_notation(echoed_definition(transcript, "K"));
    b.parameters = static_cast<unsigned>(b.context.names.size());
    b.variables = static_cast<unsigned>(b.domain.names.size()) - b.parameters;
    for_each_point_in_box(b.parameters, c.parameter_low, c.parameter_high, [&](const Point& p) {
        if (b.parameters > 0 && !contains(b.context, p)) return;
        b.parameter_values.push_back(p);
        std::vector<Point> points;
        for_each_point_in_box(b.variables, c.variable_low, c.variable_high, [&](const Point& x) {
            Point full = x;
            full.insert(full.end(), p.begin(), p.end());
            if (!b.domain_is_empty_declaration && contains(b.domain, full)) points.push_back(x);
        });
        b.points.push_back(std::move(points));
    });
    return b;
}

std::string tuple_text(const Point& p) {
    std::string text = "(";
    for (std::size_t k = 0; k < p.size(); ++k) text += (k ? ", " : "") + std::to_string(p[k]);
    return text + ")";
}

std::string heading_text(const std::vector<std::string>& names, const Point& values) {
    std::string text;
    for (std::size_t k = 0; k < names.size(); ++k) text += (k ? ", " : "") + names[k] + " = " + std::to_string(values[k]);
    return text.empty() ? text : text + " : ";
}
