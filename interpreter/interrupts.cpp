// The SIGINT flag. Outside reads the handler resumes interrupted system
// calls, so that a Ctrl-C during a computation never fails a write.
#include "interpreter/interrupts.h"

#include <csignal>

namespace {

volatile std::sig_atomic_t interrupt_requested = 0;
bool caught = false;

void note_interrupt(int) { interrupt_requested = 1; }

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
    caught = true;
}

bool interrupts_caught() { return caught; }

bool take_interrupt() {
    if (!interrupt_requested) return false;
    interrupt_requested = 0;
    return true;
}

void forget_interrupt() { interrupt_requested = 0; }

InterruptibleWait::InterruptibleWait() {
    if (caught) install_handler(false);
}

InterruptibleWait::~InterruptibleWait() {
    if (caught) install_handler(true);
}
