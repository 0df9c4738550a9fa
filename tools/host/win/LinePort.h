#pragma once
// The byte pipe behind one of the host's COM ports.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tools/host/core/Station.h"

namespace tervex::host {

class LinePort {
public:
    virtual ~LinePort() = default;
    // false: the bytes did not go out (all of them).
    virtual bool Write(const uint8_t* data, size_t count) = 0;
    // Appends what has arrived; never waits.
    virtual void Read(std::vector<uint8_t>& out) = 0;
    // An event that is set while bytes wait to be read, for waiting on several
    // ports at once; nullptr for a port whose bytes come by time alone.
    virtual void* WaitHandle() const { return nullptr; }
    // Called before the host sleeps on WaitHandle: the port starts what will
    // set it (and sets it at once when bytes are already there).
    virtual void PrepareWait() {}
    // For a port the host looks at instead of waiting on: how long, while an
    // exchange is open, until new bytes can be there (0: now); nullopt for
    // the other kinds.
    virtual std::optional<int64_t> LookAgainInUs() const { return std::nullopt; }
    // For such a port: bytes are there to be read.
    virtual bool HasBytes() { return false; }
    // "built-in simulator, controllers 1, 2" or "serial 9600 8N1".
    virtual std::string Describe() const = 0;
};

// The built-in simulated line; nothing when its configuration has errors (each
// named with file, line and field in error, one per line).
std::unique_ptr<LinePort> OpenSimulatorPort(const PortConfig& config, const std::string& baseDir, std::string& error);
// A real serial port "COMn" through the Win32 serial API.
std::unique_ptr<LinePort> OpenSerialPort(const PortConfig& config, std::string& error);

}  // namespace tervex::host
