// The task side of the poll cycle: queuing, serving new tasks with frames, the
// synchronous wait, and dropping tasks.
#include "protocol/PollEngine.h"

#include <algorithm>
#include <optional>

namespace tervex {

PollEngine::PollEngine(IEngineClock& clock, IHostPort& port, IHostServer& server, ICompletionSink& sink,
                       const DriverSettings& settings)
    : FClock(clock), FHostPort(port), FServer(server), FSink(sink), FSettings(settings), FAssembler(*this) {}

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

void PollEngine::QueueTask(EngineTask task) noexcept {
    void* const context = task.context;
    const TaskKind kind = task.kind;
    try {
        auto state = std::make_shared<EngineTaskState>();
        state->sortKey = static_cast<uint16_t>(task.item.address);
        state->area = MemoryAreaFromText(task.item.memoryArea);
        state->lsbFirst = IsLsbFirst(task.node.byteOrder);
        state->def = std::move(task);
        FNewTasks.push_back(std::move(state));
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
        std::vector<TaskPtr> batch;
        batch.swap(FNewTasks);
        try {
            Serve(batch, static_cast<uint8_t>(priority & 0xFF));
        } catch (...) {
            // Out of memory part way: the batch still holds every task; those not yet
            // active cannot be served now and fail like unserved ones, never silently.
            for (const TaskPtr& task : batch) {
                if (task && task->phase == EngineTaskState::Phase::New) {
                    FinishUnserved(task);
                }
            }
        }
        TransmitStep();
        WaitForSyncTasks();
    } catch (...) {
    }
}

namespace {

// What decides whether tasks may share a frame, in one number: kind, port, device byte
// and memory area. Tasks of an unknown area never open a frame, so it does not matter
// that they fall into one group whatever their text; the sharing test compares texts.
uint32_t GroupKeyOf(const EngineTaskState& task) {
    const auto port = PollPort(task.def.node);
    return static_cast<uint32_t>(task.def.kind) << 24 | static_cast<uint32_t>(port ? *port : 0xFF) << 16 |
           static_cast<uint32_t>(DeviceByte(task.def.node)) << 8 | static_cast<uint32_t>(task.area);
}

constexpr uint64_t kLow32 = 0xFFFFFFFFu;

}  // namespace

void PollEngine::Serve(std::vector<TaskPtr>& batch, uint8_t priority) {
    const size_t n = batch.size();
    // Each task's keys are read once, in queue order; the orders below are then sorts of
    // plain numbers, so a large batch is not walked in random order at every comparison.
    std::vector<uint64_t> order(n);  // address, then queue position: stable by address
    std::vector<uint32_t> groupOf(n);
    std::vector<uint8_t> linkedOf(n);
    for (size_t q = 0; q < n; ++q) {
        const EngineTaskState& task = *batch[q];
        order[q] = static_cast<uint64_t>(task.sortKey) << 32 | q;
        groupOf[q] = GroupKeyOf(task);
        linkedOf[q] = !task.requests.empty();
    }
    std::sort(order.begin(), order.end());

    // From here on, positions are in address order. byGroup holds the same tasks by
    // group, address order kept within a group: a task's sharing candidates follow it
    // there, as far as their address can lie in its frame.
    std::vector<TaskPtr> sorted;
    sorted.reserve(n);
    std::vector<uint16_t> address(n);
    std::vector<uint8_t> linked(n);  // the task's Requests are not empty
    std::vector<uint64_t> byGroup(n);
    for (size_t i = 0; i < n; ++i) {
        const size_t q = order[i] & kLow32;
        // Each task moves into a new record, laid out in the order in which the loop
        // below, the port queues and the answers will meet it. Without memory for it,
        // the task keeps its record (nothing has moved when the allocation fails).
        TaskPtr record;
        try {
            record = std::make_shared<EngineTaskState>(std::move(*batch[q]));
        } catch (...) {
            record = std::move(batch[q]);
        }
        sorted.push_back(std::move(record));
        address[i] = static_cast<uint16_t>(order[i] >> 32);
        linked[i] = linkedOf[q];
        byGroup[i] = static_cast<uint64_t>(groupOf[q]) << 32 | i;
    }
    batch.swap(sorted);
    sorted.clear();
    std::sort(byGroup.begin(), byGroup.end());
    std::vector<uint32_t> groupPos(n);
    for (size_t p = 0; p < n; ++p) {
        groupPos[byGroup[p] & kLow32] = static_cast<uint32_t>(p);
    }

    std::vector<std::optional<DataFrame>> frames(n);
    std::vector<bool> built(n, false);
    auto frameOf = [&](size_t i) -> const std::optional<DataFrame>& {
        if (!built[i]) {
            built[i] = true;
            try {
                frames[i] = BuildDataFrame(batch[i]->def);
            } catch (...) {
                frames[i].reset();  // no memory for it: the task goes unserved
            }
        }
        return frames[i];
    };

    uint64_t nowMs = 0;
    try {
        nowMs = FClock.MonotonicMs();
    } catch (...) {
    }

    for (size_t i = 0; i < n; ++i) {
        const TaskPtr& task = batch[i];
        if (linked[i]) {
            continue;  // served by an earlier task's frame
        }
        try {
            const auto portNo = PollPort(task->def.node);
            if (!portNo) {
                continue;
            }
            TComPort& port = *FPorts.FindOrCreate(*portNo);
            const uint16_t deviceIndex = port.FindOrCreateDevice(static_cast<uint16_t>(task->def.node.deviceAddress));
            const std::optional<DataFrame>& frame = frameOf(i);
            if (!frame) {
                continue;  // no data frame, so no password frame either
            }
            std::vector<RequestPtr> requests;
            requests.reserve(TaskRequestIds::kCapacity);
            if (auto password = TakePasswordFrame(task->def, port.Devices[deviceIndex], nowMs)) {
                const uint8_t command = (*password)[1];
                requests.push_back(Enqueue(port, deviceIndex, priority, std::move(*password), std::string(), command, 0));
            }
            // The frame's bytes move into the request; later writes compare with them there.
            requests.push_back(Enqueue(port, deviceIndex, priority, std::move(frames[i]->wire), frame->protocol,
                                       frame->command, frame->startAddress));
            const std::vector<uint8_t>& wire = requests.back()->Data;
            Link(task, requests);
            linked[i] = !task->requests.empty();

            const bool isWrite = IsWriteKind(task->def.kind);
            const int reach = task->sortKey + (isWrite ? 1 : 8);
            const uint64_t group = byGroup[groupPos[i]] >> 32;
            for (size_t p = groupPos[i] + 1; p < n; ++p) {
                const size_t j = byGroup[p] & kLow32;
                if ((byGroup[p] >> 32) != group || address[j] >= reach) {
                    break;
                }
                const std::vector<uint8_t>* laterWire = nullptr;
                if (isWrite) {
                    const auto& later = frameOf(j);
                    laterWire = later ? &later->wire : nullptr;
                }
                if (SharesRequest(task->def, batch[j]->def, &wire, laterWire)) {
                    Link(batch[j], requests);
                    linked[j] = !batch[j]->requests.empty();
                }
            }
        } catch (...) {
            // Whatever the task got linked to stands; without requests it fails below.
        }
    }

    // Served tasks become active from the last to the first; the others fail at once.
    // The batch keeps every task until all are placed, so that nothing is lost if the
    // memory for the lists runs out on the way (the poll then fails what is not active).
    std::vector<TaskPtr> served;
    std::vector<TaskPtr> unserved;
    served.reserve(n);
    unserved.reserve(n);
    for (size_t i = n; i-- > 0;) {
        const TaskPtr& task = batch[i];
        if (!task->requests.empty()) {
            Activate(task);
            served.push_back(task);
        } else {
            unserved.push_back(task);
        }
    }
    batch.clear();
    for (auto it = served.rbegin(); it != served.rend(); ++it) {
        if ((*it)->phase == EngineTaskState::Phase::Active) {
            Stamp(*it, kQualityBad, nullptr);
        }
    }
    for (const TaskPtr& task : unserved) {
        FinishUnserved(task);
    }
}

RequestPtr PollEngine::Enqueue(TComPort& port, uint16_t deviceIndex, uint8_t priority, std::vector<uint8_t> data,
                               std::string protocol, uint8_t command, uint16_t startAddress) {
    auto request = std::make_shared<TRequest>();
    request->Id = ++FRequestIds;
    request->Priority = priority;
    request->Data = std::move(data);
    request->DeviceIndex = deviceIndex;
    request->Protocol = std::move(protocol);
    request->Command = command;
    request->StartAddress = startAddress;
    port.Queue.Insert(request);
    return request;
}

void PollEngine::Link(const TaskPtr& task, const std::vector<RequestPtr>& requests) {
    // Room first: without memory the task keeps what it had, and is never left listing a
    // frame that does not list it (it would wait for that frame's answer for ever).
    for (const RequestPtr& request : requests) {
        auto& waiters = request->Waiters;
        if (waiters.size() == waiters.capacity()) {
            waiters.reserve(std::max<size_t>(4, waiters.capacity() * 2));
        }
    }
    // Replaces what the task waited on; the requests it leaves skip it when they finish.
    task->requests.clear();
    for (const RequestPtr& request : requests) {
        task->requests.push_back(request->Id);
        request->Waiters.push_back(task);
    }
}

void PollEngine::Activate(const TaskPtr& task) {
    // Listed first: a task marked active always has its entry.
    task->activeEntry = FActiveTasks.insert(FActiveTasks.end(), task);
    task->phase = EngineTaskState::Phase::Active;
    task->activation = ++FActivations;
    if (IsSyncKind(task->def.kind)) {
        ++FActiveSync;
    }
}

void PollEngine::Deactivate(const TaskPtr& task) {
    if (task->phase == EngineTaskState::Phase::Active) {
        FActiveTasks.erase(task->activeEntry);
        if (IsSyncKind(task->def.kind)) {
            --FActiveSync;
        }
    }
    task->phase = EngineTaskState::Phase::Ended;
}

void PollEngine::FinishUnserved(const TaskPtr& task) {
    task->phase = EngineTaskState::Phase::Ended;
    Completion completion;
    completion.kind = task->def.kind;
    completion.task = &task->def;
    completion.result = kResultFail;
    completion.quality = kQualityBad;
    completion.timestamp = Timestamp::Now();
    Finish(task, completion);
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

void PollEngine::RemoveItemTasks(const void* itemKey) noexcept {
    try {
        // The one allocation comes before anything is taken out of the lists.
        auto matches = [itemKey](const TaskPtr& task) { return task->def.itemKey == itemKey; };
        std::vector<TaskPtr> dropped;
        dropped.reserve(static_cast<size_t>(std::count_if(FNewTasks.begin(), FNewTasks.end(), matches) +
                                            std::count_if(FActiveTasks.begin(), FActiveTasks.end(), matches)));
        for (auto it = FNewTasks.rbegin(); it != FNewTasks.rend(); ++it) {
            if ((*it)->def.itemKey == itemKey) {
                dropped.push_back(*it);
            }
        }
        FNewTasks.erase(std::remove_if(FNewTasks.begin(), FNewTasks.end(),
                                       [&](const TaskPtr& task) { return task->def.itemKey == itemKey; }),
                        FNewTasks.end());
        for (auto it = FActiveTasks.rbegin(); it != FActiveTasks.rend(); ++it) {
            if ((*it)->def.itemKey == itemKey) {
                dropped.push_back(*it);
            }
        }
        for (const TaskPtr& task : dropped) {
            Deactivate(task);
        }
        for (const TaskPtr& task : dropped) {
            Drop(task);
        }
    } catch (...) {
    }
}

// The clears take the lists over whole, without allocating, so that they cannot fail
// part way when memory runs out.
void PollEngine::ClearNewTasks() noexcept {
    std::vector<TaskPtr> dropped;
    dropped.swap(FNewTasks);
    for (auto it = dropped.rbegin(); it != dropped.rend(); ++it) {
        (*it)->phase = EngineTaskState::Phase::Ended;
        Drop(*it);
    }
}

void PollEngine::ClearAll() noexcept {
    std::vector<TaskPtr> fresh;
    fresh.swap(FNewTasks);
    std::list<TaskPtr> active;
    active.swap(FActiveTasks);
    FActiveSync = 0;
    for (const TaskPtr& task : fresh) {
        task->phase = EngineTaskState::Phase::Ended;
    }
    for (const TaskPtr& task : active) {
        task->phase = EngineTaskState::Phase::Ended;
    }
    try {
        FPorts.Clear();
        FAssembler.Reset();
    } catch (...) {
    }
    for (auto it = fresh.rbegin(); it != fresh.rend(); ++it) {
        Drop(*it);
    }
    for (auto it = active.rbegin(); it != active.rend(); ++it) {
        Drop(*it);
    }
}

void PollEngine::Log(const std::string& line) {
    try {
        FServer.WriteLog(line);
    } catch (...) {
    }
}

void PollEngine::Finish(const TaskPtr& task, const Completion& completion) {
    try {
        FSink.TaskFinished(task->def.context, completion);
    } catch (...) {
    }
}

void PollEngine::Stamp(const TaskPtr& task, uint16_t quality, const Timestamp* timestamp) {
    try {
        FSink.ItemStateStamped(task->def.context, quality, timestamp);
    } catch (...) {
    }
}

void PollEngine::Drop(const TaskPtr& task) {
    try {
        FSink.TaskDropped(task->def.context);
    } catch (...) {
    }
}

}  // namespace tervex
