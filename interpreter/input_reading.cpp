// Reads that retry after a signal and end the process on a real read error,
// with the scanner's own message and status.
#include "interpreter/input_reading.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <csignal>
#include <cstring>
#include <poll.h>
#include <unistd.h>

#include "interpreter/interrupts.h"
#include "interpreter/kernel_protocol.h"
#include "interpreter/line_editor.h"

namespace {

[[noreturn]] void input_failed() {
    std::fputs("input in flex scanner failed\n", stderr);
    std::exit(2);
}

// Waits until `descriptor` has input, with SIGINT blocked except inside the
// wait itself, so that a Ctrl-C is never lost between its test and the wait.
// Returns ppoll's answer; `interrupted` when a Ctrl-C came first.
int wait_for_input(int descriptor, bool& interrupted) {
    sigset_t blocked, previous;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGINT);
    sigprocmask(SIG_BLOCK, &blocked, &previous);
    int ready = 0;
    interrupted = take_interrupt();
    if (!interrupted) {
        pollfd p = {descriptor, POLLIN, 0};
        sigset_t during = previous;
        sigdelset(&during, SIGINT);
        ready = ppoll(&p, 1, nullptr, &during);
        if (ready < 0 && errno == EINTR) interrupted = take_interrupt();
    }
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    return ready;
}

// Waits for a key with SIGINT blocked except inside the wait itself, then
// reads one byte. EOF at the end of input or when interrupted.
int wait_and_read_terminal_byte(TerminalReading& terminal, bool& interrupted) {
    for (;;) {
        int ready = wait_for_input(STDIN_FILENO, interrupted);
        if (interrupted) return EOF;
        if (ready <= 0) continue;
        unsigned char c;
        ssize_t n = read(STDIN_FILENO, &c, 1);
        if (n == 1) return c;
        if (n == 0) {
            terminal.terminal_ended = true;
            return EOF;
        }
        if (errno != EINTR && errno != EAGAIN) input_failed();
    }
}

// A stream without a descriptor (a text in memory) holds all its bytes at once.
std::size_t read_memory_block(FILE* input, char* buffer, std::size_t size) {
    errno = 0;
    std::size_t n;
    while ((n = std::fread(buffer, 1, size, input)) == 0 && std::ferror(input)) {
        if (errno != EINTR) input_failed();
        errno = 0;
        std::clearerr(input);
    }
    return n;
}

// One read of what the descriptor holds, at least a byte; 0 at the end.
std::size_t read_some(int fd, char* buffer, std::size_t size) {
    for (;;) {
        ssize_t n = read(fd, buffer, size);
        if (n >= 0) return static_cast<std::size_t>(n);
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            pollfd p = {fd, POLLIN, 0};
            poll(&p, 1, -1);
        } else if (errno != EINTR) {
            input_failed();
        }
    }
}

bool standard_input_readable() {
    pollfd p = {STDIN_FILENO, POLLIN, 0};
    return poll(&p, 1, 0) > 0 && (p.revents & POLLIN);
}

void drop_typed_line(FILE* out, const std::string& prompt) {
    std::fputc('\n', out);
    std::fputs(prompt.c_str(), out);
}

}  // namespace

std::size_t read_terminal_line(TerminalReading& terminal, FILE* out, char* buffer, std::size_t size,
                               const std::string& prompt, bool& interrupted) {
    std::size_t n = 0;
    while (n < size) {
        int c = next_terminal_char(terminal, out);
        if (c == EOF) {
            if (!terminal.interrupted_by_key) break;
            interrupted = true;
            drop_typed_line(out, prompt);
            return 0;
        }
        buffer[n++] = static_cast<char>(c);
        if (c == '\n') break;
    }
    return n;
}

int next_terminal_char(TerminalReading& terminal, FILE* out) {
    std::fflush(out);
    if (!terminal.terminal_pushback.empty()) {
        int c = static_cast<unsigned char>(terminal.terminal_pushback.back());
        terminal.terminal_pushback.pop_back();
        return c;
    }
    if (terminal.terminal_ended) {
        terminal.interrupted_by_key = false;
        return EOF;
    }
    return wait_and_read_terminal_byte(terminal, terminal.interrupted_by_key);
}

void unread_terminal_char(TerminalReading& terminal, int c) {
    if (c != EOF) terminal.terminal_pushback.push_back(static_cast<char>(c));
}

bool terminal_input_waiting(const TerminalReading& terminal) {
    return !terminal.terminal_pushback.empty() || standard_input_readable();
}

