// The contained runner: fork, a pipe for the child's standard output, a
// deadline, and the reading of how the child ended.
#include "store/contained_run.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <poll.h>
#if defined(__linux__)
#include <sys/prctl.h>
#endif
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "base/locks.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int library_failure_status = 3;

#if defined(__has_feature)
#define QARNEST_HAS_FEATURE(x) __has_feature(x)
#else
#define QARNEST_HAS_FEATURE(x) 0
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__) || QARNEST_HAS_FEATURE(address_sanitizer) || \
    QARNEST_HAS_FEATURE(thread_sanitizer)
constexpr bool limit_child_memory = false;   // the sanitizers reserve huge address ranges
#else
constexpr bool limit_child_memory = true;
#endif
constexpr rlim_t child_address_space = rlim_t{4} << 30;

// The child must not outlive the calculator (it would hold its output streams).
void end_with_parent(pid_t parent) {
#if defined(__linux__)
    prctl(PR_SET_PDEATHSIG, SIGKILL);
#endif
    if (getppid() != parent) _exit(library_failure_status);
}

// How the child ended is read from its wait status, so a library abort must
// end it by its signal even when the host installed handlers of its own (a
// fuzzer or a sanitizer would report the abort and exit instead).
void restore_default_crash_handlers() {
    for (int signal_number : {SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL}) std::signal(signal_number, SIG_DFL);
}

void restrict_child() {
    restore_default_crash_handlers();
    rlimit no_core = {0, 0};
    setrlimit(RLIMIT_CORE, &no_core);
    if (limit_child_memory) {
        rlimit memory = {child_address_space, child_address_space};
        setrlimit(RLIMIT_AS, &memory);
    }
}

[[noreturn]] void run_child(pid_t parent, int write_end, int read_end, bool (*work)(void*), void* context) {
    end_with_parent(parent);
    close(read_end);
    dup2(write_end, STDOUT_FILENO);
    close(write_end);
    restrict_child();
    bool finished = work(context);
    std::fflush(stdout);
    _exit(finished ? 0 : library_failure_status);
}

// Rounded up, so that a wait never ends before the deadline; 0 once it has passed.
int milliseconds_until(Clock::time_point deadline) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}

// How often a wait looks at `analysis_cancelled` when no signal wakes it.
constexpr int cancel_check_ms = 100;

bool cancel_requested() { return analysis_cancelled && analysis_cancelled(); }

// Reads the child's output until it closes the pipe; false when the deadline
// passes first or the analysis is cancelled.
bool read_until_closed(int fd, std::string& output, Clock::time_point deadline, bool& cancelled) {
    char buffer[8192];
    for (;;) {
        int wait_ms = milliseconds_until(deadline);
        if (wait_ms == 0) return false;
        if ((cancelled = cancel_requested())) return false;
        if (analysis_cancelled) wait_ms = std::min(wait_ms, cancel_check_ms);
        pollfd p = {fd, POLLIN, 0};
        int ready = poll(&p, 1, wait_ms);
        if (ready < 0 && errno != EINTR) return false;
        if (ready <= 0) continue;
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return true;
        output.append(buffer, static_cast<std::size_t>(n));
    }
}

// A descriptor that becomes readable when the child exits, or -1 where the
// kernel has none (before Linux 5.3).
int exit_descriptor(pid_t pid) {
#if defined(__linux__) && defined(SYS_pidfd_open)
    return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    return -1;
#endif
}

// Sleeps until the child may have exited: woken by its exit where the kernel
// tells, else after a pause that grows from 20 us, so that the usual case
// (the child exits just after closing its output) costs microseconds.
void pause_for_exit(int exit_fd, std::chrono::microseconds& pause, Clock::time_point deadline) {
    if (exit_fd >= 0) {
        pollfd p = {exit_fd, POLLIN, 0};
        poll(&p, 1, milliseconds_until(deadline));
        return;
    }
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::microseconds(2000));
}

