#pragma once
// Allocation failures on demand: the program's operator new throws std::bad_alloc at
// the n-th allocation from now, as it would with the heap exhausted. Allocations made
// inside a HarnessScope (the test's own bookkeeping) never fail and are not counted.
#include <cstdint>

namespace tervex::fuzz {

// 0: never.
void FailAllocationAfter(uint32_t allocations);
uint64_t FailedAllocations();

// The test's own code runs in a HarnessScope; calls into the code under test open an
// EngineScope, inside which allocations count (until a HarnessScope opens again).
class HarnessScope {
public:
    HarnessScope();
    ~HarnessScope();
    HarnessScope(const HarnessScope&) = delete;
    HarnessScope& operator=(const HarnessScope&) = delete;
};

class EngineScope {
public:
    EngineScope();
    ~EngineScope();
    EngineScope(const EngineScope&) = delete;
    EngineScope& operator=(const EngineScope&) = delete;

private:
    int FSaved;
};

}  // namespace tervex::fuzz
