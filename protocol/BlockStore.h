#pragma once
// Blocks of one size for the requests of one engine, handed out and taken back without
// the general heap. A poll makes thousands of requests at once and the answers free them
// one by one; from the heap each free would pay for merging neighbouring blocks, here it
// is one link. The store keeps its largest size; once every block is back, it hands
// them out again from the start, so that a poll's requests lie side by side in the
// order it made them.
#include <cstddef>
#include <memory>
#include <new>
#include <vector>

namespace tervex {

class BlockStore {
public:
    BlockStore() = default;
    BlockStore(const BlockStore&) = delete;
    BlockStore& operator=(const BlockStore&) = delete;

    // A block of this size; the first request fixes the size, others go to the heap.
    void* Take(size_t bytes);
    void Give(void* block, size_t bytes) noexcept;

private:
    static constexpr size_t kBlocksPerChunk = 256;
    struct FreeBlock {
        FreeBlock* next;
    };

    size_t FBlockSize = 0;
    std::vector<std::unique_ptr<unsigned char[]>> FChunks;
    size_t FChunk = 0;       // where fresh blocks come from
    size_t FInChunk = 0;
    FreeBlock* FFree = nullptr;
    size_t FLive = 0;
};

// An allocator for std::allocate_shared that takes its blocks from a store. Each block
// holds the store, so the store lives as long as the last request made from it.
template <class T>
class StoreAllocator {
public:
    using value_type = T;

    explicit StoreAllocator(std::shared_ptr<BlockStore> store) : FStore(std::move(store)) {}
    template <class U>
    StoreAllocator(const StoreAllocator<U>& other) : FStore(other.Store()) {}

    T* allocate(size_t n) {
        if (n != 1) {
            return std::allocator<T>().allocate(n);
        }
        return static_cast<T*>(FStore->Take(sizeof(T)));
    }
    void deallocate(T* p, size_t n) noexcept {
        if (n != 1) {
            std::allocator<T>().deallocate(p, n);
            return;
        }
        FStore->Give(p, sizeof(T));
    }
    const std::shared_ptr<BlockStore>& Store() const { return FStore; }

    template <class U>
    bool operator==(const StoreAllocator<U>& other) const { return FStore == other.Store(); }
    template <class U>
    bool operator!=(const StoreAllocator<U>& other) const { return FStore != other.Store(); }

private:
    std::shared_ptr<BlockStore> FStore;
};

}  // namespace tervex
