// Interpreter overhead: a 10,000-statement script (3-D boxes, their unions and
// intersections, deletions) through the whole calculator, against the same
// PolyLib calls made directly; and the peak memory of a declare/delete cycle
// repeated up to 100,000 times.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <random>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "base/locks.h"
#include "base/polylib.h"
#include "calculus/analyses.h"
#include "worker/analysis_worker.h"
#include "worker/contained_run.h"
#include "calculus/operations.h"

namespace {

struct Box {
    long low[3];
    long high[3];
};

enum class Step { DeclareX, DeclareY, Union, Inter, Delete };

// Cycle c declares X<c> and Y<c>, stores their union U<c> and intersection
// I<c>, and deletes the four domains of cycle c - 5, so about twenty domains
// stay stored: 8 statements a cycle.
constexpr int cycles = 1250;
constexpr int kept_cycles = 5;

std::vector<std::pair<Box, Box>> box_pairs() {
    std::mt19937 random(7);
    std::uniform_int_distribution<long> corner(0, 4), size(1, 4);
    std::vector<std::pair<Box, Box>> pairs;
    for (int c = 0; c < cycles; ++c) {
        Box b[2];
        for (Box& box : b)
            for (int d = 0; d < 3; ++d) {
                box.low[d] = corner(random);
                box.high[d] = box.low[d] + size(random);
            }
        pairs.emplace_back(b[0], b[1]);
    }
    return pairs;
}

std::string box_text(const Box& b) {
    const char* names[] = {"i", "j", "k"};
    std::string text = "{ ";
    for (int d = 0; d < 3; ++d) text += std::string(d ? ", " : "") + names[d];
    text += " | ";
    for (int d = 0; d < 3; ++d)
        text += std::string(d ? ", " : "") + std::to_string(b.low[d]) + " <= " + names[d] + " <= " +
                std::to_string(b.high[d]);
    return text + " }";
}

void write_overhead_script(std::FILE* out) {
    auto pairs = box_pairs();
    for (int c = 0; c < cycles; ++c) {
        std::fprintf(out, "X%d := %s ;\n", c, box_text(pairs[c].first).c_str());
        std::fprintf(out, "Y%d := %s ;\n", c, box_text(pairs[c].second).c_str());
        std::fprintf(out, "U%d := X%d union Y%d ;\n", c, c, c);
        std::fprintf(out, "I%d := X%d inter Y%d ;\n", c, c, c);
        if (c >= kept_cycles)
            for (const char* prefix : {"X", "Y", "U", "I"}) std::fprintf(out, "del %s%d ;\n", prefix, c - kept_cycles);
    }
}

void write_cycle_script(std::FILE* out, long repetitions) {
    for (long r = 0; r < repetitions; ++r)
        std::fputs("P := { i, j, k | 0 <= i <= 3, 1 <= j <= 4, 2 <= k <= 5 } ;\ndel P ;\n", out);
}

// The script is written straight to a file, never held in memory: a forked
// child counts the parent's resident pages in its peak until it executes the
// calculator.
template <class Write>
std::string script_file(Write write) {
    char path[] = "/tmp/qarnest-bench-XXXXXX";
    int fd = mkstemp(path);
    if (fd < 0) throw std::runtime_error("mkstemp");
    std::FILE* out = fdopen(fd, "w");
    write(out);
    if (std::fclose(out) != 0) throw std::runtime_error("write");
    return path;
}

// Runs the calculator on a script file, output discarded; returns its peak
// resident memory in KiB.
long run_calculator(const std::string& script_path) {
    pid_t pid = fork();
    if (pid == 0) {
        int in = open(script_path.c_str(), O_RDONLY);
        int out = open("/dev/null", O_WRONLY);
        dup2(in, 0);
        dup2(out, 1);
        dup2(out, 2);
        execl(QARNEST_BINARY, QARNEST_BINARY, static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) throw std::runtime_error("the calculator failed");
    return usage.ru_maxrss;
}

void run_script(benchmark::State& state, const std::string& path, long statements) {
    long peak = 0;
    for (auto _ : state) peak = std::max(peak, run_calculator(path));
    unlink(path.c_str());
    state.counters["peak_rss_KiB"] = static_cast<double>(peak);
    state.counters["statements"] = static_cast<double>(statements);
    state.SetItemsProcessed(state.iterations() * statements);
}

void BM_InterpreterScript(benchmark::State& state) {
    run_script(state, script_file(write_overhead_script), 8 * cycles - 4 * kept_cycles);
}

// Start-up and shutdown alone (toolkit, GUI thread, display connection).
void BM_InterpreterStartup(benchmark::State& state) { run_script(state, script_file([](std::FILE*) {}), 0); }

Polyhedron* box_polyhedron(const Box& b) {
    Matrix* m = Matrix_Alloc(6, 5);
    for (int d = 0; d < 3; ++d) {
        Value* upper = m->p[2 * d];
        Value* lower = m->p[2 * d + 1];
        value_set_si(upper[0], 1);
        value_set_si(upper[1 + d], -1);
        value_set_si(upper[4], b.high[d]);
        value_set_si(lower[0], 1);
        value_set_si(lower[1 + d], 1);
        value_set_si(lower[4], -b.low[d]);
    }
    Polyhedron* p = Constraints2Polyhedron(m, 100);
    Matrix_Free(m);
    return p;
}

// The PolyLib work of the script, without scanner, parser, registry or printing.
void BM_BarePolyLib(benchmark::State& state) {
    auto pairs = box_pairs();
    for (auto _ : state) {
        DomainLock lock;
        std::vector<std::vector<Polyhedron*>> stored;
        for (int c = 0; c < cycles; ++c) {
            Polyhedron* x = box_polyhedron(pairs[c].first);
            Polyhedron* y = box_polyhedron(pairs[c].second);
            Polyhedron* u = DomainUnion(x, y, 100);
            Polyhedron* i = DomainIntersection(x, y, 100);
            stored.push_back({x, y, u, i});
            if (c >= kept_cycles)
                for (Polyhedron* p : stored[c - kept_cycles]) Domain_Free(p);
        }
        for (int c = std::max(0, cycles - kept_cycles); c < cycles; ++c)
            for (Polyhedron* p : stored[c]) Domain_Free(p);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * (8 * cycles - 4 * kept_cycles));
}

// The same work with the exact checks that every declared, united and
// intersected domain gets before it is stored.
ConeConstraints box_constraints(const Box& b) {
    ConeConstraints c;
    for (int d = 0; d < 3; ++d) {
        ExactRow upper(4), lower(4);
        upper[d] = -1;
        upper[3] = b.high[d];
        lower[d] = 1;
        lower[3] = -b.low[d];
        c.inequalities.push_back(upper);
        c.inequalities.push_back(lower);
    }
    return c;
}

void BM_BarePolyLibWithExactChecks(benchmark::State& state) {
    auto pairs = box_pairs();
    for (auto _ : state) {
        DomainLock lock;
        std::vector<std::vector<Polyhedron*>> stored;
        bool exact = true;
        for (int c = 0; c < cycles; ++c) {
            Polyhedron* x = box_polyhedron(pairs[c].first);
            exact &= exact_declared_domain(x, box_constraints(pairs[c].first));
            Polyhedron* y = box_polyhedron(pairs[c].second);
            exact &= exact_declared_domain(y, box_constraints(pairs[c].second));
            Polyhedron* u = DomainUnion(x, y, 100);
            exact &= exact_binop_result("union", u, x, y);
            Polyhedron* i = DomainIntersection(x, y, 100);
            exact &= exact_binop_result("inter", i, x, y);
            stored.push_back({x, y, u, i});
            if (c >= kept_cycles)
                for (Polyhedron* p : stored[c - kept_cycles]) Domain_Free(p);
        }
        for (int c = std::max(0, cycles - kept_cycles); c < cycles; ++c)
            for (Polyhedron* p : stored[c]) Domain_Free(p);
        if (!exact) state.SkipWithError("a result failed its exact check");
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * (8 * cycles - 4 * kept_cycles));
}

// The same declaration and deletion over and over: peak memory must not grow.
void BM_DeclareDeleteCycle(benchmark::State& state) {
    long repetitions = state.range(0);
    run_script(state, script_file([&](std::FILE* out) { write_cycle_script(out, repetitions); }), 2 * repetitions);
}

}  // namespace

// ---- Contained analyses ------------------------------------------------------
// The parametric vertices of 0 <= i <= N, 0 <= j <= i (context N >= 0): the
// PolyLib call alone; the `vertices (T, C)` statement as the calculator runs
// it (its checks, the worker made at start-up, the printing); and the same
// call in a child forked for it, as every analysis ran before the worker.
// Runs follow each other at once, or 20 ms apart as typed statements do (the
// caches and the idle processor then have to be woken). The slowest run and
// the runs over 0.5 ms are counted, so that they are not hidden in the mean.
Polyhedron* polyhedron_of(unsigned columns, const std::vector<std::vector<long>>& rows) {
    Matrix* m = Matrix_Alloc(static_cast<unsigned>(rows.size()), columns);
    for (unsigned r = 0; r < rows.size(); ++r)
        for (unsigned c = 0; c < columns; ++c) m->p[r][c] = rows[r][c];
    Polyhedron* p = Constraints2Polyhedron(m, 100);
    Matrix_Free(m);
    return p;
}

void parametric_vertices(Polyhedron* domain, Polyhedron* context) {
    Polyhedron* copy = Polyhedron_Copy(domain);
    Param_Polyhedron* result = Polyhedron2Param_Domain(copy, context, 100);
    if (result) {
        std::printf("%d vertices\n", result->nbV);
        Param_Polyhedron_Free(result);
    }
    Polyhedron_Free(copy);
}

enum class AnalysisPath { Bare, Statement, Forked };

// Standard output goes to /dev/null for the time of one run.
template <class Run>
void without_output(std::FILE* sink, Run run) {
    const int saved = dup(STDOUT_FILENO);
    std::fflush(stdout);
    dup2(fileno(sink), STDOUT_FILENO);
    run();
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
}

void analysis_benchmark(benchmark::State& state, AnalysisPath path, std::chrono::milliseconds apart = {}) {
    // Released after the lock: its end takes domain_lock.
    StoreSession statement_store(stdout);   // the entries below are not its own
    DomainLock lock;
    if (path == AnalysisPath::Statement) {
        if (!prepare_analysis_worker()) state.SkipWithError("no analysis worker");
        // The calculator's own start-up (toolkit, display) outlasts the
        // worker's warm-up by far; the domains are declared after it.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    Polyhedron* domain = polyhedron_of(5, {{1, 1, 0, 0, 0}, {1, -1, 0, 1, 0}, {1, 0, 1, 0, 0}, {1, 1, -1, 0, 0}});
    Polyhedron* context = polyhedron_of(3, {{1, 1, 0}});
    VarNode i{"i", 1, nullptr}, j{"j", 2, &i}, n{"N", 3, &j}, parameter{"N", 1, nullptr};
    DomainEntry context_entry{"C", &parameter, context, nullptr, nullptr, nullptr};
    DomainEntry domain_entry{"T", &n, domain, nullptr, nullptr, &context_entry};
    std::FILE* sink = std::fopen("/dev/null", "w");
    double slowest = 0;
    long over_half_millisecond = 0;
    for (auto _ : state) {
        if (apart.count() > 0) {
            state.PauseTiming();
            std::this_thread::sleep_for(apart);
            state.ResumeTiming();
        }
        const auto start = std::chrono::steady_clock::now();
        switch (path) {
        case AnalysisPath::Bare:
            without_output(sink, [&] { parametric_vertices(domain, context); });
            break;
        case AnalysisPath::Statement:
            without_output(sink, [&] { print_vertices(statement_store, "T", "C", &domain_entry); });
            break;
        case AnalysisPath::Forked: {
            ContainedResult result = run_contained([&] {
                parametric_vertices(domain, context);
                return true;
            }, std::chrono::seconds(30));
            benchmark::DoNotOptimize(result.output);
            break;
        }
        }
        double run_ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        slowest = std::max(slowest, run_ms);
        over_half_millisecond += run_ms > 0.5;
    }
    state.counters["slowest_ms"] = slowest;
    state.counters["runs_over_0.5ms"] = static_cast<double>(over_half_millisecond);
    std::fclose(sink);
    stop_analysis_worker();
    Polyhedron_Free(context);
    Polyhedron_Free(domain);
}

void BM_VerticesBare(benchmark::State& state) { analysis_benchmark(state, AnalysisPath::Bare); }
void BM_VerticesContained(benchmark::State& state) { analysis_benchmark(state, AnalysisPath::Statement); }
void BM_VerticesForked(benchmark::State& state) { analysis_benchmark(state, AnalysisPath::Forked); }
void BM_VerticesBareSpaced(benchmark::State& state) {
    analysis_benchmark(state, AnalysisPath::Bare, std::chrono::milliseconds(20));
}
void BM_VerticesContainedSpaced(benchmark::State& state) {
    analysis_benchmark(state, AnalysisPath::Statement, std::chrono::milliseconds(20));
}
// ---- end of contained analyses -------------------------------------------------

BENCHMARK(BM_InterpreterScript)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_InterpreterStartup)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BarePolyLib)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BarePolyLibWithExactChecks)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DeclareDeleteCycle)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime()
    ->Iterations(3);

BENCHMARK(BM_VerticesBare)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(300);
BENCHMARK(BM_VerticesContained)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(300);
BENCHMARK(BM_VerticesForked)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(300);
BENCHMARK(BM_VerticesBareSpaced)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(300);
BENCHMARK(BM_VerticesContainedSpaced)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(300);

BENCHMARK_MAIN();
