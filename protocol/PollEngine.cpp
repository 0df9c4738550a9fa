// The task side of the poll cycle: queuing, serving new tasks with frames, the
// synchronous wait, and dropping tasks.
#include "protocol/PollEngine.h"

#include <algorithm>
#include <numeric>
#include <optional>
#include <tuple>

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
        Serve(batch, static_cast<uint8_t>(priority & 0xFF));
        TransmitStep();
        WaitForSyncTasks();
    } catch (...) {
    }
}

namespace {

// Tasks that may share a frame: same kind, port, device byte and memory area.
using GroupKey = std::tuple<TaskKind, std::optional<uint8_t>, uint8_t, const std::string&>;

GroupKey GroupOf(const EngineTaskState& task) {
    return GroupKey(task.def.kind, PollPort(task.def.node), DeviceByte(task.def.node), task.def.item.memoryArea);
}

}  // namespace

void PollEngine::Serve(std::vector<TaskPtr>& batch, uint8_t priority) {
    std::stable_sort(batch.begin(), batch.end(),
                     [](const TaskPtr& a, const TaskPtr& b) { return a->sortKey < b->sortKey; });
    const size_t n = batch.size();

    // The same tasks by group, address order kept within a group: a task's sharing
    // candidates follow it there, as far as their address can lie in its frame.
    std::vector<size_t> byGroup(n);
    std::iota(byGroup.begin(), byGroup.end(), size_t{0});
    std::stable_sort(byGroup.begin(), byGroup.end(),
                     [&](size_t a, size_t b) { return GroupOf(*batch[a]) < GroupOf(*batch[b]); });
    std::vector<size_t> groupPos(n);
    for (size_t p = 0; p < n; ++p) {
        groupPos[byGroup[p]] = p;
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
        if (!task->requests.empty()) {
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
            if (auto password = TakePasswordFrame(task->def, port.Devices[deviceIndex], nowMs)) {
                const uint8_t command = (*password)[1];
                requests.push_back(Enqueue(port, deviceIndex, priority, std::move(*password), std::string(), command, 0));
            }
            requests.push_back(Enqueue(port, deviceIndex, priority, frame->wire, frame->protocol, frame->command,
                                       frame->startAddress));
            Link(task, requests);

            const bool isWrite = IsWriteKind(task->def.kind);
            const int reach = task->sortKey + (isWrite ? 1 : 8);
            for (size_t p = groupPos[i] + 1; p < n; ++p) {
                const size_t j = byGroup[p];
                if (GroupOf(*batch[j]) != GroupOf(*task) || batch[j]->sortKey >= reach) {
                    break;
                }
                const std::vector<uint8_t>* laterWire = nullptr;
                if (isWrite) {
                    const auto& later = frameOf(j);
                    laterWire = later ? &later->wire : nullptr;
                }
                if (SharesRequest(task->def, batch[j]->def, &frame->wire, laterWire)) {
                    Link(batch[j], requests);
                }
            }
        } catch (...) {
            // Whatever the task got linked to stands; without requests it fails below.
        }
    }

    // Served tasks become active from the last to the first; the others fail at once.
    std::vector<TaskPtr> served;
    std::vector<TaskPtr> unserved;
    for (size_t i = n; i-- > 0;) {
        TaskPtr task = std::move(batch[i]);
        if (!task->requests.empty()) {
            Activate(task);
            served.push_back(std::move(task));
        } else {
            unserved.push_back(std::move(task));
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
    // Replaces what the task waited on; the requests it leaves skip it when they finish.
    task->requests.clear();
    for (const RequestPtr& request : requests) {
        task->requests.push_back(request->Id);
        request->Waiters.push_back(task);
    }
}

void PollEngine::Activate(const TaskPtr& task) {
    task->phase = EngineTaskState::Phase::Active;
    task->activation = ++FActivations;
    FActiveTasks.emplace(task->activation, task);
    if (IsSyncKind(task->def.kind)) {
        ++FActiveSync;
    }
}

void PollEngine::Deactivate(const TaskPtr& task) {
    if (task->phase == EngineTaskState::Phase::Active) {
        FActiveTasks.erase(task->activation);
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
        std::vector<TaskPtr> dropped;
        for (auto it = FNewTasks.rbegin(); it != FNewTasks.rend(); ++it) {
            if ((*it)->def.itemKey == itemKey) {
                dropped.push_back(*it);
            }
        }
        FNewTasks.erase(std::remove_if(FNewTasks.begin(), FNewTasks.end(),
                                       [&](const TaskPtr& task) { return task->def.itemKey == itemKey; }),
                        FNewTasks.end());
        for (auto it = FActiveTasks.rbegin(); it != FActiveTasks.rend(); ++it) {
            if (it->second->def.itemKey == itemKey) {
                dropped.push_back(it->second);
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

void PollEngine::ClearNewTasks() noexcept {
    try {
        std::vector<TaskPtr> dropped(FNewTasks.rbegin(), FNewTasks.rend());
        FNewTasks.clear();
        for (const TaskPtr& task : dropped) {
            task->phase = EngineTaskState::Phase::Ended;
            Drop(task);
        }
    } catch (...) {
    }
}

void PollEngine::ClearAll() noexcept {
    try {
        std::vector<TaskPtr> dropped(FNewTasks.rbegin(), FNewTasks.rend());
        for (auto it = FActiveTasks.rbegin(); it != FActiveTasks.rend(); ++it) {
            dropped.push_back(it->second);
        }
        FNewTasks.clear();
        FActiveTasks.clear();
        FActiveSync = 0;
        for (const TaskPtr& task : dropped) {
            task->phase = EngineTaskState::Phase::Ended;
        }
        FPorts.Clear();
        FAssembler.Reset();
        for (const TaskPtr& task : dropped) {
            Drop(task);
        }
    } catch (...) {
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
