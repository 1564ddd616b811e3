// The operations checked point by point: every result printed by the
// calculator is read back and its integer points, found by brute force in a
// box, are compared with the set the operation must give.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "tests/calculus/integer_points.h"
#include "tests/support/run_program.h"

namespace {

constexpr std::int64_t box_low = -6;
constexpr std::int64_t box_high = 24;

struct Declaration {
    const char* name;
    const char* text;   // a domain in constraint notation, a matrix in rows, or "X union Y"
};

// Bounded operands inside the box, 2-D and 3-D, with unions, equalities and
// rational vertices; G is a three-piece union on which PolyLib's own
// Disjoint_Domain returns overlapping pieces.
const Declaration declarations[] = {
    {"A", "{ i, j | i >= 0, j >= 0, i+j <= 6 }"},
    {"B", "{ i, j | i >= 2, i <= 8, j >= 1, j <= 4 }"},
    {"C", "{ i, j | 2i+3j <= 13, 3i >= j, i <= 5, j >= 0 }"},
    {"D", "{ i, j | 2i = j+1, i >= 0, i <= 5 }"},
    {"F", "{ i, j | i >= 9, i <= 11, j >= 5, j <= 8 }"},
    {"U", "B union F"},
    {"G1", "{ i, j | i >= 4, i <= 6, j >= 7, j <= 8 }"},
    {"G2", "{ i, j | i <= 7, j >= 3, j <= 5, 3i+3j >= 26 }"},
    {"G3", "{ i, j | i >= 6, i <= 12, j >= 4, j <= 6 }"},
    {"G12", "G1 union G2"},
    {"G", "G12 union G3"},
    {"AB", "A union B"},
    {"ABC", "AB union C"},
    {"S", "{ i, j, k | i >= 0, j >= 0, k >= 0, i+j+k <= 4 }"},
    {"H", "{ i, j, k | i >= 1, i <= 3, j >= 0, j <= 2, k >= 1, k <= 5 }"},
    {"Q", "{ i, j, k | i+j = k, i >= 0, j >= 0, k <= 4 }"},
    {"R", "{ i, j, k | 2i+2j+3k <= 9, i >= 0, j >= 0, k >= 0 }"},
    {"W", "S union H"},
    {"WR", "W union R"},
    {"skew", "((1, 1, 0), (0, 1, 0), (0, 0, 1))"},
    {"swap", "((0, 1, 0), (1, 0, 0), (0, 0, 1))"},
    {"shift", "((1, 0, 3), (0, 1, -2), (0, 0, 1))"},
    {"double", "((2, 0, 0), (0, 1, 0), (0, 0, 1))"},
    {"embed", "((1, 0, 0), (0, 1, 0), (1, 1, 0), (0, 0, 1))"},
    {"project", "((1, 0, 0, 0), (0, 1, 0, 0), (0, 0, 0, 1))"},
    {"skew3", "((1, 0, 1, 0), (0, 1, 0, 0), (0, 0, 1, 0), (0, 0, 0, 1))"},
};

enum class Kind { Union, Inter, Diff, Image, Preimage, Disjoint, Convex };

struct Case {
    Kind kind;
    const char* operator_text;   // how the statement writes the operation
    const char* first;
    const char* second;          // second domain or matrix; unused for dd and convex
};

const Case cases[] = {
    {Kind::Union, "union", "A", "B"},   {Kind::Union, "+", "A", "C"},       {Kind::Union, "union", "C", "D"},
    {Kind::Union, "+", "U", "G"},       {Kind::Union, "union", "S", "Q"},   {Kind::Union, "+", "H", "R"},
    {Kind::Inter, "inter", "A", "B"},   {Kind::Inter, ".", "A", "C"},       {Kind::Inter, "inter", "C", "D"},
    {Kind::Inter, ".", "B", "U"},       {Kind::Inter, "inter", "G", "B"},   {Kind::Inter, ".", "S", "H"},
    {Kind::Inter, "inter", "WR", "Q"},  {Kind::Diff, "diff", "A", "B"},     {Kind::Diff, "-", "B", "A"},
    {Kind::Diff, "diff", "C", "D"},     {Kind::Diff, "-", "A", "C"},        {Kind::Diff, "diff", "U", "A"},
    {Kind::Diff, "-", "G", "B"},        {Kind::Diff, "diff", "A", "G"},     {Kind::Diff, "-", "S", "H"},
    {Kind::Diff, "diff", "WR", "Q"},    {Kind::Diff, "-", "H", "R"},
    {Kind::Image, "image", "A", "skew"},       {Kind::Image, "image", "C", "swap"},
    {Kind::Image, "image", "U", "shift"},      {Kind::Image, "image", "D", "skew"},
    {Kind::Image, "image", "A", "embed"},      {Kind::Image, "image", "S", "project"},
    {Kind::Image, "image", "H", "skew3"},      {Kind::Image, "image", "G", "swap"},
    {Kind::Preimage, "preimage", "A", "double"}, {Kind::Preimage, "preimage", "C", "skew"},
    {Kind::Preimage, "preimage", "G", "shift"},  {Kind::Preimage, "preimage", "S", "embed"},
    {Kind::Preimage, "preimage", "Q", "skew3"},  {Kind::Preimage, "preimage", "D", "swap"},
    {Kind::Disjoint, "dd", "U", nullptr},    {Kind::Disjoint, "dd", "G", nullptr},
    {Kind::Disjoint, "dd", "ABC", nullptr},  {Kind::Disjoint, "dd", "WR", nullptr},
    {Kind::Disjoint, "dd", "C", nullptr},    {Kind::Convex, "convex", "U", nullptr},
    {Kind::Convex, "convex", "G", nullptr},  {Kind::Convex, "convex", "ABC", nullptr},
    {Kind::Convex, "convex", "WR", nullptr}, {Kind::Convex, "convex", "C", nullptr},
};

std::string result_name(std::size_t index) { return "X" + std::to_string(index); }

std::string statement_of(const Case& c, const std::string& result) {
    switch (c.kind) {
    case Kind::Union:
    case Kind::Inter:
    case Kind::Diff:
        return result + " := " + c.first + " " + c.operator_text + " " + c.second + " ;";
    case Kind::Image:
    case Kind::Preimage:
        return result + " := " + c.operator_text + " (" + c.first + ", " + c.second + ") ;";
    case Kind::Disjoint:
    case Kind::Convex:
        return result + " := " + c.operator_text + " " + c.first + " ;";
    }
    return {};
}

// One session declares every operand and runs every case.
const std::string& session_output() {
    static const std::string output = [] {
        std::ostringstream script;
        for (const Declaration& d : declarations) script << d.name << " := " << d.text << " ;\n";
        for (std::size_t k = 0; k < std::size(cases); ++k) script << statement_of(cases[k], result_name(k)) << "\n";
        ProgramResult r = run_qarnest(script.str());
        return r.out;
    }();
    return output;
}

bool is_union_text(const std::string& text) { return text.find(" union ") != std::string::npos; }
bool is_matrix_text(const std::string& text) { return text.rfind("((", 0) == 0; }

std::map<std::string, UnionSet> operand_sets() {
    std::map<std::string, UnionSet> sets;
    for (const Declaration& d : declarations) {
        std::string text = d.text;
        if (is_matrix_text(text)) continue;
        if (is_union_text(text)) {
            std::istringstream words(text);
            std::string a, keyword, b;
            words >> a >> keyword >> b;
            UnionSet joined = sets.at(a);
            for (const ConvexSet& piece : sets.at(b).pieces) joined.pieces.push_back(piece);
            sets[d.name] = joined;
        } else {
            sets[d.name] = parse_constraint_notation(text);
        }
    }
    return sets;
}

using Matrix64 = std::vector<std::vector<std::int64_t>>;

Matrix64 matrix_named(const std::string& name) {
    for (const Declaration& d : declarations) {
        if (name != d.name) continue;
        Matrix64 rows;
        std::string text = d.text;
        std::size_t at = 1;
        while ((at = text.find('(', at)) != std::string::npos) {
            std::size_t end = text.find(')', at);
            std::vector<std::int64_t> row;
            std::istringstream entries(text.substr(at + 1, end - at - 1));
            std::string entry;
            while (std::getline(entries, entry, ',')) row.push_back(std::stoll(entry));
            rows.push_back(row);
            at = end;
        }
        return rows;
    }
    throw std::runtime_error("no matrix " + name);
}

// M applied to (x, 1); the last row of every matrix here is (0, ..., 0, 1).
Point map_point(const Matrix64& m, const Point& x) {
    Point y;
    for (std::size_t r = 0; r + 1 < m.size(); ++r) {
        std::int64_t v = m[r].back();
        for (std::size_t c = 0; c < x.size(); ++c) v += m[r][c] * x[c];
        y.push_back(v);
    }
    return y;
}

std::set<Point> expected_points(const Case& c, const std::map<std::string, UnionSet>& sets) {
    const UnionSet& a = sets.at(c.first);
    std::set<Point> first = points_in_box(a, box_low, box_high);
    std::set<Point> result;
    switch (c.kind) {
    case Kind::Union:
    case Kind::Inter:
    case Kind::Diff: {
        std::set<Point> second = points_in_box(sets.at(c.second), box_low, box_high);
        for (const Point& p : first)
            if ((c.kind == Kind::Inter) == (second.count(p) > 0)) result.insert(p);
        if (c.kind == Kind::Union) result.insert(second.begin(), second.end());
        break;
    }
    case Kind::Image:
        // The maps here carry integer points onto the integer points of the
        // image: unimodular maps, an embedding with an integral left inverse,
        // a projection whose fibres all hold integer points.
        for (const Point& p : first) result.insert(map_point(matrix_named(c.second), p));
        break;
    case Kind::Preimage: {
        Matrix64 m = matrix_named(c.second);
        for_each_point_in_box(static_cast<unsigned>(m[0].size() - 1), box_low, box_high, [&](const Point& x) {
            if (contains(a, map_point(m, x))) result.insert(x);
        });
        break;
    }
    case Kind::Disjoint:
    case Kind::Convex:
        result = first;
        break;
    }
    return result;
}

class DifferentialTest : public ::testing::TestWithParam<std::size_t> {};

TEST_P(DifferentialTest, ResultHasExactlyTheRightIntegerPoints) {
    const Case& c = cases[GetParam()];
    SCOPED_TRACE(statement_of(c, result_name(GetParam())));
    static const std::map<std::string, UnionSet> sets = operand_sets();
    std::string printed = echoed_definition(session_output(), result_name(GetParam()));
    SCOPED_TRACE(printed);
    UnionSet result = parse_constraint_notation(printed);
    std::set<Point> expected = expected_points(c, sets);
    ASSERT_FALSE(expected.empty()) << "a case without points checks little";

    if (c.kind == Kind::Disjoint) {
        std::set<Point> covered;
        for (const ConvexSet& piece : result.pieces)
            for (const Point& p : points_in_box(piece, static_cast<unsigned>(result.names.size()), box_low, box_high))
                EXPECT_TRUE(covered.insert(p).second) << "a point lies in two pieces";
        EXPECT_EQ(covered, expected);
    } else if (c.kind == Kind::Convex) {
        EXPECT_EQ(result.pieces.size(), 1u);
        std::set<Point> hull = points_in_box(result, box_low, box_high);
        for (const Point& p : expected) EXPECT_TRUE(hull.count(p)) << "the hull misses a point of the operand";
    } else {
        EXPECT_EQ(points_in_box(result, box_low, box_high), expected);
    }
}

INSTANTIATE_TEST_SUITE_P(Operations, DifferentialTest, ::testing::Range<std::size_t>(0, std::size(cases)));

// The reader itself, on sets whose points are easy to count by hand.
TEST(ConstraintNotationReader, CountsKnownSets) {
    struct Known {
        const char* text;
        std::size_t points;
    };
    const Known known[] = {
        {"  { i, j | i <= 3, i >= j, j >= 0 }\n", 10},
        {"  { i, j | 2i = j+1, i >= 0, i <= 5 }\n", 6},
        {"  { i | i >= 0, i <= 5 }\nUNION   { i | i >= 10, i <= 20 }\n", 17},
        {"  { i, j | i = 0, j = 0, 0 = -1 }\n", 0},
        {"  { i | , i >= 0, i <= -1+3 }\n", 3},
        {"  { x1, y | 3x1 <= -4+y, y <= 2, x1 >= -2 }\n", 7},
    };
    for (const Known& k : known) EXPECT_EQ(points_in_box(parse_constraint_notation(k.text), -5, 25).size(), k.points) << k.text;
}

}  // namespace
