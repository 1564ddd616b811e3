// Standard output redirected to a temporary file while the work runs.
#include "tests/support/capture.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <unistd.h>

std::string capture_stdout(const std::function<void()>& work) {
    std::fflush(stdout);
    char path[] = "/tmp/qarnest-capture-XXXXXX";
    int fd = mkstemp(path);
    int saved = dup(1);
    dup2(fd, 1);
    work();
    std::fflush(stdout);
    dup2(saved, 1);
    close(saved);
    close(fd);
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    unlink(path);
    return text.str();
}
