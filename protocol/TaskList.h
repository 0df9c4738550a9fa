#pragma once
// The tasks queued since the last poll, in order of queuing. The records are held in
// chunks that never move and start on a cache line: the list grows without copying what
// it holds, and the poll reads a record as one line (64-bit builds) or little more.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "protocol/TaskPool.h"

namespace tervex {

class TaskList {
public:
    TaskList() = default;
    TaskList(const TaskList&) = delete;
    TaskList& operator=(const TaskList&) = delete;

    size_t size() const { return FSize; }
    bool empty() const { return FSize == 0; }
    TaskRecord& operator[](size_t i) { return FChunks[i / kChunkRecords].records[i % kChunkRecords]; }
    const TaskRecord& operator[](size_t i) const { return FChunks[i / kChunkRecords].records[i % kChunkRecords]; }

    // Room for one more record; without memory it throws and nothing has changed.
    void ReserveOneMore();
    // After ReserveOneMore it cannot fail.
    void push_back(const TaskRecord& record);
    // Removes the records that match, keeping the order of the others. No allocation.
    template <class Match>
    void EraseIf(Match match) {
        size_t kept = 0;
        for (size_t i = 0; i < FSize; ++i) {
            if (!match((*this)[i])) {
                if (kept != i) {
                    (*this)[kept] = (*this)[i];
                }
                ++kept;
            }
        }
        FSize = kept;
    }
    // Takes the other list's records, and gives it this one's (which it then drops).
    void swap(TaskList& other) noexcept {
        FChunks.swap(other.FChunks);
        std::swap(FSize, other.FSize);
    }
    // Empty again; the first chunk is kept for the next tasks.
    void Reset() noexcept;

private:
    static constexpr size_t kChunkRecords = 1024;
    struct Chunk {
        std::unique_ptr<unsigned char[]> memory;
        TaskRecord* records = nullptr;  // cache-line aligned within memory
    };

    std::vector<Chunk> FChunks;
    size_t FSize = 0;
};

}  // namespace tervex
