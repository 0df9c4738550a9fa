#pragma once
// Per-port and per-device protocol state: the ports in use in order of first use, each
// with the devices met on it, its queue of requests and the ASCII answer it is receiving.
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "protocol/AsciiAssembler.h"
#include "protocol/BlockStore.h"
#include "protocol/RequestQueue.h"

namespace tervex {

struct TDeviceStatus {
    uint16_t Address = 0;
    uint8_t LastResult = 0;          // outcome of the last write: 0 written, 2 no answer, 3 write failed
    double LastSendTime = 0;         // local date-time of the last write; 0 before the first
    uint8_t Online = 1;
    uint8_t ReadPasswordSent = 0;
    uint8_t ReadPasswordPending = 0;
    uint8_t WritePasswordSent = 0;
    uint8_t WritePasswordPending = 0;
    double LastAnswerTime = 0;       // LastSendTime of the request whose answer was last accepted
    // Intervals run on the monotonic clock.
    bool HasSent = false;
    uint64_t LastSendTick = 0;
    bool HasAnswered = false;
    uint64_t LastAnswerTick = 0;

    void ClearPasswords() {
        ReadPasswordSent = ReadPasswordPending = WritePasswordSent = WritePasswordPending = 0;
    }
};

struct TComPort {
    TComPort(uint8_t portNo, ITickSource& ticks)
        : PortNo(portNo), RequestStore(std::make_shared<BlockStore>()), Assembler(ticks) {}

    uint8_t PortNo;
    // A deque: devices are only ever appended, and references to them stay valid.
    std::deque<TDeviceStatus> Devices;
    RequestQueue Queue;
    bool Detached = false;           // dropped from the table while still in use
    // Where the port's requests are made: side by side, in the order they are queued.
    std::shared_ptr<BlockStore> RequestStore;
    AsciiAssembler Assembler;        // the answer of the head in flight, while it comes in pieces

    TDeviceStatus* Device(uint16_t index) { return index < Devices.size() ? &Devices[index] : nullptr; }
    uint16_t FindOrCreateDevice(uint16_t address);
    // The first device with this address loses its passwords.
    void ClearPasswordsOf(uint16_t address);
};

using PortPtr = std::shared_ptr<TComPort>;

class TPortTable {
public:
    // The ticks time each port's receive gap.
    explicit TPortTable(ITickSource& ticks) : FTicks(&ticks) {}

    PortPtr Find(uint8_t portNo) const;
    PortPtr FindOrCreate(uint8_t portNo);
    // Every queued request and every answer being received is released and the table
    // emptied. A port still held by a running step is marked detached so that the step
    // leaves it alone.
    void Clear();
    const std::vector<PortPtr>& Ports() const { return FPorts; }

private:
    ITickSource* FTicks;
    std::vector<PortPtr> FPorts;
};

}  // namespace tervex
