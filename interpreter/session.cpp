// The session: its scanner made and ended with it, and its answers to the
// store's questions about the user.
#include "interpreter/session.h"

#include "base/locks.h"
#include "interpreter/interrupts.h"
#include "interpreter/standard_streams.h"
#include "view/visutypes.h"

Session::Session(FILE* out) : StoreSession(out) {
    reader = this;
    create_scanner(*this);
    scanner_set_inputs(*this, {});
}

Session::~Session() {
    reset_declaration(declaration);
    destroy_scanner(*this);
    DomainLock lock;
    // The windows that watch the store go before it (members before bases).
    registries.watcher = nullptr;
}

bool Session::statement_abandoned() { return abandon_on_interrupt && take_interrupt(); }

unsigned long Session::stop_requests() const { return interrupt_count(); }

bool Session::analysis_cancelled() {
    return cancel_unwanted_analyses && (take_interrupt() || standard_output_abandoned());
}
