// Runs the calculator as a user would: a script on standard input (a pipe or
// a pseudo-terminal), standard output and the exit status captured.
#pragma once

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

struct ProgramResult {
    std::string out;
    std::string err;
    int exit_status = -1;   // -1 when the program did not exit normally
    bool timed_out = false;
};

// Feeds `input` through a pipe, then closes it. environment: extra
// "NAME=value" settings for the program ("DISPLAY=" for no display).
ProgramResult run_qarnest(const std::string& input, const std::vector<std::string>& args = {},
                          std::chrono::seconds timeout = std::chrono::seconds(60),
                          const std::vector<std::string>& environment = {});

// An interactive session: standard input and output on a pseudo-terminal.
class PtySession {
public:
    // environment: extra "NAME=value" settings for the program (e.g. its DISPLAY).
    // like_a_user_terminal: echo on and Ctrl-C sending SIGINT, as in a
    // terminal emulator; otherwise the echo is off and Ctrl-C is a character.
    // launcher: a command that runs the program (valgrind and its options).
    explicit PtySession(const std::vector<std::string>& args = {}, const std::vector<std::string>& environment = {},
                        bool like_a_user_terminal = false, const std::vector<std::string>& launcher = {});
    ~PtySession();
    PtySession(const PtySession&) = delete;
    PtySession& operator=(const PtySession&) = delete;

    void send(const std::string& text);
    // Reads until the output so far ends with `suffix` (or contains it when
    // anywhere is true); false on timeout or end of output.
    bool wait_for(const std::string& text, std::chrono::milliseconds timeout = std::chrono::seconds(20),
                  bool anywhere = false);
    // Reads until `text` appears in the output at or after position `from`;
    // false on timeout or end of output. Cheap on long sessions.
    bool wait_for_after(std::size_t from, const std::string& text,
                        std::chrono::milliseconds timeout = std::chrono::seconds(20));
    // Sends end of input (^D at the start of a line).
    void send_eof();
    // Waits for the process to end; returns its exit status or -1.
    int wait_exit(std::chrono::milliseconds timeout = std::chrono::seconds(20));
    // Everything read so far, with the terminal's "\r\n" turned into "\n" and
    // the echo of typed input removed when the terminal echo is off.
    const std::string& output() const { return output_; }
    pid_t pid() const { return pid_; }

private:
    bool read_some(std::chrono::milliseconds timeout);
    int master_ = -1;
    pid_t pid_ = -1;
    std::string output_;
    int status_ = -1;
    bool exited_ = false;
};
