#include "tools/host/core/PeriodStats.h"

#include <algorithm>
#include <cmath>

namespace tervex::host {

namespace {

constexpr double kFirstUs = 10.0;
constexpr double kGrowth = 1.01;

}  // namespace

void PeriodStats::Add(int64_t intervalUs) {
    const double us = static_cast<double>(std::max<int64_t>(intervalUs, 0));
    const int bucket = us <= kFirstUs ? 0 : static_cast<int>(std::ceil(std::log(us / kFirstUs) / std::log(kGrowth)));
    ++buckets_[static_cast<size_t>(std::min(bucket, kBuckets - 1))];
    ++count_;
    sumUs_ += us;
}

double PeriodStats::MeanMs() const { return count_ == 0 ? 0.0 : sumUs_ / static_cast<double>(count_) / 1000.0; }

double PeriodStats::PercentileMs(double share) const {
    if (count_ == 0) return 0.0;
    const auto wanted = static_cast<int64_t>(std::ceil(share * static_cast<double>(count_)));
    int64_t seen = 0;
    for (int b = 0; b < kBuckets; ++b) {
        seen += buckets_[static_cast<size_t>(b)];
        // The bucket's upper edge: no interval in it is longer.
        if (seen >= wanted) return kFirstUs * std::pow(kGrowth, b) / 1000.0;
    }
    return kFirstUs * std::pow(kGrowth, kBuckets - 1) / 1000.0;
}

}  // namespace tervex::host
