// Integer point enumeration: order, stops, rounding, unbounded and 32-bit
// limits, the scanning matrix, and membership in unions.
#include <gtest/gtest.h>

#include <cstdlib>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#include "base/locks.h"
#include "tests/support/capture.h"
#include "tests/view/view_support.h"
#include "view/point_scanner.h"

namespace {

using Points = std::vector<std::vector<std::int64_t>>;

struct Collector {
    unsigned dimension;
    Points points;
    std::size_t stop_after = 0;   // 0: never stop
};

int collect(const std::int64_t* x, void* data) {
    auto* c = static_cast<Collector*>(data);
    c->points.emplace_back(x, x + c->dimension);
    return c->stop_after == 0 || c->points.size() < c->stop_after;
}

struct ScanCase {
    const char* name;
    unsigned dimension;
    Rows rows;
    Points expected;
};

class PointScanner : public ::testing::Test {
protected:
    DomainLock lock;
    std::vector<Polyhedron*> owned;
    Polyhedron* make(unsigned dimension, const Rows& rows) {
        owned.push_back(polyhedron_from_rows(dimension, rows));
        return owned.back();
    }
    ~PointScanner() override {
        for (Polyhedron* p : owned) Domain_Free(p);
    }
};

const ScanCase scan_cases[] = {
    {"square in lexicographic order", 2,
     {{1, 1, 0, 0}, {1, -1, 0, 2}, {1, 0, 1, 0}, {1, 0, -1, 1}},
     {{0, 0}, {0, 1}, {1, 0}, {1, 1}, {2, 0}, {2, 1}}},
    {"rational bounds rounded inward", 2,
     {{1, 2, 0, -1}, {1, -2, 0, 5}, {0, 1, -1, 0}},
     {{1, 1}, {2, 2}}},
    {"equality without integer solution skips that i", 2,
     {{1, 1, 0, 0}, {1, -1, 0, 4}, {0, -1, 2, -1}},
     {{1, 1}, {3, 2}}},
    {"triangle", 2,
     {{1, 0, 1, 0}, {1, 1, -1, 0}, {1, -1, 0, 2}},
     {{0, 0}, {1, 0}, {1, 1}, {2, 0}, {2, 1}, {2, 2}}},
    {"single point", 3,
     {{0, 1, 0, 0, -4}, {0, 0, 1, 0, 2}, {0, 0, 0, 1, -7}},
     {{4, -2, 7}}},
    {"no integer point between rational bounds", 1,
     {{1, 3, -1}, {1, -3, 2}},
     {}},
    {"empty polyhedron", 2,
     {{1, 1, 0, -3}, {1, -1, 0, 1}},
     {}},
    {"one dimension with negative bounds", 1,
     {{1, 2, 7}, {1, -2, -1}},
     {{-3}, {-2}, {-1}}},
};

TEST_F(PointScanner, EnumeratesInLexicographicOrder) {
    for (const ScanCase& c : scan_cases) {
        SCOPED_TRACE(c.name);
        Collector collector{c.dimension, {}};
        std::int64_t coordinates[10] = {};
        EXPECT_EQ(scan_points(make(c.dimension, c.rows), coordinates, collect, &collector), 1);
        EXPECT_EQ(collector.points, c.expected);
    }
}

TEST_F(PointScanner, CallbackStopsTheWholeEnumeration) {
    Collector collector{2, {}, 3};
    std::int64_t coordinates[2];
    Polyhedron* square = make(2, scan_cases[0].rows);
    EXPECT_EQ(scan_points(square, coordinates, collect, &collector), 0);
    EXPECT_EQ(collector.points, (Points{{0, 0}, {0, 1}, {1, 0}}));
}

TEST_F(PointScanner, IgnoresTheSuccessorsOfThePolyhedron) {
    Polyhedron* first = make(1, {{1, 1, 0}, {1, -1, 1}});
    Polyhedron* second = polyhedron_from_rows(1, {{1, 1, -5}, {1, -1, 6}});
    first->next = second;
    Collector collector{1, {}};
    std::int64_t coordinates[1];
    EXPECT_EQ(scan_points(first, coordinates, collect, &collector), 1);
    EXPECT_EQ(collector.points, (Points{{0}, {1}}));
    EXPECT_EQ(first->next, second);
}

TEST_F(PointScanner, HalfLineIsNotClosed) {
    Polyhedron* half_line = make(1, {{1, 1, 0}});
    Collector collector{1, {}};
    std::int64_t coordinates[1];
    int result = -1;
    std::string out;
    std::string err = capture_stderr([&] {
        out = capture_stdout([&] { result = scan_points(half_line, coordinates, collect, &collector); });
    });
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(collector.points.empty());
    EXPECT_EQ(out, "Can't visualize an infinite polyhedron\n\n");
    EXPECT_EQ(err.rfind("Error in scan polyhedron : non closed polyhedron\n", 0), 0u) << err;
    EXPECT_NE(err.find("  1   0 "), std::string::npos) << err;
}

TEST_F(PointScanner, UnboundedInnerVariableReportsOnceAfterEarlierPoints) {
    // The strip 0 <= i <= 1, j >= 0: j has no upper bound.
    Polyhedron* strip = make(2, {{1, 1, 0, 0}, {1, -1, 0, 1}, {1, 0, 1, 0}});
    Collector collector{2, {}};
    std::int64_t coordinates[2];
    int result = -1;
    std::string out;
    std::string err = capture_stderr([&] {
        out = capture_stdout([&] { result = scan_points(strip, coordinates, collect, &collector); });
    });
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(collector.points.empty());
    EXPECT_EQ(out, "Can't visualize an infinite polyhedron\n\n");
    EXPECT_EQ(err.find("non closed"), err.rfind("non closed"));
}

TEST_F(PointScanner, CoordinatesBeyond32BitsAreRefusedNotWrapped) {
    // 0 <= j <= 3, i = 2^30 j: i reaches 2^31 at j = 2.
    Polyhedron* p = make(2, {{0, 1, -(1 << 30), 0}, {1, 0, 1, 0}, {1, 0, -1, 3}});
    Collector collector{2, {}};
    std::int64_t coordinates[2];
    int result = -1;
    std::string out = capture_stdout([&] {
        capture_stderr([&] { result = scan_points(p, coordinates, collect, &collector); });
    });
    EXPECT_EQ(result, 0);
    EXPECT_NE(out.find("exceed 32 bits"), std::string::npos) << out;
    for (const auto& point : collector.points) {
        EXPECT_EQ(point[0], (std::int64_t{1} << 30) * point[1]);
        EXPECT_LE(point[0], INT32_MAX);
    }
}

TEST_F(PointScanner, CoefficientBeyond32BitsIsRefused) {
    Polyhedron* p = make(1, {{1, 1, 0}, {1, -1, std::int64_t{1} << 33}});
    Collector collector{1, {}};
    std::int64_t coordinates[1];
    int result = -1;
    std::string out = capture_stdout([&] {
        capture_stderr([&] { result = scan_points(p, coordinates, collect, &collector); });
    });
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(collector.points.empty());
    EXPECT_NE(out.find("exceed 32 bits"), std::string::npos) << out;
}

TEST_F(PointScanner, LargeValuesInsideThe32BitRangeAreExact) {
    // i in [2^31 - 3, 2^31 - 1], j = i - 2^31 + 1: values whose 32-bit sums would wrap.
    const std::int64_t top = INT32_MAX;
    Polyhedron* p = make(2, {{1, 1, 0, -(top - 2)}, {1, -1, 0, top}, {0, 1, -1, -top}});
    Collector collector{2, {}};
    std::int64_t coordinates[2];
    EXPECT_EQ(scan_points(p, coordinates, collect, &collector), 1);
    EXPECT_EQ(collector.points, (Points{{top - 2, -2}, {top - 1, -1}, {top, 0}}));
}

TEST_F(PointScanner, WideIntermediateValuesStayExact) {
    // 2^23 <= i <= 2^23 + 3, i >= j, 2^30 j >= (2^30 - 1) i: j = i, with row values near 2^53.
    const std::int64_t base = std::int64_t{1} << 23, big = std::int64_t{1} << 30;
    Polyhedron* p = make(2, {{1, 1, 0, -base}, {1, -1, 0, base + 3}, {1, 1, -1, 0}, {1, -(big - 1), big, 0}});
    Collector collector{2, {}};
    std::int64_t coordinates[2];
    EXPECT_EQ(scan_points(p, coordinates, collect, &collector), 1);
    EXPECT_EQ(collector.points, (Points{{base, base}, {base + 1, base + 1}, {base + 2, base + 2}, {base + 3, base + 3}}));
}

// Every point the scanner yields lies in the polyhedron, and every point of a
// surrounding box that lies in it is yielded, in lexicographic order.
TEST_F(PointScanner, AgreesWithMembershipOverABox) {
    const Rows shapes[] = {
        {{1, 1, 0, 0, 0}, {1, 0, 1, 0, 0}, {1, 0, 0, 1, 0}, {1, -1, -1, -1, 6}},
        {{1, 3, -2, 0, 1}, {1, -1, 4, 0, 3}, {1, -2, -2, 0, 9}, {1, 0, 0, 1, 2}, {1, 1, 1, -2, 2}},
        {{0, 1, 1, 1, -3}, {1, 1, 0, 0, 2}, {1, 0, 1, 0, 2}, {1, 0, 0, 1, 2}, {1, -1, 0, 0, 4}, {1, 0, -1, 0, 4}},
        {{1, 5, -3, 0, 2}, {1, -5, 3, 0, 4}, {1, 1, 1, 1, 6}, {1, -1, -1, -1, 6}, {1, 0, 1, 0, 5}, {1, 0, -1, 0, 5}},
    };
    constexpr std::int64_t box = 20;
    for (const Rows& rows : shapes) {
        Polyhedron* p = make(3, rows);
        Collector collector{3, {}};
        std::int64_t coordinates[3];
        ASSERT_EQ(scan_points(p, coordinates, collect, &collector), 1);
        Points expected;
        for (const auto& point : collector.points)
            for (std::int64_t v : point) ASSERT_LE(std::abs(v), box) << "the box must hold the shape";
        for (std::int64_t i = -box; i <= box; ++i)
            for (std::int64_t j = -box; j <= box; ++j)
                for (std::int64_t k = -box; k <= box; ++k) {
                    std::int64_t x[3] = {i, j, k};
                    if (point_in_domain(p, x)) expected.push_back({i, j, k});
                }
        EXPECT_EQ(collector.points, expected);
    }
}

// Polygons whose last variable has one, two or three rows on each side (the
// innermost loop has a form for each small count), some with rational
// bounds: the points are those of the box that lie in the polygon, in order,
// and a stop after a few points keeps exactly those.
TEST_F(PointScanner, PolygonsOfEverySideCountAgreeWithMembership) {
    struct Polygon {
        const char* name;
        Rows rows;
    };
    const Polygon polygons[] = {
        {"one lower, one upper", {{1, 1, 0, 0}, {1, -1, 0, 9}, {1, 0, 1, 0}, {1, 1, -1, 0}}},
        {"one lower, two upper", {{1, 1, 0, 0}, {1, -1, 0, 12}, {1, 0, 1, 0}, {1, 1, -1, 0}, {1, -1, -1, 12}}},
        {"two lower, one upper", {{1, 1, 0, 0}, {1, -1, 0, 12}, {1, 0, 1, 0}, {1, -1, 1, 6}, {1, 0, -1, 8}}},
        {"two rational lower, one upper", {{1, 1, 0, 0}, {1, -1, 0, 14}, {1, -1, 3, 1}, {1, 1, 2, -5}, {1, 0, -1, 10}}},
        {"one lower, two rational upper", {{1, 1, 0, 0}, {1, -1, 0, 14}, {1, 0, 1, 3}, {1, 1, -3, 2}, {1, -1, -2, 25}}},
        {"thin rational band", {{1, 7, -5, 3}, {1, -7, 5, 5}, {1, 1, 1, -2}, {1, -1, -1, 30}}},
        {"three lower, two upper", {{1, 1, 0, 0}, {1, -1, 0, 14}, {1, 0, 1, 0}, {1, -1, 3, 4}, {1, -2, 1, 10},
                                    {1, 0, -1, 12}, {1, -1, -2, 30}}},
        {"negative quadrant, rational", {{1, 2, 3, 17}, {1, -3, 2, 11}, {1, 1, -4, 9}, {1, -1, 0, 0}}},
    };
    constexpr std::int64_t box = 20;
    for (const Polygon& polygon : polygons) {
        SCOPED_TRACE(polygon.name);
        Polyhedron* p = make(2, polygon.rows);
        Points expected;
        for (std::int64_t i = -box; i <= box; ++i)
            for (std::int64_t j = -box; j <= box; ++j) {
                const std::int64_t x[2] = {i, j};
                if (point_in_domain(p, x)) expected.push_back({i, j});
            }
        ASSERT_GE(expected.size(), 4u);
        Collector all{2, {}};
        std::int64_t coordinates[2];
        ASSERT_EQ(scan_points(p, coordinates, collect, &all), 1);
        for (const auto& point : all.points)
            for (std::int64_t v : point) ASSERT_LE(std::abs(v), box) << "the box must hold the polygon";
        EXPECT_EQ(all.points, expected);
        Collector some{2, {}, 4};
        EXPECT_EQ(scan_points(p, coordinates, collect, &some), 0);
        EXPECT_EQ(some.points, Points(expected.begin(), expected.begin() + 4));
    }
}

TEST_F(PointScanner, ScanningMatrixConsumesTheLinesAndGrowsPastItsWorkingRows) {
    Polyhedron* p = make(3, {{1, 1, 0, 0, 0}, {1, 0, 1, 0, 0}, {1, 0, 0, 1, 0}, {1, -1, -1, -1, 5},
                             {1, 1, -1, 0, 3}, {1, 0, 1, -1, 3}});
    auto unit_lines = [] {
        Matrix* lines = Matrix_Alloc(3, 5);
        for (unsigned r = 0; r < 3; ++r)
            for (unsigned c = 0; c < 5; ++c) lines->p[r][c] = c == r + 1;
        return lines;
    };
    Matrix* lines = unit_lines();
    MatrixPtr roomy(Scanning_Matrix(p, lines, 1000));
    EXPECT_EQ(lines->NbRows, 0u);
    lines->NbRows = 3;
    Matrix_Free(lines);
    lines = unit_lines();
    MatrixPtr tight(Scanning_Matrix(p, lines, 1));
    lines->NbRows = 3;
    Matrix_Free(lines);
    ASSERT_TRUE(roomy && tight);
    ASSERT_GT(roomy->NbRows, 1u);
    ASSERT_EQ(roomy->NbRows, tight->NbRows);
    for (unsigned r = 0; r < roomy->NbRows; ++r)
        for (unsigned c = 0; c < 5; ++c) EXPECT_EQ(roomy->p[r][c], tight->p[r][c]);
}

// A polyhedron whose projections overflow inside PolyLib: one line, nothing
// scanned, and PolyLib's state left fit for the next scan.
TEST_F(PointScanner, PolyLibFailureInTheScanningMatrixIsOneLine) {
    Polyhedron* p = make(3, {{1, -762, 1629, 190, 1410},
                             {1, 1542, -2032, 868, 3413},
                             {1, 828, 815, -972, 3818},
                             {1, -789, -808, -645, 5137}});
    Collector collector{3, {}};
    std::int64_t coordinates[3];
    int result = -1;
    std::string out = capture_stdout([&] {
        capture_stderr([&] {
#if defined(__SANITIZE_ADDRESS__)
            // What PolyLib allocated inside the call that threw is lost to
            // it; the fuzzer's regression input checks that nothing of ours is.
            __lsan::ScopedDisabler polylib_losses;
#endif
            result = scan_points(p, coordinates, collect, &collector);
        });
    });
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(collector.points.empty());
    EXPECT_EQ(out, "Can't visualize a polyhedron: PolyLib failed to build its scanning matrix\n");
    Collector square{2, {}};
    EXPECT_EQ(scan_points(make(2, scan_cases[0].rows), coordinates, collect, &square), 1);
    EXPECT_EQ(square.points, scan_cases[0].expected);
}

TEST_F(PointScanner, ScanningMatrixRefusesLinesOfAnotherDimension) {
    Polyhedron* p = make(2, scan_cases[0].rows);
    Matrix* lines = Matrix_Alloc(3, 5);
    Matrix* result = reinterpret_cast<Matrix*>(1);
    std::string out = capture_stdout([&] { result = Scanning_Matrix(p, lines, 1000); });
    Matrix_Free(lines);
    EXPECT_EQ(result, nullptr);
    EXPECT_EQ(out, "? Scanning_Matrix: operation on different dimensions\n\n");
}

struct MembershipCase {
    const char* name;
    std::vector<std::int64_t> point;
    int expected;
};

TEST_F(PointScanner, PointInDomainOfAUnion) {
    // The square [0,2]x[0,1] then the point (5,5) given by equalities.
    Polyhedron* square = polyhedron_from_rows(2, scan_cases[0].rows);
    Polyhedron* point = polyhedron_from_rows(2, {{0, 1, 0, -5}, {0, 0, 1, -5}});
    Polyhedron* domain = union_of({square, point});
    owned.push_back(domain);
    const MembershipCase cases[] = {
        {"inside the first", {1, 1}, 1},
        {"on the boundary of the first", {2, 0}, 1},
        {"outside both", {3, 0}, 0},
        {"only in the second", {5, 5}, 1},
        {"fails the second's equality", {5, 4}, 0},
        {"far away, no overflow", {INT64_MAX / 2, INT64_MIN / 2}, 0},
    };
    for (const MembershipCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(point_in_domain(domain, c.point.data()), c.expected);
    }
    EXPECT_EQ(point_in_domain(nullptr, cases[0].point.data()), 0);
}

TEST_F(PointScanner, PolyhedronWithoutConstraintsAcceptsEveryPoint) {
    Polyhedron* unconstrained = Polyhedron_Alloc(2, 0, 0);
    owned.push_back(unconstrained);
    Polyhedron* first_fails = polyhedron_from_rows(2, {{1, 1, 0, 0}});
    first_fails->next = unconstrained;
    std::int64_t far[2] = {-1000000, 7};
    EXPECT_EQ(point_in_domain(unconstrained, far), 1);
    EXPECT_EQ(point_in_domain(first_fails, far), 1);
    first_fails->next = nullptr;
    Polyhedron_Free(first_fails);
}

}  // namespace

