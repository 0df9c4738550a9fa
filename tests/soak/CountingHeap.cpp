// Replaces the global operator new and delete with counting ones on malloc. Sizes are
// taken from malloc_usable_size, so a block is counted the same coming and going.
#include "tests/soak/CountingHeap.h"

#include <malloc.h>

#include <cstdlib>
#include <new>

namespace tervex::soak {
namespace {

HeapFigures g_heap;

void* Take(std::size_t size) {
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr) throw std::bad_alloc();
    g_heap.liveBytes += static_cast<int64_t>(malloc_usable_size(block));
    ++g_heap.liveBlocks;
    ++g_heap.allocations;
    return block;
}

void* TakeAligned(std::size_t size, std::align_val_t alignment) {
    const auto align = static_cast<std::size_t>(alignment);
    void* block = std::aligned_alloc(align, (size + align - 1) / align * align);
    if (block == nullptr) throw std::bad_alloc();
    g_heap.liveBytes += static_cast<int64_t>(malloc_usable_size(block));
    ++g_heap.liveBlocks;
    ++g_heap.allocations;
    return block;
}

void Give(void* block) noexcept {
    if (block == nullptr) return;
    g_heap.liveBytes -= static_cast<int64_t>(malloc_usable_size(block));
    --g_heap.liveBlocks;
    std::free(block);
}

}  // namespace

HeapFigures Heap() { return g_heap; }

}  // namespace tervex::soak

using tervex::soak::Give;
using tervex::soak::Take;
using tervex::soak::TakeAligned;

void* operator new(std::size_t size) { return Take(size); }
void* operator new[](std::size_t size) { return Take(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return Take(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void* operator new(std::size_t size, std::align_val_t alignment) { return TakeAligned(size, alignment); }
void* operator new[](std::size_t size, std::align_val_t alignment) { return TakeAligned(size, alignment); }
void operator delete(void* block) noexcept { Give(block); }
void operator delete[](void* block) noexcept { Give(block); }
void operator delete(void* block, std::size_t) noexcept { Give(block); }
void operator delete[](void* block, std::size_t) noexcept { Give(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { Give(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { Give(block); }
void operator delete(void* block, std::align_val_t) noexcept { Give(block); }
void operator delete[](void* block, std::align_val_t) noexcept { Give(block); }
void operator delete(void* block, std::size_t, std::align_val_t) noexcept { Give(block); }
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept { Give(block); }
