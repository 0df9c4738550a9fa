#include "protocol/RequestBuilder.h"

#include "config/ItemParams.h"
#include "protocol/Crc16.h"
#include "protocol/Framing.h"
#include "values/Cp1251.h"
#include "values/DataTypes.h"

namespace tervex {

namespace {

constexpr int kPasswordLength = 6;
constexpr int kReadBlockBytes = 8;

uint8_t ReadCommand(MemoryArea area) {
    switch (area) {
    case MemoryArea::Ram: return 0xD0;
    case MemoryArea::Clock: return 0xD1;
    case MemoryArea::Eeprom: return 0xD2;
    case MemoryArea::Fram: return 0xD3;
    case MemoryArea::Xram: return 0xD4;
    case MemoryArea::Flash: return 0xD5;
    case MemoryArea::None: break;
    }
    return 0;
}

uint8_t WriteCommand(MemoryArea area) {
    switch (area) {
    case MemoryArea::Ram: return 0xE0;
    case MemoryArea::Clock: return 0xE1;
    case MemoryArea::Eeprom: return 0xE2;
    case MemoryArea::Fram: return 0xE3;
    case MemoryArea::Xram: return 0xE4;
    default: break;
    }
    return 0;
}

// RAM and CLOCK take the low address byte only; the others high byte first.
void AppendAddress(std::vector<uint8_t>& frame, MemoryArea area, uint16_t address) {
    if (area != MemoryArea::Ram && area != MemoryArea::Clock) {
        frame.push_back(static_cast<uint8_t>(address >> 8));
    }
    frame.push_back(static_cast<uint8_t>(address & 0xFF));
}

}  // namespace

MemoryArea MemoryAreaFromText(const std::string& text) {
    if (text == kAreaRam) return MemoryArea::Ram;
    if (text == kAreaClock) return MemoryArea::Clock;
    if (text == kAreaEeprom) return MemoryArea::Eeprom;
    if (text == kAreaFram) return MemoryArea::Fram;
    if (text == kAreaXram) return MemoryArea::Xram;
    if (text == kAreaFlash) return MemoryArea::Flash;
    return MemoryArea::None;
}

bool IsWritableArea(MemoryArea area) {
    return area != MemoryArea::None && area != MemoryArea::Flash;
}

std::optional<uint8_t> PollPort(const NodeParams& node) {
    if (!node.comPort || *node.comPort < 0 || *node.comPort > 99) {
        return std::nullopt;
    }
    return static_cast<uint8_t>(*node.comPort);
}

std::optional<DataFrame> BuildDataFrame(const EngineTask& task) {
    const MemoryArea area = MemoryAreaFromText(task.item.memoryArea);
    const uint16_t address = FrameAddress(task.item);
    std::vector<uint8_t> frame{DeviceByte(task.node)};
    if (IsReadKind(task.kind)) {
        if (area == MemoryArea::None) {
            return std::nullopt;
        }
        frame.push_back(ReadCommand(area));
        AppendAddress(frame, area, address);
    } else {
        if (!IsWriteKind(task.kind) || !IsWritableArea(area) || !task.write.valid) {
            return std::nullopt;
        }
        if (area == MemoryArea::Ram && task.item.typeCode == kTypeBoolean) {
            frame.push_back(task.write.bitValue ? kCommandSetBits : kCommandClearBits);
            frame.push_back(static_cast<uint8_t>(address & 0xFF));
            frame.push_back(static_cast<uint8_t>(1u << BitNumber(task.item)));
        } else {
            frame.push_back(WriteCommand(area));
            AppendAddress(frame, area, address);
            const int size = DataTypeSize(task.item.typeCode);
            frame.insert(frame.end(), task.write.bytes.begin(), task.write.bytes.begin() + size);
        }
    }
    AppendCrc16(frame);

    DataFrame result;
    result.command = frame[1];
    result.startAddress = address;
    const Framing& framing = FramingFor(task.node.protocol);
    result.protocol = framing.Name();
    result.wire = framing.EncodeRequest(frame);
    return result;
}

std::vector<uint8_t> BuildPasswordFrame(uint8_t device, uint8_t command, const std::string& passwordUtf8) {
    const std::string password = Utf8ToCp1251(passwordUtf8);
    std::vector<uint8_t> frame{device, command};
    for (int i = 0; i < kPasswordLength; ++i) {
        frame.push_back(i < static_cast<int>(password.size()) ? static_cast<uint8_t>(password[i]) : 0);
    }
    AppendCrc16(frame);
    return frame;
}

std::optional<std::vector<uint8_t>> TakePasswordFrame(const EngineTask& task, TDeviceStatus& device,
                                                      uint64_t nowMs) {
    const std::string& readPassword = task.node.readPassword;
    const std::string& writePassword = task.node.writePassword;
    if ((!readPassword.empty() || !writePassword.empty()) && !device.ReadPasswordPending &&
        !device.WritePasswordPending) {
        // Given passwords expire 100 s after the write whose answer was last accepted.
        const bool expired = !device.HasAnswered || nowMs > device.LastAnswerTick + kPasswordLifetimeMs;
        if (expired) {
            device.ReadPasswordSent = 0;
            device.WritePasswordSent = 0;
        }
    }
    if (IsReadKind(task.kind)) {
        if (!readPassword.empty() && !device.ReadPasswordPending && !device.ReadPasswordSent) {
            device.ReadPasswordPending = device.ReadPasswordSent = 1;
            return BuildPasswordFrame(DeviceByte(task.node), kCommandReadPassword, readPassword);
        }
    } else if (!writePassword.empty() && !device.WritePasswordPending && !device.WritePasswordSent) {
        // The write password also stands for the read password.
        device.ReadPasswordPending = device.ReadPasswordSent = 1;
        device.WritePasswordPending = device.WritePasswordSent = 1;
        return BuildPasswordFrame(DeviceByte(task.node), kCommandWritePassword, writePassword);
    }
    return std::nullopt;
}

bool SharesRequest(const EngineTask& earlier, const EngineTask& later,
                   const std::vector<uint8_t>* earlierWire, const std::vector<uint8_t>* laterWire) {
    if (earlier.kind != later.kind) {
        return false;
    }
    const auto earlierPort = PollPort(earlier.node);
    if (!earlierPort || earlierPort != PollPort(later.node) || DeviceByte(earlier.node) != DeviceByte(later.node)) {
        return false;
    }
    if (earlier.item.memoryArea != later.item.memoryArea) {
        return false;
    }
    const int a = FrameAddress(earlier.item);
    const int b = FrameAddress(later.item);
    if (IsWriteKind(earlier.kind)) {
        return a == b && earlierWire != nullptr && laterWire != nullptr && *earlierWire == *laterWire;
    }
    return a <= b && b + DataTypeSize(later.item.typeCode) <= a + kReadBlockBytes;
}

}  // namespace tervex
