// Integer point enumeration on four sets: our scanner (with and without the
// PolyLib set-up, through a callback pointer or inlined), isl's
// isl_set_foreach_point, and a hand-written loop nest for the same set.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <isl/ctx.h>
#include <isl/point.h>
#include <isl/set.h>
#include <stdexcept>
#include <vector>

#include "base/locks.h"
#include "view/point_scanner.h"

namespace {

constexpr std::int64_t triangle_side = 2000;
constexpr std::int64_t simplex_side = 200;
constexpr std::int64_t box_side = 30;
constexpr std::int64_t band_length = 300000;

using Rows = std::vector<std::vector<std::int64_t>>;

struct Set {
    const char* isl_text;
    unsigned dimension;
    Rows rows;
};

// -3 <= 7i - 5j <= 5 and 2 <= i + j <= band_length: a band of slope 7/5 about
// 1.6 points wide, with rational vertices.
const Set sets[] = {
    {"{ [i,j] : 0 <= j <= i <= 2000 }", 2, {{1, 0, 1, 0}, {1, 1, -1, 0}, {1, -1, 0, triangle_side}}},
    {"{ [i,j,k] : i >= 0 and j >= 0 and k >= 0 and i + j + k <= 200 }", 3,
     {{1, 1, 0, 0, 0}, {1, 0, 1, 0, 0}, {1, 0, 0, 1, 0}, {1, -1, -1, -1, simplex_side}}},
    {"{ [a,b,c,d] : 0 <= a <= 29 and 0 <= b <= 29 and 0 <= c <= 29 and 0 <= d <= 29 }", 4,
     {{1, 1, 0, 0, 0, 0}, {1, -1, 0, 0, 0, box_side - 1}, {1, 0, 1, 0, 0, 0}, {1, 0, -1, 0, 0, box_side - 1},
      {1, 0, 0, 1, 0, 0}, {1, 0, 0, -1, 0, box_side - 1}, {1, 0, 0, 0, 1, 0}, {1, 0, 0, 0, -1, box_side - 1}}},
    {"{ [i,j] : -3 <= 7i - 5j <= 5 and 2 <= i + j <= 300000 }", 2,
     {{1, 7, -5, 3}, {1, -7, 5, 5}, {1, 1, 1, -2}, {1, -1, -1, band_length}}},
};
const char* set_names[] = {"triangle_2000", "simplex_200", "box_30^4", "thin_band"};

struct Counter {
    std::int64_t points = 0;
    std::int64_t checksum = 0;
};

int count_point(const std::int64_t* x, void* data) {
    auto* c = static_cast<Counter*>(data);
    ++c->points;
    c->checksum += x[0];
    return 1;
}

Polyhedron* polyhedron_of(const Set& set) {
    Matrix* m = Matrix_Alloc(static_cast<unsigned>(set.rows.size()), set.dimension + 2);
    for (unsigned r = 0; r < set.rows.size(); ++r)
        for (unsigned c = 0; c < set.dimension + 2; ++c) m->p[r][c] = set.rows[r][c];
    Polyhedron* p = Constraints2Polyhedron(m, 1000);
    Matrix_Free(m);
    return p;
}

std::int64_t floor_div(std::int64_t a, std::int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }
std::int64_t ceil_div(std::int64_t a, std::int64_t b) { return -floor_div(-a, b); }

// The hand-written loop nests: coordinates in an array, one call per point,
// and the same contract as the scanner's: a callback's 0 stops the whole
// enumeration (a nest that ignored it would compare less work).
template <class Visit>
void hand_loop(int which, std::int64_t* x, Visit&& visit) {
    switch (which) {
    case 0:
        for (x[0] = 0; x[0] <= triangle_side; ++x[0])
            for (x[1] = 0; x[1] <= x[0]; ++x[1]) if (!visit(x)) return;
        break;
    case 1:
        for (x[0] = 0; x[0] <= simplex_side; ++x[0])
            for (x[1] = 0; x[1] <= simplex_side - x[0]; ++x[1])
                for (x[2] = 0; x[2] <= simplex_side - x[0] - x[1]; ++x[2]) if (!visit(x)) return;
        break;
    case 2:
        for (x[0] = 0; x[0] < box_side; ++x[0])
            for (x[1] = 0; x[1] < box_side; ++x[1])
                for (x[2] = 0; x[2] < box_side; ++x[2])
                    for (x[3] = 0; x[3] < box_side; ++x[3]) if (!visit(x)) return;
        break;
    case 3:
        for (x[0] = 1; x[0] <= floor_div(5 * band_length + 5, 12); ++x[0]) {
            const std::int64_t low = std::max(ceil_div(7 * x[0] - 5, 5), 2 - x[0]);
            const std::int64_t high = std::min(floor_div(7 * x[0] + 3, 5), band_length - x[0]);
            for (x[1] = low; x[1] <= high; ++x[1]) if (!visit(x)) return;
        }
        break;
    }
}

void finish(benchmark::State& state, const Counter& counter, std::int64_t iterations) {
    const std::int64_t per_run = counter.points / std::max<std::int64_t>(iterations, 1);
    state.SetItemsProcessed(counter.points);
    state.counters["points"] = static_cast<double>(per_run);
    state.counters["ns_per_point"] = benchmark::Counter(static_cast<double>(counter.points),
                                                        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    benchmark::DoNotOptimize(counter.checksum);
}

// Whole scan_points: scanning matrix (PolyLib) and enumeration.
void BM_scan_points(benchmark::State& state) {
    DomainLock lock;
    const int which = static_cast<int>(state.range(0));
    DomainPtr p(polyhedron_of(sets[which]));
    std::int64_t x[4];
    Counter counter;
    point_callback callback = count_point;
    benchmark::DoNotOptimize(callback);
    std::int64_t runs = 0;
    for (auto _ : state) {
        if (scan_points(p.get(), x, callback, &counter) != 1) throw std::runtime_error("scan failed");
        ++runs;
    }
    finish(state, counter, runs);
    state.SetLabel(set_names[which]);
}

// Enumeration only, the scanning matrix built beforehand; callback through a pointer.
void BM_scan_plan(benchmark::State& state) {
    DomainLock lock;
    const int which = static_cast<int>(state.range(0));
    DomainPtr p(polyhedron_of(sets[which]));
    ScanPlan plan;
    plan.build(p.get());
    std::int64_t x[4];
    Counter counter;
    point_callback callback = count_point;
    benchmark::DoNotOptimize(callback);
    std::int64_t runs = 0;
    for (auto _ : state) {
        plan.run(x, [&](const std::int64_t* point) { return callback(point, &counter); });
        ++runs;
    }
    finish(state, counter, runs);
    state.SetLabel(set_names[which]);
}

// Enumeration only with the counting inlined into the innermost loop.
void BM_scan_plan_inline(benchmark::State& state) {
    DomainLock lock;
    const int which = static_cast<int>(state.range(0));
    DomainPtr p(polyhedron_of(sets[which]));
    ScanPlan plan;
    plan.build(p.get());
    std::int64_t x[4];
    Counter counter;
    std::int64_t runs = 0;
    for (auto _ : state) {
        plan.run(x, [&](const std::int64_t* point) {
            ++counter.points;
            counter.checksum += point[0];
            return 1;
        });
        ++runs;
    }
    finish(state, counter, runs);
    state.SetLabel(set_names[which]);
}

isl_stat count_isl_point(isl_point* point, void* data) {
    ++static_cast<Counter*>(data)->points;
    isl_point_free(point);
    return isl_stat_ok;
}

void BM_isl_foreach_point(benchmark::State& state) {
    const int which = static_cast<int>(state.range(0));
    isl_ctx* ctx = isl_ctx_alloc();
    isl_set* set = isl_set_read_from_str(ctx, sets[which].isl_text);
    Counter counter;
    std::int64_t runs = 0;
    for (auto _ : state) {
        isl_set_foreach_point(set, count_isl_point, &counter);
        ++runs;
    }
    isl_set_free(set);
    isl_ctx_free(ctx);
    finish(state, counter, runs);
    state.SetLabel(set_names[which]);
}

void BM_hand_loop(benchmark::State& state) {
    const int which = static_cast<int>(state.range(0));
    std::int64_t x[4];
    Counter counter;
    point_callback callback = count_point;
    benchmark::DoNotOptimize(callback);
    std::int64_t runs = 0;
    for (auto _ : state) {
        hand_loop(which, x, [&](const std::int64_t* point) { return callback(point, &counter) != 0; });
        ++runs;
    }
    finish(state, counter, runs);
    state.SetLabel(set_names[which]);
}

void BM_hand_loop_inline(benchmark::State& state) {
    const int which = static_cast<int>(state.range(0));
    std::int64_t x[4];
    Counter counter;
    std::int64_t runs = 0;
    for (auto _ : state) {
        hand_loop(which, x, [&](const std::int64_t* point) {
            ++counter.points;
            counter.checksum += point[0];
            benchmark::ClobberMemory();
            return true;
        });
        ++runs;
    }
    finish(state, counter, runs);
    state.SetLabel(set_names[which]);
}

// Every enumerator must see the same points, or the comparison means nothing.
void check_counts() {
    DomainLock lock;
    for (int which = 0; which < 4; ++which) {
        DomainPtr p(polyhedron_of(sets[which]));
        std::int64_t x[4];
        Counter ours, hand, isl;
        scan_points(p.get(), x, count_point, &ours);
        hand_loop(which, x, [&](const std::int64_t* point) { return count_point(point, &hand) != 0; });
        isl_ctx* ctx = isl_ctx_alloc();
        isl_set* set = isl_set_read_from_str(ctx, sets[which].isl_text);
        isl_set_foreach_point(set, count_isl_point, &isl);
        isl_set_free(set);
        isl_ctx_free(ctx);
        if (ours.points != hand.points || ours.checksum != hand.checksum || ours.points != isl.points)
            throw std::runtime_error(std::string("enumerators disagree on ") + set_names[which]);
    }
}

}  // namespace

BENCHMARK(BM_scan_points)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_scan_plan)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_scan_plan_inline)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_hand_loop)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_hand_loop_inline)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_isl_foreach_point)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    check_counts();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
