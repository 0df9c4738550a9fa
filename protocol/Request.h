#pragma once
// One frame on a port awaiting one answer.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tervex {

struct EngineTaskState;

enum RequestState : uint8_t {
    kRequestQueued = 1,    // waiting for its turn
    kRequestAwaiting = 2,  // handed to the port, its answer awaited
    kRequestJudging = 3,   // its answer (or silence) is being processed
};

struct TRequest {
    uint64_t Id = 0;                 // never reused: a finished request is never taken for another
    uint8_t Priority = 0;
    std::vector<uint8_t> Data;       // frame bytes as they go on the line
    uint8_t State = kRequestQueued;
    bool Written = false;            // written in the current try (SendTime is set)
    double SendTime = 0;             // local date-time of the last write; 0 while not written
    uint64_t SendTick = 0;           // monotonic ms of the last write
    uint32_t Tries = 0;              // writes to the port so far
    uint16_t DeviceIndex = 0;
    std::string Protocol;            // "RTU" or "ASCII"; empty for password requests
    uint8_t Command = 0;
    uint16_t StartAddress = 0;
    // Tasks linked to this request. A task re-linked to another request, or finished,
    // is recognised and skipped when this one finishes.
    std::vector<std::weak_ptr<EngineTaskState>> Waiters;

    int32_t Size() const { return static_cast<int32_t>(Data.size()); }
};

using RequestPtr = std::shared_ptr<TRequest>;

}  // namespace tervex
