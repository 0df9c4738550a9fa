#include "protocol/RequestBuilder.h"

#include <string_view>

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

}  // namespace

MemoryArea MemoryAreaFromText(const std::string& text) {
    // The texts' lengths are taken once; most comparisons then end at the length.
    static const std::string_view texts[] = {kAreaRam, kAreaClock, kAreaEeprom, kAreaFram, kAreaXram, kAreaFlash};
    static const MemoryArea areas[] = {MemoryArea::Ram,  MemoryArea::Clock, MemoryArea::Eeprom,
                                       MemoryArea::Fram, MemoryArea::Xram,  MemoryArea::Flash};
    const std::string_view given(text);
    for (size_t i = 0; i < sizeof areas / sizeof areas[0]; ++i) {
        if (given == texts[i]) {
            return areas[i];
        }
    }
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

std::optional<DataFrame> BuildDataFrame(const DataFrameSpec& spec) {
    // The longest frame, a write of 8 bytes above 255, takes 14 bytes.
    uint8_t frame[16];
    size_t size = 0;
    frame[size++] = spec.device;
    auto appendAddress = [&] {
        // RAM and CLOCK take the low address byte only; the others high byte first.
        if (spec.area != MemoryArea::Ram && spec.area != MemoryArea::Clock) {
            frame[size++] = static_cast<uint8_t>(spec.address >> 8);
        }
        frame[size++] = static_cast<uint8_t>(spec.address & 0xFF);
    };
    if (IsReadKind(spec.kind)) {
        if (spec.area == MemoryArea::None) {
            return std::nullopt;
        }
        frame[size++] = ReadCommand(spec.area);
        appendAddress();
    } else {
        if (!IsWriteKind(spec.kind) || !IsWritableArea(spec.area) || spec.write == nullptr || !spec.write->valid) {
            return std::nullopt;
        }
        if (spec.area == MemoryArea::Ram && spec.typeCode == kTypeBoolean) {
            frame[size++] = spec.write->bitValue ? kCommandSetBits : kCommandClearBits;
            frame[size++] = static_cast<uint8_t>(spec.address & 0xFF);
            frame[size++] = static_cast<uint8_t>(1u << (spec.bitNumber & 7));
        } else {
            frame[size++] = WriteCommand(spec.area);
            appendAddress();
            const int valueSize = DataTypeSize(spec.typeCode);
            for (int i = 0; i < valueSize && i < static_cast<int>(spec.write->bytes.size()); ++i) {
                frame[size++] = spec.write->bytes[static_cast<size_t>(i)];
            }
        }
    }
    const uint16_t crc = CalcCrc16(frame, size);
    frame[size++] = static_cast<uint8_t>(crc & 0xFF);
    frame[size++] = static_cast<uint8_t>(crc >> 8);

    DataFrame result;
    result.command = frame[1];
    result.startAddress = spec.address;
    const Framing& framing = spec.framing != nullptr ? *spec.framing : RtuFraming();
    result.protocol = framing.Name();
    result.wire = framing.EncodeRequest(frame, size);
    return result;
}

std::optional<DataFrame> BuildDataFrame(const EngineTask& task) {
    DataFrameSpec spec;
    spec.kind = task.kind;
    spec.area = MemoryAreaFromText(task.item.memoryArea);
    spec.address = FrameAddress(task.item);
    spec.typeCode = task.item.typeCode;
    spec.bitNumber = BitNumber(task.item);
    spec.device = DeviceByte(task.node);
    spec.write = &task.write;
    spec.framing = &FramingFor(task.node.protocol);
    return BuildDataFrame(spec);
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
