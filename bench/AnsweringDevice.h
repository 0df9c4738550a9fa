#pragma once
// A minimal answering device for the engine benchmarks: every controller on every port
// answers each request the moment it is written, from a fixed memory pattern. It
// checks the request's CRC or decodes its text with its own code and keeps one answer
// per port, so its cost per exchange stays small and constant (measured on its own
// as DeviceAnswer).
#include <array>
#include <cstdint>
#include <vector>

namespace bench {

class AnsweringDevice {
public:
    static constexpr int kMaxPorts = 8;
    static constexpr int kMaxAnswer = 32;

    // The request as written to a port; leaves at most one answer for that port.
    void OnWrite(uint8_t port, const uint8_t* data, int32_t count);

    struct Answer {
        bool pending = false;
        int size = 0;
        std::array<uint8_t, kMaxAnswer> bytes{};
    };
    // The answer waiting on a port, taken away.
    bool Take(uint8_t port, Answer& answer);

    // What the device saw, for the wire figures.
    int64_t requests = 0;
    int64_t requestBytes = 0;
    int64_t answerBytes = 0;
    int64_t passwordFrames = 0;
    int64_t unanswered = 0;

    static uint8_t MemoryByte(uint8_t device, uint8_t command, uint32_t address);

private:
    void Reply(uint8_t port, bool text, const uint8_t* body, int size);

    std::array<Answer, kMaxPorts> FAnswers{};
};

// CRC-16/MODBUS of the device side, table-driven, independent of the driver's.
uint16_t DeviceCrc(const uint8_t* data, int count);

}  // namespace bench
