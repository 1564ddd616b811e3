// What the two ways of containing an analysis share: the child's restrictions,
// the deadline arithmetic, and the reading of how a child ended.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <sys/types.h>

#include "worker/contained_run.h"

namespace contained {

using Clock = std::chrono::steady_clock;

// The exit status of a child whose work gave up after a PolyLib exception.
inline constexpr int library_failure_status = 3;
// The exit status of a child that ran out of the memory it was allowed.
inline constexpr int out_of_work_space_status = 4;

// How often a wait asks whether the analysis is cancelled when no signal wakes it.
inline constexpr int cancel_check_ms = 100;

// In the child: dies with the thread that made it, and leaves at once when
// that thread is already gone.
void end_with_parent(pid_t parent);
// In the child: crash signals end it by their default action (their number is
// the outcome), no core file, and a bounded address space.
void restrict_child();

// In the child: its address space may grow by `bytes` from what it is now
// (the calculator's pages it was forked with), so that PolyLib's allocations
// fail at the work-space budget instead of taking the machine's memory; and
// a crash or abort that follows a failed allocation ends it with
// out_of_work_space_status. Nothing in a sanitized build (the sanitizers
// reserve huge address ranges).
void bound_child_memory(std::size_t bytes);
// Whether the work that just failed failed for want of memory: set by the
// allocator, cleared before each job.
bool allocation_failed();

// In the child: standard error goes to /dev/null, where PolyLib's traces and
// failed assertions are lost (the calculator tells of a failure in one line
// of its own); a sanitized build keeps it, for the sanitizers' reports.
void silence_library_messages();

// Rounded up, so that a wait never ends before the deadline; 0 once it has passed.
int milliseconds_until(Clock::time_point deadline);
bool cancel_requested(CancelCheck* cancel);

// The child's wait status, or false when it is still running at the deadline.
bool wait_for_exit(pid_t pid, int& status, Clock::time_point deadline);
void kill_and_reap(pid_t pid);
ContainedResult outcome_of(int status, std::string output);

}  // namespace contained
