// Process plumbing for the transcript tests.
#include "tests/support/run_program.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

std::vector<char*> make_argv(const std::vector<std::string>& args, std::vector<std::string>& storage,
                             const std::vector<std::string>& launcher = {}) {
    storage = launcher;
    storage.push_back(QARNEST_BINARY);
    storage.insert(storage.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& s : storage) argv.push_back(s.data());
    argv.push_back(nullptr);
    return argv;
}

int decode_status(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

}  // namespace

ProgramResult run_qarnest(const std::string& input, const std::vector<std::string>& args,
                          std::chrono::seconds timeout, const std::vector<std::string>& environment) {
    int in_pipe[2], out_pipe[2], err_pipe[2];
    if (pipe(in_pipe) || pipe(out_pipe) || pipe(err_pipe)) throw std::runtime_error("pipe");
    std::vector<std::string> storage;
    auto argv = make_argv(args, storage);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(in_pipe[0], 0);
        dup2(out_pipe[1], 1);
        dup2(err_pipe[1], 2);
        for (int fd : {in_pipe[0], in_pipe[1], out_pipe[0], out_pipe[1], err_pipe[0], err_pipe[1]}) close(fd);
        for (const auto& setting : environment) putenv(const_cast<char*>(setting.c_str()));
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(in_pipe[0]);
    close(out_pipe[1]);
    close(err_pipe[1]);
    signal(SIGPIPE, SIG_IGN);
    fcntl(in_pipe[1], F_SETFL, O_NONBLOCK);

    ProgramResult result;
    std::size_t written = 0;
    bool in_open = true;
    if (input.empty()) {
        close(in_pipe[1]);
        in_open = false;
    }
    bool out_open = true, err_open = true;
    auto deadline = std::chrono::steady_clock::now() + timeout;
    char buffer[65536];
    while (out_open || err_open) {
        if (std::chrono::steady_clock::now() > deadline) {
            result.timed_out = true;
            kill(pid, SIGKILL);
            break;
        }
        std::vector<pollfd> fds;
        if (out_open) fds.push_back({out_pipe[0], POLLIN, 0});
        if (err_open) fds.push_back({err_pipe[0], POLLIN, 0});
        if (in_open) fds.push_back({in_pipe[1], POLLOUT, 0});
        if (poll(fds.data(), fds.size(), 100) < 0 && errno != EINTR) break;
        for (auto& p : fds) {
            if (!p.revents) continue;
            if (p.fd == in_pipe[1]) {
                ssize_t n = write(in_pipe[1], input.data() + written, input.size() - written);
                if (n > 0) written += static_cast<std::size_t>(n);
                if (n < 0 && errno != EAGAIN) written = input.size();
                if (written == input.size()) {
                    close(in_pipe[1]);
                    in_open = false;
                }
                continue;
            }
            ssize_t n = read(p.fd, buffer, sizeof buffer);
            if (n <= 0) {
                close(p.fd);
                (p.fd == out_pipe[0] ? out_open : err_open) = false;
            } else {
                (p.fd == out_pipe[0] ? result.out : result.err).append(buffer, static_cast<std::size_t>(n));
            }
        }
    }
    if (in_open) close(in_pipe[1]);
    if (out_open) close(out_pipe[0]);
    if (err_open) close(err_pipe[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    result.exit_status = result.timed_out ? -1 : decode_status(status);
    return result;
}

PtySession::PtySession(const std::vector<std::string>& args, const std::vector<std::string>& environment,
                       bool like_a_user_terminal, const std::vector<std::string>& launcher) {
    std::vector<std::string> storage;
    auto argv = make_argv(args, storage, launcher);
    termios settings{};
    cfmakeraw(&settings);
    settings.c_lflag |= ICANON;   // line editing, so ^D ends the input
    settings.c_cc[VEOF] = 4;
    settings.c_cc[VMIN] = 1;
    settings.c_oflag |= OPOST | ONLCR;
    if (like_a_user_terminal) {
        settings.c_lflag |= ECHO | ECHOE | ECHOK | ECHOCTL | ISIG | IEXTEN;
        settings.c_cc[VINTR] = 3;
        settings.c_cc[VERASE] = 0x7f;
    }
    pid_ = forkpty(&master_, nullptr, &settings, nullptr);
    if (pid_ < 0) throw std::runtime_error("forkpty");
    if (pid_ == 0) {
        for (const auto& setting : environment) putenv(const_cast<char*>(setting.c_str()));
        execvp(argv[0], argv.data());
        _exit(127);
    }
}

PtySession::~PtySession() {
    if (!exited_ && pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (master_ >= 0) close(master_);
}

void PtySession::send(const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(master_, text.data() + done, text.size() - done);
        if (n <= 0) {
            if (errno == EINTR) continue;
            return;
        }
        done += static_cast<std::size_t>(n);
    }
}

void PtySession::send_eof() { send("\x04"); }


bool PtySession::read_some(std::chrono::milliseconds timeout) {
    pollfd p{master_, POLLIN, 0};
    int r = poll(&p, 1, static_cast<int>(timeout.count()));
    if (r <= 0) return false;
    char buffer[4096];
    ssize_t n = read(master_, buffer, sizeof buffer);
    if (n <= 0) return false;
    for (ssize_t i = 0; i < n; ++i)
        if (buffer[i] != '\r') output_.push_back(buffer[i]);
    return true;
}

bool PtySession::wait_for(const std::string& text, std::chrono::milliseconds timeout, bool anywhere) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        bool found = anywhere ? output_.find(text) != std::string::npos
                              : (output_.size() >= text.size() &&
                                 output_.compare(output_.size() - text.size(), text.size(), text) == 0);
        if (found) return true;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        if (!read_some(left)) {
            if (std::chrono::steady_clock::now() >= deadline) return false;
            int status;
            if (!exited_ && waitpid(pid_, &status, WNOHANG) == pid_) {
                exited_ = true;
                status_ = decode_status(status);
                while (read_some(std::chrono::milliseconds(50))) {}
                return anywhere ? output_.find(text) != std::string::npos
                                : output_.size() >= text.size() &&
                                      output_.compare(output_.size() - text.size(), text.size(), text) == 0;
            }
            if (exited_) return false;
        }
    }
}

bool PtySession::wait_for_after(std::size_t from, const std::string& text, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        std::size_t start = from < output_.size() ? from : output_.size();
        if (output_.find(text, start) != std::string::npos) return true;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        if (read_some(left)) continue;
        int status;
        if (!exited_ && waitpid(pid_, &status, WNOHANG) == pid_) {
            exited_ = true;
            status_ = decode_status(status);
            while (read_some(std::chrono::milliseconds(50))) {}
        }
        if (exited_) return output_.find(text, start) != std::string::npos;
    }
}

int PtySession::wait_exit(std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!exited_) {
        read_some(std::chrono::milliseconds(50));
        int status;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            exited_ = true;
            status_ = decode_status(status);
            while (read_some(std::chrono::milliseconds(50))) {}
            break;
        }
        if (std::chrono::steady_clock::now() > deadline) return -1;
    }
    return status_;
}
