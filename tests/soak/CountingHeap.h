#pragma once
// The program's own count of what its C++ code holds on the heap: every operator new
// and delete of the process goes through it.
#include <cstddef>
#include <cstdint>

namespace tervex::soak {

struct HeapFigures {
    int64_t liveBytes = 0;   // usable size of the blocks held now
    int64_t liveBlocks = 0;
    uint64_t allocations = 0;
};

HeapFigures Heap();

}  // namespace tervex::soak
