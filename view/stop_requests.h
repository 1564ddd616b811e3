// The viewer's one question to the interpreter while it redraws: has the
// user asked to stop?
#pragma once

// How a redraw hears that the user asked the statement under way to stop
// (Ctrl-C at the terminal): a count that grows with each request. The
// interpreter answers it.
class StopRequests {
public:
    virtual unsigned long stop_requests() const = 0;

protected:
    ~StopRequests() = default;
};
