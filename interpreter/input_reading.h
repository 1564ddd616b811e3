// Reading one input the way its mode says: blocks of a file or pipe, single
// lines, or the line editor's lines (handed out in pieces to the scanner and
// character by character to the overwrite dialogue).
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

// Standard input read at a terminal, with or without the line editor: the
// character given back, the edited line being handed out, and its end.
struct TerminalReading {
    std::string terminal_pushback;     // given back by the dialogue, the next character last
    bool interrupted_by_key = false;   // the last terminal read ended on Ctrl-C
    bool terminal_ended = false;       // Ctrl-D seen: the end stays, as a stream's end of file does
    std::string edited_line;
    std::size_t edited_position = 0;
};

// A file or pipe is read this many bytes at a time.
inline constexpr std::size_t input_block_size = 8192;

// At most `size` bytes: what a pipe holds (at least one byte, waiting for
// one), a file's next bytes; 0 at the end of the input. Beyond a block,
// until `size` or the end of a line.
std::size_t read_block(FILE* input, char* buffer, std::size_t size);

class KernelProtocol;

// An input read by lines as they arrive (--line-mode), from its descriptor
// through a buffer of our own: the wait for more is where a Ctrl-C can come
// without being lost, and where a driving program gets its status frame and
// has its requests answered.
class LineInput {
public:
    // protocol: the frames and requests of --kernel-protocol, or null.
    LineInput(int descriptor, FILE* out, KernelProtocol* protocol)
        : descriptor_(descriptor), out_(out), protocol_(protocol) {}
    // Up to and with the next newline, at most `size` bytes; 0 at the end of
    // the input. A Ctrl-C while waiting drops the line: `interrupted` is set
    // and (without the protocol) the prompt written again on a new line.
    // answer_awaited: the overwrite question waits for this line.
    std::size_t read_line(char* buffer, std::size_t size, const std::string& prompt, bool& interrupted,
                          bool answer_awaited);
    bool writes_frames() const { return protocol_ != nullptr; }

private:
    // More bytes into the buffer; false at the end of input or on Ctrl-C.
    bool fill(bool& interrupted);
    // The whole next line is in the buffer (or the input has ended).
    bool have_whole_line(bool& interrupted);
    int descriptor_;
    FILE* out_;
    KernelProtocol* protocol_;
    std::string buffered_;
    std::size_t position_ = 0;
    bool at_line_start_ = true;
    bool ended_ = false;
};

// A terminal without the line editor, read a byte at a time: nothing waits
// in a buffer when the wait for a key starts, so a Ctrl-C is never missed.
// Up to and with the next newline, at most `size` bytes; 0 at the end. A
// Ctrl-C while waiting drops the line as read_line does.
std::size_t read_terminal_line(TerminalReading& terminal, FILE* out, char* buffer, std::size_t size, const std::string& prompt, bool& interrupted);
// One character for the overwrite dialogue; EOF at the end or on Ctrl-C.
int next_terminal_char(TerminalReading& terminal, FILE* out);
// Given back characters are read again, the last given first.
void unread_terminal_char(TerminalReading& terminal, int c);
// Whether input typed ahead waits to be read (given back, or in the terminal).
bool terminal_input_waiting(const TerminalReading& terminal);

// The next piece of the edited line, a new line being read with `prompt`
// (and kept in the history) when the current one is used up; 0 at the end.
std::size_t read_edited(TerminalReading& terminal, char* buffer, std::size_t size, const std::string& prompt, bool& interrupted);
// The next character of the edited line, a new line being read without a
// prompt or history when it is used up; EOF at the end or on Ctrl-C.
int next_edited_char(TerminalReading& terminal);
// What is left of the edited line, which is then forgotten.
std::string take_rest_of_edited_line(TerminalReading& terminal);
// Whether lines typed ahead wait in the terminal for the line editor.
bool edited_input_waiting();
