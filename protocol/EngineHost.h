#pragma once
// The engine's outside world: a clock, the host's port and server, and the receiver of
// finished tasks. The engine contains whatever these raise.
#include <cstdint>
#include <string>

#include "protocol/EngineTask.h"

namespace tervex {

class IEngineClock {
public:
    virtual ~IEngineClock() = default;
    virtual double LocalNow() = 0;            // local date-time, days since 1899-12-30
    virtual uint64_t MonotonicMs() = 0;       // never goes back; intervals are measured on it
    virtual void SleepMs(uint32_t ms) = 0;
    virtual bool Terminated() = 0;            // the application is closing: stop waiting
};

class IHostPort {
public:
    virtual ~IHostPort() = default;
    virtual bool CanTransmit(uint8_t port) = 0;
    virtual uint8_t WritePort(uint8_t port, const uint8_t* data, int32_t count) = 0;  // 0: written
    virtual void TransferDone(uint8_t port) = 0;
};

class IHostServer {
public:
    virtual ~IHostServer() = default;
    virtual void WriteLog(const std::string& utf8Line) = 0;
    virtual void Idle() = 0;
};

class ICompletionSink {
public:
    virtual ~ICompletionSink() = default;
    // The task has ended; its record may be released. Called once per task.
    virtual void TaskFinished(void* context, const Completion& completion) = 0;
    // The task is still waiting, but its item state is stamped: quality, and the
    // timestamp when one is given.
    virtual void ItemStateStamped(void* context, uint16_t quality, const Timestamp* timestamp) = 0;
    // The task was dropped without completion (RemoveItemTasks, ClearAll). Called once.
    virtual void TaskDropped(void* context) = 0;
};

}  // namespace tervex
