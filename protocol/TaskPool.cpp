#include "protocol/TaskPool.h"

#include <cstring>
#include <new>

namespace tervex {

void TaskPool::Reserve(size_t count) {
    const size_t added = count > FFree.size() ? count - FFree.size() : 0;
    const size_t needed = FSize + added;
    if (needed > FCapacity) {
        const size_t capacity = needed > 2 * FCapacity ? needed : 2 * FCapacity;
        std::unique_ptr<unsigned char[]> buffer(new unsigned char[capacity * sizeof(TaskRecord) + kRecordBytes]);
        const auto at = reinterpret_cast<uintptr_t>(buffer.get());
        auto* records = reinterpret_cast<TaskRecord*>(buffer.get() + (kRecordBytes - at % kRecordBytes) % kRecordBytes);
        FFree.reserve(capacity);
        if (FSize > 0) {
            std::memcpy(static_cast<void*>(records), FRecords, FSize * sizeof(TaskRecord));
        }
        FBuffer = std::move(buffer);
        FRecords = records;
        FCapacity = capacity;
    }
    if (FFree.capacity() < FCapacity) {
        FFree.reserve(FCapacity);
    }
}

uint32_t TaskPool::Place(const TaskRecord& record) {
    uint32_t slot;
    if (FFree.empty()) {
        slot = static_cast<uint32_t>(FSize++);
    } else {
        slot = FFree.back();
        FFree.pop_back();
    }
    new (&FRecords[slot]) TaskRecord(record);
    if (++FSerials == 0) {
        ++FSerials;  // 0 marks a free place
    }
    FRecords[slot].serial = FSerials;
    ++FLive;
    return slot;
}

void TaskPool::Release(uint32_t slot) noexcept {
    if (slot >= FSize || FRecords[slot].serial == 0) {
        return;
    }
    FRecords[slot].serial = 0;
    FRecords[slot].phase = TaskRecord::Phase::Ended;
    if (--FLive == 0) {
        // All ended: the next poll lays its tasks out from the start again.
        FSize = 0;
        FFree.clear();
        return;
    }
    FFree.push_back(slot);
}

}  // namespace tervex
