// A child process made ahead of time that runs contained analyses one after
// another, so that a statement pays no fork: same outcomes as run_contained.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "worker/contained_run.h"

// Work the worker can run: a plain function of this program (the worker is a
// fork of it, so the function has the same address there). It reads its
// problem from the bytes it is given, prints its answer on standard output,
// and returns false when PolyLib threw and it gave up.
using WorkerJob = bool (*)(const std::string& problem);

// Runs `job` on `problem` in the worker, made first when there is none (a
// fork, as run_contained makes for every call). A worker that crashes, exits,
// passes `limit` or is cancelled is killed, reaped and not replaced until the
// next analysis; its outcome is told as run_contained tells a child's. Its
// memory may grow by the work-space budget from what it was made with: work
// whose allocation fails there is OutOfWorkSpace. The worker is the
// process's, shared by its sessions one analysis at a time, whichever thread
// made it; it ends with the calculator process (it must not outlive it), not
// with that thread.
// Expects domain_lock held; released while the worker computes.
ContainedResult run_in_worker(WorkerJob job, const std::string& problem, std::chrono::milliseconds limit,
                              CancelCheck* cancel = nullptr);

// Work the worker made at start-up is given before any analysis, its output
// thrown away: the first analysis then finds the library's code bound and
// both sides of the exchange in memory (the fork left every page shared, to
// be copied at its first write), where it would otherwise pay for these
// (about a millisecond). Workers made again later start cold.
struct WorkerWarmUp {
    WorkerJob job;
    std::string problem;
};

// Makes the worker now, so that the first analysis finds it ready: called at
// start-up while the process has one thread and little memory, which makes
// the fork cheap and the worker small; `warm_up` is sent to it at once, and
// its answers are read at the first analysis. False (errno kept) when no
// child could be made; the first analysis then tries again. Expects
// domain_lock held.
bool start_analysis_worker(const std::vector<WorkerWarmUp>& warm_up = {});

// Ends the worker and reaps it; done at exit too.
void stop_analysis_worker();

// A worker is retired (and a fresh one made for the next analysis) after this
// many analyses, or once its peak resident memory has grown by this many KiB
// since it started: PolyLib loses what it had allocated when it throws. A
// worker keeps the growth limit it was made with.
struct WorkerRetirement {
    unsigned uses = 1000;
    long growth_kib = 128 * 1024;
};
WorkerRetirement worker_retirement();
void set_worker_retirement(const WorkerRetirement& retirement);
