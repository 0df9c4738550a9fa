#pragma once
// Heap accounting for the memory figures: the benchmark program replaces the global
// operator new and delete. Counting is off unless a measurement turns it on, so the
// timed benchmarks pay only for one relaxed load per allocation.
#include <cstddef>
#include <cstdint>

namespace bench {

struct HeapCounters {
    int64_t liveBytes = 0;   // usable bytes of blocks allocated and not yet freed
    int64_t peakBytes = 0;   // highest liveBytes since the last ResetPeak
    int64_t allocations = 0;
};

void StartCounting();  // live bytes restart at 0
void StopCounting();
HeapCounters Counters();
void ResetPeak();      // peak := live

// Resident-set figures of the process from /proc/self/status, in bytes; 0 if unknown.
int64_t ResidentBytes();      // VmRSS
int64_t ResidentPeakBytes();  // VmHWM
// Sets the resident peak back to the current size (Linux: clear_refs 5). False if refused.
bool ResetResidentPeak();

}  // namespace bench
