// Ctrl-C in an interactive session: it asks to drop the statement being typed
// or to abandon the one running, and never ends the process.
#pragma once

// Installs the SIGINT handler; only for a session read from a terminal (in
// batch use SIGINT keeps its default meaning).
void catch_interrupts();
bool interrupts_caught();

// True once per Ctrl-C: the request is consumed by whoever acts on it.
bool take_interrupt();
// How many Ctrl-C so far: a redraw that sees it grow stops, and leaves the
// request to whoever acts on it.
unsigned long interrupt_count();
// Forgets a request that nobody acted on (pressed while a statement that
// stores nothing was running).
void forget_interrupt();

// While alive, a Ctrl-C ends a blocking read with EINTR instead of letting
// it resume.
class InterruptibleWait {
public:
    InterruptibleWait();
    ~InterruptibleWait();
    InterruptibleWait(const InterruptibleWait&) = delete;
    InterruptibleWait& operator=(const InterruptibleWait&) = delete;
};
