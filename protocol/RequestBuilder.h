#pragma once
// Frames built from tasks: the data frame of a read or write, the password frame that
// goes ahead of it when due, and whether a later task is served by an earlier one's frame.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "protocol/EngineTask.h"
#include "protocol/Framing.h"
#include "protocol/PortTable.h"

namespace tervex {

// Diagnostics: the driver's own records of a controller, never on the line.
enum class MemoryArea : uint8_t { None, Ram, Clock, Eeprom, Fram, Xram, Flash, Diagnostics };

MemoryArea MemoryAreaFromText(const std::string& text);  // exact comparison
bool IsWritableArea(MemoryArea area);                    // the device areas but FLASH

constexpr uint8_t kCommandReadPassword = 0xF0;
constexpr uint8_t kCommandWritePassword = 0xF1;
constexpr uint8_t kCommandSetBits = 0xB0;
constexpr uint8_t kCommandClearBits = 0xC0;
constexpr uint64_t kPasswordLifetimeMs = 100000;

inline bool IsPasswordCommand(uint8_t command) {
    return command == kCommandReadPassword || command == kCommandWritePassword;
}
inline bool IsReadCommand(uint8_t command) { return command >= 0xD0 && command <= 0xD5; }

// Values as they go into frames: one address byte, a 16-bit item address, a bit 0..7.
inline uint8_t DeviceByte(const NodeParams& node) { return static_cast<uint8_t>(node.deviceAddress); }
inline uint16_t FrameAddress(const ItemParams& item) { return static_cast<uint16_t>(item.address); }
inline uint8_t BitNumber(const ItemParams& item) {
    return item.bitNumber >= 0 && item.bitNumber <= 7 ? static_cast<uint8_t>(item.bitNumber) : 0;
}
// The port a node's items are polled on; none when absent or outside 0..99.
std::optional<uint8_t> PollPort(const NodeParams& node);

struct DataFrame {
    std::vector<uint8_t> wire;   // as it goes on the line
    std::string protocol;        // "RTU" or "ASCII"
    uint8_t command = 0;
    uint16_t startAddress = 0;
};

// What a data frame is made of, as the engine keeps it for a task.
struct DataFrameInput {
    TaskKind kind = TaskKind::AsyncRead;
    MemoryArea area = MemoryArea::None;
    uint16_t address = 0;
    int32_t typeCode = 17;
    uint8_t bitNumber = 0;               // 0..7
    uint8_t device = 0;                  // the address byte
    const WritePayload* write = nullptr; // a write's value
    const Framing* framing = nullptr;    // none: RTU
};

// The read or write frame of a task, or none: unknown area, a FLASH write, a value that
// could not be converted.
std::optional<DataFrame> BuildDataFrame(const DataFrameInput& input);
std::optional<DataFrame> BuildDataFrame(const EngineTask& task);

// D, command, six password bytes (Windows-1251, cut or padded with zeros), CRC. Always binary.
std::vector<uint8_t> BuildPasswordFrame(uint8_t device, uint8_t command, const std::string& passwordUtf8);

// The password frame due before this task's data frame, with the device's password
// flags updated; none when no password is due.
std::optional<std::vector<uint8_t>> TakePasswordFrame(TaskKind kind, const NodeParams& node,
                                                      TDeviceStatus& device, uint64_t nowMs);
std::optional<std::vector<uint8_t>> TakePasswordFrame(const EngineTask& task, TDeviceStatus& device,
                                                      uint64_t nowMs);

// Whether the later task is answered by the earlier task's frames. For writes both
// frames must be given and equal: a different value at the same address is sent itself;
// and the engine lets a write share only the latest write frame over each of its bytes.
bool SharesRequest(const EngineTask& earlier, const EngineTask& later,
                   const std::vector<uint8_t>* earlierWire, const std::vector<uint8_t>* laterWire);

}  // namespace tervex
