#include "sim/Faults.h"

#include <set>

namespace tervex::sim {

const char* FaultKindName(FaultKind kind)
{
    switch (kind) {
    case FaultKind::Silence: return "silence";
    case FaultKind::BadCrc: return "crc";
    case FaultKind::WrongLength: return "length";
    case FaultKind::Slow: return "slow";
    case FaultKind::Split: return "split";
    }
    return "?";
}

FaultInjector::FaultInjector(std::vector<FaultRule> rules, uint64_t seed, uint8_t address)
{
    for (size_t i = 0; i < rules.size(); ++i) {
        // seed_seq and mt19937 are fully specified, so the draws are the same everywhere.
        std::seed_seq seq{static_cast<uint32_t>(seed), static_cast<uint32_t>(seed >> 32),
                          static_cast<uint32_t>(address), static_cast<uint32_t>(i)};
        rules_.push_back(State{rules[i], 0, std::mt19937(seq)});
    }
}

FaultPlan FaultInjector::Roll()
{
    FaultPlan plan;
    for (size_t i = 0; i < rules_.size(); ++i) {
        State& s = rules_[i];
        ++s.count;
        const uint32_t draw = static_cast<uint32_t>(s.rng());
        const bool fires = s.rule.everyN > 0 ? s.count % s.rule.everyN == 0
                                             : static_cast<double>(draw) < s.rule.probability * 4294967296.0;
        if (!fires)
            continue;
        switch (s.rule.kind) {
        case FaultKind::Silence: plan.silence = true; break;
        case FaultKind::BadCrc: plan.badCrc = true; break;
        case FaultKind::WrongLength: plan.wrongLength = true; break;
        case FaultKind::Slow: plan.extraDelayMs += s.rule.delayMs; break;
        case FaultKind::Split:
            if (plan.splitRule < 0)
                plan.splitRule = static_cast<int>(i);
            break;
        }
    }
    return plan;
}

std::vector<size_t> FaultInjector::CutPoints(int splitRule, size_t size)
{
    if (splitRule < 0 || static_cast<size_t>(splitRule) >= rules_.size() || size < 2)
        return {};
    State& s = rules_[static_cast<size_t>(splitRule)];
    std::set<size_t> cuts;
    for (int i = 1; i < s.rule.pieces; ++i)
        cuts.insert(1 + static_cast<size_t>(s.rng()) % (size - 1));
    return std::vector<size_t>(cuts.begin(), cuts.end());
}

}  // namespace tervex::sim
