#include "protocol/TaskList.h"

#include <new>

namespace tervex {

void TaskList::ReserveOneMore() {
    if (FSize < FChunks.size() * kChunkRecords) {
        return;
    }
    Chunk chunk;
    chunk.memory.reset(new unsigned char[kChunkRecords * sizeof(TaskRecord) + TaskPool::kRecordBytes]);
    const auto at = reinterpret_cast<uintptr_t>(chunk.memory.get());
    chunk.records = reinterpret_cast<TaskRecord*>(chunk.memory.get() + (TaskPool::kRecordBytes - at % TaskPool::kRecordBytes) %
                                                                           TaskPool::kRecordBytes);
    FChunks.push_back(std::move(chunk));
}

void TaskList::push_back(const TaskRecord& record) {
    new (&(*this)[FSize]) TaskRecord(record);
    ++FSize;
}

void TaskList::Reset() noexcept {
    FSize = 0;
    if (FChunks.size() > 1) {
        FChunks.erase(FChunks.begin() + 1, FChunks.end());
    }
}

}  // namespace tervex
