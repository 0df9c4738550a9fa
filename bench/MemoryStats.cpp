#include "MemoryStats.h"

#include <memory>
#include <vector>

#include "CountingAllocator.h"
#include "EngineWorld.h"
#include "ItemPlan.h"

namespace bench {

namespace {

std::vector<tervex::EngineTask> OneFrameEach(int64_t items) {
    std::vector<tervex::EngineTask> tasks;
    for (int64_t k = 0; k < items; ++k) {
        const int port = static_cast<int>(k % 4);
        const tervex::NodeParams node = MakeNode(port, 1 + static_cast<int>((k / 4) % 8), false, kLsbFirst);
        tasks.push_back(ReadTask(node, 2, 8 * (k / 32), 18));
    }
    return tasks;
}

}  // namespace

HeldBytes MeasureHeld(bool oneItemPerFrame, int64_t items) {
    std::vector<tervex::EngineTask> plan;
    if (oneItemPerFrame) {
        plan = OneFrameEach(items);
    } else {
        ScaleOptions options;
        options.items = items;
        plan = MakeScalePlan(options).tasks;
    }
    auto world = std::make_unique<EngineWorld>();
    // Write nothing to the device, so every frame stays queued or in flight.
    HeldBytes held;
    held.tasks = items;

    StartCounting();
    const int64_t base = Counters().liveBytes;
    {
        // The host's copies, counted: the engine keeps their node texts once per node.
        std::vector<tervex::EngineTask> tasks = plan;
        for (const tervex::EngineTask& task : tasks) world->engine.QueueTask(task);
    }
    const int64_t queued = Counters().liveBytes - base;
    world->engine.Poll(0);
    const int64_t polled = Counters().liveBytes - base;
    StopCounting();

    for (const auto& port : world->engine.Ports().Ports()) {
        held.requests += static_cast<int64_t>(port->Queue.Size());
    }
    held.perQueuedTask = static_cast<double>(queued) / static_cast<double>(items);
    held.perPolledTask = static_cast<double>(polled) / static_cast<double>(items);
    held.perRequest = held.requests > 0 ? static_cast<double>(polled - queued) / static_cast<double>(held.requests) : 0;
    world.reset();
    return held;
}

PeakMemory MeasurePeak(int64_t items) {
    PeakMemory peak;
    peak.items = items;
    ScaleOptions options;
    options.items = items;
    const ScalePlan plan = MakeScalePlan(options);

    peak.residentBefore = ResidentBytes();
    peak.residentPeakReset = ResetResidentPeak();
    StartCounting();
    {
        std::vector<tervex::EngineTask> tasks = plan.tasks;
        peak.hostTaskBytes = Counters().liveBytes;
        auto world = std::make_unique<EngineWorld>();
        for (const tervex::EngineTask& task : tasks) world->engine.QueueTask(task);
        world->engine.Poll(0);
        world->RunUntilEnded(items);
        peak.heapPeakBytes = Counters().peakBytes;
    }
    StopCounting();
    peak.residentPeak = ResidentPeakBytes();
    return peak;
}

double AllocationsPerItem(int64_t items, bool ascii) {
    ScaleOptions options;
    options.items = items;
    options.ascii = ascii;
    const ScalePlan plan = MakeScalePlan(options);
    std::vector<tervex::EngineTask> tasks = plan.tasks;
    auto world = std::make_unique<EngineWorld>();
    StartCounting();
    for (const tervex::EngineTask& task : tasks) world->engine.QueueTask(task);
    world->engine.Poll(0);
    world->RunUntilEnded(items);
    const int64_t allocations = Counters().allocations;
    StopCounting();
    return static_cast<double>(allocations) / static_cast<double>(items);
}

}  // namespace bench
