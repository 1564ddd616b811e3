// Reads that retry after a signal and end the process on a real read error,
// with the scanner's own message and status.
#include "interpreter/input_reading.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "interpreter/interrupts.h"
#include "interpreter/line_editor.h"

namespace {

std::string edited_line;
std::size_t edited_position = 0;

[[noreturn]] void input_failed() {
    std::fputs("input in flex scanner failed\n", stderr);
    std::exit(2);
}

}  // namespace

std::size_t read_block(FILE* input, char* buffer, std::size_t size) {
    errno = 0;
    std::size_t n;
    while ((n = std::fread(buffer, 1, size, input)) == 0 && std::ferror(input)) {
        if (errno != EINTR) input_failed();
        errno = 0;
        std::clearerr(input);
    }
    return n;
}

std::size_t read_line(FILE* input, char* buffer, std::size_t size, const std::string& prompt, bool& interrupted) {
    InterruptibleWait wait;
    std::size_t n = 0;
    int c = '*';
    for (;;) {
        errno = 0;
        while (n < size && (c = std::getc(input)) != EOF && c != '\n') buffer[n++] = static_cast<char>(c);
        if (c != EOF || !std::ferror(input)) break;
        if (errno != EINTR) input_failed();
        std::clearerr(input);
        if (take_interrupt()) {
            interrupted = true;
            std::fputc('\n', stdout);
            std::fputs(prompt.c_str(), stdout);
            return 0;
        }
    }
    if (c == '\n') buffer[n++] = '\n';
    return n;
}

std::size_t read_edited(char* buffer, std::size_t size, const std::string& prompt, bool& interrupted) {
    if (edited_position >= edited_line.size()) {
        std::string line;
        switch (read_edited_line(prompt, line, true)) {
        case EditedLine::End:
            return 0;
        case EditedLine::Interrupted:
            interrupted = true;
            return 0;
        case EditedLine::Line:
            edited_line = line + "\n";
            edited_position = 0;
            break;
        }
    }
    std::size_t n = std::min(size, edited_line.size() - edited_position);
    std::memcpy(buffer, edited_line.data() + edited_position, n);
    edited_position += n;
    return n;
}

int next_edited_char() {
    if (edited_position >= edited_line.size()) {
        std::string line;
        if (read_edited_line("", line, false) != EditedLine::Line) return EOF;
        edited_line = line + "\n";
        edited_position = 0;
    }
    return static_cast<unsigned char>(edited_line[edited_position++]);
}

std::string take_rest_of_edited_line() {
    std::string rest = edited_position < edited_line.size() ? edited_line.substr(edited_position) : std::string();
    edited_line.clear();
    edited_position = 0;
    return rest;
}
