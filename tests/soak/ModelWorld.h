#pragma once
// A randomized model check of the poll engine against simulated controllers with
// memory. A host queues reads and writes of every type and size (bits too) at
// overlapping addresses, several writes to one place in one poll, at any priority, on
// three lines with RTU and ASCII controllers at addresses 1..255; it removes items'
// tasks and clears everything now and then, and hands answers over in random pieces,
// each time asking IsFrameComplete of what it has gathered. Memory holds constant
// patterns (all zero, all 0xFF) as well as random bytes. Two lines answer every frame;
// on the third, controllers drop some requests and one address has nobody.
//
// Checked as tasks end: each ends once (TaskLedger); S_OK only for what a controller
// answered; on the answering lines, every task that has a frame ends with S_OK; a read
// value equals the controller's memory at some moment between queuing and completion.
// Checked whenever the line goes quiet: every byte written holds, bit by bit, the newest
// acknowledged write that touched it in queue order.
#include <cstdint>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "config/DriverSettings.h"
#include "fuzz/EngineDoubles.h"
#include "fuzz/TaskLedger.h"
#include "protocol/PollEngine.h"
#include "sim/Line.h"
#include "sim/Outbox.h"
#include "tests/soak/EngineTime.h"

namespace tervex::soak {

struct ModelFigures {
    uint64_t steps = 0, rounds = 0, polls = 0, deliveries = 0, removals = 0, clears = 0;
    uint64_t tasks = 0, good = 0, failed = 0, dropped = 0;
    uint64_t readsChecked = 0, writesChecked = 0, bitsChecked = 0;
    uint64_t cutShort = 0;      // read answers whose first data byte 0xFF let a shorter prefix pass
    uint64_t spoiltByRest = 0;  // exchanges after those, spoilt by their rest
    uint64_t violations = 0;
};

class ModelWorld {
public:
    explicit ModelWorld(uint64_t seed);
    ~ModelWorld();
    ModelWorld(const ModelWorld&) = delete;
    ModelWorld& operator=(const ModelWorld&) = delete;

    // Random activity, then the lines run until quiet and memory is checked.
    void Round();
    // Clears everything and checks that every task ended.
    void Finish();

    const ModelFigures& Figures() const { return FFigures; }
    const std::vector<std::string>& FirstViolations() const { return FViolations; }

private:
    class Sink;
    struct Task;
    struct Executed;
    struct HostLine {
        std::unique_ptr<sim::Line> line;
        sim::Outbox outbox;
        std::vector<uint8_t> arrived;  // on the wire, not yet taken by the host
        std::vector<uint8_t> rx;       // gathered, not yet handed over
        uint64_t lastRxMs = 0;
        bool answersAll = true;        // every controller answers every frame
        std::vector<uint8_t> devices;  // the node addresses used on this line
        std::vector<uint8_t> lastDelivery;
        // A read answer was cut short: its rest may spoil what follows (handed over with
        // the next answer, or as one of its own), until a task of the port ends well.
        bool spoilt = false;
    };

    void Violation(const std::string& what);
    void Step(bool queueing);
    void QueueSome();
    void QueueTask(Task task);
    Task RandomTask();
    void Poll();
    void Pump();
    void Deliver(uint8_t port, HostLine& line);
    void RemoveItem();
    void ClearAll();
    bool Quiet() const;
    void CheckMemory();
    void OnWrite(uint8_t port, const std::vector<uint8_t>& frame);
    void OnFinished(uint64_t id, const Completion& c);
    void OnDropped(uint64_t id);
    void CheckRead(const Task& t, const Completion& c);
    void CheckWrite(const Task& t);
    bool CutShort(const Task& t) const;
    sim::Controller* ControllerOf(const Task& t);

    std::mt19937_64 FRng;
    fuzz::ManualEngineClock FClock;
    std::unique_ptr<EngineTime> FSimTime;
    fuzz::CheckedHostPort FPort;
    fuzz::HookedServer FServer;
    fuzz::TaskLedger FLedger;
    std::unique_ptr<Sink> FSink;
    DriverSettings FSettings;
    std::unique_ptr<PollEngine> FEngine;
    std::map<uint8_t, HostLine> FLines;
    std::map<uint32_t, uint32_t> FWindows;   // port, device, area -> base address of its items

    std::map<uint64_t, Task> FTasks;         // every task since the last quiet check
    std::vector<uint64_t> FUnpolled;         // queued, in queue order
    std::vector<Executed> FExecuted;         // write frames carried out since the last quiet check
    std::map<uint64_t, uint8_t> FBaseline;   // byte key -> value before the first write queued for it
    uint64_t FSeq = 0;                       // moments: queuing, polls, frames carried out
    uint64_t FPollNo = 0;
    uint64_t FClearNo = 0;
    int FItemKeys[12] = {};
    bool FClearing = false;
    uint64_t FSleepsInPoll = 0;
    ModelFigures FFigures;
    std::vector<std::string> FViolations;
};

}  // namespace tervex::soak
