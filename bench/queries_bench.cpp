// The statements on integer points against the bare work they stand on:
// points listing a million points against the scanner of the viewer over the
// same points with the same text written; codegen, the tests between domains
// and gist in 2 to 10 dimensions against the PolyLib calls they make.
#include <benchmark/benchmark.h>

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/locks.h"
#include "calculus/domain_tests.h"
#include "calculus/gist.h"
#include "calculus/point_queries.h"
#include "store/registry.h"
#include "view/point_scanner.h"

namespace {

using Rows = std::vector<std::vector<long>>;

Polyhedron* polyhedron_of(unsigned dimension, const Rows& rows) {
    Matrix* m = Matrix_Alloc(static_cast<unsigned>(rows.size()), dimension + 2);
    for (unsigned r = 0; r < rows.size(); ++r)
        for (unsigned c = 0; c < dimension + 2; ++c) value_set_si(m->p[r][c], rows[r][c]);
    Polyhedron* p = Constraints2Polyhedron(m, 100);
    Matrix_Free(m);
    return p;
}

VarNode* names_of(unsigned dimension, const std::string& prefix = "x") {
    VarNode* vars = nullptr;
    for (unsigned k = 0; k < dimension; ++k) vars = new VarNode{prefix + std::to_string(k), static_cast<int>(k) + 1, vars};
    return vars;
}

// A session whose answers go nowhere, holding the benchmark's domains.
class Store {
public:
    Store() : null_(std::fopen("/dev/null", "w")), session_(null_) {
        DomainLock lock;
        add("K", 0, Empty_Polyhedron(0));
    }
    ~Store() {
        { DomainLock lock; release_store(session_.registries); }
        std::fclose(null_);
    }
    // Expects domain_lock held; takes the polyhedron.
    void add(const std::string& name, unsigned dimension, Polyhedron* p, const std::string& prefix = "x") {
        session_.registries.DomainList =
            add_domain_in_list(session_, name, names_of(dimension, prefix), p, session_.registries.DomainList);
    }
    StoreSession& session() { return session_; }
    DomainEntry* list() { return session_.registries.DomainList; }
    FILE* out() { return null_; }

private:
    FILE* null_;
    StoreSession session_;
};

// ---- points: a million points listed ------------------------------------------

struct Listed {
    const char* name;
    unsigned dimension;
    std::vector<Rows> pieces;   // a union when more than one
};

constexpr long box_side = 1000, triangle_side = 1413, simplex_side = 180, band_length = 600000;

const Listed listed[] = {
    {"box_1000^2", 2, {{{1, 1, 0, 0}, {1, -1, 0, box_side - 1}, {1, 0, 1, 0}, {1, 0, -1, box_side - 1}}}},
    {"triangle_1413", 2, {{{1, 0, 1, 0}, {1, 1, -1, 0}, {1, -1, 0, triangle_side}}}},
    {"simplex_180", 3, {{{1, 1, 0, 0, 0}, {1, 0, 1, 0, 0}, {1, 0, 0, 1, 0}, {1, -1, -1, -1, simplex_side}}}},
    {"thin_band", 2, {{{1, 7, -5, 3}, {1, -7, 5, 5}, {1, 1, 1, -2}, {1, -1, -1, band_length}}}},
    {"two_crossing_boxes", 2,
     {{{1, 1, 0, 0}, {1, -1, 0, 999}, {1, 0, 1, 0}, {1, 0, -1, 599}},
      {{1, 1, 0, -300}, {1, -1, 0, 699}, {1, 0, 1, 0}, {1, 0, -1, 999}}}},
};

// The text of the points statement, written the way it writes it.
class PointWriter {
public:
    explicit PointWriter(FILE* out) : out_(out) {}
    ~PointWriter() { flush(); }
    int operator()(const std::int64_t* x, unsigned n) {
        text_ += "  (";
        for (unsigned k = 0; k < n; ++k) {
            if (k) text_ += ", ";
            char digits[24];
            text_.append(digits, std::to_chars(digits, digits + sizeof digits, x[k]).ptr);
        }
        text_ += ")\n";
        if (text_.size() >= 65536) flush();
        return 1;
    }
    void flush() {
        std::fwrite(text_.data(), 1, text_.size(), out_);
        text_.clear();
    }

private:
    FILE* out_;
    std::string text_;
};

void declare_listed(Store& store, const Listed& l) {
    DomainLock lock;
    Polyhedron* domain = nullptr;
    for (auto piece = l.pieces.rbegin(); piece != l.pieces.rend(); ++piece) {
        Polyhedron* p = polyhedron_of(l.dimension, *piece);
        p->next = domain;
        domain = p;
    }
    store.add("D", l.dimension, domain);
}

void BM_PointsStatement(benchmark::State& state) {
    const Listed& l = listed[state.range(0)];
    Store store;
    declare_listed(store, l);
    for (auto _ : state) {
        DomainLock lock;
        answer_point_query(store.session(), {PointQuery::points, "D", "K", 2000000}, store.list());
        std::fflush(store.out());
    }
    state.SetLabel(l.name);
    if (store.session().report.statement_refused) state.SkipWithError("refused");
}

// The viewer's scanner over the same points (the pieces of a union one after
// the other), each point written as the statement writes it.
void BM_BareScannerWritingThePoints(benchmark::State& state) {
    const Listed& l = listed[state.range(0)];
    Store store;
    declare_listed(store, l);
    std::int64_t points = 0;
    for (auto _ : state) {
        DomainLock lock;
        PointWriter write(store.out());
        std::vector<std::int64_t> x(l.dimension);
        points = 0;
        for (Polyhedron* p = lookup_domain("D", store.list())->domain; p; p = p->next)
            scan_points_by(p, x.data(), [&](const std::int64_t* point) {
                ++points;
                return write(point, l.dimension);
            });
    }
    state.SetLabel(l.name);
    state.counters["points"] = static_cast<double>(points);
}

BENCHMARK(BM_PointsStatement)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareScannerWritingThePoints)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

// ---- codegen, tests and gist in 2 to 10 dimensions -----------------------------

// x >= 0 for each variable and x1 + ... + xd <= size (with size a parameter N
// when `parametric`, the last dimension).
Rows simplex_rows(unsigned d, long size, bool parametric) {
    unsigned width = d + (parametric ? 1 : 0) + 2;
    Rows rows;
    for (unsigned k = 0; k < d; ++k) {
        std::vector<long> r(width, 0);
        r[0] = 1;
        r[1 + k] = 1;
        rows.push_back(r);
    }
    std::vector<long> sum(width, 0);
    sum[0] = 1;
    for (unsigned k = 0; k < d; ++k) sum[1 + k] = -1;
    if (parametric)
        sum[1 + d] = 1;
    else
        sum[width - 1] = size;
    rows.push_back(sum);
    return rows;
}

// 0 <= x <= size for each variable.
Rows cube_rows(unsigned d, long size) {
    Rows rows;
    for (unsigned k = 0; k < d; ++k) {
        std::vector<long> low(d + 2, 0), high(d + 2, 0);
        low[0] = high[0] = 1;
        low[1 + k] = 1;
        high[1 + k] = -1;
        high[d + 1] = size;
        rows.push_back(low);
        rows.push_back(high);
    }
    return rows;
}

void BM_CodegenStatement(benchmark::State& state) {
    auto d = static_cast<unsigned>(state.range(0));
    Store store;
    {
        DomainLock lock;
        store.add("S", d + 1, polyhedron_of(d + 1, simplex_rows(d, 0, true)));
        store.add("C", 1, polyhedron_of(1, {{1, 1, 0}}), "N");
    }
    for (auto _ : state) {
        DomainLock lock;
        print_codegen(store.session(), "S", "C", store.list());
        std::fflush(store.out());
    }
    if (store.session().report.statement_refused) state.SkipWithError("refused");
}

void BM_BarePolyhedronScan(benchmark::State& state) {
    auto d = static_cast<unsigned>(state.range(0));
    DomainLock lock;
    Polyhedron* s = polyhedron_of(d + 1, simplex_rows(d, 0, true));
    Polyhedron* c = polyhedron_of(1, {{1, 1, 0}});
    for (auto _ : state) {
        Polyhedron* copy = Polyhedron_Copy(s);
        Polyhedron* levels = Polyhedron_Scan(copy, c, 100);
        benchmark::DoNotOptimize(levels);
        Domain_Free(levels);
        Polyhedron_Free(copy);
    }
    Polyhedron_Free(s);
    Polyhedron_Free(c);
}

