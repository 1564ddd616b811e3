// The contained runner: what the child prints comes back, and an abort, a
// crash, an early exit or a runaway child ends only the child.
#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "base/locks.h"
#include "base/polylib.h"
#include "worker/contained_run.h"
#include "tests/support/polylib_overflow.h"
#include "tests/support/processes.h"
#include "tests/support/capture.h"

namespace {

using namespace std::chrono_literals;

TEST(ContainedRun, OutputOfAFinishedChildComesBackNotToOurStdout) {
    DomainLock lock;
    ContainedResult result;
    std::string ours = capture_stdout([&] {
        result = run_contained([] {
            std::printf("validity domain\n");
            std::fputs("( 1/2 * N^2 )\n", stdout);
            return true;
        }, 10s);
    });
    EXPECT_EQ(result.outcome, ContainedOutcome::Finished);
    EXPECT_EQ(result.output, "validity domain\n( 1/2 * N^2 )\n");
    EXPECT_EQ(ours, "");
}

TEST(ContainedRun, OutputLargerThanAPipeBufferArrivesWhole) {
    DomainLock lock;
    ContainedResult result = run_contained([] {
        for (int k = 0; k < 200000; ++k) std::printf("%07d\n", k);
        return true;
    }, 30s);
    ASSERT_EQ(result.outcome, ContainedOutcome::Finished);
    ASSERT_EQ(result.output.size(), 200000u * 8);
    EXPECT_EQ(result.output.substr(result.output.size() - 8), "0199999\n");
}

TEST(ContainedRun, PolyLibExceptionInTheChildIsALibraryFailure) {
    DomainLock lock;
    ContainedResult result = run_contained([] { return overflowing_polylib_work(); }, 10s);
    EXPECT_EQ(result.outcome, ContainedOutcome::LibraryFailed);
}

TEST(ContainedRun, EndingsOfTheChildAreToldApart) {
    DomainLock lock;
    ContainedResult aborted = run_contained([] {
        std::printf("partial output\n");
        std::abort();
        return true;
    }, 10s);
    EXPECT_EQ(aborted.outcome, ContainedOutcome::Crashed);
    EXPECT_EQ(aborted.status, SIGABRT);

#if !defined(__SANITIZE_ADDRESS__)
    // AddressSanitizer turns a segmentation fault into an exit with status 1.
    ContainedResult segfault = run_contained([] {
        std::raise(SIGSEGV);
        return true;
    }, 10s);
    EXPECT_EQ(segfault.outcome, ContainedOutcome::Crashed);
    EXPECT_EQ(segfault.status, SIGSEGV);
#endif

    ContainedResult exited = run_contained([]() -> bool { _exit(7); }, 10s);
    EXPECT_EQ(exited.outcome, ContainedOutcome::ExitedEarly);
    EXPECT_EQ(exited.status, 7);

    ContainedResult gave_up = run_contained([] { return false; }, 10s);
    EXPECT_EQ(gave_up.outcome, ContainedOutcome::LibraryFailed);
}

TEST(ContainedRun, RunawayChildIsStoppedAtTheLimit) {
    DomainLock lock;
    auto start = std::chrono::steady_clock::now();
    ContainedResult result = run_contained([] {
        std::printf("started\n");
        std::fflush(stdout);
        for (;;) pause();
        return true;
    }, 300ms);
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(result.outcome, ContainedOutcome::TimedOut);
    EXPECT_GE(elapsed, 300ms);
    EXPECT_LT(elapsed, 5s);
}

TEST(ContainedRun, ChildThatClosesItsOutputAndRunsOnIsStoppedToo) {
    DomainLock lock;
    ContainedResult result = run_contained([] {
        close(STDOUT_FILENO);
        for (;;) pause();
        return true;
    }, 300ms);
    EXPECT_EQ(result.outcome, ContainedOutcome::TimedOut);
}

// A calculator killed during an analysis takes its computing child with it.
TEST(ContainedRun, ChildDiesWithTheCalculator) {
    int report[2];
    ASSERT_EQ(pipe(report), 0);
    pid_t calculator = fork();
    if (calculator == 0) {
        close(report[0]);
        int report_end = report[1];
        g_mutex_lock(&domain_lock);
        run_contained([&] {
            pid_t self = getpid();
            if (write(report_end, &self, sizeof self) != sizeof self) return false;
            for (;;) pause();
            return true;
        }, 60s);
        _exit(0);
    }
    close(report[1]);
    pid_t child = 0;
    ASSERT_EQ(read(report[0], &child, sizeof child), static_cast<ssize_t>(sizeof child));
    close(report[0]);
    kill(calculator, SIGKILL);
    waitpid(calculator, nullptr, 0);
    auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!process_gone(child) && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(10ms);
    EXPECT_TRUE(process_gone(child)) << "the analysis child outlived the calculator";
}

// Other threads (the viewer) may take domain_lock while the child computes.
TEST(ContainedRun, DomainLockIsFreeWhileWaitingAndHeldAgainAfter) {
    std::atomic<bool> taken_meanwhile{false};
    std::atomic<bool> child_started{false};
    int gate[2];
    ASSERT_EQ(pipe(gate), 0);
    std::thread viewer([&] {
        char c;
        if (read(gate[0], &c, 1) != 1) return;
        child_started = true;
        auto give_up = std::chrono::steady_clock::now() + 600ms;
        while (!taken_meanwhile && std::chrono::steady_clock::now() < give_up) {
            if (g_mutex_trylock(&domain_lock)) {
                taken_meanwhile = true;
                g_mutex_unlock(&domain_lock);
            } else {
                std::this_thread::sleep_for(5ms);
            }
        }
    });
    {
        DomainLock lock;
        int signal_end = gate[1];
        ContainedResult result = run_contained([&] {
            char c = 'x';
            if (write(signal_end, &c, 1) != 1) return false;
            std::this_thread::sleep_for(800ms);
            return true;
        }, 10s);
        EXPECT_EQ(result.outcome, ContainedOutcome::Finished);
        std::thread probe([] { EXPECT_FALSE(g_mutex_trylock(&domain_lock)) << "domain_lock not held again"; });
        probe.join();
    }
    viewer.join();
    close(gate[0]);
    close(gate[1]);
    EXPECT_TRUE(child_started);
    EXPECT_TRUE(taken_meanwhile);
}

TEST(ContainedRun, FailureMessages) {
    struct Expected {
        ContainedOutcome outcome;
        int status;
        std::chrono::milliseconds limit;
        const char* message;
    };
    const Expected table[] = {
        {ContainedOutcome::Finished, 0, 30s, ""},
        {ContainedOutcome::LibraryFailed, 0, 30s,
         "PolyLib failed on the Ehrhart polynomial of 'P' (arithmetic overflow or work space exceeded) - command ignored"},
        {ContainedOutcome::Crashed, SIGABRT, 30s,
         "PolyLib stopped abnormally on the Ehrhart polynomial of 'P' (Aborted; most likely an arithmetic overflow) - "
         "command ignored"},
        {ContainedOutcome::ExitedEarly, 1, 30s,
         "PolyLib gave up on the Ehrhart polynomial of 'P' (exit status 1) - command ignored"},
        {ContainedOutcome::TimedOut, 0, 30s,
         "the Ehrhart polynomial of 'P' took more than 30 seconds and was stopped - command ignored"},
        {ContainedOutcome::TimedOut, 0, 300ms,
         "the Ehrhart polynomial of 'P' took more than 300 ms and was stopped - command ignored"},
        {ContainedOutcome::NotStarted, EAGAIN, 30s,
         "could not start the Ehrhart polynomial of 'P' (Resource temporarily unavailable) - command ignored"},
    };
    for (const Expected& e : table) {
        ContainedResult result;
        result.outcome = e.outcome;
        result.status = e.status;
        EXPECT_EQ(contained_failure_message(result, "the Ehrhart polynomial of 'P'", e.limit), e.message);
    }
}

}  // namespace
