#pragma once
// The poll cycle: turns host tasks into frames on the host's ports, sends them one at a
// time per port, waits for answers, retries, rests silent devices and finishes every
// task exactly once (TaskFinished or TaskDropped).
//
// Every entry point contains whatever is raised inside it, and the host may call back
// into any of them from within the engine's calls to it (Idle, the port, the sink).
#include <cstdint>
#include <list>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "config/DriverSettings.h"
#include "protocol/AsciiAssembler.h"
#include "protocol/EngineHost.h"
#include "protocol/EngineTask.h"
#include "protocol/PortTable.h"
#include "protocol/RequestBuilder.h"

namespace tervex {

// The ids of the frames a task waits on: at most its password frame and its data frame,
// held in place, as the answer to every frame looks them up.
class TaskRequestIds {
public:
    static constexpr size_t kCapacity = 2;
    bool empty() const { return FCount == 0; }
    size_t size() const { return FCount; }
    void clear() { FCount = 0; }
    void push_back(uint64_t id) {
        if (FCount == kCapacity) {
            throw std::length_error("a task waits on two frames at most");
        }
        FIds[FCount++] = id;
    }
    const uint64_t* begin() const { return FIds; }
    const uint64_t* end() const { return FIds + FCount; }

private:
    uint64_t FIds[kCapacity] = {};
    size_t FCount = 0;
};

struct EngineTaskState {
    enum class Phase : uint8_t { New, Active, Ended };

    EngineTask def;
    uint16_t sortKey = 0;               // the item address, low 16 bits
    // Read from the texts once, when the task is queued.
    MemoryArea area = MemoryArea::None;
    bool lsbFirst = false;
    Phase phase = Phase::New;
    uint64_t activation = 0;            // order of entry into the active list
    std::list<std::shared_ptr<EngineTaskState>>::iterator activeEntry;  // while Active
    TaskRequestIds requests;            // ids of the frames it waits on
};

using TaskPtr = std::shared_ptr<EngineTaskState>;

class PollEngine : private ITickSource {
public:
    static constexpr uint32_t kWaitStepMs = 10;

    // The collaborators and the settings must outlive the engine; the settings are read
    // at every decision.
    PollEngine(IEngineClock& clock, IHostPort& port, IHostServer& server, ICompletionSink& sink,
               const DriverSettings& settings);
    ~PollEngine() override;  // drops what is left, through the sink
    PollEngine(const PollEngine&) = delete;
    PollEngine& operator=(const PollEngine&) = delete;

    void QueueTask(EngineTask task) noexcept;
    // Serves the queued tasks; waits while synchronous tasks are open. Priority: low byte.
    void Poll(uint32_t priority) noexcept;
    void TimerTick() noexcept;
    void SendNext() noexcept;
    void DataReceived(uint8_t port, const uint8_t* data, int32_t count) noexcept;
    bool IsFrameComplete(uint8_t port, const uint8_t* data, int32_t count) const noexcept;
    void RemoveItemTasks(const void* itemKey) noexcept;
    // Drops the tasks not yet polled; active tasks and the ports stay.
    void ClearNewTasks() noexcept;
    // Drops every task and empties the port table.
    void ClearAll() noexcept;

    // Read-only views for diagnostics and tests.
    size_t NewTaskCount() const { return FNewTasks.size(); }
    size_t ActiveTaskCount() const { return FActiveTasks.size(); }
    size_t ActiveSyncTaskCount() const { return FActiveSync; }
    const TPortTable& Ports() const { return FPorts; }
    const AsciiAssembler& Assembler() const { return FAssembler; }

private:
    uint32_t TickCount() override;

    // Serving new tasks.
    void Serve(std::vector<TaskPtr>& batch, uint8_t priority);
    RequestPtr Enqueue(TComPort& port, uint16_t deviceIndex, uint8_t priority, std::vector<uint8_t> data,
                       std::string protocol, uint8_t command, uint16_t startAddress);
    void Link(const TaskPtr& task, const std::vector<RequestPtr>& requests);
    void Activate(const TaskPtr& task);
    void Deactivate(const TaskPtr& task);
    void FinishUnserved(const TaskPtr& task);
    void WaitForSyncTasks();

    // Exchanges.
    void TransmitStep();
    void SendPhase(const std::vector<PortPtr>& ports);
    void TimeoutPhase(const std::vector<PortPtr>& ports);
    void Receive(const PortPtr& port, uint8_t portNo, const uint8_t* data, int32_t count);
    bool ProcessAnswer(const PortPtr& port, const RequestPtr& request, const std::vector<uint8_t>& answer);
    std::vector<TaskPtr> WaitersOf(const TRequest& request) const;
    bool HasWaiters(const TRequest& request) const;  // WaitersOf would not be empty
    void FinishServed(const TaskPtr& task, const TRequest& request, const TDeviceStatus* device,
                      const std::vector<uint8_t>& answer, bool accepted, bool& first);

    // Contained calls out.
    void Log(const std::string& line);
    void Finish(const TaskPtr& task, const Completion& completion);
    void Stamp(const TaskPtr& task, uint16_t quality, const Timestamp* timestamp);
    void Drop(const TaskPtr& task);

    IEngineClock& FClock;
    IHostPort& FHostPort;
    IHostServer& FServer;
    ICompletionSink& FSink;
    const DriverSettings& FSettings;

    std::vector<TaskPtr> FNewTasks;
    std::list<TaskPtr> FActiveTasks;  // in order of activation
    size_t FActiveSync = 0;
    uint64_t FActivations = 0;
    uint64_t FRequestIds = 0;
    TPortTable FPorts;
    AsciiAssembler FAssembler;
};

}  // namespace tervex
