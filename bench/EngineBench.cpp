// Whole poll cycles: the host queues every item, polls once, and the answering device
// answers each frame as soon as it is written, until every task has ended.
#include <benchmark/benchmark.h>

#include <memory>

#include "EngineBench.h"
#include "EngineWorld.h"
#include "ItemPlan.h"

namespace bench {

namespace {

void EngineCycle(benchmark::State& state, bool ascii) {
    ScaleOptions options;
    options.items = state.range(0);
    options.ascii = ascii;
    const ScalePlan plan = MakeScalePlan(options);
    int64_t exchanges = 0;
    int64_t logBytes = 0;
    int64_t wireBytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<tervex::EngineTask> tasks = plan.tasks;
        auto world = std::make_unique<EngineWorld>();
        state.ResumeTiming();

        for (const tervex::EngineTask& task : tasks) {
            world->engine.QueueTask(task);
        }
        world->engine.Poll(0);
        exchanges = world->RunUntilEnded(options.items);

        state.PauseTiming();
        if (world->sink.good != options.items || exchanges != plan.Frames()) {
            state.SkipWithError("not every task ended with a good result, or frames differ from the plan");
        }
        logBytes = world->server.bytes;
        wireBytes = world->device.requestBytes + world->device.answerBytes;
        world.reset();
        tasks.clear();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * options.items);
    state.counters["items"] = static_cast<double>(options.items);
    state.counters["exchanges"] = static_cast<double>(exchanges);
    state.counters["log_bytes"] = static_cast<double>(logBytes);
    state.counters["wire_bytes"] = static_cast<double>(wireBytes);
}

}  // namespace

void RegisterEngineBenchmarks(int rounds) {
    // The sizes take turns, round after round, and the report keeps each size's best
    // round: a spell of other work on the machine then slows one round of every size
    // rather than all rounds of one size.
    for (int round = 0; round < rounds; ++round) {
        for (const bool ascii : {false, true}) {
            for (const int64_t n : {1000, 3000, 10000, 30000, 100000}) {
                benchmark::RegisterBenchmark(ascii ? "EngineCycle/ASCII" : "EngineCycle/RTU", EngineCycle, ascii)
                    ->Arg(n)
                    ->Unit(benchmark::kMillisecond)
                    ->MinTime(0.5);
            }
        }
    }
}

namespace {

// The device fake alone, per exchange: what the cycles spend outside the engine.
void DeviceAnswer(benchmark::State& state) {
    AnsweringDevice device;
    const uint8_t request[] = {0x01, 0xD0, 0x05, 0xBD, 0xC3};
    AnsweringDevice::Answer answer;
    for (auto _ : state) {
        device.OnWrite(0, request, sizeof request);
        device.Take(0, answer);
        benchmark::DoNotOptimize(answer);
    }
}
BENCHMARK(DeviceAnswer);

}  // namespace

}  // namespace bench
