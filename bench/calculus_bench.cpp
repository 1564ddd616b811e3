// The calculus's answers against the bare work they stand on, in one run:
// parametric lexmin/lexmax against isl's own call on the same sets (the
// check included); card of large polytopes without parameters against the
// loop nest's count of their points; and the checks that make answers exact
// against the bare PolyLib calls they check (card of the 6-D simplex at
// N = 0..99 against PolyLib's enumeration, a declaration against
// Constraints2Polyhedron, ehrhart 20 ms after the last statement against
// Polyhedron_Enumerate).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <isl/aff.h>
#include <isl/ctx.h>
#include <isl/options.h>
#include <isl/set.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "base/locks.h"
#include "base/polylib.h"
#include "calculus/analyses.h"
#include "calculus/chamber_counts.h"
#include "calculus/loop_nest.h"
#include "calculus/operations.h"
#include "calculus/point_queries.h"
#include "formats/constraint_rows.h"
#include "formats/isl_notation.h"
#include "store/registry.h"
#include "worker/analysis_worker.h"

namespace {

// A session whose answers go nowhere, holding the benchmark's domains.
class Store {
public:
    Store() : null_(std::fopen("/dev/null", "w")), session_(null_) {}
    ~Store() {
        {
            DomainLock lock;
            release_store(session_.registries);
        }
        std::fclose(null_);
    }
    // Declares `name` from the constraint notation; expects domain_lock held.
    void declare(const std::string& name, const std::string& text) {
        ParsedSet set = std::get<ParsedSet>(read_constraint_notation(text));
        auto built = build_domain_from_rows(static_cast<unsigned>(set.names.size()), set.pieces);
        DomainPtr domain = std::move(std::get<DomainPtr>(built));
        VarNode* vars = nullptr;
        for (std::size_t k = set.names.size(); k-- > 0;)
            vars = new VarNode{set.names[k], static_cast<int>(k) + 1, vars};
        session_.registries.DomainList =
            add_domain_in_list(session_, name, vars, domain.release(), session_.registries.DomainList);
    }
    StoreSession& session() { return session_; }
    DomainEntry* list() { return session_.registries.DomainList; }

private:
    FILE* null_;
    StoreSession session_;
};

// ---- Parametric lexmin and lexmax against isl's own call -------------------

struct ParametricSet {
    const char* name;
    const char* domain;    // constraint notation, the last dimensions parameters
    const char* context;
    const char* isl;       // the same set within the context, in isl's notation
};

const ParametricSet parametric_sets[] = {
    {"triangle", "{ i, j, N | 0 <= j <= i <= N }", "{ N | N >= 0 }", "[N] -> { [i, j] : 0 <= j <= i <= N and N >= 0 }"},
    {"division", "{ i, j, N, M | 0 <= i <= N, 0 <= j <= M, 3j <= i + 7 }", "{ N, M | N >= -3, M >= -2 }",
     "[N, M] -> { [i, j] : 0 <= i <= N and 0 <= j <= M and 3j <= i + 7 and N >= -3 and M >= -2 }"},
    {"three_variables", "{ i, j, k, N, M | 0 <= i <= N, 0 <= j <= M, 3j <= i + 7, k >= i - j, 2k <= N + M }",
     "{ N, M | N >= 0, M >= 0 }",
     "[N, M] -> { [i, j, k] : 0 <= i <= N and 0 <= j <= M and 3j <= i + 7 and k >= i - j and 2k <= N + M and N >= 0 "
     "and M >= 0 }"},
    {"stride", "{ i, j, N | i = 2j, 0 <= j, i <= N }", "{ N | N >= 0 }",
     "[N] -> { [i, j] : i = 2j and 0 <= j and i <= N and N >= 0 }"},
};

void BM_LexmaxStatement(benchmark::State& state, const ParametricSet& set) {
    Store store;
    {
        DomainLock lock;
        store.declare("P", set.domain);
        store.declare("K", set.context);
    }
    PointQuestion question{PointQuery::lexmax, "P", "K"};
    for (auto _ : state) {
        DomainLock lock;
        answer_point_query(store.session(), question, store.list());
    }
}

void BM_IslLexmax(benchmark::State& state, const ParametricSet& set) {
    for (auto _ : state) {
        isl_ctx* ctx = isl_ctx_alloc();
        isl_options_set_on_error(ctx, ISL_ON_ERROR_CONTINUE);
        isl_set* s = isl_set_read_from_str(ctx, set.isl);
        isl_pw_multi_aff* m = isl_set_lexmax_pw_multi_aff(s);
        benchmark::DoNotOptimize(m);
        isl_pw_multi_aff_free(m);
        isl_ctx_free(ctx);
    }
}

// ---- card of large polytopes without parameters ----------------------------------

std::string box4(const char* side) {
    std::string s = side;
    return "{ a, b, c, d | 0 <= a <= " + s + ", 0 <= b <= " + s + ", 0 <= c <= " + s + ", 0 <= d <= " + s + " }";
}

std::string cross5(int radius) {
    std::string names = "abcde", text = "{ a, b, c, d, e | ";
    for (unsigned signs = 0; signs < 32; ++signs) {
        if (signs) text += ", ";
        for (unsigned k = 0; k < 5; ++k) text += std::string(signs >> k & 1 ? "-" : (k ? "+" : "")) + names[k];
        text += " <= " + std::to_string(radius);
    }
    return text + " }";
}

const std::string large_sets[][2] = {
    {"box_1000", box4("1000")},
    {"box_1000000", box4("1000000")},
    {"simplex_100", "{ a, b, c, d, e, f | a >= 0, b >= 0, c >= 0, d >= 0, e >= 0, f >= 0, a+b+c+d+e+f <= 100 }"},
    {"cross_polytope_50", cross5(50)},
};

void BM_CardStatement(benchmark::State& state, int which) {
    Store store;
    {
        DomainLock lock;
        store.declare("P", large_sets[which][1]);
        store.declare("K", "{ | }");
    }
    PointQuestion question{PointQuery::card, "P", "K"};
    for (auto _ : state) {
        DomainLock lock;
        answer_point_query(store.session(), question, store.list());
    }
}

// The loop nest's own count of the points (its innermost level counted
// in closed form), as `points` and the old check counted them.
void BM_LoopNestCount(benchmark::State& state, int which) {
    Store store;
    LoopNest nest;
    {
        DomainLock lock;
        store.declare("P", large_sets[which][1]);
        build_loop_nest(lookup_domain("P", store.list())->domain, nullptr, nest);
    }
    unsigned __int128 total = 0;
    for (auto _ : state) {
        NestRunner runner(nest);
        runner.fix_parameters(nullptr);
        total = 0;
        runner.count(total);
    }
    state.counters["points"] = static_cast<double>(total);
}

// ---- The checks against the bare calls --------------------------------------------

const char* const simplex6 = "{ a, b, c, d, e, f, N | a >= 0, b >= 0, c >= 0, d >= 0, e >= 0, f >= 0, a+b+c+d+e+f <= N }";

// card of the 6-D simplex at N = 0..99, the checked route.
void BM_CardSimplexStatement(benchmark::State& state) {
    Store store;
    DomainLock lock;
    if (!prepare_analysis_worker()) state.SkipWithError("no analysis worker");
    store.declare("P", simplex6);
    store.declare("K", "{ N | 0 <= N <= 99 }");
    PointQuestion question{PointQuery::card, "P", "K"};
    for (auto _ : state) answer_point_query(store.session(), question, store.list());
    stop_analysis_worker();
}

// PolyLib's enumeration of the same simplex in the context N >= 0, N <= 99.
void BM_CardSimplexBarePolyLib(benchmark::State& state) {
    Store store;
    DomainLock lock;
    store.declare("P", simplex6);
    store.declare("K", "{ N | 0 <= N <= 99 }");
    Polyhedron* domain = lookup_domain("P", store.list())->domain;
    Polyhedron* context = lookup_domain("K", store.list())->domain;
    for (auto _ : state) {
        Polyhedron* copy = Polyhedron_Copy(domain);
        Enumeration* e = Polyhedron_Enumerate(copy, context, 100, nullptr);
        benchmark::DoNotOptimize(e);
        Enumeration_Free(e);
        Polyhedron_Free(copy);
    }
}

// The same enumeration with each chamber's quasi-polynomial checked: the
// work the worker does for card, without the exchange (the statement hands
// it the loop nest it made for itself), or for ehrhart (which makes it).
void checked_simplex(benchmark::State& state, bool nest_given) {
    Store store;
    DomainLock lock;
    store.declare("P", simplex6);
    store.declare("K", "{ N | 0 <= N <= 99 }");
    Polyhedron* domain = lookup_domain("P", store.list())->domain;
    Polyhedron* context = lookup_domain("K", store.list())->domain;
    LoopNest nest;
    build_loop_nest(domain, context, nest);
    for (auto _ : state) {
        std::uint64_t budget = std::uint64_t{1} << 24;
        PieceCount count = counted_chambers(domain, context, budget, {}, CountRoute::polylib_enumeration,
                                            nest_given ? &nest : nullptr);
        if (!count.polylib_held) state.SkipWithError("PolyLib's enumeration failed its check");
        benchmark::DoNotOptimize(count);
    }
}

void BM_CardSimplexChecked(benchmark::State& state) { checked_simplex(state, true); }
void BM_CardSimplexCheckedWithItsNest(benchmark::State& state) { checked_simplex(state, false); }

// The simplex x1 + ... + xd <= 10, x >= 0, and the 0/1 box of d dimensions,
// as rows.
PieceRows simplex_rows(unsigned d) {
    PieceRows rows;
    for (unsigned k = 0; k < d; ++k) {
        ConstraintRow r(d + 2, 0);
        r[0] = 1;
        r[k + 1] = 1;
        rows.push_back(r);
    }
    ConstraintRow sum(d + 2, -1);
    sum[0] = 1;
    sum[d + 1] = 10;
    rows.push_back(sum);
    return rows;
}

PieceRows box_rows(unsigned d) {
    PieceRows rows;
    for (unsigned k = 0; k < d; ++k) {
        ConstraintRow low(d + 2, 0), high(d + 2, 0);
        low[0] = high[0] = 1;
        low[k + 1] = 1;
        high[k + 1] = -1;
        high[d + 1] = 1;
        rows.push_back(low);
        rows.push_back(high);
    }
    return rows;
}

Polyhedron* bare_polyhedron(unsigned d, const PieceRows& rows) {
    Matrix* m = Matrix_Alloc(static_cast<unsigned>(rows.size()), d + 2);
    for (unsigned r = 0; r < rows.size(); ++r)
        for (unsigned c = 0; c < d + 2; ++c) value_set_si(m->p[r][c], rows[r][c]);
    Polyhedron* p = Constraints2Polyhedron(m, 100);
    Matrix_Free(m);
    return p;
}

// The declaration's work: PolyLib's conversion and the exact check of it.
void declaration_benchmark(benchmark::State& state, PieceRows (*rows_of)(unsigned), bool checked) {
    const unsigned d = static_cast<unsigned>(state.range(0));
    PieceRows rows = rows_of(d);
    DomainLock lock;
    for (auto _ : state) {
        if (checked) {
            auto built = build_domain_from_rows(d, {rows});
            benchmark::DoNotOptimize(built);
        } else {
            Polyhedron* p = bare_polyhedron(d, rows);
            benchmark::DoNotOptimize(p);
            Polyhedron_Free(p);
        }
    }
}

void BM_DeclaredSimplex(benchmark::State& state) { declaration_benchmark(state, simplex_rows, true); }
void BM_BareSimplex(benchmark::State& state) { declaration_benchmark(state, simplex_rows, false); }
void BM_DeclaredBox(benchmark::State& state) { declaration_benchmark(state, box_rows, true); }
void BM_BareBox(benchmark::State& state) { declaration_benchmark(state, box_rows, false); }

// ehrhart of the triangle 0 <= j <= i <= N, each run 20 ms after the last
// (as typed statements come): the statement (worker, checks, printing)
// against PolyLib's enumeration alone.
void ehrhart_benchmark(benchmark::State& state, bool statement) {
    Store store;
    DomainLock lock;
    if (statement && !prepare_analysis_worker()) state.SkipWithError("no analysis worker");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    store.declare("T", "{ i, j, N | 0 <= j <= i <= N }");
    store.declare("C", "{ N | N >= 0 }");
    Polyhedron* domain = lookup_domain("T", store.list())->domain;
    Polyhedron* context = lookup_domain("C", store.list())->domain;
    for (auto _ : state) {
        state.PauseTiming();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        state.ResumeTiming();
        if (statement) {
            print_ehrhart(store.session(), "T", "C", store.list());
        } else {
            Polyhedron* copy = Polyhedron_Copy(domain);
            Enumeration* e = Polyhedron_Enumerate(copy, context, 100, nullptr);
            benchmark::DoNotOptimize(e);
            Enumeration_Free(e);
            Polyhedron_Free(copy);
        }
    }
    if (statement) stop_analysis_worker();
}

void BM_EhrhartStatementSpaced(benchmark::State& state) { ehrhart_benchmark(state, true); }

// The worker's work for that statement without the exchange: PolyLib's
// enumeration with each chamber checked.
void BM_EhrhartChecked(benchmark::State& state) {
    Store store;
    DomainLock lock;
    store.declare("T", "{ i, j, N | 0 <= j <= i <= N }");
    store.declare("C", "{ N | N >= 0 }");
    Polyhedron* domain = lookup_domain("T", store.list())->domain;
    Polyhedron* context = lookup_domain("C", store.list())->domain;
    for (auto _ : state) {
        std::uint64_t budget = std::uint64_t{1} << 24;
        PieceCount count = counted_chambers(domain, context, budget);
        if (!count.polylib_held) state.SkipWithError("PolyLib's enumeration failed its check");
        benchmark::DoNotOptimize(count);
    }
}
void BM_EhrhartBareSpaced(benchmark::State& state) { ehrhart_benchmark(state, false); }

}  // namespace

