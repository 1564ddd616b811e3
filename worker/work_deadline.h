// When long work in the calculator's own process stops: the user's Ctrl-C
// (or a reader of the answers that has gone), or the time an analysis may
// take, as for the analyses run in the worker.
#pragma once

#include <chrono>
#include <string>

#include "worker/contained_run.h"

class WorkDeadline final : public CancelCheck {
public:
    WorkDeadline(CancelCheck* user, std::chrono::milliseconds limit)
        : user_(user), limit_(limit), end_(std::chrono::steady_clock::now() + limit) {}

    bool analysis_cancelled() override {
        if (outcome_ == ContainedOutcome::Finished) {
            if (user_ && user_->analysis_cancelled())
                outcome_ = ContainedOutcome::Cancelled;
            else if (std::chrono::steady_clock::now() >= end_)
                outcome_ = ContainedOutcome::TimedOut;
        }
        return outcome_ != ContainedOutcome::Finished;
    }
    // The failure line of work that stopped, worded as a contained analysis's.
    std::string stopped(const std::string& what) const {
        ContainedResult result;
        result.outcome = outcome_ == ContainedOutcome::Finished ? ContainedOutcome::Cancelled : outcome_;
        return contained_failure_message(result, what, limit_);
    }

private:
    CancelCheck* user_;
    std::chrono::milliseconds limit_;
    std::chrono::steady_clock::time_point end_;
    ContainedOutcome outcome_ = ContainedOutcome::Finished;
};
