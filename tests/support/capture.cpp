// A standard stream redirected to a temporary file while the work runs.
#include "tests/support/capture.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

std::string capture(FILE* stream, const std::function<void()>& work) {
    std::fflush(stream);
    int descriptor = fileno(stream);
    char path[] = "/tmp/qarnest-capture-XXXXXX";
    int fd = mkstemp(path);
    int saved = dup(descriptor);
    dup2(fd, descriptor);
    work();
    std::fflush(stream);
    dup2(saved, descriptor);
    close(saved);
    close(fd);
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    unlink(path);
    return text.str();
}

}  // namespace

std::string capture_stdout(const std::function<void()>& work) { return capture(stdout, work); }
std::string capture_stderr(const std::function<void()>& work) { return capture(stderr, work); }
