// What the two ways of containing an analysis share: the child's restrictions,
// the deadline arithmetic, and the reading of how a child ended.
#include "worker/child_process.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#if defined(__linux__)
#include <sys/prctl.h>
#endif
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using contained::Clock;
using contained::milliseconds_until;

#if defined(__has_feature)
#define QARNEST_HAS_FEATURE(x) __has_feature(x)
#else
#define QARNEST_HAS_FEATURE(x) 0
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__) || QARNEST_HAS_FEATURE(address_sanitizer) || \
    QARNEST_HAS_FEATURE(thread_sanitizer)
constexpr bool sanitized_build = true;
#else
constexpr bool sanitized_build = false;
#endif
constexpr bool limit_child_memory = !sanitized_build;   // the sanitizers reserve huge address ranges
constexpr rlim_t child_address_space = rlim_t{4} << 30;

// How the child ended is read from its wait status, so a library abort must
// end it by its signal even when the host installed handlers of its own (a
// fuzzer or a sanitizer would report the abort and exit instead).
void restore_default_crash_handlers() {
    for (int signal_number : {SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL}) std::signal(signal_number, SIG_DFL);
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

// PolyLib does not check every allocation: a failed one is often followed by
// a crash, or by GMP's or the C++ runtime's abort. errno then still tells.
// Any other crash ends the child by its signal, raised again: the handler
// was reset on entry, and the signal is delivered when the handler returns.
void end_out_of_work_space(int signal_number) {
    if (errno == ENOMEM) _exit(contained::out_of_work_space_status);
    raise(signal_number);
}

// The size of the address space now, in bytes; 0 when unknown.
std::size_t address_space_size() {
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    if (!statm) return 0;
    unsigned long pages = 0;
    if (std::fscanf(statm, "%lu", &pages) != 1) pages = 0;
    std::fclose(statm);
    return static_cast<std::size_t>(pages) * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

}  // namespace

namespace contained {

// The child must not outlive the calculator (it would hold its output streams).
void end_with_parent(pid_t parent) {
#if defined(__linux__)
    prctl(PR_SET_PDEATHSIG, SIGKILL);
#endif
    if (getppid() != parent) _exit(library_failure_status);
}

void bound_child_memory(std::size_t bytes) {
    if (!limit_child_memory) return;
    std::size_t now = address_space_size();
    if (now == 0) return;
    rlimit memory = {now + bytes, now + bytes};
    setrlimit(RLIMIT_AS, &memory);
    struct sigaction action {};
    action.sa_handler = end_out_of_work_space;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;   // a crash for another reason ends the child by its own signal
    for (int signal_number : {SIGABRT, SIGSEGV, SIGBUS}) sigaction(signal_number, &action, nullptr);
}

bool allocation_failed() { return errno == ENOMEM; }

void restrict_child() {
    restore_default_crash_handlers();
    rlimit no_core = {0, 0};
    setrlimit(RLIMIT_CORE, &no_core);
    if (limit_child_memory) {
        rlimit memory = {child_address_space, child_address_space};
        setrlimit(RLIMIT_AS, &memory);
    }
}

void silence_library_messages() {
    if (sanitized_build) return;
    int null_output = open("/dev/null", O_WRONLY);
    if (null_output < 0) return;
    dup2(null_output, STDERR_FILENO);
    close(null_output);
}

// Rounded up, so that a wait never ends before the deadline; 0 once it has passed.
int milliseconds_until(Clock::time_point deadline) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}

bool cancel_requested(CancelCheck* cancel) { return cancel && cancel->analysis_cancelled(); }

// The child's wait status, or false when it is still running at the deadline.
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
    } else if (WEXITSTATUS(status) == out_of_work_space_status) {
        result.outcome = ContainedOutcome::OutOfWorkSpace;
    } else {
        result.outcome = ContainedOutcome::ExitedEarly;
        result.status = WEXITSTATUS(status);
    }
    return result;
}

}  // namespace contained
