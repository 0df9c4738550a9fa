#include "fuzz/AllocationFaults.h"

#include <cstdlib>
#include <new>

namespace tervex::fuzz {
namespace {

uint32_t g_countdown = 0;  // 0: disarmed
int g_harnessDepth = 0;
uint64_t g_failed = 0;

void* Allocate(std::size_t size) {
    if (g_countdown != 0 && g_harnessDepth == 0 && --g_countdown == 0) {
        ++g_failed;
        throw std::bad_alloc();
    }
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

}  // namespace

void FailAllocationAfter(uint32_t allocations) { g_countdown = allocations; }
uint64_t FailedAllocations() { return g_failed; }

HarnessScope::HarnessScope() { ++g_harnessDepth; }
HarnessScope::~HarnessScope() { --g_harnessDepth; }

EngineScope::EngineScope() : FSaved(g_harnessDepth) { g_harnessDepth = 0; }
EngineScope::~EngineScope() { g_harnessDepth = FSaved; }

}  // namespace tervex::fuzz

void* operator new(std::size_t size) { return tervex::fuzz::Allocate(size); }
void* operator new[](std::size_t size) { return tervex::fuzz::Allocate(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return tervex::fuzz::Allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }
