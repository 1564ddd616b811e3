// Exchange formats: reading and writing isl notation beside isl's own reader
// and printer on the same texts, and a store of 1,000 domains saved as
// statements and read back.
#include <benchmark/benchmark.h>

#include <isl/ctx.h>
#include <isl/set.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/locks.h"
#include "formats/isl_notation.h"
#include "formats/polylib_file.h"
#include "formats/saved_store.h"

namespace {

// A union of `pieces` boxes in 3 dimensions with a parameter, each with a
// diagonal cut: one isl "or" per piece.
std::string union_text(int pieces) {
    std::string text = "[N] -> { [i, j, k] : ";
    for (int p = 0; p < pieces; ++p) {
        if (p) text += " or ";
        std::string lo = std::to_string(10 * p), hi = std::to_string(10 * p + 7);
        text += "(" + lo + " <= i <= " + hi + " and 0 <= j <= N and -3 <= k <= " + hi + " and i + 2j - 3k <= " +
                std::to_string(5 * p + 11) + ")";
    }
    return text + " }";
}

// A 10-dimensional box with 4 cuts: 24 constraints, 1,296 vertices.
std::string ten_dimensions_text() {
    std::string text = "{ [a, b, c, d, e, f, g, h, k, l] : 0 <= a, b, c, d, e, f, g, h, k, l <= 9";
    const char* names = "abcdefghkl";
    for (int r = 0; r < 4; ++r)
        text += std::string(" and ") + std::to_string(r % 3 + 1) + names[r % 10] + " - " + names[(r * 7 + 3) % 10] +
                " <= " + std::to_string(r + 5);
    return text + " }";
}

DomainPtr built(const std::string& text) {
    ParsedSet set = std::get<ParsedSet>(read_isl_set(text));
    DomainLock lock;
    return std::move(std::get<DomainPtr>(build_domain_from_rows(static_cast<unsigned>(set.names.size()), set.pieces)));
}

void read_ours(benchmark::State& state, const std::string& text, bool build) {
    for (auto _ : state) {
        ParseResult parsed = read_isl_set(text);
        if (build) {
            const ParsedSet& set = std::get<ParsedSet>(parsed);
            DomainLock lock;
            auto domain = build_domain_from_rows(static_cast<unsigned>(set.names.size()), set.pieces);
            benchmark::DoNotOptimize(domain);
        }
        benchmark::DoNotOptimize(parsed);
    }
}

void read_isl(benchmark::State& state, const std::string& text) {
    isl_ctx* ctx = isl_ctx_alloc();
    for (auto _ : state) {
        isl_set* set = isl_set_read_from_str(ctx, text.c_str());
        benchmark::DoNotOptimize(set);
        isl_set_free(set);
    }
    isl_ctx_free(ctx);
}

void BM_ReadUnion_OursParse(benchmark::State& s) { read_ours(s, union_text(200), false); }
void BM_ReadUnion_OursParseAndBuild(benchmark::State& s) { read_ours(s, union_text(200), true); }
void BM_ReadUnion_Isl(benchmark::State& s) { read_isl(s, union_text(200)); }
void BM_ReadTenDimensions_OursParse(benchmark::State& s) { read_ours(s, ten_dimensions_text(), false); }
void BM_ReadTenDimensions_OursParseAndBuild(benchmark::State& s) { read_ours(s, ten_dimensions_text(), true); }
void BM_ReadTenDimensions_Isl(benchmark::State& s) { read_isl(s, ten_dimensions_text()); }

void BM_WriteUnion_Ours(benchmark::State& state) {
    DomainPtr domain = built(union_text(200));
    std::vector<std::string> names = {"i", "j", "k", "N"};
    for (auto _ : state) {
        DomainLock lock;
        std::string text = isl_text(domain.get(), names, 1);
        benchmark::DoNotOptimize(text);
    }
}

void BM_WriteUnion_Isl(benchmark::State& state) {
    isl_ctx* ctx = isl_ctx_alloc();
    isl_set* set = isl_set_read_from_str(ctx, union_text(200).c_str());
    for (auto _ : state) {
        char* text = isl_set_to_str(set);
        benchmark::DoNotOptimize(text);
        std::free(text);
    }
    isl_set_free(set);
    isl_ctx_free(ctx);
}

struct FileClose {
    void operator()(FILE* f) const { std::fclose(f); }
};

// 1,000 domains of 3 dimensions, one in ten a union of two, and 100 matrices.
class BigStore {
public:
    BigStore() {
        DomainLock lock;
        for (int d = 0; d < 1000; ++d) {
            std::string text = "{ [i, j, k] : 0 <= i <= " + std::to_string(d + 3) + " and i <= j <= 2i + " +
                               std::to_string(d % 7) + " and k = i + j" +
                               (d % 10 == 0 ? " or i >= " + std::to_string(d + 10) + " and j = k" : std::string()) +
                               " }";
            ParsedSet set = std::get<ParsedSet>(read_isl_set(text));
            auto domain = std::get<DomainPtr>(build_domain_from_rows(3, set.pieces)).release();
            VarNode* vars = new VarNode{"k", 3, new VarNode{"j", 2, new VarNode{"i", 1, nullptr}}};
            DomainEntry*& list = store.registries.DomainList;
            list = new DomainEntry{"D" + std::to_string(d), vars, domain, nullptr, nullptr, list};
        }
        for (int m = 0; m < 100; ++m) {
            Matrix* matrix = Matrix_Alloc(4, 4);
            for (long r = 0; r < 4; ++r)
                for (long c = 0; c < 4; ++c) value_assign(matrix->p[r][c], (r == c) + m * (r + 1) - c);
            MatrixEntry*& list = store.registries.MatrixList;
            list = new MatrixEntry{"M" + std::to_string(m), matrix, list};
        }
    }
    std::unique_ptr<FILE, FileClose> sink{std::fopen("/dev/null", "w")};
    StoreSession store{sink.get()};
};

const std::set<std::string> keywords = {"list", "print", "del"};

void BM_SaveThousandDomains(benchmark::State& state) {
    BigStore big;
    std::size_t bytes = 0;
    for (auto _ : state) {
        DomainLock lock;
        auto saved = saved_store(big.store.registries, keywords);
        bytes = std::get<SavedStore>(saved).text.size();
        benchmark::DoNotOptimize(saved);
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}

void BM_LoadThousandDomains(benchmark::State& state) {
    BigStore big;
    std::string text;
    {
        DomainLock lock;
        text = std::get<SavedStore>(saved_store(big.store.registries, keywords)).text;
    }
    for (auto _ : state) {
        auto statements = std::get<std::vector<SavedStatement>>(read_saved_store(text));
        DomainLock lock;
        for (const SavedStatement& s : statements)
            if (s.kind == SavedStatement::Kind::Domain) {
                auto domain = build_domain_from_rows(static_cast<unsigned>(s.domain.names.size()), s.domain.pieces);
                benchmark::DoNotOptimize(domain);
            }
    }
}

}  // namespace

BENCHMARK(BM_ReadUnion_OursParse)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadUnion_OursParseAndBuild)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadUnion_Isl)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadTenDimensions_OursParse)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadTenDimensions_OursParseAndBuild)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadTenDimensions_Isl)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WriteUnion_Ours)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WriteUnion_Isl)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SaveThousandDomains)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadThousandDomains)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
