#include "protocol/RequestBuilder.h"

#include <string_view>

#include "config/DiagnosticsArea.h"
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
    case MemoryArea::None:
    case MemoryArea::Diagnostics: break;
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

}  // namespace

MemoryArea MemoryAreaFromText(const std::string& text) {
    // The texts' lengths are taken once; most comparisons then end at the length.
    static const std::string_view texts[] = {kAreaRam,  kAreaClock, kAreaEeprom,
                                             kAreaFram, kAreaXram,  kAreaFlash, kAreaDiagnostics};
    static const MemoryArea areas[] = {MemoryArea::Ram,  MemoryArea::Clock, MemoryArea::Eeprom,   MemoryArea::Fram,
                                       MemoryArea::Xram, MemoryArea::Flash, MemoryArea::Diagnostics};
    const std::string_view given(text);
    for (size_t i = 0; i < sizeof areas / sizeof areas[0]; ++i) {
        if (given == texts[i]) {
            return areas[i];
        }
    }
    return MemoryArea::None;
}

bool IsWritableArea(MemoryArea area) {
    return area != MemoryArea::None && area != MemoryArea::Flash && area != MemoryArea::Diagnostics;
}

std::optional<uint8_t> PollPort(const NodeParams& node) {
    if (!node.comPort || *node.comPort < 0 || *node.comPort > 99) {
        return std::nullopt;
    }
    return static_cast<uint8_t>(*node.comPort);
}

std::optional<DataFrame> BuildDataFrame(const DataFrameInput& input) {
    // The longest frame, a write of 8 bytes above 255, takes 14 bytes.
    uint8_t frame[16];
    size_t size = 0;
    frame[size++] = input.device;
    auto appendAddress = [&] {
        // RAM and CLOCK take the low address byte only; the others high byte first.
        if (input.area != MemoryArea::Ram && input.area != MemoryArea::Clock) {
            frame[size++] = static_cast<uint8_t>(input.address >> 8);
        }
        frame[size++] = static_cast<uint8_t>(input.address & 0xFF);
    };
    if (IsReadKind(input.kind)) {
        if (ReadCommand(input.area) == 0) {  // no area, or one never on the line
            return std::nullopt;
        }
        frame[size++] = ReadCommand(input.area);
        appendAddress();
    } else {
        if (!IsWriteKind(input.kind) || !IsWritableArea(input.area) || input.write == nullptr || !input.write->valid) {
            return std::nullopt;
        }
        if (input.area == MemoryArea::Ram && input.typeCode == kTypeBoolean) {
            frame[size++] = input.write->bitValue ? kCommandSetBits : kCommandClearBits;
            frame[size++] = static_cast<uint8_t>(input.address & 0xFF);
            frame[size++] = static_cast<uint8_t>(1u << (input.bitNumber & 7));
        } else {
            frame[size++] = WriteCommand(input.area);
            appendAddress();
            const int valueSize = DataTypeSize(input.typeCode);
            for (int i = 0; i < valueSize && i < static_cast<int>(input.write->bytes.size()); ++i) {
                frame[size++] = input.write->bytes[static_cast<size_t>(i)];
            }
        }
    }
    const uint16_t crc = CalcCrc16(frame, size);
    frame[size++] = static_cast<uint8_t>(crc & 0xFF);
    frame[size++] = static_cast<uint8_t>(crc >> 8);

    DataFrame result;
    result.command = frame[1];
    result.startAddress = input.address;
    const Framing& framing = input.framing != nullptr ? *input.framing : RtuFraming();
    result.protocol = framing.Name();
    result.wire = framing.EncodeRequest(frame, size);
    return result;
}

std::optional<DataFrame> BuildDataFrame(const EngineTask& task) {
    DataFrameInput input;
    input.kind = task.kind;
    input.area = MemoryAreaFromText(task.item.memoryArea);
    input.address = FrameAddress(task.item);
    input.typeCode = task.item.typeCode;
    input.bitNumber = BitNumber(task.item);
    input.device = DeviceByte(task.node);
    input.write = &task.write;
    input.framing = &FramingFor(task.node.protocol);
    return BuildDataFrame(input);
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
    return TakePasswordFrame(task.kind, task.node, device, nowMs);
}

std::optional<std::vector<uint8_t>> TakePasswordFrame(TaskKind kind, const NodeParams& node,
                                                      TDeviceStatus& device, uint64_t nowMs) {
    const std::string& readPassword = node.readPassword;
    const std::string& writePassword = node.writePassword;
    if ((!readPassword.empty() || !writePassword.empty()) && !device.ReadPasswordPending &&
        !device.WritePasswordPending) {
        // Given passwords expire 100 s after the write whose answer was last accepted.
        const bool expired = !device.HasAnswered || nowMs > device.LastAnswerTick + kPasswordLifetimeMs;
        if (expired) {
            device.ReadPasswordSent = 0;
            device.WritePasswordSent = 0;
        }
    }
    if (IsReadKind(kind)) {
        if (!readPassword.empty() && !device.ReadPasswordPending && !device.ReadPasswordSent) {
            device.ReadPasswordPending = device.ReadPasswordSent = 1;
            return BuildPasswordFrame(DeviceByte(node), kCommandReadPassword, readPassword);
        }
    } else if (!writePassword.empty() && !device.WritePasswordPending && !device.WritePasswordSent) {
        // The write password also stands for the read password.
        device.ReadPasswordPending = device.ReadPasswordSent = 1;
        device.WritePasswordPending = device.WritePasswordSent = 1;
        return BuildPasswordFrame(DeviceByte(node), kCommandWritePassword, writePassword);
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
