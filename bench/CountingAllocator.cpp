#include "CountingAllocator.h"

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <new>
#include <string>

namespace bench {

namespace {

std::atomic<bool> g_counting{false};
std::atomic<int64_t> g_live{0};
std::atomic<int64_t> g_peak{0};
std::atomic<int64_t> g_allocations{0};

void Counted(void* block) {
    const auto size = static_cast<int64_t>(malloc_usable_size(block));
    const int64_t live = g_live.fetch_add(size, std::memory_order_relaxed) + size;
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    int64_t peak = g_peak.load(std::memory_order_relaxed);
    while (live > peak && !g_peak.compare_exchange_weak(peak, live, std::memory_order_relaxed)) {
    }
}

void* Allocate(std::size_t size) {
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    if (g_counting.load(std::memory_order_relaxed)) {
        Counted(block);
    }
    return block;
}

void Release(void* block) noexcept {
    if (block == nullptr) {
        return;
    }
    // A block from before counting started is subtracted too; measurements take
    // differences over windows in which they own what is allocated.
    if (g_counting.load(std::memory_order_relaxed)) {
        g_live.fetch_sub(static_cast<int64_t>(malloc_usable_size(block)), std::memory_order_relaxed);
    }
    std::free(block);
}

int64_t StatusField(const std::string& name) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, name.size(), name) == 0 && line.size() > name.size() && line[name.size()] == ':') {
            return std::stoll(line.substr(name.size() + 1)) * 1024;  // the file counts in kB
        }
    }
    return 0;
}

}  // namespace

void StartCounting() {
    g_live.store(0, std::memory_order_relaxed);
    g_peak.store(0, std::memory_order_relaxed);
    g_allocations.store(0, std::memory_order_relaxed);
    g_counting.store(true, std::memory_order_seq_cst);
}

void StopCounting() {
    g_counting.store(false, std::memory_order_seq_cst);
}

HeapCounters Counters() {
    HeapCounters c;
    c.liveBytes = g_live.load(std::memory_order_relaxed);
    c.peakBytes = g_peak.load(std::memory_order_relaxed);
    c.allocations = g_allocations.load(std::memory_order_relaxed);
    return c;
}

void ResetPeak() {
    g_peak.store(g_live.load(std::memory_order_relaxed), std::memory_order_relaxed);
}

int64_t ResidentBytes() {
    return StatusField("VmRSS");
}

int64_t ResidentPeakBytes() {
    return StatusField("VmHWM");
}

bool ResetResidentPeak() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return static_cast<bool>(clear);
}

}  // namespace bench

void* operator new(std::size_t size) {
    return bench::Allocate(size);
}
void* operator new[](std::size_t size) {
    return bench::Allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return bench::Allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return bench::Allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void operator delete(void* block) noexcept {
    bench::Release(block);
}
void operator delete[](void* block) noexcept {
    bench::Release(block);
}
void operator delete(void* block, std::size_t) noexcept {
    bench::Release(block);
}
void operator delete[](void* block, std::size_t) noexcept {
    bench::Release(block);
}