// issubset (S, B) holds (the difference is empty); issubset (B, S) does not,
// and each piece of that difference is searched for a point.
void BM_IssubsetStatement(benchmark::State& state) {
    auto d = static_cast<unsigned>(state.range(0));
    bool holds = state.range(1) != 0;
    Store store;
    {
        DomainLock lock;
        store.add("S", d, polyhedron_of(d, simplex_rows(d, 10, false)));
        store.add("B", d, polyhedron_of(d, cube_rows(d, 10)));
    }
    for (auto _ : state) {
        DomainLock lock;
        print_domain_test(store.session(), DomainTest::subset, holds ? "S" : "B", holds ? "B" : "S",
                          store.list());
        std::fflush(store.out());
    }
}

void BM_BareDifferenceAndScans(benchmark::State& state) {
    auto d = static_cast<unsigned>(state.range(0));
    bool holds = state.range(1) != 0;
    DomainLock lock;
    Polyhedron* s = polyhedron_of(d, simplex_rows(d, 10, false));
    Polyhedron* b = polyhedron_of(d, cube_rows(d, 10));
    Polyhedron* universe = Universe_Polyhedron(0);
    for (auto _ : state) {
        Polyhedron* difference = holds ? DomainDifference(s, b, 100) : DomainDifference(b, s, 100);
        for (Polyhedron* p = difference; p; p = p->next) {
            if (emptyQ(p)) continue;
            Polyhedron* copy = Polyhedron_Copy(p);
            Domain_Free(Polyhedron_Scan(copy, universe, 100));
            Polyhedron_Free(copy);
        }
        Domain_Free(difference);
    }
    Polyhedron_Free(s);
    Polyhedron_Free(b);
    Polyhedron_Free(universe);
}

// gist (B, H) of the cube B = [0, 10]^d. With H: x1 + ... + xd <= 5 d every
// row of B stays; with H the box [0, 10] on the first half of the
// dimensions, their rows go. The result is stored, echoed, and deleted for
// the next round.
Rows gist_context(unsigned d, bool drops) {
    if (!drops) return {simplex_rows(d, 5 * d, false).back()};
    Rows cube = cube_rows(d, 10);
    return Rows(cube.begin(), cube.begin() + 2 * (d / 2));
}

void BM_GistStatement(benchmark::State& state) {
    auto d = static_cast<unsigned>(state.range(0));
    bool drops = state.range(1) != 0;
    Store store;
    {
        DomainLock lock;
        store.add("B", d, polyhedron_of(d, cube_rows(d, 10)));
        store.add("H", d, polyhedron_of(d, gist_context(d, drops)));
    }
    for (auto _ : state) {
        DomainLock lock;
        DomainEntry*& list = store.session().registries.DomainList;
        list = gen_pol_gist(store.session(), "G", "B", "H", list);
        list = delete_domain_in_list(store.session(), "G", list);
        std::fflush(store.out());
    }
    if (store.session().report.statement_refused) state.SkipWithError("refused");
}

void BM_BareDomainSimplify(benchmark::State& state) {
    auto d = static_cast<unsigned>(state.range(0));
    bool drops = state.range(1) != 0;
    DomainLock lock;
    Polyhedron* b = polyhedron_of(d, cube_rows(d, 10));
    for (auto _ : state) {
        Polyhedron* wide = polyhedron_of(d, gist_context(d, drops));
        Polyhedron* g = DomainSimplify(b, wide, 100);
        benchmark::DoNotOptimize(g);
        Domain_Free(g);
        Polyhedron_Free(wide);
    }
    Polyhedron_Free(b);
}

void dimensions(benchmark::internal::Benchmark* b) {
    for (int d : {2, 4, 6, 8, 10}) b->Arg(d);
}

void dimensions_and_answers(benchmark::internal::Benchmark* b) {
    for (int d : {2, 4, 6, 8, 10})
        for (int holds : {1, 0}) b->Args({d, holds});
}

BENCHMARK(BM_CodegenStatement)->Apply(dimensions)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BarePolyhedronScan)->Apply(dimensions)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_IssubsetStatement)->Apply(dimensions_and_answers)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BareDifferenceAndScans)->Apply(dimensions_and_answers)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GistStatement)->Apply(dimensions_and_answers)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BareDomainSimplify)->Apply(dimensions_and_answers)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
