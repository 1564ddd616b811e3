// The SIGINT flag. Outside reads the handler resumes interrupted system
// calls, so that a Ctrl-C during a computation never fails a write.
#include "interpreter/interrupts.h"

#include <csignal>

namespace {

// The signal's flags: a signal handler has no session to write to, and SIGINT
// is the process's.
struct InterruptState {
    volatile std::sig_atomic_t requested = 0;
    volatile std::sig_atomic_t count = 0;
    bool caught = false;   // the handler is installed
};
InterruptState interrupt_state;

void note_interrupt(int) {
    interrupt_state.requested = 1;
    interrupt_state.count = interrupt_state.count + 1;
}

void install_handler(bool resume_calls) {
    struct sigaction action {};
    action.sa_handler = note_interrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = resume_calls ? SA_RESTART : 0;
    sigaction(SIGINT, &action, nullptr);
}

}  // namespace

void catch_interrupts() {
    install_handler(true);
    interrupt_state.caught = true;
}

bool interrupts_caught() { return interrupt_state.caught; }

bool take_interrupt() {
    if (!interrupt_state.requested) return false;
    interrupt_state.requested = 0;
    return true;
}

unsigned long interrupt_count() { return static_cast<unsigned long>(interrupt_state.count); }

void forget_interrupt() { interrupt_state.requested = 0; }

InterruptibleWait::InterruptibleWait() {
    if (interrupt_state.caught) install_handler(false);
}

InterruptibleWait::~InterruptibleWait() {
    if (interrupt_state.caught) install_handler(true);
}
