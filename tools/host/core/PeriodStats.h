#pragma once
// Intervals in a histogram of fixed size: mean and percentiles of any number
// of them in constant memory. Buckets grow by 1 % from 10 µs up, so a
// percentile is exact to about 1 %.
#include <array>
#include <cstdint>

namespace tervex::host {

class PeriodStats {
public:
    void Add(int64_t intervalUs);
    int64_t Count() const { return count_; }
    double MeanMs() const;
    // The smallest interval that at least share (0..1] of them do not exceed; 0 when empty.
    double PercentileMs(double share) const;

private:
    static constexpr int kBuckets = 2100;  // 10 µs * 1.01^2099 is beyond 10 000 s
    std::array<uint32_t, kBuckets> buckets_{};
    int64_t count_ = 0;
    double sumUs_ = 0;
};

}  // namespace tervex::host
