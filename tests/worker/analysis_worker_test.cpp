// The analysis worker: every ending of an analysis is told as the forked
// child told it, a lost worker is replaced, nothing of one analysis reaches
// the next, and no process is left behind.
#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <set>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "base/locks.h"
#include "base/polylib.h"
#include "calculus/analyses.h"
#include "worker/analysis_worker.h"
#include "tests/support/polylib_overflow.h"
#include "tests/support/processes.h"
#include "tests/support/capture.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;


bool print_worker_pid(const std::string&) {
    std::printf("%d", static_cast<int>(getpid()));
    return true;
}

// The worker's process id, asked of the worker itself; -1 when it did not answer.
pid_t worker_pid() {
    DomainLock lock;
    ContainedResult result = run_in_worker(print_worker_pid, "", 10s);
    return result.outcome == ContainedOutcome::Finished ? std::stoi(result.output) : -1;
}

bool echo_problem(const std::string& problem) {
    std::fputs(problem.c_str(), stdout);
    return true;
}

bool overflow_in_polylib(const std::string&) { return overflowing_polylib_work(); }

// Cancels the analysis once its time has come, as a Ctrl-C would.
class CancelWhenDue final : public CancelCheck {
public:
    explicit CancelWhenDue(Clock::time_point due) : due_(due) {}
    bool analysis_cancelled() override { return Clock::now() >= due_; }

private:
    Clock::time_point due_;
};

struct OutcomeCase {
    const char* name;
    WorkerJob job;
    std::chrono::milliseconds limit;
    bool cancelled_after_200ms;
    ContainedOutcome outcome;
    int status;
    const char* output;   // checked when Finished
};

const OutcomeCase outcome_cases[] = {
    {"Finished", echo_problem, 10s, false, ContainedOutcome::Finished, 0, "validity domain\n"},
    {"LibraryFailure", overflow_in_polylib, 10s, false, ContainedOutcome::LibraryFailed, 0, nullptr},
    {"GaveUp", [](const std::string&) { return false; }, 10s, false, ContainedOutcome::LibraryFailed, 0, nullptr},
    {"Abort",
     [](const std::string&) -> bool {
         std::printf("partial output\n");
         std::abort();
     },
     10s, false, ContainedOutcome::Crashed, SIGABRT, nullptr},
#if !defined(__SANITIZE_ADDRESS__)
    // AddressSanitizer turns a segmentation fault into an exit with status 1.
    {"Segfault",
     [](const std::string&) {
         std::raise(SIGSEGV);
         return true;
     },
     10s, false, ContainedOutcome::Crashed, SIGSEGV, nullptr},
#endif
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    // The worker's memory is bounded by the work-space budget (not under the
    // sanitizers, which reserve huge ranges): an allocation past it that ends
    // in a crash or an abort is told as the budget's.
    {"CrashAfterAnAllocationPastTheBudget",
     [](const std::string&) {
         volatile char* block = static_cast<char*>(std::malloc(std::size_t{1} << 30));
         block[0] = 1;
         return true;
     },
     10s, false, ContainedOutcome::OutOfWorkSpace, 0, nullptr},
#endif
    {"ExitInsideTheLibrary", [](const std::string&) -> bool { std::exit(5); }, 10s, false,
     ContainedOutcome::ExitedEarly, 5, nullptr},
    {"TimeLimit",
     [](const std::string&) {
         for (;;) pause();
         return true;
     },
     300ms, false, ContainedOutcome::TimedOut, 0, nullptr},
    {"Cancelled",
     [](const std::string&) {
         for (;;) pause();
         return true;
     },
     10s, true, ContainedOutcome::Cancelled, 0, nullptr},
};

void PrintTo(const OutcomeCase& c, std::ostream* os) { *os << c.name; }

class WorkerOutcome : public ::testing::TestWithParam<OutcomeCase> {};

// An analysis that ends the worker leaves no process behind, and the next
// one runs in a fresh worker; the others keep the same worker.
TEST_P(WorkerOutcome, IsToldAndTheNextAnalysisWorks) {
    const OutcomeCase& c = GetParam();
    pid_t before = worker_pid();
    ASSERT_GT(before, 0);
    CancelWhenDue cancel(Clock::now() + 200ms);
    ContainedResult result;
    auto start = Clock::now();
    {
        DomainLock lock;
        result = run_in_worker(c.job, "validity domain\n", c.limit, c.cancelled_after_200ms ? &cancel : nullptr);
    }
    auto elapsed = Clock::now() - start;
    EXPECT_EQ(result.outcome, c.outcome);
    EXPECT_EQ(result.status, c.status);
    if (c.output) {
        EXPECT_EQ(result.output, c.output);
    }
    EXPECT_LT(elapsed, 5s);
    bool worker_lost = c.outcome != ContainedOutcome::Finished && c.outcome != ContainedOutcome::LibraryFailed;
    if (worker_lost) {
        EXPECT_TRUE(process_gone(before));
        EXPECT_FALSE(has_children(getpid())) << "a lost worker is reaped and made again only when needed";
    }
    pid_t after = worker_pid();
    ASSERT_GT(after, 0) << "the next analysis works";
    if (worker_lost)
        EXPECT_NE(after, before);
    else
        EXPECT_EQ(after, before) << "the worker serves the next analysis without a fork";
}

