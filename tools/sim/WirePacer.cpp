#include "sim/WirePacer.h"

#include <algorithm>

namespace tervex::sim {

int64_t WireCounts::ReplyGapMeanNs() const
{
    if (replyGapsNs.empty())
        return 0;
    int64_t sum = 0;
    for (const int64_t gap : replyGapsNs)
        sum += gap;
    return sum / static_cast<int64_t>(replyGapsNs.size());
}

int64_t WireCounts::ReplyGapPercentileNs(int percent) const
{
    if (replyGapsNs.empty())
        return 0;
    std::vector<int64_t> sorted = replyGapsNs;
    // Nearest rank: the smallest gap that at least this share of gaps do not exceed.
    const size_t n = sorted.size();
    const size_t rank = std::max<size_t>((n * static_cast<size_t>(percent) + 99) / 100, 1) - 1;
    std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(rank), sorted.end());
    return sorted[rank];
}

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
    if (!answer && last_ == Last::Answer)
        counts_.replyGapsNs.push_back(std::max<int64_t>(readyNs - freeNs_, 0));
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
