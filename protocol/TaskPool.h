#pragma once
// The engine's records of the tasks it serves: small and of one size, held side by side
// in one array. A poll places its tasks port by port in address order, the order in
// which each port's queue and answers meet them, so that the passes over them walk
// memory front to back. A record's place is used again once its task has ended; the
// array keeps its largest size.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <type_traits>
#include <vector>

#include "protocol/EngineTask.h"
#include "protocol/NodeTable.h"
#include "protocol/Request.h"
#include "protocol/RequestBuilder.h"

namespace tervex {

// The ids of the frames a task waits on: at most its password frame and its data frame,
// held in place, as the answer to every frame looks them up. The low 32 bits of an id
// are kept: the frames that can name a task are all made by the poll that served it,
// and those differ there. Ids whose low bits are 0 are never given (0 marks no frame).
class TaskRequestIds {
public:
    static constexpr size_t kCapacity = 2;
    bool empty() const { return FIds[0] == 0; }
    size_t size() const { return FIds[0] == 0 ? 0 : FIds[1] == 0 ? 1 : 2; }
    void clear() { FIds[0] = FIds[1] = 0; }
    void push_back(uint64_t id) {
        const size_t at = size();
        if (at == kCapacity) {
            throw std::length_error("a task waits on two frames at most");
        }
        FIds[at] = Low(id);
    }
    bool Holds(uint64_t id) const { return Low(id) != 0 && (FIds[0] == Low(id) || FIds[1] == Low(id)); }
    static uint32_t Low(uint64_t id) { return static_cast<uint32_t>(id); }

private:
    uint32_t FIds[kCapacity] = {};
};

constexpr uint32_t kNoSlot = ~uint32_t{0};

struct ActiveBatch;

// What the engine keeps of a task: the parameters it works with, read from the texts
// once when the task is queued; the node's parameters are shared (NodeTable). A cache
// line at most (exactly one in 64-bit builds): a pass over the tasks reads one line per
// task.
struct TaskRecord {
    // Leaving: active until a clear in progress drops it.
    enum class Phase : uint8_t { New, Active, Leaving, Ended };

    void* context = nullptr;          // the caller's own record, handed back at the end
    const void* itemKey = nullptr;    // identity of the host's item, for RemoveItemTasks
    TaskRequestIds requests;          // ids of the frames it waits on
    NodeId node = 0;
    uint32_t serial = 0;              // given by the pool; 0 while the place is free
    ActiveBatch* batch = nullptr;     // while active: the poll's batch it belongs to
    int32_t typeCode = 17;
    uint16_t address = 0;             // the item address as frames carry it (low 16 bits), everywhere
    TaskKind kind = TaskKind::AsyncRead;
    MemoryArea area = MemoryArea::None;
    uint8_t bitNumber = 0;            // 0..7
    Phase phase = Phase::New;
    WritePayload write;
};

class TaskPool {
public:
    static constexpr size_t kRecordBytes = 64;

    TaskPool() = default;
    TaskPool(const TaskPool&) = delete;
    TaskPool& operator=(const TaskPool&) = delete;

    // Room for count more records, so that as many Place calls cannot fail. Without
    // memory it throws and nothing has changed.
    void Reserve(size_t count);
    uint32_t Place(const TaskRecord& record);
    // The place is free again; nothing that names it by its TaskRef finds it any more.
    void Release(uint32_t slot) noexcept;

    TaskRecord& operator[](uint32_t slot) { return FRecords[slot]; }
    const TaskRecord& operator[](uint32_t slot) const { return FRecords[slot]; }
    TaskRef RefOf(uint32_t slot) const { return TaskRef{slot, FRecords[slot].serial}; }
    // The record a reference names, or none once its place has been released.
    TaskRecord* Find(TaskRef ref) noexcept {
        return ref.slot < FSize && ref.serial != 0 && FRecords[ref.slot].serial == ref.serial ? &FRecords[ref.slot]
                                                                                             : nullptr;
    }
    size_t Live() const { return FLive; }
    // Asks for the records of these tasks to be brought near: they are read when the
    // answer comes.
    void Prefetch(const TaskRefs& refs) const {
        for (size_t k = 0; k < refs.size(); ++k) {
            if (refs[k].slot < FSize) {
                __builtin_prefetch(&FRecords[refs[k].slot]);
            }
        }
    }

private:
    // The records start on a cache line boundary.
    std::unique_ptr<unsigned char[]> FBuffer;
    TaskRecord* FRecords = nullptr;
    size_t FSize = 0;                // places in use or free
    size_t FCapacity = 0;
    std::vector<uint32_t> FFree;     // its capacity covers every place, so releasing never allocates
    size_t FLive = 0;
    uint32_t FSerials = 0;
};

static_assert(sizeof(TaskRecord) <= TaskPool::kRecordBytes, "a task record takes a cache line at most");
static_assert(std::is_trivially_copyable<TaskRecord>::value, "task records move as bytes");

}  // namespace tervex
