#pragma once
// Heap held by the engine per queued task and per request in flight or queued, and the
// peak memory of a whole cycle of the large scale set.
#include <cstdint>

namespace bench {

struct HeldBytes {
    int64_t tasks = 0;
    int64_t requests = 0;       // frames queued on the ports after Poll
    double perQueuedTask = 0;   // after QueueTask: task record and its texts
    double perPolledTask = 0;   // after Poll, before any answer: everything held, per task
    double perRequest = 0;      // what Poll added, per request
};

// Items that each get a frame of their own, or the scale set (about three items a frame).
HeldBytes MeasureHeld(bool oneItemPerFrame, int64_t items);

struct PeakMemory {
    int64_t items = 0;
    int64_t hostTaskBytes = 0;    // the host's task records handed to the engine
    int64_t heapPeakBytes = 0;    // highest heap in use during the cycle, those records included
    int64_t residentBefore = 0;   // VmRSS before the cycle
    int64_t residentPeak = 0;     // VmHWM after the cycle (reset before it, where allowed)
    bool residentPeakReset = false;
};

PeakMemory MeasurePeak(int64_t items);

// Heap allocations of one whole cycle (queue, poll, answers) per item, for the scale set:
// the count of operations per item, free of cache effects.
double AllocationsPerItem(int64_t items, bool ascii);

}  // namespace bench
