#include "fuzz/EngineDoubles.h"

#include "protocol/Crc16.h"

namespace tervex::fuzz {

bool CheckedHostPort::CanTransmit(uint8_t port) {
    uint32_t& blocked = blockedCalls[port];
    const bool free = blocked == 0;
    if (!free) --blocked;
    FMayWrite[port] = free;
    if (throwOnCanTransmit) {
        FMayWrite[port] = false;
        throw HostFailure();
    }
    return free;
}

uint8_t CheckedHostPort::WritePort(uint8_t port, const uint8_t* data, int32_t count) {
    if (!FMayWrite[port]) FViolation("a write without CanTransmit answering true just before");
    FMayWrite[port] = false;
    if (FInFlight[port]) FViolation("a second exchange in flight on one port");
    if (data == nullptr || count <= 0) FViolation("an empty frame written");
    std::vector<uint8_t> frame;
    if (data != nullptr && count > 0) frame.assign(data, data + count);
    CheckFrame(frame);
    ++writes;
    lastFrame[port] = frame;
    uint32_t& failing = failingWrites[port];
    const bool written = failing == 0 && !throwOnWrite;
    if (failing > 0) --failing;
    // A refused write is still an exchange: the engine waits for its time-out.
    FInFlight[port] = true;
    if (!written) ++failedWrites;
    if (onWrite) onWrite(port, frame, written);
    if (throwOnWrite) throw HostFailure();
    return written ? 0 : 1;
}

void CheckedHostPort::TransferDone(uint8_t port) {
    ++transfers;
    FInFlight[port] = false;
    if (onTransferDone) onTransferDone(port);
    if (throwOnTransferDone) throw HostFailure();
}

void CheckedHostPort::CheckFrame(const std::vector<uint8_t>& f) {
    // Text form: "$", upper-case hex pairs, carriage return.
    bool text = f.size() >= 4 && f.size() % 2 == 0 && f.front() == '$' && f.back() == '\r';
    for (size_t i = 1; text && i + 1 < f.size(); ++i) {
        text = (f[i] >= '0' && f[i] <= '9') || (f[i] >= 'A' && f[i] <= 'F');
    }
    // Binary form: at least device, command, one address byte and the CRC.
    const bool binary = f.size() >= 5 && f.size() <= 16 && HasValidCrc16(f.data(), f.size());
    if (!text && !binary) FViolation("a malformed frame written");
}

}  // namespace tervex::fuzz
