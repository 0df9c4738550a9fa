#include "tools/host/core/LookPlan.h"

#include <algorithm>

namespace tervex::host {

void LookPlan::Wrote(size_t count, int64_t nowUs) {
    requestEndUs_ = nowUs + static_cast<int64_t>(count) * charUs_;
    lastEmptyUs_ = nowUs;
    awaitingFirst_ = true;
    emptySinceWrite_ = false;
    nextLookUs_ = requestEndUs_ + charUs_ + turnaroundUs_.value_or(0);
}

void LookPlan::Looked(bool bytes, int64_t nowUs) {
    if (!bytes) {
        lastEmptyUs_ = nowUs;
        emptySinceWrite_ = emptySinceWrite_ || awaitingFirst_;
        return;
    }
    if (awaitingFirst_) {
        if (emptySinceWrite_) {
            // The first character ended after the last empty look, so it
            // started no earlier than a character before that: a lower bound.
            const int64_t seen = std::max<int64_t>(lastEmptyUs_ - charUs_ - requestEndUs_, 0);
            turnaroundUs_ = turnaroundUs_ ? *turnaroundUs_ + (seen - *turnaroundUs_) / 8 : seen;
        } else if (turnaroundUs_) {
            // Already there at the first look: the controller may have become
            // quicker, so look a little sooner next time.
            *turnaroundUs_ -= *turnaroundUs_ / 8;
        }
        awaitingFirst_ = false;
    }
    // Not a whole character: characters reach the port with some jitter.
    nextLookUs_ = nowUs + charUs_ / 2;
    lastEmptyUs_ = nowUs;  // what came is read: from here on, only newer bytes
}

}  // namespace tervex::host
