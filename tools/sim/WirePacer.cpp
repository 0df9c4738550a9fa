#include "sim/WirePacer.h"

#include <algorithm>

namespace tervex::sim {

Burst WirePacer::Place(size_t count, int64_t readyNs, bool answer)
{
    Burst burst;
    burst.charNs = timing_.CharNs();
    burst.count = count;
    if (count == 0) {
        burst.startNs = readyNs;
        return burst;
    }
    int64_t start = last_ == Last::None ? readyNs : std::max(readyNs, freeNs_);
    const bool turnaround = answer && last_ == Last::Request;
    if (turnaround) {
        start = std::max(start, freeNs_ + timing_.turnaroundNs);
        counts_.busyNs += timing_.turnaroundNs;
    }
    if (answer && last_ != Last::Answer)
        ++counts_.answers;
    if (!answer && last_ != Last::Request)
        ++counts_.requests;
    (answer ? counts_.answerChars : counts_.requestChars) += count;
    if (last_ == Last::None)
        counts_.firstNs = start;
    burst.startNs = start;
    freeNs_ = burst.EndNs();
    counts_.busyNs += freeNs_ - start;
    counts_.lastNs = freeNs_;
    last_ = answer ? Last::Answer : Last::Request;
    return burst;
}

}  // namespace tervex::sim
