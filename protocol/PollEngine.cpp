// The task side of the poll cycle: queuing, the poll and its synchronous wait, the
// active list, and dropping tasks. Serving a batch with frames is in PollServe.cpp.
#include "protocol/PollEngine.h"

#include <iterator>

namespace tervex {

PollEngine::PollEngine(IEngineClock& clock, IHostPort& port, IHostServer& server, ICompletionSink& sink,
                       const DriverSettings& settings)
    : FClock(clock), FHostPort(port), FServer(server), FSink(sink), FSettings(settings), FPorts(*this) {}

PollEngine::~PollEngine() {
    ClearAll();
}

uint32_t PollEngine::TickCount() {
    try {
        return static_cast<uint32_t>(FClock.MonotonicMs());
    } catch (...) {
        return 0;
    }
}

namespace {

bool Lists(const TaskRefs& refs, TaskRef ref) {
    for (size_t k = 0; k < refs.size(); ++k) {
        if (refs[k].slot == ref.slot && refs[k].serial == ref.serial) {
            return true;
        }
    }
    return false;
}

// The task's parameters as the engine works with them, read from the texts once; the
// node's go to the node table.
TaskRecord RecordOf(const EngineTask& task) {
    TaskRecord record;
    record.context = task.context;
    record.itemKey = task.itemKey;
    record.kind = task.kind;
    record.typeCode = task.item.typeCode;
    record.area = MemoryAreaFromText(task.item.memoryArea);
    // Diagnostics never go on the line, so no frame address applies: an address beyond
    // 16 bits must not pass for its low bits there.
    const bool outside16Bits = task.item.address < 0 || task.item.address > 0xFFFF;
    record.address = record.area == MemoryArea::Diagnostics && outside16Bits ? 0xFFFF : FrameAddress(task.item);
    record.bitNumber = BitNumber(task.item);
    record.write = task.write;
    return record;
}

}  // namespace

void PollEngine::QueueTask(const EngineTask& task) noexcept {
    void* const context = task.context;
    const TaskKind kind = task.kind;
    try {
        TaskRecord record = RecordOf(task);
        FNewTasks.ReserveOneMore();
        record.node = FNodes.Intern(task.node);
        FNewTasks.push_back(record);  // room was made
    } catch (...) {
        // Not kept, so finished at once: the caller's record must not be left behind.
        try {
            Completion completion;
            completion.kind = kind;
            FSink.TaskFinished(context, completion);
        } catch (...) {
        }
    }
}

void PollEngine::Poll(uint32_t priority) noexcept {
    try {
        if (FNewTasks.empty()) {
            return;
        }
        // Taken out first: tasks queued from within the host's callbacks wait for the next poll.
        TaskList batch;
        batch.swap(FNewTasks);
        ServeDiagnostics(batch);
        Serve(batch, static_cast<uint8_t>(priority & 0xFF));
        if (FNewTasks.empty()) {
            batch.Reset();
            FNewTasks.swap(batch);  // the next tasks start in this batch's first chunk
        }
        TransmitStep();
        WaitForSyncTasks();
    } catch (...) {
    }
}

void PollEngine::Activate(uint32_t slot, ActiveBatch& batch) {
    TaskRecord& task = FTasks[slot];
    task.phase = TaskRecord::Phase::Active;
    task.batch = &batch;
    ++batch.live;
    ++FActiveCount;
    if (IsSyncKind(task.kind)) {
        ++FActiveSync;
    }
}

void PollEngine::Deactivate(uint32_t slot) {
    TaskRecord& task = FTasks[slot];
    ++FEndings;
    if (task.phase == TaskRecord::Phase::Active) {
        --FActiveCount;
        if (IsSyncKind(task.kind)) {
            --FActiveSync;
        }
        Release(*task.batch);
    }
    task.phase = TaskRecord::Phase::Ended;
    task.batch = nullptr;
}

void PollEngine::Release(ActiveBatch& batch) noexcept {
    if (--batch.live == 0) {
        FActive.erase(batch.self);
    }
}

Completion PollEngine::UnservedCompletion(const TaskRecord& task) const {
    Completion completion;
    completion.kind = task.kind;
    completion.node = &FNodes[task.node].params;
    completion.typeCode = task.typeCode;
    completion.bitNumber = task.bitNumber;
    completion.result = kResultFail;
    completion.quality = kQualityBad;
    completion.timestamp = Timestamp::Now();
    return completion;
}

void PollEngine::FinishUnserved(const TaskRecord& task) {
    Finish(task.context, UnservedCompletion(task));
    FNodes.Release(task.node);
}

void PollEngine::FinishUnserved(uint32_t slot) {
    FTasks[slot].phase = TaskRecord::Phase::Ended;
    const Completion completion = UnservedCompletion(FTasks[slot]);
    Finish(FTasks[slot].context, completion);
    Forget(slot);
}

void PollEngine::WaitForSyncTasks() {
    while (FActiveSync > 0) {
        try {
            if (FClock.Terminated()) {
                return;
            }
            FClock.SleepMs(kWaitStepMs);
        } catch (...) {
        }
        TransmitStep();
        try {
            FServer.Idle();
        } catch (...) {
        }
    }
}

template <class Visit>
void PollEngine::ForEachActive(Visit visit) {
    for (auto batch = FActive.rbegin(); batch != FActive.rend(); ++batch) {
        for (const TaskRef& ref : batch->tasks) {
            TaskRecord* task = FTasks.Find(ref);
            if (task != nullptr && task->phase == TaskRecord::Phase::Active) {
                visit(ref.slot, *task);
            }
        }
    }
}

void PollEngine::RemoveItemTasks(const void* itemKey) noexcept {
    try {
        // The allocations come before anything is taken out of the lists.
        auto matches = [itemKey](const TaskRecord& task) { return task.itemKey == itemKey; };
        size_t activeMatches = 0;
        ForEachActive([&](uint32_t, const TaskRecord& task) { activeMatches += matches(task) ? 1 : 0; });
        size_t newMatches = 0;
        for (size_t q = 0; q < FNewTasks.size(); ++q) {
            newMatches += matches(FNewTasks[q]) ? 1 : 0;
        }
        std::vector<TaskRecord> droppedNew;
        droppedNew.reserve(newMatches);
        std::vector<uint32_t> droppedActive;
        droppedActive.reserve(activeMatches);

        // New tasks from the last to the first, then active ones from the latest.
        for (size_t q = FNewTasks.size(); q-- > 0;) {
            if (matches(FNewTasks[q])) {
                droppedNew.push_back(FNewTasks[q]);
            }
        }
        FNewTasks.EraseIf(matches);
        ForEachActive([&](uint32_t slot, const TaskRecord& task) {
            if (matches(task)) {
                droppedActive.push_back(slot);
            }
        });
        KeepQueuedWrites(droppedActive);
        for (const uint32_t slot : droppedActive) {
            Deactivate(slot);
        }
        for (const TaskRecord& task : droppedNew) {
            Drop(task.context);
            FNodes.Release(task.node);
        }
        for (const uint32_t slot : droppedActive) {
            Drop(FTasks[slot].context);
            Forget(slot);
        }
    } catch (...) {
    }
}

// The write frames the removed tasks wait on stay queued and are written: the client's
// value still goes to the controller, its result nowhere. Read frames go unsent.
void PollEngine::KeepQueuedWrites(const std::vector<uint32_t>& slots) noexcept {
    try {
        for (const uint32_t slot : slots) {
            const TaskRecord& task = FTasks[slot];
            const std::optional<uint8_t>& portNo = FNodes[task.node].port;
            const PortPtr port = IsWriteKind(task.kind) && portNo ? FPorts.Find(*portNo) : nullptr;
            if (!port) {
                continue;
            }
            for (const RequestPtr& request : port->Queue.Items()) {
                if (!IsPasswordCommand(request->Command) && task.requests.Holds(request->Id) &&
                    Lists(request->Waiters, FTasks.RefOf(slot))) {
                    request->KeptForRemovedItem = true;
                }
            }
        }
    } catch (...) {
        // No memory to look: the frames go unsent, as those of reads.
    }
}

// The clears take the lists over whole, without allocating, so that they cannot fail
// part way when memory runs out.
void PollEngine::ClearNewTasks() noexcept {
    TaskList dropped;
    dropped.swap(FNewTasks);
    for (size_t q = dropped.size(); q-- > 0;) {
        Drop(dropped[q].context);
        FNodes.Release(dropped[q].node);
    }
}

void PollEngine::ClearAll() noexcept {
    TaskList fresh;
    fresh.swap(FNewTasks);
    // The active tasks are marked first, so that nothing the host does from within the
    // drops below takes them for active ones.
    std::list<ActiveBatch> active;
    active.swap(FActive);
    for (ActiveBatch& batch : active) {
        for (const TaskRef& ref : batch.tasks) {
            TaskRecord* task = FTasks.Find(ref);
            if (task != nullptr && task->phase == TaskRecord::Phase::Active) {
                task->phase = TaskRecord::Phase::Leaving;
                --batch.live;
            }
        }
    }
    FActiveCount = 0;
    FActiveSync = 0;
    ++FEndings;
    try {
        FPorts.Clear();
    } catch (...) {
    }
    for (size_t q = fresh.size(); q-- > 0;) {
        Drop(fresh[q].context);
        FNodes.Release(fresh[q].node);
    }
    for (auto batch = active.rbegin(); batch != active.rend(); ++batch) {
        for (const TaskRef& ref : batch->tasks) {
            TaskRecord* task = FTasks.Find(ref);
            if (task == nullptr || task->phase != TaskRecord::Phase::Leaving) {
                continue;
            }
            task->phase = TaskRecord::Phase::Ended;
            task->batch = nullptr;
            Drop(task->context);
            Forget(ref.slot);
        }
    }
    // A batch whose poll is still serving it stays until the poll lets go of it.
    for (auto batch = active.begin(); batch != active.end();) {
        const auto next = std::next(batch);
        if (batch->live > 0) {
            FActive.splice(FActive.end(), active, batch);
        }
        batch = next;
    }
}

void PollEngine::Log(const std::string& line) {
    try {
        FServer.WriteLog(line);
    } catch (...) {
    }
}

void PollEngine::Finish(void* context, const Completion& completion) {
    try {
        FSink.TaskFinished(context, completion);
    } catch (...) {
    }
}

void PollEngine::Stamp(void* context, uint16_t quality, const Timestamp* timestamp) {
    try {
        FSink.ItemStateStamped(context, quality, timestamp);
    } catch (...) {
    }
}

void PollEngine::Drop(void* context) {
    try {
        FSink.TaskDropped(context);
    } catch (...) {
    }
}

void PollEngine::Forget(uint32_t slot) noexcept {
    ++FEndings;
    const NodeId node = FTasks[slot].node;
    FTasks.Release(slot);
    FNodes.Release(node);
}

}  // namespace tervex