// The child's wait status, or nothing when it is still running at the deadline.
bool wait_for_exit(pid_t pid, int& status, Clock::time_point deadline) {
    int exit_fd = -1;
    bool asked = false;
    std::chrono::microseconds pause(20);
    bool ended = false;
    for (;;) {
        pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            ended = true;
            break;
        }
        if (done < 0 && errno != EINTR) break;
        if (Clock::now() >= deadline) break;
        if (!asked) exit_fd = exit_descriptor(pid), asked = true;
        pause_for_exit(exit_fd, pause, deadline);
    }
    if (exit_fd >= 0) close(exit_fd);
    return ended;
}

void kill_and_reap(pid_t pid) {
    kill(pid, SIGKILL);
    int status;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

ContainedResult outcome_of(int status, std::string output) {
    ContainedResult result;
    result.output = std::move(output);
    if (WIFSIGNALED(status)) {
        result.outcome = ContainedOutcome::Crashed;
        result.status = WTERMSIG(status);
    } else if (WEXITSTATUS(status) == 0) {
        result.outcome = ContainedOutcome::Finished;
    } else if (WEXITSTATUS(status) == library_failure_status) {
        result.outcome = ContainedOutcome::LibraryFailed;
    } else {
        result.outcome = ContainedOutcome::ExitedEarly;
        result.status = WEXITSTATUS(status);
    }
    return result;
}

ContainedResult wait_for_child(pid_t pid, int read_end, Clock::time_point deadline) {
    std::string output;
    int status = 0;
    bool cancelled = false;
    bool ended = read_until_closed(read_end, output, deadline, cancelled) && wait_for_exit(pid, status, deadline);
    close(read_end);
    if (!ended) {
        kill_and_reap(pid);
        ContainedResult result;
        result.outcome = cancelled ? ContainedOutcome::Cancelled : ContainedOutcome::TimedOut;
        return result;
    }
    return outcome_of(status, std::move(output));
}

}  // namespace

ContainedResult run_contained(bool (*work)(void* context), void* context, std::chrono::milliseconds limit) {
    ContainedResult result;
    int ends[2];
    if (pipe(ends) != 0) {
        result.status = errno;
        return result;
    }
    std::fflush(stdout);
    std::fflush(stderr);
    pid_t parent = getpid();
    pid_t pid = fork();
    if (pid < 0) {
        result.status = errno;
        close(ends[0]);
        close(ends[1]);
        return result;
    }
    if (pid == 0) run_child(parent, ends[1], ends[0], work, context);
    close(ends[1]);
    auto deadline = Clock::now() + limit;
    DomainUnlock unlocked;
    return wait_for_child(pid, ends[0], deadline);
}

std::string contained_failure_message(const ContainedResult& result, const std::string& what,
                                      std::chrono::milliseconds limit) {
    switch (result.outcome) {
    case ContainedOutcome::Finished:
        return {};
    case ContainedOutcome::LibraryFailed:
        return "PolyLib failed on " + what + " (arithmetic overflow or work space exceeded) - command ignored";
    case ContainedOutcome::Crashed:
        return "PolyLib stopped abnormally on " + what + " (" + strsignal(result.status) +
               "; most likely an arithmetic overflow) - command ignored";
    case ContainedOutcome::ExitedEarly:
        return "PolyLib gave up on " + what + " (exit status " + std::to_string(result.status) +
               ") - command ignored";
    case ContainedOutcome::TimedOut: {
        auto ms = limit.count();
        std::string amount = ms % 1000 == 0 ? std::to_string(ms / 1000) + " seconds" : std::to_string(ms) + " ms";
        return what + " took more than " + amount + " and was stopped - command ignored";
    }
    case ContainedOutcome::Cancelled:
        return what + " was interrupted - command ignored";
    case ContainedOutcome::NotStarted:
        return "could not start " + what + " (" + std::strerror(result.status) + ") - command ignored";
    }
    return {};
}