namespace {

// A callback that skips values of an outer coordinate: it is asked before
// the points below each value, and the values it skips are not visited.
struct OuterSkipper {
    int skipped_depth;
    std::int64_t skip;
    unsigned dimension;
    Points points;
    std::vector<std::pair<int, std::int64_t>> asked;   // (depth, remaining)

    int operator()(const std::int64_t* x) {
        points.emplace_back(x, x + dimension);
        return 1;
    }
    std::int64_t outer_skip(int depth, const std::int64_t*, std::int64_t remaining) {
        asked.push_back({depth, remaining});
        return depth == skipped_depth ? skip : 0;
    }
};

struct OuterSkipCase {
    const char* name;
    unsigned dimension;
    Rows rows;
    int skipped_depth;
    std::int64_t skip;
    Points expected;
};

TEST_F(PointScanner, OuterValuesSkippedByTheCallback) {
    const OuterSkipCase cases[] = {
        {"two of every three i of a 7 x 2 box", 2, {{1, 1, 0, 0}, {1, -1, 0, 6}, {1, 0, 1, 0}, {1, 0, -1, 1}}, 0, 2,
         {{2, 0}, {2, 1}, {5, 0}, {5, 1}, {6, 0}, {6, 1}}},
        {"a skip past the end stops at the last value", 2,
         {{1, 1, 0, 0}, {1, -1, 0, 2}, {1, 0, 1, 0}, {1, 0, -1, 0}}, 0, 100, {{2, 0}}},
        {"the middle coordinate of a 3-D box", 3,
         {{1, 1, 0, 0, 0}, {1, -1, 0, 0, 1}, {1, 0, 1, 0, 0}, {1, 0, -1, 0, 3}, {1, 0, 0, 1, 0}, {1, 0, 0, -1, 0}},
         1, 1, {{0, 1, 0}, {0, 3, 0}, {1, 1, 0}, {1, 3, 0}}},
        {"a triangle's rows follow the value reached", 2, {{1, 1, 0, 0}, {1, 0, 1, 0}, {1, -1, -1, 4}}, 0, 1,
         {{1, 0}, {1, 1}, {1, 2}, {1, 3}, {3, 0}, {3, 1}, {4, 0}}},
        {"no skip: every point", 2, {{1, 1, 0, 0}, {1, -1, 0, 1}, {1, 0, 1, 0}, {1, 0, -1, 1}}, 0, 0,
         {{0, 0}, {0, 1}, {1, 0}, {1, 1}}},
    };
    for (const OuterSkipCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScanPlan plan;
        ASSERT_EQ(plan.build(make(c.dimension, c.rows)), ScanPlan::Build::ready);
        OuterSkipper skipper{c.skipped_depth, c.skip, c.dimension, {}, {}};
        std::int64_t x[3] = {};
        EXPECT_EQ(plan.run(x, skipper), ScanResult::done);
        EXPECT_EQ(skipper.points, c.expected);
        for (const auto& [depth, remaining] : skipper.asked) {
            EXPECT_LT(depth, static_cast<int>(c.dimension) - 1);
            EXPECT_GE(remaining, 1);
        }
    }
}

TEST_F(PointScanner, LaterLevelsIgnoringACoordinate) {
    ScanPlan box, triangle;
    ASSERT_EQ(box.build(make(3, {{1, 1, 0, 0, 0}, {1, -1, 0, 0, 5}, {1, 0, 1, 0, 0}, {1, 0, -1, 0, 5},
                                 {1, 0, 0, 1, 0}, {1, 0, 0, -1, 5}})),
              ScanPlan::Build::ready);
    ASSERT_EQ(triangle.build(make(3, {{1, 1, 0, 0, 0}, {1, 0, 1, 0, 0}, {1, -1, -1, 0, 4},
                                      {1, 0, 0, 1, 0}, {1, 0, 0, -1, 2}})),
              ScanPlan::Build::ready);
    EXPECT_TRUE(box.later_levels_ignore(0));
    EXPECT_TRUE(box.later_levels_ignore(1));
    EXPECT_FALSE(triangle.later_levels_ignore(0));   // j <= 4 - i
    EXPECT_TRUE(triangle.later_levels_ignore(1));    // k does not depend on j
    EXPECT_TRUE(box.later_levels_widen_with(0));
    EXPECT_FALSE(triangle.later_levels_widen_with(0));   // j's upper bound falls as i grows
    ScanPlan growing, sloped;
    ASSERT_EQ(growing.build(make(2, {{1, 1, 0, 0}, {1, -1, 0, 9}, {1, 0, 1, 0}, {1, 1, -1, 0}})),
              ScanPlan::Build::ready);   // 0 <= j <= i <= 9
    ASSERT_EQ(sloped.build(make(2, {{1, 1, 0, 0}, {1, -1, 0, 9}, {0, 1, -1, 0}})),
              ScanPlan::Build::ready);   // j = i
    EXPECT_TRUE(growing.later_levels_widen_with(0));
    EXPECT_FALSE(growing.later_levels_ignore(0));
    EXPECT_FALSE(sloped.later_levels_widen_with(0));
}

}  // namespace

