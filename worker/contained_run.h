// Runs a PolyLib analysis in a child process with a time limit, so that a
// library abort, a crash or a runaway computation ends only that analysis.
// A child forked per call; the statements use the worker kept ready
// (worker/analysis_worker.h), whose outcomes are these.
#pragma once

#include <chrono>
#include <string>

enum class ContainedOutcome {
    Finished,        // the work returned true; `output` holds what it printed
    LibraryFailed,   // the work returned false: PolyLib threw and the work gave up
    Crashed,         // the child ended by a signal (PolyLib's failed asserts abort)
    ExitedEarly,     // the child ended through exit() inside the library
    TimedOut,        // the time limit passed; the child was killed
    Cancelled,       // `analysis_cancelled` said so while it ran; the child was killed
    OutOfWorkSpace,  // an allocation failed at the work-space budget (the worker's memory bound)
    NotStarted,      // no child could be made
};

struct ContainedResult {
    ContainedOutcome outcome = ContainedOutcome::NotStarted;
    std::string output;   // the child's standard output, complete only when Finished
    int status = 0;       // the signal (Crashed), exit status (ExitedEarly) or errno (NotStarted)
};

// The time an Ehrhart or vertices computation may take before it is stopped
// (a session may shorten it: a fuzzing harness, so that a slow analysis is
// not taken for a hang).
inline constexpr std::chrono::milliseconds default_analysis_time_limit{std::chrono::seconds(30)};

// Asked while the parent waits: true stops the analysis at once (the user
// pressed Ctrl-C, or nobody reads the answers any more). The reader of the
// statements answers it; a null one never cancels.
class CancelCheck {
public:
    virtual bool analysis_cancelled() = 0;

protected:
    ~CancelCheck() = default;
};

// Forks; the child runs `work` with its standard output sent back through a
// pipe and leaves with _exit, so nothing of the parent's state is released or
// flushed twice. Expects domain_lock held: the fork happens while no other
// thread is inside PolyLib. The lock is released while the parent waits, as
// the child works on its own copy of every domain.
ContainedResult run_contained(bool (*work)(void* context), void* context, std::chrono::milliseconds limit,
                              CancelCheck* cancel = nullptr);

template <class Work>
ContainedResult run_contained(Work&& work, std::chrono::milliseconds limit, CancelCheck* cancel = nullptr) {
    return run_contained([](void* context) -> bool { return (*static_cast<Work*>(context))(); },
                         static_cast<void*>(&work), limit, cancel);
}

// The one-line reason a contained analysis did not finish, for report_error;
// `what` names the work, e.g. "the Ehrhart polynomial of 'P'".
std::string contained_failure_message(const ContainedResult& result, const std::string& what,
                                      std::chrono::milliseconds limit);
// The same without " - command ignored", for a statement that words its refusal itself.
std::string contained_failure_reason(const ContainedResult& result, const std::string& what,
                                     std::chrono::milliseconds limit);
