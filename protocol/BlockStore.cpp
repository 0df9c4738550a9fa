#include "protocol/BlockStore.h"

namespace tervex {

namespace {

constexpr size_t kAlign = alignof(std::max_align_t);

size_t Rounded(size_t bytes) {
    return (bytes + kAlign - 1) / kAlign * kAlign;
}

}  // namespace

void* BlockStore::Take(size_t bytes) {
    if (FBlockSize == 0) {
        FBlockSize = Rounded(bytes < sizeof(FreeBlock) ? sizeof(FreeBlock) : bytes);
    }
    if (Rounded(bytes) != FBlockSize) {
        return ::operator new(bytes);
    }
    void* block;
    if (FFree != nullptr) {
        block = FFree;
        FFree = FFree->next;
    } else {
        if (FChunk == FChunks.size()) {
            std::unique_ptr<unsigned char[]> chunk(new unsigned char[kBlocksPerChunk * FBlockSize]);
            FChunks.push_back(std::move(chunk));
        }
        block = FChunks[FChunk].get() + FInChunk * FBlockSize;
        if (++FInChunk == kBlocksPerChunk) {
            ++FChunk;
            FInChunk = 0;
        }
    }
    ++FLive;
    return block;
}

void BlockStore::Give(void* block, size_t bytes) noexcept {
    if (block == nullptr) {
        return;
    }
    if (Rounded(bytes) != FBlockSize) {
        ::operator delete(block);
        return;
    }
    if (--FLive == 0) {
        // All back: hand them out from the start again.
        FFree = nullptr;
        FChunk = 0;
        FInChunk = 0;
        return;
    }
    auto* free = static_cast<FreeBlock*>(block);
    free->next = FFree;
    FFree = free;
}

}  // namespace tervex
