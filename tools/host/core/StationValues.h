#pragma once
// Readers of single station-file values. Each gives the value, or nothing and
// a message for the user in error.
#include <cstdint>
#include <optional>
#include <string>

#include "tools/host/core/Station.h"

namespace tervex::host {

// "COM1" .. "COM100": the driver polls port indexes 0..99 only.
std::optional<int> ReadPortName(const std::string& text, std::string& error);
// "ОЗУ" (or "RAM"), "CLOCK", "EEPROM", "FRAM", "XRAM", "FLASH"; gives the stored text.
std::optional<std::string> ReadArea(const std::string& text, std::string& error);
// 0..255 in "ОЗУ" and "CLOCK", 0..65535 elsewhere; decimal or 0x-hex.
std::optional<uint32_t> ReadItemAddress(const std::string& text, const std::string& area, std::string& error);
// A type the item page offers for the area, by its display name; gives the code.
std::optional<uint16_t> ReadTypeName(const std::string& text, const std::string& area, std::string& error);
// Seconds, 0.1 .. 9999, as the pages edit them.
std::optional<double> ReadScanRate(const std::string& text, std::string& error);
std::optional<int> ReadDeviceAddress(const std::string& text, std::string& error);
std::optional<int> ReadBitNumber(const std::string& text, std::string& error);
// "RTU" or "ASCII".
std::optional<std::string> ReadProtocol(const std::string& text, std::string& error);
// "msb", "lsb", or either stored text; gives the stored text.
std::optional<std::string> ReadByteOrder(const std::string& text, std::string& error);

struct Access {
    bool read = true;
    bool write = true;
};
// "r", "w", "rw", "none" (also "read", "write", "read,write").
std::optional<Access> ReadAccess(const std::string& text, std::string& error);

std::optional<PortKind> ReadPortKind(const std::string& text, std::string& error);
std::optional<int> ReadBaud(const std::string& text, std::string& error);
std::optional<int> ReadDataBits(const std::string& text, std::string& error);
std::optional<Parity> ReadParity(const std::string& text, std::string& error);
std::optional<StopBits> ReadStopBits(const std::string& text, std::string& error);
std::optional<SerialWait> ReadSerialWait(const std::string& text, std::string& error);
std::optional<int> ReadGapMs(const std::string& text, std::string& error);

// The three settings the driver knows take a whole decimal 32-bit number.
bool CheckSettingValue(const std::string& name, const std::string& value, std::string& error);

// Node and item names: 1..255 characters, no ".", no blanks.
bool CheckElementName(const std::string& name, std::string& error);

}  // namespace tervex::host
