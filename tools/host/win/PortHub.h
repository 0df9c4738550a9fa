#pragma once
// The host's serial port object: one exchange at a time per port, answers
// handed to the driver once it calls them complete (or the line has gone
// quiet), and SendNext when a port gets free. Everything runs on the thread
// that calls Pump, the same one that calls the driver.
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "boundary/PluginInterface.h"
#include "tools/host/core/Stats.h"
#include "tools/host/win/ComBase.h"
#include "tools/host/win/LinePort.h"

namespace tervex::host {

class PortHub final : public HostObject<IOrnComPort> {
public:
    PortHub() : HostObject(IID_IOrnComPort) {}

    // index: zero-based, as the driver names ports.
    void Add(uint8_t index, std::unique_ptr<LinePort> port, int rxGapMs, std::string name);
    // Reads every port; hands complete answers (and, after the quiet gap,
    // incomplete ones) to the client; then SendNext if a port got free.
    void Pump(IOrnPortClient* client, int64_t nowMs);
    std::vector<PortStats> Stats() const;
    // At the end of a run: no new exchange is started (SendNext is no longer
    // called), so the open ones can finish.
    void StopSending() { sending_ = false; }
    bool AnyBusy() const;
    // Sleeps until bytes arrive on a port or timeoutMs has passed; a port that
    // waits for the rest of an answer, or whose bytes come by time alone while
    // an exchange is open, shortens the sleep.
    void Wait(int64_t timeoutMs, int64_t nowMs);

    uint8_t __stdcall WritePort(uint8_t port, const uint8_t* data, int32_t count, IOrnPortClient* client) override;
    uint8_t __stdcall CanTransmit(uint8_t port, IOrnPortClient* client) override;
    void __stdcall TransferDone(uint8_t port, IOrnPortClient* client) override;

private:
    struct Port {
        std::unique_ptr<LinePort> line;
        int rxGapMs = 100;
        bool busy = false;        // a frame was written and the driver has not closed the exchange
        bool delivering = false;  // inside DataReceived with bytes for this port
        std::vector<uint8_t> rx;
        int64_t lastRxMs = 0;
        PortStats stats;
    };
    void Deliver(uint8_t index, Port& port, IOrnPortClient* client, bool complete);
    // Sleeps in short steps until a port that is looked at has bytes, no such
    // port has an exchange open, or timeoutUs has passed.
    void LookUntilBytes(int64_t firstUs, int64_t timeoutUs);

    std::map<uint8_t, Port> ports_;
    bool sendNext_ = false;
    bool sending_ = true;
    bool pumping_ = false;
    int64_t nowMs_ = 0;
};

}  // namespace tervex::host