BENCHMARK_CAPTURE(BM_LexmaxStatement, triangle, parametric_sets[0])->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_IslLexmax, triangle, parametric_sets[0])->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_LexmaxStatement, division, parametric_sets[1])->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_IslLexmax, division, parametric_sets[1])->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_LexmaxStatement, three_variables, parametric_sets[2])->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_IslLexmax, three_variables, parametric_sets[2])->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_LexmaxStatement, stride, parametric_sets[3])->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_IslLexmax, stride, parametric_sets[3])->Unit(benchmark::kMicrosecond);

BENCHMARK_CAPTURE(BM_CardStatement, box_1000, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CardStatement, box_1000000, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CardStatement, simplex_100, 2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CardStatement, cross_polytope_50, 3)->Unit(benchmark::kMillisecond);
// The nest visits about 10^9 rows of the 1000-box and 10^8 of the simplex;
// the 10^6-box (10^18 rows) is left out.
BENCHMARK_CAPTURE(BM_LoopNestCount, box_1000, 0)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(BM_LoopNestCount, simplex_100, 2)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(BM_LoopNestCount, cross_polytope_50, 3)->Unit(benchmark::kMillisecond)->Iterations(3);

BENCHMARK(BM_CardSimplexStatement)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CardSimplexBarePolyLib)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CardSimplexChecked)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CardSimplexCheckedWithItsNest)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DeclaredSimplex)->DenseRange(2, 6, 2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BareSimplex)->DenseRange(2, 6, 2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DeclaredBox)->Arg(10)->Arg(15)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_BareBox)->Arg(10)->Arg(15)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_EhrhartStatementSpaced)->Unit(benchmark::kMillisecond)->Iterations(100);
BENCHMARK(BM_EhrhartBareSpaced)->Unit(benchmark::kMillisecond)->Iterations(100);
BENCHMARK(BM_EhrhartChecked)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
