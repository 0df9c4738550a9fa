#pragma once
// Memory areas, command codes and the shapes of requests on the wire.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tervex::sim {

enum class Area : uint8_t { Ram, Clock, Eeprom, Fram, Xram, Flash };
constexpr int kAreaCount = 6;

// The area's name as controllers and the driver call it: "ОЗУ", "CLOCK", ...
const char* AreaName(Area area);
// Exact names; "RAM" is also taken for "ОЗУ" so that configs can stay ASCII.
std::optional<Area> AreaFromName(const std::string& name);
// 256 bytes for "ОЗУ" and "CLOCK", 64 KiB for the others.
uint32_t AreaSize(Area area);

namespace cmd {
constexpr uint8_t kReadBase = 0xD0;   // + area: 0xD0 "ОЗУ" .. 0xD5 "FLASH"
constexpr uint8_t kWriteBase = 0xE0;  // + area: 0xE0 "ОЗУ" .. 0xE4 "XRAM"; "FLASH" has none
constexpr uint8_t kSetBits = 0xB0;
constexpr uint8_t kClearBits = 0xC0;
constexpr uint8_t kReadPassword = 0xF0;
constexpr uint8_t kWritePassword = 0xF1;
constexpr uint8_t kPasswordReset = 0xFF;  // second byte of the password-reset answer
}  // namespace cmd

enum class Op { Read, Write, SetBits, ClearBits, ReadPassword, WritePassword };

constexpr size_t kPasswordSize = 6;
constexpr size_t kReadSize = 8;

// A request taken apart. `data` holds the value bytes of a write, the mask of
// a bit command or the six password bytes.
struct ParsedRequest {
    uint8_t address = 0;
    uint8_t code = 0;
    Op op = Op::Read;
    Area area = Area::Ram;
    uint32_t memoryAddress = 0;
    std::vector<uint8_t> data;
};

bool IsRequestCode(uint8_t code);

// Sizes a request body (the bytes before the CRC) may have for this command,
// ascending; empty for an unknown code.
std::vector<size_t> RequestBodySizes(uint8_t code);

// Takes a request body apart; nothing if the code is unknown or the size is
// not one the command can have.
std::optional<ParsedRequest> ParseRequest(const std::vector<uint8_t>& body);

}  // namespace tervex::sim
