// Standard descriptors and write failures.
#include "interpreter/standard_streams.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// error is 0 when the failure was met by an earlier implicit flush, whose
// reason the stream does not keep.
[[noreturn]] void end_on_write_failure(int error) {
    if (error)
        std::fprintf(stderr, "qarnest: cannot write to standard output: %s\n", std::strerror(error));
    else
        std::fputs("qarnest: cannot write to standard output\n", stderr);
    std::fflush(stderr);
    _exit(2);
}

bool standard_output_is_pipe() {
    struct stat status {};
    return fstat(STDOUT_FILENO, &status) == 0 && S_ISFIFO(status.st_mode);
}

}  // namespace

void open_closed_standard_descriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened != fd) _exit(2);
    }
    // A reader that goes away is seen as a failed write, reported once.
    std::signal(SIGPIPE, SIG_IGN);
}

bool standard_output_abandoned() {
    if (!standard_output_is_pipe()) return false;
    pollfd p = {STDOUT_FILENO, 0, 0};
    return poll(&p, 1, 0) == 1 && (p.revents & POLLERR);
}

void check_standard_output() {
    bool failed_before = std::ferror(stdout);
    errno = 0;
    if (std::fflush(stdout) != 0 && !failed_before) end_on_write_failure(errno);
    if (failed_before) end_on_write_failure(standard_output_abandoned() ? EPIPE : 0);
    if (standard_output_abandoned()) end_on_write_failure(EPIPE);
}
