#pragma once
// The polling mode's machinery: a station's ports behind the host's port
// object, its nodes and items as the driver is handed them, and the schedule
// that reads each item at its scan rate and sends the writes asked for. The
// console run and the configuration window's live watch both drive it: the
// owner initialises the driver with Hub() as its port object, attaches the
// driver here and calls Step on the one thread that calls the driver.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "boundary/PluginInterface.h"
#include "tools/host/core/Options.h"
#include "tools/host/core/Schedule.h"
#include "tools/host/core/Station.h"
#include "tools/host/win/PortHub.h"
#include "tools/host/win/Runtime.h"

namespace tervex::host {

// How one of the station's ports came up: its description, or why not.
struct PortOpening {
    std::string name;  // "COM1"
    bool opened = false;
    std::string text;  // Describe() of the port, or the error
};

class StationPoller {
public:
    // sync: synchronous tasks (Poll waits, answers come through Idle).
    StationPoller(Station station, bool sync, int tickMs);
    ~StationPoller();
    StationPoller(const StationPoller&) = delete;
    StationPoller& operator=(const StationPoller&) = delete;

    const Station& Model() const { return station_; }
    // The host's port object, to be handed to the driver's Initialize.
    PortHub& Hub() { return hub_; }

    // Milliseconds since the clock was (re)started; it starts with the poller.
    int64_t NowMs() const;
    int64_t NowUs() const;
    void RestartClock();

    // Opens every port of the station; a node's port without a section of its
    // own is a built-in simulated line without controllers. One entry per port.
    std::vector<PortOpening> OpenPorts();
    // The driver (initialised with Hub()) and its port client; both stay the owner's.
    void Attach(IOrnDriver2* driver, IOrnPortClient* client);
    // The nodes' and items' lists as the pages compose them, and the schedule;
    // readEveryMs > 0 reads every item at that period instead of its scan rate.
    void BuildElements(int64_t readEveryMs = 0);
    // A write the schedule sends at its time; false with the reason when it
    // does not fit the station.
    bool AddWrite(const WriteOption& option, std::string& error);

    // Due writes and reads queued and polled, the ports read, the driver's
    // timer ticked when due. Never waits, unless synchronous tasks make Poll wait.
    void Step(int64_t nowMs);
    // Reads the ports and hands what arrived to the driver (also the host's Idle).
    void Pump();
    // Sleeps until a port has bytes, the next read or tick is due, or untilMs.
    void Wait(int64_t untilMs);
    // Lets the exchanges on the wire finish (until untilMs at the most)
    // without starting new ones, so a run does not end by cutting an answer.
    void Finish(int64_t untilMs);
    // ClearAll, then counts what the driver kept or should not have called.
    void Shutdown();

    const std::vector<std::unique_ptr<NodeRuntime>>& Nodes() const { return nodes_; }
    const std::vector<std::unique_ptr<ItemRuntime>>& Items() const { return items_; }
    const std::vector<std::unique_ptr<WriteJob>>& Writes() const { return writes_; }
    int64_t Overruns(const ItemRuntime& item) const;
    std::vector<PortStats> PortStatistics() const { return hub_.Stats(); }
    // After Shutdown: item references the driver still held, and calls of the
    // port's and the items' slots it should not have made.
    long HeldAfterClear() const { return heldAfterClear_; }
    long UnexpectedCalls() const { return unexpectedCalls_; }

    // Writes queued and done, completions that fit no task.
    std::function<void(const std::string& text)> onEvent;

private:
    void QueueWrites(int64_t nowMs);
    void QueueReads(int64_t nowMs);
    void FinishSyncTasks();
    void TickWhenDue(int64_t nowMs);
    void OnComplete(size_t item, bool write, uint32_t handle, HRESULT result);
    void Event(const std::string& text) const;
    std::string PropertyText(int32_t id, const VARIANT& value);

    Station station_;
    std::string baseDir_;
    bool sync_;
    int tickMs_;
    std::chrono::steady_clock::time_point start_;
    int64_t nextTickMs_ = 0;

    PortHub hub_;
    std::vector<std::unique_ptr<NodeRuntime>> nodes_;
    std::vector<std::unique_ptr<ItemRuntime>> items_;
    std::vector<std::unique_ptr<WriteJob>> writes_;
    Schedule schedule_;
    uint32_t nextHandle_ = 1;
    long heldAfterClear_ = 0;
    long unexpectedCalls_ = 0;

    IOrnDriver2* driver_ = nullptr;
    IOrnPortClient* client_ = nullptr;
};

}  // namespace tervex::host
