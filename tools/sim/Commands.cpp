#include "sim/Commands.h"

namespace tervex::sim {

namespace {

const char* const kAreaNames[kAreaCount] = {"ОЗУ", "CLOCK", "EEPROM", "FRAM", "XRAM", "FLASH"};

// Value sizes a write can carry: the device sizes of the item types.
const size_t kValueSizes[] = {1, 2, 4, 8};

// RAM and CLOCK take a one-byte address, the other areas two bytes, high first.
size_t AddressBytes(Area area)
{
    return (area == Area::Ram || area == Area::Clock) ? 1 : 2;
}

struct Shape {
    Op op;
    Area area;
};

std::optional<Shape> ShapeOf(uint8_t code)
{
    if (code >= cmd::kReadBase && code <= cmd::kReadBase + 5)
        return Shape{Op::Read, static_cast<Area>(code - cmd::kReadBase)};
    if (code >= cmd::kWriteBase && code <= cmd::kWriteBase + 4)
        return Shape{Op::Write, static_cast<Area>(code - cmd::kWriteBase)};
    switch (code) {
    case cmd::kSetBits: return Shape{Op::SetBits, Area::Ram};
    case cmd::kClearBits: return Shape{Op::ClearBits, Area::Ram};
    case cmd::kReadPassword: return Shape{Op::ReadPassword, Area::Ram};
    case cmd::kWritePassword: return Shape{Op::WritePassword, Area::Ram};
    default: return std::nullopt;
    }
}

}  // namespace

const char* AreaName(Area area)
{
    return kAreaNames[static_cast<int>(area)];
}

std::optional<Area> AreaFromName(const std::string& name)
{
    for (int i = 0; i < kAreaCount; ++i)
        if (name == kAreaNames[i])
            return static_cast<Area>(i);
    if (name == "RAM")
        return Area::Ram;
    return std::nullopt;
}

uint32_t AreaSize(Area area)
{
    return (area == Area::Ram || area == Area::Clock) ? 256u : 65536u;
}

bool IsRequestCode(uint8_t code)
{
    return ShapeOf(code).has_value();
}

std::vector<size_t> RequestBodySizes(uint8_t code)
{
    const auto shape = ShapeOf(code);
    if (!shape)
        return {};
    switch (shape->op) {
    case Op::Read:
        return {2 + AddressBytes(shape->area)};
    case Op::Write: {
        std::vector<size_t> sizes;
        for (size_t value : kValueSizes)
            sizes.push_back(2 + AddressBytes(shape->area) + value);
        return sizes;
    }
    case Op::SetBits:
    case Op::ClearBits:
        return {4};
    case Op::ReadPassword:
    case Op::WritePassword:
        return {2 + kPasswordSize};
    }
    return {};
}

std::optional<ParsedRequest> ParseRequest(const std::vector<uint8_t>& body)
{
    if (body.size() < 2)
        return std::nullopt;
    const auto shape = ShapeOf(body[1]);
    if (!shape)
        return std::nullopt;
    bool sizeFits = false;
    for (size_t size : RequestBodySizes(body[1]))
        sizeFits = sizeFits || size == body.size();
    if (!sizeFits)
        return std::nullopt;

    ParsedRequest request;
    request.address = body[0];
    request.code = body[1];
    request.op = shape->op;
    request.area = shape->area;
    size_t next = 2;
    if (shape->op != Op::ReadPassword && shape->op != Op::WritePassword) {
        if (AddressBytes(shape->area) == 2) {
            request.memoryAddress = static_cast<uint32_t>(body[2] << 8 | body[3]);
            next = 4;
        } else {
            request.memoryAddress = body[2];
            next = 3;
        }
    }
    request.data.assign(body.begin() + static_cast<std::ptrdiff_t>(next), body.end());
    return request;
}

}  // namespace tervex::sim
