// Runs the model check: ModelWorld for a number of rounds with each seed in turn.
// Fails on any broken invariant.
//   tervex_model_check [rounds per seed, default 2000] [seeds, default 1] [first seed, default 1]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/soak/ModelWorld.h"

int main(int argc, char** argv) {
    const uint64_t rounds = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 2000;
    const uint64_t seeds = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1;
    const uint64_t firstSeed = argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 1;
    if (rounds == 0 || seeds == 0) {
        std::fprintf(stderr, "usage: tervex_model_check [rounds >= 1] [seeds >= 1] [first seed]\n");
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    tervex::soak::ModelFigures total;
    bool failed = false;
    for (uint64_t seed = firstSeed; seed < firstSeed + seeds; ++seed) {
        tervex::soak::ModelWorld world(seed);
        for (uint64_t r = 0; r < rounds; ++r) world.Round();
        world.Finish();
        const auto& f = world.Figures();
        for (const std::string& v : world.FirstViolations()) {
            std::printf("broken (seed %llu): %s\n", static_cast<unsigned long long>(seed), v.c_str());
        }
        failed = failed || f.violations != 0;
        total.steps += f.steps;
        total.rounds += f.rounds;
        total.polls += f.polls;
        total.deliveries += f.deliveries;
        total.removals += f.removals;
        total.clears += f.clears;
        total.tasks += f.tasks;
        total.good += f.good;
        total.failed += f.failed;
        total.dropped += f.dropped;
        total.readsChecked += f.readsChecked;
        total.writesChecked += f.writesChecked;
        total.bitsChecked += f.bitsChecked;
        total.cutShort += f.cutShort;
        total.spoiltByRest += f.spoiltByRest;
        total.violations += f.violations;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const auto u = [](uint64_t v) { return static_cast<unsigned long long>(v); };
    std::printf("model check, seeds %llu..%llu: %llu rounds (quiet checks), %llu host steps, %.1f s\n", u(firstSeed),
                u(firstSeed + seeds - 1), u(total.rounds), u(total.steps), seconds);
    std::printf("tasks: %llu queued, %llu S_OK, %llu failed, %llu dropped; %llu polls, %llu deliveries, "
                "%llu removals, %llu clears\n",
                u(total.tasks), u(total.good), u(total.failed), u(total.dropped), u(total.polls), u(total.deliveries),
                u(total.removals), u(total.clears));
    std::printf("checked: %llu read values, %llu acknowledged writes, %llu memory bits; "
                "%llu read answers cut short after a 0xFF first byte, %llu later exchanges spoilt by their rest\n",
                u(total.readsChecked), u(total.writesChecked), u(total.bitsChecked), u(total.cutShort),
                u(total.spoiltByRest));
    if (failed) {
        std::printf("FAILED: %llu broken invariants\n", u(total.violations));
        return 1;
    }
    std::printf("OK\n");
    return 0;
}
