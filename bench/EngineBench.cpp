// Whole poll cycles: the host queues every item, polls once, and the answering device
// answers each frame as soon as it is written, until every task has ended.
#include <benchmark/benchmark.h>

#include <memory>

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

        for (tervex::EngineTask& task : tasks) {
            world->engine.QueueTask(std::move(task));
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

void ScaleArgs(benchmark::internal::Benchmark* b) {
    for (int64_t n : {1000, 3000, 10000, 30000, 100000}) {
        b->Arg(n);
    }
    // Three repetitions: the report takes the best, as other work on the machine only adds.
    b->Unit(benchmark::kMillisecond)->MinTime(0.5)->Repetitions(3);
}

}  // namespace

BENCHMARK_CAPTURE(EngineCycle, RTU, false)->Apply(ScaleArgs);
BENCHMARK_CAPTURE(EngineCycle, ASCII, true)->Apply(ScaleArgs);

// The device fake alone, per exchange: what the cycles above spend outside the engine.
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

}  // namespace bench
