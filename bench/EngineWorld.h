#pragma once
// One poll engine with in-process collaborators: a clock that stands still (nothing
// times out), a host port in front of the answering device, a host server that only
// counts its log lines, and a sink that counts how tasks ended.
#include <cstdint>
#include <vector>

#include "AnsweringDevice.h"
#include "config/DriverSettings.h"
#include "protocol/PollEngine.h"

namespace bench {

class StillClock : public tervex::IEngineClock {
public:
    double LocalNow() override { return 45500.5; }
    uint64_t MonotonicMs() override { return 1'000'000; }
    void SleepMs(uint32_t) override {}
    bool Terminated() override { return false; }
};

class DevicePort : public tervex::IHostPort {
public:
    explicit DevicePort(AnsweringDevice& device) : FDevice(device) {}
    bool CanTransmit(uint8_t port) override { return port < kPorts && !FBusy[port]; }
    uint8_t WritePort(uint8_t port, const uint8_t* data, int32_t count) override;
    void TransferDone(uint8_t port) override {
        if (port < kPorts) FBusy[port] = false;
    }
    int64_t writes = 0;

private:
    static constexpr int kPorts = AnsweringDevice::kMaxPorts;
    AnsweringDevice& FDevice;
    bool FBusy[kPorts] = {};
};

class CountingServer : public tervex::IHostServer {
public:
    void WriteLog(const std::string& line) override {
        ++lines;
        bytes += static_cast<int64_t>(line.size());
    }
    void Idle() override {}
    int64_t lines = 0;
    int64_t bytes = 0;
};

class CountingSink : public tervex::ICompletionSink {
public:
    void TaskFinished(void*, const tervex::Completion& c) override {
        ++finished;
        if (c.result == tervex::kResultOk) ++good;
    }
    void ItemStateStamped(void*, uint16_t, const tervex::Timestamp*) override { ++stamps; }
    void TaskDropped(void*) override { ++dropped; }
    int64_t finished = 0;
    int64_t good = 0;
    int64_t stamps = 0;
    int64_t dropped = 0;
};

struct EngineWorld {
    StillClock clock;
    AnsweringDevice device;
    DevicePort port{device};
    CountingServer server;
    CountingSink sink;
    tervex::DriverSettings settings;
    tervex::PollEngine engine{clock, port, server, sink, settings};

    // Hands every waiting answer to the engine as a host port would (asking first
    // whether the frame is complete), then lets the engine send, until `tasks` tasks
    // have ended or nothing moves any more. Returns the number of answers delivered.
    int64_t RunUntilEnded(int64_t tasks);
};

}  // namespace bench
