// The --figure run: its options, a private display when there is none, and
// the figure written at the end of the statements.
#include "interpreter/figure_mode.h"

#include <X11/Xlib.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "base/locks.h"

namespace {

bool parse_size(const std::string& text, int& width, int& height) {
    int w = 0, h = 0;
    char end = 0;
    if (std::sscanf(text.c_str(), "%dx%d%c", &w, &h, &end) != 2) return false;
    if (w < 1 || h < 1 || w > largest_figure_side || h > largest_figure_side) return false;
    width = w;
    height = h;
    return true;
}

bool display_reachable() {
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name) return false;
    Display* display = XOpenDisplay(nullptr);
    if (!display) return false;
    XCloseDisplay(display);
    return true;
}

}  // namespace

std::string make_figure_request(const std::string& path, const std::optional<std::string>& size,
                                FigureRequest& request) {
    if (path.empty()) return "--figure needs a file name";
    if (!figure_format_of(path)) return "--figure " + path + ": unknown figure format (use .svg, .pdf, .png or .tex)";
    request.path = path;
    if (size && !parse_size(*size, request.width, request.height))
        return "--figure-size " + *size + ": give WIDTHxHEIGHT, each 1 to " + std::to_string(largest_figure_side) +
               " pixels";
    return "";
}

std::string figure_request_of(const CommandLine& line, std::optional<FigureRequest>& request) {
    if (!line.figure_path) return line.figure_size ? "--figure-size goes with --figure" : "";
    FigureRequest figure;
    if (std::string refusal = make_figure_request(*line.figure_path, line.figure_size, figure); !refusal.empty())
        return refusal;
    request = figure;
    return "";
}

PrivateDisplay::~PrivateDisplay() {
    if (server_ <= 0) return;
    kill(server_, SIGTERM);
    waitpid(server_, nullptr, 0);
}

std::string PrivateDisplay::ensure() {
    if (display_reachable()) return "";
    int fds[2];
    if (pipe(fds) != 0) return std::strerror(errno);
    const pid_t calculator = getpid();
    server_ = fork();
    if (server_ < 0) {
        close(fds[0]);
        close(fds[1]);
        return std::strerror(errno);
    }
    if (server_ == 0) {
        // The display goes with the calculator, however it ends.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != calculator) _exit(127);
        close(fds[0]);
        const int quiet = open("/dev/null", O_RDWR);
        dup2(quiet, 0);
        dup2(quiet, 1);
        dup2(quiet, 2);
        const std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
               static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number.push_back(c);
    close(fds[0]);
    if (number.empty()) {
        waitpid(server_, nullptr, 0);
        server_ = -1;
        return "no display, and no virtual display (Xvfb) could be started";
    }
    setenv("DISPLAY", (":" + number).c_str(), 1);
    return "";
}

int write_requested_figure(Viewer& viewer, const FigureRequest& request) {
    GdkLock gdk;
    bool shown;
    {
        DomainLock lock;
        shown = viewer_shows_a_domain(viewer);
    }
    if (!shown) {
        std::fprintf(stderr, "No figure written to %s: no domain is shown\n", request.path.c_str());
        return 1;
    }
    const std::string failure = export_shown_picture(viewer, request.path, request.width, request.height);
    if (failure.empty()) return 0;
    std::fprintf(stderr, "%s\n", failure.c_str());
    return 1;
}
