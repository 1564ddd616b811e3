// Xvfb, openbox, xdotool and ImageMagick behind a small interface.
#include "tests/support/x_session.h"

#include <algorithm>
#include <array>
#include <fcntl.h>
#include <cstdio>
#include <csignal>
#include <cstdlib>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

std::string read_all(FILE* pipe) {
    std::string text;
    std::array<char, 4096> buffer;
    std::size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) text.append(buffer.data(), n);
    return text;
}

std::string shell_quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string trim(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
    return s;
}

void stop(pid_t pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    for (int k = 0; k < 50; ++k) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

}  // namespace

Rgb Screenshot::at(int x, int y) const {
    std::size_t i = (static_cast<std::size_t>(y) * width_ + x) * 3;
    return {rgb_[i], rgb_[i + 1], rgb_[i + 2]};
}

int Screenshot::count(Rgb colour) const { return count_in(colour, 0, 0, width_, height_); }

int Screenshot::count_in(Rgb colour, int x0, int y0, int x1, int y1) const {
    int n = 0;
    for (int y = std::max(0, y0); y < std::min(height_, y1); ++y)
        for (int x = std::max(0, x0); x < std::min(width_, x1); ++x)
            if (at(x, y) == colour) ++n;
    return n;
}

XSession::XSession(bool with_window_manager) {
    int fds[2];
    if (pipe(fds)) throw std::runtime_error("pipe");
    server_ = fork();
    if (server_ == 0) {
        ::close(fds[0]);
        std::string fd = std::to_string(fds[1]);
        int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, 2);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-noreset", "-nolisten",
               "tcp", static_cast<char*>(nullptr));
        _exit(127);
    }
    ::close(fds[1]);
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number.push_back(c);
    ::close(fds[0]);
    if (number.empty()) throw std::runtime_error("Xvfb did not start");
    display_ = ":" + number;
    if (with_window_manager) {
        window_manager_ = fork();
        if (window_manager_ == 0) {
            setenv("DISPLAY", display_.c_str(), 1);
            int devnull = open("/dev/null", O_WRONLY);
            dup2(devnull, 1);
            dup2(devnull, 2);
            execlp("openbox", "openbox", static_cast<char*>(nullptr));
            _exit(127);
        }
        for (int k = 0; k < 100 && trim(run("xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null")).find("window id") ==
                                      std::string::npos;
             ++k)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

XSession::~XSession() {
    stop(window_manager_);
    stop(server_);
}

std::string XSession::run(const std::string& command) const {
    std::string full = "export DISPLAY=" + display_ + "; " + command;
    auto t0 = std::chrono::steady_clock::now();
    FILE* pipe = popen(full.c_str(), "r");
    if (!pipe) return "";
    std::string out = read_all(pipe);
    pclose(pipe);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
    if (ms > 500) std::fprintf(stderr, "SLOW %lld ms: %s\n", static_cast<long long>(ms), command.c_str());
    return out;
}

std::string XSession::find_window(const std::string& title, std::chrono::milliseconds timeout) const {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    do {
        std::string ids = run("xdotool search --name " + shell_quoted("^" + title + "$") + " 2>/dev/null");
        if (!ids.empty()) return ids.substr(0, ids.find('\n'));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } while (std::chrono::steady_clock::now() < deadline);
    return "";
}

bool XSession::is_viewable(const std::string& window) const {
    return run("xwininfo -id " + window + " 2>/dev/null").find("IsViewable") != std::string::npos;
}

bool XSession::wait_viewable(const std::string& window, bool viewable, std::chrono::milliseconds timeout) const {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    do {
        if (is_viewable(window) == viewable) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

Geometry XSession::geometry(const std::string& window) const {
    Geometry g;
    std::string info = run("xwininfo -id " + window + " 2>/dev/null");
    auto field = [&](const std::string& name) {
        auto at = info.find(name);
        return at == std::string::npos ? 0 : std::atoi(info.c_str() + at + name.size());
    };
    g.x = field("Absolute upper-left X:");
    g.y = field("Absolute upper-left Y:");
    g.width = field("Width:");
    g.height = field("Height:");
    return g;
}

void XSession::click(const std::string& window, int x, int y, int button) const {
    raise(window);
    run("xdotool mousemove --window " + window + " " + std::to_string(x) + " " + std::to_string(y) +
        " sleep 0.05 click " + std::to_string(button));
}

void XSession::raise(const std::string& window) const {
    run("xdotool windowactivate --sync " + window + " 2>/dev/null");
}

void XSession::drag(const std::string& window, int x0, int y0, int x1, int y1, int steps) const {
    raise(window);
    run("xdotool mousemove --window " + window + " " + std::to_string(x0) + " " + std::to_string(y0) +
        " mousedown 1");
    for (int k = 1; k <= steps; ++k) {
        int x = x0 + (x1 - x0) * k / steps, y = y0 + (y1 - y0) * k / steps;
        run("xdotool mousemove --window " + window + " " + std::to_string(x) + " " + std::to_string(y));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    run("xdotool mouseup 1");
}

void XSession::type(const std::string& window, const std::string& text) const {
    run("xdotool windowactivate --sync " + window + " 2>/dev/null; xdotool type --delay 50 " + shell_quoted(text));
}

void XSession::key(const std::string& window, const std::string& keys) const {
    run("xdotool windowactivate --sync " + window + " 2>/dev/null; xdotool key --delay 50 " + keys);
}

void XSession::close(const std::string& window) const { run("wmctrl -i -c " + window); }

Screenshot XSession::capture(const std::string& window) const {
    Geometry g = geometry(window);
    std::string data = run("import -window " + window + " -depth 8 rgb:- 2>/dev/null");
    if (g.width <= 0 || data.size() != static_cast<std::size_t>(g.width) * g.height * 3) return {0, 0, {}};
    return {g.width, g.height, std::vector<unsigned char>(data.begin(), data.end())};
}

void XSession::settle(std::chrono::milliseconds pause) const { std::this_thread::sleep_for(pause); }
