#pragma once
// The poll cycle: turns host tasks into frames on the host's ports, sends them one at a
// time per port, waits for answers, retries, rests silent devices and finishes every
// task exactly once (TaskFinished or TaskDropped).
//
// Every entry point contains whatever is raised inside it, and the host may call back
// into any of them from within the engine's calls to it (Idle, the port, the sink).
#include <cstddef>
#include <cstdint>
#include <list>
#include <optional>
#include <string>
#include <vector>

#include "config/DriverSettings.h"
#include "protocol/DeviceDiagnostics.h"
#include "protocol/EngineHost.h"
#include "protocol/EngineTask.h"
#include "protocol/NodeTable.h"
#include "protocol/PortTable.h"
#include "protocol/RequestBuilder.h"
#include "protocol/TaskList.h"
#include "protocol/TaskPool.h"

namespace tervex {

// The tasks one poll made active, in address order; they count as activated from the
// last to the first, and a batch's tasks after those of every earlier batch. A batch
// goes once none of its tasks is active any more.
struct ActiveBatch {
    std::vector<TaskRef> tasks;
    size_t live = 0;  // tasks still active, and one more while the poll serves them
    std::list<ActiveBatch>::iterator self;
};

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

    // Keeps what it needs of the task; a node's parameters are copied once per node.
    void QueueTask(const EngineTask& task) noexcept;
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
    size_t ActiveTaskCount() const { return FActiveCount; }
    size_t ActiveSyncTaskCount() const { return FActiveSync; }
    size_t NodeRecordCount() const { return FNodes.Size(); }  // distinct node parameter sets held
    const TPortTable& Ports() const { return FPorts; }

private:
    uint32_t TickCount() override;

    // Serving new tasks. Diagnostics tasks end at once, from the driver's own records.
    void ServeDiagnostics(TaskList& batch);
    uint64_t NowMs() noexcept;
    struct BatchPlan;
    void Serve(TaskList& batch, uint8_t priority);
    void ServePlaced(BatchPlan& plan, ActiveBatch& batch, uint8_t priority);
    RequestPtr Enqueue(TComPort& port, uint16_t deviceIndex, uint8_t priority, const std::vector<uint8_t>& data,
                       std::string protocol, uint8_t command, uint16_t startAddress);
    void Link(uint32_t slot, const RequestPtr* requests, size_t count);
    std::optional<DataFrame> FrameOf(const TaskRecord& task) const;
    void Activate(uint32_t slot, ActiveBatch& batch);
    void Deactivate(uint32_t slot);
    void Release(ActiveBatch& batch) noexcept;  // one task or server fewer
    // Every active task, the latest activated first.
    template <class Visit>
    void ForEachActive(Visit visit);
    void FinishUnserved(const TaskRecord& task);   // a task that never reached the pool
    void FinishUnserved(uint32_t slot);
    void KeepQueuedWrites(const std::vector<uint32_t>& slots) noexcept;
    void WaitForSyncTasks();

    // Exchanges.
    void TransmitStep();
    void SendPhase(const std::vector<PortPtr>& ports);
    void TimeoutPhase(const std::vector<PortPtr>& ports);
    void ReceiveGapCheck();
    void Receive(const PortPtr& port, uint8_t portNo, const uint8_t* data, int32_t count);
    bool ProcessAnswer(const PortPtr& port, const RequestPtr& request, const std::vector<uint8_t>& answer);
    // The task a request names, if it is active and still waits on that request.
    TaskRecord* WaitingTask(TaskRef ref, const TRequest& request);
    bool HasWaiters(const TRequest& request);
    void FinishServed(uint32_t slot, const TRequest& request, const TDeviceStatus* device,
                      const std::vector<uint8_t>& answer, bool accepted, bool& first);

    // Contained calls out. A placed task keeps its record until Forget, after its ending call.
    Completion UnservedCompletion(const TaskRecord& task) const;
    void Log(const std::string& line);
    void Finish(void* context, const Completion& completion);
    void Stamp(void* context, uint16_t quality, const Timestamp* timestamp);
    void Drop(void* context);
    void Forget(uint32_t slot) noexcept;

    IEngineClock& FClock;
    IHostPort& FHostPort;
    IHostServer& FServer;
    ICompletionSink& FSink;
    const DriverSettings& FSettings;

    TaskList FNewTasks;                 // in order of queuing
    NodeTable FNodes;
    TaskPool FTasks;                    // tasks being served or active
    std::list<ActiveBatch> FActive;     // oldest first
    size_t FActiveCount = 0;
    size_t FActiveSync = 0;
    uint64_t FEndings = 0;              // counts every task that ended or left its place
    uint64_t FRequestIds = 0;
    TPortTable FPorts;
    DeviceDiagnostics FDiagnostics;     // outlives every clear
};

}  // namespace tervex