INSTANTIATE_TEST_SUITE_P(Endings, WorkerOutcome, ::testing::ValuesIn(outcome_cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(AnalysisWorker, OutputLargerThanThePipeArrivesWholeAndNotOnOurStdout) {
    DomainLock lock;
    ContainedResult result;
    std::string ours = capture_stdout([&] {
        result = run_in_worker([](const std::string&) {
            for (int k = 0; k < 200000; ++k) std::printf("%07d\n", k);
            return true;
        }, "", 30s);
    });
    ASSERT_EQ(result.outcome, ContainedOutcome::Finished);
    ASSERT_EQ(result.output.size(), 200000u * 8);
    EXPECT_EQ(result.output.substr(result.output.size() - 8), "0199999\n");
    EXPECT_EQ(ours, "");
}

TEST(AnalysisWorker, AProblemLargerThanTheSocketBufferArrivesWhole) {
    std::string problem(3 << 20, 'x');
    problem.back() = 'y';
    DomainLock lock;
    ContainedResult result = run_in_worker([](const std::string& p) {
        std::printf("%zu %c", p.size(), p.back());
        return true;
    }, problem, 30s);
    ASSERT_EQ(result.outcome, ContainedOutcome::Finished);
    EXPECT_EQ(result.output, std::to_string(problem.size()) + " y");
}

// What one analysis leaves in the worker's output stream, descriptors or
// PolyLib's state is not seen by the next.
TEST(AnalysisWorker, NothingOfOneAnalysisReachesTheNext) {
    const WorkerJob leftovers[] = {
        [](const std::string&) {
            std::printf("unflushed part of a failed analysis");
            return false;
        },
        [](const std::string&) {
            std::printf("unflushed, then the output closed");
            close(STDOUT_FILENO);
            return true;
        },
        overflow_in_polylib,
    };
    for (WorkerJob leftover : leftovers) {
        DomainLock lock;
        run_in_worker(leftover, "", 10s);
        ContainedResult next = run_in_worker(echo_problem, "clean\n", 10s);
        EXPECT_EQ(next.outcome, ContainedOutcome::Finished);
        EXPECT_EQ(next.output, "clean\n");
    }
}

// The parametric vertices of 0 <= i <= N, 0 <= j <= i in context N >= 0,
// through the statement's own path.
class VerticesStatement {
public:
    VerticesStatement() {
        DomainLock lock;
        domain_ = polyhedron({{1, 1, 0, 0, 0}, {1, -1, 0, 1, 0}, {1, 0, 1, 0, 0}, {1, 1, -1, 0, 0}});
        context_ = polyhedron({{1, 1, 0}});
    }
    ~VerticesStatement() {
        DomainLock lock;
        Polyhedron_Free(domain_);
        Polyhedron_Free(context_);
    }
    std::string run() {
        VarNode i{"i", 1, nullptr}, j{"j", 2, &i}, n{"N", 3, &j}, parameter{"N", 1, nullptr};
        DomainEntry context{"C", &parameter, context_, nullptr, nullptr, nullptr};
        DomainEntry domain{"T", &n, domain_, nullptr, nullptr, &context};
        StoreSession statement_store(stdout);   // the entries above are not its own
        DomainLock lock;
        return capture_stdout([&] { print_vertices(statement_store, "T", "C", &domain); });
    }

private:
    static Polyhedron* polyhedron(const std::vector<std::vector<long>>& rows) {
        Matrix* m = Matrix_Alloc(static_cast<unsigned>(rows.size()), static_cast<unsigned>(rows[0].size()));
        for (unsigned r = 0; r < rows.size(); ++r)
            for (unsigned c = 0; c < rows[r].size(); ++c) m->p[r][c] = rows[r][c];
        Polyhedron* p = Constraints2Polyhedron(m, 100);
        Matrix_Free(m);
        return p;
    }
    Polyhedron* domain_;
    Polyhedron* context_;
};

TEST(AnalysisWorker, AnAnalysisAfterAFailedOneAnswersAsTheFirst) {
    VerticesStatement vertices;
    std::string first = vertices.run();
    EXPECT_NE(first.find("[ N,  N ]\n"), std::string::npos) << first;
    pid_t worker = worker_pid();
    {
        DomainLock lock;
        EXPECT_EQ(run_in_worker(overflow_in_polylib, "", 10s).outcome, ContainedOutcome::LibraryFailed);
    }
    EXPECT_EQ(vertices.run(), first);
    EXPECT_EQ(worker_pid(), worker);
}

// The answers to the warm-up given at start-up are read and thrown away
// before the first analysis; a warm-up that ends the worker costs nothing more
// than a worker made when the first analysis comes.
TEST(AnalysisWorker, TheWarmUpIsNotTakenForTheFirstAnalysis) {
    VerticesStatement vertices;
    stop_analysis_worker();
    std::string cold = vertices.run();
    const std::vector<std::vector<WorkerWarmUp>> warm_ups = {
        {{echo_problem, "warm\n"}, {echo_problem, "up\n"}},
        {{echo_problem, "warm\n"}, {[](const std::string&) -> bool { std::abort(); }, ""}},
    };
    for (const auto& warm_up : warm_ups) {
        stop_analysis_worker();
        {
            DomainLock lock;
            ASSERT_TRUE(start_analysis_worker(warm_up));
            ContainedResult first = run_in_worker(echo_problem, "first\n", 10s);
            EXPECT_EQ(first.outcome, ContainedOutcome::Finished);
            EXPECT_EQ(first.output, "first\n");
        }
        EXPECT_EQ(vertices.run(), cold);
    }
    stop_analysis_worker();
    {
        DomainLock lock;
        ASSERT_TRUE(prepare_analysis_worker());
    }
    EXPECT_EQ(vertices.run(), cold) << "after the calculator's own warm-up";
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// Work that sees its allocation fail and gives up, as PolyLib's checked
// allocations do: the budget's outcome, and a fresh worker for the next one.
TEST(AnalysisWorker, WorkThatGivesUpWhenAnAllocationFailsIsToldAsTheBudgets) {
    pid_t before = worker_pid();
    ContainedResult result;
    {
        DomainLock lock;
        result = run_in_worker([](const std::string&) {
            void* block = std::malloc(std::size_t{1} << 30);
            std::free(block);
            return block != nullptr;
        }, "", 10s);
    }
    EXPECT_EQ(result.outcome, ContainedOutcome::OutOfWorkSpace);
    std::this_thread::sleep_for(10ms);
    EXPECT_NE(worker_pid(), before);

    DomainLock lock;
    result = run_in_worker([](const std::string&) {
        std::vector<char> block(std::size_t{1} << 30, 1);
        return block[12345] == 1;
    }, "", 10s);
    EXPECT_EQ(result.outcome, ContainedOutcome::OutOfWorkSpace) << "std::bad_alloc does not leave the job";
    result = run_in_worker([](const std::string&) {
        std::vector<char> block(std::size_t{256} << 20, 1);
        return block[12345] == 1;
    }, "", 10s);
    EXPECT_EQ(result.outcome, ContainedOutcome::Finished) << "half the budget is there";
}
#endif

TEST(AnalysisWorker, IsRetiredAfterItsUsesOrWhenItsMemoryGrew) {
    const WorkerRetirement saved = worker_retirement();
    set_worker_retirement({3, saved.growth_kib});
    stop_analysis_worker();
    pid_t first = worker_pid();
    EXPECT_EQ(worker_pid(), first);
    EXPECT_EQ(worker_pid(), first);
    EXPECT_NE(worker_pid(), first) << "a fourth analysis in a worker that served three";

    set_worker_retirement({saved.uses, 16 * 1024});
    stop_analysis_worker();
    pid_t leaking = worker_pid();
    {
        DomainLock lock;
        ContainedResult result = run_in_worker([](const std::string&) {
            constexpr std::size_t size = std::size_t{64} << 20;
            char* lost = static_cast<char*>(std::malloc(size));
            if (!lost) return false;
            std::memset(lost, 1, size);
            asm volatile("" : : "r"(lost) : "memory");   // kept, as a leak inside PolyLib would be
            return true;
        }, "", 10s);
        EXPECT_EQ(result.outcome, ContainedOutcome::Finished);
    }
    EXPECT_NE(worker_pid(), leaking) << "64 MB lost: the next analysis runs in a fresh worker";
    set_worker_retirement(saved);
}

// The worker keeps nothing of the calculator open: not its standard input
// (the terminal), not its files, not its other children's pipes; only its
// channel, its answer pipe and its lifeline.
TEST(AnalysisWorker, HoldsOnlyItsOwnDescriptors) {
    std::FILE* script = std::fopen("/proc/self/status", "r");   // no close-on-exec, as a script is opened
    ASSERT_NE(script, nullptr);
    stop_analysis_worker();
    DomainLock lock;
    ContainedResult result = run_in_worker([](const std::string&) {
        DIR* listing = opendir("/proc/self/fd");
        while (dirent* entry = readdir(listing)) {
            if (entry->d_name[0] == '.' || std::atoi(entry->d_name) == dirfd(listing)) continue;
            char target[256] = {};
            std::string link = std::string("/proc/self/fd/") + entry->d_name;
            ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
            std::string kind = n > 0 ? std::string(target, static_cast<std::size_t>(n)) : "?";
            if (kind.rfind("pipe:", 0) == 0) kind = "pipe";
            if (kind.rfind("socket:", 0) == 0) kind = "socket";
            if (std::atoi(entry->d_name) == 2) kind = "standard error";
            std::printf("%s %s\n", entry->d_name, kind.c_str());
        }
        closedir(listing);
        return true;
    }, "", 10s);
    std::fclose(script);
    ASSERT_EQ(result.outcome, ContainedOutcome::Finished);
    std::set<std::string> lines;
    std::istringstream text(result.output);
    for (std::string line; std::getline(text, line);) lines.insert(line);
    EXPECT_EQ(lines, (std::set<std::string>{"0 /dev/null", "1 pipe", "2 standard error", "3 socket", "4 pipe", "5 pipe"}))
        << result.output;
}

// Ctrl-C at a terminal reaches the whole foreground group, the idle worker
// too: the calculator decides what it means.
TEST(AnalysisWorker, AnInterruptDoesNotEndTheWorker) {
    pid_t worker = worker_pid();
    ASSERT_EQ(kill(worker, SIGINT), 0);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(worker_pid(), worker);
}

// Other threads (the viewer) may take domain_lock while the worker computes.
TEST(AnalysisWorker, DomainLockIsFreeWhileWaitingAndHeldAgainAfter) {
    worker_pid();
    std::atomic<bool> taken_meanwhile{false};
    std::atomic<bool> done{false};
    std::thread viewer([&] {
        while (!done && !taken_meanwhile) {
            if (g_mutex_trylock(&domain_lock)) {
                taken_meanwhile = true;
                g_mutex_unlock(&domain_lock);
            }
            std::this_thread::sleep_for(5ms);
        }
    });
    {
        DomainLock lock;
        ContainedResult result = run_in_worker([](const std::string&) {
            usleep(400000);
            return true;
        }, "", 10s);
        EXPECT_EQ(result.outcome, ContainedOutcome::Finished);
        std::thread probe([] { EXPECT_FALSE(g_mutex_trylock(&domain_lock)) << "domain_lock not held again"; });
        probe.join();
    }
    done = true;
    viewer.join();
    EXPECT_TRUE(taken_meanwhile);
}

// Sessions in threads of their own share the worker, whichever thread made
// it: a session's thread that made it and ends while another session's
// analysis runs in it takes neither the worker nor that analysis with it.
TEST(AnalysisWorker, OutlivesTheThreadThatMadeIt) {
    stop_analysis_worker();
    std::atomic<pid_t> made{0};
    std::thread maker([&] {
        made = worker_pid();
        std::this_thread::sleep_for(200ms);
    });
    while (made == 0) std::this_thread::sleep_for(1ms);
    ASSERT_GT(made, 0);
    ContainedResult result;
    {
        DomainLock lock;
        result = run_in_worker([](const std::string& problem) {
            usleep(600000);
            std::fputs(problem.c_str(), stdout);
            return true;
        }, "answered\n", 10s);
    }
    maker.join();
    EXPECT_EQ(result.outcome, ContainedOutcome::Finished) << "status " << result.status;
    EXPECT_EQ(result.output, "answered\n");
    EXPECT_EQ(worker_pid(), made) << "the worker ended with the thread that made it";
}

// A calculator that ends, by returning or killed, leaves no worker behind.
TEST(AnalysisWorker, EndsWithTheCalculator) {
    for (bool killed : {false, true}) {
        SCOPED_TRACE(killed ? "calculator killed" : "calculator returned");
        int report[2];
        ASSERT_EQ(pipe(report), 0);
        pid_t calculator = fork();
        if (calculator == 0) {
            close(report[0]);
            pid_t worker = worker_pid();
            if (write(report[1], &worker, sizeof worker) != sizeof worker) _exit(1);
            if (killed) pause();
            std::exit(0);
        }
        close(report[1]);
        pid_t worker = 0;
        ASSERT_EQ(read(report[0], &worker, sizeof worker), static_cast<ssize_t>(sizeof worker));
        close(report[0]);
        ASSERT_GT(worker, 0);
        if (killed) kill(calculator, SIGKILL);
        int status = 0;
        waitpid(calculator, &status, 0);
        if (!killed) {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
        auto deadline = Clock::now() + 5s;
        while (!process_gone(worker) && Clock::now() < deadline) std::this_thread::sleep_for(10ms);
        EXPECT_TRUE(process_gone(worker)) << "the analysis worker outlived the calculator";
    }
}

}  // namespace
