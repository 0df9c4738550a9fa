#pragma once
// The receiving end of the poll engine for fuzzing and soaking: it remembers every
// task handed in and checks, as the engine reports, that each ends exactly once, with
// one of the defined result and quality pairs, and that a value is only reported from
// an accepted answer actually delivered on the task's port.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "protocol/EngineHost.h"
#include "protocol/EngineTask.h"

namespace tervex::fuzz {

class TaskLedger : public ICompletionSink {
public:
    using Violation = std::function<void(const std::string&)>;
    explicit TaskLedger(Violation violation) : FViolation(std::move(violation)) {}

    // Registers a task about to be queued and gives its context.
    void* Open(const EngineTask& task);

    // The bytes being handed to the engine for a port, around DataReceived.
    void BeginDelivery(uint8_t port, const uint8_t* data, int32_t count);
    void EndDelivery();
    // A new port table (ClearAll): the receive history is worthless.
    void ForgetLines() { FHistory.clear(); }

    // Tries reported for an exchange may not exceed the largest CountTry in force.
    void AllowTries(int32_t countTry) { FMaxTries = std::max<int64_t>(FMaxTries, countTry); }

    // Checks that every task handed in has ended.
    void ExpectAllEnded();
    size_t OpenTasks() const { return FOpen; }

    // Counters for reports.
    struct Counts {
        uint64_t queued = 0, finished = 0, dropped = 0, values = 0;
        std::map<uint32_t, uint64_t> byResult;
    };
    const Counts& Totals() const { return FCounts; }

    // Called after an ending is recorded (the host reacting to a completion).
    std::function<void(uint64_t id)> onEnded;

    // ICompletionSink
    void TaskFinished(void* context, const Completion& completion) override;
    void ItemStateStamped(void* context, uint16_t quality, const Timestamp* timestamp) override;
    void TaskDropped(void* context) override;

private:
    struct Entry {
        TaskKind kind = TaskKind::AsyncRead;
        std::optional<uint8_t> port;
        uint8_t answerDevice = 0;
        bool ended = false;
    };
    struct Delivery {
        uint8_t port;
        std::vector<uint8_t> bytes;
        size_t historyStart;  // where this delivery begins in the port's history
    };

    Entry* Find(void* context, const char* what);
    void CheckValue(const Entry& task, const Completion& c);
    void Fail(const std::string& what) { FViolation(what); }

    Violation FViolation;
    std::map<uint64_t, Entry> FTasks;
    uint64_t FNextId = 1;
    size_t FOpen = 0;
    int64_t FMaxTries = 1;
    std::vector<Delivery> FDeliveries;
    std::map<uint8_t, std::string> FHistory;  // recent characters per port
    Counts FCounts;
};

}  // namespace tervex::fuzz
