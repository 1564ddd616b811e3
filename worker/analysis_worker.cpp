// The analysis worker: made by fork, given its problems over a socket, its
// answers read from a pipe that stands for its standard output.
#include "worker/analysis_worker.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <new>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include "base/locks.h"
#include "worker/child_process.h"
#include "worker/work_space.h"

namespace {

using namespace contained;

struct WorkerRequest {
    WorkerJob job;
    std::uint64_t problem_size;   // the problem's bytes follow
};

struct WorkerReply {
    std::uint8_t finished;       // the job returned true
    std::uint8_t retire;         // the worker should serve no further analysis
    std::uint8_t out_of_memory;  // the job gave up when an allocation failed at the budget
};

// The worker's descriptors besides standard input, output and error: its end
// of the channel, a copy of the answer pipe from which standard output is
// made again before each job, so that a job that closed it harms no other,
// and the read end of its lifeline (see end_with_calculator).
constexpr int channel_fd = 3;
constexpr int output_copy_fd = 4;
constexpr int lifeline_fd = 5;

struct WorkerProcess {
    pid_t pid = -1;
    pid_t owner = -1;     // the process that made it; a fork of that one inherits the record, not the worker
    int channel = -1;     // requests out, replies in
    int output = -1;      // the worker's standard output, read without blocking
    int lifeline = -1;    // written never; closed only when the calculator ends
    unsigned uses = 0;
    unsigned warm_ups_unanswered = 0;   // sent when it was made; answered before the first analysis
    bool retiring = false;
};

void stop_worker_at_exit();

struct AnalysisWorker {
    // One analysis at a time; taken after domain_lock, and given back before
    // domain_lock is taken again after the wait.
    std::mutex use;
    WorkerProcess process;
    // Read without `use` at exit: a fork of the calculator must not touch it.
    std::atomic<pid_t> owner{-1};
    WorkerRetirement retirement;
    ~AnalysisWorker() { stop_worker_at_exit(); }
};

// The process's one worker: a child of this process, which every session of
// it uses, one analysis at a time; it dies with the process.
AnalysisWorker analysis_worker;

bool read_exactly(int fd, void* data, std::size_t size) {
    auto* bytes = static_cast<char*>(data);
    while (size > 0) {
        ssize_t n = read(fd, bytes, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool write_exactly(int fd, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = write(fd, bytes, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// ---- In the analysis_worker.process -----------------------------------------------------------

void close_descriptors_from(int first) {
    if (close_range(static_cast<unsigned>(first), ~0U, 0) == 0) return;
    long last = std::min(sysconf(_SC_OPEN_MAX), 65536L);
    for (int fd = first; fd < last; ++fd) close(fd);
}

// Standard input becomes /dev/null (the terminal stays the calculator's), and
// nothing else of the calculator's stays open in the worker: its scripts, its
// display connection, the pipes of its other children, the lifeline's write end.
void settle_worker_descriptors(int channel, int output, int lifeline) {
    int null_input = open("/dev/null", O_RDONLY);
    int high_channel = fcntl(channel, F_DUPFD, lifeline_fd + 1);
    int high_output = fcntl(output, F_DUPFD, lifeline_fd + 1);
    int high_lifeline = fcntl(lifeline, F_DUPFD, lifeline_fd + 1);
    if (high_channel < 0 || high_output < 0 || high_lifeline < 0) _exit(library_failure_status);
    if (null_input >= 0) dup2(null_input, STDIN_FILENO);
    dup2(high_output, STDOUT_FILENO);
    dup2(high_output, output_copy_fd);
    dup2(high_channel, channel_fd);
    dup2(high_lifeline, lifeline_fd);
    close_descriptors_from(lifeline_fd + 1);
}

// The worker is the process's, not the thread's: sessions in threads of their
// own share it, and the thread that made it may end while another session's
// analysis runs in it (a parent-death signal follows that thread). So it ends
// when its lifeline hangs up, which happens only when the calculator process
// ends: the kernel then sends SIGIO, whose default action ends the worker,
// busy or idle. A calculator already gone is seen at once.
void end_with_calculator() {
    std::signal(SIGIO, SIG_DFL);
    sigset_t io;
    sigemptyset(&io);
    sigaddset(&io, SIGIO);
    sigprocmask(SIG_UNBLOCK, &io, nullptr);
    fcntl(lifeline_fd, F_SETOWN, getpid());
    fcntl(lifeline_fd, F_SETFL, O_ASYNC | O_NONBLOCK);
    pollfd hung_up = {lifeline_fd, POLLIN, 0};
    if (poll(&hung_up, 1, 0) != 0) _exit(0);
}

long peak_resident_kib() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// An exception must not leave the job: above it, the worker is a copy of the
// calculator's statement that started it.
void run_job(WorkerJob job, const std::string& problem, bool& finished, bool& out_of_memory) {
    errno = 0;
    try {
        finished = job(problem);
    } catch (const std::bad_alloc&) {
        errno = ENOMEM;
    } catch (...) {
    }
    out_of_memory = !finished && allocation_failed();
}

// Until the calculator closes the channel: one problem in, its answer out.
[[noreturn]] void serve_jobs() {
    const long start_kib = peak_resident_kib();
    std::string problem;
    for (;;) {
        WorkerRequest request{};
        if (!read_exactly(channel_fd, &request, sizeof request)) _exit(0);
        problem.resize(request.problem_size);
        if (!read_exactly(channel_fd, problem.data(), problem.size())) _exit(0);
        dup2(output_copy_fd, STDOUT_FILENO);
        std::clearerr(stdout);
        bool finished = false, out_of_memory = false;
        run_job(request.job, problem, finished, out_of_memory);
        bool flushed = std::fflush(stdout) == 0;
        bool grown = peak_resident_kib() - start_kib > analysis_worker.retirement.growth_kib;
        WorkerReply reply{static_cast<std::uint8_t>(finished), static_cast<std::uint8_t>(!flushed || grown || out_of_memory),
                          static_cast<std::uint8_t>(out_of_memory)};
        if (!write_exactly(channel_fd, &reply, sizeof reply)) _exit(0);
    }
}

// Ctrl-C at the terminal reaches the whole foreground group: the calculator
// decides, and kills the analysis_worker.process when it cancels the analysis.
[[noreturn]] void become_worker(int channel, int output, int lifeline) {
    analysis_worker.process = WorkerProcess{};
    settle_worker_descriptors(channel, output, lifeline);
    end_with_calculator();
    restrict_child();
    bound_child_memory(work_space_budget);
    silence_library_messages();
    std::signal(SIGINT, SIG_IGN);
    std::signal(SIGQUIT, SIG_IGN);
    std::setvbuf(stdout, nullptr, _IOFBF, BUFSIZ);
    serve_jobs();
}

// ---- In the calculator -------------------------------------------------------

// 0, or the errno of the failed pipe or fork. Expects domain_lock held: no
// other thread is inside PolyLib while its state is copied.
int start_worker() {
    int channel[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, channel) != 0) return errno;
    int output[2];
    int lifeline[2];
    if (pipe2(output, O_CLOEXEC) != 0) {
        int error = errno;
        close(channel[0]);
        close(channel[1]);
        return error;
    }
    if (pipe2(lifeline, O_CLOEXEC) != 0) {
        int error = errno;
        for (int fd : {channel[0], channel[1], output[0], output[1]}) close(fd);
        return error;
    }
    std::fflush(stdout);
    std::fflush(stderr);
    pid_t parent = getpid();
    pid_t pid = fork();
    if (pid == 0) become_worker(channel[1], output[1], lifeline[0]);
    int error = errno;
    close(channel[1]);
    close(output[1]);
    if (pid < 0) {
        for (int fd : {channel[0], output[0], lifeline[0], lifeline[1]}) close(fd);
        return error;
    }
    fcntl(output[0], F_SETFL, O_NONBLOCK);
    close(lifeline[0]);
    analysis_worker.process = WorkerProcess{pid, parent, channel[0], output[0], lifeline[1], 0, 0, false};
    analysis_worker.owner = parent;
    return 0;
}

void forget_worker() {
    close(analysis_worker.process.channel);
    close(analysis_worker.process.output);
    close(analysis_worker.process.lifeline);
    analysis_worker.process = WorkerProcess{};
}

void end_worker() {
    kill_and_reap(analysis_worker.process.pid);
    forget_worker();
}

// A fork of the calculator (a test's, or run_contained's child) has copies of
// the descriptors but not the analysis_worker.process as its child.
void forget_inherited_worker() {
    if (analysis_worker.process.pid > 0 && analysis_worker.process.owner != getpid()) forget_worker();
}

// An idle analysis_worker.process says nothing: a readable or hung-up channel means it is gone.
bool idle_worker_gone() {
    pollfd p = {analysis_worker.process.channel, POLLIN, 0};
    return poll(&p, 1, 0) != 0;
}

std::string request_bytes(WorkerJob job, const std::string& problem) {
    WorkerRequest request{job, problem.size()};
    std::string bytes(reinterpret_cast<const char*>(&request), sizeof request);
    return bytes + problem;
}

// False once the worker's end of the pipe is closed.
bool read_available(int fd, std::string& output) {
    char buffer[8192];
    for (;;) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n > 0) {
            output.append(buffer, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        return n < 0;
    }
}

ContainedResult abandoned(ContainedOutcome outcome) {
    end_worker();
    ContainedResult result;
    result.outcome = outcome;
    return result;
}

// The analysis_worker.process answered: everything it printed was in the pipe before its reply.
ContainedResult answered(const WorkerReply& reply, std::string output) {
    read_available(analysis_worker.process.output, output);
    ++analysis_worker.process.uses;
    analysis_worker.process.retiring = reply.retire || analysis_worker.process.uses >= analysis_worker.retirement.uses;
    ContainedResult result;
    result.outcome = reply.finished        ? ContainedOutcome::Finished
                     : reply.out_of_memory ? ContainedOutcome::OutOfWorkSpace
                                           : ContainedOutcome::LibraryFailed;
    result.output = std::move(output);
    return result;
}

// The analysis_worker.process left before answering: its wait status tells how.
ContainedResult worker_ended(std::string output, Clock::time_point deadline) {
    read_available(analysis_worker.process.output, output);
    int status = 0;
    if (!wait_for_exit(analysis_worker.process.pid, status, deadline)) return abandoned(ContainedOutcome::TimedOut);
    forget_worker();
    return outcome_of(status, std::move(output));
}

// Sends the request and waits for the reply, reading the output meanwhile
// (a large answer would fill the pipe and hold the worker). An empty request
// waits for the reply to one sent before.
ContainedResult exchange(const std::string& request, Clock::time_point deadline, CancelCheck* cancel) {
    std::string output;
    WorkerReply reply{};
    std::size_t sent = 0, received = 0;
    bool output_open = true;
    auto send_more = [&] {
        ssize_t n = send(analysis_worker.process.channel, request.data() + sent, request.size() - sent, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n > 0) sent += static_cast<std::size_t>(n);
        return n >= 0 || errno == EAGAIN || errno == EINTR;
    };
    if (!send_more()) return worker_ended(std::move(output), deadline);
    for (;;) {
        int wait_ms = milliseconds_until(deadline);
        if (wait_ms == 0) return abandoned(ContainedOutcome::TimedOut);
        if (cancel_requested(cancel)) return abandoned(ContainedOutcome::Cancelled);
        if (cancel) wait_ms = std::min(wait_ms, cancel_check_ms);
        short channel_events = static_cast<short>(POLLIN | (sent < request.size() ? POLLOUT : 0));
        pollfd fds[2] = {{analysis_worker.process.channel, channel_events, 0}, {analysis_worker.process.output, POLLIN, 0}};
        int ready = poll(fds, output_open ? 2 : 1, wait_ms);
        if (ready < 0 && errno != EINTR) return abandoned(ContainedOutcome::TimedOut);
        if (ready <= 0) continue;
        if (output_open && fds[1].revents != 0) output_open = read_available(analysis_worker.process.output, output);
        if ((fds[0].revents & POLLOUT) && !send_more()) return worker_ended(std::move(output), deadline);
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
            ssize_t n = recv(analysis_worker.process.channel, reinterpret_cast<char*>(&reply) + received, sizeof reply - received,
                             MSG_DONTWAIT);
            if (n > 0) received += static_cast<std::size_t>(n);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR))
                return worker_ended(std::move(output), deadline);
            if (received == sizeof reply) return answered(reply, std::move(output));
        }
    }
}

// The warm-up goes the way of an analysis, through the channel and the
// pipe, so that both processes have their side of that way in memory too.
void send_warm_up(const std::vector<WorkerWarmUp>& warm_up) {
    for (const WorkerWarmUp& work : warm_up) {
        std::string request = request_bytes(work.job, work.problem);
        if (send(analysis_worker.process.channel, request.data(), request.size(), MSG_DONTWAIT | MSG_NOSIGNAL) !=
            static_cast<ssize_t>(request.size()))
            return;
        ++analysis_worker.process.warm_ups_unanswered;
    }
}

// Its answers are thrown away; a analysis_worker.process the warm-up ended is made again,
// cold, by the analysis. Not cancellable: the user's Ctrl-C is for the
// analysis that follows. Under domain_lock, which the warm-up holds briefly.
void collect_warm_up() {
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (analysis_worker.process.pid > 0 && analysis_worker.process.warm_ups_unanswered > 0) {
        --analysis_worker.process.warm_ups_unanswered;
        exchange({}, deadline, nullptr);
    }
}

void stop_worker_at_exit() { stop_analysis_worker(); }

}  // namespace

// What came before the analysis is shown before it runs, and a reader that
// has gone away is seen by the output check while the analysis_worker.process computes.
ContainedResult run_in_worker(WorkerJob job, const std::string& problem, std::chrono::milliseconds limit,
                              CancelCheck* cancel) {
    std::fflush(stdout);
    std::fflush(stderr);
    std::unique_lock use(analysis_worker.use);
    forget_inherited_worker();
    collect_warm_up();
    if (analysis_worker.process.pid > 0 && (analysis_worker.process.retiring || idle_worker_gone())) end_worker();
    if (analysis_worker.process.pid < 0) {
        if (int error = start_worker(); error != 0) {
            ContainedResult result;
            result.status = error;
            return result;
        }
    }
    const std::string request = request_bytes(job, problem);
    const auto deadline = Clock::now() + limit;
    ContainedResult result;
    {
        DomainUnlock unlocked;
        result = exchange(request, deadline, cancel);
        use.unlock();
    }
    return result;
}

bool start_analysis_worker(const std::vector<WorkerWarmUp>& warm_up) {
    std::lock_guard use(analysis_worker.use);
    forget_inherited_worker();
    if (analysis_worker.process.pid > 0) return true;
    int error = start_worker();
    if (error == 0) send_warm_up(warm_up);
    errno = error;
    return error == 0;
}

WorkerRetirement worker_retirement() {
    std::lock_guard use(analysis_worker.use);
    return analysis_worker.retirement;
}

void set_worker_retirement(const WorkerRetirement& retirement) {
    std::lock_guard use(analysis_worker.use);
    analysis_worker.retirement = retirement;
}

void stop_analysis_worker() {
    if (analysis_worker.owner.load() != getpid()) return;
    std::lock_guard use(analysis_worker.use);
    if (analysis_worker.process.pid > 0) end_worker();
}
