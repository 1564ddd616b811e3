// Interpreter overhead: a 10,000-statement script (3-D boxes, their unions and
// intersections, deletions) through the whole calculator, against the same
// PolyLib calls made directly; and the peak memory of a declare/delete cycle
// repeated up to 100,000 times.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fcntl.h>
#include <random>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "interpreter/locks.h"
#include "store/polylib.h"

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

std::string overhead_script() {
    std::string script;
    auto pairs = box_pairs();
    for (int c = 0; c < cycles; ++c) {
        std::string n = std::to_string(c);
        script += "X" + n + " := " + box_text(pairs[c].first) + " ;\n";
        script += "Y" + n + " := " + box_text(pairs[c].second) + " ;\n";
        script += "U" + n + " := X" + n + " union Y" + n + " ;\n";
        script += "I" + n + " := X" + n + " inter Y" + n + " ;\n";
        if (c >= kept_cycles) {
            std::string old = std::to_string(c - kept_cycles);
            for (const char* prefix : {"X", "Y", "U", "I"}) script += std::string("del ") + prefix + old + " ;\n";
        }
    }
    return script;
}

std::string cycle_script(int repetitions) {
    std::string script;
    for (int r = 0; r < repetitions; ++r)
        script += "P := { i, j, k | 0 <= i <= 3, 1 <= j <= 4, 2 <= k <= 5 } ;\ndel P ;\n";
    return script;
}

std::string write_temporary(const std::string& text) {
    char path[] = "/tmp/qarnest-bench-XXXXXX";
    int fd = mkstemp(path);
    if (fd < 0) throw std::runtime_error("mkstemp");
    for (std::size_t done = 0; done < text.size();) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n <= 0) throw std::runtime_error("write");
        done += static_cast<std::size_t>(n);
    }
    close(fd);
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

void run_script(benchmark::State& state, const std::string& script, long statements) {
    std::string path = write_temporary(script);
    long peak = 0;
    for (auto _ : state) peak = std::max(peak, run_calculator(path));
    unlink(path.c_str());
    state.counters["peak_rss_KiB"] = static_cast<double>(peak);
    state.counters["statements"] = static_cast<double>(statements);
    state.SetItemsProcessed(state.iterations() * statements);
}

void BM_InterpreterScript(benchmark::State& state) { run_script(state, overhead_script(), 8 * cycles - 4 * kept_cycles); }

// Start-up and shutdown alone (toolkit, GUI thread, display connection).
void BM_InterpreterStartup(benchmark::State& state) { run_script(state, "", 0); }

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

// The same declaration and deletion over and over: peak memory must not grow.
void BM_DeclareDeleteCycle(benchmark::State& state) {
    run_script(state, cycle_script(static_cast<int>(state.range(0))), 2 * state.range(0));
}

}  // namespace

BENCHMARK(BM_InterpreterScript)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_InterpreterStartup)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BarePolyLib)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DeclareDeleteCycle)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime()
    ->Iterations(3);

BENCHMARK_MAIN();
