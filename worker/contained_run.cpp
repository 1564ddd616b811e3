// The contained runner: fork, a pipe for the child's standard output, a
// deadline, and the reading of how the child ended.
#include "worker/contained_run.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <unistd.h>

#include "base/locks.h"
#include "worker/child_process.h"
#include "worker/work_space.h"

namespace {

using namespace contained;

[[noreturn]] void run_child(pid_t parent, int write_end, int read_end, bool (*work)(void*), void* context) {
    end_with_parent(parent);
    close(read_end);
    dup2(write_end, STDOUT_FILENO);
    close(write_end);
    restrict_child();
    silence_library_messages();
    bool finished = work(context);
    std::fflush(stdout);
    _exit(finished ? 0 : library_failure_status);
}

// Reads the child's output until it closes the pipe; false when the deadline
// passes first or the analysis is cancelled.
bool read_until_closed(int fd, std::string& output, Clock::time_point deadline, CancelCheck* cancel,
                       bool& cancelled) {
    char buffer[8192];
    for (;;) {
        int wait_ms = milliseconds_until(deadline);
        if (wait_ms == 0) return false;
        if ((cancelled = cancel_requested(cancel))) return false;
        if (cancel) wait_ms = std::min(wait_ms, cancel_check_ms);
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

ContainedResult wait_for_child(pid_t pid, int read_end, Clock::time_point deadline, CancelCheck* cancel) {
    std::string output;
    int status = 0;
    bool cancelled = false;
    bool ended = read_until_closed(read_end, output, deadline, cancel, cancelled) && wait_for_exit(pid, status, deadline);
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

ContainedResult run_contained(bool (*work)(void* context), void* context, std::chrono::milliseconds limit,
                              CancelCheck* cancel) {
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
    return wait_for_child(pid, ends[0], deadline, cancel);
}

std::string contained_failure_reason(const ContainedResult& result, const std::string& what,
                                     std::chrono::milliseconds limit) {
    switch (result.outcome) {
    case ContainedOutcome::Finished:
        return {};
    case ContainedOutcome::LibraryFailed:
        return "PolyLib failed on " + what + " (arithmetic overflow or work space exceeded)";
    case ContainedOutcome::Crashed:
        return "PolyLib stopped abnormally on " + what + " (" + strsignal(result.status) +
               "; most likely an arithmetic overflow)";
    case ContainedOutcome::ExitedEarly:
        return "PolyLib gave up on " + what + " (exit status " + std::to_string(result.status) + ")";
    case ContainedOutcome::TimedOut: {
        auto ms = limit.count();
        std::string amount = ms % 1000 == 0 ? std::to_string(ms / 1000) + " seconds" : std::to_string(ms) + " ms";
        return what + " took more than " + amount + " and was stopped";
    }
    case ContainedOutcome::Cancelled:
        return what + " was interrupted";
    case ContainedOutcome::OutOfWorkSpace:
        return what + " " + work_space_exceeded_text();
    case ContainedOutcome::NotStarted:
        return "could not start " + what + " (" + std::strerror(result.status) + ")";
    }
    return {};
}

std::string contained_failure_message(const ContainedResult& result, const std::string& what,
                                      std::chrono::milliseconds limit) {
    if (result.outcome == ContainedOutcome::Finished) return {};
    return contained_failure_reason(result, what, limit) + " - command ignored";
}
