// What a declaration or an operation pays for running in the analysis worker:
// the same work (declarations of boxes, and the union of two of them) done in
// the calculator and through the worker, whose result is sent back as rows
// and rebuilt. Small work stays in the calculator; the figures say where the
// exchange stops mattering.
#include <benchmark/benchmark.h>

#include <vector>

#include "base/locks.h"
#include "base/polylib.h"
#include "worker/analysis_worker.h"
#include "calculus/domain_work.h"
#include "store/registry.h"

namespace {

MatrixPtr box_rows(unsigned dimension, long shift) {
    MatrixPtr m(Matrix_Alloc(2 * dimension, dimension + 2));
    for (unsigned k = 0; k < dimension; ++k) {
        Value* low = m->p[2 * k];
        Value* high = m->p[2 * k + 1];
        for (unsigned c = 0; c < dimension + 2; ++c) low[c] = high[c] = 0;
        low[0] = high[0] = 1;
        low[k + 1] = 1;
        low[dimension + 1] = -shift;
        high[k + 1] = -1;
        high[dimension + 1] = shift + 3;
    }
    return m;
}

enum Where { here, in_worker };

void declaration(benchmark::State& state, Where where) {
    const auto dimension = static_cast<unsigned>(state.range(0));
    DomainLock lock;
    StoreSession session;
    MatrixPtr rows = box_rows(dimension, 0);
    const DomainWork work{DomainWorkKind::declaration, nullptr, nullptr, rows.get()};
    state.counters["quick"] = quick_domain_work(work);
    for (auto _ : state) {
        MadeDomain made = where == here ? make_domain_here(work) : make_domain_in_worker(session, work);
        if (made.outcome != DomainWorkOutcome::Made) state.SkipWithError("the declaration failed");
    }
}

void union_of_boxes(benchmark::State& state, Where where) {
    const auto dimension = static_cast<unsigned>(state.range(0));
    DomainLock lock;
    StoreSession session;
    MatrixPtr a = box_rows(dimension, 0), b = box_rows(dimension, 1);
    DomainPtr first(Constraints2Polyhedron(a.get(), 100)), second(Constraints2Polyhedron(b.get(), 100));
    const DomainWork work{DomainWorkKind::union_of, first.get(), second.get()};
    state.counters["quick"] = quick_domain_work(work);
    for (auto _ : state) {
        MadeDomain made = where == here ? make_domain_here(work) : make_domain_in_worker(session, work);
        if (made.outcome != DomainWorkOutcome::Made) state.SkipWithError("the union failed");
    }
}

void BM_DeclarationHere(benchmark::State& state) { declaration(state, here); }
void BM_DeclarationInWorker(benchmark::State& state) { declaration(state, in_worker); }
void BM_UnionHere(benchmark::State& state) { union_of_boxes(state, here); }
void BM_UnionInWorker(benchmark::State& state) { union_of_boxes(state, in_worker); }

}  // namespace

BENCHMARK(BM_DeclarationHere)->DenseRange(2, 12, 2)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_DeclarationInWorker)->DenseRange(2, 12, 2)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_UnionHere)->DenseRange(2, 8, 2)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_UnionInWorker)->DenseRange(2, 8, 2)->Unit(benchmark::kMicrosecond)->UseRealTime();

int main(int argc, char** argv) {
    {
        DomainLock lock;
        start_analysis_worker();
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    stop_analysis_worker();
}
