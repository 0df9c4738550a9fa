#pragma once
// Faults a controller can be told to commit, each on every N-th request it
// takes or with a probability, drawn from a generator seeded per controller
// and per rule so that runs repeat exactly for a given seed.
#include <cstdint>
#include <random>
#include <vector>

namespace tervex::sim {

enum class FaultKind {
    Silence,      // the request is not heard: not carried out, not answered
    BadCrc,       // binary: the CRC is spoiled; text: one hex digit is changed
    WrongLength,  // the last answer byte is left out (a binary CRC still fits)
    Slow,         // the answer comes delayMs later
    Split,        // the answer goes out in pieces, gapMs apart
};

const char* FaultKindName(FaultKind kind);

struct FaultRule {
    FaultKind kind = FaultKind::Silence;
    uint32_t everyN = 0;       // fires on request N, 2N, ...; 0: use probability
    double probability = 0.0;  // 0..1
    int64_t delayMs = 1000;    // Slow
    int pieces = 3;            // Split: at most this many pieces
    int64_t gapMs = 20;        // Split: time between pieces
};

// What happens to one answer.
struct FaultPlan {
    bool silence = false;
    bool badCrc = false;
    bool wrongLength = false;
    int64_t extraDelayMs = 0;
    int splitRule = -1;  // index of the split rule that fired, or -1
};

class FaultInjector {
public:
    FaultInjector(std::vector<FaultRule> rules, uint64_t seed, uint8_t address);

    // Every rule draws once per request, fired or not, so one rule's draws do
    // not depend on the others.
    FaultPlan Roll();
    // Cut positions (ascending, each within 1..size-1) for a split answer.
    std::vector<size_t> CutPoints(int splitRule, size_t size);
    const FaultRule& Rule(int index) const { return rules_[static_cast<size_t>(index)].rule; }

private:
    struct State {
        FaultRule rule;
        uint64_t count = 0;
        std::mt19937 rng;
    };
    std::vector<State> rules_;
};

}  // namespace tervex::sim