// A pipe's writer may keep it open after its last statement ("quit" sent by
// a program that waits for the answer): a block read takes what the pipe
// holds instead of waiting for a full block or the end of input. A larger
// read is for a token longer than a block, which is scanned again after
// each read: it is filled until the end of a line, so that reads grow with
// the token however little the pipe holds at a time.
std::size_t read_block(FILE* input, char* buffer, std::size_t size) {
    const int fd = fileno(input);
    if (fd < 0) return read_memory_block(input, buffer, size);
    std::size_t n = read_some(fd, buffer, size);
    if (size <= input_block_size) return n;
    std::size_t last = n;
    while (last > 0 && n < size && !std::memchr(buffer + n - last, '\n', last)) {
        last = read_some(fd, buffer + n, size - n);
        n += last;
    }
    return n;
}

bool LineInput::fill(bool& interrupted) {
    if (ended_) return false;
    for (;;) {
        int ready = wait_for_input(descriptor_, interrupted);
        // A Ctrl-C that came with the input is handled as the mask is
        // restored: it goes first, as it was sent first.
        if (!interrupted && ready > 0) interrupted = take_interrupt();
        if (interrupted) return false;
        if (ready <= 0) continue;
        if (position_ > 0) {
            buffered_.erase(0, position_);
            position_ = 0;
        }
        char block[65536];
        const ssize_t n = read(descriptor_, block, sizeof block);
        if (n > 0) {
            buffered_.append(block, static_cast<std::size_t>(n));
            return true;
        }
        if (n == 0) {
            ended_ = true;
            return false;
        }
        if (errno != EINTR && errno != EAGAIN) input_failed();
    }
}

bool LineInput::have_whole_line(bool& interrupted) {
    while (buffered_.find('\n', position_) == std::string::npos)
        if (!fill(interrupted)) return !interrupted && position_ < buffered_.size();
    return true;
}

std::size_t LineInput::read_line(char* buffer, std::size_t size, const std::string& prompt, bool& interrupted,
                                 bool answer_awaited) {
    bool key = false;
    if (at_line_start_ && protocol_) {
        for (;;) {
            protocol_->write_frame(answer_awaited);
            if (!have_whole_line(key)) break;
            const std::size_t end = buffered_.find('\n', position_);
            const std::string line =
                buffered_.substr(position_, end == std::string::npos ? std::string::npos : end - position_);
            if (!protocol_->answer_request(line)) break;
            position_ = end == std::string::npos ? buffered_.size() : end + 1;
        }
    }
    std::size_t n = 0;
    while (n < size && !key) {
        if (position_ >= buffered_.size() && !fill(key)) break;
        const char c = buffered_[position_++];
        buffer[n++] = c;
        if (c == '\n') break;
    }
    if (key) {
        interrupted = true;
        at_line_start_ = true;
        if (!protocol_) drop_typed_line(out_, prompt);
        return 0;
    }
    at_line_start_ = n == 0 || buffer[n - 1] == '\n';
    return n;
}

std::size_t read_edited(TerminalReading& terminal, char* buffer, std::size_t size, const std::string& prompt, bool& interrupted) {
    if (terminal.edited_position >= terminal.edited_line.size()) {
        std::string line;
        switch (read_edited_line(prompt, line, true)) {
        case EditedLine::End:
            return 0;
        case EditedLine::Interrupted:
            interrupted = true;
            return 0;
        case EditedLine::Line:
            terminal.edited_line = line + "\n";
            terminal.edited_position = 0;
            break;
        }
    }
    std::size_t n = std::min(size, terminal.edited_line.size() - terminal.edited_position);
    std::memcpy(buffer, terminal.edited_line.data() + terminal.edited_position, n);
    terminal.edited_position += n;
    return n;
}

int next_edited_char(TerminalReading& terminal) {
    if (terminal.edited_position >= terminal.edited_line.size()) {
        std::string line;
        if (read_edited_line("", line, false) != EditedLine::Line) return EOF;
        terminal.edited_line = line + "\n";
        terminal.edited_position = 0;
    }
    return static_cast<unsigned char>(terminal.edited_line[terminal.edited_position++]);
}

std::string take_rest_of_edited_line(TerminalReading& terminal) {
    std::string rest = terminal.edited_position < terminal.edited_line.size() ? terminal.edited_line.substr(terminal.edited_position) : std::string();
    terminal.edited_line.clear();
    terminal.edited_position = 0;
    return rest;
}

bool edited_input_waiting() { return standard_input_readable(); }
