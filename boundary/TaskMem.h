#pragma once
// Zero-filled blocks of the COM task allocator for task entries, requests and frames.
#include <cstdint>

namespace tervex {

void* AllocTaskMem(int32_t size);
void FreeTaskMem(void* block);

}  // namespace tervex
