#pragma once
// A host, a poll engine and simulated controllers on four serial lines, run for a
// number of exchanges. The host queues reads and writes of items whose last task has
// ended, polls, ticks, lets time pass and hands over what the lines answer the way a
// host port does; now and then it removes an item's tasks, clears everything, changes
// the settings or has its port refuse or stay busy. The controllers drop, spoil,
// shorten, delay and split answers at random, and one device never answers.
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

struct SoakItem {
    uint8_t port;
    int device;
    const char* protocol;
    const char* readPassword;
    const char* writePassword;
    const char* area;
    int address;
    int type;
    int bit;
    bool writable;
};

struct SoakFigures {
    uint64_t exchanges = 0, refusedWrites = 0, deliveries = 0, polls = 0, syncPolls = 0;
    uint64_t removals = 0, clears = 0, settingsChanges = 0, busySpells = 0;
    uint64_t violations = 0;
    fuzz::TaskLedger::Counts tasks;
};

class SoakWorld {
public:
    explicit SoakWorld(uint64_t seed);
    ~SoakWorld();
    SoakWorld(const SoakWorld&) = delete;
    SoakWorld& operator=(const SoakWorld&) = delete;

    // One step of the host; returns the exchanges so far.
    uint64_t Step();
    // Clears everything and checks that every task ended; the last step of a run.
    void Finish();

    SoakFigures Figures() const;
    const std::vector<std::string>& FirstViolations() const { return FViolations; }

private:
    struct HostLine {
        std::unique_ptr<sim::Line> line;
        sim::Outbox outbox;
        std::vector<uint8_t> rx;  // bytes received, not yet handed over
        uint64_t lastRxMs = 0;
    };

    void Violation(const std::string& what);
    void QueueSome();
    void Queue(size_t item);
    void Poll();
    void Pump();
    void Deliver(uint8_t port, HostLine& line);
    void Rare();
    void ClearAll();
    void OnWrite(uint8_t port, const std::vector<uint8_t>& frame, bool written);

    std::mt19937_64 FRng;
    fuzz::ManualEngineClock FClock;
    std::unique_ptr<EngineTime> FSimTime;
    fuzz::CheckedHostPort FPort;
    fuzz::HookedServer FServer;
    fuzz::TaskLedger FLedger;
    DriverSettings FSettings;
    std::unique_ptr<PollEngine> FEngine;
    std::map<uint8_t, HostLine> FLines;

    std::vector<SoakItem> FItems;
    std::vector<bool> FBusy;                  // an item's task is open
    std::map<uint64_t, size_t> FTaskItem;     // open task id -> item
    uint64_t FSleepsInPoll = 0;
    SoakFigures FFigures;
    std::vector<std::string> FViolations;
};

}  // namespace tervex::soak