namespace {

// The points of a polyhedron inside a box, by membership alone: the oracle of
// the long scans below.
Points members_in_box(const Polyhedron* p, const std::vector<std::int64_t>& low, const std::vector<std::int64_t>& high) {
    Points members;
    std::vector<std::int64_t> x = low;
    const std::size_t d = low.size();
    while (true) {
        if (point_in_domain(p, x.data())) members.push_back(x);
        std::size_t k = d;
        while (k-- > 0) {
            if (++x[k] <= high[k]) break;
            x[k] = low[k];
        }
        if (k == static_cast<std::size_t>(-1)) return members;
    }
}

struct LongScanCase {
    const char* name;
    unsigned dimension;
    Rows rows;
    std::vector<std::int64_t> box_low, box_high;
};

// Sets of hundreds of values of the outer variable: their rows' bounds are
// found a block at a time, from the tightest lower and upper rows of each
// piece of the outer range, copied a period on when both rows repeat. The
// cases cross blocks, pieces and periods, with empty values, negative
// coordinates, rows that cross mid-block and equalities; a stop deep into a
// later block keeps exactly the points before it.
TEST_F(PointScanner, LongScansAgreeWithMembership) {
    const LongScanCase cases[] = {
        {"thin rational band, period 5", 2, {{1, 7, -5, 3}, {1, -7, 5, 5}, {1, 1, 1, -2}, {1, -1, -1, 600}},
         {-5, -5}, {260, 360}},
        {"the same band at negative coordinates", 2, {{1, 7, -5, 3}, {1, -7, 5, 5}, {1, -1, -1, -2}, {1, 1, 1, 600}},
         {-260, -360}, {5, 5}},
        {"wedge of divisors 7 and 11 (period 77), values near its tip without a point", 2,
         {{1, 1, 0, 0}, {1, -1, 0, 300}, {1, -11, 7, 6}, {1, 17, -11, 40}}, {-1, -1}, {301, 300}},
        {"triangle of unit divisors, period 1", 2, {{1, 1, 0, 0}, {1, -1, 0, 300}, {1, 0, 1, 0}, {1, 1, -1, 0}},
         {-1, -1}, {301, 301}},
        {"lower rows crossing mid-block, rational upper", 2,
         {{1, 0, 1, 0}, {1, 0, -1, 250}, {1, -1, 2, 0}, {1, -2, 1, 150}, {1, 3, -2, 400}}, {-134, -1}, {201, 251}},
        {"octagon: four pieces on each side", 2,
         {{1, 1, 0, 100}, {1, -1, 0, 100}, {1, 0, 1, 100}, {1, 0, -1, 100}, {1, 1, 1, 140}, {1, -1, -1, 140},
          {1, 1, -1, 140}, {1, -1, 1, 140}, {1, 3, 5, 420}, {1, -3, -5, 420}},
         {-101, -101}, {101, 101}},
        {"equality on the last level: j = (2i + 1) / 3 where whole", 2,
         {{1, 1, 0, 0}, {1, -1, 0, 700}, {0, 2, -3, 1}}, {-1, -1}, {701, 468}},
        {"thin 3-D slab, the last two levels run for every value of the first", 3,
         {{1, 1, 0, 0, 0}, {1, -1, 0, 0, 3}, {1, 0, 1, 0, 0}, {1, 0, -1, 0, 200}, {1, 1, 3, -4, 2},
          {1, -1, -3, 4, 4}},
         {-1, -1, -2}, {4, 201, 152}},
    };
    for (const LongScanCase& c : cases) {
        SCOPED_TRACE(c.name);
        Polyhedron* p = make(c.dimension, c.rows);
        const Points expected = members_in_box(p, c.box_low, c.box_high);
        ASSERT_GE(expected.size(), 200u);
        Collector all{c.dimension, {}};
        std::int64_t coordinates[3];
        ASSERT_EQ(scan_points(p, coordinates, collect, &all), 1);
        for (const auto& point : all.points)
            for (std::size_t k = 0; k < c.dimension; ++k) {
                ASSERT_GT(point[k], c.box_low[k]) << "the box must hold the set";
                ASSERT_LT(point[k], c.box_high[k]) << "the box must hold the set";
            }
        EXPECT_EQ(all.points, expected);
        for (std::size_t stop : {std::size_t{150}, expected.size() - 1}) {
            Collector some{c.dimension, {}, stop};
            EXPECT_EQ(scan_points(p, coordinates, collect, &some), 0);
            EXPECT_EQ(some.points, Points(expected.begin(), expected.begin() + static_cast<std::ptrdiff_t>(stop)));
        }
    }
}

// j within one of 2^24 i: j reaches 2^31 at i = 128, in the third block of
// values of i. The points before are all given, none of them wrapped, and
// the scan ends refused.
TEST_F(PointScanner, BoundsLeavingThe32BitRangeInALaterBlockStopThere) {
    const std::int64_t slope = std::int64_t{1} << 24;
    Polyhedron* p = make(2, {{1, 1, 0, 0}, {1, -1, 0, 200}, {1, -slope, 1, 0}, {1, slope, -1, 1}});
    Collector collector{2, {}};
    std::int64_t coordinates[2];
    int result = -1;
    std::string out = capture_stdout([&] {
        capture_stderr([&] { result = scan_points(p, coordinates, collect, &collector); });
    });
    EXPECT_EQ(result, 0);
    EXPECT_NE(out.find("exceed 32 bits"), std::string::npos) << out;
    Points expected;
    for (std::int64_t i = 0; i < 128; ++i) expected.insert(expected.end(), {{i, slope * i}, {i, slope * i + 1}});
    EXPECT_EQ(collector.points, expected);
}

}  // namespace
