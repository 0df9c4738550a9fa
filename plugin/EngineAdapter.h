#pragma once
// Connects the poll engine to the host: the host's port and server, and the task
// records (TTaskEntry) with their property lists, item state, result word and item.
#include <cstdint>
#include <memory>

#include "boundary/PluginInterface.h"
#include "protocol/PollEngine.h"
#include "win/WinClock.h"

namespace tervex {

class TComPortDriver;

class EngineAdapter {
public:
    // The driver supplies the current host references and its port-client interface.
    explicit EngineAdapter(TComPortDriver& driver);
    ~EngineAdapter();
    EngineAdapter(const EngineAdapter&) = delete;
    EngineAdapter& operator=(const EngineAdapter&) = delete;

    void QueueTask(const TTaskDef& task);
    void Poll(int32_t priority);
    void RemoveItemTasks(IOrnItem* item);
    // Drops tasks without completing them; clearing the active ones empties the port table.
    void ClearTasks(bool clearNew, bool clearActive);
    void TimerTick();
    void DataReceived(uint8_t port, const uint8_t* data, int32_t count);
    void SendNext();
    bool IsFrameComplete(uint8_t port, const uint8_t* data, int32_t count) const;

    const PollEngine& Engine() const { return *FEngine; }

private:
    class HostPort;
    class HostServer;
    class Sink;

    WinClock FClock;
    std::unique_ptr<HostPort> FPort;
    std::unique_ptr<HostServer> FServer;
    std::unique_ptr<Sink> FSink;
    std::unique_ptr<PollEngine> FEngine;
};

}  // namespace tervex
